// Cost of the link's own work for one presence test and one "Md" against the
// unpaced simulator: the port layer, the flushes and the reply judgement, not
// the protocol's time-outs (the presence test is the transfer's, which reads
// to the line end).
#include "link/link.h"
#include "platform/platform.h"
#include "rd5150-sim/simulator.h"
#include "support/app_fixture.h"

#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

constexpr int kPort = 1;

void BM_PresenceTest(benchmark::State &state) {
    for (auto _ : state) {
        int r = ConnectInstrument(kPort, baudRate);
        if (r != 1) {
            state.SkipWithError("no presence reply");
            break;
        }
    }
}
BENCHMARK(BM_PresenceTest)->Unit(benchmark::kMicrosecond);

void BM_RecordingCount(benchmark::State &state) {
    for (auto _ : state) {
        int r = ReadRecordingCount();
        if (r != 0) {
            state.SkipWithError("count refused or not read");
            break;
        }
        benchmark::DoNotOptimize(recordingCount);
    }
}
BENCHMARK(BM_RecordingCount)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv) {
    testsupport::EnsureApplication();
    testsupport::TempDir dir;
    SetProjectDirForTesting(dir.path());
    rd5150::Options options;
    options.paced = false;
    rd5150::Simulator sim(rd5150::DemoRecordings(), options);
    if (!sim.Start(dir.file("COM1"))) {
        std::fprintf(stderr, "simulator: %s\n", sim.LastError().c_str());
        return 1;
    }
    comPort = kPort;
    // Open as a transfer does, so that each presence test skips the open and
    // its settling pause.
    if (ConnectInstrument(kPort, baudRate) != 1) {
        std::fprintf(stderr, "no instrument on %s\n", sim.LinkPath().c_str());
        return 1;
    }
    portOpen = 1;

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    CloseCom(kPort);
    portOpen = 0;
    return 0;
}
