// The colours popup: the seven display colours, tried on the windows as they
// are picked, kept when confirmed and saved with the settings at exit.
#include "display/display.h"

#include "compare/compare.h"
#include "platform/platform.h"
#include "shell/shell.h"
#include "windows/windows.h"

#include <algorithm>

int displayColours[7] = {0xFF0000, 0xC0C0C0, 0x000080, 0x00FF00, 0xFFFF00, 0x000000, 0};
int colourShown[COLOUR_ITEMS];
int colourLive[COLOUR_ITEMS];
int coloursPanel = 0;

namespace {

constexpr int COLOURS_OK = 2;
constexpr int COLOURS_CANCEL = 3;
constexpr int COLOURS_DEFAULT = 4;
constexpr int COLOURS_LIST = 5;
constexpr int COLOURS_PICKER = 6;

constexpr int ITEM_CURVE = 0;
constexpr int ITEM_BACKGROUND = 1;
constexpr int ITEM_TITLE = 2;
constexpr int ITEM_CURSOR_1 = 3;
constexpr int ITEM_CURSOR_2 = 4;
constexpr int ITEM_GRATICULE = 5;

// What Default proposes: a black curve on a light grey graph, black graticule.
constexpr int DEFAULT_COLOURS[COLOUR_ITEMS] = {0x000000, 0xC0C0C0, 0x000080, 0x00FF00,
                                               0xFFFF00, 0x000000, 0xFF0000};

// The colours of one window as the popup found them, so that Cancel puts
// back exactly those, whatever the settings hold.
struct WindowColours {
    int panel = 0;
    int background = 0;
    int graticule = 0;
    int title = 0;
    int cursor[3] = {0, 0, 0};
};
WindowColours before[MAX_WINDOWS];
int beforeCount = 0;
int beforeCurve = 0; // the current window's curveColour

int CursorCount(int panel) {
    int n = 0;
    GetCtrlAttribute(panel, WINDOW_GRAPH, ATTR_NUM_CURSORS, &n);
    return n;
}

void NoteColours() {
    beforeCount = windowCount;
    for (int i = 0; i < windowCount; ++i) {
        WindowColours &c = before[i];
        c.panel = windows[i].panel;
        GetCtrlAttribute(c.panel, WINDOW_GRAPH, ATTR_PLOT_BGCOLOR, &c.background);
        GetCtrlAttribute(c.panel, WINDOW_GRAPH, ATTR_GRID_COLOR, &c.graticule);
        GetPanelAttribute(c.panel, ATTR_TITLE_BACKCOLOR, &c.title);
        const int n = std::min(CursorCount(c.panel), 3);
        for (int k = 0; k < n; ++k)
            GetCursorAttribute(c.panel, WINDOW_GRAPH, k + 1, ATTR_CURSOR_COLOR, &c.cursor[k]);
    }
    beforeCurve = currentWindow >= 0 ? windows[currentWindow].curveColour : displayColours[0];
}

void RestoreColours() {
    for (int i = 0; i < beforeCount && i < windowCount; ++i) {
        const WindowColours &c = before[i];
        if (windows[i].panel != c.panel) continue;
        SetCtrlAttribute(c.panel, WINDOW_GRAPH, ATTR_PLOT_BGCOLOR, c.background);
        SetCtrlAttribute(c.panel, WINDOW_GRAPH, ATTR_GRID_COLOR, c.graticule);
        SetPanelAttribute(c.panel, ATTR_TITLE_BACKCOLOR, c.title);
        const int n = std::min(CursorCount(c.panel), 3);
        for (int k = 0; k < n; ++k)
            SetCursorAttribute(c.panel, WINDOW_GRAPH, k + 1, ATTR_CURSOR_COLOR, c.cursor[k]);
    }
}

int SelectedItem(int panel) {
    int item = -1;
    if (GetCtrlIndex(panel, COLOURS_LIST, &item) != 0) return -1;
    return item;
}

void ShowSelectedColour(int panel) {
    int item = SelectedItem(panel);
    if (item >= 0 && item < COLOUR_ITEMS) SetCtrlVal(panel, COLOURS_PICKER, colourShown[item]);
}

void ApplyAll() {
    for (int item = 0; item < COLOUR_ITEMS; ++item)
        AppliquerCouleur(item);
}

void CloseColours(int panel) {
    RemovePopup(0);
    DiscardPanel(panel);
    coloursPanel = 0;
    Griser_menus(0);
}

void Confirm(int panel) {
    std::copy_n(colourLive, COLOUR_ITEMS, colourShown);
    std::copy_n(colourShown, COLOUR_ITEMS, displayColours);
    ApplyAll();
    if (currentWindow >= 0) windows[currentWindow].curveColour = displayColours[ITEM_CURVE];
    CloseColours(panel);
    Gestion_fenetre(menuBar, MENU_TILE, nullptr, mainPanel);
}

// Nothing the popup tried stays: the curve is drawn again only when its
// colour was changed, and every window gets back the colours it had.
void Cancel(int panel) {
    const bool curveTried = colourLive[ITEM_CURVE] != beforeCurve;
    std::copy_n(displayColours, COLOUR_ITEMS, colourLive);
    std::copy_n(displayColours, COLOUR_ITEMS, colourShown);
    colourLive[ITEM_CURVE] = colourShown[ITEM_CURVE] = beforeCurve;
    if (curveTried) AppliquerCouleur(ITEM_CURVE);
    RestoreColours();
    ShowSelectedColour(panel);
    CloseColours(panel);
    if (currentWindow < 0) return;
    // Each pair of toggles leaves the window as it was and draws it again with
    // the confirmed colours; the variation cursors stay where the user put them.
    const int p = windows[currentWindow].panel;
    double x2 = 0, y2 = 0, x3 = 0, y3 = 0;
    Sauver_curseurs(p, &x2, &y2, &x3, &y3);
    for (int item :
         {MENU_VARIATION_CURSORS, MENU_VARIATION_CURSORS, MENU_GRATICULE, MENU_GRATICULE})
        Gestion_affichage(menuBar, item, nullptr, mainPanel);
    Restaurer_curseurs(p, x2, y2, x3, y3);
    ValCurseur(p, WINDOW_GRAPH, EVENT_COMMIT, nullptr, 0, 0);
    SetActivePanel(p);
    Repere_fenetre(p, EVENT_GOT_FOCUS, nullptr, 0, 0);
    Gestion_fenetre(menuBar, MENU_WINDOW_REFRESH, nullptr, mainPanel);
    // The redraws above colour from the settings; the windows keep their own.
    RestoreColours();
}

void ProposeDefaults(int panel) {
    std::copy_n(DEFAULT_COLOURS, COLOUR_ITEMS, colourShown);
    std::copy_n(colourShown, COLOUR_ITEMS, colourLive);
    ApplyAll();
    ShowSelectedColour(panel);
}

} // namespace

void AppliquerCouleur(int item) {
    if (item < ITEM_CURVE || item > ITEM_GRATICULE) return;
    const int colour = colourLive[item];
    switch (item) {
    case ITEM_CURVE: {
        if (currentWindow < 0) return;
        // The handle stays: a curve drawn again keeps its measuring cursor.
        WindowRecord &w = windows[currentWindow];
        HidePanel(w.panel);
        EffacerComparaison(currentWindow);
        DeleteGraphPlot(w.panel, WINDOW_GRAPH, w.plotHandle, VAL_DELAYED_DRAW);
        TracerCourbe(w.value, w.time, colour, currentWindow);
        DisplayPanel(w.panel);
        break;
    }
    case ITEM_BACKGROUND:
    case ITEM_GRATICULE:
        for (int i = 0; i < windowCount; ++i) {
            SetCtrlAttribute(windows[i].panel, WINDOW_GRAPH,
                             item == ITEM_BACKGROUND ? ATTR_PLOT_BGCOLOR : ATTR_GRID_COLOR, colour);
            // The measuring cursor stays visible on the new background.
            if (item == ITEM_BACKGROUND)
                SetCursorAttribute(windows[i].panel, WINDOW_GRAPH, 1, ATTR_CURSOR_COLOR,
                                   CursorColourOn(colour));
        }
        break;
    case ITEM_TITLE:
        if (currentWindow >= 0)
            SetPanelAttribute(windows[currentWindow].panel, ATTR_TITLE_BACKCOLOR, colour);
        break;
    case ITEM_CURSOR_1:
    case ITEM_CURSOR_2:
        // Windows showing only the measuring cursor have no variation cursors to colour.
        for (int i = 0; i < windowCount; ++i) {
            const int p = windows[i].panel;
            if (CursorCount(p) <= 1) continue;
            if (SetActiveGraphCursor(p, WINDOW_GRAPH, 2) != 0) continue;
            SetCursorAttribute(p, WINDOW_GRAPH, item == ITEM_CURSOR_1 ? 2 : 3, ATTR_CURSOR_COLOR,
                               colour);
        }
        break;
    default:
        break;
    }
}

void OpenColourPopup() {
    if (currentWindow < 0 || coloursPanel > 0) return;
    int panel = LoadPanel(0, ResourceFile(), PANEL_COLOURS);
    if (panel < 0) {
        MessagePopup("Velorinder", "The colours dialog cannot be loaded.");
        return;
    }
    coloursPanel = panel;
    TranslateColoursDialog(panel);
    NoteColours();
    std::copy_n(displayColours, COLOUR_ITEMS, colourShown);
    std::copy_n(displayColours, COLOUR_ITEMS, colourLive);
    // The curve item is the current window's curve, in the colour it has.
    colourShown[ITEM_CURVE] = colourLive[ITEM_CURVE] = beforeCurve;
    // The picker shows the curve's colour: the first item is the one selected.
    SetCtrlIndex(panel, COLOURS_LIST, ITEM_CURVE);
    SetCtrlVal(panel, COLOURS_PICKER, colourShown[ITEM_CURVE]);
    Griser_menus(1);
    InstallPopup(panel);
    ProcessDrawEvents();
}

int couleurs(int panel, int control, int event, void *, int, int) {
    switch (control) {
    case COLOURS_LIST:
        if (event == EVENT_VAL_CHANGED || event == EVENT_GOT_FOCUS) ShowSelectedColour(panel);
        break;
    case COLOURS_PICKER: {
        int item = SelectedItem(panel);
        if (item < 0 || item >= COLOUR_ITEMS) break;
        GetCtrlVal(panel, COLOURS_PICKER, &colourLive[item]);
        // Coming back to the item shows the colour it has on the windows.
        colourShown[item] = colourLive[item];
        AppliquerCouleur(item);
        break;
    }
    case COLOURS_OK:
        if (event == EVENT_LEFT_CLICK) Confirm(panel);
        break;
    case COLOURS_CANCEL:
        if (event == EVENT_LEFT_CLICK) Cancel(panel);
        break;
    case COLOURS_DEFAULT:
        if (event == EVENT_LEFT_CLICK) ProposeDefaults(panel);
        break;
    default:
        break;
    }
    return 0;
}

void RegisterColourCallbacks() {
    RegisterCtrlCallback("couleurs", couleurs);
}
