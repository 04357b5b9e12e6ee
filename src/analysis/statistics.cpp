// Statistics of a range of samples, from tables built once per curve.
#include "analysis/analysis.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Mean, deviation and RMS from the sums of (value - reference) and of its squares.
void Moments(long double sum, long double squares, int n, double reference, RangeStatistics *s) {
    const long double offset = sum / n;
    const long double variance = std::max(0.0L, squares / n - offset * offset);
    const long double mean = reference + offset;
    s->mean = static_cast<double>(mean);
    s->deviation = static_cast<double>(std::sqrt(variance));
    s->rms = static_cast<double>(std::sqrt(variance + mean * mean));
}

void Ends(const double *time, const double *value, int firstReading, int lastReading,
          RangeStatistics *s) {
    s->duration = time[lastReading] - time[firstReading];
    s->hasSlope = s->count >= 2 && s->duration > 0;
    s->slope = s->hasSlope ? (value[lastReading] - value[firstReading]) / s->duration : 0.0;
}

} // namespace

void StatisticsTable::Build(const double *time, const double *value, const char *missing,
                            int count) {
    count_ = std::max(0, count);
    const std::size_t n = static_cast<std::size_t>(count_);
    time_.assign(time, time + n);
    value_.assign(value, value + n);
    missing_.assign(n, 0);
    if (missing) missing_.assign(missing, missing + n);
    reference_ = 0.0;
    for (std::size_t i = 0; i < n; ++i)
        if (!missing_[i]) {
            reference_ = value_[i];
            break;
        }
    sum_.assign(n + 1, 0.0L);
    sumSquares_.assign(n + 1, 0.0L);
    readings_.assign(n + 1, 0);
    lastReading_.assign(n, -1);
    nextReading_.assign(n, -1);
    const int blocks = (count_ + BLOCK - 1) / BLOCK;
    const double none = std::numeric_limits<double>::quiet_NaN();
    blockMin_.assign(blocks, none);
    blockMax_.assign(blocks, none);
    int last = -1;
    for (int i = 0; i < count_; ++i) {
        const bool reading = !missing_[i];
        const long double d = reading ? static_cast<long double>(value_[i]) - reference_ : 0.0L;
        sum_[i + 1] = sum_[i] + d;
        sumSquares_[i + 1] = sumSquares_[i] + d * d;
        readings_[i + 1] = readings_[i] + (reading ? 1 : 0);
        if (reading) {
            last = i;
            double &lo = blockMin_[i / BLOCK], &hi = blockMax_[i / BLOCK];
            if (std::isnan(lo) || value_[i] < lo) lo = value_[i];
            if (std::isnan(hi) || value_[i] > hi) hi = value_[i];
        }
        lastReading_[i] = last;
    }
    int next = -1;
    for (int i = count_ - 1; i >= 0; --i) {
        if (!missing_[i]) next = i;
        nextReading_[i] = next;
    }
}

void StatisticsTable::Extremes(int first, int last, double *lo, double *hi) const {
    double low = std::numeric_limits<double>::infinity(), high = -low;
    auto scan = [&](int from, int to) {
        for (int i = from; i <= to; ++i) {
            if (missing_[i]) continue;
            low = std::min(low, value_[i]);
            high = std::max(high, value_[i]);
        }
    };
    const int firstBlock = first / BLOCK, lastBlock = last / BLOCK;
    if (firstBlock == lastBlock) {
        scan(first, last);
    } else {
        scan(first, (firstBlock + 1) * BLOCK - 1);
        for (int b = firstBlock + 1; b < lastBlock; ++b) {
            if (std::isnan(blockMin_[b])) continue;
            low = std::min(low, blockMin_[b]);
            high = std::max(high, blockMax_[b]);
        }
        scan(lastBlock * BLOCK, last);
    }
    *lo = low;
    *hi = high;
}

RangeStatistics StatisticsTable::Between(int first, int last) const {
    RangeStatistics s;
    first = std::max(first, 0);
    last = std::min(last, count_ - 1);
    if (first > last) return s;
    s.count = readings_[last + 1] - readings_[first];
    s.missing = last - first + 1 - s.count;
    if (s.count == 0) return s;
    Moments(sum_[last + 1] - sum_[first], sumSquares_[last + 1] - sumSquares_[first], s.count,
            reference_, &s);
    Extremes(first, last, &s.minimum, &s.maximum);
    if (s.minimum == s.maximum) {
        // One value throughout: the sums' rounding must not show as a spread.
        s.mean = s.minimum;
        s.rms = std::fabs(s.minimum);
        s.deviation = 0.0;
    }
    Ends(time_.data(), value_.data(), nextReading_[first], lastReading_[last], &s);
    return s;
}

RangeStatistics StatisticsTable::BetweenTimes(double t1, double t2) const {
    if (t2 < t1) std::swap(t1, t2);
    const int first =
        static_cast<int>(std::lower_bound(time_.begin(), time_.end(), t1) - time_.begin());
    const int last =
        static_cast<int>(std::upper_bound(time_.begin(), time_.end(), t2) - time_.begin()) - 1;
    return Between(first, last);
}

RangeStatistics StatisticsTable::Scan(const double *time, const double *value, const char *missing,
                                      int first, int last) {
    RangeStatistics s;
    int firstReading = -1, lastReading = -1;
    long double sum = 0.0L;
    for (int i = first; i <= last; ++i) {
        if (missing && missing[i]) {
            ++s.missing;
            continue;
        }
        if (firstReading < 0) firstReading = i;
        lastReading = i;
        if (s.count == 0 || value[i] < s.minimum) s.minimum = value[i];
        if (s.count == 0 || value[i] > s.maximum) s.maximum = value[i];
        sum += value[i];
        ++s.count;
    }
    if (s.count == 0) return s;
    const long double mean = sum / s.count;
    long double squares = 0.0L, deviations = 0.0L;
    for (int i = first; i <= last; ++i) {
        if (missing && missing[i]) continue;
        squares += static_cast<long double>(value[i]) * value[i];
        deviations += (value[i] - mean) * (value[i] - mean);
    }
    s.mean = static_cast<double>(mean);
    s.rms = static_cast<double>(std::sqrt(squares / s.count));
    s.deviation = static_cast<double>(std::sqrt(deviations / s.count));
    Ends(time, value, firstReading, lastReading, &s);
    return s;
}
