// The recording line: cleaning, header, value fields in the instrument's
// exponent form, and the window a decoded line opens in.
#include "link/link.h"

#include "display/display.h"
#include "platform/platform.h"
#include "shell/shell.h"
#include "toolbox/toolbox.h"
#include "windows/windows.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>
#include <string>

ImportEntry importTable[IMPORT_ENTRIES];
char cleanLine[CLEAN_LINE_SIZE];
char cleanName[CLEAN_NAME_SIZE];
int recordingDate[6];

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsAllowed(char c, bool forName) {
    if (IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return true;
    if (forName && c == '_') return true;
    return std::strchr("-.:/;+=*,\\", c) != nullptr && c != '\0';
}

// The characters of [pos, pos + width) that exist in the line.
std::string_view Field(RecordingLine line, std::size_t pos, std::size_t width) {
    if (pos >= line.size()) return {};
    return line.substr(pos, width);
}

// A decimal integer at the start of a field (leading blanks and a sign
// allowed); 0 when it holds none.
int ScanInt(std::string_view field) {
    std::size_t i = 0;
    while (i < field.size() && field[i] == ' ')
        ++i;
    bool negative = false;
    if (i < field.size() && (field[i] == '-' || field[i] == '+')) negative = field[i++] == '-';
    long value = 0;
    for (; i < field.size() && IsDigit(field[i]); ++i)
        value = value * 10 + (field[i] - '0');
    return static_cast<int>(negative ? -value : value);
}

int ScanHexDigit(std::string_view field) {
    if (field.empty()) return 0;
    char c = field[0];
    if (IsDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;
}

// The decimal number at the start of a field (leading blanks, an optional
// sign and one point); false when it holds no digit. Only plain decimals: no
// "inf", "nan" or hex forms.
bool DecimalText(std::string_view field, std::string *text) {
    std::size_t i = 0;
    while (i < field.size() && field[i] == ' ')
        ++i;
    text->clear();
    if (i < field.size() && (field[i] == '-' || field[i] == '+')) {
        if (field[i] == '-') *text += '-';
        ++i;
    }
    bool point = false, digits = false;
    for (; i < field.size(); ++i) {
        char c = field[i];
        if (IsDigit(c)) {
            digits = true;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
        *text += c;
    }
    return digits;
}

// The double nearest to a decimal text from DecimalText, with an exponent
// ("e+N") or not: correctly rounded, whatever the locale.
double ParseDecimal(std::string text) {
    const bool negative = !text.empty() && text[0] == '-';
    if (negative) text.erase(0, 1);
    double value = 0.0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    (void)end;
    if (ec != std::errc()) return 0.0;
    return negative ? -value : value;
}

// A decimal number at the start of a field; 0.0 when it holds none.
double ScanDecimal(std::string_view field) {
    std::string text;
    return DecimalText(field, &text) ? ParseDecimal(text) : 0.0;
}

int DecodeInto(ImportEntry &entry, int k) {
    double value = 0.0;
    if (!DecodeValueText(std::string_view(entry.token, strnlen(entry.token, sizeof entry.token)),
                         &value))
        return 0;
    if (k >= 0 && static_cast<std::size_t>(k) < entry.values.size()) entry.values[k] = value;
    return 1;
}

// At most 49 characters, never cutting a character of several bytes.
std::string WindowName(const std::string &name) {
    if (name.size() <= WINDOW_NAME_LENGTH) return name;
    std::size_t cut = WINDOW_NAME_LENGTH;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
        --cut;
    return name.substr(0, cut);
}

} // namespace

std::string CleanLineText(std::string_view line) {
    std::string clean(line);
    for (char &c : clean)
        if (!IsAllowed(c, false)) c = '_';
    return clean;
}

std::string CleanName(std::string_view text) {
    std::string clean;
    for (char c : text)
        if (IsAllowed(c, true)) clean += c;
    return clean;
}

std::string StripDirectoryName(std::string_view name) {
    std::size_t cut = name.find_last_of("/\\");
    return std::string(cut == std::string_view::npos ? name : name.substr(cut + 1));
}

std::string StoredName(std::string_view path) {
    std::string copy(path);
    std::replace(copy.begin(), copy.end(), ' ', '_');
    std::string name = CleanName(copy);
    if (name.find_first_of("/\\") != std::string::npos) name = CleanName(StripDirectoryName(name));
    return name;
}

void CleanReplyLine() {
    std::size_t n = strnlen(replyBuffer, sizeof replyBuffer);
    std::string clean = CleanLineText(std::string_view(replyBuffer, n));
    std::memset(cleanLine, 0, sizeof cleanLine);
    std::memcpy(cleanLine, clean.data(), std::min(clean.size(), sizeof cleanLine - 1));
}

int CleanNameText() {
    std::string clean = CleanName(std::string_view(replyBuffer, strnlen(replyBuffer, 400)));
    std::memset(cleanName, 0, sizeof cleanName);
    std::size_t kept = std::min(clean.size(), sizeof cleanName - 1);
    std::memcpy(cleanName, clean.data(), kept);
    return static_cast<int>(kept);
}

void StripDirectory() {
    std::string tail =
        StripDirectoryName(std::string_view(cleanName, strnlen(cleanName, sizeof cleanName)));
    std::memset(replyBuffer, 0, 400);
    std::memcpy(replyBuffer, tail.data(), std::min<std::size_t>(tail.size(), 399));
}

double ExponentMultiplier(int exponent) {
    // Exact to 10^22 (a double's integers); the instrument's 32-bit
    // arithmetic wrapped from 10^10 on.
    double multiplier = 1.0;
    for (int i = 0; i < exponent; ++i)
        multiplier *= 10.0;
    return multiplier;
}

bool DecodeValueText(std::string_view token, double *value) {
    char field[10] = {};
    std::memcpy(field, token.data(), std::min<std::size_t>(token.size(), 9));
    std::size_t length = strnlen(field, sizeof field);
    if (std::find_if(field, field + length, [](char c) { return c == 'E' || c == 'e'; }) ==
        field + length)
        return false;

    // The field is zero-padded to 10, so every look-ahead stays inside it.
    auto at = [&field](std::size_t i) { return i < sizeof field ? field[i] : '\0'; };
    std::string mantissa;
    bool undefined = false, negative = false;
    int exponent = 0;
    for (std::size_t i = 0; i <= length; ++i) {
        char c = field[i];
        if (c == 'E' || c == 'e') {
            negative = at(i + 1) == '-';
            if (!IsDigit(at(i + 2))) {
                undefined = true;
                break;
            }
            exponent = at(i + 2) - '0';
            if (IsDigit(at(i + 3))) exponent = exponent * 10 + (at(i + 3) - '0');
            break;
        }
        mantissa += c;
    }
    // The instrument's values are never negative: a sign, like a letter,
    // marks a field that is not a value.
    if (!undefined)
        undefined = std::any_of(mantissa.begin(), mantissa.end(),
                                [](char c) { return !IsDigit(c) && c != '.'; });
    if (undefined) {
        *value = UNDEFINED_VALUE;
        return true;
    }
    // The number the instrument's text means, rounded once: mantissa and
    // power of ten multiplied in doubles gave 11.799999999999999 for 1.18E+1.
    std::string text;
    if (!DecimalText(mantissa, &text)) {
        *value = 0.0;
        return true;
    }
    text.append(negative ? "e-" : "e+").append(std::to_string(exponent));
    *value = ParseDecimal(text);
    return true;
}

int DecodeValueToken(int entry, int k) {
    if (entry < 0 || entry >= IMPORT_ENTRIES) return 0;
    return DecodeInto(importTable[entry], k);
}

bool IsRecordingLine(RecordingLine line) {
    if (line.size() < static_cast<std::size_t>(LINE_FIRST_FIELD)) return false;
    auto digits = [&line](std::size_t pos, std::size_t width) {
        return std::all_of(line.begin() + static_cast<std::ptrdiff_t>(pos),
                           line.begin() + static_cast<std::ptrdiff_t>(pos + width), IsDigit);
    };
    const char unit = line[LINE_UNIT];
    if (!digits(LINE_NUMBER, 4) || !digits(LINE_MODE, 1) || !digits(LINE_INTERVAL, 5) ||
        !(IsDigit(unit) || (unit >= 'A' && unit <= 'F') || (unit >= 'a' && unit <= 'f')))
        return false;
    for (int separator : {4, 6, 8, 15, 21})
        if (line[static_cast<std::size_t>(separator)] != ';') return false;
    const std::string_view k = line.substr(LINE_COEFFICIENT, 6);
    if (std::count(k.begin(), k.end(), '.') > 1 || std::none_of(k.begin(), k.end(), IsDigit) ||
        !std::all_of(k.begin(), k.end(), [](char c) { return IsDigit(c) || c == '.'; }))
        return false;
    // Every field ends with ";" within its 8 characters; what follows the last
    // (a CR before the line feed) is no longer than a field.
    std::size_t pos = LINE_FIRST_FIELD;
    bool first = true;
    while (pos < line.size()) {
        const std::size_t end = line.find(';', pos);
        if (end == std::string_view::npos) return line.size() - pos <= FIELD_LENGTH && !first;
        if (end - pos > FIELD_LENGTH) return false;
        double value = 0.0;
        if (first && !DecodeValueText(line.substr(pos, end - pos), &value)) return false;
        first = false;
        pos = end + 1;
    }
    return !first;
}

void ParseRecordingHeader(RecordingLine line, ImportEntry *entry) {
    entry->number = ScanInt(Field(line, LINE_NUMBER, 4));
    entry->mode = ScanInt(Field(line, LINE_MODE, 1)) & 7;
    entry->unitIndex = (ScanHexDigit(Field(line, LINE_UNIT, 1)) - 1) & 15;
    entry->coefficient = ScanDecimal(Field(line, LINE_COEFFICIENT, 6));
    entry->interval = ScanInt(Field(line, LINE_INTERVAL, 5));
}

void DecodeRecordingLine(RecordingLine line, int fields, ImportEntry *entry) {
    const std::size_t n = line.size();
    entry->count = std::max(static_cast<int>(n) - LINE_FIRST_FIELD, 0);
    fields = std::max(fields, 0);
    // Room for the time a failing field leaves at index `fields` too.
    std::size_t size = static_cast<std::size_t>(std::max(entry->count, fields)) + 1;
    entry->values.assign(size, 0.0);
    entry->times.assign(size, 0.0);
    std::size_t pos = std::min<std::size_t>(LINE_FIRST_FIELD, n);
    for (int k = 0; k < fields; ++k) {
        std::size_t taken = 0;
        while (pos + taken < n && line[pos + taken] != ';' && taken < FIELD_LENGTH)
            ++taken;
        std::memset(entry->token, 0, sizeof entry->token);
        std::memcpy(entry->token, line.data() + pos, taken);
        pos = std::min(pos + taken + 1, n);
        if (!DecodeInto(*entry, k)) {
            entry->count = fields;
            entry->times[fields] = static_cast<double>(fields) * entry->interval;
            break;
        }
        entry->times[k] = static_cast<double>(k) * entry->interval;
    }
}

void ResetImportEntry(int entry) {
    if (entry < 0 || entry >= IMPORT_ENTRIES) return;
    ImportEntry &e = importTable[entry];
    e.number = 0;
    std::memset(e.token, 0, sizeof e.token);
    std::memcpy(e.token, "         ", 9);
    e.fileName = "         ";
    e.values.clear();
    e.values.shrink_to_fit();
    e.times.clear();
    e.times.shrink_to_fit();
    e.unitIndex = 0;
    e.coefficient = 0.0;
    e.mode = 0;
    e.interval = 0;
    e.count = 0;
    e.spare = 0;
}

int LoadRecording(RecordingLine line, int e) {
    if (windowCount >= MAX_WINDOWS) {
        ShowError(1);
        SetWaitCursor(0);
        return -1;
    }
    if (e < 0 || e >= IMPORT_ENTRIES) return -1;
    ImportEntry &entry = importTable[e];
    ParseRecordingHeader(line, &entry);
    // Every length of the line, header included: the empty fields past the
    // last real one end the decoding.
    DecodeRecordingLine(line, static_cast<int>(line.size() / FIELD_LENGTH), &entry);

    std::string name = WindowName(entry.fileName);
    int before = windowCount;
    Nouvelle_fenetre(name);
    if (windowCount == before) {
        SetWaitCursor(0);
        return -1; // no window was made; its error has been shown
    }
    currentWindow = windowCount - 1;
    WindowRecord &w = windows[currentWindow];
    CopyText(w.title, sizeof w.title, name);
    int count = std::clamp(entry.count, 0, MAX_SAMPLES);
    count = std::min<int>(count, static_cast<int>(entry.values.size()));
    w.count = count;
    w.interval = static_cast<uint32_t>(entry.interval);
    w.measureType = entry.unitIndex;
    w.coefficient = entry.coefficient;
    w.mode = entry.mode;
    w.curveColour = 0;
    std::fill(w.time, w.time + count, 0.0);
    std::fill(w.value, w.value + count, 0.0);

    int gaps = 0;
    auto copy = [&](int k) {
        w.time[k] = entry.times[k];
        double v = entry.values[k];
        if (v == UNDEFINED_VALUE) {
            v = 0.0;
            if (gaps < MAX_GAPS) w.gapIndex[gaps++] = k;
            w.hasGaps = 1;
        }
        w.value[k] = v;
    };
    if (count > 0) copy(0);
    for (int k = 1; k < count; ++k) {
        if (entry.times[k] - entry.times[k - 1] <= 0) {
            w.count = k;
            break;
        }
        copy(k);
    }
    w.isAverage = w.isPosition = w.isAcceleration = 0;
    w.sourceWindow = -1;
    // The window keeps when its recording was taken, to save it with it.
    w.month = recordingDate[0];
    w.day = recordingDate[1];
    w.year = recordingDate[2];
    w.hour = recordingDate[3];
    w.minute = recordingDate[4];

    ShowNewRecording(true);
    Gestion_fenetre(GetPanelMenuBar(mainPanel), MENU_TILE, nullptr, mainPanel);
    SetWaitCursor(0);
    return 0;
}
