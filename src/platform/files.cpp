// Project directory, files, dates and the small utilities of the run-time.
#include "platform/platform.h"
#include "platform/replace.h"

#include <QCoreApplication>
#include <QDateTime>
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fnmatch.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
std::string projectDirOverride;
}

int GetProjectDir(std::string *dir) {
    if (!projectDirOverride.empty())
        *dir = projectDirOverride;
    else
        *dir = QCoreApplication::applicationDirPath().toStdString();
    return 0;
}

void SetProjectDirForTesting(const std::string &dir) {
    projectDirOverride = dir;
}

int GetFileInfo(const std::string &path, long *size) {
    std::error_code ec;
    if (path.empty() || !fs::is_regular_file(path, ec)) {
        if (size) *size = 0;
        return 0;
    }
    if (size) *size = static_cast<long>(fs::file_size(path, ec));
    return 1;
}

int SetDir(const std::string &dir) {
    std::error_code ec;
    fs::current_path(dir, ec);
    return ec ? -1 : 0;
}

std::string GetDir() {
    std::error_code ec;
    return fs::current_path(ec).string();
}

int DeleteFile(const std::string &path) {
    std::error_code ec;
    return fs::remove(path, ec) ? 0 : -1;
}

int CopyFile(const std::string &source, const std::string &target) {
    int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return -1;
    int r = ReplaceFile(target, [in](int fd, const std::string &) {
        if (::lseek(in, 0, SEEK_SET) != 0) return false;
        char buffer[65536];
        for (;;) {
            ssize_t n = ::read(in, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return false;
            if (n == 0) return true;
            if (!WriteAll(fd, std::string_view(buffer, static_cast<std::size_t>(n)))) return false;
        }
    });
    ::close(in);
    return r == REPLACE_DONE ? 0 : -1;
}

std::vector<std::string> FindFiles(const std::string &dir, const std::string &pattern) {
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto &entry : fs::directory_iterator(dir, ec)) {
        if (!entry.is_regular_file(ec)) continue;
        std::string name = entry.path().filename().string();
        if (fnmatch(pattern.c_str(), name.c_str(), 0) == 0) found.push_back(entry.path().string());
    }
    return found;
}

void GetSystemDate(int *month, int *day, int *year) {
    QDate d = QDate::currentDate();
    *month = d.month();
    *day = d.day();
    *year = d.year();
}

void GetSystemTime(int *hours, int *minutes, int *seconds) {
    QTime t = QTime::currentTime();
    *hours = t.hour();
    *minutes = t.minute();
    *seconds = t.second();
}

std::string DateStr() {
    return QDate::currentDate().toString("MM-dd-yyyy").toStdString();
}
std::string TimeStr() {
    return QTime::currentTime().toString("HH:mm:ss").toStdString();
}

int FindPattern(const std::string &buffer, int start, int count, const std::string &pattern,
                int caseSensitive, int fromRight) {
    if (start < 0 || start > static_cast<int>(buffer.size())) return -1;
    size_t end = count < 0 ? buffer.size() : std::min(buffer.size(), size_t(start + count));
    std::string hay = buffer.substr(start, end - start);
    std::string needle = pattern;
    if (!caseSensitive) {
        for (char &c : hay)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        for (char &c : needle)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    size_t pos = fromRight ? hay.rfind(needle) : hay.find(needle);
    return pos == std::string::npos ? -1 : static_cast<int>(pos) + start;
}

int MaxMin1D(const double *array, int count, double *max, int *maxIndex, double *min,
             int *minIndex) {
    if (count <= 0) return -1;
    int hi = 0, lo = 0;
    for (int i = 1; i < count; ++i) {
        if (array[i] > array[hi]) hi = i;
        if (array[i] < array[lo]) lo = i;
    }
    if (max) *max = array[hi];
    if (maxIndex) *maxIndex = hi;
    if (min) *min = array[lo];
    if (minIndex) *minIndex = lo;
    return 0;
}
