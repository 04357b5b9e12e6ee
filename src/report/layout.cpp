// What a report page holds and where: built from a window's record and what
// its graph shows, without any window, so that the print command and the
// command line make the same page of the same recording.
#include "report/report.h"

#include "shell/shell.h"
#include "windows/windows.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#ifndef VELORINDER_VERSION
#define VELORINDER_VERSION "0"
#endif

const char *const PREVIEW_TITLE[5] = {"Aperçu avant impression", "Print preview", "Druckvorschau",
                                      "Vista previa de impresión", "Anteprima di stampa"};

namespace {

const char *const DATE_WORD[5] = {"Date", "Date", "Datum", "Fecha", "Data"};
const char *const TIME_WORD[5] = {"Heure", "Time", "Stunde", "Hora", "Ora"};
const char *const FILE_WORD[5] = {"Fichier", "File", "Datei", "Fichero", "File"};
const char *const MODE_WORD[5] = {"Mode", "Mode", "Mode", "Modo", "Modo"};
const char *const INTERVAL_WORD[5] = {"Intervalle", "Interval", "Leseintervall", "Intervalo",
                                      "Intervallo"};
const char *const COEFFICIENT_WORD[5] = {"Coefficient K", "Coefficient K", "Koeffizient K",
                                         "Coeficiente K", "Coefficiente K"};
const char *const UNIT_WORD[5] = {"Unité", "Unit", "Einheit", "Unidad", "Unità"};
const char *const KIND_WORD[5] = {"Type", "Kind", "Art", "Tipo", "Tipo"};
const char *const KIND_NAME[3][5] = {
    {"Position", "Position", "Position", "Posición", "Posizione"},
    {"Accélération", "Acceleration", "Beschleunigung", "Aceleración", "Accelerazione"},
    {"Moyenne mobile", "Moving average", "Beweglicher Mittelwert", "Media deslizante",
     "Media mobile"}};
const char *const SOURCE_WORD[5] = {"Source", "Source", "Quelle", "Fuente", "Sorgente"};
const char *const CONSTANT_WORD[5] = {"Constante du filtre", "Constant of the filter",
                                      "Konstante des Filters", "Constante del filtro",
                                      "Costante del filtro"};
const char *const PRINTED_WORD[5] = {"Imprimé le", "Printed on", "Gedruckt am", "Impreso el",
                                     "Stampato il"};
const char *const PAGE_WORD[5] = {"Page", "Page", "Seite", "Página", "Pagina"};
const char *const ALARM_WORD[5] = {"Alarme", "Alarm", "Alarm", "Alarma", "Allarme"};
const char *const MODE_TEXT[3] = {"NONE", "SMOOTH", "COUNT"};
const char *const TIME_AXIS_NAME = "t (h:mm:ss)";
const char *const SEPARATOR = "     ";

int Lang(int lang) {
    return lang >= 0 && lang < LANGUAGE_COUNT ? lang : 1;
}

std::string Trim(const std::string &text) {
    std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string Field(const char *const word[5], int lang, const std::string &value) {
    return std::string(word[Lang(lang)]) + ": " + value;
}

// Day first, as the export writes it; German with points.
std::string DateText(int day, int month, int year, int lang) {
    if (day == 0 && month == 0 && year == 0) return "-";
    char text[64];
    std::snprintf(text, sizeof text, Lang(lang) == 2 ? "%02d.%02d.%04d" : "%02d/%02d/%04d", day,
                  month, year);
    return text;
}

std::string ClockOf(int hour, int minute) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d", hour, minute);
    return text;
}

std::string UnitOf(const WindowRecord &w) {
    return Trim(SlotUnitText(w));
}

// A value as the legend shows it: the number shortened, then the unit.
std::string ValueText(const WindowRecord &w, double x) {
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%f", x);
    std::string number = buffer;
    if (number.size() > 6) number = Format_nombre(number, x, 1);
    return number + " " + UnitOf(w);
}

int DerivedKind(const WindowRecord &w) {
    if (w.sourceWindow == -1) return -1;
    if (w.isPosition == 1) return KIND_POSITION;
    if (w.isAcceleration == 1) return KIND_ACCELERATION;
    if (w.isAverage == 1) return KIND_AVERAGE;
    return -1;
}

// Points far outside the plot are brought to just outside its edge, along
// their segment, so that the page never holds coordinates beyond reason.
void BringToEdge(ReportRun *run, int columns) {
    auto pull = [](ReportPoint *outer, const ReportPoint &inner, double edge) {
        const double share = (edge - inner.x) / (outer->x - inner.x);
        outer->y = inner.y + share * (outer->y - inner.y);
        outer->x = edge;
    };
    if (run->size() < 2) return;
    if (run->front().x < -1.0 && (*run)[1].x >= -1.0) pull(&run->front(), (*run)[1], -1.0);
    const double right = columns + 1.0;
    if (run->back().x > right && (*run)[run->size() - 2].x <= right)
        pull(&run->back(), (*run)[run->size() - 2], right);
}

} // namespace

std::string ProgramNameAndVersion() {
    return std::string("Velorinder ") + VELORINDER_VERSION;
}

ReportView NewWindowView(const WindowRecord &w) {
    ReportView v;
    const int count = std::clamp(w.count, 0, MAX_SAMPLES);
    // The window's value axis: the data's bounds, with the margin.
    auto copy = std::make_unique<WindowRecord>(w);
    copy->yMin = copy->yMax = 0.0;
    SampleRange(*copy, &copy->yMin, &copy->yMax);
    copy->yRangeFixed = 0;
    ValueAxisRange(*copy, &v.valueMin, &v.valueMax);
    // The zoom that holds the whole recording, from its first sample.
    const double origin = count > 0 ? w.time[0] : 0.0;
    const double duration = RecordingDuration(w);
    ScrollRange(0, VisibleSpan(zoomTable[FitZoomLevel(duration)]), origin, duration, &v.timeMin,
                &v.timeMax);
    // The measuring cursor goes a quarter into the recording, on the sample
    // nearest there (the earlier of two as near).
    v.cursorCount = 1;
    if (count > 0) {
        const double first = w.time[0], last = w.time[count - 1];
        const double lo = count > 1 ? first : first - 1, hi = count > 1 ? last : first + 1;
        const double target = lo + 0.25 * (hi - lo);
        const double *at = std::lower_bound(w.time, w.time + count, target);
        int index = static_cast<int>(at - w.time);
        if (index >= count)
            index = count - 1;
        else if (index > 0 && target - w.time[index - 1] <= w.time[index] - target)
            --index;
        v.cursorIndex = index;
        v.cursorX[0] = w.time[index];
        v.cursorY[0] = IsGap(w, index) ? std::nan("") : w.value[index];
    }
    return v;
}

std::vector<std::string> ReportHeader(const WindowRecord &w, const ReportContext &c) {
    const int lang = Lang(c.lang);
    std::vector<std::string> lines;
    lines.push_back(Field(DATE_WORD, lang, DateText(w.day, w.month, w.year, lang)) + SEPARATOR +
                    Field(TIME_WORD, lang, ClockOf(w.hour, w.minute)));
    if (!c.filePath.empty()) lines.push_back(Field(FILE_WORD, lang, c.filePath));
    const std::string mode = w.mode >= 0 && w.mode < 3 ? MODE_TEXT[w.mode] : std::to_string(w.mode);
    char coefficient[400];
    std::snprintf(coefficient, sizeof coefficient, "%f", w.coefficient);
    lines.push_back(Field(MODE_WORD, lang, mode) + SEPARATOR +
                    Field(INTERVAL_WORD, lang, std::to_string(w.interval) + " s") + SEPARATOR +
                    Field(COEFFICIENT_WORD, lang, coefficient) + SEPARATOR +
                    Field(UNIT_WORD, lang, UnitOf(w)));
    const int kind = DerivedKind(w);
    if (kind >= 0) {
        std::string line = Field(KIND_WORD, lang, KIND_NAME[kind][lang]) + SEPARATOR +
                           Field(SOURCE_WORD, lang, Trim(c.sourceTitle));
        if (kind == KIND_AVERAGE)
            line += SEPARATOR + Field(CONSTANT_WORD, lang, std::to_string(w.averageConstant));
        lines.push_back(line);
    }
    return lines;
}

void ReportFooter(const ReportContext &c, std::string *left, std::string *centre,
                  std::string *right) {
    const int lang = Lang(c.lang);
    *left = ProgramNameAndVersion();
    *centre = std::string(PRINTED_WORD[lang]) + " " +
              DateText(c.printed[0], c.printed[1], c.printed[2], lang) + " " +
              ClockOf(c.printed[3], c.printed[4]);
    *right = std::string(PAGE_WORD[lang]) + " " + std::to_string(c.page) + " / " +
             std::to_string(c.pages);
}

std::vector<ReportRun> ReduceToColumns(const ReportCurve &curve, double xFrom, double xTo,
                                       int columns) {
    std::vector<ReportRun> runs;
    const std::size_t n = std::min(curve.time.size(), curve.value.size());
    if (n == 0 || columns < 1 || !(xFrom < xTo) || !std::isfinite(xTo - xFrom)) return runs;
    const double scale = columns / (xTo - xFrom);
    const double *time = curve.time.data();
    const double *value = curve.value.data();
    // From the last sample before the range to the first after it.
    std::size_t begin = static_cast<std::size_t>(std::lower_bound(time, time + n, xFrom) - time);
    if (begin > 0) --begin;
    std::size_t end = static_cast<std::size_t>(std::upper_bound(time, time + n, xTo) - time);
    if (end < n) ++end;

    struct Column {
        long index = 0;
        std::size_t first = 0, last = 0, low = 0, high = 0;
        bool used = false;
    } column;
    ReportRun run;
    auto point = [&](std::size_t i) { return ReportPoint{(time[i] - xFrom) * scale, value[i]}; };
    auto flush = [&] {
        if (!column.used) return;
        const std::size_t order[4] = {column.first, std::min(column.low, column.high),
                                      std::max(column.low, column.high), column.last};
        for (int k = 0; k < 4; ++k)
            if (k == 0 || order[k] != order[k - 1]) run.push_back(point(order[k]));
        column.used = false;
    };
    auto endRun = [&] {
        flush();
        if (!run.empty()) {
            BringToEdge(&run, columns);
            runs.push_back(std::move(run));
        }
        run.clear();
    };
    for (std::size_t i = begin; i < end; ++i) {
        const bool missing = (i < curve.missing.size() && curve.missing[i] != 0) ||
                             !std::isfinite(value[i]) || !std::isfinite(time[i]);
        if (missing) {
            endRun();
            continue;
        }
        const double at = std::clamp((time[i] - xFrom) * scale, -2.0, columns + 2.0);
        const long index = static_cast<long>(std::floor(at));
        if (column.used && index != column.index) flush();
        if (!column.used) {
            column = {index, i, i, i, i, true};
            continue;
        }
        column.last = i;
        if (value[i] < value[column.low]) column.low = i;
        if (value[i] > value[column.high]) column.high = i;
    }
    endRun();
    return runs;
}

std::vector<std::pair<double, std::string>> ValueTicks(double lo, double hi) {
    std::vector<std::pair<double, std::string>> ticks;
    if (!(lo < hi) || !std::isfinite(hi - lo)) return ticks;
    const double raw = (hi - lo) / 6;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double r = raw / magnitude;
    const double step = (r < 1.5 ? 1 : r < 3.5 ? 2 : r < 7.5 ? 5 : 10) * magnitude;
    const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
    const double first = std::ceil(lo / step - 1e-9);
    for (int k = 0; k < 40; ++k) {
        double v = (first + k) * step;
        if (v > hi + step * 1e-9) break;
        if (std::fabs(v) < step * 1e-9) v = 0.0;
        char text[400];
        std::snprintf(text, sizeof text, "%.*f", std::min(decimals, 12), v);
        ticks.emplace_back(v, text);
    }
    return ticks;
}

std::vector<std::string> CursorReadouts(const WindowRecord &w, const ReportView &view) {
    std::vector<std::string> lines;
    std::string x, line;
    const int count = std::clamp(w.count, 0, MAX_SAMPLES);
    if (view.cursorCount >= 1 && view.cursorIndex >= 0 && view.cursorIndex < count) {
        // The legend's time of the sample: its index times the interval.
        const int i = view.cursorIndex;
        Format_temps("X = ", static_cast<double>(static_cast<uint64_t>(i) * w.interval), &x);
        const std::string y = IsGap(w, i)
                                  ? std::string("Y = ") + MISSING_VALUE_TEXT + " " + UnitOf(w)
                                  : "Y = " + ValueText(w, w.value[i]);
        lines.push_back("1:  " + x + SEPARATOR + y);
    }
    if (view.cursorCount >= 3) {
        const double x2 = view.cursorX[1], y2 = view.cursorY[1];
        const double x3 = view.cursorX[2], y3 = view.cursorY[2];
        std::string t2, t3, dt;
        Format_temps("X1 = ", x2, &t2);
        Format_temps("X2 = ", x3, &t3);
        Format_temps("dX = ", std::fabs(x3 - x2), &dt);
        lines.push_back("2:  " + t2 + "   Y1 = " + ValueText(w, y2) + SEPARATOR + "3:  " + t3 +
                        "   Y2 = " + ValueText(w, y3) + SEPARATOR + dt +
                        "   dY = " + ValueText(w, std::fabs(y3 - y2)));
    }
    return lines;
}

ReportPage BuildReportPage(const WindowRecord &w, const ReportView &view, const ReportContext &c) {
    const int lang = Lang(c.lang);
    ReportPage page;
    page.title = Trim(std::string(w.title, strnlen(w.title, sizeof w.title)));
    page.header = ReportHeader(w, c);
    ReportFooter(c, &page.footerLeft, &page.footerCentre, &page.footerRight);

    ReportGraph &g = page.graph;
    g.timeMin = view.timeMin;
    g.timeMax = view.timeMax;
    g.valueMin = view.valueMin;
    g.valueMax = view.valueMax;
    g.timeTicks = TimeAxisLabels(view.timeMin, view.timeMax);
    g.valueTicks = ValueTicks(view.valueMin, view.valueMax);
    g.timeAxisName = TIME_AXIS_NAME;
    g.valueAxisName = UnitOf(w);
    g.timeGrid = view.timeGrid;
    g.valueGrid = view.valueGrid;
    g.reduce = ReduceToColumns;

    const int count = std::clamp(w.count, 0, MAX_SAMPLES);
    ReportCurve curve;
    curve.time.assign(w.time, w.time + count);
    curve.value.assign(w.value, w.value + count);
    curve.missing.assign(static_cast<std::size_t>(count), 0);
    const int gaps = GapCount(w);
    for (int k = 0; k < gaps; ++k)
        if (w.gapIndex[k] >= 0 && w.gapIndex[k] < count) curve.missing[w.gapIndex[k]] = 1;
    curve.colour = w.curveColour & 0xFFFFFF;
    g.curves.push_back(std::move(curve));

    g.labels = view.labels;
    for (int k = 0; k < 2; ++k)
        if (w.alarmPlot[k] != 0)
            g.alarms.emplace_back(w.alarmLevel[k], std::string(ALARM_WORD[lang]) + ": " +
                                                       ValueText(w, w.alarmLevel[k]));
    for (int k = 0; k < std::min(view.cursorCount, 3); ++k) {
        if (k == 0 && view.cursorIndex < 0) continue;
        const bool vertical = std::isnan(view.cursorY[k]);
        g.cursors.push_back({k + 1, view.cursorX[k], vertical ? 0.0 : view.cursorY[k], vertical});
    }
    g.readouts = CursorReadouts(w, view);
    return page;
}

void SetReportPrintAttributes() {
    SetPrintAttributeEx(ATTR_PRINT_AREA_WIDTH, VAL_USE_PRINTER_DEFAULT);
    SetPrintAttributeEx(ATTR_PRINT_AREA_HEIGHT, VAL_USE_PRINTER_DEFAULT);
    SetPrintAttributeEx(ATTR_PRINT_COLOR_MODE, VAL_PRINT_COLOR);
    SetPrintAttributeEx(ATTR_PRINT_ORIENTATION, VAL_PRINT_LANDSCAPE);
    SetPrintAttributeEx(ATTR_PRINT_XRESOLUTION, VAL_USE_PRINTER_DEFAULT);
    SetPrintAttributeEx(ATTR_PRINT_YRESOLUTION, VAL_USE_PRINTER_DEFAULT);
}
