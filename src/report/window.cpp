// The report of open graph windows: what each graph shows now, made into
// pages and printed after a preview.
#include "report/report.h"

#include "files/files.h"
#include "shell/shell.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

std::string TitleOf(const WindowRecord &w) {
    std::string title(w.title, strnlen(w.title, sizeof w.title));
    std::size_t last = title.find_last_not_of(' ');
    return last == std::string::npos ? "" : title.substr(0, last + 1);
}

// The recording a derived display was made from: its window while it is
// open, else what the display's own title says of it.
std::string SourceTitleOf(int slot) {
    const WindowRecord &w = windows[slot];
    if (w.sourceWindow < 0) return "";
    if (w.sourceWindow != slot && w.sourceWindow < windowCount)
        return TitleOf(windows[w.sourceWindow]);
    const std::string title = TitleOf(w);
    for (int lang = 0; lang < LANGUAGE_COUNT; ++lang)
        for (int kind : {KIND_POSITION, KIND_ACCELERATION, KIND_AVERAGE}) {
            const std::string start = DerivedTitle(kind, lang, "");
            if (title.rfind(start, 0) == 0) return title.substr(start.size());
        }
    return "";
}

// The file the window's recording was read from; a temporary transfer file
// is the program's own and no place a reader could find again.
std::string FileOf(const WindowRecord &w) {
    std::string path;
    if (GetCtrlAttribute(w.panel, WINDOW_PATH, ATTR_CALLBACK_DATA_PATH, &path) < 0) return "";
    if (PathExtension(path) == ".tmp") return "";
    return path;
}

} // namespace

ReportView ViewOfWindow(int slot) {
    ReportView v;
    if (slot < 0 || slot >= windowCount) return v;
    const WindowRecord &w = windows[slot];
    GetAxisScalingMode(w.panel, WINDOW_GRAPH, VAL_BOTTOM_XAXIS, nullptr, &v.timeMin, &v.timeMax);
    GetAxisScalingMode(w.panel, WINDOW_GRAPH, VAL_LEFT_YAXIS, nullptr, &v.valueMin, &v.valueMax);
    int shown = 1;
    GetCtrlAttribute(w.panel, WINDOW_GRAPH, ATTR_XGRID_VISIBLE, &shown);
    v.timeGrid = shown != 0;
    shown = 1;
    GetCtrlAttribute(w.panel, WINDOW_GRAPH, ATTR_YGRID_VISIBLE, &shown);
    v.valueGrid = shown != 0;
    v.cursorCount = 0;
    GetCtrlAttribute(w.panel, WINDOW_GRAPH, ATTR_NUM_CURSORS, &v.cursorCount);
    v.cursorCount = std::clamp(v.cursorCount, 0, 3);
    for (int c = 0; c < v.cursorCount; ++c)
        GetGraphCursor(w.panel, WINDOW_GRAPH, c + 1, &v.cursorX[c], &v.cursorY[c]);
    int plot = -1, index = -1;
    GetGraphCursorIndex(w.panel, WINDOW_GRAPH, 1, &plot, &index);
    v.cursorIndex = plot == w.plotHandle && index >= 0 && index < w.count ? index : -1;
    GetGraphTexts(w.panel, WINDOW_GRAPH, &v.labels);
    return v;
}

std::vector<ReportPage> WindowReports(const std::vector<int> &slots) {
    ReportContext c;
    c.lang = language;
    c.pages = static_cast<int>(slots.size());
    int second = 0;
    GetSystemDate(&c.printed[1], &c.printed[0], &c.printed[2]);
    GetSystemTime(&c.printed[3], &c.printed[4], &second);
    std::vector<ReportPage> pages;
    for (int slot : slots) {
        if (slot < 0 || slot >= windowCount) continue;
        c.page = static_cast<int>(pages.size()) + 1;
        c.filePath = FileOf(windows[slot]);
        c.sourceTitle = SourceTitleOf(slot);
        pages.push_back(BuildReportPage(windows[slot], ViewOfWindow(slot), c));
    }
    return pages;
}

int PrintWindowReports(const std::vector<int> &slots) {
    std::vector<ReportPage> pages = WindowReports(slots);
    if (pages.empty()) return UIEOperationFailed;
    SetReportPrintAttributes();
    return PrintReport(pages, "", Tr(PREVIEW_TITLE));
}
