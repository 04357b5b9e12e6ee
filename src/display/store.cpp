// The recording store: one fixed record per graph window.
#include "display/display.h"

#include <algorithm>
#include <cstring>

WindowRecord windows[MAX_WINDOWS];
int windowCount = 0;
int currentWindow = -1;

const char *const unitTable[UNIT_COUNT] = {
    "tr/min", " m/min", " % ",   " ms  ",  " Hz  ",   "ft/min", " RPM ",   " m  ",
    " ft  ",  " tr  ",  " Rev ", " imp .", "tr/min²", "m/min²", "ft/min²", "Rev/min²"};

const double zoomTable[25] = {0.0001, 0.0002, 0.0005, 0.001, 0.002, 0.005, 0.01, 0.02, 0.05,
                              0.1,    0.2,    0.5,    1,     2,     5,     10,   20,   50,
                              100,    200,    500,    1000,  0.0,   0.0,   0.0};

void CopyText(char *field, std::size_t size, const std::string &text) {
    std::size_t n = std::min(size - 1, text.size());
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

namespace {

// Zeroes a block a page at a time, writing only pages that hold something:
// a page never written stays unmapped, so an empty slot's 1.3 MB of arrays
// take no memory until a recording fills them.
void ZeroTouched(void *block, std::size_t size) {
    constexpr std::size_t PAGE = 4096;
    static const unsigned char zeros[PAGE] = {};
    auto *bytes = static_cast<unsigned char *>(block);
    for (std::size_t at = 0; at < size; at += PAGE) {
        const std::size_t n = std::min(PAGE, size - at);
        if (std::memcmp(bytes + at, zeros, n) != 0) std::memset(bytes + at, 0, n);
    }
}

} // namespace

void ResetSlot(int slot) {
    if (slot < 0 || slot >= MAX_WINDOWS) return;
    WindowRecord &w = windows[slot];
    double *total = w.total;
    int32_t cursorValue[6];
    std::memcpy(cursorValue, w.legendCursorValue, sizeof cursorValue);
    ZeroTouched(&w, sizeof w);
    w.total = total;
    std::memcpy(w.legendCursorValue, cursorValue, sizeof cursorValue);
    const std::string blanks(18, ' ');
    for (auto &label : w.labelText)
        CopyText(label, sizeof label, blanks);
    CopyText(w.title, sizeof w.title, blanks);
    CopyText(w.unit, sizeof w.unit, blanks);
}

int GapCount(const WindowRecord &w) {
    if (!w.hasGaps) return 0;
    // The list rises strictly; the zeros after its end stop it.
    int n = 1;
    while (n < MAX_GAPS && w.gapIndex[n] > w.gapIndex[n - 1])
        ++n;
    return n;
}

bool IsGap(const WindowRecord &w, int index) {
    const int n = GapCount(w);
    return std::binary_search(w.gapIndex, w.gapIndex + n, index);
}

bool SampleRange(const WindowRecord &w, double *lo, double *hi) {
    const int n = GapCount(w);
    bool found = false;
    double low = 0.0, high = 0.0;
    // The runs of readings between the gaps, each in one plain pass.
    for (int start = 0, g = 0; start < w.count;) {
        while (g < n && w.gapIndex[g] < start)
            ++g;
        const int end = g < n ? std::min(w.gapIndex[g], w.count) : w.count;
        if (end > start) {
            if (!found) low = high = w.value[start];
            for (int k = start; k < end; ++k) {
                low = std::min(low, w.value[k]);
                high = std::max(high, w.value[k]);
            }
            found = true;
        }
        start = end + 1; // past the gap: its 0.0 is no reading
    }
    if (found) {
        *lo = low;
        *hi = high;
    } else {
        *lo = *hi = 0.0;
    }
    return found;
}

double RecordingDuration(const WindowRecord &w) {
    return w.count > 1 ? w.time[w.count - 1] - w.time[0] : 0.0;
}
