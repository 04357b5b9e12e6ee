// Recording files (.vlr): whatever the reader accepts is a recording a window
// can hold, and saving it as the program does gives a file that reads back
// the same, whatever the line ends.
#include "fuzz.h"

#include "display/display.h"
#include "files/files.h"

#include <algorithm>
#include <cmath>

namespace {

std::string Pair(double a, double b) {
    char text[80];
    std::snprintf(text, sizeof text, "%.17g vs %.17g", a, b);
    return text;
}

// Six decimals are written: a number reads back within half a millionth.
bool Near(double back, double written) {
    return std::fabs(back - written) <= 5e-7 + std::fabs(written) * 1e-15;
}

bool Contains(const std::vector<int> &list, int i) {
    return std::binary_search(list.begin(), list.end(), i);
}

void CheckRecording(const RecordingFile &f) {
    const std::size_t n = f.time.size();
    FUZZ_CHECK(n >= 1 && n <= std::size_t(MAX_SAMPLES));
    FUZZ_CHECK(f.value.size() == n);
    FUZZ_CHECK(f.name.size() <= std::size_t(MAX_TITLE_LENGTH));
    FUZZ_CHECK(f.name.find_first_of("/\\") == std::string::npos);
    for (std::size_t i = 0; i < n; ++i) {
        FUZZ_CHECK(std::isfinite(f.time[i]) && std::isfinite(f.value[i]));
        FUZZ_CHECK(f.value[i] != MISSING_SAMPLE);
        if (i > 0) FUZZ_CHECK_MSG(f.time[i] > f.time[i - 1], Pair(f.time[i], f.time[i - 1]));
    }
    for (std::size_t g = 0; g < f.gaps.size(); ++g) {
        FUZZ_CHECK(f.gaps[g] >= 0 && std::size_t(f.gaps[g]) < n);
        FUZZ_CHECK(g == 0 || f.gaps[g] > f.gaps[g - 1]);
        FUZZ_CHECK(f.value[f.gaps[g]] == 0.0);
    }
}

// What saving a window that holds f writes (Ecrire_fichier): the name line
// made from the path, and missing samples marked again.
RecordingFile AsSaved(const RecordingFile &f) {
    RecordingFile saved = f;
    saved.name = NameLine(f.name);
    for (int g : f.gaps)
        saved.value[g] = MISSING_SAMPLE;
    return saved;
}

bool SameRecording(const RecordingFile &a, const RecordingFile &b) {
    return a.name == b.name && a.day == b.day && a.month == b.month && a.year == b.year &&
           a.hour == b.hour && a.minute == b.minute && a.interval == b.interval &&
           a.measureType == b.measureType && a.coefficient == b.coefficient && a.mode == b.mode &&
           a.curveColour == b.curveColour && a.time == b.time && a.value == b.value &&
           a.gaps == b.gaps;
}

std::string WithCrLf(const std::string &text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

} // namespace

FUZZ_TARGET(recording_file) {
    RecordingFile f;
    if (!ParseRecordingFile(fuzz::Text(data, size), &f)) return 0;
    CheckRecording(f);

    // Saved and read again: the same description; samples within the six
    // decimals written, gaps kept; times closer than a millionth may merge,
    // which ends the samples there.
    const RecordingFile saved = AsSaved(f);
    const std::string text = FormatRecordingFile(saved);
    RecordingFile back;
    FUZZ_CHECK(ParseRecordingFile(text, &back));
    CheckRecording(back);
    FUZZ_CHECK(back.name == saved.name);
    FUZZ_CHECK(back.day == f.day && back.month == f.month && back.year == f.year &&
               back.hour == f.hour && back.minute == f.minute);
    FUZZ_CHECK(back.interval == f.interval && back.measureType == f.measureType &&
               back.mode == f.mode && back.curveColour == f.curveColour);
    FUZZ_CHECK_MSG(Near(back.coefficient, f.coefficient), Pair(back.coefficient, f.coefficient));
    const std::size_t n = f.time.size();
    bool spaced = true;
    for (std::size_t i = 1; i < n; ++i)
        spaced = spaced && f.time[i] - f.time[i - 1] > 2e-6;
    FUZZ_CHECK(back.time.size() <= n);
    if (spaced) FUZZ_CHECK(back.time.size() == n);
    for (std::size_t i = 0; i < back.time.size(); ++i) {
        FUZZ_CHECK_MSG(Near(back.time[i], f.time[i]), Pair(back.time[i], f.time[i]));
        const int k = static_cast<int>(i);
        if (Contains(f.gaps, k)) {
            FUZZ_CHECK(Contains(back.gaps, k));
        } else if (!Near(MISSING_SAMPLE, f.value[i])) {
            // (A value within half a millionth of the mark reads back as missing.)
            FUZZ_CHECK(!Contains(back.gaps, k));
            FUZZ_CHECK_MSG(Near(back.value[i], f.value[i]), Pair(back.value[i], f.value[i]));
        }
    }

    // Once written, a recording reads back exactly, and is written again to
    // the same bytes; a file with Windows line ends reads the same.
    const std::string again = FormatRecordingFile(AsSaved(back));
    RecordingFile second;
    FUZZ_CHECK(ParseRecordingFile(again, &second));
    FUZZ_CHECK(SameRecording(second, back));
    FUZZ_CHECK(FormatRecordingFile(AsSaved(second)) == again);
    RecordingFile windows;
    FUZZ_CHECK(ParseRecordingFile(WithCrLf(again), &windows));
    FUZZ_CHECK(SameRecording(windows, back));
    return 0;
}
