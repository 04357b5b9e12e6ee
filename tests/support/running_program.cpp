#include "support/running_program.h"

#include "display/display.h"
#include "files/files.h"
#include "link/link.h"
#include "platform/platform.h"
#include "shell/shell.h"
#include "windows/windows.h"

#include <cstdio>
#include <cstring>
#include <sstream>

namespace testsupport {

std::string CommandOutput(const std::string &command) {
    std::string out;
    FILE *p = popen(command.c_str(), "r");
    if (!p) return out;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0)
        out.append(buffer, n);
    pclose(p);
    return out;
}

int PdfPages(const std::string &pdf) {
    int pages = -1;
    std::istringstream in(CommandOutput("pdfinfo '" + pdf + "' 2>/dev/null"));
    for (std::string line; std::getline(in, line);)
        if (std::sscanf(line.c_str(), "Pages: %d", &pages) == 1) break;
    return pages;
}

void RunningProgramTest::SetUp() {
    AppTest::SetUp();
    CopyFromProgramDir("toolbar", dir.path());
    RegisterGraphCallbacks();
    static bool registered = false;
    if (!registered) {
        RegisterLinkCallbacks();
        RegisterFileCallbacks();
        registered = true;
    }
}

void RunningProgramTest::TearDown() {
    CloseProgram();
    AppTest::TearDown();
}

void RunningProgramTest::StartProgram(const std::string &settings, bool communicationDialog) {
    WriteFile(dir.file("Velorcfg.ini"), settings);
    windowCount = 0;
    currentWindow = -1;
    ASSERT_TRUE(StartUp(communicationDialog));
    started = true;
}

void RunningProgramTest::DismissStartUpDialogs() {
    RemovePopup(1);
    if (communicationPanel > 0) DiscardPanel(communicationPanel);
    communicationPanel = 0;
}

void RunningProgramTest::CloseProgram() {
    if (!started) return;
    while (windowCount > 0) {
        currentWindow = windowCount - 1;
        Fermer_fenetre();
    }
    currentWindow = -1;
    RemovePopup(1);
    ShutDown();
    started = false;
}

void RunningProgramTest::ForgetRecentFiles() {
    std::memset(recentFiles, 0, sizeof recentFiles);
    for (int &item : recentItems)
        item = 0;
}

} // namespace testsupport
