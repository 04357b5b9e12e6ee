// The text formats of recording and transfer files, the name line and the
// safe replacement of a file on disk. No window is needed here.
#include "files/files.h"

#include "display/display.h"
#include "link/link.h"
#include "platform/replace.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool AllDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), IsDigit);
}

// "05/31/2024 14:07" as the import writes it, each field within its range.
bool ReadTransferDate(std::string_view text, int date[5]) {
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    if (text.size() != 16 || text[2] != '/' || text[5] != '/' || text[10] != ' ' || text[13] != ':')
        return false;
    const std::size_t at[5] = {0, 3, 6, 11, 14}, width[5] = {2, 2, 4, 2, 2};
    const int low[5] = {1, 1, 1980, 0, 0}, high[5] = {12, 31, 9999, 23, 59};
    for (int k = 0; k < 5; ++k) {
        std::string_view field = text.substr(at[k], width[k]);
        if (!AllDigits(field)) return false;
        int v = 0;
        std::from_chars(field.data(), field.data() + field.size(), v);
        if (v < low[k] || v > high[k]) return false;
        date[k] = v;
    }
    return true;
}

// The header as the instrument writes it ("0012;1;1;001.00;00010;"): number,
// mode digit, unit hex digit, coefficient with at most one point, interval;
// then a first value field with its exponent marker.
bool IsRecordingHeader(std::string_view line) {
    if (line.size() < MIN_TRANSFER_LINE) return false;
    auto hex = [](char c) {
        return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
    };
    if (!AllDigits(line.substr(LINE_NUMBER, 4)) || !IsDigit(line[LINE_MODE]) ||
        !hex(line[LINE_UNIT]) || !AllDigits(line.substr(LINE_INTERVAL, 5)))
        return false;
    std::string_view k = line.substr(LINE_COEFFICIENT, 6);
    if (std::count(k.begin(), k.end(), '.') > 1 ||
        !std::all_of(k.begin(), k.end(), [](char c) { return IsDigit(c) || c == '.'; }) ||
        std::none_of(k.begin(), k.end(), IsDigit))
        return false;
    std::string_view first = line.substr(LINE_FIRST_FIELD, FIELD_LENGTH);
    first = first.substr(0, first.find(';'));
    double value = 0.0;
    return DecodeValueText(first, &value);
}

} // namespace

bool ParseTransferFile(std::string_view text, TransferFile *f) {
    std::vector<std::string_view> lines = SplitLines(text);
    *f = TransferFile{};
    if (lines.size() < 3) return false;
    // A name is one line of text; control characters mean another kind of file.
    if (std::any_of(lines[0].begin(), lines[0].end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }))
        return false;
    f->name = StripDirectoryName(lines[0]);
    if (!ReadTransferDate(lines[1], f->date)) return false;
    std::string_view line = lines[2];
    if (line.size() < MIN_TRANSFER_LINE || line.size() > MAX_TRANSFER_LINE) return false;
    if (!IsRecordingHeader(line)) return false;
    // The decoder reads the line as text, up to a zero byte: a line holding
    // one is damaged, and would open cut short or with no sample at all.
    if (line.find('\0') != std::string_view::npos) return false;
    f->line = std::string(line);
    return true;
}

// ---------------------------------------------------------------- temporary recordings

std::string KeptName(const TransferFile &f) {
    const std::string name = StoredName(f.name);
    if (name.size() > 4 && name[0] != '.' && PathExtension(name) == ".mon") return name;
    ImportEntry entry{};
    ParseRecordingHeader(f.line, &entry);
    return StoredName(ProposedRecordingPath("", entry.number));
}

std::string UnusedPath(const std::string &dir, const std::string &name) {
    const std::size_t dot = name.rfind('.');
    const std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    const std::string ext = stem.size() == name.size() ? "" : name.substr(stem.size());
    for (int n = 1;; ++n) {
        std::string path = dir + "/" + (n == 1 ? name : stem + "_" + std::to_string(n) + ext);
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 && errno == ENOENT) return path;
    }
}

// ---------------------------------------------------------------- writing files

bool ReadWholeFile(const std::string &path, std::string *text, std::string *reason) {
    auto fail = [reason] {
        if (reason) *reason = std::strerror(errno);
        return false;
    };
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return fail();
    std::string whole;
    // Room for the whole file at once: a 65,000-sample recording is 1.6 MB,
    // which growing by halves would copy several times over.
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size > 0)
        whole.reserve(static_cast<std::size_t>(st.st_size) + 1);
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            int saved = errno;
            ::close(fd);
            errno = saved;
            return fail();
        }
        if (n == 0) break;
        whole.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    *text = std::move(whole);
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
