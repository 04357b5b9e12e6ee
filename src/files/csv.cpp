// The csv form of a recording, shared by the File menu's export and
// velorinder-cli, so that both write the same bytes.
#include "files/files.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

// "%f" of x: six decimals and a point, correctly rounded, as AppendFixed
// writes it, at a fraction of its cost for the magnitudes of recordings.
void AppendSixDecimals(std::string *out, double x) {
    // Below 4e12 the product is within 2^-11 of x times a million, so its
    // nearest integer is the right one unless the exact value lies next to a
    // half: those, and anything larger, take the general road.
    const double scaled = x * 1e6;
    const double fraction = std::fabs(scaled - std::trunc(scaled));
    if (!(std::fabs(x) < 4e6) || std::fabs(fraction - 0.5) < 1e-3) {
        AppendFixed(out, x);
        return;
    }
    const long long n = std::llround(std::fabs(scaled));
    char buffer[32];
    char *p = buffer;
    if (std::signbit(x)) *p++ = '-';
    p = std::to_chars(p, buffer + sizeof buffer, n / 1000000).ptr;
    *p++ = '.';
    long long decimals = n % 1000000;
    for (int d = 5; d >= 0; --d) {
        p[d] = static_cast<char>('0' + decimals % 10);
        decimals /= 10;
    }
    out->append(buffer, p + 6);
}

} // namespace

std::string FormatCsvFile(const RecordingFile &f, const std::string &unit) {
    const std::size_t n = std::min(f.time.size(), f.value.size());
    std::vector<bool> gap(n, false);
    for (int g : f.gaps)
        if (g >= 0 && static_cast<std::size_t>(g) < n) gap[static_cast<std::size_t>(g)] = true;
    std::string out = "time_s,value,unit\n";
    out.reserve(out.size() + n * (24 + unit.size()));
    for (std::size_t i = 0; i < n; ++i) {
        AppendSixDecimals(&out, f.time[i]);
        out += ',';
        if (!gap[i]) AppendSixDecimals(&out, f.value[i]);
        out += ',';
        out += unit;
        out += '\n';
    }
    return out;
}
