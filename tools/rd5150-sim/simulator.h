// RD5150 instrument simulator: speaks the instrument's side of the serial
// protocol (presence, "Md", "Mg", "Mc" and the recording line) on a pseudo-terminal
// whose slave device is linked under a chosen path (for example <dir>/COM3).
//
// Plain C++20 and POSIX; no Qt. Used by the tests (end-to-end, link) and by the
// program rd5150-sim.
//
// Protocol as simulated (every reply line ends in LF, or CR LF when
// Options::crlf is set; requests end in CR LF, a lone LF is accepted too):
//   " \r\n"  (or any unknown request)  -> "*E"   ("*e" with lowerCasePresence)
//   "Md\r\n" -> the number of recordings held, as a decimal integer ("3"),
//               and starts over at the first recording
//   "Mg\r\n" -> the next recording as one line (FormatRecordingLine). The
//               recording stays held: a later "Md" sends them all again. After
//               the last one the instrument stays silent (no reply at all).
//   "Mc\r\n" -> erases all recordings, replies "OK".
// Bytes 0x11 and 0x13 (XON/XOFF) never appear in replies; when the client
// sends them they pause and resume the simulator's output, as flow control.
// Faults of the link (a device that vanishes, noise, XOFF held, slow answers)
// are set off by the count of reply bytes written; see Options.
#pragma once

#include <chrono>
#include <cstddef>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace rd5150 {

// A value that marks a missing sample in Recording::values. It is sent as the
// field "----E+0;", which the program decodes as UNDEFINED_VALUE.
inline constexpr double kMissingSample = std::numeric_limits<double>::quiet_NaN();
bool IsMissingSample(double v);

struct Recording {
    int number = 1;             // 1..9999, written in 4 digits
    int mode = 0;               // mode digit 0..7 (0 NONE, 1 SMOOTH, 2 COUNT)
    int unitIndex = 0;          // 0..15, index of the unit table (0 tr/min, 1 m/min,
                                // 2 %, 3 ms, 4 Hz, 5 ft/min, 6 RPM, 7 m, 8 ft,
                                // 9 tr, 10 Rev, 11 imp, 12..15 accelerations);
                                // sent as the hex digit (unitIndex + 1) & 15
    double coefficient = 1.0;   // 0..999.99, written "%06.2f" (e.g. 001.00)
    int interval = 1;           // 0..99999 seconds, written in 5 digits
    std::vector<double> values; // kMissingSample marks a missing sample
    // When not empty this text is sent verbatim (without line end) instead of
    // the formatted line; the other fields are then ignored.
    std::string rawLine;

    static Recording Raw(std::string line);
};

// One value field: exactly 8 characters, a 7-character exponent form and ";".
// 3 significant digits ("1.50E+2;", "2.50E-1;", "0.00E+0;"), or 2 when the
// exponent needs two digits ("1.5E+12;"). A missing sample gives "----E+0;";
// a negative value keeps its sign ("-1.5E+0;"), which the program decodes as
// undefined (the instrument never sends one).
std::string FormatValueField(double value);

// The instrument's line for a recording, without line end:
// "NNNN;M;U;KKK.KK;IIIII;" (number 4 digits, separators ";" at positions 4, 6,
// 8, 15, 21) then one FormatValueField per value. Example:
// "0012;1;1;001.00;00010;1.50E+2;2.50E-1;". rawLine, when set, is returned as is.
std::string FormatRecordingLine(const Recording &recording);

// Six recordings (numbers 1..6): a motor run-up in tr/min at 1 s, a conveyor
// in m/min, a frequency in Hz, a recording with missing samples, a pulse count
// (mode COUNT, unit imp) and a long recording of 8,000 samples.
std::vector<Recording> DemoRecordings();

// Recordings text file format (also printed by RecordingsFileHelp()):
//   # comment lines and blank lines are ignored
//   recording number=12 mode=1 unit=0 coefficient=1.0 interval=10
//   150 0.25 - 300        values of the recording above, any number of lines;
//                         "-" marks a missing sample
//   raw 0012;1;1;001.00;00010;1.50E+2;2.50E-1;
//                         a recording sent verbatim (the text after "raw ")
// Keys of "recording" may be left out (defaults: number = position in the file,
// mode 0, unit 0, coefficient 1, interval 1). Values are decimal numbers.
// On failure returns false and puts a message with the line number in *error.
bool ParseRecordingsText(const std::string &text, std::vector<Recording> &out,
                         std::string *error = nullptr);
bool LoadRecordingsFile(const std::string &path, std::vector<Recording> &out,
                        std::string *error = nullptr);
const char *RecordingsFileHelp();

// A short line sent in answer to an "Mg" request instead of (or before) the
// next recording.
struct ShortLine {
    long atMg = 0;              // which "Mg" request (0-based, counted as Options says)
    std::size_t length = 30;    // characters before the line end (25: too short to
                                // count, 30: a line the program skips)
    int repeat = 1;             // how many such lines are sent in that answer
    bool thenRecording = false; // after them, also send the next recording
};

struct Options {
    // Pace the output as the wire would: 10 bits per byte at baud.
    bool paced = true;
    long baud = 38400;
    // Reply line ending: LF (false) or CR LF (true).
    bool crlf = false;
    // Presence reply "*e" instead of "*E".
    bool lowerCasePresence = false;
    // The next refuseMd "Md" requests are refused with "*EX" ("*ex" when
    // refuseLowerCase); each refusal lowers the count.
    int refuseMd = 0;
    // The next refuseMc "Mc" requests are refused (memory kept) with "*EX" or "*ex".
    int refuseMc = 0;
    bool refuseLowerCase = false;
    // Short lines injected in answers to "Mg" (the next recording is not sent
    // unless thenRecording is set).
    std::vector<ShortLine> shortLines;
    // After this many requests no reply at all is sent (-1: never silent).
    long silentAfter = -1;
    // The answer to this "Mg" request (-1: none) is cut after cutAfterChars
    // characters and has no line end; the next "Mg" sends the recording after it.
    long cutAtMg = -1;
    std::size_t cutAfterChars = 100;
    // Bytes sent before each of the next strayCount replies (-1: every reply).
    // 0x11 and 0x13 are removed from them.
    std::string strayBytes;
    int strayCount = -1;
    // Time the instrument waits before answering each request.
    std::chrono::milliseconds replyDelay{0};

    // Faults of the link, each set off once by the count of reply bytes
    // written (-1: never).
    // The device vanishes, as a USB adapter pulled out: nothing more goes
    // out, and once the bytes before have had time to arrive (a quarter of a
    // second, or at the client's next request) the pseudo-terminal is closed
    // (a client's open end is hung up) and the link removed. It
    // comes back (a new pseudo-terminal, linked again) backAfter later, or
    // on Plug() when backAfter is negative.
    long vanishAfterBytes = -1;
    std::chrono::milliseconds backAfter{-1};
    // The rest of the reply under way (or the next reply, when none is) is
    // lost and garbageBytes bytes of noise go out instead: fixed pseudo-random
    // bytes, never LF, XON or XOFF.
    long garbageAfterBytes = -1;
    std::size_t garbageBytes = 64;
    // The instrument sends XOFF, so that the client cannot send, and holds it
    // for xoffHold, then sends XON; a negative xoffHold holds it until
    // ReleaseXoff(). SetOptions() ends a hold without XON, as an instrument
    // switched off and on again would.
    long xoffAfterBytes = -1;
    std::chrono::milliseconds xoffHold{-1};
    // From this byte on the instrument answers slowly: each byte slowByte
    // after the one before (and the first of a reply slowByte after it is due).
    long slowAfterBytes = -1;
    std::chrono::milliseconds slowByte{0};
};
// Request counters used by silentAfter, shortLines[].atMg and cutAtMg, and
// the count of reply bytes the faults of the link use, count from Start() or
// from the last SetOptions(), whichever came last.

class Simulator {
  public:
    Simulator();
    explicit Simulator(std::vector<Recording> recordings, Options options = {});
    ~Simulator(); // Stop()
    Simulator(const Simulator &) = delete;
    Simulator &operator=(const Simulator &) = delete;

    // Opens a pseudo-terminal (raw mode), links its slave device as linkPath
    // (an existing symbolic link there is replaced; any other file is an
    // error), and serves requests on a background thread. A client may close
    // and reopen the link any number of times. False on failure (LastError()).
    bool Start(const std::string &linkPath);
    // Stops the thread, closes the pseudo-terminal and removes the link.
    void Stop();
    bool IsRunning() const;

    // The device pulled out (as Options::vanishAfterBytes does) and plugged
    // in again (a new pseudo-terminal behind the same link path). Each waits
    // until done; false when the simulator is not running or the new
    // pseudo-terminal could not be made (LastError()).
    bool Unplug();
    bool Plug();
    bool IsPlugged() const; // running and not vanished
    // Waits until the device is plugged (true) or gone (false); false on time-out.
    bool WaitUntilPlugged(bool plugged, std::chrono::milliseconds timeout) const;
    // Ends an XOFF hold of Options::xoffAfterBytes by sending XON.
    void ReleaseXoff();
    bool HoldsXoff() const;
    // Reply bytes written since Start() or the last SetOptions() (noise included).
    long BytesSent() const;
    std::string LinkPath() const;   // as given to Start
    std::string DevicePath() const; // the slave device, /dev/pts/N
    std::string LastError() const;

    // All accessors are thread-safe and may be used while running.
    void SetOptions(const Options &options); // also resets the request counters
    Options GetOptions() const;              // refusal counts as they stand now
    void SetRecordings(std::vector<Recording> recordings);
    std::vector<Recording> Recordings() const; // those held (until "Mc")
    // Those "Mg" has still to send before the instrument falls silent; all
    // held ones again after each "Md".
    std::size_t RemainingRecordings() const;

    // Requests received, in order, without their line end (" ", "Md", "Mg", ...).
    std::vector<std::string> Requests() const;
    std::size_t RequestCount() const;
    void ClearRequests();
    // Replies queued, in order, exactly as sent (stray bytes and line end
    // included), but before the faults of the link cut or replace them.
    std::vector<std::string> Replies() const;
    // Waits until at least n requests have been received since the last
    // ClearRequests(); false on time-out.
    bool WaitForRequests(std::size_t n, std::chrono::milliseconds timeout) const;
    // Waits until all queued output has been written to the pseudo-terminal.
    bool WaitUntilSent(std::chrono::milliseconds timeout) const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace rd5150
