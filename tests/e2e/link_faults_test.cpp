// Faults of the link during an import, end to end: the program as a user
// starts it, the instrument simulator on a pseudo-terminal linked as COM9, and
// the faults a workshop PC meets (the adapter pulled out, line noise, XOFF
// held, an instrument that answers slowly). Each fault must give its error
// within the time-outs, leave the files written before as they were, and the
// next import must work without restarting the program.
#include "display/display.h"
#include "link/link.h"
#include "link_end_to_end.h"
#include "platform/platform.h"
#include "rd5150-sim/simulator.h"
#include "shell/shell.h"
#include "support/app_fixture.h"
#include "windows/windows.h"

#include <QAbstractButton>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>

namespace fs = std::filesystem;
using namespace testsupport;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Strings = std::vector<std::string>;

namespace {

// A number past the serial ports of most machines: once the simulator's link
// is gone, the number names no device at all.
constexpr int PORT = 9;

// English, COM9 at 38400 bauds, default colours and main window.
const char *const SETTINGS = "1\n9 38400\n16711680\n12632256\n128\n65280\n16776960\n0\n0\n"
                             "\n1\n25\n5\n500\n800\n0\n***\n";

// Bytes of the presence reply "*E\n" and of the count reply "3\n".
constexpr long BEFORE_FIRST_LINE = 5;

const char *const ERROR_21 = "Error n° -121: Invalid serial port number";
const char *const ERROR_28 = "Error n° -128: Error during data transmission";
const char *const ERROR_31 = "Error n° -131: Error during data transmission\n"
                             "Restart the import operation";

rd5150::Recording Numbered(int number, std::size_t samples) {
    rd5150::Recording r;
    r.number = number;
    r.interval = 2;
    for (std::size_t k = 0; k < samples; ++k)
        r.values.push_back(10.0 * number + static_cast<double>(k % 50));
    return r;
}

std::vector<rd5150::Recording> ThreeRecordings(std::size_t samples = 40) {
    return {Numbered(1, samples), Numbered(2, samples), Numbered(3, samples)};
}

// Reply bytes sent before the line of recording k (0-based) in an import.
long LineStart(const std::vector<rd5150::Recording> &recordings, std::size_t k) {
    long n = BEFORE_FIRST_LINE;
    for (std::size_t j = 0; j < k; ++j)
        n += static_cast<long>(rd5150::FormatRecordingLine(recordings[j]).size()) + 1;
    return n;
}

class LinkFaults : public e2e::LinkEndToEnd {
  protected:
    LinkFaults() : LinkEndToEnd(SETTINGS) {}
    void SetUp() override {
        LinkEndToEnd::SetUp();
        // The other numbers name missing devices, so that this machine's own
        // serial ports take no part in a search.
        for (int n = 1; n <= MAX_COM_PORTS; ++n)
            if (n != PORT)
                fs::create_symlink(dir.file("absent-tty" + std::to_string(n)), ComPath(n));
        // Files of an earlier day, which no fault may touch.
        WriteFile(dir.file("earlier.mon"), "earlier.mon\n01/02/2023 10:11\n0007;0;1;001.00;00001;"
                                           "1.00E+0;\n");
        WriteFile(dir.file("earlier.vlr"), "kept as it is\n");
        before = Snapshot();
    }
    std::string ComPath(int n) const { return dir.file("COM" + std::to_string(n)); }

    // Starts the instrument (without faults) and the program; closes the
    // communication dialog that start-up opens.
    void Start(std::vector<rd5150::Recording> held, bool paced = false) {
        recordings = held;
        rd5150::Options options;
        options.paced = paced;
        ASSERT_NO_FATAL_FAILURE(StartLink(std::move(held), options, ComPath(PORT)));
        ASSERT_EQ(communicationPanel, 0);
        ASSERT_EQ(comPort, PORT);
        ClearPopupLog();
    }
    // The fault for the next import; the byte counts start here.
    void Arm(rd5150::Options faults) {
        faults.paced = sim->GetOptions().paced;
        sim->SetOptions(faults);
        sim->ClearRequests();
    }
    // Back to a sound instrument, as after it was switched off and on (and
    // unpaced, so that the import after the fault is quick).
    void Mend() {
        rd5150::Options sound;
        sound.paced = false;
        sim->SetOptions(sound);
        sim->ClearRequests();
    }

    // Runs the import item; how long it took.
    static Clock::duration Import() {
        const auto begin = Clock::now();
        Gestion_import(menuBar, MENU_IMPORT, nullptr, mainPanel);
        return Clock::now() - begin;
    }
    // The recording, transfer and temporary files of the program directory,
    // with their contents.
    std::map<std::string, std::string> Snapshot() const {
        std::map<std::string, std::string> files;
        for (const auto &f : fs::directory_iterator(dir.path())) {
            const std::string extension = f.path().extension().string();
            if (extension == ".mon" || extension == ".vlr" || extension == ".tmp")
                files[f.path().filename().string()] = ReadFile(f.path().string());
        }
        return files;
    }
    // The files before the import are as they were, and the import added
    // exactly these transfer files, each whole: its name, a date, the line.
    void ExpectFiles(const std::map<std::string, std::size_t> &written) const {
        std::map<std::string, std::string> now = Snapshot();
        for (const auto &[name, text] : before) {
            auto it = now.find(name);
            ASSERT_NE(it, now.end()) << name << " was removed";
            EXPECT_EQ(it->second, text) << name << " was changed";
            now.erase(it);
        }
        Strings added, expected;
        for (const auto &[name, text] : now)
            added.push_back(name);
        for (const auto &[name, k] : written)
            expected.push_back(name);
        EXPECT_EQ(added, expected);
        for (const auto &[name, k] : written) {
            auto it = now.find(name);
            if (it == now.end()) continue;
            std::string text = it->second;
            ASSERT_GE(std::count(text.begin(), text.end(), '\n'), 3) << name;
            const std::size_t first = text.find('\n'), second = text.find('\n', first + 1);
            EXPECT_EQ(text.substr(0, first), name);
            EXPECT_EQ(second - first - 1, 16u) << "date line of " << name;
            EXPECT_EQ(text.substr(second + 1), rd5150::FormatRecordingLine(recordings[k]) + "\n")
                << name << " is not the whole recording " << k + 1;
        }
    }
    // A sound import of every recording after a fault: no error, each file
    // whole, the list shown, the link left open for the next one.
    void ExpectSoundImport(const std::string &prefix) {
        ClearPopupLog();
        before = Snapshot();
        std::map<std::string, std::size_t> written;
        for (std::size_t k = 0; k < recordings.size(); ++k) {
            std::string name = prefix + std::to_string(k + 1) + ".mon";
            SaveAs(name);
            written[name] = k;
        }
        const auto took = Import();
        EXPECT_EQ(ErrorTexts(), Strings{});
        ExpectFiles(written);
        ASSERT_GT(listPanel, 0) << "no list of transferred recordings";
        int rows = 0;
        GetNumListItems(listPanel, LIST_RECORDINGS, &rows);
        EXPECT_EQ(rows, static_cast<int>(recordings.size()) + 1);
        Click(listPanel, LIST_QUIT);
        EXPECT_EQ(portOpen, 1);
        EXPECT_LT(took, 10s);
    }
    // What every fault leaves: the menus usable, no wait cursor, no progress
    // panel, the list only of the recordings that arrived, ready for the next
    // import.
    void ExpectFaultReported(const Strings &errors) const {
        EXPECT_EQ(ErrorTexts(), errors);
        if (transferredCount == 0) {
            EXPECT_EQ(listPanel, 0);
        }
        if (listPanel > 0) {
            int rows = 0;
            GetNumListItems(listPanel, LIST_RECORDINGS, &rows);
            EXPECT_EQ(rows, transferredCount + 1);
            for (int e = 1; e <= transferredCount; ++e)
                EXPECT_TRUE(std::filesystem::exists(importTable[e].fileName)) << e;
            Click(listPanel, LIST_QUIT);
        }
        EXPECT_EQ(importRunning, 1);
        EXPECT_EQ(GetWaitCursorState(), 0);
        EXPECT_FALSE(PanelWidget(progressPanel)->isVisible());
        int dimmed = 1;
        GetMenuBarAttribute(menuBar, 2, ATTR_DIMMED, &dimmed);
        EXPECT_EQ(dimmed, 0) << "menus left dimmed";
    }
    // An import the armed fault cuts after the first recording, which is
    // saved as one.mon; error is the one message shown. How long it took.
    Clock::duration ImportCutAfterTheFirstRecording(const std::string &error) {
        SaveAs("one.mon");
        Expect(error.substr(0, error.find(':')));
        const auto took = Import();
        ExpectFaultReported({error});
        ExpectFiles({{"one.mon", 0}});
        return took;
    }
    // Runs the event loop until the instrument holds XOFF as wanted, or
    // until the deadline.
    void WaitForXoff(bool held, Clock::time_point deadline) {
        while (sim->HoldsXoff() != held && Clock::now() < deadline)
            ProcessSystemEvents();
    }
    std::string DialogPortList() {
        Gestion_import(menuBar, MENU_COMMUNICATION, nullptr, mainPanel);
        EXPECT_GT(communicationPanel, 0);
        std::string text;
        GetCtrlVal(communicationPanel, COMM_TEXT, &text);
        return text;
    }

    std::vector<rd5150::Recording> recordings;
    std::map<std::string, std::string> before;
};

TEST_F(LinkFaults, AdapterPulledOutBetweenTwoRecordings) {
    Start(ThreeRecordings());
    rd5150::Options fault;
    // Gone as the second "Mg" comes, the first line read whole; back 0.2 s later.
    fault.vanishAfterBytes = LineStart(recordings, 1);
    fault.backAfter = 200ms;
    Arm(fault);
    const auto took = ImportCutAfterTheFirstRecording(ERROR_28);
    EXPECT_LT(took, 3s) << "a device that is gone needs no time-out";

    // Plugged in again: another device behind COM9, the program still running.
    ASSERT_TRUE(sim->WaitUntilPlugged(true, 5s));
    Mend();
    ExpectSoundImport("after");
}

TEST_F(LinkFaults, AdapterPulledOutDuringALine) {
    // The second line takes about 2 s on the wire; the adapter goes 1000
    // bytes into it.
    Start({Numbered(1, 40), Numbered(2, 1000), Numbered(3, 40)}, true);
    rd5150::Options fault;
    fault.vanishAfterBytes = LineStart(recordings, 1) + 1000;
    Arm(fault);
    const auto took = ImportCutAfterTheFirstRecording(ERROR_31);
    EXPECT_LT(took, 5s) << "only the first line and a quarter of the second";
    EXPECT_EQ(portOpen, 0);

    ASSERT_TRUE(sim->Plug()) << sim->LastError();
    Mend();
    ExpectSoundImport("after");
}

TEST_F(LinkFaults, AdapterPulledOutBetweenTwoImports) {
    Start(ThreeRecordings());
    ExpectSoundImport("first");
    // Out and in again while the program holds the port from the last import.
    ASSERT_TRUE(sim->Unplug());
    ASSERT_TRUE(sim->Plug()) << sim->LastError();
    ExpectSoundImport("second");

    // Out: an import says so at once.
    ASSERT_TRUE(sim->Unplug());
    ClearPopupLog();
    before = Snapshot();
    Expect("Error n° -121");
    EXPECT_LT(Import(), 2s);
    ExpectFaultReported({ERROR_21});
    ExpectFiles({});
}

TEST_F(LinkFaults, DialogShowsThePulledOutAdapterGoneAndFindsItBack) {
    Start(ThreeRecordings());
    ExpectSoundImport("first");
    const std::string device = sim->DevicePath();
    EXPECT_NE(DialogPortList().find("COM9 = " + device), std::string::npos);
    Click(communicationPanel, COMM_QUIT);

    ASSERT_TRUE(sim->Unplug());
    EXPECT_EQ(DialogPortList().find("COM9"), std::string::npos) << "a pulled out port is listed";
    int shown = 0;
    GetCtrlVal(communicationPanel, COMM_PORT, &shown);
    EXPECT_EQ(shown, PORT) << "the port of the last instrument stays proposed";
    Expect("Error n° -121");
    Click(communicationPanel, COMM_TEST);
    EXPECT_EQ(ErrorTexts(), Strings{ERROR_21});
    EXPECT_EQ(portOpen, 0) << "the held port was given back";

    // Plugged in again (often under the same device name).
    ASSERT_TRUE(sim->Plug()) << sim->LastError();
    EXPECT_NE(DialogPortList().find("COM9 = " + sim->DevicePath()), std::string::npos);
    ClearPopupLog();
    Expect("Communication");
    // The presence test reads for its whole 4 s even when "*E" came at once.
    Click(communicationPanel, COMM_SEARCH);
    ASSERT_EQ(PopupLog().size(), 1u);
    EXPECT_EQ(PopupLog()[0].text, "Communication OK");
    EXPECT_EQ(comPort, PORT);
    sim->ClearRequests();
    ExpectSoundImport("again");
}

TEST_F(LinkFaults, NoiseInsteadOfTheRestOfALine) {
    Start(ThreeRecordings());
    rd5150::Options fault;
    // 100 characters of the second line, then 64 bytes of noise and silence.
    fault.garbageAfterBytes = LineStart(recordings, 1) + 100;
    fault.garbageBytes = 64;
    Arm(fault);
    // The read waits out the 2 s command time-out for the line end that
    // never comes.
    const auto took = ImportCutAfterTheFirstRecording(ERROR_31);
    EXPECT_LT(took, 5s);
    EXPECT_EQ(sim->Requests(), (Strings{" ", "Md", "Mg", "Mg"})) << "no new attempt";

    Mend();
    ExpectSoundImport("after");
}

TEST_F(LinkFaults, XoffNeverReleased) {
    Start(ThreeRecordings());
    rd5150::Options fault;
    // XOFF right after the first line: the second "Mg" cannot go out within
    // its 2 s.
    fault.xoffAfterBytes = LineStart(recordings, 1);
    Arm(fault);
    const auto took = ImportCutAfterTheFirstRecording(ERROR_28);
    EXPECT_LT(took, 5s);
    EXPECT_TRUE(sim->HoldsXoff());
    EXPECT_EQ(sim->Requests(), (Strings{" ", "Md", "Mg"}));

    // The instrument switched off and on: it holds nothing, and says nothing.
    Mend();
    ExpectSoundImport("after");
}

TEST_F(LinkFaults, XoffHeldWhileTheMemoryIsCleared) {
    Start(ThreeRecordings());
    ExpectSoundImport("first"); // leaves the port open, as clearing needs
    rd5150::Options fault;
    fault.xoffAfterBytes = 0;
    fault.xoffHold = 2500ms;
    Arm(fault);
    const auto waitFrom = Clock::now();
    WaitForXoff(true, waitFrom + 2s);
    ASSERT_TRUE(sim->HoldsXoff());
    ClearPopupLog();
    Expect("CAUTION", VAL_GENERIC_POPUP_BTN1);
    Expect("Error n° -124");
    Gestion_import(menuBar, MENU_CLEAR_MEMORY, nullptr, mainPanel);
    EXPECT_EQ(ErrorTexts(), Strings{"Error n° -124: Error during the execution of the order"});

    // The erase the user was told had failed must not happen once XON comes.
    WaitForXoff(false, waitFrom + 5s);
    ASSERT_FALSE(sim->HoldsXoff());
    const auto xon = Clock::now();
    while (Clock::now() - xon < 500ms)
        ProcessSystemEvents();
    EXPECT_EQ(sim->Requests(), Strings{});
    EXPECT_EQ(sim->Recordings().size(), 3u);

    Mend();
    ExpectSoundImport("after");
}

TEST_F(LinkFaults, SlowInstrument) {
    Start(ThreeRecordings(4));
    // A byte every 0.15 s over the last 10 bytes of the last line: slow,
    // but never silent for the 2 s time-out, so the transfer goes on.
    rd5150::Options slow;
    slow.slowAfterBytes = LineStart(recordings, 3) - 10;
    slow.slowByte = 150ms;
    Arm(slow);
    ExpectSoundImport("slow");

    // A byte every 3 s from 30 bytes into the second line: the time-out
    // ends the line, which is no recording.
    rd5150::Options tooSlow;
    tooSlow.slowAfterBytes = LineStart(recordings, 1) + 30;
    tooSlow.slowByte = 3000ms;
    Arm(tooSlow);
    ClearPopupLog();
    before = Snapshot();
    const auto took = ImportCutAfterTheFirstRecording(ERROR_31);
    EXPECT_LT(took, 5s) << "one 2 s time-out";

    Mend();
    ExpectSoundImport("after");
}

TEST_F(LinkFaults, EndlessNoiseIsNoRecording) {
    Start(ThreeRecordings());
    rd5150::Options fault;
    // Instead of the second line, more noise than the 65,000-byte buffer holds.
    fault.garbageAfterBytes = LineStart(recordings, 1);
    fault.garbageBytes = 100000;
    Arm(fault);
    ImportCutAfterTheFirstRecording(ERROR_31);
    EXPECT_EQ(sim->Requests(), (Strings{" ", "Md", "Mg", "Mg"})) << "no new attempt";

    Mend();
    ExpectSoundImport("after");
}

TEST_F(LinkFaults, LineWithoutTheShapeOfARecordingIsNotSaved) {
    // A sound header, then text that holds no value field.
    std::vector<rd5150::Recording> held = ThreeRecordings();
    held[1] = rd5150::Recording::Raw("0002;0;1;001.00;00002;" + std::string(200, 'x'));
    Start(held);
    ImportCutAfterTheFirstRecording(ERROR_31);
    EXPECT_EQ(sim->Requests(), (Strings{" ", "Md", "Mg", "Mg"}));
}

TEST_F(LinkFaults, DribblingInstrumentCannotHoldAShortReply) {
    Start(ThreeRecordings());
    rd5150::Options fault;
    // After its presence reply, the instrument sends a byte every 0.25 s,
    // and its count comes after 40 stray bytes: the count's read (20 bytes)
    // is never silent for its 2 s time-out.
    fault.strayBytes = std::string(40, '.');
    fault.slowAfterBytes = 40 + 3;
    fault.slowByte = 250ms;
    Arm(fault);
    Expect("Error n° -129");
    Import();
    const long dribbled = sim->BytesSent() - fault.slowAfterBytes;
    ExpectFaultReported({"Error n° -129: No response from the instrument"});
    EXPECT_LT(dribbled, 20) << "the read waited for the whole 20 bytes";
    EXPECT_EQ(sim->Requests(), (Strings{" ", "Md"}));

    Mend();
    ExpectSoundImport("after");
}

TEST_F(LinkFaults, XoffLeftFromWhileIdleIsClearedBeforeTheNextImport) {
    Start(ThreeRecordings());
    ExpectSoundImport("first"); // the port stays held
    rd5150::Options fault;
    fault.xoffAfterBytes = 0;
    Arm(fault);
    const auto waitFrom = Clock::now();
    WaitForXoff(true, waitFrom + 2s);
    ASSERT_TRUE(sim->HoldsXoff());
    // Switched off and on: the instrument forgets its XOFF without an XON.
    Mend();
    ASSERT_FALSE(sim->HoldsXoff());
    ExpectSoundImport("after");
}

} // namespace
