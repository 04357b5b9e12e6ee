// What velorinder-cli writes besides recording files and csv: the export's
// workbook and pictures of the curve; and what it takes from the program's
// settings file.
#include "cli/cli.h"

#include "display/display.h"
#include "export/export.h"
#include "link/link.h"
#include "report/report.h"
#include "shell/shell.h"
#include "windows/windows.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <memory>

namespace {

const char *const TEMPLATE_NAME = "velorind.xl";

// At most max bytes, never cutting a character of several bytes.
std::string CutName(const std::string &name, std::size_t max) {
    if (name.size() <= max) return name;
    std::size_t cut = max;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
        --cut;
    return name.substr(0, cut);
}

std::string Trimmed(std::string_view s) {
    std::size_t first = s.find_first_not_of(' ');
    if (first == std::string_view::npos) return "";
    std::size_t last = s.find_last_not_of(' ');
    return std::string(s.substr(first, last - first + 1));
}

// The window the program opens for the recording, on the heap (a window
// holds room for 65,000 samples).
std::unique_ptr<WindowRecord> WindowOf(const CliRecording &r) {
    auto w = std::make_unique<WindowRecord>();
    const RecordingFile &f = r.file;
    const int count = static_cast<int>(
        std::min({f.time.size(), f.value.size(), static_cast<std::size_t>(MAX_SAMPLES)}));
    CopyText(w->title, sizeof w->title, WindowTitleOf(r));
    w->count = count;
    std::copy(f.time.begin(), f.time.begin() + count, w->time);
    std::copy(f.value.begin(), f.value.begin() + count, w->value);
    int gaps = 0;
    for (int g : f.gaps)
        if (g >= 0 && g < count && gaps < MAX_GAPS) w->gapIndex[gaps++] = g;
    w->hasGaps = gaps > 0 ? 1 : 0;
    w->interval = f.interval;
    w->measureType = f.measureType;
    w->coefficient = f.coefficient;
    w->mode = f.mode;
    w->curveColour = f.curveColour;
    w->day = f.day;
    w->month = f.month;
    w->year = f.year;
    w->hour = f.hour;
    w->minute = f.minute;
    w->sourceWindow = -1;
    w->total = nullptr;
    return w;
}

struct Handles {
    CAObjHandle app = 0, books = 0, book = 0, sheets = 0, sheet = 0, range = 0;
    ~Handles() {
        for (CAObjHandle *h : {&range, &sheet, &sheets, &book, &books})
            if (*h) CA_DiscardObjHandle(*h);
        if (app) {
            CA_MethodInvokeEx(app, "Quit", {});
            CA_DiscardObjHandle(app);
        }
    }
};

} // namespace

CliSettings ParseCliSettings(std::string_view text) {
    // The program's own reader decides whether the file is whole, so the
    // command line never trusts a file the program would replace by defaults.
    SettingsFile f;
    if (!ParseSettingsFile(text, &f)) return {};
    CliSettings read;
    read.found = true;
    read.port = f.comPort;
    read.baud = f.baudRate;
    for (int i = 0; i < 7; ++i)
        read.colours[i] = f.colours[i] & 0xFFFFFF;
    read.language = f.language >= 0 && f.language < 5 ? f.language : 1;
    return read;
}

std::string Clock(double seconds) {
    // Bounded before the conversion: far or broken times still give a text.
    double bounded = std::isfinite(seconds) ? std::clamp(seconds, 0.0, 1e15) : 0.0;
    long long s = std::llround(bounded);
    char text[64];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    return text;
}

std::string SettingsFilePath() {
    return ConfigDir() + "/Velorcfg.ini";
}

int LanguageOfCode(std::string_view code) {
    const char *const codes[5] = {"fr", "gb", "al", "es", "it"};
    const char *const iso[5] = {"fr", "en", "de", "es", "it"};
    for (int i = 0; i < 5; ++i)
        if (code == codes[i] || code == iso[i]) return i;
    return -1;
}

std::string WindowTitleOf(const CliRecording &r) {
    // A transferred recording's window shows at most 49 characters of its name.
    if (r.kind == FileKind::Transfer) return CutName(r.file.name, WINDOW_NAME_LENGTH);
    return CutName(r.file.name, MAX_TITLE_LENGTH);
}

bool WriteWorkbook(const CliRecording &r, int lang, const std::string &path, std::string *why) {
    std::unique_ptr<WindowRecord> w = WindowOf(r);
    const int count = ExportCount(*w);
    BuildExportTexts(*w, count);
    const bool position = !exportTotals.empty();
    const std::string unit = ExportUnitText(*w, lang);
    const std::string templatePath = ResourceDir() + "/" + TEMPLATE_NAME;
    long size = 0;
    if (GetFileInfo(templatePath, &size) == 0) {
        *why = "the workbook template " + templatePath + " is missing";
        return false;
    }

    // The calls the spreadsheet export makes, in its order.
    Handles h;
    auto failed = [why](const std::string &what) {
        *why = what;
        return false;
    };
    if (CA_CreateObjectByClassIdEx("Excel.Application", &h.app) < 0)
        return failed("the spreadsheet server cannot be started");
    std::vector<CAVariant> open(15, CA_DefaultValueVariant());
    CA_VariantSetCString(&open[0], templatePath);
    CAVariant range;
    CA_VariantSetCString(&range, "A1:W" + std::to_string(count + 1));
    if (CA_GetPropertyObject(h.app, "Workbooks", &h.books) < 0 ||
        CA_MethodInvokeEx(h.books, "Open", open, &h.book) < 0)
        return failed("the workbook template " + templatePath + " cannot be read");
    if (CA_GetPropertyObject(h.app, "Sheets", &h.sheets) < 0 ||
        CA_MethodInvokeEx(h.sheets, "Item", {CA_VariantInt(1)}, &h.sheet) < 0 ||
        CA_MethodInvokeEx(h.sheet, "Activate", {}) < 0 ||
        CA_MethodInvokeEx(h.sheet, "Range", {range, CA_DefaultValueVariant()}, &h.range) < 0 ||
        CA_MethodInvokeEx(h.range, "Activate", {}) < 0)
        return failed("the workbook template " + templatePath + " has no sheet to fill");

    auto write = [&](const SheetCell &cell) { return WriteSheetCell(h.range, cell) >= 0; };
    for (const SheetCell &cell : HeaderCells(*w, lang, 0))
        if (!write(cell)) return failed("the sheet cannot be filled");
    std::vector<SheetCell> cells;
    for (int i = 0; i < count; ++i) {
        DataRowCells(i, unit, position, &cells);
        for (const SheetCell &cell : cells)
            if (!write(cell)) return failed("the sheet cannot be filled");
    }
    std::vector<CAVariant> save(12, CA_DefaultValueVariant());
    CA_VariantSetCString(&save[0], path);
    save[6] = CA_VariantInt(1);
    if (CA_MethodInvokeEx(h.book, "SaveAs", save) < 0) return failed("cannot be written");
    return true;
}

CurvePicture PictureOf(const CliRecording &r, const CliSettings &settings) {
    const RecordingFile &f = r.file;
    const std::size_t n = std::min(f.time.size(), f.value.size());
    CurvePicture p;
    p.title = WindowTitleOf(r);
    p.time.assign(f.time.begin(), f.time.begin() + static_cast<std::ptrdiff_t>(n));
    p.value.assign(f.value.begin(), f.value.begin() + static_cast<std::ptrdiff_t>(n));
    for (int g : f.gaps)
        if (g >= 0 && static_cast<std::size_t>(g) < n)
            p.value[static_cast<std::size_t>(g)] = std::numeric_limits<double>::quiet_NaN();

    // The value range of the window: its readings, missing samples left out,
    // a flat one widened.
    double lo = 0.0, hi = 0.0;
    bool any = false;
    for (double v : p.value) {
        if (std::isnan(v)) continue;
        lo = any ? std::min(lo, v) : v;
        hi = any ? std::max(hi, v) : v;
        any = true;
    }
    WidenFlatRange(&lo, &hi);
    if (!(lo < hi)) hi = lo + 1.0;
    p.valueMin = lo;
    p.valueMax = hi;

    // The whole recording, from its first sample to its last.
    p.timeMin = n > 0 ? p.time.front() : 0.0;
    p.timeMax = n > 0 ? p.time.back() : 0.0;
    if (!(p.timeMin < p.timeMax)) p.timeMax = p.timeMin + std::max(1u, f.interval);
    for (const auto &label : TimeAxisLabels(p.timeMin, p.timeMax))
        p.timeLabels.emplace_back(label.first, label.second);

    p.valueAxisName = Trimmed(SlotUnitText(*WindowOf(r)));
    p.curveColour = f.curveColour & 0xFFFFFF;
    p.plotBackColour = settings.colours[1];
    p.gridColour = settings.colours[5];
    return p;
}

bool WriteReportPdf(const CliRecording &r, int lang, const std::string &inputPath,
                    const std::string &target) {
    std::unique_ptr<WindowRecord> w = WindowOf(r);
    ReportContext c;
    c.lang = lang;
    // The path as the program's Open dialog gives it; a temporary file is
    // the program's own and not named.
    std::error_code ec;
    const std::filesystem::path absolute =
        std::filesystem::absolute(inputPath, ec).lexically_normal();
    c.filePath = PathExtension(inputPath) == ".tmp" ? "" : (ec ? inputPath : absolute.string());
    int second = 0;
    GetSystemDate(&c.printed[1], &c.printed[0], &c.printed[2]);
    GetSystemTime(&c.printed[3], &c.printed[4], &second);
    SetReportPrintAttributes();
    return SaveReportPdf({BuildReportPage(*w, NewWindowView(*w), c)}, target) == 0;
}

void StartRunTime(const std::vector<std::string> &args) {
    // The run-time keeps argc and argv for its whole life.
    static std::vector<std::string> kept = args;
    static std::vector<char *> argv;
    if (!argv.empty()) return;
    for (std::string &a : kept)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    InitConsoleRunTime(static_cast<int>(kept.size()), argv.data());
}
