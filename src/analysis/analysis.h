// Measurements on a window's curve: statistics of the samples between the
// two variation cursors.
#pragma once

#include <string>
#include <vector>

// Figures of the samples in a range; missing samples are left out of every
// figure and only counted.
struct RangeStatistics {
    int count = 0;   // samples with a reading
    int missing = 0; // samples without one
    double minimum = 0.0;
    double maximum = 0.0;
    double mean = 0.0;
    double rms = 0.0;       // root of the mean square
    double deviation = 0.0; // standard deviation of the population (divides by count)
    // Seconds from the first reading of the range to its last.
    double duration = 0.0;
    // (last reading - first reading) / duration, in value units per second;
    // false while the range holds fewer than two readings.
    bool hasSlope = false;
    double slope = 0.0;
};

// The samples of one curve made ready for range queries: prefix sums (kept
// in long double, from a reference value, so that a short range of a long
// recording keeps its digits) answer count, missing, mean, RMS and deviation
// in constant time; the first and last reading of a range come from
// next/previous-reading indices in constant time; minimum and maximum come
// from per-block extremes, at most 2 x BLOCK + n / BLOCK comparisons.
class StatisticsTable {
  public:
    static constexpr int BLOCK = 128;

    // missing[i] != 0 marks sample i as without a reading (may be null).
    void Build(const double *time, const double *value, const char *missing, int count);
    int Size() const { return count_; }
    // Samples first .. last (inclusive, clamped to the curve).
    RangeStatistics Between(int first, int last) const;
    // Samples whose times lie within [t1, t2] (either order); times rise.
    RangeStatistics BetweenTimes(double t1, double t2) const;
    // The same figures, each sample visited once in order: the reference.
    static RangeStatistics Scan(const double *time, const double *value, const char *missing,
                                int first, int last);

  private:
    int count_ = 0;
    double reference_ = 0.0;
    std::vector<double> time_, value_;
    std::vector<char> missing_;
    std::vector<long double> sum_, sumSquares_;  // of value - reference_, count_ + 1 entries
    std::vector<int> readings_;                  // readings before each index, count_ + 1
    std::vector<int> nextReading_, lastReading_; // -1 where none
    std::vector<double> blockMin_, blockMax_;    // NaN for a block without readings
    void Extremes(int first, int last, double *lo, double *hi) const;
};

// ---------------------------------------------------------------- window side
constexpr int MENU_COPY_STATISTICS = 76;

// Shows, in the graph of a slot, the statistics between its variation
// cursors while they are on, and nothing while they are off. The table of a
// slot is built once per curve and built again when its curve is drawn anew.
void ShowCursorStatistics(int slot);
// Statistics between the variation cursors of a slot; false when they are off.
bool CursorStatistics(int slot, RangeStatistics *stats, double *t1, double *t2);
// The panel's text, and the text Copy statistics puts on the clipboard
// (tab-separated label, number, unit lines), in a language.
std::string StatisticsPanelText(const RangeStatistics &s, const std::string &unit, int lang);
std::string StatisticsClipboardText(const RangeStatistics &s, double t1, double t2,
                                    const std::string &title, const std::string &unit, int lang);
// Display > Copy statistics on the current window.
void CopyStatistics();
