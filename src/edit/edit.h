// Editing and help: the Edit menu (alarm dialog, labels on the graph, copy and
// rename of a window), the Help menu and the about box.
#pragma once

#include <string>

// ---------------------------------------------------------------- edit menu
constexpr int MENU_EDIT = 19;
constexpr int MENU_ALARM = 20;
constexpr int MENU_MIN_LABEL = 22;
constexpr int MENU_MAX_LABEL = 23;
constexpr int MENU_TEXT_1 = 24; // 25 and 26: texts 2 and 3
constexpr int MENU_TEXT_3 = 26;
constexpr int MENU_COPY_WINDOW = 28;
constexpr int MENU_RENAME_WINDOW = 29;

// Labels of a window record: 0 the minimum, 1 the maximum, 2 to 4 free texts.
constexpr int LABEL_MIN = 0;
constexpr int LABEL_MAX = 1;
constexpr int LABEL_COUNT = 5;

// Text dialog (panel 10) controls.
constexpr int TEXT_REMOVE = 2;
constexpr int TEXT_OK = 3;
constexpr int TEXT_FIELD = 4;
constexpr int TEXT_DOWN = 5;
constexpr int TEXT_UP = 6;
constexpr int TEXT_RIGHT = 7;
constexpr int TEXT_LEFT = 8;

// The label being edited, valid while the text dialog is open.
extern int labelIndex;
extern double labelX;
extern double labelY;
extern int textDialog; // the open text dialog, 0 when closed

void Gestion_edition(int menuBar, int menuItem, void *callbackData, int panel);
int Minmax(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);

// One press of an arrow on an axis showing [lo, hi]: the position moves
// `step` of the range towards hi (direction +1) or lo (-1) while it is
// farther than `margin` of the range from that edge, never past the edge.
double MoveLabel(double position, double lo, double hi, int direction, double margin, double step);
// The sample a minimum (maximum = false) or maximum label marks: the first
// extreme, missing samples left out; -1 when there is none.
int ExtremeSample(const double *value, int count, const int *gaps, int gapCount, bool maximum);

struct WindowRecord;
// Draws a label's text on a window's graph at (x, y); its handle, 0 when not drawn.
int DrawLabel(const WindowRecord &w, double x, double y, const std::string &text);

// Registers Gestion_edition, Minmax and the alarm dialog's Alarmes.
void RegisterEditCallbacks();

// ---------------------------------------------------------------- help and about box
constexpr int MENU_HELP_CONTENTS = 61;
constexpr int MENU_HELP_SEARCH = 62;
constexpr int MENU_ABOUT = 64;
constexpr int ABOUT_CLOSE = 4;   // the about box's OK button
constexpr int ABOUT_VERSION = 5; // "Version 1.0"
constexpr int ABOUT_LICENCE = 6; // the program's own licence

extern int aboutBox; // the open about box, 0 when closed

// The help file the help commands open, in the project directory.
std::string HelpFileName();
void Gestion_aide(int menuBar, int menuItem, void *callbackData, int panel);
int Quitter_aide(int panel, int control, int event, void *callbackData, int eventData1,
                 int eventData2);
// Registers Gestion_aide and Quitter_aide.
void RegisterHelpCallbacks();
