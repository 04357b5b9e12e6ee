// The curve of a window, its zoom and the Display menu.
#include "display/display.h"

#include "analysis/analysis.h"
#include "compare/compare.h"
#include "platform/platform.h"
#include "shell/shell.h"
#include "toolbox/toolbox.h"
#include "windows/windows.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// A unit text without the blanks that align it in readouts.
std::string Trimmed(const char *text) {
    std::string s = text;
    std::size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

} // namespace

bool WidenFlatRange(double *lo, double *hi) {
    const double magnitude = std::max(std::fabs(*lo), std::fabs(*hi));
    // Below a millionth of the values the spread is no more than rounding.
    if (*hi - *lo > 1e-6 * magnitude) return false;
    const double room = magnitude > 0 ? 0.1 * magnitude : 0.1;
    *lo -= room;
    *hi += room;
    return true;
}

void ValueAxisRange(WindowRecord &w, double *lo, double *hi) {
    if (w.yRangeFixed) {
        *lo = w.yMin;
        *hi = w.yMax;
        if (!(*lo < *hi)) WidenFlatRange(lo, hi); // equal bounds make no axis
        return;
    }
    SampleRange(w, lo, hi);
    if (w.yMax == 0.0) w.yMax = *hi;
    if (w.yMin == 0.0) w.yMin = *lo;
    // Curves laid over this one stay inside the automatic axis too.
    double clo = 0.0, chi = 0.0;
    if (ComparedValueRange(w, &clo, &chi)) {
        *lo = std::min(*lo, clo);
        *hi = std::max(*hi, chi);
    }
    if (WidenFlatRange(lo, hi)) return;
    const double margin = AXIS_MARGIN * (*hi - *lo);
    *lo -= margin;
    *hi += margin;
}

double VisibleSpan(double zoomSpan) {
    // The table ends with 0.0: no magnification may give an endless view.
    return 150.0 / (zoomSpan > 0 ? zoomSpan : zoomTable[0]);
}

int FitZoomLevel(double duration) {
    for (int level = ZOOM_LAST - 1; level > 0; --level)
        if (VisibleSpan(zoomTable[level]) >= duration) return level;
    return 0;
}

double KeepPointView(double pointer, double xmin, double xmax, double newSpan) {
    if (!(xmax > xmin)) return pointer - newSpan / 2;
    return pointer - (pointer - xmin) / (xmax - xmin) * newSpan;
}

double ClampedViewStart(double start, double span, double origin, double duration) {
    return std::clamp(start, origin, origin + std::max(0.0, duration - span));
}

bool ZoomRangeAround(double pointer, double factor, double *lo, double *hi) {
    const double newLo = pointer - (pointer - *lo) / factor;
    const double newHi = pointer + (*hi - pointer) / factor;
    // Past what a double tells apart, or past what it holds, there is no axis.
    const double magnitude = std::max({std::fabs(newLo), std::fabs(newHi), 1e-300});
    if (!std::isfinite(newLo) || !std::isfinite(newHi) || !(newHi - newLo > 1e-9 * magnitude))
        return false;
    *lo = newLo;
    *hi = newHi;
    return true;
}

void SetVisibleTime(int panel, double lo, double hi) {
    SetAxisScalingMode(panel, WINDOW_GRAPH, VAL_BOTTOM_XAXIS, VAL_MANUAL, lo, hi);
    double xmin = 0, xmax = 0;
    GetAxisScalingMode(panel, WINDOW_GRAPH, VAL_BOTTOM_XAXIS, nullptr, &xmin, &xmax);
    DeleteAxisItem(panel, WINDOW_GRAPH, VAL_BOTTOM_XAXIS, 0, -1);
    for (const auto &label : TimeAxisLabels(xmin, xmax))
        InsertAxisItem(panel, WINDOW_GRAPH, VAL_BOTTOM_XAXIS, -1, label.second, label.first);
}

void SetManualScale(WindowRecord &w, double lo, double hi) {
    // As the scales dialog confirms "Manual": upside down is exchanged,
    // equal bounds get the room a flat curve gets.
    if (hi < lo) std::swap(lo, hi);
    if (!(lo < hi)) WidenFlatRange(&lo, &hi);
    w.yMax = hi;
    w.yMin = lo;
    w.yRangeFixed = 1;
    ValueAxisRange(w, &lo, &hi);
    SetAxisScalingMode(w.panel, WINDOW_GRAPH, VAL_LEFT_YAXIS, VAL_MANUAL, lo, hi);
    ValCurseur(w.panel, WINDOW_GRAPH, EVENT_COMMIT, nullptr, 0, 0);
}

std::string ZoomText(double span) {
    char text[64];
    if (1.0 > span && span > 0)
        std::snprintf(text, sizeof text, "/ %.0f", 1.0 / span);
    else
        std::snprintf(text, sizeof text, "X %.0f", span);
    return text;
}

int TracerCourbe(const double *value, const double *time, int colour, int slot) {
    if (slot < 0 || slot >= MAX_WINDOWS) return UIEOperationFailed;
    WindowRecord &w = windows[slot];
    double lo = 0.0, hi = 0.0;
    ValueAxisRange(w, &lo, &hi);
    SetAxisScalingMode(w.panel, WINDOW_GRAPH, VAL_LEFT_YAXIS, VAL_MANUAL, lo, hi);
    SetCtrlAttribute(w.panel, WINDOW_GRAPH, ATTR_YNAME, Trimmed(SlotUnitText(w)));
    // A curve drawn again (tile, colours, scales, print) keeps its measuring
    // cursor on the sample the user put it on; only a new curve places it.
    const bool again = w.plotHandle != 0;
    double cursorX = 0, cursorY = 0;
    if (again) GetGraphCursor(w.panel, WINDOW_GRAPH, 1, &cursorX, &cursorY);
    // A missing sample breaks the curve rather than drop it to 0.
    std::vector<double> broken;
    const int gaps = GapCount(w);
    if (gaps > 0 && value == w.value) {
        broken.assign(value, value + w.count);
        for (int g = 0; g < gaps; ++g)
            if (w.gapIndex[g] < w.count) broken[w.gapIndex[g]] = std::nan("");
        value = broken.data();
    }
    // Compared curves first: the measuring cursor snaps to the newest curve,
    // which must be the window's own.
    TracerComparaison(slot);
    int handle = PlotXY(w.panel, WINDOW_GRAPH, time, value, w.count, VAL_DOUBLE, VAL_DOUBLE,
                        VAL_THIN_LINE, VAL_NO_POINT, VAL_SOLID, 1, colour);
    w.plotHandle = handle > 0 ? handle : 0;
    // A range the user fixed stays fixed through every redraw (tile, print,
    // colours) until he chooses Automatic again.
    if (again) {
        SetGraphCursor(w.panel, WINDOW_GRAPH, 1, cursorX, cursorY);
    } else {
        double xmin = 0, xmax = 0, ymin = 0, ymax = 0;
        GetAxisScalingMode(w.panel, WINDOW_GRAPH, VAL_BOTTOM_XAXIS, nullptr, &xmin, &xmax);
        GetAxisScalingMode(w.panel, WINDOW_GRAPH, VAL_LEFT_YAXIS, nullptr, &ymin, &ymax);
        SetGraphCursor(w.panel, WINDOW_GRAPH, 1, xmin + 0.25 * (xmax - xmin),
                       ymin + 0.25 * (ymax - ymin));
    }
    ValCurseur(w.panel, WINDOW_GRAPH, EVENT_COMMIT, nullptr, 0, 0);
    return handle < 0 ? handle : 0;
}

namespace {

// Sets the zoom level's scroll bar and visible time, the view starting at
// `start` (as far as the recording allows), and the zoom indicator.
void ZoomUpdate(WindowRecord &w, double start) {
    w.zoomLevel = std::clamp(w.zoomLevel, 0, ZOOM_LAST - 1);
    w.zoomSpan = zoomTable[w.zoomLevel];
    const double origin = w.count > 0 ? w.time[0] : 0.0;
    ScrollScale scale = ScrollScaleFor(VisibleSpan(w.zoomSpan), RecordingDuration(w));
    ScrollBar_SetAttribute(w.panel, WINDOW_SCROLLBAR, kScrollBarAttrPosition, 0);
    ScrollBar_SetAttribute(w.panel, WINDOW_SCROLLBAR, kScrollBarAttrMaximum, scale.maximum);
    ScrollBar_SetAttribute(w.panel, WINDOW_SCROLLBAR, kScrollBarAttrPage, scale.page);
    ScrollBar_SetAttribute(w.panel, WINDOW_SCROLLBAR, kScrollBarAttrArrowStep,
                           std::max(1, scale.page * SCROLL_ARROW_STEPS / SCROLL_PAGE_STEPS));
    ScrollBar_SetAttribute(w.panel, WINDOW_SCROLLBAR, kScrollBarAttrPosition,
                           ScrollPosition(scale, start - origin));
    ScrollBarCallback(w.panel, WINDOW_SCROLLBAR, kScrollBarEventKey, nullptr, 0, 0);
    SetCtrlVal(w.panel, WINDOW_ZOOM_TEXT, ZoomText(w.zoomSpan));
    ValCurseur(w.panel, WINDOW_GRAPH, EVENT_COMMIT, nullptr, 0, 0);
}

} // namespace

namespace {

// The visible time from `start` exactly (the scroll bar, which counts in
// hundredths of the view, only comes as near as it can).
void ShowFrom(WindowRecord &w, double start) {
    const double span = VisibleSpan(w.zoomSpan);
    const double origin = w.count > 0 ? w.time[0] : 0.0;
    start = ClampedViewStart(start, span, origin, RecordingDuration(w));
    SetVisibleTime(w.panel, start, start + span);
}

} // namespace

void MouseZoom(int panel, int event, int eventData1, int eventData2) {
    int slot = -1;
    for (int i = 0; i < windowCount; ++i)
        if (windows[i].panel == panel) slot = i;
    if (slot < 0) return;
    WindowRecord &w = windows[slot];
    GraphGesture g;
    if (GetGraphGesture(panel, WINDOW_GRAPH, &g) < 0) return;
    double xmin = 0, xmax = 0, ymin = 0, ymax = 0;
    GetAxisScalingMode(panel, WINDOW_GRAPH, VAL_BOTTOM_XAXIS, nullptr, &xmin, &xmax);
    GetAxisScalingMode(panel, WINDOW_GRAPH, VAL_LEFT_YAXIS, nullptr, &ymin, &ymax);
    switch (event) {
    case EVENT_GRAPH_WHEEL:
        if (eventData2 != 0) {
            if (ZoomRangeAround(g.y0, std::pow(VALUE_WHEEL_FACTOR, eventData1), &ymin, &ymax))
                SetManualScale(w, ymin, ymax);
        } else {
            const int level = std::clamp(w.zoomLevel + eventData1, 0, ZOOM_LAST - 1);
            if (level == w.zoomLevel) return;
            w.zoomLevel = level;
            const double start = KeepPointView(g.x0, xmin, xmax, VisibleSpan(zoomTable[level]));
            ZoomUpdate(w, start);
            ShowFrom(w, start);
        }
        break;
    case EVENT_GRAPH_ZOOM_RECT: {
        const double start = std::min(g.x0, g.x1);
        w.zoomLevel = FitZoomLevel(std::fabs(g.x1 - g.x0));
        SetManualScale(w, std::min(g.y0, g.y1), std::max(g.y0, g.y1));
        ZoomUpdate(w, start);
        ShowFrom(w, start);
        break;
    }
    case EVENT_GRAPH_PAN: {
        const ScrollScale scale = ScrollScaleFor(VisibleSpan(w.zoomSpan), RecordingDuration(w));
        const double origin = w.count > 0 ? w.time[0] : 0.0;
        ScrollBar_SetAttribute(panel, WINDOW_SCROLLBAR, kScrollBarAttrPosition,
                               ScrollPosition(scale, g.x0 - origin));
        ShowFrom(w, g.x0);
        if (g.y0 != ymin || g.y1 != ymax) SetManualScale(w, g.y0, g.y1);
        break;
    }
    default:
        break;
    }
}

void FitToWindow() {
    if (currentWindow < 0) return;
    WindowRecord &w = windows[currentWindow];
    w.zoomLevel = FitZoomLevel(RecordingDuration(w));
    ZoomUpdate(w, w.count > 0 ? w.time[0] : 0.0);
}

void ShowNewRecording(bool) {
    if (currentWindow < 0) return;
    WindowRecord &w = windows[currentWindow];
    SampleRange(w, &w.yMin, &w.yMax);
    for (int attribute : {ATTR_XLABEL_VISIBLE, ATTR_YLABEL_VISIBLE, ATTR_XUSE_LABEL_STRINGS})
        SetCtrlAttribute(w.panel, WINDOW_GRAPH, attribute, 1);
    w.yRangeFixed = 0; // the data's own range, with its margin: no range the user fixed
    TracerCourbe(w.value, w.time, w.curveColour, currentWindow);
    FitToWindow();
}

namespace {

constexpr int LEGEND_TEXT_WIDTH = 80; // room for "Y = -1234.56tr/min²" inside the frames

void AddCursorBoxes(WindowRecord &w) {
    const int boxTops[2] = {35, 81};
    for (int b = 0; b < 2; ++b) {
        w.legendCursorBox[b] = NewCtrl(w.panel, CTRL_RAISED_BOX, "", boxTops[b], 3);
        SetCtrlAttribute(w.panel, w.legendCursorBox[b], ATTR_WIDTH, 84);
        SetCtrlAttribute(w.panel, w.legendCursorBox[b], ATTR_HEIGHT, 45);
    }
    const int tops[6] = {36, 50, 64, 82, 96, 110};
    for (int i = 0; i < 6; ++i) {
        w.legendCursorValue[i] = NewCtrl(w.panel, CTRL_TEXT_MSG, "", tops[i], 5);
        SetCtrlAttribute(w.panel, w.legendCursorValue[i], ATTR_GAUGE_STYLE, 0);
        SetCtrlAttribute(w.panel, w.legendCursorValue[i], ATTR_WIDTH, LEGEND_TEXT_WIDTH);
    }
}

void RemoveCursorBoxes(WindowRecord &w) {
    for (auto &box : w.legendCursorBox) {
        if (box > 0) DiscardCtrl(w.panel, box);
        box = 0;
    }
    for (auto &text : w.legendCursorValue) {
        if (text != 0) DiscardCtrl(w.panel, text);
        text = 0;
    }
}

int CursorCount(const WindowRecord &w) {
    int n = 0;
    GetCtrlAttribute(w.panel, WINDOW_GRAPH, ATTR_NUM_CURSORS, &n);
    return n;
}

double ViewStart(const WindowRecord &w) {
    double xmin = 0, xmax = 0;
    GetAxisScalingMode(w.panel, WINDOW_GRAPH, VAL_BOTTOM_XAXIS, nullptr, &xmin, &xmax);
    return xmin;
}

void ToggleGraticule(WindowRecord &w) {
    int shown = 0;
    GetCtrlAttribute(w.panel, WINDOW_GRAPH, ATTR_XGRID_VISIBLE, &shown);
    int next = shown == 0 ? 1 : 0;
    SetCtrlAttribute(w.panel, WINDOW_GRAPH, ATTR_XGRID_VISIBLE, next);
    SetCtrlAttribute(w.panel, WINDOW_GRAPH, ATTR_YGRID_VISIBLE, next);
}

void ToggleVariationCursors(WindowRecord &w) {
    if (CursorCount(w) == 1) {
        SetCtrlAttribute(w.panel, WINDOW_GRAPH, ATTR_NUM_CURSORS, 3);
        for (int c = 2; c <= 3; ++c)
            SetCursorAttribute(w.panel, WINDOW_GRAPH, c, ATTR_CURSOR_MODE, VAL_FREE_FORM_CURSOR);
        SetCursorAttribute(w.panel, WINDOW_GRAPH, 2, ATTR_CURSOR_COLOR, displayColours[3]);
        SetCursorAttribute(w.panel, WINDOW_GRAPH, 3, ATTR_CURSOR_COLOR, displayColours[4]);
        double xmin = 0, xmax = 0, ymin = 0, ymax = 0;
        GetAxisScalingMode(w.panel, WINDOW_GRAPH, VAL_BOTTOM_XAXIS, nullptr, &xmin, &xmax);
        GetAxisScalingMode(w.panel, WINDOW_GRAPH, VAL_LEFT_YAXIS, nullptr, &ymin, &ymax);
        SetGraphCursor(w.panel, WINDOW_GRAPH, 2, xmin + (xmax - xmin) / 5,
                       ymax - (ymax - ymin) / 4);
        SetGraphCursor(w.panel, WINDOW_GRAPH, 3, xmax - (xmax - xmin) / 5,
                       ymin + (ymax - ymin) / 4);
        if (w.legendOffset > 0) AddCursorBoxes(w);
    } else {
        SetCtrlAttribute(w.panel, WINDOW_GRAPH, ATTR_NUM_CURSORS, 1);
        if (w.legendOffset > 0) RemoveCursorBoxes(w);
    }
    ValCurseur(w.panel, WINDOW_GRAPH, EVENT_COMMIT, nullptr, 0, 0);
}

void ToggleLegend(WindowRecord &w) {
    if (w.count == 0) return;
    w.legendOffset = w.legendText[0] == 0 ? LEGEND_WIDTH : 0;
    bool variation = CursorCount(w) > 1;
    double x2 = 0, y2 = 0, x3 = 0, y3 = 0;
    if (variation) Sauver_curseurs(w.panel, &x2, &y2, &x3, &y3);
    if (w.legendOffset > 0) {
        w.legendFrame = NewCtrl(w.panel, CTRL_RAISED_BOX, "", 3, 3);
        SetCtrlAttribute(w.panel, w.legendFrame, ATTR_WIDTH, 84);
        SetCtrlAttribute(w.panel, w.legendFrame, ATTR_HEIGHT, 30);
        SetCtrlAttribute(w.panel, WINDOW_GRAPH, ATTR_LEFT, w.legendOffset);
        w.legendText[0] = NewCtrl(w.panel, CTRL_TEXT_MSG, "", 4, 5);
        w.legendText[1] = NewCtrl(w.panel, CTRL_TEXT_MSG, "", 18, 5);
        SetCtrlAttribute(w.panel, w.legendText[0], ATTR_GAUGE_STYLE, 0);
        SetCtrlAttribute(w.panel, w.legendText[1], ATTR_GAUGE_STYLE, 0);
        for (int text : w.legendText)
            SetCtrlAttribute(w.panel, text, ATTR_WIDTH, LEGEND_TEXT_WIDTH);
        if (variation) AddCursorBoxes(w);
        ValCurseur(w.panel, WINDOW_GRAPH, EVENT_COMMIT, nullptr, 0, 0);
    } else {
        for (int *control : {&w.legendText[0], &w.legendText[1], &w.legendFrame}) {
            if (*control != 0) DiscardCtrl(w.panel, *control);
            *control = 0;
        }
        if (variation) RemoveCursorBoxes(w);
    }
    if (variation) Restaurer_curseurs(w.panel, x2, y2, x3, y3);
}

} // namespace

void Gestion_affichage(int, int menuItem, void *, int) {
    if (currentWindow < 0) return;
    if (menuItem == MENU_COPY_STATISTICS) {
        CopyStatistics();
        return;
    }
    if (menuItem < MENU_GRATICULE || menuItem > MENU_ZOOM_OUT) return;
    WindowRecord &w = windows[currentWindow];
    switch (menuItem) {
    case MENU_GRATICULE:
        ToggleGraticule(w);
        break;
    case MENU_VARIATION_CURSORS:
        ToggleVariationCursors(w);
        break;
    case MENU_LEGEND:
        ToggleLegend(w);
        break;
    case MENU_COLOURS:
        OpenColourPopup();
        break;
    case MENU_SCALES:
        OpenScalePopup();
        break;
    case MENU_ZOOM_IN:
        // Level 22 holds no magnification, only the end of the table.
        if (w.zoomLevel >= ZOOM_LAST - 1) return;
        ++w.zoomLevel;
        ZoomUpdate(w, ViewStart(w));
        break;
    case MENU_ZOOM_OUT:
        if (w.zoomLevel <= 0) return;
        --w.zoomLevel;
        ZoomUpdate(w, ViewStart(w));
        break;
    default:
        break; // 49 and 51 are separators
    }
}
