// The built program as a process of its own, in a program folder of its own,
// answered by the driver that Qt loads into it: files named on the command
// line, the exit question over unsaved work, and the work of a run killed
// outright brought back by the next start.
#include "files/files.h"
#include "session/session.h"
#include "support/app_fixture.h"
#include "support/process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

const char *const SETTINGS = "1\n1 38400\n16711680\n12632256\n128\n65280\n16776960\n0\n0\n"
                             "\n1\n25\n5\n650\n1000\n0\n***\n";
constexpr auto kLimit = std::chrono::minutes(2);

using Log = std::vector<std::vector<std::string>>;

class ProgramProcess : public ::testing::Test {
  protected:
    void SetUp() override {
        // A portable program folder: the executable (linked, not copied, when
        // it can be) beside its resources, where it keeps everything it writes.
        std::error_code ec;
        fs::create_hard_link(ProgramDir() + "/velorinder", program.file("velorinder"), ec);
        if (ec) fs::copy_file(ProgramDir() + "/velorinder", program.file("velorinder"));
        CopyFromProgramDir("VELORPNL.UIR", program.path());
        CopyFromProgramDir("toolbar", program.path());
        WriteFile(program.file("Velorcfg.ini"), SETTINGS);
        fs::create_directories(work.file("in"));
        WriteRecording(work.file("in/shaft.vlr"), "shaft.vlr");
        WriteFile(work.file("fan.mon"),
                  "fan.mon\n03/07/2024 09:05\n"
                  "0012;1;1;001.00;00010;1.50E+2;2.50E-1;3.00E+1;4.25E+0;5.00E+3;6.00E-2;\n");
    }

    static void WriteRecording(const std::string &path, const std::string &name) {
        RecordingFile f;
        f.name = name;
        for (int k = 0; k < 30; ++k) {
            f.time.push_back(2.0 * k);
            f.value.push_back(100.0 + 3.0 * k);
        }
        WriteFile(path, FormatRecordingFile(f));
    }

    std::string RecoveryFolder() const { return program.path() + "/recovery"; }

    // Starts the program from the work folder with the driver's script.
    pid_t Start(std::vector<std::string> args, const std::vector<std::string> &steps) {
        std::string script;
        for (const auto &s : steps)
            script += s + "\n";
        WriteFile(logs.file("script"), script);
        fs::remove(logs.file("log"));
        std::map<std::string, std::string> env = CurrentEnvironment();
        env["HOME"] = home.path();
        env["XDG_CONFIG_HOME"] = home.file("cfg");
        env["XDG_STATE_HOME"] = home.file("state");
        env["QT_QPA_PLATFORM"] = "offscreen";
        env["QT_QPA_GENERIC_PLUGINS"] = "velorinderdriver";
        env["QT_PLUGIN_PATH"] = VELORINDER_DRIVER_PLUGINS;
        env["VELORINDER_DRIVER_SCRIPT"] = logs.file("script");
        env["VELORINDER_DRIVER_LOG"] = logs.file("log");
        return StartProcess(program.file("velorinder"), std::move(args), env, work.path());
    }

    Log ReadLog() const { return DriverLogEntries(ReadFile(logs.file("log"))); }
    long Done() const {
        Log log = ReadLog();
        return std::count_if(log.begin(), log.end(), [](const auto &e) { return e[0] == "done"; });
    }

    // Waits for the program to end; gives its status (-1: killed for taking too long).
    int WaitEnd(pid_t pid) {
        int status = -1;
        if (!WaitForExit(pid, kLimit, &status)) {
            ADD_FAILURE() << "the program did not end\n" << ReadFile(logs.file("log"));
            return -1;
        }
        return status;
    }

    template <class Ready> bool WaitFor(Ready ready) {
        const auto deadline = std::chrono::steady_clock::now() + kLimit;
        while (!ready()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return true;
    }

    // The windows each "windows" step saw: title -> "modified" or "saved".
    static std::vector<std::map<std::string, std::string>> Windows(const Log &log) {
        std::vector<std::map<std::string, std::string>> seen;
        bool inStep = false;
        for (const auto &e : log) {
            if (e[0] == "window") {
                if (!inStep) seen.emplace_back();
                inStep = true;
                seen.back()[e[1]] = e.size() > 2 ? e[2] : "";
            } else
                inStep = false;
        }
        return seen;
    }

    TempDir program, work, home, logs;
};

TEST_F(ProgramProcess, KilledRunComesBackAtTheNextStart) {
    // Two files by name, one relative to where the program starts, and one
    // that is not there: its error, and the other two still open.
    const pid_t first = Start({"fan.mon", work.file("gone.vlr"), work.file("in/shaft.vlr")},
                              {"click\tError\tOK", "windows", "menu\t32", "click\tVELORINDER\tOK",
                               "wait\t300", "windows", "wait\t600000"});
    ASSERT_TRUE(WaitFor([&] { return Done() >= 6 || kill(first, 0) != 0; }))
        << ReadFile(logs.file("log"));
    const std::string session =
        RecoveryFolder() + "/run-" + std::to_string(static_cast<int>(first)) + ".vls";
    // Written a few seconds after the change, with the derived display in it.
    ASSERT_TRUE(WaitFor([&] {
        Session s;
        std::string why;
        return ParseSession(ReadFile(session), &s, &why) && s.windows.size() == 3;
    })) << ReadFile(logs.file("log"));
    kill(first, SIGKILL);
    int status = 0;
    waitpid(first, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));

    const auto before = Windows(ReadLog());
    ASSERT_EQ(before.size(), 2u) << ReadFile(logs.file("log"));
    EXPECT_EQ(before[0].size(), 2u) << "two files named, two windows";
    for (const auto &[title, state] : before[0])
        EXPECT_EQ(state, "saved") << title;
    ASSERT_EQ(before[1].size(), 3u);
    int modified = 0;
    for (const auto &[title, state] : before[1])
        modified += state == "modified";
    EXPECT_EQ(modified, 1) << "only the position display is new work";

    // The next start offers the work back; Discard at the exit leaves
    // nothing behind.
    const pid_t second =
        Start({}, {"click\tRecovery\tYes", "click\tparameters of communication\tQuit", "windows",
                   "menu\t9", "click\tQuit\tDiscard"});
    status = WaitEnd(second);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadFile(logs.file("log"));
    const auto after = Windows(ReadLog());
    ASSERT_EQ(after.size(), 1u) << ReadFile(logs.file("log"));
    std::set<std::string> titlesBefore, titlesAfter;
    for (const auto &[title, state] : before[1])
        titlesBefore.insert(title);
    for (const auto &[title, state] : after[0]) {
        titlesAfter.insert(title);
        EXPECT_EQ(state, "modified") << title << ": never saved since";
    }
    EXPECT_EQ(titlesAfter, titlesBefore);
    EXPECT_FALSE(fs::exists(session));
    EXPECT_FALSE(fs::exists(RecoveryFolder())) << "a clean exit leaves no recovery";
}

TEST_F(ProgramProcess, ExitOverUnsavedWorkCancelKeepsItSaveWritesTheSession) {
    const std::string saved = work.file("screen.vls");
    const pid_t pid =
        Start({"in/shaft.vlr"},
              {"menu\t32", "click\tVELORINDER\tOK", "menu\t9", "click\tQuit\tCancel", "wait\t200",
               "windows", "menu\t9", "click\tQuit\tSave session", "file\tSave session\t" + saved});
    const int status = WaitEnd(pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadFile(logs.file("log"));
    EXPECT_EQ(Done(), 9) << ReadFile(logs.file("log"));
    const auto seen = Windows(ReadLog());
    ASSERT_EQ(seen.size(), 1u) << "still running after Cancel";
    EXPECT_EQ(seen[0].size(), 2u);
    Session s;
    std::string why;
    ASSERT_TRUE(ParseSession(ReadFile(saved), &s, &why)) << why;
    EXPECT_EQ(s.windows.size(), 2u);
    EXPECT_FALSE(fs::exists(RecoveryFolder()));
}

} // namespace
