// Curves compared in one window: up to four other open windows' curves laid
// over the current window's, aligned at their first sample or by clock time,
// each in its own colour, named and read at the measuring cursor's time on a
// line above the graph. They are drawn only: the window's samples, and so
// what Save, the exports and the derived displays use, stay its own.
#pragma once

#include "display/display.h"

#include <string>
#include <vector>

constexpr int MENU_COMPARE = 74;
constexpr int MAX_COMPARED = 4;

// The comparison dialog (panel 20): a hint, one check box per other window,
// OK and Quit.
constexpr int PANEL_COMPARE = 20;
constexpr int COMPARE_OK = 2;
constexpr int COMPARE_QUIT = 3;
constexpr int COMPARE_HINT = 4;
constexpr int COMPARE_FIRST_BOX = 10; // boxes 10 .. 17, one per other window
constexpr int COMPARE_BOXES = MAX_WINDOWS - 1;

// ---------------------------------------------------------------- pure logic
// True when the slot's recording states a whole, valid date and time.
bool HasClockDate(const WindowRecord &w);
// The recording's date and time in seconds from 1970-01-01 00:00.
double ClockSeconds(const WindowRecord &w);
// Seconds added to the compared recording's times to lay it on the window's
// time axis: first sample on first sample, or, when both recordings carry a
// date, shifted further by the difference of their clock times.
double ComparisonShift(const WindowRecord &window, const WindowRecord &compared);
// The sample of the compared recording read at time t of the window: the
// last one at or before t - shift; -1 before its first sample, after its
// last, or when that sample is missing.
int ComparedSampleAt(const WindowRecord &compared, double shift, double t);
// "title: value unit", or the value as "-----" when there is none at t.
std::string ComparedReadout(const WindowRecord &compared, double shift, double t);
// The colour of the k-th compared curve of a window: a fixed palette, with
// the colours of its own curve and of the graph background left out.
int ComparedColour(const WindowRecord &window, int k);
// Lowest and highest reading of the window's compared curves; false when none.
bool ComparedValueRange(const WindowRecord &window, double *lo, double *hi);
// Lays the given slots over the slot's curve (at most MAX_COMPARED; the slot
// itself, repeats and empty windows left out) and redraws it. No slot ends
// the comparison.
void SetComparison(int slot, const std::vector<int> &others);
// After the window of slot `closed` was closed and the slots above it moved
// down: curves of the closed window leave the comparisons they were in, the
// others follow their window's new slot.
void ComparisonAfterClose(int closed);

// ---------------------------------------------------------------- on the graph
// Draws the slot's compared curves afresh (called by the curve plot before it
// draws the window's own curve, so that the measuring cursor stays on that one).
void TracerComparaison(int slot);
// Removes the slot's compared curves from its graph.
void EffacerComparaison(int slot);
// The line that names the slot's curves, with each one's value at the time
// of the measuring cursor; no line without a comparison.
void AfficherComparaison(int slot);

// ---------------------------------------------------------------- dialog
extern int comparePanel; // the open comparison dialog, 0 when closed
// Window > Compare with...: the dialog for the current window.
void Gestion_comparaison();
int Comparer(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
void RegisterCompareCallbacks();
