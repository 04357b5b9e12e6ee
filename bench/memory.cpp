// Resident memory of the program: at each step from an empty process to nine
// windows of 65,000 samples, with what the heap holds in use next to it, so
// that memory held by the allocator but free shows apart from live data.
#include "windows/graph_fixture.h"

#include <QApplication>
#include <cstdio>
#include <fstream>
#include <malloc.h>
#include <string>

namespace {

// A field of /proc/self/smaps_rollup in MB ("Rss", "Anonymous").
double RollupMb(const std::string &field) {
    std::ifstream rollup("/proc/self/smaps_rollup");
    std::string line;
    while (std::getline(rollup, line))
        if (line.rfind(field + ":", 0) == 0)
            return std::stol(line.substr(field.size() + 1)) / 1024.0;
    return -1;
}

void Settle() {
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

void Report(const char *step) {
    const struct mallinfo2 heap = mallinfo2();
    const double rss = RollupMb("Rss"), anonymous = RollupMb("Anonymous");
    std::printf("%-32s resident %6.1f MB (files %5.1f, anonymous %5.1f)   heap in use %5.1f MB, "
                "free %5.1f MB\n",
                step, rss, rss - anonymous, anonymous, (heap.uordblks + heap.hblkhd) / 1048576.0,
                heap.fordblks / 1048576.0);
}

} // namespace

int main() {
    Report("process");
    testsupport::EnsureApplication();
    Report("application");
    {
        testsupport::MainWindowForTesting program(700, 1100);
        Settle();
        Report("idle: main window shown");
        for (int i = 0; i < MAX_WINDOWS; ++i) {
            std::string title = "recording ";
            title += static_cast<char>('1' + i);
            testsupport::OpenRecording(title, testsupport::RunUpCurve(MAX_SAMPLES));
            Settle();
            if (i == 0) Report("one window of 65,000 samples");
        }
        Report("nine windows of 65,000 samples");
        Gestion_fenetre(menuBar, MENU_TILE, nullptr, mainPanel);
        Settle();
        Report("nine windows, tiled again");
    }
    Settle();
    Report("all closed");
    return 0;
}
