// Replacing a file whole. The new file is written as an unnamed file in the
// target's folder (O_TMPFILE), synced, given a temporary name and renamed over
// the target; a cut before the rename leaves nothing behind. File systems
// without unnamed files get a named temporary file instead.
#include "platform/replace.h"

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

bool useUnnamed = true;
constexpr int TRY_NAMED = 1;
int lastError = 0; // errno of the last failed replace, for the message that names it

// Gives `result`, noting the system's reason when it is a failure.
int Failed(int result, int error) {
    lastError = error;
    return result;
}

bool NoRoom(int error) {
    return error == ENOSPC || error == EDQUOT || error == EFBIG;
}

// A file size limit must make the write fail, and the error show, rather than
// kill the program; a handler someone else installed is left alone.
void IgnoreFileSizeSignal() {
    static bool done = false;
    if (done) return;
    done = true;
    struct sigaction current {};
    if (sigaction(SIGXFSZ, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGXFSZ, &ignore, nullptr);
    }
}

// The old file's permissions and owners, or the usual ones for a new file.
struct Keep {
    mode_t mode = 0;
    const struct stat *old = nullptr;
};

constexpr int SUFFIX_LENGTH = 6;

// ".<name>.XXXXXX", the form of every temporary name used here.
bool IsTemporaryOf(const std::string &entry, const std::string &name) {
    if (entry.size() != name.size() + 2 + SUFFIX_LENGTH || entry[0] != '.' ||
        entry.compare(1, name.size(), name) != 0 || entry[name.size() + 1] != '.')
        return false;
    for (std::size_t i = name.size() + 2; i < entry.size(); ++i)
        if (!std::isalnum(static_cast<unsigned char>(entry[i]))) return false;
    return true;
}

// Temporaries of earlier saves of this file that were cut short.
void RemoveLeftovers(const fs::path &dir, const std::string &name) {
    DIR *d = ::opendir(dir.c_str());
    if (!d) return;
    while (const dirent *e = ::readdir(d))
        if (IsTemporaryOf(e->d_name, name)) ::unlinkat(::dirfd(d), e->d_name, 0);
    ::closedir(d);
}

std::string TemporaryName(const fs::path &dir, const std::string &name) {
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<int> pick(0, sizeof letters - 2);
    std::string suffix;
    for (int i = 0; i < SUFFIX_LENGTH; ++i)
        suffix += letters[pick(random)];
    return (dir / ("." + name + "." + suffix)).string();
}

// The rename is on disk only once the folder is.
void SyncFolder(const fs::path &dir) {
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

bool Finish(int fd, const Keep &keep) {
    if (keep.old && ::fchown(fd, keep.old->st_uid, keep.old->st_gid) != 0) {
        // Owners the user may not give: the new file is his own, as any file he makes.
    }
    return ::fchmod(fd, keep.mode) == 0 && ::fsync(fd) == 0;
}

int ThroughUnnamedFile(const fs::path &dir, const std::string &name, const std::string &target,
                       const Keep &keep,
                       const std::function<bool(int, const std::string &)> &fill) {
    int fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, keep.mode);
    if (fd < 0) return Failed(NoRoom(errno) ? REPLACE_NOT_WRITTEN : TRY_NAMED, errno);
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (!fill(fd, self) || !Finish(fd, keep)) {
        const int error = errno;
        ::close(fd);
        return Failed(REPLACE_NOT_WRITTEN, error);
    }
    for (int attempt = 0; attempt < 20; ++attempt) {
        const std::string temp = TemporaryName(dir, name);
        int linked = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW);
        if (linked != 0 && errno != EEXIST)
            linked = ::linkat(fd, "", AT_FDCWD, temp.c_str(), AT_EMPTY_PATH);
        if (linked != 0) {
            if (errno == EEXIST) continue;
            const int error = errno;
            ::close(fd);
            return Failed(NoRoom(error) ? REPLACE_NOT_WRITTEN : TRY_NAMED, error);
        }
        ::close(fd);
        if (::rename(temp.c_str(), target.c_str()) != 0) {
            const int error = errno;
            ::unlink(temp.c_str());
            return Failed(REPLACE_NOT_WRITTEN, error);
        }
        SyncFolder(dir);
        return REPLACE_DONE;
    }
    ::close(fd);
    return TRY_NAMED;
}

int ThroughNamedFile(const fs::path &dir, const std::string &name, const std::string &target,
                     const Keep &keep, const std::function<bool(int, const std::string &)> &fill) {
    std::string pattern = (dir / ("." + name + ".XXXXXX")).string();
    std::vector<char> temp(pattern.begin(), pattern.end());
    temp.push_back('\0');
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return Failed(NoRoom(errno) ? REPLACE_NOT_WRITTEN : REPLACE_NOT_CREATED, errno);
    bool ok = fill(fd, temp.data()) && Finish(fd, keep);
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.data(), target.c_str()) == 0;
    if (!ok) {
        const int error = errno != 0 ? errno : EIO;
        ::unlink(temp.data());
        return Failed(REPLACE_NOT_WRITTEN, error);
    }
    SyncFolder(dir);
    return REPLACE_DONE;
}

} // namespace

bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

int ReplaceFile(const std::string &path,
                const std::function<bool(int fd, const std::string &name)> &fill) {
    IgnoreFileSizeSignal();
    std::error_code ec;
    fs::path target = path;
    if (fs::is_symlink(target, ec)) {
        fs::path resolved = fs::canonical(target, ec);
        if (!ec) target = resolved;
    }
    const std::string name = target.filename().string();
    if (name.empty() || name == "." || name == ".." || fs::is_directory(target, ec))
        return Failed(REPLACE_NOT_CREATED, EISDIR);
    // Replacing needs only a writable folder; a file that may not be written
    // (or is marked read-only for everyone) is still refused, as writing it would be.
    // A device or pipe is never replaced by a plain file.
    struct stat existing {};
    Keep keep;
    if (::stat(target.c_str(), &existing) == 0) {
        if (!S_ISREG(existing.st_mode))
            return Failed(REPLACE_NOT_CREATED, S_ISDIR(existing.st_mode) ? EISDIR : EINVAL);
        if ((existing.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0)
            return Failed(REPLACE_NOT_CREATED, EACCES);
        keep.mode = existing.st_mode & 07777;
        keep.old = &existing;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        keep.mode = 0666 & ~mask;
    }
    fs::path dir = target.parent_path();
    if (dir.empty()) dir = ".";
    RemoveLeftovers(dir, name);
    errno = 0;
    if (useUnnamed) {
        int r = ThroughUnnamedFile(dir, name, target.string(), keep, fill);
        if (r != TRY_NAMED) return r;
    }
    return ThroughNamedFile(dir, name, target.string(), keep, fill);
}

int ReplaceFileText(const std::string &path, std::string_view text) {
    return ReplaceFile(path, [text](int fd, const std::string &) { return WriteAll(fd, text); });
}

std::string ReplaceFailureReason() {
    return std::strerror(lastError != 0 ? lastError : EIO);
}

void UseUnnamedFilesForTesting(bool use) {
    useUnnamed = use;
}
