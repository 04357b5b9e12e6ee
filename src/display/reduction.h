// A curve reduced to what the pixel columns of a view can show: in each
// column the first, lowest, highest and last sample, in time order. A line
// through them covers the same pixels as the line through every sample, so a
// 65,000-sample curve draws from a few points per column. A missing value
// (NaN) stays a break.
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

// Reduces the samples (times rising) seen between lo and hi, on `columns`
// columns, into out (cleared first). One sample either side of the view is
// kept, so that the line runs on to the edges. `time` and `value` are arrays,
// or anything that gives the k-th sample with [k].
template <class Times, class Values>
void ReduceToColumns(const Times &time, const Values &value, int count, double lo, double hi,
                     double columns, std::vector<double> *outTime, std::vector<double> *outValue) {
    outTime->clear();
    outValue->clear();
    if (count <= 0 || !(hi > lo) || !(columns > 0)) return;
    // The first sample at or after t (after, when `after`).
    auto firstFrom = [&](double t, bool after) {
        int a = 0, b = count;
        while (a < b) {
            const int mid = a + (b - a) / 2;
            if (after ? !(t < time[mid]) : time[mid] < t)
                a = mid + 1;
            else
                b = mid;
        }
        return a;
    };
    const int begin = std::max(0, firstFrom(lo, false) - 1);
    const int end = std::min(count, firstFrom(hi, true) + 1);
    const double scale = columns / (hi - lo);
    // The current column's run of values: first, lowest, highest, last.
    bool open = false;
    double column = 0;
    int first = 0, lowest = 0, highest = 0, last = 0;
    auto put = [&](int k) {
        outTime->push_back(time[k]);
        outValue->push_back(value[k]);
    };
    auto close = [&] {
        if (!open) return;
        int picked[4] = {first, lowest, highest, last};
        std::sort(picked, picked + 4);
        for (int i = 0; i < 4; ++i)
            if (i == 0 || picked[i] != picked[i - 1]) put(picked[i]);
        open = false;
    };
    for (int k = begin; k < end; ++k) {
        const double v = value[k];
        if (std::isnan(v)) {
            close();
            // Several missing samples in a row make one break.
            if (outValue->empty() || !std::isnan(outValue->back())) put(k);
            continue;
        }
        const double c = std::floor((time[k] - lo) * scale);
        if (!open || c != column) {
            close();
            open = true;
            column = c;
            first = lowest = highest = k;
        }
        if (v < value[lowest]) lowest = k;
        if (v > value[highest]) highest = k;
        last = k;
    }
    close();
}
