// The commands of velorinder-cli: reading any recording, transfer or
// temporary file, describing it, and writing it as a recording file or csv.
#include "cli/cli.h"

#include "display/display.h"
#include "link/link.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <ostream>
#include <set>
#include <system_error>

namespace fs = std::filesystem;

int requestedLanguage = -1;

namespace {

const char *const PROGRAM = "velorinder-cli";

const char *const GENERAL_HELP =
    "usage: velorinder-cli COMMAND [OPTIONS]\n"
    "\n"
    "The RD5150's recordings without windows: the files it writes are those the\n"
    "graphical program writes, and it reads the same files.\n"
    "\n"
    "commands:\n"
    "  ports [--port N]                      the serial ports and where an instrument answers\n"
    "  download [--port N|--device PATH] [--dir DIR] [--format mon|vlr|csv|xlsx] [--force]\n"
    "                                        transfer every recording of the instrument\n"
    "  erase [--port N|--device PATH] --yes  clear the instrument's memory\n"
    "  convert FILE... --to vlr|csv|xlsx|png|svg|pdf [--out DIR] [--size WxH]\n"
    "                                        write files as another kind\n"
    "  info FILE...                          describe recording, transfer and temporary files\n"
    "\n"
    "  --lang fr|gb|al|es|it   language of the texts written into files (names,\n"
    "                          workbook headers); en and de name gb and al;\n"
    "                          default: the program's settings\n"
    "\n"
    "velorinder-cli COMMAND --help describes a command; man velorinder-cli tells more.\n"
    "exit status: 0 success, 1 usage error, 2 the instrument did not answer or the\n"
    "link failed, 3 a file could not be read or written\n";

const char *const INFO_HELP =
    "usage: velorinder-cli info FILE...\n"
    "\n"
    "Describes each recording (.vlr), transfer (.mon) or temporary (.tmp) file: kind,\n"
    "title, date, interval, unit, mode, coefficient, sample count, duration, minimum\n"
    "and maximum with their times, and the missing samples (gaps).\n"
    "Files that cannot be read are reported and the others still described (status 3).\n";

const char *const CONVERT_HELP =
    "usage: velorinder-cli convert FILE... --to FORMAT [--out DIR] [--size WxH]\n"
    "                              [--lang fr|gb|al|es|it]\n"
    "\n"
    "Writes each recording (.vlr), transfer (.mon) or temporary (.tmp) file as\n"
    "  vlr   a recording file, as the program saves it (gaps kept as 9999999.900000)\n"
    "  csv   a header line (time_s,value,unit) and one line per sample; a point as\n"
    "        decimal mark, a missing sample as an empty value\n"
    "  xlsx  the workbook of the program's spreadsheet export (headers in --lang)\n"
    "  png, svg\n"
    "        the curve as a graph window draws it: title, time axis in h:mm:ss,\n"
    "        unit on the value axis; --size WxH in pixels (default 800x500)\n"
    "  pdf   the page the program prints: title, date, file, mode, interval,\n"
    "        coefficient and unit, the graph, the cursor readout and a footer\n"
    "        (texts in --lang); landscape, the page size of the locale\n"
    "The new file has the input's name with the new extension, in DIR (created when\n"
    "missing) or else beside the input; an existing file of that name is replaced.\n"
    "Files that are refused are reported and the others still converted (status 3).\n";

// The shortest text that reads back as x, with a point whatever the locale.
std::string Number(double x) {
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, x);
    if (ec != std::errc()) return "?";
    return std::string(buffer, end);
}

std::string Trimmed(std::string_view s) {
    std::size_t first = s.find_first_not_of(' ');
    if (first == std::string_view::npos) return "";
    std::size_t last = s.find_last_not_of(' ');
    return std::string(s.substr(first, last - first + 1));
}

std::string UnitText(int measureType) {
    if (measureType < 0 || measureType >= UNIT_COUNT) return "";
    return Trimmed(unitTable[measureType]);
}

std::string KindText(const std::string &path, FileKind kind) {
    if (kind == FileKind::Transfer)
        return PathExtension(path) == ".tmp" ? "temporary transfer file" : "transfer file";
    return "recording file";
}

std::string DateText(const RecordingFile &f) {
    if (f.day == 0 && f.month == 0 && f.year == 0 && f.hour == 0 && f.minute == 0) return "none";
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", f.year, f.month, f.day, f.hour,
                  f.minute);
    return text;
}

std::vector<bool> GapMask(const RecordingFile &f) {
    std::vector<bool> gap(f.value.size(), false);
    for (int g : f.gaps)
        if (g >= 0 && static_cast<std::size_t>(g) < gap.size())
            gap[static_cast<std::size_t>(g)] = true;
    return gap;
}

// A transfer file's recording line decoded as the program opens it.
bool ReadTransferText(std::string_view text, RecordingFile *f, std::string *why) {
    TransferFile t;
    if (!ParseTransferFile(text, &t)) {
        *why = "not a transfer file: its name, date (mm/dd/yyyy hh:mm) or recording line "
               "(header and values, " +
               std::to_string(MIN_TRANSFER_LINE) + " to " + std::to_string(MAX_TRANSFER_LINE) +
               " characters) is not as the import writes it";
        return false;
    }
    ImportEntry entry{};
    entry.fileName = t.name;
    ParseRecordingHeader(t.line, &entry);
    // Every length of the line, header included, as the file reader decodes it.
    DecodeRecordingLine(t.line, static_cast<int>(t.line.size() / FIELD_LENGTH), &entry);
    int count = std::clamp(entry.count, 0, MAX_SAMPLES);
    count = std::min<int>(count, static_cast<int>(entry.values.size()));
    if (count < 1) {
        *why = "not a transfer file: its recording line holds no sample";
        return false;
    }
    *f = RecordingFile{};
    f->name = t.name;
    f->month = t.date[0];
    f->day = t.date[1];
    f->year = t.date[2];
    f->hour = t.date[3];
    f->minute = t.date[4];
    f->interval = static_cast<unsigned>(entry.interval);
    f->measureType = entry.unitIndex;
    f->coefficient = entry.coefficient;
    f->mode = entry.mode;
    // The samples end where the times stop rising.
    int stored = 1;
    while (stored < count && entry.times[stored] - entry.times[stored - 1] > 0)
        ++stored;
    f->time.assign(entry.times.begin(), entry.times.begin() + stored);
    f->value.assign(entry.values.begin(), entry.values.begin() + stored);
    for (int k = 0; k < stored; ++k) {
        if (f->value[k] == UNDEFINED_VALUE) {
            f->value[k] = 0.0;
            f->gaps.push_back(k);
        }
    }
    return true;
}

bool ReadFile(const std::string &path, CliRecording *r, std::string *why) {
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        *why = "no such file";
        return false;
    }
    if (fs::is_directory(path, ec)) {
        *why = "is a directory";
        return false;
    }
    std::string text;
    if (!ReadWholeFile(path, &text)) {
        *why = "cannot be read";
        return false;
    }
    return ReadRecordingText(path, text, r, why);
}

int InfoCommand(const std::vector<std::string> &args, std::ostream &out, std::ostream &err) {
    std::vector<std::string> files;
    for (std::size_t i = 2; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            out << INFO_HELP;
            return CLI_OK;
        }
        if (args[i].size() > 1 && args[i][0] == '-')
            return CliUsage(err, "info: unknown option " + args[i], "info");
        files.push_back(args[i]);
    }
    if (files.empty()) return CliUsage(err, "info: no file given", "info");
    int status = CLI_OK;
    bool first = true;
    for (const std::string &path : files) {
        CliRecording r;
        std::string why;
        if (!ReadFile(path, &r, &why)) {
            CliFail(err, path, why);
            status = CLI_FILE;
            continue;
        }
        if (!first) out << '\n';
        first = false;
        out << InfoText(path, r);
    }
    return status;
}

bool IsPicture(const std::string &format) {
    return format == "png" || format == "svg" || format == "pdf";
}

// "800x500" as width and height, each 16 to 20000 pixels.
bool ParseSize(const std::string &text, int *width, int *height) {
    std::size_t x = text.find_first_of("xX");
    if (x == std::string::npos) return false;
    auto number = [](std::string_view s, int *v) {
        auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), *v);
        return ec == std::errc() && end == s.data() + s.size() && *v >= 16 && *v <= 20000;
    };
    return number(std::string_view(text).substr(0, x), width) &&
           number(std::string_view(text).substr(x + 1), height);
}

int ConvertCommand(const std::vector<std::string> &args, std::ostream &out, std::ostream &err) {
    std::vector<std::string> files;
    std::string to, outDir, size;
    bool haveOut = false, haveSize = false;
    for (std::size_t i = 2; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (a == "--help" || a == "-h") {
            out << CONVERT_HELP;
            return CLI_OK;
        }
        std::string value;
        std::string name = a;
        std::size_t eq = a.find('=');
        if (a.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = a.substr(0, eq);
            value = a.substr(eq + 1);
        } else if (a == "--to" || a == "--out" || a == "--size") {
            if (i + 1 >= args.size())
                return CliUsage(err, "convert: " + a + " needs a value", "convert");
            value = args[++i];
        }
        if (name == "--to") {
            to = value;
        } else if (name == "--out") {
            outDir = value;
            haveOut = true;
        } else if (name == "--size") {
            size = value;
            haveSize = true;
        } else if (a.size() > 1 && a[0] == '-') {
            return CliUsage(err, "convert: unknown option " + a, "convert");
        } else {
            files.push_back(a);
        }
    }
    if (to.empty()) return CliUsage(err, "convert: --to FORMAT is missing", "convert");
    if (to != "vlr" && to != "csv" && to != "xlsx" && !IsPicture(to))
        return CliUsage(err,
                        "convert: cannot convert to '" + to + "' (vlr, csv, xlsx, png, svg or pdf)",
                        "convert");
    int width = 800, height = 500;
    if (haveSize && (!IsPicture(to) || to == "pdf"))
        return CliUsage(err, "convert: --size applies to png and svg (a pdf is a printed page)",
                        "convert");
    if (haveSize && !ParseSize(size, &width, &height))
        return CliUsage(err, "convert: --size needs WIDTHxHEIGHT, each 16 to 20000 (e.g. 800x500)",
                        "convert");
    if (haveOut && outDir.empty()) return CliUsage(err, "convert: --out needs a folder", "convert");
    if (files.empty()) return CliUsage(err, "convert: no file given", "convert");

    // Workbooks and pictures are made by the run-time; the settings give the
    // language and the colours.
    CliSettings settings;
    int lang = requestedLanguage;
    if (to == "xlsx" || IsPicture(to)) {
        StartRunTime(args);
        std::string text;
        if (ReadWholeFile(SettingsFilePath(), &text)) settings = ParseCliSettings(text);
        if (lang < 0) lang = settings.language;
    }
    if (haveOut) {
        std::error_code ec;
        fs::create_directories(outDir, ec);
        if (ec || !fs::is_directory(outDir)) {
            CliFail(err, outDir, "cannot make the output folder: " + ec.message());
            return CLI_FILE;
        }
    }

    int status = CLI_OK;
    std::set<std::string> written;
    for (const std::string &path : files) {
        CliRecording r;
        std::string why;
        if (!ReadFile(path, &r, &why)) {
            CliFail(err, path, why);
            status = CLI_FILE;
            continue;
        }
        fs::path in(path);
        fs::path dir = haveOut ? fs::path(outDir) : in.parent_path();
        fs::path target = dir / in.filename();
        target.replace_extension("." + to);
        std::error_code ec;
        std::string key = fs::weakly_canonical(target, ec).string();
        if (ec) key = target.string();
        if (fs::exists(target, ec) && fs::equivalent(in, target, ec)) {
            CliFail(err, path, "not converted: " + target.string() + " is the file itself");
            status = CLI_FILE;
            continue;
        }
        if (!written.insert(key).second) {
            CliFail(err, path,
                    "not converted: " + target.string() + " was written from another file");
            status = CLI_FILE;
            continue;
        }
        bool done = false;
        why = "cannot be written";
        if (to == "vlr" || to == "csv") {
            done = ReplaceFileContents(target.string(),
                                       to == "vlr" ? VlrText(r, target.string()) : CsvText(r));
        } else if (to == "xlsx") {
            done = WriteWorkbook(r, lang, target.string(), &why);
        } else if (to == "pdf") {
            done = WriteReportPdf(r, lang, path, target.string());
        } else {
            done =
                SaveCurvePicture(PictureOf(r, settings), target.string(), to, width, height) == 0;
        }
        if (!done) {
            CliFail(err, target.string(), why);
            status = CLI_FILE;
            continue;
        }
        out << path << " -> " << target.string() << '\n';
    }
    return status;
}

} // namespace

bool ReadRecordingText(const std::string &path, std::string_view text, CliRecording *r,
                       std::string *why) {
    *r = CliRecording{};
    r->kind = KindOfPath(path) == FileKind::Transfer ? FileKind::Transfer : FileKind::Recording;
    if (r->kind == FileKind::Transfer) return ReadTransferText(text, &r->file, why);
    if (!ParseRecordingFile(text, &r->file)) {
        *why = "not a recording file: no sample count of 1 to 65000 or no complete sample";
        return false;
    }
    return true;
}

std::string VlrText(const CliRecording &r, const std::string &path) {
    RecordingFile f = r.file;
    f.name = NameLine(path);
    // A missing sample keeps its mark, so that it opens again as missing.
    for (int g : f.gaps)
        if (g >= 0 && static_cast<std::size_t>(g) < f.value.size())
            f.value[static_cast<std::size_t>(g)] = MISSING_SAMPLE;
    return FormatRecordingFile(f);
}

std::string CsvText(const CliRecording &r) {
    return FormatCsvFile(r.file, UnitText(r.file.measureType));
}

std::string InfoText(const std::string &path, const CliRecording &r) {
    const RecordingFile &f = r.file;
    const std::size_t n = std::min(f.time.size(), f.value.size());
    const std::vector<bool> gap = GapMask(f);
    std::string out;
    auto line = [&out](const char *label, const std::string &text) {
        out += label;
        out += ": ";
        out += text;
        out += '\n';
    };
    line("file", path);
    line("kind", KindText(path, r.kind));
    line("title", f.name);
    line("date", DateText(f));
    line("interval", std::to_string(f.interval) + " s");
    std::string unit = UnitText(f.measureType);
    line("unit", unit.empty() ? "unknown (" + std::to_string(f.measureType) + ")" : unit);
    line("mode", Trimmed(ModeListText(f.mode)));
    line("coefficient", Number(f.coefficient));
    line("samples", std::to_string(n));
    double duration = n > 0 ? f.time[n - 1] - f.time[0] : 0.0;
    line("duration", Number(duration) + " s (" + Clock(duration) + ")");
    std::size_t lo = n, hi = n;
    for (std::size_t i = 0; i < n; ++i) {
        if (gap[i]) continue;
        if (lo == n || f.value[i] < f.value[lo]) lo = i;
        if (hi == n || f.value[i] > f.value[hi]) hi = i;
    }
    auto extreme = [&](std::size_t i) {
        if (i == n) return std::string("none");
        return Number(f.value[i]) + " " + unit + " at " + Number(f.time[i]) + " s";
    };
    line("minimum", extreme(lo));
    line("maximum", extreme(hi));
    std::string gaps = f.gaps.empty() ? "none" : std::to_string(f.gaps.size()) + ", at";
    const std::size_t shown = 10;
    for (std::size_t g = 0; g < f.gaps.size() && g < shown; ++g) {
        std::size_t i = static_cast<std::size_t>(f.gaps[g]);
        gaps += (g == 0 ? " " : ", ") + (i < n ? Number(f.time[i]) : std::string("?")) + " s";
    }
    if (f.gaps.size() > shown) gaps += ", ...";
    line("gaps", gaps);
    return out;
}

void CliFail(std::ostream &err, const std::string &where, const std::string &what) {
    err << PROGRAM << ": " << where << ": " << what << '\n';
}

int CliUsage(std::ostream &err, const std::string &what, const char *command) {
    err << PROGRAM << ": " << what << "; see " << PROGRAM << ' ';
    if (*command) err << command << ' ';
    err << "--help\n";
    return CLI_USAGE;
}

int RunCli(const std::vector<std::string> &given, std::ostream &out, std::ostream &err) {
    // --lang belongs to every command, before or after its name.
    std::vector<std::string> args;
    requestedLanguage = -1;
    for (std::size_t i = 0; i < given.size(); ++i) {
        std::string code;
        if (given[i] == "--lang") {
            if (i + 1 >= given.size())
                return CliUsage(err, "--lang needs fr, gb (en), al (de), es or it", "");
            code = given[++i];
        } else if (given[i].rfind("--lang=", 0) == 0) {
            code = given[i].substr(7);
        } else {
            args.push_back(given[i]);
            continue;
        }
        requestedLanguage = LanguageOfCode(code);
        if (requestedLanguage < 0)
            return CliUsage(err, "unknown language '" + code + "' (fr, gb (en), al (de), es or it)",
                            "");
    }
    if (args.size() < 2) {
        err << GENERAL_HELP;
        return CLI_USAGE;
    }
    const std::string &command = args[1];
    if (command == "--help" || command == "-h" || command == "help") {
        out << GENERAL_HELP;
        return CLI_OK;
    }
    if (command == "info") return InfoCommand(args, out, err);
    if (command == "convert") return ConvertCommand(args, out, err);
    if (command == "ports") return PortsCommand(args, out, err);
    if (command == "download") return DownloadCommand(args, out, err);
    if (command == "erase") return EraseCommand(args, out, err);
    err << PROGRAM << ": unknown command '" << command << "'; see " << PROGRAM << " --help\n";
    return CLI_USAGE;
}
