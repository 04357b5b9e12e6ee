// Opening recording, transfer and temporary files in graph windows, and
// saving a window's recording.
#include "display/display.h"
#include "files/files.h"
#include "link/link.h"
#include "platform/platform.h"
#include "platform/replace.h"
#include "session/session.h"
#include "shell/shell.h"
#include "toolbox/toolbox.h"
#include "windows/windows.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

// Why a file that parses as nothing was refused, for the line under error 22.
Texts NOT_RECORDING_FILE = {"ce n'est pas un fichier d'enregistrement", "not a recording file",
                            "keine Speicherungsdatei", "no es un fichero de grabación",
                            "non è un file di salvataggio"};
Texts NOT_TRANSFER_FILE = {
    "ce n'est pas un fichier transféré de l'appareil", "not a transfer file from the instrument",
    "keine vom Gerät übertragene Datei", "no es un fichero transferido del aparato",
    "non è un file trasferito dall'apparecchio"};

// The system's reason why a path cannot be looked at ("No such file or directory").
std::string MissingReason(const std::string &path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::strerror(errno);
    return S_ISDIR(st.st_mode) ? std::strerror(EISDIR) : "";
}

void Tile() {
    Gestion_fenetre(GetPanelMenuBar(mainPanel), MENU_TILE, nullptr, mainPanel);
}

// A recording file: parsed whole before any window is made, so that a file
// refused leaves no window behind.
bool OpenRecordingText(const std::string &path, const std::string &text) {
    RecordingFile f;
    if (!ParseRecordingFile(text, &f)) {
        ShowError(22, path, Tr(NOT_RECORDING_FILE));
        return false;
    }
    int before = windowCount;
    Nouvelle_fenetre(f.name);
    if (windowCount != before + 1) return false; // the window's refusal has been shown
    currentWindow = windowCount - 1;
    WindowRecord &w = windows[currentWindow];
    SetCtrlAttribute(w.panel, WINDOW_PATH, ATTR_CALLBACK_DATA_PATH, path);

    const int count = static_cast<int>(f.time.size());
    w.interval = f.interval;
    w.count = count;
    w.measureType = f.measureType;
    w.coefficient = f.coefficient;
    w.mode = f.mode;
    w.curveColour = f.curveColour;
    w.day = f.day;
    w.month = f.month;
    w.year = f.year;
    w.hour = f.hour;
    w.minute = f.minute;
    CopyText(w.title, sizeof w.title, f.name);
    std::copy(f.time.begin(), f.time.end(), w.time);
    std::copy(f.value.begin(), f.value.end(), w.value);
    // Missing samples are already 0.0; the list holds as many as the slot can.
    const std::size_t listed = std::min<std::size_t>(f.gaps.size(), MAX_GAPS);
    std::copy(f.gaps.begin(), f.gaps.begin() + static_cast<std::ptrdiff_t>(listed), w.gapIndex);
    w.hasGaps = f.gaps.empty() ? 0 : 1;

    w.isPosition = 0;
    w.isAcceleration = 0;
    w.isAverage = 0;
    w.sourceWindow = -1;
    ShowNewRecording(false);
    return true;
}

// A transfer file: its recording line goes through the import's decoder as
// if it had just come from the instrument.
bool OpenTransferText(const std::string &path, const std::string &text) {
    TransferFile f;
    if (!ParseTransferFile(text, &f)) {
        ShowError(22, path, Tr(NOT_TRANSFER_FILE));
        return false;
    }
    ResetImportEntry(0);
    importTable[0].fileName = f.name;
    std::copy(f.date, f.date + 5, recordingDate);
    std::memset(cleanLine, 0, sizeof cleanLine);
    CopyText(cleanLine, sizeof cleanLine, f.line);
    if (LoadRecording(cleanLine, 0) != 0) return false;
    // The window knows its file, as one opened from a recording file does.
    if (currentWindow >= 0)
        SetCtrlAttribute(windows[currentWindow].panel, WINDOW_PATH, ATTR_CALLBACK_DATA_PATH, path);
    return true;
}

} // namespace

void Lire_fichier(const std::string &path) {
    if (GetFileInfo(path, nullptr) == 0) {
        ShowError(16, path, MissingReason(path));
        return;
    }
    if (windowCount >= MAX_WINDOWS) {
        ShowError(1);
        return;
    }
    SetWaitCursor(1);
    Tile();
    std::string text, reason;
    if (!ReadWholeFile(path, &text, &reason)) {
        ShowError(22, path, reason);
        SetWaitCursor(0);
        return;
    }
    bool opened = KindOfPath(path) == FileKind::Transfer ? OpenTransferText(path, text)
                                                         : OpenRecordingText(path, text);
    if (!opened) {
        SetWaitCursor(0);
        return;
    }
    Tile();
    SetWaitCursor(0);
    // What was just read is what the file holds: no unsaved work yet.
    MarkWindowSaved(currentWindow);
    // A temporary file goes at exit: not one to find in the list later.
    if (PathExtension(path) != ".tmp") Fichiers_recents(path);
}

void Ecrire_fichier(const std::string &path, int chosen) {
    if (chosen < 1) return;
    if (currentWindow < 0 || currentWindow >= windowCount) return;
    const WindowRecord &w = windows[currentWindow];
    const int count = std::clamp(w.count, 0, MAX_SAMPLES);
    RecordingFile f;
    f.name = NameLine(path);
    f.day = w.day;
    f.month = w.month;
    f.year = w.year;
    f.hour = w.hour;
    f.minute = w.minute;
    f.interval = w.interval;
    f.measureType = w.measureType;
    f.coefficient = w.coefficient;
    f.mode = w.mode;
    f.curveColour = w.curveColour;
    f.time.assign(w.time, w.time + count);
    f.value.assign(w.value, w.value + count);
    // A missing sample keeps its mark, so that it opens again as missing.
    for (int g = 0, n = GapCount(w); g < n; ++g)
        if (w.gapIndex[g] < count) f.value[w.gapIndex[g]] = MISSING_SAMPLE;
    // The old file stays whole unless the new one was written completely.
    if (!ReplaceFileContents(path, FormatRecordingFile(f))) {
        ShowError(23, path, ReplaceFailureReason());
        return;
    }
    MarkWindowSaved(currentWindow);
    if (KindOfPath(path) == FileKind::Recording) Fichiers_recents(path);
}

std::vector<std::string> TemporaryRecordings(const std::string &dir) {
    std::vector<std::string> found;
    for (const std::string &tmp : FindFiles(dir, "*.tmp")) {
        std::string text;
        TransferFile f;
        if (ReadWholeFile(tmp, &text) && ParseTransferFile(text, &f)) found.push_back(tmp);
    }
    return found;
}

std::vector<std::string> KeepTemporaryRecordings(const std::vector<std::string> &tmps,
                                                 const std::string &dir) {
    std::vector<std::string> left;
    for (const std::string &tmp : tmps) {
        std::string text, reason;
        TransferFile f;
        if (!ReadWholeFile(tmp, &text, &reason)) {
            ShowError(22, tmp, reason);
            left.push_back(tmp);
            continue;
        }
        if (!ParseTransferFile(text, &f)) continue; // nothing to keep
        const std::string path = UnusedPath(dir, KeptName(f));
        if (!ReplaceFileContents(path, text)) {
            ShowError(23, path, ReplaceFailureReason());
            left.push_back(tmp);
            continue;
        }
        DeleteFile(tmp);
    }
    return left;
}
