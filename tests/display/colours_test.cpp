// The colours popup on real graph windows: live picks, Cancel, Default, and
// the confirmed colours kept in the settings file.
#include "link/link.h"
#include "support/running_program.h"
#include "windows/graph_fixture.h"

#include <QAbstractButton>
#include <QListWidget>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace {

using testsupport::GraphWindowTest;
using testsupport::OpenRecording;

constexpr int BLUE = 0x0000FF;
constexpr int RED = 0xFF0000;
constexpr int MAGENTA = 0xFF00FF;
constexpr int LIGHT_GREY = 0xC0C0C0;

// Pixels of one colour in a window's graph as it shows now.
int CountPixels(int slot, int rgb) {
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
    QImage image = CtrlWidget(windows[slot].panel, WINDOW_GRAPH)->grab().toImage();
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == static_cast<unsigned>(rgb)) ++n;
    return n;
}

int GraphAttribute(int slot, int attribute) {
    int v = 0;
    GetCtrlAttribute(windows[slot].panel, WINDOW_GRAPH, attribute, &v);
    return v;
}

QImage GraphImage(int slot) {
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
    return CtrlWidget(windows[slot].panel, WINDOW_GRAPH)->grab().toImage();
}

void Click(int control) {
    auto *button = qobject_cast<QAbstractButton *>(CtrlWidget(coloursPanel, control));
    ASSERT_NE(button, nullptr) << "control " << control;
    button->click();
}

void SelectItem(int item) {
    auto *list = qobject_cast<QListWidget *>(CtrlWidget(coloursPanel, 5));
    ASSERT_NE(list, nullptr);
    list->setCurrentRow(item);
}

int PickerColour() {
    int colour = -1;
    GetCtrlVal(coloursPanel, 6, &colour);
    return colour;
}

bool MenusDimmed() {
    int dimmed = 0;
    GetMenuBarAttribute(menuBar, 44, ATTR_DIMMED, &dimmed);
    return dimmed != 0;
}

void SavePictureOf(int panel, const char *name) {
    const char *out = std::getenv("VELORINDER_PICTURES");
    if (!out) return;
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
    PanelWidget(panel)->grab().save(QString(out) + "/" + name);
}

// Keeps the program's colours for the tests that follow.
class SavedColours {
  public:
    SavedColours() { std::memcpy(saved_, displayColours, sizeof saved_); }
    ~SavedColours() { std::memcpy(displayColours, saved_, sizeof saved_); }

  private:
    int saved_[7];
};

class ColoursTest : public GraphWindowTest {
  protected:
    void SetUp() override {
        GraphWindowTest::SetUp();
        RegisterColourCallbacks();
        const int settings[7] = {RED, 0xFFFFFF, 0x000080, 0x00FF00, 0xFFFF00, 0x000000, 0};
        std::memcpy(displayColours, settings, sizeof displayColours);
    }
    void TearDown() override {
        if (coloursPanel > 0) Click(3);
        GraphWindowTest::TearDown();
    }
    SavedColours savedColours;
    // Picks a colour for the selected item as the user does in the colour dialog.
    void Pick(int rgb) {
        char text[16];
        std::snprintf(text, sizeof text, "0x%06X", rgb);
        Expect("Select Color", 1, text);
        Click(6);
    }
};

TEST_F(ColoursTest, CurvePickRedrawsTheCurrentCurveAtOnce) {
    int other = OpenRecording("other", testsupport::RunUpCurve(300));
    int s = OpenRecording("speeds", testsupport::RunUpCurve(300));
    ASSERT_EQ(currentWindow, s);
    SavePictureOf(mainPanel, "colours_window_before.png");
    OpenColourPopup();
    ASSERT_GT(coloursPanel, 0);
    EXPECT_EQ(PickerColour(), windows[s].curveColour)
        << "the curve's item is selected, in the colour of the current curve";
    SavePictureOf(coloursPanel, "colours_popup.png");

    Expect("Select Color", 0); // cancelled in the colour dialog
    Click(6);
    EXPECT_EQ(PickerColour(), windows[s].curveColour);
    EXPECT_EQ(CountPixels(s, BLUE), 0);

    Pick(BLUE);
    EXPECT_GT(CountPixels(s, BLUE), 50) << "the curve is drawn again in the picked colour";
    EXPECT_EQ(CountPixels(other, BLUE), 0) << "only the current window's curve";
    EXPECT_EQ(currentWindow, s);
    EXPECT_EQ(displayColours[0], RED) << "nothing is kept before the popup is confirmed";
    SavePictureOf(mainPanel, "colours_window_after.png");
}

TEST_F(ColoursTest, CursorOnItsSampleStaysWhenTheCurveIsRecoloured) {
    int s = OpenRecording("speeds", testsupport::RunUpCurve(300));
    const WindowRecord &w = windows[s];
    SetGraphCursor(w.panel, WINDOW_GRAPH, 1, w.time[200], w.value[200]);
    OpenColourPopup();
    Pick(BLUE);
    int plot = 0, index = -1;
    GetGraphCursorIndex(w.panel, WINDOW_GRAPH, 1, &plot, &index);
    EXPECT_EQ(index, 200);
}

TEST_F(ColoursTest, ComingBackToAnItemShowsTheColourPickedForIt) {
    OpenRecording("speeds", {1, 2, 3});
    OpenColourPopup();
    Pick(BLUE);
    SelectItem(1);
    EXPECT_EQ(PickerColour(), 0xFFFFFF);
    SelectItem(0);
    EXPECT_EQ(PickerColour(), BLUE);
}

TEST_F(ColoursTest, CancelPutsBackTheColoursTheWindowsHad) {
    int s = OpenRecording("speeds", testsupport::RunUpCurve(300));
    const int curve = windows[s].curveColour;
    OpenColourPopup();
    EXPECT_TRUE(MenusDimmed());
    Pick(BLUE);
    SelectItem(1);
    Pick(MAGENTA);
    ASSERT_EQ(GraphAttribute(s, ATTR_PLOT_BGCOLOR), MAGENTA);
    Click(3);
    EXPECT_EQ(coloursPanel, 0);
    EXPECT_FALSE(MenusDimmed());
    EXPECT_EQ(GraphAttribute(s, ATTR_PLOT_BGCOLOR), 0xFFFFFF);
    EXPECT_EQ(windows[s].curveColour, curve);
    EXPECT_EQ(CountPixels(s, BLUE), 0);
    EXPECT_GT(CountPixels(s, curve), 50);
    EXPECT_EQ(GraphAttribute(s, ATTR_NUM_CURSORS), 1)
        << "the variation-cursor pair leaves them off";
    EXPECT_EQ(displayColours[0], RED);
    EXPECT_EQ(displayColours[1], 0xFFFFFF);
}

TEST_F(ColoursTest, CancelWithNothingChangedLeavesTheCurveInItsOwnColour) {
    int s = OpenRecording("speeds", testsupport::RunUpCurve(300));
    windows[s].curveColour = BLUE; // as its recording file gave it
    Gestion_fenetre(menuBar, MENU_TILE, nullptr, mainPanel);
    ASSERT_GT(CountPixels(s, BLUE), 50);
    OpenColourPopup();
    EXPECT_EQ(PickerColour(), BLUE) << "the curve item shows this window's curve";
    Click(3);
    EXPECT_EQ(windows[s].curveColour, BLUE);
    EXPECT_GT(CountPixels(s, BLUE), 50);
    EXPECT_EQ(CountPixels(s, RED), 0) << "not the settings' curve colour";
    EXPECT_EQ(displayColours[0], RED);
}

TEST_F(ColoursTest, MeasuringCursorContrastsWithTheBackground) {
    int s = OpenRecording("speeds", testsupport::RunUpCurve(300));
    const auto cursorColour = [&] {
        int colour = -1;
        GetCursorAttribute(windows[s].panel, WINDOW_GRAPH, 1, ATTR_CURSOR_COLOR, &colour);
        return colour;
    };
    EXPECT_EQ(cursorColour(), 0x000000) << "dark on the white graph of the settings";
    OpenColourPopup();
    SelectItem(1);
    Pick(0x102040);
    EXPECT_EQ(cursorColour(), 0xFFFFFF) << "light on a dark background";
    Pick(0xFFFF80);
    EXPECT_EQ(cursorColour(), 0x000000);
    Pick(0x000080);
    Click(3);
    EXPECT_EQ(cursorColour(), 0x000000) << "Cancel gives back the white graph and its cursor";
}

TEST_F(ColoursTest, CancelKeepsVariationCursorsWhereTheUserPutThem) {
    int s = OpenRecording("speeds", testsupport::RunUpCurve(300));
    Gestion_affichage(menuBar, MENU_VARIATION_CURSORS, nullptr, mainPanel);
    const int p = windows[s].panel;
    SetGraphCursor(p, WINDOW_GRAPH, 2, 100, 700);
    OpenColourPopup();
    SelectItem(3);
    Pick(MAGENTA);
    Click(3);
    double x = 0, y = 0;
    GetGraphCursor(p, WINDOW_GRAPH, 2, &x, &y);
    EXPECT_EQ(x, 100);
    EXPECT_EQ(y, 700);
    int colour = 0;
    GetCursorAttribute(p, WINDOW_GRAPH, 2, ATTR_CURSOR_COLOR, &colour);
    EXPECT_EQ(colour, 0x00FF00);
}

TEST_F(ColoursTest, CursorColourLeavesWindowsWithOnlyTheMeasuringCursorAsTheyWere) {
    int plain = OpenRecording("plain", testsupport::RunUpCurve(300));
    int cursors = OpenRecording("cursors", testsupport::RunUpCurve(300));
    Gestion_affichage(menuBar, MENU_VARIATION_CURSORS, nullptr, mainPanel);
    ASSERT_EQ(GraphAttribute(cursors, ATTR_NUM_CURSORS), 3);
    const QImage before = GraphImage(plain);
    OpenColourPopup();
    SelectItem(3);
    Pick(MAGENTA);
    SelectItem(4);
    Pick(BLUE);
    int colour2 = 0, colour3 = 0;
    GetCursorAttribute(windows[cursors].panel, WINDOW_GRAPH, 2, ATTR_CURSOR_COLOR, &colour2);
    GetCursorAttribute(windows[cursors].panel, WINDOW_GRAPH, 3, ATTR_CURSOR_COLOR, &colour3);
    EXPECT_EQ(colour2, MAGENTA);
    EXPECT_EQ(colour3, BLUE);
    EXPECT_EQ(GraphAttribute(plain, ATTR_NUM_CURSORS), 1);
    EXPECT_TRUE(GraphImage(plain) == before);
}

TEST_F(ColoursTest, PopupSpeaksTheCurrentLanguage) {
    OpenRecording("speeds", {1, 2, 3});
    language = 2;
    OpenColourPopup();
    std::string title, entry;
    GetPanelAttribute(coloursPanel, ATTR_TITLE, &title);
    GetLabelFromIndex(coloursPanel, 5, 1, &entry);
    language = 1;
    EXPECT_EQ(title, "Farben");
    EXPECT_EQ(entry, "Diagrammhintergrund");
}

TEST_F(ColoursTest, NothingOpensWithoutAWindow) {
    OpenColourPopup();
    EXPECT_EQ(coloursPanel, 0);
    EXPECT_FALSE(MenusDimmed());
}

// The whole program, from a settings file to the one it writes at exit.
class ColoursSettingsTest : public testsupport::RunningProgramTest {
  protected:
    void SetUp() override {
        RunningProgramTest::SetUp();
        RegisterColourCallbacks();
        // Curve blue, graph white, graticule magenta.
        ASSERT_NO_FATAL_FAILURE(StartProgram("1\n1 38400\n255\n16777215\n128\n65280\n16776960\n"
                                             "16711935\n0\n\n1\n25\n5\n650\n1000\n0\n***\n"));
        DismissStartUpDialogs();
    }
    SavedColours savedColours;
};

TEST_F(ColoursSettingsTest, DefaultThenConfirmGivesBlackOnLightGreyAndIsSavedAtExit) {
    int s = OpenRecording("speeds", testsupport::RunUpCurve(300));
    windows[s].curveColour = BLUE;
    Gestion_fenetre(menuBar, MENU_TILE, nullptr, mainPanel);
    ASSERT_GT(CountPixels(s, BLUE), 50);
    OpenColourPopup();
    Click(4);
    EXPECT_EQ(PickerColour(), 0x000000);
    EXPECT_EQ(displayColours[0], BLUE) << "Default only proposes";
    Click(2);
    EXPECT_EQ(coloursPanel, 0);
    s = currentWindow;
    EXPECT_EQ(windows[s].curveColour, 0x000000);
    EXPECT_EQ(CountPixels(s, BLUE), 0);
    EXPECT_GT(CountPixels(s, LIGHT_GREY), 1000);
    EXPECT_EQ(GraphAttribute(s, ATTR_PLOT_BGCOLOR), LIGHT_GREY);
    EXPECT_EQ(GraphAttribute(s, ATTR_GRID_COLOR), 0x000000);
    SavePictureOf(mainPanel, "colours_default_confirmed.png");

    Expect("Quit", 2); // the window's unsaved work is discarded
    Sortir(mainPanel, 2, EVENT_COMMIT, nullptr, 0, 0);
    std::istringstream file(testsupport::ReadFile(dir.file("Velorcfg.ini")));
    std::string line;
    std::vector<std::string> lines;
    while (std::getline(file, line))
        lines.push_back(line);
    ASSERT_GE(lines.size(), 9u);
    const std::vector<std::string> colours(lines.begin() + 2, lines.begin() + 9);
    EXPECT_EQ(colours, (std::vector<std::string>{"0", "12632256", "128", "65280", "16776960", "0",
                                                 "16711680"}));
}

} // namespace
