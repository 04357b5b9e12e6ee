// The import command end to end: the program started as a user starts it, the
// instrument simulator on a pseudo-terminal linked as COM1, the real serial
// code, and scripted answers for the file dialogs and messages.
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
#include <QPixmap>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;
using namespace testsupport;
using namespace std::chrono_literals;

namespace {

// English, COM1 at 38400 bauds, default colours and main window.
const char *const SETTINGS = "1\n1 38400\n16711680\n12632256\n128\n65280\n16776960\n0\n0\n"
                             "\n1\n25\n5\n500\n800\n0\n***\n";

rd5150::Recording Small(int number, std::vector<double> values, int interval = 1) {
    rd5150::Recording r;
    r.number = number;
    r.interval = interval;
    r.values = std::move(values);
    return r;
}

class ImportEndToEnd : public e2e::LinkEndToEnd {
  protected:
    ImportEndToEnd() : LinkEndToEnd(SETTINGS) {}
    void TearDown() override {
        if (started) {
            while (currentWindow >= 0)
                Fermer_fenetre();
        }
        LinkEndToEnd::TearDown();
    }

    // Presses Stop once the second "Mg" reply has been arriving for 0.3 s;
    // `atPress` runs just before the press. Posted before Import, which runs
    // the event loop that carries it out.
    void StopIntoTheSecondLine(std::function<void()> atPress) {
        stopAtPress_ = std::move(atPress);
        stopLineBegan_ = {};
        PostDeferredCall([this] { WatchForStop(); }, 5);
    }
    void WatchForStop() {
        const auto now = std::chrono::steady_clock::now();
        if (stopLineBegan_ == std::chrono::steady_clock::time_point{} && sim->RequestCount() >= 4)
            stopLineBegan_ = now;
        if (stopLineBegan_ != std::chrono::steady_clock::time_point{} &&
            now - stopLineBegan_ >= 300ms) {
            stopAtPress_();
            Click(progressPanel, STOP_BUTTON);
        } else {
            PostDeferredCall([this] { WatchForStop(); }, 5);
        }
    }
    std::function<void()> stopAtPress_;
    std::chrono::steady_clock::time_point stopLineBegan_{};

    // Starts the instrument and the program; closes the communication dialog
    // that start-up opens. Paced: the lines take their time on the wire.
    void Start(std::vector<rd5150::Recording> recordings, rd5150::Options options = {},
               bool paced = false) {
        options.paced = paced;
        ASSERT_NO_FATAL_FAILURE(StartLink(std::move(recordings), options, dir.file("COM1")));
        ASSERT_EQ(communicationPanel, 0);
        ClearPopupLog();
    }
    static void Import() { Gestion_import(menuBar, MENU_IMPORT, nullptr, mainPanel); }
    void CancelSave() { Expect("Save", VAL_NO_FILE_SELECTED); }

    static std::vector<std::string> ListRows() {
        std::vector<std::string> rows;
        int n = 0;
        GetNumListItems(listPanel, LIST_RECORDINGS, &n);
        for (int i = 0; i < n; ++i) {
            std::string label;
            GetLabelFromIndex(listPanel, LIST_RECORDINGS, i, &label);
            rows.push_back(label);
        }
        return rows;
    }
    std::set<std::string> FilesEndingIn(const std::string &extension) const {
        std::set<std::string> names;
        for (const auto &f : fs::directory_iterator(dir.path()))
            if (f.path().extension() == extension) names.insert(f.path().filename().string());
        return names;
    }
    static bool MenusUndimmed() {
        int dimmed = 1;
        GetMenuBarAttribute(menuBar, 2, ATTR_DIMMED, &dimmed);
        return dimmed == 0;
    }
    // Checks a transfer file: stored name, date line, the line as sent.
    void ExpectTransferFile(const std::string &path, const std::string &name,
                            const std::string &line) {
        std::string text = ReadFile(path);
        std::vector<std::string> lines = Lines(text);
        ASSERT_EQ(lines.size(), 3u) << path;
        EXPECT_EQ(text.back(), '\n');
        EXPECT_EQ(lines[0], name);
        EXPECT_TRUE(std::regex_match(lines[1], std::regex(R"(\d\d/\d\d/\d{4} \d\d:\d\d)")))
            << lines[1];
        EXPECT_EQ(lines[2], line);
    }

    // The first recording alone was saved, whole, as one.mon, and no
    // temporary file is left.
    void ExpectOnlyOneMonKept(const rd5150::Recording &first) {
        ExpectTransferFile(dir.file("one.mon"), "one.mon", rd5150::FormatRecordingLine(first));
        EXPECT_EQ(FilesEndingIn(".mon"), (std::set<std::string>{"one.mon"}));
        EXPECT_TRUE(FilesEndingIn(".tmp").empty());
    }

    // Error 31 alone, then the list of the one recording that arrived; the
    // port given back for the next import.
    void ExpectCutLineReported() const {
        EXPECT_EQ(ErrorTexts(),
                  (std::vector<std::string>{"Error n° -131: Error during data transmission\n"
                                            "Restart the import operation"}));
        ASSERT_GT(listPanel, 0);
        std::vector<std::string> rows = ListRows();
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(rows[0].substr(0, 5), " 0001");
        Click(listPanel, LIST_QUIT);
        EXPECT_EQ(portOpen, 0);
        EXPECT_EQ(importRunning, 1);
        EXPECT_EQ(GetWaitCursorState(), 0);
    }
};

TEST_F(ImportEndToEnd, DemoSetIsSavedUnderConfirmedNamesAndListed) {
    auto demo = rd5150::DemoRecordings();
    Start(demo);
    for (const auto &r : demo)
        SaveAs("run " + std::to_string(r.number) + ".mon");
    Import();

    // One file dialog per recording, proposing the lower-case name.
    ASSERT_EQ(PopupLog().size(), demo.size()) << "no error, no other popup";
    for (std::size_t k = 0; k < demo.size(); ++k) {
        EXPECT_EQ(PopupLog()[k].kind, "file");
        EXPECT_EQ(PopupLog()[k].title, "Save");
        EXPECT_EQ(PopupLog()[k].text, dir.file("recording_" + std::to_string(k + 1) + ".mon"));
    }
    for (std::size_t k = 0; k < demo.size(); ++k) {
        std::string n = std::to_string(demo[k].number);
        ExpectTransferFile(dir.file("run " + n + ".mon"), "run_" + n + ".mon",
                           rd5150::FormatRecordingLine(demo[k]));
        EXPECT_EQ(importTable[k + 1].fileName, dir.file("run " + n + ".mon"));
    }
    EXPECT_EQ(FilesEndingIn(".tmp").size(), 0u);

    // The list: one row per recording, then the blank row, current.
    ASSERT_GT(listPanel, 0);
    std::vector<std::string> rows = ListRows();
    ASSERT_EQ(rows.size(), demo.size() + 1);
    EXPECT_EQ(rows[0], " 0001     NONE    tr/min         1.000          1");
    EXPECT_EQ(rows[1], " 0002    SMOOTH    m/min         0.250          2");
    EXPECT_EQ(rows[2], " 0003     NONE      Hz           1.000          1");
    EXPECT_EQ(rows[4], " 0005    COUNT     imp .         1.000         10");
    EXPECT_EQ(rows.back(), std::string(40, ' '));
    int current = -1;
    GetCtrlIndex(listPanel, LIST_RECORDINGS, &current);
    EXPECT_EQ(current, static_cast<int>(demo.size()));
    std::string header;
    GetCtrlAttribute(listPanel, LIST_RECORDINGS, ATTR_LABEL_TEXT, &header);
    EXPECT_EQ(header, " Graph   Mode   Y Unity    Coefficient K      Scan              ");

    // The progress panel is gone, complete; the link stays open.
    EXPECT_FALSE(PanelWidget(progressPanel)->isVisible());
    int gauge = -1;
    GetCtrlVal(progressPanel, IMPORT_PROGRESS_GAUGE, &gauge);
    EXPECT_EQ(gauge, 100);
    std::string percent;
    GetCtrlVal(progressPanel, IMPORT_PROGRESS_PERCENT, &percent);
    EXPECT_EQ(percent, "100 %");
    EXPECT_EQ(portOpen, 1);
    EXPECT_EQ(importRunning, 1);
    EXPECT_EQ(GetWaitCursorState(), 0);
    EXPECT_EQ(sim->RemainingRecordings(), 0u);

    Click(listPanel, LIST_QUIT);
    EXPECT_EQ(listPanel, 0);

    // A transferred recording decodes into a window with all its samples.
    importTable[0].fileName = importTable[4].fileName;
    std::string line = Lines(ReadFile(importTable[4].fileName))[2];
    ASSERT_EQ(LoadRecording(line, 0), 0);
    const WindowRecord &w = windows[currentWindow];
    EXPECT_EQ(w.count, static_cast<int>(demo[3].values.size()));
    EXPECT_EQ(w.hasGaps, 1) << "recording 4 has missing samples";
    for (std::size_t k = 0; k < demo[3].values.size(); ++k)
        if (rd5150::IsMissingSample(demo[3].values[k])) {
            EXPECT_EQ(w.value[k], 0.0);
        }
}

TEST_F(ImportEndToEnd, CancelAndNoPutRecordingsInTmpFilesAndGoOn) {
    Start({Small(1, {1, 2, 3}), Small(2, {4, 5, 6}), Small(3, {7, 8, 9})});
    WriteFile(dir.file("kept.mon"), "mine\n");
    WriteFile(dir.file("replaced.mon"), "old\n");
    // Files of earlier recordings under every name the clock can give now.
    long long now = static_cast<long long>(std::time(nullptr));
    std::set<std::string> earlier;
    for (long long t = now - 2; t < now + 20; ++t) {
        std::ostringstream name;
        name << std::hex << t << ".tmp";
        WriteFile(dir.file(name.str()), "earlier\n");
        earlier.insert(name.str());
    }
    CancelSave();
    Expect("Save", VAL_EXISTING_FILE_SELECTED, dir.file("kept.mon"));
    Expect("Save", 2); // the overwrite question: No
    Expect("Save", VAL_EXISTING_FILE_SELECTED, dir.file("replaced.mon"));
    Expect("Save", 1); // Yes
    Import();

    EXPECT_TRUE(ErrorTexts().empty()) << ErrorTexts()[0];
    EXPECT_EQ(PopupLog()[2].text, "File already exists !   Replace existing file ?\n");
    EXPECT_EQ(ReadFile(dir.file("kept.mon")), "mine\n");
    for (const auto &name : earlier)
        EXPECT_EQ(ReadFile(dir.file(name)), "earlier\n") << name << " was overwritten";
    std::set<std::string> added;
    for (const auto &name : FilesEndingIn(".tmp"))
        if (!earlier.count(name)) added.insert(name);
    ASSERT_EQ(added.size(), 2u) << "two recordings within moments, two files";
    for (int e : {1, 2}) {
        std::string name = fs::path(importTable[e].fileName).filename().string();
        EXPECT_TRUE(added.count(name)) << importTable[e].fileName;
        EXPECT_EQ(fs::path(importTable[e].fileName).parent_path(), fs::path(dir.path()));
        // The temporary file stores the name the dialog proposed, not its own.
        ExpectTransferFile(
            importTable[e].fileName, "recording_" + std::to_string(e) + ".mon",
            rd5150::FormatRecordingLine(Small(e, {e * 3.0 - 2, e * 3.0 - 1, e * 3.0})));
    }
    ExpectTransferFile(dir.file("replaced.mon"), "replaced.mon",
                       rd5150::FormatRecordingLine(Small(3, {7, 8, 9})));
    EXPECT_EQ(ListRows().size(), 4u);
    Click(listPanel, LIST_QUIT);

    // File > Open takes a temporary file; its window bears the proposed name.
    ClearPopupLog();
    Expect("Open", VAL_EXISTING_FILE_SELECTED, importTable[2].fileName);
    Gestion_fichier(menuBar, MENU_OPEN, nullptr, mainPanel);
    EXPECT_TRUE(ErrorTexts().empty()) << ErrorTexts()[0];
    ASSERT_EQ(windowCount, 1);
    EXPECT_STREQ(windows[0].title, "recording_2.mon");
    EXPECT_EQ(windows[0].count, 3);
}

TEST_F(ImportEndToEnd, FileThatCannotBeWrittenIsReportedAndAskedAgain) {
    Start({Small(1, {1, 2, 3}), Small(2, {4, 5, 6})});
    const std::string nowhere = dir.file("gone/one.mon");
    Expect("Save", VAL_NEW_FILE_SELECTED, nowhere);
    Expect("Error n° -123");
    SaveAs("one.mon");
    Expect("Save", VAL_NEW_FILE_SELECTED, dir.file("gone/two.mon"));
    Expect("Error n° -123");
    CancelSave();
    Import();
    EXPECT_EQ(ErrorTexts(),
              (std::vector<std::string>{
                  "Error n° -123: Error writing file \n" + nowhere + ": No such file or directory",
                  "Error n° -123: Error writing file \n" + dir.file("gone/two.mon") +
                      ": No such file or directory"}));
    ExpectTransferFile(dir.file("one.mon"), "one.mon",
                       rd5150::FormatRecordingLine(Small(1, {1, 2, 3})));
    ASSERT_EQ(FilesEndingIn(".tmp").size(), 1u);
    ExpectTransferFile(importTable[2].fileName, "recording_2.mon",
                       rd5150::FormatRecordingLine(Small(2, {4, 5, 6})));
    EXPECT_EQ(ListRows().size(), 3u);
    EXPECT_EQ(sim->RemainingRecordings(), 0u);
}

TEST_F(ImportEndToEnd, EmptyInstrumentIsANoticeNotAnError) {
    Start({});
    Expect("Import");
    Import();
    EXPECT_TRUE(ErrorTexts().empty()) << ErrorTexts()[0];
    ASSERT_EQ(PopupLog().size(), 1u);
    EXPECT_EQ(PopupLog()[0].text, "The instrument holds no recording.");
    EXPECT_EQ(listPanel, 0);
    EXPECT_TRUE(MenusUndimmed());
    EXPECT_EQ(GetWaitCursorState(), 0);
    EXPECT_EQ(sim->Requests(), (std::vector<std::string>{" ", "Md"}));
}

TEST_F(ImportEndToEnd, ClearMemoryOpensThePortItselfAndSaysWhenDone) {
    Start({Small(1, {1, 2}), Small(2, {3, 4})});
    ASSERT_EQ(portOpen, 0) << "no test, no import before";
    Expect("CAUTION", VAL_GENERIC_POPUP_BTN1);
    Expect("Communication");
    Gestion_import(menuBar, MENU_CLEAR_MEMORY, nullptr, mainPanel);
    EXPECT_TRUE(ErrorTexts().empty()) << ErrorTexts()[0];
    EXPECT_EQ(PopupLog().back().text, "The instrument's memory has been erased.");
    EXPECT_EQ(sim->Requests(), (std::vector<std::string>{" ", "Mc"}));
    EXPECT_EQ(sim->RemainingRecordings(), 0u);
    EXPECT_EQ(portOpen, 1);
}

TEST_F(ImportEndToEnd, ThirtyCharacterLineIsSkipped) {
    rd5150::Options o;
    o.shortLines.push_back({1, 30, 1, false});
    Start({Small(1, {1, 2}), Small(2, {3, 4}), Small(3, {5, 6})}, o);
    SaveAs("a.mon");
    SaveAs("b.mon");
    Import();
    EXPECT_TRUE(ErrorTexts().empty());
    EXPECT_EQ(recordingCount, 2);
    std::vector<std::string> rows = ListRows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].substr(0, 5), " 0001");
    EXPECT_EQ(rows[1].substr(0, 5), " 0002");
    EXPECT_EQ(rows[2], std::string(40, ' '));
    EXPECT_EQ(sim->Requests(), (std::vector<std::string>{" ", "Md", "Mg", "Mg", "Mg"}));
}

TEST_F(ImportEndToEnd, StopEndsTheTransferAndKeepsWrittenFiles) {
    std::vector<rd5150::Recording> recordings;
    for (int n = 1; n <= 3; ++n)
        recordings.push_back(Small(n, std::vector<double>(2000, 12.5 * n)));
    // Paced fast enough to be short, slow enough that the second line is
    // still arriving when the watch below sees the first file.
    rd5150::Options o;
    o.baud = 460800;
    Start(recordings, o, true);
    SaveAs("first.mon");
    // Presses Stop as soon as the first recording is on disk.
    bool pressed = false;
    std::function<void()> watch = [&] {
        if (fs::exists(dir.file("first.mon")) &&
            Lines(ReadFile(dir.file("first.mon"))).size() == 3) {
            Click(progressPanel, STOP_BUTTON);
            pressed = true;
        } else {
            PostDeferredCall(watch, 1);
        }
    };
    PostDeferredCall(watch, 1);
    Expect("Error n° -127");
    Import();
    EXPECT_TRUE(pressed);
    ASSERT_EQ(ErrorTexts().size(), 1u);
    EXPECT_EQ(ErrorTexts()[0], "Error n° -127: Stop asked by operator");
    ExpectTransferFile(dir.file("first.mon"), "first.mon",
                       rd5150::FormatRecordingLine(recordings[0]));
    // What arrived before the stop stays listed.
    ASSERT_GT(listPanel, 0);
    std::vector<std::string> rows = ListRows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].substr(0, 5), " 0001");
    EXPECT_EQ(importTable[1].fileName, dir.file("first.mon"));
    EXPECT_EQ(importRunning, 1);
    EXPECT_TRUE(MenusUndimmed());
    EXPECT_EQ(GetWaitCursorState(), 0);
    EXPECT_FALSE(PanelWidget(progressPanel)->isVisible());
}

TEST_F(ImportEndToEnd, SilentInstrumentIsAskedAgainThenReported) {
    rd5150::Options o;
    o.silentAfter = 2; // presence and "Md" answered, then nothing
    Start({Small(1, {1, 2}), Small(2, {3, 4})}, o);
    Expect("Error n° -129");
    Expect("Error n° -128");
    auto begin = std::chrono::steady_clock::now();
    Import();
    auto took = std::chrono::steady_clock::now() - begin;
    EXPECT_EQ(ErrorTexts(),
              (std::vector<std::string>{"Error n° -129: No response from the instrument",
                                        "Error n° -128: Error during data transmission"}));
    EXPECT_EQ(sim->Requests(), (std::vector<std::string>{" ", "Md", "Mg", "Md"}));
    EXPECT_LT(took, 20s) << "five 2 s reads, one 2 s read, no more";
    EXPECT_EQ(importRunning, 1);
    EXPECT_TRUE(MenusUndimmed());
    EXPECT_TRUE(FilesEndingIn(".mon").empty());
}

TEST_F(ImportEndToEnd, NoReplyTwiceIsError31) {
    rd5150::Options o;
    // Five lines too short to count, in answer to each "Mg": no reply twice.
    o.shortLines.push_back({0, 25, 5, false});
    o.shortLines.push_back({1, 25, 5, false});
    Start({Small(1, {1, 2})}, o);
    Expect("Error n° -131");
    Import();
    EXPECT_EQ(ErrorTexts(),
              (std::vector<std::string>{"Error n° -131: Error during data transmission\n"
                                        "Restart the import operation"}));
    EXPECT_EQ(sim->Requests(), (std::vector<std::string>{" ", "Md", "Mg", "Md", "Mg"}));
    EXPECT_EQ(listPanel, 0);
}

TEST_F(ImportEndToEnd, LineCutOffBySilenceIsNoRecordingAndTheNextImportWorks) {
    rd5150::Options o;
    o.cutAtMg = 1;
    o.cutAfterChars = 5000;
    std::vector<rd5150::Recording> recordings = {Small(1, std::vector<double>(40, 1)),
                                                 Small(2, std::vector<double>(2000, 2)),
                                                 Small(3, std::vector<double>(40, 3))};
    Start(recordings, o);
    SaveAs("one.mon");
    Expect("Error n° -131");
    auto begin = std::chrono::steady_clock::now();
    Import();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 10s);
    ExpectCutLineReported();
    EXPECT_EQ(sim->Requests(), (std::vector<std::string>{" ", "Md", "Mg", "Mg"}))
        << "no new attempt from the start";
    ExpectOnlyOneMonKept(recordings[0]);

    ClearPopupLog();
    SaveAs("one.mon");
    SaveAs("two.mon");
    SaveAs("three.mon");
    Import();
    EXPECT_TRUE(ErrorTexts().empty());
    ExpectTransferFile(dir.file("two.mon"), "two.mon", rd5150::FormatRecordingLine(recordings[1]));
    ExpectTransferFile(dir.file("three.mon"), "three.mon",
                       rd5150::FormatRecordingLine(recordings[2]));
    EXPECT_EQ(ListRows().size(), 4u);
}

TEST_F(ImportEndToEnd, InstrumentGoneMidLineIsNoRecordingAndTheNextImportWorks) {
    // About 4 s on the wire at 38400 baud; the instrument goes after 0.3 s.
    std::vector<rd5150::Recording> recordings = {Small(1, {1, 2, 3}),
                                                 Small(2, std::vector<double>(2000, 2.5))};
    Start(recordings, {}, true);
    std::thread unplug([&] {
        if (sim->WaitForRequests(4, 10s)) std::this_thread::sleep_for(300ms);
        sim->Stop();
    });
    SaveAs("one.mon");
    Expect("Error n° -131");
    auto begin = std::chrono::steady_clock::now();
    Import();
    auto took = std::chrono::steady_clock::now() - begin;
    unplug.join();
    EXPECT_LT(took, 3s);
    ExpectCutLineReported();
    ExpectOnlyOneMonKept(recordings[0]);

    // Plugged in again: a new device behind COM1, the program still running.
    rd5150::Options fast;
    fast.paced = false;
    sim->SetOptions(fast);
    ASSERT_TRUE(sim->Start(dir.file("COM1"))) << sim->LastError();
    ClearPopupLog();
    SaveAs("first.mon");
    SaveAs("second.mon");
    Import();
    EXPECT_TRUE(ErrorTexts().empty());
    ExpectTransferFile(dir.file("first.mon"), "first.mon",
                       rd5150::FormatRecordingLine(recordings[0]));
    ExpectTransferFile(dir.file("second.mon"), "second.mon",
                       rd5150::FormatRecordingLine(recordings[1]));
    EXPECT_EQ(ListRows().size(), 3u);
}

TEST_F(ImportEndToEnd, StopDuringALongLineEndsItAtOnce) {
    // The second line takes about 8 s on the wire at 38400 baud.
    std::vector<rd5150::Recording> recordings = {Small(1, {1, 2, 3}),
                                                 Small(2, std::vector<double>(4000, 7.5))};
    Start(recordings, {}, true);
    SaveAs("one.mon");
    // Stop 0.3 s into the second line.
    std::chrono::steady_clock::time_point pressedAt{};
    int gauge = -1;
    std::string percent;
    StopIntoTheSecondLine([&] {
        GetCtrlVal(progressPanel, IMPORT_PROGRESS_GAUGE, &gauge);
        GetCtrlVal(progressPanel, IMPORT_PROGRESS_PERCENT, &percent);
        pressedAt = std::chrono::steady_clock::now();
    });
    Expect("Error n° -127");
    Import();
    auto ended = std::chrono::steady_clock::now();
    ASSERT_NE(pressedAt, std::chrono::steady_clock::time_point{});
    EXPECT_LT(ended - pressedAt, 1s);
    // One of two done, and the second under way.
    EXPECT_GE(gauge, 50);
    EXPECT_LT(gauge, 100);
    EXPECT_EQ(percent, std::to_string(gauge) + " %");
    EXPECT_EQ(ErrorTexts(), std::vector<std::string>{"Error n° -127: Stop asked by operator"});
    EXPECT_EQ(sim->Requests(), (std::vector<std::string>{" ", "Md", "Mg", "Mg"}));
    ExpectOnlyOneMonKept(recordings[0]);
    EXPECT_EQ(importRunning, 1);
}

TEST_F(ImportEndToEnd, GaugeRisesWhileOneLongRecordingArrives) {
    // 32,000 bytes on the wire, about 2.8 s at 115200 baud: the only
    // recording, so the share of those on disk stays 0 until it is whole.
    rd5150::Options options;
    options.baud = 115200;
    Start({Small(1, std::vector<double>(4000, 7.5))}, options, true);
    SaveAs("long.mon");
    std::vector<int> seen;
    bool transferring = true;
    std::function<void()> watch = [&] {
        if (!transferring) return;
        int gauge = -1;
        if (PanelWidget(progressPanel)->isVisible() &&
            GetCtrlVal(progressPanel, IMPORT_PROGRESS_GAUGE, &gauge) == 0)
            seen.push_back(gauge);
        PostDeferredCall(watch, 100);
    };
    PostDeferredCall(watch, 100);
    Import();
    transferring = false;
    EXPECT_EQ(ErrorTexts(), std::vector<std::string>{});
    ASSERT_GT(listPanel, 0);
    Click(listPanel, LIST_QUIT);
    // While the line came, the gauge took several values on its way up and
    // never went back.
    std::set<int> during;
    for (int g : seen)
        if (g > 0 && g < 100) during.insert(g);
    EXPECT_GE(during.size(), 3u) << "gauge values seen: " << seen.size();
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
}

TEST_F(ImportEndToEnd, ImportSoonAfterAStopMidLineIgnoresTheRestOfThatLine) {
    // The second line takes about 2.8 s at 115200 baud; Stop comes 0.3 s
    // into it, and the instrument goes on sending the rest.
    rd5150::Options options;
    options.baud = 115200;
    std::vector<rd5150::Recording> recordings = {Small(1, {1, 2, 3}),
                                                 Small(2, std::vector<double>(4000, 7.5))};
    Start(recordings, options, true);
    SaveAs("one.mon");
    bool pressed = false;
    StopIntoTheSecondLine([&] { pressed = true; });
    Expect("Error n° -127");
    Import();
    ASSERT_TRUE(pressed);
    ASSERT_EQ(ErrorTexts(), std::vector<std::string>{"Error n° -127: Stop asked by operator"});
    Click(listPanel, LIST_QUIT);

    // At once, while the rest of the second line is still on its way.
    ClearPopupLog();
    sim->ClearRequests();
    SaveAs("again1.mon");
    SaveAs("again2.mon");
    Import();
    EXPECT_EQ(ErrorTexts(), std::vector<std::string>{});
    ExpectTransferFile(dir.file("again1.mon"), "again1.mon",
                       rd5150::FormatRecordingLine(recordings[0]));
    ExpectTransferFile(dir.file("again2.mon"), "again2.mon",
                       rd5150::FormatRecordingLine(recordings[1]));
    EXPECT_EQ(sim->Requests(), (std::vector<std::string>{" ", "Md", "Mg", "Mg"}));
    ASSERT_GT(listPanel, 0);
    EXPECT_EQ(ListRows().size(), 3u);
    Click(listPanel, LIST_QUIT);
}

TEST_F(ImportEndToEnd, SecondImportTransfersTheSameRecordings) {
    std::vector<rd5150::Recording> recordings = {Small(1, {1, 2}), Small(2, {3, 4})};
    Start(recordings);
    SaveAs("a1.mon");
    SaveAs("a2.mon");
    Import();
    ASSERT_GT(listPanel, 0);
    std::vector<std::string> firstRows = ListRows();
    Click(listPanel, LIST_QUIT);
    SaveAs("b1.mon");
    SaveAs("b2.mon");
    Import();
    EXPECT_TRUE(ErrorTexts().empty());
    ASSERT_GT(listPanel, 0);
    EXPECT_EQ(ListRows(), firstRows);
    for (int n : {1, 2})
        ExpectTransferFile(dir.file("b" + std::to_string(n) + ".mon"),
                           "b" + std::to_string(n) + ".mon",
                           rd5150::FormatRecordingLine(recordings[n - 1]));
}

TEST_F(ImportEndToEnd, BeyondNinetyNineTheRestStaysOnTheInstrument) {
    std::vector<rd5150::Recording> recordings;
    for (int n = 1; n <= 101; ++n)
        recordings.push_back(Small(n, {1.0 * n, 2.0 * n}));
    Start(recordings);
    for (int n = 1; n <= 99; ++n)
        CancelSave();
    Expect("Import");
    Import();
    EXPECT_TRUE(ErrorTexts().empty());
    EXPECT_EQ(FilesEndingIn(".tmp").size(), 99u);
    std::vector<std::string> rows = ListRows();
    ASSERT_EQ(rows.size(), 100u);
    EXPECT_EQ(rows[98].substr(0, 5), " 0099");
    EXPECT_EQ(PopupLog().back().text, "The instrument holds 101 recordings.\n"
                                      "The first 99 were imported; the other 2 stay in the "
                                      "instrument.");
    EXPECT_EQ(sim->RemainingRecordings(), 2u);
}

// Pictures of what the user sees, for a person to look at: run with
// VELORINDER_PICTURES=<dir> (under Xvfb or offscreen).
TEST_F(ImportEndToEnd, Pictures) {
    const char *out = std::getenv("VELORINDER_PICTURES");
    if (!out) GTEST_SKIP() << "VELORINDER_PICTURES not set";
    auto demo = rd5150::DemoRecordings();
    Start(demo);
    for (const auto &r : demo)
        SaveAs("recording_" + std::to_string(r.number) + ".mon");
    bool grabbed = false;
    std::function<void()> watch = [&] {
        int gauge = 0;
        GetCtrlVal(progressPanel, IMPORT_PROGRESS_GAUGE, &gauge);
        if (gauge >= 50) {
            PanelWidget(progressPanel)->grab().save(QString(out) + "/progress.png");
            grabbed = true;
        } else {
            PostDeferredCall(watch, 0);
        }
    };
    PostDeferredCall(watch, 0);
    Import();
    EXPECT_TRUE(grabbed);
    ASSERT_GT(listPanel, 0);
    QApplication::processEvents();
    PanelWidget(listPanel)->grab().save(QString(out) + "/list.png");
    Click(listPanel, LIST_QUIT);
    for (int e : {1, 4}) {
        importTable[0].fileName = importTable[e].fileName;
        std::string line = Lines(ReadFile(importTable[e].fileName))[2];
        ASSERT_EQ(LoadRecording(line, 0), 0);
    }
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    PanelWidget(mainPanel)->grab().save(QString(out) + "/windows.png");
}

} // namespace
