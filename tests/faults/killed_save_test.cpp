// A save killed at a random moment: a child process saves a large recording
// file over an existing one and is given SIGKILL during the save, many times.
// Each time the file holds exactly the old bytes or the new ones, and the
// temporaries of cut saves do not pile up.
#include "files/files.h"
#include "platform/replace.h"
#include "support/app_fixture.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace testsupport;

namespace {

// A recording file of the largest size a window holds.
std::string LargeRecording(double level) {
    RecordingFile f;
    f.name = "RUN.VLR";
    f.interval = 1;
    for (int k = 0; k < 65000; ++k) {
        f.time.push_back(k);
        f.value.push_back(level + (k % 1000) * 0.125);
    }
    return FormatRecordingFile(f);
}

int EntriesIn(const std::string &dir) {
    int n = 0;
    for ([[maybe_unused]] const auto &e : fs::directory_iterator(dir))
        ++n;
    return n;
}

// Unnamed temporary files (the usual case) or named ones (file systems without them).
class KilledSave : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override { UseUnnamedFilesForTesting(GetParam()); }
    void TearDown() override { UseUnnamedFilesForTesting(true); }
    TempDir dir;
};

TEST_P(KilledSave, LeavesTheOldFileOrTheNewOneWhole) {
    const std::string path = dir.file("run.vlr");
    const std::string texts[2] = {LargeRecording(1000), LargeRecording(2000)};
    ASSERT_NE(texts[0], texts[1]);
    ASSERT_TRUE(ReplaceFileContents(path, texts[1]));
    // How long one save takes here sets where the kills fall.
    auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(ReplaceFileContents(path, texts[0]));
    double bound =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count() *
        1.5;
    int current = 0, kept = 0, replaced = 0, leftovers = 0;
    std::mt19937 random{std::random_device{}()};
    for (int round = 0; round < 200; ++round) {
        const int next = 1 - current;
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(ready[0]);
            char c = 'x';
            if (write(ready[1], &c, 1) != 1) _exit(2);
            _exit(ReplaceFileContents(path, texts[next]) ? 0 : 1);
        }
        close(ready[1]);
        char c = 0;
        ASSERT_EQ(read(ready[0], &c, 1), 1);
        close(ready[0]);
        std::uniform_real_distribution<double> delay(0.0, bound);
        std::this_thread::sleep_for(std::chrono::duration<double, std::micro>(delay(random)));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        if (WIFEXITED(status)) {
            ASSERT_EQ(WEXITSTATUS(status), 0) << "a finished save succeeded";
        }

        const std::string now = ReadFile(path);
        ASSERT_TRUE(now == texts[current] || now == texts[next])
            << "round " << round << ": " << now.size() << " bytes, neither the old file ("
            << texts[current].size() << ") nor the new one (" << texts[next].size() << ")";
        // The kills keep falling around the end of the save, where it matters.
        if (now == texts[next]) {
            current = next;
            ++replaced;
            bound /= 1.1;
        } else {
            ++kept;
            bound *= 1.1;
        }
        leftovers = std::max(leftovers, EntriesIn(dir.path()) - 1);
        ASSERT_LE(EntriesIn(dir.path()), 2) << "round " << round << ": temporaries pile up";
    }
    RecordProperty("kept", kept);
    RecordProperty("replaced", replaced);
    RecordProperty("leftovers", leftovers);
    EXPECT_GT(kept, 0) << "no kill fell before the save's end";
    EXPECT_GT(replaced, 0) << "no save finished";

    // The next save of the file leaves it alone in its folder.
    ASSERT_TRUE(ReplaceFileContents(path, texts[0]));
    EXPECT_EQ(EntriesIn(dir.path()), 1);
}

INSTANTIATE_TEST_SUITE_P(, KilledSave, ::testing::Bool(), [](const auto &info) {
    return info.param ? "UnnamedTemporary" : "NamedTemporary";
});

} // namespace
