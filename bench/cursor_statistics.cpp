// Figures for the statistics between the variation cursors over a recording
// of 65,000 samples: a cursor move as the window answers it (cursor set,
// figures computed, panel redrawn), the figures alone from the tables, the
// same figures from a plain pass over the samples, and building the tables.
#include "analysis/analysis.h"
#include "windows/graph_fixture.h"

#include <benchmark/benchmark.h>

#include <QMouseEvent>
#include <qcustomplot.h>

namespace {

struct Program : testsupport::MainWindowForTesting {
    int slot = -1;
    std::vector<char> missing;
    Program() : MainWindowForTesting(700, 1100) {
        std::vector<int> gaps;
        for (int i = 1000; i < MAX_SAMPLES; i += 97)
            gaps.push_back(i);
        slot = testsupport::OpenRecording("full", testsupport::RunUpCurve(MAX_SAMPLES), 1, 0, gaps);
        missing.assign(MAX_SAMPLES, 0);
        for (int g : gaps)
            missing[g] = 1;
        Gestion_affichage(menuBar, MENU_VARIATION_CURSORS, nullptr, mainPanel);
        // The cursors at both ends: every sample between them.
        SetGraphCursor(windows[slot].panel, WINDOW_GRAPH, 2, 0, 0);
        // The window drawn, as it is before a user can take a cursor.
        for (int i = 0; i < 3; ++i)
            QApplication::processEvents();
    }
};

// Cursor 3 dragged with the mouse near the end of the recording, cursor 2
// at its start: each move recomputes the figures over about 65,000 samples
// and redraws the cursor layer with the panel, as a user's drag does.
void BM_CursorDrag(benchmark::State &state) {
    Program program;
    const WindowRecord &w = windows[program.slot];
    auto *plot = qobject_cast<QCustomPlot *>(CtrlWidget(w.panel, WINDOW_GRAPH));
    double x = 0, y = 0;
    GetGraphCursor(w.panel, WINDOW_GRAPH, 3, &x, &y);
    auto send = [plot](QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
        QMouseEvent e(type, at, plot->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(plot, &e);
    };
    send(QEvent::MouseButtonPress,
         QPointF(plot->xAxis->coordToPixel(x), plot->yAxis->coordToPixel(y)), Qt::LeftButton);
    const double right = plot->axisRect()->rect().right();
    int k = 0;
    for (auto _ : state)
        send(QEvent::MouseMove, QPointF(right - 1 - (k++ % 2), 100), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, QPointF(right - 1, 100), Qt::NoButton);
    RangeStatistics s;
    double t1 = 0, t2 = 0;
    if (!CursorStatistics(program.slot, &s, &t1, &t2) || s.count + s.missing < 64000)
        state.SkipWithError("the range is not the whole recording");
    state.counters["samples"] = s.count + s.missing;
}
BENCHMARK(BM_CursorDrag)->Unit(benchmark::kMicrosecond);

// The floor: the same move of the cursor line alone, no figures.
void BM_CursorLineOnly(benchmark::State &state) {
    Program program;
    const WindowRecord &w = windows[program.slot];
    int k = 0;
    for (auto _ : state) {
        const double t = MAX_SAMPLES - 1 - (k++ % 100);
        SetGraphCursor(w.panel, WINDOW_GRAPH, 3, t, 0);
    }
}
BENCHMARK(BM_CursorLineOnly)->Unit(benchmark::kMicrosecond);

void BM_TableQuery(benchmark::State &state) {
    Program program;
    const WindowRecord &w = windows[program.slot];
    StatisticsTable table;
    table.Build(w.time, w.value, program.missing.data(), w.count);
    int k = 0;
    for (auto _ : state) {
        RangeStatistics s = table.Between(k % 100, MAX_SAMPLES - 1 - (k % 77));
        ++k;
        benchmark::DoNotOptimize(s);
    }
}
BENCHMARK(BM_TableQuery)->Unit(benchmark::kMicrosecond);

// The baseline: one pass over the 65,000 samples.
void BM_PlainScan(benchmark::State &state) {
    Program program;
    const WindowRecord &w = windows[program.slot];
    for (auto _ : state) {
        RangeStatistics s =
            StatisticsTable::Scan(w.time, w.value, program.missing.data(), 0, MAX_SAMPLES - 1);
        benchmark::DoNotOptimize(s);
    }
}
BENCHMARK(BM_PlainScan)->Unit(benchmark::kMicrosecond);

// Once per curve drawn.
void BM_BuildTables(benchmark::State &state) {
    Program program;
    const WindowRecord &w = windows[program.slot];
    for (auto _ : state) {
        StatisticsTable table;
        table.Build(w.time, w.value, program.missing.data(), w.count);
        benchmark::DoNotOptimize(table.Size());
    }
}
BENCHMARK(BM_BuildTables)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
