// The instrument from the command line: the ports where it answers, the
// transfer of its recordings into files, and the erasing of its memory,
// through the program's own link code.
#include "cli/cli.h"

#include "link/link.h"
#include "shell/shell.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <iostream>
#include <set>
#include <sys/stat.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char *const PORTS_HELP =
    "usage: velorinder-cli ports [--port N]\n"
    "\n"
    "Lists the serial ports as the program numbers them (COMn links first, then the\n"
    "system's devices, USB adapters first), each with its device and whether an\n"
    "instrument answers there. A silent port takes about 8 s to test.\n"
    "  --port N   test port N only\n"
    "Status 0 when an instrument answered, 2 when none did.\n";

const char *const DOWNLOAD_HELP =
    "usage: velorinder-cli download [--port N | --device PATH] [--dir DIR]\n"
    "                               [--format mon|vlr|csv|xlsx] [--force]\n"
    "                               [--lang fr|gb|al|es|it]\n"
    "\n"
    "Transfers every recording of the instrument into DIR (default: the current\n"
    "folder, made when missing) under the names the program proposes, such as\n"
    "recording_12.mon in English or enregistrement_12.mon in French.\n"
    "  --port N        the program's port N (default: the port of its settings)\n"
    "  --device PATH   the serial device PATH instead\n"
    "  --format F      mon: transfer files, byte for byte those the program writes\n"
    "                  (default); vlr, csv or xlsx: as convert writes them\n"
    "  --force         replace files of the same name (otherwise they are kept and\n"
    "                  the recording is not saved)\n"
    "Progress goes to standard error, the names of the files written to standard\n"
    "output. Ctrl+C stops: the recording on its way is discarded, the files already\n"
    "written stay.\n"
    "Status 2 when the instrument did not answer or the link failed, 3 when a file\n"
    "could not be written or was kept.\n";

const char *const ERASE_HELP =
    "usage: velorinder-cli erase [--port N | --device PATH] [--yes]\n"
    "\n"
    "Clears the instrument's memory: every recording it holds is lost.\n"
    "Without --yes it asks on the terminal first, and refuses when there is none.\n"
    "Status 2 when the instrument did not answer or refused.\n";

constexpr int INPUT_QUEUE = 10000;
constexpr int OUTPUT_QUEUE = 512;
constexpr double CONNECT_TIMEOUT = 10.0;
constexpr double SETTLE_DELAY = 0.2;
constexpr int TICK_MS = 100;

// ---------------------------------------------------------------- options
struct Options {
    int port = 0; // 0: the settings' port
    std::string device;
    std::string dir = ".";
    std::string format = "mon";
    bool force = false;
    bool yes = false;
    bool help = false;
};

bool ParsePort(const std::string &text, int *port) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *port);
    return ec == std::errc() && end == text.data() + text.size() && *port >= 1 && *port <= 999;
}

// The options a command takes; "" when they parse, else the usage error.
std::string ParseOptions(const std::vector<std::string> &args, const std::set<std::string> &allowed,
                         Options *o) {
    for (std::size_t i = 2; i < args.size(); ++i) {
        std::string a = args[i], value;
        const bool takesValue = a == "--port" || a == "--device" || a == "--dir" || a == "--format";
        std::size_t eq = a.find('=');
        if (a.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = a.substr(eq + 1);
            a = a.substr(0, eq);
        } else if (takesValue) {
            if (i + 1 >= args.size()) return a + " needs a value";
            value = args[++i];
        }
        if (a == "--help" || a == "-h") {
            o->help = true;
            return "";
        }
        if (!allowed.count(a))
            return "unknown " + std::string(a[0] == '-' ? "option " : "argument ") + a;
        if (a == "--port") {
            if (!ParsePort(value, &o->port)) return "--port needs a port number (1, 2, ...)";
        } else if (a == "--device") {
            if (value.empty()) return "--device needs a device path";
            o->device = value;
        } else if (a == "--dir") {
            if (value.empty()) return "--dir needs a folder";
            o->dir = value;
        } else if (a == "--format") {
            if (value != "mon" && value != "vlr" && value != "csv" && value != "xlsx")
                return "cannot download as '" + value + "' (mon, vlr, csv or xlsx)";
            o->format = value;
        } else if (a == "--force") {
            o->force = true;
        } else if (a == "--yes") {
            o->yes = true;
        }
    }
    if (o->port != 0 && !o->device.empty()) return "--port and --device exclude each other";
    return "";
}

CliSettings LoadSettings() {
    std::string text;
    if (ReadWholeFile(SettingsFilePath(), &text)) return ParseCliSettings(text);
    return CliSettings{};
}

// ---------------------------------------------------------------- the link
struct Link {
    int port = 1;
    std::string device; // given with --device
    std::string label;  // how messages name it: "COM3 (/dev/ttyUSB0)" or the device
};

Link ChooseLink(const Options &o, const CliSettings &s) {
    Link link;
    link.device = o.device;
    link.port = o.device.empty() ? (o.port != 0 ? o.port : std::max(1, s.port)) : 1;
    if (!link.device.empty()) {
        link.label = link.device;
    } else {
        link.label = "COM" + std::to_string(link.port);
        std::string device = ComPortDevice(link.port);
        if (!device.empty()) link.label += " (" + device + ")";
    }
    return link;
}

// False only when the device is known to be no terminal (a file, /dev/null).
// Asked after a failed open only: opening some devices has effects.
bool MaybeSerialPort(const std::string &path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return true;
    if (!S_ISCHR(st.st_mode)) return false;
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return true; // busy or denied: the usual message says so
    termios t{};
    bool terminal = ::tcgetattr(fd, &t) == 0;
    ::close(fd);
    return terminal;
}

// Why the port could not be used, for a negative result of the link code.
std::string LinkFailure(const Link &link, int r) {
    switch (r) {
    case kRs232NoSuchPort:
        return link.device.empty() ? "names no serial device" : "no such device";
    case kRs232CannotOpen: {
        std::string group = link.device.empty() ? ComPortDeniedGroup(link.port) : "";
        if (!group.empty())
            return "cannot be opened: no permission; join the group " + group +
                   " (sudo adduser $USER " + group + ") and log in again";
        if (!MaybeSerialPort(link.device.empty() ? ComPortDevice(link.port) : link.device))
            return "cannot be opened: not a serial port";
        return "cannot be opened: in use by another program, or no permission";
    }
    case -1:
    case kRs232TimeOut:
        return "no instrument answers";
    case kRs232IoError:
        return "the device failed (unplugged?)";
    default:
        return "the link failed (error " + std::to_string(r) + ")";
    }
}

void Close(const Link &link) {
    CloseCom(link.port);
    portOpen = 0;
}

// Opens the port and makes sure an instrument answers, as a transfer does.
bool Connect(const Link &link, int baud, std::ostream &err) {
    comPort = link.port;
    baudRate = baud;
    portOpen = 0;
    if (!link.device.empty()) {
        // A device by its path: opened here as the link code opens a port,
        // which then finds it open.
        int r = OpenComConfig(link.port, link.device, baud, 0, 8, 1, INPUT_QUEUE, OUTPUT_QUEUE);
        if (r < 0) {
            CliFail(err, link.label, LinkFailure(link, r));
            return false;
        }
        SetXMode(link.port, 1);
        SetComTime(link.port, CONNECT_TIMEOUT);
        Delay(SETTLE_DELAY);
        portOpen = 1;
    }
    int r = ConnectInstrument(link.port, baud);
    if (r < 0) {
        Close(link);
        CliFail(err, link.label, LinkFailure(link, r));
        return false;
    }
    portOpen = 1;
    return true;
}

// The number of recordings; false (reported) when the instrument refused.
bool CountRecordings(const Link &link, std::ostream &err) {
    int r = ReadRecordingCount();
    if (r >= 0) return true;
    CliFail(err, link.label,
            r == -1 ? "the instrument refused to give its number of recordings"
                    : LinkFailure(link, r));
    return false;
}

// ---------------------------------------------------------------- Ctrl+C
volatile std::sig_atomic_t stopSignal = 0;
volatile std::sig_atomic_t transferring = 0;

extern "C" void OnStopSignal(int signal) {
    // Outside a transfer nothing is half done: the program ends as usual.
    // During one, it ends after the recording on its way; a second signal
    // ends it at once.
    std::signal(signal, SIG_DFL);
    if (!transferring) {
        std::raise(signal);
        return;
    }
    stopSignal = signal;
}

void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// Ends the program by the signal that stopped it, as the shell expects.
[[noreturn]] void EndBySignal(int signal) {
    std::cout.flush();
    std::cerr.flush();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    std::_Exit(128 + signal);
}

// ---------------------------------------------------------------- progress
std::string Bytes(double n) {
    char text[32];
    if (n < 1000)
        std::snprintf(text, sizeof text, "%.0f B", n);
    else if (n < 1e6)
        std::snprintf(text, sizeof text, "%.1f kB", n / 1e3);
    else
        std::snprintf(text, sizeof text, "%.1f MB", n / 1e6);
    return text;
}

// Recording i of n, bytes, rate and time left: a bar redrawn in place on a
// terminal, one line per recording otherwise.
class Progress {
  public:
    Progress(std::ostream &err, bool terminal) : err_(err), terminal_(terminal) {}

    void Start(int total) {
        total_ = total;
        start_ = std::chrono::steady_clock::now();
    }
    void Begin(int index) {
        index_ = index;
        recordingStart_ = std::chrono::steady_clock::now();
        Draw();
    }
    // The bytes of the line on its way (the link code fills replyBuffer as
    // they come).
    static std::size_t Arriving() { return strnlen(replyBuffer, REPLY_BUFFER_SIZE); }

    void Draw() {
        if (!terminal_ || total_ == 0) return;
        const double arriving = static_cast<double>(Arriving());
        const double elapsed = Seconds(start_);
        const double got = static_cast<double>(doneBytes_) + arriving;
        const double rate = elapsed > 0.2 ? got / elapsed : 0.0;
        // Nothing tells a recording's length before its end: those done so
        // far give the estimate, until the one on its way outgrows it.
        double left = -1, share = static_cast<double>(index_ - 1) / total_;
        if (done_ > 0) {
            const double mean = static_cast<double>(doneBytes_) / done_;
            share += std::min(arriving / mean, 0.95) / total_;
            if (rate > 0 && arriving <= mean)
                left = (mean - arriving + mean * (total_ - index_)) / rate;
        }
        const int width = 20;
        const int filled = std::clamp(static_cast<int>(share * width), 0, width);
        std::string line = "\rrecording " + std::to_string(index_) + " of " +
                           std::to_string(total_) + " [" + std::string(filled, '#') +
                           std::string(width - filled, '-') + "] " + Bytes(got) + "  " +
                           Bytes(rate) + "/s  " + (left < 0 ? "-:--:--" : Clock(left)) + " left";
        err_ << line << "\x1b[K" << std::flush;
        drawn_ = true;
    }
    void Clear() {
        if (drawn_) err_ << "\r\x1b[K" << std::flush;
        drawn_ = false;
    }
    // A recording has arrived; what became of it is said in a line.
    void Arrived(std::size_t bytes) {
        doneBytes_ += bytes;
        ++done_;
    }
    void Line(const std::string &text) {
        Clear();
        err_ << text << '\n' << std::flush;
    }
    // The plain line of a recording, where no bar is drawn.
    void Report(const std::string &what) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f", Seconds(recordingStart_));
        Line("recording " + std::to_string(index_) + " of " + std::to_string(total_) + ": " + what +
             " (" + Bytes(static_cast<double>(lastBytes_)) + " in " + seconds + " s)");
    }
    void SetLastBytes(std::size_t n) { lastBytes_ = n; }
    double Elapsed() const { return Seconds(start_); }

  private:
    static double Seconds(std::chrono::steady_clock::time_point since) {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
    }
    std::ostream &err_;
    bool terminal_;
    int total_ = 0, index_ = 0, done_ = 0;
    std::size_t doneBytes_ = 0, lastBytes_ = 0;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point start_, recordingStart_;
};

// Runs while a line arrives (the link code lets the run-time work between
// its chunks): redraws the bar and passes a stop signal on as Stop.
Progress *ticking = nullptr;
void Tick() {
    if (!ticking) return;
    if (stopSignal) importRunning = 0;
    ticking->Draw();
    PostDeferredCall(Tick, TICK_MS);
}

// ---------------------------------------------------------------- files
enum class Placed { Written, Kept, Failed };

// ".<stem>.part<pid><extension>": the hidden name a file is made under.
// Those of runs that no longer exist (killed before they could remove them)
// go; a live run's stay.
void RemoveStaleParts(const fs::path &dir) {
    static std::set<std::string> done;
    if (!done.insert(dir.string()).second) return;
    std::error_code ec;
    for (const auto &entry : fs::directory_iterator(dir.empty() ? "." : dir, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() < 2 || name[0] != '.') continue;
        const std::size_t at = name.rfind(".part");
        if (at == std::string::npos || at == 0) continue;
        const char *first = name.data() + at + 5, *last = name.data() + name.size();
        long pid = 0;
        const auto [end, error] = std::from_chars(first, last, pid);
        if (error != std::errc() || end == first || (end != last && *end != '.')) continue;
        if (end != last && std::string_view(end, last - end).find('.', 1) != std::string::npos)
            continue;
        std::error_code kind;
        if (ProcessExists(pid) || !entry.is_regular_file(kind)) continue;
        std::error_code removed;
        fs::remove(entry.path(), removed);
    }
}

// What a link leads to, followed to the end; the path itself when it is no link.
fs::path ThroughLinks(const fs::path &path) {
    fs::path p = path;
    std::error_code ec;
    for (int hops = 0; hops < 40 && fs::is_symlink(p, ec); ++hops) {
        const fs::path to = fs::read_symlink(p, ec);
        if (ec) break;
        p = to.is_absolute() ? to : p.parent_path() / to;
    }
    return p;
}

// Makes the file under a hidden name beside target with make(), then puts it
// in place: over an existing file only with force, so that without it no
// file is ever replaced, not even one made meanwhile. Forced onto a link, it
// replaces what the link leads to, and the link stays.
Placed Place(const std::string &asked, bool force,
             const std::function<bool(const std::string &)> &make) {
    std::error_code ec;
    if (!force && fs::exists(fs::symlink_status(asked, ec))) return Placed::Kept;
    const std::string target = force ? ThroughLinks(asked).string() : asked;
    fs::path t(target);
    RemoveStaleParts(t.parent_path());
    fs::path part =
        t.parent_path() / ("." + t.stem().string() + ".part" +
                           std::to_string(static_cast<long>(getpid())) + t.extension().string());
    if (!make(part.string()) || !fs::is_regular_file(part, ec)) {
        fs::remove(part, ec);
        return Placed::Failed;
    }
    if (force) {
        fs::rename(part, target, ec);
        if (ec) fs::remove(part, ec);
        return ec ? Placed::Failed : Placed::Written;
    }
    if (::renameat2(AT_FDCWD, part.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
        return Placed::Written;
    const int e = errno;
    if (e == EEXIST) {
        fs::remove(part, ec);
        return Placed::Kept;
    }
    if (e == EINVAL || e == ENOSYS || e == ENOTSUP) {
        // A file system without the exclusive rename: a hard link is exclusive too.
        if (::link(part.c_str(), target.c_str()) == 0) {
            fs::remove(part, ec);
            return Placed::Written;
        }
        const bool exists = errno == EEXIST;
        if (exists) {
            fs::remove(part, ec);
            return Placed::Kept;
        }
        if (!fs::exists(fs::symlink_status(target, ec))) {
            fs::rename(part, target, ec);
            if (!ec) return Placed::Written;
        }
    }
    fs::remove(part, ec);
    return Placed::Failed;
}

std::string WithExtension(const std::string &path, const std::string &extension) {
    fs::path p(path);
    p.replace_extension("." + extension);
    return p.string();
}

// recording_12.mon, or recording_12_2.mon for a second recording 12.
std::string UniqueName(const std::string &proposed, std::set<std::string> *taken) {
    std::string name = proposed;
    for (int k = 2; taken->count(name); ++k) {
        fs::path p(proposed);
        name = (p.parent_path() /
                (p.stem().string() + "_" + std::to_string(k) + p.extension().string()))
                   .string();
    }
    taken->insert(name);
    return name;
}

} // namespace

// ---------------------------------------------------------------- ports
int PortsCommand(const std::vector<std::string> &args, std::ostream &out, std::ostream &err) {
    Options o;
    std::string bad = ParseOptions(args, {"--port"}, &o);
    if (!bad.empty()) return CliUsage(err, "ports: " + bad, "ports");
    if (o.help) {
        out << PORTS_HELP;
        return CLI_OK;
    }
    StartRunTime(args);
    const CliSettings settings = LoadSettings();
    const bool terminal = &err == &std::cerr && isatty(STDERR_FILENO);
    int found = 0, listed = 0;
    std::string tested;
    const int first = o.port != 0 ? o.port : 1;
    const int last = o.port != 0 ? o.port : MAX_COM_PORTS;
    for (int n = first; n <= last; ++n) {
        const std::string device = ComPortDevice(n);
        if (device.empty()) {
            if (o.port != 0) {
                CliFail(err, "COM" + std::to_string(n), "names no serial device");
                return CLI_LINK;
            }
            continue;
        }
        ++listed;
        if (terminal) err << "testing COM" << n << " (" << device << ")..." << std::flush;
        Link link;
        link.port = n;
        int r = ProbeInstrument(n, settings.baud);
        CloseCom(n);
        if (terminal) err << "\r\x1b[K" << std::flush;
        std::string state = r > 0    ? "instrument answers"
                            : r == 0 ? "no instrument answers"
                                     : LinkFailure(link, r);
        found += r > 0 ? 1 : 0;
        out << "COM" << n << '\t' << device << '\t' << state << '\n' << std::flush;
        tested += (tested.empty() ? "" : ", ") + ("COM" + std::to_string(n));
    }
    if (listed == 0) {
        CliFail(err, "ports", "no serial port found");
        return CLI_LINK;
    }
    if (found == 0) CliFail(err, tested, "no instrument answers");
    return found > 0 ? CLI_OK : CLI_LINK;
}

// ---------------------------------------------------------------- erase
int EraseCommand(const std::vector<std::string> &args, std::ostream &out, std::ostream &err) {
    Options o;
    std::string bad = ParseOptions(args, {"--port", "--device", "--yes"}, &o);
    if (!bad.empty()) return CliUsage(err, "erase: " + bad, "erase");
    if (o.help) {
        out << ERASE_HELP;
        return CLI_OK;
    }
    // Asked before anything is opened, so that a script learns at once.
    if (!o.yes && !isatty(STDIN_FILENO))
        return CliUsage(err, "erase: no terminal to ask on; --yes erases without asking", "erase");
    StartRunTime(args);
    const CliSettings settings = LoadSettings();
    const Link link = ChooseLink(o, settings);
    if (!Connect(link, settings.baud, err)) return CLI_LINK;
    if (!CountRecordings(link, err)) {
        Close(link);
        return CLI_LINK;
    }
    const int held = recordingCount;
    if (!o.yes) {
        err << "Erase the " << held << " recording" << (held == 1 ? "" : "s")
            << " held by the instrument on " << link.label
            << "? They cannot be brought back. [y/N] " << std::flush;
        std::string answer;
        std::getline(std::cin, answer);
        if (answer != "y" && answer != "Y" && answer != "yes" && answer != "YES" &&
            answer != "Yes") {
            Close(link);
            err << "Nothing erased.\n";
            return CLI_OK;
        }
    }
    int r = ClearInstrumentMemory();
    Close(link);
    if (r < 0) {
        CliFail(err, link.label,
                r == -1 ? "the instrument refused to erase its memory" : LinkFailure(link, r));
        return CLI_LINK;
    }
    out << "erased " << held << " recording" << (held == 1 ? "" : "s") << " from " << link.label
        << '\n';
    return CLI_OK;
}

// ---------------------------------------------------------------- download
int DownloadCommand(const std::vector<std::string> &args, std::ostream &out, std::ostream &err) {
    Options o;
    std::string bad =
        ParseOptions(args, {"--port", "--device", "--dir", "--format", "--force"}, &o);
    if (!bad.empty()) return CliUsage(err, "download: " + bad, "download");
    if (o.help) {
        out << DOWNLOAD_HELP;
        return CLI_OK;
    }
    StartRunTime(args);
    const CliSettings settings = LoadSettings();
    // The names and the workbook's texts are in this language.
    language = requestedLanguage >= 0 ? requestedLanguage : settings.language;
    std::error_code ec;
    fs::create_directories(o.dir, ec);
    if (!fs::is_directory(o.dir, ec)) {
        CliFail(err, o.dir, "cannot make the folder");
        return CLI_FILE;
    }
    const std::string dir = fs::absolute(o.dir, ec).lexically_normal().string();

    const Link link = ChooseLink(o, settings);
    CatchStopSignals();
    if (!Connect(link, settings.baud, err)) return CLI_LINK;
    if (!CountRecordings(link, err)) {
        Close(link);
        return CLI_LINK;
    }
    if (recordingCount == 0) {
        Close(link);
        err << "The instrument on " << link.label << " holds no recording.\n";
        return CLI_OK;
    }

    const bool terminal = &err == &std::cerr && isatty(STDERR_FILENO);
    Progress progress(err, terminal);
    progress.Start(recordingCount);
    importRunning = 1;
    transferring = 1;
    ticking = &progress;
    PostDeferredCall(Tick, TICK_MS);
    auto finish = [&] {
        ticking = nullptr;
        transferring = 0;
        progress.Clear();
        Close(link);
        importRunning = 1;
    };

    int status = CLI_OK;
    int written = 0;
    bool retried = false;
    std::set<std::string> handled; // lines already saved, skipped after a new start
    std::set<std::string> names;
    for (int i = 0; i < recordingCount; ++i) {
        if (stopSignal) break;
        progress.Begin(i + 1);
        std::memset(replyBuffer, 0, sizeof replyBuffer);
        int a = ReadNextRecording();
        if (importRunning != 1 || stopSignal) break; // the recording on its way is dropped
        if (a == IMPORT_NO_REPLY && !retried) {
            // One new start, as the program makes: the instrument sends its
            // recordings from the first again.
            retried = true;
            if (!CountRecordings(link, err)) {
                finish();
                return CLI_LINK;
            }
            progress.Start(recordingCount);
            i = -1;
            continue;
        }
        if (a != 1) {
            std::string what = a == IMPORT_NO_REPLY ? "no reply"
                               : a == RECORDING_CUT ? "its line was cut short"
                               : a == RECORDING_MALFORMED
                                   ? "what came has not the shape of a recording (line noise?)"
                                   : LinkFailure(link, a);
            finish();
            CliFail(err, link.label,
                    "recording " + std::to_string(i + 1) + " of " + std::to_string(recordingCount) +
                        " did not arrive: " + what + "; " + std::to_string(written) + " file" +
                        (written == 1 ? "" : "s") + " written before stay");
            return CLI_LINK;
        }
        const std::size_t n = strnlen(replyBuffer, sizeof replyBuffer);
        const std::string line = CleanLineText(std::string_view(replyBuffer, n));
        std::memset(replyBuffer, 0, sizeof replyBuffer);
        progress.Arrived(n + 1);
        progress.SetLastBytes(n + 1);
        // After a new start, the recordings saved before it come again.
        if (!handled.insert(line).second && retried) continue;

        ImportEntry entry{};
        ParseRecordingHeader(line, &entry);
        if (entry.number == 0) {
            finish();
            CliFail(err, link.label,
                    "recording " + std::to_string(i + 1) +
                        " has the number 0 and cannot be named; the transfer stops");
            return CLI_LINK;
        }
        int date[6];
        GetSystemDate(&date[0], &date[1], &date[2]);
        GetSystemTime(&date[3], &date[4], &date[5]);

        const std::string mon = UniqueName(ProposedRecordingPath(dir, entry.number), &names);
        const std::string target = o.format == "mon" ? mon : WithExtension(mon, o.format);
        const std::string transfer = TransferFileText(StoredName(mon), date, line);
        std::string why = "cannot be written";
        Placed placed = Place(target, o.force, [&](const std::string &part) {
            if (o.format == "mon") return ReplaceFileContents(part, transfer);
            CliRecording r;
            if (!ReadRecordingText(mon, transfer, &r, &why)) return false;
            if (o.format == "vlr") return ReplaceFileContents(part, VlrText(r, target));
            if (o.format == "csv") return ReplaceFileContents(part, CsvText(r));
            return WriteWorkbook(r, language, part, &why);
        });
        if (placed == Placed::Written) {
            ++written;
            // On a terminal the name on standard output says it already.
            if (terminal)
                progress.Clear();
            else
                progress.Report("saved " + target);
            out << target << '\n' << std::flush;
        } else if (placed == Placed::Kept) {
            status = CLI_FILE;
            progress.Clear();
            CliFail(err, target, "exists, not replaced (--force replaces it)");
        } else {
            status = CLI_FILE;
            progress.Clear();
            CliFail(err, target, why);
        }
    }
    const int announced = recordingCount;
    const int stop = stopSignal;
    finish();
    if (stop) {
        CliFail(err, link.label,
                "stopped: the recording on its way was discarded; " + std::to_string(written) +
                    " file" + (written == 1 ? "" : "s") + " written stay");
        EndBySignal(stop);
    }
    char took[64];
    std::snprintf(took, sizeof took, "%.1f s", progress.Elapsed());
    err << announced << " recording" << (announced == 1 ? "" : "s") << " transferred from "
        << link.label << " in " << took << "; " << written << " file" << (written == 1 ? "" : "s")
        << " written in " << dir << '\n';
    return status;
}
