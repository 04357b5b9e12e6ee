// The scales popup: the value axis of the current window, from its data or
// between two bounds the user fixes.
#include "display/display.h"

#include "platform/platform.h"
#include "shell/shell.h"
#include "windows/windows.h"

#include <utility>

int scalesPopup = 0;

namespace {

constexpr int SCALES_QUIT = 2;
constexpr int SCALES_OK = 3;
constexpr int SCALES_MODE = 4;
constexpr int SCALES_MAX = 5;
constexpr int SCALES_MIN = 6;

// The bounds only mean something for a range the user fixes.
void DimBounds(int panel) {
    int mode = SCALE_AUTOMATIC;
    GetCtrlVal(panel, SCALES_MODE, &mode);
    const int dim = mode == SCALE_AUTOMATIC ? 1 : 0;
    SetCtrlAttribute(panel, SCALES_MIN, ATTR_DIMMED, dim);
    SetCtrlAttribute(panel, SCALES_MAX, ATTR_DIMMED, dim);
}

void CloseScales(int panel) {
    RemovePopup(0);
    DiscardPanel(panel);
    if (panel == scalesPopup) scalesPopup = 0;
    Griser_menus(0);
}

} // namespace

void OpenScalePopup() {
    if (currentWindow < 0) return;
    const WindowRecord &w = windows[currentWindow];
    int panel = LoadPanel(0, ResourceFile(), PANEL_SCALES);
    if (panel < 0) {
        MessagePopup("Velorinder", "The scales dialog cannot be loaded.");
        return;
    }
    scalesPopup = panel;
    TranslateScalesDialog(panel);
    // The numbers of the range, not the axis with its margin.
    double lo = w.yMin, hi = w.yMax;
    if (w.yRangeFixed == 0) SampleRange(w, &lo, &hi);
    SetCtrlVal(panel, SCALES_MODE, w.yRangeFixed == 0 ? SCALE_AUTOMATIC : SCALE_MANUAL);
    SetCtrlVal(panel, SCALES_MIN, lo);
    SetCtrlVal(panel, SCALES_MAX, hi);
    DimBounds(panel);
    Griser_menus(1);
    InstallPopup(panel);
}

int Echelle(int panel, int control, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    switch (control) {
    case SCALES_MODE:
        DimBounds(panel);
        break;
    case SCALES_OK: {
        int mode = SCALE_AUTOMATIC;
        double lo = 0, hi = 0;
        GetCtrlVal(panel, SCALES_MODE, &mode);
        GetCtrlVal(panel, SCALES_MIN, &lo);
        GetCtrlVal(panel, SCALES_MAX, &hi);
        if (mode == SCALE_MANUAL && hi < lo) std::swap(lo, hi);
        CloseScales(panel);
        if (currentWindow < 0) break;
        WindowRecord &w = windows[currentWindow];
        if (mode == SCALE_MANUAL) {
            // Equal bounds would make no axis: they get the room a flat curve gets.
            if (!(lo < hi)) WidenFlatRange(&lo, &hi);
            w.yMax = hi;
            w.yMin = lo;
            w.yRangeFixed = 1;
        } else {
            SampleRange(w, &w.yMin, &w.yMax);
            w.yRangeFixed = 0;
        }
        ValueAxisRange(w, &lo, &hi);
        SetAxisScalingMode(w.panel, WINDOW_GRAPH, VAL_LEFT_YAXIS, VAL_MANUAL, lo, hi);
        ValCurseur(w.panel, WINDOW_GRAPH, EVENT_COMMIT, nullptr, 0, 0);
        break;
    }
    case SCALES_QUIT:
        CloseScales(panel);
        break;
    default:
        break;
    }
    return 0;
}
