// Alarm threshold lines: up to two horizontal black lines over the curve of
// the current window, set in the alarm dialog and kept in its record.
#include "link/link.h"

#include "display/display.h"
#include "platform/platform.h"
#include "shell/shell.h"

#include <algorithm>
#include <utility>

int alarmPanel = 0;

namespace {

void CloseAlarmDialog(int panel) {
    RemovePopup(0);
    DiscardPanel(panel);
    if (panel == alarmPanel) alarmPanel = 0;
    Griser_menus(0);
}

bool Checked(int panel, int control) {
    int on = 0;
    GetCtrlVal(panel, control, &on);
    return on != 0;
}

// The level fields, formatted for the curve and its lines.
ValueField alarmFields[2];

} // namespace

int DrawAlarmLine(const WindowRecord &w, double level) {
    double lo = 0.0, hi = 0.0;
    GetAxisScalingMode(w.panel, WINDOW_GRAPH, VAL_BOTTOM_XAXIS, nullptr, &lo, &hi);
    if (w.count > 0) {
        lo = std::min({lo, 0.0, w.time[0]});
        hi = std::max(hi, w.time[w.count - 1]);
    }
    const double room = std::max(hi - lo, 1.0) * 10.0;
    return PlotLine(w.panel, WINDOW_GRAPH, lo - room, level, hi + room, level, 0);
}

int AlarmShownFor(bool line1, bool line2) {
    if (line1) return line2 ? ALARM_BOTH : ALARM_ONLY_1;
    return line2 ? ALARM_ONLY_2 : ALARM_NONE;
}

void OrderAlarmLevels(int alarmShown, double level[2], int plot[2]) {
    if (alarmShown != ALARM_BOTH || !(level[1] < level[0])) return;
    std::swap(level[0], level[1]);
    std::swap(plot[0], plot[1]);
}

void OpenAlarmDialog() {
    if (currentWindow < 0) return;
    const WindowRecord &w = windows[currentWindow];
    int panel = LoadPanel(0, ResourceFile(), PANEL_ALARM);
    if (panel < 0) return;
    alarmPanel = panel;
    TranslateAlarmDialog(panel);
    Griser_menus(1);
    const bool shown1 = w.alarmShown == ALARM_ONLY_1 || w.alarmShown == ALARM_BOTH;
    const bool shown2 = w.alarmShown == ALARM_ONLY_2 || w.alarmShown == ALARM_BOTH;
    // Levels are typed on the curve's scale: as many decimals as its range needs.
    double lo = 0.0, hi = 0.0;
    SampleRange(w, &lo, &hi);
    for (int line = 0; line < 2; ++line) {
        if (!(line == 0 ? shown1 : shown2)) continue;
        lo = std::min(lo, w.alarmLevel[line]);
        hi = std::max(hi, w.alarmLevel[line]);
    }
    const ValueFieldFormat format = ValueFieldFormatFor(lo, hi);
    alarmFields[0] = FormatValueField(panel, ALARM_LEVEL_1, format);
    alarmFields[1] = FormatValueField(panel, ALARM_LEVEL_2, format);
    if (w.alarmShown != ALARM_NONE) {
        SetCtrlVal(panel, ALARM_SETTING, static_cast<int>(w.alarmSetting));
        if (shown1) {
            SetCtrlVal(panel, ALARM_LINE_1, 1);
            SetCtrlAttribute(panel, ALARM_LEVEL_1, ATTR_DIMMED, 0);
            GiveValueField(&alarmFields[0], w.alarmLevel[0]);
        }
        if (shown2) {
            SetCtrlVal(panel, ALARM_LINE_2, 1);
            SetCtrlAttribute(panel, ALARM_LEVEL_2, ATTR_DIMMED, 0);
            GiveValueField(&alarmFields[1], w.alarmLevel[1]);
        }
    }
    InstallPopup(panel);
}

int Alarmes(int panel, int control, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    switch (control) {
    case ALARM_LINE_1:
        SetCtrlAttribute(panel, ALARM_LEVEL_1, ATTR_DIMMED, Checked(panel, ALARM_LINE_1) ? 0 : 1);
        break;
    case ALARM_LINE_2:
        SetCtrlAttribute(panel, ALARM_LEVEL_2, ATTR_DIMMED, Checked(panel, ALARM_LINE_2) ? 0 : 1);
        break;
    case ALARM_OK: {
        if (currentWindow >= 0) {
            WindowRecord &w = windows[currentWindow];
            if (w.alarmShown != ALARM_NONE) {
                DeleteGraphPlot(w.panel, WINDOW_GRAPH, w.alarmPlot[0], VAL_DELAYED_DRAW);
                DeleteGraphPlot(w.panel, WINDOW_GRAPH, w.alarmPlot[1], VAL_IMMEDIATE_DRAW);
                w.alarmShown = ALARM_NONE;
                w.alarmPlot[0] = w.alarmPlot[1] = 0;
            }
            const bool line1 = Checked(panel, ALARM_LINE_1);
            const bool line2 = Checked(panel, ALARM_LINE_2);
            if (line1) {
                w.alarmLevel[0] = ReadValueField(alarmFields[0]);
                w.alarmPlot[0] = std::max(0, DrawAlarmLine(w, w.alarmLevel[0]));
            }
            if (line2) {
                w.alarmLevel[1] = ReadValueField(alarmFields[1]);
                w.alarmPlot[1] = std::max(0, DrawAlarmLine(w, w.alarmLevel[1]));
            }
            w.alarmShown = AlarmShownFor(line1, line2);
            OrderAlarmLevels(w.alarmShown, w.alarmLevel, w.alarmPlot);
            int setting = 0;
            GetCtrlVal(panel, ALARM_SETTING, &setting);
            w.alarmSetting = setting;
        }
        CloseAlarmDialog(panel);
        break;
    }
    case ALARM_QUIT:
        CloseAlarmDialog(panel);
        break;
    default:
        break;
    }
    return 0;
}
