// The simulator over its pseudo-terminal, driven from here with plain POSIX
// calls as a client would: open the link, raw mode, write requests, read lines.
#include "rd5150-sim/simulator.h"
#include "sim_decode.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace rd5150;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

extern char **environ;

namespace {

// A client end of the link.
class Port {
  public:
    explicit Port(const std::string &path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ < 0) return;
        termios t{};
        ::tcgetattr(fd_, &t);
        ::cfmakeraw(&t);
        ::cfsetspeed(&t, B38400);
        t.c_cflag |= CLOCAL | CREAD;
        ::tcsetattr(fd_, TCSANOW, &t);
        ::tcflush(fd_, TCIOFLUSH);
    }
    ~Port() { Close(); }
    Port(const Port &) = delete;
    Port &operator=(const Port &) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    void Close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    void Write(const std::string &s) {
        std::size_t done = 0;
        while (done < s.size()) {
            const ssize_t w = ::write(fd_, s.data() + done, s.size() - done);
            if (w > 0)
                done += static_cast<std::size_t>(w);
            else if (w < 0 && errno != EAGAIN && errno != EINTR)
                return;
            else
                std::this_thread::sleep_for(1ms);
        }
    }
    // The next line, its LF included; nullopt on time-out (the bytes read
    // so far stay for the next call).
    std::optional<std::string> ReadLine(std::chrono::milliseconds timeout = 3000ms) {
        const auto deadline = Clock::now() + timeout;
        for (;;) {
            const auto lf = buf_.find('\n');
            if (lf != std::string::npos) {
                std::string line = buf_.substr(0, lf + 1);
                buf_.erase(0, lf + 1);
                return line;
            }
            if (!Fill(deadline)) return std::nullopt;
        }
    }
    // Everything that arrives within the time given (after what is buffered).
    std::string ReadFor(std::chrono::milliseconds span) {
        const auto deadline = Clock::now() + span;
        while (Fill(deadline)) {
        }
        std::string all = std::move(buf_);
        buf_.clear();
        return all;
    }
    // Exactly n bytes (or fewer on time-out).
    std::string ReadBytes(std::size_t n, std::chrono::milliseconds timeout = 3000ms) {
        const auto deadline = Clock::now() + timeout;
        while (buf_.size() < n && Fill(deadline)) {
        }
        std::string s = buf_.substr(0, std::min(n, buf_.size()));
        buf_.erase(0, s.size());
        return s;
    }
    std::string Request(const std::string &command) {
        Write(command + "\r\n");
        return ReadLine().value_or("<no reply>");
    }

  private:
    bool Fill(Clock::time_point deadline) {
        const auto now = Clock::now();
        if (now >= deadline) return false;
        pollfd p{fd_, POLLIN, 0};
        const int ms =
            static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count());
        if (::poll(&p, 1, ms) <= 0 || !(p.revents & POLLIN)) return false;
        char tmp[65536];
        const ssize_t n = ::read(fd_, tmp, sizeof tmp);
        if (n <= 0) return n < 0 && errno == EAGAIN;
        buf_.append(tmp, static_cast<std::size_t>(n));
        return true;
    }

    int fd_ = -1;
    std::string buf_;
};

std::string StripEnd(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r'))
        s.pop_back();
    return s;
}

std::vector<Recording> SmallSet() {
    std::vector<Recording> rs;
    for (int i = 1; i <= 3; ++i) {
        Recording r;
        r.number = i;
        r.unitIndex = i;
        r.interval = i * 2;
        for (int k = 0; k < 10 + i; ++k)
            r.values.push_back(100.0 * i + k);
        rs.push_back(r);
    }
    return rs;
}

Options Unpaced() {
    Options o;
    o.paced = false;
    return o;
}

class SimLink : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("rd5150-sim-test-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        link_ = (dir_ / "COM3").string();
    }
    void TearDown() override {
        sim_.Stop();
        std::filesystem::remove_all(dir_);
    }
    void StartWith(std::vector<Recording> rs, Options o = Unpaced()) {
        sim_.SetRecordings(std::move(rs));
        sim_.SetOptions(o);
        ASSERT_TRUE(sim_.Start(link_)) << sim_.LastError();
    }
    // Starts a program with args, the first being its path: 0, or the error
    // of posix_spawn.
    static int Spawn(std::vector<std::string> args, pid_t *pid) {
        std::vector<char *> argv;
        for (auto &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        return ::posix_spawn(pid, argv[0], nullptr, nullptr, argv.data(), environ);
    }
    // Whether the link is there (or gone) within 5 s.
    bool LinkIs(bool present) const {
        const auto deadline = Clock::now() + 5s;
        while (std::filesystem::is_symlink(link_) != present && Clock::now() < deadline)
            std::this_thread::sleep_for(10ms);
        return std::filesystem::is_symlink(link_) == present;
    }
    // Sends SIGTERM to a spawned program, which must end with status 0.
    static void ExpectCleanExitOnSigterm(pid_t pid) {
        ::kill(pid, SIGTERM);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    std::filesystem::path dir_;
    std::string link_;
    Simulator sim_;
};

} // namespace

TEST_F(SimLink, LinksTheDeviceAndAnswersPresence) {
    StartWith(SmallSet());
    EXPECT_TRUE(sim_.IsRunning());
    EXPECT_TRUE(std::filesystem::is_symlink(link_));
    EXPECT_EQ(std::filesystem::read_symlink(link_).string(), sim_.DevicePath());
    EXPECT_EQ(sim_.LinkPath(), link_);
    Port port(link_);
    ASSERT_TRUE(port.IsOpen());
    EXPECT_EQ(port.Request(" "), "*E\n");
}

TEST_F(SimLink, LowerCasePresence) {
    Options o = Unpaced();
    o.lowerCasePresence = true;
    StartWith(SmallSet(), o);
    Port port(link_);
    EXPECT_EQ(port.Request(" "), "*e\n");
}

TEST_F(SimLink, CountThenEveryRecordingThenSilenceAndAgainAfterCount) {
    const auto rs = SmallSet();
    StartWith(rs);
    Port port(link_);
    EXPECT_EQ(port.Request("Md"), "3\n");
    for (const Recording &r : rs) {
        const std::string line = StripEnd(port.Request("Mg"));
        EXPECT_EQ(line, FormatRecordingLine(r));
        const auto d = simtest::Decode(line);
        EXPECT_EQ(d.number, r.number);
        EXPECT_EQ(d.unitIndex, r.unitIndex);
        EXPECT_EQ(d.interval, r.interval);
        ASSERT_EQ(d.values.size(), r.values.size());
        for (std::size_t k = 0; k < r.values.size(); ++k)
            EXPECT_NEAR(d.values[k], r.values[k], r.values[k] * 0.005);
    }
    EXPECT_EQ(sim_.RemainingRecordings(), 0u);
    port.Write("Mg\r\n");
    EXPECT_EQ(port.ReadFor(300ms), "");
    // The instrument keeps its recordings: a new count starts over at the first.
    EXPECT_EQ(port.Request("Md"), "3\n");
    EXPECT_EQ(sim_.RemainingRecordings(), 3u);
    EXPECT_EQ(StripEnd(port.Request("Mg")), FormatRecordingLine(rs[0]));
    EXPECT_EQ(sim_.Requests(),
              (std::vector<std::string>{"Md", "Mg", "Mg", "Mg", "Mg", "Md", "Mg"}));
}

TEST_F(SimLink, DemoSetTransfersWhole) {
    const auto demo = DemoRecordings();
    StartWith(demo);
    Port port(link_);
    EXPECT_EQ(port.Request("Md"), "6\n");
    for (const Recording &r : demo) {
        port.Write("Mg\r\n");
        const auto line = port.ReadLine(10s);
        ASSERT_TRUE(line.has_value());
        const auto d = simtest::Decode(StripEnd(*line));
        EXPECT_EQ(d.number, r.number);
        EXPECT_EQ(d.mode, r.mode);
        ASSERT_EQ(d.values.size(), r.values.size());
        for (std::size_t k = 0; k < r.values.size(); ++k) {
            if (IsMissingSample(r.values[k]))
                EXPECT_EQ(d.values[k], simtest::kUndefined);
            else
                EXPECT_NEAR(d.values[k], r.values[k], std::fabs(r.values[k]) * 0.005);
        }
    }
    for (const std::string &reply : sim_.Replies())
        EXPECT_EQ(reply.find_first_of("\x11\x13"), std::string::npos);
}

TEST_F(SimLink, ClearMemory) {
    StartWith(SmallSet());
    Port port(link_);
    const std::string ack = port.Request("Mc");
    EXPECT_EQ(ack, "OK\n");
    EXPECT_EQ(ack.find("*EX"), std::string::npos);
    EXPECT_EQ(sim_.RemainingRecordings(), 0u);
    EXPECT_EQ(port.Request("Md"), "0\n");
}

TEST_F(SimLink, RefusesCountUpperAndLowerCase) {
    Options o = Unpaced();
    o.refuseMd = 1;
    StartWith(SmallSet(), o);
    Port port(link_);
    EXPECT_EQ(port.Request("Md"), "*EX\n");
    EXPECT_EQ(port.Request("Md"), "3\n");
    EXPECT_EQ(sim_.GetOptions().refuseMd, 0);

    o.refuseMd = 2;
    o.refuseLowerCase = true;
    sim_.SetOptions(o);
    EXPECT_EQ(port.Request("Md"), "*ex\n");
    EXPECT_EQ(port.Request("Md"), "*ex\n");
    EXPECT_EQ(port.Request("Md"), "3\n");
}

TEST_F(SimLink, RefusesClearMemory) {
    Options o = Unpaced();
    o.refuseMc = 1;
    o.refuseLowerCase = true;
    StartWith(SmallSet(), o);
    Port port(link_);
    EXPECT_EQ(port.Request("Mc"), "*ex\n");
    EXPECT_EQ(sim_.RemainingRecordings(), 3u);
    EXPECT_EQ(port.Request("Mc"), "OK\n");
    EXPECT_EQ(sim_.RemainingRecordings(), 0u);
}

TEST_F(SimLink, ShortLinesInAnswersToGet) {
    const auto rs = SmallSet();
    Options o = Unpaced();
    o.shortLines = {{0, 25, 5, false}, {1, 30, 1, false}, {2, 30, 1, true}};
    StartWith(rs, o);
    Port port(link_);
    port.Write("Mg\r\n"); // five 25-character lines, nothing else
    for (int i = 0; i < 5; ++i) {
        const auto line = port.ReadLine();
        ASSERT_TRUE(line.has_value());
        EXPECT_EQ(line->size(), 26u);
    }
    EXPECT_EQ(port.ReadFor(200ms), "");
    EXPECT_EQ(StripEnd(port.Request("Mg")).size(), 30u); // a line to skip
    EXPECT_EQ(sim_.RemainingRecordings(), 3u);
    port.Write("Mg\r\n"); // a 30-character line, then the first recording
    EXPECT_EQ(StripEnd(port.ReadLine().value_or("")).size(), 30u);
    EXPECT_EQ(StripEnd(port.ReadLine().value_or("")), FormatRecordingLine(rs[0]));
    EXPECT_EQ(StripEnd(port.Request("Mg")), FormatRecordingLine(rs[1]));
}

TEST_F(SimLink, SilentAfterSomeRequests) {
    Options o = Unpaced();
    o.silentAfter = 2;
    StartWith(SmallSet(), o);
    Port port(link_);
    EXPECT_EQ(port.Request(" "), "*E\n");
    EXPECT_EQ(port.Request("Md"), "3\n");
    port.Write("Mg\r\n");
    EXPECT_EQ(port.ReadFor(300ms), "");
    EXPECT_EQ(sim_.RemainingRecordings(), 3u);
    EXPECT_EQ(sim_.RequestCount(), 3u);
    sim_.SetOptions(Unpaced()); // counters restart: answers again
    EXPECT_EQ(port.Request("Md"), "3\n");
}

TEST_F(SimLink, RecordingCutOffBeforeItsLineEnd) {
    const auto rs = SmallSet();
    Options o = Unpaced();
    o.cutAtMg = 0;
    o.cutAfterChars = 40;
    StartWith(rs, o);
    Port port(link_);
    port.Write("Mg\r\n");
    EXPECT_EQ(port.ReadFor(300ms), FormatRecordingLine(rs[0]).substr(0, 40));
    EXPECT_EQ(sim_.RemainingRecordings(), 2u);
    EXPECT_EQ(StripEnd(port.Request("Mg")), FormatRecordingLine(rs[1]));
}

TEST_F(SimLink, StrayBytesBeforeReplies) {
    Options o = Unpaced();
    o.strayBytes = std::string("\0\xff\x11#\x13", 5);
    o.strayCount = 1;
    StartWith(SmallSet(), o);
    Port port(link_);
    EXPECT_EQ(port.Request(" "), std::string("\0\xff#*E\n", 6));
    EXPECT_EQ(port.Request(" "), "*E\n");
}

TEST_F(SimLink, CrLfLineEnds) {
    Options o = Unpaced();
    o.crlf = true;
    const auto rs = SmallSet();
    StartWith(rs, o);
    Port port(link_);
    EXPECT_EQ(port.Request(" "), "*E\r\n");
    EXPECT_EQ(port.Request("Md"), "3\r\n");
    EXPECT_EQ(port.Request("Mg"), FormatRecordingLine(rs[0]) + "\r\n");
}

TEST_F(SimLink, RequestsWithBareLineFeedAndUnknownCommands) {
    StartWith(SmallSet());
    Port port(link_);
    port.Write("Md\n");
    EXPECT_EQ(port.ReadLine().value_or(""), "3\n");
    EXPECT_EQ(port.Request("Zz"), "*E\n");
    EXPECT_EQ(sim_.Requests(), (std::vector<std::string>{"Md", "Zz"}));
    EXPECT_TRUE(sim_.WaitForRequests(2, 10ms));
    EXPECT_FALSE(sim_.WaitForRequests(3, 10ms));
    sim_.ClearRequests();
    EXPECT_EQ(sim_.RequestCount(), 0u);
}

TEST_F(SimLink, XoffHoldsTheReplyUntilXon) {
    StartWith(SmallSet());
    Port port(link_);
    port.Write("\x13Md\r\n");
    ASSERT_TRUE(sim_.WaitForRequests(1, 2000ms));
    EXPECT_EQ(port.ReadFor(200ms), "");
    port.Write("\x11");
    EXPECT_EQ(port.ReadLine().value_or(""), "3\n");
    EXPECT_EQ(sim_.Requests(), std::vector<std::string>{"Md"});
}

TEST_F(SimLink, ServesAgainAfterTheClientClosesAndReopens) {
    StartWith(DemoRecordings());
    {
        Port port(link_);
        EXPECT_EQ(port.Request(" "), "*E\n");
    }
    {
        Port port(link_);
        ASSERT_TRUE(port.IsOpen());
        EXPECT_EQ(port.Request("Md"), "6\n");
        for (int i = 0; i < 5; ++i) // up to the long one, then close during it
            ASSERT_TRUE(port.Request("Mg").size() > 35);
        sim_.SetOptions(Options{}); // paced: the long line takes about 17 s
        port.Write("Mg\r\n");
        EXPECT_FALSE(port.ReadBytes(200, 2000ms).empty());
    }
    std::this_thread::sleep_for(100ms);
    sim_.SetOptions(Unpaced());
    for (int round = 0; round < 3; ++round) {
        Port port(link_);
        ASSERT_TRUE(port.IsOpen());
        port.ReadFor(100ms); // anything left in the device from before
        EXPECT_EQ(port.Request(" "), "*E\n");
        EXPECT_EQ(port.Request("Md"), "6\n");
    }
}

TEST_F(SimLink, RecordingsAndOptionsChangeWhileRunning) {
    StartWith({});
    Port port(link_);
    EXPECT_EQ(port.Request("Md"), "0\n");
    sim_.SetRecordings(SmallSet());
    EXPECT_EQ(port.Request("Md"), "3\n");
    EXPECT_EQ(sim_.Recordings().size(), 3u);
    Options o = Unpaced();
    o.lowerCasePresence = true;
    sim_.SetOptions(o);
    EXPECT_EQ(port.Request(" "), "*e\n");
}

TEST_F(SimLink, PacedOutputIsNotFasterThanTheWire) {
    Recording r;
    r.values.assign(120, 42.0); // 22 + 960 + LF = 983 bytes
    Options o;
    o.paced = true;
    o.baud = 19200;
    StartWith({r}, o);
    Port port(link_);
    const auto start = Clock::now();
    port.Write("Mg\r\n");
    const auto line = port.ReadLine(10s);
    const auto elapsed = Clock::now() - start;
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(line->size(), 983u);
    const auto wire = std::chrono::microseconds(983LL * 10 * 1'000'000 / 19200); // about 0.51 s
    EXPECT_GE(elapsed, wire / 2); // only a lower bound: a slow machine is fine
}

TEST_F(SimLink, ReplyDelay) {
    Options o = Unpaced();
    o.replyDelay = 100ms;
    StartWith(SmallSet(), o);
    Port port(link_);
    const auto start = Clock::now();
    EXPECT_EQ(port.Request("Md"), "3\n");
    EXPECT_GE(Clock::now() - start, 90ms);
}

TEST_F(SimLink, StopRemovesTheLinkAndStartReplacesAStaleOne) {
    std::filesystem::create_symlink("/nonexistent/pts", link_);
    StartWith(SmallSet());
    EXPECT_EQ(std::filesystem::read_symlink(link_).string(), sim_.DevicePath());
    EXPECT_TRUE(sim_.WaitUntilSent(1000ms));
    sim_.Stop();
    EXPECT_FALSE(sim_.IsRunning());
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link_)));
    // Can be started again.
    ASSERT_TRUE(sim_.Start(link_)) << sim_.LastError();
    Port port(link_);
    EXPECT_EQ(port.Request(" "), "*E\n");
}

TEST_F(SimLink, StartRefusesToReplaceARegularFile) {
    std::ofstream(link_) << "not a link";
    EXPECT_FALSE(sim_.Start(link_));
    EXPECT_FALSE(sim_.LastError().empty());
    EXPECT_TRUE(std::filesystem::is_regular_file(link_));
}

#ifdef VELORINDER_PROGRAM_DIR
namespace {
std::string SimProgram() {
    return std::string(VELORINDER_PROGRAM_DIR) + "/rd5150-sim";
}
} // namespace

TEST_F(SimLink, ProgramLinksServesAndRemovesTheLinkOnSigterm) {
    const std::string program = SimProgram();
    if (!std::filesystem::exists(program)) GTEST_SKIP() << program << " not built";
    const std::string file = (dir_ / "recs.txt").string();
    std::ofstream(file) << "recording number=7 unit=4\n1 2 3 4 5\n";
    std::vector<std::string> args = {program, "--link", link_, "--recordings", file, "--unpaced"};
    pid_t pid = 0;
    ASSERT_EQ(Spawn(args, &pid), 0);
    ASSERT_TRUE(LinkIs(true));
    {
        Port port(link_);
        EXPECT_EQ(port.Request(" "), "*E\n");
        EXPECT_EQ(port.Request("Md"), "1\n");
        EXPECT_EQ(simtest::Decode(StripEnd(port.Request("Mg"))).number, 7);
    }
    ASSERT_NO_FATAL_FAILURE(ExpectCleanExitOnSigterm(pid));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link_)));
}

// The help sends the link where the installed program looks for its ports.
TEST(SimHelp, NamesTheConfigurationFolderAsThePlaceOfTheLink) {
    const std::string program = SimProgram();
    if (!std::filesystem::exists(program)) GTEST_SKIP() << program << " not built";
    std::FILE *pipe = ::popen(("'" + program + "' --help").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string help;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        help.append(buffer, n);
    ASSERT_EQ(::pclose(pipe), 0);
    EXPECT_NE(help.find("~/.config/velorinder/COM1"), std::string::npos) << help;
    EXPECT_EQ(help.find("<program dir>"), std::string::npos) << help;
}

TEST_F(SimLink, ProgramVanishesAfterItsBytesAndComesBackOnSignals) {
    const std::string program = SimProgram();
    if (!std::filesystem::exists(program)) GTEST_SKIP() << program << " not built";
    // Gone once the presence reply has gone out, back on SIGUSR1.
    std::vector<std::string> args = {program, "--link", link_, "--unpaced", "--vanish-after", "3"};
    pid_t pid = 0;
    ASSERT_EQ(Spawn(args, &pid), 0);
    ASSERT_TRUE(LinkIs(true));
    {
        Port port(link_);
        EXPECT_EQ(port.Request(" "), "*E\n");
        port.Write("Md\r\n"); // the device goes at this request, unanswered
        EXPECT_EQ(port.ReadFor(500ms), "");
        EXPECT_TRUE(LinkIs(false));
    }
    ::kill(pid, SIGUSR1);
    ASSERT_TRUE(LinkIs(true));
    {
        Port port(link_);
        EXPECT_EQ(port.Request("Md"), "6\n") << "the demo recordings";
    }
    ::kill(pid, SIGUSR2);
    EXPECT_TRUE(LinkIs(false));
    ExpectCleanExitOnSigterm(pid);
}
TEST_F(SimLink, ProgramHoldsOneLongRecordingAndForgetsItsXoffOnHangup) {
    const std::string program = SimProgram();
    if (!std::filesystem::exists(program)) GTEST_SKIP() << program << " not built";
    std::vector<std::string> args = {program,  "--link", link_,         "--unpaced",
                                     "--long", "20",     "--hold-xoff", "3"};
    pid_t pid = 0;
    ASSERT_EQ(Spawn(args, &pid), 0);
    ASSERT_TRUE(LinkIs(true));
    {
        Port port(link_);
        EXPECT_EQ(port.Request(" "), "*E\n");
        EXPECT_EQ(port.ReadFor(300ms), "\x13") << "XOFF, held";
        ::kill(pid, SIGHUP);
        EXPECT_EQ(port.ReadFor(500ms), "") << "forgotten without XON";
        EXPECT_EQ(port.Request("Md"), "1\n");
        const std::string line = port.Request("Mg");
        EXPECT_EQ(line.substr(0, 5), "0001;");
        EXPECT_EQ(line.size(), 22u + 20u * 8u + 1u) << line;
    }
    ExpectCleanExitOnSigterm(pid);
}
#endif
