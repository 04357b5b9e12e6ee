// Moving average: the constant popup and the trailing average itself.
#include "display/display.h"

#include "platform/platform.h"
#include "shell/shell.h"

#include <algorithm>
#include <cmath>

int filterConstant = 0;
int constantPanel = 0;

namespace {

const char *const REFUSAL_TITLE[5] = {"  Constante du filtre", "  Constant of the filter",
                                      "  Konstante des Filters", "  Constante del filtro",
                                      "  Costante del filtro"};
const char *const REFUSAL_TEXT[5] = {
    "La constante doit être inférieure au nombre total de mesures",
    "The constant must be less than the total number of measurements",
    "Die Konstante muss kleiner als die gesamte Anzahl der Messungen sein",
    "La constante debe ser inferior al número de medidas",
    "La costante deve essere inferiore al numero totale delle misure"};
// The first K-1 samples of the average are missing, and a slot lists at most
// MAX_GAPS missing samples.
const char *const LIMIT_TEXT[5] = {"La constante ne doit pas dépasser 60001 mesures",
                                   "The constant must not exceed 60001 measurements",
                                   "Die Konstante darf 60001 Messungen nicht überschreiten",
                                   "La constante no debe superar 60001 medidas",
                                   "La costante non deve superare 60001 misure"};
static_assert(MAX_FILTER_CONSTANT == 60001, "the limit texts name it");

// Neumaier's compensated step: `carry` keeps what rounding dropped from `sum`.
inline void Accumulate(double &sum, double &carry, double x) {
    double t = sum + x;
    carry += std::fabs(sum) >= std::fabs(x) ? (sum - t) + x : (x - t) + sum;
    sum = t;
}

void CloseConstantPopup(int panel) {
    RemovePopup(0);
    DiscardPanel(panel);
    constantPanel = 0;
    Griser_menus(0);
}

} // namespace

void MovingAverageInOrder(const double *value, int n, int k, double *out) {
    k = std::max(k, 1);
    for (int i = 0; i < n; ++i) {
        if (i < k - 1) {
            out[i] = 0.0;
            continue;
        }
        double sum = 0.0;
        for (int j = i - k + 1; j <= i; ++j)
            sum += value[j];
        out[i] = sum / k;
    }
}

void MovingAverage(const double *value, int n, int k, double *out) {
    if (n <= 0) return;
    k = std::max(k, 1);
    std::fill(out, out + std::min(n, k - 1), 0.0);
    double sum = 0.0, carry = 0.0;
    int untilAfresh = 0;
    int nonZero = 0; // samples of the window that are not 0.0
    for (int i = 0; i < std::min(n, k - 1); ++i)
        nonZero += value[i] != 0.0;
    for (int i = k - 1; i < n; ++i) {
        int start = i - k + 1;
        nonZero += value[i] != 0.0;
        if (start > 0) nonZero -= value[start - 1] != 0.0;
        if (untilAfresh == 0 || nonZero == 0) {
            // Afresh once per window length (n more additions in all), and
            // whenever the window holds only zeros, so that what rounding
            // left of samples gone cannot build up nor show on a flat 0.
            sum = carry = 0.0;
            for (int j = start; j <= i && nonZero > 0; ++j)
                Accumulate(sum, carry, value[j]);
            untilAfresh = k;
        } else {
            Accumulate(sum, carry, value[i]);
            Accumulate(sum, carry, -value[start - 1]);
        }
        --untilAfresh;
        out[i] = (sum + carry) / k;
    }
}

void OpenConstantPopup() {
    int panel = LoadPanel(0, ResourceFile(), PANEL_CONSTANT);
    if (panel < 0) {
        MessagePopup("Velorinder", "The constant dialog cannot be loaded.");
        return;
    }
    constantPanel = panel;
    TranslateConstantDialog(panel);
    if (filterConstant == 0) filterConstant = 1;
    SetCtrlVal(panel, CONSTANT_VALUE, filterConstant);
    Griser_menus(1);
    InstallPopup(panel);
}

int Constante(int panel, int control, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    if (control == CONSTANT_OK) {
        int k = 0;
        GetCtrlVal(panel, CONSTANT_VALUE, &k);
        if (k == 0) k = 1;
        if (k < 0 || k >= workCount) {
            MessagePopup(Tr(REFUSAL_TITLE), Tr(REFUSAL_TEXT));
            SetCtrlVal(panel, CONSTANT_VALUE, 1);
            return 0;
        }
        if (k > MAX_FILTER_CONSTANT) {
            MessagePopup(Tr(REFUSAL_TITLE), Tr(LIMIT_TEXT));
            SetCtrlVal(panel, CONSTANT_VALUE, MAX_FILTER_CONSTANT);
            return 0;
        }
        filterConstant = k;
        CloseConstantPopup(panel);
        SetWaitCursor(1);
        AffichageSecond(workSource, KIND_AVERAGE);
    } else if (control == CONSTANT_QUIT) {
        CloseConstantPopup(panel);
    }
    return 0;
}
