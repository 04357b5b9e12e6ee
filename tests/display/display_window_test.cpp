// The Display and Treatment commands on real graph windows.
#include "edit/edit.h"
#include "link/link.h"
#include "windows/graph_fixture.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QMouseEvent>
#include <algorithm>
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

// A plateau at the maximum and the minimum stay off the frame; the margin is
// a share of the data's spread, so a small signal is not flattened.
TEST_F(DisplayTest, AutomaticAxisLeavesAMarginAroundTheCurve) {
    const std::vector<std::vector<double>> curves = {
        {1000, 1500, 1500, 1500, 1200}, {-0.0025, 0.0025, -0.0025, 0.001}, {5.21, 5.24, 5.22}};
    for (const auto &curve : curves) {
        int s = OpenRecording("plateau", curve);
        const double dataLo = *std::min_element(curve.begin(), curve.end());
        const double dataHi = *std::max_element(curve.begin(), curve.end());
        double lo = 0, hi = 0;
        Range(s, VAL_LEFT_YAXIS, &lo, &hi);
        EXPECT_NEAR(hi - dataHi, AXIS_MARGIN * (dataHi - dataLo), 1e-12) << dataHi;
        EXPECT_NEAR(dataLo - lo, AXIS_MARGIN * (dataHi - dataLo), 1e-12) << dataLo;
        EXPECT_EQ(windows[s].yMax, dataHi) << "the data's bounds are kept, not the axis";
        EXPECT_EQ(windows[s].yRangeFixed, 0);
        // The readout sets the same axis.
        Gestion_affichage(menuBar, MENU_LEGEND, nullptr, mainPanel);
        double lo2 = 0, hi2 = 0;
        Range(s, VAL_LEFT_YAXIS, &lo2, &hi2);
        EXPECT_EQ(std::make_pair(lo2, hi2), std::make_pair(lo, hi));
        Fermer_fenetre();
    }
}

// A plateau at the maximum, with the legend (VELORINDER_PICTURES=<dir>).
TEST_F(DisplayTest, PictureOfAPlateauAtTheMaximum) {
    std::vector<double> v(240);
    for (int i = 0; i < 240; ++i)
        v[i] = i < 60 ? 25 * i : i < 180 ? 1500 : 1500 - 25 * (i - 180);
    int s = OpenRecording("plateau", v);
    Gestion_affichage(menuBar, MENU_LEGEND, nullptr, mainPanel);
    double lo = 0, hi = 0;
    Range(s, VAL_LEFT_YAXIS, &lo, &hi);
    EXPECT_GT(hi, 1500);
    if (const char *out = std::getenv("VELORINDER_PICTURES")) {
        EXPECT_TRUE(SavePicture(std::string(out) + "/plateau.png"));
    }
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

TEST_F(ScalesTest, AutomaticRangeShowsTheDataNotTheMargin) {
    int s = OpenRecording("speeds", {100, 400, 250});
    OpenByDoubleClick(s);
    double shownLo = 0, shownHi = 0;
    GetCtrlVal(scalesPopup, 6, &shownLo);
    GetCtrlVal(scalesPopup, 5, &shownHi);
    EXPECT_EQ(shownLo, 100);
    EXPECT_EQ(shownHi, 400);
    Commit(3); // OK in automatic mode: the axis keeps its margin
    double lo = 0, hi = 0;
    Range(s, VAL_LEFT_YAXIS, &lo, &hi);
    EXPECT_NEAR(lo, 100 - AXIS_MARGIN * 300, 1e-9);
    EXPECT_NEAR(hi, 400 + AXIS_MARGIN * 300, 1e-9);
    EXPECT_EQ(windows[s].yRangeFixed, 0);
}

// Fields that show a curve's numbers: confirmed as they come, they change
// nothing, however small or large the curve's values.
TEST_F(ScalesTest, ConfirmingUnchangedFieldsKeepsTheAxisAndTheAlarmLines) {
    for (const std::vector<double> &values : std::vector<std::vector<double>>{
             {0.0001, 0.00025, 0.0004, 0.00013}, {0, 1.2e7, 3.4567e7}}) {
        const int s = OpenRecording("fields", values);
        double dataLo = 0, dataHi = 0;
        SampleRange(windows[s], &dataLo, &dataHi);
        OpenByDoubleClick(s);
        ChooseMode(SCALE_MANUAL);
        Commit(3);
        double lo = 0, hi = 0;
        Range(s, VAL_LEFT_YAXIS, &lo, &hi);
        EXPECT_EQ(std::make_pair(lo, hi), std::make_pair(dataLo, dataHi))
            << "Manual over the data's own range";
        // Opened again on the fixed range and confirmed.
        Gestion_affichage(menuBar, MENU_SCALES, nullptr, mainPanel);
        ASSERT_GT(scalesPopup, 0);
        const std::string picture = dataHi < 1 ? "small" : "large";
        if (const char *out = std::getenv("VELORINDER_PICTURES"))
            PanelWidget(scalesPopup)
                ->grab()
                .save(QString::fromStdString(out + ("/scales_" + picture + ".png")));
        Commit(3);
        Range(s, VAL_LEFT_YAXIS, &lo, &hi);
        EXPECT_EQ(std::make_pair(lo, hi), std::make_pair(dataLo, dataHi)) << "OK alone";

        // An alarm line inside the curve's range, typed, then confirmed as it is.
        const double level = values[1];
        Gestion_edition(menuBar, MENU_ALARM, nullptr, mainPanel);
        ASSERT_GT(alarmPanel, 0);
        qobject_cast<QAbstractButton *>(CtrlWidget(alarmPanel, ALARM_LINE_1))->click();
        SetCtrlVal(alarmPanel, ALARM_LEVEL_1, level);
        qobject_cast<QAbstractButton *>(CtrlWidget(alarmPanel, ALARM_OK))->click();
        EXPECT_EQ(windows[s].alarmLevel[0], level) << "as typed";
        Gestion_edition(menuBar, MENU_ALARM, nullptr, mainPanel);
        ASSERT_GT(alarmPanel, 0);
        if (const char *out = std::getenv("VELORINDER_PICTURES"))
            PanelWidget(alarmPanel)
                ->grab()
                .save(QString::fromStdString(out + ("/alarm_" + picture + ".png")));
        qobject_cast<QAbstractButton *>(CtrlWidget(alarmPanel, ALARM_OK))->click();
        EXPECT_EQ(windows[s].alarmShown, ALARM_ONLY_1);
        EXPECT_EQ(windows[s].alarmLevel[0], level) << "OK alone";
        Fermer_fenetre();
    }
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

// 60 rpm steady with samples 2 and 5 missing.
TEST_F(DisplayTest, AccelerationBreaksWhereItsSourceHasGaps) {
    int src = OpenRecording("gappy", {60, 60, 0, 120, 120, 0, 120, 180}, 1, 0, {2, 5});
    Derive(src, KIND_ACCELERATION);
    ASSERT_EQ(windowCount, 2);
    WindowRecord &w = windows[1];
    EXPECT_EQ(w.count, 8);
    EXPECT_EQ(w.hasGaps, 1);
    ASSERT_EQ(GapCount(w), 4);
    const int expected[] = {2, 3, 5, 6};
    for (int g = 0; g < 4; ++g)
        EXPECT_EQ(w.gapIndex[g], expected[g]);
    EXPECT_NEAR(w.value[7], 1.0, 1e-12);
    EXPECT_EQ(w.value[3], 0.0);
    EXPECT_EQ(w.yMax, 1.0) << "no jump from a gap's 0.0 in the range";
    EXPECT_EQ(w.yMin, 0.0);
    Gestion_affichage(menuBar, MENU_LEGEND, nullptr, mainPanel);
    SetGraphCursor(w.panel, WINDOW_GRAPH, 1, 3, 0);
    ValCurseur(w.panel, WINDOW_GRAPH, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_EQ(CtrlText(w.panel, w.legendText[1]), "Y = ----- tr/s²");
}

TEST_F(DisplayTest, PositionOverAGapAddsNoUnmeasuredDistance) {
    int src = OpenRecording("belt", {60, 60, 0, 60, 60}, 1, 1, {2});
    Derive(src, KIND_POSITION);
    ASSERT_EQ(windowCount, 2);
    const WindowRecord &w = windows[1];
    EXPECT_TRUE(IsGap(w, 2));
    EXPECT_TRUE(IsGap(w, 3));
    EXPECT_FALSE(IsGap(w, 4));
    EXPECT_NEAR(w.total[4], 2.0, 1e-12) << "only the two measured steps of 1 m";
}

// A run-up with gaps, its acceleration and its average over 10, tiled, with
// the legends (VELORINDER_PICTURES=<dir>): each derived curve breaks where
// its source does, and the average's axis is that of its values.
TEST_F(DisplayTest, PictureOfDerivedCurvesOfARecordingWithGaps) {
    SetMainSize(760, 1200);
    std::vector<double> v = testsupport::RunUpCurve(240);
    std::vector<int> gaps = {70, 71, 72, 73, 74, 75, 150, 200};
    for (int g : gaps)
        v[g] = 0.0;
    int src = OpenRecording("run-up with gaps", v, 1, 0, gaps);
    Derive(src, KIND_ACCELERATION);
    ASSERT_EQ(windowCount, 2);
    EXPECT_TRUE(IsGap(windows[1], 76)) << "the step out of the gap";
    Derive(src, KIND_AVERAGE);
    ASSERT_GT(constantPanel, 0);
    SetCtrlVal(constantPanel, CONSTANT_VALUE, 10);
    qobject_cast<QAbstractButton *>(CtrlWidget(constantPanel, CONSTANT_OK))->click();
    ASSERT_EQ(windowCount, 3);
    const WindowRecord &average = windows[2];
    EXPECT_TRUE(IsGap(average, 84)) << "its ten samples hold sample 75";
    EXPECT_FALSE(IsGap(average, 85));
    for (int i = 0; i < windowCount; ++i) {
        currentWindow = i;
        Gestion_affichage(menuBar, MENU_LEGEND, nullptr, mainPanel);
        SetGraphCursor(windows[i].panel, WINDOW_GRAPH, 1, 72, 0);
        ValCurseur(windows[i].panel, WINDOW_GRAPH, EVENT_COMMIT, nullptr, 0, 0);
        EXPECT_NE(CtrlText(windows[i].panel, windows[i].legendText[1]).find("-----"),
                  std::string::npos)
            << i;
    }
    if (const char *out = std::getenv("VELORINDER_PICTURES")) {
        EXPECT_TRUE(SavePicture(std::string(out) + "/derived_with_gaps.png"));
    }
}

TEST_F(DisplayTest, DerivedWindowIsTiledWithTheOthers) {
    int src = OpenRecording("shaft", {600, 1200, 900, 950}, 2, 0);
    OpenRecording("other", {1, 2, 3});
    Derive(src, KIND_ACCELERATION);
    ASSERT_EQ(windowCount, 3);
    int Hm = 0, Wm = 0;
    GetPanelAttribute(mainPanel, ATTR_HEIGHT, &Hm);
    GetPanelAttribute(mainPanel, ATTR_WIDTH, &Wm);
    Calcul_coordonnees_fenetre(Wm, Hm - 50);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(PanelInt(windows[i].panel, ATTR_TOP), tileTop[i] + AREA_TOP) << i;
        EXPECT_EQ(PanelInt(windows[i].panel, ATTR_LEFT), tileLeft[i] + AREA_LEFT) << i;
        EXPECT_EQ(PanelInt(windows[i].panel, ATTR_HEIGHT), tileHeight[i] - 25) << i;
    }
}

} // namespace
