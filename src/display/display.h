// Recording store, plotting, derived displays, moving average, scales and colours.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The seven display colours, 0xRRGGBB, in settings-file order: curve,
// graph background, active title bar, cursor 1, cursor 2, graticule, spare.
extern int displayColours[7];

// ---------------------------------------------------------------- colours
constexpr int COLOUR_ITEMS = 7;
// The colours popup shows for each item, and the colours being tried.
extern int colourShown[COLOUR_ITEMS];
extern int colourLive[COLOUR_ITEMS];
extern int coloursPanel; // the open colours popup, 0 when closed
// The colours popup (Display > Colors); nothing while no window is open.
void OpenColourPopup();
int couleurs(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
// Applies colourLive[item] to the windows; items outside 0..5 do nothing.
void AppliquerCouleur(int item);
void RegisterColourCallbacks();

// ---------------------------------------------------------------- recording store
constexpr int MAX_WINDOWS = 9;
constexpr int MAX_SAMPLES = 65000;
constexpr int MAX_GAPS = 60000;
constexpr int UNIT_COUNT = 16;
constexpr int ZOOM_LAST = 22; // zoomTable[22] is 0.0, the end of the table
constexpr int ZOOM_START = 9; // level of a new window

// Controls of every graph window (copies of the template panel).
constexpr int WINDOW_SCROLLBAR = 2;
constexpr int WINDOW_GRAPH = 3;
constexpr int WINDOW_ZOOM_TEXT = 4;
constexpr int WINDOW_PATH = 5;

struct WindowRecord {
    int32_t panel;
    int32_t menuItem;
    double yMin;
    double yMax;
    uint8_t yRangeFixed;
    int32_t labelPlot[5];
    char labelText[5][200];
    int32_t labelState[5];
    int32_t alarmShown;
    int32_t alarmSetting;
    double alarmLevel[2];
    int32_t alarmPlot[2];
    double zoomSpan;
    int32_t zoomLevel;
    int32_t legendFrame;
    int32_t legendCursorBox[2];
    int32_t legendOffset;
    int32_t geometry[4]; // top, left, height, width kept by the full-screen toggle
    int32_t legendText[2];
    int32_t legendCursorValue[6];
    char title[100];
    int32_t plotHandle;
    int32_t curveColour;
    double time[MAX_SAMPLES];
    double value[MAX_SAMPLES];
    double *total; // running total of a position display, count+1 entries, owned by the slot
    int32_t count;
    int32_t measureType;
    uint32_t interval;
    int32_t mode;
    double coefficient;
    char unit[20];
    int32_t day, month, year, hour, minute;
    int32_t isAverage;
    int32_t isPosition;
    int32_t isAcceleration;
    int16_t sourceWindow;
    int32_t gapIndex[MAX_GAPS];
    int32_t hasGaps;
    int32_t averageConstant;    // K of a moving-average display, 0 in other slots
    double labelPosition[5][2]; // where each label was last drawn (time, value)
    // Other windows' curves laid over this one (Window > Compare with...):
    // their slots, the seconds added to their times to place them on this
    // window's time axis, and the handles of their plots (0 when not drawn).
    int32_t comparedCount;
    int32_t comparedSlot[4];
    double comparedShift[4];
    int32_t comparedPlot[4];
};

extern WindowRecord windows[MAX_WINDOWS];
extern int windowCount;
extern int currentWindow;
extern const char *const unitTable[UNIT_COUNT];
extern const double zoomTable[25];

// Zeroes a slot (all but `total` and `legendCursorValue`); its texts become 18 blanks.
void ResetSlot(int slot);
// Copies text into a fixed field, cut to fit and always terminated.
void CopyText(char *field, std::size_t size, const std::string &text);

// Entries of a slot's gap list (it rises strictly; 0 when hasGaps is 0).
int GapCount(const WindowRecord &w);
// True when sample `index` is listed as missing.
bool IsGap(const WindowRecord &w, int index);
// Lowest and highest reading of a slot, missing samples left out; false
// (and 0.0, 0.0) when there is none.
bool SampleRange(const WindowRecord &w, double *lo, double *hi);
// Seconds from the first sample of a slot to its last.
double RecordingDuration(const WindowRecord &w);

// ---------------------------------------------------------------- plotting
// Curve of a slot on its graph, with cursor 1 placed and the readouts refreshed.
int TracerCourbe(const double *value, const double *time, int colour, int slot);
// Shows the current window's whole recording at the highest zoom level
// whose visible span holds it, from its first sample.
void FitToWindow();
// The end of every producer of a window: value range, axis labels, curve,
// and the zoom that shows the whole recording. A new curve always gets the
// automatic axis (yMin .. yMax become the data's bounds), whatever the flag.
void ShowNewRecording(bool rangeFixed);
// Seconds of time axis a zoom magnification shows.
double VisibleSpan(double zoomSpan);
// The highest zoom level whose visible span holds a duration (0 when none does).
int FitZoomLevel(double duration);

// A flat value range (no spread, or one negligible beside its magnitude)
// made visible: widened by a tenth of its magnitude on each side, or by 0.1
// around 0. True when widened.
bool WidenFlatRange(double *lo, double *hi);
// Share of the data's spread left free above and below the curve on an
// automatic value axis, so that extremes do not lie on the frame.
constexpr double AXIS_MARGIN = 0.05;
// The value axis of a slot: yMin .. yMax as stored while the range is fixed;
// otherwise the data's range (missing samples left out), a flat one widened,
// with a margin. Notes the data's bounds in yMin and yMax where those are 0.0.
void ValueAxisRange(WindowRecord &w, double *lo, double *hi);
// Mouse zoom and pan. The start of a view newSpan seconds wide that keeps
// the time `pointer` where it was in a view of xmin .. xmax.
double KeepPointView(double pointer, double xmin, double xmax, double newSpan);
// A view start within the recording (origin, duration seconds).
double ClampedViewStart(double start, double span, double origin, double duration);
// Narrows lo .. hi around pointer by factor (widens below 1); false, and the
// range unchanged, where it would be too narrow or too wide to draw.
bool ZoomRangeAround(double pointer, double factor, double *lo, double *hi);
constexpr double VALUE_WHEEL_FACTOR = 1.25; // value-axis zoom of one wheel step
// The visible time range of a window's graph, with its axis labels.
void SetVisibleTime(int panel, double lo, double hi);
// A value range fixed as the scales dialog's "Manual" fixes it.
void SetManualScale(WindowRecord &w, double lo, double hi);
// The graph's wheel, rectangle and pan gestures (EVENT_GRAPH_*) on the window of `panel`.
void MouseZoom(int panel, int event, int eventData1, int eventData2);
// Zoom indicator text: "X 5" or "/ 20".
std::string ZoomText(double span);

// ---------------------------------------------------------------- display menu
constexpr int MENU_GRATICULE = 45;
constexpr int MENU_VARIATION_CURSORS = 46;
constexpr int MENU_LEGEND = 47;
constexpr int MENU_COLOURS = 48;
constexpr int MENU_SCALES = 50;
constexpr int MENU_ZOOM_IN = 52;
constexpr int MENU_ZOOM_OUT = 53;
constexpr int LEGEND_WIDTH = 90; // strip left of the graph while the legend is shown

void Gestion_affichage(int menuBar, int menuItem, void *callbackData, int panel);

// ---------------------------------------------------------------- scales
constexpr int SCALE_MANUAL = 0; // values of the scales popup's mode ring
constexpr int SCALE_AUTOMATIC = 1;
extern int scalesPopup; // the open scales popup, 0 when closed
// The scales popup of the current window (nothing while none is open).
void OpenScalePopup();
int Echelle(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);

// How a value field (the scales' bounds, the alarm levels) shows the numbers
// of a curve spanning lo .. hi: decimals for four significant digits of the
// span (of the values themselves when the curve is flat), never fewer than 3;
// limits that take values ten times as large as the curve's.
struct ValueFieldFormat {
    int decimals = 3;
    double limit = 1e7; // the field takes -limit .. limit
};
ValueFieldFormat ValueFieldFormatFor(double lo, double hi);
// A value field of a dialog. Confirmed untouched it gives back the number it
// was given, not the rounded one it shows, so that OK alone changes nothing.
struct ValueField {
    int panel = 0;
    int control = 0;
    bool given = false;
    double value = 0; // the number given
    double shown = 0; // the field's value once given it
};
// Formats the field; it shows what it held, rounded to the new decimals.
ValueField FormatValueField(int panel, int control, const ValueFieldFormat &format);
// Puts a number in a formatted field.
void GiveValueField(ValueField *field, double value);
double ReadValueField(const ValueField &field);

// ---------------------------------------------------------------- derived displays
constexpr int MENU_MOVING_AVERAGE = 31;
constexpr int MENU_POSITION = 32;
constexpr int MENU_ACCELERATION = 33;
constexpr int KIND_POSITION = 0;
constexpr int KIND_ACCELERATION = 1;
constexpr int KIND_AVERAGE = 2;

extern int derivedKind;
extern int sourceList[MAX_WINDOWS];
extern int sourceCount; // lines of the source list
// Work copy of the chosen source, made by TraitementFiltre.
extern std::vector<double> workValue;
extern std::vector<double> workTime;
extern std::vector<char> workMissing; // 1 for each sample the source lacks
extern int workCount;
extern int workSource;
extern std::string sourceTitle;

void Gestion_traitement(int menuBar, int menuItem, void *callbackData, int panel);
void ListeSources();
int IndexGraphe(int panel, int control, int event, void *callbackData, int eventData1,
                int eventData2);
void TraitementFiltre(int listIndex, int kind);
void AffichageSecond(int sourceSlot, int kind);
int StopImport(int panel, int control, int event, void *callbackData, int eventData1,
               int eventData2);

bool PositionAllowed(int measureType);
bool AccelerationAllowed(int measureType);
// Samples of a slot, and which of them are missing (listed gaps, whose
// value stays 0.0); times stay the samples' own.
void MakeWorkCopy(const WindowRecord &source, std::vector<double> *time, std::vector<double> *value,
                  std::vector<char> *missing);
// Samples of a position or acceleration display that are missing: each step
// needs both of its samples. Sample 0 stands for no step and is never missing.
std::vector<char> MissingSteps(const std::vector<char> &sourceMissing, int count);
// Samples of a moving average over k that are missing: the first k-1, and
// every one whose k samples include a missing one.
std::vector<char> MissingAverages(const std::vector<char> &sourceMissing, int count, int k);
// Lists the missing samples of a slot in its gap list (their values become
// 0.0). Past MAX_GAPS of them the slot ends at the first one the list cannot
// hold, so that no unlisted one is ever shown as a reading.
void ListMissingSamples(WindowRecord &w, const std::vector<char> &missing);
// Distance covered in each step (trapezoid rule) and its running total;
// sample 0 is (0, 0). f scales the values (1/60 turns a per-minute speed).
// A missing step (missing[i], may be null) is 0.0 and adds nothing: the
// total carries on from the last measured one.
void ComputePosition(const double *workTime, const double *workValue, int count, double f,
                     double *time, double *value, double *total, const char *missing);
// Change of value per unit of time between successive samples; sample 0 is
// (0, 0); a missing step (missing[i], may be null) is 0.0.
void ComputeAcceleration(const double *workTime, const double *workValue, int count, double f,
                         double *time, double *value, const char *missing);
// "Position curve" + " of  " + title, in the given language.
std::string DerivedTitle(int kind, int lang, const std::string &source);

// Moving average: `filterConstant` (K) is asked for in the constant popup.
constexpr int CONSTANT_OK = 2;
constexpr int CONSTANT_QUIT = 3;
constexpr int CONSTANT_VALUE = 4;
extern int filterConstant; // last accepted K, proposed again; 0 until the first use
// The largest K: its first K-1 samples are missing and must fit the gap list.
constexpr int MAX_FILTER_CONSTANT = MAX_GAPS + 1;
extern int constantPanel; // the open constant popup, 0 when closed

// Opens the modal constant popup for the work copy of the chosen source.
void OpenConstantPopup();
int Constante(int panel, int control, int event, void *callbackData, int eventData1,
              int eventData2);
// Trailing moving average of n values over k of them: out[0 .. k-2] are 0.0,
// out[i] (i >= k-1) is the mean of value[i-k+1 .. i]. Linear in n; agrees
// with MovingAverageInOrder to 1e-12 of the window's largest |value|.
void MovingAverage(const double *value, int n, int k, double *out);
// The same, each window summed afresh in order (n x k additions): the reference.
void MovingAverageInOrder(const double *value, int n, int k, double *out);

// ---------------------------------------------------------------- values
// Short text of a measured value ("%f" cut to 6 characters, 7 for x <= 0,
// never cutting integer digits); sets the current window's unit.
void FormatValue(int type, double x, std::string *text);
// The unit text a value of the given type has in the current window: the
// unit table's, a position unit in a position display, and per second
// (the derivative's own time unit) in an acceleration display.
const char *ValueUnitText(int type);
// The unit of a slot's values, as its value axis names it.
const char *SlotUnitText(const WindowRecord &w);
// Units of acceleration displays: speeds (types 0, 1, 5, 6) per second, and
// the rate of change of distances and counts (types 7 to 10).
extern const char *const accelerationUnits[4];
extern const char *const rateUnits[4];

void RegisterDisplayCallbacks();
