// Zoom and pan with the mouse on a real graph window: wheel, Ctrl+wheel,
// rectangles and middle-button drags, as the system delivers them.
#include "windows/graph_fixture.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QMouseEvent>
#include <QWheelEvent>
#include <qcustomplot.h>

#include <cstdlib>

namespace {

using testsupport::GraphWindowTest;
using testsupport::OpenRecording;

class MouseZoomTest : public GraphWindowTest {
  protected:
    void SetUp() override {
        GraphWindowTest::SetUp();
        // 3000 s: the whole recording at level 8 (3000 s in view).
        slot = OpenRecording("run", testsupport::RunUpCurve(3000));
        plot = qobject_cast<QCustomPlot *>(CtrlWidget(windows[slot].panel, WINDOW_GRAPH));
        ASSERT_NE(plot, nullptr);
        ASSERT_EQ(windows[slot].zoomLevel, 8);
    }

    QPointF At(double t, double v) const {
        return {plot->xAxis->coordToPixel(t), plot->yAxis->coordToPixel(v)};
    }
    double Time(QPointF p) const { return plot->xAxis->pixelToCoord(p.x()); }
    double Value(QPointF p) const { return plot->yAxis->pixelToCoord(p.y()); }

    void Wheel(QPointF at, int delta, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWheelEvent e(at, plot->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                      modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(plot, &e);
    }
    void Mouse(QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons buttons,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QMouseEvent e(type, at, plot->mapToGlobal(at), button, buttons, modifiers);
        QApplication::sendEvent(plot, &e);
    }
    void Drag(QPointF from, QPointF to, Qt::MouseButton button,
              Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        Mouse(QEvent::MouseButtonPress, from, button, button, modifiers);
        Mouse(QEvent::MouseMove, (from + to) / 2, Qt::NoButton, button, modifiers);
        Mouse(QEvent::MouseMove, to, Qt::NoButton, button, modifiers);
        Mouse(QEvent::MouseButtonRelease, to, button, Qt::NoButton, modifiers);
    }
    void TimeRange(double *lo, double *hi) const { Range(slot, VAL_BOTTOM_XAXIS, lo, hi); }
    void ValueRange(double *lo, double *hi) const { Range(slot, VAL_LEFT_YAXIS, lo, hi); }
    // The time the scroll bar's thumb stands for.
    double ScrollTime() const {
        int v = 0;
        ScrollBar_GetAttribute(windows[slot].panel, WINDOW_SCROLLBAR, kScrollBarAttrPosition, &v);
        const WindowRecord &w = windows[slot];
        return v * ScrollScaleFor(VisibleSpan(w.zoomSpan), RecordingDuration(w)).unit;
    }

    int slot = -1;
    QCustomPlot *plot = nullptr;
};

TEST_F(MouseZoomTest, WheelStepsTheZoomKeepingTheTimeUnderThePointer) {
    const QPointF at = At(1000, 800);
    Wheel(at, 120);
    EXPECT_EQ(windows[slot].zoomLevel, 9);
    double lo = 0, hi = 0;
    TimeRange(&lo, &hi);
    EXPECT_DOUBLE_EQ(hi - lo, VisibleSpan(zoomTable[9]));
    EXPECT_NEAR(plot->xAxis->coordToPixel(1000), at.x(), 0.5);
    EXPECT_NEAR(ScrollTime(), lo, ScrollScaleFor(hi - lo, 2999).unit) << "the thumb follows";
    Wheel(at, 120);
    EXPECT_EQ(windows[slot].zoomLevel, 10);
    EXPECT_NEAR(plot->xAxis->coordToPixel(1000), at.x(), 0.5);
    Wheel(at, -240); // two notches at once: two steps out
    EXPECT_EQ(windows[slot].zoomLevel, 8);
    TimeRange(&lo, &hi);
    EXPECT_EQ(lo, 0.0) << "the view never starts before the recording";
    EXPECT_EQ(windows[slot].yRangeFixed, 0) << "the plain wheel leaves the value scale alone";
}

TEST_F(MouseZoomTest, WheelNearTheEndsKeepsTheViewInTheRecording) {
    // Pointers at the edges, stepping in and out: the view never leaves the
    // recording, and where it need not stop at an end the pointer's time stays.
    for (double t : {2998.0, 3.0, 2990.0}) {
        for (int delta : {120, 120, 120, -120, -120, -120}) {
            const QPointF at = At(t, 800);
            Wheel(at, delta);
            double lo = 0, hi = 0;
            TimeRange(&lo, &hi);
            EXPECT_GE(lo, 0.0) << t;
            EXPECT_LE(hi, std::max(2999.0, hi - lo) + 1e-6) << t;
            const bool atAnEnd = lo == 0.0 || std::fabs(hi - 2999) < 1e-6;
            if (!atAnEnd) {
                EXPECT_NEAR(plot->xAxis->coordToPixel(t), at.x(), 0.5) << t;
            }
        }
        EXPECT_EQ(windows[slot].zoomLevel, 8);
    }
}

TEST_F(MouseZoomTest, WheelStopsAtBothEndsOfTheTable) {
    Wheel(At(1000, 800), 120 * 40);
    EXPECT_EQ(windows[slot].zoomLevel, ZOOM_LAST - 1);
    double lo = 0, hi = 0;
    TimeRange(&lo, &hi);
    Wheel(At(1000, 800), 120);
    double lo2 = 0, hi2 = 0;
    TimeRange(&lo2, &hi2);
    EXPECT_EQ(std::make_pair(lo2, hi2), std::make_pair(lo, hi));
    Wheel(At(1000, 800), -120 * 40);
    EXPECT_EQ(windows[slot].zoomLevel, 0);
}

// A touchpad sends parts of a notch; they step once they make one.
TEST_F(MouseZoomTest, PartsOfANotchAddUpToAStep) {
    Wheel(At(1000, 800), 60);
    EXPECT_EQ(windows[slot].zoomLevel, 8);
    Wheel(At(1000, 800), 60);
    EXPECT_EQ(windows[slot].zoomLevel, 9);
}

// Ctrl+wheel narrows the value axis around the pointer and fixes it, so that
// the scales dialog then shows Manual with those bounds.
TEST_F(MouseZoomTest, CtrlWheelZoomsTheValueAxisIntoAManualScale) {
    double lo = 0, hi = 0;
    ValueRange(&lo, &hi);
    const QPointF at = At(1000, 600);
    const double pointed = Value(at);
    Wheel(at, 120, Qt::ControlModifier);
    double lo2 = 0, hi2 = 0;
    ValueRange(&lo2, &hi2);
    EXPECT_NEAR((hi2 - lo2) * VALUE_WHEEL_FACTOR, hi - lo, 1e-9 * (hi - lo));
    EXPECT_NEAR(plot->yAxis->coordToPixel(pointed), at.y(), 0.5);
    const WindowRecord &w = windows[slot];
    EXPECT_EQ(w.yRangeFixed, 1);
    EXPECT_EQ(std::make_pair(w.yMin, w.yMax), std::make_pair(lo2, hi2));
    EXPECT_EQ(w.zoomLevel, 8) << "the time axis stays";

    OpenScalePopup();
    ASSERT_GT(scalesPopup, 0);
    int mode = -1;
    double shownMin = 0, shownMax = 0;
    GetCtrlVal(scalesPopup, 4, &mode);
    GetCtrlVal(scalesPopup, 6, &shownMin);
    GetCtrlVal(scalesPopup, 5, &shownMax);
    EXPECT_EQ(mode, SCALE_MANUAL);
    EXPECT_NEAR(shownMin, lo2, 1e-6 * (hi2 - lo2));
    EXPECT_NEAR(shownMax, hi2, 1e-6 * (hi2 - lo2));
    qobject_cast<QAbstractButton *>(CtrlWidget(scalesPopup, 2))->click();
}

// A rectangle: the time axis at the highest level whose span holds it, from
// its start; the value axis its height, fixed.
void ExpectRectangleZoom(int slot, double t0, double t1, double v0, double v1) {
    const WindowRecord &w = windows[slot];
    EXPECT_EQ(w.zoomLevel, FitZoomLevel(std::fabs(t1 - t0)));
    double lo = 0, hi = 0;
    GetAxisScalingMode(w.panel, WINDOW_GRAPH, VAL_BOTTOM_XAXIS, nullptr, &lo, &hi);
    EXPECT_DOUBLE_EQ(lo, std::min(t0, t1));
    EXPECT_GE(hi, std::max(t0, t1));
    GetAxisScalingMode(w.panel, WINDOW_GRAPH, VAL_LEFT_YAXIS, nullptr, &lo, &hi);
    EXPECT_DOUBLE_EQ(lo, std::min(v0, v1));
    EXPECT_DOUBLE_EQ(hi, std::max(v0, v1));
    EXPECT_EQ(w.yRangeFixed, 1);
}

TEST_F(MouseZoomTest, RightDragZoomsToTheRectangle) {
    const QPointF a = At(500, 1400), b = At(760, 300);
    const double t0 = Time(a), t1 = Time(b), v0 = Value(a), v1 = Value(b);
    Drag(a, b, Qt::RightButton);
    ExpectRectangleZoom(slot, t0, t1, v0, v1);
    EXPECT_EQ(windows[slot].zoomLevel, 11);
}

TEST_F(MouseZoomTest, ShiftLeftDragZoomsAndLeavesTheCursorWhereItWas) {
    double x = 0, y = 0;
    GetGraphCursor(windows[slot].panel, WINDOW_GRAPH, 1, &x, &y);
    // Drawn from right to left, bottom to top: the same rectangle.
    const QPointF a = At(1900, 200), b = At(1200, 1300);
    const double t0 = Time(a), t1 = Time(b), v0 = Value(a), v1 = Value(b);
    Drag(a, b, Qt::LeftButton, Qt::ShiftModifier);
    ExpectRectangleZoom(slot, t0, t1, v0, v1);
    double x2 = 0, y2 = 0;
    GetGraphCursor(windows[slot].panel, WINDOW_GRAPH, 1, &x2, &y2);
    EXPECT_EQ(x2, x);
}

TEST_F(MouseZoomTest, PlainLeftDragStillMovesTheCursor) {
    double x = 0, y = 0;
    GetGraphCursor(windows[slot].panel, WINDOW_GRAPH, 1, &x, &y);
    Drag(At(x, y), At(2000, y), Qt::LeftButton);
    double x2 = 0, y2 = 0;
    GetGraphCursor(windows[slot].panel, WINDOW_GRAPH, 1, &x2, &y2);
    EXPECT_NEAR(x2, 2000, 10);
    EXPECT_EQ(windows[slot].zoomLevel, 8);
    EXPECT_EQ(windows[slot].yRangeFixed, 0);
}

TEST_F(MouseZoomTest, ARightClickOrAnEscapedRectangleZoomsNothing) {
    double lo = 0, hi = 0;
    TimeRange(&lo, &hi);
    Drag(At(1000, 800), At(1000, 800) + QPointF(2, 2), Qt::RightButton);
    Mouse(QEvent::MouseButtonPress, At(500, 1400), Qt::RightButton, Qt::RightButton);
    Mouse(QEvent::MouseMove, At(900, 300), Qt::NoButton, Qt::RightButton);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(plot, &escape);
    Mouse(QEvent::MouseButtonRelease, At(900, 300), Qt::RightButton, Qt::NoButton);
    double lo2 = 0, hi2 = 0;
    TimeRange(&lo2, &hi2);
    EXPECT_EQ(std::make_pair(lo2, hi2), std::make_pair(lo, hi));
    EXPECT_EQ(windows[slot].zoomLevel, 8);
    EXPECT_EQ(windows[slot].yRangeFixed, 0);
}

TEST_F(MouseZoomTest, MiddleDragPansBothAxes) {
    Wheel(At(1000, 800), 120); // 500 .. 2000
    double lo = 0, hi = 0, vlo = 0, vhi = 0;
    TimeRange(&lo, &hi);
    ValueRange(&vlo, &vhi);
    const QPointF from = At(1200, 800);
    const double perPixel = (hi - lo) / plot->axisRect()->width();
    const double valuePerPixel = (vhi - vlo) / plot->axisRect()->height();
    // Along the time axis only: the value scale stays automatic.
    Drag(from, from + QPointF(-100, 0), Qt::MiddleButton);
    double lo2 = 0, hi2 = 0;
    TimeRange(&lo2, &hi2);
    EXPECT_NEAR(lo2, lo + 100 * perPixel, 1e-9 * hi);
    EXPECT_NEAR(hi2 - lo2, hi - lo, 1e-9 * hi);
    EXPECT_EQ(windows[slot].yRangeFixed, 0);
    EXPECT_NEAR(ScrollTime(), lo2, ScrollScaleFor(hi - lo, 2999).unit);
    // Downwards: the curve follows the pointer, the values in view rise.
    Drag(from, from + QPointF(0, 50), Qt::MiddleButton);
    double vlo2 = 0, vhi2 = 0;
    ValueRange(&vlo2, &vhi2);
    EXPECT_NEAR(vlo2, vlo + 50 * valuePerPixel, 1e-9 * vhi);
    EXPECT_EQ(windows[slot].yRangeFixed, 1);
    EXPECT_EQ(windows[slot].yMin, vlo2);
    // Past the start: the view stops at the recording's first sample.
    Drag(from, from + QPointF(plot->axisRect()->width() * 3, 0), Qt::MiddleButton);
    TimeRange(&lo2, &hi2);
    EXPECT_EQ(lo2, 0.0);
}

TEST(MouseZoomSteps, ValueZoomRefusesARangeTooNarrowOrTooWideToDraw) {
    double lo = 1000.0, hi = 1000.0 + 1e-7;
    EXPECT_FALSE(ZoomRangeAround(1000.0, 1e6, &lo, &hi));
    EXPECT_EQ(lo, 1000.0);
    lo = -1e300;
    hi = 1e300;
    EXPECT_FALSE(ZoomRangeAround(0.0, 1e-10, &lo, &hi));
    EXPECT_EQ(hi, 1e300);
}

// A rectangle zoom (VELORINDER_PICTURES=<dir>): the band while it is drawn, then the view.
TEST_F(MouseZoomTest, PictureOfARectangleZoom) {
    const char *out = std::getenv("VELORINDER_PICTURES");
    if (!out) GTEST_SKIP() << "pictures only when asked for";
    const QPointF a = At(500, 1450), b = At(800, 1250);
    Mouse(QEvent::MouseButtonPress, a, Qt::RightButton, Qt::RightButton);
    Mouse(QEvent::MouseMove, b, Qt::NoButton, Qt::RightButton);
    EXPECT_TRUE(SavePicture(std::string(out) + "/zoom-band.png"));
    Mouse(QEvent::MouseButtonRelease, b, Qt::RightButton, Qt::NoButton);
    EXPECT_TRUE(SavePicture(std::string(out) + "/zoom-after.png"));
}

} // namespace
