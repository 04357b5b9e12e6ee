// Figures of the recording import: decoding the longest line the instrument
// can send, and the transfer of the demo set through the real serial code,
// unpaced (our own throughput) and paced at 38,400 bauds (against the wire).
#include "link/link.h"
#include "platform/platform.h"
#include "rd5150-sim/simulator.h"
#include "shell/shell.h"
#include "support/app_fixture.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>

namespace {

constexpr int kPort = 1;
std::string programDir;

std::string LongestLine() {
    std::string line = "0099;0;1;001.00;00001;";
    for (int k = 0; k < 8122; ++k)
        line += k % 2 ? "1.23E+3;" : "4.56E-2;";
    return line;
}

void BM_DecodeLongestLine(benchmark::State &state) {
    const std::string line = LongestLine();
    ImportEntry entry{};
    for (auto _ : state) {
        ParseRecordingHeader(line, &entry);
        DecodeRecordingLine(line, 8122, &entry);
        benchmark::DoNotOptimize(entry.values.data());
    }
    if (entry.count != static_cast<int>(line.size()) - LINE_FIRST_FIELD)
        state.SkipWithError("a field failed to decode");
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(line.size()));
    state.counters["fields"] = 8122;
}
BENCHMARK(BM_DecodeLongestLine)->Unit(benchmark::kMicrosecond);

// The demo set; paced, without its 64 kB recording, whose line alone takes
// 17 s on the wire and would make each round that long.
std::vector<rd5150::Recording> DemoSet(bool paced) {
    auto demo = rd5150::DemoRecordings();
    if (paced) demo.pop_back();
    return demo;
}

// Bytes the instrument sends for a set: each line and its LF.
int64_t LineBytes(const std::vector<rd5150::Recording> &set) {
    int64_t bytes = 0;
    for (const auto &r : set)
        bytes += static_cast<int64_t>(rd5150::FormatRecordingLine(r).size()) + 1;
    return bytes;
}

// One transfer of the demo set: "Md", then ImportAllRecordings with every
// file dialog answered, as the import command runs it.
void TransferDemoSet(benchmark::State &state, bool paced) {
    rd5150::Options options;
    options.paced = paced;
    options.baud = 38400;
    const auto demo = DemoSet(paced);
    rd5150::Simulator sim(demo, options);
    if (!sim.Start(programDir + "/COM1")) {
        state.SkipWithError(sim.LastError().c_str());
        return;
    }
    comPort = kPort;
    baudRate = 38400;
    portOpen = 0;
    if (OpenTransferLink() != 0) {
        state.SkipWithError("no instrument");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        for (const auto &r : demo)
            ScriptPopup({"Save", VAL_NEW_FILE_SELECTED,
                         programDir + "/bench_" + std::to_string(r.number) + ".mon"});
        state.ResumeTiming();
        if (ReadRecordingCount() != 0 || ImportAllRecordings() != IMPORT_DONE) {
            state.SkipWithError("transfer failed");
            break;
        }
    }
    CloseCom(kPort);
    portOpen = 0;
    sim.Stop();
    const int64_t bytes = LineBytes(demo);
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["line_bytes"] = static_cast<double>(bytes);
    if (paced) {
        // 10 bits a byte on the wire; the request bytes go the other way.
        double wire = static_cast<double>(bytes) * 10.0 / 38400.0;
        state.counters["wire_s"] = wire;
        state.counters["ratio_to_wire"] =
            benchmark::Counter(static_cast<double>(state.iterations()) * wire,
                               benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    }
}

void BM_ImportDemoUnpaced(benchmark::State &state) {
    TransferDemoSet(state, false);
}
BENCHMARK(BM_ImportDemoUnpaced)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ImportDemoPaced38400(benchmark::State &state) {
    TransferDemoSet(state, true);
}
BENCHMARK(BM_ImportDemoPaced38400)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

} // namespace

int main(int argc, char **argv) {
    testsupport::EnsureApplication();
    testsupport::TempDir dir;
    programDir = dir.path();
    SetProjectDirForTesting(dir.path());
    testsupport::CopyFromProgramDir("VELORPNL.UIR", dir.path());
    SetPopupScriptMode(true);
    language = 1;
    progressPanel = LoadPanel(0, ResourceFile(), PANEL_PROGRESS);
    if (progressPanel <= 0) {
        std::fprintf(stderr, "no progress panel in %s\n", ResourceFile().c_str());
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    DiscardPanel(progressPanel);
    return 0;
}
