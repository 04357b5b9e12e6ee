// The serial port and the instrument's commands: presence test, "Md", "Mg",
// "Mc", and the port search.
#include "link/link.h"

#include "platform/platform.h"
#include "shell/shell.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

int comPort = 1;
int baudRate = 38400;
int portOpen = 0;
int importRunning = 1;
int recordingCount = 0;
char replyBuffer[REPLY_BUFFER_SIZE];

namespace {

constexpr int INPUT_QUEUE = 10000;
constexpr int OUTPUT_QUEUE = 512;
// A search tries 22 ports: a port where nothing answers must not cost more
// than a second (two attempts), and the instrument answers within a few
// milliseconds.
constexpr double PROBE_TIMEOUT = 0.35;
constexpr double PROBE_SETTLE = 0.1; // quiet wanted before each attempt
constexpr double PROBE_DRAIN_LIMIT = 0.3;
constexpr double CONNECT_TIMEOUT = 10.0;
constexpr double COMMAND_TIMEOUT = 2.0;
constexpr double SETTLE_DELAY = 0.2;
// The line is taken as quiet after this long without a byte (hundreds of byte
// times at the usual rates).
constexpr double QUIET_TIME = 0.05;
constexpr int PRESENCE_REPLY_MAX = 200;
constexpr int SHORT_REPLY_MAX = 20;
constexpr int MIN_LINE_BYTES = 26;       // fewer: nothing usable came
constexpr int MIN_RECORDING_LENGTH = 35; // shorter lines are not recordings
constexpr int MG_TRIES = 5;

const char PRESENCE_REQUEST[] = " \r\n";
const char COUNT_REQUEST[] = "Md\r\n";
const char NEXT_REQUEST[] = "Mg\r\n";
const char CLEAR_REQUEST[] = "Mc\r\n";

int OpenPort(int port, int baud) {
    return OpenComConfig(port, "", baud, 0, 8, 1, INPUT_QUEUE, OUTPUT_QUEUE);
}

void FlushBoth(int port) {
    FlushInQ(port);
    FlushOutQ(port);
}

int Send(int port, const char *request) {
    return ComWrt(port, request, static_cast<int>(std::strlen(request)));
}

// Drops what is left of an earlier reply (the rest of a line after Stop, a
// late answer) until the line is quiet, so that it cannot pass for the reply
// to the next request. Bounded by the time the longest line needs on the
// wire, so that endless noise cannot hold the program.
//
// After a reply read whole to its line end nothing of it is left: what is
// already queued is dropped without waiting for quiet, which would cost every
// request of an import 50 ms.
bool lastReplyWhole = false;

// Notes how the read of a reply into a buffer of max bytes ended.
void NoteReply(int n, int max) {
    lastReplyWhole = n >= 0 && n < max && GetRs232Err() == 0;
}

void DrainReplies(int port) {
    if (lastReplyWhole) {
        lastReplyWhole = false;
        DrainInQ(port, 0.0, 0.0);
        return;
    }
    const double longestLine =
        10.0 * REPLY_BUFFER_SIZE / static_cast<double>(std::max(baudRate, 1));
    DrainInQ(port, QUIET_TIME, longestLine + COMMAND_TIMEOUT);
}

// The error of a failed port call; never 0, so that a failure cannot pass
// for a result.
int LastPortError() {
    int err = GetRs232Err();
    return err < 0 ? err : kRs232TimeOut;
}

// Sends a request and reads one reply line into reply (size max + 1, zeroed).
// The reply's length, or a negative port error.
int Ask(const char *request, char *reply, int max) {
    DrainReplies(comPort);
    if (Send(comPort, request) < 0) return LastPortError();
    std::memset(reply, 0, static_cast<std::size_t>(max) + 1);
    int n = ComRdTerm(comPort, reply, max, LINE_END);
    NoteReply(n, max);
    return n < 0 ? LastPortError() : n;
}

} // namespace

bool ReplyContains(const char *reply, int length, const char *pattern, bool caseSensitive) {
    if (length <= 0) return false;
    return FindPattern(std::string(reply, static_cast<std::size_t>(length)), 0, -1, pattern,
                       caseSensitive ? 1 : 0, 0) >= 0;
}

bool ParseRecordingCount(const char *reply, int *count) {
    const char *p = reply;
    while (*p == ' ' || *p == '\t')
        ++p;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
    long value = 0;
    while (std::isdigit(static_cast<unsigned char>(*p))) {
        value = value * 10 + (*p - '0');
        if (value > 1000000) return false; // no instrument holds that many
        ++p;
    }
    if (negative) return false;
    *count = static_cast<int>(value);
    return true;
}

bool PollForStop() {
    int panel = 0;
    int control = 0;
    // A panel gone since (a closed dialog's control 6) cannot have been Stop.
    if (GetUserEvent(0, &panel, &control) == EVENT_COMMIT && control == STOP_BUTTON &&
        PanelExists(panel)) {
        importRunning = 0;
        return true;
    }
    return false;
}

void ClearStopRequests() {
    int panel = 0;
    int control = 0;
    while (GetUserEvent(0, &panel, &control) != EVENT_NONE) {
    }
}

int ProbeInstrument(int port, int baud) {
    int r = OpenPort(port, baud);
    if (r < 0) return r;
    SetWaitCursor(1);
    bool found = false;
    int failure = 0;
    for (int attempt = 0; attempt < 2 && !found && failure == 0; ++attempt) {
        SetXMode(port, 1);
        // An XOFF left from before would hold the request back.
        ResumeOutQ(port);
        FlushOutQ(port);
        DrainInQ(port, PROBE_SETTLE, PROBE_DRAIN_LIMIT);
        SetComTime(port, PROBE_TIMEOUT);
        char reply[PRESENCE_REPLY_MAX + 1] = {};
        if (Send(port, PRESENCE_REQUEST) < 0) {
            failure = LastPortError();
            break;
        }
        // To the line end: the reply is short, and waiting out the time-out
        // after it would only slow the search.
        int n = ComRdTerm(port, reply, PRESENCE_REPLY_MAX, LINE_END);
        if (n < 0 && GetRs232Err() != kRs232TimeOut) {
            failure = LastPortError(); // the device failed, not just silent
            break;
        }
        if (ReplyContains(reply, n, "*E", false))
            found = true;
        else
            FlushBoth(port);
    }
    if (found) {
        FlushBoth(port);
        SetComTime(port, COMMAND_TIMEOUT);
        comPort = port;
    } else {
        // Nothing answered: give the device back rather than hold it locked.
        CloseCom(port);
    }
    SetWaitCursor(0);
    if (failure != 0) return failure;
    return found ? 1 : 0;
}

int ConnectInstrument(int port, int baud) {
    // Whatever came while the port sat idle is drained until the line is quiet.
    lastReplyWhole = false;
    // The adapter of a port held since the last transfer may have been
    // pulled out (and plugged in again) since: that handle is of no more use.
    if (portOpen == 1 && ComPortGone(port)) {
        CloseCom(port);
        portOpen = 0;
    }
    if (portOpen == 0) {
        int r = OpenPort(port, baud);
        if (r < 0) return r;
        SetXMode(port, 1);
        SetComTime(port, CONNECT_TIMEOUT);
        Delay(SETTLE_DELAY);
    }
    FlushBoth(port);
    // An XOFF the instrument sent while the port sat idle (and never ended,
    // being switched off since) would hold the request back.
    ResumeOutQ(port);
    SetComTime(port, CONNECT_TIMEOUT);
    int result = -1;
    for (int attempt = 0; attempt < 2; ++attempt) {
        DrainReplies(port);
        if (Send(port, PRESENCE_REQUEST) < 0) return LastPortError();
        char reply[PRESENCE_REPLY_MAX + 1] = {};
        int n = ComRdTerm(port, reply, PRESENCE_REPLY_MAX, LINE_END);
        NoteReply(n, PRESENCE_REPLY_MAX);
        if (n < 0) return LastPortError();
        if (ReplyContains(reply, n, "*E", false)) {
            result = 1;
            comPort = port;
            break;
        }
        result = -1;
        FlushBoth(port);
    }
    SetComTime(port, COMMAND_TIMEOUT);
    FlushInQ(port);
    return result;
}

int OpenTransferLink() {
    // Commits left from before (a Stop pressed as the last transfer ended)
    // must not stop this one.
    ClearStopRequests();
    SetWaitCursor(1);
    int r = ConnectInstrument(comPort, baudRate);
    if (r < 0) {
        portOpen = 0;
        SetWaitCursor(0);
        // A port the user may not open says why, as the communication dialog does.
        if (r != kRs232CannotOpen || !ShowPermissionError(comPort))
            ShowError(r == kRs232NoSuchPort ? 21 : r == kRs232CannotOpen ? 19 : 20);
        CloseCom(comPort);
        Griser_menus(0);
        return -1;
    }
    portOpen = 1;
    SetWaitCursor(0);
    FlushOutQ(comPort);
    FlushInQ(comPort);
    Griser_menus(0);
    return 0;
}

int ReadRecordingCount() {
    char reply[SHORT_REPLY_MAX + 1];
    int n = Ask(COUNT_REQUEST, reply, SHORT_REPLY_MAX);
    if (n < 0) return n;
    if (ReplyContains(reply, n, "*EX", true)) return -1;
    if (ReplyContains(reply, n, "*E", false)) {
        n = Ask(COUNT_REQUEST, reply, SHORT_REPLY_MAX);
        if (n < 0) return n;
    }
    if (ReplyContains(reply, n, "*E", false)) return -1;
    // A reply without a count must not leave an earlier count standing.
    int count = 0;
    if (!ParseRecordingCount(reply, &count)) return -1;
    recordingCount = count;
    return 0;
}

int ReadNextRecording() {
    int result = -1;
    int tries = MG_TRIES;
    DrainReplies(comPort);
    if (Send(comPort, NEXT_REQUEST) < 0) return LastPortError();
    while (tries > 0) {
        if (PollForStop()) tries = 0;
        std::memset(replyBuffer, 0, sizeof replyBuffer);
        if (importRunning != 1) {
            // Stopped, here or while a skipped line was answered: end now.
            result = 0;
            break;
        }
        // One byte short of the buffer so that the line stays terminated. A
        // long line takes seconds on the wire: Stop is polled while it comes.
        int n = ComRdTerm(comPort, replyBuffer, REPLY_BUFFER_SIZE - 1, LINE_END, [] {
            // The buffer was cleared: its text is what has come so far.
            ShowLineProgress(strnlen(replyBuffer, sizeof replyBuffer));
            return !PollForStop() && importRunning == 1;
        });
        NoteReply(n, REPLY_BUFFER_SIZE - 1);
        int err = GetRs232Err();
        if (importRunning != 1) {
            std::memset(replyBuffer, 0, sizeof replyBuffer); // a part line is no recording
            result = 0;
            break;
        }
        if (n < 0 && err != kRs232TimeOut) return LastPortError();
        if (n > 0 && err != 0) {
            // Bytes without their line feed: asking again would not bring the
            // rest, and a new "Mg" would skip this recording.
            std::memset(replyBuffer, 0, sizeof replyBuffer);
            return RECORDING_CUT;
        }
        if (n < MIN_LINE_BYTES) {
            --tries;
            result = 99;
            continue;
        }
        int length = static_cast<int>(std::strlen(replyBuffer));
        // A zero byte is no text: noise, not a short line to skip.
        if (length != n) {
            std::memset(replyBuffer, 0, sizeof replyBuffer);
            lastReplyWhole = false;
            return RECORDING_MALFORMED;
        }
        PollForStop();
        if (length >= MIN_RECORDING_LENGTH) {
            // Noise that fills the buffer, or a line of another shape, is no
            // recording and must not be saved as one.
            if (!IsRecordingLine(RecordingLine(replyBuffer, static_cast<std::size_t>(length)))) {
                std::memset(replyBuffer, 0, sizeof replyBuffer);
                lastReplyWhole = false; // noise may go on after its line feed
                return RECORDING_MALFORMED;
            }
            result = 1;
            tries = 0;
        } else {
            tries = MG_TRIES;
            DrainReplies(comPort);
            if (Send(comPort, NEXT_REQUEST) < 0) return LastPortError();
            --recordingCount;
        }
    }
    return result;
}

int ClearInstrumentMemory() {
    char reply[SHORT_REPLY_MAX + 1];
    int n = Ask(CLEAR_REQUEST, reply, SHORT_REPLY_MAX);
    if (n < 0) return n;
    return ReplyContains(reply, n, "*EX", false) ? -1 : 0;
}
