// The statistics panel of a graph window and Display > Copy statistics.
#include "analysis/analysis.h"

#include "display/display.h"
#include "platform/platform.h"
#include "shell/shell.h"
#include "windows/windows.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

enum Label { SAMPLES, MISSING, MINIMUM, MAXIMUM, MEAN, RMS, DEVIATION, DURATION, SLOPE, LABELS };

// French, English, German, Spanish, Italian.
const char *const LABEL_TEXTS[LABELS][5] = {
    {"Échantillons", "Samples", "Werte", "Muestras", "Campioni"},
    {"Manquants", "Missing", "Fehlend", "Faltantes", "Mancanti"},
    {"Min", "Min", "Min", "Mín", "Min"},
    {"Max", "Max", "Max", "Máx", "Max"},
    {"Moyenne", "Mean", "Mittelwert", "Media", "Media"},
    {"Eff. (RMS)", "RMS", "Effektivwert", "RMS", "RMS"},
    {"Écart-type", "Std dev", "Std.-Abw.", "Desv. típ.", "Dev. std."},
    {"Durée", "Duration", "Dauer", "Duración", "Durata"},
    {"Pente moy.", "Mean slope", "Mittl. Steigung", "Pendiente media", "Pendenza media"},
};
const char *const STATISTICS_TITLE[5] = {"Statistiques", "Statistics", "Statistik", "Estadísticas",
                                         "Statistiche"};
const char *const CURSORS_OFF[5] = {
    "Affichez les curseurs d'écart (menu Affichage) pour mesurer entre eux.",
    "Show the variation cursors (Display menu) to measure between them.",
    "Zeigen Sie die Abstandcursors an (Menü Anzeige), um zwischen ihnen zu messen.",
    "Muestre los cursores de diferencia (menú Visualización) para medir entre ellos.",
    "Mostrate i cursori di scarto (menu Visualizza) per misurare tra di essi."};
const char *const CLIPBOARD_FAILED[5] = {
    "Les statistiques n'ont pas pu être copiées dans le presse-papiers.",
    "The statistics could not be put on the clipboard.",
    "Die Statistik konnte nicht in die Zwischenablage kopiert werden.",
    "No se pudieron copiar las estadísticas al portapapeles.",
    "Non è stato possibile copiare le statistiche negli appunti."};

int Lang(int lang) {
    return std::clamp(lang, 0, 4);
}

std::string Number(double x, int digits) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*g", digits, x);
    return text;
}

std::string Trimmed(const char *text) {
    std::string s = text;
    std::size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// Characters a label takes on screen (accented letters are two bytes).
std::size_t Width(const std::string &text) {
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

// One table per slot, kept while the slot shows the same curve: a curve
// drawn anew gets a new plot handle, and a closed window moves the slots down.
struct SlotTable {
    StatisticsTable table;
    int plotHandle = 0;
    int count = -1;
};
SlotTable slotTables[MAX_WINDOWS];

const StatisticsTable &TableOf(int slot) {
    const WindowRecord &w = windows[slot];
    SlotTable &entry = slotTables[slot];
    if (entry.plotHandle != w.plotHandle || entry.count != w.count) {
        std::vector<char> missing(static_cast<std::size_t>(std::max(0, w.count)), 0);
        const int gaps = GapCount(w);
        for (int g = 0; g < gaps; ++g)
            if (w.gapIndex[g] >= 0 && w.gapIndex[g] < w.count) missing[w.gapIndex[g]] = 1;
        entry.table.Build(w.time, w.value, missing.data(), w.count);
        entry.plotHandle = w.plotHandle;
        entry.count = w.count;
    }
    return entry.table;
}

} // namespace

std::string StatisticsPanelText(const RangeStatistics &s, const std::string &unit, int lang) {
    lang = Lang(lang);
    std::size_t width = 0;
    for (const auto &row : LABEL_TEXTS)
        width = std::max(width, Width(row[lang]));
    const std::string withUnit = unit.empty() ? "" : " " + unit;
    std::string text;
    auto line = [&](Label label, const std::string &value) {
        std::string name = LABEL_TEXTS[label][lang];
        if (!text.empty()) text += "\n";
        text += name + std::string(width + 1 - Width(name), ' ') + value;
    };
    line(SAMPLES, std::to_string(s.count));
    line(MISSING, std::to_string(s.missing));
    const bool any = s.count > 0;
    line(MINIMUM, any ? Number(s.minimum, 6) + withUnit : MISSING_VALUE_TEXT);
    line(MAXIMUM, any ? Number(s.maximum, 6) + withUnit : MISSING_VALUE_TEXT);
    line(MEAN, any ? Number(s.mean, 6) + withUnit : MISSING_VALUE_TEXT);
    line(RMS, any ? Number(s.rms, 6) + withUnit : MISSING_VALUE_TEXT);
    line(DEVIATION, any ? Number(s.deviation, 6) + withUnit : MISSING_VALUE_TEXT);
    line(DURATION, !any                ? MISSING_VALUE_TEXT
                   : s.duration < 60.0 ? Number(s.duration, 6) + " s"
                                       : ClockText(s.duration));
    line(SLOPE, s.hasSlope ? Number(s.slope, 6) + withUnit + "/s" : MISSING_VALUE_TEXT);
    return text;
}

std::string StatisticsClipboardText(const RangeStatistics &s, double t1, double t2,
                                    const std::string &title, const std::string &unit, int lang) {
    lang = Lang(lang);
    std::string text = title + "\n";
    auto line = [&](const std::string &label, const std::string &value, const std::string &u) {
        text += label + "\t" + value + (u.empty() ? "" : "\t" + u) + "\n";
    };
    line("X1", Number(std::min(t1, t2), 10), "s");
    line("X2", Number(std::max(t1, t2), 10), "s");
    line(LABEL_TEXTS[SAMPLES][lang], std::to_string(s.count), "");
    line(LABEL_TEXTS[MISSING][lang], std::to_string(s.missing), "");
    // A figure that does not exist is an empty cell, not a zero.
    const bool any = s.count > 0;
    auto figure = [&](Label label, double x, bool shown, const std::string &u) {
        line(LABEL_TEXTS[label][lang], shown ? Number(x, 10) : "", u);
    };
    figure(MINIMUM, s.minimum, any, unit);
    figure(MAXIMUM, s.maximum, any, unit);
    figure(MEAN, s.mean, any, unit);
    figure(RMS, s.rms, any, unit);
    figure(DEVIATION, s.deviation, any, unit);
    figure(DURATION, s.duration, any, "s");
    figure(SLOPE, s.slope, s.hasSlope, unit.empty() ? "/s" : unit + "/s");
    return text;
}

bool CursorStatistics(int slot, RangeStatistics *stats, double *t1, double *t2) {
    if (slot < 0 || slot >= windowCount) return false;
    const WindowRecord &w = windows[slot];
    int cursors = 0;
    GetCtrlAttribute(w.panel, WINDOW_GRAPH, ATTR_NUM_CURSORS, &cursors);
    if (cursors <= 1) return false;
    double y = 0;
    GetGraphCursor(w.panel, WINDOW_GRAPH, 2, t1, &y);
    GetGraphCursor(w.panel, WINDOW_GRAPH, 3, t2, &y);
    *stats = TableOf(slot).BetweenTimes(*t1, *t2);
    return true;
}

void ShowCursorStatistics(int slot) {
    if (slot < 0 || slot >= windowCount) return;
    const WindowRecord &w = windows[slot];
    RangeStatistics s;
    double t1 = 0, t2 = 0;
    if (!CursorStatistics(slot, &s, &t1, &t2)) {
        SetGraphInfoText(w.panel, WINDOW_GRAPH, "");
        return;
    }
    SetGraphInfoText(w.panel, WINDOW_GRAPH,
                     StatisticsPanelText(s, Trimmed(SlotUnitText(w)), language));
}

void CopyStatistics() {
    if (currentWindow < 0) return;
    const WindowRecord &w = windows[currentWindow];
    const int lang = Lang(language);
    RangeStatistics s;
    double t1 = 0, t2 = 0;
    if (!CursorStatistics(currentWindow, &s, &t1, &t2)) {
        MessagePopup(STATISTICS_TITLE[lang], CURSORS_OFF[lang]);
        return;
    }
    const std::string text =
        StatisticsClipboardText(s, t1, t2, Trimmed(w.title), Trimmed(SlotUnitText(w)), lang);
    if (ClipboardPutText(text) < 0) MessagePopup(STATISTICS_TITLE[lang], CLIPBOARD_FAILED[lang]);
}
