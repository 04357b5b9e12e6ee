// Recovery after a crash: the screen kept as a session while the program
// runs, and offered again by the next start when the run did not end cleanly.
#include "display/display.h"
#include "files/files.h"
#include "platform/platform.h"
#include "platform/replace.h"
#include "session/session.h"
#include "shell/shell.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

Texts RECOVERY_TITLE = {"Récupération", "Recovery", "Wiederherstellung", "Recuperación",
                        "Ripristino"};
// %1: when the work was last kept.
Texts RECOVERY_TEXT = {"VELORINDER ne s'est pas terminé normalement.\n"
                       "Les fenêtres ouvertes le %1 ont été conservées. Les rétablir ?",
                       "VELORINDER did not end normally.\n"
                       "The windows open on %1 were kept. Restore them?",
                       "VELORINDER wurde nicht normal beendet.\n"
                       "Die am %1 geöffneten Fenster wurden aufbewahrt. Wiederherstellen?",
                       "VELORINDER no terminó normalmente.\n"
                       "Se conservaron las ventanas abiertas el %1. ¿Restaurarlas?",
                       "VELORINDER non è terminato normalmente.\n"
                       "Le finestre aperte il %1 sono state conservate. Ripristinarle?"};
Texts NOT_KEPT_TEXT = {"le travail en cours ne pourra pas être récupéré après un arrêt brutal",
                       "the work will not be recoverable after a crash",
                       "die Arbeit kann nach einem Absturz nicht wiederhergestellt werden",
                       "el trabajo no podrá recuperarse tras un cierre inesperado",
                       "il lavoro non potrà essere ripristinato dopo un arresto anomalo"};

constexpr int REST_MS = 3000; // the screen rests this long before it is written
constexpr const char *SESSION_PATTERN = "run-*.vls";

int lockHandle = -1;
std::string ownSession, ownLock;
int writeTimer = 0;
std::size_t writtenScreen = 0; // hash of the screen last written (0: none)
std::size_t pendingScreen = 0; // the screen the running timer will write
bool writeFailureShown = false;

std::string LockOf(const std::string &session) {
    return session.substr(0, session.size() - 4) + ".lock";
}

// The screen as it would be restored, without the samples (which never
// change while a window is open) so that looking is cheap.
std::size_t ScreenHash() {
    std::string text = std::to_string(windowCount) + "/" + std::to_string(currentWindow);
    for (int slot = 0; slot < windowCount && slot < MAX_WINDOWS; ++slot) {
        SessionWindow w = CaptureWindow(slot);
        w.time.clear();
        w.value.clear();
        w.gaps.clear();
        Session s;
        s.windows.push_back(w);
        text += FormatSession(s);
        text += std::to_string(windows[slot].panel);
    }
    return std::hash<std::string>{}(text);
}

std::string TimeOfFile(const std::string &path) {
    std::error_code ec;
    const auto written = fs::last_write_time(path, ec);
    if (ec) return "?";
    const auto system = std::chrono::time_point_cast<std::chrono::system_clock::duration>(
        written - fs::file_time_type::clock::now() + std::chrono::system_clock::now());
    const std::time_t t = std::chrono::system_clock::to_time_t(system);
    char text[32] = {};
    std::tm local{};
    localtime_r(&t, &local);
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

void Remove(const std::string &session) {
    DeleteFile(session);
    if (!RunLockHeld(LockOf(session))) DeleteFile(LockOf(session));
}

} // namespace

std::string RecoveryDir() {
    return TransferTempDir() + "/recovery";
}

bool StartRecovery() {
    if (lockHandle >= 0) return true;
    const std::string dir = RecoveryDir();
    const std::string base = dir + "/run-" + std::to_string(::getpid());
    if (MakeDir(dir)) lockHandle = HoldRunLock(base + ".lock");
    if (lockHandle < 0) {
        ShowError(23, dir, Tr(NOT_KEPT_TEXT));
        return false;
    }
    ownSession = base + ".vls";
    ownLock = base + ".lock";
    writtenScreen = 0;
    writeFailureShown = false;
    return true;
}

std::vector<std::string> AbandonedRecoveries() {
    std::vector<std::pair<fs::file_time_type, std::string>> found;
    for (const std::string &session : FindFiles(RecoveryDir(), SESSION_PATTERN)) {
        if (session == ownSession || RunLockHeld(LockOf(session))) continue;
        std::error_code ec;
        found.emplace_back(fs::last_write_time(session, ec), session);
    }
    std::sort(found.begin(), found.end(), std::greater<>());
    std::vector<std::string> paths;
    for (const auto &[time, path] : found)
        paths.push_back(path);
    return paths;
}

bool OfferRecovery() {
    const std::vector<std::string> abandoned = AbandonedRecoveries();
    if (abandoned.empty()) return false;
    const std::string &session = abandoned.front();
    std::string question = Tr(RECOVERY_TEXT);
    question.replace(question.find("%1"), 2, TimeOfFile(session));
    if (!AskYesNo(Tr(RECOVERY_TITLE), question)) {
        Remove(session);
        return true;
    }
    std::string text, reason;
    if (!ReadWholeFile(session, &text, &reason)) {
        // Left where it is: it may read at the next start.
        ShowError(22, session, reason);
        return true;
    }
    if (!OpenSessionText(text, &reason)) {
        ShowError(22, session, reason);
        // Kept for whoever wants to look at it, but not offered again.
        const std::string kept =
            RecoveryDir() + "/unreadable-" + fs::path(session).filename().string();
        std::error_code ec;
        fs::rename(session, kept, ec);
        if (ec) ShowError(23, kept, ec.message());
        DeleteFile(LockOf(session));
        return true;
    }
    // Nothing of it is in a file the user saved.
    MarkScreenUnsaved();
    Remove(session);
    WriteRecovery();
    return true;
}

void WriteRecovery() {
    StopTimer(writeTimer);
    writeTimer = 0;
    if (lockHandle < 0) return;
    if (windowCount == 0) {
        DeleteFile(ownSession);
        writtenScreen = 0;
        return;
    }
    const std::size_t screen = ScreenHash();
    if (ReplaceFileText(ownSession, CurrentSessionText()) != REPLACE_DONE) {
        // Said once; later changes try again.
        if (!writeFailureShown) ShowError(23, ownSession, ReplaceFailureReason());
        writeFailureShown = true;
        return;
    }
    writtenScreen = screen;
}

void ScheduleRecovery() {
    if (lockHandle < 0) return;
    if (windowCount == 0) {
        if (writtenScreen != 0) WriteRecovery();
        return;
    }
    const std::size_t screen = ScreenHash();
    if (screen == writtenScreen) {
        StopTimer(writeTimer);
        writeTimer = 0;
        return;
    }
    if (writeTimer != 0 && screen == pendingScreen) return;
    // Restarted at each change: written once the screen has rested.
    pendingScreen = screen;
    StopTimer(writeTimer);
    writeTimer = StartTimer(REST_MS, false, [] {
        writeTimer = 0;
        if (GetWaitCursorState() != 0)
            ScheduleRecovery();
        else
            WriteRecovery();
    });
}

void EndRecovery() {
    StopTimer(writeTimer);
    writeTimer = 0;
    if (lockHandle < 0) return;
    DeleteFile(ownSession);
    ReleaseRunLock(lockHandle, ownLock);
    lockHandle = -1;
    ownSession.clear();
    ownLock.clear();
    writtenScreen = 0;
    // The folder goes when nothing else is in it.
    std::error_code ec;
    if (fs::is_empty(RecoveryDir(), ec)) fs::remove(RecoveryDir(), ec);
}
