// Sessions: every open window, with its recording and what the user made of
// it (labels, alarm lines, scales, zoom, cursors, title, placement), kept in
// one file so that a screen of work can be closed and opened again.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// ---------------------------------------------------------------- file format
// A session file is JSON, written by FormatSession with a fixed member order
// and shortest round-trip numbers, so a session opened and saved again gives
// the same bytes. Layout, version 1:
//   { "format": "velorinder-session", "version": 1, "current": <window index or -1>,
//     "windows": [ <window>, ... ] }           at most nine windows, in slot order
// A window:
//   "kind":   "recording", "position", "acceleration" or "average"
//   "source": index of the recording a derived display is computed from (an
//             earlier window of kind "recording"); derived displays keep no
//             samples of their own, they are computed again on opening;
//             -1 when that recording was closed: the display then keeps its
//             samples in "recording" as a recording does
//   "constant": the moving average's number of measurements (average only)
//   "title", "curveColour"
//   "recording": (recordings, and derived displays of source -1) "interval", "measureType",
//   "coefficient",
//             "mode", "date" [day, month, year, hour, minute], "time" [...],
//             "value" [...] (a missing sample holds 0), "gaps" [indices]
//   "labels": five of { "text", "shown", "x", "y" }: minimum, maximum, texts 1-3
//   "alarm":  { "shown", "setting", "levels": [low, high] }
//   "scale":  { "manual", "min", "max" }
//   "zoomLevel", "viewStart" (seconds at the left edge of the graph)
//   "cursors": [[x, y] x 3], "variationCursors", "graticule", "legend"
//   "compared": indices of the other windows whose curves are laid over this
//             one (at most four; absent or [] for none; their alignment is
//             computed again from their first samples and dates)
//   "geometry": [top, left, height, width] in the work area,
//   "fullScreenReturn": [top, left, height, width] kept by the full-screen toggle
// Numbers that JSON cannot hold (an infinite time far off) are the strings
// "inf", "-inf" and "nan".
constexpr int SESSION_VERSION = 1;
constexpr const char *SESSION_FORMAT = "velorinder-session";
constexpr const char *SESSION_EXTENSION = ".vls";

constexpr int SESSION_RECORDING = -1; // kind of a window that shows a recording
                                      // (derived kinds are those of the Treatment menu)

struct SessionLabel {
    std::string text;
    bool shown = false;
    double x = 0.0;
    double y = 0.0;

    bool operator==(const SessionLabel &) const = default;
};

struct SessionWindow {
    int kind = SESSION_RECORDING;
    int source = -1;
    int constant = 0;
    std::string title;
    int curveColour = 0;
    // The recording (kind SESSION_RECORDING).
    uint32_t interval = 0;
    int measureType = 0;
    double coefficient = 0.0;
    int mode = 0;
    int date[5] = {0, 0, 0, 0, 0}; // day, month, year, hour, minute
    std::vector<double> time;
    std::vector<double> value;
    std::vector<int> gaps;
    // What the user made of it.
    SessionLabel labels[5];
    int alarmShown = 0;
    int alarmSetting = 0;
    double alarmLevel[2] = {0.0, 0.0};
    bool manualScale = false;
    double yMin = 0.0;
    double yMax = 0.0;
    int zoomLevel = 9;
    double viewStart = 0.0;
    double cursors[3][2] = {{0, 0}, {0, 0}, {0, 0}};
    bool variationCursors = false;
    bool graticule = false;
    bool legend = false;
    std::vector<int> compared;
    int geometry[4] = {70, 5, 220, 380};
    int fullScreenReturn[4] = {70, 5, 220, 380};

    bool operator==(const SessionWindow &) const = default;
};

struct Session {
    int current = -1;
    std::vector<SessionWindow> windows;
};

std::string FormatSession(const Session &session);
// False, with a short reason in *why, when the text is no session this
// program can open (damaged, foreign, from a newer version, or holding
// windows the store cannot take); *session is then unchanged.
bool ParseSession(const std::string &text, Session *session, std::string *why);

// ---------------------------------------------------------------- the screen as a session
// The open windows as a session: each window's recording, or the kind,
// source and constant of a derived display, and what the user made of it.
SessionWindow CaptureWindow(int slot);
Session CaptureSession();
// Closes every open window and opens those of the session in their place:
// the same screen as when it was captured. False (the error shown, the
// windows as they were) when the session cannot be shown.
bool RestoreSession(const Session &session);
// The open windows as session text, and a session opened from text (false,
// with the reason in *why, and nothing open changed when it is refused).
std::string CurrentSessionText();
bool OpenSessionText(const std::string &text, std::string *why);
// Why a session cannot be shown on this screen (a derived display its
// recording cannot give, more windows than can open, more samples than a
// window holds); "" when it can.
std::string SessionMisfit(const Session &session);
// Session files through the atomic writer: false, with error 23 (writing) or
// 16/22 (opening) naming the file and the reason shown, when they fail.
bool SaveSessionFile(const std::string &path);
bool OpenSessionFile(const std::string &path);
// File > Save session ... and Open session ...
void SaveSessionCommand();
void OpenSessionCommand();

// ---------------------------------------------------------------- unsaved work
// A window is changed when what the user made of it differs from what it was
// when last opened from a file, saved, or opened or saved in a session.
// Where it stands and how it is read (placement, zoom, scrolling, cursors)
// are no change of the work. A window never saved (an import, a derived
// display) is changed.
std::string WindowContentText(int slot);
bool WindowChanged(int slot);
// Whether any open window is changed.
bool ScreenChanged();
// Notes the window of a slot, or every open window, as saved as it is now;
// or every open window as never saved (a screen brought back after a crash).
void MarkWindowSaved(int slot);
void MarkScreenSaved();
void MarkScreenUnsaved();
// Shows each window's mark of unsaved changes and has the recovery file
// written after a change; run after the user's events while the program runs.
void CheckForChanges();
void StartChangeWatch();
void StopChangeWatch();
// The question before unsaved work would go: Save session, Discard or
// Cancel, once for the whole screen. True to go on (saved, or discarded).
enum class UnsavedWorkAction { Exit, CloseWindow, OpenSession };
bool ConfirmUnsavedWork(UnsavedWorkAction action);
// The same, asked only when there is unsaved work: before File > Close of a
// changed current window, and before a session replaces changed windows.
bool ConfirmClosingCurrentWindow();
bool ConfirmReplacingScreen();

// ---------------------------------------------------------------- recovery after a crash
// While the program runs, its screen is kept as a session in the recovery
// folder a few seconds after each change, beside a lock file that the system
// releases when the process ends, however it ends. A later start that finds
// the session of a run whose lock is free offers to restore it.
std::string RecoveryDir();
// Takes this run's lock; false when the folder or the lock cannot be made
// (the work is then not kept, and the user is told once).
bool StartRecovery();
// The recovery sessions of runs that ended without a clean exit, newest first.
std::vector<std::string> AbandonedRecoveries();
// Asks whether to restore the newest abandoned session: Yes opens it, No
// removes it. False when there was none to offer.
bool OfferRecovery();
// Writes this run's recovery session now (or removes it when no window is
// open); later, after a change, once the screen has rested.
void WriteRecovery();
void ScheduleRecovery();
// A clean exit: the recovery session and the lock go.
void EndRecovery();

// ---------------------------------------------------------------- files from the desktop
// A session file, told by its extension (.vls) or its content.
bool IsSessionFile(const std::string &path);
// Opens files given on the command line or dropped on the main window:
// sessions, recording and transfer files; each failure is shown and the
// others still open. Relative paths are taken from `startDir`.
void OpenDesktopFiles(const std::vector<std::string> &paths, const std::string &startDir = "");
