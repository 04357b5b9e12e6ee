// Range widening, zoom arithmetic and the derived computations: no panels.
#include "display/display.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(FlatRange, WidenedOnlyWhenTrulyFlatAndByItsMagnitude) {
    double lo = 1500, hi = 1500;
    EXPECT_TRUE(WidenFlatRange(&lo, &hi));
    EXPECT_NEAR(lo, 1350, 1e-9) << "a tenth of the magnitude, not 0.1";
    EXPECT_NEAR(hi, 1650, 1e-9);
    lo = -0.002;
    hi = -0.002;
    EXPECT_TRUE(WidenFlatRange(&lo, &hi));
    EXPECT_NEAR(lo, -0.0022, 1e-12) << "a tiny level keeps its scale";
    EXPECT_NEAR(hi, -0.0018, 1e-12);
    lo = 0.0;
    hi = 0.0;
    EXPECT_TRUE(WidenFlatRange(&lo, &hi)) << "an all-zero curve still gets a range";
    EXPECT_EQ(lo, -0.1);
    EXPECT_EQ(hi, 0.1);
}

TEST(FlatRange, KeptWhenTheCurveVaries) {
    // Ranges the old rule took for flat: their bounds agree to one decimal.
    const double ranges[][2] = {{5.21, 5.24}, {-0.0025, 0.0025}, {-5.3, 5.3}, {1500, 1500.05}};
    for (auto [a, b] : ranges) {
        double lo = a, hi = b;
        EXPECT_FALSE(WidenFlatRange(&lo, &hi)) << a << " .. " << b;
        EXPECT_EQ(lo, a);
        EXPECT_EQ(hi, b);
    }
    double lo = 0, hi = 1500;
    EXPECT_FALSE(WidenFlatRange(&lo, &hi));
}

TEST(Zoom, VisibleSpanFitLevelAndIndicator) {
    EXPECT_EQ(VisibleSpan(0.1), 1500);
    EXPECT_EQ(VisibleSpan(0.0), 1500000) << "the end of the table gives no endless view";
    EXPECT_EQ(FitZoomLevel(120), 12) << "150 s holds 2 minutes; 75 s would not";
    EXPECT_EQ(FitZoomLevel(150), 12);
    EXPECT_EQ(FitZoomLevel(7200), 7);
    EXPECT_EQ(FitZoomLevel(64999), 4);
    EXPECT_EQ(FitZoomLevel(0.1), 21);
    EXPECT_EQ(FitZoomLevel(1e9), 0);
    EXPECT_EQ(ZoomText(5), "X 5");
    EXPECT_EQ(ZoomText(0.05), "/ 20");
    EXPECT_EQ(ZoomText(1), "X 1");
    EXPECT_EQ(ZoomText(0.0002), "/ 5000");
}

TEST(Zoom, TableIsOneTwoFive) {
    EXPECT_EQ(zoomTable[0], 0.0001);
    EXPECT_EQ(zoomTable[ZOOM_START], 0.1);
    EXPECT_EQ(zoomTable[21], 1000);
    EXPECT_EQ(zoomTable[ZOOM_LAST], 0.0);
    for (int i = 1; i < 22; ++i) {
        double ratio = zoomTable[i] / zoomTable[i - 1];
        EXPECT_TRUE(std::fabs(ratio - 2) < 1e-9 || std::fabs(ratio - 2.5) < 1e-9) << i;
    }
}

class Store : public ::testing::Test {
  protected:
    void SetUp() override {
        windowCount = 0;
        currentWindow = -1;
        ResetSlot(0);
    }
};

TEST_F(Store, ResetSlotClearsFieldsAndBlanksTexts) {
    WindowRecord &w = windows[0];
    w.count = 12;
    w.value[64999] = 3;
    w.gapIndex[59999] = 7;
    w.legendCursorValue[2] = 44;
    double kept = 0;
    w.total = &kept;
    ResetSlot(0);
    EXPECT_EQ(w.count, 0);
    EXPECT_EQ(w.value[64999], 0.0);
    EXPECT_EQ(w.gapIndex[59999], 0);
    EXPECT_EQ(w.sourceWindow, 0);
    EXPECT_EQ(std::string(w.title), std::string(18, ' '));
    EXPECT_EQ(std::string(w.unit), std::string(18, ' '));
    EXPECT_EQ(std::string(w.labelText[4]), std::string(18, ' '));
    EXPECT_EQ(w.legendCursorValue[2], 44) << "kept by the reset";
    EXPECT_EQ(w.total, &kept) << "kept by the reset";
    w.total = nullptr;
}

TEST_F(Store, UnitTable) {
    EXPECT_STREQ(unitTable[0], "tr/min");
    EXPECT_STREQ(unitTable[2], " % ");
    EXPECT_STREQ(unitTable[11], " imp .");
    EXPECT_STREQ(unitTable[15], "Rev/min²");
}

TEST_F(Store, WorkCopyMarksGapsMissingAndHoldsNoValueOverThem) {
    WindowRecord &w = windows[0];
    double values[] = {0.0, 0.0, 10, 0.0, 0.0, 13, 14};
    w.count = 7;
    for (int k = 0; k < 7; ++k) {
        w.time[k] = 2.0 * k;
        w.value[k] = values[k];
    }
    w.gapIndex[0] = 0; // the recording starts with a gap
    w.gapIndex[1] = 3;
    w.gapIndex[2] = 4;
    w.hasGaps = 1;
    std::vector<double> t, v;
    std::vector<char> missing;
    MakeWorkCopy(w, &t, &v, &missing);
    ASSERT_EQ(v.size(), 8u);
    ASSERT_EQ(missing.size(), 7u);
    const std::vector<char> expected = {1, 0, 0, 1, 1, 0, 0};
    for (int k = 0; k < 7; ++k) {
        EXPECT_EQ(missing[k], expected[k]) << k;
        EXPECT_EQ(v[k], values[k]) << "no value is carried into a gap: " << k;
        EXPECT_EQ(t[k], 2.0 * k) << "a gap keeps its own time";
    }
}

TEST_F(Store, WorkCopyWithoutGapsIsTheRecording) {
    WindowRecord &w = windows[0];
    w.count = 3;
    w.value[0] = 1;
    w.value[1] = 0.0;
    w.value[2] = 3;
    w.gapIndex[0] = 1; // ignored: the recording says it has none
    w.hasGaps = 0;
    std::vector<double> t, v;
    std::vector<char> missing;
    MakeWorkCopy(w, &t, &v, &missing);
    EXPECT_EQ(v[1], 0.0);
    EXPECT_EQ(v[2], 3);
    EXPECT_EQ(missing, std::vector<char>(3, 0));
}

TEST_F(Store, MissingSamplesBeyondTheGapListEndTheSlot) {
    WindowRecord &w = windows[0];
    w.count = MAX_SAMPLES;
    std::fill(w.value, w.value + MAX_SAMPLES, 7.0);
    std::vector<char> missing(MAX_SAMPLES, 0);
    for (int i = 0; i < MAX_SAMPLES; i += 2)
        missing[i] = 1; // 32500 missing: all listed
    ListMissingSamples(w, missing);
    EXPECT_EQ(w.count, MAX_SAMPLES);
    EXPECT_EQ(GapCount(w), MAX_SAMPLES / 2);
    EXPECT_EQ(w.value[64998], 0.0) << "a missing sample holds 0.0, as in a recording";
    EXPECT_TRUE(IsGap(w, 64998));
    EXPECT_FALSE(IsGap(w, 64999));

    std::fill(missing.begin(), missing.end(), 1);
    missing[MAX_SAMPLES - 1] = 0;
    ListMissingSamples(w, missing);
    EXPECT_EQ(GapCount(w), MAX_GAPS);
    EXPECT_EQ(w.count, MAX_GAPS) << "no missing sample the list cannot hold is shown";
    EXPECT_EQ(w.hasGaps, 1);

    std::fill(missing.begin(), missing.end(), 0);
    w.count = 10;
    ListMissingSamples(w, missing);
    EXPECT_EQ(w.hasGaps, 0);
    EXPECT_EQ(GapCount(w), 0);
}

TEST(Derived, PositionOfAMetrePerMinuteRecording) {
    double t[] = {0, 1, 2, 3};
    double v[] = {60, 120, 120, 0};
    double time[4] = {}, value[4] = {}, total[5] = {};
    ComputePosition(t, v, 4, 1.0 / 60, time, value, total, nullptr);
    EXPECT_EQ(time[0], 0.0);
    EXPECT_EQ(value[0], 0.0);
    EXPECT_NEAR(value[1], (120 + 60) / 60.0 * 1 / 2, 1e-12);
    EXPECT_NEAR(value[2], 2.0, 1e-12);
    EXPECT_NEAR(value[3], 1.0, 1e-12);
    EXPECT_NEAR(total[3], 1.5 + 2.0 + 1.0, 1e-12);
    EXPECT_EQ(time[3], 3);
}

TEST(Derived, PositionUsesTheRealStep) {
    double t[] = {0, 10, 30};
    double v[] = {6, 6, 12};
    double time[3] = {}, value[3] = {}, total[4] = {};
    ComputePosition(t, v, 3, 1.0, time, value, total, nullptr);
    EXPECT_NEAR(value[1], 60, 1e-12);
    EXPECT_NEAR(value[2], (6 + 12) * 20 / 2.0, 1e-12);
}

// 60 m/min with sample 2 missing: the steps 1-2 and 2-3 were not measured.
TEST(Derived, PositionAddsNoDistanceOverAGap) {
    const std::vector<char> source = {0, 0, 1, 0, 0};
    std::vector<char> missing = MissingSteps(source, 5);
    EXPECT_EQ(missing, (std::vector<char>{0, 0, 1, 1, 0}));
    double t[] = {0, 1, 2, 3, 4};
    double v[] = {60, 60, 0, 60, 60};
    double time[5] = {}, value[5] = {}, total[6] = {};
    ComputePosition(t, v, 5, 1.0 / 60, time, value, total, missing.data());
    EXPECT_NEAR(value[1], 1.0, 1e-12);
    EXPECT_EQ(value[2], 0.0);
    EXPECT_EQ(value[3], 0.0);
    EXPECT_NEAR(value[4], 1.0, 1e-12);
    EXPECT_NEAR(total[3], 1.0, 1e-12) << "carries the last measured total";
    EXPECT_NEAR(total[4], 2.0, 1e-12) << "two measured steps of 1 m";
    EXPECT_EQ(time[3], 3);
}

TEST(Derived, AccelerationOfARevolutionsPerMinuteRecording) {
    double t[] = {0, 2, 4};
    double v[] = {600, 1200, 900};
    double time[3] = {}, value[3] = {};
    ComputeAcceleration(t, v, 3, 1.0 / 60, time, value, nullptr);
    EXPECT_EQ(value[0], 0.0);
    EXPECT_NEAR(value[1], (1200 - 600) / 60.0 / 2, 1e-12);
    EXPECT_NEAR(value[2], (900 - 1200) / 60.0 / 2, 1e-12);
    EXPECT_EQ(time[2], 4);
}

TEST(Derived, AccelerationIsNeverTakenAcrossAGap) {
    // A recording that starts and ends with gaps, and has one inside.
    const std::vector<char> source = {1, 0, 0, 1, 0, 0, 1};
    EXPECT_EQ(MissingSteps(source, 7), (std::vector<char>{0, 1, 0, 1, 1, 0, 1}));
    std::vector<char> missing = MissingSteps(source, 7);
    double t[] = {0, 1, 2, 3, 4, 5, 6};
    double v[] = {0, 600, 660, 0, 600, 660, 0};
    double time[7] = {}, value[7] = {};
    ComputeAcceleration(t, v, 7, 1.0 / 60, time, value, missing.data());
    EXPECT_NEAR(value[2], 1.0, 1e-12);
    EXPECT_EQ(value[4], 0.0) << "not the jump from the gap's 0.0";
    EXPECT_NEAR(value[5], 1.0, 1e-12);
    EXPECT_EQ(value[6], 0.0);
}

TEST(Derived, AverageSamplesMissingAtTheStartAndAroundAGap) {
    const std::vector<char> none(6, 0);
    EXPECT_EQ(MissingAverages(none, 6, 3), (std::vector<char>{1, 1, 0, 0, 0, 0}));
    EXPECT_EQ(MissingAverages(none, 6, 1), none) << "K = 1 is the recording itself";
    const std::vector<char> gap = {0, 0, 0, 1, 0, 0, 0, 0};
    EXPECT_EQ(MissingAverages(gap, 8, 1), gap);
    EXPECT_EQ(MissingAverages(gap, 8, 3), (std::vector<char>{1, 1, 0, 1, 1, 1, 0, 0}));
}

TEST(Derived, AllowedTypes) {
    for (int type : {0, 1, 5, 6})
        EXPECT_TRUE(PositionAllowed(type)) << type;
    for (int type : {2, 3, 4, 7, 8, 9, 10, 11, 12, 15})
        EXPECT_FALSE(PositionAllowed(type)) << type;
    for (int type : {0, 1, 5, 6, 7, 8, 9, 10})
        EXPECT_TRUE(AccelerationAllowed(type)) << type;
    for (int type : {2, 3, 4, 11, 12, 15})
        EXPECT_FALSE(AccelerationAllowed(type)) << type;
}

TEST(Derived, Titles) {
    EXPECT_EQ(DerivedTitle(KIND_POSITION, 1, "rec_12"), "Position curve of  rec_12");
    EXPECT_EQ(DerivedTitle(KIND_ACCELERATION, 0, "r"), "Courbe Accélération de  r");
    EXPECT_EQ(DerivedTitle(KIND_AVERAGE, 2, "r"), "Mittelwert der  r");
    EXPECT_EQ(DerivedTitle(KIND_AVERAGE, 4, "r"), "Media di  r");
}

} // namespace
