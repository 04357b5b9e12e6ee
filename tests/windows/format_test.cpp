// Texts of times and values, tile layouts and scroll arithmetic: no panels.
#include "display/display.h"
#include "windows/windows.h"

#include <gtest/gtest.h>

namespace {

class NoWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        windowCount = 0;
        currentWindow = -1;
    }
};

TEST_F(NoWindow, FormatTempsSplitsHoursMinutesSeconds) {
    std::string text;
    Format_temps("X = ", 3725, &text);
    EXPECT_EQ(text, "X = 1:02:05");
    Format_temps("dX = ", 59.9, &text);
    EXPECT_EQ(text, "dX = 0:00:59");
    Format_temps("X = ", 100000.0 * 3600 + 61, &text);
    EXPECT_EQ(text, "X = 100000:01") << "from 100000 hours on the seconds are left out";
}

TEST_F(NoWindow, FormatNombreExamples) {
    EXPECT_EQ(Format_nombre("1500.000000", 1500, 1), "1500.0");
    EXPECT_EQ(Format_nombre("-12.500000", -12.5, 1), "-12.500");
    EXPECT_EQ(Format_nombre("0.000000", 0, 1), "0.00000");
    EXPECT_EQ(Format_nombre("12.5", 12.5, 0), "12.5") << "short texts are kept";
}

// Every digit shown is right: the value rounded at the last digit the
// six (seven with a sign) characters hold, with no zeros it does not have.
TEST_F(NoWindow, FormatNombreRoundsAtTheLastDigitShown) {
    EXPECT_EQ(Format_nombre("3.141590", 3.14159, 1), "3.1416");
    EXPECT_EQ(Format_nombre("1234.567800", 1234.5678, 1), "1234.6");
    EXPECT_EQ(Format_nombre("-3.141590", -3.14159, 1), "-3.1416");
    EXPECT_EQ(Format_nombre("0.001667", 0.0016667, 1), "0.0017");
    EXPECT_EQ(Format_nombre("0.416670", 0.41667, 1), "0.4167");
    EXPECT_EQ(Format_nombre("-0.416670", -0.41667, 1), "-0.4167");
    EXPECT_EQ(Format_nombre("123.376000", 123.376, 1), "123.38") << "not cut to 123.37";
    EXPECT_EQ(Format_nombre("1234.750000", 1234.75, 1), "1234.8");
    EXPECT_EQ(Format_nombre("3.141000", 3.141, 1), "3.1410") << "a true zero is shown";
    EXPECT_EQ(Format_nombre("9.999990", 9.99999, 1), "10.000") << "the carry takes a digit";
    EXPECT_EQ(Format_nombre("99999.700000", 99999.7, 1), "100000");
    std::string text;
    Format_valeur(1, "Y = ", 0.41667, &text);
    EXPECT_EQ(text, "Y = 0.4167  m/min");
}

TEST_F(NoWindow, FormatNombreNeverCutsIntegerDigits) {
    EXPECT_EQ(Format_nombre("1234567.000000", 1234567, 1), "1234567");
    EXPECT_EQ(Format_nombre("-1234567.000000", -1234567, 1), "-1234567");
    EXPECT_EQ(Format_nombre("999999.000000", 999999, 1), "999999");
    EXPECT_EQ(Format_nombre("99999.000000", 99999, 1), "99999.");
}

TEST_F(NoWindow, FormatNombreExponentText) {
    EXPECT_EQ(Format_nombre("1.234567e+005", 123456.7, 1), "1.234e+5");
    EXPECT_EQ(Format_nombre("2.5E-03", 0.0025, 1), "2.5E-3");
}

TEST_F(NoWindow, FormatValeurJoinsUnitsBySign) {
    std::string text;
    Format_valeur(0, "Y = ", 1500, &text);
    EXPECT_EQ(text, "Y = 1500.0 tr/min");
    Format_valeur(0, "Y = ", -12.5, &text);
    EXPECT_EQ(text, "Y = -12.500tr/min");
    Format_valeur(4, "Y = ", -1.5, &text);
    EXPECT_EQ(text, "Y = -1.5000  Hz  ") << "period and frequency always take the blank";
    Format_valeur(11, "Y = ", 12, &text);
    EXPECT_EQ(text, "Y = 12.000  imp .");
}

TEST_F(NoWindow, FormatValeurUnitsOfDerivedDisplays) {
    windowCount = 2;
    currentWindow = 1;
    ResetSlot(1);
    WindowRecord &w = windows[1];
    w.sourceWindow = 0;
    w.isAcceleration = 1;
    std::string text;
    // Derivatives per second: of a speed, and of a distance.
    Format_valeur(0, "Y = ", 2.5, &text);
    EXPECT_EQ(text, "Y = 2.5000 tr/s²");
    EXPECT_STREQ(w.unit, "tr/s²");
    Format_valeur(8, "Y = ", 2.5, &text);
    EXPECT_STREQ(w.unit, "ft/s");
    EXPECT_EQ(MissingValueText(0, "Y = "), "Y = ----- tr/s²");
    w.isAcceleration = 0;
    w.isPosition = 1;
    Format_valeur(1, "Y = ", 2.5, &text);
    EXPECT_EQ(text, "Y = 2.5000  m  ");
    EXPECT_STREQ(w.unit, " m  ");
    w.sourceWindow = -1; // a recording from which a position was derived keeps its own unit
    Format_valeur(1, "Y = ", 2.5, &text);
    EXPECT_STREQ(w.unit, " m/min");
    windowCount = 0;
    currentWindow = -1;
}

TEST_F(NoWindow, FormatValueShortensAndSetsUnit) {
    windowCount = 1;
    currentWindow = 0;
    ResetSlot(0);
    windows[0].sourceWindow = -1;
    std::string text;
    FormatValue(4, 0.25, &text);
    EXPECT_EQ(text, "0.2500");
    EXPECT_STREQ(windows[0].unit, " Hz  ");
    FormatValue(4, -1.5, &text);
    EXPECT_EQ(text, "-1.5000");
    FormatValue(0, 1234567.0, &text);
    EXPECT_EQ(text, "1234567") << "a reading never loses integer digits";
    FormatValue(0, 123456.0, &text);
    EXPECT_EQ(text, "123456");
    windows[0].sourceWindow = 0;
    windows[0].isAcceleration = 1;
    FormatValue(6, 1.0, &text);
    EXPECT_STREQ(windows[0].unit, "Rev/s²");
    windows[0].isAcceleration = 0;
    windows[0].isPosition = 1;
    FormatValue(1, 1.0, &text);
    EXPECT_STREQ(windows[0].unit, " m  ");
    windowCount = 0;
    currentWindow = -1;
}

struct TileCase {
    int n;
    std::vector<int> tops, lefts, heights;
    int width;
};

TEST_F(NoWindow, TileLayoutsForOneToNineWindows) {
    const int W = 1200, H = 600;
    std::vector<TileCase> cases = {
        {1, {0}, {0}, {600}, 1200},
        {2, {0, 300}, {0, 0}, {300, 300}, 1200},
        {3, {0, 200, 400}, {0, 0, 0}, {200, 200, 200}, 1200},
        {4, {0, 300, 0, 300}, {0, 0, 600, 600}, {300, 300, 300, 300}, 600},
        {5, {0, 300, 0, 200, 400}, {0, 0, 600, 600, 600}, {300, 300, 200, 200, 200}, 600},
        {6,
         {0, 200, 400, 0, 200, 400},
         {0, 0, 0, 600, 600, 600},
         {200, 200, 200, 200, 200, 200},
         600},
        {7,
         {0, 200, 400, 0, 150, 300, 450},
         {0, 0, 0, 600, 600, 600, 600},
         {200, 200, 200, 150, 150, 150, 150},
         600},
        {8,
         {0, 150, 300, 450, 0, 150, 300, 450},
         {0, 0, 0, 0, 600, 600, 600, 600},
         {150, 150, 150, 150, 150, 150, 150, 150},
         600},
        {9,
         {0, 200, 400, 0, 200, 400, 0, 200, 400},
         {0, 0, 0, 400, 400, 400, 800, 800, 800},
         {200, 200, 200, 200, 200, 200, 200, 200, 200},
         400},
    };
    for (const auto &c : cases) {
        windowCount = c.n;
        Calcul_coordonnees_fenetre(W, H);
        EXPECT_EQ(tileWidth, c.width) << c.n << " windows";
        for (int i = 0; i < c.n; ++i) {
            EXPECT_EQ(tileTop[i], c.tops[i]) << c.n << " windows, slot " << i;
            EXPECT_EQ(tileLeft[i], c.lefts[i]) << c.n << " windows, slot " << i;
            EXPECT_EQ(tileHeight[i], c.heights[i]) << c.n << " windows, slot " << i;
        }
    }
    windowCount = 0;
}

TEST_F(NoWindow, TileDividesTheWholeProductBeforeTruncating) {
    windowCount = 7;
    Calcul_coordonnees_fenetre(1001, 602);
    EXPECT_EQ(tileTop[2], 401) << "2H/3, not 2*(H/3)";
    EXPECT_EQ(tileTop[6], 451) << "3H/4, not 3*(H/4)";
    EXPECT_EQ(tileLeft[3], 500);
    windowCount = 9;
    Calcul_coordonnees_fenetre(1001, 600);
    EXPECT_EQ(tileLeft[6], 667) << "2W/3, not 2*(W/3)";
    EXPECT_EQ(tileLeft[3], 333);
    EXPECT_EQ(tileWidth, 333);
    windowCount = 0;
    tileWidth = 77;
    Calcul_coordonnees_fenetre(1000, 600);
    EXPECT_EQ(tileWidth, 77) << "no windows: nothing changes";
}

TEST_F(NoWindow, TimeAxisLabelsOfAVisibleRange) {
    auto labels = TimeAxisLabels(3000, 3150);
    ASSERT_EQ(labels.size(), 5u);
    const char *texts[5] = {"0:50:00", "0:50:37", "0:51:15", "0:51:52", "0:52:30"};
    const int positions[5] = {3000, 3037, 3075, 3112, 3150};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(labels[i].second, texts[i]);
        EXPECT_EQ(labels[i].first, positions[i]);
    }
}

// A 2-hour recording seen 1500 s and 150 s at a time: a page click moves one
// view, End shows the last view and ends with the recording, and the thumb's
// share is the visible share.
TEST_F(NoWindow, ScrollOverATwoHourRecordingAtTwoZoomLevels) {
    const double duration = 7200;
    struct Case {
        double span, lastStart;
        int maximum;
    } cases[] = {{1500, 5700, 380}, {150, 7050, 4700}};
    for (const Case &c : cases) {
        ScrollScale scale = ScrollScaleFor(c.span, duration);
        EXPECT_EQ(scale.page, SCROLL_PAGE_STEPS);
        EXPECT_EQ(scale.maximum, c.maximum) << c.span;
        EXPECT_NEAR(double(scale.page) / (scale.maximum + scale.page), c.span / duration, 0.01);
        double lo = 0, hi = 0;
        ScrollRange(scale.page, c.span, 0, duration, &lo, &hi); // one page click from the start
        EXPECT_EQ(lo, c.span);
        EXPECT_EQ(hi, 2 * c.span);
        ScrollRange(SCROLL_ARROW_STEPS, c.span, 0, duration, &lo, &hi);
        EXPECT_NEAR(lo, c.span / 10, 1e-9) << "an arrow moves a tenth of the view";
        ScrollRange(scale.maximum, c.span, 0, duration, &lo, &hi); // End
        EXPECT_EQ(lo, c.lastStart);
        EXPECT_EQ(hi, duration);
        EXPECT_EQ(ScrollPosition(scale, hi - c.span), scale.maximum);
    }
    double lo = 0, hi = 0;
    ScrollScale whole = ScrollScaleFor(7500, duration);
    EXPECT_EQ(whole.maximum, 0) << "nothing to scroll when the view holds it all";
    ScrollRange(0, 7500, 10, duration, &lo, &hi);
    EXPECT_EQ(lo, 10) << "the view starts at the first sample";
}

TEST_F(NoWindow, ScrollPositionsFitAnIntOverTheLongestRecordings) {
    // 65,000 samples at 99,999 s each, seen 0.15 s at a time.
    ScrollScale scale = ScrollScaleFor(0.15, 65000.0 * 99999);
    EXPECT_LE(scale.maximum, SCROLL_MAX_STEPS);
    EXPECT_GE(scale.page, 1);
    double lo = 0, hi = 0;
    ScrollRange(scale.maximum, 0.15, 0, 65000.0 * 99999, &lo, &hi);
    EXPECT_DOUBLE_EQ(hi, 65000.0 * 99999);
}

} // namespace
