// Curves compared in one window: alignment, the readings at the measuring
// cursor, the dialog, and what closing, tiling and saving do to them.
#include "compare/compare.h"
#include "files/files.h"
#include "windows/graph_fixture.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>

using namespace testsupport;

namespace {

class CompareTest : public GraphWindowTest {
  protected:
    static std::vector<double> Ramp(int n, double from) {
        std::vector<double> v(n);
        for (int k = 0; k < n; ++k)
            v[k] = from + k;
        return v;
    }
    // Opens the dialog for `slot`, ticks the windows of the given slots and confirms.
    static void CompareThrough(int slot, const std::vector<int> &ticked) {
        currentWindow = slot;
        Gestion_fenetre(menuBar, MENU_COMPARE, nullptr, mainPanel);
        ASSERT_GT(comparePanel, 0);
        int box = COMPARE_FIRST_BOX;
        for (int s = 0; s < windowCount; ++s) {
            if (s == slot) continue;
            bool tick = std::find(ticked.begin(), ticked.end(), s) != ticked.end();
            SetCtrlVal(comparePanel, box, tick ? 1 : 0);
            Comparer(comparePanel, box, EVENT_COMMIT, nullptr, 0, 0);
            ++box;
        }
        Comparer(comparePanel, COMPARE_OK, EVENT_COMMIT, nullptr, 0, 0);
        EXPECT_EQ(comparePanel, 0);
    }
    static std::vector<LegendEntry> Line(int slot) {
        std::vector<LegendEntry> entries;
        GetGraphLegendLine(windows[slot].panel, WINDOW_GRAPH, &entries);
        return entries;
    }
    static int Plots(int slot) {
        int n = 0;
        GetNumGraphPlots(windows[slot].panel, WINDOW_GRAPH, &n);
        return n;
    }
    // Puts the measuring cursor on sample `index` of the slot's own curve.
    static void CursorAt(int slot, int index) {
        const WindowRecord &w = windows[slot];
        SetGraphCursor(w.panel, WINDOW_GRAPH, 1, w.time[index], w.value[index]);
        currentWindow = slot;
        ValCurseur(w.panel, WINDOW_GRAPH, EVENT_COMMIT, nullptr, 0, 0);
    }
    static void Date(int slot, int y, int mo, int d, int h, int mi) {
        WindowRecord &w = windows[slot];
        w.year = y;
        w.month = mo;
        w.day = d;
        w.hour = h;
        w.minute = mi;
    }
};

TEST_F(CompareTest, UndatedRecordingsAreAlignedAtTheirFirstSample) {
    int a = OpenRecording("A", Ramp(100, 0), 1);
    int b = OpenRecording("B", Ramp(50, 1000), 2);
    // B's clock starts later: its first sample still lies on A's first.
    for (int k = 0; k < windows[b].count; ++k)
        windows[b].time[k] += 500;
    const double shift = ComparisonShift(windows[a], windows[b]);
    EXPECT_EQ(ComparedSampleAt(windows[b], shift, 0.0), 0);
    EXPECT_EQ(ComparedSampleAt(windows[b], shift, 10.0), 5);
    // Between two samples the last one before is read.
    EXPECT_EQ(ComparedSampleAt(windows[b], shift, 11.0), 5);
    EXPECT_EQ(ComparedSampleAt(windows[b], shift, 98.0), 49);
    EXPECT_EQ(ComparedSampleAt(windows[b], shift, 99.0), -1);
    EXPECT_EQ(ComparedSampleAt(windows[b], shift, -1.0), -1);
}

TEST_F(CompareTest, DatedRecordingsAreAlignedByClockTimeAcrossAMonthEnd) {
    int a = OpenRecording("A", Ramp(600, 0), 1);
    int b = OpenRecording("B", Ramp(600, 0), 1);
    Date(a, 2024, 2, 29, 23, 59);
    Date(b, 2024, 3, 1, 0, 1);
    const double shift = ComparisonShift(windows[a], windows[b]);
    // B started two minutes after A: A's second 120 is B's first sample.
    EXPECT_EQ(ComparedSampleAt(windows[b], shift, 119.0), -1);
    EXPECT_EQ(ComparedSampleAt(windows[b], shift, 120.0), 0);
    EXPECT_EQ(ComparedSampleAt(windows[b], shift, 300.0), 180);
    // A and B the other way round: B's second 0 is A's 120.
    EXPECT_EQ(ComparedSampleAt(windows[a], ComparisonShift(windows[b], windows[a]), 0.0), 120);
}

TEST_F(CompareTest, OneUndatedRecordingFallsBackToTheFirstSample) {
    int a = OpenRecording("A", Ramp(100, 0), 1);
    int b = OpenRecording("B", Ramp(100, 0), 1);
    Date(a, 2024, 5, 1, 8, 0);
    EXPECT_EQ(ComparisonShift(windows[a], windows[b]), 0.0);
    Date(b, 2024, 13, 1, 8, 0); // not a date
    EXPECT_EQ(ComparisonShift(windows[a], windows[b]), 0.0);
}

TEST_F(CompareTest, ThreeCurvesAreDrawnAndReadAtTheCursorsTime) {
    int a = OpenRecording("Shaft A", Ramp(100, 0), 1);
    int b = OpenRecording("Shaft B", Ramp(50, 500), 2);
    int c = OpenRecording("Shaft C", Ramp(20, 900), 1, 0, {3});
    CompareThrough(a, {b, c});
    ASSERT_EQ(windows[a].comparedCount, 2);
    EXPECT_EQ(Plots(a), 3);
    CursorAt(a, 3);
    std::vector<LegendEntry> line = Line(a);
    ASSERT_EQ(line.size(), 3u);
    EXPECT_EQ(line[0].text.rfind("Shaft A: 3", 0), 0u) << line[0].text;
    // B samples every 2 s: at 3 s it still reads its sample of 2 s.
    EXPECT_EQ(line[1].text.rfind("Shaft B: 501", 0), 0u) << line[1].text;
    // C's sample at 3 s is missing.
    EXPECT_EQ(line[2].text, std::string("Shaft C: ") + MISSING_VALUE_TEXT + " tr/min");
    CursorAt(a, 40);
    line = Line(a);
    EXPECT_EQ(line[1].text.rfind("Shaft B: 520", 0), 0u) << line[1].text;
    EXPECT_EQ(line[2].text, std::string("Shaft C: ") + MISSING_VALUE_TEXT + " tr/min");
    // Each curve its own colour, none the window's.
    EXPECT_NE(line[1].colour, line[0].colour);
    EXPECT_NE(line[2].colour, line[0].colour);
    EXPECT_NE(line[1].colour, line[2].colour);
    // The cursor stays on the window's own curve.
    int plot = 0, index = 0;
    GetGraphCursorIndex(windows[a].panel, WINDOW_GRAPH, 1, &plot, &index);
    EXPECT_EQ(plot, windows[a].plotHandle);
    EXPECT_EQ(index, 40);
    // The automatic value axis holds the compared curves too.
    double lo = 0, hi = 0;
    Range(a, VAL_LEFT_YAXIS, &lo, &hi);
    EXPECT_GE(hi, 919.0);
    EXPECT_LE(lo, 0.0);
}

TEST_F(CompareTest, AFifthTickIsRefused) {
    for (int i = 0; i < 6; ++i)
        OpenRecording("W" + std::to_string(i), Ramp(10, i), 1);
    CompareThrough(0, {1, 2, 3, 4, 5});
    EXPECT_EQ(windows[0].comparedCount, MAX_COMPARED);
    EXPECT_EQ(windows[0].comparedSlot[3], 4);
}

TEST_F(CompareTest, TileAndANewCurveColourKeepTheComparedCurvesAndTheCursor) {
    int a = OpenRecording("A", Ramp(100, 0), 1);
    int b = OpenRecording("B", Ramp(100, 50), 1);
    CompareThrough(a, {b});
    CursorAt(a, 30);
    Gestion_fenetre(menuBar, MENU_TILE, nullptr, mainPanel);
    EXPECT_EQ(Plots(a), 2);
    int plot = 0, index = 0;
    GetGraphCursorIndex(windows[a].panel, WINDOW_GRAPH, 1, &plot, &index);
    EXPECT_EQ(plot, windows[a].plotHandle);
    EXPECT_EQ(index, 30);
    ASSERT_EQ(Line(a).size(), 2u);
    EXPECT_EQ(Line(a)[1].text.rfind("B: 80", 0), 0u) << Line(a)[1].text;
    // A new colour for the curve (item 0) draws it again.
    currentWindow = a;
    colourLive[0] = 0x00FF00;
    AppliquerCouleur(0);
    EXPECT_EQ(Plots(a), 2);
    GetGraphCursorIndex(windows[a].panel, WINDOW_GRAPH, 1, &plot, &index);
    EXPECT_EQ(plot, windows[a].plotHandle);
    EXPECT_EQ(index, 30);
}

TEST_F(CompareTest, SaveAndCsvKeepTheWindowsOwnSamples) {
    int a = OpenRecording("A", Ramp(100, 0), 1);
    int b = OpenRecording("B", Ramp(300, 7), 1);
    const std::string before = CsvOfSlot(a);
    CompareThrough(a, {b});
    EXPECT_EQ(CsvOfSlot(a), before);
    currentWindow = a;
    const std::string path = dir.file("a.vlr");
    Ecrire_fichier(path, VAL_NEW_FILE_SELECTED);
    RecordingFile f;
    ASSERT_TRUE(ParseRecordingFile(ReadFile(path), &f));
    ASSERT_EQ(f.value.size(), 100u);
    EXPECT_EQ(f.value[99], 99.0);
    EXPECT_EQ(windows[a].count, 100);
}

TEST_F(CompareTest, ClosingAComparedWindowDropsItsCurveAndFollowsTheMovedSlots) {
    int x = OpenRecording("X", Ramp(10, 0), 1);
    int a = OpenRecording("A", Ramp(100, 0), 1);
    int b = OpenRecording("B", Ramp(100, 200), 1);
    int c = OpenRecording("C", Ramp(100, 400), 1);
    CompareThrough(a, {b, c});
    CompareThrough(c, {a});
    currentWindow = b;
    Fermer_fenetre();
    // A (slot 1) keeps C, now in slot 2; C keeps A.
    ASSERT_EQ(windows[a].comparedCount, 1);
    EXPECT_EQ(windows[a].comparedSlot[0], 2);
    EXPECT_EQ(Plots(a), 2);
    EXPECT_EQ(Line(a).size(), 2u);
    EXPECT_EQ(Line(a)[1].text.rfind("C: ", 0), 0u);
    currentWindow = x;
    Fermer_fenetre();
    // Everything one slot down: A in 0, C in 1.
    EXPECT_EQ(windows[0].comparedSlot[0], 1);
    EXPECT_EQ(windows[1].comparedSlot[0], 0);
    currentWindow = 0;
    Fermer_fenetre();
    EXPECT_EQ(windows[0].comparedCount, 0);
    EXPECT_EQ(Plots(0), 1);
    EXPECT_TRUE(Line(0).empty());
}

TEST_F(CompareTest, NoTickEndsTheComparison) {
    int a = OpenRecording("A", Ramp(100, 0), 1);
    int b = OpenRecording("B", Ramp(100, 5), 1);
    CompareThrough(a, {b});
    CompareThrough(a, {});
    EXPECT_EQ(windows[a].comparedCount, 0);
    EXPECT_EQ(Plots(a), 1);
    EXPECT_TRUE(Line(a).empty());
}

TEST_F(CompareTest, PictureOfThreeCurvesComparedAndTheirExportedSvg) {
    std::string out = std::getenv("VELORINDER_PICTURES") ? std::getenv("VELORINDER_PICTURES")
                                                         : ::testing::TempDir();
    SetMainSize(700, 1100);
    std::vector<double> slow = RunUpCurve(900), late = RunUpCurve(500);
    for (double &v : slow)
        v *= 0.8;
    for (double &v : late)
        v = v * 1.1 + 50;
    // Spindle 2 was started two minutes after spindle 1; spindle 3 has no date.
    int a = OpenRecording("Spindle 1", RunUpCurve(1200), 1);
    int b = OpenRecording("Spindle 2", slow, 1);
    int c = OpenRecording("Spindle 3", late, 2, 0, {100, 101, 102});
    Date(a, 2024, 3, 12, 9, 0);
    Date(b, 2024, 3, 12, 9, 2);
    CompareThrough(a, {b, c});
    currentWindow = a;
    Gestion_affichage(menuBar, MENU_LEGEND, nullptr, mainPanel);
    CursorAt(a, 400);
    const std::string picture = out + "/compare_three_curves.png";
    ASSERT_TRUE(SavePicture(picture));
    EXPECT_GT(std::filesystem::file_size(picture), 5000u);
    RegisterFileCallbacks();
    const std::string svg = out + "/compare_export.svg";
    std::filesystem::remove(svg);
    Expect("Export as picture", VAL_NEW_FILE_SELECTED, svg);
    Gestion_fichier(menuBar, MENU_EXPORT_PICTURE, nullptr, mainPanel);
    EXPECT_NE(ReadFile(svg).find("Spindle 3"), std::string::npos);
}

} // namespace
