// Graph windows: creation, activation, arrangement and closing; cursor
// readouts, time and value texts, and the scroll bar along the time axis.
#pragma once

#include <string>
#include <utility>
#include <vector>

// ---------------------------------------------------------------- graph windows
constexpr int MENU_WINDOW = 54;
constexpr int MENU_CASCADE = 55;
constexpr int MENU_TILE = 56;
constexpr int MENU_FULL_SCREEN = 58;
constexpr int MENU_WINDOW_REFRESH = 59;
constexpr int AREA_TOP = 70; // band of the menu bar and toolbar above the graph windows
constexpr int AREA_LEFT = 5;
constexpr int INACTIVE_TITLE_COLOUR = 0xC0C0C0;

extern int tileTop[9];
extern int tileLeft[9];
extern int tileHeight[9];
extern int tileWidth;

void Nouvelle_fenetre(const std::string &title);
void Gestion_fenetre(int menuBar, int menuItem, void *callbackData, int panel);
// Tile cells for windowCount windows in an area of the given size.
void Calcul_coordonnees_fenetre(int width, int height);
int Repere_fenetre(int panel, int event, void *callbackData, int eventData1, int eventData2);
void Fermer_fenetre();
void Reactiver_fenetres();
// The colour of the measuring cursor on a graph background: black on a light
// one, white on a dark one, so that it never vanishes.
int CursorColourOn(int background);
// The name Save proposes for a window's recording: its title made a file
// name, with ".vlr"; "*.vlr" when the title gives no name.
std::string SaveFileProposal(const std::string &title);
void Sauver_curseurs(int panel, double *x2, double *y2, double *x3, double *y3);
void Restaurer_curseurs(int panel, double x2, double y2, double x3, double y3);

// ---------------------------------------------------------------- readouts and scroll bar
int ValCurseur(int panel, int control, int event, void *callbackData, int eventData1,
               int eventData2);
void Afficher_valeurs(int slot);
void Format_temps(const char *prefix, double seconds, std::string *text);
void Format_valeur(int measureType, const char *prefix, double x, std::string *text);
// The readout of a missing sample: "-----" in place of the number.
constexpr const char *MISSING_VALUE_TEXT = "-----";
std::string MissingValueText(int measureType, const char *prefix);
// Shortens the "%f" text of x (mode 1 rounds numbers with 4 decimals or more).
std::string Format_nombre(const std::string &text, double x, int mode);
int ScrollBarCallback(int panel, int control, int event, void *callbackData, int eventData1,
                      int eventData2);

// The scroll bar along a recording counts in hundredths of the visible
// span: a page is 100 steps, an arrow 10 (a tenth of the view), and its
// maximum is the start of the last page, so that the thumb shows the
// visible share of the recording.
constexpr int SCROLL_PAGE_STEPS = 100;
constexpr int SCROLL_ARROW_STEPS = 10;
constexpr double SCROLL_MAX_STEPS = 1e9; // a scroll position is an int
struct ScrollScale {
    double unit; // seconds of one step
    int page;    // steps of the visible span
    int maximum; // steps to the start of the last page (0: nothing to scroll)
};
// x toward zero as an int; beyond the int range its ends, no number 0.
int ClampToInt(double x);
// The bar's scale for a visible span over a recording of `duration` seconds.
ScrollScale ScrollScaleFor(double span, double duration);
// The step of a time `offset` seconds after the recording's start.
int ScrollPosition(const ScrollScale &scale, double offset);
// Visible time range at step v: from origin + v steps, one span wide, never past
// the recording's end nor before its start.
void ScrollRange(int v, double span, double origin, double duration, double *lo, double *hi);
// The five time-axis labels of a visible range, as (position, text).
std::vector<std::pair<double, std::string>> TimeAxisLabels(double xmin, double xmax);
// "h:mm:ss" of a number of seconds.
std::string ClockText(double seconds);

void RegisterWindowCallbacks();
