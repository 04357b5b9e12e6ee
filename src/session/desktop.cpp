// Files handed over by the desktop: named on the command line (a file
// manager's "Open with") or dropped on the main window.
#include "files/files.h"
#include "platform/platform.h"
#include "session/session.h"
#include "shell/shell.h"

#include <cerrno>
#include <cstring>
#include <fstream>

bool IsSessionFile(const std::string &path) {
    if (PathExtension(path) == ".vls") return true;
    // A session under another name still says what it is near its start.
    std::ifstream in(path, std::ios::binary);
    char head[256] = {};
    in.read(head, sizeof head - 1);
    const std::string start(head, static_cast<std::size_t>(in.gcount()));
    return start.find("\"format\"") != std::string::npos &&
           start.find(std::string("\"") + SESSION_FORMAT + "\"") != std::string::npos;
}

void OpenDesktopFiles(const std::vector<std::string> &paths, const std::string &startDir) {
    for (std::string path : paths) {
        if (path.empty()) continue;
        if (path[0] != '/' && !startDir.empty()) path = startDir + "/" + path;
        if (GetFileInfo(path, nullptr) == 0) {
            ShowError(16, path, std::strerror(ENOENT));
            continue;
        }
        if (IsSessionFile(path))
            OpenSessionFile(path);
        else if (KindOfPath(path) != FileKind::Other)
            Lire_fichier(path);
        else
            ShowError(3, path, "");
    }
}
