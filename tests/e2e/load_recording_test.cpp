// A recording line decoded into a real graph window (LoadRecording), as the
// file reader and the list of transferred recordings open it.
#include "link/link.h"
#include "windows/graph_fixture.h"

#include <string>

namespace {

const std::string EXAMPLE = "0012;1;1;001.00;00010;1.50E+2;2.50E-1;";

// ---------------------------------------------------------------- LoadRecording

class LoadRecordingTest : public testsupport::GraphWindowTest {
  protected:
    void SetUp() override {
        GraphWindowTest::SetUp();
        ResetImportEntry(0);
    }
    int Load(const std::string &line, const std::string &name = "recording_12.mon") {
        importTable[0].fileName = name;
        return LoadRecording(line, 0);
    }
};

TEST_F(LoadRecordingTest, ExampleOpensAWindowWithTwoSamples) {
    ASSERT_EQ(Load(EXAMPLE), 0);
    ASSERT_EQ(windowCount, 1);
    EXPECT_EQ(currentWindow, 0);
    const WindowRecord &w = windows[0];
    EXPECT_EQ(w.count, 2);
    EXPECT_EQ(w.time[0], 0.0);
    EXPECT_EQ(w.value[0], 150.0);
    EXPECT_EQ(w.time[1], 10.0);
    EXPECT_EQ(w.value[1], 0.25);
    EXPECT_EQ(w.measureType, 0);
    EXPECT_EQ(w.mode, 1);
    EXPECT_EQ(w.coefficient, 1.0);
    EXPECT_EQ(w.interval, 10u);
    EXPECT_EQ(w.sourceWindow, -1);
    EXPECT_EQ(w.hasGaps, 0);
    EXPECT_STREQ(w.title, "recording_12.mon");
    EXPECT_EQ(w.yMax, 150.0);
    EXPECT_EQ(w.yMin, 0.25);
    EXPECT_GT(w.plotHandle, 0) << "the curve is drawn";
    int plots = 0;
    GetNumGraphPlots(w.panel, WINDOW_GRAPH, &plots);
    EXPECT_GE(plots, 1);
}

TEST_F(LoadRecordingTest, UndefinedFieldsBecomeGaps) {
    ASSERT_EQ(Load("0004;0;7;001.00;00005;1.00E+1;-2.0E+0;3.00E+1;1.X0E+1;5.00E+1;"), 0);
    const WindowRecord &w = windows[0];
    ASSERT_EQ(w.count, 5);
    EXPECT_EQ(w.value[1], 0.0);
    EXPECT_EQ(w.value[3], 0.0);
    EXPECT_EQ(w.value[4], 50.0);
    EXPECT_EQ(w.hasGaps, 1);
    EXPECT_EQ(w.gapIndex[0], 1);
    EXPECT_EQ(w.gapIndex[1], 3);
    EXPECT_EQ(w.gapIndex[2], 0) << "two gaps only";
    EXPECT_EQ(w.measureType, 6);
    EXPECT_EQ(w.yMax, 50.0);
}

TEST_F(LoadRecordingTest, DecodingStopsAtAFieldWithoutMarker) {
    ASSERT_EQ(Load("0004;0;1;001.00;00005;1.00E+1;2.00E+1;300.0;;4.00E+1;5.00E+1;"), 0);
    EXPECT_EQ(windows[0].count, 2) << "times stop rising after the second sample";
    EXPECT_EQ(windows[0].value[1], 20.0);
}

TEST_F(LoadRecordingTest, ZeroIntervalKeepsOneSample) {
    ASSERT_EQ(Load("0004;0;1;001.00;00000;1.00E+1;2.00E+1;3.00E+1;"), 0);
    EXPECT_EQ(windows[0].count, 1);
    EXPECT_EQ(windows[0].value[0], 10.0);
}

TEST_F(LoadRecordingTest, LongNameIsCutForTheWindowOnly) {
    std::string path = "/" + std::string(120, 'p') + "/recording_12.mon";
    ASSERT_EQ(Load(EXAMPLE, path), 0);
    EXPECT_EQ(importTable[0].fileName, path) << "the whole path stays to open the file later";
    EXPECT_EQ(std::string(windows[0].title), path.substr(0, 49));
    std::string title;
    GetPanelAttribute(windows[0].panel, ATTR_TITLE, &title);
    EXPECT_EQ(title, path.substr(0, 49));
    // A name of several-byte characters is never cut inside one.
    ASSERT_EQ(Load(EXAMPLE, std::string(48, 'a') + "éé"), 0);
    EXPECT_EQ(std::string(windows[1].title), std::string(48, 'a'));
}

TEST_F(LoadRecordingTest, GarbageAndShortLinesOpenWithoutHarm) {
    ASSERT_EQ(Load("0012;1"), 0);
    EXPECT_EQ(windows[0].count, 0);
    ASSERT_EQ(Load(std::string(300, 'E')), 0);
    EXPECT_LE(windows[1].count, 1);
}

TEST_F(LoadRecordingTest, NineWindowsRefuseATenth) {
    for (int k = 0; k < MAX_WINDOWS; ++k)
        ASSERT_EQ(Load(EXAMPLE), 0);
    Expect("Error n° -101");
    EXPECT_EQ(Load(EXAMPLE), -1);
    EXPECT_EQ(windowCount, MAX_WINDOWS);
    EXPECT_EQ(testsupport::AppTest::PopupTitles().back(), "Error n° -101");
    EXPECT_EQ(GetWaitCursorState(), 0);
}

} // namespace
