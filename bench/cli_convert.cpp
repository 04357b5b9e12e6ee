// velorinder-cli convert of a 65,000-sample recording file to csv, next to
// reading that file alone with the program's reader; prints their ratio.
#include "cli/cli.h"
#include "display/display.h"
#include "support/app_fixture.h"
#include "windows/graph_fixture.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <sstream>

namespace {

// A full recording as Save writes it: a second per sample.
struct FullRecording {
    testsupport::TempDir dir;
    std::string path = dir.file("full.vlr");
    FullRecording() {
        RecordingFile f;
        f.name = "FULL.VLR";
        f.interval = 1;
        f.value = testsupport::RunUpCurve(MAX_SAMPLES);
        for (int k = 0; k < MAX_SAMPLES; ++k)
            f.time.push_back(k);
        testsupport::WriteFile(path, FormatRecordingFile(f));
    }
};

void BM_ReadRecordingFile(benchmark::State &state) {
    FullRecording full;
    for (auto _ : state) {
        std::string text, why;
        CliRecording r;
        if (!ReadWholeFile(full.path, &text) || !ReadRecordingText(full.path, text, &r, &why))
            state.SkipWithError("not read");
        benchmark::DoNotOptimize(r.file.value.data());
    }
}
BENCHMARK(BM_ReadRecordingFile)->Unit(benchmark::kMillisecond);

// The whole command: read, csv text, written to disk.
void BM_ConvertToCsv(benchmark::State &state) {
    FullRecording full;
    const std::vector<std::string> args = {
        "velorinder-cli", "convert", full.path, "--to", "csv", "--out", full.dir.file("out")};
    for (auto _ : state) {
        std::ostringstream out, err;
        if (RunCli(args, out, err) != CLI_OK) state.SkipWithError("not converted");
    }
    long size = 0;
    GetFileInfo(full.dir.file("out/full.csv"), &size);
    state.counters["csv bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_ConvertToCsv)->Unit(benchmark::kMillisecond);

// Its parts: the csv text alone, and writing it in place of a file.
void BM_CsvText(benchmark::State &state) {
    FullRecording full;
    std::string text, why;
    CliRecording r;
    ReadWholeFile(full.path, &text);
    ReadRecordingText(full.path, text, &r, &why);
    for (auto _ : state)
        benchmark::DoNotOptimize(CsvText(r));
}
BENCHMARK(BM_CsvText)->Unit(benchmark::kMillisecond);

void BM_WriteCsv(benchmark::State &state) {
    FullRecording full;
    std::string text, why;
    CliRecording r;
    ReadWholeFile(full.path, &text);
    ReadRecordingText(full.path, text, &r, &why);
    const std::string csv = CsvText(r);
    for (auto _ : state)
        if (!ReplaceFileContents(full.dir.file("full.csv"), csv))
            state.SkipWithError("not written");
}
BENCHMARK(BM_WriteCsv)->Unit(benchmark::kMillisecond);

// Keeps each benchmark's times per iteration for the ratio.
class Reporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run> &runs) override {
        for (const Run &run : runs)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
                real[run.benchmark_name()] = run.GetAdjustedRealTime();
                cpu[run.benchmark_name()] = run.GetAdjustedCPUTime();
            }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> real, cpu;
};

} // namespace

int main(int argc, char **argv) {
    testsupport::EnsureApplication();
    benchmark::Initialize(&argc, argv);
    Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const std::string read = "BM_ReadRecordingFile", convert = "BM_ConvertToCsv";
    if (reporter.real[read] > 0 && reporter.real[convert] > 0) {
        // The csv reaches the disk before the command ends (it is synced, as
        // every file the program writes): the wall time holds that wait, the
        // processor time the work alone.
        std::printf("convert to csv / read alone = %.2f in time, %.2f in processor time "
                    "(target: at most 2)\n",
                    reporter.real[convert] / reporter.real[read],
                    reporter.cpu[convert] / reporter.cpu[read]);
    }
    benchmark::Shutdown();
    return 0;
}
