// The printed report of a graph window: what goes where on the page (title,
// header, graph, readouts, footer) in the current language, shared by the
// print commands and velorinder-cli. The page is drawn by the platform.
#pragma once

#include "display/display.h"
#include "platform/platform.h"

#include <string>
#include <utility>
#include <vector>

constexpr int MENU_PRINT_ALL = 75;

// What a window's graph shows when it is printed.
struct ReportView {
    double timeMin = 0, timeMax = 1, valueMin = 0, valueMax = 1;
    bool timeGrid = true, valueGrid = true;
    int cursorCount = 1;
    double cursorX[3] = {0, 0, 0};
    double cursorY[3] = {0, 0, 0};
    int cursorIndex = -1; // the sample under cursor 1, -1 when none
    std::vector<ReportLabel> labels;
};

// What the page says beside the window's record.
struct ReportContext {
    int lang = 1;
    std::string filePath;    // the file the recording came from, "" when none
    std::string sourceTitle; // a derived display's source
    int page = 1, pages = 1;
    int printed[5] = {0, 0, 0, 0, 0}; // day, month, year, hour, minute of the print
};

// The view of a window just opened on the recording: its whole duration at
// the zoom that holds it, the value axis of its data, the graticule on and
// the measuring cursor a quarter into the recording.
ReportView NewWindowView(const WindowRecord &w);
// Lines under the title: date, file, mode, interval, coefficient, unit, and
// for a derived display its kind, source and constant.
std::vector<std::string> ReportHeader(const WindowRecord &w, const ReportContext &c);
// Program and version; date of the print; page n / N.
void ReportFooter(const ReportContext &c, std::string *left, std::string *centre,
                  std::string *right);
// "Velorinder 1.0".
std::string ProgramNameAndVersion();
// The curve between xFrom and xTo for `columns` pixel columns: per column
// the first and last samples and, between them, the lowest and highest in
// the order they come, so extremes survive; a missing sample (or one that
// is not a number) breaks the curve. The neighbour just outside each end is
// kept so that the line reaches the edge. x is in columns from xFrom.
std::vector<ReportRun> ReduceToColumns(const ReportCurve &curve, double xFrom, double xTo,
                                       int columns);
// Ticks of a value axis at round steps (1, 2 or 5 times a power of ten),
// about six of them, with texts of as many decimals as the step needs.
std::vector<std::pair<double, std::string>> ValueTicks(double lo, double hi);
// The cursor readouts as the legend words them.
std::vector<std::string> CursorReadouts(const WindowRecord &w, const ReportView &view);
// The whole page.
ReportPage BuildReportPage(const WindowRecord &w, const ReportView &view, const ReportContext &c);
// The print attributes of the print command: landscape, in colour, the
// printer's resolution and page.
void SetReportPrintAttributes();
// Title of the print preview.
extern const char *const PREVIEW_TITLE[5];

// ---------------------------------------------------------------- with windows
// What the window of `slot` shows now.
ReportView ViewOfWindow(int slot);
// The pages of the windows of those slots, one each, in the current language.
std::vector<ReportPage> WindowReports(const std::vector<int> &slots);
// Previews and prints them (PrintReport); its result.
int PrintWindowReports(const std::vector<int> &slots);
