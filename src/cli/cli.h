// velorinder-cli: the program's file road without windows. The texts and
// files it makes come from the same readers, decoder and writers as the
// graphical program's, so that both read each other's files the same.
#pragma once

#include "files/files.h"
#include "platform/platform.h"

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

// Exit statuses.
constexpr int CLI_OK = 0;
constexpr int CLI_USAGE = 1;
constexpr int CLI_LINK = 2;
constexpr int CLI_FILE = 3;

// A recording as a window would hold it: missing samples are 0.0 in value and
// listed in gaps.
struct CliRecording {
    FileKind kind = FileKind::Recording;
    RecordingFile file;
};

// Reads a file's text as its name's kind says: a transfer or temporary file
// through the import's decoder, anything else as a recording file. False with
// the reason when the file is refused.
bool ReadRecordingText(const std::string &path, std::string_view text, CliRecording *r,
                       std::string *why);
// The recording file that saving the recording under path writes.
std::string VlrText(const CliRecording &r, const std::string &path);
// One header line, then time in seconds, value and unit per sample; a
// point as decimal mark, a missing sample as an empty value.
std::string CsvText(const CliRecording &r);
// The description `info` prints for one file.
std::string InfoText(const std::string &path, const CliRecording &r);

// What the program's settings file holds for the command line: read as the
// program reads it, never written; defaults when missing or damaged.
struct CliSettings {
    bool found = false; // a whole settings file was read
    int language = 1;
    int port = 1;
    int baud = 38400;
    int colours[7] = {0xFF0000, 0xC0C0C0, 0x000080, 0x00FF00, 0xFFFF00, 0x000000, 0};
};
CliSettings ParseCliSettings(std::string_view text);
// Seconds as h:mm:ss; negative, far or non-finite times are bounded.
std::string Clock(double seconds);
// Velorcfg.ini where the program keeps it.
std::string SettingsFilePath();
// "fr", "gb", "al", "es", "it" (or "en", "de") as the program's language
// numbers 0 to 4; -1 otherwise.
int LanguageOfCode(std::string_view code);

// The title the recording's window would show.
std::string WindowTitleOf(const CliRecording &r);
// The workbook the spreadsheet export writes for the recording's window, its
// texts in language lang. False with the reason when it cannot be written.
bool WriteWorkbook(const CliRecording &r, int lang, const std::string &path, std::string *why);
// The curve as the recording's window draws it, in the settings' colours.
CurvePicture PictureOf(const CliRecording &r, const CliSettings &settings);
// The page the program prints of the window it opens on the file at
// `inputPath`, its texts in language lang, as a PDF file at target.
bool WriteReportPdf(const CliRecording &r, int lang, const std::string &inputPath,
                    const std::string &target);

// The language --lang asked for (0 to 4), -1 when none: then the settings'.
extern int requestedLanguage;

// Starts the run-time of a program without windows (serial ports, the
// settings' folder, pictures, workbooks); once.
void StartRunTime(const std::vector<std::string> &args);

// The whole command line (args[0] is the program); messages go to out and
// err; gives the exit status.
int RunCli(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);
// The instrument's commands (instrument.cpp), same contract as RunCli.
int PortsCommand(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);
int DownloadCommand(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);
int EraseCommand(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);

// Shared by the commands.
void CliFail(std::ostream &err, const std::string &where, const std::string &what);
int CliUsage(std::ostream &err, const std::string &what, const char *command);
