// The Display and Treatment commands on real graph windows.
#include "windows/graph_fixture.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QMouseEvent>
#include <cstdlib>

namespace {

using testsupport::GraphWindowTest;
using testsupport::OpenRecording;

class DisplayTest : public GraphWindowTest {
  protected:
    void Derive(int slot, int kind) {
        sourceList[0] = slot;
        sourceCount = 1;
        TraitementFiltre(0, kind);
    }
};

TEST_F(DisplayTest, CurveRangeOfANearlyFlatRecordingIsWidened) {
    int s = OpenRecording("flat", {5.21, 5.24, 5.22});
    windows[s].yMin = windows[s].yMax = 0.0;
    windows[s].yRangeFixed = 0;
    TracerCourbe(windows[s].value, windows[s].time, 0, s);
    double lo = 0, hi = 0;
    Range(s, VAL_LEFT_YAXIS, &lo, &hi);
    EXPECT_NEAR(lo, 5.11, 1e-9);
    EXPECT_NEAR(hi, 5.34, 1e-9);
    EXPECT_EQ(windows[s].yMax, 5.24) << "the data's bounds are kept, not the widened ones";
}

TEST_F(DisplayTest, ZoomStopsAtBothEndsOfTheTable) {
    int s = OpenRecording("zoom", std::vector<double>(100, 3.0));
    WindowRecord &w = windows[s];
    w.zoomLevel = 0;
    Gestion_affichage(menuBar, MENU_ZOOM_OUT, nullptr, mainPanel);
    EXPECT_EQ(w.zoomLevel, 0);
    w.zoomLevel = ZOOM_LAST;
    Gestion_affichage(menuBar, MENU_ZOOM_IN, nullptr, mainPanel);
    EXPECT_EQ(w.zoomLevel, ZOOM_LAST);
    w.zoomLevel = ZOOM_LAST - 1;
    Gestion_affichage(menuBar, MENU_ZOOM_IN, nullptr, mainPanel);
    EXPECT_EQ(w.zoomLevel, ZOOM_LAST - 1) << "no step to the 0.0 that ends the table";
    w.zoomLevel = 12;
    Gestion_affichage(menuBar, MENU_ZOOM_IN, nullptr, mainPanel);
    EXPECT_EQ(w.zoomLevel, 13);
    EXPECT_EQ(w.zoomSpan, 2);
    EXPECT_EQ(CtrlText(w.panel, WINDOW_ZOOM_TEXT), "X 2");
    double lo = 0, hi = 0;
    Range(s, VAL_BOTTOM_XAXIS, &lo, &hi);
    EXPECT_EQ(hi - lo, 75) << "the visible time follows the zoom";
}

TEST_F(DisplayTest, ZoomKeepsTheStartOfTheView) {
    int s = OpenRecording("zoom", std::vector<double>(MAX_SAMPLES, 3.0));
    WindowRecord &w = windows[s];
    w.zoomLevel = 12;
    Gestion_affichage(menuBar, MENU_ZOOM_IN, nullptr, mainPanel);
    // 4000 steps of 0.75 s.
    ScrollBar_SetAttribute(w.panel, WINDOW_SCROLLBAR, kScrollBarAttrPosition, 4000);
    ScrollBarCallback(w.panel, WINDOW_SCROLLBAR, 1, nullptr, 4000, 0);
    Gestion_affichage(menuBar, MENU_ZOOM_OUT, nullptr, mainPanel);
    double lo = 0, hi = 0;
    Range(s, VAL_BOTTOM_XAXIS, &lo, &hi);
    EXPECT_EQ(lo, 3000);
    EXPECT_EQ(hi, 3150);
}

TEST_F(DisplayTest, NewWindowShowsItsWholeRecordingOverMostOfTheAxis) {
    // 2 minutes, 2 hours, and 65,000 samples, all at one sample a second.
    for (int count : {121, 7201, MAX_SAMPLES}) {
        int s = OpenRecording("fit", testsupport::RunUpCurve(count));
        const WindowRecord &w = windows[s];
        double lo = 0, hi = 0;
        Range(s, VAL_BOTTOM_XAXIS, &lo, &hi);
        EXPECT_LE(lo, w.time[0]) << count;
        EXPECT_GE(hi, w.time[w.count - 1]) << count;
        EXPECT_GT((w.time[w.count - 1] - w.time[0]) / (hi - lo), 0.5) << count;
        Gestion_affichage(menuBar, MENU_ZOOM_IN, nullptr, mainPanel);
        Range(s, VAL_BOTTOM_XAXIS, &lo, &hi);
        EXPECT_LT(hi, w.time[w.count - 1]) << "one step in no longer holds it: " << count;
        Fermer_fenetre();
    }
}

class ScalesTest : public DisplayTest {
  protected:
    // The popup as a double click on the graph opens it.
    void OpenByDoubleClick(int slot) {
        QWidget *graph = CtrlWidget(windows[slot].panel, WINDOW_GRAPH);
        ASSERT_NE(graph, nullptr);
        QPointF at(graph->width() / 2.0, graph->height() / 2.0);
        // As the system sends it: the first press, then the double click.
        QMouseEvent press(QEvent::MouseButtonPress, at, graph->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(graph, &press);
        QMouseEvent click(QEvent::MouseButtonDblClick, at, graph->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(graph, &click);
        ASSERT_GT(scalesPopup, 0) << "a double click on the graph opens the scales";
    }
    static void Commit(int control) {
        auto *button = qobject_cast<QAbstractButton *>(CtrlWidget(scalesPopup, control));
        ASSERT_NE(button, nullptr);
        button->click();
    }
    static void ChooseMode(int mode) {
        auto *ring = qobject_cast<QComboBox *>(CtrlWidget(scalesPopup, 4));
        ASSERT_NE(ring, nullptr);
        int index = ring->findData(mode);
        ASSERT_GE(index, 0);
        ring->setCurrentIndex(index);
        emit ring->activated(index);
    }
    static bool Dimmed(int control) { return !CtrlWidget(scalesPopup, control)->isEnabled(); }
};

TEST_F(ScalesTest, ManualRangeEnteredUpsideDownIsExchanged) {
    int s = OpenRecording("speeds", testsupport::RunUpCurve(200));
    OpenByDoubleClick(s);
    int mode = -1;
    GetCtrlVal(scalesPopup, 4, &mode);
    EXPECT_EQ(mode, SCALE_AUTOMATIC);
    EXPECT_TRUE(Dimmed(5));
    EXPECT_TRUE(Dimmed(6));
    ChooseMode(SCALE_MANUAL);
    EXPECT_FALSE(Dimmed(5));
    EXPECT_FALSE(Dimmed(6));
    SetCtrlVal(scalesPopup, 6, 10.0); // minimum
    SetCtrlVal(scalesPopup, 5, 2.0);  // maximum
    Commit(3);
    EXPECT_EQ(scalesPopup, 0);
    double lo = 0, hi = 0;
    Range(s, VAL_LEFT_YAXIS, &lo, &hi);
    EXPECT_EQ(lo, 2);
    EXPECT_EQ(hi, 10);
    EXPECT_EQ(windows[s].yMin, 2);
    EXPECT_EQ(windows[s].yMax, 10);
    EXPECT_EQ(windows[s].yRangeFixed, 1);

    // Opening two more windows re-plots this one twice: the range stays fixed.
    OpenRecording("other", testsupport::RunUpCurve(50));
    OpenRecording("third", testsupport::RunUpCurve(50));
    Range(s, VAL_LEFT_YAXIS, &lo, &hi);
    EXPECT_EQ(std::make_pair(lo, hi), std::make_pair(2.0, 10.0));
    Gestion_fenetre(menuBar, windows[s].menuItem, nullptr, mainPanel);
    currentWindow = s;
    Gestion_affichage(menuBar, MENU_SCALES, nullptr, mainPanel);
    ASSERT_GT(scalesPopup, 0);
    GetCtrlVal(scalesPopup, 4, &mode);
    EXPECT_EQ(mode, SCALE_MANUAL) << "the popup shows the fixed range it set";
    if (const char *out = std::getenv("VELORINDER_PICTURES")) {
        PanelWidget(scalesPopup)->grab().save(QString(out) + "/scales_manual.png");
        ChooseMode(SCALE_AUTOMATIC);
        PanelWidget(scalesPopup)->grab().save(QString(out) + "/scales_automatic.png");
    }
    Commit(2);
    EXPECT_EQ(scalesPopup, 0);
    Range(s, VAL_LEFT_YAXIS, &lo, &hi);
    EXPECT_EQ(hi, 10) << "Quit changes nothing";
}

TEST_F(DisplayTest, GraticuleTwiceLeavesTheGridAsItWas) {
    int s = OpenRecording("grid", {1, 2, 3});
    int before = GraphInt(s, ATTR_XGRID_VISIBLE);
    Gestion_affichage(menuBar, MENU_GRATICULE, nullptr, mainPanel);
    EXPECT_EQ(GraphInt(s, ATTR_XGRID_VISIBLE), before ? 0 : 1);
    EXPECT_EQ(GraphInt(s, ATTR_YGRID_VISIBLE), before ? 0 : 1);
    Gestion_affichage(menuBar, MENU_GRATICULE, nullptr, mainPanel);
    EXPECT_EQ(GraphInt(s, ATTR_XGRID_VISIBLE), before);
    EXPECT_EQ(GraphInt(s, ATTR_YGRID_VISIBLE), before);
}

TEST_F(DisplayTest, DisplayCommandsWithoutAWindowDoNothing) {
    Gestion_affichage(menuBar, MENU_LEGEND, nullptr, mainPanel);
    Gestion_traitement(menuBar, MENU_POSITION, nullptr, mainPanel);
    EXPECT_EQ(windowCount, 0);
}

TEST_F(DisplayTest, PositionOfAMetrePerMinuteRecording) {
    int src = OpenRecording("belt", {60, 120, 120, 60}, 1, 1);
    Derive(src, KIND_POSITION);
    ASSERT_EQ(windowCount, 2);
    const WindowRecord &w = windows[1];
    EXPECT_EQ(currentWindow, 1);
    EXPECT_STREQ(w.title, "Position curve of  belt");
    EXPECT_EQ(w.sourceWindow, src);
    EXPECT_EQ(w.isPosition, 1);
    EXPECT_EQ(windows[src].isPosition, 1);
    EXPECT_EQ(w.count, 4);
    EXPECT_EQ(w.value[0], 0.0);
    EXPECT_NEAR(w.value[1], (120 + 60) / 60.0 / 2, 1e-12);
    EXPECT_NEAR(w.total[3], 1.5 + 2.0 + 1.5, 1e-12);
    EXPECT_STREQ(w.unit, " m  ");
    EXPECT_EQ(w.measureType, 1);
}

TEST_F(DisplayTest, AccelerationOfARevolutionsPerMinuteRecording) {
    int src = OpenRecording("shaft", {600, 1200, 900}, 2, 0);
    Derive(src, KIND_ACCELERATION);
    ASSERT_EQ(windowCount, 2);
    WindowRecord &w = windows[1];
    EXPECT_NEAR(w.value[1], (1200 - 600) / 60.0 / 2, 1e-12);
    EXPECT_NEAR(w.value[2], (900 - 1200) / 60.0 / 2, 1e-12);
    EXPECT_EQ(w.time[2], 4);
    Gestion_affichage(menuBar, MENU_LEGEND, nullptr, mainPanel);
    // Per minute made per second, then divided by seconds.
    EXPECT_STREQ(w.unit, "tr/s²");
    EXPECT_NE(CtrlText(w.panel, w.legendText[1]).find("tr/s²"), std::string::npos);
}

TEST_F(DisplayTest, PositionOfADutyCycleIsRefused) {
    int src = OpenRecording("duty", {50, 51, 52}, 1, 2);
    Expect("Error n° -125");
    Derive(src, KIND_POSITION);
    EXPECT_EQ(windowCount, 1);
    EXPECT_EQ(windows[src].isPosition, 0);
}

TEST_F(DisplayTest, ClosingAPositionDisplayLetsItBeMadeAgain) {
    int src = OpenRecording("belt", {60, 120, 120, 60}, 1, 1);
    Derive(src, KIND_POSITION);
    ASSERT_EQ(windowCount, 2);
    EXPECT_EQ(windows[src].isPosition, 1);
    Fermer_fenetre();
    EXPECT_EQ(windowCount, 1);
    EXPECT_EQ(windows[src].isPosition, 0);
    Derive(src, KIND_POSITION);
    EXPECT_EQ(windowCount, 2);
}

TEST_F(DisplayTest, DerivedDisplaysFollowTheirSourceWhenSlotsMove) {
    OpenRecording("first", {1, 2, 3}, 1, 0);
    int src = OpenRecording("belt", {60, 120, 120, 60}, 1, 1);
    Derive(src, KIND_POSITION);
    ASSERT_EQ(windowCount, 3);
    currentWindow = 0;
    Fermer_fenetre();
    ASSERT_EQ(windowCount, 2);
    EXPECT_STREQ(windows[0].title, "belt");
    EXPECT_EQ(windows[1].sourceWindow, 0) << "still names its source";
    currentWindow = 1;
    Fermer_fenetre();
    EXPECT_EQ(windows[0].isPosition, 0) << "the mark is cleared on the right window";
}

TEST_F(DisplayTest, GapsAreHeldInADerivedDisplay) {
    int src = OpenRecording("gappy", {60, 60, 0, 60}, 1, 1, {2});
    Derive(src, KIND_ACCELERATION);
    ASSERT_EQ(windowCount, 2);
    EXPECT_EQ(windows[1].value[2], 0.0) << "the gap holds 60: no false deceleration";
    EXPECT_EQ(windows[1].value[3], 0.0);
}

} // namespace
