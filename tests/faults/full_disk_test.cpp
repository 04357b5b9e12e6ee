// Saves onto a full disk: a recording file, the settings and a workbook each
// show their error the way the program shows errors and leave the old file
// as it was, with no temporary file beside it. The disk is a small tmpfs
// filled up (when the test may mount one, as root) or, anywhere, the
// process's file size limit.
#include "export/export.h"
#include "files/files.h"
#include "link/link.h"
#include "windows/graph_fixture.h"

#include <QAbstractButton>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace testsupport;

namespace {

enum class Disk { SmallFileSystem, FileSizeLimit };

std::set<std::string> Names(const std::string &dir) {
    std::set<std::string> names;
    for (const auto &e : fs::directory_iterator(dir))
        names.insert(e.path().filename().string());
    return names;
}

class FullDisk : public GraphWindowTest, public ::testing::WithParamInterface<Disk> {
  protected:
    void SetUp() override {
        GraphWindowTest::SetUp();
        full = dir.file("full");
        fs::create_directory(full);
        if (GetParam() == Disk::SmallFileSystem) {
            if (geteuid() != 0 || mount("tmpfs", full.c_str(), "tmpfs", 0, "size=512k") != 0)
                GTEST_SKIP() << "mounting a small file system needs root";
            mounted = true;
        }
    }
    void TearDown() override {
        Release();
        if (mounted) umount2(full.c_str(), MNT_DETACH);
        GraphWindowTest::TearDown();
    }

    // From here on no file in `full` can grow; the old files are in place.
    void Fill() {
        if (GetParam() == Disk::SmallFileSystem) {
            int fd = open((full + "/filler").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
            ASSERT_GE(fd, 0);
            std::vector<char> block(4096, 'f');
            while (write(fd, block.data(), block.size()) > 0) {
            }
            close(fd);
        } else {
            ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
            struct rlimit small = saved;
            small.rlim_cur = 512;
            // The program itself must turn the limit's signal into a failed
            // write: the test leaves SIGXFSZ as it is.
            ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
            limited = true;
        }
        before = Names(full);
    }
    void Release() {
        if (limited) setrlimit(RLIMIT_FSIZE, &saved);
        limited = false;
    }
    void ExpectNothingNewIn() { EXPECT_EQ(Names(full), before) << "no temporary file is left"; }
    void ExpectLastError(const std::string &title, const std::string &text) {
        ASSERT_FALSE(PopupLog().empty());
        EXPECT_EQ(PopupLog().back().title, title);
        EXPECT_EQ(PopupLog().back().text, text);
    }

    std::string full;
    bool mounted = false;
    bool limited = false;
    struct rlimit saved {};
    std::set<std::string> before;
};

TEST_P(FullDisk, RecordingSaveShowsError23AndKeepsTheOldFile) {
    RegisterFileCallbacks();
    OpenRecording("big", RunUpCurve(2000));
    const std::string path = full + "/run.vlr";
    RecordingFile old;
    old.name = "RUN.VLR";
    old.time = {0, 1};
    old.value = {5, 6};
    const std::string oldText = FormatRecordingFile(old);
    WriteFile(path, oldText);
    Fill();
    Expect("Save", VAL_EXISTING_FILE_SELECTED, path);
    Expect("Save", 1); // replace it
    Expect("Error n° -123");
    Gestion_fichier(menuBar, MENU_SAVE, nullptr, mainPanel);
    Release();
    ExpectLastError(
        "Error n° -123",
        "Error writing file \n" + path + ": " +
            (GetParam() == Disk::SmallFileSystem ? "No space left on device" : "File too large"));
    EXPECT_EQ(ReadFile(path), oldText);
    ExpectNothingNewIn();
    EXPECT_EQ(windowCount, 1) << "the recording stays in memory";
}

TEST_P(FullDisk, SettingsSaveShowsError23AndKeepsTheOldFile) {
    const std::string oldText = "1\n1 38400\n16711680\n12632256\n128\n65280\n16776960\n0\n0\n"
                                "\n1\n25\n5\n500\n800\n0\n***\n";
    settingsPath = full + "/Velorcfg.ini";
    WriteFile(settingsPath, oldText);
    // Long recent-files entries: the new file is larger than any limit here.
    for (int i = 0; i < 4; ++i)
        CopyText(recentFiles[i], sizeof recentFiles[i],
                 "___" + std::to_string(i + 1) + " /" + std::string(280, 'a' + i) + ".vlr");
    Fill();
    for (int tick : {1, 0}) {
        SetMenuBarAttribute(menuBar, MENU_SAVE_ON_EXIT, ATTR_CHECKED, tick);
        Expect("Error n° -123");
        SaveSettingsAtExit();
        ExpectLastError("Error n° -123", "Error writing file ");
        EXPECT_EQ(ReadFile(settingsPath), oldText) << "tick " << tick;
    }
    Release();
    std::memset(recentFiles, 0, sizeof recentFiles);
    ExpectNothingNewIn();
}

TEST_P(FullDisk, WorkbookExportShowsError12AndKeepsTheOldWorkbook) {
    CopyFromProgramDir("velorind.xl", dir.path());
    spreadsheetPanel = LoadPanel(0, ResourceFile(), PANEL_SPREADSHEET);
    progressPanel = LoadPanel(0, ResourceFile(), PANEL_PROGRESS);
    ASSERT_GT(spreadsheetPanel, 0);
    spreadsheetDir = full;
    sheetCounter = 0;
    auto click = [](int control) {
        auto *button = qobject_cast<QAbstractButton *>(CtrlWidget(spreadsheetPanel, control));
        ASSERT_NE(button, nullptr);
        button->click();
    };
    OpenRecording("run", RunUpCurve(500));
    const std::string path = full + "/run.xlsx";
    const std::string oldText = "an old workbook, kept as it is";
    WriteFile(path, oldText);
    Fill();
    Gestion_import(menuBar, MENU_SPREADSHEET_EXPORT, nullptr, mainPanel);
    click(EXCEL_RUN);
    ASSERT_EQ(excelStarted, 1);
    Expect("Save", VAL_EXISTING_FILE_SELECTED, path);
    Expect("EXCEL Sheet", 1); // replace it
    Expect("Error n° -112");
    click(EXCEL_EXPORT);
    Release();
    ExpectLastError(
        "Error n° -112",
        "Error writing to EXCEL\n" + path + ": " +
            (GetParam() == Disk::SmallFileSystem ? "No space left on device" : "File too large"));
    EXPECT_EQ(ReadFile(path), oldText);
    ExpectNothingNewIn();
    Expect("EXCEL Sheet");
    click(EXCEL_QUIT);
    RemovePopup(1);
    DiscardPanel(spreadsheetPanel);
    DiscardPanel(progressPanel);
    spreadsheetPanel = progressPanel = 0;
}

INSTANTIATE_TEST_SUITE_P(, FullDisk, ::testing::Values(Disk::SmallFileSystem, Disk::FileSizeLimit),
                         [](const auto &info) {
                             return info.param == Disk::SmallFileSystem ? "SmallFileSystem"
                                                                        : "FileSizeLimit";
                         });

} // namespace
