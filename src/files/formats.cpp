// The text formats of recording and transfer files, the name line and the
// safe replacement of a file on disk. No window is needed here.
#include "files/files.h"

#include "display/display.h"
#include "link/link.h"
#include "platform/replace.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

// Lines of a text without their line ends; files written on Windows end
// lines in CR LF.
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        bool last = end == std::string_view::npos;
        if (last) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!last || !line.empty()) lines.push_back(line);
        if (last) break;
        start = end + 1;
    }
    return lines;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// One number at the start of a word; the whole word must be the number.
bool ParseNumberWord(std::string_view word, double *x) {
    if (word.size() > 1 && word[0] == '+') word.remove_prefix(1);
    const char *first = word.data();
    const char *last = first + word.size();
    auto [end, ec] = std::from_chars(first, last, *x, std::chars_format::general);
    return ec == std::errc() && end == last && std::isfinite(*x);
}

// The first integer of a line, as "%i" reads it: a sign and digits.
bool ParseLeadingInt(std::string_view line, long long *v) {
    std::size_t i = 0;
    while (i < line.size() && IsBlank(line[i]))
        ++i;
    if (i < line.size() && line[i] == '+') ++i;
    const char *first = line.data() + i;
    const char *last = line.data() + line.size();
    auto [end, ec] = std::from_chars(first, last, *v);
    return ec == std::errc() && end != first;
}

template <typename T> void ReadInt(std::string_view line, T *field) {
    long long v = 0;
    if (ParseLeadingInt(line, &v)) *field = static_cast<T>(v);
}

// Up to n unsigned numbers of a date line ("05/31/2024 14:07"), in order.
std::vector<int> DateFields(std::string_view line, std::size_t n) {
    std::vector<int> fields;
    std::size_t i = 0;
    while (i < line.size() && fields.size() < n) {
        if (line[i] < '0' || line[i] > '9') {
            ++i;
            continue;
        }
        int v = 0;
        auto [end, ec] = std::from_chars(line.data() + i, line.data() + line.size(), v);
        if (ec != std::errc()) break;
        fields.push_back(v);
        i = static_cast<std::size_t>(end - line.data());
    }
    return fields;
}

void AppendInt(std::string *out, long long v) {
    char buffer[24];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
    out->append(buffer, end);
}

} // namespace

// ---------------------------------------------------------------- kinds of file

std::string PathExtension(const std::string &path) {
    std::string base = StripDirectoryName(path);
    std::size_t dot = base.rfind('.');
    if (dot == std::string::npos || dot == 0) return "";
    std::string ext = base.substr(dot);
    for (char &c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return ext;
}

FileKind KindOfPath(const std::string &path) {
    std::string ext = PathExtension(path);
    if (ext == ".vlr") return FileKind::Recording;
    if (ext == ".mon" || ext == ".tmp") return FileKind::Transfer;
    return FileKind::Other;
}

// ---------------------------------------------------------------- recording file format

std::string NameLine(const std::string &path) {
    return StoredName(path);
}

void AppendFixed(std::string *out, double x) {
    // to_chars ignores the locale, which Qt sets from the user's environment.
    char buffer[400];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::fixed, 6);
    if (ec != std::errc()) {
        // Only a magnitude beyond 1e390 could get here; doubles have none.
        out->append("0.000000");
        return;
    }
    out->append(buffer, end);
}

std::string FormatRecordingFile(const RecordingFile &f) {
    const std::size_t n = std::min(f.time.size(), f.value.size());
    std::string out;
    out.reserve(200 + f.name.size() + 2 * 16 * n);
    out += f.name;
    out += '\n';
    char date[64];
    std::snprintf(date, sizeof date, "%02d/%02d/%04d %02d:%02d\n", f.day, f.month, f.year, f.hour,
                  f.minute);
    out += date;
    AppendInt(&out, f.interval);
    out += '\n';
    AppendInt(&out, static_cast<long long>(n));
    out += '\n';
    AppendInt(&out, f.measureType);
    out += '\n';
    AppendFixed(&out, f.coefficient);
    out += '\n';
    AppendInt(&out, f.mode);
    out += '\n';
    AppendInt(&out, f.curveColour);
    out += "\n\n";
    for (std::size_t i = 0; i < n; ++i) {
        AppendFixed(&out, f.time[i]);
        out += ' ';
    }
    out += '\n';
    for (std::size_t i = 0; i < n; ++i) {
        AppendFixed(&out, f.value[i]);
        out += ' ';
    }
    return out;
}

std::vector<double> ParseNumbers(std::string_view line, std::size_t max) {
    std::vector<double> numbers;
    numbers.reserve(std::min<std::size_t>(max, line.size() / 2 + 1));
    std::size_t i = 0;
    while (numbers.size() < max) {
        while (i < line.size() && IsBlank(line[i]))
            ++i;
        if (i >= line.size()) break;
        std::size_t end = i;
        while (end < line.size() && !IsBlank(line[end]))
            ++end;
        double x = 0.0;
        if (!ParseNumberWord(line.substr(i, end - i), &x)) break;
        numbers.push_back(x);
        i = end;
    }
    return numbers;
}

bool ParseRecordingFile(std::string_view text, RecordingFile *f) {
    std::vector<std::string_view> lines = SplitLines(text);
    lines.resize(std::max<std::size_t>(lines.size(), 11));
    *f = RecordingFile{};
    f->name = StripDirectoryName(lines[0]).substr(0, MAX_TITLE_LENGTH);
    std::vector<int> date = DateFields(lines[1], 5);
    int *dateFields[5] = {&f->day, &f->month, &f->year, &f->hour, &f->minute};
    for (std::size_t k = 0; k < date.size(); ++k)
        *dateFields[k] = date[k];
    long long interval = 0, count = 0;
    if (ParseLeadingInt(lines[2], &interval)) f->interval = static_cast<unsigned>(interval);
    ParseLeadingInt(lines[3], &count);
    if (count < 1 || count > MAX_SAMPLES) return false;
    ReadInt(lines[4], &f->measureType);
    std::vector<double> coefficient = ParseNumbers(lines[5], 1);
    if (!coefficient.empty()) f->coefficient = coefficient[0];
    ReadInt(lines[6], &f->mode);
    ReadInt(lines[7], &f->curveColour);

    std::vector<double> t = ParseNumbers(lines[9], static_cast<std::size_t>(count));
    std::vector<double> v = ParseNumbers(lines[10], static_cast<std::size_t>(count));
    std::size_t n = std::min(t.size(), v.size());
    if (n == 0) return false;
    // The samples end where the times stop rising.
    std::size_t stored = 1;
    while (stored < n && t[stored] - t[stored - 1] > 0.0)
        ++stored;
    t.resize(stored);
    v.resize(stored);
    for (std::size_t i = 0; i < stored; ++i) {
        if (v[i] == MISSING_SAMPLE) {
            v[i] = 0.0;
            f->gaps.push_back(static_cast<int>(i));
        }
    }
    f->time = std::move(t);
    f->value = std::move(v);
    return true;
}

// ---------------------------------------------------------------- transfer file format

bool ParseTransferFile(std::string_view text, TransferFile *f) {
    std::vector<std::string_view> lines = SplitLines(text);
    *f = TransferFile{};
    if (lines.size() < 3) return false;
    f->name = StripDirectoryName(lines[0]);
    std::vector<int> date = DateFields(lines[1], 5);
    std::copy(date.begin(), date.end(), f->date);
    std::string_view line = lines[2];
    if (line.size() < MIN_TRANSFER_LINE || line.size() > MAX_TRANSFER_LINE) return false;
    // The decoder reads the line as text, up to a zero byte: a line holding
    // one is damaged, and would open cut short or with no sample at all.
    if (line.find('\0') != std::string_view::npos) return false;
    f->line = std::string(line);
    return true;
}

// ---------------------------------------------------------------- writing files

bool ReadWholeFile(const std::string &path, std::string *text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    if (in.bad()) return false;
    *text = std::move(s).str();
    return true;
}

bool ReplaceFileContents(const std::string &path, const std::string &text) {
    return ReplaceFileText(path, text) == REPLACE_DONE;
}

// ---------------------------------------------------------------- recent files

std::string RecentEntryPath(const std::string &entry) {
    if (entry.size() <= 4 || entry[0] != '_') return "";
    return entry.substr(4);
}

bool UpdateRecentList(RecentList *list, const std::string &path) {
    // An entry holds "__1 " and the path in 300 characters; a cut path would
    // name another file, and a line end would break the settings file.
    if (path.empty() || path.size() > RECENT_ENTRY_SIZE - 1 - 4 ||
        path.find_first_of("\r\n") != std::string::npos)
        return false;
    if (RecentEntryPath((*list)[0]) == path) return false;
    std::vector<std::string> paths{path};
    for (const std::string &entry : *list) {
        std::string p = RecentEntryPath(entry);
        if (!p.empty() && std::find(paths.begin(), paths.end(), p) == paths.end())
            paths.push_back(p);
    }
    for (std::size_t k = 0; k < list->size(); ++k) {
        (*list)[k].clear();
        if (k < paths.size()) {
            (*list)[k] = "__";
            (*list)[k] += static_cast<char>('1' + k);
            (*list)[k] += ' ';
            (*list)[k] += paths[k];
        }
    }
    return true;
}
