// velorinder-cli: the program's file road without windows. The texts and
// files it makes come from the same readers, decoder and writers as the
// graphical program's, so that both read each other's files the same.
#pragma once

#include "files/files.h"

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

// The whole command line (args[0] is the program); messages go to out and
// err; gives the exit status.
int RunCli(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);
