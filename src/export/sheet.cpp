// The workbook's contents as texts, the name cleaning and the proposed name:
// pure functions of a window record.
#include "export/export.h"
#include "shell/shell.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

std::vector<ExportRow> exportValues;
std::vector<ExportRow> exportTotals;

const char *const EXCEL_READY_TEXT[5] = {"EXCEL Prêt !\n", "EXCEL Ready !\n", "EXCEL fertig !\n",
                                         "EXCEL listo !\n", "EXCEL pronto !\n"};
const char *const SHEET_READY_TEXT[5] = {"Feuille prête.\n", "Sheet ready.\n", "Blatt fertig.\n",
                                         "Hoja lista.\n", "Foglio pronto.\n"};
const char *const EXCEL_SHEET_TITLE[5] = {"Feuille EXCEL", "EXCEL Sheet", "EXCEL Blatt",
                                          "Hoja de EXCEL", "Foglio EXCEL"};
const char *const OVERWRITE_TEXT[5] = {
    "Feuille déja existante !    Ecraser les données ?\n",
    "Sheet already exist !    Overwrite Data ?\n", "Blatt existiert!    Löschen ?\n",
    "Hoja existente !    Susituir ?\n", "Foglio già esistente !    Sovrascrivere i dati ?"};
const char *const EXCEL_CLOSED_TEXT[5] = {
    "Attention !  Fermeture d'EXCEL", "Warning !  EXCEL will be closed", "Achtung !  EXCEL beenden",
    "Cuidado !  EXCEL cerrado", "Attenzione !  Chiusura di EXCEL"};
const char *const SAVE_TITLE[5] = {"Enregistrer", "Save", "Speichern", "Guardar", "Salva"};

namespace {

const char *const HEADERS_ROW4[5][5] = {
    {"Date", "Heure", "Mode", "Intervalle", "Coefficient K"},
    {"Date", "Time", "Mode", "Interval", "Coefficient K"},
    {"Datum", "Stunde", "Mode", "Leseintervall", "Koeffizient K"},
    {"Fecha", "Hora", "Modo", "Intervalo", "Coeficiente K"},
    {"Data", "Ora", "Modo", "Intervallo", "Coefficiente K"}};
const char *const CONSTANT_HEADER[5] = {"  Constante du filtre", "  Constant of the filter",
                                        "  Konstante des Filters", "  Constante del filtro",
                                        "  Costante del filtro"};
const char *const HEADERS_ROW7[5][3] = {{"Valeur Y", "Unité des Y", "Valeur X"},
                                        {"Value Y", "Y Unity", "Value X"},
                                        {"Wert Y", "Y Einheit", "Wert X"},
                                        {"Valor Y", "Unidad de Y", "Valor X"},
                                        {"Valore Y", "Unità asse Y", "Valore X"}};
const char *const TOTAL_HEADER[5] = {"Y = déplacement total", "Y = total displacement",
                                     "Y = Gesamter Weg", "Y = desplazamiento total",
                                     "Y = spostamento totale"};
const char *const DUTY_WORD[5] = {"Rap.", "Duty", "Duty", "Duty", "Duty"};
const char *const MODE_TEXT[3] = {" NONE ", "SMOOTH", "COUNT "};
const char *const TIME_HEADER = "   t   ";
const char *const SCAN_TEXT = "s (scan)";
const char *const GAP_TEXT = "  -----  ";

int Lang(int lang) {
    return lang >= 0 && lang < 5 ? lang : 1;
}

std::string Fixed(const char *format, double x) {
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, format, x);
    return buffer;
}

std::string TwoDigits(int n, int width) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%0*d", width, n);
    return buffer;
}

// A number right-aligned in `width` characters, as the run-time's numeric fields are.
std::string RightAligned(const std::string &text, std::size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

bool EndsWith(const std::string &s, std::string_view end) {
    if (s.size() < end.size()) return false;
    for (std::size_t i = 0; i < end.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - end.size() + i])) != end[i])
            return false;
    return true;
}

} // namespace

std::string PadCellText(std::string_view text, std::size_t width) {
    std::string s(text);
    if (s.size() < width) s.append(width - s.size(), ' ');
    return s;
}

std::string RoundedNumberText(double x, std::size_t width) {
    std::string text = Fixed("%f", x);
    // Fewer decimals, each time rounded from the value itself, until it fits.
    for (int decimals = 5; text.size() > width && decimals >= 0; --decimals) {
        char buffer[400];
        std::snprintf(buffer, sizeof buffer, "%.*f", decimals, x);
        text = buffer;
    }
    return text;
}

int ExportCount(const WindowRecord &w) {
    int count = std::max(0, std::min<int>(w.count, MAX_SAMPLES));
    for (int r = 1; r < count; ++r)
        if (w.time[r] - w.time[r - 1] <= 0) return r;
    return count;
}

bool IsPositionDisplay(const WindowRecord &w) {
    return w.isPosition == 1 && w.sourceWindow != -1;
}

bool IsAverageDisplay(const WindowRecord &w) {
    return w.isAverage == 1 && w.sourceWindow != -1;
}

void BuildExportTexts(const WindowRecord &w, int count) {
    const bool position = IsPositionDisplay(w) && w.total != nullptr;
    exportValues.assign(count, {});
    exportTotals.assign(position ? count : 0, {});
    for (int r = 0; r < count; ++r) {
        // A value a spreadsheet cannot hold is no measurement either.
        const bool missing = (w.hasGaps && IsGap(w, r)) || !std::isfinite(w.value[r]);
        exportValues[r] = {w.value[r], w.time[r], missing};
        if (position) {
            const bool noTotal = (w.hasGaps && IsGap(w, r)) || !std::isfinite(w.total[r]);
            exportTotals[r] = {w.total[r], w.time[r], noTotal};
        }
    }
}

std::string ExportUnitText(const WindowRecord &w, int lang) {
    std::string unit = SlotUnitText(w);
    if (w.measureType == 2) return std::string(DUTY_WORD[Lang(lang)]) + " " + unit;
    return unit;
}

std::vector<SheetCell> HeaderCells(const WindowRecord &w, int lang, int constant) {
    lang = Lang(lang);
    std::vector<SheetCell> cells;
    cells.push_back({2, 1, std::string("'") + w.title});
    for (int c = 0; c < 5; ++c)
        cells.push_back({4, c + 1, HEADERS_ROW4[lang][c]});
    const bool average = IsAverageDisplay(w);
    if (average) cells.push_back({4, 6, CONSTANT_HEADER[lang]});

    // Texts are padded to their widths and never cut: a long one stays whole.
    cells.push_back({5, 1,
                     PadCellText("' " + TwoDigits(w.day, 2) + "/" + TwoDigits(w.month, 2) + "/" +
                                     TwoDigits(w.year, 4),
                                 13)});
    cells.push_back(
        {5, 2, PadCellText("'" + TwoDigits(w.hour, 2) + ":" + TwoDigits(w.minute, 2) + ":00", 10)});
    const int mode = w.mode >= 0 && w.mode < 3 ? w.mode : 0;
    cells.push_back({5, 3, PadCellText(std::string("'") + MODE_TEXT[mode], 10)});
    cells.push_back({5, 4, PadCellText("'" + std::to_string(w.interval) + " s", 10)});
    cells.push_back(
        {5, 5, PadCellText("'" + RightAligned(RoundedNumberText(w.coefficient, 9), 9), 10)});
    if (average)
        cells.push_back({5, 6, PadCellText("'" + RightAligned(std::to_string(constant), 9), 10)});

    for (int c = 0; c < 3; ++c)
        cells.push_back({7, c + 1, HEADERS_ROW7[lang][c]});
    cells.push_back({7, 4, TIME_HEADER});
    if (IsPositionDisplay(w)) {
        cells.push_back({7, 5, TOTAL_HEADER[lang]});
        for (int c = 1; c < 3; ++c)
            cells.push_back({7, 5 + c, HEADERS_ROW7[lang][c]});
        cells.push_back({7, 8, TIME_HEADER});
    }
    return cells;
}

void DataRowCells(int i, const std::string &unit, bool position, std::vector<SheetCell> *cells) {
    cells->clear();
    const int row = 10 + i;
    auto number = [row](int column, double x) {
        SheetCell cell{row, column, ""};
        cell.numeric = true;
        cell.number = x;
        return cell;
    };
    auto four = [&](int first, const ExportRow &r) {
        cells->push_back(r.missing ? SheetCell{row, first, GAP_TEXT} : number(first, r.value));
        cells->push_back({row, first + 1, PadCellText(unit, 8)});
        cells->push_back(number(first + 2, r.time));
        cells->push_back({row, first + 3, SCAN_TEXT});
    };
    four(1, exportValues[i]);
    if (position && i < static_cast<int>(exportTotals.size())) four(5, exportTotals[i]);
}

int WriteSheetCell(CAObjHandle range, const SheetCell &cell) {
    // Kept between calls: a long fill makes no allocation per cell.
    static std::vector<CAVariant> position{CA_VariantInt(0), CA_VariantInt(0)};
    static CAVariant text;
    static const std::string item = "Item";
    position[0].number = cell.row;
    position[1].number = cell.column;
    if (cell.numeric)
        return CA_InvokeHelperEx(range, item, position, CA_VariantDouble(cell.number));
    CA_VariantSetCString(&text, cell.text);
    return CA_InvokeHelperEx(range, item, position, text);
}

std::string CleanExportName(std::string_view text) {
    std::string out;
    const std::size_t n = std::min<std::size_t>(text.size(), 300);
    for (std::size_t i = 0; i < n && out.size() < 299; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 128 && std::isalnum(c)) {
            out += static_cast<char>(c);
        } else if (std::string_view("-./:*+=\\_").find(static_cast<char>(c)) !=
                   std::string_view::npos) {
            out += static_cast<char>(c);
        } else if (c < 128 && std::isspace(c)) {
            out += ' ';
            if (i + 1 < n && std::isspace(static_cast<unsigned char>(text[i + 1]))) break;
        }
    }
    return out;
}

std::string ProposedSheetName(const std::string &base, int counter) {
    std::string stem = base;
    for (std::string_view ext : {".xlsx", ".xls"})
        if (EndsWith(stem, ext)) {
            stem.resize(stem.size() - ext.size());
            break;
        }
    return stem + TwoDigits(counter, counter > 99 ? 3 : 2) + ".xlsx";
}

int FirstFreeSheetNumber(const std::string &dir, const std::string &base, int from) {
    std::string folder = dir;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    int n = std::max(from, 1);
    long size = 0;
    // Bounded: a folder cannot hold a million of them, but a broken one may say so.
    while (n < 1000000 && GetFileInfo(folder + ProposedSheetName(base, n), &size) != 0)
        ++n;
    return n;
}

std::string WorkbookPath(const std::string &chosen) {
    std::string path = chosen;
    // The file dialog appends the restricted extension to a typed ".xls".
    if (EndsWith(path, ".xls.xlsx")) path.resize(path.size() - 5);
    if (EndsWith(path, ".xls")) return path + "x";
    if (EndsWith(path, ".xlsx")) return path;
    return path + ".xlsx";
}
