// The communication dialog: test and search of ports and their report.
#include "link_fixture.h"

#include <QSerialPort>

using namespace linktest;
using namespace std::chrono_literals;
using Strings = std::vector<std::string>;

namespace {

class DialogTest : public LinkTest {};

TEST_F(DialogTest, OpensWithThePortAndTheDevicesOfThisMachine) {
    rd5150::Simulator sim(rd5150::DemoRecordings(), Unpaced());
    Link(sim, 2);
    comPort = 7;
    int panel = OpenDialog();
    ASSERT_GT(panel, 0);
    int port = 0;
    GetCtrlVal(panel, COMM_PORT, &port);
    EXPECT_EQ(port, 7);
    std::string text;
    GetCtrlVal(panel, COMM_TEXT, &text);
    EXPECT_EQ(text, "     rate : 38400 bauds \nCOM2 = " + sim.DevicePath());

    Click(panel, COMM_QUIT);
    EXPECT_FALSE(PanelExists(panel));
    EXPECT_EQ(communicationPanel, 0);
    EXPECT_TRUE(sim.Requests().empty());
    EXPECT_TRUE(PopupLog().empty());
}

TEST_F(DialogTest, PortThatNamesNoDeviceGivesError21) {
    Expect("-121");
    TestPortFromDialog(9);
    EXPECT_EQ(LastPopup().text, "Invalid serial port number");
    EXPECT_EQ(comPort, 1) << "only a found instrument changes the port";
}

TEST_F(DialogTest, PortHeldByAnotherProgramGivesError19) {
    rd5150::Simulator sim(rd5150::DemoRecordings(), Unpaced());
    Link(sim, 4);
    QSerialPort other(QString::fromStdString(sim.DevicePath()));
    ASSERT_TRUE(other.open(QIODevice::ReadWrite));
    Expect("Error n° -119");
    TestPortFromDialog(4);
    EXPECT_EQ(LastPopup().text, "Serial port occupied");
    EXPECT_TRUE(sim.Requests().empty());
}

TEST_F(DialogTest, TestReleasesTheTransferPortFirst) {
    rd5150::Simulator sim(rd5150::DemoRecordings(), Unpaced());
    Link(sim, 1);
    ASSERT_EQ(OpenTransferLink(), 0);
    ASSERT_EQ(portOpen, 1);
    // The held port is closed before another is tried.
    Expect("-121");
    TestPortFromDialog(6);
    EXPECT_EQ(portOpen, 0);
    EXPECT_EQ(ComWrt(1, "Md\r\n", 4), kRs232PortNotOpen);
}

// A presence reply that fills the 200-byte read, so that the test does not
// wait for the read's time-out.
rd5150::Options FillingPresenceReply() {
    rd5150::Options o = Unpaced();
    o.strayBytes = std::string(198, '.');
    return o;
}

TEST_F(DialogTest, SuccessfulTestSaysCommunicationOkInEachLanguage) {
    rd5150::Simulator sim(rd5150::DemoRecordings(), FillingPresenceReply());
    Link(sim, 2);
    const char *titles[5] = {"Communication", "Communication", "Kommunikation", "Communicación",
                             "Comunicazione"};
    const char *texts[5] = {"Communication OK", "Communication OK", "Kommunikation OK",
                            "Comunicación OK", "Comunicazione OK"};
    for (int lang = 0; lang < 5; ++lang) {
        language = lang;
        comPort = 1;
        Expect(titles[lang]);
        TestPortFromDialog(2);
        EXPECT_EQ(LastPopup().kind, "message");
        EXPECT_EQ(LastPopup().title, titles[lang]);
        EXPECT_EQ(LastPopup().text, texts[lang]);
        EXPECT_EQ(comPort, 2);
    }
}

TEST_F(DialogTest, SearchFindsTheInstrumentOnCom3AndTheDialogShowsIt) {
    rd5150::Simulator sim(rd5150::DemoRecordings(), Unpaced());
    Link(sim, 3);
    int panel = OpenDialog();
    ASSERT_GT(panel, 0);
    Expect("Communication");
    Click(panel, COMM_SEARCH);
    EXPECT_EQ(LastPopup().text, "Communication OK");
    EXPECT_EQ(comPort, 3);
    EXPECT_EQ(inProgressPanel, 0) << "the in-progress panel is gone after the search";
    EXPECT_EQ(sim.Requests(), Strings{" "});

    panel = OpenDialog();
    ASSERT_GT(panel, 0);
    int port = 0;
    GetCtrlVal(panel, COMM_PORT, &port);
    EXPECT_EQ(port, 3);
    Click(panel, COMM_QUIT);
}

TEST_F(DialogTest, SearchWithoutInstrumentTriesEveryPortAndReportsNoResponse) {
    // A port with a device that never answers, and port 22 held by another
    // program: the report is that nothing answered, not the last port's error.
    rd5150::Options silent = Unpaced();
    silent.silentAfter = 0;
    rd5150::Simulator mute(rd5150::DemoRecordings(), silent);
    Link(mute, 10);
    rd5150::Simulator busy(rd5150::DemoRecordings(), Unpaced());
    Link(busy, 22);
    QSerialPort other(QString::fromStdString(busy.DevicePath()));
    ASSERT_TRUE(other.open(QIODevice::ReadWrite));

    int panel = OpenDialog();
    ASSERT_GT(panel, 0);
    Expect("Error n° -129");
    Click(panel, COMM_SEARCH);
    ASSERT_EQ(PopupLog().size(), 1u) << "one report for the whole search";
    EXPECT_EQ(LastPopup().text, "No response from the instrument");
    EXPECT_EQ(mute.Requests(), (Strings{" ", " "})) << "two presence attempts on port 10";
    EXPECT_EQ(comPort, 1);

    // A port where nothing answered is not kept locked.
    QSerialPort again(QString::fromStdString(mute.DevicePath()));
    EXPECT_TRUE(again.open(QIODevice::ReadWrite));
}

TEST(LinkReport, ErrorOfEachResult) {
    EXPECT_EQ(LinkResultError(1), 0);
    EXPECT_EQ(LinkResultError(0), 29);
    EXPECT_EQ(LinkResultError(kRs232NoSuchPort), 21);
    EXPECT_EQ(LinkResultError(kRs232CannotOpen), 19);
    EXPECT_EQ(LinkResultError(kRs232TimeOut), 20);
    EXPECT_EQ(LinkResultError(-1), 20);
}

} // namespace
