// The short value text shared by the position display and the export.
#include "display/display.h"

#include <cstdio>
#include <cstring>

const char *const accelerationUnits[4] = {"tr/s²", "m/s²", "ft/s²", "Rev/s²"};
const char *const rateUnits[4] = {"m/s", "ft/s", "tr/s", "Rev/s"};

namespace {

// Speeds are per minute, but the derivative divides by seconds (after
// turning the speed into per second): its unit is per second squared.
const char *UnitOf(const WindowRecord *w, int type) {
    type &= 0xFF;
    bool derived = w && w->sourceWindow != -1;
    if (derived && w->isAcceleration == 1) {
        switch (type) {
        case 0:
            return accelerationUnits[0];
        case 1:
            return accelerationUnits[1];
        case 5:
            return accelerationUnits[2];
        case 6:
            return accelerationUnits[3];
        case 7:
        case 8:
        case 9:
        case 10:
            return rateUnits[type - 7];
        default:
            return unitTable[0];
        }
    }
    if (derived && w->isPosition == 1) {
        switch (type) {
        case 0:
            return unitTable[9];
        case 1:
            return unitTable[7];
        case 5:
            return unitTable[8];
        case 6:
            return unitTable[10];
        default:
            break;
        }
    }
    return unitTable[type < UNIT_COUNT ? type : 0];
}

} // namespace

const char *ValueUnitText(int type) {
    return UnitOf(currentWindow >= 0 ? &windows[currentWindow] : nullptr, type);
}

const char *SlotUnitText(const WindowRecord &w) {
    return UnitOf(&w, w.measureType);
}

void FormatValue(int type, double x, std::string *text) {
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%f", x);
    std::string s = buffer;
    if (s.size() > 6) {
        std::size_t e = s.find_first_of("Ee");
        if (e == std::string::npos) {
            std::size_t keep = x > 0 ? 6 : 7;
            // A reading never loses digits of its integer part.
            std::size_t point = s.find('.');
            std::size_t integerDigits = point == std::string::npos ? s.size() : point;
            s.resize(std::max(keep, integerDigits));
        } else if (e + 1 < s.size()) {
            int exponent = std::atoi(s.c_str() + e + 2);
            s = s.substr(0, e + 2) + std::to_string(exponent);
        }
    }
    if (currentWindow >= 0) {
        WindowRecord &w = windows[currentWindow];
        CopyText(w.unit, sizeof w.unit, ValueUnitText(type));
    }
    *text = s;
}
