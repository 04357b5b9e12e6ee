// Recording and transfer files opened in graph windows (Lire_fichier), on a
// real main window: a file the readers accept opens one window that holds
// what the reader gave, fitted and tiled, and survives zooming and scrolling
// to its end; a file they refuse gives error 22 and no window. The first byte
// of an input chooses the kind of file (even: ".vlr", odd: ".mon").
#include "fuzz.h"

#include "display/display.h"
#include "files/files.h"
#include "link/link.h"
#include "platform/platform.h"
#include "shell/shell.h"
#include "toolbox/toolbox.h"
#include "windows/windows.h"

#include <QApplication>
#include <QEvent>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

std::string projectDir;

void RemoveProjectDir() {
    std::error_code ec;
    fs::remove_all(projectDir, ec);
}

// Closed windows go at once; nothing is painted between inputs.
void Settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The main panel with its graph area and the window template, shown, as at
// start-up, in a project directory of its own.
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
    RegisterCallbacks();
    RegisterDisplayCallbacks();
    RegisterWindowCallbacks();
    mainPanel = LoadPanel(0, ResourceFile(), PANEL_MAIN);
    menuBar = GetPanelMenuBar(mainPanel);
    templatePanel = LoadPanel(mainPanel, ResourceFile(), PANEL_TEMPLATE);
    if (mainPanel <= 0 || menuBar <= 0 || templatePanel <= 0) {
        std::fprintf(stderr, "cannot load the panels from %s\n", ResourceFile().c_str());
        std::abort();
    }
    GetPanelAttribute(mainPanel, ATTR_BACKCOLOR, &mainBackColour);
    language = 1;
    SetPanelAttribute(mainPanel, ATTR_HEIGHT, 600);
    SetPanelAttribute(mainPanel, ATTR_WIDTH, 800);
    DisplayPanel(mainPanel);
    SetPopupScriptMode(true);
    Settle();
}

std::string Popups() {
    std::string text;
    for (const PopupRecord &r : PopupLog())
        text += "[" + r.title + "] " + r.text + " ";
    return text;
}

void CheckWindow(const WindowRecord &w) {
    FUZZ_CHECK(w.count >= 1 && w.count <= MAX_SAMPLES);
    for (int k = 1; k < w.count; ++k)
        FUZZ_CHECK(w.time[k] > w.time[k - 1]);
    FUZZ_CHECK(w.sourceWindow == -1);
    FUZZ_CHECK(std::strlen(w.title) < sizeof w.title);
}

} // namespace

FUZZ_TARGET(open_file) {
    SetUp();
    fuzz::Bytes bytes(data, size);
    const bool transfer = bytes.Byte() & 1;
    const std::string_view text = bytes.Rest();
    const std::string path = projectDir + (transfer ? "/input.mon" : "/input.vlr");
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(text.data(), std::streamsize(text.size()));
    }
    RecordingFile f;
    TransferFile t;
    const bool readable = transfer ? ParseTransferFile(text, &t) : ParseRecordingFile(text, &f);

    ClearPopupLog();
    Lire_fichier(path);
    if (!readable) {
        FUZZ_CHECK(windowCount == 0);
        // Refused with the file named and why.
        const std::string why =
            transfer ? "not a transfer file from the instrument" : "not a recording file";
        FUZZ_CHECK_MSG(PopupLog().size() == 1 &&
                           PopupLog()[0].text == "Error openning file\n" + path + ": " + why,
                       Popups());
        return 0;
    }
    FUZZ_CHECK_MSG(PopupLog().empty(), Popups());
    FUZZ_CHECK(windowCount == 1 && currentWindow == 0);
    const WindowRecord &w = windows[0];
    CheckWindow(w);
    if (!transfer) {
        // The window holds what the reader gave.
        FUZZ_CHECK(w.count == static_cast<int>(f.time.size()));
        FUZZ_CHECK(std::equal(f.time.begin(), f.time.end(), w.time));
        FUZZ_CHECK(std::equal(f.value.begin(), f.value.end(), w.value));
        FUZZ_CHECK(w.measureType == f.measureType && w.interval == f.interval && w.mode == f.mode &&
                   w.curveColour == f.curveColour);
        // (A title is text: it ends at a zero byte.)
        FUZZ_CHECK(std::string(w.title) == f.name.substr(0, f.name.find('\0')));
        FUZZ_CHECK((w.hasGaps != 0) == !f.gaps.empty());
    }

    // What a user does next: zoom in, scroll to the end, zoom out.
    Gestion_affichage(menuBar, MENU_ZOOM_IN, nullptr, mainPanel);
    int maximum = 0;
    ScrollBar_GetAttribute(w.panel, WINDOW_SCROLLBAR, kScrollBarAttrMaximum, &maximum);
    ScrollBar_SetAttribute(w.panel, WINDOW_SCROLLBAR, kScrollBarAttrPosition, maximum);
    ScrollBarCallback(w.panel, WINDOW_SCROLLBAR, kScrollBarEventEnd, nullptr, maximum, 0);
    Gestion_affichage(menuBar, MENU_ZOOM_OUT, nullptr, mainPanel);
    FUZZ_CHECK_MSG(PopupLog().empty(), Popups());
    CheckWindow(w);

    Fermer_fenetre();
    FUZZ_CHECK(windowCount == 0);
    Settle();
    return 0;
}
