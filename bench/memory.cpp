// Resident memory of the program: at each step from an empty process to nine
// windows of 65,000 samples, with what the heap holds in use next to it, so
// that memory held by the allocator but free shows apart from live data.
#include "windows/graph_fixture.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <malloc.h>
#include <map>
#include <sstream>
#include <string>
#include <vector>

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
    // Panels discarded go with deleteLater, which the program's event loop
    // carries out and processEvents alone, outside one, does not.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    // Then idle for a moment, as the program is between the user's actions.
    QEventLoop idle;
    QTimer::singleShot(50, &idle, &QEventLoop::quit);
    idle.exec();
}

// The mappings that hold the most resident memory, by file (or kind).
void ReportLargestMappings(int shown) {
    std::ifstream smaps("/proc/self/smaps");
    std::map<std::string, long> kb;
    std::string line, name;
    while (std::getline(smaps, line)) {
        if (!line.empty() && std::isxdigit(static_cast<unsigned char>(line[0])) &&
            line.find('-') < line.find(' ')) {
            // "start-end perms offset dev inode   path"
            std::istringstream fields(line);
            std::string range, perms, offset, dev, inode;
            fields >> range >> perms >> offset >> dev >> inode;
            std::getline(fields, name);
            name.erase(0, name.find_first_not_of(' '));
            if (name.empty()) name = "[anonymous]";
        } else if (line.rfind("Rss:", 0) == 0) {
            kb[name] += std::stol(line.substr(4));
        }
    }
    std::vector<std::pair<long, std::string>> largest;
    for (const auto &[path, size] : kb)
        largest.push_back({size, path});
    std::sort(largest.rbegin(), largest.rend());
    for (int i = 0; i < shown && i < static_cast<int>(largest.size()); ++i)
        std::printf("    %7.1f MB  %s\n", largest[i].first / 1024.0, largest[i].second.c_str());
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
        ReportLargestMappings(14);
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
        ReportLargestMappings(6);
    }
    Settle();
    Report("all closed");
    return 0;
}
