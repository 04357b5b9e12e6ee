// Cursor readouts of a window's legend, the texts of times and values, and
// the scroll bar that moves the visible time range.
#include "windows/windows.h"

#include "analysis/analysis.h"
#include "compare/compare.h"
#include "display/display.h"
#include "platform/platform.h"
#include "shell/shell.h"
#include "toolbox/toolbox.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

struct Clock {
    long long h, m, s;
};

Clock Split(double t) {
    // Far times (any a recording file may state) keep to what the clock
    // fields can hold: 1e15 hours is beyond any recording.
    constexpr double FAR = 3.6e18;
    t = std::isnan(t) ? 0.0 : std::clamp(t, -FAR, FAR);
    Clock c;
    c.h = static_cast<long long>(t / 3600);
    c.m = static_cast<long long>((t - 3600.0 * c.h) / 60);
    c.s = static_cast<long long>(t - 3600.0 * c.h - 60.0 * c.m);
    return c;
}

std::string FixedText(double x) {
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%f", x);
    return buffer;
}

} // namespace

std::string ClockText(double seconds) {
    Clock c = Split(seconds);
    char text[64];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", c.h, c.m, c.s);
    return text;
}

void Format_temps(const char *prefix, double seconds, std::string *text) {
    Clock c = Split(seconds);
    char buffer[128];
    if (c.h < 100000)
        std::snprintf(buffer, sizeof buffer, "%s%lld:%02lld:%02lld", prefix, c.h, c.m, c.s);
    else
        std::snprintf(buffer, sizeof buffer, "%s%lld:%02lld", prefix, c.h, c.m);
    *text = buffer;
}

std::string Format_nombre(const std::string &text, double x, int mode) {
    std::size_t L = text.size();
    std::string M = text.substr(0, 30);
    std::size_t e = M.find_first_of("Ee");
    if (e != std::string::npos) {
        std::string mantissa = M.substr(0, std::min<std::size_t>(e, 5));
        std::string marker = M.substr(e, 2);
        std::string digits = M.size() > e + 2 ? M.substr(e + 2, 3) : "";
        return mantissa + marker + std::to_string(std::atoi(digits.c_str()));
    }
    // Six characters for a positive number, seven (room for the sign) for
    // the others; the integer part is never cut.
    const std::size_t width = x > 0 ? 6 : (L > 6 ? 7 : L);
    if (M.size() <= width) return M;
    if (mode != 1) {
        std::size_t point = M.find('.');
        std::size_t integerPart = point == std::string::npos ? M.size() : point;
        M.resize(std::max(width, integerPart));
        return M;
    }
    // As many decimals as the width holds, rounded at the last one shown, so
    // that every digit printed is right; a carry may take one decimal more room.
    std::size_t point = M.find('.');
    std::size_t integerPart = point == std::string::npos ? M.size() : point;
    int decimals = static_cast<int>(width) - static_cast<int>(integerPart) - 1;
    char buffer[400];
    while (decimals >= 0) {
        std::snprintf(buffer, sizeof buffer, "%#.*f", decimals, x);
        if (std::strlen(buffer) <= width || decimals == 0) break;
        --decimals;
    }
    if (decimals < 0 || std::strlen(buffer) > width)
        std::snprintf(buffer, sizeof buffer, "%.0f", x);
    return buffer;
}

namespace {

// The number text joined with the unit the value has in the current window;
// sets that window's unit.
std::string JoinValue(int type, const char *prefix, const std::string &number, bool negative) {
    WindowRecord *w = currentWindow >= 0 ? &windows[currentWindow] : nullptr;
    bool derived = w && w->sourceWindow != -1;
    auto signedJoin = [&](const char *unit) {
        return std::string(prefix) + number + (negative ? "" : " ") + unit;
    };
    if (derived && (w->isAcceleration == 1 || w->isPosition == 1)) {
        const char *unit = ValueUnitText(type);
        CopyText(w->unit, sizeof w->unit, unit);
        return signedJoin(unit);
    }
    if (type >= 0 && type < 7) {
        if (w) CopyText(w->unit, sizeof w->unit, unitTable[type]);
        if (type == 3 || type == 4) return std::string(prefix) + number + " " + unitTable[type];
        return signedJoin(unitTable[type]);
    }
    // The unit field is left as it is; the text names the type's unit.
    const char *unit = type >= 0 && type < UNIT_COUNT ? unitTable[type] : "";
    return std::string(prefix) + number + " " + unit;
}

} // namespace

void Format_valeur(int type, const char *prefix, double x, std::string *text) {
    std::string number = FixedText(x);
    if (number.size() > 6) number = Format_nombre(number, x, 1);
    *text = JoinValue(type, prefix, number, x < 0);
}

std::string MissingValueText(int type, const char *prefix) {
    return JoinValue(type, prefix, MISSING_VALUE_TEXT, false);
}

void Afficher_valeurs(int slot) {
    if (slot < 0 || slot >= windowCount) return;
    WindowRecord &w = windows[slot];
    if (w.legendOffset == 0) return;
    int plot = -1, index = -1;
    GetGraphCursorIndex(w.panel, WINDOW_GRAPH, 1, &plot, &index);
    if (plot == -1 || index == -1 || plot != w.plotHandle || index >= w.count) return;
    // The same axis the curve was drawn with.
    double lo = 0, hi = 0;
    ValueAxisRange(w, &lo, &hi);
    SetAxisScalingMode(w.panel, WINDOW_GRAPH, VAL_LEFT_YAXIS, VAL_MANUAL, lo, hi);

    std::string text;
    if (w.legendText[0] != 0 && w.legendText[1] != 0) {
        // Wide enough that long recordings at long intervals keep their true time.
        double t = static_cast<double>(static_cast<uint64_t>(index) * w.interval);
        Format_temps("X = ", t, &text);
        SetCtrlVal(w.panel, w.legendText[0], text);
        if (IsGap(w, index))
            text = MissingValueText(w.measureType, "Y = ");
        else
            Format_valeur(w.measureType, "Y = ", w.value[index], &text);
        SetCtrlVal(w.panel, w.legendText[1], text);
    }
    int cursors = 0;
    GetCtrlAttribute(w.panel, WINDOW_GRAPH, ATTR_NUM_CURSORS, &cursors);
    if (cursors <= 1) return;
    double x2 = 0, y2 = 0, x3 = 0, y3 = 0;
    GetGraphCursor(w.panel, WINDOW_GRAPH, 2, &x2, &y2);
    GetGraphCursor(w.panel, WINDOW_GRAPH, 3, &x3, &y3);
    const int32_t *c = w.legendCursorValue;
    if (c[0] == 0 || c[3] == 0) return;
    Format_temps("X1 = ", x2, &text);
    SetCtrlVal(w.panel, c[0], text);
    Format_valeur(w.measureType, "Y1 = ", y2, &text);
    SetCtrlVal(w.panel, c[3], text);
    if (c[1] == 0 || c[4] == 0) return;
    Format_temps("X2 = ", x3, &text);
    SetCtrlVal(w.panel, c[1], text);
    Format_valeur(w.measureType, "Y2 = ", y3, &text);
    SetCtrlVal(w.panel, c[4], text);
    if (c[2] == 0 || c[5] == 0) return;
    Format_temps("dX = ", std::fabs(x3 - x2), &text);
    SetCtrlVal(w.panel, c[2], text);
    Format_valeur(w.measureType, "dY = ", std::fabs(y3 - y2), &text);
    SetCtrlVal(w.panel, c[5], text);
}

int ValCurseur(int panel, int, int event, void *, int eventData1, int eventData2) {
    if (event == EVENT_COMMIT) {
        // Compared curves are read at the measuring cursor's time, legend or not.
        for (int i = 0; i < windowCount; ++i)
            if (windows[i].panel == panel && windows[i].comparedCount > 0) AfficherComparaison(i);
        if (currentWindow >= 0 && windows[currentWindow].legendOffset != 0)
            Afficher_valeurs(currentWindow);
        // The statistics belong to the window whose cursors moved.
        for (int i = 0; i < windowCount; ++i)
            if (windows[i].panel == panel) ShowCursorStatistics(i);
    } else if (event == EVENT_LEFT_DOUBLE_CLICK) {
        Gestion_affichage(menuBar, MENU_SCALES, nullptr, mainPanel);
    } else if (event == EVENT_GRAPH_WHEEL || event == EVENT_GRAPH_ZOOM_RECT ||
               event == EVENT_GRAPH_PAN) {
        MouseZoom(panel, event, eventData1, eventData2);
    }
    return 0;
}

int ClampToInt(double x) {
    if (std::isnan(x)) return 0;
    if (x <= static_cast<double>(INT_MIN)) return INT_MIN;
    if (x >= static_cast<double>(INT_MAX)) return INT_MAX;
    return static_cast<int>(x);
}

ScrollScale ScrollScaleFor(double span, double duration) {
    ScrollScale scale{};
    double beyond = std::max(0.0, duration - span);
    // Times at both ends of the double range differ by more than a double holds.
    if (!std::isfinite(beyond)) beyond = std::numeric_limits<double>::max();
    scale.unit = std::max(span / SCROLL_PAGE_STEPS, beyond / SCROLL_MAX_STEPS);
    if (!(scale.unit > 0)) scale.unit = 1.0;
    scale.page = std::max(1, ClampToInt(std::round(span / scale.unit)));
    scale.maximum = std::max(0, ClampToInt(std::ceil(beyond / scale.unit - 1e-9)));
    return scale;
}

int ScrollPosition(const ScrollScale &scale, double offset) {
    return std::clamp(ClampToInt(std::round(offset / scale.unit)), 0, scale.maximum);
}

void ScrollRange(int v, double span, double origin, double duration, double *lo, double *hi) {
    ScrollScale scale = ScrollScaleFor(span, duration);
    double start = std::clamp(v * scale.unit, 0.0, std::max(0.0, duration - span));
    *lo = origin + start;
    *hi = *lo + span;
}

std::vector<std::pair<double, std::string>> TimeAxisLabels(double xmin, double xmax) {
    // Whole seconds, as integer division gives them, but kept in a double:
    // a recording's times may lie far beyond what an int holds.
    const double positions[5] = {std::trunc(xmin), std::trunc(std::trunc(3 * xmin + xmax) / 4),
                                 std::trunc(std::trunc(xmin + xmax) / 2),
                                 std::trunc(std::trunc(xmin + 3 * xmax) / 4), std::trunc(xmax)};
    std::vector<std::pair<double, std::string>> labels;
    for (double position : positions)
        labels.emplace_back(position, ClockText(position));
    return labels;
}

int ScrollBarCallback(int panel, int, int event, void *, int, int) {
    if (event < 1 || event > 6) return 0;
    if (currentWindow < 0 || panel == 0) return 0;
    const WindowRecord *w = nullptr;
    for (int i = 0; i < windowCount; ++i)
        if (windows[i].panel == panel) w = &windows[i];
    if (!w) return 0;
    int v = 0;
    ScrollBar_GetAttribute(panel, WINDOW_SCROLLBAR, kScrollBarAttrPosition, &v);
    double lo = 0, hi = 0;
    ScrollRange(v, VisibleSpan(w->zoomSpan), w->count > 0 ? w->time[0] : 0.0, RecordingDuration(*w),
                &lo, &hi);
    SetVisibleTime(panel, lo, hi);
    return 0;
}
