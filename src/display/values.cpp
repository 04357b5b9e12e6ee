// The short value text shared by the position display and the export.
#include "display/display.h"

#include <cstdio>
#include <cstring>

int ValueUnitIndex(int type) {
    type &= 0xFF;
    const WindowRecord *w = currentWindow >= 0 ? &windows[currentWindow] : nullptr;
    bool derived = w && w->sourceWindow != -1;
    if (derived && w->isAcceleration == 1) {
        switch (type) {
        case 0:
            return 12;
        case 1:
            return 13;
        case 5:
            return 14;
        case 6:
            return 15;
        case 7:
            return 1;
        case 8:
            return 5;
        case 9:
            return 0;
        case 10:
            return 6;
        default:
            return 0;
        }
    }
    if (derived && w->isPosition == 1) {
        switch (type) {
        case 0:
            return 9;
        case 1:
            return 7;
        case 5:
            return 8;
        case 6:
            return 10;
        default:
            break;
        }
    }
    return type < UNIT_COUNT ? type : 0;
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
        CopyText(w.unit, sizeof w.unit, unitTable[ValueUnitIndex(type)]);
    }
    *text = s;
}
