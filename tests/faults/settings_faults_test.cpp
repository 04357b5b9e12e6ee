// The settings file against damaged and unusual contents: what the reader
// accepts, the save at exit (ticked or not) writes back so that it reads as
// the same settings at the next start.
#include "display/display.h"
#include "link/link.h"
#include "shell/shell.h"
#include "support/app_fixture.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;
using namespace testsupport;

namespace {

const char *const VALID = "0\n4 19200\n1\n2\n3\n4\n5\n6\n7\n\n2\n30\n40\n600\n900\n0\n***\n"
                          "___1 /data/a.vlr\n\n\n___4 /data/d.vlr\n";

std::vector<std::string> SplitLines(const std::string &text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string JoinLines(const std::vector<std::string> &lines) {
    std::string text;
    for (const std::string &line : lines)
        text += line + "\n";
    return text;
}

// Everything but the tick and the recent files, which the partial save sets.
void ExpectSameKeptSettings(const SettingsFile &a, const SettingsFile &b, const std::string &why) {
    EXPECT_EQ(a.comPort, b.comPort) << why;
    EXPECT_EQ(a.baudRate, b.baudRate) << why;
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(a.colours[i], b.colours[i]) << why << ", colour " << i;
    EXPECT_EQ(a.language, b.language) << why;
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(a.placement[i], b.placement[i]) << why << ", placement " << i;
}

TEST(SettingsFileReader, TheDamagedFilesOfTheFaultReportAreRefused) {
    // A marker in place of the empty line 10, and in place of a colour line:
    // a partial save that stops at the first marker would cut these files.
    const char *const markerOnLine10 =
        "0\n1 38400\n16711680\n12632256\n128\n65280\n16776960\n0\n0\n"
        "***\n1\n25\n5\n500\n800\n0\n***\n";
    const char *const markerForAColour = "0\n1 38400\n16711680\n***\n128\n65280\n16776960\n0\n0\n"
                                         "\n1\n25\n5\n500\n800\n0\n***\n";
    SettingsFile s;
    EXPECT_FALSE(ParseSettingsFile(markerOnLine10, &s));
    EXPECT_FALSE(ParseSettingsFile(markerForAColour, &s));
    ASSERT_TRUE(ParseSettingsFile(VALID, &s));
    EXPECT_EQ(s.comPort, 4);
    EXPECT_EQ(s.colours[6], 7);
    EXPECT_EQ(s.language, 2);
    EXPECT_EQ(s.placement[3], 900);
    EXPECT_EQ(s.recent[3], "___4 /data/d.vlr");
}

// Every line of a valid file changed in turn into texts a damaged or
// hand-edited file may hold: whenever the reader still accepts the file, the
// partial save leaves a file that reads back as the same settings.
TEST(SettingsFileReader, WhateverIsAcceptedThePartialSaveReadsBackTheSame) {
    const std::vector<std::string> base = SplitLines(VALID);
    const std::array<std::string, 4> recent = {"___1 /home/tech/run.vlr", "", "not in use", ""};
    const char *const replacements[] = {"***",         "",      "  ",     "x",  "7",    "+7 ",
                                        "1 2",         "-5",    "\t12\r", "7x", "*** ", "****",
                                        "99999999999", "1 2 3", "\r\r",   "*"};
    int accepted = 0, refused = 0;
    for (std::size_t line = 0; line < base.size() + 2; ++line) {
        for (const char *replacement : replacements) {
            std::vector<std::string> lines = base;
            lines.resize(std::max(lines.size(), line + 1));
            lines[line] = replacement;
            const std::string text = JoinLines(lines);
            const std::string why = "line " + std::to_string(line + 1) + " \"" + replacement + "\"";
            SettingsFile before;
            if (!ParseSettingsFile(text, &before)) {
                ++refused;
                continue;
            }
            ++accepted;
            std::string saved;
            ASSERT_TRUE(PartialSettingsText(text, 0, recent, &saved)) << why;
            SettingsFile after;
            ASSERT_TRUE(ParseSettingsFile(saved, &after)) << why << "\n" << saved;
            ExpectSameKeptSettings(before, after, why);
            EXPECT_EQ(after.tick, 0) << why;
            EXPECT_EQ(after.recent, recent) << why;
        }
    }
    EXPECT_GT(accepted, 0);
    EXPECT_GT(refused, 0);
}

class SettingsAtExit : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        CopyFromProgramDir("toolbar", dir.path());
    }
    void TearDown() override {
        Stop();
        AppTest::TearDown();
    }
    // A new start of the program: nothing of the last run is kept in memory.
    void Start(bool expectSettingsError) {
        std::memset(recentFiles, 0, sizeof recentFiles);
        displayColours[6] = 0;
        if (expectSettingsError) Expect("Error n° -100");
        ASSERT_TRUE(StartUp());
        started = true;
    }
    void Stop() {
        if (!started) return;
        RemovePopup(1);
        if (communicationPanel > 0) DiscardPanel(communicationPanel);
        communicationPanel = 0;
        ShutDown();
        started = false;
    }
    void ExitAndRestart(int tick) {
        SetMenuBarAttribute(menuBar, MENU_SAVE_ON_EXIT, ATTR_CHECKED, tick);
        Expect("", 1); // the exit question, in the language of the file
        Sortir(mainPanel, 2, EVENT_COMMIT, nullptr, 0, 0);
        Stop();
        ClearPopupLog();
        Start(false);
    }
    // The settings as the running program holds them.
    static SettingsFile Held() {
        SettingsFile s;
        GetMenuBarAttribute(menuBar, MENU_SAVE_ON_EXIT, ATTR_CHECKED, &s.tick);
        s.comPort = comPort;
        s.baudRate = baudRate;
        for (int i = 0; i < 7; ++i)
            s.colours[i] = displayColours[i];
        s.language = language;
        const int placement[5] = {mainTop, mainLeft, mainHeight, mainWidth, mainZoom};
        for (int i = 0; i < 5; ++i)
            s.placement[i] = placement[i];
        for (int i = 0; i < 4; ++i)
            s.recent[i] = recentFiles[i];
        return s;
    }
    bool started = false;
};

TEST_F(SettingsAtExit, DamagedFileOfTheFaultReportIsReplacedAndTheNextStartKeepsItsSettings) {
    WriteFile(dir.file("Velorcfg.ini"),
              "0\n1 38400\n16711680\n12632256\n128\n65280\n16776960\n0\n0\n***\n1\n25\n5\n500\n"
              "800\n0\n***\n");
    Start(true);
    std::strcpy(recentFiles[0], "___1 /home/tech/run.vlr");
    ExitAndRestart(0);
    EXPECT_TRUE(PopupLog().empty()) << "the file the unticked save left reads as settings";
    EXPECT_STREQ(recentFiles[0], "___1 /home/tech/run.vlr");
    EXPECT_NE(recentItems[0], 0);
}

TEST_F(SettingsAtExit, AnUnusualButAcceptedFileReadsBackTheSameAfterEitherSave) {
    // Windows line ends, signs and blanks around numbers, a blank line 10 with
    // blanks, a marker with a blank after it, recent-files lines with stray
    // carriage returns and one longer than an entry holds.
    std::string text =
        "1\r\n+2  9600 \r\n 255\t\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n  \r\n3\r\n25\r\n5\r\n"
        "500\r\n800\r\n0\r\n*** \r\n___1 /a b/c.vlr\r\r\n___2 " +
        std::string(400, 'x') + "\r\n\r\r\n___4 /d.mon\r\n";
    WriteFile(dir.file("Velorcfg.ini"), text);
    Start(false);
    const SettingsFile first = Held();
    EXPECT_EQ(first.comPort, 2);
    EXPECT_EQ(first.colours[0], 255);
    EXPECT_EQ(first.recent[0], "___1 /a b/c.vlr");
    EXPECT_EQ(first.recent[1].size(), 299u);

    for (int tick : {1, 0}) {
        ExitAndRestart(tick);
        EXPECT_TRUE(PopupLog().empty()) << "tick " << tick;
        const SettingsFile again = Held();
        ExpectSameKeptSettings(first, again, "tick " + std::to_string(tick));
        EXPECT_EQ(again.recent, first.recent) << "tick " << tick;
        EXPECT_EQ(again.tick, tick);
    }
}

TEST_F(SettingsAtExit, AHugeWindowSizeIsFittedToTheScreenAndSavedFitted) {
    // Lines 14 and 15, height and width, at the largest number the file can hold.
    WriteFile(dir.file("Velorcfg.ini"),
              "1\n1 38400\n16711680\n12632256\n128\n65280\n16776960\n0\n0\n\n1\n25\n5\n"
              "2147483647\n2147483647\n0\n***\n");
    Start(false);
    EXPECT_TRUE(PopupLog().empty());
    MainPlacement area;
    ASSERT_EQ(GetScreenWorkArea(&area.top, &area.left, &area.height, &area.width), 0);
    int top = 0, left = 0, height = 0, width = 0;
    GetPanelAttribute(mainPanel, ATTR_TOP, &top);
    GetPanelAttribute(mainPanel, ATTR_LEFT, &left);
    GetPanelAttribute(mainPanel, ATTR_HEIGHT, &height);
    GetPanelAttribute(mainPanel, ATTR_WIDTH, &width);
    EXPECT_LE(height, area.height);
    // No narrower than its menu bar and toolbar let it be: about the first start's 800.
    EXPECT_LE(width, std::max(area.width, 800));
    EXPECT_GT(height, area.height / 2) << "as much of the screen as it can have";
    EXPECT_GT(width, area.width / 2);
    EXPECT_EQ(top, area.top);
    EXPECT_EQ(left, area.left);

    ExitAndRestart(1);
    SettingsFile saved;
    ASSERT_TRUE(ParseSettingsFile(ReadFile(dir.file("Velorcfg.ini")), &saved));
    EXPECT_EQ(saved.placement[2], height) << "the fitted size is what is saved";
    EXPECT_EQ(saved.placement[3], width);
}

} // namespace
