// Sessions on the running program: a screen of work saved and opened again
// is the same screen, and a file that is no session changes nothing.
#include "compare/compare.h"
#include "edit/edit.h"
#include "files/files.h"
#include "link/link.h"
#include "session/session.h"
#include "windows/graph_fixture.h"

#include <QImage>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {

using testsupport::GraphWindowTest;
using testsupport::OpenRecording;
using testsupport::ReadFile;
using testsupport::RunUpCurve;
using testsupport::WriteFile;

class SessionScreenTest : public GraphWindowTest {
  protected:
    void SetUp() override {
        GraphWindowTest::SetUp();
        std::memset(recentFiles, 0, sizeof recentFiles);
        for (int &item : recentItems)
            item = 0;
        filterConstant = 0;
    }
    void TearDown() override {
        for (int &item : recentItems) {
            if (item != 0) DiscardMenuItem(menuBar, item);
            item = 0;
        }
        GraphWindowTest::TearDown();
    }

    static void Derive(int slot, int kind, int constant = 0) {
        sourceList[0] = slot;
        sourceCount = 1;
        TraitementFiltre(0, kind);
        if (kind == KIND_AVERAGE) {
            SetCtrlVal(constantPanel, CONSTANT_VALUE, constant);
            Constante(constantPanel, CONSTANT_OK, EVENT_COMMIT, nullptr, 0, 0);
        }
    }
    static void Activate(int slot) {
        Repere_fenetre(windows[slot].panel, EVENT_GOT_FOCUS, nullptr, 0, 0);
    }
    static void Edit(int item) { Gestion_edition(menuBar, item, nullptr, mainPanel); }
    static void Display(int item) { Gestion_affichage(menuBar, item, nullptr, mainPanel); }
    // A label placed by the Edit menu, moved with the text dialog's arrows.
    static void Label(int slot, int item, const std::string &text, std::vector<int> moves) {
        Activate(slot);
        Edit(item);
        ASSERT_GT(textDialog, 0);
        SetCtrlVal(textDialog, TEXT_FIELD, text);
        for (int control : moves)
            Minmax(textDialog, control, EVENT_COMMIT, nullptr, 0, 0);
        Minmax(textDialog, TEXT_OK, EVENT_COMMIT, nullptr, 0, 0);
    }
    static void Alarm(int slot, double low, double high) {
        Activate(slot);
        Edit(MENU_ALARM);
        SetCtrlVal(alarmPanel, ALARM_LINE_1, 1);
        SetCtrlVal(alarmPanel, ALARM_LEVEL_1, low);
        SetCtrlVal(alarmPanel, ALARM_LINE_2, 1);
        SetCtrlVal(alarmPanel, ALARM_LEVEL_2, high);
        SetCtrlVal(alarmPanel, ALARM_SETTING, 3);
        Alarmes(alarmPanel, ALARM_OK, EVENT_COMMIT, nullptr, 0, 0);
    }
    static void ManualScale(int slot, double lo, double hi) {
        Activate(slot);
        OpenScalePopup();
        SetCtrlVal(scalesPopup, 4, SCALE_MANUAL);
        SetCtrlVal(scalesPopup, 6, lo);
        SetCtrlVal(scalesPopup, 5, hi);
        Echelle(scalesPopup, 3, EVENT_COMMIT, nullptr, 0, 0);
    }
    void Rename(int slot, const std::string &title) {
        Activate(slot);
        Expect("Rename", 1, title);
        Edit(MENU_RENAME_WINDOW);
    }
    // Zoomed in twice and scrolled a third of the way, as the user does it.
    static void ZoomAndScroll(int slot) {
        Activate(slot);
        Display(MENU_ZOOM_IN);
        Display(MENU_ZOOM_IN);
        int maximum = 0;
        ScrollBar_GetAttribute(windows[slot].panel, WINDOW_SCROLLBAR, kScrollBarAttrMaximum,
                               &maximum);
        ScrollBar_SetAttribute(windows[slot].panel, WINDOW_SCROLLBAR, kScrollBarAttrPosition,
                               maximum / 3);
        ScrollBarCallback(windows[slot].panel, WINDOW_SCROLLBAR, kScrollBarEventKey, nullptr, 0, 0);
    }

    // Nine windows of every kind, each with something the user made of it.
    void BuildNineWindows() {
        OpenRecording("SHAFT_A.MON", RunUpCurve(400), 1, 0);
        OpenRecording("BELT_B.VLR", RunUpCurve(300), 2, 1, {5, 6});
        Derive(0, KIND_POSITION);
        Derive(1, KIND_ACCELERATION);
        Derive(0, KIND_AVERAGE, 7);
        OpenRecording("FREQ_C.MON", {50, 52.5, 49, 51, 50.5, 48, 53}, 1, 4);
        Derive(1, KIND_AVERAGE, 3);
        // A position whose recording is then closed: it keeps its own samples.
        OpenRecording("SPINDLE_D.MON", RunUpCurve(120), 1, 6);
        Derive(7, KIND_POSITION);
        currentWindow = 7;
        Fermer_fenetre();
        OpenRecording("SPINDLE_E.MON", RunUpCurve(90), 1, 0);
        ASSERT_EQ(windowCount, MAX_WINDOWS);

        Label(0, MENU_MIN_LABEL, "lowest", {TEXT_UP, TEXT_UP});
        Label(0, MENU_TEXT_1, "bearing warm", {TEXT_RIGHT, TEXT_DOWN});
        Alarm(0, 1400, 900);
        Activate(0);
        Display(MENU_GRATICULE);
        Rename(0, "Shaft A, run-up");
        ManualScale(1, -100, 2000);
        ZoomAndScroll(1);
        Activate(1);
        Display(MENU_VARIATION_CURSORS);
        SetGraphCursor(windows[1].panel, WINDOW_GRAPH, 2, 40.5, 700.25);
        SetGraphCursor(windows[1].panel, WINDOW_GRAPH, 3, 90.0, 1200.0);
        Display(MENU_LEGEND);
        ValCurseur(windows[1].panel, WINDOW_GRAPH, EVENT_COMMIT, nullptr, 0, 0);
        Label(2, MENU_MAX_LABEL, "Max", {});
        ZoomAndScroll(3);
        Rename(4, "Smoothed A");
        Label(5, MENU_TEXT_3, "mains", {TEXT_LEFT});
        Alarm(5, 50, 51);
        Activate(6);
        Display(MENU_LEGEND);
        Display(MENU_GRATICULE);
        SetGraphCursor(windows[6].panel, WINDOW_GRAPH, 1, 30, 0);
        ValCurseur(windows[6].panel, WINDOW_GRAPH, EVENT_COMMIT, nullptr, 0, 0); // as a drag ends
        Rename(8, "Spindle E");
        SetComparison(3, {8, 0}); // a recording with two others laid over it
        Activate(8);
        Gestion_fenetre(menuBar, MENU_FULL_SCREEN, nullptr, mainPanel);
        Activate(4);
        Settle();
    }

    static std::vector<QImage> Pictures() {
        Settle();
        std::vector<QImage> pictures;
        for (int i = 0; i < windowCount; ++i) {
            RefreshGraph(windows[i].panel, WINDOW_GRAPH);
            pictures.push_back(PanelWidget(windows[i].panel)->grab().toImage());
        }
        return pictures;
    }
    static int DifferentPixels(const QImage &a, const QImage &b) {
        if (a.size() != b.size()) return a.width() * a.height() + 1;
        int n = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                n += a.pixel(x, y) != b.pixel(x, y);
        return n;
    }
    static std::vector<int> Panels() {
        std::vector<int> panels;
        for (int i = 0; i < windowCount; ++i)
            panels.push_back(windows[i].panel);
        return panels;
    }
    static std::string MenuText(int item) {
        std::string text;
        GetMenuBarAttribute(menuBar, item, ATTR_ITEM_NAME, &text);
        return text;
    }
};

TEST_F(SessionScreenTest, NineWindowsSavedOpenedAndSavedAgainGiveTheSameBytesAndScreen) {
    BuildNineWindows();
    const std::vector<QImage> before = Pictures();
    const std::string first = dir.file("work.vls"), second = dir.file("again.vls");
    ASSERT_TRUE(SaveSessionFile(first));
    // For a person to open in the real program.
    if (const char *pictures = std::getenv("VELORINDER_PICTURES"))
        WriteFile(std::string(pictures) + "/nine.vls", ReadFile(first));
    ASSERT_TRUE(OpenSessionFile(first));
    ASSERT_EQ(windowCount, MAX_WINDOWS);
    EXPECT_EQ(currentWindow, 4);
    ASSERT_TRUE(SaveSessionFile(second));
    EXPECT_EQ(ReadFile(second), ReadFile(first));

    const std::vector<QImage> after = Pictures();
    for (int i = 0; i < windowCount; ++i) {
        EXPECT_EQ(DifferentPixels(before[i], after[i]), 0) << "window " << i;
        if (DifferentPixels(before[i], after[i]) != 0) {
            before[i].save(
                QString::fromStdString("/tmp/session-before-" + std::to_string(i) + ".png"));
            after[i].save(
                QString::fromStdString("/tmp/session-after-" + std::to_string(i) + ".png"));
        }
    }
    // What the pictures cannot tell: the window list, the derived marks, the orphan.
    EXPECT_EQ(MenuText(windows[0].menuItem), "Shaft A, run-up");
    EXPECT_EQ(windows[2].sourceWindow, 0);
    EXPECT_EQ(windows[0].isPosition, 1);
    EXPECT_EQ(windows[4].averageConstant, 7);
    EXPECT_EQ(windows[7].sourceWindow, 7);
    EXPECT_EQ(windows[7].isPosition, 1);
    EXPECT_EQ(windows[1].hasGaps, 1);
    EXPECT_EQ(windows[1].yRangeFixed, 1);
    ASSERT_EQ(windows[3].comparedCount, 2);
    EXPECT_EQ(windows[3].comparedSlot[0], 8);
    EXPECT_EQ(windows[3].comparedSlot[1], 0);
}

TEST_F(SessionScreenTest, FullScreenWindowReturnsToItsOwnPlaceAfterOpening) {
    OpenRecording("A.MON", RunUpCurve(50));
    OpenRecording("B.MON", RunUpCurve(60));
    Activate(0);
    Gestion_fenetre(menuBar, MENU_FULL_SCREEN, nullptr, mainPanel);
    const SessionWindow saved = CaptureWindow(0);
    std::string why;
    ASSERT_TRUE(OpenSessionText(CurrentSessionText(), &why)) << why;
    Activate(0);
    Gestion_fenetre(menuBar, MENU_FULL_SCREEN, nullptr, mainPanel);
    EXPECT_EQ(PanelInt(windows[0].panel, ATTR_TOP), saved.fullScreenReturn[0]);
    EXPECT_EQ(PanelInt(windows[0].panel, ATTR_HEIGHT), saved.fullScreenReturn[2]);
    EXPECT_EQ(PanelInt(windows[0].panel, ATTR_WIDTH), saved.fullScreenReturn[3]);
}

TEST_F(SessionScreenTest, DamagedOrForeignFileIsRefusedWithError22AndNothingChanges) {
    OpenRecording("KEEP.MON", RunUpCurve(40));
    Label(0, MENU_TEXT_1, "mine", {});
    const std::vector<int> panels = Panels();
    const std::string screen = CurrentSessionText();

    const std::string good = dir.file("good.vls");
    ASSERT_TRUE(SaveSessionFile(good));
    std::string text = ReadFile(good);
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"cut.vls", text.substr(0, text.size() / 2)},
        {"foreign.vls", "{\"format\": \"other\", \"version\": 1}"},
        {"newer.vls", std::string(text).replace(text.find("\"version\": 1"), 12, "\"version\": 2")},
        {"acceleration.vls",
         std::string(text).replace(text.find("\"measureType\": 0"), 16, "\"measureType\": 4")},
    };
    for (const auto &[name, content] : bad) {
        std::string path = dir.file(name);
        if (name == "acceleration.vls") {
            // A position of a frequency cannot be made: the session does not fit.
            Session s;
            ASSERT_TRUE(ParseSession(text, &s, nullptr));
            s.windows.push_back(SessionWindow{});
            s.windows.back().kind = KIND_POSITION;
            s.windows.back().source = 0;
            s.windows[0].measureType = 4;
            WriteFile(path, FormatSession(s));
        } else {
            WriteFile(path, content);
        }
        ClearPopupLog();
        Expect("Error n° -122");
        EXPECT_FALSE(OpenSessionFile(path)) << name;
        ASSERT_FALSE(PopupLog().empty());
        EXPECT_NE(PopupLog().back().text.find(path), std::string::npos) << name;
        EXPECT_EQ(Panels(), panels) << name;
        EXPECT_EQ(CurrentSessionText(), screen) << name;
    }
    ClearPopupLog();
    Expect("Error n° -116");
    EXPECT_FALSE(OpenSessionFile(dir.file("gone.vls")));
    EXPECT_EQ(Panels(), panels);
}

TEST_F(SessionScreenTest, FileMenuSavesAndOpensSessionsAndListsThemAmongRecentFiles) {
    OpenRecording("MENU.MON", RunUpCurve(30));
    Rename(0, "through the menu");
    const std::string path = dir.file("menu.vls");
    Expect("Save session", VAL_NEW_FILE_SELECTED, path);
    Gestion_fichier(menuBar, MENU_SAVE_SESSION, nullptr, mainPanel);
    const std::string saved = ReadFile(path);
    EXPECT_NE(saved.find("through the menu"), std::string::npos);
    EXPECT_EQ(RecentEntryPath(recentFiles[0]), path);

    // Saving over it asks first; "No" shows the dialog again.
    Expect("Save session", VAL_EXISTING_FILE_SELECTED, path);
    Expect("Save session", 2);
    Expect("Save session", VAL_NO_FILE_SELECTED);
    Gestion_fichier(menuBar, MENU_SAVE_SESSION, nullptr, mainPanel);

    currentWindow = 0;
    Fermer_fenetre();
    Expect("Open session", VAL_EXISTING_FILE_SELECTED, path);
    Gestion_fichier(menuBar, MENU_OPEN_SESSION, nullptr, mainPanel);
    ASSERT_EQ(windowCount, 1);
    EXPECT_STREQ(windows[0].title, "through the menu");

    // The recent entry opens it as a session, without a dialog.
    currentWindow = 0;
    Fermer_fenetre();
    ASSERT_NE(recentItems[0], 0);
    Gestion_fichier(menuBar, recentItems[0], nullptr, mainPanel);
    ASSERT_EQ(windowCount, 1);
    EXPECT_EQ(CurrentSessionText(), saved);

    // Open takes a session file too.
    currentWindow = 0;
    Fermer_fenetre();
    Expect("Open", VAL_EXISTING_FILE_SELECTED, path);
    Gestion_fichier(menuBar, MENU_OPEN, nullptr, mainPanel);
    EXPECT_EQ(CurrentSessionText(), saved);
    EXPECT_EQ(ScriptedPopupsLeft(), 0);
}

TEST_F(SessionScreenTest, SaveSessionWithNoWindowShowsError4) {
    Expect("Error n° -104");
    Gestion_fichier(menuBar, MENU_SAVE_SESSION, nullptr, mainPanel);
    EXPECT_EQ(ScriptedPopupsLeft(), 0);
}

TEST_F(SessionScreenTest, WritingFailureShowsError23NamingTheFile) {
    OpenRecording("W.MON", RunUpCurve(20));
    const std::string path = dir.file("no-such-folder/w.vls");
    Expect("Error n° -123");
    EXPECT_FALSE(SaveSessionFile(path));
    ASSERT_FALSE(PopupLog().empty());
    EXPECT_NE(PopupLog().back().text.find(path), std::string::npos);
    EXPECT_EQ(RecentEntryPath(recentFiles[0]), "");
}

} // namespace
