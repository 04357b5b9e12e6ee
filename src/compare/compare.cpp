// Curves compared in one window: alignment, readings at the cursor's time,
// and the bookkeeping of the compared slots.
#include "compare/compare.h"

#include "platform/platform.h"
#include "windows/windows.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

std::string Trimmed(const char *text) {
    std::string s = text;
    std::size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// Fixed colours that read well on a light window face and on the graph.
constexpr int PALETTE[] = {0x0000FF, 0x008000, 0xC000C0, 0xE07000, 0x008080, 0x804000};

} // namespace

bool HasClockDate(const WindowRecord &w) {
    return w.year >= 1 && w.month >= 1 && w.month <= 12 && w.day >= 1 && w.day <= 31 &&
           w.hour >= 0 && w.hour <= 23 && w.minute >= 0 && w.minute <= 59;
}

double ClockSeconds(const WindowRecord &w) {
    const long long days =
        DaysFromCivil(w.year, static_cast<unsigned>(w.month), static_cast<unsigned>(w.day));
    return static_cast<double>(days) * 86400.0 + w.hour * 3600.0 + w.minute * 60.0;
}

double ComparisonShift(const WindowRecord &window, const WindowRecord &compared) {
    const double own = window.count > 0 ? window.time[0] : 0.0;
    const double other = compared.count > 0 ? compared.time[0] : 0.0;
    double shift = own - other;
    if (HasClockDate(window) && HasClockDate(compared))
        shift += ClockSeconds(compared) - ClockSeconds(window);
    return shift;
}

int ComparedSampleAt(const WindowRecord &c, double shift, double t) {
    const int n = std::clamp(c.count, 0, MAX_SAMPLES);
    if (n == 0 || !std::isfinite(t)) return -1;
    const double local = t - shift;
    // A time reached by adding and removing a shift may fall a rounding
    // short of the sample it names.
    const double slack = 1e-9 * std::max(1.0, std::fabs(local));
    if (local + slack < c.time[0] || local - slack > c.time[n - 1]) return -1;
    const double *after = std::upper_bound(c.time, c.time + n, local + slack);
    const int index = static_cast<int>(after - c.time) - 1;
    if (index < 0 || IsGap(c, index)) return -1;
    return index;
}

std::string ComparedReadout(const WindowRecord &c, double shift, double t) {
    const int index = ComparedSampleAt(c, shift, t);
    std::string number = MISSING_VALUE_TEXT;
    if (index >= 0) {
        char buffer[400];
        std::snprintf(buffer, sizeof buffer, "%f", c.value[index]);
        number = buffer;
        if (number.size() > 6) number = Format_nombre(number, c.value[index], 1);
    }
    std::string title = Trimmed(c.title);
    // Room for four of them beside the window's own on one line.
    if (title.size() > 28) title = title.substr(0, 27) + "~";
    return title + ": " + number + " " + Trimmed(SlotUnitText(c));
}

int ComparedColour(const WindowRecord &window, int k) {
    int found = 0;
    for (int colour : PALETTE) {
        if (colour == (window.curveColour & 0xFFFFFF) || colour == (displayColours[1] & 0xFFFFFF))
            continue;
        if (found++ == k) return colour;
    }
    return PALETTE[k % 6];
}

bool ComparedValueRange(const WindowRecord &window, double *lo, double *hi) {
    bool any = false;
    for (int k = 0; k < std::clamp(window.comparedCount, 0, MAX_COMPARED); ++k) {
        const int s = window.comparedSlot[k];
        if (s < 0 || s >= windowCount) continue;
        double a = 0, b = 0;
        if (!SampleRange(windows[s], &a, &b)) continue;
        *lo = any ? std::min(*lo, a) : a;
        *hi = any ? std::max(*hi, b) : b;
        any = true;
    }
    return any;
}

void ComparisonAfterClose(int closed) {
    for (int j = 0; j < windowCount; ++j) {
        WindowRecord &w = windows[j];
        int kept = 0;
        bool dropped = false;
        for (int k = 0; k < std::clamp(w.comparedCount, 0, MAX_COMPARED); ++k) {
            int s = w.comparedSlot[k];
            if (s == closed || s < 0 || s > windowCount) {
                // Its samples went with its window: the curve cannot stay.
                if (w.comparedPlot[k] > 0 && w.panel > 0)
                    DeleteGraphPlot(w.panel, WINDOW_GRAPH, w.comparedPlot[k], VAL_DELAYED_DRAW);
                dropped = true;
                continue;
            }
            w.comparedSlot[kept] = s > closed ? s - 1 : s;
            w.comparedShift[kept] = w.comparedShift[k];
            w.comparedPlot[kept] = w.comparedPlot[k];
            ++kept;
        }
        for (int k = kept; k < MAX_COMPARED; ++k) {
            w.comparedSlot[k] = 0;
            w.comparedShift[k] = 0.0;
            w.comparedPlot[k] = 0;
        }
        w.comparedCount = kept;
        if (dropped && w.panel > 0) AfficherComparaison(j);
    }
}
