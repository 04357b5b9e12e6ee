// Time-axis labels that neither run together nor repeat a second, and texts
// cut to the room they have: the choice alone, then on a graph window.
#include "files/files.h"
#include "graph_fixture.h"
#include "platform/axislabels.h"

#include <QFile>
#include <QFontMetricsF>
#include <QLabel>
#include <QRegularExpression>
#include <cstdlib>
#include <gtest/gtest.h>
#include <qcustomplot.h>
#include <set>

using namespace testsupport;

namespace {

// Seven pixels a character: enough to reason about overlaps by hand.
double SevenEach(const std::string &text) {
    double n = 0;
    for (char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return 7 * n;
}

// The five labels the program puts on a view, at whole seconds.
std::vector<AxisLabel> ProgramLabels(double xmin, double xmax) {
    std::vector<AxisLabel> labels;
    for (const auto &[at, text] : TimeAxisLabels(xmin, xmax))
        labels.push_back({at, text});
    return labels;
}

std::vector<std::string> Texts(const std::vector<AxisLabel> &labels) {
    std::vector<std::string> texts;
    for (const AxisLabel &l : labels)
        texts.push_back(l.text);
    return texts;
}

TEST(TimeAxisLabels, OrdinaryViewsKeepTheProgramsLabelsAndShortViewsGetPartsOfSeconds) {
    for (auto [xmin, xmax] : {std::pair{0.0, 600.0}, {3725.0, 3729.0}, {10.4, 90.0}}) {
        const std::vector<AxisLabel> items = ProgramLabels(xmin, xmax);
        const std::vector<AxisLabel> shown = ShownTimeLabels(items, xmin, xmax);
        EXPECT_EQ(Texts(shown), Texts(items)) << xmin << " .. " << xmax;
    }

    // Two seconds: the whole seconds would read 10, 10, 11, 11, 12.
    std::vector<AxisLabel> shown = ShownTimeLabels(ProgramLabels(10, 12), 10, 12);
    EXPECT_EQ(Texts(shown), (std::vector<std::string>{"0:00:10.0", "0:00:10.5", "0:00:11.0",
                                                      "0:00:11.5", "0:00:12.0"}));
    EXPECT_DOUBLE_EQ(shown[1].position, 10.5);
    EXPECT_DOUBLE_EQ(shown[4].position, 12);

    // Shorter views take more decimals, as many as the labels need to differ.
    shown = ShownTimeLabels(ProgramLabels(3599.9, 3600.1), 3599.9, 3600.1);
    EXPECT_EQ(Texts(shown), (std::vector<std::string>{"0:59:59.90", "0:59:59.95", "1:00:00.00",
                                                      "1:00:00.05", "1:00:00.10"}));
    // Quarters of a three-second view read as what they are, not 0.8 for 0.75.
    shown = ShownTimeLabels(ProgramLabels(0, 3), 0, 3);
    EXPECT_EQ(Texts(shown), (std::vector<std::string>{"0:00:00.00", "0:00:00.75", "0:00:01.50",
                                                      "0:00:02.25", "0:00:03.00"}));
    shown = ShownTimeLabels(ProgramLabels(1, 1.000004), 1, 1.000004);
    const std::vector<std::string> tiny = Texts(shown);
    EXPECT_EQ(std::set<std::string>(tiny.begin(), tiny.end()).size(), 5u);
    EXPECT_EQ(TimeLabelText(59.96, 1), "0:01:00.0") << "rounded before it is split";
}

TEST(TimeAxisLabels, NarrowAxesShowFewerLabelsThatDoNotTouchAndALoneOneIsCut) {
    const std::vector<AxisLabel> five = ProgramLabels(0, 400); // "0:00:00" .. "0:06:40", 49 px
    struct Case {
        double pixels;
        std::vector<std::string> texts;
    };
    const Case cases[] = {
        {400, {"0:00:00", "0:01:40", "0:03:20", "0:05:00", "0:06:40"}},
        {200, {"0:00:00", "", "0:03:20", "", "0:06:40"}},
        {60, {"0:00:00", "", "", "", "0:06:40"}},
        {50, {"0:00:00", "", "", "", ""}},
        {40,
         {"\xE2\x80\xA6"
          "0:00",
          "", "", "", ""}},                        // "…0:00", 35 px
        {30, {"\xE2\x80\xA6:00", "", "", "", ""}}, // "…:00", 28 px
    };
    for (const Case &c : cases) {
        std::vector<AxisLabel> shown = FitAxisLabels(five, 0, 400, c.pixels, SevenEach, 4);
        EXPECT_EQ(Texts(shown), c.texts) << c.pixels << " px";
        // Whatever is shown keeps clear of its neighbour.
        double lastRight = -1e9;
        for (const AxisLabel &l : shown) {
            if (l.text.empty()) continue;
            const double centre = l.position / 400 * c.pixels;
            EXPECT_GE(centre - SevenEach(l.text) / 2, lastRight) << c.pixels << " px";
            lastRight = centre + SevenEach(l.text) / 2;
        }
    }
    // A label outside the view is not drawn, so it is not counted either.
    std::vector<AxisLabel> shifted = ProgramLabels(10.5, 400);
    EXPECT_EQ(FitAxisLabels(shifted, 10.5, 400, 400, SevenEach, 4)[0].text, "");
}

TEST(ElideText, CutsAtTheChosenSideWithoutSplittingACharacter) {
    EXPECT_EQ(ElideText("Y = 1500.0 tr/min", 200, SevenEach, ElideSide::Right),
              "Y = 1500.0 tr/min");
    EXPECT_EQ(ElideText("Y = 1500.0 tr/min", 70, SevenEach, ElideSide::Right),
              "Y = 1500.\xE2\x80\xA6");
    EXPECT_EQ(ElideText("dY = 3.5 tr/min\xC2\xB2", 70, SevenEach, ElideSide::Left),
              "\xE2\x80\xA6"
              "5 tr/min\xC2\xB2"); // ten characters, 70 px
    EXPECT_EQ(ElideText("abc", 5, SevenEach, ElideSide::Left), "");
}

TEST(ValueAxisLabels, AShortAxisTakesALargerRoundStepAndATallOneKeepsItsOwn) {
    // 0 .. 1500 every 250: seven labels 14 px high with a 3 px gap need 102 px.
    EXPECT_DOUBLE_EQ(ValueTickStep(250, 1500, 400, 14, 3), 250);
    EXPECT_DOUBLE_EQ(ValueTickStep(250, 1500, 102, 14, 3), 250);
    EXPECT_DOUBLE_EQ(ValueTickStep(250, 1500, 70, 14, 3), 500) << "364 at least, a round 500";
    EXPECT_DOUBLE_EQ(ValueTickStep(250, 1500, 40, 14, 3), 1000) << "637.5 at least";
    EXPECT_DOUBLE_EQ(ValueTickStep(0.5, 3, 30, 14, 3), 2) << "1.7 at least";
    EXPECT_DOUBLE_EQ(ValueTickStep(0.05, 1, 80, 14, 3), 0.25) << "0.2125 at least";
    EXPECT_DOUBLE_EQ(ValueTickStep(250, 1500, 0, 14, 3), 5000) << "no room: one label at most";
}

class TextsOnAGraph : public GraphWindowTest {
  protected:
    QCustomPlot *Plot(int slot) {
        return qobject_cast<QCustomPlot *>(CtrlWidget(windows[slot].panel, WINDOW_GRAPH));
    }
    // The labels as the axis draws them.
    std::vector<std::pair<double, QString>> Drawn(int slot) {
        QCustomPlot *plot = Plot(slot);
        plot->replot();
        plot->replot();
        std::vector<std::pair<double, QString>> drawn;
        const QVector<double> ticks = plot->xAxis->tickVector();
        const QVector<QString> labels = plot->xAxis->tickVectorLabels();
        for (int i = 0; i < ticks.size(); ++i)
            if (!labels[i].isEmpty()) drawn.push_back({ticks[i], labels[i]});
        return drawn;
    }
};

TEST_F(TextsOnAGraph, ATwoSecondViewShowsFiveDifferentLabelsInsideIt) {
    const int slot = OpenRecording("speeds", RunUpCurve(100));
    SetVisibleTime(windows[slot].panel, 10.3, 12.3);
    const auto drawn = Drawn(slot);
    ASSERT_EQ(drawn.size(), 5u);
    std::set<QString> texts;
    for (const auto &[at, text] : drawn) {
        EXPECT_GE(at, 10.3);
        EXPECT_LE(at, 12.3);
        texts.insert(text);
    }
    EXPECT_EQ(texts.size(), 5u);
    EXPECT_EQ(drawn[2].second, "0:00:11.3");
    // The program's own items stay as it set them.
    std::string label;
    GetAxisItem(windows[slot].panel, WINDOW_GRAPH, VAL_BOTTOM_XAXIS, 1, &label, nullptr);
    EXPECT_EQ(label, "0:00:10");
}

TEST_F(TextsOnAGraph, ANarrowWindowShowsLabelsThatDoNotRunTogether) {
    const int slot = OpenRecording("speeds", RunUpCurve(4000));
    const int panel = windows[slot].panel;
    SetVisibleTime(panel, 0, 3600);
    EXPECT_EQ(Drawn(slot).size(), 5u) << "a wide window shows all five";

    SetPanelAttribute(panel, ATTR_WIDTH, 330);
    Repere_fenetre(panel, EVENT_PANEL_SIZE, nullptr, 0, 0);
    Settle();
    QCustomPlot *plot = Plot(slot);
    const auto drawn = Drawn(slot);
    ASSERT_FALSE(drawn.empty());
    EXPECT_LT(drawn.size(), 5u);
    const QFontMetricsF metrics(plot->xAxis->tickLabelFont());
    for (std::size_t i = 1; i < drawn.size(); ++i) {
        const double gap = plot->xAxis->coordToPixel(drawn[i].first) -
                           plot->xAxis->coordToPixel(drawn[i - 1].first);
        EXPECT_GE(gap, (metrics.horizontalAdvance(drawn[i].second) +
                        metrics.horizontalAdvance(drawn[i - 1].second)) /
                           2)
            << drawn[i - 1].second.toStdString() << " and " << drawn[i].second.toStdString();
    }
}

TEST_F(TextsOnAGraph, TheInfoBoxStaysInsideTheGraphOfASmallWindow) {
    const int slot = OpenRecording("speeds", RunUpCurve(100));
    const int panel = windows[slot].panel;
    std::string text;
    for (int i = 0; i < 12; ++i)
        text += "Mean slope  -0.000806452 m/min/s\n";
    for (int width : {991, 330}) {
        SetPanelAttribute(panel, ATTR_HEIGHT, 150);
        SetPanelAttribute(panel, ATTR_WIDTH, width);
        Repere_fenetre(panel, EVENT_PANEL_SIZE, nullptr, 0, 0);
        SetGraphInfoText(panel, WINDOW_GRAPH, text);
        QCustomPlot *plot = Plot(slot);
        plot->replot();
        Settle();
        auto *box = plot->findChild<QLabel *>();
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(plot->axisRect()->rect().contains(box->geometry())) << width << " wide";
        std::string shown;
        GetGraphInfoText(panel, WINDOW_GRAPH, &shown);
        EXPECT_EQ(shown, text) << "the text itself is kept whole";
    }
}

TEST_F(TextsOnAGraph, TheLegendLineSharesANarrowGraphOutAndReadsWhole) {
    const int slot = OpenRecording("speeds", RunUpCurve(100));
    const int panel = windows[slot].panel;
    // Each text in a colour of its own, so that its pixels can be found; the
    // titles are padded with blanks, as titles from older files are, so a
    // line that shows the middle of each text shows nothing.
    const int colours[5] = {0xFF0000, 0x00C000, 0x0000FF, 0xFF00FF, 0x00C0C0};
    std::vector<LegendEntry> entries;
    for (int i = 0; i < 5; ++i)
        entries.push_back(
            {"run " + std::to_string(i) + std::string(60, ' ') + ": 1234.5 tr/min", colours[i]});
    SetGraphLegendLine(panel, WINDOW_GRAPH, entries);
    SetPanelAttribute(panel, ATTR_WIDTH, 330);
    Repere_fenetre(panel, EVENT_PANEL_SIZE, nullptr, 0, 0);
    Settle();
    QCustomPlot *plot = Plot(slot);
    plot->replot();
    const QImage image = plot->grab().toImage();
    std::vector<QRect> rects;
    for (int i = 0; i < plot->plotLayout()->elementCount(); ++i)
        if (auto *line = qobject_cast<QCPLayoutGrid *>(plot->plotLayout()->elementAt(i)))
            for (int k = 0; k < line->elementCount(); ++k)
                if (auto *text = qobject_cast<QCPTextElement *>(line->elementAt(k)))
                    rects.push_back(text->outerRect());
    ASSERT_EQ(rects.size(), 5u);
    for (int k = 0; k < 5; ++k) {
        int inside = 0, outside = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if ((image.pixel(x, y) & 0xFFFFFF) == static_cast<QRgb>(colours[k]))
                    ++(rects[k].contains(x, y) ? inside : outside);
        EXPECT_GT(inside, 0) << "text " << k << " shows its beginning";
        EXPECT_EQ(outside, 0) << "text " << k << " stays in its share of the line";
    }
    std::vector<LegendEntry> read;
    GetGraphLegendLine(panel, WINDOW_GRAPH, &read);
    ASSERT_EQ(read.size(), 5u);
    EXPECT_EQ(read[4].text, entries[4].text) << "the text itself is kept whole";
}

} // namespace

namespace {

// The value labels a graph draws, at their heights on the screen.
std::vector<double> ValueLabelHeights(QCustomPlot *plot) {
    plot->replot();
    plot->replot();
    std::vector<double> at;
    const QCPRange range = plot->yAxis->range();
    for (double tick : plot->yAxis->tickVector())
        if (range.contains(tick)) at.push_back(plot->yAxis->coordToPixel(tick));
    std::sort(at.begin(), at.end());
    return at;
}

} // namespace

TEST_F(TextsOnAGraph, ValueLabelsOfNineTiledWindowsNeverOverlap) {
    for (auto [height, width] : {std::pair{600, 800}, std::pair{800, 1280}}) {
        SetMainSize(height, width);
        for (int i = 0; i < MAX_WINDOWS; ++i)
            OpenRecording("recording_" + std::to_string(i), RunUpCurve(600 + 100 * i));
        Gestion_fenetre(menuBar, MENU_TILE, nullptr, mainPanel);
        Settle();
        for (int i = 0; i < MAX_WINDOWS; ++i) {
            QCustomPlot *plot = Plot(i);
            const double line = QFontMetricsF(plot->yAxis->tickLabelFont()).height();
            const std::vector<double> at = ValueLabelHeights(plot);
            EXPECT_GE(at.size(), 2u) << "window " << i;
            for (std::size_t k = 1; k < at.size(); ++k)
                EXPECT_GE(at[k] - at[k - 1], line)
                    << width << "x" << height << ", window " << i << ", label " << k;
        }
        while (currentWindow >= 0)
            Fermer_fenetre();
    }
}

// A picture of a short view names its times as the window does: each label
// once, with parts of a second.
TEST_F(TextsOnAGraph, APictureOfATwoSecondViewShowsTheWindowsLabels) {
    const int slot = OpenRecording("speeds", RunUpCurve(100));
    SetVisibleTime(windows[slot].panel, 10.3, 12.3);
    std::vector<std::string> onScreen;
    for (const auto &[at, text] : Drawn(slot))
        onScreen.push_back(text.toStdString());
    ASSERT_EQ(onScreen.size(), 5u);
    const std::string path = ::testing::TempDir() + "/two_seconds.svg";
    ASSERT_EQ(SaveCurvePicture(PictureOfSlot(slot), path, "svg", 800, 400), 0);
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString svg = QString::fromUtf8(file.readAll());
    // The texts of the picture that read as times.
    std::vector<std::string> inPicture;
    const QRegularExpression time(QStringLiteral(">\\s*(\\d+:\\d\\d:\\d\\d[.0-9]*)\\s*<"));
    for (auto it = time.globalMatch(svg); it.hasNext();)
        inPicture.push_back(it.next().captured(1).toStdString());
    EXPECT_EQ(inPicture, onScreen);
    const char *pictures = std::getenv("VELORINDER_PICTURES");
    EXPECT_EQ(SaveCurvePicture(PictureOfSlot(slot),
                               (pictures ? pictures : ::testing::TempDir()) + "/two_seconds.png",
                               "png", 800, 400),
              0);
}
