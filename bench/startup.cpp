// Start-up to the main window shown, without the splash panel's fixed pause.
#include "link/link.h"
#include "platform/platform.h"
#include "shell/shell.h"
#include "support/app_fixture.h"

#include <benchmark/benchmark.h>
#include <chrono>

namespace {

void BM_StartUpToMainWindow(benchmark::State &state) {
    testsupport::EnsureApplication();
    testsupport::TempDir dir;
    SetProjectDirForTesting(dir.path());
    testsupport::CopyFromProgramDir("VELORPNL.UIR", dir.path());
    testsupport::CopyFromProgramDir("toolbar", dir.path());
    SetPopupScriptMode(true);
    for (auto _ : state) {
        // The first start writes the settings file; later ones read it.
        ScriptPopup({"", 1, ""});
        auto begin = std::chrono::steady_clock::now();
        StartUp();
        auto end = std::chrono::steady_clock::now();
        // The splash panel stays up a fixed 1.5 s, which is not ours to speed up.
        state.SetIterationTime(std::chrono::duration<double>(end - begin).count() - 1.5);
        state.PauseTiming();
        RemovePopup(1);
        if (communicationPanel > 0) DiscardPanel(communicationPanel);
        communicationPanel = 0;
        ShutDown();
        while (ScriptedPopupsLeft() > 0) // the settings error came only the first time
            SetPopupScriptMode(true);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartUpToMainWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

BENCHMARK_MAIN();
