// Figures for the graph windows: drawing one 65,000-sample curve, re-tiling
// nine such windows, and the memory nine full windows take.
#include "windows/graph_fixture.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <fstream>

namespace {

long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

struct Program : testsupport::MainWindowForTesting {
    Program() : MainWindowForTesting(700, 1100) {}
};

void Settle() {
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

void BM_TracerCourbeAndReplot(benchmark::State &state) {
    Program program;
    int s = testsupport::OpenRecording("one", testsupport::RunUpCurve(MAX_SAMPLES));
    Settle();
    WindowRecord &w = windows[s];
    for (auto _ : state) {
        DeleteGraphPlot(w.panel, WINDOW_GRAPH, w.plotHandle, VAL_DELAYED_DRAW);
        TracerCourbe(w.value, w.time, w.curveColour, s);
        RefreshGraph(w.panel, WINDOW_GRAPH);
    }
    state.counters["samples"] = w.count;
}
BENCHMARK(BM_TracerCourbeAndReplot)->Unit(benchmark::kMillisecond);

void BM_ReplotOnly(benchmark::State &state) {
    Program program;
    int s = testsupport::OpenRecording("one", testsupport::RunUpCurve(MAX_SAMPLES));
    Settle();
    for (auto _ : state)
        RefreshGraph(windows[s].panel, WINDOW_GRAPH);
}
BENCHMARK(BM_ReplotOnly)->Unit(benchmark::kMillisecond);

void BM_RetileNineFullWindows(benchmark::State &state) {
    Program program;
    long before = ResidentKb();
    for (int i = 0; i < MAX_WINDOWS; ++i) {
        std::string title = "recording ";
        title += static_cast<char>('1' + i);
        testsupport::OpenRecording(title, testsupport::RunUpCurve(MAX_SAMPLES));
    }
    Settle();
    long after = ResidentKb();
    for (auto _ : state) {
        Gestion_fenetre(menuBar, MENU_TILE, nullptr, mainPanel);
        Settle(); // the queued replots of the nine graphs
    }
    state.counters["windows"] = windowCount;
    state.counters["rss_total_MB"] = after / 1024.0;
    state.counters["rss_nine_windows_MB"] = (after - before) / 1024.0;
}
BENCHMARK(BM_RetileNineFullWindows)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
