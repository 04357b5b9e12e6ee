// The open windows as a session, and a session shown again: each window is
// made as the program's own producers make it (the file reader for a
// recording, the derived pipeline for a derived display), then given what the
// user had made of it.
#include "session/session.h"

#include "compare/compare.h"
#include "display/display.h"
#include "edit/edit.h"
#include "link/link.h"
#include "platform/platform.h"
#include "shell/shell.h"
#include "windows/windows.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

Texts CANNOT_SHOW = {"la session ne peut pas être affichée", "the session cannot be shown",
                     "die Sitzung kann nicht angezeigt werden", "la sesión no se puede mostrar",
                     "la sessione non può essere mostrata"};

int KindOf(const WindowRecord &w) {
    if (w.isPosition) return KIND_POSITION;
    if (w.isAcceleration) return KIND_ACCELERATION;
    return KIND_AVERAGE;
}

void CaptureSamples(const WindowRecord &w, SessionWindow *s) {
    const int count = std::clamp(w.count, 0, MAX_SAMPLES);
    s->time.assign(w.time, w.time + count);
    s->value.assign(w.value, w.value + count);
    for (int g = 0, n = GapCount(w); g < n; ++g)
        if (w.gapIndex[g] < count) s->gaps.push_back(w.gapIndex[g]);
}

// Fills a fresh slot with a session window's samples, as the file reader does.
void FillSamples(WindowRecord &w, const SessionWindow &s) {
    w.count = static_cast<int>(s.time.size());
    w.interval = s.interval;
    w.measureType = s.measureType;
    w.coefficient = s.coefficient;
    w.mode = s.mode;
    w.curveColour = s.curveColour;
    w.day = s.date[0];
    w.month = s.date[1];
    w.year = s.date[2];
    w.hour = s.date[3];
    w.minute = s.date[4];
    std::copy(s.time.begin(), s.time.end(), w.time);
    std::copy(s.value.begin(), s.value.end(), w.value);
    std::copy(s.gaps.begin(), s.gaps.end(), w.gapIndex);
    for (int g : s.gaps)
        w.value[g] = 0.0;
    w.hasGaps = s.gaps.empty() ? 0 : 1;
}

void MakeRecording(const SessionWindow &s) {
    Nouvelle_fenetre(s.title);
    currentWindow = windowCount - 1;
    WindowRecord &w = windows[currentWindow];
    FillSamples(w, s);
    CopyText(w.title, sizeof w.title, s.title);
    w.isPosition = w.isAcceleration = w.isAverage = 0;
    w.sourceWindow = -1;
    ShowNewRecording(false);
    Gestion_fenetre(menuBar, MENU_TILE, nullptr, mainPanel);
}

// Through the Treatment menu's own road, the source and constant given
// instead of asked for.
void MakeDerived(const SessionWindow &s) {
    WindowRecord &source = windows[s.source];
    workSource = s.source;
    MakeWorkCopy(source, &workTime, &workValue, &workMissing);
    sourceTitle = source.title;
    workCount = source.count;
    if (s.kind == KIND_POSITION) source.isPosition = 1;
    if (s.kind == KIND_ACCELERATION) source.isAcceleration = 1;
    if (s.kind == KIND_AVERAGE) {
        source.isAverage = 1;
        filterConstant = s.constant;
    }
    AffichageSecond(s.source, s.kind);
}

// A derived display whose recording was closed: its own samples, still
// marked as the display it is.
void MakeOrphan(const SessionWindow &s) {
    Nouvelle_fenetre(s.title);
    currentWindow = windowCount - 1;
    WindowRecord &w = windows[currentWindow];
    FillSamples(w, s);
    CopyText(w.title, sizeof w.title, s.title);
    w.sourceWindow = static_cast<int16_t>(currentWindow);
    w.isPosition = s.kind == KIND_POSITION;
    w.isAcceleration = s.kind == KIND_ACCELERATION;
    w.isAverage = s.kind == KIND_AVERAGE;
    w.averageConstant = s.kind == KIND_AVERAGE ? s.constant : 0;
    delete[] w.total;
    w.total = nullptr;
    if (s.kind != KIND_AVERAGE) {
        w.total = new double[w.count + 1]();
        // A position's running total is the sum of its steps.
        if (s.kind == KIND_POSITION)
            for (int i = 1; i < w.count; ++i)
                w.total[i] = w.total[i - 1] + w.value[i];
    }
    std::string text;
    FormatValue(w.measureType, w.count > 0 ? w.value[w.count - 1] : 0.0, &text); // sets the unit
    ShowNewRecording(false);
    Gestion_fenetre(menuBar, MENU_TILE, nullptr, mainPanel);
}

int CursorCount(int panel) {
    int n = 0;
    GetCtrlAttribute(panel, WINDOW_GRAPH, ATTR_NUM_CURSORS, &n);
    return n;
}

void SetPlace(int panel, const int place[4]) {
    SetPanelAttribute(panel, ATTR_TOP, place[0]);
    SetPanelAttribute(panel, ATTR_LEFT, place[1]);
    SetPanelAttribute(panel, ATTR_HEIGHT, place[2]);
    SetPanelAttribute(panel, ATTR_WIDTH, place[3]);
}

// What the user had made of the window in `slot`, now the current one.
void ApplyDisplay(int slot, const SessionWindow &s) {
    currentWindow = slot;
    WindowRecord &w = windows[slot];
    const int p = w.panel;
    auto menu = [](int item) { Gestion_affichage(menuBar, item, nullptr, mainPanel); };

    CopyText(w.title, sizeof w.title, s.title);
    SetPanelAttribute(p, ATTR_TITLE, w.title);
    SetMenuBarAttribute(menuBar, w.menuItem, ATTR_ITEM_NAME, w.title);
    for (int k = 0; k < 5; ++k)
        CopyText(w.labelText[k], sizeof w.labelText[k], s.labels[k].text);

    // The curve in its colour, on the value axis the user chose.
    w.curveColour = s.curveColour;
    w.yRangeFixed = s.manualScale ? 1 : 0;
    w.yMin = s.yMin;
    w.yMax = s.yMax;
    DeleteGraphPlot(p, WINDOW_GRAPH, w.plotHandle, VAL_DELAYED_DRAW);
    TracerCourbe(w.value, w.time, w.curveColour, slot);

    // Zoom: one level above, then the Display menu's Zoom Out from the saved
    // left edge, so the scroll bar and the time axis follow as they do for the user.
    w.zoomLevel = std::clamp(s.zoomLevel, 0, ZOOM_LAST - 1) + 1;
    double xmin = 0, xmax = 0;
    GetAxisScalingMode(p, WINDOW_GRAPH, VAL_BOTTOM_XAXIS, nullptr, &xmin, &xmax);
    SetAxisScalingMode(p, WINDOW_GRAPH, VAL_BOTTOM_XAXIS, VAL_MANUAL, s.viewStart,
                       s.viewStart + std::max(xmax - xmin, 1e-9));
    menu(MENU_ZOOM_OUT);

    int grid = 0;
    GetCtrlAttribute(p, WINDOW_GRAPH, ATTR_XGRID_VISIBLE, &grid);
    if ((grid != 0) != s.graticule) menu(MENU_GRATICULE);
    if ((CursorCount(p) > 1) != s.variationCursors) menu(MENU_VARIATION_CURSORS);
    if ((w.legendOffset > 0) != s.legend) menu(MENU_LEGEND);

    for (int k = 0; k < 5; ++k) {
        w.labelPosition[k][0] = s.labels[k].x;
        w.labelPosition[k][1] = s.labels[k].y;
        w.labelState[k] = s.labels[k].shown ? 1 : 0;
        if (s.labels[k].shown)
            w.labelPlot[k] = DrawLabel(w, s.labels[k].x, s.labels[k].y, w.labelText[k]);
    }
    w.alarmShown = s.alarmShown;
    w.alarmSetting = s.alarmSetting;
    w.alarmLevel[0] = s.alarmLevel[0];
    w.alarmLevel[1] = s.alarmLevel[1];
    if (s.alarmShown == ALARM_ONLY_1 || s.alarmShown == ALARM_BOTH)
        w.alarmPlot[0] = std::max(0, DrawAlarmLine(w, w.alarmLevel[0]));
    if (s.alarmShown == ALARM_ONLY_2 || s.alarmShown == ALARM_BOTH)
        w.alarmPlot[1] = std::max(0, DrawAlarmLine(w, w.alarmLevel[1]));

    // A window saved in full screen goes there through the toggle, from the
    // place it returns to, so that the toggle brings it back there again.
    int Hm = 0, Wm = 0;
    GetPanelAttribute(mainPanel, ATTR_HEIGHT, &Hm);
    GetPanelAttribute(mainPanel, ATTR_WIDTH, &Wm);
    const int *g = s.geometry;
    const bool full = g[0] == AREA_TOP && g[1] == AREA_LEFT && g[2] == Hm - 75 && g[3] == Wm - 9;
    const int *r = s.fullScreenReturn;
    const bool returns =
        !(r[0] == AREA_TOP && r[1] == AREA_LEFT && r[2] == Hm - 75 && r[3] == Wm - 9);
    if (full && returns) {
        SetPlace(p, r);
        Repere_fenetre(p, EVENT_PANEL_SIZE, nullptr, 0, 0);
        Repere_fenetre(p, EVENT_RIGHT_DOUBLE_CLICK, nullptr, 0, 0);
    } else {
        SetPlace(p, g);
        Repere_fenetre(p, EVENT_PANEL_SIZE, nullptr, 0, 0);
    }
    std::copy(r, r + 4, w.geometry);

    // Cursors last: nothing after them moves them.
    SetGraphCursor(p, WINDOW_GRAPH, 1, s.cursors[0][0], s.cursors[0][1]);
    if (s.variationCursors)
        Restaurer_curseurs(p, s.cursors[1][0], s.cursors[1][1], s.cursors[2][0], s.cursors[2][1]);
    ValCurseur(p, WINDOW_GRAPH, EVENT_COMMIT, nullptr, 0, 0);
}

bool IsDerived(const SessionWindow &s) {
    return s.kind >= KIND_POSITION && s.kind <= KIND_AVERAGE;
}

} // namespace

SessionWindow CaptureWindow(int slot) {
    SessionWindow s;
    if (slot < 0 || slot >= windowCount) return s;
    const WindowRecord &w = windows[slot];
    const int p = w.panel;
    const bool derived = w.sourceWindow != -1;
    // Sources come before their displays; one that names itself lost its recording.
    const bool computed = derived && w.sourceWindow >= 0 && w.sourceWindow < slot;
    s.kind = derived ? KindOf(w) : SESSION_RECORDING;
    s.source = computed ? w.sourceWindow : -1;
    s.constant = s.kind == KIND_AVERAGE ? w.averageConstant : 0;
    s.title = w.title;
    s.curveColour = w.curveColour;
    s.interval = w.interval;
    s.measureType = w.measureType;
    s.coefficient = w.coefficient;
    s.mode = w.mode;
    const int date[5] = {w.day, w.month, w.year, w.hour, w.minute};
    std::copy(date, date + 5, s.date);
    if (!computed) CaptureSamples(w, &s);
    for (int k = 0; k < 5; ++k) {
        s.labels[k].text = w.labelText[k];
        s.labels[k].shown = w.labelState[k] != 0;
        s.labels[k].x = w.labelPosition[k][0];
        s.labels[k].y = w.labelPosition[k][1];
    }
    s.alarmShown = w.alarmShown;
    s.alarmSetting = w.alarmSetting;
    s.alarmLevel[0] = w.alarmLevel[0];
    s.alarmLevel[1] = w.alarmLevel[1];
    s.manualScale = w.yRangeFixed != 0;
    s.yMin = w.yMin;
    s.yMax = w.yMax;
    s.zoomLevel = w.zoomLevel;
    double xmax = 0;
    GetAxisScalingMode(p, WINDOW_GRAPH, VAL_BOTTOM_XAXIS, nullptr, &s.viewStart, &xmax);
    GetGraphCursor(p, WINDOW_GRAPH, 1, &s.cursors[0][0], &s.cursors[0][1]);
    s.variationCursors = CursorCount(p) > 1;
    if (s.variationCursors) {
        GetGraphCursor(p, WINDOW_GRAPH, 2, &s.cursors[1][0], &s.cursors[1][1]);
        GetGraphCursor(p, WINDOW_GRAPH, 3, &s.cursors[2][0], &s.cursors[2][1]);
    }
    int grid = 0;
    GetCtrlAttribute(p, WINDOW_GRAPH, ATTR_XGRID_VISIBLE, &grid);
    s.graticule = grid != 0;
    s.legend = w.legendOffset > 0;
    for (int k = 0; k < std::clamp(w.comparedCount, 0, MAX_COMPARED); ++k)
        s.compared.push_back(w.comparedSlot[k]);
    const int attributes[4] = {ATTR_TOP, ATTR_LEFT, ATTR_HEIGHT, ATTR_WIDTH};
    for (int i = 0; i < 4; ++i)
        GetPanelAttribute(p, attributes[i], &s.geometry[i]);
    std::copy(w.geometry, w.geometry + 4, s.fullScreenReturn);
    return s;
}

Session CaptureSession() {
    Session session;
    for (int slot = 0; slot < windowCount; ++slot)
        session.windows.push_back(CaptureWindow(slot));
    session.current = currentWindow >= 0 && currentWindow < windowCount ? currentWindow : -1;
    return session;
}

std::string SessionMisfit(const Session &session) {
    const std::size_t n = session.windows.size();
    if (n > static_cast<std::size_t>(MAX_WINDOWS)) return "more than nine windows";
    if (session.current < -1 || session.current >= static_cast<int>(n))
        return "the current window is none of the session's";
    for (std::size_t i = 0; i < n; ++i) {
        const SessionWindow &s = session.windows[i];
        const std::string which = "window " + std::to_string(i + 1) + ": ";
        const bool ownSamples = !IsDerived(s) || s.source < 0;
        if (s.kind != SESSION_RECORDING && !IsDerived(s)) return which + "unknown kind";
        if (s.title.size() >= sizeof windows[0].title) return which + "title too long";
        for (const SessionLabel &l : s.labels)
            if (l.text.size() >= sizeof windows[0].labelText[0]) return which + "label too long";
        if (s.zoomLevel < 0 || s.zoomLevel >= ZOOM_LAST) return which + "zoom out of range";
        if (s.measureType < 0 || s.measureType >= UNIT_COUNT) return which + "unknown unit";
        if (ownSamples) {
            if (s.time.size() > static_cast<std::size_t>(MAX_SAMPLES) ||
                s.value.size() != s.time.size())
                return which + "samples do not fit";
            for (std::size_t k = 1; k < s.time.size(); ++k)
                if (!(s.time[k] > s.time[k - 1])) return which + "times do not rise";
            if (s.gaps.size() > static_cast<std::size_t>(MAX_GAPS)) return which + "too many gaps";
            for (std::size_t g = 0; g < s.gaps.size(); ++g)
                if (s.gaps[g] < 0 || static_cast<std::size_t>(s.gaps[g]) >= s.time.size() ||
                    (g > 0 && s.gaps[g] <= s.gaps[g - 1]))
                    return which + "gaps out of order";
        }
        if (!IsDerived(s) || s.source < 0) {
            if (s.kind == KIND_AVERAGE && (s.constant < 1 || s.constant > MAX_FILTER_CONSTANT))
                return which + "constant out of range";
            continue;
        }
        if (s.source >= static_cast<int>(i) ||
            session.windows[static_cast<std::size_t>(s.source)].kind != SESSION_RECORDING)
            return which + "its source is no earlier recording";
        const SessionWindow &src = session.windows[static_cast<std::size_t>(s.source)];
        if (s.kind == KIND_POSITION && !PositionAllowed(src.measureType))
            return which + "no position can be derived from its source";
        if (s.kind == KIND_ACCELERATION && !AccelerationAllowed(src.measureType))
            return which + "no acceleration can be derived from its source";
        if (s.kind == KIND_AVERAGE &&
            (s.constant < 1 || s.constant >= static_cast<int>(src.time.size()) ||
             s.constant > MAX_FILTER_CONSTANT))
            return which + "constant out of range";
    }
    return "";
}

bool RestoreSession(const Session &session) {
    const std::string misfit = SessionMisfit(session);
    if (!misfit.empty()) {
        ShowError(22, "", std::string(Tr(CANNOT_SHOW)) + " (" + misfit + ")");
        return false;
    }
    SetWaitCursor(1);
    // UNSAVED WORK: the open windows are replaced from here on; a caller that
    // may lose work asks before calling (see OpenSessionFile).
    // Displays close before their recordings, so every mark is cleared.
    while (windowCount > 0) {
        currentWindow = windowCount - 1;
        Fermer_fenetre();
    }
    const int proposedConstant = filterConstant; // the constant popup's proposal stays the user's
    for (const SessionWindow &s : session.windows) {
        if (!IsDerived(s))
            MakeRecording(s);
        else if (s.source < 0)
            MakeOrphan(s);
        else
            MakeDerived(s);
    }
    filterConstant = proposedConstant;
    // Comparisons need every window open; the display state goes on last.
    for (std::size_t i = 0; i < session.windows.size(); ++i)
        if (!session.windows[i].compared.empty())
            SetComparison(static_cast<int>(i), session.windows[i].compared);
    for (std::size_t i = 0; i < session.windows.size(); ++i)
        ApplyDisplay(static_cast<int>(i), session.windows[i]);
    if (windowCount > 0) {
        Reactiver_fenetres();
        const int current = session.current >= 0 ? session.current : windowCount - 1;
        currentWindow = current;
        SetActivePanel(windows[current].panel);
        Repere_fenetre(windows[windowCount - 1].panel, EVENT_LOST_FOCUS, nullptr, 0, 0);
        Repere_fenetre(windows[current].panel, EVENT_GOT_FOCUS, nullptr, 0, 0);
    }
    SetWaitCursor(0);
    return true;
}

std::string CurrentSessionText() {
    return FormatSession(CaptureSession());
}

bool OpenSessionText(const std::string &text, std::string *why) {
    Session session;
    std::string reason;
    if (!ParseSession(text, &session, &reason)) {
        if (why) *why = reason;
        return false;
    }
    reason = SessionMisfit(session);
    if (!reason.empty()) {
        if (why) *why = reason;
        return false;
    }
    return RestoreSession(session);
}
