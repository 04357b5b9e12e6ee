// Where the program finds its resources and keeps the user's files: beside the
// executable when it runs from a folder of its own (the portable layout), or,
// once installed, in share/velorinder and the user's own folders.
#include "platform/platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace {

const char *const RESOURCE_FILE = "VELORPNL.UIR";
const char *const FOLDERS_FILE = "Velorfolders.ini";

std::string ExecutableDir() {
    return QCoreApplication::applicationDirPath().toStdString();
}

bool HoldsResources(const std::string &dir) {
    return QFileInfo(QDir(QString::fromStdString(dir)).filePath(RESOURCE_FILE)).isFile();
}

std::string Home() {
    const char *home = std::getenv("HOME");
    if (home && home[0] == '/') return home;
    return QDir::homePath().toStdString();
}

const char *KeyOf(FolderKind kind) {
    switch (kind) {
    case FolderKind::Transfer:
        return "transfer";
    case FolderKind::Recording:
        return "recording";
    case FolderKind::OpenAny:
        return "open";
    case FolderKind::Workbook:
        return "workbook";
    case FolderKind::Session:
        return "session";
    }
    return "";
}

std::string FoldersFile() {
    return ConfigDir() + "/" + FOLDERS_FILE;
}

FolderEntries ReadFolders() {
    std::ifstream in(FoldersFile(), std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return ParseFolders(text);
}

bool IsDirectory(const std::string &dir) {
    return !dir.empty() && QFileInfo(QString::fromStdString(dir)).isDir();
}

} // namespace

std::string XdgFolder(const char *variable, const std::string &belowHome) {
    // The XDG rules ignore a relative value, as they do an empty one.
    const char *value = std::getenv(variable);
    std::string base = value && value[0] == '/' ? std::string(value) : Home() + "/" + belowHome;
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    return base + "/velorinder";
}

bool PortableLayout() {
    std::string dir;
    GetProjectDir(&dir);
    if (dir != ExecutableDir()) return true; // a folder tests set up as the program's own
    return HoldsResources(dir) && ::access(dir.c_str(), W_OK) == 0;
}

std::string ResourceDir() {
    std::string dir;
    GetProjectDir(&dir);
    if (PortableLayout() || HoldsResources(dir)) return dir;
    std::string shared =
        QDir::cleanPath(QString::fromStdString(dir) + "/../share/velorinder").toStdString();
    // Without either, the start-up's fatal message names the missing file.
    return HoldsResources(shared) ? shared : dir;
}

std::string ConfigDir() {
    std::string dir;
    GetProjectDir(&dir);
    return PortableLayout() ? dir : XdgFolder("XDG_CONFIG_HOME", ".config");
}

std::string TransferTempDir() {
    std::string dir;
    GetProjectDir(&dir);
    return PortableLayout() ? dir : XdgFolder("XDG_STATE_HOME", ".local/state");
}

std::string HelpCacheDir() {
    std::string dir;
    GetProjectDir(&dir);
    return PortableLayout() ? dir : XdgFolder("XDG_CACHE_HOME", ".cache");
}

bool MakeDir(const std::string &dir) {
    return !dir.empty() && QDir().mkpath(QString::fromStdString(dir));
}

std::string StartFolder(FolderKind kind) {
    const std::string key = KeyOf(kind);
    for (const auto &[k, folder] : ReadFolders())
        if (k == key && IsDirectory(folder)) return folder;
    return DocumentsDir();
}

std::string DocumentsDir() {
    std::string dir;
    GetProjectDir(&dir);
    if (PortableLayout()) return dir;
    std::string documents =
        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString();
    // A new account may have no documents folder yet: the home, rather than
    // a folder made unasked.
    return IsDirectory(documents) ? documents : Home();
}

bool RememberFolder(FolderKind kind, const std::string &path) {
    if (path.empty()) return false;
    QFileInfo info(QString::fromStdString(path));
    std::string folder =
        (info.isDir() ? info.absoluteFilePath() : info.absolutePath()).toStdString();
    if (folder.find('\n') != std::string::npos || folder.find('\r') != std::string::npos)
        return false; // would break the one-line-per-folder layout
    std::vector<std::string> keys = {KeyOf(kind)};
    // Open lists transfer and recording files alike: it starts where either was last used.
    if (kind == FolderKind::Transfer || kind == FolderKind::Recording) keys.push_back("open");

    auto entries = ReadFolders();
    bool changed = false;
    for (const std::string &key : keys) {
        bool found = false;
        for (auto &[k, value] : entries)
            if (k == key) {
                found = true;
                if (value != folder) {
                    value = folder;
                    changed = true;
                }
            }
        if (!found) {
            entries.emplace_back(key, folder);
            changed = true;
        }
    }
    if (!changed) return true;
    if (!MakeDir(ConfigDir())) return false;
    QSaveFile out(QString::fromStdString(FoldersFile()));
    if (!out.open(QIODevice::WriteOnly)) return false;
    const std::string text = FormatFolders(entries);
    out.write(text.data(), static_cast<qint64>(text.size()));
    return out.commit();
}

namespace {

// A relative folder would depend on the working folder of the run that reads it.
bool KeepableEntry(const std::string &key, const std::string &value) {
    return !key.empty() && key.find_first_of("=\r\n") == std::string::npos && !value.empty() &&
           value[0] == '/' && value.find_first_of("\r\n") == std::string::npos;
}

} // namespace

FolderEntries ParseFolders(const std::string &text) {
    FolderEntries entries;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (KeepableEntry(key, value)) entries.emplace_back(std::move(key), std::move(value));
    }
    return entries;
}

std::string FormatFolders(const FolderEntries &entries) {
    std::string text;
    for (const auto &[key, value] : entries)
        if (KeepableEntry(key, value)) text += key + "=" + value + "\n";
    return text;
}
