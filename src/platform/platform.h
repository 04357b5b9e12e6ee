// The user-interface run-time the program is written against: panels loaded
// from the resource file, controls addressed by number, the menu bar, popups,
// the event loop, the graph control, serial ports, files, printing and help.
// Everything here is implemented over Qt; nothing outside src/platform and
// src/toolbox sees Qt.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

class QWidget;

// ---------------------------------------------------------------- run-time
int InitCVIRTE(int argc, char *argv[]); // 0 on failure
void CloseCVIRTE();

// ---------------------------------------------------------------- callbacks
using CtrlCallbackPtr = int (*)(int panel, int control, int event, void *callbackData,
                                int eventData1, int eventData2);
using PanelCallbackPtr = int (*)(int panel, int event, void *callbackData, int eventData1,
                                 int eventData2);
using MenuCallbackPtr = void (*)(int menuBar, int menuItem, void *callbackData, int panel);

// The one table from the callback names the resource file uses to functions.
void RegisterCtrlCallback(const std::string &name, CtrlCallbackPtr fn);
void RegisterPanelCallback(const std::string &name, PanelCallbackPtr fn);
void RegisterMenuCallback(const std::string &name, MenuCallbackPtr fn);
bool IsCallbackRegistered(const std::string &name);
// Every callback name the panels and menus of a resource file refer to.
std::vector<std::string> ResourceCallbackNames(const std::string &resourceFile);

constexpr int EVENT_NONE = 0;
constexpr int EVENT_COMMIT = 1;
constexpr int EVENT_VAL_CHANGED = 2;
constexpr int EVENT_LEFT_CLICK = 3;
constexpr int EVENT_LEFT_DOUBLE_CLICK = 4;
constexpr int EVENT_RIGHT_CLICK = 5;
constexpr int EVENT_RIGHT_DOUBLE_CLICK = 6;
constexpr int EVENT_KEYPRESS = 7;
constexpr int EVENT_GOT_FOCUS = 8;
constexpr int EVENT_LOST_FOCUS = 9;
constexpr int EVENT_CLOSE = 11;
constexpr int EVENT_PANEL_SIZE = 12;
constexpr int EVENT_PANEL_MOVE = 13;
// Mouse gestures on a graph (GetGraphGesture gives their coordinates).
// Wheel: eventData1 the steps, positive away from the user (zoom in);
// eventData2 1 when Ctrl is held (the value axis). The gesture's x0, y0 is
// the point under the pointer.
constexpr int EVENT_GRAPH_WHEEL = 40;
// A rectangle dragged with the right button or Shift+left: x0 .. x1, y0 .. y1.
constexpr int EVENT_GRAPH_ZOOM_RECT = 41;
// A drag with the middle button, sent while it moves: x0 .. x1 and y0 .. y1
// are the ranges the axes had when it began, moved with the pointer.
constexpr int EVENT_GRAPH_PAN = 42;

// ---------------------------------------------------------------- panels
// Error codes of the run-time (negative results).
constexpr int UIEBadPanelHandle = -4;
constexpr int UIEPanelNotFound = -5; // no such panel in the resource file
constexpr int UIEFileNotFound = -6;  // resource file missing or unreadable
constexpr int UIEBadControlId = -8;
constexpr int UIECallbackNotFound = -9;
constexpr int UIEOperationFailed = -10;

int LoadPanel(int parentPanel, const std::string &resourceFile, int panelId);
int DuplicatePanel(int destParent, int panel, const std::string &title, int top, int left);
int DiscardPanel(int panel);
int DisplayPanel(int panel);
int HidePanel(int panel);
int InstallPopup(int panel);
int RemovePopup(int all); // 0: the top popup, 1: every popup
int GetActivePanel();
int SetActivePanel(int panel);
bool PanelExists(int panel);

// Panel attributes (numbers as the program uses them).
constexpr int ATTR_TITLE = 0x1000;
constexpr int ATTR_BACKCOLOR = 0x1001;
constexpr int ATTR_VISIBLE = 530;
constexpr int ATTR_LEFT = 531;
constexpr int ATTR_TOP = 532;
constexpr int ATTR_WIDTH = 533;
constexpr int ATTR_HEIGHT = 540;
constexpr int ATTR_WINDOW_ZOOM = 0x1002;  // VAL_NO_ZOOM, VAL_MINIMIZE, VAL_MAXIMIZE
constexpr int ATTR_TITLE_BACKCOLOR = 576; // title bar colour of a window
constexpr int ATTR_TITLE_COLOR = 0x1003;  // title text colour
constexpr int ATTR_ACTIVATE_WHEN_CLICKED_ON = 0x1004;
constexpr int ATTR_CALLBACK_DATA_PATH = 630; // a path kept with a control
constexpr int VAL_NO_ZOOM = 0;
constexpr int VAL_MINIMIZE = 1;
constexpr int VAL_MAXIMIZE = 2;

int SetPanelAttribute(int panel, int attribute, int value);
int SetPanelAttribute(int panel, int attribute, const std::string &value);
int GetPanelAttribute(int panel, int attribute, int *value);
int GetPanelAttribute(int panel, int attribute, std::string *value);

// ---------------------------------------------------------------- controls
constexpr int ATTR_LABEL_TEXT = 0x2000;
constexpr int ATTR_DIMMED = 0x2001;
constexpr int ATTR_CTRL_VAL = 0x2002;
constexpr int ATTR_TEXT_COLOR = 0x2003;
constexpr int ATTR_TEXT_BGCOLOR = 0x2004;
constexpr int ATTR_FRAME_COLOR = 0x2005;
constexpr int ATTR_MAX_ENTRY_LENGTH = 0x2006;
constexpr int ATTR_GAUGE_STYLE = 687; // appearance of a progress indicator
// A numeric field's decimals and the lowest and highest value it takes.
constexpr int ATTR_PRECISION = 0x2010;
constexpr int ATTR_MIN_VALUE = 0x2011;
constexpr int ATTR_MAX_VALUE = 0x2012;

int SetCtrlVal(int panel, int control, int value);
int SetCtrlVal(int panel, int control, double value);
int SetCtrlVal(int panel, int control, const std::string &value);
int SetCtrlVal(int panel, int control, const char *value);
int GetCtrlVal(int panel, int control, int *value);
int GetCtrlVal(int panel, int control, double *value);
int GetCtrlVal(int panel, int control, std::string *value);
int DefaultCtrl(int panel, int control);
int SetCtrlAttribute(int panel, int control, int attribute, int value);
int SetCtrlAttribute(int panel, int control, int attribute, double value);
int SetCtrlAttribute(int panel, int control, int attribute, const std::string &value);
int SetCtrlAttribute(int panel, int control, int attribute, const char *value);
int GetCtrlAttribute(int panel, int control, int attribute, int *value);
int GetCtrlAttribute(int panel, int control, int attribute, double *value);
int GetCtrlAttribute(int panel, int control, int attribute, std::string *value);
int SetActiveCtrl(int panel, int control);
bool CtrlExists(int panel, int control);

// List boxes and rings: items have a label and an integer value.
int InsertListItem(int panel, int control, int index, const std::string &label, int value);
int ReplaceListItem(int panel, int control, int index, const std::string &label, int value);
int DeleteListItem(int panel, int control, int index, int count);
int ClearListCtrl(int panel, int control);
int GetNumListItems(int panel, int control, int *count);
int GetCtrlIndex(int panel, int control, int *index);
int SetCtrlIndex(int panel, int control, int index);
int GetLabelFromIndex(int panel, int control, int index, std::string *label);
int GetValueFromIndex(int panel, int control, int index, int *value);
int GetIndexFromValue(int panel, int control, int *index, int value);
// Text boxes.
int ResetTextBox(int panel, int control, const std::string &text);

// Controls made at run time (legend frames and texts).
constexpr int CTRL_RAISED_BOX = 382; // a frame
constexpr int CTRL_TEXT_MSG = 160;   // a line of text
int NewCtrl(int panel, int style, const std::string &label, int top, int left);
int DiscardCtrl(int panel, int control);

// ---------------------------------------------------------------- menus
constexpr int ATTR_MENU_NAME = 0x3000;
constexpr int ATTR_ITEM_NAME = 0x3001;
constexpr int ATTR_CHECKED = 0x3002;
constexpr int ATTR_SHORTCUT_KEY = 0x3003;
// ATTR_DIMMED serves menus and items too.

int GetPanelMenuBar(int panel);
int SetMenuBarAttribute(int menuBar, int menuOrItemId, int attribute, int value);
int SetMenuBarAttribute(int menuBar, int menuOrItemId, int attribute, const std::string &value);
int GetMenuBarAttribute(int menuBar, int menuOrItemId, int attribute, int *value);
int GetMenuBarAttribute(int menuBar, int menuOrItemId, int attribute, std::string *value);
// Adds an item to menu `menuId` before item `beforeItem` (-1: at the end); gives its id.
int NewMenuItem(int menuBar, int menuId, const std::string &itemLabel, int beforeItem,
                int shortcutKey, MenuCallbackPtr callback, void *callbackData);
int DiscardMenuItem(int menuBar, int itemId);
// Runs the menu item's callback exactly as choosing it does.
int InvokeMenuItem(int menuBar, int itemId);
// "__x" marks the mnemonic letter x; gives the text Qt shows for it.
std::string MnemonicText(const std::string &runtimeText);

// ---------------------------------------------------------------- popups
int MessagePopup(const std::string &title, const std::string &message);
constexpr int VAL_GENERIC_POPUP_NO_CTRL = 0;
constexpr int VAL_GENERIC_POPUP_BTN1 = 1;
constexpr int VAL_GENERIC_POPUP_BTN2 = 2;
constexpr int VAL_GENERIC_POPUP_BTN3 = 3;
constexpr int VAL_GENERIC_POPUP_INPUT_STRING = 4;
// Gives the button pressed (1..3); the response, when asked for, in *response.
int GenericMessagePopup(const std::string &title, const std::string &message,
                        const std::string &button1, const std::string &button2,
                        const std::string &button3, std::string *response, int maxResponseLength,
                        int buttonAlignment, int activeControl, int enterButton, int escapeButton);
constexpr int VAL_NO_FILE_SELECTED = 0;
constexpr int VAL_EXISTING_FILE_SELECTED = 1;
constexpr int VAL_NEW_FILE_SELECTED = 2;
constexpr int VAL_OK_BUTTON = 0;
constexpr int VAL_SAVE_BUTTON = 1;
constexpr int VAL_SELECT_BUTTON = 2;
constexpr int VAL_LOAD_BUTTON = 3;
int FileSelectPopup(const std::string &defaultDirectory, const std::string &defaultFileSpec,
                    const std::string &fileTypeList, const std::string &title, int buttonLabel,
                    int restrictDirectory, int restrictExtension, int allowCancel,
                    int allowMakeDirectory, std::string *pathName);
int DirSelectPopup(const std::string &defaultDirectory, const std::string &title, int allowCancel,
                   int allowMakeDirectory, std::string *pathName);
// Qt's own dialogs (file, print, colour) speak the language of this ISO code
// ("fr", "de", ...); "" or "en", or a language with no Qt translation: English.
// False when a translation was asked for and could not be loaded.
bool SetDialogLanguage(const std::string &code);

// Test seam: in scripted mode, blocking popups take their answers from a
// queue instead of a person, and every popup shown is recorded.
struct PopupRecord {
    std::string kind; // "message", "generic", "file", "dir", "colour" (a colour control's dialog)
    std::string title;
    std::string text;
    std::vector<std::string> buttons;
};
struct PopupAnswer {
    std::string titleContains; // the popup's title must contain this
    int button = 1;            // button pressed, or FileSelectPopup/DirSelectPopup's result
    std::string response;      // response field text, or the chosen path
                               // (colour: button 1 picks response, "0xRRGGBB")
};
void SetPopupScriptMode(bool scripted);
bool PopupScriptMode();
void ScriptPopup(const PopupAnswer &answer);
int ScriptedPopupsLeft();
const std::vector<PopupRecord> &PopupLog();
void ClearPopupLog();
// Called for a popup with no (matching) scripted answer; tests make it fail.
void SetUnexpectedPopupHandler(std::function<void(const PopupRecord &)> handler);

// ---------------------------------------------------------------- event loop
int RunUserInterface();
int QuitUserInterface(int returnCode);
// Wait mode 0: does not wait. Gives the event (EVENT_COMMIT) or 0.
int GetUserEvent(int wait, int *panel, int *control);
int ProcessDrawEvents();
int ProcessSystemEvents();
int SetWaitCursor(int on);
int GetWaitCursorState();
void Delay(double seconds);
int ResetTimer(int panel, int control);
int MakeApplicationActive();
// Calls fn once the event loop runs (tests drive the program from inside it).
void PostDeferredCall(std::function<void()> fn, int delayMs = 0);

// ---------------------------------------------------------------- files, dates
int GetProjectDir(std::string *dir);
void SetProjectDirForTesting(const std::string &dir);
// 1 and the size when the file exists, else 0.
int GetFileInfo(const std::string &path, long *size);
int SetDir(const std::string &dir);
std::string GetDir();
int DeleteFile(const std::string &path);
int CopyFile(const std::string &source, const std::string &target);
// Every file of `dir` whose name matches the wildcard pattern ("*.tmp").
std::vector<std::string> FindFiles(const std::string &dir, const std::string &pattern);
void GetSystemDate(int *month, int *day, int *year);
void GetSystemTime(int *hours, int *minutes, int *seconds);
std::string DateStr(); // "MM-DD-YYYY"
std::string TimeStr(); // "HH:MM:SS"
// Position of pattern in buffer[start .. start+count) or -1; count -1: to the end.
int FindPattern(const std::string &buffer, int start, int count, const std::string &pattern,
                int caseSensitive, int fromRight);
int MaxMin1D(const double *array, int count, double *max, int *maxIndex, double *min,
             int *minIndex);

// ---------------------------------------------------------------- Qt bridge
// For the toolbox: the widget behind a panel handle (nullptr when none).
QWidget *PanelWidget(int panel);
QWidget *CtrlWidget(int panel, int control);

// ---------------------------------------------------------------- serial ports
// Port n is the link or device COMn of the program directory when there is
// one, else the n-th serial device of the system (USB adapters first).
constexpr int kRs232NoSuchPort = -2; // the number names no device
constexpr int kRs232CannotOpen = -7; // the device exists but cannot be opened
constexpr int kRs232PortNotOpen = -3;
constexpr int kRs232TimeOut = -99; // nothing arrived within the time-out
constexpr int kRs232WriteFailed = -12;
constexpr int kRs232IoError = -4;           // the device failed during a transfer
constexpr int kRs232InvalidParameter = -10; // a setting or argument the port cannot take
int OpenComConfig(int port, const std::string &deviceName, long baudRate, int parity, int dataBits,
                  int stopBits, int inputQueueSize, int outputQueueSize);
int SetXMode(int port, int mode);
int SetComTime(int port, double timeoutSeconds);
int ComWrt(int port, const char *buffer, int count);
int ComRd(int port, char *buffer, int count);
int ComRdTerm(int port, char *buffer, int count, int terminationByte);
// As above, asking carryOn between chunks and at least every 50 ms while it
// waits; false ends the read as a time-out would, so a line cut short never
// passes for a whole one. The time-out counts silence; either read also ends
// (as a time-out) once the time-out plus twice the wire time of `count` bytes
// at the port's rate has passed, so that a device dribbling bytes cannot hold it.
int ComRdTerm(int port, char *buffer, int count, int terminationByte,
              const std::function<bool()> &carryOn);
int FlushInQ(int port);
int FlushOutQ(int port);
// Reads and drops input until none has come for quietSeconds, or for at most
// limitSeconds in all; the bytes dropped, or a negative error.
int DrainInQ(int port, double quietSeconds, double limitSeconds);
// Lets output go again after an XOFF the other side never ended with XON.
int ResumeOutQ(int port);
int CloseCom(int port);
int GetRs232Err();
// The device port n names, or "" when none (for the dialog's list of ports).
std::string ComPortDevice(int port);
// True when port n is held open but its device has gone since (an adapter
// pulled out hangs up the line); the handle is of no more use.
bool ComPortGone(int port);

// ---------------------------------------------------------------- graph
// (graph.cpp: PlotXY, cursors, axes, over QCustomPlot)
// Graph attributes, set with SetCtrlAttribute / read with GetCtrlAttribute on
// a graph control. Geometry (ATTR_LEFT, ATTR_WIDTH, ATTR_HEIGHT) is that of
// any control.
constexpr int ATTR_GRID_COLOR = 1080;         // colour of both sets of grid lines
constexpr int ATTR_PLOT_BGCOLOR = 1081;       // background inside the axes
constexpr int ATTR_XGRID_VISIBLE = 1087;      // vertical grid lines (time axis)
constexpr int ATTR_XLABEL_VISIBLE = 1088;     // time-axis tick labels
constexpr int ATTR_YGRID_VISIBLE = 1094;      // horizontal grid lines (value axis)
constexpr int ATTR_XUSE_LABEL_STRINGS = 1099; // time axis shows the InsertAxisItem labels
constexpr int ATTR_YLABEL_VISIBLE = 1122;     // value-axis tick labels
constexpr int ATTR_NUM_CURSORS = 1140;        // 0 .. 3 graph cursors
constexpr int ATTR_GRAPH_TEXT_COLOR = 0x4001; // axes, ticks and their labels
constexpr int ATTR_YNAME = 0x4002;            // name of the value axis (a text)
// Cursor attributes (SetCursorAttribute / GetCursorAttribute).
constexpr int ATTR_CURSOR_MODE = 1201;
constexpr int ATTR_CURSOR_COLOR = 1203;
constexpr int VAL_SNAP_TO_POINT = 0;     // the cursor sits on a sample of the last curve
constexpr int VAL_FREE_FORM_CURSOR = 18; // the cursor goes anywhere

constexpr int VAL_BOTTOM_XAXIS = 0; // the time axis
constexpr int VAL_LEFT_YAXIS = 1;   // the value axis
constexpr int VAL_MANUAL = 0;
constexpr int VAL_AUTOSCALE = 1;
constexpr int VAL_DOUBLE = 4;       // the only array type the graph takes
constexpr int VAL_THIN_LINE = 0;    // plot style: a 1 px line through the points
constexpr int VAL_NO_POINT = 24;    // point style: no marker
constexpr int VAL_SOLID = 0;        // line style
constexpr int VAL_ALL_PLOTS = -1;   // DeleteGraphPlot: every plot, label and line
constexpr int VAL_DELAYED_DRAW = 0; // redraw when the event loop next runs
constexpr int VAL_IMMEDIATE_DRAW = 1;
constexpr int VAL_TRANSPARENT = 0x1000000;
constexpr int VAL_DEFAULT_FONT = 0;

// Handles are positive and unique within the run. Results: 0 or a handle on
// success, a negative UIE code on failure.
int PlotXY(int panel, int control, const double *x, const double *y, int count, int xType,
           int yType, int plotStyle, int pointStyle, int lineStyle, int pointFrequency, int colour);
int PlotLine(int panel, int control, double x1, double y1, double x2, double y2, int colour);
int PlotText(int panel, int control, double x, double y, const std::string &text, int font,
             int textColour, int backColour);
// A handle that is already gone is not an error.
int DeleteGraphPlot(int panel, int control, int plotHandle, int refresh);
int SetAxisScalingMode(int panel, int control, int axis, int mode, double min, double max);
int GetAxisScalingMode(int panel, int control, int axis, int *mode, double *min, double *max);
// Text labels of the time axis, shown while ATTR_XUSE_LABEL_STRINGS is 1.
// DeleteAxisItem with count -1 removes every label from index on.
int DeleteAxisItem(int panel, int control, int axis, int index, int count);
int InsertAxisItem(int panel, int control, int axis, int index, const std::string &label,
                   double value);
int GetNumAxisItems(int panel, int control, int axis, int *count);
int GetAxisItem(int panel, int control, int axis, int index, std::string *label, double *value);
// Cursors are numbered from 1. Cursor 1 snaps to the samples of the last
// curve plotted; the others go where they are put.
int SetGraphCursor(int panel, int control, int cursor, double x, double y);
int GetGraphCursor(int panel, int control, int cursor, double *x, double *y);
// The plot and sample under a snapping cursor; both -1 when it is on none.
int GetGraphCursorIndex(int panel, int control, int cursor, int *plotHandle, int *pointIndex);
int SetCursorAttribute(int panel, int control, int cursor, int attribute, int value);
int GetCursorAttribute(int panel, int control, int cursor, int attribute, int *value);
int SetActiveGraphCursor(int panel, int control, int cursor);
int GetActiveGraphCursor(int panel, int control, int *cursor);
// Draws the graph now (pending changes are otherwise drawn by the event loop).
int RefreshGraph(int panel, int control);
// The coordinates of the last mouse gesture on the graph (EVENT_GRAPH_*).
struct GraphGesture {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};
int GetGraphGesture(int panel, int control, GraphGesture *gesture);
// A box of text lines in the top right corner of the plot area, drawn with
// the cursors; "" removes it.
int SetGraphInfoText(int panel, int control, const std::string &text);
int GetGraphInfoText(int panel, int control, std::string *text); // "" when none is shown
// Number of plots (curves, lines, texts) on the graph.
int GetNumGraphPlots(int panel, int control, int *count);
// (legendline.cpp) A line of texts, each in its colour, above a graph's plot
// area: the curves laid over each other in one window. No entry removes it.
struct LegendEntry {
    std::string text;
    int colour = 0;
};
int SetGraphLegendLine(int panel, int control, const std::vector<LegendEntry> &entries);
int GetGraphLegendLine(int panel, int control, std::vector<LegendEntry> *entries);
// The inside of a panel (without a window frame and title bar), where its
// controls are laid out.
int GetPanelInnerSize(int panel, int *height, int *width);

// ---------------------------------------------------------------- printing, clipboard, help
// (print.cpp, help.cpp)
// Print attributes for SetPrintAttributeEx; they apply to every later print.
constexpr int ATTR_PRINT_ORIENTATION = 1300; // VAL_PRINT_PORTRAIT or VAL_PRINT_LANDSCAPE
constexpr int ATTR_PRINT_AREA_HEIGHT = 1301; // printed height in mm; default: the page's
constexpr int ATTR_PRINT_AREA_WIDTH = 1302;  // printed width in mm; default: the page's
constexpr int ATTR_PRINT_XRESOLUTION = 1306; // dots per inch; default: the printer's
constexpr int ATTR_PRINT_YRESOLUTION = 1307; // (one resolution serves both directions)
constexpr int ATTR_PRINT_COLOR_MODE = 1308;  // VAL_PRINT_GRAYSCALE or VAL_PRINT_COLOR
constexpr int VAL_USE_PRINTER_DEFAULT = -1;
constexpr int VAL_PRINT_PORTRAIT = 1;
constexpr int VAL_PRINT_LANDSCAPE = 2;
constexpr int VAL_PRINT_GRAYSCALE = 1;
constexpr int VAL_PRINT_COLOR = 2;
constexpr int VAL_PRINT_CANCELLED = 1; // PrintPanel: the user cancelled the print dialog
int SetPrintAttributeEx(int attribute, int value);
// Prints a panel as it looks, graph and readouts included, on one page.
// fileName "": the system's default printer, or the print dialog when there
// is none (a PDF file can be chosen there); otherwise a PDF file of that name.
// scaling 1: fitted to the page, proportions kept; 0: at screen size.
// visibility 1: the whole panel; 0: only the part that shows on screen.
// frame 1: with the window's frame and title bar; 0: the panel's inside.
// Gives 0, VAL_PRINT_CANCELLED, or a negative UIE code on failure.
int PrintPanel(int panel, const std::string &fileName, int scaling, int visibility, int frame);
// Test seam: prints meant for the printer go to this PDF file ("" ends it).
void SetPrintFileForTesting(const std::string &pdfPath);

// ---------------------------------------------------------------- report pages
// (report_page.cpp) A printed page that says what was measured: a title and
// header lines, the graph drawn as vectors at the device's resolution, and a
// footer. Text stays text.
struct ReportPoint {
    double x; // device pixel column from the plot's left edge (may lie a little outside)
    double y; // value
};
using ReportRun = std::vector<ReportPoint>; // drawn joined; runs are apart
struct ReportCurve {
    std::vector<double> time;
    std::vector<double> value;
    std::vector<char> missing; // 1 for a missing sample, where the curve breaks
    int colour = 0;
};
// The curve between time xFrom and xTo reduced for `columns` device pixel
// columns (the layout's own routine, so that what reaches the page is
// decided there).
using ReportReducer = std::vector<ReportRun> (*)(const ReportCurve &curve, double xFrom, double xTo,
                                                 int columns);
struct ReportLabel {
    double x, y;
    std::string text;
};
struct ReportCursor {
    int number; // 1 measures, 2 and 3 the variation cursors
    double x, y;
    bool vertical; // only the time line (a cursor on a missing sample)
};
struct ReportGraph {
    double timeMin = 0, timeMax = 1, valueMin = 0, valueMax = 1;
    std::vector<std::pair<double, std::string>> timeTicks;  // position, text
    std::vector<std::pair<double, std::string>> valueTicks; // position, text
    std::string timeAxisName;
    std::string valueAxisName;
    bool timeGrid = true, valueGrid = true;
    std::vector<ReportCurve> curves;
    ReportReducer reduce = nullptr;
    std::vector<ReportLabel> labels;
    std::vector<std::pair<double, std::string>> alarms; // level, its text at the line's end
    std::vector<ReportCursor> cursors;
    std::vector<std::string> readouts; // lines under the graph
};
struct ReportPage {
    std::string title;
    std::vector<std::string> header;
    ReportGraph graph;
    std::string footerLeft, footerCentre, footerRight;
};
// Prints the pages, one after the other, with the attributes of
// SetPrintAttributeEx. A print preview comes first (previewTitle); then, as
// PrintPanel does, the default printer, or the print dialog when there is
// none; fileName not "": that PDF file, without the preview. Gives 0,
// VAL_PRINT_CANCELLED (preview or dialog cancelled), or a negative UIE code.
int PrintReport(const std::vector<ReportPage> &pages, const std::string &fileName,
                const std::string &previewTitle);
// The same pages as a PDF file, laid out as the print lays them out (the
// attributes of SetPrintAttributeEx), for a program without windows.
// Replaces a file of that name only once the new one is whole. 0, or UIEOperationFailed.
int SaveReportPdf(const std::vector<ReportPage> &pages, const std::string &path);
// Texts drawn on a graph with PlotText, in the order drawn.
int GetGraphTexts(int panel, int control, std::vector<ReportLabel> *texts);

// ---------------------------------------------------------------- help
// (help.cpp) A help viewer over Qt Help stands in for the Windows help engine.
constexpr int HELP_CONTENTS = 3;     // the viewer at the contents and the first page
constexpr int HELP_PARTIALKEY = 261; // the viewer at its keyword index, the field focused
// Shows a compiled help file (.qch, under any name). A missing or unreadable
// file is reported in the viewer itself; the result is then a negative UIE code.
int SystemHelp(const std::string &helpFile, int command, int additionalNumber,
               const std::string &additionalText);
// The viewer's own texts (tabs, buttons, messages) in this ISO language ("fr", ...).
void SetHelpViewerLanguage(const std::string &code);

// ---------------------------------------------------------------- bitmaps, clipboard
// (clipboard.cpp) Bitmaps are images held by handle until DiscardBitmap.
struct Rect {
    int top;
    int left;
    int height;
    int width;
};
constexpr int VAL_TO_EDGE = -1; // a height or width that reaches the panel's edge
inline Rect MakeRect(int top, int left, int height, int width) {
    return {top, left, height, width};
}
constexpr int VAL_VISIBLE_AREA = 0; // scope: only what shows on screen
constexpr int VAL_FULL_PANEL = 1;   // scope: the whole panel, hidden parts drawn too
// The image of a panel's inside (no frame or title bar) within area, at its
// size on screen, as a new bitmap.
int GetPanelDisplayBitmap(int panel, int scope, Rect area, int *bitmap);
// Puts a bitmap's image on the system clipboard.
int ClipboardPutBitmap(int bitmap);
// Puts a text (UTF-8) on the system clipboard.
int ClipboardPutText(const std::string &text);
int DiscardBitmap(int bitmap);

// ---------------------------------------------------------------- spreadsheet automation
// (automation.cpp) An in-process spreadsheet server answering the run-time's
// automation calls: objects by handle, members by name, exactly those the
// export uses (Application.Visible, .Workbooks, .Sheets, .Quit;
// Workbooks.Open, .Add; Workbook.SaveAs, .Close; Sheets.Item; Worksheet.Activate,
// .Range; Range.Activate, .Item(row, column) = value). Cells are held in
// memory and written as an Office Open XML workbook (libxlsxwriter) by
// SaveAs. Every call gives 0 or a negative error code.
using CAObjHandle = int;                         // 0: no object
constexpr int kCaErrNoObject = -2147024890;      // the handle names no object
constexpr int kCaErrUnknownMember = -2147352573; // no such member, or wrong arguments
constexpr int kCaErrFailed = -2147467259;        // the member failed (file, template, ...)
constexpr int kCaErrNoServer = -2147221005;      // no server of that class

struct CAVariant {
    enum class Kind { Empty, Text, Int, Bool, Default, Double };
    Kind kind = Kind::Empty;
    std::string text;
    int number = 0;  // Int and Bool
    double real = 0; // Double
};
int CA_VariantSetCString(CAVariant *variant, const std::string &text);
CAVariant CA_VariantInt(int value);
// A number cell holds this double exactly; only its shown decimals are rounded.
CAVariant CA_VariantDouble(double value);
CAVariant CA_VariantBool(bool value);
// An optional argument left out.
CAVariant CA_DefaultValueVariant();

// "Excel.Application" gives the application object; other classes kCaErrNoServer.
int CA_CreateObjectByClassIdEx(const std::string &classId, CAObjHandle *object);
// A member that is an object (Application.Workbooks, Application.Sheets).
int CA_GetPropertyObject(CAObjHandle object, const std::string &member, CAObjHandle *result);
// A plain property (Application.Visible).
int CA_SetProperty(CAObjHandle object, const std::string &member, const CAVariant &value);
// A method, its arguments in order (Default for those left out); result, when
// given, receives the object the method returns (Workbooks.Open, Workbooks.Add,
// Sheets.Item, Worksheet.Range), else 0.
int CA_MethodInvokeEx(CAObjHandle object, const std::string &method,
                      const std::vector<CAVariant> &args, CAObjHandle *result = nullptr);
// A property put with arguments: Range.Item(row, column) = value. A text that
// begins with an apostrophe is kept as text without it; a text that reads as
// a number is stored as a number; other texts as text. A Double is stored as
// the number it is.
int CA_InvokeHelperEx(CAObjHandle object, const std::string &member,
                      const std::vector<CAVariant> &args, const CAVariant &value);
int CA_DiscardObjHandle(CAObjHandle object);
// Why the last member that gave kCaErrFailed failed, as the server describes
// it ("No such file or directory", "line 3 is not understood"); "" when it
// gave no reason.
std::string CA_LastErrorDescription();
// Test seam: the next call of "Object.Member" (for example "Workbook.SaveAs")
// fails once with kCaErrFailed.
void FailAutomationCallForTesting(const std::string &objectDotMember);

// ---------------------------------------------------------------- pictures without windows
// (render.cpp) For a program that shows no window (velorinder-cli).
// Starts the run-time on the offscreen platform, so that it runs where there
// is no display; numbers keep the point. Nothing when an application exists.
void InitConsoleRunTime(int argc, char *argv[]);
// A curve as a graph window draws it.
struct CurvePicture {
    std::string title;
    std::vector<double> time;
    std::vector<double> value; // NaN: a missing sample, where the curve breaks
    double timeMin = 0.0, timeMax = 0.0;
    double valueMin = 0.0, valueMax = 0.0;
    std::vector<std::pair<double, std::string>> timeLabels; // position, text
    std::string valueAxisName;
    int curveColour = 0;
    int plotBackColour = 0xC0C0C0;
    int gridColour = 0;
    // Curves of other recordings laid over this one, drawn beneath it, each
    // named in its colour on a line above the graph.
    struct Other {
        std::string title;
        std::vector<double> time;
        std::vector<double> value;
        int colour = 0;
    };
    std::vector<Other> others;
};
// Writes the picture to path as format says ("png", "svg" or "pdf"), width x
// height pixels (points in a PDF), replacing a file of that name only once
// the new one is whole (through ReplaceFile, whose ReplaceFailureReason()
// tells why a file could not be made). 0, or UIEOperationFailed.
int SaveCurvePicture(const CurvePicture &picture, const std::string &path,
                     const std::string &format, int width, int height);

// ---------------------------------------------------------------- where things are
// (paths.cpp) Portable layout: the program directory holds VELORPNL.UIR and
// can be written, and everything stays there (a folder set for testing counts
// as one). Installed layout otherwise: resources from <prefix>/share/velorinder,
// the user's files in the XDG folders of his home.
bool PortableLayout();
// VELORPNL.UIR, the toolbar images, the help sources and the template.
std::string ResourceDir();
// Velorcfg.ini, the remembered folders and the COMn links
// ($XDG_CONFIG_HOME/velorinder when installed).
std::string ConfigDir();
// Temporary transfer files, removed at exit ($XDG_STATE_HOME/velorinder).
std::string TransferTempDir();
// The help file of the current language and the viewer's collection
// ($XDG_CACHE_HOME/velorinder).
std::string HelpCacheDir();
// Where the help viewer makes its collections: the cache folder when
// installed, the temporary folder otherwise.
std::string HelpCollectionFolder();
// Removes from dir this user's help collections of processes that no longer exist
// (left by a run killed); a live run's collection stays. False when a stale
// one could not be removed.
bool RemoveStaleHelpCollections(const std::string &dir);
// Whether a process of that id exists, whoever runs it.
bool ProcessExists(long pid);
// $variable/velorinder, or ~/belowHome/velorinder when it is unset or relative.
std::string XdgFolder(const char *variable, const std::string &belowHome);
// Creates the folder and its parents; false when it cannot be made.
bool MakeDir(const std::string &dir);
// The kinds of file whose dialogs start in the folder last used for them.
enum class FolderKind {
    Transfer,  // .mon files written by the import
    Recording, // .vlr files written by Save
    OpenAny,   // the Open dialog: wherever a transfer or recording file was last used
    Workbook,  // the export's workbooks
    Session,   // .vls session files
};
// The folder last used for that kind, when it still exists; else the
// program directory (portable) or the user's documents folder.
std::string StartFolder(FolderKind kind);
// The program directory (portable) or the user's documents folder (his home
// when he has none).
std::string DocumentsDir();
// Remembers the folder of a file (or a folder) for the next dialogs of that
// kind, across restarts, in Velorfolders.ini beside Velorcfg.ini.
bool RememberFolder(FolderKind kind, const std::string &path);
// Velorfolders.ini's text: key=value lines. The reader keeps, in order, the
// entries with a key and an absolute folder on one line; the writer drops
// what would not read back the same.
using FolderEntries = std::vector<std::pair<std::string, std::string>>;
FolderEntries ParseFolders(const std::string &text);
std::string FormatFolders(const FolderEntries &entries);
// The group that owns the device of port n when this user may not open it
// for lack of permission (the group whose members may); "" otherwise.
std::string ComPortDeniedGroup(int port);

// ---------------------------------------------------------------- unsaved work, recovery, drops
// (desktop.cpp) Panel attribute: 1 shows the mark of unsaved changes in a
// window's title ("Title*"), 0 takes it away.
constexpr int ATTR_WINDOW_MODIFIED = 0x1010;
// Calls fn after intervalMs while the event loop runs, once or every
// intervalMs; gives a timer id (> 0). Stopping an id that is gone is no error.
int StartTimer(int intervalMs, bool repeat, std::function<void()> fn);
void StopTimer(int timerId);
// The screen's work area (without the desktop's panels) as room for the main
// panel: top and left where its frame may start, and the largest height and
// width it may be given, counted as its ATTR_HEIGHT and ATTR_WIDTH count.
// Gives 0, or -1 when no screen is known.
int GetScreenWorkArea(int *top, int *left, int *height, int *width);
// Files dropped on a panel (from a file manager) go to fn, in the order
// given, as local paths; nullptr stops taking drops.
void SetFileDropCallback(int panel, std::function<void(const std::vector<std::string> &)> fn);
// Test seam: drops these files on the panel as a file manager does; gives
// whether the panel took them.
bool DropFilesForTesting(int panel, const std::vector<std::string> &paths);
// A lock file held while this run lives, released by the system when the
// process ends in any way (even killed). HoldRunLock makes the file with
// the process id in it and gives a handle (>= 0) or -1; ReleaseRunLock
// removes it. RunLockHeld: whether a live process holds the lock of path.
int HoldRunLock(const std::string &path);
void ReleaseRunLock(int handle, const std::string &path);
bool RunLockHeld(const std::string &path);
