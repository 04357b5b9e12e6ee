// The File menu on the running program: open, save, close, print, the
// recent-files entries and the list of imported recordings.
#include "display/display.h"
#include "files/files.h"
#include "link/link.h"
#include "platform/platform.h"
#include "shell/shell.h"
#include "support/running_program.h"
#include "toolbox/toolbox.h"
#include "windows/graph_fixture.h"
#include "windows/windows.h"

#include <QImage>
#include <QMainWindow>
#include <QMenuBar>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sys/resource.h>

namespace fs = std::filesystem;
using namespace testsupport;

namespace {

const char *const SETTINGS = "1\n1 38400\n16711680\n12632256\n128\n65280\n16776960\n0\n0\n"
                             "\n1\n25\n5\n650\n1000\n0\n***\n";
const char *const LINE_12 = "0012;1;1;001.00;00010;1.50E+2;2.50E-1;";

class FileMenuTest : public RunningProgramTest {
  protected:
    void SetUp() override {
        RunningProgramTest::SetUp();
        ForgetRecentFiles();
        Start(SETTINGS);
    }
    void TearDown() override {
        CloseProgram();
        SetPrintFileForTesting("");
        RunningProgramTest::TearDown();
    }
    void Start(const std::string &settings) {
        ASSERT_NO_FATAL_FAILURE(StartProgram(settings));
        DismissStartUpDialogs();
        // The main window's layout (menu bar, toolbar) settles after it shows.
        for (int i = 0; i < 10; ++i) {
            Settle();
            Delay(0.01);
        }
    }
    static void Settle() {
        for (int i = 0; i < 3; ++i)
            QApplication::processEvents();
    }
    static void Menu(int item) { Gestion_fichier(menuBar, item, nullptr, mainPanel); }
    // Chooses Open with the dialog giving result `chosen` and `path`.
    // `error` names the error expected after the dialog, if any.
    void OpenThroughMenu(const std::string &path, int chosen = VAL_EXISTING_FILE_SELECTED,
                         const std::string &error = "") {
        Expect("Open", chosen, path);
        if (!error.empty()) Expect(error);
        Menu(MENU_OPEN);
    }
    void SaveThroughMenu(const std::string &path, int chosen) {
        Expect("Save", chosen, path);
        Menu(MENU_SAVE);
    }
    // Writes a small recording file by hand.
    std::string WriteRecording(const std::string &name, int samples = 4) {
        RecordingFile f;
        f.name = name;
        for (int k = 0; k < samples; ++k) {
            f.time.push_back(k);
            f.value.push_back(10.0 + k);
        }
        std::string path = dir.file(name);
        WriteFile(path, FormatRecordingFile(f));
        return path;
    }
    std::vector<std::string> Recent() const {
        std::vector<std::string> paths;
        for (auto &entry : recentFiles)
            paths.push_back(RecentEntryPath(entry));
        return paths;
    }
    std::string ItemText(int item) const {
        std::string text;
        GetMenuBarAttribute(menuBar, item, ATTR_ITEM_NAME, &text);
        return text;
    }
    static int PanelInt(int panel, int attribute) {
        int v = 0;
        GetPanelAttribute(panel, attribute, &v);
        return v;
    }
    // The place of every window is that of the tile layout.
    void ExpectTiled() {
        int H = PanelInt(mainPanel, ATTR_HEIGHT), W = PanelInt(mainPanel, ATTR_WIDTH);
        Calcul_coordonnees_fenetre(W, H - 50);
        for (int i = 0; i < windowCount; ++i) {
            EXPECT_EQ(PanelInt(windows[i].panel, ATTR_TOP), tileTop[i] + AREA_TOP) << i;
            EXPECT_EQ(PanelInt(windows[i].panel, ATTR_LEFT), tileLeft[i] + AREA_LEFT) << i;
            EXPECT_EQ(PanelInt(windows[i].panel, ATTR_HEIGHT), tileHeight[i] - 25) << i;
            EXPECT_EQ(PanelInt(windows[i].panel, ATTR_WIDTH), tileWidth - 9) << i;
        }
    }
    std::string LastPopupText() const { return PopupLog().empty() ? "" : PopupLog().back().text; }
};

// ---------------------------------------------------------------- save and open

TEST_F(FileMenuTest, SavedRecordingOpensAgainTheSame) {
    int s = OpenRecording("run", {100, 250.5, 0, 12.125, 3}, 10, 4, {2});
    WindowRecord &w = windows[s];
    w.coefficient = 2.5;
    w.mode = 1;
    w.curveColour = 0x00FF00;
    std::string path = dir.file("MY TEST.VLR");
    SaveThroughMenu(path, VAL_NEW_FILE_SELECTED);
    ASSERT_TRUE(fs::exists(path));
    EXPECT_EQ(Recent()[0], path);

    Lire_fichier(path);
    ASSERT_EQ(windowCount, 2);
    const WindowRecord &r = windows[currentWindow];
    EXPECT_STREQ(r.title, "MY_TEST.VLR");
    EXPECT_EQ(r.count, 5);
    EXPECT_EQ(r.interval, 10u);
    EXPECT_EQ(r.measureType, 4);
    EXPECT_EQ(r.coefficient, 2.5);
    EXPECT_EQ(r.mode, 1);
    EXPECT_EQ(r.curveColour, 0x00FF00);
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(r.time[k], w.time[k]) << k;
        EXPECT_EQ(r.value[k], w.value[k]) << k;
    }
    // The missing sample was saved with its mark: still missing.
    EXPECT_EQ(r.value[2], 0.0);
    EXPECT_EQ(r.hasGaps, 1);
    EXPECT_EQ(r.gapIndex[0], 2);
    EXPECT_EQ(r.sourceWindow, -1);
    std::string shown;
    GetCtrlAttribute(r.panel, WINDOW_PATH, ATTR_CALLBACK_DATA_PATH, &shown);
    EXPECT_EQ(shown, path);
}

TEST_F(FileMenuTest, MissingFirstValueInAFileIsAGap) {
    std::string path = dir.file("gap.vlr");
    WriteFile(path, "GAP.VLR\n00/00/0000 00:00\n1\n3\n0\n1.000000\n0\n0\n\n"
                    "0.000000 1.000000 2.000000 \n9999999.900000 5.000000 6.000000 ");
    Lire_fichier(path);
    ASSERT_EQ(windowCount, 1);
    const WindowRecord &w = windows[0];
    EXPECT_EQ(w.value[0], 0.0);
    EXPECT_EQ(w.gapIndex[0], 0);
    EXPECT_EQ(w.hasGaps, 1);
    EXPECT_EQ(w.count, 3);
}

TEST_F(FileMenuTest, TimesThatStopRisingEndTheWindowsSamples) {
    std::string path = dir.file("flat.vlr");
    WriteFile(path, "F\n00/00/0000 00:00\n1\n5\n0\n1.0\n0\n0\n\n0 1 2 2 3 \n5 6 7 8 9 ");
    Lire_fichier(path);
    ASSERT_EQ(windowCount, 1);
    EXPECT_EQ(windows[0].count, 3);
}

TEST_F(FileMenuTest, SaveProposesTheWindowsNameAsTheFileName) {
    int s = OpenRecording("run", {1, 2, 3, 4, 5});
    CopyText(windows[s].title, sizeof windows[s].title, "Brake test: 3");
    SaveThroughMenu("", VAL_NO_FILE_SELECTED);
    ASSERT_FALSE(PopupLog().empty());
    EXPECT_EQ(PopupLog().back().kind, "file");
    EXPECT_EQ(LastPopupText(), "Brake test_ 3.vlr");
}

TEST_F(FileMenuTest, SaveOverAnExistingFileAsksAndNoShowsTheDialogAgain) {
    OpenRecording("run", {1, 2, 3});
    std::string path = WriteRecording("old.vlr");
    std::string before = ReadFile(path);
    Expect("Save", VAL_EXISTING_FILE_SELECTED, path);
    Expect("Save", 2); // "No"
    Expect("Save", VAL_NO_FILE_SELECTED);
    Menu(MENU_SAVE);
    ASSERT_EQ(PopupLog().size(), 3u);
    EXPECT_EQ(PopupLog()[0].kind, "file");
    EXPECT_EQ(PopupLog()[1].kind, "generic");
    EXPECT_EQ(PopupLog()[1].text, "File already exists !   Replace existing file ?\n");
    EXPECT_EQ(PopupLog()[1].buttons, (std::vector<std::string>{"Yes", "No"}));
    EXPECT_EQ(PopupLog()[2].kind, "file");
    EXPECT_EQ(ReadFile(path), before);
    EXPECT_EQ(GetWaitCursorState(), 0);

    Expect("Save", VAL_EXISTING_FILE_SELECTED, path);
    Expect("Save", 1); // "Yes"
    Menu(MENU_SAVE);
    EXPECT_NE(ReadFile(path), before);
    EXPECT_EQ(ReadFile(path).substr(0, 8), "old.vlr\n");
}

TEST_F(FileMenuTest, DerivedDisplayIsNotSavedAndEmptyOrNoWindowIsIgnored) {
    Menu(MENU_SAVE); // no window: nothing, no popup
    int s = OpenRecording("speed", {1, 2, 3, 4}, 1, 0);
    windows[s].sourceWindow = 0;
    Expect("Error n° -125");
    Menu(MENU_SAVE);
    EXPECT_EQ(LastPopupText(), "Impossible to do this command");
    for (const auto &e : fs::directory_iterator(dir.path()))
        EXPECT_NE(e.path().extension(), ".vlr") << e.path();
}

TEST_F(FileMenuTest, FailedSaveLeavesTheOldFileAndTheRecentList) {
    std::vector<double> values(2000, 1234.5);
    OpenRecording("big", values);
    std::string path = WriteRecording("keep.vlr");
    std::string before = ReadFile(path);
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    Expect("Save", VAL_EXISTING_FILE_SELECTED, path);
    Expect("Save", 1);
    Expect("Error n° -123");
    Menu(MENU_SAVE);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(ReadFile(path), before) << "the old file byte for byte";
    EXPECT_EQ(Recent()[0], "") << "a failed save enters no list";
    for (int item : recentItems)
        EXPECT_EQ(item, 0);
    int files = 0;
    for (const auto &e : fs::directory_iterator(dir.path()))
        if (e.path().filename().string().find("keep.vlr") != std::string::npos) ++files;
    EXPECT_EQ(files, 1) << "no temporary file is left";
    EXPECT_EQ(windowCount, 1) << "the recording stays in memory";
}

TEST_F(FileMenuTest, SaveUnderAnotherNameThanVlrIsNotARecentFile) {
    OpenRecording("run", {1, 2, 3});
    SaveThroughMenu(dir.file("copy.txt"), VAL_NEW_FILE_SELECTED);
    EXPECT_TRUE(fs::exists(dir.file("copy.txt")));
    EXPECT_EQ(Recent()[0], "");
}

// ---------------------------------------------------------------- open

TEST_F(FileMenuTest, OpenRefusesOtherTypesButStillTiles) {
    OpenRecording("a", {1, 2, 3});
    OpenRecording("b", {1, 2, 3});
    // Move a window out of its cell: the refused Open must tile again.
    SetPanelAttribute(windows[0].panel, ATTR_TOP, 300);
    std::string path = dir.file("notes.txt");
    WriteFile(path, "x");
    OpenThroughMenu(path, VAL_EXISTING_FILE_SELECTED, "Error n° -103");
    EXPECT_EQ(LastPopupText(), "Invalid file type");
    EXPECT_EQ(windowCount, 2);
    ExpectTiled();
    // A recording file in a folder whose name holds ".mon" is still a recording file.
    fs::create_directory(dir.file("OLD.MONTHS"));
    RecordingFile f;
    f.name = "A.VLR";
    f.time = {0, 1};
    f.value = {3, 4};
    WriteFile(dir.file("OLD.MONTHS/A.VLR"), FormatRecordingFile(f));
    OpenThroughMenu(dir.file("OLD.MONTHS/A.VLR"));
    ASSERT_EQ(windowCount, 3);
    EXPECT_STREQ(windows[2].title, "A.VLR");
}

TEST_F(FileMenuTest, ResizingTheMainWindowTilesAgainMovingItDoesNot) {
    OpenRecording("a", {1, 2, 3});
    OpenRecording("b", {1, 2, 3});
    Gestion_fenetre(menuBar, MENU_TILE, nullptr, mainPanel);
    Settle();
    SetPanelAttribute(windows[0].panel, ATTR_TOP, 300);
    SetPanelAttribute(mainPanel, ATTR_LEFT, 40);
    Settle();
    EXPECT_EQ(PanelInt(windows[0].panel, ATTR_TOP), 300) << "a move leaves the windows";
    SetPanelAttribute(mainPanel, ATTR_WIDTH, 900);
    SetPanelAttribute(mainPanel, ATTR_HEIGHT, 600);
    Settle();
    ASSERT_EQ(PanelInt(mainPanel, ATTR_WIDTH), 900);
    ExpectTiled();
}

TEST_F(FileMenuTest, OpenCancelledDoesNothing) {
    OpenThroughMenu("", VAL_NO_FILE_SELECTED);
    EXPECT_EQ(windowCount, 0);
    EXPECT_EQ(PopupLog().size(), 1u);
}

TEST_F(FileMenuTest, MissingUnreadableAndDamagedFilesAreNamedWithTheReason) {
    Expect("Error n° -116");
    Lire_fichier(dir.file("gone.vlr"));
    EXPECT_EQ(LastPopupText(),
              "No file found\n" + dir.file("gone.vlr") + ": No such file or directory");
    fs::create_directory(dir.file("folder.vlr"));
    Expect("Error n° -116");
    Lire_fichier(dir.file("folder.vlr"));
    EXPECT_EQ(LastPopupText(), "No file found\n" + dir.file("folder.vlr") + ": Is a directory");
    for (const char *text : {"", "N\n00/00/0000 00:00\n1\n0\n0\n1\n0\n0\n\n\n",
                             "N\n00/00/0000 00:00\n1\n70000\n0\n1\n0\n0\n\n0\n1",
                             "N\n00/00/0000 00:00\n1\n3\n0\n1\n0\n0\n\nx y z\n1 2 3"}) {
        WriteFile(dir.file("bad.vlr"), text);
        Expect("Error n° -122");
        Lire_fichier(dir.file("bad.vlr"));
        EXPECT_EQ(LastPopupText(),
                  "Error openning file\n" + dir.file("bad.vlr") + ": not a recording file");
        EXPECT_EQ(windowCount, 0) << "no window for a refused file";
        EXPECT_EQ(GetWaitCursorState(), 0);
    }
    WriteFile(dir.file("bad.mon"), "BAD.MON\n0000-03-86\n" + std::string(LINE_12) + "\n");
    language = 0;
    Expect("Erreur n° -122");
    Lire_fichier(dir.file("bad.mon"));
    EXPECT_EQ(LastPopupText(), "Erreur d'ouverture de fichier\n" + dir.file("bad.mon") +
                                   ": ce n'est pas un fichier transféré de l'appareil");
    language = 1;
    EXPECT_EQ(Recent()[0], "");
}

TEST_F(FileMenuTest, SaveThatCannotWriteNamesTheFileAndTheReason) {
    OpenRecording("a", {1, 2, 3});
    const std::string path = dir.file("gone/a.vlr");
    Expect("Save", VAL_NEW_FILE_SELECTED, path);
    Expect("Error n° -123");
    Menu(MENU_SAVE);
    EXPECT_EQ(LastPopupText(), "Error writing file \n" + path + ": No such file or directory");
}

TEST_F(FileMenuTest, TenthWindowIsRefused) {
    std::string path = WriteRecording("w.vlr");
    for (int i = 0; i < MAX_WINDOWS; ++i)
        Lire_fichier(path);
    ASSERT_EQ(windowCount, MAX_WINDOWS);
    Expect("Error n° -101");
    Lire_fichier(path);
    EXPECT_EQ(windowCount, MAX_WINDOWS);
}

TEST_F(FileMenuTest, OpenUndimsTheFileMenuAndTheToolbar) {
    int bar = GetPanelMenuBar(mainPanel);
    for (int item : {MENU_OPEN, MENU_SAVE, MENU_PRINT, MENU_EXIT})
        SetMenuBarAttribute(bar, item, ATTR_DIMMED, 1);
    Griser_menus(1);
    Toolbar_SetAttribute(toolbar, kToolbarAttrDimmed, 1);
    OpenThroughMenu(WriteRecording("u.vlr"));
    ASSERT_EQ(windowCount, 1);
    for (int item : {MENU_FILE, MENU_OPEN, MENU_SAVE, MENU_PRINT, MENU_EXIT, 44, 60}) {
        int dimmed = -1;
        GetMenuBarAttribute(bar, item, ATTR_DIMMED, &dimmed);
        EXPECT_EQ(dimmed, 0) << item;
    }
    int dimmed = -1;
    Toolbar_GetAttribute(toolbar, kToolbarAttrDimmed, &dimmed);
    EXPECT_EQ(dimmed, 0);
}

// ---------------------------------------------------------------- transfer files

TEST_F(FileMenuTest, TransferFileOpensThroughTheDecoderWithEitherLineEnd) {
    WriteFile(dir.file("r12.mon"),
              std::string("RECORDING_12.MON\n05/31/2024 14:07\n") + LINE_12 + "\n");
    WriteFile(dir.file("w12.MON"),
              std::string("C:\\VELOR\\RECORDING_12.MON\r\n05/31/2024 14:07\r\n") + LINE_12 +
                  "\r\n");
    for (const char *name : {"r12.mon", "w12.MON"}) {
        OpenThroughMenu(dir.file(name));
        ASSERT_EQ(windows[currentWindow].count, 2) << name;
        const WindowRecord &w = windows[currentWindow];
        EXPECT_STREQ(w.title, "RECORDING_12.MON") << name;
        EXPECT_EQ(w.value[0], 150.0);
        EXPECT_EQ(w.value[1], 0.25);
        EXPECT_EQ(w.time[1], 10.0);
        EXPECT_EQ(w.mode, 1);
        EXPECT_EQ(w.interval, 10u);
    }
    EXPECT_EQ(recordingDate[0], 5);
    EXPECT_EQ(recordingDate[1], 31);
    EXPECT_EQ(Recent()[0], dir.file("w12.MON"));
    EXPECT_EQ(Recent()[1], dir.file("r12.mon"));
}

TEST_F(FileMenuTest, OverlongTransferLineIsRefused) {
    std::string line(LINE_12);
    while (line.size() <= MAX_TRANSFER_LINE)
        line += "1.50E+2;";
    WriteFile(dir.file("long.mon"), "LONG.MON\n05/31/2024 14:07\n" + line + "\n");
    Expect("Error n° -122");
    Lire_fichier(dir.file("long.mon"));
    EXPECT_EQ(windowCount, 0);
}

// ---------------------------------------------------------------- recent files

TEST_F(FileMenuTest, RecentEntriesFollowTheOpenedFiles) {
    std::vector<std::string> paths;
    for (const char *name : {"a.vlr", "b.vlr", "c.vlr", "d.vlr", "e.vlr"})
        paths.push_back(WriteRecording(name));
    for (int i = 0; i < 5; ++i)
        Lire_fichier(paths[i]);
    EXPECT_EQ(Recent(), (std::vector<std::string>{paths[4], paths[3], paths[2], paths[1]}));
    EXPECT_EQ(ItemText(recentItems[0]), "__1 " + paths[4]);
    EXPECT_EQ(ItemText(recentItems[3]), "__4 " + paths[1]);
    // In the File menu they stand in order between Print (after the two
    // exports) and Exit.
    auto *window = qobject_cast<QMainWindow *>(PanelWidget(mainPanel));
    ASSERT_NE(window, nullptr);
    const std::string exitText = MnemonicText(ItemText(MENU_EXIT));
    std::vector<std::string> shown;
    for (QAction *a : window->menuBar()->actions()) {
        if (!a->menu()) continue;
        std::vector<std::string> texts;
        for (QAction *item : a->menu()->actions())
            if (!item->isSeparator()) texts.push_back(item->text().toStdString());
        if (!texts.empty() && texts.back() == exitText) shown = texts;
    }
    // Open, Save, Open session, Save session, Close, Export as picture, Export as CSV,
    // Print, Print all windows, the four entries, Exit.
    ASSERT_EQ(shown.size(), 14u);
    EXPECT_EQ(shown[7], MnemonicText(ItemText(MENU_PRINT)));
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(shown[9 + k], MnemonicText("__" + std::to_string(k + 1) + " " + paths[4 - k]));

    // Entry 2 again: to the top; 0 to 1, 1 to 2, 3 unchanged.
    Lire_fichier(paths[2]);
    EXPECT_EQ(Recent(), (std::vector<std::string>{paths[2], paths[4], paths[3], paths[1]}));
    int itemsBefore[4];
    std::memcpy(itemsBefore, recentItems, sizeof itemsBefore);
    // Entry 0 again: nothing changes, not even the menu items.
    Lire_fichier(paths[2]);
    EXPECT_EQ(Recent(), (std::vector<std::string>{paths[2], paths[4], paths[3], paths[1]}));
    EXPECT_EQ(std::memcmp(itemsBefore, recentItems, sizeof itemsBefore), 0);
}

TEST_F(FileMenuTest, RecentListSurvivesARestart) {
    std::string a = WriteRecording("Mixed Case.vlr");
    std::string b = WriteRecording("b.vlr");
    Lire_fichier(a);
    Lire_fichier(b);
    Expect("Quit", 1);
    Menu(MENU_EXIT);
    CloseProgram();
    Start(ReadFile(dir.file("Velorcfg.ini")));
    EXPECT_EQ(Recent()[0], b);
    EXPECT_EQ(Recent()[1], a) << "the path keeps its case";
    ASSERT_NE(recentItems[1], 0);
    EXPECT_EQ(ItemText(recentItems[1]), "__2 " + a);
}

TEST_F(FileMenuTest, ChoosingAnEntryOpensItsFileDirectly) {
    std::string a = WriteRecording("a.vlr", 6);
    std::string b = WriteRecording("b.vlr", 3);
    Lire_fichier(a);
    Lire_fichier(b);
    ASSERT_EQ(windowCount, 2);
    // No dialog may appear: an unexpected popup fails the test.
    ASSERT_EQ(InvokeMenuItem(menuBar, recentItems[1]), 0);
    ASSERT_EQ(windowCount, 3);
    EXPECT_EQ(windows[2].count, 6);
    EXPECT_EQ(Recent()[0], a);
    EXPECT_TRUE(PopupLog().empty());
}

TEST_F(FileMenuTest, EntryWhoseFileIsGoneShowsTheOpenDialog) {
    std::string a = WriteRecording("a.vlr");
    std::string b = WriteRecording("b.vlr", 7);
    Lire_fichier(a);
    fs::remove(a);
    Expect("Open", VAL_EXISTING_FILE_SELECTED, b);
    InvokeMenuItem(menuBar, recentItems[0]);
    ASSERT_EQ(PopupLog().size(), 1u);
    EXPECT_EQ(PopupLog()[0].kind, "file");
    ASSERT_EQ(windowCount, 2);
    EXPECT_EQ(windows[1].count, 7);
    // A file of another type chosen there is ignored without a message.
    std::string c = dir.file("c.txt");
    WriteFile(c, "x");
    fs::remove(b);
    Expect("Open", VAL_EXISTING_FILE_SELECTED, c);
    InvokeMenuItem(menuBar, recentItems[0]);
    EXPECT_EQ(windowCount, 2);
}

// ---------------------------------------------------------------- close and exit

TEST_F(FileMenuTest, CloseClosesTheCurrentWindowAndWithoutOneSaysSo) {
    OpenRecording("a", {1, 2});
    OpenRecording("b", {3, 4});
    // Imported windows hold unsaved work: Discard lets them go.
    Expect("Close", 2);
    Menu(MENU_CLOSE);
    EXPECT_EQ(windowCount, 1);
    EXPECT_STREQ(windows[0].title, "a");
    Expect("Close", 2);
    Menu(MENU_CLOSE);
    EXPECT_EQ(windowCount, 0);
    Expect("Error n° -104");
    Menu(MENU_CLOSE);
    Expect("Error n° -104");
    Menu(MENU_PRINT);
    EXPECT_EQ(LastPopupText(), "No graph selected");
}

TEST_F(FileMenuTest, ExitAsksFirst) {
    Expect("Quit", 2);
    Menu(MENU_EXIT);
    EXPECT_TRUE(PanelExists(mainPanel));
    EXPECT_EQ(LastPopupText(), "Are you sure you want to quit ?\n");
}

// ---------------------------------------------------------------- printing

// The bounding box of what is not white on a page picture.
QRect InkBox(const QImage &page) {
    int left = page.width(), top = page.height(), right = -1, bottom = -1;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (qGray(page.pixel(x, y)) < 245) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

TEST_F(FileMenuTest, PrintOfAFullScreenWindowGivesOneReportPageAndLeavesTheWindowsTiled) {
    OpenRecording("first", RunUpCurve(600));
    int s = OpenRecording("printed", RunUpCurve(900));
    windows[s].curveColour = 0xFF0000;
    Gestion_fenetre(menuBar, MENU_TILE, nullptr, mainPanel);
    int H = PanelInt(mainPanel, ATTR_HEIGHT), W = PanelInt(mainPanel, ATTR_WIDTH);
    Gestion_fenetre(menuBar, MENU_FULL_SCREEN, nullptr, mainPanel);
    ASSERT_EQ(PanelInt(windows[s].panel, ATTR_HEIGHT), H - 75);
    ASSERT_EQ(PanelInt(windows[s].panel, ATTR_WIDTH), W - 9);
    Settle();
    std::string pdf = dir.file("print.pdf");
    SetPrintFileForTesting(pdf);
    Expect("Print preview");
    Menu(MENU_PRINT);
    ASSERT_TRUE(fs::exists(pdf));
    EXPECT_EQ(PdfPages(pdf), 1);
    ExpectTiled();

    std::string png = dir.file("page");
    std::string command = "pdftoppm -png -r 100 -singlefile '" + pdf + "' '" + png + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    QImage page(QString::fromStdString(png + ".png"));
    ASSERT_FALSE(page.isNull());
    QRect ink = InkBox(page);
    ASSERT_FALSE(ink.isEmpty());
    // A landscape page with the red curve on it, and no picture of the
    // window: none of its navy title bar.
    EXPECT_GT(page.width(), page.height());
    int red = 0, navy = 0;
    for (int y = ink.top(); y <= ink.bottom(); ++y)
        for (int x = ink.left(); x <= ink.right(); ++x) {
            QRgb c = page.pixel(x, y);
            if (qRed(c) - std::max(qGreen(c), qBlue(c)) > 60) ++red;
            if (qBlue(c) > 90 && qRed(c) < 60 && qGreen(c) < 60) ++navy;
        }
    EXPECT_GT(red, 400);
    EXPECT_LT(navy, 50);
    if (const char *keep = std::getenv("VELORINDER_KEEP_PRINT"))
        fs::copy_file(png + ".png", keep, fs::copy_options::overwrite_existing);
}

// The measuring cursor stays on the sample the user chose, and the
// variation cursors where he put them, whatever re-arranges the windows.
TEST_F(FileMenuTest, CursorsStayPutThroughTileCascadeANewWindowAndPrint) {
    int s = OpenRecording("measured", RunUpCurve(300));
    int p = windows[s].panel;
    SetGraphCursor(p, WINDOW_GRAPH, 1, 125, 0);
    Gestion_affichage(menuBar, MENU_VARIATION_CURSORS, nullptr, mainPanel);
    SetGraphCursor(p, WINDOW_GRAPH, 2, 40, 700);
    SetGraphCursor(p, WINDOW_GRAPH, 3, 210, 900);
    auto expectPut = [&](const char *after) {
        int plot = -1, index = -1;
        GetGraphCursorIndex(p, WINDOW_GRAPH, 1, &plot, &index);
        EXPECT_EQ(index, 125) << after;
        double x = 0, y = 0;
        GetGraphCursor(p, WINDOW_GRAPH, 2, &x, &y);
        EXPECT_EQ(std::make_pair(x, y), std::make_pair(40.0, 700.0)) << after;
        GetGraphCursor(p, WINDOW_GRAPH, 3, &x, &y);
        EXPECT_EQ(std::make_pair(x, y), std::make_pair(210.0, 900.0)) << after;
    };
    OpenRecording("other", RunUpCurve(100));
    expectPut("a new window");
    Gestion_fenetre(menuBar, MENU_TILE, nullptr, mainPanel);
    expectPut("Tile");
    Gestion_fenetre(menuBar, MENU_CASCADE, nullptr, mainPanel);
    expectPut("Cascade");
    Gestion_fenetre(menuBar, windows[s].menuItem, nullptr, mainPanel);
    Settle();
    ASSERT_EQ(currentWindow, s);
    SetPrintFileForTesting(dir.file("print.pdf"));
    Expect("Print preview");
    Menu(MENU_PRINT);
    ASSERT_TRUE(fs::exists(dir.file("print.pdf")));
    expectPut("Print");
}

TEST_F(FileMenuTest, PrintThatCannotWriteSaysSo) {
    OpenRecording("a", {1, 2, 3});
    SetPrintFileForTesting(dir.file("no/such/folder/print.pdf"));
    Expect("Print preview");
    Expect("Error n° -123");
    Menu(MENU_PRINT);
    ExpectTiled();
}

// ---------------------------------------------------------------- list of imported recordings

class RecordingListTest : public FileMenuTest {
  protected:
    // Stages entry e as an import leaves it, with its transfer file.
    void Stage(int e, int samples) {
        std::string line = "0012;1;1;001.00;00010;";
        for (int k = 0; k < samples; ++k)
            line += "1.50E+2;";
        std::string path = dir.file("recording_" + std::to_string(e) + ".mon");
        WriteFile(path,
                  "RECORDING_" + std::to_string(e) + ".MON\n05/31/2024 14:07\n" + line + "\n");
        importTable[e].fileName = path;
        importTable[e].count = samples;
    }
    int ShowList() {
        int panel = LoadPanel(0, ResourceFile(), PANEL_RECORDING_LIST);
        for (int row = 0; row <= recordingCount; ++row)
            InsertListItem(panel, LIST_RECORDINGS, -1, "row", row);
        InstallPopup(panel);
        return panel;
    }
    void Choose(int panel, int row) {
        SetCtrlIndex(panel, LIST_RECORDINGS, row);
        IndexTableau(panel, LIST_RECORDINGS, EVENT_VAL_CHANGED, nullptr, 0, 0);
        Settle();
    }
};

TEST_F(RecordingListTest, RowOpensTheTransferFileOfTheNextEntry) {
    recordingCount = 2;
    Stage(1, 6);
    Stage(2, 9);
    int panel = ShowList();
    // Other events than a change of row do nothing.
    IndexTableau(panel, LIST_RECORDINGS, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_TRUE(PanelExists(panel));
    Choose(panel, 1);
    EXPECT_FALSE(PanelExists(panel));
    ASSERT_EQ(windowCount, 1);
    EXPECT_EQ(windows[0].count, 9);
    EXPECT_STREQ(windows[0].title, "RECORDING_2.MON");
}

TEST_F(RecordingListTest, ShortEntriesAndTheBlankRowOpenNothing) {
    recordingCount = 2;
    Stage(1, 4);
    Stage(2, 6);
    Stage(3, 6); // left by an earlier, longer import
    Choose(ShowList(), 0);
    EXPECT_EQ(windowCount, 0);
    Choose(ShowList(), 2);
    EXPECT_EQ(windowCount, 0);
}

} // namespace
