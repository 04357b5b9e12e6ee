// Unsaved work on the running program: the marks of changed windows, the
// question before such work goes, the recovery session, and files dropped
// on the main window.
#include "display/display.h"
#include "edit/edit.h"
#include "files/files.h"
#include "link/link.h"
#include "platform/platform.h"
#include "session/session.h"
#include "shell/shell.h"
#include "support/running_program.h"
#include "windows/graph_fixture.h"
#include "windows/windows.h"

#include <QApplication>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace testsupport;

namespace {

const char *const SETTINGS = "1\n1 38400\n16711680\n12632256\n128\n65280\n16776960\n0\n0\n"
                             "\n1\n25\n5\n650\n1000\n0\n***\n";

class UnsavedWorkTest : public RunningProgramTest {
  protected:
    void SetUp() override {
        RunningProgramTest::SetUp();
        ForgetRecentFiles();
        static bool registered = false;
        if (!registered) {
            RegisterEditCallbacks();
            registered = true;
        }
        ASSERT_NO_FATAL_FAILURE(StartProgram(SETTINGS, false));
    }
    void TearDown() override {
        EndRecovery();
        RunningProgramTest::TearDown();
    }
    std::string WriteRecording(const std::string &name) {
        RecordingFile f;
        f.name = name;
        for (int k = 0; k < 5; ++k) {
            f.time.push_back(k);
            f.value.push_back(10.0 + k);
        }
        const std::string path = dir.file(name);
        WriteFile(path, FormatRecordingFile(f));
        return path;
    }
    static int Mark(int slot) {
        CheckForChanges();
        int mark = -1;
        GetPanelAttribute(windows[slot].panel, ATTR_WINDOW_MODIFIED, &mark);
        return mark;
    }
    void Rename(const std::string &title) {
        Expect("Rename Window", 1, title);
        Gestion_edition(menuBar, MENU_RENAME_WINDOW, nullptr, mainPanel);
    }
    static void FileMenu(int item) { Gestion_fichier(menuBar, item, nullptr, mainPanel); }
    void Exit(int answer) {
        Expect("Quit", answer);
        Sortir(mainPanel, 2, EVENT_COMMIT, nullptr, 0, 0);
    }
};

TEST_F(UnsavedWorkTest, AnOpenedFileIsMarkedOnlyOnceItsWorkChanges) {
    Lire_fichier(WriteRecording("a.vlr"));
    ASSERT_EQ(windowCount, 1);
    EXPECT_EQ(Mark(0), 0);
    // Reading it is no change: zoom, tiling, cursors.
    Gestion_affichage(menuBar, MENU_ZOOM_IN, nullptr, mainPanel);
    Gestion_fenetre(menuBar, MENU_CASCADE, nullptr, mainPanel);
    SetGraphCursor(windows[0].panel, WINDOW_GRAPH, 1, 2.0, 12.0);
    EXPECT_EQ(Mark(0), 0);
    EXPECT_FALSE(ScreenChanged());
    Rename("run 2");
    EXPECT_EQ(Mark(0), 1);
    EXPECT_TRUE(ScreenChanged());
    // The old name back is the saved content again.
    Rename("a.vlr");
    EXPECT_EQ(Mark(0), 0);
}

TEST_F(UnsavedWorkTest, ImportsDerivedDisplaysAndLabelsAreChanges) {
    OpenRecording("imported", {1, 2, 3, 4});
    Lire_fichier(WriteRecording("b.vlr"));
    ASSERT_EQ(windowCount, 2);
    EXPECT_EQ(Mark(0), 1) << "an import was never saved";
    EXPECT_EQ(Mark(1), 0);
    Gestion_edition(menuBar, MENU_MIN_LABEL, nullptr, mainPanel);
    EXPECT_EQ(Mark(1), 1) << "a label";
}

TEST_F(UnsavedWorkTest, SavingTheRecordingOrTheSessionTakesTheMarkAway) {
    OpenRecording("imported", {1, 2, 3, 4});
    Expect("Save", VAL_NEW_FILE_SELECTED, dir.file("imported.vlr"));
    FileMenu(MENU_SAVE);
    EXPECT_EQ(Mark(0), 0);
    OpenRecording("second", {5, 6, 7});
    Rename("renamed");
    EXPECT_TRUE(ScreenChanged());
    ASSERT_TRUE(SaveSessionFile(dir.file("screen.vls")));
    EXPECT_EQ(Mark(0), 0);
    EXPECT_EQ(Mark(1), 0);
}

TEST_F(UnsavedWorkTest, CloseOfAChangedWindowAsksAndCancelKeepsIt) {
    Lire_fichier(WriteRecording("saved.vlr"));
    OpenRecording("imported", {1, 2, 3, 4});
    Expect("Close", 3);
    FileMenu(MENU_CLOSE);
    ASSERT_EQ(windowCount, 2);
    EXPECT_EQ(PopupLog().back().buttons,
              (std::vector<std::string>{"Save session", "Discard", "Cancel"}));
    EXPECT_EQ(PopupLog().back().text,
              "This window holds changes that have not been saved.\nSave the session?");
    Expect("Close", 2);
    FileMenu(MENU_CLOSE);
    ASSERT_EQ(windowCount, 1);
    // A window as saved closes without a question (any popup fails the test).
    FileMenu(MENU_CLOSE);
    EXPECT_EQ(windowCount, 0);
}

TEST_F(UnsavedWorkTest, ExitWithOnlySavedWindowsKeepsThePlainQuestion) {
    Lire_fichier(WriteRecording("a.vlr"));
    Exit(2);
    EXPECT_EQ(PopupLog().back().text, "Are you sure you want to quit ?\n");
    EXPECT_EQ(windowCount, 1);
}

TEST_F(UnsavedWorkTest, ExitWhoseSaveIsCancelledGoesNoFurther) {
    OpenRecording("imported", {1, 2, 3, 4});
    // Removed by an exit that goes through.
    WriteFile(dir.file("left.tmp"), "not a recording");
    language = 2;
    Expect("Beenden", 1);
    Expect("Sitzung speichern", VAL_NO_FILE_SELECTED);
    Sortir(mainPanel, 2, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_EQ(PopupLog()[0].text,
              "Einige Fenster enthalten nicht gespeicherte Änderungen.\nSitzung speichern?");
    EXPECT_TRUE(fs::exists(dir.file("left.tmp")));
    EXPECT_EQ(windowCount, 1);
    language = 1;
}

TEST_F(UnsavedWorkTest, OpeningASessionOverChangedWindowsAsksOnce) {
    Lire_fichier(WriteRecording("a.vlr"));
    ASSERT_TRUE(SaveSessionFile(dir.file("screen.vls")));
    Rename("mine");
    OpenRecording("imported", {1, 2, 3});
    ClearPopupLog();
    Expect("Open session", 3);
    EXPECT_FALSE(OpenSessionFile(dir.file("screen.vls")));
    ASSERT_EQ(windowCount, 2);
    EXPECT_STREQ(windows[0].title, "mine");
    Expect("Open session", 2);
    EXPECT_TRUE(OpenSessionFile(dir.file("screen.vls")));
    ASSERT_EQ(windowCount, 1);
    EXPECT_STREQ(windows[0].title, "a.vlr");
    EXPECT_EQ(Mark(0), 0) << "as the session file holds it";
    EXPECT_EQ(PopupLog().size(), 2u);
}

TEST_F(UnsavedWorkTest, RecoveryKeepsTheScreenAndOffersOnlyARunThatDied) {
    ASSERT_TRUE(StartRecovery());
    const std::string own = RecoveryDir() + "/run-" + std::to_string(getpid()) + ".vls";
    OpenRecording("imported", {1, 2, 3, 4});
    Rename("work");
    WriteRecovery();
    Session kept;
    std::string why;
    ASSERT_TRUE(ParseSession(ReadFile(own), &kept, &why)) << why;
    ASSERT_EQ(kept.windows.size(), 1u);
    EXPECT_EQ(kept.windows[0].title, "work");
    EXPECT_TRUE(AbandonedRecoveries().empty()) << "this run's own session is alive";

    // One run died, another still runs (its lock is held).
    const std::string dead = RecoveryDir() + "/run-1.vls";
    const std::string alive = RecoveryDir() + "/run-2.vls";
    fs::copy_file(own, dead);
    fs::copy_file(own, alive);
    const int lock = HoldRunLock(RecoveryDir() + "/run-2.lock");
    ASSERT_GE(lock, 0);
    EXPECT_EQ(AbandonedRecoveries(), std::vector<std::string>{dead});

    // No: the session goes, nothing opens.
    Expect("Recovery", 2);
    EXPECT_TRUE(OfferRecovery());
    EXPECT_FALSE(fs::exists(dead));
    EXPECT_EQ(windowCount, 1);

    // Yes: the screen comes back, all of it unsaved.
    fs::copy_file(own, dead);
    Fermer_fenetre();
    ASSERT_EQ(windowCount, 0);
    CheckForChanges();
    WriteRecovery();
    EXPECT_FALSE(fs::exists(own)) << "no window, nothing to keep";
    Expect("Recovery", 1);
    EXPECT_TRUE(OfferRecovery());
    ASSERT_EQ(windowCount, 1);
    EXPECT_STREQ(windows[0].title, "work");
    EXPECT_EQ(Mark(0), 1);
    EXPECT_FALSE(fs::exists(dead));
    EXPECT_TRUE(fs::exists(alive));

    // A clean exit leaves nothing of this run.
    EndRecovery();
    EXPECT_FALSE(fs::exists(own));
    EXPECT_FALSE(fs::exists(RecoveryDir() + "/run-" + std::to_string(getpid()) + ".lock"));
    ReleaseRunLock(lock, RecoveryDir() + "/run-2.lock");
}

TEST_F(UnsavedWorkTest, DroppedFilesOpenAndABadOneSaysWhy) {
    const std::string a = WriteRecording("a.vlr");
    WriteFile(dir.file("b.mon"), "b.mon\n03/07/2024 09:05\n"
                                 "0012;1;1;001.00;00010;1.50E+2;2.50E-1;3.00E+1;4.25E+0;\n");
    WriteFile(dir.file("notes.txt"), "shopping list");
    SetFileDropCallback(mainPanel,
                        [](const std::vector<std::string> &paths) { OpenDesktopFiles(paths); });
    Expect("Error");
    ASSERT_TRUE(DropFilesForTesting(mainPanel, {a, dir.file("notes.txt"), dir.file("b.mon")}));
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    ASSERT_EQ(windowCount, 2);
    EXPECT_STREQ(windows[0].title, "a.vlr");
    EXPECT_EQ(PopupLog().back().text, "Invalid file type\n" + dir.file("notes.txt"));

    // A session, known by its content under any name, replaces the screen.
    ASSERT_TRUE(SaveSessionFile(dir.file("screen.vls")));
    fs::copy_file(dir.file("screen.vls"), dir.file("screen.json"));
    Fermer_fenetre();
    ASSERT_EQ(windowCount, 1);
    EXPECT_TRUE(IsSessionFile(dir.file("screen.json")));
    EXPECT_FALSE(IsSessionFile(a));
    ASSERT_TRUE(DropFilesForTesting(mainPanel, {dir.file("screen.json")}));
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    EXPECT_EQ(windowCount, 2);
    SetFileDropCallback(mainPanel, nullptr);
    EXPECT_FALSE(DropFilesForTesting(mainPanel, {a}));
}

} // namespace
