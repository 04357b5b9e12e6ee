// Application shell: start-up and exit, the settings file, languages, menus,
// the toolbar and the numbered error messages.
#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

// ---------------------------------------------------------------- start-up, exit
extern int mainPanel;
extern int menuBar;
extern int mainBackColour;
extern std::string settingsPath;

// Panels loaded at start and kept for the whole run.
extern int splashPanel;      // 14
extern int templatePanel;    // 9, copied for each graph window
extern int scalesPanel;      // 8
extern int spreadsheetPanel; // 4
extern int progressPanel;    // 15

constexpr int PANEL_COMMUNICATION = 1;
constexpr int PANEL_SELECTION = 2;
constexpr int PANEL_IN_PROGRESS = 3;
constexpr int PANEL_SPREADSHEET = 4;
constexpr int PANEL_ALARM = 5;
constexpr int PANEL_COLOURS = 6;
constexpr int PANEL_CONSTANT = 7;
constexpr int PANEL_SCALES = 8;
constexpr int PANEL_TEMPLATE = 9;
constexpr int PANEL_TEXT = 10;
constexpr int PANEL_ABOUT = 11;
constexpr int PANEL_RECORDING_LIST = 12;
constexpr int PANEL_SPLASH = 14;
constexpr int PANEL_PROGRESS = 15;
constexpr int PANEL_MAIN = 16;

// The resource file's full name in the project directory.
std::string ResourceFile();
// The program's start-up, event loop and shutdown; gives the process result.
int VelorinderMain(int argc, const std::vector<std::string> &argv);
// Start-up steps 1 to 11 (everything before the event loop); false when the
// resource file is missing (the fatal message has been shown). Without the
// communication dialog, step 11 is left to OpenCommunicationAtStart.
bool StartUp(bool communicationDialog = true);
void OpenCommunicationAtStart();
// Shutdown after the event loop: closes the port and discards the panels.
void ShutDown();
int Sortir(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int Fenetre(int panel, int event, void *callbackData, int eventData1, int eventData2);

// Registers every callback the resource file names (filled once at start).
void RegisterCallbacks();

// ---------------------------------------------------------------- settings file
extern int mainTop, mainLeft, mainHeight, mainWidth, mainZoom;
extern char recentFiles[4][300];
extern int recentItems[4];
extern std::string spreadsheetDir;
constexpr int MENU_SAVE_ON_EXIT = 43;
// Menu item identifiers: the command vocabulary of the menu callbacks.
constexpr int MENU_FIRST_LANGUAGE = 37;

// The settings file as read: lines 1 to 21.
struct SettingsFile {
    int tick = 0; // line 1, 0 or 1
    int comPort = 0, baudRate = 0;
    int colours[7] = {};
    int language = 0;
    int placement[5] = {}; // top, left, height, width, zoom
    std::array<std::string, 4> recent;
};
// False when a line up to the end marker (line 17) is not as the program
// writes it: then the file counts as damaged. Line 1 reads as 0 when it holds
// no number; missing recent-files lines read as empty.
bool ParseSettingsFile(std::string_view text, SettingsFile *s);
// What the save at exit writes over `old` when "Save settings on exit" is
// unticked: the tick, lines 2 to 17 as `old` holds them, and the recent
// files. False when `old` does not read as a settings file.
bool PartialSettingsText(std::string_view old, int tick, const std::array<std::string, 4> &recent,
                         std::string *text);
// A place and size on the screen, in the main panel's coordinates.
struct MainPlacement {
    int top = 0, left = 0, height = 0, width = 0;
};
// The main window's place and size from the settings file made to fit the
// screen's work area: a side longer than the area is cut to it and the window
// put at the area's edge; a window that fits but whose corner is off the area,
// or that shows less than a strip of itself, is moved back in. A window that
// is well placed stays as it is.
MainPlacement FitMainPlacement(MainPlacement want, MainPlacement area);
void ReadSettings();
// Lines 3 to 17 of the settings file.
std::string SettingsTailText();
void WriteSettingsTail(std::FILE *file);
void DefaultSettings();
// The save at exit: full when "Save settings on exit" is ticked, else partial.
void SaveSettingsAtExit();
// The exit's question whether to keep `count` unsaved imported recordings in
// `folder`, in the current language.
std::string KeepRecordingsQuestion(int count, const std::string &folder);

// ---------------------------------------------------------------- languages
extern int language; // 0 French, 1 English, 2 German, 3 Spanish, 4 Italian
extern int toolbar;
constexpr int LANGUAGE_COUNT = 5;

// A text in the five languages, French first.
using Texts = const char *const[5];
// The text of the current language (English when `language` is out of range).
const char *Tr(const char *const texts[5]);

extern const char *const YES_TEXT[5];
extern const char *const NO_TEXT[5];
extern const char *const HELP_SUFFIX[5];

void Gestion_options(int menuBar, int menuItem, void *callbackData, int panel);
void ApplyMenuLanguage(int menuBar);
void ShowError(int code);
// The same numbered error, with the file it concerns and the system's reason
// ("Permission denied") on a second line, so the user knows what to fix.
void ShowError(int code, const std::string &path, const std::string &reason);
// "path: reason", or whichever of the two is given.
std::string ErrorDetail(const std::string &path, const std::string &reason);
// The message of error `code` in language `lang` ("" for a code never raised).
std::string ErrorText(int code, int lang);
std::string ErrorTitle(int code, int lang);
void Griser_menus(int dim);
// Asks a Yes/No question in the current language; true for Yes.
bool AskYesNo(const std::string &title, const std::string &message);

// Translation routines of the dialogs: each writes the current language's
// texts into an already loaded panel.
void TranslateColoursDialog(int panel);
void TranslateSpreadsheetDialog(int panel);
void TranslateAboutBox(int panel);
void TranslateScalesDialog(int panel);
void TranslateAlarmDialog(int panel);
void TranslateTextDialog(int panel);
void TranslateRecordingList(int panel);
void TranslateSelectionDialog(int panel);
void TranslateProgressPanel(int panel);
void TranslateCommunicationDialog(int panel);
void TranslateConstantDialog(int panel);

// ---------------------------------------------------------------- text tables
// Rows of five strings: French, English, German, Spanish, Italian.
struct MenuText {
    int id;
    bool isMenu;
    const char *text[5];
};
struct ToolbarEntry {
    const char *image; // nullptr for a separator
    int menuItem;
    const char *tooltip[5];
};
struct ErrorEntry {
    int code;
    const char *text[5];
};
struct DialogText {
    const char *dialog;
    const char *where;
    const char *text[5];
};

extern const MenuText MENU_TEXTS[];
extern const int MENU_TEXT_COUNT;
extern const ToolbarEntry TOOLBAR_ENTRIES[];
extern const int TOOLBAR_ENTRY_COUNT;
extern const ErrorEntry ERROR_TEXTS[];
extern const int ERROR_TEXT_COUNT;
extern const DialogText DIALOG_TEXTS[];
extern const int DIALOG_TEXT_COUNT;
