// A small decoder of the instrument's recording line (header positions and
// the exponent fields), kept apart from the program's own for the simulator's tests.
#pragma once

#include <cstdlib>
#include <string>
#include <vector>

namespace simtest {

inline constexpr double kUndefined = 9999999.9;

// One value token (the field without its ";"). Gives kUndefined for a value
// the program would mark undefined and -1.0 when the token has no exponent
// marker (the end of the values).
inline double DecodeToken(const std::string &token) {
    const auto marker = token.find_first_of("Ee");
    if (marker == std::string::npos) return -1.0;
    const std::string mantissa = token.substr(0, marker);
    if (mantissa.empty() || mantissa.find_first_not_of("0123456789.") != std::string::npos)
        return kUndefined;
    const char sign = marker + 1 < token.size() ? token[marker + 1] : '\0';
    if (marker + 2 >= token.size() || token[marker + 2] < '0' || token[marker + 2] > '9')
        return kUndefined;
    int exponent = token[marker + 2] - '0';
    if (marker + 3 < token.size() && token[marker + 3] >= '0' && token[marker + 3] <= '9')
        exponent = exponent * 10 + (token[marker + 3] - '0');
    double multiplier = 1.0; // the program multiplies in 32-bit integers; doubles suffice here
    for (int i = 0; i < exponent; ++i)
        multiplier *= 10.0;
    const double m = std::strtod(mantissa.c_str(), nullptr);
    return sign == '-' ? m / multiplier : m * multiplier;
}

struct DecodedLine {
    int number = 0, mode = 0, unitIndex = 0, interval = 0;
    double coefficient = 0;
    std::vector<double> values;
};

inline DecodedLine Decode(const std::string &line) {
    DecodedLine d;
    if (line.size() < 22) return d;
    d.number = std::atoi(line.substr(0, 4).c_str());
    d.mode = (line[5] - '0') & 7;
    d.unitIndex = (static_cast<int>(std::strtol(line.substr(7, 1).c_str(), nullptr, 16)) - 1) & 15;
    d.coefficient = std::strtod(line.substr(9, 6).c_str(), nullptr);
    d.interval = std::atoi(line.substr(16, 5).c_str());
    const std::size_t fields = (line.size() - 22) / 8;
    std::size_t pos = 22;
    for (std::size_t k = 0; k < fields && pos < line.size(); ++k) {
        std::string token;
        while (pos < line.size() && line[pos] != ';' && token.size() < 8)
            token += line[pos++];
        ++pos; // the ";" (or the character after 8 taken)
        const double v = DecodeToken(token);
        if (v == -1.0) break;
        d.values.push_back(v);
    }
    return d;
}

} // namespace simtest
