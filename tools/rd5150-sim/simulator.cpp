// The RD5150 simulator: a pseudo-terminal served by one background thread.
//
// The thread polls the master side of the pseudo-terminal and a wake-up pipe.
// Requests are cut at LF (a CR before it is dropped) and answered by queueing
// reply bytes; queued bytes are written when due (reply delay), at the wire's
// pace when Options::paced is set, and not while the client has sent XOFF.
// When the client closes the slave side the master reports a hang-up: pending
// output is dropped and the thread waits for the next open.
// Faults of the link are set off in WriteDue by the count of bytes written;
// a vanished device has no pseudo-terminal until the thread makes a new one.
#include "simulator.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace rd5150 {

using Clock = std::chrono::steady_clock;

namespace {

constexpr char XON = 0x11;
constexpr char XOFF = 0x13;

// Between the last byte of a device about to vanish and its going, unless
// the client sends first: time for the bytes before to arrive.
constexpr auto VANISH_LINGER = std::chrono::milliseconds(250);

struct Chunk {
    Clock::time_point notBefore;
    std::string bytes;
};

std::string ShortLineText(std::size_t length) {
    std::string s = "9999;0;1;001.00;00001;";
    while (s.size() < length)
        s += "0.00E+0;";
    s.resize(length);
    return s;
}

std::string WithoutFlowBytes(std::string s) {
    std::erase(s, XON);
    std::erase(s, XOFF);
    return s;
}

// Line noise: the same bytes every time, so that a test sees the same fault.
std::string NoiseBytes(std::size_t n) {
    std::string s;
    std::uint32_t x = 2463534242u;
    while (s.size() < n) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        const char c = static_cast<char>(x & 0xff);
        if (c != '\n' && c != XON && c != XOFF) s += c;
    }
    return s;
}

bool Reached(long threshold, long sent) {
    return threshold >= 0 && sent >= threshold;
}

long Ms(Clock::duration d) {
    return std::max<long>(1, std::chrono::ceil<std::chrono::milliseconds>(d).count());
}

// A raw pseudo-terminal whose slave device is linked as linkPath (an existing
// symbolic link there is replaced). The master's descriptor, or -1 with *error.
int OpenDevice(const std::string &linkPath, std::string *device, std::string *error) {
    int master = -1;
    auto fail = [&](const std::string &what) {
        *error = what + ": " + std::strerror(errno);
        if (master >= 0) ::close(master);
        return -1;
    };
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master < 0) return fail("posix_openpt");
    if (::grantpt(master) != 0) return fail("grantpt");
    if (::unlockpt(master) != 0) return fail("unlockpt");
    char name[256];
    if (::ptsname_r(master, name, sizeof name) != 0) return fail("ptsname_r");
    termios t{};
    if (::tcgetattr(master, &t) != 0) return fail("tcgetattr");
    ::cfmakeraw(&t);
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    t.c_cflag |= CLOCAL | CREAD;
    ::cfsetspeed(&t, B38400);
    if (::tcsetattr(master, TCSANOW, &t) != 0) return fail("tcsetattr");
    ::fcntl(master, F_SETFD, FD_CLOEXEC);

    struct stat st {};
    if (::lstat(linkPath.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            errno = EEXIST;
            return fail("link path " + linkPath + " exists and is not a symbolic link");
        }
        ::unlink(linkPath.c_str());
    }
    if (::symlink(name, linkPath.c_str()) != 0) return fail("symlink " + linkPath);
    *device = name;
    return master;
}

// Removes the link when it still names our device (not one linked there since).
void RemoveLink(const std::string &linkPath, const std::string &device) {
    struct stat st {};
    if (linkPath.empty() || ::lstat(linkPath.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return;
    char target[256];
    const ssize_t n = ::readlink(linkPath.c_str(), target, sizeof target - 1);
    if (n >= 0 && std::string(target, static_cast<std::size_t>(n)) == device)
        ::unlink(linkPath.c_str());
}

} // namespace

struct Simulator::State {
    mutable std::mutex mu;
    mutable std::condition_variable cv;

    // Shared with the accessors (under mu).
    std::vector<Recording> recordings;
    std::size_t next = 0; // the recording "Mg" sends next
    Options options;
    long requestCounter = 0; // since Start or SetOptions
    long mgCounter = 0;
    std::vector<std::string> requests;
    std::vector<std::string> replies;
    std::deque<Chunk> out;
    bool paused = false; // XOFF received
    std::string linkPath, devicePath, lastError;
    bool running = false;
    // Faults of the link (since Start or SetOptions).
    long sent = 0;
    bool vanished = false, garbageSent = false, xoffSent = false;
    // Pulled out once the bytes before have had time to arrive.
    Clock::time_point vanishAt = Clock::time_point::max();
    bool noisePending = false; // the next bytes written are noise
    bool holdingXoff = false;
    Clock::time_point xoffUntil = Clock::time_point::max();
    bool plugged = false;
    bool plugWanted = false, unplugWanted = false, xonWanted = false;
    Clock::time_point backAt = Clock::time_point::max();
    Clock::time_point lastByteTime{};

    // Thread only.
    int master = -1;
    int wake[2] = {-1, -1};
    std::thread thread;
    std::atomic<bool> stop{false};
    std::string inBuf;
    Clock::time_point nextByteTime{};

    void Wake() {
        if (wake[1] >= 0) {
            char c = 1;
            [[maybe_unused]] auto n = ::write(wake[1], &c, 1);
        }
    }

    void Queue(std::string bytes) // under mu
    {
        if (!options.strayBytes.empty() && options.strayCount != 0) {
            bytes = WithoutFlowBytes(options.strayBytes) + bytes;
            if (options.strayCount > 0) --options.strayCount;
        }
        replies.push_back(bytes);
        out.push_back({Clock::now() + options.replyDelay, std::move(bytes)});
    }

    void HandleRequest(const std::string &request) // under mu
    {
        requests.push_back(request);
        cv.notify_all();
        const long index = requestCounter++;
        const bool isMg = request == "Mg";
        const long mgIndex = isMg ? mgCounter++ : -1;
        if (options.silentAfter >= 0 && index >= options.silentAfter) return;
        const std::string end = options.crlf ? "\r\n" : "\n";
        const std::string refusal = options.refuseLowerCase ? "*ex" : "*EX";

        if (request == "Md") {
            if (options.refuseMd > 0) {
                --options.refuseMd;
                Queue(refusal + end);
            } else {
                next = 0;
                Queue(std::to_string(recordings.size()) + end);
            }
        } else if (isMg) {
            std::string reply;
            bool shortOnly = false;
            for (const ShortLine &s : options.shortLines) {
                if (s.atMg != mgIndex) continue;
                for (int i = 0; i < s.repeat; ++i)
                    reply += ShortLineText(s.length) + end;
                if (!s.thenRecording) shortOnly = true;
            }
            if (!shortOnly && next < recordings.size()) {
                std::string line = FormatRecordingLine(recordings[next++]);
                if (mgIndex == options.cutAtMg)
                    reply += line.substr(0, std::min(options.cutAfterChars, line.size()));
                else
                    reply += line + end;
            }
            // No recording left and nothing injected: the instrument stays silent.
            if (!reply.empty()) Queue(std::move(reply));
        } else if (request == "Mc") {
            if (options.refuseMc > 0) {
                --options.refuseMc;
                Queue(refusal + end);
            } else {
                recordings.clear();
                next = 0;
                Queue("OK" + end);
            }
        } else {
            // The blank presence request, and anything the instrument does
            // not know, is answered with its error marker.
            Queue((options.lowerCasePresence ? "*e" : "*E") + end);
        }
    }

    void OnInput(const char *data, std::size_t n) // under mu
    {
        if (vanishAt != Clock::time_point::max()) {
            // About to vanish: the client has read what came and asks again.
            vanishAt = Clock::now();
            return;
        }
        for (std::size_t i = 0; i < n; ++i) {
            const char c = data[i];
            if (c == XOFF) {
                paused = true;
                continue;
            }
            if (c == XON) {
                paused = false;
                continue;
            }
            if (c == '\n') {
                std::string request = inBuf;
                inBuf.clear();
                if (!request.empty() && request.back() == '\r') request.pop_back();
                HandleRequest(request);
                continue;
            }
            inBuf += c;
            if (inBuf.size() > 4096) // garbage without line end
                inBuf.clear();
        }
    }

    void OnHangup() // under mu
    {
        out.clear();
        inBuf.clear();
        paused = false;
        cv.notify_all();
    }

    // The device pulled out: no pseudo-terminal, no link, nothing pending.
    void Vanish() // under mu
    {
        if (master >= 0) ::close(master);
        master = -1;
        vanishAt = Clock::time_point::max();
        RemoveLink(linkPath, devicePath);
        OnHangup();
        holdingXoff = false;
        plugged = false;
        backAt = options.backAfter.count() >= 0 ? Clock::now() + options.backAfter
                                                : Clock::time_point::max();
        cv.notify_all();
    }

    void PlugIn() // under mu
    {
        backAt = Clock::time_point::max();
        std::string device, error;
        const int fd = OpenDevice(linkPath, &device, &error);
        if (fd < 0) {
            lastError = error;
            cv.notify_all();
            return;
        }
        master = fd;
        devicePath = device;
        inBuf.clear();
        plugged = true;
        cv.notify_all();
    }

    // Writes one flow-control byte at once; false when it has to wait.
    bool WriteFlowByte(char c) // under mu
    {
        return ::write(master, &c, 1) == 1;
    }

    // Sets off the faults whose byte count has been reached; false when the
    // device has vanished.
    bool Faults() // under mu
    {
        if (!vanished && Reached(options.vanishAfterBytes, sent)) {
            vanished = true;
            vanishAt = Clock::now() + VANISH_LINGER;
        }
        if (vanishAt != Clock::time_point::max()) {
            if (Clock::now() < vanishAt) return false;
            vanishAt = Clock::time_point::max();
            Vanish();
            return false;
        }
        if (!garbageSent && Reached(options.garbageAfterBytes, sent)) {
            garbageSent = true;
            noisePending = true;
        }
        if (!xoffSent && Reached(options.xoffAfterBytes, sent) && WriteFlowByte(XOFF)) {
            xoffSent = true;
            holdingXoff = true;
            xoffUntil = options.xoffHold.count() >= 0 ? Clock::now() + options.xoffHold
                                                      : Clock::time_point::max();
        }
        if (!holdingXoff)
            xonWanted = false;
        else if ((xonWanted || Clock::now() >= xoffUntil) && WriteFlowByte(XON))
            holdingXoff = xonWanted = false;
        return true;
    }

    // The bytes that may go out before the next fault's count is reached.
    std::size_t UpToNextFault(std::size_t n) const // under mu
    {
        for (long threshold : {options.vanishAfterBytes, options.garbageAfterBytes,
                               options.xoffAfterBytes, options.slowAfterBytes})
            if (threshold > sent)
                n = std::min<std::size_t>(n, static_cast<std::size_t>(threshold - sent));
        return n;
    }

    // Writes what is due; returns how long the thread may sleep (ms) before
    // something else becomes due, or -1 for "until input".
    // Sets wantPollOut when a write would block.
    long WriteDue(bool &wantPollOut) // under mu
    {
        wantPollOut = false;
        if (!Faults()) return plugged ? Ms(vanishAt - Clock::now()) : -1;
        while (!out.empty() && !paused) {
            Chunk &c = out.front();
            const auto now = Clock::now();
            if (now < c.notBefore) return Ms(c.notBefore - now);
            if (noisePending) {
                // The rest of this reply is lost in the noise.
                noisePending = false;
                c.bytes = NoiseBytes(options.garbageBytes);
                if (c.bytes.empty()) {
                    out.pop_front();
                    continue;
                }
            }
            std::size_t allowed = UpToNextFault(c.bytes.size());
            std::chrono::nanoseconds byteTime{0};
            if (Reached(options.slowAfterBytes, sent) && options.slowByte.count() > 0) {
                const auto due = std::max(lastByteTime, c.notBefore) + options.slowByte;
                if (now < due) return Ms(due - now);
                allowed = 1;
            } else if (options.paced && options.baud > 0) {
                byteTime = std::chrono::nanoseconds(10'000'000'000LL / options.baud);
                if (nextByteTime < now - std::chrono::milliseconds(5))
                    nextByteTime = now; // idle line: start now, no burst for lost time
                if (now < nextByteTime) return Ms(nextByteTime - now);
                allowed = std::min<std::size_t>(allowed, 1 + (now - nextByteTime) / byteTime);
            }
            const ssize_t w = ::write(master, c.bytes.data(), allowed);
            if (w < 0) {
                if (errno == EAGAIN || errno == EWOULDBLOCK) {
                    wantPollOut = true;
                    return 50;
                }
                if (errno == EINTR) continue;
                OnHangup(); // EIO: no client
                return 10;
            }
            if (options.paced) nextByteTime += byteTime * w;
            lastByteTime = now;
            sent += w;
            c.bytes.erase(0, static_cast<std::size_t>(w));
            if (c.bytes.empty()) {
                out.pop_front();
                if (out.empty()) cv.notify_all();
            }
            if (!Faults()) return plugged ? Ms(vanishAt - Clock::now()) : -1;
        }
        long sleep = out.empty() ? -1 : 100; // paused: wait for XON (input)
        if (holdingXoff && xoffUntil != Clock::time_point::max()) {
            const long untilXon = Ms(xoffUntil - Clock::now());
            sleep = sleep < 0 ? untilXon : std::min(sleep, untilXon);
        }
        return sleep;
    }

    // Sleeps while the device is gone; false when it is still gone.
    bool AwaitPlug(char *buf, std::size_t size) {
        long sleepMs = 500;
        {
            std::lock_guard lock(mu);
            if (plugWanted || Clock::now() >= backAt) {
                plugWanted = false;
                PlugIn();
            }
            if (plugged) return true;
            if (backAt != Clock::time_point::max())
                sleepMs = std::min<long>(sleepMs, Ms(backAt - Clock::now()));
        }
        pollfd wakeFd{wake[0], POLLIN, 0};
        if (::poll(&wakeFd, 1, static_cast<int>(sleepMs)) > 0) {
            while (::read(wake[0], buf, size) > 0) {
            }
        }
        return false;
    }

    void Run() {
        char buf[4096];
        while (!stop.load()) {
            long sleepMs;
            bool wantPollOut = false;
            {
                std::lock_guard lock(mu);
                if (unplugWanted) {
                    unplugWanted = false;
                    if (plugged) Vanish();
                }
                sleepMs = plugged ? WriteDue(wantPollOut) : 0;
            }
            if (master < 0) {
                AwaitPlug(buf, sizeof buf);
                continue;
            }
            pollfd fds[2] = {{master, static_cast<short>(POLLIN | (wantPollOut ? POLLOUT : 0)), 0},
                             {wake[0], POLLIN, 0}};
            const int timeout = sleepMs < 0 ? 500 : static_cast<int>(std::min<long>(sleepMs, 500));
            const int r = ::poll(fds, 2, timeout);
            if (r < 0) {
                if (errno == EINTR) continue;
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                continue;
            }
            if (fds[1].revents & POLLIN) {
                while (::read(wake[0], buf, sizeof buf) > 0) {
                }
            }
            if (fds[0].revents & POLLIN) {
                const ssize_t n = ::read(master, buf, sizeof buf);
                if (n > 0) {
                    std::lock_guard lock(mu);
                    OnInput(buf, static_cast<std::size_t>(n));
                    continue;
                }
                if (n < 0 && errno != EAGAIN && errno != EINTR) {
                    std::lock_guard lock(mu);
                    OnHangup();
                }
            }
            if (fds[0].revents & (POLLHUP | POLLERR)) {
                // No client has the slave open: drop what was queued and
                // wait for the next open (the master keeps reporting HUP).
                {
                    std::lock_guard lock(mu);
                    OnHangup();
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
    }
};

Simulator::Simulator() : state_(std::make_unique<State>()) {}

Simulator::Simulator(std::vector<Recording> recordings, Options options) : Simulator() {
    state_->recordings.assign(recordings.begin(), recordings.end());
    state_->options = std::move(options);
}

Simulator::~Simulator() {
    Stop();
}

bool Simulator::Start(const std::string &linkPath) {
    State &s = *state_;
    if (s.thread.joinable()) {
        std::lock_guard lock(s.mu);
        s.lastError = "already running";
        return false;
    }
    std::string device, error;
    const int master = OpenDevice(linkPath, &device, &error);
    if (master >= 0 && ::pipe2(s.wake, O_NONBLOCK | O_CLOEXEC) != 0) {
        error = std::string("pipe2: ") + std::strerror(errno);
        ::close(master);
        RemoveLink(linkPath, device);
    }
    if (!error.empty()) {
        std::lock_guard lock(s.mu);
        s.lastError = error;
        return false;
    }
    s.master = master;
    {
        std::lock_guard lock(s.mu);
        s.linkPath = linkPath;
        s.devicePath = device;
        s.lastError.clear();
        s.requestCounter = 0;
        s.mgCounter = 0;
        s.out.clear();
        s.paused = false;
        s.running = true;
        s.plugged = true;
        s.plugWanted = s.unplugWanted = s.xonWanted = false;
        s.backAt = Clock::time_point::max();
        s.sent = 0;
        s.vanished = s.garbageSent = s.xoffSent = s.noisePending = s.holdingXoff = false;
        s.vanishAt = Clock::time_point::max();
    }
    s.inBuf.clear();
    s.stop = false;
    s.thread = std::thread([&s] { s.Run(); });
    return true;
}

void Simulator::Stop() {
    State &s = *state_;
    if (!s.thread.joinable()) return;
    s.stop = true;
    s.Wake();
    s.thread.join();
    if (s.master >= 0) ::close(s.master);
    s.master = -1;
    for (int &fd : s.wake)
        ::close(fd), fd = -1;
    std::lock_guard lock(s.mu);
    if (s.plugged) RemoveLink(s.linkPath, s.devicePath);
    s.out.clear();
    s.running = false;
    s.plugged = false;
    s.holdingXoff = false;
    s.cv.notify_all();
}

bool Simulator::Unplug() {
    State &s = *state_;
    std::unique_lock lock(s.mu);
    if (!s.running) return false;
    s.unplugWanted = true;
    s.Wake();
    return s.cv.wait_for(lock, std::chrono::seconds(5), [&] { return !s.plugged; });
}

bool Simulator::Plug() {
    State &s = *state_;
    std::unique_lock lock(s.mu);
    if (!s.running) return false;
    if (s.plugged) return true;
    s.lastError.clear();
    s.plugWanted = true;
    s.Wake();
    s.cv.wait_for(lock, std::chrono::seconds(5),
                  [&] { return s.plugged || !s.lastError.empty() || !s.running; });
    return s.plugged;
}

bool Simulator::IsPlugged() const {
    std::lock_guard lock(state_->mu);
    return state_->running && state_->plugged;
}

bool Simulator::WaitUntilPlugged(bool plugged, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(state_->mu);
    return state_->cv.wait_for(lock, timeout,
                               [&] { return (state_->running && state_->plugged) == plugged; });
}

void Simulator::ReleaseXoff() {
    {
        std::lock_guard lock(state_->mu);
        state_->xonWanted = state_->holdingXoff;
    }
    state_->Wake();
}

bool Simulator::HoldsXoff() const {
    std::lock_guard lock(state_->mu);
    return state_->holdingXoff;
}

long Simulator::BytesSent() const {
    std::lock_guard lock(state_->mu);
    return state_->sent;
}

bool Simulator::IsRunning() const {
    std::lock_guard lock(state_->mu);
    return state_->running;
}

std::string Simulator::LinkPath() const {
    std::lock_guard lock(state_->mu);
    return state_->linkPath;
}

std::string Simulator::DevicePath() const {
    std::lock_guard lock(state_->mu);
    return state_->devicePath;
}

std::string Simulator::LastError() const {
    std::lock_guard lock(state_->mu);
    return state_->lastError;
}

void Simulator::SetOptions(const Options &options) {
    {
        std::lock_guard lock(state_->mu);
        State &s = *state_;
        s.options = options;
        s.requestCounter = 0;
        s.mgCounter = 0;
        s.sent = 0;
        s.vanished = s.garbageSent = s.xoffSent = s.noisePending = s.holdingXoff = false;
        s.vanishAt = Clock::time_point::max();
        s.xonWanted = false;
        // A return already timed stays timed; one left to Plug() waits for it.
        if (options.backAfter.count() < 0) s.backAt = Clock::time_point::max();
    }
    state_->Wake();
}

Options Simulator::GetOptions() const {
    std::lock_guard lock(state_->mu);
    return state_->options;
}

void Simulator::SetRecordings(std::vector<Recording> recordings) {
    std::lock_guard lock(state_->mu);
    state_->recordings = std::move(recordings);
    state_->next = 0;
}

std::vector<Recording> Simulator::Recordings() const {
    std::lock_guard lock(state_->mu);
    return state_->recordings;
}

std::size_t Simulator::RemainingRecordings() const {
    std::lock_guard lock(state_->mu);
    return state_->recordings.size() - std::min(state_->next, state_->recordings.size());
}

std::vector<std::string> Simulator::Requests() const {
    std::lock_guard lock(state_->mu);
    return state_->requests;
}

std::size_t Simulator::RequestCount() const {
    std::lock_guard lock(state_->mu);
    return state_->requests.size();
}

void Simulator::ClearRequests() {
    std::lock_guard lock(state_->mu);
    state_->requests.clear();
    state_->replies.clear();
}

std::vector<std::string> Simulator::Replies() const {
    std::lock_guard lock(state_->mu);
    return state_->replies;
}

bool Simulator::WaitForRequests(std::size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(state_->mu);
    return state_->cv.wait_for(lock, timeout, [&] { return state_->requests.size() >= n; });
}

bool Simulator::WaitUntilSent(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(state_->mu);
    return state_->cv.wait_for(lock, timeout, [&] { return state_->out.empty(); });
}

} // namespace rd5150
