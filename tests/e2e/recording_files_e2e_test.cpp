// The whole road of a recording: instrument simulator on a pseudo-terminal,
// import, a row of the list opens its transfer file, the window is saved as
// a recording file and opened again.
#include "display/display.h"
#include "files/files.h"
#include "link/link.h"
#include "link_end_to_end.h"
#include "platform/platform.h"
#include "rd5150-sim/simulator.h"
#include "shell/shell.h"
#include "support/app_fixture.h"
#include "windows/windows.h"

#include <QAbstractButton>
#include <QApplication>
#include <QListWidget>
#include <cmath>
#include <filesystem>
#include <iterator>
#include <memory>
#include <sstream>

namespace fs = std::filesystem;
using namespace testsupport;

namespace {

const char *const SETTINGS = "1\n1 38400\n16711680\n12632256\n128\n65280\n16776960\n0\n0\n"
                             "\n1\n25\n5\n600\n900\n0\n***\n";

// A run-up of a shaft, one sample every 2 s, with a missing sample.
rd5150::Recording RunUp() {
    rd5150::Recording r;
    r.number = 7;
    r.mode = 1;
    r.unitIndex = 6;
    r.coefficient = 2.5;
    r.interval = 2;
    for (int k = 0; k < 40; ++k)
        r.values.push_back(k == 13 ? rd5150::kMissingSample : 30.0 * k + 0.125 * (k % 7));
    return r;
}

// Four value fields, the last without exponent marker: the entry keeps 4 samples.
rd5150::Recording Short() {
    return rd5150::Recording::Raw("0008;0;1;001.00;00001;1.50E+2;2.50E+1;3.00E+0;12345678;");
}

class RecordingFilesEndToEnd : public e2e::LinkEndToEnd {
  protected:
    RecordingFilesEndToEnd() : LinkEndToEnd(SETTINGS) {}
    void SetUp() override {
        LinkEndToEnd::SetUp();
        static bool registered = false;
        if (!registered) {
            RegisterFileCallbacks();
            registered = true;
        }
        rd5150::Options options;
        options.paced = false;
        ASSERT_NO_FATAL_FAILURE(StartLink({RunUp(), Short()}, options, dir.file("COM1")));
        ClearPopupLog();
    }
    void TearDown() override {
        if (started) {
            while (windowCount > 0) {
                currentWindow = windowCount - 1;
                Fermer_fenetre();
            }
        }
        LinkEndToEnd::TearDown();
    }
    // Imports both recordings into named transfer files; the list shows.
    void Import() {
        Expect("Save", VAL_NEW_FILE_SELECTED, dir.file("shaft run.mon"));
        Expect("Save", VAL_NEW_FILE_SELECTED, dir.file("short.mon"));
        Gestion_import(menuBar, MENU_IMPORT, nullptr, mainPanel);
        ASSERT_GT(listPanel, 0);
        for (const auto &p : PopupLog())
            ASSERT_EQ(p.kind, "file") << p.title << ": " << p.text;
    }
    // The user picks a row of the list, as a click on it does.
    static void ChooseRow(int row) {
        auto *list = qobject_cast<QListWidget *>(CtrlWidget(listPanel, LIST_RECORDINGS));
        ASSERT_NE(list, nullptr);
        list->setCurrentRow(row);
        QApplication::processEvents();
    }
};

TEST_F(RecordingFilesEndToEnd, ImportedRecordingSavedAndOpenedAgainKeepsItsSamples) {
    Import();
    ChooseRow(0);
    EXPECT_EQ(listPanel, 0) << "choosing a row closes the list";
    ASSERT_EQ(windowCount, 1);
    const WindowRecord &imported = windows[0];
    EXPECT_STREQ(imported.title, "shaft_run.mon");
    ASSERT_EQ(imported.count, 40);
    EXPECT_EQ(imported.hasGaps, 1);
    EXPECT_EQ(imported.gapIndex[0], 13);
    EXPECT_EQ(imported.value[13], 0.0);
    EXPECT_EQ(imported.time[39], 78.0);
    EXPECT_EQ(imported.measureType, 6);
    EXPECT_EQ(RecentEntryPath(recentFiles[0]), dir.file("shaft run.mon"));

    std::string saved = dir.file("shaft run.vlr");
    Expect("Save", VAL_NEW_FILE_SELECTED, saved);
    Gestion_fichier(menuBar, MENU_SAVE, nullptr, mainPanel);
    ASSERT_TRUE(fs::exists(saved));
    EXPECT_EQ(RecentEntryPath(recentFiles[0]), saved);

    Expect("Open", VAL_EXISTING_FILE_SELECTED, saved);
    Gestion_fichier(menuBar, MENU_OPEN, nullptr, mainPanel);
    ASSERT_EQ(windowCount, 2);
    const WindowRecord &reopened = windows[1];
    EXPECT_STREQ(reopened.title, "shaft_run.vlr");
    ASSERT_EQ(reopened.count, imported.count);
    // The file holds six decimals: the decoder's 5.1 x 100 = 510.00000000000006
    // comes back as 510.
    for (int k = 0; k < imported.count; ++k) {
        EXPECT_NEAR(reopened.time[k], imported.time[k], 5e-7) << k;
        EXPECT_NEAR(reopened.value[k], imported.value[k], 5e-7) << k;
    }
    EXPECT_EQ(reopened.interval, imported.interval);
    EXPECT_EQ(reopened.measureType, imported.measureType);
    EXPECT_EQ(reopened.coefficient, imported.coefficient);
    EXPECT_EQ(reopened.mode, imported.mode);
    EXPECT_EQ(reopened.curveColour, imported.curveColour);
    EXPECT_EQ(reopened.hasGaps, 1) << "the missing sample stays missing";
    EXPECT_EQ(GapCount(reopened), 1);
    EXPECT_EQ(reopened.gapIndex[0], 13);

    // Saved with its mark, and with the date the transfer file carries
    // (month first there, day first in a recording file).
    std::string monText, vlrText;
    ASSERT_TRUE(ReadWholeFile(dir.file("shaft run.mon"), &monText));
    ASSERT_TRUE(ReadWholeFile(saved, &vlrText));
    auto line = [](const std::string &text, int n) {
        std::istringstream in(text);
        std::string l;
        for (int i = 0; i <= n; ++i)
            std::getline(in, l);
        return l;
    };
    std::string when = line(monText, 1);
    ASSERT_EQ(when.size(), 16u) << when;
    EXPECT_NE(when.substr(6, 4), "0000");
    EXPECT_EQ(line(vlrText, 1), when.substr(3, 3) + when.substr(0, 3) + when.substr(6));
    std::istringstream values(line(vlrText, 10));
    std::vector<std::string> words{std::istream_iterator<std::string>(values), {}};
    ASSERT_EQ(words.size(), 40u);
    EXPECT_EQ(words[13], "9999999.900000");
    EXPECT_EQ(reopened.month, imported.month);
    EXPECT_EQ(reopened.day, imported.day);
    EXPECT_EQ(reopened.year, std::stoi(when.substr(6, 4)));
    EXPECT_EQ(reopened.hour, imported.hour);
    EXPECT_EQ(reopened.minute, imported.minute);
    int errors = 0;
    for (const auto &p : PopupLog())
        if (p.title.rfind("Error", 0) == 0) ++errors;
    EXPECT_EQ(errors, 0);
}

TEST_F(RecordingFilesEndToEnd, RowOfAnEntryWithFewerThanFiveSamplesOpensNothing) {
    Import();
    ASSERT_EQ(recordingCount, 2);
    ASSERT_LT(importTable[2].count, 5);
    ChooseRow(1);
    EXPECT_EQ(listPanel, 0);
    EXPECT_EQ(windowCount, 0);
    EXPECT_EQ(PopupLog().size(), 2u) << "the two file dialogs of the import, nothing after";
    EXPECT_EQ(recentFiles[0][0], '\0');
}

} // namespace
