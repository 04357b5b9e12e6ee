// Base of the end-to-end link fixtures: the program as a user starts it, with
// the toolbar and a settings file, the instrument simulator on a
// pseudo-terminal, and everything the program opened closed afterwards.
#pragma once

#include "display/display.h"
#include "link/link.h"
#include "platform/platform.h"
#include "rd5150-sim/simulator.h"
#include "shell/shell.h"
#include "support/app_fixture.h"
#include "windows/windows.h"

#include <QAbstractButton>
#include <memory>
#include <string>
#include <vector>

namespace e2e {

class LinkEndToEnd : public testsupport::AppTest {
  protected:
    // settings: the text of Velorcfg.ini, which names the port of the link.
    explicit LinkEndToEnd(std::string settings) : settings_(std::move(settings)) {}

    void SetUp() override {
        AppTest::SetUp();
        testsupport::CopyFromProgramDir("toolbar", dir.path());
        testsupport::WriteFile(dir.file("Velorcfg.ini"), settings_);
        testsupport::RegisterGraphCallbacks();
        windowCount = 0;
        currentWindow = -1;
        importRunning = 1;
        recordingCount = 0;
    }
    void TearDown() override {
        if (started) {
            RemovePopup(1);
            if (listPanel > 0) DiscardPanel(listPanel);
            listPanel = 0;
            if (communicationPanel > 0) DiscardPanel(communicationPanel);
            communicationPanel = 0;
            ShutDown();
        }
        if (sim) sim->Stop();
        AppTest::TearDown();
    }

    // Starts the instrument on device and then the program; closes the
    // communication dialog that start-up opens.
    void StartLink(std::vector<rd5150::Recording> recordings, const rd5150::Options &options,
                   const std::string &device) {
        sim = std::make_unique<rd5150::Simulator>(std::move(recordings), options);
        ASSERT_TRUE(sim->Start(device)) << sim->LastError();
        ASSERT_TRUE(StartUp());
        started = true;
        ASSERT_GT(communicationPanel, 0);
        Click(communicationPanel, COMM_QUIT);
    }

    static void Click(int panel, int control) {
        auto *button = qobject_cast<QAbstractButton *>(CtrlWidget(panel, control));
        ASSERT_NE(button, nullptr) << "control " << control << " of panel " << panel;
        button->click();
    }
    // Answers the next file dialog with name in the program directory.
    void SaveAs(const std::string &name) { Expect("Save", VAL_NEW_FILE_SELECTED, dir.file(name)); }
    // "title: text" of each error message shown since the log was cleared.
    std::vector<std::string> ErrorTexts() const {
        std::vector<std::string> texts;
        for (const auto &p : PopupLog())
            if (p.title.rfind("Error", 0) == 0) texts.push_back(p.title + ": " + p.text);
        return texts;
    }

    std::unique_ptr<rd5150::Simulator> sim;
    bool started = false;

  private:
    std::string settings_;
};

} // namespace e2e
