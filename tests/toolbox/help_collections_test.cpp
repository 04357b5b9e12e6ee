// The help viewer's collections left behind by runs that were killed.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The id of a process that has ended (and been reaped).
pid_t DeadPid() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

} // namespace

TEST(HelpCollections, OnlyThoseOfEndedProcessesAreRemoved) {
    const fs::path dir =
        fs::temp_directory_path() / ("help-collections-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string dead = std::to_string(DeadPid());
    const std::string live = std::to_string(::getpid());

    const fs::path staleDir = dir / ("velorinder-help-" + dead + "-AbC123");
    const fs::path staleFile = dir / ("velorinder-help-" + dead + "-XyZ789.qhc");
    const fs::path liveDir = dir / ("velorinder-help-" + live + "-DeF456");
    const fs::path unnamed = dir / "velorinder-help-QwErTy";
    const fs::path other = dir / "Velorinder.hlp";
    fs::create_directories(staleDir / "inner");
    std::ofstream(staleDir / "inner" / "help1.qhc") << "x";
    std::ofstream(staleFile) << "x";
    fs::create_directories(liveDir);
    std::ofstream(liveDir / "help1.qhc") << "x";
    fs::create_directories(unnamed);
    std::ofstream(other) << "x";

    EXPECT_TRUE(RemoveStaleHelpCollections(dir.string()));
    EXPECT_FALSE(fs::exists(staleDir));
    EXPECT_FALSE(fs::exists(staleFile));
    EXPECT_TRUE(fs::exists(liveDir / "help1.qhc")) << "a live run's collection stays";
    EXPECT_TRUE(fs::exists(unnamed)) << "a name without a process id is left alone";
    EXPECT_TRUE(fs::exists(other));
    fs::remove_all(dir);
}
