// Graph windows on a real main panel: layouts, activation, closing, the
// readouts of the legend and the scroll bar.
#include "windows/graph_fixture.h"

#include <QLabel>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QScrollBar>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

using testsupport::GraphWindowTest;
using testsupport::OpenRecording;

std::vector<double> Ramp(int n, double from = 0, double step = 1) {
    std::vector<double> v(n);
    for (int k = 0; k < n; ++k)
        v[k] = from + step * k;
    return v;
}

// Qt Quick's designer plugin, installed with the designer, would bring 5 MB
// of libraries into a program that shows none of it.
TEST_F(GraphWindowTest, PanelsLoadNoDesignerPlugin) {
    OpenRecording("rec", Ramp(100));
    std::ifstream maps("/proc/self/maps");
    ASSERT_TRUE(maps.good());
    std::string line;
    while (std::getline(maps, line)) {
        EXPECT_EQ(line.find("/designer/"), std::string::npos) << line;
        EXPECT_EQ(line.find("libQt6Quick"), std::string::npos) << line;
    }
}

TEST_F(GraphWindowTest, TileOfThreeWindowsInA650By1000MainWindow) {
    for (int i = 0; i < 3; ++i)
        OpenRecording("rec" + std::to_string(i), Ramp(100));
    ASSERT_EQ(PanelInt(mainPanel, ATTR_HEIGHT), 650);
    ASSERT_EQ(PanelInt(mainPanel, ATTR_WIDTH), 1000);
    const int tops[3] = {70, 270, 470};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(PanelInt(windows[i].panel, ATTR_TOP), tops[i]);
        EXPECT_EQ(PanelInt(windows[i].panel, ATTR_LEFT), 5);
        EXPECT_EQ(PanelInt(windows[i].panel, ATTR_HEIGHT), 175);
        EXPECT_EQ(PanelInt(windows[i].panel, ATTR_WIDTH), 991);
    }
    EXPECT_EQ(currentWindow, 2) << "tile leaves the last slot current";
}

TEST_F(GraphWindowTest, FullScreenKeepsAOneTiledWindowFillingTheArea) {
    OpenRecording("only", Ramp(100));
    int p = windows[0].panel;
    const auto fills = [&] {
        return PanelInt(p, ATTR_TOP) == 70 && PanelInt(p, ATTR_LEFT) == 5 &&
               PanelInt(p, ATTR_HEIGHT) == 650 - 75 && PanelInt(p, ATTR_WIDTH) == 1000 - 9;
    };
    ASSERT_TRUE(fills()) << "one tiled window fills the area";
    Gestion_fenetre(menuBar, MENU_FULL_SCREEN, nullptr, mainPanel);
    EXPECT_TRUE(fills()) << "it has no smaller place of its own to go back to";
    Gestion_fenetre(menuBar, MENU_CASCADE, nullptr, mainPanel);
    Gestion_fenetre(menuBar, MENU_FULL_SCREEN, nullptr, mainPanel);
    EXPECT_TRUE(fills());
    Gestion_fenetre(menuBar, MENU_FULL_SCREEN, nullptr, mainPanel);
    EXPECT_EQ(PanelInt(p, ATTR_HEIGHT), 325) << "back to the place it had before";
    EXPECT_EQ(PanelInt(p, ATTR_WIDTH), 500);
}

TEST_F(GraphWindowTest, CascadeStepsTwentyPixelsAndHalvesTheMainWindow) {
    for (int i = 0; i < 3; ++i)
        OpenRecording("rec" + std::to_string(i), Ramp(50));
    Gestion_fenetre(menuBar, MENU_CASCADE, nullptr, mainPanel);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(PanelInt(windows[i].panel, ATTR_TOP), 20 * i + 70);
        EXPECT_EQ(PanelInt(windows[i].panel, ATTR_LEFT), 20 * i + 5);
        EXPECT_EQ(PanelInt(windows[i].panel, ATTR_HEIGHT), 325);
        EXPECT_EQ(PanelInt(windows[i].panel, ATTR_WIDTH), 500);
    }
    EXPECT_EQ(currentWindow, 2);
}

TEST_F(GraphWindowTest, TileAndCascadeBringMinimisedAndMaximisedWindowsBackToNormal) {
    for (int i = 0; i < 3; ++i)
        OpenRecording("rec" + std::to_string(i), Ramp(50));
    for (bool maximise : {false, true})
        for (int command : {MENU_TILE, MENU_CASCADE}) {
            const std::string why =
                std::string(maximise ? "one minimised, one maximised, " : "one minimised, ") +
                (command == MENU_TILE ? "tile" : "cascade");
            SetPanelAttribute(windows[0].panel, ATTR_WINDOW_ZOOM, VAL_MINIMIZE);
            if (maximise) SetPanelAttribute(windows[2].panel, ATTR_WINDOW_ZOOM, VAL_MAXIMIZE);
            Settle();
            Gestion_fenetre(menuBar, command, nullptr, mainPanel);
            Settle();
            for (int i = 0; i < 3; ++i) {
                const int p = windows[i].panel;
                EXPECT_EQ(PanelInt(p, ATTR_WINDOW_ZOOM), VAL_NO_ZOOM) << why << ", window " << i;
                // The frame itself, which draws the buttons of its state.
                EXPECT_FALSE(PanelWidget(p)->parentWidget()->windowState() &
                             (Qt::WindowMinimized | Qt::WindowMaximized))
                    << why << ", window " << i;
                EXPECT_EQ(PanelInt(p, ATTR_HEIGHT), command == MENU_TILE ? 175 : 325) << why;
                EXPECT_TRUE(PanelWidget(p)->isVisible()) << why << ", window " << i;
            }
        }
}

TEST_F(GraphWindowTest, TitleBarsShowWhichWindowIsCurrent) {
    for (int i = 0; i < 3; ++i)
        OpenRecording("rec" + std::to_string(i), Ramp(50));
    Reactiver_fenetres();
    EXPECT_EQ(currentWindow, 2);
    EXPECT_EQ(PanelInt(windows[2].panel, ATTR_TITLE_BACKCOLOR), displayColours[2]);
    EXPECT_EQ(PanelInt(windows[0].panel, ATTR_TITLE_BACKCOLOR), INACTIVE_TITLE_COLOUR);
    EXPECT_EQ(PanelInt(windows[1].panel, ATTR_TITLE_BACKCOLOR), INACTIVE_TITLE_COLOUR);
    Repere_fenetre(windows[0].panel, EVENT_LEFT_CLICK, nullptr, 0, 0);
    EXPECT_EQ(currentWindow, 0);
    int ticked = 0;
    GetMenuBarAttribute(menuBar, windows[0].menuItem, ATTR_CHECKED, &ticked);
    EXPECT_EQ(ticked, 1);
    GetMenuBarAttribute(menuBar, windows[2].menuItem, ATTR_CHECKED, &ticked);
    EXPECT_EQ(ticked, 0);

    // Activation through the window area, as a click on another window gives:
    // the window that gave way goes back to the inactive colours.
    SetActivePanel(windows[0].panel);
    SetActivePanel(windows[1].panel);
    EXPECT_EQ(currentWindow, 1);
    EXPECT_EQ(PanelInt(windows[1].panel, ATTR_TITLE_BACKCOLOR), displayColours[2]);
    EXPECT_EQ(PanelInt(windows[0].panel, ATTR_TITLE_BACKCOLOR), INACTIVE_TITLE_COLOUR);
    EXPECT_EQ(PanelInt(windows[0].panel, ATTR_TITLE_COLOR), 0x000000);
    SetActivePanel(windows[2].panel);
    EXPECT_EQ(PanelInt(windows[1].panel, ATTR_TITLE_BACKCOLOR), INACTIVE_TITLE_COLOUR);
    EXPECT_EQ(PanelInt(windows[2].panel, ATTR_TITLE_BACKCOLOR), displayColours[2]);
}

TEST_F(GraphWindowTest, ClosingTheSecondOfFourMovesTheOthersDown) {
    int panels[4], items[4];
    for (int i = 0; i < 4; ++i) {
        OpenRecording("rec" + std::to_string(i), Ramp(40, i * 100.0));
        panels[i] = windows[i].panel;
        items[i] = windows[i].menuItem;
    }
    currentWindow = 1;
    Fermer_fenetre();
    EXPECT_EQ(windowCount, 3);
    EXPECT_EQ(currentWindow, 2) << "the last window becomes current";
    EXPECT_EQ(windows[0].panel, panels[0]);
    EXPECT_EQ(windows[1].panel, panels[2]);
    EXPECT_EQ(windows[2].panel, panels[3]);
    EXPECT_EQ(windows[1].menuItem, items[2]);
    EXPECT_EQ(windows[2].menuItem, items[3]);
    EXPECT_STREQ(windows[1].title, "rec2");
    EXPECT_EQ(windows[1].value[1], 201);
    EXPECT_FALSE(PanelExists(panels[1]));
    std::string label;
    EXPECT_LT(GetMenuBarAttribute(menuBar, items[1], ATTR_ITEM_NAME, &label), 0)
        << "its Window menu entry is gone";
}

// Mouse events as the system sends them, each at its own time.
class MouseTest : public GraphWindowTest {
  protected:
    void Send(QWidget *w, QEvent::Type type, Qt::MouseButton button) {
        const QPointF at(w->width() / 2.0, w->height() / 2.0);
        QMouseEvent e(type, at, w->mapToGlobal(at), button,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
        e.setTimestamp(time_ += 100);
        QApplication::sendEvent(w, &e);
    }
    void Click(QWidget *w, Qt::MouseButton button = Qt::LeftButton) {
        Send(w, QEvent::MouseButtonPress, button);
        Send(w, QEvent::MouseButtonRelease, button);
    }
    void DoubleClickEnd(QWidget *w, Qt::MouseButton button = Qt::LeftButton) {
        Send(w, QEvent::MouseButtonDblClick, button);
        Send(w, QEvent::MouseButtonRelease, button);
    }
    static QWidget *Graph(int slot) { return CtrlWidget(windows[slot].panel, WINDOW_GRAPH); }
    void TearDown() override {
        if (scalesPopup > 0) {
            RemovePopup(0);
            DiscardPanel(scalesPopup);
            scalesPopup = 0;
        }
        GraphWindowTest::TearDown();
    }

  private:
    quint64 time_ = 1000;
};

TEST_F(MouseTest, RightDoubleClickOnTheGraphTogglesFullScreen) {
    OpenRecording("first", Ramp(100));
    OpenRecording("second", Ramp(100));
    const int p = windows[0].panel;
    ASSERT_EQ(PanelInt(p, ATTR_HEIGHT), 300 - 25);
    Click(Graph(0), Qt::RightButton);
    DoubleClickEnd(Graph(0), Qt::RightButton);
    EXPECT_EQ(currentWindow, 0);
    EXPECT_EQ(PanelInt(p, ATTR_TOP), 70);
    EXPECT_EQ(PanelInt(p, ATTR_HEIGHT), 650 - 75);
    EXPECT_EQ(PanelInt(p, ATTR_WIDTH), 1000 - 9);
    Click(Graph(0), Qt::RightButton);
    DoubleClickEnd(Graph(0), Qt::RightButton);
    EXPECT_EQ(PanelInt(p, ATTR_HEIGHT), 300 - 25) << "and back";
}

TEST_F(MouseTest, DoubleClickCountsOnlyWhereItsFirstPressLanded) {
    OpenRecording("opened", Ramp(100));
    // The first press lands on a list that then goes away (a row of the
    // import list opens a recording); the second lands on the new graph.
    auto *list = new QListWidget;
    list->show();
    Click(list->viewport());
    delete list;
    DoubleClickEnd(Graph(0));
    EXPECT_EQ(scalesPopup, 0) << "an ordinary press, not a double click on the graph";
    Click(Graph(0));
    DoubleClickEnd(Graph(0));
    EXPECT_GT(scalesPopup, 0) << "a double click on the graph still opens the scales";
}

TEST_F(GraphWindowTest, CloseBoxClosesItsWindowAsFileCloseDoes) {
    for (const char *name : {"first", "second", "third"})
        OpenRecording(name, Ramp(100));
    const int first = windows[0].panel, second = windows[1].panel, third = windows[2].panel;
    QWidget *frame = PanelWidget(second);
    while (frame && !qobject_cast<QMdiSubWindow *>(frame))
        frame = frame->parentWidget();
    ASSERT_NE(frame, nullptr);
    // An imported window holds unsaved work, so the question of File > Close comes.
    Expect("Close", 2);
    frame->close();
    Settle();
    EXPECT_EQ(windowCount, 2);
    EXPECT_FALSE(PanelExists(second));
    EXPECT_EQ(windows[0].panel, first);
    EXPECT_EQ(windows[1].panel, third);
    EXPECT_EQ(currentWindow, 1) << "the last window becomes current";
    EXPECT_EQ(PopupTitles(), std::vector<std::string>{"Close"}) << "as File > Close asks";
}

TEST(SaveFileProposal, TitleBecomesAFileNameOfItsOwn) {
    EXPECT_EQ(SaveFileProposal("Brake test 3"), "Brake test 3.vlr");
    EXPECT_EQ(SaveFileProposal("  a/b\\c:d*e?f\"g<h>i|j\tk  "), "a_b_c_d_e_f_g_h_i_j_k.vlr");
    EXPECT_EQ(SaveFileProposal("RECORD_3.MON"), "RECORD_3.vlr");
    EXPECT_EQ(SaveFileProposal("../secret"), "_secret.vlr");
    EXPECT_EQ(SaveFileProposal(std::string(18, ' ')), "*.vlr") << "a slot's blank title";
    EXPECT_EQ(SaveFileProposal(".."), "*.vlr");
}

TEST_F(GraphWindowTest, NineWindowsRefuseATenth) {
    for (int i = 0; i < MAX_WINDOWS; ++i)
        OpenRecording("rec" + std::to_string(i), Ramp(30));
    int panels[MAX_WINDOWS];
    for (int i = 0; i < MAX_WINDOWS; ++i)
        panels[i] = windows[i].panel;
    Expect("Error n° -101");
    Nouvelle_fenetre("tenth");
    Expect("Error n° -101");
    Gestion_traitement(menuBar, MENU_POSITION, nullptr, mainPanel);
    EXPECT_EQ(windowCount, MAX_WINDOWS);
    for (int i = 0; i < MAX_WINDOWS; ++i)
        EXPECT_EQ(windows[i].panel, panels[i]);
    EXPECT_EQ(windows[0].isPosition, 0);
}

// Nothing of a closed window stays on the screen, through Cascade and Tile.
TEST_F(GraphWindowTest, ClosedWindowLeavesNothingPaintedAfterCascadeOrTile) {
    for (int i = 0; i < 3; ++i)
        OpenRecording("rec" + std::to_string(i), Ramp(100));
    currentWindow = 0;
    Fermer_fenetre();
    auto visibleFrames = [&] {
        int n = 0;
        for (auto *sub : PanelWidget(mainPanel)->findChildren<QMdiSubWindow *>())
            if (sub->isVisible()) ++n;
        return n;
    };
    Gestion_fenetre(menuBar, MENU_CASCADE, nullptr, mainPanel);
    EXPECT_EQ(visibleFrames(), 2);
    Gestion_fenetre(menuBar, MENU_TILE, nullptr, mainPanel);
    EXPECT_EQ(visibleFrames(), 2);
}

TEST_F(GraphWindowTest, ClosingWithNoWindowSaysNoGraphSelected) {
    Expect("Error n° -104");
    Fermer_fenetre();
    EXPECT_EQ(windowCount, 0);
}

TEST_F(GraphWindowTest, WindowListEntryActivatesItsWindow) {
    for (int i = 0; i < 3; ++i)
        OpenRecording("rec" + std::to_string(i), Ramp(30));
    Gestion_fenetre(menuBar, windows[0].menuItem, nullptr, mainPanel);
    Settle();
    EXPECT_EQ(currentWindow, 0);
}

// Keys on the real bar of a 2-hour recording seen 1500 s at a time.
TEST_F(GraphWindowTest, ScrollBarKeysMoveAlongTheRecording) {
    int s = OpenRecording("two hours", Ramp(7201), 1);
    int p = windows[s].panel;
    Gestion_affichage(menuBar, MENU_ZOOM_IN, nullptr, mainPanel);
    Gestion_affichage(menuBar, MENU_ZOOM_IN, nullptr, mainPanel);
    ASSERT_EQ(windows[s].zoomLevel, 9);
    auto *bar = qobject_cast<QScrollBar *>(CtrlWidget(p, WINDOW_SCROLLBAR));
    if (!bar) bar = CtrlWidget(p, WINDOW_SCROLLBAR)->findChild<QScrollBar *>();
    ASSERT_NE(bar, nullptr);
    EXPECT_NEAR(double(bar->pageStep()) / (bar->maximum() - bar->minimum() + bar->pageStep()),
                1500.0 / 7200, 0.01)
        << "the thumb shows the visible share";
    auto view = [&](int key) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(bar, &press);
        double lo = 0, hi = 0;
        Range(s, VAL_BOTTOM_XAXIS, &lo, &hi);
        return std::make_pair(lo, hi);
    };
    EXPECT_EQ(view(Qt::Key_PageDown), std::make_pair(1500.0, 3000.0));
    EXPECT_EQ(view(Qt::Key_Right), std::make_pair(1650.0, 3150.0));
    EXPECT_EQ(view(Qt::Key_End), std::make_pair(5700.0, 7200.0));
    std::string label;
    double at = 0;
    GetAxisItem(p, WINDOW_GRAPH, VAL_BOTTOM_XAXIS, 4, &label, &at);
    EXPECT_EQ(label, "2:00:00");
    EXPECT_EQ(view(Qt::Key_PageUp), std::make_pair(4200.0, 5700.0));
    EXPECT_EQ(view(Qt::Key_Home), std::make_pair(0.0, 1500.0));
}

TEST_F(GraphWindowTest, ScrollBarLimitsAndKeys) {
    int s = OpenRecording("bar", Ramp(100));
    int p = windows[s].panel;
    int v = 0;
    ScrollBar_SetAttribute(p, WINDOW_SCROLLBAR, kScrollBarAttrMaximum, 1000);
    ScrollBar_SetAttribute(p, WINDOW_SCROLLBAR, kScrollBarAttrPosition, 10);
    EXPECT_EQ(ScrollBar_SetAttribute(p, WINDOW_SCROLLBAR, kScrollBarAttrPosition, 1001),
              kScrollBarErrOutOfRange);
    EXPECT_EQ(ScrollBar_SetAttribute(p, WINDOW_SCROLLBAR, kScrollBarAttrMinimum, 1001),
              kScrollBarErrOutOfRange);
    EXPECT_EQ(ScrollBar_SetAttribute(p, WINDOW_SCROLLBAR, kScrollBarAttrMaximum, -1),
              kScrollBarErrOutOfRange);
    EXPECT_EQ(ScrollBar_SetAttribute(p, WINDOW_SCROLLBAR, kScrollBarAttrLength, 63),
              kScrollBarErrOutOfRange);
    EXPECT_EQ(ScrollBar_SetAttribute(p, WINDOW_SCROLLBAR, kScrollBarAttrThickness, 15),
              kScrollBarErrOutOfRange);
    EXPECT_EQ(ScrollBar_SetAttribute(p, WINDOW_SCROLLBAR, kScrollBarAttrColour, 0x1000000),
              kScrollBarErrOutOfRange);
    EXPECT_EQ(ScrollBar_SetAttribute(p, WINDOW_SCROLLBAR, kScrollBarAttrArrowStep, 0),
              kScrollBarErrOutOfRange);
    EXPECT_EQ(ScrollBar_SetAttribute(p, WINDOW_SCROLLBAR, 11, 1), kScrollBarErrBadAttribute);
    ScrollBar_GetAttribute(p, WINDOW_SCROLLBAR, kScrollBarAttrPosition, &v);
    EXPECT_EQ(v, 10) << "refused values change nothing";
    ScrollBar_SetAttribute(p, WINDOW_SCROLLBAR, kScrollBarAttrLength, 300);
    ScrollBar_GetAttribute(p, WINDOW_SCROLLBAR, kScrollBarAttrLength, &v);
    EXPECT_EQ(v, 300);
    ScrollBar_SetAttribute(p, WINDOW_SCROLLBAR, kScrollBarAttrPage, 150);
    ScrollBar_SetAttribute(p, WINDOW_SCROLLBAR, kScrollBarAttrArrowStep, 3);

    QWidget *bar = CtrlWidget(p, WINDOW_SCROLLBAR);
    ASSERT_NE(bar, nullptr);
    auto key = [&](int k) {
        QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
        QApplication::sendEvent(bar, &press);
        int pos = 0;
        ScrollBar_GetAttribute(p, WINDOW_SCROLLBAR, kScrollBarAttrPosition, &pos);
        return pos;
    };
    EXPECT_EQ(key(Qt::Key_Right), 13);
    EXPECT_EQ(key(Qt::Key_Left), 10);
    EXPECT_EQ(key(Qt::Key_PageDown), 160);
    EXPECT_EQ(key(Qt::Key_PageUp), 10);
    EXPECT_EQ(key(Qt::Key_End), 1000);
    EXPECT_EQ(key(Qt::Key_Home), 0);
}

class LegendTest : public GraphWindowTest {
  protected:
    std::string Text(int control) { return CtrlText(windows[slot].panel, control); }
    int slot = -1;
};

TEST_F(LegendTest, HiddenLegendChangesNoText) {
    slot = OpenRecording("speeds", {1500, 1500, 1500, 1500});
    WindowRecord &w = windows[slot];
    EXPECT_EQ(w.legendOffset, 0);
    SetGraphCursor(w.panel, WINDOW_GRAPH, 1, 2, 0);
    ValCurseur(w.panel, WINDOW_GRAPH, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_EQ(w.legendText[0], 0);
    EXPECT_STREQ(w.unit, std::string(18, ' ').c_str()) << "no readout ran";
}

TEST_F(LegendTest, LegendShowsCursorOneAndVariationCursors) {
    slot = OpenRecording("speeds", {1000, 1500, -12.5, 1200}, 10);
    WindowRecord &w = windows[slot];
    Gestion_affichage(menuBar, MENU_LEGEND, nullptr, mainPanel);
    EXPECT_EQ(w.legendOffset, LEGEND_WIDTH);
    ASSERT_NE(w.legendText[0], 0);
    int left = 0;
    GetCtrlAttribute(w.panel, WINDOW_GRAPH, ATTR_LEFT, &left);
    EXPECT_EQ(left, LEGEND_WIDTH);
    SetGraphCursor(w.panel, WINDOW_GRAPH, 1, 11, 0); // snaps to sample 1 (time 10)
    ValCurseur(w.panel, WINDOW_GRAPH, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_EQ(Text(w.legendText[0]), "X = 0:00:10");
    EXPECT_EQ(Text(w.legendText[1]), "Y = 1500.0 tr/min");
    SetGraphCursor(w.panel, WINDOW_GRAPH, 1, 19, 0);
    ValCurseur(w.panel, WINDOW_GRAPH, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_EQ(Text(w.legendText[1]), "Y = -12.500tr/min");

    EXPECT_EQ(w.legendCursorBox[0], 0);
    Gestion_affichage(menuBar, MENU_VARIATION_CURSORS, nullptr, mainPanel);
    EXPECT_EQ(GraphInt(slot, ATTR_NUM_CURSORS), 3);
    ASSERT_NE(w.legendCursorValue[5], 0) << "the legend gets the cursor boxes";
    SetGraphCursor(w.panel, WINDOW_GRAPH, 2, 5, 100);
    SetGraphCursor(w.panel, WINDOW_GRAPH, 3, 3725 + 5, 1600);
    ValCurseur(w.panel, WINDOW_GRAPH, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_EQ(Text(w.legendCursorValue[0]), "X1 = 0:00:05");
    EXPECT_EQ(Text(w.legendCursorValue[1]), "X2 = 1:02:10");
    EXPECT_EQ(Text(w.legendCursorValue[2]), "dX = 1:02:05");
    EXPECT_EQ(Text(w.legendCursorValue[3]), "Y1 = 100.00 tr/min");
    EXPECT_EQ(Text(w.legendCursorValue[5]), "dY = 1500.0 tr/min");

    Gestion_affichage(menuBar, MENU_VARIATION_CURSORS, nullptr, mainPanel);
    EXPECT_EQ(GraphInt(slot, ATTR_NUM_CURSORS), 1);
    EXPECT_EQ(w.legendCursorValue[0], 0);
    EXPECT_EQ(w.legendCursorBox[1], 0);

    Gestion_affichage(menuBar, MENU_LEGEND, nullptr, mainPanel);
    EXPECT_EQ(w.legendOffset, 0);
    EXPECT_EQ(w.legendText[0], 0);
    EXPECT_EQ(w.legendFrame, 0);
}

TEST_F(LegendTest, LongReadoutsStayInsideTheirFramesAndReadWhole) {
    slot = OpenRecording("speeds", {1000, 1234.5678, -12.5, 1200}, 3600);
    WindowRecord &w = windows[slot];
    Gestion_affichage(menuBar, MENU_LEGEND, nullptr, mainPanel);
    Gestion_affichage(menuBar, MENU_VARIATION_CURSORS, nullptr, mainPanel);
    SetGraphCursor(w.panel, WINDOW_GRAPH, 1, 3600, 0);
    SetGraphCursor(w.panel, WINDOW_GRAPH, 2, 100000, -12345.678);
    SetGraphCursor(w.panel, WINDOW_GRAPH, 3, 3, 9876.54321);
    ValCurseur(w.panel, WINDOW_GRAPH, EVENT_COMMIT, nullptr, 0, 0);
    int graphLeft = 0;
    GetCtrlAttribute(w.panel, WINDOW_GRAPH, ATTR_LEFT, &graphLeft);
    std::vector<int> texts = {w.legendText[0], w.legendText[1]};
    texts.insert(texts.end(), std::begin(w.legendCursorValue), std::end(w.legendCursorValue));
    bool cut = false;
    for (int control : texts) {
        auto *label = qobject_cast<QLabel *>(CtrlWidget(w.panel, control));
        ASSERT_NE(label, nullptr);
        const std::string whole = Text(control);
        const int drawn = label->fontMetrics().horizontalAdvance(label->text());
        EXPECT_LE(label->x() + drawn, 3 + 84) << whole << " stays inside its frame";
        EXPECT_LT(label->geometry().right(), graphLeft) << whole << " leaves the axis label alone";
        if (label->text().toStdString() != whole) {
            cut = true;
            EXPECT_EQ(label->toolTip().toStdString(), whole);
        }
    }
    EXPECT_TRUE(cut) << "some readout here is longer than its frame";
    EXPECT_EQ(Text(w.legendCursorValue[4]), "Y2 = 9876.5 tr/min") << "the value reads whole";
}

TEST_F(LegendTest, VariationCursorsAreFreeAndPlacedAfresh) {
    slot = OpenRecording("speeds", Ramp(200, 100, 2));
    WindowRecord &w = windows[slot];
    Gestion_affichage(menuBar, MENU_VARIATION_CURSORS, nullptr, mainPanel);
    double xmin, xmax, ymin, ymax, x2, y2;
    Range(slot, VAL_BOTTOM_XAXIS, &xmin, &xmax);
    Range(slot, VAL_LEFT_YAXIS, &ymin, &ymax);
    GetGraphCursor(w.panel, WINDOW_GRAPH, 2, &x2, &y2);
    EXPECT_NEAR(x2, xmin + (xmax - xmin) / 5, 1e-9);
    EXPECT_NEAR(y2, ymax - (ymax - ymin) / 4, 1e-9);
    int mode = 0, colour = 0;
    GetCursorAttribute(w.panel, WINDOW_GRAPH, 2, ATTR_CURSOR_MODE, &mode);
    GetCursorAttribute(w.panel, WINDOW_GRAPH, 3, ATTR_CURSOR_COLOR, &colour);
    EXPECT_EQ(mode, VAL_FREE_FORM_CURSOR);
    EXPECT_EQ(colour, displayColours[4]);
    SetGraphCursor(w.panel, WINDOW_GRAPH, 2, 7.3, 123.4);
    GetGraphCursor(w.panel, WINDOW_GRAPH, 2, &x2, &y2);
    EXPECT_EQ(x2, 7.3) << "a free cursor stays where it is put";
    Gestion_affichage(menuBar, MENU_VARIATION_CURSORS, nullptr, mainPanel);
    Gestion_affichage(menuBar, MENU_VARIATION_CURSORS, nullptr, mainPanel);
    GetGraphCursor(w.panel, WINDOW_GRAPH, 2, &x2, &y2);
    EXPECT_NEAR(x2, xmin + (xmax - xmin) / 5, 1e-9);
}

TEST_F(LegendTest, ReadoutKeepsTheAutomaticAxisOfTheCurve) {
    slot = OpenRecording("flat", {5.02, 5.05, 5.08, 5.04});
    WindowRecord &w = windows[slot];
    Gestion_affichage(menuBar, MENU_LEGEND, nullptr, mainPanel);
    double lo = 0, hi = 0;
    Range(slot, VAL_LEFT_YAXIS, &lo, &hi);
    EXPECT_NEAR(lo, 5.02 - AXIS_MARGIN * 0.06, 1e-9);
    EXPECT_NEAR(hi, 5.08 + AXIS_MARGIN * 0.06, 1e-9);
    EXPECT_EQ(w.yRangeFixed, 0) << "the user fixed no range";
}

// A missing sample reads as missing, not as a stopped machine; pictures of
// the broken curve, of a 2-minute recording just opened and of its
// acceleration with the unit on the axis.
TEST_F(LegendTest, MissingSampleReadsDashesAndPictures) {
    std::string dir = std::getenv("VELORINDER_PICTURES") ? std::getenv("VELORINDER_PICTURES")
                                                         : ::testing::TempDir();
    SetMainSize(700, 1100);
    std::vector<double> running = testsupport::RunUpCurve(121);
    for (double &v : running)
        v += 500;
    slot = OpenRecording("run-up with gaps", running, 1, 0, {30, 31, 32, 33, 34, 80});
    WindowRecord &w = windows[slot];
    Gestion_affichage(menuBar, MENU_LEGEND, nullptr, mainPanel);
    SetGraphCursor(w.panel, WINDOW_GRAPH, 1, 32, 0);
    ValCurseur(w.panel, WINDOW_GRAPH, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_EQ(Text(w.legendText[0]), "X = 0:00:32");
    EXPECT_EQ(Text(w.legendText[1]), "Y = ----- tr/min");
    double lo = 0, hi = 0;
    Range(slot, VAL_LEFT_YAXIS, &lo, &hi);
    EXPECT_GT(lo, 400.0) << "the range is that of the readings, gaps left out";
    ASSERT_TRUE(SavePicture(dir + "/gaps.png"));
    SetGraphCursor(w.panel, WINDOW_GRAPH, 1, 29, 0);
    ValCurseur(w.panel, WINDOW_GRAPH, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_EQ(Text(w.legendText[1]).find("-----"), std::string::npos);

    Fermer_fenetre();
    slot = OpenRecording("two minutes", testsupport::RunUpCurve(121), 1, 0);
    ASSERT_TRUE(SavePicture(dir + "/two_minutes.png"));
    sourceList[0] = slot;
    sourceCount = 1;
    TraitementFiltre(0, KIND_ACCELERATION);
    ASSERT_EQ(windowCount, 2);
    ASSERT_TRUE(SavePicture(dir + "/acceleration.png"));
    OpenRecording("third", testsupport::RunUpCurve(500), 1, 0);
    Gestion_fenetre(menuBar, MENU_CASCADE, nullptr, mainPanel);
    ASSERT_TRUE(SavePicture(dir + "/cascade.png"));
}

TEST_F(LegendTest, PictureOfAFullRecordingAndOfNineTiledWindows) {
    std::string dir = std::getenv("VELORINDER_PICTURES") ? std::getenv("VELORINDER_PICTURES")
                                                         : ::testing::TempDir();
    SetMainSize(700, 1100);
    slot = OpenRecording("recording_12.mon", testsupport::RunUpCurve(MAX_SAMPLES), 1);
    WindowRecord &w = windows[slot];
    Gestion_affichage(menuBar, MENU_LEGEND, nullptr, mainPanel);
    Gestion_affichage(menuBar, MENU_VARIATION_CURSORS, nullptr, mainPanel);
    EXPECT_EQ(w.count, MAX_SAMPLES);
    std::string one = dir + "/graph_window.png";
    ASSERT_TRUE(SavePicture(one));
    EXPECT_GT(std::filesystem::file_size(one), 5000u);
    for (int i = 1; i < MAX_WINDOWS; ++i)
        OpenRecording("recording_" + std::to_string(i) + ".mon",
                      testsupport::RunUpCurve(MAX_SAMPLES), 1);
    std::string nine = dir + "/nine_windows.png";
    ASSERT_TRUE(SavePicture(nine));
    EXPECT_GT(std::filesystem::file_size(nine), 5000u);
}

} // namespace
