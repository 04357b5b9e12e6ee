// File > Export as picture and Export as CSV: the current window written by
// the same renderer and csv writer as velorinder-cli's.
#include "compare/compare.h"
#include "display/display.h"
#include "files/files.h"
#include "platform/platform.h"
#include "platform/replace.h"
#include "shell/shell.h"
#include "windows/windows.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace {

const char *const PICTURE_TITLE[5] = {"Exporter en image", "Export as picture",
                                      "Als Bild exportieren", "Exportar como imagen",
                                      "Esporta come immagine"};
const char *const CSV_TITLE[5] = {"Exporter en CSV", "Export as CSV", "Als CSV exportieren",
                                  "Exportar como CSV", "Esporta come CSV"};

std::string Trimmed(const char *text) {
    std::string s = text;
    std::size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// Times and values of a slot, a missing sample as NaN (the curve breaks there).
void CurveOf(const WindowRecord &w, double shift, std::vector<double> *time,
             std::vector<double> *value) {
    const int n = std::clamp(w.count, 0, MAX_SAMPLES);
    time->assign(w.time, w.time + n);
    value->assign(w.value, w.value + n);
    for (double &t : *time)
        t += shift;
    for (int g = 0, gaps = GapCount(w); g < gaps; ++g)
        if (w.gapIndex[g] < n) (*value)[w.gapIndex[g]] = std::nan("");
}

// The window's name as a file name with the given extension.
std::string Proposal(const std::string &title, const std::string &extension) {
    std::string name = SaveFileProposal(title);
    if (name == "*.vlr") return "*" + extension;
    return name.substr(0, name.size() - 4) + extension;
}

// Asks for the file to write, the extension added when the name has none;
// "" when the user gave up. An existing file is replaced only after Yes.
std::string ChooseFile(const char *const title[5], const std::string &types,
                       const std::string &proposal, const std::string &defaultExtension) {
    for (;;) {
        std::string path;
        const int chosen = FileSelectPopup(StartFolder(FolderKind::Recording), proposal, types,
                                           Tr(title), VAL_OK_BUTTON, 0, 0, 1, 1, &path);
        if (chosen == VAL_NO_FILE_SELECTED || path.empty()) return "";
        if (PathExtension(path).empty()) path += defaultExtension;
        if (GetFileInfo(path, nullptr) == 1 && !AskYesNo(Tr(title), Tr(FILE_EXISTS_TEXT))) continue;
        return path;
    }
}

bool CanExport() {
    if (currentWindow < 0 || currentWindow >= windowCount) {
        ShowError(4);
        return false;
    }
    return windows[currentWindow].count > 0;
}

void ShowWriteFailure(const std::string &path) {
    std::string reason = ReplaceFailureReason();
    ShowError(23, path, reason.empty() ? "cannot be written" : reason);
}

} // namespace

std::string CsvOfSlot(int slot) {
    if (slot < 0 || slot >= windowCount) return "";
    const WindowRecord &w = windows[slot];
    const int n = std::clamp(w.count, 0, MAX_SAMPLES);
    RecordingFile f;
    f.time.assign(w.time, w.time + n);
    f.value.assign(w.value, w.value + n);
    for (int g = 0, gaps = GapCount(w); g < gaps; ++g)
        if (w.gapIndex[g] < n) f.gaps.push_back(w.gapIndex[g]);
    return FormatCsvFile(f, Trimmed(SlotUnitText(w)));
}

CurvePicture PictureOfSlot(int slot) {
    CurvePicture p;
    if (slot < 0 || slot >= windowCount) return p;
    const WindowRecord &w = windows[slot];
    p.title = Trimmed(w.title);
    CurveOf(w, 0.0, &p.time, &p.value);
    // What the window shows: its visible time range and its value axis.
    GetAxisScalingMode(w.panel, WINDOW_GRAPH, VAL_BOTTOM_XAXIS, nullptr, &p.timeMin, &p.timeMax);
    GetAxisScalingMode(w.panel, WINDOW_GRAPH, VAL_LEFT_YAXIS, nullptr, &p.valueMin, &p.valueMax);
    for (const auto &label : TimeAxisLabels(p.timeMin, p.timeMax))
        p.timeLabels.push_back(label);
    p.valueAxisName = Trimmed(SlotUnitText(w));
    p.curveColour = w.curveColour & 0xFFFFFF;
    p.plotBackColour = displayColours[1] & 0xFFFFFF;
    p.gridColour = displayColours[5] & 0xFFFFFF;
    for (int k = 0; k < std::clamp(w.comparedCount, 0, MAX_COMPARED); ++k) {
        const int s = w.comparedSlot[k];
        if (s < 0 || s >= windowCount) continue;
        CurvePicture::Other other;
        other.title = Trimmed(windows[s].title);
        other.colour = ComparedColour(w, k);
        CurveOf(windows[s], w.comparedShift[k], &other.time, &other.value);
        p.others.push_back(std::move(other));
    }
    return p;
}

void Exporter_image() {
    if (!CanExport()) return;
    const int slot = currentWindow;
    const std::string path = ChooseFile(PICTURE_TITLE, "*.png;*.svg;*.pdf",
                                        Proposal(windows[slot].title, ".png"), ".png");
    if (path.empty()) return;
    std::string format = PathExtension(path);
    if (!format.empty()) format.erase(0, 1);
    if (format != "png" && format != "svg" && format != "pdf") {
        ShowError(3);
        return;
    }
    RememberFolder(FolderKind::Recording, path);
    SetWaitCursor(1);
    const int drawn =
        SaveCurvePicture(PictureOfSlot(slot), path, format, PICTURE_WIDTH, PICTURE_HEIGHT);
    SetWaitCursor(0);
    if (drawn != 0) ShowWriteFailure(path);
}

void Exporter_csv() {
    if (!CanExport()) return;
    const int slot = currentWindow;
    const std::string path =
        ChooseFile(CSV_TITLE, "*.csv", Proposal(windows[slot].title, ".csv"), ".csv");
    if (path.empty()) return;
    RememberFolder(FolderKind::Recording, path);
    SetWaitCursor(1);
    const int written = ReplaceFileText(path, CsvOfSlot(slot));
    SetWaitCursor(0);
    if (written != REPLACE_DONE) ShowWriteFailure(path);
}
