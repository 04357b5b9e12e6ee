// The spreadsheet export: names and cell texts, and workbooks written from
// graph windows through the dialog, read back by an independent reader
// (python3-openpyxl).
#include "export/export.h"
#include "link/link.h"
#include "windows/graph_fixture.h"

#include <QAbstractButton>
#include <QProgressBar>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <sys/mount.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using testsupport::GraphWindowTest;
using testsupport::OpenRecording;

// ---------------------------------------------------------------- pure functions

TEST(SheetNames, ProposedNameCountsWithTwoDigitsThenThree) {
    EXPECT_EQ(ProposedSheetName("velorx", 1), "velorx01.xlsx");
    EXPECT_EQ(ProposedSheetName("velorx", 2), "velorx02.xlsx");
    EXPECT_EQ(ProposedSheetName("velorx", 99), "velorx99.xlsx");
    EXPECT_EQ(ProposedSheetName("velorx", 100), "velorx100.xlsx");
}

TEST(SheetNames, ChosenPathEndsInXlsx) {
    EXPECT_EQ(WorkbookPath("/d/run"), "/d/run.xlsx");
    EXPECT_EQ(WorkbookPath("/d/run.xlsx"), "/d/run.xlsx");
    EXPECT_EQ(WorkbookPath("/d/run.XLS"), "/d/run.XLSx");
    EXPECT_EQ(WorkbookPath("/d/run.xls.xlsx"), "/d/run.xlsx");
}

TEST(SheetNames, CleaningDropsAccentsAndQuotesAndEndsAtTwoBlanks) {
    EXPECT_EQ(CleanExportName("Essai «été» 'A\"B'"), "Essai t AB");
    EXPECT_EQ(CleanExportName("run-1_x.y+z=w*2:3/4\\5"), "run-1_x.y+z=w*2:3/4\\5");
    EXPECT_EQ(CleanExportName("two  blanks"), "two ");
    EXPECT_EQ(CleanExportName(std::string(400, 'a')).size(), 299u);
}

TEST(SheetCells, TextsAreRoundedOrPaddedNeverCut) {
    EXPECT_EQ(RoundedNumberText(123.456789, 9), "123.45679");
    EXPECT_EQ(RoundedNumberText(5.766667, 8), "5.766667");
    EXPECT_EQ(RoundedNumberText(99.999999, 8), "100.0000");
    EXPECT_EQ(RoundedNumberText(-12345678.9, 8), "-12345679");
    EXPECT_EQ(PadCellText("rpm", 8), "rpm     ");
    EXPECT_EQ(PadCellText("Rev/min²", 8), "Rev/min²") << "no byte of a letter is lost";
}

// ---------------------------------------------------------------- the first sheet, read back

struct Cell {
    std::string type; // python's: int, float, str
    std::string value;
};
using Sheet = std::map<std::pair<int, int>, Cell>;

Sheet ReadWorkbook(const std::string &path) {
    // The system's python, where the distribution's openpyxl is.
    const std::string python = fs::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
    const std::string command =
        python +
        " -c \"import openpyxl,sys\n"
        "ws=openpyxl.load_workbook(sys.argv[1]).worksheets[0]\n"
        "for row in ws.iter_rows():\n"
        "  for c in row:\n"
        "    if c.value is not None: print(c.row, c.column, type(c.value).__name__, "
        "repr(c.value)[1:-1] if isinstance(c.value, str) else c.value, sep='\\t')\" '" +
        path + "'";
    Sheet sheet;
    std::FILE *pipe = popen(command.c_str(), "r");
    if (!pipe) return sheet;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe)) {
        std::istringstream in(line);
        int r = 0, c = 0;
        Cell cell;
        in >> r >> c >> cell.type;
        in.get();
        std::getline(in, cell.value);
        sheet[{r, c}] = cell;
    }
    EXPECT_EQ(pclose(pipe), 0) << "openpyxl could not read " << path;
    return sheet;
}

std::string Text(const Sheet &s, int r, int c) {
    auto it = s.find({r, c});
    return it == s.end() ? "" : it->second.value;
}
std::string Trimmed(const Sheet &s, int r, int c) {
    std::string t = Text(s, r, c);
    t.erase(0, t.find_first_not_of(' '));
    t.erase(t.find_last_not_of(' ') + 1);
    return t;
}
bool IsNumber(const Sheet &s, int r, int c) {
    auto it = s.find({r, c});
    return it != s.end() && (it->second.type == "int" || it->second.type == "float");
}
double Number(const Sheet &s, int r, int c) {
    return IsNumber(s, r, c) ? std::stod(Text(s, r, c)) : -1e300;
}
// Data rows: rows from 10 on with a cell in column 1.
int DataRows(const Sheet &s) {
    int rows = 0;
    while (s.count({10 + rows, 1}))
        ++rows;
    return rows;
}
int Columns(const Sheet &s, int r) {
    int c = 0;
    while (s.count({r, c + 1}))
        ++c;
    return c;
}

class ExportTest : public GraphWindowTest {
  protected:
    void SetUp() override {
        GraphWindowTest::SetUp();
        testsupport::CopyFromProgramDir("velorind.xl", dir.path());
        spreadsheetPanel = LoadPanel(0, ResourceFile(), PANEL_SPREADSHEET);
        progressPanel = LoadPanel(0, ResourceFile(), PANEL_PROGRESS);
        ASSERT_GT(spreadsheetPanel, 0);
        ASSERT_GT(progressPanel, 0);
        spreadsheetDir = dir.path();
        sheetCounter = 0;
        filterConstant = 0;
    }
    void TearDown() override {
        if (excelStarted) {
            Expect("EXCEL Sheet");
            Click(EXCEL_QUIT);
        }
        RemovePopup(1);
        DiscardPanel(spreadsheetPanel);
        DiscardPanel(progressPanel);
        spreadsheetPanel = progressPanel = 0;
        GraphWindowTest::TearDown();
    }
    static void Click(int control) {
        auto *button = qobject_cast<QAbstractButton *>(CtrlWidget(spreadsheetPanel, control));
        ASSERT_NE(button, nullptr) << "control " << control;
        button->click();
    }
    static bool Dimmed(int control) {
        int d = 0;
        GetCtrlAttribute(spreadsheetPanel, control, ATTR_DIMMED, &d);
        return d != 0;
    }
    static std::string Field(int control) {
        std::string s;
        GetCtrlVal(spreadsheetPanel, control, &s);
        return s;
    }
    // The dialog from the menu item, then Run.
    void OpenAndRun() {
        Gestion_import(menuBar, MENU_SPREADSHEET_EXPORT, nullptr, mainPanel);
        Click(EXCEL_RUN);
        ASSERT_EQ(excelStarted, 1);
    }
    // Export, the file dialog answered with `name` in the directory (or cancelled).
    void ExportAs(const std::string &name, int answer = VAL_NEW_FILE_SELECTED) {
        Expect("Save", answer, answer ? dir.file(name) : "");
        Click(EXCEL_EXPORT);
    }
    // Exports the current window to name and reads it back.
    Sheet ExportAndRead(const std::string &name) {
        OpenAndRun();
        ExportAs(name);
        Expect("EXCEL Sheet");
        Click(EXCEL_QUIT);
        return ReadWorkbook(dir.file(name));
    }
    std::string ProposedInLastFileDialog() const {
        for (auto it = PopupLog().rbegin(); it != PopupLog().rend(); ++it)
            if (it->kind == "file") return it->text;
        return "";
    }
    std::string LastErrorText() const {
        for (auto it = PopupLog().rbegin(); it != PopupLog().rend(); ++it)
            if (it->title.rfind("Error", 0) == 0) return it->text;
        return "";
    }
    std::vector<std::string> ErrorTitles() const {
        std::vector<std::string> t;
        for (auto &p : PopupLog())
            if (p.title.rfind("Error", 0) == 0 || p.title.rfind("Fehler", 0) == 0)
                t.push_back(p.title);
        return t;
    }
    void Picture(const std::string &name, int panel) {
        const char *out = std::getenv("VELORINDER_PICTURES");
        if (!out) return;
        Settle();
        std::string path = std::string(out) + "/" + name + ".png";
        EXPECT_TRUE(PanelWidget(panel)->grab().save(QString::fromStdString(path)));
    }
};

TEST_F(ExportTest, WorkbookHoldsHeadersAndOneNumericRowPerSample) {
    int s = OpenRecording("'run' 1", {1500, 1512.5, 0, 1498}, 10, 0);
    WindowRecord &w = windows[s];
    w.coefficient = 2.5;
    w.mode = 1;
    w.day = 7, w.month = 3, w.year = 2024, w.hour = 9, w.minute = 5;

    Gestion_import(menuBar, MENU_SPREADSHEET_EXPORT, nullptr, mainPanel);
    EXPECT_EQ(Field(EXCEL_SHEET), "velorx");
    EXPECT_TRUE(Dimmed(EXCEL_EXPORT));
    Picture("export_dialog_idle", spreadsheetPanel);
    Click(EXCEL_RUN);
    EXPECT_TRUE(Dimmed(EXCEL_RUN) && Dimmed(EXCEL_BROWSE) && Dimmed(EXCEL_DIRECTORY));
    EXPECT_FALSE(Dimmed(EXCEL_EXPORT));
    EXPECT_EQ(Field(EXCEL_MESSAGE), "EXCEL Ready !\n");
    Picture("export_dialog_ready", spreadsheetPanel);

    ExportAs("velorx01.xlsx");
    EXPECT_EQ(ProposedInLastFileDialog(), "velorx01.xlsx");
    EXPECT_EQ(Field(EXCEL_MESSAGE), "EXCEL Ready !\nSheet ready.\n");
    EXPECT_EQ(Field(EXCEL_SHEET), "velorx");
    EXPECT_TRUE(Dimmed(EXCEL_EXPORT) && Dimmed(EXCEL_RUN));
    EXPECT_FALSE(Dimmed(EXCEL_QUIT));
    EXPECT_EQ(GetWaitCursorState(), 0);
    Picture("export_dialog_exported", spreadsheetPanel);

    Expect("EXCEL Sheet");
    Click(EXCEL_QUIT);
    EXPECT_EQ(PopupLog().back().text, "Warning !  EXCEL will be closed\n");
    EXPECT_EQ(excelStarted, 0);
    EXPECT_FALSE(PanelWidget(spreadsheetPanel)->isVisible());
    EXPECT_FALSE(Dimmed(EXCEL_RUN) || Dimmed(EXCEL_BROWSE) || Dimmed(EXCEL_DIRECTORY));
    EXPECT_TRUE(Dimmed(EXCEL_EXPORT));

    Sheet sh = ReadWorkbook(dir.file("velorx01.xlsx"));
    EXPECT_EQ(Text(sh, 2, 1), "'run' 1") << "only the leading apostrophe goes";
    const char *row4[] = {"Date", "Time", "Mode", "Interval", "Coefficient K"};
    for (int c = 0; c < 5; ++c)
        EXPECT_EQ(Text(sh, 4, c + 1), row4[c]);
    EXPECT_FALSE(sh.count({4, 6}));
    EXPECT_EQ(Trimmed(sh, 5, 1), "07/03/2024");
    EXPECT_EQ(Trimmed(sh, 5, 2), "09:05:00");
    EXPECT_EQ(Trimmed(sh, 5, 3), "SMOOTH");
    EXPECT_EQ(Trimmed(sh, 5, 4), "10 s");
    EXPECT_EQ(Trimmed(sh, 5, 5), "2.500000");
    const char *row7[] = {"Value Y", "Y Unity", "Value X", "   t   "};
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(Text(sh, 7, c + 1), row7[c]);
    ASSERT_EQ(DataRows(sh), 4);
    const double values[] = {1500, 1512.5, 0, 1498};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Number(sh, 10 + i, 1), values[i]) << i;
        EXPECT_EQ(Trimmed(sh, 10 + i, 2), SlotUnitText(w)) << i;
        EXPECT_EQ(Number(sh, 10 + i, 3), 10.0 * i) << i;
        EXPECT_EQ(Text(sh, 10 + i, 4), "s (scan)") << i;
        EXPECT_EQ(Columns(sh, 10 + i), 4) << i;
    }

    // The second export of the run proposes the next number.
    OpenAndRun();
    ExportAs("velorx02.xlsx");
    EXPECT_EQ(ProposedInLastFileDialog(), "velorx02.xlsx");
    EXPECT_TRUE(fs::exists(dir.file("velorx02.xlsx")));
    EXPECT_TRUE(ErrorTitles().empty());
}

TEST_F(ExportTest, WorkbookNumbersAreTheRecordingsDoubles) {
    const std::vector<double> values = {5.76667, 4719.68,       0.666667, 1e-7,
                                        0,       123456789.125, -2.0 / 3, 1512.5};
    int s = OpenRecording("exact", values, 1, 0, {6});
    WindowRecord &w = windows[s];
    for (int i = 0; i < w.count; ++i)
        w.time[i] = 0.25 * i + 1e-3;
    Sheet sh = ExportAndRead("exact.xlsx");
    ASSERT_EQ(DataRows(sh), w.count);
    for (int i = 0; i < w.count; ++i) {
        if (i == 6) {
            EXPECT_EQ(Text(sh, 16, 1), "  -----  ") << "a missing sample stays marked";
        } else {
            ASSERT_TRUE(IsNumber(sh, 10 + i, 1)) << i;
            EXPECT_EQ(Number(sh, 10 + i, 1), values[i]) << i;
        }
        EXPECT_EQ(Number(sh, 10 + i, 3), w.time[i]) << i;
    }
}

TEST_F(ExportTest, PositionDisplayMarksTheTotalOfAMissingSample) {
    int src = OpenRecording("speed", {60, 121.5, 180, 240.25, 300}, 1, 0);
    sourceList[0] = src;
    sourceCount = 1;
    TraitementFiltre(0, KIND_POSITION);
    ASSERT_EQ(windowCount, 2);
    WindowRecord &p = windows[currentWindow];
    ASSERT_TRUE(IsPositionDisplay(p));
    // A derived sample the derivation could not give.
    p.gapIndex[0] = 2;
    p.hasGaps = 1;
    Sheet sh = ExportAndRead("position.xlsx");
    ASSERT_EQ(DataRows(sh), p.count);
    for (int i = 0; i < p.count; ++i) {
        if (i == 2) {
            EXPECT_EQ(Text(sh, 12, 1), "  -----  ");
            EXPECT_EQ(Text(sh, 12, 5), "  -----  ");
            continue;
        }
        // Computed values keep 16 significant digits (what the writing
        // library puts in the file), not the 17 a few doubles need.
        EXPECT_DOUBLE_EQ(Number(sh, 10 + i, 1), p.value[i]) << i;
        EXPECT_DOUBLE_EQ(Number(sh, 10 + i, 5), p.total[i]) << i;
        EXPECT_EQ(Number(sh, 10 + i, 7), p.time[i]) << i;
    }
}

TEST_F(ExportTest, HeaderAndUnitTextsStayWhole) {
    // Unit 15, "Rev/min²", is longer than its 8-character field in bytes.
    int s = OpenRecording("rev", {1, 2, 3}, 12345678, 15);
    WindowRecord &w = windows[s];
    w.coefficient = 123.456789;
    Sheet sh = ExportAndRead("texts.xlsx");
    EXPECT_EQ(Trimmed(sh, 5, 4), "12345678 s");
    EXPECT_EQ(Trimmed(sh, 5, 5), "123.45679") << "rounded, not cut";
    EXPECT_EQ(Trimmed(sh, 10, 2), "Rev/min²");
    EXPECT_EQ(std::string(SlotUnitText(w)), "Rev/min²");
}

TEST_F(ExportTest, RecordingWithoutDateGapsAndAStopInTime) {
    int s = OpenRecording("gaps", {5, 6, 7, 8, 9, 10, 11}, 1, 0, {2});
    windows[s].time[5] = windows[s].time[4]; // time stops rising at sample 5
    spreadsheetDir = "";                     // a field never filled: the project directory
    Sheet sh = ExportAndRead("gaps.xlsx");
    EXPECT_EQ(Trimmed(sh, 5, 1), "00/00/0000");
    EXPECT_EQ(Trimmed(sh, 5, 2), "00:00:00");
    EXPECT_EQ(Trimmed(sh, 5, 3), "NONE");
    EXPECT_EQ(DataRows(sh), 5);
    EXPECT_EQ(sh.at({12, 1}).type, "str");
    EXPECT_EQ(Trimmed(sh, 12, 1), "-----");
    EXPECT_EQ(Number(sh, 13, 1), 8.0);
}

TEST_F(ExportTest, PositionDisplayHasEightColumnsAndAverageItsConstant) {
    int src = OpenRecording("speed", {60, 120, 180, 240}, 1, 0);
    sourceList[0] = src;
    sourceCount = 1;
    TraitementFiltre(0, KIND_POSITION);
    ASSERT_EQ(windowCount, 2);
    const WindowRecord &p = windows[currentWindow];
    ASSERT_TRUE(IsPositionDisplay(p));
    Sheet sh = ExportAndRead("position.xlsx");
    EXPECT_EQ(Text(sh, 7, 5), "Y = total displacement");
    EXPECT_EQ(Text(sh, 7, 6), "Y Unity");
    EXPECT_EQ(Text(sh, 7, 8), "   t   ");
    ASSERT_EQ(DataRows(sh), p.count);
    for (int i = 0; i < p.count; ++i) {
        EXPECT_EQ(Columns(sh, 10 + i), 8) << i;
        EXPECT_NEAR(Number(sh, 10 + i, 5), p.total[i], 1e-3) << i;
        EXPECT_EQ(Text(sh, 10 + i, 8), "s (scan)") << i;
    }

    sourceList[0] = src;
    TraitementFiltre(0, KIND_AVERAGE);
    ASSERT_GT(constantPanel, 0);
    SetCtrlVal(constantPanel, CONSTANT_VALUE, 3);
    qobject_cast<QAbstractButton *>(CtrlWidget(constantPanel, CONSTANT_OK))->click();
    ASSERT_TRUE(IsAverageDisplay(windows[currentWindow]));
    sh = ExportAndRead("average.xlsx");
    EXPECT_EQ(Text(sh, 4, 6), "  Constant of the filter");
    EXPECT_EQ(Trimmed(sh, 5, 6), "3");
    EXPECT_EQ(Columns(sh, 10), 4);
}

TEST_F(ExportTest, GermanExportSpeaksGerman) {
    OpenRecording("de", {1, 2}, 1, 0);
    language = 2;
    OpenAndRun();
    Expect("Speichern", VAL_NEW_FILE_SELECTED, dir.file("de.xlsx"));
    Click(EXCEL_EXPORT);
    EXPECT_EQ(Field(EXCEL_MESSAGE), "EXCEL fertig !\nBlatt fertig.\n");
    Expect("EXCEL Blatt");
    Click(EXCEL_QUIT);
    EXPECT_EQ(PopupLog().back().text, "Achtung !  EXCEL beenden\n");
    Sheet sh = ReadWorkbook(dir.file("de.xlsx"));
    const char *row4[] = {"Datum", "Stunde", "Mode", "Leseintervall", "Koeffizient K"};
    for (int c = 0; c < 5; ++c)
        EXPECT_EQ(Text(sh, 4, c + 1), row4[c]);
    EXPECT_EQ(Text(sh, 7, 1), "Wert Y");
    EXPECT_EQ(Text(sh, 7, 2), "Y Einheit");
    EXPECT_EQ(Text(sh, 7, 3), "Wert X");
}

// The file written is a workbook of today's format, and its field says so.
TEST_F(ExportTest, SheetFieldNamesTheXlsxFilesWrittenInEveryLanguage) {
    OpenRecording("l", {1, 2}, 1, 0);
    const char *const labels[5] = {"Feuille (*.XLSX)", "Sheet (*.XLSX)", "Blatt (*.XLSX)",
                                   "Hoja (*.XLSX)", "Foglio (*.XLSX)"};
    for (int l = 0; l < 5; ++l) {
        language = l;
        Gestion_import(menuBar, MENU_SPREADSHEET_EXPORT, nullptr, mainPanel);
        std::string label;
        GetCtrlAttribute(spreadsheetPanel, EXCEL_SHEET, ATTR_LABEL_TEXT, &label);
        EXPECT_EQ(label, labels[l]);
        Click(EXCEL_QUIT);
    }
}

TEST_F(ExportTest, TypedNameLosesAccentsAndQuotes) {
    OpenRecording("n", {1, 2}, 1, 0);
    OpenAndRun();
    SetCtrlVal(spreadsheetPanel, EXCEL_SHEET, "Essai «été» 'A'");
    ExportAs("Essai t A01.xlsx");
    EXPECT_EQ(ProposedInLastFileDialog(), "Essai t A01.xlsx");
    EXPECT_EQ(Field(EXCEL_SHEET), "Essai t A");
    EXPECT_EQ(DataRows(ReadWorkbook(dir.file("Essai t A01.xlsx"))), 2);
}

TEST_F(ExportTest, ExistingWorkbookIsReplacedOnlyOnYes) {
    OpenRecording("o", {1, 2, 3}, 1, 0);
    const std::string old = dir.file("old.xlsx");
    testsupport::WriteFile(old, "not a workbook, kept as it is");

    OpenAndRun();
    Expect("Save", VAL_EXISTING_FILE_SELECTED, old);
    Expect("EXCEL Sheet", 2); // No
    Click(EXCEL_EXPORT);
    EXPECT_EQ(PopupLog().back().text, "Sheet already exist !    Overwrite Data ?\n");
    EXPECT_EQ(testsupport::ReadFile(old), "not a workbook, kept as it is");
    EXPECT_EQ(excelWorkbook, 0) << "the refused workbook is closed";
    Expect("EXCEL Sheet");
    Click(EXCEL_QUIT);

    OpenAndRun();
    Expect("Save", VAL_EXISTING_FILE_SELECTED, old);
    Expect("EXCEL Sheet", 1); // Yes
    Click(EXCEL_EXPORT);
    EXPECT_EQ(DataRows(ReadWorkbook(old)), 3);
    EXPECT_TRUE(ErrorTitles().empty());
}

TEST_F(ExportTest, CancelSavesNothingAndQuitClosesTheWorkbook) {
    OpenRecording("c", {1, 2, 3}, 1, 0);
    OpenAndRun();
    ExportAs("", VAL_NO_FILE_SELECTED);
    EXPECT_EQ(Field(EXCEL_MESSAGE), "EXCEL Ready !\nSheet ready.\n");
    EXPECT_NE(excelWorkbook, 0) << "the filled workbook is held";
    Expect("EXCEL Sheet");
    Click(EXCEL_QUIT);
    EXPECT_EQ(excelWorkbook, 0);
    EXPECT_TRUE(FindFiles(dir.path(), "*.xlsx").empty());
    EXPECT_TRUE(ErrorTitles().empty());
}

TEST_F(ExportTest, StopKeepsTheRowsWrittenSoFarAndSavesThem) {
    const int n = 20000;
    std::vector<double> v = testsupport::RunUpCurve(n);
    OpenRecording("long", v, 1, 0);
    OpenAndRun();
    // Stop once the fill has shown some progress.
    bool pressed = false;
    std::function<void()> watch = [&] {
        int percent = 0;
        GetCtrlVal(progressPanel, IMPORT_PROGRESS_GAUGE, &percent);
        if (percent >= 3) {
            Picture("export_progress", progressPanel);
            qobject_cast<QAbstractButton *>(CtrlWidget(progressPanel, STOP_BUTTON))->click();
            pressed = true;
        } else {
            PostDeferredCall(watch, 1);
        }
    };
    PostDeferredCall(watch, 1);
    ExportAs("stopped.xlsx");
    ASSERT_TRUE(pressed);
    EXPECT_EQ(importRunning, 1);
    EXPECT_FALSE(PanelWidget(progressPanel)->isVisible());
    Sheet sh = ReadWorkbook(dir.file("stopped.xlsx"));
    const int rows = DataRows(sh);
    // Every row before the one the gauge first showed 3 % for.
    EXPECT_GE(rows, n * 3 / 100 - 1);
    EXPECT_LT(rows, n / 2);
    EXPECT_EQ(Columns(sh, 10 + rows - 1), 4) << "the last row is whole";
    EXPECT_FALSE(sh.count({10 + rows, 1}));
}

TEST_F(ExportTest, StopDuringAShortFillEndsTheRowsAtOnce) {
    const int n = 50;
    OpenRecording("short", testsupport::RunUpCurve(n), 1, 0);
    OpenAndRun();
    // Stop pressed as the gauge shows 20 %, before the tenth row: like a
    // mouse click, it arrives when the program next reads its events.
    auto *gauge = qobject_cast<QProgressBar *>(CtrlWidget(progressPanel, IMPORT_PROGRESS_GAUGE));
    auto *stop = qobject_cast<QAbstractButton *>(CtrlWidget(progressPanel, STOP_BUTTON));
    ASSERT_NE(gauge, nullptr);
    ASSERT_NE(stop, nullptr);
    int presses = 0;
    QObject::connect(gauge, &QProgressBar::valueChanged, gauge, [&](int percent) {
        if (percent != 20) return;
        QMetaObject::invokeMethod(stop, &QAbstractButton::click, Qt::QueuedConnection);
        ++presses;
    });
    ExportAs("short.xlsx");
    QObject::disconnect(gauge, &QProgressBar::valueChanged, gauge, nullptr);
    ASSERT_EQ(presses, 1);
    Sheet sh = ReadWorkbook(dir.file("short.xlsx"));
    EXPECT_EQ(DataRows(sh), 9) << "the rows before the press, and no more";
    EXPECT_EQ(Field(EXCEL_MESSAGE), "EXCEL Ready !\nSheet ready.\n");
}

TEST_F(ExportTest, FailuresShowTheirErrors) {
    // Export without a current window: error 4, nothing written.
    OpenRecording("f", {1, 2}, 1, 0);
    OpenAndRun();
    currentWindow = -1;
    Expect("Error n° -104");
    Click(EXCEL_EXPORT);
    EXPECT_FALSE(Dimmed(EXCEL_EXPORT)) << "still ready to export";
    currentWindow = 0;

    // The template's Open, SaveAs and the refusing Close failing once. Without
    // the template the rows go into a plain workbook, offered for saving.
    FailAutomationCallForTesting("Workbooks.Open");
    Expect("Error n° -112");
    Expect("Save", VAL_NO_FILE_SELECTED);
    Click(EXCEL_EXPORT);
    EXPECT_EQ(Field(EXCEL_MESSAGE), "EXCEL Ready !\nSheet ready.\n");
    Expect("EXCEL Sheet");
    Click(EXCEL_QUIT);

    OpenAndRun();
    FailAutomationCallForTesting("Workbook.SaveAs");
    Expect("Save", VAL_NEW_FILE_SELECTED, dir.file("f.xlsx"));
    Expect("Error n° -112");
    Click(EXCEL_EXPORT);
    EXPECT_FALSE(fs::exists(dir.file("f.xlsx")));
    EXPECT_FALSE(Dimmed(EXCEL_QUIT)) << "Quit stays possible";
    Expect("EXCEL Sheet");
    Click(EXCEL_QUIT);

    testsupport::WriteFile(dir.file("kept.xlsx"), "old");
    OpenAndRun();
    FailAutomationCallForTesting("Workbook.Close");
    Expect("Save", VAL_EXISTING_FILE_SELECTED, dir.file("kept.xlsx"));
    Expect("EXCEL Sheet", 2);
    Expect("Error n° -112");
    Click(EXCEL_EXPORT);
    Expect("EXCEL Sheet");
    Click(EXCEL_QUIT);

    // A working directory that does not exist: error 6, nothing started.
    Gestion_import(menuBar, MENU_SPREADSHEET_EXPORT, nullptr, mainPanel);
    SetCtrlVal(spreadsheetPanel, EXCEL_DIRECTORY, dir.file("missing"));
    Expect("Error n° -106");
    Click(EXCEL_RUN);
    EXPECT_EQ(excelStarted, 0);
    EXPECT_FALSE(Dimmed(EXCEL_RUN));
    Click(EXCEL_QUIT);
    EXPECT_EQ(ErrorTitles().size(), 5u);
}

// Without its template the export still gives the recording: after the error,
// the file dialog, a plain workbook with every row, "Sheet ready." and the
// next number.
TEST_F(ExportTest, UnreadableTemplateStillGivesTheWorkbook) {
    OpenRecording("plain", {1.5, 2.5, 3.5}, 1, 0);
    const std::string tmpl = dir.file("velorind.xl");
    const std::string kept = testsupport::ReadFile(tmpl);
    for (const std::string &content : {std::string(), kept + "\nwidht = 3\n"}) {
        const bool missing = content.empty();
        if (missing)
            fs::remove(tmpl);
        else
            testsupport::WriteFile(tmpl, content);
        const std::string name = missing ? "missing.xlsx" : "broken.xlsx";
        OpenAndRun();
        Expect("Error n° -112");
        ExportAs(name);
        EXPECT_EQ(Field(EXCEL_MESSAGE), "EXCEL Ready !\nSheet ready.\n") << name;
        EXPECT_EQ(sheetCounter, 2) << name << ": counted as velorx01";
        Expect("EXCEL Sheet");
        Click(EXCEL_QUIT);
        Sheet sh = ReadWorkbook(dir.file(name));
        EXPECT_EQ(DataRows(sh), 3) << name;
        EXPECT_EQ(Number(sh, 12, 1), 3.5) << name;
        EXPECT_EQ(Trimmed(sh, 7, 1), "Value Y") << name;
    }
    EXPECT_EQ(ErrorTitles().size(), 2u);
}

TEST_F(ExportTest, ProposedNameSkipsWorkbooksAlreadyInTheFolder) {
    OpenRecording("n", {1, 2}, 1, 0);
    testsupport::WriteFile(dir.file("velorx01.xlsx"), "kept");
    testsupport::WriteFile(dir.file("velorx02.xlsx"), "kept");
    testsupport::WriteFile(dir.file("velorx04.xlsx"), "kept");
    OpenAndRun();
    ExportAs("velorx03.xlsx");
    EXPECT_EQ(ProposedInLastFileDialog(), "velorx03.xlsx");
    Expect("EXCEL Sheet");
    Click(EXCEL_QUIT);
    EXPECT_EQ(testsupport::ReadFile(dir.file("velorx01.xlsx")), "kept");

    // As after a restart, the counter of the run starts again.
    sheetCounter = 0;
    Gestion_excel();
    EXPECT_EQ(Field(EXCEL_SHEET), "velorx05.xlsx");
    OpenAndRun();
    ExportAs("velorx05.xlsx");
    EXPECT_EQ(ProposedInLastFileDialog(), "velorx05.xlsx");
}

TEST_F(ExportTest, WorkingDirectoryIsKeptAcrossRestarts) {
    OpenRecording("w", {1, 2}, 1, 0);
    const std::string work = dir.file("work");
    fs::create_directory(work);
    Gestion_import(menuBar, MENU_SPREADSHEET_EXPORT, nullptr, mainPanel);
    SetCtrlVal(spreadsheetPanel, EXCEL_DIRECTORY, work);
    Click(EXCEL_RUN);
    ASSERT_EQ(excelStarted, 1);
    Expect("EXCEL Sheet");
    Click(EXCEL_QUIT);

    // A start that found the settings file leaves the directory unset.
    spreadsheetDir = "";
    Gestion_import(menuBar, MENU_SPREADSHEET_EXPORT, nullptr, mainPanel);
    EXPECT_EQ(Field(EXCEL_DIRECTORY), work);
    Click(EXCEL_RUN);
    // The name is numbered after what that folder holds.
    testsupport::WriteFile(work + "/velorx01.xlsx", "kept");
    ExportAs("work/velorx02.xlsx");
    EXPECT_EQ(ProposedInLastFileDialog(), "velorx02.xlsx");
    EXPECT_TRUE(fs::exists(work + "/velorx02.xlsx"));
}

TEST_F(ExportTest, FileErrorsNameTheFileAndTheReason) {
    OpenRecording("e", {1, 2}, 1, 0);
    auto lastText = [this] { return PopupLog().back().text; };

    // Saving into a folder that is not there.
    OpenAndRun();
    const std::string nowhere = dir.file("gone/e.xlsx");
    Expect("Save", VAL_NEW_FILE_SELECTED, nowhere);
    Expect("Error n° -112");
    Click(EXCEL_EXPORT);
    EXPECT_EQ(lastText(), "Error writing to EXCEL\n" + nowhere + ": No such file or directory");
    Expect("EXCEL Sheet");
    Click(EXCEL_QUIT);

    // Saving into a read-only folder.
    const std::string locked = dir.file("locked");
    fs::create_directory(locked);
    bool mounted = false;
    if (geteuid() == 0)
        mounted = mount("tmpfs", locked.c_str(), "tmpfs", MS_RDONLY, "size=64k") == 0;
    else
        fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    if (geteuid() != 0 || mounted) {
        OpenAndRun();
        Expect("Save", VAL_NEW_FILE_SELECTED, locked + "/e.xlsx");
        Expect("Error n° -112");
        Click(EXCEL_EXPORT);
        EXPECT_EQ(lastText(), "Error writing to EXCEL\n" + locked + "/e.xlsx: " +
                                  (mounted ? "Read-only file system" : "Permission denied"));
        Expect("EXCEL Sheet");
        Click(EXCEL_QUIT);
    }
    if (mounted) umount2(locked.c_str(), MNT_DETACH);

    // A template that is not there, and one that says what cannot be understood;
    // the file dialog follows (cancelled here).
    const std::string tmpl = dir.file("velorind.xl");
    const std::string kept = testsupport::ReadFile(tmpl);
    fs::remove(tmpl);
    OpenAndRun();
    Expect("Error n° -112");
    Expect("Save", VAL_NO_FILE_SELECTED);
    Click(EXCEL_EXPORT);
    EXPECT_EQ(LastErrorText(), "Error writing to EXCEL\n" + tmpl + ": No such file or directory");
    Expect("EXCEL Sheet");
    Click(EXCEL_QUIT);
    testsupport::WriteFile(tmpl, kept + "\nwidht = 3\n");
    OpenAndRun();
    Expect("Error n° -112");
    Expect("Save", VAL_NO_FILE_SELECTED);
    Click(EXCEL_EXPORT);
    EXPECT_EQ(LastErrorText(), "Error writing to EXCEL\n" + tmpl + ": Invalid argument");
    Picture("export_error_template", spreadsheetPanel);
    Expect("EXCEL Sheet");
    Click(EXCEL_QUIT);

    // A working directory that cannot be entered.
    testsupport::WriteFile(dir.file("plain"), "a file");
    Gestion_import(menuBar, MENU_SPREADSHEET_EXPORT, nullptr, mainPanel);
    SetCtrlVal(spreadsheetPanel, EXCEL_DIRECTORY, dir.file("plain"));
    Expect("Error n° -106");
    Click(EXCEL_RUN);
    EXPECT_EQ(lastText(),
              "Working directory not found\n" + dir.file("plain") + ": Not a directory");
    SetCtrlVal(spreadsheetPanel, EXCEL_DIRECTORY, dir.file("missing"));
    Expect("Error n° -106");
    Click(EXCEL_RUN);
    EXPECT_EQ(lastText(), "Working directory not found\n" + dir.file("missing") +
                              ": No such file or directory");
    EXPECT_EQ(excelStarted, 0);
    Click(EXCEL_QUIT);
}

} // namespace
