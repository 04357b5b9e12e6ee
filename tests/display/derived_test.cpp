// Range widening, zoom arithmetic and the derived computations: no panels.
#include "display/display.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(FlatRange, WidenedWhenBoundsAgreeToOneDecimal) {
    double lo = 5.21, hi = 5.24;
    EXPECT_TRUE(WidenFlatRange(&lo, &hi));
    EXPECT_NEAR(lo, 5.11, 1e-12);
    EXPECT_NEAR(hi, 5.34, 1e-12);
    lo = -5.3;
    hi = 5.3;
    EXPECT_TRUE(WidenFlatRange(&lo, &hi)) << "the absolute values agree";
    EXPECT_NEAR(lo, -5.4, 1e-12);
    EXPECT_NEAR(hi, 5.4, 1e-12);
    lo = 5.02;
    hi = 5.08;
    EXPECT_TRUE(WidenFlatRange(&lo, &hi));
    EXPECT_NEAR(lo, 4.92, 1e-12);
    EXPECT_NEAR(hi, 5.18, 1e-12);
    lo = 0.0;
    hi = 0.0;
    EXPECT_TRUE(WidenFlatRange(&lo, &hi)) << "an all-zero curve still gets a range";
    EXPECT_LT(lo, hi);
}

TEST(FlatRange, KeptWhenTheCurveVaries) {
    double lo = 5.21, hi = 5.34;
    EXPECT_FALSE(WidenFlatRange(&lo, &hi));
    EXPECT_EQ(lo, 5.21);
    EXPECT_EQ(hi, 5.34);
    lo = 4.95;
    hi = 5.05;
    EXPECT_FALSE(WidenFlatRange(&lo, &hi));
    lo = 0;
    hi = 1500;
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

TEST_F(Store, WorkCopyHoldsTheLastValidValueOverGaps) {
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
    MakeWorkCopy(w, &t, &v);
    ASSERT_EQ(v.size(), 8u);
    std::vector<double> expected = {0.0, 0.0, 10, 10, 10, 13, 14};
    for (int k = 0; k < 7; ++k) {
        EXPECT_EQ(v[k], expected[k]) << k;
        EXPECT_EQ(t[k], 2.0 * k) << "a gap keeps its own time";
    }
    EXPECT_EQ(v[1], 0.0) << "a real zero that is no gap stays";
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
    MakeWorkCopy(w, &t, &v);
    EXPECT_EQ(v[1], 0.0);
    EXPECT_EQ(v[2], 3);
}

TEST(Derived, PositionOfAMetrePerMinuteRecording) {
    double t[] = {0, 1, 2, 3};
    double v[] = {60, 120, 120, 0};
    double time[4] = {}, value[4] = {}, total[5] = {};
    ComputePosition(t, v, 4, 1.0 / 60, time, value, total);
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
    ComputePosition(t, v, 3, 1.0, time, value, total);
    EXPECT_NEAR(value[1], 60, 1e-12);
    EXPECT_NEAR(value[2], (6 + 12) * 20 / 2.0, 1e-12);
}

TEST(Derived, AccelerationOfARevolutionsPerMinuteRecording) {
    double t[] = {0, 2, 4};
    double v[] = {600, 1200, 900};
    double time[3] = {}, value[3] = {};
    ComputeAcceleration(t, v, 3, 1.0 / 60, time, value);
    EXPECT_EQ(value[0], 0.0);
    EXPECT_NEAR(value[1], (1200 - 600) / 60.0 / 2, 1e-12);
    EXPECT_NEAR(value[2], (900 - 1200) / 60.0 / 2, 1e-12);
    EXPECT_EQ(time[2], 4);
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
