// Compared curves on a window's graph, the line that names and reads them,
// and the dialog of Window > Compare with...
#include "compare/compare.h"

#include "platform/platform.h"
#include "shell/shell.h"
#include "windows/windows.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

const char *const COMPARE_TITLE[5] = {"Comparer avec", "Compare with", "Vergleichen mit",
                                      "Comparar con", "Confronta con"};
const char *const COMPARE_HINT_TEXT[5] = {
    "Cochez au plus quatre fenêtres dont la courbe sera superposée à celle de la fenêtre "
    "courante.",
    "Tick at most four windows whose curve is laid over the current window's.",
    "Höchstens vier Fenster ankreuzen, deren Kurve über die des aktuellen Fensters gelegt wird.",
    "Marque como máximo cuatro ventanas cuya curva se superpone a la de la ventana actual.",
    "Spuntare al massimo quattro finestre la cui curva viene sovrapposta a quella della "
    "finestra corrente."};
const char *const NO_OTHER_TEXT[5] = {
    "Aucune autre fenêtre n'est ouverte.", "No other window is open.",
    "Kein anderes Fenster ist geöffnet.", "No hay ninguna otra ventana abierta.",
    "Nessun'altra finestra è aperta."};
const char *const QUIT_TEXT[5] = {"Quitter", "Quit", "Beenden", "Salir", "Esci"};

// The window the dialog was opened for and the window of each box, by panel:
// slots may not move while it is open, but a panel names a window for certain.
int targetPanel = 0;
int offeredPanels[COMPARE_BOXES];
int offeredCount = 0;

int SlotOfPanel(int panel) {
    for (int i = 0; i < windowCount; ++i)
        if (windows[i].panel == panel) return i;
    return -1;
}

std::string Trimmed(const char *text) {
    std::string s = text;
    std::size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

void CloseDialog() {
    if (comparePanel == 0) return;
    RemovePopup(0);
    DiscardPanel(comparePanel);
    comparePanel = 0;
    Griser_menus(0);
}

int CheckedBoxes() {
    int n = 0;
    for (int b = 0; b < offeredCount; ++b) {
        int on = 0;
        GetCtrlVal(comparePanel, COMPARE_FIRST_BOX + b, &on);
        n += on != 0;
    }
    return n;
}

} // namespace

int comparePanel = 0;

void EffacerComparaison(int slot) {
    if (slot < 0 || slot >= MAX_WINDOWS) return;
    WindowRecord &w = windows[slot];
    for (int32_t &plot : w.comparedPlot) {
        if (plot > 0 && w.panel > 0) DeleteGraphPlot(w.panel, WINDOW_GRAPH, plot, VAL_DELAYED_DRAW);
        plot = 0;
    }
}

void TracerComparaison(int slot) {
    if (slot < 0 || slot >= windowCount) return;
    EffacerComparaison(slot);
    WindowRecord &w = windows[slot];
    std::vector<double> time, value;
    for (int k = 0; k < std::clamp(w.comparedCount, 0, MAX_COMPARED); ++k) {
        const int s = w.comparedSlot[k];
        if (s < 0 || s >= windowCount || s == slot) continue;
        const WindowRecord &c = windows[s];
        const int n = std::clamp(c.count, 0, MAX_SAMPLES);
        time.assign(c.time, c.time + n);
        value.assign(c.value, c.value + n);
        for (double &t : time)
            t += w.comparedShift[k];
        // A missing sample breaks the curve, as on its own window.
        for (int g = 0, gaps = GapCount(c); g < gaps; ++g)
            if (c.gapIndex[g] < n) value[c.gapIndex[g]] = std::nan("");
        const int handle =
            PlotXY(w.panel, WINDOW_GRAPH, time.data(), value.data(), n, VAL_DOUBLE, VAL_DOUBLE,
                   VAL_THIN_LINE, VAL_NO_POINT, VAL_SOLID, 1, ComparedColour(w, k));
        w.comparedPlot[k] = handle > 0 ? handle : 0;
    }
}

void AfficherComparaison(int slot) {
    if (slot < 0 || slot >= windowCount) return;
    WindowRecord &w = windows[slot];
    if (w.panel <= 0) return;
    std::vector<LegendEntry> entries;
    if (w.comparedCount > 0) {
        // The time of the measuring cursor, where it sits on the window's curve.
        int plot = -1, index = -1;
        GetGraphCursorIndex(w.panel, WINDOW_GRAPH, 1, &plot, &index);
        const bool onCurve = plot == w.plotHandle && index >= 0 && index < w.count;
        const double t = onCurve ? w.time[index] : std::nan("");
        entries.push_back({ComparedReadout(w, 0.0, t), w.curveColour & 0xFFFFFF});
        for (int k = 0; k < std::min(w.comparedCount, MAX_COMPARED); ++k) {
            const int s = w.comparedSlot[k];
            if (s < 0 || s >= windowCount) continue;
            entries.push_back(
                {ComparedReadout(windows[s], w.comparedShift[k], t), ComparedColour(w, k)});
        }
    }
    std::vector<LegendEntry> shown;
    GetGraphLegendLine(w.panel, WINDOW_GRAPH, &shown);
    const bool same = shown.size() == entries.size() &&
                      std::equal(entries.begin(), entries.end(), shown.begin(),
                                 [](const LegendEntry &a, const LegendEntry &b) {
                                     return a.text == b.text && a.colour == b.colour;
                                 });
    if (!same) SetGraphLegendLine(w.panel, WINDOW_GRAPH, entries);
}

void SetComparison(int slot, const std::vector<int> &others) {
    if (slot < 0 || slot >= windowCount) return;
    WindowRecord &w = windows[slot];
    EffacerComparaison(slot);
    int n = 0;
    for (int s : others) {
        if (n == MAX_COMPARED) break;
        if (s < 0 || s >= windowCount || s == slot || windows[s].count <= 0) continue;
        if (std::find(w.comparedSlot, w.comparedSlot + n, s) != w.comparedSlot + n) continue;
        w.comparedSlot[n] = s;
        w.comparedShift[n] = ComparisonShift(w, windows[s]);
        ++n;
    }
    for (int k = n; k < MAX_COMPARED; ++k) {
        w.comparedSlot[k] = 0;
        w.comparedShift[k] = 0.0;
    }
    w.comparedCount = n;
    // Drawn again whole: the compared curves beneath, the value axis holding them all.
    DeleteGraphPlot(w.panel, WINDOW_GRAPH, w.plotHandle, VAL_DELAYED_DRAW);
    const int current = currentWindow;
    currentWindow = slot;
    TracerCourbe(w.value, w.time, w.curveColour, slot);
    currentWindow = current;
    AfficherComparaison(slot);
}

void Gestion_comparaison() {
    if (currentWindow < 0 || currentWindow >= windowCount || comparePanel != 0) return;
    const int panel = LoadPanel(0, ResourceFile(), PANEL_COMPARE);
    if (panel < 0) {
        MessagePopup("Velorinder", "The comparison dialog cannot be loaded.");
        return;
    }
    comparePanel = panel;
    const WindowRecord &w = windows[currentWindow];
    targetPanel = w.panel;
    SetPanelAttribute(panel, ATTR_TITLE, std::string(Tr(COMPARE_TITLE)) + " - " + Trimmed(w.title));
    SetCtrlAttribute(panel, COMPARE_QUIT, ATTR_LABEL_TEXT, Tr(QUIT_TEXT));
    // Every other window with a curve: recordings and derived displays alike.
    offeredCount = 0;
    for (int s = 0; s < windowCount; ++s) {
        if (s == currentWindow || windows[s].count <= 0) continue;
        const int box = COMPARE_FIRST_BOX + offeredCount;
        offeredPanels[offeredCount++] = windows[s].panel;
        SetCtrlAttribute(panel, box, ATTR_LABEL_TEXT, Trimmed(windows[s].title));
        const bool compared =
            std::find(w.comparedSlot, w.comparedSlot + std::min(w.comparedCount, MAX_COMPARED),
                      s) != w.comparedSlot + std::min(w.comparedCount, MAX_COMPARED);
        SetCtrlVal(panel, box, compared ? 1 : 0);
    }
    for (int b = offeredCount; b < COMPARE_BOXES; ++b)
        SetCtrlAttribute(panel, COMPARE_FIRST_BOX + b, ATTR_VISIBLE, 0);
    SetCtrlVal(panel, COMPARE_HINT, offeredCount > 0 ? Tr(COMPARE_HINT_TEXT) : Tr(NO_OTHER_TEXT));
    Griser_menus(1);
    InstallPopup(panel);
}

int Comparer(int panel, int control, int event, void *, int, int) {
    if (event != EVENT_COMMIT || panel != comparePanel) return 0;
    if (control >= COMPARE_FIRST_BOX && control < COMPARE_FIRST_BOX + offeredCount) {
        // A fifth tick is refused at once.
        if (CheckedBoxes() > MAX_COMPARED) SetCtrlVal(panel, control, 0);
        return 0;
    }
    if (control == COMPARE_OK) {
        std::vector<int> chosen;
        for (int b = 0; b < offeredCount; ++b) {
            int on = 0;
            GetCtrlVal(panel, COMPARE_FIRST_BOX + b, &on);
            const int s = SlotOfPanel(offeredPanels[b]);
            if (on && s >= 0) chosen.push_back(s);
        }
        const int slot = SlotOfPanel(targetPanel);
        CloseDialog();
        if (slot >= 0) SetComparison(slot, chosen);
    } else if (control == COMPARE_QUIT) {
        CloseDialog();
    }
    return 0;
}

void RegisterCompareCallbacks() {
    RegisterCtrlCallback("Comparer", Comparer);
}
