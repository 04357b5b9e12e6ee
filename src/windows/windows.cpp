// Graph windows inside the main window: creation, the Window menu, the tile
// and cascade layouts, full screen, activation and closing.
#include "windows/windows.h"

#include "compare/compare.h"
#include "display/display.h"
#include "platform/platform.h"
#include "session/session.h"
#include "shell/shell.h"
#include "toolbox/toolbox.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>

int tileTop[9];
int tileLeft[9];
int tileHeight[9];
int tileWidth = 0;

namespace {

const char *const TEXT_WORD[5] = {"texte", "text", "text", "texto", "testo"};

constexpr int NEW_GEOMETRY[4] = {70, 5, 220, 380};

// Panels whose `geometry` holds the place they had when the full-screen
// toggle enlarged them. Only those go back: a window that fills the area
// otherwise (a single tiled window) has no earlier place to return to.
// Tile and cascade give every window a new place and forget them.
std::set<int> enlargedPanels;

void Check(int slot, int on) {
    SetMenuBarAttribute(menuBar, windows[slot].menuItem, ATTR_CHECKED, on);
}

// Fills one column of the tile layout with `rows` cells from slot `first`.
void Column(int first, int rows, int left, int height) {
    for (int r = 0; r < rows; ++r) {
        tileTop[first + r] = r * height / rows;
        tileLeft[first + r] = left;
        tileHeight[first + r] = height / rows;
    }
}

// Tile and cascade place windows of the normal kind: a minimised or maximised
// one would keep that state's look at its new place. The maximised go first,
// since the area hands its maximised state on to the next window shown.
void NormalStates() {
    for (int zoom : {VAL_MAXIMIZE, VAL_MINIMIZE})
        for (int i = 0; i < windowCount; ++i) {
            int state = VAL_NO_ZOOM;
            GetPanelAttribute(windows[i].panel, ATTR_WINDOW_ZOOM, &state);
            if (state == zoom) SetPanelAttribute(windows[i].panel, ATTR_WINDOW_ZOOM, VAL_NO_ZOOM);
        }
}

} // namespace

void Calcul_coordonnees_fenetre(int W, int H) {
    int n = windowCount;
    if (n < 1 || n > 9) return;
    // Rows per column for each number of windows.
    static const int columns[10][3] = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {2, 2, 0},
                                       {2, 3, 0}, {3, 3, 0}, {3, 4, 0}, {4, 4, 0}, {3, 3, 3}};
    const int *rows = columns[n];
    int columnCount = n == 9 ? 3 : n >= 4 ? 2 : 1;
    tileWidth = W / columnCount;
    int lefts[3] = {0, n == 9 ? W / 3 : W / 2, 2 * W / 3};
    int first = 0;
    for (int c = 0; c < columnCount; ++c) {
        Column(first, rows[c], lefts[c], H);
        first += rows[c];
    }
}

void Nouvelle_fenetre(const std::string &title) {
    int n = windowCount;
    if (n >= MAX_WINDOWS) {
        ShowError(1);
        return;
    }
    Griser_menus(1);
    ResetSlot(n);
    WindowRecord &w = windows[n];
    w.menuItem = NewMenuItem(menuBar, MENU_WINDOW, title, -1, 0, Gestion_fenetre, nullptr);
    for (int i = 0; i < n; ++i)
        Check(i, 0);
    Check(n, 1);

    SetCtrlAttribute(templatePanel, WINDOW_GRAPH, ATTR_PLOT_BGCOLOR, displayColours[1]);
    SetCtrlAttribute(templatePanel, WINDOW_GRAPH, ATTR_GRAPH_TEXT_COLOR, 0);
    SetPanelAttribute(templatePanel, ATTR_TITLE_BACKCOLOR, displayColours[2]);
    w.panel =
        DuplicatePanel(mainPanel, templatePanel, title, 20 * n + AREA_TOP, 20 * n + AREA_LEFT);
    // The copy gets the template's look even where duplication starts from the resource.
    SetCtrlAttribute(w.panel, WINDOW_GRAPH, ATTR_PLOT_BGCOLOR, displayColours[1]);
    SetCtrlAttribute(w.panel, WINDOW_GRAPH, ATTR_GRAPH_TEXT_COLOR, 0);
    SetPanelAttribute(w.panel, ATTR_TITLE_BACKCOLOR, displayColours[2]);
    SetCtrlAttribute(w.panel, WINDOW_GRAPH, ATTR_NUM_CURSORS, 1);
    SetCursorAttribute(w.panel, WINDOW_GRAPH, 1, ATTR_CURSOR_COLOR,
                       CursorColourOn(displayColours[1]));

    ScrollBar_ConvertFromGraph(w.panel, WINDOW_SCROLLBAR, ScrollBarCallback);
    ScrollBar_SetAttribute(w.panel, WINDOW_SCROLLBAR, kScrollBarAttrThickness, 16);
    ScrollBar_SetAttribute(w.panel, WINDOW_SCROLLBAR, kScrollBarAttrMinimum, 0);
    ScrollBar_SetAttribute(w.panel, WINDOW_SCROLLBAR, kScrollBarAttrKeyboard, 1);
    ScrollBar_SetAttribute(w.panel, WINDOW_SCROLLBAR, kScrollBarAttrColour, mainBackColour);
    ScrollBar_SetAttribute(w.panel, WINDOW_SCROLLBAR, kScrollBarAttrPosition, 0);
    ScrollBar_SetAttribute(w.panel, WINDOW_SCROLLBAR, kScrollBarAttrMaximum, 10000000);
    ScrollBar_SetAttribute(w.panel, WINDOW_SCROLLBAR, kScrollBarAttrPage, 150);
    ScrollBar_SetAttribute(w.panel, WINDOW_SCROLLBAR, kScrollBarAttrKeyboard, 1);

    std::memcpy(w.geometry, NEW_GEOMETRY, sizeof w.geometry);
    w.legendText[0] = w.legendText[1] = 0;
    w.plotHandle = 0;
    w.legendOffset = 0;
    w.zoomSpan = 1.0;
    w.zoomLevel = ZOOM_START;
    CopyText(w.labelText[0], sizeof w.labelText[0], "Min");
    CopyText(w.labelText[1], sizeof w.labelText[1], "Max");
    for (int k = 2; k < 5; ++k)
        CopyText(w.labelText[k], sizeof w.labelText[k], Tr(TEXT_WORD));
    w.alarmShown = 0;
    w.alarmSetting = 0;
    DisplayPanel(w.panel);
    ++windowCount;
    Griser_menus(0);
}

void Gestion_fenetre(int, int menuItem, void *, int) {
    int Hm = 0, Wm = 0;
    GetPanelAttribute(mainPanel, ATTR_HEIGHT, &Hm);
    GetPanelAttribute(mainPanel, ATTR_WIDTH, &Wm);
    if (currentWindow == -1) return;
    switch (menuItem) {
    case MENU_CASCADE:
        enlargedPanels.clear();
        NormalStates();
        for (int i = 0; i < windowCount; ++i) {
            int p = windows[i].panel;
            HidePanel(p);
            SetPanelAttribute(p, ATTR_TOP, 20 * i + AREA_TOP);
            SetPanelAttribute(p, ATTR_LEFT, 20 * i + AREA_LEFT);
            SetPanelAttribute(p, ATTR_HEIGHT, Hm / 2);
            SetPanelAttribute(p, ATTR_WIDTH, Wm / 2);
            currentWindow = i;
            DisplayPanel(p);
            SetActivePanel(p);
            Repere_fenetre(p, EVENT_PANEL_SIZE, nullptr, 0, 0);
        }
        break;
    case MENU_TILE:
        enlargedPanels.clear();
        NormalStates();
        Calcul_coordonnees_fenetre(Wm, Hm - 50);
        for (int i = 0; i < windowCount; ++i) {
            WindowRecord &w = windows[i];
            HidePanel(w.panel);
            // Compared curves go first, so the measuring cursor never meets them.
            EffacerComparaison(i);
            DeleteGraphPlot(w.panel, WINDOW_GRAPH, w.plotHandle, VAL_DELAYED_DRAW);
            SetPanelAttribute(w.panel, ATTR_TOP, tileTop[i] + AREA_TOP);
            SetPanelAttribute(w.panel, ATTR_LEFT, tileLeft[i] + AREA_LEFT);
            if (tileHeight[i] - 25 > 0) SetPanelAttribute(w.panel, ATTR_HEIGHT, tileHeight[i] - 25);
            if (tileWidth - 9 > 0) SetPanelAttribute(w.panel, ATTR_WIDTH, tileWidth - 9);
            currentWindow = i;
            TracerCourbe(w.value, w.time, w.curveColour, i);
            DisplayPanel(w.panel);
            Repere_fenetre(w.panel, EVENT_PANEL_SIZE, nullptr, 0, 0);
        }
        break;
    case MENU_FULL_SCREEN:
        Repere_fenetre(windows[currentWindow].panel, EVENT_RIGHT_DOUBLE_CLICK, nullptr, 0, 0);
        break;
    case MENU_COMPARE:
        Gestion_comparaison();
        break;
    default:
        if (windowCount <= 1) return;
        for (int i = 0; i < windowCount; ++i) {
            Check(i, 0);
            if (menuItem == windows[i].menuItem) SetActivePanel(windows[i].panel);
            Repere_fenetre(windows[i].panel, EVENT_PANEL_SIZE, nullptr, 0, 0);
        }
        break;
    }
}

namespace {

void Activate(int p) {
    SetPanelAttribute(p, ATTR_TITLE_BACKCOLOR, displayColours[2]);
    SetPanelAttribute(p, ATTR_TITLE_COLOR, 0xFFFFFF);
    for (int i = 0; i < windowCount; ++i) {
        Check(i, 0);
        if (windows[i].panel == p) {
            currentWindow = i;
            Check(i, 1);
        }
    }
}

void ToggleFullScreen(int p) {
    Repere_fenetre(p, EVENT_GOT_FOCUS, nullptr, 0, 0);
    int Hm = 0, Wm = 0, top = 0, left = 0, height = 0, width = 0;
    GetPanelAttribute(mainPanel, ATTR_HEIGHT, &Hm);
    GetPanelAttribute(mainPanel, ATTR_WIDTH, &Wm);
    GetPanelAttribute(p, ATTR_TOP, &top);
    GetPanelAttribute(p, ATTR_LEFT, &left);
    GetPanelAttribute(p, ATTR_HEIGHT, &height);
    GetPanelAttribute(p, ATTR_WIDTH, &width);
    int32_t *g = windows[currentWindow].geometry;
    if (top == AREA_TOP && left == AREA_LEFT && height == Hm - 75 && width == Wm - 9) {
        if (enlargedPanels.erase(p) != 0) {
            SetPanelAttribute(p, ATTR_TOP, g[0]);
            SetPanelAttribute(p, ATTR_LEFT, g[1]);
            SetPanelAttribute(p, ATTR_HEIGHT, g[2]);
            SetPanelAttribute(p, ATTR_WIDTH, g[3]);
        }
    } else {
        enlargedPanels.insert(p);
        g[0] = top;
        g[1] = left;
        g[2] = height;
        g[3] = width;
        SetPanelAttribute(p, ATTR_TOP, AREA_TOP);
        SetPanelAttribute(p, ATTR_LEFT, AREA_LEFT);
        SetPanelAttribute(p, ATTR_HEIGHT, Hm - 75);
        SetPanelAttribute(p, ATTR_WIDTH, Wm - 9);
    }
    Repere_fenetre(p, EVENT_PANEL_SIZE, nullptr, 0, 0);
}

void LayOut(int p) {
    // Controls are placed inside the window's frame and title bar.
    int H = 0, W = 0;
    GetPanelInnerSize(p, &H, &W);
    double x2 = 0, y2 = 0, x3 = 0, y3 = 0;
    Sauver_curseurs(p, &x2, &y2, &x3, &y3);
    // Every control is placed each time: one left where an earlier size put
    // it would lie across the graph.
    if (W - 90 > 0) SetCtrlAttribute(p, WINDOW_GRAPH, ATTR_WIDTH, W - 90);
    if (H - 15 > 0) SetCtrlAttribute(p, WINDOW_GRAPH, ATTR_HEIGHT, H - 15);
    const int barLength = std::max(64, W - 180);
    ScrollBar_SetAttribute(p, WINDOW_SCROLLBAR, kScrollBarAttrLength, barLength);
    SetCtrlAttribute(p, WINDOW_SCROLLBAR, ATTR_TOP, H - 16);
    Restaurer_curseurs(p, x2, y2, x3, y3);
    ValCurseur(p, WINDOW_GRAPH, EVENT_COMMIT, nullptr, 0, 0);
    // The zoom text goes beside the end of the scroll bar, under the graph:
    // the band left of the graph belongs to the legend, whose boxes reach
    // further down than a short tiled window.
    SetCtrlAttribute(p, WINDOW_ZOOM_TEXT, ATTR_TOP, H - 15);
    SetCtrlAttribute(p, WINDOW_ZOOM_TEXT, ATTR_LEFT, 90 + barLength + 5);
}

} // namespace

int Repere_fenetre(int panel, int event, void *, int, int) {
    if (currentWindow == -1) return -1;
    switch (event) {
    case EVENT_LEFT_CLICK:
    case EVENT_GOT_FOCUS:
        Activate(panel);
        break;
    case EVENT_LOST_FOCUS:
        SetPanelAttribute(panel, ATTR_TITLE_BACKCOLOR, INACTIVE_TITLE_COLOUR);
        SetPanelAttribute(panel, ATTR_TITLE_COLOR, 0x000000);
        break;
    case EVENT_RIGHT_DOUBLE_CLICK:
        ToggleFullScreen(panel);
        break;
    case EVENT_PANEL_SIZE:
        LayOut(panel);
        break;
    case EVENT_CLOSE:
        // The close box closes its own window, as File > Close closes the current one.
        for (int i = 0; i < windowCount; ++i)
            if (windows[i].panel == panel) {
                Activate(panel);
                if (ConfirmClosingCurrentWindow()) Fermer_fenetre();
                break;
            }
        break;
    default:
        break;
    }
    return 0;
}

int CursorColourOn(int background) {
    const int r = (background >> 16) & 0xFF, g = (background >> 8) & 0xFF, b = background & 0xFF;
    // Perceived brightness (ITU-R BT.601 weights), 0 .. 255000.
    const int brightness = 299 * r + 587 * g + 114 * b;
    return brightness > 127500 ? 0x000000 : 0xFFFFFF;
}

std::string SaveFileProposal(const std::string &title) {
    std::string name;
    for (char c : title) {
        const auto u = static_cast<unsigned char>(c);
        // Separators and what other systems refuse in a name become '_'.
        const bool refused = u < 0x20 || u == 0x7F || std::strchr("/\\:*?\"<>|", c) != nullptr;
        name += refused ? '_' : c;
    }
    const auto blank = [](char c) { return c == ' ' || c == '.'; };
    // Outer blanks and dots: no hidden file, no name that ends in a dot.
    std::size_t first = 0, last = name.size();
    while (first < last && blank(name[first]))
        ++first;
    while (last > first && blank(name[last - 1]))
        --last;
    name = name.substr(first, last - first);
    // A title taken from a file keeps its extension; the recording gets its own.
    if (name.size() > 4) {
        std::string ext = name.substr(name.size() - 4);
        for (char &c : ext)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (ext == ".mon" || ext == ".vlr" || ext == ".tmp") name.resize(name.size() - 4);
    }
    return name.empty() ? "*.vlr" : name + ".vlr";
}

void Sauver_curseurs(int panel, double *x2, double *y2, double *x3, double *y3) {
    int n = 0;
    GetCtrlAttribute(panel, WINDOW_GRAPH, ATTR_NUM_CURSORS, &n);
    if (n <= 1) return;
    GetGraphCursor(panel, WINDOW_GRAPH, 2, x2, y2);
    GetGraphCursor(panel, WINDOW_GRAPH, 3, x3, y3);
}

void Restaurer_curseurs(int panel, double x2, double y2, double x3, double y3) {
    int n = 0;
    GetCtrlAttribute(panel, WINDOW_GRAPH, ATTR_NUM_CURSORS, &n);
    if (n <= 1) return;
    SetGraphCursor(panel, WINDOW_GRAPH, 2, x2, y2);
    SetGraphCursor(panel, WINDOW_GRAPH, 3, x3, y3);
}

void Reactiver_fenetres() {
    for (int i = 0; i < windowCount; ++i) {
        currentWindow = i;
        Repere_fenetre(windows[i].panel, EVENT_GOT_FOCUS, nullptr, 0, 0);
        Repere_fenetre(windows[i].panel, EVENT_LOST_FOCUS, nullptr, 0, 0);
    }
    if (windowCount > 0)
        Repere_fenetre(windows[windowCount - 1].panel, EVENT_GOT_FOCUS, nullptr, 0, 0);
}

void Fermer_fenetre() {
    if (currentWindow == -1) {
        ShowError(4);
        return;
    }
    SetWaitCursor(1);
    Griser_menus(1);
    int closed = currentWindow;
    WindowRecord &w = windows[closed];
    DeleteGraphPlot(w.panel, WINDOW_GRAPH, w.plotHandle, VAL_IMMEDIATE_DRAW);
    if (w.sourceWindow != -1 && w.sourceWindow >= 0 && w.sourceWindow < windowCount) {
        WindowRecord &s = windows[w.sourceWindow];
        int t = w.measureType;
        bool speed = t == 0 || t == 1 || t == 5 || t == 6;
        if (w.isPosition == 1) {
            if (speed && s.isPosition == 1) s.isPosition = w.isPosition = 0;
        } else if (w.isAcceleration == 1) {
            if ((speed || (t >= 7 && t <= 10)) && s.isAcceleration == 1)
                s.isAcceleration = w.isAcceleration = 0;
        } else if (w.isAverage == 1) {
            if (s.isAverage == 1) s.isAverage = w.isAverage = 0;
        }
    }
    if (w.legendOffset > 0) {
        for (auto &text : w.legendText) {
            if (text != 0) DiscardCtrl(w.panel, text);
            text = 0;
        }
    }
    if (w.legendFrame > 0) {
        DiscardCtrl(w.panel, w.legendFrame);
        w.legendFrame = 0;
    }
    enlargedPanels.erase(w.panel);
    DiscardPanel(w.panel);
    DiscardMenuItem(menuBar, w.menuItem);
    delete[] w.total;
    w.total = nullptr;
    --windowCount;
    for (int k = closed; k < windowCount; ++k) {
        ResetSlot(k);
        windows[k] = windows[k + 1];
    }
    // The vacated slot no longer owns the running total it was copied from.
    windows[windowCount].total = nullptr;
    // Derived displays name their source by slot: follow the move. One whose
    // source was closed names itself, so it stays a derived display but marks
    // no other window.
    for (int j = 0; j < windowCount; ++j) {
        int16_t &source = windows[j].sourceWindow;
        if (source == closed)
            source = static_cast<int16_t>(j);
        else if (source > closed)
            --source;
    }
    ComparisonAfterClose(closed);
    currentWindow = -1;
    Gestion_fenetre(menuBar, MENU_WINDOW_REFRESH, nullptr, mainPanel);
    if (windowCount > 0) Reactiver_fenetres();
    SetWaitCursor(0);
    Griser_menus(0);
}

void RegisterWindowCallbacks() {
    RegisterMenuCallback("Gestion_fenetre", Gestion_fenetre);
    RegisterPanelCallback("Repere_fenetre", Repere_fenetre);
    RegisterCtrlCallback("ValCurseur", ValCurseur);
    RegisterCtrlCallback("ScrollBarCallback", ScrollBarCallback);
    RegisterCompareCallbacks();
}
