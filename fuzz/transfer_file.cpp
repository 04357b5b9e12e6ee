// Transfer files (.mon, .tmp): the reader, then the recording line decoded as
// opening such a file decodes it (LoadRecording). Every sample a window takes
// is a decoded field at its time; the line the decoder sees is the line the
// reader accepted; and a recording the instrument sends, written to a transfer
// file by the import, reads back the same.
#include "fuzz.h"

#include "display/display.h"
#include "files/files.h"
#include "link/link.h"
#include "simulator.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

std::string Pair(double a, double b) {
    char text[80];
    std::snprintf(text, sizeof text, "%.17g vs %.17g", a, b);
    return text;
}

// The samples a window opened from entry 0 holds: LoadRecording takes them
// while the times rise.
struct Window {
    int count = 0;
    std::vector<double> time, value;
};

// The steps of opening a transfer file up to the window (OpenTransferText and
// LoadRecording): entry 0 reset and named, the line through cleanLine,
// header and value fields decoded.
Window Decode(const TransferFile &t) {
    ResetImportEntry(0);
    ImportEntry &entry = importTable[0];
    entry.fileName = t.name;
    std::memset(cleanLine, 0, sizeof cleanLine);
    CopyText(cleanLine, sizeof cleanLine, t.line);
    const RecordingLine line = cleanLine;
    FUZZ_CHECK_MSG(line.size() == t.line.size(), "the decoder sees " + std::to_string(line.size()) +
                                                     " of " + std::to_string(t.line.size()) +
                                                     " characters");
    ParseRecordingHeader(line, &entry);
    const int fields = static_cast<int>(line.size() / FIELD_LENGTH);
    DecodeRecordingLine(line, fields, &entry);

    FUZZ_CHECK(entry.values.size() == entry.times.size());
    FUZZ_CHECK(entry.count >= 0 && std::size_t(entry.count) < entry.values.size());
    FUZZ_CHECK(entry.mode >= 0 && entry.mode <= 7);
    FUZZ_CHECK(entry.unitIndex >= 0 && entry.unitIndex <= 15);
    Window w;
    const int count = std::min(entry.count, MAX_SAMPLES);
    FUZZ_CHECK(count >= 1);
    w.count = 1;
    while (w.count < count && entry.times[w.count] - entry.times[w.count - 1] > 0)
        ++w.count;
    FUZZ_CHECK(w.count <= std::max(fields, 1));
    for (int k = 0; k < w.count; ++k) {
        const double v = entry.values[k];
        FUZZ_CHECK(entry.times[k] == static_cast<double>(k) * entry.interval);
        FUZZ_CHECK_MSG(v == UNDEFINED_VALUE || (std::isfinite(v) && v >= 0.0), Pair(v, 0.0));
        w.time.push_back(entry.times[k]);
        w.value.push_back(v);
    }
    return w;
}

// The instrument writes three significant digits, two with a two-digit
// exponent, and clamps what its fields cannot hold.
void CheckSentValue(double back, double v) {
    if (v == UNDEFINED_VALUE) {
        FUZZ_CHECK(back == UNDEFINED_VALUE);
        return;
    }
    if (v == 0.0) {
        FUZZ_CHECK(back == 0.0);
        return;
    }
    if (v < 1e-98 || v > 9e99) return;
    const double tolerance = (v >= 1e-8 && v <= 9e9) ? 0.0051 : 0.051;
    FUZZ_CHECK_MSG(std::fabs(back - v) <= tolerance * v, Pair(back, v));
}

std::string WithCrLf(const std::string &text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

} // namespace

FUZZ_TARGET(transfer_file) {
    TransferFile t;
    if (!ParseTransferFile(fuzz::Text(data, size), &t)) return 0;
    FUZZ_CHECK(t.line.size() >= std::size_t(MIN_TRANSFER_LINE) &&
               t.line.size() <= std::size_t(MAX_TRANSFER_LINE));
    FUZZ_CHECK(t.name.find_first_of("/\\\n") == std::string::npos);
    // Only what the import writes is read: a date of the clock, a name of one line.
    FUZZ_CHECK(t.date[0] >= 1 && t.date[0] <= 12 && t.date[1] >= 1 && t.date[1] <= 31);
    FUZZ_CHECK(t.date[2] >= 1980 && t.date[3] <= 23 && t.date[4] <= 59);
    FUZZ_CHECK(std::none_of(t.name.begin(), t.name.end(),
                            [](char c) { return static_cast<unsigned char>(c) < 0x20; }));
    const Window w = Decode(t);
    const ImportEntry first = importTable[0];
    // A header of digits gives no negative number, interval or coefficient.
    FUZZ_CHECK(first.number >= 0 && first.interval >= 0 && first.coefficient >= 0);

    // The same recording as the instrument sends it, saved by the import.
    rd5150::Recording r;
    r.number = std::max(first.number, 0);
    r.mode = first.mode;
    r.unitIndex = first.unitIndex;
    r.coefficient = first.coefficient;
    r.interval = first.interval;
    for (double v : w.value)
        r.values.push_back(v == UNDEFINED_VALUE ? rd5150::kMissingSample : v);
    const std::string name = StoredName(t.name);
    const int date[6] = {t.date[0], t.date[1], t.date[2], t.date[3], t.date[4], 0};
    const std::string text = TransferFileText(name, date, rd5150::FormatRecordingLine(r));

    TransferFile saved;
    FUZZ_CHECK(ParseTransferFile(text, &saved));
    FUZZ_CHECK(saved.name == name);
    FUZZ_CHECK(std::equal(saved.date, saved.date + 5, t.date));
    TransferFile windows;
    FUZZ_CHECK(ParseTransferFile(WithCrLf(text), &windows));
    FUZZ_CHECK(windows.name == saved.name && windows.line == saved.line);
    const Window back = Decode(saved);
    const ImportEntry &second = importTable[0];
    if (first.number >= 0) FUZZ_CHECK(second.number == first.number);
    FUZZ_CHECK(second.mode == first.mode && second.unitIndex == first.unitIndex);
    if (first.coefficient >= 0 && first.coefficient <= 999.99)
        FUZZ_CHECK_MSG(std::fabs(second.coefficient - first.coefficient) <= 0.0050001,
                       Pair(second.coefficient, first.coefficient));
    if (first.interval >= 0) {
        FUZZ_CHECK(second.interval == first.interval);
        FUZZ_CHECK(back.count == w.count);
    }
    for (int k = 0; k < std::min(back.count, w.count); ++k)
        CheckSentValue(back.value[k], w.value[k]);
    return 0;
}
