// Value fields of a recording line (DecodeValueText, DecodeValueToken): a
// field without an exponent marker is refused; every other field gives a
// value that is not negative, or the mark of a missing sample; a field of the
// instrument's form gives its number; and every value the instrument writes
// decodes to itself within the digits the field holds.
#include "fuzz.h"

#include "link/link.h"
#include "simulator.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

std::string Describe(std::string_view token, double value) {
    char text[120];
    std::snprintf(text, sizeof text, "field \"%.*s\" gives %.17g", static_cast<int>(token.size()),
                  token.data(), value);
    return text;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Digits with at most one point, a marker, a sign and one or two digits: the
// form the instrument writes. The number it stands for, by the C library.
bool InstrumentForm(std::string_view field, double *number) {
    std::size_t marker = field.find_first_of("Ee");
    if (marker == std::string_view::npos || marker == 0) return false;
    std::string_view mantissa = field.substr(0, marker);
    if (std::count(mantissa.begin(), mantissa.end(), '.') > 1 ||
        !std::all_of(mantissa.begin(), mantissa.end(),
                     [](char c) { return IsDigit(c) || c == '.'; }) ||
        !std::any_of(mantissa.begin(), mantissa.end(), IsDigit))
        return false;
    std::string_view exponent = field.substr(marker + 1);
    if (exponent.size() < 2 || exponent.size() > 3 || (exponent[0] != '+' && exponent[0] != '-') ||
        !std::all_of(exponent.begin() + 1, exponent.end(), IsDigit))
        return false;
    std::string text(mantissa);
    text += 'e';
    text += exponent;
    *number = std::strtod(text.c_str(), nullptr);
    return true;
}

} // namespace

FUZZ_TARGET(value_token) {
    fuzz::Bytes bytes(data, size);
    const double sent = bytes.Double();
    // A token is text: the program's never hold a zero byte.
    std::string_view token = bytes.Rest();
    token = token.substr(0, token.find('\0'));

    // The field holds at most 9 characters.
    const std::string_view field = token.substr(0, 9);
    const bool marked = field.find_first_of("Ee") != std::string_view::npos;
    double value = -1.0;
    FUZZ_CHECK(DecodeValueText(token, &value) == marked);
    if (marked) {
        FUZZ_CHECK_MSG(value == UNDEFINED_VALUE || (std::isfinite(value) && value >= 0.0),
                       Describe(field, value));
        double expected = 0.0;
        if (InstrumentForm(field, &expected) && std::isfinite(expected))
            FUZZ_CHECK_MSG(std::fabs(value - expected) <= 1e-13 * expected,
                           Describe(field, value) + ", not " + std::to_string(expected));
    }

    // Through the import table: only the entry's own samples are written.
    ImportEntry &entry = importTable[1];
    entry.values.assign(2, -2.0);
    std::memset(entry.token, 0, sizeof entry.token);
    std::memcpy(entry.token, token.data(), std::min<std::size_t>(token.size(), 9));
    FUZZ_CHECK(DecodeValueToken(1, 1) == (marked ? 1 : 0));
    FUZZ_CHECK(entry.values[0] == -2.0);
    if (marked) FUZZ_CHECK(entry.values[1] == value);
    FUZZ_CHECK(DecodeValueToken(1, 2) == (marked ? 1 : 0));
    FUZZ_CHECK(DecodeValueToken(1, -1) == (marked ? 1 : 0));
    FUZZ_CHECK(DecodeValueToken(IMPORT_ENTRIES, 0) == 0 && DecodeValueToken(-1, 0) == 0);

    // What the instrument writes for a value: 8 characters with its ";", and
    // the same value back within three significant digits (two when the
    // exponent has two), inside the range its fields can hold.
    if (std::isnan(sent) || sent < 0) return 0;
    const std::string written = rd5150::FormatValueField(sent);
    FUZZ_CHECK(written.size() == 8 && written.back() == ';');
    double back = -1.0;
    FUZZ_CHECK(DecodeValueText(std::string_view(written).substr(0, 7), &back));
    if (sent < 1e-98) {
        FUZZ_CHECK(back <= 1e-98);
    } else if (sent > 9e99) {
        FUZZ_CHECK(back >= 9e99 && back < 1e100);
    } else {
        const double tolerance = (sent >= 1e-8 && sent <= 9e9) ? 0.0051 : 0.051;
        FUZZ_CHECK_MSG(std::fabs(back - sent) <= tolerance * sent, Describe(written, back));
    }
    return 0;
}
