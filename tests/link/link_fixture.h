// Link tests run the real serial code against the instrument simulator on a
// pseudo-terminal, linked as COMn in a temporary program directory.
#pragma once

#include "link/link.h"
#include "platform/platform.h"
#include "rd5150-sim/simulator.h"
#include "shell/shell.h"
#include "support/app_fixture.h"

#include <QAbstractButton>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace linktest {

inline rd5150::Options Unpaced() {
    rd5150::Options o;
    o.paced = false;
    return o;
}

class LinkTest : public testsupport::AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        RegisterLinkCallbacks();
        comPort = 1;
        baudRate = 38400;
        portOpen = 0;
        importRunning = 1;
        recordingCount = 0;
        language = 1;
        ClearStopRequests();
        // Every number names a missing device unless a test links it, so
        // that the machine's own serial ports take no part.
        for (int n = 1; n <= MAX_COM_PORTS; ++n)
            Shadow(n);
    }
    void TearDown() override {
        for (int n = 1; n <= MAX_COM_PORTS; ++n)
            CloseCom(n);
        AppTest::TearDown();
    }

    std::string ComPath(int n) const { return dir.file("COM" + std::to_string(n)); }
    void Shadow(int n) {
        std::filesystem::remove(ComPath(n));
        std::filesystem::create_symlink(dir.file("absent-tty" + std::to_string(n)), ComPath(n));
    }
    // Starts sim linked as COMn.
    void Link(rd5150::Simulator &sim, int n) {
        ASSERT_TRUE(sim.Start(ComPath(n))) << sim.LastError();
    }
    // Opens the port as a finished test leaves it: open, XON/XOFF, 2 s.
    void OpenLikeATest(int n) {
        ASSERT_EQ(OpenComConfig(n, "", baudRate, 0, 8, 1, 10000, 512), 0);
        ASSERT_EQ(SetXMode(n, 1), 0);
        ASSERT_EQ(SetComTime(n, 2.0), 0);
    }

    static void Click(int panel, int control) {
        auto *button = qobject_cast<QAbstractButton *>(CtrlWidget(panel, control));
        ASSERT_NE(button, nullptr) << "control " << control << " of panel " << panel;
        button->click();
    }
    // Opens the communication dialog as the menu item does.
    static int OpenDialog() {
        Gestion_import(menuBar, MENU_COMMUNICATION, nullptr, mainPanel);
        return communicationPanel;
    }
    // Tests port n from the dialog.
    void TestPortFromDialog(int n) {
        int panel = OpenDialog();
        ASSERT_GT(panel, 0);
        ASSERT_EQ(SetCtrlVal(panel, COMM_PORT, n), 0);
        Click(panel, COMM_TEST);
        EXPECT_EQ(communicationPanel, 0) << "the dialog closes before the test";
        EXPECT_FALSE(PanelExists(panel));
    }
    static const PopupRecord &LastPopup() {
        static const PopupRecord none;
        return PopupLog().empty() ? none : PopupLog().back();
    }
};

} // namespace linktest
