// Recordings of the simulated RD5150: the instrument's line format, the demo
// set and the recordings text file.
#include "simulator.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace rd5150 {

bool IsMissingSample(double v) {
    return std::isnan(v);
}

Recording Recording::Raw(std::string line) {
    Recording r;
    r.rawLine = std::move(line);
    return r;
}

namespace {

// value >= 0 written with the given number of decimals in the instrument's
// exponent form (exponent without leading zeros).
std::string ExponentForm(double a, bool negative, int decimals) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.*E", decimals, a);
    const char *e = std::strchr(buf, 'E');
    int exponent = a == 0.0 ? 0 : std::atoi(e + 1);
    std::string s = negative ? "-" : "";
    s.append(buf, static_cast<std::size_t>(e - buf));
    if (decimals == 0) s += '.';
    s += 'E';
    s += exponent < 0 ? '-' : '+';
    s += std::to_string(std::abs(exponent));
    return s;
}

} // namespace

std::string FormatValueField(double value) {
    if (IsMissingSample(value)) return "----E+0;";
    const bool negative = value < 0;
    double a = std::fabs(value);
    if (a >= 9.9e99) a = 9.9e99;
    if (a < 1e-99) a = 0.0;
    for (int decimals = 2; decimals >= 0; --decimals) {
        std::string s = ExponentForm(a, negative, decimals);
        if (s.size() <= 7) // always exactly 7 (see FormatValueField in simulator.h)
            return s + ';';
    }
    return negative ? "-9.E+99;" : "9.9E+99;";
}

std::string FormatRecordingLine(const Recording &r) {
    if (!r.rawLine.empty()) return r.rawLine;
    const int number = r.number < 0 ? 0 : r.number % 10000;
    const int mode = r.mode & 7;
    const int unitDigit = (r.unitIndex + 1) & 15;
    double k = r.coefficient;
    if (!(k >= 0)) k = 0;
    if (k > 999.99) k = 999.99;
    long interval = r.interval < 0 ? 0 : r.interval;
    if (interval > 99999) interval = 99999;
    char head[64];
    std::snprintf(head, sizeof head, "%04d;%d;%X;%06.2f;%05ld;", number, mode, unitDigit, k,
                  interval);
    std::string line(head);
    line.reserve(line.size() + 8 * r.values.size());
    for (double v : r.values)
        line += FormatValueField(v);
    return line;
}

std::vector<Recording> DemoRecordings() {
    std::vector<Recording> out;
    const double pi = 3.14159265358979;

    // 1. Motor run-up, tr/min, 1 s: idle, start at 10 s, exponential rise to 2950.
    {
        Recording r;
        r.number = 1;
        r.mode = 0;
        r.unitIndex = 0;
        r.coefficient = 1.0;
        r.interval = 1;
        for (int k = 0; k < 120; ++k) {
            double v = k < 10 ? 0.0 : 2950.0 * (1.0 - std::exp(-(k - 10) / 12.0));
            v += k >= 10 ? 4.0 * std::sin(k * 1.7) : 0.0;
            r.values.push_back(v < 0 ? 0 : v);
        }
        out.push_back(r);
    }
    // 2. Conveyor belt, m/min, every 2 s, smoothed: about 12.5 with a slow wander.
    {
        Recording r;
        r.number = 2;
        r.mode = 1;
        r.unitIndex = 1;
        r.coefficient = 0.25;
        r.interval = 2;
        for (int k = 0; k < 200; ++k)
            r.values.push_back(12.5 + 0.6 * std::sin(2 * pi * k / 50.0) + 0.1 * std::sin(k * 2.3));
        out.push_back(r);
    }
    // 3. Frequency, Hz, every second: 50 Hz mains-driven with a dip.
    {
        Recording r;
        r.number = 3;
        r.mode = 0;
        r.unitIndex = 4;
        r.coefficient = 1.0;
        r.interval = 1;
        for (int k = 0; k < 150; ++k) {
            double v = 50.0 + 0.3 * std::sin(k * 0.9);
            if (k >= 60 && k < 75) v -= 2.5 * std::sin(pi * (k - 60) / 15.0);
            r.values.push_back(v);
        }
        out.push_back(r);
    }
    // 4. A fan in RPM every 5 s with missing samples (reading lost).
    {
        Recording r;
        r.number = 4;
        r.mode = 0;
        r.unitIndex = 6;
        r.coefficient = 1.0;
        r.interval = 5;
        for (int k = 0; k < 60; ++k) {
            double v = 1450.0 + 20.0 * std::sin(k * 0.4);
            if (k == 7 || k == 8 || k == 23 || k == 41 || k == 42 || k == 43) v = kMissingSample;
            r.values.push_back(v);
        }
        out.push_back(r);
    }
    // 5. Pulse count, mode COUNT, unit imp, every 10 s: a rising total.
    {
        Recording r;
        r.number = 5;
        r.mode = 2;
        r.unitIndex = 11;
        r.coefficient = 1.0;
        r.interval = 10;
        double total = 0;
        for (int k = 0; k < 80; ++k) {
            total += 37 + (k % 7) * 3;
            r.values.push_back(total);
        }
        out.push_back(r);
    }
    // 6. A long recording: 8,000 samples of a machine cycling, tr/min, 1 s.
    {
        Recording r;
        r.number = 6;
        r.mode = 1;
        r.unitIndex = 0;
        r.coefficient = 1.0;
        r.interval = 1;
        r.values.reserve(8000);
        for (int k = 0; k < 8000; ++k) {
            const int phase = k % 400;
            double v;
            if (phase < 60)
                v = 1500.0 * phase / 60.0;
            else if (phase < 300)
                v = 1500.0 + 25.0 * std::sin(k * 0.21);
            else if (phase < 340)
                v = 1500.0 * (340 - phase) / 40.0;
            else
                v = 0.0;
            r.values.push_back(v);
        }
        out.push_back(r);
    }
    return out;
}

const char *RecordingsFileHelp() {
    return "Recordings file (--recordings FILE), a text file:\n"
           "  # comment lines and blank lines are ignored\n"
           "  recording number=12 mode=1 unit=0 coefficient=1.0 interval=10\n"
           "  150 0.25 - 300     values of the recording above, on any number of lines;\n"
           "                     \"-\" marks a missing sample\n"
           "  raw 0012;1;1;001.00;00010;1.50E+2;2.50E-1;\n"
           "                     a line sent verbatim (the text after \"raw \")\n"
           "  Keys: number 1..9999 (default: position in the file), mode 0..7 (0 NONE,\n"
           "  1 SMOOTH, 2 COUNT), unit 0..15 (0 tr/min, 1 m/min, 2 %, 3 ms, 4 Hz,\n"
           "  5 ft/min, 6 RPM, 7 m, 8 ft, 9 tr, 10 Rev, 11 imp, 12..15 accelerations),\n"
           "  coefficient 0..999.99 (default 1), interval in seconds (default 1).\n";
}

namespace {

bool Fail(std::string *error, int lineNo, const std::string &what) {
    if (error) *error = "line " + std::to_string(lineNo) + ": " + what;
    return false;
}

bool ParseNumber(const std::string &s, double &v) {
    if (s.empty()) return false;
    char *end = nullptr;
    v = std::strtod(s.c_str(), &end);
    return end && *end == '\0' && std::isfinite(v);
}

bool ParseInt(const std::string &s, long lo, long hi, long &v) {
    if (s.empty()) return false;
    char *end = nullptr;
    v = std::strtol(s.c_str(), &end, 10);
    return end && *end == '\0' && v >= lo && v <= hi;
}

} // namespace

bool ParseRecordingsText(const std::string &text, std::vector<Recording> &out, std::string *error) {
    std::vector<Recording> result;
    bool inRecording = false; // values may follow
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        if (line.compare(first, 4, "raw ") == 0 || line.substr(first) == "raw") {
            std::string raw = line.size() > first + 4 ? line.substr(first + 4) : std::string();
            if (raw.empty()) return Fail(error, lineNo, "raw line is empty");
            result.push_back(Recording::Raw(raw));
            inRecording = false;
            continue;
        }
        std::istringstream words(line);
        std::string word;
        words >> word;
        if (word == "recording") {
            Recording r;
            r.number = static_cast<int>(result.size()) + 1;
            while (words >> word) {
                const auto eq = word.find('=');
                if (eq == std::string::npos)
                    return Fail(error, lineNo, "expected key=value, got \"" + word + "\"");
                const std::string key = word.substr(0, eq), val = word.substr(eq + 1);
                long n = 0;
                double d = 0;
                if (key == "number") {
                    if (!ParseInt(val, 0, 9999, n))
                        return Fail(error, lineNo, "number must be 0..9999");
                    r.number = static_cast<int>(n);
                } else if (key == "mode") {
                    if (!ParseInt(val, 0, 7, n)) return Fail(error, lineNo, "mode must be 0..7");
                    r.mode = static_cast<int>(n);
                } else if (key == "unit") {
                    if (!ParseInt(val, 0, 15, n)) return Fail(error, lineNo, "unit must be 0..15");
                    r.unitIndex = static_cast<int>(n);
                } else if (key == "coefficient") {
                    if (!ParseNumber(val, d) || d < 0 || d > 999.99)
                        return Fail(error, lineNo, "coefficient must be 0..999.99");
                    r.coefficient = d;
                } else if (key == "interval") {
                    if (!ParseInt(val, 0, 99999, n))
                        return Fail(error, lineNo, "interval must be 0..99999");
                    r.interval = static_cast<int>(n);
                } else {
                    return Fail(error, lineNo, "unknown key \"" + key + "\"");
                }
            }
            result.push_back(std::move(r));
            inRecording = true;
            continue;
        }
        if (!inRecording) return Fail(error, lineNo, "values outside a \"recording\" block");
        std::istringstream vals(line);
        while (vals >> word) {
            double d = 0;
            if (word == "-")
                result.back().values.push_back(kMissingSample);
            else if (ParseNumber(word, d))
                result.back().values.push_back(d);
            else
                return Fail(error, lineNo, "not a number: \"" + word + "\"");
        }
    }
    out = std::move(result);
    return true;
}

bool LoadRecordingsFile(const std::string &path, std::vector<Recording> &out, std::string *error) {
    std::ifstream f(path, std::ios::binary);
    if (!f) {
        if (error) *error = "cannot open " + path;
        return false;
    }
    std::ostringstream ss;
    ss << f.rdbuf();
    std::string err;
    if (!ParseRecordingsText(ss.str(), out, &err)) {
        if (error) *error = path + ": " + err;
        return false;
    }
    return true;
}

} // namespace rd5150
