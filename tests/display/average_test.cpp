// The moving average: its arithmetic against the in-order sums, and the
// constant popup on real graph windows.
#include "export/export.h"
#include "link/link.h"
#include "windows/graph_fixture.h"

#include <QAbstractButton>
#include <QWidget>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <random>

namespace {

using testsupport::GraphWindowTest;
using testsupport::OpenRecording;

// Largest |value| of each trailing window of k samples (0.0 before the first).
std::vector<double> WindowMagnitudes(const std::vector<double> &v, int k) {
    std::vector<double> out(v.size(), 0.0);
    std::deque<int> d; // indexes of falling magnitudes
    for (int i = 0; i < static_cast<int>(v.size()); ++i) {
        while (!d.empty() && std::fabs(v[d.back()]) <= std::fabs(v[i]))
            d.pop_back();
        d.push_back(i);
        if (d.front() <= i - k) d.pop_front();
        if (i >= k - 1) out[i] = std::fabs(v[d.front()]);
    }
    return out;
}

void ExpectAgreesWithTheInOrderSums(const std::vector<double> &v, int k, const char *what) {
    int n = static_cast<int>(v.size());
    std::vector<double> ours(n, -1.0), reference(n, -2.0);
    MovingAverage(v.data(), n, k, ours.data());
    MovingAverageInOrder(v.data(), n, k, reference.data());
    std::vector<double> scale = WindowMagnitudes(v, k);
    int wrong = 0;
    for (int i = 0; i < n && wrong < 5; ++i) {
        if (std::fabs(ours[i] - reference[i]) <= 1e-12 * scale[i]) continue;
        ++wrong;
        ADD_FAILURE() << what << ", n " << n << ", k " << k << ", sample " << i << ": " << ours[i]
                      << " against " << reference[i];
    }
}

// Magnitudes from 1e-3 to 1e7, either sign.
std::vector<double> WideRandom(int n, unsigned series) {
    std::mt19937_64 rng(series);
    std::uniform_real_distribution<double> exponent(-3, 7), sign(-1, 1);
    std::vector<double> v(n);
    for (double &x : v)
        x = std::pow(10.0, exponent(rng)) * (sign(rng) < 0 ? -1 : 1);
    return v;
}

// Bursts of values from 1e-12 to 1e7, each followed by a long run of zeros
// (which must average to exactly 0) and then by values near 1e-3.
std::vector<double> BurstsThenQuiet(int n, unsigned series) {
    std::mt19937_64 rng(series);
    std::uniform_real_distribution<double> unit(0, 1), exponent(-12, 7);
    std::vector<double> v(n);
    for (int i = 0; i < n; ++i) {
        int phase = i % 4000;
        v[i] = phase < 300    ? std::pow(10.0, exponent(rng)) * (unit(rng) < 0.5 ? -1 : 1)
               : phase < 2000 ? 0.0
                              : 1e-3 * (0.5 + unit(rng));
    }
    return v;
}

TEST(MovingAverage, AgreesWithTheInOrderSumsOnAnyData) {
    const int sizes[][2] = {{2, 1},      {7, 6},       {1000, 1},     {1000, 2},  {1000, 37},
                            {1000, 999}, {20000, 300}, {20000, 4999}, {65000, 1}, {65000, 64999}};
    unsigned series = 1;
    for (auto [n, k] : sizes) {
        ExpectAgreesWithTheInOrderSums(WideRandom(n, series++), k, "wide");
        ExpectAgreesWithTheInOrderSums(BurstsThenQuiet(n, series++), k, "bursts");
    }
}

TEST(MovingAverage, AgreesWithTheInOrderSumsOnAFullRecordingHalfAveraged) {
    ExpectAgreesWithTheInOrderSums(WideRandom(MAX_SAMPLES, 99), 32768, "wide");
    ExpectAgreesWithTheInOrderSums(BurstsThenQuiet(MAX_SAMPLES, 98), 32768, "bursts");
}

class AverageTest : public GraphWindowTest {
  protected:
    void SetUp() override {
        GraphWindowTest::SetUp();
        filterConstant = 0;
    }
    void TearDown() override {
        if (constantPanel > 0) Constante(constantPanel, CONSTANT_QUIT, EVENT_COMMIT, nullptr, 0, 0);
        GraphWindowTest::TearDown();
    }

    // Chooses the source in the selection popup's place and opens the constant popup.
    void ChooseSource(int slot) {
        sourceList[0] = slot;
        sourceCount = 1;
        TraitementFiltre(0, KIND_AVERAGE);
    }
    static void Click(int control) {
        auto *button = qobject_cast<QAbstractButton *>(CtrlWidget(constantPanel, control));
        ASSERT_NE(button, nullptr) << "control " << control;
        button->click();
    }
    // Types k into the popup and confirms it.
    static void Confirm(int k) {
        ASSERT_GT(constantPanel, 0) << "the constant popup is open";
        SetCtrlVal(constantPanel, CONSTANT_VALUE, k);
        Click(CONSTANT_OK);
    }
    static int ShownConstant() {
        int k = -1;
        GetCtrlVal(constantPanel, CONSTANT_VALUE, &k);
        return k;
    }
    static bool MenusDimmed() {
        int dimmed = 0;
        GetMenuBarAttribute(menuBar, 30, ATTR_DIMMED, &dimmed);
        return dimmed != 0;
    }
    // Values of a result, NAN for a missing sample.
    static void ExpectValues(const WindowRecord &w, const std::vector<double> &expected) {
        ASSERT_EQ(w.count, static_cast<int>(expected.size()));
        for (int i = 0; i < w.count; ++i) {
            EXPECT_EQ(IsGap(w, i), std::isnan(expected[i])) << "missing at " << i;
            if (!std::isnan(expected[i])) {
                EXPECT_DOUBLE_EQ(w.value[i], expected[i]) << i;
            }
            EXPECT_EQ(w.time[i], 2.0 * i) << "the source's time at " << i;
        }
    }
};

TEST_F(AverageTest, AverageOverTwoOpensAWindowAtTheSourcesTimes) {
    int src = OpenRecording("ramp", {1, 2, 3, 4, 5}, 2);
    ChooseSource(src);
    EXPECT_EQ(ShownConstant(), 1) << "the first use proposes 1";
    EXPECT_TRUE(MenusDimmed());
    EXPECT_EQ(windows[src].isAverage, 1);
    Confirm(2);
    ASSERT_EQ(windowCount, 2);
    EXPECT_EQ(constantPanel, 0);
    EXPECT_FALSE(MenusDimmed());
    EXPECT_EQ(GetWaitCursorState(), 0);
    const WindowRecord &w = windows[1];
    EXPECT_EQ(currentWindow, 1);
    EXPECT_STREQ(w.title, "Average of  ramp");
    EXPECT_EQ(w.isAverage, 1);
    EXPECT_EQ(w.isPosition + w.isAcceleration, 0);
    EXPECT_EQ(w.total, nullptr) << "no running total: the export would show one";
    EXPECT_EQ(w.sourceWindow, src);
    EXPECT_EQ(w.interval, 2u);
    ExpectValues(w, {NAN, 1.5, 2.5, 3.5, 4.5});
    EXPECT_EQ(w.averageConstant, 2);

    // The next use proposes the constant accepted last; Quit makes nothing.
    ChooseSource(src);
    EXPECT_EQ(ShownConstant(), 2);
    Click(CONSTANT_QUIT);
    EXPECT_EQ(constantPanel, 0);
    EXPECT_FALSE(MenusDimmed());
    EXPECT_EQ(windowCount, 2);
}

TEST_F(AverageTest, ConstantNotBelowTheCountIsRefusedAndCanBeCorrected) {
    int src = OpenRecording("ramp", {1, 2, 3, 4, 5}, 2);
    ChooseSource(src);
    int popup = constantPanel;
    Expect("  Constant of the filter");
    Confirm(5);
    ASSERT_FALSE(PopupLog().empty());
    EXPECT_EQ(PopupLog().back().title, "  Constant of the filter");
    EXPECT_EQ(PopupLog().back().text,
              "The constant must be less than the total number of measurements");
    EXPECT_EQ(constantPanel, popup) << "the popup stays open";
    EXPECT_TRUE(PanelExists(popup));
    EXPECT_EQ(ShownConstant(), 1);
    EXPECT_TRUE(MenusDimmed());
    EXPECT_EQ(windowCount, 1);
    EXPECT_EQ(GetWaitCursorState(), 0);

    Confirm(4); // the same source, not chosen again
    ASSERT_EQ(windowCount, 2);
    ExpectValues(windows[1], {NAN, NAN, NAN, 2.5, 3.5});
}

TEST_F(AverageTest, ZeroCountsAsOneAndReproducesTheSource) {
    std::vector<double> source = {3.25, -1, 0, 1e6, 7};
    int src = OpenRecording("raw", source, 2);
    ChooseSource(src);
    Confirm(0);
    ASSERT_EQ(windowCount, 2);
    EXPECT_EQ(filterConstant, 1);
    ExpectValues(windows[1], source);
}

TEST_F(AverageTest, NineWindowsRefuseBeforeThePopup) {
    for (int i = 0; i < MAX_WINDOWS; ++i)
        OpenRecording("rec" + std::to_string(i), {1, 2, 3});
    Expect("Error n° -101");
    ChooseSource(0);
    EXPECT_EQ(constantPanel, 0);
    EXPECT_FALSE(MenusDimmed());
    EXPECT_EQ(windowCount, MAX_WINDOWS);
}

// The first K-1 samples are no average: missing, not 0, and out of the axis.
TEST_F(AverageTest, LeadingSamplesAreMissingAndKeepOutOfTheAxis) {
    std::vector<double> v(40);
    for (int i = 0; i < 40; ++i)
        v[i] = 1500 + (i % 2 ? 10 : -10);
    int src = OpenRecording("steady", v, 2);
    ChooseSource(src);
    Confirm(10);
    ASSERT_EQ(windowCount, 2);
    const WindowRecord &w = windows[1];
    EXPECT_EQ(w.count, 40) << "as many samples as the source";
    ASSERT_EQ(GapCount(w), 9);
    EXPECT_EQ(w.gapIndex[8], 8);
    EXPECT_FALSE(IsGap(w, 9));
    double lo = 0, hi = 0;
    GetAxisScalingMode(w.panel, WINDOW_GRAPH, VAL_LEFT_YAXIS, nullptr, &lo, &hi);
    EXPECT_GT(lo, 1000) << "the axis is that of the averages, not pulled down to 0";
    EXPECT_LT(hi, 2000);
}

// Samples 3 of a ramp missing: every average over it is missing too.
TEST_F(AverageTest, AverageOverAMissingSampleIsMissing) {
    int src = OpenRecording("ramp", {1, 2, 3, 0, 5, 6, 7}, 2, 0, {3});
    ChooseSource(src);
    Confirm(2);
    ASSERT_EQ(windowCount, 2);
    ExpectValues(windows[1], {NAN, 1.5, 2.5, NAN, NAN, 5.5, 6.5});
}

// The largest K whose leading missing samples the gap list holds is taken;
// one more is refused with a message.
TEST_F(AverageTest, ConstantBeyondTheGapListIsRefused) {
    int src = OpenRecording("long", testsupport::RunUpCurve(MAX_SAMPLES), 1);
    ChooseSource(src);
    Expect("  Constant of the filter");
    Confirm(MAX_FILTER_CONSTANT + 1);
    ASSERT_FALSE(PopupLog().empty());
    EXPECT_EQ(PopupLog().back().text, "The constant must not exceed 60001 measurements");
    EXPECT_EQ(windowCount, 1);
    EXPECT_EQ(ShownConstant(), MAX_FILTER_CONSTANT);
    Confirm(MAX_FILTER_CONSTANT);
    ASSERT_EQ(windowCount, 2);
    const WindowRecord &w = windows[1];
    EXPECT_EQ(w.count, MAX_SAMPLES);
    EXPECT_EQ(GapCount(w), MAX_GAPS);
    EXPECT_FALSE(IsGap(w, MAX_GAPS));
}

// Averages over 3 and over 2 of one recording: each window keeps its own
// constant, through the move of slots when a window before it closes.
TEST_F(AverageTest, EachAverageKeepsItsOwnConstant) {
    OpenRecording("first", {1, 2, 3});
    int src = OpenRecording("ramp", {1, 2, 3, 4, 5}, 2);
    ChooseSource(src);
    Confirm(3);
    ChooseSource(src);
    Confirm(2);
    ASSERT_EQ(windowCount, 4);
    EXPECT_EQ(filterConstant, 2) << "the popup proposes the last one";
    EXPECT_EQ(windows[2].averageConstant, 3);
    EXPECT_EQ(windows[3].averageConstant, 2);
    currentWindow = 0;
    Fermer_fenetre();
    ASSERT_EQ(windowCount, 3);
    EXPECT_EQ(windows[1].averageConstant, 3);
    EXPECT_EQ(windows[2].averageConstant, 2);
    EXPECT_EQ(windows[0].averageConstant, 0) << "a recording has none";
}

// Average A over 3, then B over 2, then A exported: its workbook names 3,
// read back by an independent reader.
TEST_F(AverageTest, WorkbookOfAnAverageShowsItsOwnConstant) {
    testsupport::CopyFromProgramDir("velorind.xl", dir.path());
    spreadsheetPanel = LoadPanel(0, ResourceFile(), PANEL_SPREADSHEET);
    progressPanel = LoadPanel(0, ResourceFile(), PANEL_PROGRESS);
    ASSERT_GT(spreadsheetPanel, 0);
    ASSERT_GT(progressPanel, 0);
    spreadsheetDir = dir.path();
    int src = OpenRecording("ramp", {1, 2, 3, 4, 5}, 2);
    ChooseSource(src);
    Confirm(3);
    const int a = currentWindow;
    ChooseSource(src);
    Confirm(2);
    currentWindow = a;
    auto click = [](int control) {
        qobject_cast<QAbstractButton *>(CtrlWidget(spreadsheetPanel, control))->click();
    };
    Gestion_import(menuBar, MENU_SPREADSHEET_EXPORT, nullptr, mainPanel);
    click(EXCEL_RUN);
    ASSERT_EQ(excelStarted, 1);
    Expect("Save", VAL_NEW_FILE_SELECTED, dir.file("a.xlsx"));
    click(EXCEL_EXPORT);
    Expect("EXCEL Sheet");
    click(EXCEL_QUIT);
    RemovePopup(1);
    DiscardPanel(spreadsheetPanel);
    DiscardPanel(progressPanel);
    spreadsheetPanel = progressPanel = 0;

    const std::string command = "/usr/bin/python3 -c \"import openpyxl,sys\n"
                                "ws=openpyxl.load_workbook(sys.argv[1]).worksheets[0]\n"
                                "print(str(ws.cell(5, 6).value).strip())\" '" +
                                dir.file("a.xlsx") + "'";
    std::FILE *pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char line[256] = {};
    ASSERT_NE(std::fgets(line, sizeof line, pipe), nullptr);
    EXPECT_EQ(pclose(pipe), 0);
    EXPECT_STREQ(line, "3\n") << "the constant of the exported window, not the last one used";
}

// The popup in English and German (pictures with VELORINDER_PICTURES=<dir>).
TEST_F(AverageTest, PopupAndRefusalSpeakTheLanguage) {
    const char *out = std::getenv("VELORINDER_PICTURES");
    int src = OpenRecording("ramp", {1, 2, 3}, 2);
    const char *titles[2] = {"Value of the constant", "Wert der Konstante"};
    const char *labels[2] = {"Value (in number of measurements)", "Wert (in Anzahl der Messungen)"};
    const char *quits[2] = {"Quit", "Beenden"};
    const char *names[2] = {"en", "de"};
    for (int i = 0; i < 2; ++i) {
        language = i + 1;
        ChooseSource(src);
        std::string text;
        GetPanelAttribute(constantPanel, ATTR_TITLE, &text);
        EXPECT_EQ(text, titles[i]);
        GetCtrlAttribute(constantPanel, CONSTANT_VALUE, ATTR_LABEL_TEXT, &text);
        EXPECT_EQ(text, labels[i]);
        GetCtrlAttribute(constantPanel, CONSTANT_QUIT, ATTR_LABEL_TEXT, &text);
        EXPECT_EQ(text, quits[i]);
        if (out) {
            Settle();
            std::string path = std::string(out) + "/constant_popup_" + names[i] + ".png";
            EXPECT_TRUE(PanelWidget(constantPanel)->grab().save(QString::fromStdString(path)));
        }
        Click(CONSTANT_QUIT);
    }
    ChooseSource(src);
    Expect("  Konstante des Filters");
    Confirm(3);
    EXPECT_EQ(PopupLog().back().text,
              "Die Konstante muss kleiner als die gesamte Anzahl der Messungen sein");
}

TEST_F(AverageTest, PictureOfANoisyRecordingAndItsAverage) {
    std::string dir = std::getenv("VELORINDER_PICTURES") ? std::getenv("VELORINDER_PICTURES")
                                                         : ::testing::TempDir();
    SetMainSize(600, 1300);
    std::vector<double> v = testsupport::RunUpCurve(3000);
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0, 60);
    for (double &x : v)
        x = std::max(0.0, x + noise(rng));
    int src = OpenRecording("noisy.mon", v, 1);
    ChooseSource(src);
    Confirm(60);
    ASSERT_EQ(windowCount, 2);
    Gestion_fenetre(menuBar, MENU_TILE, nullptr, mainPanel);
    std::string path = dir + "/moving_average.png";
    ASSERT_TRUE(SavePicture(path));
    EXPECT_GT(std::filesystem::file_size(path), 5000u);
}

} // namespace
