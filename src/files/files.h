// Recording files, the File menu and the recent-files list.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

// File menu item identifiers.
constexpr int MENU_FILE = 2;
constexpr int MENU_OPEN = 3;
constexpr int MENU_SAVE = 4;
constexpr int MENU_CLOSE = 5;
constexpr int MENU_PRINT = 7;
constexpr int MENU_EXIT = 9;
constexpr int MENU_OPEN_SESSION = 70;
constexpr int MENU_SAVE_SESSION = 71;

// "File already exists! Replace existing file?" in the five languages.
extern const char *const FILE_EXISTS_TEXT[5];
constexpr int MENU_EXPORT_PICTURE = 72;
constexpr int MENU_EXPORT_CSV = 73;

// Capacities of what a file may bring in.
constexpr int MAX_TITLE_LENGTH = 99;         // a window title
constexpr int MAX_TRANSFER_LINE = 64999;     // the recording line of a transfer file
constexpr int MIN_TRANSFER_LINE = 30;        // its 22-character header and one value field
constexpr int RECENT_ENTRY_SIZE = 300;       // one recent-files entry, terminator included
constexpr double MISSING_SAMPLE = 9999999.9; // a missing sample among a file's values

// ---------------------------------------------------------------- commands
void Gestion_fichier(int menuBar, int menuItem, void *callbackData, int panel);
int IndexTableau(int panel, int control, int event, void *callbackData, int eventData1,
                 int eventData2);
// Opens a recording, transfer or temporary file in a new graph window;
// failures are shown to the user.
void Lire_fichier(const std::string &path);
// Writes the current window's recording to path; chosen is the file
// dialog's result (nothing is written below 1).
void Ecrire_fichier(const std::string &path, int chosen);
// File > Export as picture (PNG, SVG or PDF) and Export as CSV: the current
// window as velorinder-cli writes a recording, never over a file without
// asking; failures are shown with the file and the reason.
void Exporter_image();
void Exporter_csv();
// The csv text of a slot's own samples (compared curves are not its samples).
std::string CsvOfSlot(int slot);
struct CurvePicture;
// The picture of a window as its graph shows it: the visible time range and
// value axis, its curve and the curves compared with it.
CurvePicture PictureOfSlot(int slot);
constexpr int PICTURE_WIDTH = 800; // the size velorinder-cli draws by default
constexpr int PICTURE_HEIGHT = 500;
// Puts path at the top of the recent-files list and rebuilds its menu items.
void Fichiers_recents(const std::string &path);
// Registers the callbacks the resource file names for this subsystem.
void RegisterFileCallbacks();

// ---------------------------------------------------------------- kinds of file
enum class FileKind { Recording, Transfer, Other };
// Told by the extension of the file's own name (".vlr"; ".mon" or ".tmp"),
// in any case; a name with another extension is Other.
FileKind KindOfPath(const std::string &path);
// The extension of the last name of a path, lower case, with its dot ("" when none).
std::string PathExtension(const std::string &path);

// ---------------------------------------------------------------- recording file format
struct RecordingFile {
    std::string name; // line 1, without directories: the window title
    int day = 0, month = 0, year = 0, hour = 0, minute = 0;
    unsigned interval = 0;
    int measureType = 0;
    double coefficient = 0.0;
    int mode = 0;
    int curveColour = 0;
    std::vector<double> time;  // as stored: rising times only
    std::vector<double> value; // missing samples already 0.0
    std::vector<int> gaps;     // indexes of the missing samples
};

// The name line written for a path: the name a transfer file stores (blanks
// as "_", only allowed characters, no directory; "\\" separates too).
std::string NameLine(const std::string &path);
// "%f" of the formatting library: fixed point, six decimals, whatever the locale.
void AppendFixed(std::string *out, double x);
// The whole file for the samples of f (its count is f.time.size()).
std::string FormatRecordingFile(const RecordingFile &f);
// Reads a recording file's text (LF or CR LF line ends). Samples are taken
// while the times rise, in complete time/value pairs; values equal to
// MISSING_SAMPLE become 0.0 and are listed in gaps. False when the stated
// count is outside 1..65000 or not one complete sample is there.
bool ParseRecordingFile(std::string_view text, RecordingFile *f);
// Numbers of one line, any decimal notation, up to max; reading stops at the
// first word that is not a finite number.
std::vector<double> ParseNumbers(std::string_view line, std::size_t max);

// ---------------------------------------------------------------- csv
// One header line (time_s,value,unit), then time in seconds, value and unit
// per sample, "%f" with a point; a missing sample as an empty value.
std::string FormatCsvFile(const RecordingFile &f, const std::string &unit);

// ---------------------------------------------------------------- transfer file format
struct TransferFile {
    std::string name;              // line 1, directories stripped
    int date[5] = {0, 0, 0, 0, 0}; // month, day, year, hour, minute
    std::string line;              // line 3: the recording line
};
// False when there is no recording line, when it is shorter than
// MIN_TRANSFER_LINE or longer than MAX_TRANSFER_LINE characters, or when it
// holds a zero byte (a damaged file).
bool ParseTransferFile(std::string_view text, TransferFile *f);

// ---------------------------------------------------------------- temporary recordings
// The temporary transfer files (*.tmp) of dir that hold a recording.
std::vector<std::string> TemporaryRecordings(const std::string &dir);
// The name a temporary recording is kept under: the name it stores when that
// is a transfer file's name, else the import's proposal for its number.
std::string KeptName(const TransferFile &f);
// dir/name, or dir/<stem>_2<ext>, _3 ...: the first name no file has.
std::string UnusedPath(const std::string &dir, const std::string &name);
// Saves each temporary recording into dir under its kept name, never over
// another file, and removes the temporary file. One that cannot be saved is
// left where it is, error 23 shown with the path and the reason; those are
// returned.
std::vector<std::string> KeepTemporaryRecordings(const std::vector<std::string> &tmps,
                                                 const std::string &dir);

// ---------------------------------------------------------------- writing files
// Writes text to a temporary file beside path and renames it over path only
// once the whole text is on disk; on any failure the old file is left as it
// was and the temporary file is removed. False on failure.
bool ReplaceFileContents(const std::string &path, const std::string &text);
// Reads a whole file; false when it cannot be opened or read, with the
// system's reason ("Permission denied") in reason when one is given.
bool ReadWholeFile(const std::string &path, std::string *text, std::string *reason = nullptr);

// ---------------------------------------------------------------- recent files
using RecentList = std::array<std::string, 4>;
// The path an entry names ("" when the entry is not in use).
std::string RecentEntryPath(const std::string &entry);
// Puts path at the top of the list, "__1 " and the path, the others moving
// down and renumbered; a path already in the list moves up without a
// duplicate. False when nothing changes: path is already entry 0, or it
// cannot be kept in an entry (too long, or holding a line end).
bool UpdateRecentList(RecentList *list, const std::string &path);
