// Replacing a file whole: every file the program writes goes through here, so
// that a full disk, a failure or a cut at any moment (the program killed, the
// power gone) leaves either the old file or the new one, never a mix.
#pragma once

#include <functional>
#include <string>
#include <string_view>

constexpr int REPLACE_DONE = 0;
// No file could be made there: the folder is missing or read-only, the name
// is a folder, or the file itself is read-only. The old file is untouched.
constexpr int REPLACE_NOT_CREATED = -1;
// The new file could not be written whole (full disk, quota, file size limit,
// I/O error). The old file is untouched.
constexpr int REPLACE_NOT_WRITTEN = -2;

// Writes the new file through `fill` and puts it in place of `path` only once
// it is complete and on disk. `fill` gets a descriptor open for writing and a
// name that opens the same file (for writers that only take a name); it gives
// false on failure and may be called a second time (when a file system cannot
// link an unnamed file). A link at `path` stays a link: its target is replaced.
// While the new file is written it has no name where the user looks; the rare
// temporary left by a cut (".<name>.XXXXXX" beside the file) is removed at the
// next save of the same file.
int ReplaceFile(const std::string &path,
                const std::function<bool(int fd, const std::string &name)> &fill);
int ReplaceFileText(const std::string &path, std::string_view text);
// The system's reason for the last failed replace ("Permission denied",
// "No space left on device"), for the message that names the file.
std::string ReplaceFailureReason();
// Writes all of text to fd; false when any of it could not be written.
bool WriteAll(int fd, std::string_view text);

// Test seam: false makes ReplaceFile write through a named temporary file, as
// it does on file systems without unnamed files (FAT, some network shares).
void UseUnnamedFilesForTesting(bool use);
