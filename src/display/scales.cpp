// The scales popup: the value axis of the current window, from its data or
// between two bounds the user fixes.
#include "display/display.h"

#include "platform/platform.h"
#include "shell/shell.h"
#include "windows/windows.h"

#include <algorithm>
#include <cmath>
#include <utility>

int scalesPopup = 0;

namespace {

constexpr int SCALES_QUIT = 2;
constexpr int SCALES_OK = 3;
constexpr int SCALES_MODE = 4;
constexpr int SCALES_MAX = 5;
constexpr int SCALES_MIN = 6;

// Decimals of a value field: the run-time's 3 at least; beyond 12 a double's
// digits would be shown as noise.
constexpr int MIN_FIELD_DECIMALS = 3;
constexpr int MAX_FIELD_DECIMALS = 12;
constexpr double MAX_FIELD_LIMIT = 1e15;

ValueField scaleMin, scaleMax;

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

ValueFieldFormat ValueFieldFormatFor(double lo, double hi) {
    ValueFieldFormat format;
    const double magnitude = std::max(std::fabs(lo), std::fabs(hi));
    if (!std::isfinite(magnitude)) return format;
    const double span = std::fabs(hi - lo);
    const double scale = span > 0 ? span : magnitude;
    if (scale > 0) {
        const int exponent = static_cast<int>(std::floor(std::log10(scale)));
        format.decimals = std::clamp(3 - exponent, MIN_FIELD_DECIMALS, MAX_FIELD_DECIMALS);
    }
    while (format.limit < 10 * magnitude && format.limit < MAX_FIELD_LIMIT)
        format.limit *= 10;
    return format;
}

ValueField FormatValueField(int panel, int control, const ValueFieldFormat &format) {
    // The limits first: a value beyond the old ones is not clamped on the way.
    SetCtrlAttribute(panel, control, ATTR_MIN_VALUE, -format.limit);
    SetCtrlAttribute(panel, control, ATTR_MAX_VALUE, format.limit);
    SetCtrlAttribute(panel, control, ATTR_PRECISION, format.decimals);
    ValueField field;
    field.panel = panel;
    field.control = control;
    return field;
}

void GiveValueField(ValueField *field, double value) {
    SetCtrlVal(field->panel, field->control, value);
    field->given = true;
    field->value = value;
    GetCtrlVal(field->panel, field->control, &field->shown);
}

double ReadValueField(const ValueField &field) {
    double value = 0;
    GetCtrlVal(field.panel, field.control, &value);
    return field.given && value == field.shown ? field.value : value;
}

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
    const ValueFieldFormat format = ValueFieldFormatFor(lo, hi);
    scaleMin = FormatValueField(panel, SCALES_MIN, format);
    scaleMax = FormatValueField(panel, SCALES_MAX, format);
    GiveValueField(&scaleMin, lo);
    GiveValueField(&scaleMax, hi);
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
        lo = ReadValueField(scaleMin);
        hi = ReadValueField(scaleMax);
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
