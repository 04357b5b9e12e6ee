// The serial port layer and the instrument's commands against the simulator.
#include "link_fixture.h"

#include <QSerialPort>
#include <cstring>

using namespace linktest;
using namespace std::chrono_literals;
using Strings = std::vector<std::string>;

namespace {

class PortTest : public LinkTest {};
class CommandTest : public LinkTest {
  protected:
    void SetUp() override {
        LinkTest::SetUp();
        Link(sim, 1);
        sim.SetOptions(Unpaced());
        OpenLikeATest(1);
        sim.ClearRequests();
    }
    rd5150::Simulator sim{rd5150::DemoRecordings(), Unpaced()};
};

// ---------------------------------------------------------------- ports

TEST_F(PortTest, NumbersResolveToTheProgramDirectoryLinks) {
    rd5150::Simulator sim(rd5150::DemoRecordings(), Unpaced());
    Link(sim, 3);
    EXPECT_EQ(ComPortDevice(3), sim.DevicePath());
    EXPECT_EQ(ComPortDevice(4), "") << "a broken link names no device";
    EXPECT_EQ(ComPortDevice(0), "");
    EXPECT_EQ(OpenComConfig(4, "", 38400, 0, 8, 1, 10000, 512), kRs232NoSuchPort);
    EXPECT_EQ(GetRs232Err(), kRs232NoSuchPort);
    EXPECT_EQ(OpenComConfig(0, "", 38400, 0, 8, 1, 10000, 512), kRs232NoSuchPort);

    // The dialog's list: only the ports that exist, each with its device.
    EXPECT_EQ(PortListText(), "\nCOM3 = " + sim.DevicePath());
}

TEST_F(PortTest, ReadsEndAtTheTerminatorAndKeepWhatFollows) {
    rd5150::Simulator sim(rd5150::DemoRecordings(), Unpaced());
    Link(sim, 2);
    OpenLikeATest(2);
    const char requests[] = " \r\nMd\r\n";
    ASSERT_EQ(ComWrt(2, requests, 7), 7);
    ASSERT_TRUE(sim.WaitForRequests(2, 2s));
    char line[32] = {};
    EXPECT_EQ(ComRdTerm(2, line, 31, '\n'), 2);
    EXPECT_STREQ(line, "*E") << "the line end is not stored";
    std::memset(line, 0, sizeof line);
    EXPECT_EQ(ComRdTerm(2, line, 31, '\n'), 1);
    EXPECT_STREQ(line, "6");

    // A count that ends the read before the terminator leaves the rest queued.
    ASSERT_EQ(ComWrt(2, " \r\n", 3), 3);
    std::memset(line, 0, sizeof line);
    EXPECT_EQ(ComRdTerm(2, line, 1, '\n'), 1);
    EXPECT_STREQ(line, "*");
    EXPECT_EQ(ComRdTerm(2, line, 31, '\n'), 1);
    EXPECT_EQ(line[0], 'E');
}

TEST_F(PortTest, TimeOutGivesMinus99AndLeavesThePortUsable) {
    rd5150::Simulator sim(rd5150::DemoRecordings(), Unpaced());
    Link(sim, 2);
    OpenLikeATest(2);
    ASSERT_EQ(SetComTime(2, 0.3), 0);
    rd5150::Options silent = Unpaced();
    silent.silentAfter = 0;
    sim.SetOptions(silent);
    char buffer[64] = {};
    ASSERT_EQ(ComWrt(2, "Md\r\n", 4), 4);
    EXPECT_EQ(ComRd(2, buffer, 10), kRs232TimeOut);
    EXPECT_EQ(GetRs232Err(), kRs232TimeOut);
    EXPECT_EQ(ComRdTerm(2, buffer, 10, '\n'), kRs232TimeOut);

    // A partial answer is returned with its count once the time-out runs out.
    sim.SetOptions(Unpaced());
    ASSERT_EQ(ComWrt(2, "Md\r\n", 4), 4);
    EXPECT_EQ(ComRd(2, buffer, 10), 2) << "\"6\" and its line end";
    EXPECT_EQ(std::string(buffer, 2), "6\n");
}

TEST_F(PortTest, ReopeningKeepsTheOpenPortAndFollowsARetargetedLink) {
    auto first = std::make_unique<rd5150::Simulator>(rd5150::DemoRecordings(), Unpaced());
    Link(*first, 3);
    OpenLikeATest(3);
    EXPECT_EQ(OpenComConfig(3, "", 38400, 0, 8, 1, 10000, 512), 0)
        << "opening a port this program holds succeeds";

    // The instrument comes back on another pseudo-terminal under the same name.
    first.reset();
    rd5150::Simulator second(rd5150::DemoRecordings(), Unpaced());
    Link(second, 3);
    EXPECT_EQ(ConnectInstrument(3, 38400), 1);
    EXPECT_EQ(second.Requests(), Strings{" "});

    EXPECT_EQ(CloseCom(3), 0);
    EXPECT_EQ(ComWrt(3, "Md\r\n", 4), kRs232PortNotOpen);
    EXPECT_EQ(CloseCom(3), kRs232PortNotOpen);
}

TEST_F(PortTest, PortHeldByAnotherProgramCannotBeOpened) {
    rd5150::Simulator sim(rd5150::DemoRecordings(), Unpaced());
    Link(sim, 4);
    QSerialPort other(QString::fromStdString(sim.DevicePath()));
    ASSERT_TRUE(other.open(QIODevice::ReadWrite));
    EXPECT_EQ(OpenComConfig(4, "", 38400, 0, 8, 1, 10000, 512), kRs232CannotOpen);
    EXPECT_EQ(GetRs232Err(), kRs232CannotOpen);
    other.close();
    EXPECT_EQ(OpenComConfig(4, "", 38400, 0, 8, 1, 10000, 512), 0);
}

// ---------------------------------------------------------------- presence

TEST_F(PortTest, LowerCasePresenceReplyIsFound) {
    rd5150::Options o = Unpaced();
    o.lowerCasePresence = true;
    rd5150::Simulator sim(rd5150::DemoRecordings(), o);
    Link(sim, 2);
    EXPECT_EQ(ProbeInstrument(2, 38400), 1);
    EXPECT_EQ(comPort, 2);
    EXPECT_EQ(sim.Requests(), Strings{" "}) << "found at the first attempt";
    EXPECT_EQ(portOpen, 0) << "a test does not claim the port for transfers";
    // The probe leaves the port open for the commands.
    sim.ClearRequests();
    EXPECT_EQ(ClearInstrumentMemory(), 0);
    EXPECT_EQ(sim.Requests(), Strings{"Mc"});

    comPort = 1;
    CloseCom(2);
    EXPECT_EQ(ConnectInstrument(2, 38400), 1);
    EXPECT_EQ(comPort, 2);
}

TEST_F(PortTest, TransferLinkReportsWhyItFailed) {
    comPort = 5; // a broken link
    Expect("-121");
    EXPECT_EQ(OpenTransferLink(), -1);
    EXPECT_EQ(portOpen, 0);
    EXPECT_EQ(LastPopup().text, "Invalid serial port number");

    rd5150::Simulator sim(rd5150::DemoRecordings(), Unpaced());
    Link(sim, 5);
    {
        QSerialPort other(QString::fromStdString(sim.DevicePath()));
        ASSERT_TRUE(other.open(QIODevice::ReadWrite));
        Expect("-119");
        EXPECT_EQ(OpenTransferLink(), -1);
        EXPECT_EQ(LastPopup().text, "Serial port occupied");
    }
    EXPECT_EQ(OpenTransferLink(), 0);
    EXPECT_EQ(portOpen, 1);
    EXPECT_EQ(comPort, 5);
}

// ---------------------------------------------------------------- commands

TEST_F(CommandTest, RefusalsOfTheCount) {
    const std::size_t held = sim.RemainingRecordings();

    // "*ex" passes the exact-case test; the repeat brings the count.
    rd5150::Options o = Unpaced();
    o.refuseMd = 1;
    o.refuseLowerCase = true;
    sim.SetOptions(o);
    EXPECT_EQ(ReadRecordingCount(), 0);
    EXPECT_EQ(sim.Requests(), (Strings{"Md", "Md"}));
    EXPECT_EQ(recordingCount, static_cast<int>(held));

    // "*ex" twice: refused after the one repeat.
    sim.ClearRequests();
    o.refuseMd = 2;
    sim.SetOptions(o);
    recordingCount = 42;
    EXPECT_EQ(ReadRecordingCount(), -1);
    EXPECT_EQ(sim.Requests(), (Strings{"Md", "Md"}));
    EXPECT_EQ(recordingCount, 42);

    // "*EX" is refused at once.
    sim.ClearRequests();
    o.refuseMd = 1;
    o.refuseLowerCase = false;
    sim.SetOptions(o);
    EXPECT_EQ(ReadRecordingCount(), -1);
    EXPECT_EQ(sim.Requests(), Strings{"Md"});
}

TEST(RecordingCount, OnlyACountAtTheStartIsTaken) {
    int count = -1;
    EXPECT_TRUE(ParseRecordingCount("12\r", &count));
    EXPECT_EQ(count, 12);
    EXPECT_TRUE(ParseRecordingCount(" 0", &count));
    EXPECT_EQ(count, 0);
    count = 7;
    EXPECT_FALSE(ParseRecordingCount("OK", &count));
    EXPECT_FALSE(ParseRecordingCount("", &count));
    EXPECT_FALSE(ParseRecordingCount("-3", &count));
    EXPECT_EQ(count, 7);
}

TEST_F(CommandTest, FiveShortReadsEndWithNoReplyAndOneRequest) {
    rd5150::Options o = Unpaced();
    o.shortLines = {{0, 25, 5, false}};
    sim.SetOptions(o);
    recordingCount = 6;
    EXPECT_EQ(ReadNextRecording(), 99);
    EXPECT_EQ(sim.Requests(), Strings{"Mg"});
    EXPECT_EQ(recordingCount, 6);
    EXPECT_EQ(sim.RemainingRecordings(), 6u);
}

TEST_F(CommandTest, ThirtyCharacterLineIsSkippedAndAskedAgain) {
    rd5150::Options o = Unpaced();
    o.shortLines = {{0, 30, 1, false}};
    sim.SetOptions(o);
    ASSERT_EQ(ReadRecordingCount(), 0);
    ASSERT_EQ(recordingCount, 6);
    sim.ClearRequests();
    EXPECT_EQ(ReadNextRecording(), 1);
    EXPECT_EQ(sim.Requests(), (Strings{"Mg", "Mg"}));
    EXPECT_EQ(recordingCount, 5);
    EXPECT_EQ(std::string(replyBuffer), rd5150::FormatRecordingLine(rd5150::DemoRecordings()[0]));
}

TEST_F(CommandTest, LongestLineStaysTerminatedInTheBuffer) {
    std::string longLine = "0001;0;1;001.00;00001;";
    while (longLine.size() < REPLY_BUFFER_SIZE + 100)
        longLine += "1.00E+0;";
    sim.SetRecordings({rd5150::Recording::Raw(longLine)});
    replyBuffer[REPLY_BUFFER_SIZE - 1] = 'x';
    EXPECT_EQ(ReadNextRecording(), 1);
    EXPECT_EQ(std::strlen(replyBuffer), static_cast<std::size_t>(REPLY_BUFFER_SIZE - 1));
    EXPECT_EQ(std::string(replyBuffer, 40), longLine.substr(0, 40));
}

TEST_F(CommandTest, LongLineAtTheWireSpeedIsNotCutByTheTimeOut) {
    // About 2.6 s on the wire at 38400 baud, more than the 2 s time-out.
    std::string longLine = "0001;0;1;001.00;00001;";
    while (longLine.size() < 10000)
        longLine += "1.00E+0;";
    rd5150::Options paced;
    paced.paced = true;
    paced.baud = 38400;
    sim.SetOptions(paced);
    sim.SetRecordings({rd5150::Recording::Raw(longLine)});
    EXPECT_EQ(ReadNextRecording(), 1);
    EXPECT_EQ(std::string(replyBuffer), longLine);
}

TEST_F(CommandTest, StopEndsTheReadWithoutWaiting) {
    // Already stopped: no read at all, and no endless loop.
    importRunning = 0;
    EXPECT_EQ(ReadNextRecording(), 0);
    EXPECT_TRUE(sim.WaitForRequests(1, 2s));
    EXPECT_EQ(sim.Requests(), Strings{"Mg"});

    // Stop pressed on the progress panel.
    importRunning = 1;
    int progress = LoadPanel(0, ResourceFile(), PANEL_PROGRESS);
    ASSERT_GT(progress, 0);
    Click(progress, STOP_BUTTON);
    EXPECT_EQ(ReadNextRecording(), 0);
    EXPECT_EQ(importRunning, 0);

    // A Stop left over from an earlier transfer does not stop the next one
    // (that transfer ended and set the flag back; only its commit is queued).
    Click(progress, STOP_BUTTON);
    importRunning = 1;
    ASSERT_EQ(OpenTransferLink(), 0);
    EXPECT_EQ(ReadNextRecording(), 1);
    EXPECT_EQ(importRunning, 1);
    DiscardPanel(progress);
}

TEST_F(CommandTest, ClearMemoryAsksFirstAndReportsARefusal) {
    const PopupRecord *question = nullptr;

    // No: nothing is sent.
    Expect("CAUTION!  THE DATA WILL BE ERASED", 2);
    Gestion_import(menuBar, MENU_CLEAR_MEMORY, nullptr, mainPanel);
    ASSERT_EQ(PopupLog().size(), 1u);
    question = &PopupLog()[0];
    EXPECT_EQ(question->text, "Do you wish continue ?");
    EXPECT_EQ(question->buttons, (Strings{"Yes", "No"}));
    EXPECT_TRUE(sim.Requests().empty());

    // "*ex" in reply to "Mc" is a refusal: error 24, memory kept. The port a
    // test left open is taken for the command as an import takes it.
    rd5150::Options o = Unpaced();
    o.refuseMc = 1;
    o.refuseLowerCase = true;
    sim.SetOptions(o);
    Expect("CAUTION");
    Expect("-124");
    Gestion_import(menuBar, MENU_CLEAR_MEMORY, nullptr, mainPanel);
    EXPECT_EQ(LastPopup().text, "Error during the execution of the order");
    EXPECT_EQ(sim.Requests(), (Strings{" ", "Mc"}));
    EXPECT_EQ(sim.RemainingRecordings(), 6u);

    // Accepted: the memory is erased, and the user told so.
    sim.ClearRequests();
    Expect("CAUTION");
    Expect("Communication");
    Gestion_import(menuBar, MENU_CLEAR_MEMORY, nullptr, mainPanel);
    EXPECT_EQ(LastPopup().text, "The instrument's memory has been erased.");
    EXPECT_EQ(sim.Requests(), Strings{"Mc"});
    EXPECT_EQ(sim.RemainingRecordings(), 0u);

    // Without an open port the command fails the same way.
    CloseCom(1);
    Expect("CAUTION");
    Expect("-124");
    Gestion_import(menuBar, MENU_CLEAR_MEMORY, nullptr, mainPanel);
}

TEST_F(CommandTest, ClearMemoryQuestionInEachLanguage) {
    struct Row {
        const char *title, *message, *yes, *no;
    };
    const Row rows[5] = {
        {"ATTENTION ! EFFACEMENT LES DONNEES.", "Voulez vous continuer ?", "Oui", "Non"},
        {"CAUTION!  THE DATA WILL BE ERASED", "Do you wish continue ?", "Yes", "No"},
        {"ACHTUNG! DER DATEN BERDEN GELÖSCHT SEIN.", "Möchten Sie fortsetzen?", "Ja", "Nein"},
        {"ATENCION! LOS DATOS SERAN BORRADOS.", "¿Desea continuar?", "Si", "No"},
        {"ATTENZIONE ! I DATI SARANNO ANNULLATI", "Volete continuare?", "Si", "No"},
    };
    for (int lang = 0; lang < 5; ++lang) {
        language = lang;
        Expect(rows[lang].title, 2);
        ClearMemoryCommand();
        const PopupRecord &r = LastPopup();
        EXPECT_EQ(r.kind, "generic");
        EXPECT_EQ(r.title, rows[lang].title);
        EXPECT_EQ(r.text, rows[lang].message);
        EXPECT_EQ(r.buttons, (Strings{rows[lang].yes, rows[lang].no}));
    }
    EXPECT_TRUE(sim.Requests().empty());
}

} // namespace
