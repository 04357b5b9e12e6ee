// Start-up, the event loop, exit and the main panel's resize handling.
#include "display/display.h"
#include "files/files.h"
#include "link/link.h"
#include "platform/platform.h"
#include "session/session.h"
#include "shell/shell.h"
#include "windows/windows.h"

#include <algorithm>

int mainPanel = 0;
int menuBar = 0;
int mainBackColour = 0;
std::string settingsPath;
int splashPanel = 0;
int templatePanel = 0;
int scalesPanel = 0;
int spreadsheetPanel = 0;
int progressPanel = 0;

namespace {
const char *const QUIT_TITLE[5] = {"Quitter", "Quit", "Beenden", "Salir", "Esci"};
const char *const QUIT_TEXT[5] = {"Êtes-vous sûr de vouloir quitter ?\n",
                                  "Are you sure you want to quit ?\n", "Wollen sie beenden ?\n",
                                  "Está a punto de salir?\n", "Uscire da VELORINDER?\n"};
// %1 the number of recordings, %2 the folder they would be saved in.
const char *const KEEP_TEXT[5] = {
    "Enregistrements importés non sauvegardés : %1.\n"
    "Ils seraient perdus. Les conserver dans %2 ?",
    "Imported recordings not saved: %1.\nThey would be lost. Keep them in %2?",
    "Nicht gesicherte importierte Speicherungen: %1.\n"
    "Sie gingen verloren. In %2 behalten?",
    "Grabaciones importadas no guardadas: %1.\nSe perderían. ¿Conservarlas en %2?",
    "Registrazioni importate non salvate: %1.\nAndrebbero perse. Conservarle in %2?"};
constexpr int PROGRESS_GAUGE = 3;

std::string Fill(std::string text, const std::string &mark, const std::string &value) {
    for (std::size_t at = text.find(mark); at != std::string::npos;
         at = text.find(mark, at + value.size()))
        text.replace(at, mark.size(), value);
    return text;
}
} // namespace

std::string KeepRecordingsQuestion(int count, const std::string &folder) {
    return Fill(Fill(Tr(KEEP_TEXT), "%1", std::to_string(count)), "%2", folder);
}

std::string ResourceFile() {
    return ResourceDir() + "/VELORPNL.UIR";
}

bool StartUp(bool communicationDialog) {
    static bool registered = false;
    if (!registered) {
        RegisterCallbacks();
        registered = true;
    }
    SetWaitCursor(1);
    portOpen = 0;
    currentWindow = -1;
    importRunning = 1;
    windowCount = 0;

    splashPanel = LoadPanel(0, ResourceFile(), PANEL_SPLASH);
    if (splashPanel < 0) {
        splashPanel = 0;
        SetWaitCursor(0);
        MessagePopup("FATAL RUNTIME ERROR", "File VELORPNL.UIR not found !\n");
        return false;
    }
    InstallPopup(splashPanel);
    Delay(1.5);
    RemovePopup(0);

    mainPanel = LoadPanel(0, ResourceFile(), PANEL_MAIN);
    GetPanelAttribute(mainPanel, ATTR_BACKCOLOR, &mainBackColour);
    menuBar = GetPanelMenuBar(mainPanel);
    SetCtrlAttribute(mainPanel, 3, ATTR_VISIBLE, 0);
    SetCtrlAttribute(mainPanel, 4, ATTR_VISIBLE, 0);

    // The toolbar's image paths are relative to the resource folder.
    SetDir(ResourceDir());
    // Installed, the settings live in the user's configuration folder, which
    // a first start makes; when it cannot, the settings file's own error says so.
    MakeDir(ConfigDir());
    settingsPath = ConfigDir() + "/Velorcfg.ini";
    ReadSettings();

    templatePanel = LoadPanel(mainPanel, ResourceFile(), PANEL_TEMPLATE);
    scalesPanel = LoadPanel(mainPanel, ResourceFile(), PANEL_SCALES);
    spreadsheetPanel = LoadPanel(mainPanel, ResourceFile(), PANEL_SPREADSHEET);
    progressPanel = LoadPanel(0, ResourceFile(), PANEL_PROGRESS);
    SetCtrlAttribute(progressPanel, PROGRESS_GAUGE, ATTR_GAUGE_STYLE, 1);

    Gestion_options(menuBar, language + 37, nullptr, mainPanel);

    DisplayPanel(mainPanel);
    SetWaitCursor(0);
    ProcessDrawEvents();

    if (communicationDialog) OpenCommunicationAtStart();
    return true;
}

void OpenCommunicationAtStart() {
    Gestion_import(menuBar, MENU_COMMUNICATION, nullptr, mainPanel);
    SetWaitCursor(0);
}

void ShutDown() {
    if (portOpen == 1) CloseCom(comPort);
    portOpen = 0;
    for (int *panel :
         {&progressPanel, &templatePanel, &scalesPanel, &spreadsheetPanel, &mainPanel}) {
        if (*panel > 0) DiscardPanel(*panel);
        *panel = 0;
    }
    if (splashPanel > 0) DiscardPanel(splashPanel);
    splashPanel = 0;
    menuBar = 0;
    toolbar = 0;
}

int VelorinderMain(int, const std::vector<std::string> &argv) {
    // Named files are taken from where the program was started; start-up
    // moves to the resource folder.
    const std::string startDir = GetDir();
    const std::vector<std::string> files(argv.begin() + (argv.empty() ? 0 : 1), argv.end());
    if (!StartUp(false)) return 0;
    // The work a crashed run left comes first, then the files the desktop
    // named; a start for files skips the instrument's dialog.
    StartRecovery();
    OfferRecovery();
    OpenDesktopFiles(files, startDir);
    if (files.empty()) OpenCommunicationAtStart();
    SetFileDropCallback(mainPanel,
                        [](const std::vector<std::string> &paths) { OpenDesktopFiles(paths); });
    StartChangeWatch();
    RunUserInterface();
    StopChangeWatch();
    SetFileDropCallback(mainPanel, nullptr);
    ShutDown();
    return 0;
}

int Sortir(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    // Unsaved work gets its own question in place of the plain one.
    if (ScreenChanged()) {
        if (!ConfirmUnsavedWork(UnsavedWorkAction::Exit)) return 0;
    } else if (!AskYesNo(Tr(QUIT_TITLE), Tr(QUIT_TEXT)))
        return 0;
    // Imported recordings the user did not save go only when he says so.
    std::vector<std::string> left;
    const std::vector<std::string> unsaved = TemporaryRecordings(TransferTempDir());
    if (!unsaved.empty()) {
        const std::string folder = DocumentsDir();
        if (AskYesNo(Tr(QUIT_TITLE),
                     KeepRecordingsQuestion(static_cast<int>(unsaved.size()), folder)))
            left = KeepTemporaryRecordings(unsaved, folder);
    }
    SetWaitCursor(1);
    SaveSettingsAtExit();
    for (const std::string &tmp : FindFiles(TransferTempDir(), "*.tmp"))
        if (std::find(left.begin(), left.end(), tmp) == left.end()) DeleteFile(tmp);
    EndRecovery();
    SetWaitCursor(0);
    QuitUserInterface(0);
    return 0;
}

int Fenetre(int, int event, void *, int, int) {
    if (event == EVENT_PANEL_SIZE) Gestion_fenetre(menuBar, 56, nullptr, mainPanel);
    return 0;
}
