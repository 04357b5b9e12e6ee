// Instrument link: the serial port and the instrument's command protocol, the
// communication dialog and the instrument menu.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// ---------------------------------------------------------------- link state
extern int comPort;        // port of the last instrument found (1 = COM1)
extern int baudRate;       // speed of every open
extern int portOpen;       // 1 while the port is held open for transfers
extern int importRunning;  // cleared by Stop to end a long operation
extern int recordingCount; // recordings the instrument announced
constexpr int REPLY_BUFFER_SIZE = 65000;
extern char replyBuffer[REPLY_BUFFER_SIZE];

constexpr int MAX_COM_PORTS = 22; // ports the search tries
constexpr int LINE_END = 10;      // every reply line ends with LF

// ---------------------------------------------------------------- serial link and commands
// 1 instrument found, 0 none, or a negative port error. Leaves the port open
// when an instrument answered.
int ProbeInstrument(int port, int baud);
// 1 instrument found, -1 no presence reply, or a negative port error.
int ConnectInstrument(int port, int baud);
// 0 ready, -1 failed (the error has been shown).
int OpenTransferLink();
// 0 recordingCount set, -1 refused, or a negative port error.
int ReadRecordingCount();
// 1 a recording line in replyBuffer, 0 stopped, 99 no reply, RECORDING_CUT,
// or a negative port error. Stop is polled while the line arrives.
int ReadNextRecording();
// A line that ended without its line feed (silence, the device failed or
// went): not a recording, and replyBuffer is cleared.
constexpr int RECORDING_CUT = 2;
// A line without the shape of a recording (noise): not saved, replyBuffer cleared.
constexpr int RECORDING_MALFORMED = 3;
// The bytes of the line arriving so far, for the progress of a transfer.
void ShowLineProgress(std::size_t bytes);
// 0 done, -1 refused, or a negative port error.
int ClearInstrumentMemory();
// Probes ports 1 to 22 until an instrument answers, reports the result and
// gives 1, or 0 when no port answered (whatever the last port's error was).
int ScanPorts();
// Takes one pending event without waiting; a commit on control 6 (the Stop
// button) of any panel clears importRunning. True when Stop was pressed.
bool PollForStop();
// Drops the pending events, so that a transfer starts without an old Stop.
void ClearStopRequests();

// Replies: judged by substring, "*E" in any case marks the presence reply and
// a refusal of "Md"; "*EX" a refusal of "Md" (exact case) or "Mc" (any case).
bool ReplyContains(const char *reply, int length, const char *pattern, bool caseSensitive);
// The count at the start of a reply to "Md"; false when it holds none.
bool ParseRecordingCount(const char *reply, int *count);

// ---------------------------------------------------------------- communication dialog
// Panel 1 controls.
constexpr int COMM_SEARCH = 2;
constexpr int COMM_TEST = 3;
constexpr int COMM_TEXT = 4;
constexpr int COMM_QUIT = 5;
constexpr int COMM_PORT = 6;
// Panel 3 ("in progress") controls.
constexpr int IN_PROGRESS_TEXT = 2;
constexpr int IN_PROGRESS_PORT = 3;
// Stop button of the progress panel.
constexpr int STOP_BUTTON = 6;

// Items of the Import_Export menu.
constexpr int MENU_COMMUNICATION = 12;
constexpr int MENU_IMPORT = 14;
constexpr int MENU_CLEAR_MEMORY = 16;
constexpr int MENU_SPREADSHEET_EXPORT = 18;

extern int communicationPanel; // the open dialog, 0 when closed
extern int inProgressPanel;    // shown during a search, 0 otherwise

void OpenCommunicationDialog();
int Communication(int panel, int control, int event, void *callbackData, int eventData1,
                  int eventData2);
// The lines after the rate line: each existing port with its device.
std::string PortListText();
// Why port n cannot be opened when this user lacks the right to it, with the
// fix; "" otherwise.
std::string PermissionText(int port);
// Shows error 19 with PermissionText when it applies; false when it does not.
bool ShowPermissionError(int port);
// The numbered error a test or search result gives, 0 for success.
int LinkResultError(int result);
// Shows the information box for r > 0, else the error LinkResultError gives.
void ReportLinkResult(int result);

// ---------------------------------------------------------------- instrument menu
// Asks before erasing the instrument's memory; error 24 when it fails.
void ClearMemoryCommand();
void Gestion_import(int menuBar, int menuItem, void *callbackData, int panel);

// Registers the callbacks the resource file names for this subsystem.
void RegisterLinkCallbacks();

// ---------------------------------------------------------------- recording import
// A recording line ("0012;1;1;001.00;00010;1.50E+2;2.50E-1;"): number in 0-3,
// mode digit at 5, unit hex digit at 7, coefficient in 9-14, interval in
// 16-20, then value fields of at most 8 characters, each ended by ";".
using RecordingLine = std::string_view;
constexpr int LINE_NUMBER = 0;
constexpr int LINE_MODE = 5;
constexpr int LINE_UNIT = 7;
constexpr int LINE_COEFFICIENT = 9;
constexpr int LINE_INTERVAL = 16;
constexpr int LINE_FIRST_FIELD = 22;
constexpr int FIELD_LENGTH = 8;

constexpr double UNDEFINED_VALUE = 9999999.9; // the instrument's mark of a missing sample
constexpr int IMPORT_DONE = 1;
constexpr int IMPORT_FAILED = -1;
constexpr int IMPORT_NO_REPLY = 99;
constexpr int IMPORT_CUT_LINE = 2;  // a line cut short: error 31, no new attempt
constexpr int IMPORT_ENTRIES = 100; // entry 0 serves file opening and the derived displays
constexpr int MAX_IMPORTED = IMPORT_ENTRIES - 1;
constexpr int CLEAN_LINE_SIZE = 65000;
constexpr int CLEAN_NAME_SIZE = 300;
constexpr int WINDOW_NAME_LENGTH = 49; // characters of a name a window shows

// Controls of the progress panel (15) and the recording list panel (12).
constexpr int IMPORT_PROGRESS_TEXT = 2;
constexpr int IMPORT_PROGRESS_GAUGE = 3;
constexpr int IMPORT_PROGRESS_PERCENT = 4;
constexpr int IMPORT_PROGRESS_WAIT = 5;
constexpr int LIST_QUIT = 2;
constexpr int LIST_RECORDINGS = 3;

// One recording staged between its text and a window.
struct ImportEntry {
    int32_t number;
    char token[10]; // the value field being decoded
    // Import: the whole path of the file written (a cut path would open
    // nothing later); file reader: the file's name line.
    std::string fileName;
    std::vector<double> values; // count + 1 samples, released by the next fill
    std::vector<double> times;
    int32_t unitIndex;
    double coefficient;
    int32_t mode;
    int32_t interval;
    int32_t count; // line length - 22, or the fields tried when one failed
    int32_t spare;
};

extern ImportEntry importTable[IMPORT_ENTRIES];
extern char cleanLine[CLEAN_LINE_SIZE];
extern char cleanName[CLEAN_NAME_SIZE];
extern int recordingDate[6]; // month, day, year, hour, minute, second
extern int listPanel;        // the open list of transferred recordings, 0 when closed
extern int recordingsLeft;   // recordings the last import left on the instrument
extern int transferredCount; // entries the last transfer filled, from entry 1

// The import item: connects, transfers every recording, reports or lists.
void ImportCommand();
// IMPORT_DONE, IMPORT_FAILED or IMPORT_NO_REPLY; Stop shows as importRunning = 0.
int ImportAllRecordings();
// Transfers recording i (0-based) into entry i + 1 and its transfer file.
int ImportRecording(int i);
// Lists entries 1 .. recordingCount in the recording list panel.
void ShowImportList();
int Quitter_Data(int panel, int control, int event, void *callbackData, int eventData1,
                 int eventData2);
// Decodes a recording line into entry `entry` and opens it in a new window;
// 0, or -1 when nine windows are open.
int LoadRecording(RecordingLine line, int entry);
// Numbers 0, texts nine blanks, no samples.
void ResetImportEntry(int entry);

// The routines on the shared buffers.
void CleanReplyLine(); // replyBuffer to cleanLine, others as "_"
int CleanNameText();   // replyBuffer to cleanName, others dropped; the number kept
void StripDirectory(); // the part of cleanName after its last "/" or "\" into replyBuffer
// Decodes the token of an entry into values[k]; 1 when it has an exponent
// marker, 0 (nothing stored) when not.
int DecodeValueToken(int entry, int k);

// Pure text routines behind them.
std::string CleanLineText(std::string_view line);
std::string CleanName(std::string_view text);
std::string StripDirectoryName(std::string_view name);
// The name a transfer file stores: no directory, blanks as "_", only allowed characters.
std::string StoredName(std::string_view path);
// false when the field has no exponent marker; else the value, or
// UNDEFINED_VALUE when the field is not a number of the instrument's form.
bool DecodeValueText(std::string_view token, double *value);
// 10 to the exponent, exact as far as a double holds it.
double ExponentMultiplier(int exponent);
// True when a line has a recording's shape: the header's digits and
// separators, then value fields of at most 8 characters each ended by ";",
// the first with its exponent marker.
bool IsRecordingLine(RecordingLine line);
// Number, mode, unit index, coefficient and interval of a line.
void ParseRecordingHeader(RecordingLine line, ImportEntry *entry);
// Sets count from the line's length, fills values and times from `fields`
// value fields; a field without exponent marker ends the decoding.
void DecodeRecordingLine(RecordingLine line, int fields, ImportEntry *entry);
std::string ImportListHeader();
std::string ImportListRow(const ImportEntry &entry);
std::string ImportListBlankRow();
std::string ModeListText(int mode);
// <dir>/recording_12.mon in the current language, the name in lower case.
std::string ProposedRecordingPath(const std::string &dir, int number);
// <dir>/<seconds in hex>.tmp, the number raised until no file has the name.
std::string FallbackTmpPath(const std::string &dir, long long seconds);
// The three lines of a transfer file.
std::string TransferFileText(const std::string &name, const int date[6], std::string_view line);

// ---------------------------------------------------------------- alarm lines
// Alarm dialog (panel 5) controls.
constexpr int ALARM_QUIT = 2;
constexpr int ALARM_OK = 3;
constexpr int ALARM_LEVEL_2 = 4;
constexpr int ALARM_LEVEL_1 = 5;
constexpr int ALARM_LINE_1 = 6;
constexpr int ALARM_LINE_2 = 7;
constexpr int ALARM_SETTING = 8;
// Values of a window's alarmShown.
constexpr int ALARM_NONE = 0;
constexpr int ALARM_ONLY_1 = 1;
constexpr int ALARM_BOTH = 10;
constexpr int ALARM_ONLY_2 = 11;

extern int alarmPanel; // the open alarm dialog, 0 when closed

// Opens the alarm dialog of the current window, filled from its record.
void OpenAlarmDialog();
int Alarmes(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
// alarmShown for the lines switched on.
int AlarmShownFor(bool line1, bool line2);
struct WindowRecord;
// Draws a threshold line over the whole recording of a window, whatever part
// of it the time axis shows; its handle, or a negative code.
int DrawAlarmLine(const WindowRecord &w, double level);
// With both lines on, puts the lower level (and its line's handle) in index 0.
// A level left from an earlier use is not a line and is never exchanged.
void OrderAlarmLevels(int alarmShown, double level[2], int plot[2]);
