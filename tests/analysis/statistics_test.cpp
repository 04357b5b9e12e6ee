// Statistics of a range of samples, against a direct computation.
#include "analysis/analysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Curve {
    std::vector<double> time, value;
    std::vector<char> missing;
};

// n samples a second apart around `level`, with gaps at the given rate, some
// of them in runs.
Curve RandomCurve(int n, double level, double gapRate, unsigned draw) {
    std::mt19937 random(draw);
    std::normal_distribution<double> noise(0.0, 25.0);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    Curve c;
    double drift = 0;
    for (int i = 0; i < n; ++i) {
        drift += noise(random) / 10;
        c.time.push_back(i);
        c.value.push_back(level + drift + noise(random));
        const bool gap =
            unit(random) < gapRate || (i > 0 && c.missing.back() && unit(random) < 0.5);
        c.missing.push_back(gap ? 1 : 0);
    }
    return c;
}

// The figures written out plainly, two passes, in double.
RangeStatistics Direct(const Curve &c, int first, int last) {
    RangeStatistics s;
    double sum = 0, squares = 0;
    std::vector<int> readings;
    for (int i = first; i <= last; ++i) {
        if (c.missing[i]) {
            ++s.missing;
            continue;
        }
        readings.push_back(i);
        sum += c.value[i];
        squares += c.value[i] * c.value[i];
    }
    s.count = static_cast<int>(readings.size());
    if (s.count == 0) return s;
    s.mean = sum / s.count;
    s.rms = std::sqrt(squares / s.count);
    double deviations = 0;
    s.minimum = s.maximum = c.value[readings[0]];
    for (int i : readings) {
        deviations += (c.value[i] - s.mean) * (c.value[i] - s.mean);
        s.minimum = std::min(s.minimum, c.value[i]);
        s.maximum = std::max(s.maximum, c.value[i]);
    }
    s.deviation = std::sqrt(deviations / s.count);
    const int a = readings.front(), b = readings.back();
    s.duration = c.time[b] - c.time[a];
    s.hasSlope = s.count >= 2;
    if (s.hasSlope) s.slope = (c.value[b] - c.value[a]) / s.duration;
    return s;
}

void ExpectSame(const RangeStatistics &got, const RangeStatistics &want, double scale,
                const std::string &where) {
    // A millionth of a millionth of the figure, and a billionth of the curve's scale.
    auto tolerance = [scale](double x) { return 1e-12 * std::fabs(x) + 1e-9 * scale; };
    EXPECT_EQ(got.count, want.count) << where;
    EXPECT_EQ(got.missing, want.missing) << where;
    EXPECT_EQ(got.minimum, want.minimum) << where;
    EXPECT_EQ(got.maximum, want.maximum) << where;
    EXPECT_NEAR(got.mean, want.mean, tolerance(want.mean)) << where;
    EXPECT_NEAR(got.rms, want.rms, tolerance(want.rms)) << where;
    EXPECT_NEAR(got.deviation, want.deviation, tolerance(want.deviation)) << where;
    EXPECT_EQ(got.duration, want.duration) << where;
    EXPECT_EQ(got.hasSlope, want.hasSlope) << where;
    EXPECT_NEAR(got.slope, want.slope, tolerance(want.slope)) << where;
}

void CheckRandomRanges(const Curve &c, double scale, unsigned draw) {
    StatisticsTable table;
    table.Build(c.time.data(), c.value.data(), c.missing.data(), static_cast<int>(c.time.size()));
    std::mt19937 random(draw);
    const int n = static_cast<int>(c.time.size());
    std::uniform_int_distribution<int> index(0, n - 1);
    for (int trial = 0; trial < 300; ++trial) {
        int a = index(random), b = index(random);
        // Short ranges as well as long ones: within one block, across a few.
        if (trial % 3 == 0) b = std::min(n - 1, a + trial % 300);
        if (a > b) std::swap(a, b);
        const std::string where = "samples " + std::to_string(a) + " .. " + std::to_string(b);
        const RangeStatistics want = Direct(c, a, b);
        ExpectSame(table.Between(a, b), want, scale, where);
        ExpectSame(StatisticsTable::Scan(c.time.data(), c.value.data(), c.missing.data(), a, b),
                   want, scale, where + " (scan)");
        if (::testing::Test::HasFailure()) return;
    }
}

TEST(Statistics, RandomRangesMatchADirectComputation) {
    CheckRandomRanges(RandomCurve(65000, 1500.0, 0.0, 1), 1500.0, 11);
}

TEST(Statistics, RandomRangesWithGapsLeaveMissingSamplesOutAndCountThem) {
    CheckRandomRanges(RandomCurve(20000, 1500.0, 0.08, 2), 1500.0, 12);
    CheckRandomRanges(RandomCurve(3000, -40.0, 0.5, 3), 100.0, 13);
}

// A small spread on a large level: the deviation keeps its digits.
TEST(Statistics, SmallSpreadOnALargeLevelKeepsItsDeviation) {
    Curve c = RandomCurve(65000, 5e6, 0.02, 4);
    CheckRandomRanges(c, 1.0, 14);
}

TEST(Statistics, RangeOfMissingSamplesOnlyHasNoFigures) {
    Curve c = RandomCurve(500, 100.0, 0.0, 5);
    for (int i = 200; i < 300; ++i)
        c.missing[i] = 1;
    StatisticsTable table;
    table.Build(c.time.data(), c.value.data(), c.missing.data(), 500);
    RangeStatistics s = table.Between(210, 290);
    EXPECT_EQ(s.count, 0);
    EXPECT_EQ(s.missing, 81);
    EXPECT_FALSE(s.hasSlope);
    // One reading each side: the slope spans the gap.
    s = table.Between(199, 300);
    EXPECT_EQ(s.count, 2);
    EXPECT_EQ(s.duration, 101.0);
    EXPECT_DOUBLE_EQ(s.slope, (c.value[300] - c.value[199]) / 101.0);
}

TEST(Statistics, CursorTimesTakeTheSamplesBetweenThemInEitherOrder) {
    Curve c = RandomCurve(100, 10.0, 0.0, 6);
    StatisticsTable table;
    table.Build(c.time.data(), c.value.data(), nullptr, 100);
    // 12.5 .. 20.2 holds samples 13 .. 20.
    RangeStatistics forward = table.BetweenTimes(12.5, 20.2);
    RangeStatistics backward = table.BetweenTimes(20.2, 12.5);
    EXPECT_EQ(forward.count, 8);
    EXPECT_EQ(forward.duration, 7.0);
    EXPECT_EQ(backward.count, forward.count);
    EXPECT_EQ(backward.mean, forward.mean);
    // Between two samples, or beyond the curve: nothing.
    EXPECT_EQ(table.BetweenTimes(12.2, 12.8).count, 0);
    EXPECT_EQ(table.BetweenTimes(200, 300).count, 0);
    EXPECT_EQ(table.BetweenTimes(-50, 1000).count, 100);
}

// What is copied reads back as the figures, one per line, numbers as numbers.
TEST(Statistics, CopiedTextReadsBackAsTheFigures) {
    Curve c = RandomCurve(1000, 1500.0, 0.1, 7);
    StatisticsTable table;
    table.Build(c.time.data(), c.value.data(), c.missing.data(), 1000);
    const RangeStatistics s = table.Between(100, 800);
    const std::string text = StatisticsClipboardText(s, 800, 100, "Run 1", "tr/min", 1);
    std::istringstream lines(text);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "Run 1");
    std::vector<double> numbers;
    std::vector<std::string> units;
    while (std::getline(lines, line)) {
        std::istringstream cells(line);
        std::string label, number, unit;
        std::getline(cells, label, '\t');
        std::getline(cells, number, '\t');
        std::getline(cells, unit, '\t');
        numbers.push_back(std::stod(number));
        units.push_back(unit);
    }
    const std::vector<double> want = {100,         800,        double(s.count), double(s.missing),
                                      s.minimum,   s.maximum,  s.mean,          s.rms,
                                      s.deviation, s.duration, s.slope};
    ASSERT_EQ(numbers.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i)
        EXPECT_NEAR(numbers[i], want[i], 1e-9 * std::max(1.0, std::fabs(want[i]))) << i;
    EXPECT_EQ(units.back(), "tr/min/s");
}

TEST(Statistics, FiguresThatDoNotExistAreNotShownAsZero) {
    RangeStatistics none;
    none.missing = 4;
    const std::string panel = StatisticsPanelText(none, "m/min", 1);
    EXPECT_EQ(panel.find("0 m/min"), std::string::npos) << panel;
    EXPECT_NE(panel.find("4"), std::string::npos) << panel;
    const std::string copied = StatisticsClipboardText(none, 0, 1, "t", "m/min", 1);
    EXPECT_NE(copied.find("Mean\t\tm/min"), std::string::npos) << copied;
}

} // namespace
