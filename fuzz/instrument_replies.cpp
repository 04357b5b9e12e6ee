// The instrument's replies as the link judges them: the presence reply and a
// refusal are found by substring ("*E" in any case, "*EX" in exact case), and
// the count of recordings is the integer a reply to "Md" starts with.
#include "fuzz.h"

#include "link/link.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

namespace {

bool Contains(std::string_view reply, std::string_view pattern, bool caseSensitive) {
    auto same = [caseSensitive](char a, char b) {
        if (caseSensitive) return a == b;
        return std::toupper(static_cast<unsigned char>(a)) ==
               std::toupper(static_cast<unsigned char>(b));
    };
    return std::search(reply.begin(), reply.end(), pattern.begin(), pattern.end(), same) !=
           reply.end();
}

// A reply line as ComRdTerm leaves it: at most max bytes, up to the line feed,
// in a zeroed buffer one byte longer.
std::vector<char> Line(std::string_view bytes, std::size_t max) {
    std::string_view line = bytes.substr(0, std::min(bytes.find('\n'), max));
    std::vector<char> buffer(max + 1, '\0');
    std::copy(line.begin(), line.end(), buffer.begin());
    return buffer;
}

} // namespace

FUZZ_TARGET(instrument_replies) {
    const std::string_view bytes = fuzz::Text(data, size);
    for (std::size_t max : {std::size_t(20), std::size_t(200)}) {
        const std::vector<char> buffer = Line(bytes, max);
        const int n = static_cast<int>(std::min({bytes.find('\n'), max, bytes.size()}));
        const std::string_view reply(buffer.data(), std::size_t(n));
        FUZZ_CHECK(ReplyContains(buffer.data(), n, "*E", false) == Contains(reply, "*E", false));
        FUZZ_CHECK(ReplyContains(buffer.data(), n, "*EX", true) == Contains(reply, "*EX", true));
        FUZZ_CHECK(ReplyContains(buffer.data(), n, "*EX", false) == Contains(reply, "*EX", false));
        // Only the bytes read count, not what lies beyond them in the buffer.
        FUZZ_CHECK(!ReplyContains(buffer.data(), 0, "*E", false));
    }

    // The count: blanks, then the decimal digits of a number no instrument
    // exceeds; a sign other than "+", or no digit, refuses the reply.
    const std::vector<char> buffer = Line(bytes, 20);
    const char *p = buffer.data();
    while (*p == ' ' || *p == '\t')
        ++p;
    const bool minus = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    const char *digits = p;
    while (*p >= '0' && *p <= '9')
        ++p;
    const std::string number(digits, p);
    const std::size_t first = number.find_first_not_of('0');
    const std::string significant = first == std::string::npos ? "" : number.substr(first);
    const bool fits = significant.size() < 7 || significant == "1000000";
    int count = -12345;
    const bool read = ParseRecordingCount(buffer.data(), &count);
    FUZZ_CHECK(read == (!number.empty() && !minus && fits));
    if (read) {
        FUZZ_CHECK(count >= 0 && count <= 1000000);
        FUZZ_CHECK(std::to_string(count) == (significant.empty() ? "0" : significant));
    } else {
        FUZZ_CHECK(count == -12345);
    }
    return 0;
}
