// The report's layout without windows: the reduction of a curve to the
// device's pixel columns, the value axis ticks, the header and readouts.
#include "report/report.h"

#include "shell/shell.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>

namespace {

ReportCurve Noisy(int n, unsigned draw) {
    ReportCurve c;
    std::mt19937 random(draw);
    std::normal_distribution<double> noise(0, 50);
    for (int i = 0; i < n; ++i) {
        c.time.push_back(i);
        c.value.push_back(1000 + 500 * std::sin(i / 700.0) + noise(random));
    }
    c.missing.assign(static_cast<std::size_t>(n), 0);
    return c;
}

std::size_t Points(const std::vector<ReportRun> &runs) {
    std::size_t n = 0;
    for (const ReportRun &run : runs)
        n += run.size();
    return n;
}

TEST(ReduceToColumns, EveryColumnKeepsItsLowestAndHighestSampleWithAtMostFourPoints) {
    const ReportCurve c = Noisy(65000, 7);
    const int columns = 1000;
    const std::vector<ReportRun> runs = ReduceToColumns(c, 0, 65000, columns);
    ASSERT_EQ(runs.size(), 1u);
    std::vector<double> lo(columns, 1e300), hi(columns, -1e300);
    for (std::size_t i = 0; i < c.time.size(); ++i) {
        const int col = static_cast<int>(c.time[i] * columns / 65000);
        lo[col] = std::min(lo[col], c.value[i]);
        hi[col] = std::max(hi[col], c.value[i]);
    }
    std::vector<double> shownLo(columns, 1e300), shownHi(columns, -1e300);
    std::vector<int> perColumn(columns, 0);
    for (const ReportPoint &p : runs[0]) {
        const int col = std::clamp(static_cast<int>(std::floor(p.x)), 0, columns - 1);
        shownLo[col] = std::min(shownLo[col], p.y);
        shownHi[col] = std::max(shownHi[col], p.y);
        ++perColumn[col];
    }
    for (int col = 0; col < columns; ++col) {
        EXPECT_EQ(shownLo[col], lo[col]) << col;
        EXPECT_EQ(shownHi[col], hi[col]) << col;
        EXPECT_LE(perColumn[col], 4) << col;
    }
    // Points rise in time, so the polyline never runs back.
    for (std::size_t k = 1; k < runs[0].size(); ++k)
        ASSERT_LE(runs[0][k - 1].x, runs[0][k].x) << k;
}

TEST(ReduceToColumns, MissingSamplesBreakTheCurveInsteadOfJoiningAcross) {
    ReportCurve c = Noisy(20000, 3);
    for (int i = 8000; i < 8100; ++i)
        c.missing[static_cast<std::size_t>(i)] = 1;
    c.value[15000] = std::nan("");
    const std::vector<ReportRun> runs = ReduceToColumns(c, 0, 20000, 400);
    ASSERT_EQ(runs.size(), 3u);
    const double column = 400.0 / 20000;
    EXPECT_LT(runs[0].back().x, 8000 * column);
    EXPECT_GE(runs[1].front().x, 8100 * column);
    EXPECT_LT(runs[1].back().x, 15000 * column);
    EXPECT_GT(runs[2].front().x, 15000 * column);
    for (const ReportRun &run : runs)
        for (const ReportPoint &p : run)
            EXPECT_TRUE(std::isfinite(p.y));
}

TEST(ReduceToColumns, FewSamplesStayAsTheyAreAndTheLineReachesBothEdges) {
    ReportCurve c;
    for (int i = 0; i < 100; ++i) {
        c.time.push_back(i * 10.0);
        c.value.push_back(i % 2 ? 5.0 : -5.0);
    }
    // From 95 s to 505 s over 2000 columns: samples 10 to 50 and one
    // neighbour each side, brought to just outside the edges.
    const std::vector<ReportRun> runs = ReduceToColumns(c, 95, 505, 2000);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].size(), 43u);
    EXPECT_DOUBLE_EQ(runs[0].front().x, -1.0);
    EXPECT_DOUBLE_EQ(runs[0].back().x, 2001.0);
    EXPECT_DOUBLE_EQ(runs[0][1].x, (100 - 95) * 2000.0 / 410);
    EXPECT_EQ(runs[0][1].y, -5.0);
    EXPECT_TRUE(ReduceToColumns(c, 5, 5, 100).empty());
    EXPECT_TRUE(ReduceToColumns(c, 0, 100, 0).empty());
}

TEST(ReduceToColumns, TheReductionIsBoundByTheColumnsNotTheSamples) {
    const ReportCurve c = Noisy(65000, 11);
    EXPECT_LE(Points(ReduceToColumns(c, 0, 65000, 3000)), 4u * 3001 + 2);
    EXPECT_LE(Points(ReduceToColumns(c, 30000, 30500, 3000)), 503u);
}

TEST(ValueTicks, RoundStepsInsideTheRangeWithTheDecimalsTheStepNeeds) {
    auto ticks = ValueTicks(5.11, 5.34);
    ASSERT_EQ(ticks.size(), 4u);
    EXPECT_EQ(ticks.front().second, "5.15");
    EXPECT_EQ(ticks.back().second, "5.30");
    ticks = ValueTicks(-130, 2600);
    EXPECT_EQ(ticks.front().second, "0");
    EXPECT_EQ(ticks.back().second, "2500");
    for (const auto &t : ticks)
        EXPECT_TRUE(t.first >= -130 && t.first <= 2600);
    EXPECT_TRUE(ValueTicks(3, 3).empty());
}

class HeaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        w = std::make_unique<WindowRecord>();
        CopyText(w->title, sizeof w->title, "Average of  fan");
        w->count = 3;
        w->interval = 10;
        w->mode = 1;
        w->coefficient = 1.5;
        w->measureType = 0;
        w->day = 31;
        w->month = 5;
        w->year = 2024;
        w->hour = 14;
        w->minute = 7;
        w->sourceWindow = -1;
    }
    std::string Joined(const ReportContext &c) const {
        std::string all;
        for (const std::string &line : ReportHeader(*w, c))
            all += line + "\n";
        return all;
    }
    std::unique_ptr<WindowRecord> w;
};

TEST_F(HeaderTest, ARecordingNamesItsDateFileModeIntervalCoefficientAndUnit) {
    ReportContext c;
    c.filePath = "/data/fan.vlr";
    EXPECT_EQ(Joined(c), "Date: 31/05/2024     Time: 14:07\n"
                         "File: /data/fan.vlr\n"
                         "Mode: SMOOTH     Interval: 10 s     Coefficient K: 1.500000     "
                         "Unit: tr/min\n");
    c.lang = 2;
    c.filePath.clear();
    EXPECT_EQ(Joined(c), "Datum: 31.05.2024     Stunde: 14:07\n"
                         "Mode: SMOOTH     Leseintervall: 10 s     Koeffizient K: 1.500000     "
                         "Einheit: tr/min\n");
}

TEST_F(HeaderTest, ADerivedDisplayNamesItsKindSourceAndConstant) {
    w->sourceWindow = 0;
    w->isAverage = 1;
    w->averageConstant = 12;
    ReportContext c;
    c.sourceTitle = "fan";
    const std::string english = Joined(c);
    EXPECT_NE(english.find("Kind: Moving average     Source: fan     Constant of the filter: 12"),
              std::string::npos)
        << english;
    c.lang = 3;
    const std::string spanish = Joined(c);
    EXPECT_NE(spanish.find("Tipo: Media deslizante     Fuente: fan     Constante del filtro: 12"),
              std::string::npos)
        << spanish;
    // A position display has no constant.
    w->isAverage = 0;
    w->isPosition = 1;
    c.lang = 0;
    const std::string french = Joined(c);
    EXPECT_NE(french.find("Type: Position     Source: fan\n"), std::string::npos) << french;
}

TEST_F(HeaderTest, FooterAndReadoutsAsTheLegendWordsThem) {
    ReportContext c;
    c.page = 2;
    c.pages = 3;
    const int printed[5] = {9, 12, 2025, 8, 5};
    std::copy(printed, printed + 5, c.printed);
    std::string left, centre, right;
    ReportFooter(c, &left, &centre, &right);
    EXPECT_EQ(left, "Velorinder 1.0");
    EXPECT_EQ(centre, "Printed on 09/12/2025 08:05");
    EXPECT_EQ(right, "Page 2 / 3");
    c.lang = 4;
    ReportFooter(c, &left, &centre, &right);
    EXPECT_EQ(centre, "Stampato il 09/12/2025 08:05");
    EXPECT_EQ(right, "Pagina 2 / 3");

    w->value[0] = 150;
    w->value[1] = 0;
    w->value[2] = 2000;
    w->gapIndex[0] = 1;
    w->hasGaps = 1;
    ReportView v;
    v.cursorIndex = 2;
    EXPECT_EQ(CursorReadouts(*w, v),
              std::vector<std::string>{"1:  X = 0:00:20     Y = 2000.0 tr/min"});
    v.cursorIndex = 1;
    EXPECT_EQ(CursorReadouts(*w, v)[0], "1:  X = 0:00:10     Y = ----- tr/min");
}

} // namespace
