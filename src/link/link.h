// Instrument link: the serial port and the instrument's command protocol, the
// communication dialog and the instrument menu.
#pragma once

#include <string>

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
// 1 a recording line in replyBuffer, 0 stopped, 99 no reply, or a negative
// port error.
int ReadNextRecording();
// 0 done, -1 refused, or a negative port error.
int ClearInstrumentMemory();
// Probes ports 1 to 22 until an instrument answers, reports the result and
// gives the last probe's result.
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
