// velorinder-cli convert of a 65,000-sample recording file to csv, next to
// reading that file alone with the program's reader; prints their ratio.
#include "cli/cli.h"
#include "display/display.h"
#include "support/app_fixture.h"
#include "windows/graph_fixture.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <unistd.h>

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

// Keeps each benchmark's time per iteration for the ratio (the mean when
// repeated) and hands every run on to the reporter the flags chose.
class Reporter : public benchmark::BenchmarkReporter {
  public:
    explicit Reporter(std::unique_ptr<benchmark::BenchmarkReporter> shown)
        : shown_(std::move(shown)) {}
    bool ReportContext(const Context &context) override { return shown_->ReportContext(context); }
    void ReportRuns(const std::vector<Run> &runs) override {
        for (const Run &run : runs) {
            if (run.error_occurred) continue;
            const bool mean = run.run_type == Run::RT_Aggregate && run.aggregate_name == "mean";
            if (mean || (run.run_type == Run::RT_Iteration && !means_.count(run.run_name.str()))) {
                real[run.run_name.str()] = run.GetAdjustedRealTime();
                cpu[run.run_name.str()] = run.GetAdjustedCPUTime();
                if (mean) means_.insert(run.run_name.str());
            }
        }
        shown_->ReportRuns(runs);
    }
    void Finalize() override { shown_->Finalize(); }
    std::map<std::string, double> real, cpu;

  private:
    std::unique_ptr<benchmark::BenchmarkReporter> shown_;
    std::set<std::string> means_;
};

// The reporter --benchmark_format names (console when none), as
// BENCHMARK_MAIN's programs choose it; Initialize takes the flag out of argv.
std::unique_ptr<benchmark::BenchmarkReporter> ShownReporter(int argc, char **argv, bool *console) {
    std::string format = "console";
    const std::string flag = "--benchmark_format=";
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]).rfind(flag, 0) == 0) format = argv[i] + flag.size();
    *console = format == "console";
    if (format == "json") return std::make_unique<benchmark::JSONReporter>();
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations" // still a format the flag offers
    if (format == "csv") return std::make_unique<benchmark::CSVReporter>();
#pragma GCC diagnostic pop
    // Colours only on a terminal, as --benchmark_color=auto gives them.
    return std::make_unique<benchmark::ConsoleReporter>(
        isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_ColorTabular
                              : benchmark::ConsoleReporter::OO_Tabular);
}

} // namespace

int main(int argc, char **argv) {
    testsupport::EnsureApplication();
    bool console = true;
    Reporter reporter(ShownReporter(argc, argv, &console));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const std::string read = "BM_ReadRecordingFile", convert = "BM_ConvertToCsv";
    if (reporter.real[read] > 0 && reporter.real[convert] > 0) {
        // The csv reaches the disk before the command ends (it is synced, as
        // every file the program writes): the wall time holds that wait, the
        // processor time the work alone. Json and csv output stay parseable:
        // the ratio goes to the error stream then.
        std::fprintf(console ? stdout : stderr,
                     "convert to csv / read alone = %.2f in time, %.2f in processor time "
                     "(target: at most 2)\n",
                     reporter.real[convert] / reporter.real[read],
                     reporter.cpu[convert] / reporter.cpu[read]);
    }
    benchmark::Shutdown();
    return 0;
}
