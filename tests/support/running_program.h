// Test support: the whole program started as a user starts it, in a temporary
// program directory, and external tools run on the files it writes.
#pragma once

#include "support/app_fixture.h"

#include <string>

namespace testsupport {

// What a shell command writes on its standard output.
std::string CommandOutput(const std::string &command);
// Pages of a PDF file, by pdfinfo; -1 when it cannot tell.
int PdfPages(const std::string &pdf);

// Base fixture: the toolbar and the callbacks of the menus in place; the
// derived fixture starts the program with its settings. Every graph window
// and the program are closed afterwards.
class RunningProgramTest : public AppTest {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Writes settings as Velorcfg.ini and starts the program with no window.
    void StartProgram(const std::string &settings, bool communicationDialog = true);
    // Closes the popup and the communication dialog that start-up shows.
    static void DismissStartUpDialogs();
    // Closes every graph window and shuts the program down, if it runs.
    void CloseProgram();
    // Empties the recent-files list, which other tests may have filled.
    static void ForgetRecentFiles();

    bool started = false;
};

} // namespace testsupport
