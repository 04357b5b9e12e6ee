// Figures for recording files of 65,000 samples: opening one (read, store,
// plot and fit), the read alone next to bare number parsing of the same
// file, and saving one.
#include "files/files.h"
#include "windows/graph_fixture.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <charconv>

namespace {

struct Program : testsupport::MainWindowForTesting {
    std::string path;
    Program() : MainWindowForTesting(700, 1100) {
        // A full recording as Save writes it: a second per sample.
        RecordingFile f;
        f.name = "FULL.VLR";
        f.interval = 1;
        f.value = testsupport::RunUpCurve(MAX_SAMPLES);
        for (int k = 0; k < MAX_SAMPLES; ++k)
            f.time.push_back(k);
        path = dir.file("full.vlr");
        testsupport::WriteFile(path, FormatRecordingFile(f));
    }
};

void BM_OpenRecordingFile(benchmark::State &state) {
    Program program;
    for (auto _ : state) {
        Lire_fichier(program.path);
        state.PauseTiming();
        if (windowCount != 1 || windows[0].count != MAX_SAMPLES) state.SkipWithError("not opened");
        Fermer_fenetre();
        state.ResumeTiming();
    }
    state.counters["samples"] = MAX_SAMPLES;
}
BENCHMARK(BM_OpenRecordingFile)->Unit(benchmark::kMillisecond);

void BM_ReadRecordingFile(benchmark::State &state) {
    Program program;
    for (auto _ : state) {
        std::string text;
        RecordingFile f;
        if (!ReadWholeFile(program.path, &text) || !ParseRecordingFile(text, &f))
            state.SkipWithError("not read");
        benchmark::DoNotOptimize(f.value.data());
    }
}
BENCHMARK(BM_ReadRecordingFile)->Unit(benchmark::kMillisecond);

// The floor: the same file read and its 130,000 numbers parsed, nothing else.
void BM_BareFromChars(benchmark::State &state) {
    Program program;
    for (auto _ : state) {
        std::string text;
        ReadWholeFile(program.path, &text);
        std::vector<double> numbers;
        numbers.reserve(2 * MAX_SAMPLES);
        const char *p = text.data();
        const char *end = p + text.size();
        for (int line = 0; line < 9 && p < end; ++p)
            if (*p == '\n') ++line;
        while (p < end) {
            while (p < end && (*p == ' ' || *p == '\n'))
                ++p;
            double x;
            auto [next, ec] = std::from_chars(p, end, x);
            if (ec != std::errc()) break;
            numbers.push_back(x);
            p = next;
        }
        if (numbers.size() != 2u * MAX_SAMPLES) state.SkipWithError("numbers missing");
        benchmark::DoNotOptimize(numbers.data());
    }
}
BENCHMARK(BM_BareFromChars)->Unit(benchmark::kMillisecond);

void BM_SaveRecordingFile(benchmark::State &state) {
    Program program;
    Lire_fichier(program.path);
    std::string target = program.dir.file("saved.vlr");
    for (auto _ : state)
        Ecrire_fichier(target, VAL_NEW_FILE_SELECTED);
    long size = 0;
    GetFileInfo(target, &size);
    state.counters["bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_SaveRecordingFile)->Unit(benchmark::kMillisecond);

void BM_FormatRecordingFile(benchmark::State &state) {
    Program program;
    std::string text;
    RecordingFile f;
    ReadWholeFile(program.path, &text);
    ParseRecordingFile(text, &f);
    for (auto _ : state)
        benchmark::DoNotOptimize(FormatRecordingFile(f));
}
BENCHMARK(BM_FormatRecordingFile)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
