// Spreadsheet automation: an in-process server for the objects and members the
// export drives. Cells stay in memory until SaveAs writes an Office Open XML
// workbook with libxlsxwriter; the look of the sheet comes from the template
// that Workbooks.Open reads (a "key = value" text file, see velorind.xl).
#include "platform/platform.h"
#include "platform/replace.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <strings.h>
#include <tuple>

namespace fs = std::filesystem;

namespace {

// Limits of the file format.
constexpr long kMaxRows = 1048576;
constexpr long kMaxColumns = 16384;
constexpr size_t kMaxCellChars = 32767;
constexpr int kMaxDecimals = 30;

std::string Lower(std::string s) {
    for (char &c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Trim(const std::string &s) {
    const char *blanks = " \t\r\n\v\f";
    size_t first = s.find_first_not_of(blanks);
    if (first == std::string::npos) return "";
    return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

size_t Utf8Length(const std::string &s) {
    size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

bool ParseLong(const std::string &text, long *value) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
    return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

bool ParseDouble(const std::string &text, double *value) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
    return ec == std::errc() && end == text.data() + text.size() && !text.empty() &&
           std::isfinite(*value);
}

// "A" -> 0 ... "XFD" -> 16383; -1 when not a column name.
long ColumnIndex(const std::string &letters) {
    if (letters.empty() || letters.size() > 3) return -1;
    long column = 0;
    for (char c : letters) {
        if (!std::isalpha(static_cast<unsigned char>(c))) return -1;
        column = column * 26 + (std::toupper(static_cast<unsigned char>(c)) - 'A' + 1);
    }
    return column <= kMaxColumns ? column - 1 : -1;
}

// ---------------------------------------------------------------- numbers

// How a number was written: its decimals and whether it had an exponent, so
// that the sheet shows it as the program wrote it.
struct NumberShape {
    signed char decimals = -1; // -1: the spreadsheet's general format
    bool scientific = false;
};

// A text that reads as a number once its blanks are trimmed; locale-free.
bool ReadsAsNumber(const std::string &text, double *value, NumberShape *shape) {
    std::string t = Trim(text);
    if (!t.empty() && t[0] == '+') t.erase(0, 1);
    if (t.empty()) return false;
    size_t digits = t[0] == '-' ? 1 : 0;
    // from_chars also takes "inf" and "nan", which a spreadsheet keeps as text.
    if (t.size() <= digits ||
        !(std::isdigit(static_cast<unsigned char>(t[digits])) || t[digits] == '.'))
        return false;
    if (!ParseDouble(t, value)) return false;
    size_t exponent = t.find_first_of("eE");
    size_t point = t.find('.');
    int decimals = 0;
    if (point != std::string::npos)
        decimals = static_cast<int>(std::min(exponent, t.size()) - point - 1);
    shape->decimals = static_cast<signed char>(decimals <= kMaxDecimals ? decimals : -1);
    shape->scientific = exponent != std::string::npos;
    return true;
}

// How a number passed as a number is shown: rounded to 7 significant digits
// without trailing zeros, the integer part always whole; scientific only for
// magnitudes whose digits would all lie far behind the point.
NumberShape ShapeOfNumber(double x) {
    NumberShape shape;
    shape.decimals = 0;
    const double a = std::fabs(x);
    if (a == 0 || !std::isfinite(a)) return shape;
    constexpr int kDigits = 7;
    // The value rounded to its first seven digits, as d.dddddde±x: to_chars
    // gives printf's digits without its cost, which a sheet of 65,000 rows
    // paid half a million times, and the exponent without a logarithm.
    char buffer[32];
    const std::to_chars_result written = std::to_chars(buffer, buffer + sizeof buffer, a,
                                                       std::chars_format::scientific, kDigits - 1);
    if (written.ec != std::errc()) return shape;
    const char *e = std::find(buffer, written.ptr, 'e');
    if (e == written.ptr) return shape;
    int exponent = 0;
    std::from_chars(e + (e[1] == '+' ? 2 : 1), written.ptr, exponent);
    const char *last = e; // past the last digit that is not a trailing zero
    while (last > buffer + 1 && last[-1] == '0')
        --last;
    const int places = last > buffer + 2 ? static_cast<int>(last - buffer - 2) : 0; // after "d."
    shape.scientific = a < 1e-4;
    if (shape.scientific) {
        shape.decimals = static_cast<signed char>(places);
        return shape;
    }
    shape.decimals = static_cast<signed char>(std::clamp(places - exponent, 0, kMaxDecimals));
    return shape;
}

std::string NumberFormat(int decimals, bool scientific) {
    std::string format = decimals > 0 ? "0." + std::string(decimals, '0') : "0";
    return scientific ? format + "E+00" : format;
}

// ---------------------------------------------------------------- template

struct Style {
    bool bold = false, italic = false, underline = false;
    double size = 0; // 0: the default
    std::string font;
    long colour = -1, fill = -1;
    enum class Border { None, Bottom, Box } border = Border::None;
    uint8_t align = LXW_ALIGN_NONE;
};

struct RowRule {
    long first, last; // 1-based, inclusive
    std::string styleName;
    size_t style = 0;
};

constexpr int kDecimalsText = -1;    // as the text was written
constexpr int kDecimalsGeneral = -2; // the spreadsheet's general format

struct Template {
    std::string sheetName = "Sheet1";
    double defaultWidth = -1; // < 0: the spreadsheet's own
    struct Width {
        long first, last;
        double width;
    };
    std::vector<Width> widths;
    std::vector<Style> styles;
    std::map<std::string, size_t> styleIndex;
    std::vector<RowRule> rows; // later rules win
    int decimals = kDecimalsText;
};

bool ValidSheetName(const std::string &name) {
    return !name.empty() && Utf8Length(name) <= 31 &&
           name.find_first_of("[]:*?/\\") == std::string::npos && name.front() != '\'' &&
           name.back() != '\'';
}

bool ParseColour(const std::string &text, long *colour) {
    if (text.size() != 7 || text[0] != '#') return false;
    for (size_t i = 1; i < 7; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(text[i]))) return false;
    *colour = std::stol(text.substr(1), nullptr, 16);
    return true;
}

bool ParseWidth(const std::string &text, double *width) {
    return ParseDouble(text, width) && *width >= 0 && *width <= 255;
}

// "bold, size 14, fill #DDEBF7": items separated by commas.
bool ParseStyle(const std::string &text, Style *style) {
    std::stringstream items(text);
    std::string item;
    while (std::getline(items, item, ',')) {
        item = Trim(item);
        if (item.empty()) continue;
        size_t blank = item.find_first_of(" \t");
        std::string word = Lower(item.substr(0, blank));
        std::string arg = blank == std::string::npos ? "" : Trim(item.substr(blank));
        std::string larg = Lower(arg);
        if (word == "bold" && arg.empty())
            style->bold = true;
        else if (word == "italic" && arg.empty())
            style->italic = true;
        else if (word == "underline" && arg.empty())
            style->underline = true;
        else if (word == "size") {
            if (!ParseDouble(arg, &style->size) || style->size < 1 || style->size > 409)
                return false;
        } else if (word == "font" && !arg.empty())
            style->font = arg;
        else if (word == "colour" || word == "color") {
            if (!ParseColour(arg, &style->colour)) return false;
        } else if (word == "fill") {
            if (!ParseColour(arg, &style->fill)) return false;
        } else if (word == "border" && larg == "bottom")
            style->border = Style::Border::Bottom;
        else if (word == "border" && larg == "box")
            style->border = Style::Border::Box;
        else if (word == "border" && larg == "none")
            style->border = Style::Border::None;
        else if (word == "align" && larg == "left")
            style->align = LXW_ALIGN_LEFT;
        else if (word == "align" && (larg == "centre" || larg == "center"))
            style->align = LXW_ALIGN_CENTER;
        else if (word == "align" && larg == "right")
            style->align = LXW_ALIGN_RIGHT;
        else
            return false;
    }
    return true;
}

// "A", "B:H" -> 0-based columns.
bool ParseColumns(const std::string &text, long *first, long *last) {
    size_t colon = text.find(':');
    *first = ColumnIndex(text.substr(0, colon));
    *last = colon == std::string::npos ? *first : ColumnIndex(text.substr(colon + 1));
    return *first >= 0 && *last >= *first;
}

// "2", "10-" (10 and below), "4-7".
bool ParseRows(const std::string &text, long *first, long *last) {
    size_t dash = text.find('-');
    if (!ParseLong(text.substr(0, dash), first)) return false;
    if (dash == std::string::npos)
        *last = *first;
    else if (dash + 1 == text.size())
        *last = kMaxRows;
    else if (!ParseLong(text.substr(dash + 1), last))
        return false;
    return *first >= 1 && *last >= *first && *last <= kMaxRows;
}

bool ParseTemplateLine(const std::string &key, const std::string &value, Template *t) {
    if (key == "sheet") {
        t->sheetName = value;
        return ValidSheetName(value);
    }
    if (key == "width") return ParseWidth(value, &t->defaultWidth);
    if (key.rfind("width.", 0) == 0) {
        Template::Width w{};
        if (!ParseColumns(key.substr(6), &w.first, &w.last) || !ParseWidth(value, &w.width))
            return false;
        t->widths.push_back(w);
        return true;
    }
    if (key.rfind("style.", 0) == 0 && key.size() > 6) {
        Style style;
        if (!ParseStyle(value, &style)) return false;
        auto [it, added] = t->styleIndex.emplace(key.substr(6), t->styles.size());
        if (added)
            t->styles.push_back(style);
        else
            t->styles[it->second] = style;
        return true;
    }
    if (key.rfind("row.", 0) == 0) {
        RowRule rule{0, 0, Lower(value), 0};
        if (!ParseRows(key.substr(4), &rule.first, &rule.last)) return false;
        t->rows.push_back(rule);
        return true;
    }
    if (key == "decimals") {
        long n = 0;
        if (Lower(value) == "text")
            t->decimals = kDecimalsText;
        else if (Lower(value) == "general")
            t->decimals = kDecimalsGeneral;
        else if (ParseLong(value, &n) && n >= 0 && n <= kMaxDecimals)
            t->decimals = static_cast<int>(n);
        else
            return false;
        return true;
    }
    return false;
}

// A missing, unreadable or not understood template is an error, so that a
// mistake in it never passes unnoticed; `reason` says which.
bool LoadTemplate(const std::string &path, Template *t, std::string *reason) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        const bool exists = fs::exists(path, ec);
        *reason = std::strerror(ec ? ec.value() : exists ? EISDIR : ENOENT);
        return false;
    }
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *reason = std::strerror(errno != 0 ? errno : EIO);
        return false;
    }
    *reason = std::strerror(EINVAL); // a line that is not understood
    std::string line;
    bool first = true;
    while (std::getline(in, line)) {
        if (first && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
        first = false;
        line = Trim(line);
        if (line.empty() || line[0] == '#') continue;
        size_t eq = line.find('=');
        if (eq == std::string::npos) return false;
        if (!ParseTemplateLine(Lower(Trim(line.substr(0, eq))), Trim(line.substr(eq + 1)), t))
            return false;
    }
    if (in.bad()) {
        *reason = std::strerror(EIO);
        return false;
    }
    for (RowRule &rule : t->rows) {
        auto it = t->styleIndex.find(rule.styleName);
        if (it == t->styleIndex.end()) return false;
        rule.style = it->second;
    }
    return true;
}

// ---------------------------------------------------------------- objects

struct Cell {
    enum class Kind : unsigned char { Blank, Number, Text, Bool };
    Kind kind = Kind::Blank;
    NumberShape shape;
    double number = 0;
    std::string text;
};

struct WorkbookState {
    Template look;
    std::vector<std::vector<Cell>> rows; // [row - 1][column - 1]
    bool open = true;
    bool changed = false;
    std::string path; // where it was last saved
};

struct AppState {
    std::vector<std::shared_ptr<WorkbookState>> workbooks; // the last is the active one
    bool running = true;
    bool visible = false;
};

enum class Kind { Application, Workbooks, Workbook, Sheets, Worksheet, Range };

const char *KindName(Kind kind) {
    switch (kind) {
    case Kind::Application:
        return "application";
    case Kind::Workbooks:
        return "workbooks";
    case Kind::Workbook:
        return "workbook";
    case Kind::Sheets:
        return "sheets";
    case Kind::Worksheet:
        return "worksheet";
    case Kind::Range:
        return "range";
    }
    return "";
}

struct Object {
    Kind kind;
    std::shared_ptr<AppState> app;
    std::shared_ptr<WorkbookState> book; // all but Application and Workbooks
    long top = 1, left = 1;              // Range: its top-left cell
};

std::map<CAObjHandle, Object> objects;
CAObjHandle nextHandle = 1;
std::multiset<std::string> failingCalls;
std::string lastDescription; // of the last member that failed

CAObjHandle NewHandle(Object object) {
    objects.emplace(nextHandle, std::move(object));
    return nextHandle++;
}

// The object of a handle, when its server and workbook are still there.
Object *Find(CAObjHandle handle) {
    auto it = objects.find(handle);
    if (it == objects.end() || !it->second.app->running) return nullptr;
    if (it->second.book && !it->second.book->open) return nullptr;
    return &it->second;
}

// Member names are case-insensitive, as in the automation interface.
bool Is(const Object &object, Kind kind, const std::string &member, const char *name) {
    return object.kind == kind && strcasecmp(member.c_str(), name) == 0;
}

// The test seam: true once for each FailAutomationCallForTesting.
bool SeamFails(const Object &object, const std::string &member) {
    if (failingCalls.empty()) return false;
    auto it = failingCalls.find(std::string(KindName(object.kind)) + "." + Lower(member));
    if (it == failingCalls.end()) return false;
    failingCalls.erase(it);
    return true;
}

bool Omitted(const CAVariant &v) {
    return v.kind == CAVariant::Kind::Default || v.kind == CAVariant::Kind::Empty;
}

bool IsText(const CAVariant &v) {
    return v.kind == CAVariant::Kind::Text && !v.text.empty();
}

bool IsTruth(const CAVariant &v) {
    return v.kind == CAVariant::Kind::Bool || v.kind == CAVariant::Kind::Int;
}

// Every argument from `from` on is left out.
bool RestOmitted(const std::vector<CAVariant> &args, size_t from) {
    for (size_t i = from; i < args.size(); ++i)
        if (!Omitted(args[i])) return false;
    return true;
}

bool ParseCell(const std::string &text, long *row, long *column) {
    std::string letters, digits;
    size_t i = 0;
    if (i < text.size() && text[i] == '$') ++i;
    while (i < text.size() && std::isalpha(static_cast<unsigned char>(text[i])))
        letters += text[i++];
    if (i < text.size() && text[i] == '$') ++i;
    digits = text.substr(i);
    long c = ColumnIndex(letters);
    if (c < 0 || !ParseLong(digits, row) || *row < 1 || *row > kMaxRows) return false;
    *column = c + 1;
    return true;
}

// "A1:W101" or "A1" -> the top-left cell, 1-based.
bool ParseRange(const std::string &text, long *top, long *left) {
    std::string t = Trim(text);
    size_t colon = t.find(':');
    long r1 = 0, c1 = 0, r2 = 0, c2 = 0;
    if (!ParseCell(t.substr(0, colon), &r1, &c1)) return false;
    if (colon == std::string::npos) {
        r2 = r1;
        c2 = c1;
    } else if (!ParseCell(t.substr(colon + 1), &r2, &c2)) {
        return false;
    }
    *top = std::min(r1, r2);
    *left = std::min(c1, c2);
    return true;
}

int SetCell(WorkbookState &book, long row, long column, const CAVariant &value) {
    Cell cell;
    switch (value.kind) {
    case CAVariant::Kind::Text:
        if (!value.text.empty() && value.text[0] == '\'') {
            cell.kind = Cell::Kind::Text;
            cell.text = value.text.substr(1);
        } else if (ReadsAsNumber(value.text, &cell.number, &cell.shape)) {
            cell.kind = Cell::Kind::Number;
        } else {
            cell.kind = Cell::Kind::Text;
            cell.text = value.text;
        }
        if (Utf8Length(cell.text) > kMaxCellChars) return kCaErrFailed;
        break;
    case CAVariant::Kind::Double:
        // A spreadsheet number cannot hold infinity or NaN.
        if (!std::isfinite(value.real)) return kCaErrFailed;
        cell.kind = Cell::Kind::Number;
        cell.number = value.real;
        cell.shape = ShapeOfNumber(value.real);
        break;
    case CAVariant::Kind::Int:
        cell.kind = Cell::Kind::Number;
        cell.number = value.number;
        cell.shape.decimals = 0;
        break;
    case CAVariant::Kind::Bool:
        cell.kind = Cell::Kind::Bool;
        cell.number = value.number != 0;
        break;
    case CAVariant::Kind::Empty:
    case CAVariant::Kind::Default:
        break;
    }
    if (book.rows.size() < static_cast<size_t>(row)) book.rows.resize(row);
    auto &cells = book.rows[row - 1];
    if (cells.size() < static_cast<size_t>(column)) cells.resize(column);
    cells[column - 1] = std::move(cell);
    book.changed = true;
    return 0;
}

// ---------------------------------------------------------------- saving

class XlsxWriter {
  public:
    explicit XlsxWriter(const WorkbookState &book) : book_(book) {}

    // Writes the whole workbook to `path`; false on any failure.
    bool Write(const std::string &path) {
        // The cells are in row order already: rows go straight to the file,
        // which takes less memory and time than libxlsxwriter's own store.
        lxw_workbook_options options = {};
        options.constant_memory = LXW_TRUE;
        lxw_workbook *workbook = workbook_new_opt(path.c_str(), &options);
        if (!workbook) return false;
        workbook_ = workbook;
        bool ok = WriteSheet();
        // Closing writes the file, and frees the workbook even on failure.
        lxw_error closed = workbook_close(workbook);
        return ok && closed == LXW_NO_ERROR;
    }

  private:
    bool WriteSheet() {
        const Template &look = book_.look;
        lxw_worksheet *sheet = workbook_add_worksheet(workbook_, look.sheetName.c_str());
        if (!sheet) return false;
        if (!SetWidths(sheet)) return false;
        for (size_t r = 0; r < book_.rows.size(); ++r) {
            const auto &cells = book_.rows[r];
            if (cells.empty()) continue;
            int style = RowStyle(static_cast<long>(r) + 1);
            for (size_t c = 0; c < cells.size(); ++c) {
                const Cell &cell = cells[c];
                lxw_row_t row = static_cast<lxw_row_t>(r);
                lxw_col_t col = static_cast<lxw_col_t>(c);
                lxw_error err = LXW_NO_ERROR;
                switch (cell.kind) {
                case Cell::Kind::Blank:
                    break;
                case Cell::Kind::Number:
                    err = worksheet_write_number(sheet, row, col, cell.number,
                                                 Format(style, NumberShapeOf(cell)));
                    break;
                case Cell::Kind::Text:
                    err = worksheet_write_string(sheet, row, col, cell.text.c_str(),
                                                 Format(style, NumberShape{}));
                    break;
                case Cell::Kind::Bool:
                    err = worksheet_write_boolean(sheet, row, col, cell.number != 0,
                                                  Format(style, NumberShape{}));
                    break;
                }
                if (err != LXW_NO_ERROR) return false;
            }
        }
        return true;
    }

    // Column widths as non-overlapping spans, which spreadsheet programs need.
    bool SetWidths(lxw_worksheet *sheet) {
        const Template &look = book_.look;
        std::vector<double> widths(kMaxColumns, look.defaultWidth);
        for (const auto &w : look.widths)
            std::fill(widths.begin() + w.first, widths.begin() + w.last + 1, w.width);
        for (long first = 0; first < kMaxColumns;) {
            long last = first;
            while (last + 1 < kMaxColumns && widths[last + 1] == widths[first])
                ++last;
            if (widths[first] >= 0 && worksheet_set_column(sheet, static_cast<lxw_col_t>(first),
                                                           static_cast<lxw_col_t>(last),
                                                           widths[first], nullptr) != LXW_NO_ERROR)
                return false;
            first = last + 1;
        }
        return true;
    }

    int RowStyle(long row) const {
        const auto &rules = book_.look.rows;
        for (auto it = rules.rbegin(); it != rules.rend(); ++it)
            if (row >= it->first && row <= it->last) return static_cast<int>(it->style);
        return -1;
    }

    NumberShape NumberShapeOf(const Cell &cell) const {
        int decimals = book_.look.decimals;
        if (decimals == kDecimalsText) return cell.shape;
        NumberShape shape;
        if (decimals >= 0) shape.decimals = static_cast<signed char>(decimals);
        return shape;
    }

    // One format per style and number shape, made when first needed.
    lxw_format *Format(int style, NumberShape shape) {
        if (style < 0 && shape.decimals < 0) return nullptr;
        auto key = std::make_tuple(style, shape.decimals, shape.scientific);
        auto it = formats_.find(key);
        if (it != formats_.end()) return it->second;
        lxw_format *format = workbook_add_format(workbook_);
        if (format && style >= 0) Apply(book_.look.styles[style], format);
        if (format && shape.decimals >= 0)
            format_set_num_format(format, NumberFormat(shape.decimals, shape.scientific).c_str());
        formats_.emplace(key, format);
        return format;
    }

    static void Apply(const Style &style, lxw_format *format) {
        if (style.bold) format_set_bold(format);
        if (style.italic) format_set_italic(format);
        if (style.underline) format_set_underline(format, LXW_UNDERLINE_SINGLE);
        if (style.size > 0) format_set_font_size(format, style.size);
        if (!style.font.empty()) format_set_font_name(format, style.font.c_str());
        if (style.colour >= 0)
            format_set_font_color(format, static_cast<lxw_color_t>(style.colour));
        if (style.fill >= 0) {
            format_set_pattern(format, LXW_PATTERN_SOLID);
            format_set_bg_color(format, static_cast<lxw_color_t>(style.fill));
        }
        if (style.border == Style::Border::Bottom) format_set_bottom(format, LXW_BORDER_THIN);
        if (style.border == Style::Border::Box) format_set_border(format, LXW_BORDER_THIN);
        if (style.align != LXW_ALIGN_NONE) format_set_align(format, style.align);
    }

    const WorkbookState &book_;
    lxw_workbook *workbook_ = nullptr;
    std::map<std::tuple<int, signed char, bool>, lxw_format *> formats_;
};

// The new workbook replaces an existing one only once it is complete, so an
// existing workbook is never lost.
bool SaveWorkbook(const WorkbookState &book, const std::string &path) {
    return ReplaceFile(path, [&book](int, const std::string &name) {
               return XlsxWriter(book).Write(name);
           }) == REPLACE_DONE;
}

void CloseWorkbook(AppState &app, const std::shared_ptr<WorkbookState> &book) {
    book->open = false;
    book->rows.clear();
    std::erase(app.workbooks, book);
}

// ---------------------------------------------------------------- members

int Open(Object &workbooks, const std::vector<CAVariant> &args, CAObjHandle *result) {
    // FileName and up to 15 optional arguments, all left out here.
    if (args.empty() || args.size() > 16 || !IsText(args[0]) || !RestOmitted(args, 1))
        return kCaErrUnknownMember;
    auto book = std::make_shared<WorkbookState>();
    if (!LoadTemplate(args[0].text, &book->look, &lastDescription)) return kCaErrFailed;
    workbooks.app->workbooks.push_back(book);
    if (result) *result = NewHandle({Kind::Workbook, workbooks.app, book});
    return 0;
}

// A new workbook of one plain sheet: no template's widths, styles or decimals.
int Add(Object &workbooks, const std::vector<CAVariant> &args, CAObjHandle *result) {
    // Template, left out.
    if (args.size() > 1 || !RestOmitted(args, 0)) return kCaErrUnknownMember;
    auto book = std::make_shared<WorkbookState>();
    workbooks.app->workbooks.push_back(book);
    if (result) *result = NewHandle({Kind::Workbook, workbooks.app, book});
    return 0;
}

int SaveAs(Object &workbook, const std::vector<CAVariant> &args) {
    // FileName, FileFormat, Password, WriteResPassword, ReadOnlyRecommended,
    // CreateBackup, AccessMode, ConflictResolution, AddToMru, TextCodepage,
    // TextVisualLayout, Local.
    constexpr size_t kAccessMode = 6;
    if (args.empty() || args.size() > 12 || !IsText(args[0])) return kCaErrUnknownMember;
    for (size_t i = 1; i < args.size(); ++i) {
        bool accessMode = i == kAccessMode && args[i].kind == CAVariant::Kind::Int &&
                          args[i].number >= 1 && args[i].number <= 3;
        if (!accessMode && !Omitted(args[i])) return kCaErrUnknownMember;
    }
    if (!SaveWorkbook(*workbook.book, args[0].text)) {
        lastDescription = ReplaceFailureReason();
        return kCaErrFailed;
    }
    std::error_code ec;
    workbook.book->path = fs::absolute(args[0].text, ec).string();
    workbook.book->changed = false;
    return 0;
}

int Close(Object &workbook, const std::vector<CAVariant> &args) {
    // SaveChanges, FileName, RouteWorkbook.
    if (args.size() > 3 || (args.size() > 0 && !Omitted(args[0]) && !IsTruth(args[0])) ||
        (args.size() > 1 && !Omitted(args[1]) && !IsText(args[1])) ||
        (args.size() > 2 && !Omitted(args[2]) && !IsTruth(args[2])))
        return kCaErrUnknownMember;
    // Left out, SaveChanges would make the spreadsheet ask; nothing is saved unasked.
    bool save = !args.empty() && IsTruth(args[0]) && args[0].number != 0;
    if (save) {
        std::string path = args.size() > 1 && IsText(args[1]) ? args[1].text : workbook.book->path;
        if (path.empty()) return kCaErrFailed;
        if ((workbook.book->changed || path != workbook.book->path) &&
            !SaveWorkbook(*workbook.book, path)) {
            lastDescription = ReplaceFailureReason();
            return kCaErrFailed;
        }
    }
    CloseWorkbook(*workbook.app, workbook.book);
    return 0;
}

int Quit(Object &application, const std::vector<CAVariant> &args) {
    if (!RestOmitted(args, 0)) return kCaErrUnknownMember;
    // Closes every workbook without saving, as the spreadsheet does once told so.
    for (const auto &book : application.app->workbooks) {
        book->open = false;
        book->rows.clear();
    }
    application.app->workbooks.clear();
    application.app->running = false;
    return 0;
}

int SheetsItem(Object &sheets, const std::vector<CAVariant> &args, CAObjHandle *result) {
    if (args.size() != 1) return kCaErrUnknownMember;
    bool first = args[0].kind == CAVariant::Kind::Int && args[0].number == 1;
    bool named = args[0].kind == CAVariant::Kind::Text &&
                 Lower(args[0].text) == Lower(sheets.book->look.sheetName);
    if (args[0].kind != CAVariant::Kind::Int && args[0].kind != CAVariant::Kind::Text)
        return kCaErrUnknownMember;
    // The template makes one sheet.
    if (!first && !named) return kCaErrFailed;
    if (result) *result = NewHandle({Kind::Worksheet, sheets.app, sheets.book});
    return 0;
}

int WorksheetRange(Object &sheet, const std::vector<CAVariant> &args, CAObjHandle *result) {
    if (args.empty() || args.size() > 2 || args[0].kind != CAVariant::Kind::Text)
        return kCaErrUnknownMember;
    long top = 0, left = 0;
    if (!ParseRange(args[0].text, &top, &left)) return kCaErrFailed;
    if (args.size() == 2 && !Omitted(args[1])) {
        long top2 = 0, left2 = 0;
        if (args[1].kind != CAVariant::Kind::Text) return kCaErrUnknownMember;
        if (!ParseRange(args[1].text, &top2, &left2)) return kCaErrFailed;
        top = std::min(top, top2);
        left = std::min(left, left2);
    }
    if (result) *result = NewHandle({Kind::Range, sheet.app, sheet.book, top, left});
    return 0;
}

} // namespace

int CA_VariantSetCString(CAVariant *variant, const std::string &text) {
    if (!variant) return kCaErrUnknownMember;
    variant->kind = CAVariant::Kind::Text;
    variant->text = text;
    variant->number = 0;
    return 0;
}

CAVariant CA_VariantInt(int value) {
    CAVariant v;
    v.kind = CAVariant::Kind::Int;
    v.number = value;
    return v;
}

CAVariant CA_VariantDouble(double value) {
    CAVariant v;
    v.kind = CAVariant::Kind::Double;
    v.real = value;
    return v;
}

CAVariant CA_VariantBool(bool value) {
    CAVariant v;
    v.kind = CAVariant::Kind::Bool;
    v.number = value ? 1 : 0;
    return v;
}

CAVariant CA_DefaultValueVariant() {
    CAVariant v;
    v.kind = CAVariant::Kind::Default;
    return v;
}

int CA_CreateObjectByClassIdEx(const std::string &classId, CAObjHandle *object) {
    if (!object) return kCaErrUnknownMember;
    *object = 0;
    if (Lower(classId) != "excel.application") return kCaErrNoServer;
    *object = NewHandle({Kind::Application, std::make_shared<AppState>(), nullptr});
    return 0;
}

int CA_GetPropertyObject(CAObjHandle object, const std::string &member, CAObjHandle *result) {
    lastDescription.clear();
    if (!result) return kCaErrUnknownMember;
    *result = 0;
    Object *o = Find(object);
    if (!o) return kCaErrNoObject;
    bool workbooks = Is(*o, Kind::Application, member, "workbooks");
    bool sheets = Is(*o, Kind::Application, member, "sheets");
    if (!workbooks && !sheets) return kCaErrUnknownMember;
    if (SeamFails(*o, member)) return kCaErrFailed;
    if (workbooks) {
        *result = NewHandle({Kind::Workbooks, o->app, nullptr});
        return 0;
    }
    // The sheets of the active workbook; there are none without one.
    if (o->app->workbooks.empty()) return kCaErrFailed;
    *result = NewHandle({Kind::Sheets, o->app, o->app->workbooks.back()});
    return 0;
}

int CA_SetProperty(CAObjHandle object, const std::string &member, const CAVariant &value) {
    lastDescription.clear();
    Object *o = Find(object);
    if (!o) return kCaErrNoObject;
    if (!Is(*o, Kind::Application, member, "visible") || !IsTruth(value))
        return kCaErrUnknownMember;
    if (SeamFails(*o, member)) return kCaErrFailed;
    // Nothing to show: the server has no window of its own.
    o->app->visible = value.number != 0;
    return 0;
}

int CA_MethodInvokeEx(CAObjHandle object, const std::string &method,
                      const std::vector<CAVariant> &args, CAObjHandle *result) {
    lastDescription.clear();
    if (result) *result = 0;
    Object *o = Find(object);
    if (!o) return kCaErrNoObject;
    auto seam = [&] { return SeamFails(*o, method); };
    if (Is(*o, Kind::Application, method, "quit")) return seam() ? kCaErrFailed : Quit(*o, args);
    if (Is(*o, Kind::Workbooks, method, "open"))
        return seam() ? kCaErrFailed : Open(*o, args, result);
    if (Is(*o, Kind::Workbooks, method, "add"))
        return seam() ? kCaErrFailed : Add(*o, args, result);
    if (Is(*o, Kind::Workbook, method, "saveas")) return seam() ? kCaErrFailed : SaveAs(*o, args);
    if (Is(*o, Kind::Workbook, method, "close")) return seam() ? kCaErrFailed : Close(*o, args);
    if (Is(*o, Kind::Sheets, method, "item"))
        return seam() ? kCaErrFailed : SheetsItem(*o, args, result);
    if (Is(*o, Kind::Worksheet, method, "range"))
        return seam() ? kCaErrFailed : WorksheetRange(*o, args, result);
    if (Is(*o, Kind::Worksheet, method, "activate") || Is(*o, Kind::Range, method, "activate")) {
        if (!RestOmitted(args, 0)) return kCaErrUnknownMember;
        return seam() ? kCaErrFailed : 0;
    }
    return kCaErrUnknownMember;
}

int CA_InvokeHelperEx(CAObjHandle object, const std::string &member,
                      const std::vector<CAVariant> &args, const CAVariant &value) {
    lastDescription.clear();
    Object *o = Find(object);
    if (!o) return kCaErrNoObject;
    if (!Is(*o, Kind::Range, member, "item") || args.size() != 2 ||
        args[0].kind != CAVariant::Kind::Int || args[1].kind != CAVariant::Kind::Int)
        return kCaErrUnknownMember;
    if (SeamFails(*o, member)) return kCaErrFailed;
    // Relative to the range's top-left cell, and allowed beyond its end.
    long row = o->top + args[0].number - 1;
    long column = o->left + args[1].number - 1;
    if (row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns) return kCaErrFailed;
    return SetCell(*o->book, row, column, value);
}

int CA_DiscardObjHandle(CAObjHandle object) {
    return objects.erase(object) ? 0 : kCaErrNoObject;
}

std::string CA_LastErrorDescription() {
    return lastDescription;
}

void FailAutomationCallForTesting(const std::string &objectDotMember) {
    failingCalls.insert(Lower(objectDotMember));
}
