// Position, acceleration and (through the moving average) averaged displays
// derived from a recording, and the Treatment menu that asks for them.
#include "display/display.h"

#include "link/link.h"
#include "platform/platform.h"
#include "shell/shell.h"
#include "toolbox/toolbox.h"
#include "windows/windows.h"

#include <algorithm>

int derivedKind = KIND_POSITION;
int sourceList[MAX_WINDOWS];
int sourceCount = 0;
std::vector<double> workValue;
std::vector<double> workTime;
std::vector<char> workMissing;
int workCount = 0;
int workSource = -1;
std::string sourceTitle;

namespace {

constexpr int SELECTION_OK = 2;
constexpr int SELECTION_QUIT = 3;
constexpr int SELECTION_HINT = 4;
constexpr int SELECTION_LIST = 5;

bool IsSpeed(int type) {
    return type == 0 || type == 1 || type == 5 || type == 6;
}

const char *const PREFIX[3][5] = {{"Courbe Position", "Position curve", "Position diagramm",
                                   "Gráfico Posición", "Grafico Posizione"},
                                  {"Courbe Accélération", "Acceleration curve",
                                   "Beschleunigung diagramm", "Gráfico Aceleración",
                                   "Grafico Accelerazione"},
                                  {"Moyenne", "Average", "Mittelwert", "Media", "Media"}};
const char *const JOINER[5] = {" de  ", " of  ", " der  ", " de  ", " di  "};

} // namespace

bool PositionAllowed(int type) {
    return IsSpeed(type);
}

bool AccelerationAllowed(int type) {
    return IsSpeed(type) || (type >= 7 && type <= 10);
}

std::string DerivedTitle(int kind, int lang, const std::string &source) {
    if (kind < 0 || kind > 2) kind = 0;
    if (lang < 0 || lang >= LANGUAGE_COUNT) lang = 1;
    return std::string(PREFIX[kind][lang]) + JOINER[lang] + source;
}

void MakeWorkCopy(const WindowRecord &source, std::vector<double> *time, std::vector<double> *value,
                  std::vector<char> *missing) {
    int n = std::clamp(source.count, 0, MAX_SAMPLES);
    time->assign(n + 1, 0.0);
    value->assign(n + 1, 0.0);
    missing->assign(n, 0);
    const int gaps = GapCount(source);
    for (int g = 0; g < gaps; ++g)
        if (source.gapIndex[g] >= 0 && source.gapIndex[g] < n) (*missing)[source.gapIndex[g]] = 1;
    for (int j = 0; j < n; ++j) {
        (*time)[j] = source.time[j];
        (*value)[j] = (*missing)[j] ? 0.0 : source.value[j];
    }
}

std::vector<char> MissingSteps(const std::vector<char> &source, int count) {
    count = std::clamp(count, 0, static_cast<int>(source.size()));
    std::vector<char> out(count, 0);
    for (int i = 1; i < count; ++i)
        out[i] = source[i] || source[i - 1];
    return out;
}

std::vector<char> MissingAverages(const std::vector<char> &source, int count, int k) {
    count = std::clamp(count, 0, static_cast<int>(source.size()));
    k = std::max(k, 1);
    std::vector<char> out(count, 1);
    int inWindow = 0; // missing samples among the last k
    for (int i = 0; i < count; ++i) {
        inWindow += source[i];
        if (i >= k) inWindow -= source[i - k];
        if (i >= k - 1) out[i] = inWindow > 0;
    }
    return out;
}

void ListMissingSamples(WindowRecord &w, const std::vector<char> &missing) {
    const int n = std::min(w.count, static_cast<int>(missing.size()));
    int listed = 0;
    for (int i = 0; i < n; ++i) {
        if (!missing[i]) continue;
        if (listed == MAX_GAPS) {
            w.count = i;
            break;
        }
        w.gapIndex[listed++] = i;
        w.value[i] = 0.0;
    }
    std::fill(w.gapIndex + listed, w.gapIndex + MAX_GAPS, 0);
    w.hasGaps = listed > 0 ? 1 : 0;
}

void ComputePosition(const double *wt, const double *wv, int count, double f, double *time,
                     double *value, double *total, const char *missing) {
    if (count <= 0) return;
    time[0] = 0.0;
    value[0] = 0.0;
    total[0] = 0.0;
    for (int i = 1; i < count; ++i) {
        time[i] = wt[i];
        if (missing && missing[i]) {
            value[i] = 0.0;
            total[i] = total[i - 1]; // no distance that was not measured
            continue;
        }
        double a = f * wv[i], b = f * wv[i - 1], dt = wt[i] - wt[i - 1];
        value[i] = (a + b) * dt / 2;
        total[i] = total[i - 1] + (a + b) * dt / 2;
    }
}

void ComputeAcceleration(const double *wt, const double *wv, int count, double f, double *time,
                         double *value, const char *missing) {
    if (count <= 0) return;
    time[0] = 0.0;
    value[0] = 0.0;
    for (int i = 1; i < count; ++i) {
        time[i] = wt[i];
        if (missing && missing[i]) {
            value[i] = 0.0; // never a change across a gap
            continue;
        }
        double a = f * wv[i], b = f * wv[i - 1], dt = wt[i] - wt[i - 1];
        value[i] = (a - b) / dt;
    }
}

void Gestion_traitement(int, int menuItem, void *, int) {
    if (currentWindow == -1) return;
    if (windowCount >= MAX_WINDOWS) {
        ShowError(1);
        SetWaitCursor(0);
        return;
    }
    switch (menuItem) {
    case MENU_MOVING_AVERAGE:
        derivedKind = KIND_AVERAGE;
        break;
    case MENU_POSITION:
        derivedKind = KIND_POSITION;
        break;
    case MENU_ACCELERATION:
        derivedKind = KIND_ACCELERATION;
        break;
    default:
        return;
    }
    ListeSources();
}

void ListeSources() {
    int panel = LoadPanel(0, ResourceFile(), PANEL_SELECTION);
    if (panel < 0) {
        MessagePopup("Velorinder", "The selection dialog cannot be loaded.");
        return;
    }
    TranslateSelectionDialog(panel);
    ClearListCtrl(panel, SELECTION_LIST);
    sourceCount = 0;
    for (int slot = 0; slot < windowCount; ++slot) {
        if (windows[slot].sourceWindow != -1) continue; // derived displays are never sources
        InsertListItem(panel, SELECTION_LIST, -1, std::string(" ") + windows[slot].title,
                       sourceCount);
        SetCtrlIndex(panel, SELECTION_LIST, sourceCount);
        sourceList[sourceCount++] = slot;
    }
    InstallPopup(panel);
}

int IndexGraphe(int panel, int control, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    if (control == SELECTION_OK) {
        int index = -1;
        if (sourceCount > 0) GetCtrlIndex(panel, SELECTION_LIST, &index);
        SetWaitCursor(0);
        RemovePopup(0);
        DiscardPanel(panel);
        if (windowCount >= MAX_WINDOWS)
            ShowError(1);
        else
            TraitementFiltre(index, derivedKind);
    } else if (control == SELECTION_QUIT) {
        SetWaitCursor(0);
        RemovePopup(0);
        DiscardPanel(panel);
    }
    return 0;
}

void TraitementFiltre(int listIndex, int kind) {
    if (listIndex < 0 || listIndex >= sourceCount) return;
    if (windowCount >= MAX_WINDOWS) {
        ShowError(1);
        SetWaitCursor(0);
        return;
    }
    SetWaitCursor(1);
    int source = sourceList[listIndex];
    workSource = source;
    WindowRecord &s = windows[source];
    MakeWorkCopy(s, &workTime, &workValue, &workMissing);
    sourceTitle = s.title;
    workCount = s.count;
    if (kind == KIND_POSITION && PositionAllowed(s.measureType)) {
        s.isPosition = 1;
        AffichageSecond(source, KIND_POSITION);
    } else if (kind == KIND_ACCELERATION && AccelerationAllowed(s.measureType)) {
        s.isAcceleration = 1;
        AffichageSecond(source, KIND_ACCELERATION);
    } else if (kind == KIND_AVERAGE) {
        SetWaitCursor(0);
        s.isAverage = 1;
        OpenConstantPopup();
    } else {
        ShowError(25);
        SetWaitCursor(0);
    }
}

void AffichageSecond(int source, int kind) {
    if (source < 0 || source >= windowCount || kind < KIND_POSITION || kind > KIND_AVERAGE) return;
    const WindowRecord &s = windows[source];
    double f = IsSpeed(s.measureType) ? 1.0 / 60.0 : 1.0;
    std::string title = DerivedTitle(kind, language, sourceTitle);
    Nouvelle_fenetre(title);
    currentWindow = windowCount - 1;
    WindowRecord &w = windows[currentWindow];
    w.count = std::clamp(std::min(s.count, workCount), 0, static_cast<int>(workMissing.size()));
    w.interval = s.interval;
    w.measureType = s.measureType;
    w.coefficient = s.coefficient;
    w.curveColour = s.curveColour;
    w.mode = s.mode;
    // Derived from the same recording, it was taken at the same time.
    w.day = s.day;
    w.month = s.month;
    w.year = s.year;
    w.hour = s.hour;
    w.minute = s.minute;
    w.sourceWindow = static_cast<int16_t>(source);
    w.isPosition = kind == KIND_POSITION;
    w.isAcceleration = kind == KIND_ACCELERATION;
    w.isAverage = kind == KIND_AVERAGE;
    // The window keeps the constant it was made with; the global one is only
    // what the popup proposes next.
    w.averageConstant = kind == KIND_AVERAGE ? std::max(filterConstant, 1) : 0;
    CopyText(w.title, sizeof w.title, title);

    delete[] w.total;
    // Only position and acceleration displays have a running total.
    w.total = kind == KIND_AVERAGE ? nullptr : new double[w.count + 1]();
    std::fill(w.value, w.value + MAX_SAMPLES, 0.0);
    std::fill(w.time, w.time + MAX_SAMPLES, 0.0);
    // A sample computed from a missing one is missing too.
    std::vector<char> missing;
    if (kind == KIND_AVERAGE) {
        SetWaitCursor(1);
        missing = MissingAverages(workMissing, w.count, w.averageConstant);
        MovingAverage(workValue.data(), w.count, w.averageConstant, w.value);
        std::copy(workTime.begin(), workTime.begin() + w.count, w.time);
    } else {
        missing = MissingSteps(workMissing, w.count);
        if (kind == KIND_POSITION)
            ComputePosition(workTime.data(), workValue.data(), w.count, f, w.time, w.value, w.total,
                            missing.data());
        else
            ComputeAcceleration(workTime.data(), workValue.data(), w.count, f, w.time, w.value,
                                missing.data());
    }
    ListMissingSamples(w, missing);
    std::string text;
    FormatValue(w.measureType, w.count > 0 ? w.value[w.count - 1] : 0.0, &text); // sets the unit

    ShowNewRecording(true);
    // Tiled once it exists, so that it never opens on top of the others.
    Gestion_fenetre(menuBar, MENU_TILE, nullptr, mainPanel);
    Gestion_fenetre(menuBar, MENU_WINDOW_REFRESH, nullptr, mainPanel);
    SetWaitCursor(0);
}

int StopImport(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    importRunning = 0;
    SetWaitCursor(1);
    return 0;
}

void RegisterDisplayCallbacks() {
    RegisterMenuCallback("Gestion_affichage", Gestion_affichage);
    RegisterMenuCallback("Gestion_traitement", Gestion_traitement);
    RegisterCtrlCallback("IndexGraphe", IndexGraphe);
    RegisterCtrlCallback("Constante", Constante);
    RegisterCtrlCallback("StopImport", StopImport);
    RegisterCtrlCallback("Echelle", Echelle);
    RegisterColourCallbacks();
}
