// Which texts a time axis shows, and how a text is cut to a width: no window
// needed, so that the choice can be checked on its own.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct AxisLabel {
    double position = 0.0;
    std::string text;
};

// Width in pixels of a text as it would be drawn.
using TextWidth = std::function<double(const std::string &)>;

// Views shorter than this get labels with parts of a second.
constexpr double kShortTimeView = 4.0;

// A time in seconds as h:mm:ss with `decimals` places of the second (0 to 6).
std::string TimeLabelText(double seconds, int decimals);

// The labels of a time axis for the view xmin .. xmax: the program's own
// items while they name distinct seconds inside a view of kShortTimeView or
// more; otherwise as many labels evenly spread over the view, with as many
// decimals of the second as it takes to tell them apart and for each to read
// its own time to within a hundredth of their spacing.
std::vector<AxisLabel> ShownTimeLabels(const std::vector<AxisLabel> &items, double xmin,
                                       double xmax);

// The labels an axis `pixels` wide can show side by side: every label when
// they do not touch, else every second one, every fourth, and so on, the first
// always kept; a lone label wider than the axis is cut at its left. A label
// that is not shown keeps its place with an empty text.
std::vector<AxisLabel> FitAxisLabels(const std::vector<AxisLabel> &labels, double xmin, double xmax,
                                     double pixels, const TextWidth &width, double gap);

// The step between labels of a value axis `pixels` high: `step` while its
// labels, `labelHeight` high and `gap` apart, fit one above the other over
// `span`; else the smallest of 1, 2, 2.5 and 5 times a power of ten that does.
double ValueTickStep(double step, double span, double pixels, double labelHeight, double gap);

enum class ElideSide { Left, Right };

// `text` cut to at most `maxWidth`, with "…" where the cut is; the text
// itself when it fits; empty when not even "…" fits.
std::string ElideText(const std::string &text, double maxWidth, const TextWidth &width,
                      ElideSide side);
