// Session files on disk and the File menu's Save session and Open session.
#include "session/session.h"

#include "display/display.h"
#include "files/files.h"
#include "platform/platform.h"
#include "platform/replace.h"
#include "shell/shell.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

Texts OPEN_SESSION_TITLE = {"Ouvrir une session", "Open session", "Sitzung öffnen", "Abrir sesión",
                            "Apri sessione"};
Texts SAVE_SESSION_TITLE = {"Enregistrer la session", "Save session", "Sitzung speichern",
                            "Guardar sesión", "Salva sessione"};
Texts NOT_SESSION_FILE = {"ce n'est pas une session lisible", "not a readable session file",
                          "keine lesbare Sitzungsdatei", "no es un fichero de sesión legible",
                          "non è un file di sessione leggibile"};

constexpr const char *SESSION_TYPES = "*.vls";

// The system's reason why a path cannot be looked at ("No such file or directory").
std::string MissingReason(const std::string &path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::strerror(errno);
    return S_ISDIR(st.st_mode) ? std::strerror(EISDIR) : "";
}

} // namespace

bool SaveSessionFile(const std::string &path) {
    if (!ReplaceFileContents(path, CurrentSessionText())) {
        ShowError(23, path, ReplaceFailureReason());
        return false;
    }
    MarkScreenSaved();
    Fichiers_recents(path);
    // The next session dialogs start here (a folder that cannot be noted is
    // not worth a message).
    RememberFolder(FolderKind::Session, path);
    return true;
}

bool OpenSessionFile(const std::string &path) {
    if (GetFileInfo(path, nullptr) == 0) {
        ShowError(16, path, MissingReason(path));
        return false;
    }
    std::string text, reason;
    if (!ReadWholeFile(path, &text, &reason)) {
        ShowError(22, path, reason);
        return false;
    }
    Session session;
    if (!ParseSession(text, &session, &reason) || !(reason = SessionMisfit(session)).empty()) {
        ShowError(22, path, std::string(Tr(NOT_SESSION_FILE)) + " (" + reason + ")");
        return false;
    }
    // Asked once the session is known to open; Cancel returns false without a message.
    if (!ConfirmReplacingScreen()) return false;
    if (!RestoreSession(session)) return false;
    MarkScreenSaved();
    Fichiers_recents(path);
    RememberFolder(FolderKind::Session, path);
    return true;
}

void SaveSessionCommand() {
    if (windowCount == 0) {
        ShowError(4);
        return;
    }
    std::string path;
    int chosen = VAL_NO_FILE_SELECTED;
    for (;;) {
        chosen = FileSelectPopup(StartFolder(FolderKind::Session), SESSION_TYPES, SESSION_TYPES,
                                 Tr(SAVE_SESSION_TITLE), VAL_OK_BUTTON, 0, 1, 1, 1, &path);
        if (chosen != VAL_EXISTING_FILE_SELECTED) break;
        if (AskYesNo(Tr(SAVE_SESSION_TITLE), Tr(FILE_EXISTS_TEXT))) break;
    }
    if (chosen < VAL_EXISTING_FILE_SELECTED) return;
    SetWaitCursor(1);
    SaveSessionFile(path);
    SetWaitCursor(0);
}

void OpenSessionCommand() {
    // UNSAVED WORK: not asked here but in OpenSessionFile, once the chosen
    // file is known to open, so that a refused file never asks.
    std::string path;
    if (FileSelectPopup(StartFolder(FolderKind::Session), SESSION_TYPES, SESSION_TYPES,
                        Tr(OPEN_SESSION_TITLE), VAL_OK_BUTTON, 0, 0, 1, 1,
                        &path) != VAL_EXISTING_FILE_SELECTED)
        return;
    OpenSessionFile(path);
}
