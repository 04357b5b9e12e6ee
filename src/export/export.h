// Spreadsheet export: the recording of the current window written into a
// workbook through the spreadsheet automation server, steered from the
// spreadsheet dialog (panel 4).
#pragma once

#include "display/display.h"
#include "platform/platform.h"

#include <string>
#include <string_view>
#include <vector>

// ---------------------------------------------------------------- dialog
// Controls of the spreadsheet dialog.
constexpr int EXCEL_RUN = 2;
constexpr int EXCEL_EXPORT = 3;
constexpr int EXCEL_QUIT = 4;
constexpr int EXCEL_DIRECTORY = 5;
constexpr int EXCEL_BROWSE = 6;
constexpr int EXCEL_SHEET = 7;
constexpr int EXCEL_MESSAGE = 8;

extern std::string sheetName; // base name of the workbook, shown in control 7
extern int sheetCounter;      // number appended to sheetName; 0 until the first export
extern int excelStarted;      // 1 between Run and Quit
extern CAObjHandle excelApp, excelWorkbooks, excelWorkbook, excelSheets, excelSheet, excelRange;

// The export item of the Import_Export menu and its toolbar button: the
// dialog with the base name "velorx".
void OpenSpreadsheetDialog();
// The same dialog proposing the numbered name ("velorx01.xlsx").
void Gestion_excel();
// Run, Quit and Browse.
int Lancer_excel(int panel, int control, int event, void *callbackData, int eventData1,
                 int eventData2);
// Export: fills the sheet, asks for the file name and saves the workbook.
int Exporter_excel(int panel, int control, int event, void *callbackData, int eventData1,
                   int eventData2);
// Fills the first sheet of the template with the current window's recording,
// with the progress panel and its Stop button. A template that cannot be read
// shows error 12 and a plain workbook takes the rows; false only when no
// workbook could be had at all (none is held then).
bool FillSheet();
void RegisterExportCallbacks();

// ---------------------------------------------------------------- cells
// One data row: the sample's value (or running total) and time as the
// recording holds them; a missing sample is written as the gap text.
struct ExportRow {
    double value = 0;
    double time = 0;
    bool missing = false;
};
extern std::vector<ExportRow> exportValues;
extern std::vector<ExportRow> exportTotals; // running totals of a position display

struct SheetCell {
    int row; // from 1
    int column;
    std::string text;
    bool numeric = false; // then `number` is written as a number, `text` unused
    double number = 0;
};

// The text padded with blanks to `width` characters; a longer text stays whole.
std::string PadCellText(std::string_view text, std::size_t width);
// x with "%f", its decimals rounded away as far as needed to fit in `width`
// characters; the integer part is never cut.
std::string RoundedNumberText(double x, std::size_t width);
// Samples to export: the window's count, ended at the first sample whose time
// does not rise.
int ExportCount(const WindowRecord &w);
bool IsPositionDisplay(const WindowRecord &w);
bool IsAverageDisplay(const WindowRecord &w);
// Fills exportValues (and exportTotals for a position display) for w.
// A missing sample (listed in gapIndex) is missing in both.
void BuildExportTexts(const WindowRecord &w, int count);
// Unit text of the data rows ("Duty %" for the duty cycle) in language lang.
std::string ExportUnitText(const WindowRecord &w, int lang);
// Rows 2 to 7: title, headers, date, time, mode, interval, coefficient and,
// for a moving-average display, the filter constant `constant`.
std::vector<SheetCell> HeaderCells(const WindowRecord &w, int lang, int constant);
// The cells of data row i (sheet row 10 + i) from exportValues/exportTotals.
void DataRowCells(int i, const std::string &unit, bool position, std::vector<SheetCell> *cells);
// Range.Item(row, column) = the cell: a number as the double it is, a text as text.
int WriteSheetCell(CAObjHandle range, const SheetCell &cell);

// ---------------------------------------------------------------- names
// Keeps letters, digits, - . / : * + = \ _ and single blanks of at most 300
// characters; ends at the second of two white-space characters in a row.
std::string CleanExportName(std::string_view text);
// The name the file dialog proposes: base and counter in two digits (three
// from 100) with ".xlsx".
std::string ProposedSheetName(const std::string &base, int counter);
// The first counter from `from` on whose proposed name is no file in `dir`.
int FirstFreeSheetNumber(const std::string &dir, const std::string &base, int from = 1);
// The chosen path ending in ".xlsx": a typed ".xls" becomes ".xlsx".
std::string WorkbookPath(const std::string &chosen);

// ---------------------------------------------------------------- texts
extern const char *const EXCEL_READY_TEXT[5];
extern const char *const SHEET_READY_TEXT[5];
extern const char *const EXCEL_SHEET_TITLE[5];
extern const char *const OVERWRITE_TEXT[5];
extern const char *const EXCEL_CLOSED_TEXT[5];
extern const char *const SAVE_TITLE[5];
