// Cursor readouts of a window's legend, the texts of times and values, and
// the scroll bar that moves the visible time range.
#include "windows/windows.h"

#include "display/display.h"
#include "platform/platform.h"
#include "shell/shell.h"
#include "toolbox/toolbox.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

struct Clock {
    long long h, m, s;
};

Clock Split(double t) {
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
    // Cuts that never reach into the integer part.
    std::size_t point = M.find('.');
    std::size_t integerPart = point == std::string::npos ? M.size() : point;
    auto cut = [&](std::size_t n) {
        if (M.size() > n) M.resize(std::max(n, integerPart));
    };
    if (mode == 1) {
        double f = std::fabs(x) - std::floor(std::fabs(x));
        int d = 0;
        while (f != 0.0) {
            f = 10 * f - std::floor(10 * f);
            ++d;
            if (f < 0.0001) f = 0.0;
        }
        if (d >= 4) {
            double f0 = std::fabs(x) - std::floor(std::fabs(x));
            double k = std::fabs(x) < 1000 ? 1000 : 10;
            double r = k * f0 - std::floor(k * f0);
            double step = (1 - r) / k;
            return FixedText(x > 0 ? x + step : x - step);
        }
    }
    if (L > 6) cut(7);
    if (x > 0) cut(6);
    return M;
}

void Format_valeur(int type, const char *prefix, double x, std::string *text) {
    std::string number = FixedText(x);
    if (number.size() > 6) number = Format_nombre(number, x, 1);
    WindowRecord *w = currentWindow >= 0 ? &windows[currentWindow] : nullptr;
    bool derived = w && w->sourceWindow != -1;
    auto signedJoin = [&](const char *unit) {
        return std::string(prefix) + number + (x < 0 ? "" : " ") + unit;
    };
    auto setUnit = [&](int index) {
        if (w) CopyText(w->unit, sizeof w->unit, unitTable[index]);
    };
    if (derived && w->isAcceleration == 1) {
        int index = ValueUnitIndex(type);
        setUnit(index);
        *text = signedJoin(unitTable[index]);
    } else if (derived && w->isPosition == 1) {
        int index = ValueUnitIndex(type);
        setUnit(index);
        *text = signedJoin(unitTable[index]);
    } else if (type >= 0 && type < 7) {
        setUnit(type);
        if (type == 3 || type == 4)
            *text = std::string(prefix) + number + " " + unitTable[type];
        else
            *text = signedJoin(unitTable[type]);
    } else {
        // The unit field is left as it is; the text names the type's unit.
        const char *unit = type >= 0 && type < UNIT_COUNT ? unitTable[type] : "";
        *text = std::string(prefix) + number + " " + unit;
    }
}

void Afficher_valeurs(int slot) {
    if (slot < 0 || slot >= windowCount) return;
    WindowRecord &w = windows[slot];
    if (w.legendOffset == 0) return;
    int plot = -1, index = -1;
    GetGraphCursorIndex(w.panel, WINDOW_GRAPH, 1, &plot, &index);
    if (plot == -1 || index == -1 || plot != w.plotHandle || index >= w.count) return;
    double lo = 0, hi = 0;
    if (w.yRangeFixed == 0) {
        int maxIndex, minIndex;
        MaxMin1D(w.value, w.count, &hi, &maxIndex, &lo, &minIndex);
        if (w.yMax == 0.0) w.yMax = hi;
        if (w.yMin == 0.0) w.yMin = lo;
    } else {
        lo = w.yMin;
        hi = w.yMax;
    }
    if (WidenFlatRange(&lo, &hi)) w.yRangeFixed = 1;
    SetAxisScalingMode(w.panel, WINDOW_GRAPH, VAL_LEFT_YAXIS, VAL_MANUAL, lo, hi);

    std::string text;
    if (w.legendText[0] != 0 && w.legendText[1] != 0) {
        // Wide enough that long recordings at long intervals keep their true time.
        double t = static_cast<double>(static_cast<uint64_t>(index) * w.interval);
        Format_temps("X = ", t, &text);
        SetCtrlVal(w.panel, w.legendText[0], text);
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

int ValCurseur(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) {
        if (currentWindow >= 0 && windows[currentWindow].legendOffset != 0)
            Afficher_valeurs(currentWindow);
    } else if (event == EVENT_LEFT_DOUBLE_CLICK) {
        Gestion_affichage(menuBar, MENU_SCALES, nullptr, mainPanel);
    }
    return 0;
}

bool ScrollRange(int v, int p, int m, double *lo, double *hi) {
    double a = static_cast<double>(SCROLL_STEP_SECONDS) * v;
    if (a + p > m) {
        *lo = static_cast<double>(m) - p;
        *hi = m;
        return true;
    }
    if (a + p > 0) {
        *lo = a;
        *hi = a + p;
        return true;
    }
    return false;
}

std::vector<std::pair<int, std::string>> TimeAxisLabels(double xmin, double xmax) {
    int positions[5] = {static_cast<int>(xmin), static_cast<int>(3 * xmin + xmax) / 4,
                        static_cast<int>(xmin + xmax) / 2, static_cast<int>(xmin + 3 * xmax) / 4,
                        static_cast<int>(xmax)};
    std::vector<std::pair<int, std::string>> labels;
    for (int position : positions)
        labels.emplace_back(position, ClockText(position));
    return labels;
}

int ScrollBarCallback(int panel, int, int event, void *, int, int) {
    if (event < 1 || event > 6) return 0;
    if (currentWindow < 0 || panel == 0) return 0;
    int v = 0, p = 0, m = 0;
    ScrollBar_GetAttribute(panel, WINDOW_SCROLLBAR, kScrollBarAttrPosition, &v);
    ScrollBar_GetAttribute(panel, WINDOW_SCROLLBAR, kScrollBarAttrPage, &p);
    ScrollBar_GetAttribute(panel, WINDOW_SCROLLBAR, kScrollBarAttrMaximum, &m);
    double lo = 0, hi = 0;
    if (ScrollRange(v, p, m, &lo, &hi))
        SetAxisScalingMode(panel, WINDOW_GRAPH, VAL_BOTTOM_XAXIS, VAL_MANUAL, lo, hi);
    double xmin = 0, xmax = 0;
    GetAxisScalingMode(panel, WINDOW_GRAPH, VAL_BOTTOM_XAXIS, nullptr, &xmin, &xmax);
    DeleteAxisItem(panel, WINDOW_GRAPH, VAL_BOTTOM_XAXIS, 0, -1);
    for (const auto &label : TimeAxisLabels(xmin, xmax))
        InsertAxisItem(panel, WINDOW_GRAPH, VAL_BOTTOM_XAXIS, -1, label.second, label.first);
    return 0;
}
