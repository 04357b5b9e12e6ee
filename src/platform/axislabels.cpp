// Time-axis label choice and text elision; see axislabels.h.
#include "platform/axislabels.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <set>

namespace {

const char *const kEllipsis = "\xE2\x80\xA6"; // "…"

bool Continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Character boundaries of a UTF-8 text, so that a cut never splits one.
std::vector<std::size_t> Boundaries(const std::string &text) {
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i <= text.size(); ++i)
        if (i == text.size() || !Continuation(text[i])) at.push_back(i);
    return at;
}

bool Distinct(const std::vector<AxisLabel> &labels) {
    std::set<std::string> texts;
    std::set<double> places;
    for (const AxisLabel &l : labels)
        if (!texts.insert(l.text).second || !places.insert(l.position).second) return false;
    return true;
}

} // namespace

std::string TimeLabelText(double seconds, int decimals) {
    decimals = std::clamp(decimals, 0, 6);
    if (!std::isfinite(seconds)) return "";
    std::int64_t scale = 1;
    for (int i = 0; i < decimals; ++i)
        scale *= 10;
    const bool negative = seconds < 0;
    // Rounded before it is split, so that 59.96 s reads 0:01:00.0, not 0:00:60.0.
    const double scaled = std::round(std::abs(seconds) * static_cast<double>(scale));
    if (scaled > 9.0e18) return "";
    const auto units = static_cast<std::int64_t>(scaled);
    const std::int64_t whole = units / scale;
    const std::int64_t part = units % scale;
    const long long h = whole / 3600, m = (whole % 3600) / 60, s = whole % 60;
    char text[64];
    if (decimals == 0)
        std::snprintf(text, sizeof text, "%s%lld:%02lld:%02lld", negative ? "-" : "", h, m, s);
    else
        std::snprintf(text, sizeof text, "%s%lld:%02lld:%02lld.%0*lld", negative ? "-" : "", h, m,
                      s, decimals, static_cast<long long>(part));
    return text;
}

std::vector<AxisLabel> ShownTimeLabels(const std::vector<AxisLabel> &items, double xmin,
                                       double xmax) {
    if (items.size() < 2 || !(xmin < xmax)) return items;
    if (xmax - xmin >= kShortTimeView && Distinct(items)) return items;
    const std::size_t n = items.size();
    std::vector<AxisLabel> labels(n);
    for (std::size_t k = 0; k < n; ++k)
        labels[k].position =
            k + 1 == n ? xmax : xmin + (xmax - xmin) * static_cast<double>(k) / (n - 1);
    // A label reads its own time to within a hundredth of the labels' spacing
    // (0.75 s reads 0.75, not 0.8), and no two read alike.
    const double spacing = (xmax - xmin) / static_cast<double>(n - 1);
    for (int decimals = 1; decimals <= 6; ++decimals) {
        const double scale = std::pow(10.0, decimals);
        double error = 0.0;
        for (AxisLabel &l : labels) {
            l.text = TimeLabelText(l.position, decimals);
            error = std::max(error, std::abs(std::round(l.position * scale) / scale - l.position));
        }
        if (Distinct(labels) && (error <= spacing / 100 || decimals == 6)) return labels;
    }
    // A view too short even for microseconds: each text once.
    std::set<std::string> seen;
    for (AxisLabel &l : labels)
        if (!seen.insert(l.text).second) l.text.clear();
    return labels;
}

std::vector<AxisLabel> FitAxisLabels(const std::vector<AxisLabel> &labels, double xmin, double xmax,
                                     double pixels, const TextWidth &width, double gap) {
    std::vector<AxisLabel> out = labels;
    if (!(xmin < xmax) || pixels <= 0) {
        for (AxisLabel &l : out)
            l.text.clear();
        return out;
    }
    // Only labels inside the view are drawn; they are taken in their order on the axis.
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < out.size(); ++i)
        if (out[i].position >= xmin && out[i].position <= xmax && !out[i].text.empty())
            order.push_back(i);
        else
            out[i].text.clear();
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return out[a].position < out[b].position;
    });
    auto at = [&](std::size_t i) { return (out[i].position - xmin) / (xmax - xmin) * pixels; };
    std::size_t stride = 1;
    for (; stride < order.size(); stride *= 2) {
        bool fits = true;
        for (std::size_t j = stride; j < order.size() && fits; j += stride) {
            const std::size_t a = order[j - stride], b = order[j];
            fits = at(b) - at(a) >= (width(out[a].text) + width(out[b].text)) / 2 + gap;
        }
        if (fits) break;
    }
    for (std::size_t j = 0; j < order.size(); ++j)
        if (j % stride != 0) out[order[j]].text.clear();
    if (stride >= order.size() && !order.empty()) {
        AxisLabel &lone = out[order[0]];
        lone.text = ElideText(lone.text, pixels, width, ElideSide::Left);
    }
    return out;
}

double ValueTickStep(double step, double span, double pixels, double labelHeight, double gap) {
    if (!(step > 0) || !(span > 0) || !std::isfinite(span)) return step;
    // A graph too short for even one label keeps one at most.
    const double least = pixels > 0 ? span * (labelHeight + gap) / pixels : 2 * span;
    if (step >= least) return step;
    const double magnitude = std::pow(10.0, std::floor(std::log10(least)));
    for (double mantissa : {1.0, 2.0, 2.5, 5.0})
        if (mantissa * magnitude >= least) return mantissa * magnitude;
    return 10 * magnitude;
}

std::string ElideText(const std::string &text, double maxWidth, const TextWidth &width,
                      ElideSide side) {
    if (width(text) <= maxWidth) return text;
    if (width(kEllipsis) > maxWidth) return "";
    const std::vector<std::size_t> cuts = Boundaries(text);
    // Keep as many characters as fit with the ellipsis; widths grow with the count kept.
    std::string best = kEllipsis;
    for (std::size_t keep = 1; keep + 1 < cuts.size(); ++keep) {
        std::string candidate = side == ElideSide::Right
                                    ? text.substr(0, cuts[keep]) + kEllipsis
                                    : kEllipsis + text.substr(cuts[cuts.size() - 1 - keep]);
        if (width(candidate) > maxWidth) break;
        best = std::move(candidate);
    }
    return best;
}
