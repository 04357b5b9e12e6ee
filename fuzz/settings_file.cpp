// The settings file (Velorcfg.ini) through the program's own reading at start
// and saving at exit, on a real main panel and menu bar. Whatever the reader
// accepts, or the defaults it writes instead, the save at exit leaves a file
// that the next start reads as the same settings, without an error: the
// partial save ("Save settings on exit" unticked) as well as the full one.
#include "fuzz.h"

#include "display/display.h"
#include "link/link.h"
#include "platform/platform.h"
#include "shell/shell.h"

#include <QCoreApplication>
#include <QEvent>
#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// What a start of the program sets from the file.
struct Settings {
    int tick = 0;
    int comPort = 0, baudRate = 0;
    std::array<int, 7> colours{};
    int language = 0;
    std::array<int, 5> placement{};
    std::array<std::string, 4> recent;

    bool operator==(const Settings &) const = default;

    std::string Describe() const {
        std::ostringstream s;
        s << "tick " << tick << ", port " << comPort << " " << baudRate << ", colours";
        for (int c : colours)
            s << " " << c;
        s << ", language " << language << ", placement";
        for (int v : placement)
            s << " " << v;
        for (const std::string &r : recent)
            s << ", \"" << r << "\"";
        return s.str();
    }
};

Settings Current() {
    Settings s;
    GetMenuBarAttribute(menuBar, MENU_SAVE_ON_EXIT, ATTR_CHECKED, &s.tick);
    s.comPort = comPort;
    s.baudRate = baudRate;
    std::copy(displayColours, displayColours + 7, s.colours.begin());
    s.language = language;
    s.placement = {mainTop, mainLeft, mainHeight, mainWidth, mainZoom};
    for (int i = 0; i < 4; ++i)
        s.recent[i] = recentFiles[i];
    return s;
}

std::string Compare(const Settings &got, const Settings &expected) {
    return "read " + got.Describe() + "; expected " + expected.Describe();
}

std::string projectDir;
Settings fresh; // what a new process holds before it reads the file

void RemoveProjectDir() {
    std::error_code ec;
    fs::remove_all(projectDir, ec);
}

// A main panel and its menu bar, as start-up loads them, in a project
// directory of its own (in memory where the system offers it: every save
// syncs its file).
void SetUp() {
    static bool done = false;
    if (done) return;
    done = true;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static char name[] = "velorinder-fuzz";
    static char *argv[] = {name, nullptr};
    InitCVIRTE(1, argv);
    std::error_code ec;
    std::string base =
        fs::is_directory("/dev/shm", ec) ? "/dev/shm" : fs::temp_directory_path().string();
    std::string templ = base + "/velorinder-fuzz-XXXXXX";
    if (!mkdtemp(templ.data())) std::abort();
    projectDir = templ;
    std::atexit(RemoveProjectDir);
    fs::copy_file(fs::path(VELORINDER_PROGRAM_DIR) / "VELORPNL.UIR",
                  fs::path(projectDir) / "VELORPNL.UIR");
    SetProjectDirForTesting(projectDir);
    settingsPath = projectDir + "/Velorcfg.ini";
    RegisterCallbacks();
    mainPanel = LoadPanel(0, ResourceFile(), PANEL_MAIN);
    menuBar = GetPanelMenuBar(mainPanel);
    if (mainPanel <= 0 || menuBar <= 0) {
        std::fprintf(stderr, "cannot load the main panel from %s\n", ResourceFile().c_str());
        std::abort();
    }
    // The error popups are recorded, not shown.
    SetPopupScriptMode(true);
    fresh = Current();
}

// The state of a new process: values as compiled in, no recent-files items.
void NewProcess() {
    for (int &item : recentItems) {
        if (item != 0) DiscardMenuItem(menuBar, item);
        item = 0;
    }
    for (int lang = 0; lang < LANGUAGE_COUNT; ++lang)
        SetMenuBarAttribute(menuBar, MENU_FIRST_LANGUAGE + lang, ATTR_CHECKED, 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    SetMenuBarAttribute(menuBar, MENU_SAVE_ON_EXIT, ATTR_CHECKED, fresh.tick);
    comPort = fresh.comPort;
    baudRate = fresh.baudRate;
    std::copy(fresh.colours.begin(), fresh.colours.end(), displayColours);
    language = fresh.language;
    mainTop = fresh.placement[0];
    mainLeft = fresh.placement[1];
    mainHeight = fresh.placement[2];
    mainWidth = fresh.placement[3];
    mainZoom = fresh.placement[4];
    std::memset(recentFiles, 0, sizeof recentFiles);
    SetPanelAttribute(mainPanel, ATTR_WINDOW_ZOOM, 0);
    ClearPopupLog();
}

std::string Popups() {
    std::string text;
    for (const PopupRecord &r : PopupLog())
        text += "[" + r.title + "] " + r.text + " ";
    return text;
}

// Saves at exit with the tick given, then starts again.
Settings SaveAndRestart(int tick, Settings *saved) {
    SetMenuBarAttribute(menuBar, MENU_SAVE_ON_EXIT, ATTR_CHECKED, tick);
    ClearPopupLog();
    SaveSettingsAtExit();
    FUZZ_CHECK_MSG(PopupLog().empty(), Popups());
    *saved = Current();
    NewProcess();
    ReadSettings();
    FUZZ_CHECK_MSG(PopupLog().empty(), Popups());
    return Current();
}

} // namespace

FUZZ_TARGET(settings_file) {
    SetUp();
    NewProcess();
    {
        std::ofstream out(settingsPath, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(data), std::streamsize(size));
    }
    ReadSettings();
    // A file the reader refuses is replaced by the defaults, with error 0.
    FUZZ_CHECK(PopupLog().size() <= 1);
    if (!PopupLog().empty()) FUZZ_CHECK(PopupLog()[0].text == "File Velorinder.ini not found");
    const Settings read = Current();
    FUZZ_CHECK(read.tick == 0 || read.tick == 1);
    FUZZ_CHECK(read.language >= 0 && read.language < LANGUAGE_COUNT);

    // Unticked: only line 1 and the recent files are written; everything read
    // stays as read.
    Settings saved;
    Settings expected = read;
    expected.tick = 0;
    Settings back = SaveAndRestart(0, &saved);
    FUZZ_CHECK_MSG(back == expected, Compare(back, expected));

    // Ticked: everything is written, the placement as the main panel has it.
    back = SaveAndRestart(1, &saved);
    FUZZ_CHECK_MSG(back == saved, Compare(back, saved));
    return 0;
}
