// velorinder-cli against the instrument simulator on a pseudo-terminal: the
// built program in a program folder of its own, the simulator linked there
// as COMn, and the files it writes compared with the graphical import's.
#include "cli_fixture.h"

#include "display/display.h"
#include "files/files.h"
#include "link/link.h"
#include "shell/shell.h"
#include "windows/windows.h"

#include <QAbstractButton>
#include <ctime>
#include <memory>
#include <regex>
#include <set>
#include <sys/wait.h>

using namespace clitest;

namespace {

rd5150::Options Unpaced() {
    rd5150::Options o;
    o.paced = false;
    return o;
}

class InstrumentTest : public ::testing::Test {
  protected:
    // The simulator on port n of the program folder.
    void Link(rd5150::Simulator &sim, int n) {
        ASSERT_TRUE(sim.Start(program.ComPath(n))) << sim.LastError();
    }
    Outcome Cli(const std::string &args) const { return Shell(scratch, program.Command(args)); }
    std::string Out(const std::string &name) const { return scratch.file("out/" + name); }
    std::set<std::string> Files(const std::string &folder) const {
        std::set<std::string> names;
        for (const auto &f : fs::directory_iterator(folder))
            names.insert(f.path().filename().string());
        return names;
    }
    static std::set<std::string> DemoNames(const std::string &word, const std::string &ext) {
        std::set<std::string> names;
        for (int n = 1; n <= 6; ++n)
            names.insert(word + "_" + std::to_string(n) + "." + ext);
        return names;
    }

    ProgramCopy program;
    TempDir scratch;
};

TEST_F(InstrumentTest, PortsFindsTheInstrumentOnItsPort) {
    rd5150::Simulator sim(rd5150::DemoRecordings(), Unpaced());
    Link(sim, 3);
    Outcome all = Cli("ports");
    EXPECT_EQ(all.status, CLI_OK) << all.err;
    EXPECT_EQ(all.out, "COM3\t" + sim.DevicePath() + "\tinstrument answers\n");

    Outcome one = Cli("ports --port 3");
    EXPECT_EQ(one.status, CLI_OK) << one.err;
    EXPECT_EQ(one.out, all.out);

    Outcome none = Cli("ports --port 4");
    EXPECT_EQ(none.status, CLI_LINK);
    EXPECT_EQ(none.err, "velorinder-cli: COM4: names no serial device\n");
}

TEST_F(InstrumentTest, DownloadWritesTheDemoSetInEachFormat) {
    rd5150::Simulator sim(rd5150::DemoRecordings(), Unpaced());
    Link(sim, 1);
    const auto demo = rd5150::DemoRecordings();
    // The settings say French: the names are French unless --lang says otherwise.
    WriteFile(program.dir.file("Velorcfg.ini"), SettingsText(0, 1));

    Outcome mon = Cli("download --dir " + Quote(Out("mon")));
    ASSERT_EQ(mon.status, CLI_OK) << mon.err;
    EXPECT_EQ(Files(Out("mon")), DemoNames("enregistrement", "mon"));
    for (const auto &r : demo) {
        std::string name = "enregistrement_" + std::to_string(r.number) + ".mon";
        std::vector<std::string> lines = Lines(ReadFile(Out("mon/" + name)));
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_EQ(lines[0], name);
        EXPECT_TRUE(std::regex_match(lines[1], std::regex(R"(\d\d/\d\d/\d{4} \d\d:\d\d)")));
        EXPECT_EQ(lines[2], rd5150::FormatRecordingLine(r));
    }
    // Standard output names the files written, in order.
    EXPECT_EQ(Lines(mon.out).size(), demo.size());
    EXPECT_EQ(Lines(mon.out).front(), Out("mon/enregistrement_1.mon"));

    // The device by its path, in English.
    Outcome vlr = Cli("download --device " + Quote(sim.DevicePath()) +
                      " --format vlr --lang gb --dir " + Quote(Out("vlr")));
    ASSERT_EQ(vlr.status, CLI_OK) << vlr.err;
    EXPECT_EQ(Files(Out("vlr")), DemoNames("recording", "vlr"));
    for (const auto &r : demo) {
        RecordingFile f;
        std::string name = "recording_" + std::to_string(r.number) + ".vlr";
        ASSERT_TRUE(ParseRecordingFile(ReadFile(Out("vlr/" + name)), &f)) << name;
        EXPECT_EQ(f.name, name);
        EXPECT_EQ(f.time.size(), r.values.size());
        EXPECT_EQ(f.interval, static_cast<unsigned>(r.interval));
        EXPECT_EQ(f.measureType, r.unitIndex);
    }

    Outcome csv = Cli("download --format csv --lang it --dir " + Quote(Out("csv")));
    ASSERT_EQ(csv.status, CLI_OK) << csv.err;
    EXPECT_EQ(Files(Out("csv")), DemoNames("salvataggio", "csv"));
    for (const auto &r : demo)
        EXPECT_EQ(
            CsvRows(scratch, Out("csv/salvataggio_" + std::to_string(r.number) + ".csv")).size(),
            r.values.size() + 1);

    Outcome xlsx = Cli("download --format xlsx --dir " + Quote(Out("xlsx")));
    ASSERT_EQ(xlsx.status, CLI_OK) << xlsx.err;
    EXPECT_EQ(Files(Out("xlsx")), DemoNames("enregistrement", "xlsx"));
    std::vector<std::string> rows =
        Lines(Python(scratch,
                     "import openpyxl, sys\n"
                     "for path in sys.argv[1:]:\n"
                     "    ws = openpyxl.load_workbook(path).worksheets[0]\n"
                     "    print(ws['A2'].value, ws.max_row - 9, ws['B4'].value)\n",
                     {Out("xlsx/enregistrement_1.xlsx"), Out("xlsx/enregistrement_6.xlsx")}));
    EXPECT_EQ(rows, (std::vector<std::string>{"enregistrement_1.mon 120 Heure",
                                              "enregistrement_6.mon 8000 Heure"}));
    EXPECT_EQ(sim.Recordings().size(), demo.size()) << "a download erases nothing";
}

std::string Minute(std::time_t t) {
    char text[32];
    std::strftime(text, sizeof text, "%m/%d/%Y %H:%M", std::localtime(&t));
    return text;
}

TEST_F(InstrumentTest, OnATerminalTheProgressIsABarDrawnInPlace) {
    rd5150::Simulator sim(rd5150::DemoRecordings(), Unpaced());
    Link(sim, 1);
    Outcome run =
        RunOnTerminal({program.Program(), "download", "--dir", Out("d")}, scratch.file("out.txt"));
    ASSERT_EQ(run.status, CLI_OK) << run.err;
    EXPECT_EQ(Lines(run.out).size(), 6u) << "the files written, on standard output";
    // Each recording's bar starts the line again; none is left on the screen.
    for (int i = 1; i <= 6; ++i)
        EXPECT_NE(run.err.find("\rrecording " + std::to_string(i) + " of 6 ["), std::string::npos)
            << run.err;
    EXPECT_EQ(run.err.find("recording 1 of 6: saved"), std::string::npos) << "no plain lines";
    // The bar is wiped before the summary, which stays.
    const std::size_t wiped = run.err.rfind("\r\x1b[K");
    ASSERT_NE(wiped, std::string::npos) << run.err;
    EXPECT_EQ(run.err.substr(wiped + 4).rfind("6 recordings transferred from COM1", 0), 0u)
        << run.err.substr(wiped);
}

// The graphical program in this process imports the same recordings, each
// saved under the name it proposes: the files to compare with.
class BesideTheGraphicalImport : public testsupport::AppTest {
  protected:
    void GraphicalImport(const std::string &folder) {
        testsupport::CopyFromProgramDir("toolbar", dir.path());
        WriteFile(dir.file("Velorcfg.ini"), SettingsText());
        RegisterCallbacks();
        RegisterDisplayCallbacks();
        RegisterWindowCallbacks();
        windowCount = 0;
        currentWindow = -1;
        importRunning = 1;
        rd5150::Simulator sim(rd5150::DemoRecordings(), Unpaced());
        ASSERT_TRUE(sim.Start(dir.file("COM1"))) << sim.LastError();
        ASSERT_TRUE(StartUp());
        Click(communicationPanel, COMM_QUIT);
        ClearPopupLog();
        for (int n = 1; n <= 6; ++n)
            Expect("Save", VAL_NEW_FILE_SELECTED,
                   folder + "/recording_" + std::to_string(n) + ".mon");
        Gestion_import(menuBar, MENU_IMPORT, nullptr, mainPanel);
        EXPECT_GT(listPanel, 0) << "the import ends with its list";
        if (listPanel > 0) Click(listPanel, LIST_QUIT);
        ShutDown();
    }
    static void Click(int panel, int control) {
        auto *button = qobject_cast<QAbstractButton *>(CtrlWidget(panel, control));
        ASSERT_NE(button, nullptr);
        button->click();
    }
    std::set<std::string> Files(const std::string &folder) const {
        std::set<std::string> names;
        for (const auto &f : fs::directory_iterator(folder))
            names.insert(f.path().filename().string());
        return names;
    }
    ProgramCopy program;
    TempDir scratch;
};

TEST_F(BesideTheGraphicalImport, MonFilesAreByteForByteThoseOfTheGraphicalImport) {
    const std::time_t before = std::time(nullptr);
    const std::string gui = scratch.file("gui"), cli = scratch.file("cli");
    fs::create_directories(gui);
    GraphicalImport(gui);
    ASSERT_FALSE(HasFailure());

    rd5150::Simulator sim(rd5150::DemoRecordings(), Unpaced());
    ASSERT_TRUE(sim.Start(program.ComPath(1))) << sim.LastError();
    Outcome run = Shell(scratch, program.Command("download --dir " + Quote(cli)));
    ASSERT_EQ(run.status, CLI_OK) << run.err;
    const std::time_t after = std::time(nullptr);

    // The second line is the transfer's minute: the two may fall on each side
    // of a minute's turn, never outside the test's own time.
    std::set<std::string> minutes;
    for (std::time_t t = before; t <= after + 1; ++t)
        minutes.insert(Minute(t));
    EXPECT_EQ(Files(cli), Files(gui));
    EXPECT_EQ(Files(gui).size(), 6u);
    for (const std::string &name : Files(gui)) {
        SCOPED_TRACE(name);
        const std::string guiText = ReadFile(gui + "/" + name);
        std::string cliText = ReadFile(cli + "/" + name);
        std::vector<std::string> g = Lines(guiText), c = Lines(cliText);
        ASSERT_EQ(g.size(), 3u);
        ASSERT_EQ(c.size(), 3u);
        EXPECT_TRUE(minutes.count(g[1])) << g[1];
        EXPECT_TRUE(minutes.count(c[1])) << c[1];
        if (c[1] != g[1]) cliText.replace(cliText.find(c[1]), c[1].size(), g[1]);
        EXPECT_EQ(cliText, guiText);
    }
}

TEST_F(InstrumentTest, SecondDownloadWithoutForceReplacesNothing) {
    rd5150::Simulator sim(rd5150::DemoRecordings(), Unpaced());
    Link(sim, 1);
    ASSERT_EQ(Cli("download --dir " + Quote(Out("d"))).status, CLI_OK);
    WriteFile(Out("d/recording_2.mon"), "my own notes\n");
    std::map<std::string, std::string> before;
    for (const std::string &name : Files(Out("d")))
        before[name] = ReadFile(Out("d/" + name));

    Outcome again = Cli("download --dir " + Quote(Out("d")));
    EXPECT_EQ(again.status, CLI_FILE);
    EXPECT_EQ(again.out, "") << "no file written";
    EXPECT_EQ(Lines(again.err).size(), 7u) << again.err; // one per file kept, the summary
    EXPECT_NE(again.err.find(Out("d/recording_2.mon") + ": exists, not replaced"),
              std::string::npos)
        << again.err;
    std::map<std::string, std::string> after;
    for (const std::string &name : Files(Out("d")))
        after[name] = ReadFile(Out("d/" + name));
    EXPECT_EQ(after, before) << "nothing replaced, nothing left behind";

    Outcome forced = Cli("download --force --dir " + Quote(Out("d")));
    EXPECT_EQ(forced.status, CLI_OK) << forced.err;
    EXPECT_EQ(Lines(ReadFile(Out("d/recording_2.mon")))[2],
              rd5150::FormatRecordingLine(rd5150::DemoRecordings()[1]));
    EXPECT_EQ(Files(Out("d")).size(), 6u);
}

TEST_F(InstrumentTest, ForcedDownloadOntoALinkReplacesItsTargetAndKeepsTheLink) {
    rd5150::Simulator sim(rd5150::DemoRecordings(), Unpaced());
    Link(sim, 1);
    fs::create_directories(Out("d"));
    fs::create_directories(Out("mine"));
    WriteFile(Out("mine/notes.mon"), "my own notes\n");
    fs::create_symlink("../mine/notes.mon", Out("d/recording_2.mon"));

    Outcome forced = Cli("download --force --dir " + Quote(Out("d")));
    EXPECT_EQ(forced.status, CLI_OK) << forced.err;
    ASSERT_TRUE(fs::is_symlink(Out("d/recording_2.mon")));
    EXPECT_EQ(fs::read_symlink(Out("d/recording_2.mon")), "../mine/notes.mon");
    std::vector<std::string> lines = Lines(ReadFile(Out("mine/notes.mon")));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2], rd5150::FormatRecordingLine(rd5150::DemoRecordings()[1]));
    EXPECT_EQ(Files(Out("mine")), std::set<std::string>{"notes.mon"});
}

TEST_F(InstrumentTest, PartsLeftByAKilledRunGoAtTheNextAndALiveRunsStay) {
    rd5150::Simulator sim(rd5150::DemoRecordings(), Unpaced());
    Link(sim, 1);
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0); // its id now names no process
    fs::create_directories(Out("d"));
    const std::string stale = ".recording_4.part" + std::to_string(child) + ".mon";
    const std::string live = ".recording_4.part" + std::to_string(::getpid()) + ".mon";
    WriteFile(Out("d/" + stale), "half a recor");
    WriteFile(Out("d/" + live), "on its way");
    WriteFile(Out("d/.notes.partial"), "mine");

    ASSERT_EQ(Cli("download --dir " + Quote(Out("d"))).status, CLI_OK);
    std::set<std::string> expected = DemoNames("recording", "mon");
    expected.insert(live);
    expected.insert(".notes.partial");
    EXPECT_EQ(Files(Out("d")), expected);
}

TEST_F(InstrumentTest, EraseYesEmptiesTheInstrumentAndWithoutATerminalNothingIsAsked) {
    rd5150::Simulator sim(rd5150::DemoRecordings(), Unpaced());
    Link(sim, 1);
    Outcome refused = Cli("erase");
    EXPECT_EQ(refused.status, CLI_USAGE);
    EXPECT_EQ(Lines(refused.err).size(), 1u) << refused.err;
    EXPECT_EQ(sim.Recordings().size(), 6u);
    EXPECT_EQ(sim.RequestCount(), 0u) << "the port was not even opened";

    Outcome erased = Cli("erase --yes");
    EXPECT_EQ(erased.status, CLI_OK) << erased.err;
    EXPECT_EQ(erased.out, "erased 6 recordings from COM1 (" + sim.DevicePath() + ")\n");
    EXPECT_TRUE(sim.Recordings().empty());

    Outcome empty = Cli("download --dir " + Quote(Out("d")));
    EXPECT_EQ(empty.status, CLI_OK) << empty.err;
    EXPECT_TRUE(Files(Out("d")).empty());
}

TEST_F(InstrumentTest, RefusedEraseAndSilentInstrumentGiveStatus2) {
    rd5150::Options refuse = Unpaced();
    refuse.refuseMc = 1;
    rd5150::Simulator sim(rd5150::DemoRecordings(), refuse);
    Link(sim, 1);
    Outcome erase = Cli("erase --yes");
    EXPECT_EQ(erase.status, CLI_LINK);
    EXPECT_EQ(erase.err, "velorinder-cli: COM1 (" + sim.DevicePath() +
                             "): the instrument refused to erase its memory\n");
    EXPECT_EQ(sim.Recordings().size(), 6u);

    Outcome absent = Cli("download --port 2 --dir " + Quote(Out("d")));
    EXPECT_EQ(absent.status, CLI_LINK);
    EXPECT_EQ(absent.err, "velorinder-cli: COM2: names no serial device\n");
}

// A device that is no serial port is named as such, not as one in use: by
// path, and by a COMn link in the list of ports.
TEST_F(InstrumentTest, DeviceThatIsNoSerialPortIsNamedAsSuch) {
    Outcome download = Cli("download --device /dev/null --dir " + Quote(Out("d")));
    EXPECT_EQ(download.status, CLI_LINK);
    EXPECT_EQ(download.err, "velorinder-cli: /dev/null: cannot be opened: not a serial port\n");

    fs::remove(program.ComPath(5));
    fs::create_symlink("/dev/null", program.ComPath(5));
    Outcome ports = Cli("ports --port 5");
    EXPECT_EQ(ports.status, CLI_LINK);
    EXPECT_EQ(ports.out, "COM5\t/dev/null\tcannot be opened: not a serial port\n");
}

// The simulator program, paced as the wire is: recording 6 (8,000 samples)
// takes some 17 s to arrive, the five before it about a second.
class SlowTransfer : public InstrumentTest {
  protected:
    void SetUp() override {
        sim = std::make_unique<Background>(
            std::vector<std::string>{std::string(VELORINDER_PROGRAM_DIR) + "/rd5150-sim", "--link",
                                     program.ComPath(1)},
            scratch.file("sim.out"), scratch.file("sim.err"));
        ASSERT_TRUE(sim->WaitForText("linked", std::chrono::seconds(10), true)) << sim->Err();
        cli = std::make_unique<Background>(
            std::vector<std::string>{program.Program(), "download", "--dir", Out("d")},
            scratch.file("cli.out"), scratch.file("cli.err"));
        // Recording 6 is on its way.
        ASSERT_TRUE(cli->WaitForText("recording 5 of 6: saved", std::chrono::seconds(30)))
            << cli->Err();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    // The five first recordings whole, the sixth nowhere, nothing half written.
    void ExpectFiveFilesKept() {
        const auto demo = rd5150::DemoRecordings();
        std::set<std::string> expected;
        for (int k = 0; k < 5; ++k) {
            std::string name = "recording_" + std::to_string(k + 1) + ".mon";
            expected.insert(name);
            std::vector<std::string> lines = Lines(ReadFile(Out("d/" + name)));
            ASSERT_EQ(lines.size(), 3u) << name;
            EXPECT_EQ(lines[2], rd5150::FormatRecordingLine(demo[k])) << name;
        }
        EXPECT_EQ(Files(Out("d")), expected);
    }
    std::unique_ptr<Background> sim, cli;
};

TEST_F(SlowTransfer, SimulatorKilledMidRecordingGivesStatus2AndKeepsTheEarlierFiles) {
    sim->Signal(SIGKILL);
    EXPECT_EQ(cli->Wait(std::chrono::seconds(30)), CLI_LINK) << cli->Err();
    ExpectFiveFilesKept();
    std::vector<std::string> err = Lines(cli->Err());
    ASSERT_FALSE(err.empty());
    EXPECT_EQ(err.back().rfind("velorinder-cli: COM1 (", 0), 0u) << err.back();
    EXPECT_NE(err.back().find("recording 6 of 6 did not arrive"), std::string::npos) << err.back();
    EXPECT_NE(err.back().find("5 files written before stay"), std::string::npos) << err.back();
}

TEST_F(SlowTransfer, CtrlCDiscardsTheRecordingOnItsWayAndKeepsTheFilesWritten) {
    cli->Signal(SIGINT);
    EXPECT_EQ(cli->Wait(std::chrono::seconds(10)), 128 + SIGINT) << cli->Err();
    ExpectFiveFilesKept();
    EXPECT_NE(cli->Err().find("stopped: the recording on its way was discarded; 5 files "
                              "written stay"),
              std::string::npos)
        << cli->Err();
}

} // namespace
