// The Edit menu: the alarm dialog, the minimum, maximum and free text labels
// with the text dialog that edits and moves them, and the copy and rename of
// the current window.
#include "edit/edit.h"

#include "display/display.h"
#include "link/link.h"
#include "platform/platform.h"
#include "shell/shell.h"

#include <algorithm>

int labelIndex = 0;
double labelX = 0.0;
double labelY = 0.0;
int textDialog = 0;

namespace {

constexpr int NO_WINDOW_ERROR = 4;
constexpr int RENAME_LENGTH = 100;
// Margins and steps of an arrow press, in parts of the visible range.
constexpr double VALUE_MARGIN = 0.05;
constexpr double VALUE_STEP = 0.1;
constexpr double TIME_MARGIN = 0.01;
constexpr double TIME_STEP = 0.02;

const char *const RENAME_TITLE[5] = {"Renommer Fenêtre", "Rename Window", "Ändern Fenster",
                                     "Renombrar Ventana", "Rinomina Finestra"};
const char *const RENAME_TEXT[5] = {
    "Entrez le nouveau titre ....             ", "Enter a new title ....                   ",
    "Geben Sie bitte einen neuen Titel ein ...", "Entrar el nuevo título ....              ",
    "Inserisci il nuovo titolo ...            "};
const char *const CANCEL_TEXT[5] = {"__Annuler", "__Cancel", "__Abbrechen", "__Anular",
                                    "__Annulla"};

void EraseLabel(WindowRecord &w, int k) {
    DeleteGraphPlot(w.panel, WINDOW_GRAPH, w.labelPlot[k], VAL_IMMEDIATE_DRAW);
    w.labelPlot[k] = 0;
}

void OpenTextDialog() {
    textDialog = LoadPanel(0, ResourceFile(), PANEL_TEXT);
    if (textDialog < 0) {
        textDialog = 0;
        return;
    }
    TranslateTextDialog(textDialog);
    Griser_menus(1);
}

void CloseTextDialog() {
    RemovePopup(0);
    DiscardPanel(textDialog);
    textDialog = 0;
    Griser_menus(0);
}

// Puts label k at (x, y) in place of its previous drawing and shows the
// text dialog on it.
void PlaceLabel(WindowRecord &w, int k, double x, double y) {
    OpenTextDialog();
    if (textDialog == 0) return;
    if (w.labelState[k] != 0) EraseLabel(w, k);
    w.labelState[k] = 1;
    SetCtrlVal(textDialog, TEXT_FIELD, w.labelText[k]);
    w.labelPlot[k] = DrawLabel(w, x, y, w.labelText[k]);
    w.labelPosition[k][0] = x;
    w.labelPosition[k][1] = y;
    labelIndex = k;
    labelX = x;
    labelY = y;
    InstallPopup(textDialog);
}

// The window ticked in the Window menu (the last one when several are), made
// current; -1 when none is.
int TickedWindow() {
    int ticked = -1;
    for (int i = 0; i < windowCount; ++i) {
        int on = 0;
        GetMenuBarAttribute(menuBar, windows[i].menuItem, ATTR_CHECKED, &on);
        if (on) ticked = i;
    }
    if (ticked >= 0) currentWindow = ticked;
    return ticked;
}

void ExtremeLabel(bool maximum) {
    if (TickedWindow() < 0) return;
    WindowRecord &w = windows[currentWindow];
    if (w.count == 0) return;
    const int i = ExtremeSample(w.value, w.count, w.gapIndex, GapCount(w), maximum);
    if (i < 0) return;
    // At the sample's time, so that the label sits on the curve whatever the
    // recording interval.
    PlaceLabel(w, maximum ? LABEL_MAX : LABEL_MIN, w.time[i], w.value[i]);
}

void FreeText(int k) {
    WindowRecord &w = windows[currentWindow];
    if (w.count == 0) return;
    double x = 0.0, y = 0.0;
    GetGraphCursor(w.panel, WINDOW_GRAPH, 1, &x, &y);
    PlaceLabel(w, k, x, y);
}

void CopyWindow() {
    const WindowRecord &w = windows[currentWindow];
    int bitmap = 0;
    if (GetPanelDisplayBitmap(w.panel, VAL_FULL_PANEL, MakeRect(0, 0, VAL_TO_EDGE, VAL_TO_EDGE),
                              &bitmap) < 0)
        return;
    ClipboardPutBitmap(bitmap);
    DiscardBitmap(bitmap);
}

// Text without its outer blanks.
std::string TrimmedTitle(const std::string &text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    std::size_t first = 0, last = text.size();
    while (first < last && blank(text[first]))
        ++first;
    while (last > first && blank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

// The new name is the recording's from then on: the title bar, the Window
// menu and every later use of the slot's title (export, print, the source
// list of the derived displays, the name proposed by Save). A blank answer
// would leave the window nameless in all of them, so it keeps the old name.
void RenameWindow() {
    WindowRecord &w = windows[currentWindow];
    std::string response;
    const int button = GenericMessagePopup(
        Tr(RENAME_TITLE), Tr(RENAME_TEXT), "__OK", Tr(CANCEL_TEXT), "", &response, RENAME_LENGTH, 0,
        VAL_GENERIC_POPUP_INPUT_STRING, VAL_GENERIC_POPUP_BTN1, VAL_GENERIC_POPUP_BTN2);
    if (button != VAL_GENERIC_POPUP_BTN1) return;
    std::string title = TrimmedTitle(response);
    if (title.empty()) return;
    // Cut to the field between two characters, never inside one.
    std::size_t cut = std::min(title.size(), sizeof w.title - 1);
    while (cut > 0 && cut < title.size() && (static_cast<unsigned char>(title[cut]) & 0xC0) == 0x80)
        --cut;
    title.resize(cut);
    CopyText(w.title, sizeof w.title, title);
    SetPanelAttribute(w.panel, ATTR_TITLE, w.title);
    SetMenuBarAttribute(menuBar, w.menuItem, ATTR_ITEM_NAME, w.title);
}

// Up, down, right or left: the label moves one step within the margins.
void MoveEditedLabel(int control) {
    WindowRecord &w = windows[currentWindow];
    std::string text;
    GetCtrlVal(textDialog, TEXT_FIELD, &text);
    const bool vertical = control == TEXT_UP || control == TEXT_DOWN;
    double lo = 0.0, hi = 0.0;
    GetAxisScalingMode(w.panel, WINDOW_GRAPH, vertical ? VAL_LEFT_YAXIS : VAL_BOTTOM_XAXIS, nullptr,
                       &lo, &hi);
    DeleteGraphPlot(w.panel, WINDOW_GRAPH, w.labelPlot[labelIndex], VAL_DELAYED_DRAW);
    const int direction = control == TEXT_UP || control == TEXT_RIGHT ? 1 : -1;
    if (vertical)
        labelY = MoveLabel(labelY, lo, hi, direction, VALUE_MARGIN, VALUE_STEP);
    else
        labelX = MoveLabel(labelX, lo, hi, direction, TIME_MARGIN, TIME_STEP);
    w.labelPlot[labelIndex] = DrawLabel(w, labelX, labelY, text);
    w.labelPosition[labelIndex][0] = labelX;
    w.labelPosition[labelIndex][1] = labelY;
}

} // namespace

int DrawLabel(const WindowRecord &w, double x, double y, const std::string &text) {
    const int handle =
        PlotText(w.panel, WINDOW_GRAPH, x, y, text, VAL_DEFAULT_FONT, 0, VAL_TRANSPARENT);
    return std::max(handle, 0);
}

double MoveLabel(double position, double lo, double hi, int direction, double margin, double step) {
    const double range = hi - lo;
    if (direction > 0 && hi > position + margin * range)
        return std::min(position + step * range, hi);
    if (direction < 0 && lo < position - margin * range)
        return std::max(position - step * range, lo);
    return position;
}

int ExtremeSample(const double *value, int count, const int *gaps, int gapCount, bool maximum) {
    int best = -1;
    int g = 0; // gaps rise, so one pass over both lists
    for (int i = 0; i < count; ++i) {
        while (g < gapCount && gaps[g] < i)
            ++g;
        if (g < gapCount && gaps[g] == i) continue;
        if (best < 0 || (maximum ? value[i] > value[best] : value[i] < value[best])) best = i;
    }
    return best;
}

void Gestion_edition(int, int menuItem, void *, int) {
    if (menuItem < MENU_ALARM || menuItem > MENU_RENAME_WINDOW) return;
    if (currentWindow < 0) {
        ShowError(NO_WINDOW_ERROR);
        return;
    }
    switch (menuItem) {
    case MENU_ALARM:
        OpenAlarmDialog();
        break;
    case MENU_MIN_LABEL:
    case MENU_MAX_LABEL:
        ExtremeLabel(menuItem == MENU_MAX_LABEL);
        break;
    case MENU_TEXT_1:
    case MENU_TEXT_1 + 1:
    case MENU_TEXT_3:
        FreeText(menuItem - MENU_TEXT_1 + 2);
        break;
    case MENU_COPY_WINDOW:
        CopyWindow();
        break;
    case MENU_RENAME_WINDOW:
        RenameWindow();
        break;
    default:
        break;
    }
}

int Minmax(int panel, int control, int event, void *, int, int) {
    if (panel != textDialog || currentWindow < 0) return 0;
    WindowRecord &w = windows[currentWindow];
    if (event == EVENT_VAL_CHANGED && control == TEXT_FIELD) {
        // The graph follows the typing; the record keeps the text only on OK.
        std::string text;
        GetCtrlVal(panel, TEXT_FIELD, &text);
        DeleteGraphPlot(w.panel, WINDOW_GRAPH, w.labelPlot[labelIndex], VAL_DELAYED_DRAW);
        w.labelPlot[labelIndex] = DrawLabel(w, labelX, labelY, text);
        return 0;
    }
    if (event != EVENT_COMMIT) return 0;
    switch (control) {
    case TEXT_OK:
    case TEXT_FIELD: { // Enter in the text field confirms as OK does
        std::string text;
        GetCtrlVal(panel, TEXT_FIELD, &text);
        CopyText(w.labelText[labelIndex], sizeof w.labelText[labelIndex], text);
        CloseTextDialog();
        break;
    }
    case TEXT_REMOVE:
        EraseLabel(w, labelIndex);
        w.labelState[labelIndex] = 0;
        CloseTextDialog();
        break;
    case TEXT_UP:
    case TEXT_DOWN:
    case TEXT_RIGHT:
    case TEXT_LEFT:
        MoveEditedLabel(control);
        break;
    default:
        break;
    }
    return 0;
}

void RegisterEditCallbacks() {
    RegisterMenuCallback("Gestion_edition", Gestion_edition);
    RegisterCtrlCallback("Minmax", Minmax);
    RegisterCtrlCallback("Alarmes", Alarmes);
}
