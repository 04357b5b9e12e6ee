// A long curve drawn from a few points per pixel column: the picture is the
// one all its samples make, breaks stay breaks, and redraws that change no
// view reuse the points already made.
#include "display/reduction.h"
#include "windows/graph_fixture.h"

#include <QImage>
#include <qcustomplot.h>

#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

using testsupport::GraphWindowTest;
using testsupport::OpenRecording;

// Noise of a few hundred units on a run-up: every column holds a wide spread.
std::vector<double> NoisyCurve(int n) {
    std::vector<double> v = testsupport::RunUpCurve(n);
    unsigned state = 777;
    for (double &x : v) {
        state = state * 1103515245u + 12345u;
        x += static_cast<double>((state >> 16) % 600) - 300.0;
    }
    return v;
}

TEST(ReduceToColumns, KeepsEachColumnsExtremesInOrderAndEveryBreak) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // Ten samples a column over 4 columns; a break of two samples in column 1.
    std::vector<double> t, v;
    for (int k = 0; k < 40; ++k) {
        t.push_back(k);
        v.push_back((k * 7) % 11);
    }
    v[14] = v[15] = nan;
    v[23] = 50;  // column 2's highest, in its middle
    v[36] = -50; // column 3's lowest
    std::vector<double> rt, rv;
    ReduceToColumns(t.data(), v.data(), 40, 0.0, 40.0, 4, &rt, &rv);
    ASSERT_EQ(rt.size(), rv.size());
    EXPECT_TRUE(std::is_sorted(rt.begin(), rt.end()));
    int breaks = 0;
    for (std::size_t i = 0; i < rv.size(); ++i)
        if (std::isnan(rv[i])) {
            ++breaks;
            EXPECT_EQ(rt[i], 14.0);
        }
    EXPECT_EQ(breaks, 1);
    EXPECT_NE(std::find(rv.begin(), rv.end(), 50.0), rv.end());
    EXPECT_NE(std::find(rv.begin(), rv.end(), -50.0), rv.end());
    // First and last sample of each column stay, so the line joins columns as before.
    for (double k : {0.0, 9.0, 10.0, 13.0, 16.0, 19.0, 20.0, 29.0, 30.0, 39.0})
        EXPECT_NE(std::find(rt.begin(), rt.end(), k), rt.end()) << k;
    // At most four points a column, one run on each side of the break.
    EXPECT_LE(rt.size(), 4u * 5u + 1u);
    // A view of part of the curve keeps one sample on each side of it.
    ReduceToColumns(t.data(), v.data(), 40, 20.5, 29.5, 100, &rt, &rv);
    EXPECT_EQ(rt.front(), 20.0);
    EXPECT_EQ(rt.back(), 30.0);
}

class ReducedCurveTest : public GraphWindowTest {
  protected:
    QCustomPlot *Plot(int slot) {
        return qobject_cast<QCustomPlot *>(CtrlWidget(windows[slot].panel, WINDOW_GRAPH));
    }
    static QImage Picture(QCustomPlot *plot) {
        plot->replot(QCustomPlot::rpImmediateRefresh);
        return plot->toPixmap().toImage().convertToFormat(QImage::Format_RGB32);
    }
};

// True when pixel (x, y) of `a` has its colour in `b` at most one pixel away:
// the two lines differ no more than where a pixel centre falls.
bool Near(const QImage &a, const QImage &b, int x, int y) {
    const QRgb c = a.pixel(x, y);
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const int nx = x + dx, ny = y + dy;
            if (nx >= 0 && ny >= 0 && nx < b.width() && ny < b.height() && b.pixel(nx, ny) == c)
                return true;
        }
    return false;
}

TEST_F(ReducedCurveTest, NoisyCurveWithGapsLooksAsWithAllItsSamples) {
    const int n = MAX_SAMPLES;
    std::vector<int> gaps;
    for (int k = 20000; k < 20400; ++k) // a long break, seen in several columns
        gaps.push_back(k);
    for (int k = 41000; k < n; k += 3001) // single missing samples
        gaps.push_back(k);
    const int slot = OpenRecording("noisy", NoisyCurve(n), 1, 0, gaps);
    QCustomPlot *plot = Plot(slot);
    ASSERT_NE(plot, nullptr);
    ASSERT_GE(plot->graphCount(), 1);
    SetCtrlAttribute(windows[slot].panel, WINDOW_GRAPH, ATTR_NUM_CURSORS, 0);
    QCPGraph *reduced = plot->graph(plot->graphCount() - 1);
    ASSERT_LT(reduced->data()->size(), n / 10) << "the curve is drawn from all its samples";
    const QImage fromColumns = Picture(plot);

    // The same samples, every one of them, in the same plot.
    auto *full = new QCPGraph(plot->xAxis, plot->yAxis);
    full->setPen(reduced->pen());
    full->setAntialiased(false);
    full->setAdaptiveSampling(false);
    const WindowRecord &w = windows[slot];
    QVector<QCPGraphData> all(w.count);
    for (int k = 0; k < w.count; ++k)
        all[k] = QCPGraphData(w.time[k], IsGap(w, k) ? std::nan("") : w.value[k]);
    full->data()->set(all, true);
    reduced->setVisible(false);
    const QImage fromSamples = Picture(plot);
    plot->removeGraph(full);
    reduced->setVisible(true);

    ASSERT_EQ(fromColumns.size(), fromSamples.size());
    QImage diff(fromColumns.size(), QImage::Format_RGB32);
    diff.fill(Qt::white);
    int differing = 0, far = 0;
    for (int y = 0; y < diff.height(); ++y)
        for (int x = 0; x < diff.width(); ++x) {
            if (fromColumns.pixel(x, y) == fromSamples.pixel(x, y)) continue;
            ++differing;
            const bool near =
                Near(fromColumns, fromSamples, x, y) && Near(fromSamples, fromColumns, x, y);
            if (!near) ++far;
            diff.setPixel(x, y, near ? qRgb(255, 160, 0) : qRgb(255, 0, 0));
        }
    // Kept for a look where the tests' pictures are gathered.
    const char *gathered = std::getenv("VELORINDER_PICTURES");
    const std::string dir = gathered ? gathered : ::testing::TempDir();
    fromSamples.save(QString::fromStdString(dir + "/reduction-full.png"));
    fromColumns.save(QString::fromStdString(dir + "/reduction-reduced.png"));
    diff.save(QString::fromStdString(dir + "/reduction-diff.png"));
    EXPECT_EQ(far, 0) << differing << " pixels differ, " << far << " by more than a pixel";
}

TEST_F(ReducedCurveTest, RedrawsWithTheSameViewReuseThePointsMade) {
    const int slot = OpenRecording("noisy", NoisyCurve(MAX_SAMPLES));
    QCustomPlot *plot = Plot(slot);
    ASSERT_NE(plot, nullptr);
    Picture(plot);
    const void *points = plot->graph(plot->graphCount() - 1)->data().data();
    // A re-tile at the same size plots the curve again.
    Gestion_fenetre(menuBar, MENU_TILE, nullptr, mainPanel);
    Settle();
    Picture(plot);
    EXPECT_EQ(plot->graph(plot->graphCount() - 1)->data().data(), points);
    // A view further on needs points of its own.
    const double lo = plot->xAxis->range().lower, hi = plot->xAxis->range().upper;
    SetAxisScalingMode(windows[slot].panel, WINDOW_GRAPH, VAL_BOTTOM_XAXIS, VAL_MANUAL, lo,
                       lo + (hi - lo) / 2);
    Picture(plot);
    const QSharedPointer<QCPGraphDataContainer> data = plot->graph(plot->graphCount() - 1)->data();
    ASSERT_FALSE(data->isEmpty());
    EXPECT_LE(data->at(data->size() - 1)->key, lo + (hi - lo) / 2 + 1);
}

// The screen shows one opaque picture of the plot with the cursors drawn
// over it: in the plot area, what QCustomPlot itself draws of all its layers,
// pixel for pixel. (Outside it, its own drawing to a pixmap renders the axis
// labels without the glyph cache the screen uses.)
TEST_F(ReducedCurveTest, TheGraphOnScreenIsWhatAllItsLayersDraw) {
    const int slot = OpenRecording("noisy", NoisyCurve(MAX_SAMPLES));
    const int panel = windows[slot].panel;
    QCustomPlot *plot = Plot(slot);
    ASSERT_NE(plot, nullptr);
    SetCtrlAttribute(panel, WINDOW_GRAPH, ATTR_NUM_CURSORS, 3);
    const double lo = plot->xAxis->range().lower, hi = plot->xAxis->range().upper;
    const double bottom = plot->yAxis->range().lower, top = plot->yAxis->range().upper;
    for (int c = 1; c <= 3; ++c) {
        SetCursorAttribute(panel, WINDOW_GRAPH, c, ATTR_CURSOR_COLOR, 0x00FF00 * c);
        SetGraphCursor(panel, WINDOW_GRAPH, c, lo + (hi - lo) * c / 5, bottom + (top - bottom) / 3);
    }
    plot->replot(QCustomPlot::rpImmediateRefresh);
    const QImage screen = plot->grab().toImage().convertToFormat(QImage::Format_RGB32);

    QCPLayer *cursors = plot->layer(QStringLiteral("cursors"));
    ASSERT_NE(cursors, nullptr);
    ASSERT_GE(cursors->children().size(), 6);
    const bool shownInLayer = cursors->visible();
    cursors->setVisible(true);
    const QImage layers = plot->toPixmap().toImage().convertToFormat(QImage::Format_RGB32);
    cursors->setVisible(shownInLayer);

    ASSERT_EQ(screen.size(), layers.size());
    const QRect area = plot->axisRect()->rect().adjusted(-1, -1, 1, 1); // with the axes' lines
    int differing = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            differing += screen.pixel(x, y) != layers.pixel(x, y);
    EXPECT_EQ(differing, 0);
    // The cursors are there: each one's colour is on the screen.
    for (QRgb colour : {qRgb(0, 255, 0), qRgb(1, 254, 0), qRgb(2, 253, 0)}) {
        bool found = false;
        for (int y = 0; y < screen.height() && !found; ++y)
            for (int x = 0; x < screen.width() && !found; ++x)
                found = screen.pixel(x, y) == colour;
        EXPECT_TRUE(found) << std::hex << colour;
    }
}

} // namespace
