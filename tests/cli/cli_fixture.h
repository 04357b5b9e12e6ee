// velorinder-cli run as a user runs it: the built program in a program
// directory of its own (its settings file and COMn links there), its outputs
// read back by Python's csv module and openpyxl, poppler and Qt.
#pragma once

#include "cli/cli.h"
#include "rd5150-sim/simulator.h"
#include "support/app_fixture.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace clitest {

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

// English, COM1 at 38400 bauds, default colours.
inline std::string SettingsText(int language = 1, int port = 1) {
    return "1\n" + std::to_string(port) +
           " 38400\n16711680\n12632256\n128\n65280\n16776960\n0\n0\n\n" + std::to_string(language) +
           "\n25\n5\n500\n800\n0\n***\n";
}

inline std::string Quote(const std::string &s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

using testsupport::Lines;

struct Outcome {
    int status;      // the exit status, or 128 + the signal that ended it
    std::string out; // standard output
    std::string err; // standard error
};

inline int StatusOf(int raw) {
    if (WIFEXITED(raw)) return WEXITSTATUS(raw);
    if (WIFSIGNALED(raw)) return 128 + WTERMSIG(raw);
    return -1;
}

// The program's folder as a user has it: the program, its resource file and
// template, and the settings file, in a temporary directory; COM2..COM22 name
// no device, so that the machine's own serial ports take no part.
class ProgramCopy {
  public:
    ProgramCopy() {
        for (const char *name : {"velorinder-cli", "VELORPNL.UIR", "velorind.xl"})
            fs::copy_file(fs::path(VELORINDER_PROGRAM_DIR) / name, fs::path(dir.path()) / name);
        WriteFile(dir.file("Velorcfg.ini"), SettingsText());
        for (int n = 1; n <= 22; ++n)
            Shadow(n);
    }
    std::string Program() const { return dir.file("velorinder-cli"); }
    std::string ComPath(int n) const { return dir.file("COM" + std::to_string(n)); }
    // Port n names nothing.
    void Shadow(int n) const {
        fs::remove(ComPath(n));
        fs::create_symlink(dir.file("absent-tty" + std::to_string(n)), ComPath(n));
    }
    // The command line to run the program with these arguments.
    std::string Command(const std::string &args) const { return Quote(Program()) + " " + args; }
    TempDir dir;
};

// Runs a command line in the shell; standard input from /dev/null.
inline Outcome Shell(const TempDir &scratch, const std::string &command) {
    const std::string out = scratch.file("stdout.txt"), err = scratch.file("stderr.txt");
    std::string line = command + " </dev/null >" + Quote(out) + " 2>" + Quote(err);
    int raw = std::system(line.c_str());
    return {StatusOf(raw), ReadFile(out), ReadFile(err)};
}

// A program started in the background, its outputs going to files.
class Background {
  public:
    Background(const std::vector<std::string> &argv, const std::string &out, const std::string &err)
        : out_(out), err_(err) {
        // Everything the child needs is made before fork: the test runs threads.
        std::vector<char *> args;
        for (const std::string &a : argv)
            args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        int in = open("/dev/null", O_RDONLY);
        int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in, 0);
            dup2(o, 1);
            dup2(e, 2);
            execv(args[0], args.data());
            _exit(127);
        }
        close(in);
        close(o);
        close(e);
    }
    ~Background() {
        if (pid_ > 0 && !waited_) {
            kill(pid_, SIGKILL);
            Wait();
        }
    }
    pid_t Pid() const { return pid_; }
    void Signal(int signal) const { kill(pid_, signal); }
    // Waits until the file of standard error (or output) holds text; false on time-out.
    bool WaitForText(const std::string &text, std::chrono::seconds timeout, bool inOutput = false) {
        auto end = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < end) {
            if (ReadFile(inOutput ? out_ : err_).find(text) != std::string::npos) return true;
            if (Exited()) return ReadFile(inOutput ? out_ : err_).find(text) != std::string::npos;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    bool Exited() {
        if (waited_) return true;
        int raw = 0;
        if (waitpid(pid_, &raw, WNOHANG) == pid_) {
            waited_ = true;
            status_ = StatusOf(raw);
        }
        return waited_;
    }
    // The exit status; -1 when it has not ended within the time-out.
    int Wait(std::chrono::seconds timeout = std::chrono::seconds(60)) {
        auto end = std::chrono::steady_clock::now() + timeout;
        while (!Exited() && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return waited_ ? status_ : -1;
    }
    std::string Out() const { return ReadFile(out_); }
    std::string Err() const { return ReadFile(err_); }

  private:
    std::string out_, err_;
    pid_t pid_ = -1;
    bool waited_ = false;
    int status_ = -1;
};

// Runs a program with its standard error on a pseudo-terminal, as in a
// terminal window: err is what the terminal received.
inline Outcome RunOnTerminal(const std::vector<std::string> &argv, const std::string &outFile) {
    std::vector<char *> args;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    int master = -1, slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return {-1, "", "no pty"};
    int in = open("/dev/null", O_RDONLY);
    int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(in, 0);
        dup2(out, 1);
        dup2(slave, 2);
        close(master);
        execv(args[0], args.data());
        _exit(127);
    }
    close(in);
    close(out);
    close(slave);
    std::string text;
    char buffer[4096];
    for (;;) {
        ssize_t n = read(master, buffer, sizeof buffer);
        if (n > 0) {
            text.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        break; // EIO once the program and its terminal are gone
    }
    close(master);
    int raw = 0;
    waitpid(pid, &raw, 0);
    return {StatusOf(raw), ReadFile(outFile), text};
}

// Standard output of a Python program run with /usr/bin/python3 (which has
// openpyxl), its arguments quoted; fails the test when Python does.
inline std::string Python(const TempDir &scratch, const std::string &program,
                          const std::vector<std::string> &args) {
    WriteFile(scratch.file("check.py"), program);
    std::string command = "/usr/bin/python3 " + Quote(scratch.file("check.py"));
    for (const std::string &a : args)
        command += " " + Quote(a);
    Outcome o = Shell(scratch, command);
    EXPECT_EQ(o.status, 0) << "python: " << o.err;
    return o.out;
}

// The rows of a csv file as Python's csv module reads them, fields joined by "|".
inline std::vector<std::string> CsvRows(const TempDir &scratch, const std::string &csv) {
    return Lines(Python(scratch,
                        "import csv, sys\n"
                        "with open(sys.argv[1], newline='') as f:\n"
                        "    for row in csv.reader(f):\n"
                        "        print('|'.join(row))\n",
                        {csv}));
}

// A transfer file of a recording as the instrument sends it.
inline std::string TransferText(const std::string &name, const std::string &line) {
    return name + "\n05/31/2024 14:07\n" + line + "\n";
}

} // namespace clitest
