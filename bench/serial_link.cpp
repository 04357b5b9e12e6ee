// Cost of the link's own work for one presence test and one "Md" against the
// unpaced simulator: the port layer, the drain before each request and the
// reply judgement (the presence test is the transfer's, which reads to the
// line end). And what the port search spends on one port: where the
// instrument answers, and where a device is linked but nothing answers
// (at most a second).
#include "link/link.h"
#include "platform/platform.h"
#include "rd5150-sim/simulator.h"
#include "support/app_fixture.h"

#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

constexpr int kPort = 1;
constexpr int kSilentPort = 2;     // a device where nothing answers
constexpr int kInstrumentPort = 3; // the instrument, for the search

// One port of the search, as the communication dialog and `ports` probe it.
void BM_SearchSilentPort(benchmark::State &state) {
    for (auto _ : state) {
        int r = ProbeInstrument(kSilentPort, baudRate);
        if (r != 0) {
            state.SkipWithError("the silent port did not give 0");
            break;
        }
    }
}
BENCHMARK(BM_SearchSilentPort)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_SearchInstrumentPort(benchmark::State &state) {
    for (auto _ : state) {
        int r = ProbeInstrument(kInstrumentPort, baudRate);
        CloseCom(kInstrumentPort);
        if (r != 1) {
            state.SkipWithError("the instrument was not found");
            break;
        }
    }
    comPort = kPort;
}
BENCHMARK(BM_SearchInstrumentPort)->Unit(benchmark::kMillisecond)->Iterations(5);

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
    rd5150::Options silent = options;
    silent.silentAfter = 0;
    rd5150::Simulator mute({}, silent);
    rd5150::Simulator searched(rd5150::DemoRecordings(), options);
    if (!mute.Start(dir.file("COM2")) || !searched.Start(dir.file("COM3"))) {
        std::fprintf(stderr, "simulator: %s%s\n", mute.LastError().c_str(),
                     searched.LastError().c_str());
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
