// rd5150-sim: stands in for an RD5150 on a pseudo-terminal linked as COMn.
#include "simulator.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <string>
#include <unistd.h>

namespace {

void Usage(std::FILE *f) {
    std::fprintf(f, "Usage: rd5150-sim --link PATH [options]\n"
                    "Simulates an RD5150 rotation and speed meter on a pseudo-terminal whose\n"
                    "device is linked as PATH. Runs until SIGINT or SIGTERM, then removes the\n"
                    "link.\n"
                    "The program finds it as port n through a link named COMn in its\n"
                    "configuration folder: ~/.config/velorinder/COM1 once installed\n"
                    "($XDG_CONFIG_HOME/velorinder when that is set), or the program's own\n"
                    "directory when it runs from a folder of its own (a build or a copy).\n"
                    "\n"
                    "Protocol: \" \\r\\n\" -> \"*E\"; \"Md\\r\\n\" -> number of recordings, and\n"
                    "the next \"Mg\" starts again at the first; \"Mg\\r\\n\" -> next recording\n"
                    "line (silence after the last); recordings stay held until\n"
                    "\"Mc\\r\\n\" -> erase memory, \"OK\". Replies end in LF.\n"
                    "\n"
                    "Options:\n"
                    "  --link PATH            where to link the device (required)\n"
                    "  --recordings FILE      recordings to hold (default: six demo recordings)\n"
                    "  --empty                hold no recordings\n"
                    "  --long SAMPLES         hold one recording of SAMPLES samples (at most\n"
                    "                         8122, a whole line); paced, 8000 take about 17 s\n"
                    "  --unpaced              send as fast as possible (default: 10 bits per\n"
                    "                         byte at the baud rate)\n"
                    "  --baud N               baud rate for pacing (default 38400)\n"
                    "  --crlf                 end replies with CR LF instead of LF\n"
                    "  --lower-presence       answer the presence test with \"*e\"\n"
                    "  --refuse-md N          refuse the next N \"Md\" requests with \"*EX\"\n"
                    "  --refuse-mc N          refuse the next N \"Mc\" requests with \"*EX\"\n"
                    "  --refuse-lower         refusals are \"*ex\" instead of \"*EX\"\n"
                    "  --short-line K:LEN[:REPEAT[:then]]\n"
                    "                         answer the K-th \"Mg\" (0-based) with REPEAT lines\n"
                    "                         of LEN characters (25: too short, 30: skipped);\n"
                    "                         with \":then\" the next recording follows them;\n"
                    "                         may be given several times\n"
                    "  --silent-after N       send no reply after N requests\n"
                    "  --cut K:CHARS          cut the answer to the K-th \"Mg\" after CHARS\n"
                    "                         characters, without line end\n"
                    "  --stray TEXT[:COUNT]   send TEXT before each of the next COUNT replies\n"
                    "                         (default every reply); \\xHH escapes allowed\n"
                    "  --reply-delay MS       wait MS milliseconds before each reply\n"
                    "\n"
                    "Faults of the link, each set off once when BYTES reply bytes have gone out:\n"
                    "  --vanish-after BYTES[:BACK_MS]\n"
                    "                         vanish like a USB adapter pulled out: close the\n"
                    "                         pseudo-terminal and remove the link; come back (a\n"
                    "                         new pseudo-terminal, linked again) BACK_MS later,\n"
                    "                         or on SIGUSR1 when BACK_MS is not given\n"
                    "  --garbage BYTES[:COUNT]\n"
                    "                         the rest of the reply under way is lost and COUNT\n"
                    "                         bytes of noise go out instead (default 64; never\n"
                    "                         LF, XON or XOFF)\n"
                    "  --hold-xoff BYTES[:MS] send XOFF and hold it MS milliseconds, then send\n"
                    "                         XON; without MS, hold it until SIGUSR1\n"
                    "  --slow MS[:BYTES]      answer slowly: one byte every MS milliseconds,\n"
                    "                         from byte BYTES on (default 0: every reply)\n"
                    "Signals: SIGUSR2 pulls the device out now, SIGUSR1 plugs it in again (and\n"
                    "releases a held XOFF). SIGHUP switches the instrument off and on: it\n"
                    "forgets a held XOFF without sending XON, and no later fault is set off.\n"
                    "\n"
                    "Conditions the program must come through:\n"
                    "  a long line arriving    --long 8000 (watch the import's gauge)\n"
                    "  Stop in mid-line        --long 8000, press Stop, import again at once\n"
                    "  endless noise           --garbage 5:1000000 (instead of the first line)\n"
                    "  a dribbling device      --slow 1500:5 (a byte every 1.5 s from the first\n"
                    "                          line on)\n"
                    "  XOFF while idle         --hold-xoff BYTES (BYTES: those of an import),\n"
                    "                          then SIGHUP once the import has ended\n"
                    "\n"
                    "  --help                 this text\n"
                    "\n");
    std::fputs(rd5150::RecordingsFileHelp(), f);
}

bool ToLong(const char *s, long &v) {
    if (!s || !*s) return false;
    char *end = nullptr;
    v = std::strtol(s, &end, 10);
    return *end == '\0';
}

std::string Unescape(const std::string &s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] == 'x') {
            out += static_cast<char>(std::strtol(s.substr(i + 2, 2).c_str(), nullptr, 16));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

} // namespace

int main(int argc, char **argv) {
    std::string link, recordingsFile;
    bool empty = false;
    long longSamples = 0;
    rd5150::Options opt;
    auto need = [&](int &i) -> const char * {
        if (i + 1 >= argc) {
            std::fprintf(stderr, "rd5150-sim: %s needs a value\n", argv[i]);
            std::exit(2);
        }
        return argv[++i];
    };
    auto bad = [&](const char *what, const char *value) {
        std::fprintf(stderr, "rd5150-sim: bad value for %s: %s\n", what, value);
        std::exit(2);
    };
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        long n = 0;
        if (a == "--help" || a == "-h") {
            Usage(stdout);
            return 0;
        } else if (a == "--link") {
            link = need(i);
        } else if (a == "--recordings") {
            recordingsFile = need(i);
        } else if (a == "--empty") {
            empty = true;
        } else if (a == "--unpaced") {
            opt.paced = false;
        } else if (a == "--baud") {
            const char *v = need(i);
            if (!ToLong(v, n) || n <= 0) bad("--baud", v);
            opt.baud = n;
        } else if (a == "--crlf") {
            opt.crlf = true;
        } else if (a == "--lower-presence") {
            opt.lowerCasePresence = true;
        } else if (a == "--refuse-md" || a == "--refuse-mc") {
            const char *v = need(i);
            if (!ToLong(v, n) || n < 0) bad(a.c_str(), v);
            (a == "--refuse-md" ? opt.refuseMd : opt.refuseMc) = static_cast<int>(n);
        } else if (a == "--refuse-lower") {
            opt.refuseLowerCase = true;
        } else if (a == "--short-line") {
            const char *v = need(i);
            rd5150::ShortLine s;
            long k = 0, len = 0, rep = 1;
            char then[8] = "";
            const int got = std::sscanf(v, "%ld:%ld:%ld:%7s", &k, &len, &rep, then);
            if (got < 2 || k < 0 || len < 0 || rep < 1 ||
                (got == 4 && std::strcmp(then, "then") != 0))
                bad("--short-line", v);
            s.atMg = k;
            s.length = static_cast<std::size_t>(len);
            s.repeat = static_cast<int>(rep);
            s.thenRecording = got == 4;
            opt.shortLines.push_back(s);
        } else if (a == "--long") {
            const char *v = need(i);
            if (!ToLong(v, n) || n < 1 || n > 8122) bad("--long", v);
            longSamples = n;
        } else if (a == "--silent-after") {
            const char *v = need(i);
            if (!ToLong(v, n) || n < 0) bad("--silent-after", v);
            opt.silentAfter = n;
        } else if (a == "--cut") {
            const char *v = need(i);
            long k = 0, chars = 0;
            if (std::sscanf(v, "%ld:%ld", &k, &chars) != 2 || k < 0 || chars < 0) bad("--cut", v);
            opt.cutAtMg = k;
            opt.cutAfterChars = static_cast<std::size_t>(chars);
        } else if (a == "--stray") {
            std::string v = need(i);
            const auto colon = v.rfind(':');
            if (colon != std::string::npos && ToLong(v.c_str() + colon + 1, n)) {
                opt.strayCount = static_cast<int>(n);
                v.resize(colon);
            }
            opt.strayBytes = Unescape(v);
        } else if (a == "--vanish-after" || a == "--garbage" || a == "--hold-xoff") {
            const char *v = need(i);
            long bytes = 0, second = -1;
            const int got = std::sscanf(v, "%ld:%ld", &bytes, &second);
            if (got < 1 || bytes < 0 || (got == 2 && second < 0) ||
                std::strspn(v, "0123456789:") != std::strlen(v))
                bad(a.c_str(), v);
            if (a == "--vanish-after") {
                opt.vanishAfterBytes = bytes;
                opt.backAfter = std::chrono::milliseconds(second);
            } else if (a == "--garbage") {
                opt.garbageAfterBytes = bytes;
                if (got == 2) opt.garbageBytes = static_cast<std::size_t>(second);
            } else {
                opt.xoffAfterBytes = bytes;
                opt.xoffHold = std::chrono::milliseconds(second);
            }
        } else if (a == "--slow") {
            const char *v = need(i);
            long ms = 0, from = 0;
            const int got = std::sscanf(v, "%ld:%ld", &ms, &from);
            if (got < 1 || ms <= 0 || from < 0 || std::strspn(v, "0123456789:") != std::strlen(v))
                bad("--slow", v);
            opt.slowByte = std::chrono::milliseconds(ms);
            opt.slowAfterBytes = from;
        } else if (a == "--reply-delay") {
            const char *v = need(i);
            if (!ToLong(v, n) || n < 0) bad("--reply-delay", v);
            opt.replyDelay = std::chrono::milliseconds(n);
        } else {
            std::fprintf(stderr, "rd5150-sim: unknown argument %s (see --help)\n", argv[i]);
            return 2;
        }
    }
    if (link.empty()) {
        std::fprintf(stderr, "rd5150-sim: --link PATH is required (see --help)\n");
        return 2;
    }

    std::vector<rd5150::Recording> recordings;
    if (!recordingsFile.empty()) {
        std::string error;
        if (!rd5150::LoadRecordingsFile(recordingsFile, recordings, &error)) {
            std::fprintf(stderr, "rd5150-sim: %s\n", error.c_str());
            return 1;
        }
    } else if (longSamples > 0) {
        rd5150::Recording r;
        r.number = 1;
        for (long k = 0; k < longSamples; ++k)
            r.values.push_back(1000.0 + static_cast<double>(k % 500));
        recordings.push_back(r);
    } else if (!empty) {
        recordings = rd5150::DemoRecordings();
    }

    // The signals are blocked in every thread (the simulator's thread
    // inherits the mask) and taken with sigwait below.
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t signals;
    sigemptyset(&signals);
    for (int sig : {SIGINT, SIGTERM, SIGUSR1, SIGUSR2, SIGHUP})
        sigaddset(&signals, sig);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    const std::size_t count = recordings.size();
    rd5150::Simulator sim(std::move(recordings), opt);
    if (!sim.Start(link)) {
        std::fprintf(stderr, "rd5150-sim: %s\n", sim.LastError().c_str());
        return 1;
    }
    std::printf("rd5150-sim: linked %s -> %s, %zu recording(s), %s\n", link.c_str(),
                sim.DevicePath().c_str(), count,
                opt.paced ? ("paced at " + std::to_string(opt.baud) + " baud").c_str() : "unpaced");
    std::fflush(stdout);

    for (;;) {
        int sig = 0;
        if (sigwait(&signals, &sig) != 0) continue;
        if (sig == SIGUSR2) {
            if (sim.Unplug()) std::printf("rd5150-sim: pulled out, %s removed\n", link.c_str());
        } else if (sig == SIGHUP) {
            rd5150::Options quiet;
            quiet.paced = opt.paced;
            quiet.baud = opt.baud;
            quiet.crlf = opt.crlf;
            quiet.lowerCasePresence = opt.lowerCasePresence;
            sim.SetOptions(quiet);
            std::printf("rd5150-sim: switched off and on\n");
        } else if (sig == SIGUSR1) {
            sim.ReleaseXoff();
            if (sim.IsPlugged()) continue;
            if (sim.Plug())
                std::printf("rd5150-sim: plugged in, linked %s -> %s\n", link.c_str(),
                            sim.DevicePath().c_str());
            else
                std::fprintf(stderr, "rd5150-sim: %s\n", sim.LastError().c_str());
        } else {
            break;
        }
        std::fflush(stdout);
    }
    sim.Stop();
    return 0;
}
