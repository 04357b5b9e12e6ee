// Test support for graph windows: a main panel with its graph area, the
// window template, and windows filled from arrays as a producer fills them.
#pragma once

#include "display/display.h"
#include "platform/platform.h"
#include "shell/shell.h"
#include "support/app_fixture.h"
#include "toolbox/toolbox.h"
#include "windows/windows.h"

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QWidget>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

// Opens a window for the samples given, as a file reader does: the slot is
// filled, the curve drawn and fitted, and the windows tiled.
inline int OpenRecording(const std::string &title, const std::vector<double> &values,
                         unsigned interval = 1, int type = 0, const std::vector<int> &gaps = {}) {
    Nouvelle_fenetre(title);
    currentWindow = windowCount - 1;
    WindowRecord &w = windows[currentWindow];
    CopyText(w.title, sizeof w.title, title);
    w.count = static_cast<int>(values.size());
    w.interval = interval;
    w.measureType = type;
    w.coefficient = 1.0;
    w.curveColour = 0;
    for (int k = 0; k < w.count; ++k) {
        w.time[k] = static_cast<double>(k) * interval;
        w.value[k] = values[k];
    }
    for (std::size_t g = 0; g < gaps.size(); ++g) {
        w.gapIndex[g] = gaps[g];
        w.value[gaps[g]] = 0.0;
        w.hasGaps = 1;
    }
    w.isAverage = w.isPosition = w.isAcceleration = 0;
    w.sourceWindow = -1;
    ShowNewRecording(true);
    Gestion_fenetre(menuBar, MENU_TILE, nullptr, mainPanel);
    return currentWindow;
}

// A speed curve as a run-up, steady run and coast-down of a shaft with some
// measuring noise; n samples.
inline std::vector<double> RunUpCurve(int n) {
    std::vector<double> v(n);
    unsigned state = 12345;
    for (int k = 0; k < n; ++k) {
        double t = static_cast<double>(k) / n;
        double base = t < 0.2    ? 1500 * t / 0.2
                      : t < 0.75 ? 1500 + 40 * std::sin(t * 60)
                                 : 1500 * (1 - (t - 0.75) / 0.25);
        state = state * 1103515245u + 12345u;
        double noise = ((state >> 16) % 1000) / 1000.0 * 12 - 6;
        v[k] = std::max(0.0, base + noise);
    }
    return v;
}

// A main panel with its graph area and the window template, as at start-up.
class GraphWindowTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        RegisterGraphCallbacks();
        mainPanel = LoadPanel(0, ResourceFile(), PANEL_MAIN);
        ASSERT_GT(mainPanel, 0);
        menuBar = GetPanelMenuBar(mainPanel);
        GetPanelAttribute(mainPanel, ATTR_BACKCOLOR, &mainBackColour);
        templatePanel = LoadPanel(mainPanel, ResourceFile(), PANEL_TEMPLATE);
        ASSERT_GT(templatePanel, 0);
        language = 1;
        windowCount = 0;
        currentWindow = -1;
        SetMainSize(650, 1000);
        DisplayPanel(mainPanel);
        SetMainSize(650, 1000);
    }

    void TearDown() override {
        while (currentWindow >= 0)
            Fermer_fenetre();
        windowCount = 0;
        currentWindow = -1;
        DiscardPanel(templatePanel);
        DiscardPanel(mainPanel);
        templatePanel = mainPanel = menuBar = 0;
        Settle();
        AppTest::TearDown();
    }

    // Sizes the main panel as the program counts it (graph area + 75, + 9).
    void SetMainSize(int height, int width) {
        SetPanelAttribute(mainPanel, ATTR_HEIGHT, height);
        SetPanelAttribute(mainPanel, ATTR_WIDTH, width);
        Settle();
    }

    static void Settle() {
        for (int i = 0; i < 3; ++i)
            QApplication::processEvents();
    }

    static int PanelInt(int panel, int attribute) {
        int v = 0;
        GetPanelAttribute(panel, attribute, &v);
        return v;
    }

    static int GraphInt(int slot, int attribute) {
        int v = 0;
        GetCtrlAttribute(windows[slot].panel, WINDOW_GRAPH, attribute, &v);
        return v;
    }

    static std::string CtrlText(int panel, int control) {
        std::string s;
        GetCtrlVal(panel, control, &s);
        return s;
    }

    static void Range(int slot, int axis, double *lo, double *hi) {
        GetAxisScalingMode(windows[slot].panel, WINDOW_GRAPH, axis, nullptr, lo, hi);
    }

    // Saves a picture of the main panel.
    static bool SavePicture(const std::string &path) {
        QWidget *w = PanelWidget(mainPanel);
        if (!w) return false;
        Settle();
        return w->grab().toImage().save(QString::fromStdString(path));
    }
};

} // namespace testsupport
