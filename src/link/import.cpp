// The import command: every recording of the instrument transferred with a
// progress panel and Stop, written to a transfer file, then listed.
#include "link/link.h"

#include "platform/platform.h"
#include "platform/replace.h"
#include "shell/shell.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>

int listPanel = 0;
int recordingsLeft = 0;
int transferredCount = 0;

namespace {

Texts RECORDING_WORD = {"Enregistrement", "Recording", "Speicherung", "Grabación", "Salvataggio"};
Texts SAVE_WORD = {"Enregistrer", "Save", "Speichern", "Guardar", "Salva"};
Texts OVERWRITE_QUESTION = {"Fichier existant !   Voulez-vous l'écraser ?\n",
                            "File already exists !   Replace existing file ?\n",
                            "Datei existiert! Löschen ?\n", "Fichero existente! Susituir ?\n",
                            "File esistente! Sovrascrivere ?\n"};
Texts GRAPH_WORD = {"Graphe", "Graph", "Diagramm", "Gráfico", "Grafico"};
Texts MODE_WORD = {"Mode", "Mode", "Mode", "Modo", "Modo"};
Texts Y_UNIT_WORD = {"Unité des Y", "Y Unity", "Y Einheit", "Unidad de Y", "Unità asse Y"};
Texts COEFFICIENT_WORD = {"Coefficient K", "Coefficient K", "Koeffizient K", "Coeficiente K",
                          "Coefficiente K"};
Texts IMPORT_TITLE = {"Importation", "Import", "Import", "Importación", "Importazione"};
Texts EMPTY_INSTRUMENT = {
    "L'appareil ne contient aucun enregistrement.", "The instrument holds no recording.",
    "Das Gerät enthält keine Speicherung.", "El aparato no contiene ninguna grabación.",
    "L'apparecchio non contiene alcun salvataggio."};

const char *const MODE_TEXTS[3] = {" NONE ", "SMOOTH", "COUNT "};
const char *const LIST_UNITS[16] = {"tr/min",  " m/min", "   %  ",  "  ms  ",  "  Hz  ", "ft/min",
                                    "  RPM ",  "   m  ", "  ft  ",  "  tr  ",  "  Rev ", " imp .",
                                    "tr/min²", "m/min²", "ft/min²", "Rev/min²"};

// The notice of recordings beyond the table, in the current language.
std::string LeftOnInstrumentText(int announced, int left) {
    std::string n = std::to_string(announced), l = std::to_string(left),
                max = std::to_string(MAX_IMPORTED);
    std::string text;
    switch (language) {
    case 0:
        text.append("L'appareil contient ").append(n).append(" enregistrements.\nLes ");
        text.append(max).append(" premiers ont été importés, les ").append(l);
        text.append(" autres restent dans l'appareil.");
        break;
    case 2:
        text.append("Das Gerät enthält ").append(n).append(" Speicherungen.\nDie ersten ");
        text.append(max).append(" wurden importiert, die übrigen ").append(l);
        text.append(" bleiben im Gerät.");
        break;
    case 3:
        text.append("El aparato contiene ").append(n).append(" grabaciones.\nSe importaron las ");
        text.append(max).append(" primeras; las otras ").append(l);
        text.append(" quedan en el aparato.");
        break;
    case 4:
        text.append("L'apparecchio contiene ").append(n).append(" salvataggi.\nI primi ");
        text.append(max).append(" sono stati importati, gli altri ").append(l);
        text.append(" restano nell'apparecchio.");
        break;
    default:
        text.append("The instrument holds ").append(n).append(" recordings.\nThe first ");
        text.append(max).append(" were imported; the other ").append(l);
        text.append(" stay in the instrument.");
        break;
    }
    return text;
}

// The count of "Md", kept within the table: the first 99 are transferred.
int ReadImportCount() {
    int r = ReadRecordingCount();
    if (r < 0) return r;
    recordingsLeft = 0;
    if (recordingCount > MAX_IMPORTED) {
        recordingsLeft = recordingCount - MAX_IMPORTED;
        recordingCount = MAX_IMPORTED;
    }
    return r;
}

std::string Lower(std::string text) {
    for (char &c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string Hex(long long value) {
    char text[32];
    std::snprintf(text, sizeof text, "%llx", value);
    return text;
}

// The path the user confirms, or the fallback when he does not (then
// *temporary is set). The dialog starts in the folder of the last transfer
// file saved.
std::string ChooseTransferPath(int number, long long now, bool *temporary) {
    std::string chosen;
    int r = FileSelectPopup("", ProposedRecordingPath(StartFolder(FolderKind::Transfer), number),
                            "*.mon", Tr(SAVE_WORD), VAL_OK_BUTTON, 0, 1, 1, 1, &chosen);
    bool keep = false;
    if (r == VAL_EXISTING_FILE_SELECTED && !chosen.empty()) {
        int answer = GenericMessagePopup(Tr(SAVE_WORD), Tr(OVERWRITE_QUESTION), Tr(YES_TEXT),
                                         Tr(NO_TEXT), "", nullptr, 0, 0, VAL_GENERIC_POPUP_BTN1,
                                         VAL_GENERIC_POPUP_BTN1, VAL_GENERIC_POPUP_BTN2);
        keep = answer == VAL_GENERIC_POPUP_BTN1;
    } else if (r == VAL_NEW_FILE_SELECTED && !chosen.empty()) {
        keep = true;
    }
    *temporary = !keep;
    if (keep) {
        // Only a convenience for the next dialog: not worth stopping the transfer.
        RememberFolder(FolderKind::Transfer, chosen);
        return chosen;
    }
    const std::string temp = TransferTempDir();
    // A missing folder shows as the file's own write error (23).
    MakeDir(temp);
    return FallbackTmpPath(temp, now);
}

} // namespace

std::string ModeListText(int mode) {
    if (mode >= 0 && mode < 3) return MODE_TEXTS[mode];
    // Modes without a name show their digit in the column's six characters.
    std::string text = "   ";
    text += static_cast<char>('0' + (mode & 7));
    return text + "  ";
}

std::string ImportListHeader() {
    std::string text;
    text.append(" ").append(Tr(GRAPH_WORD));
    text.append("   ").append(Tr(MODE_WORD)).append("  ");
    text.append(" ").append(Tr(Y_UNIT_WORD)).append("  ");
    text.append("  ").append(Tr(COEFFICIENT_WORD)).append("  ");
    text.append("    Scan    ");
    text.append("          ");
    return text;
}

std::string ImportListRow(const ImportEntry &entry) {
    char number[32], coefficient[64], interval[32];
    std::snprintf(number, sizeof number, " %04d", entry.number);
    std::snprintf(coefficient, sizeof coefficient, "%6.3f", entry.coefficient);
    std::snprintf(interval, sizeof interval, "%5d", entry.interval);
    std::string row = number;
    row.append("    ").append(ModeListText(entry.mode)).append("   ");
    row.append(LIST_UNITS[entry.unitIndex & 15]).append("  ");
    row.append("      ").append(coefficient).append("      ").append(interval);
    return row;
}

std::string ImportListBlankRow() {
    const std::string fifteen(15, ' ');
    std::string row = fifteen;
    row.append("          ").append(fifteen);
    return row;
}

std::string ProposedRecordingPath(const std::string &dir, int number) {
    std::string name = Tr(RECORDING_WORD);
    name.append("_").append(std::to_string(number)).append(".mon");
    // Only the name: on this system a directory changed in case is another one.
    std::string path = dir;
    path.append("/").append(Lower(name));
    return path;
}

std::string FallbackTmpPath(const std::string &dir, long long seconds) {
    // Two recordings within one second would share the name: the later one
    // takes the next free number rather than overwrite the earlier.
    for (long long value = seconds;; ++value) {
        std::string path = dir;
        path.append("/").append(Hex(value)).append(".tmp");
        std::error_code ec;
        if (!std::filesystem::exists(std::filesystem::symlink_status(path, ec))) return path;
    }
}

std::string TransferFileText(const std::string &name, const int date[6], std::string_view line) {
    char when[64];
    std::snprintf(when, sizeof when, "%02d/%02d/%04d %02d:%02d\n", date[0], date[1], date[2],
                  date[3], date[4]);
    std::string text = name;
    text.append("\n").append(when).append(line).append("\n");
    return text;
}

int ImportRecording(int i) {
    const int e = i + 1;
    const long long now = static_cast<long long>(std::time(nullptr));
    auto finish = [](int result) {
        DefaultCtrl(progressPanel, IMPORT_PROGRESS_GAUGE);
        SetWaitCursor(0);
        return result;
    };
    if (importRunning != 1 || e < 1 || e >= IMPORT_ENTRIES) return finish(IMPORT_FAILED);
    int a = ReadNextRecording();
    if (a == 99) return finish(IMPORT_NO_REPLY);
    // Both are lines that are no whole recording: restarting the import is the remedy.
    if (a == RECORDING_CUT || a == RECORDING_MALFORMED) return finish(IMPORT_CUT_LINE);
    if (a != 1) return finish(IMPORT_FAILED);
    if (PollForStop()) return finish(IMPORT_FAILED);
    GetSystemDate(&recordingDate[0], &recordingDate[1], &recordingDate[2]);
    GetSystemTime(&recordingDate[3], &recordingDate[4], &recordingDate[5]);

    const std::size_t n = strnlen(replyBuffer, sizeof replyBuffer);
    CleanReplyLine();
    const RecordingLine line(cleanLine, n);
    // Staged aside: the entry changes only once its file is on disk.
    ImportEntry staged{};
    ParseRecordingHeader(line, &staged);
    if (staged.number == 0) {
        ShowError(23);
        return finish(IMPORT_FAILED);
    }

    // A temporary file holds the name the dialog proposed, which its window
    // shows and under which it is kept at exit.
    const std::string proposed = StoredName(ProposedRecordingPath("", staged.number));
    std::string path, name;
    for (;;) {
        bool temporary = false;
        path = ChooseTransferPath(staged.number, now, &temporary);
        name = temporary ? proposed : StoredName(path);
        // A file of that name is replaced only once the new one is whole.
        if (ReplaceFileText(path, TransferFileText(name, recordingDate, line)) == REPLACE_DONE)
            break;
        ShowError(23, path, ReplaceFailureReason());
        // The user may choose another place; only a temporary file that
        // cannot be written either ends the transfer.
        if (temporary) return finish(IMPORT_FAILED);
    }
    staged.fileName = path;
    std::snprintf(cleanName, sizeof cleanName, "%s", name.c_str());
    DecodeRecordingLine(line, (static_cast<int>(n) - LINE_FIRST_FIELD) / FIELD_LENGTH, &staged);
    importTable[e] = std::move(staged);
    return finish(IMPORT_DONE);
}

namespace {
// The transfer the gauge shows: recording `showing` of `showingOf`, and the
// last percentage shown (the gauge never goes back). showingOf is 0 when no
// transfer is shown.
int showing = 0;
int showingOf = 0;
int shownPercent = 0;

void ShowPercent(int percent) {
    shownPercent = percent;
    SetCtrlVal(progressPanel, IMPORT_PROGRESS_GAUGE, percent);
    SetCtrlVal(progressPanel, IMPORT_PROGRESS_PERCENT, std::to_string(percent) + " %");
    ProcessDrawEvents();
}
} // namespace

void ShowLineProgress(std::size_t bytes) {
    if (showingOf <= 0) return;
    // A line's length is told by nothing but its end: the share of the longest
    // line it could be keeps the gauge moving while a long one arrives, and
    // short of the next recording's mark.
    const double line = std::min(static_cast<double>(bytes) / (REPLY_BUFFER_SIZE - 1), 0.99);
    const int percent = static_cast<int>(100.0 * (showing + line) / showingOf);
    if (percent > shownPercent) ShowPercent(percent);
}

int ImportAllRecordings() {
    SetWaitCursor(1);
    const int panel = progressPanel;
    TranslateProgressPanel(panel);
    for (int control : {STOP_BUTTON, IMPORT_PROGRESS_WAIT, IMPORT_PROGRESS_TEXT})
        SetCtrlAttribute(panel, control, ATTR_VISIBLE, 1);
    DefaultCtrl(panel, IMPORT_PROGRESS_GAUGE);
    // Without its panel the transfer still runs; nothing else may be removed.
    const bool shown = InstallPopup(panel) == 0;
    ProcessDrawEvents();
    int r = IMPORT_FAILED;
    transferredCount = 0;
    shownPercent = 0;
    for (int i = 0; i < recordingCount && i < MAX_IMPORTED; ++i) {
        PollForStop();
        if (importRunning != 1) break;
        // The share already on disk: a long last recording must not show 100 %
        // while it still arrives; its bytes move the gauge on as they come.
        ShowPercent(100 * i / recordingCount);
        showing = i;
        showingOf = recordingCount;
        r = ImportRecording(i);
        showingOf = 0;
        if (r != IMPORT_DONE) break;
        transferredCount = i + 1;
    }
    if (r == IMPORT_DONE) ShowPercent(100);
    SetCtrlAttribute(panel, IMPORT_PROGRESS_TEXT, ATTR_VISIBLE, 0);
    if (shown) RemovePopup(0);
    return r;
}

void ShowImportList() {
    int panel = LoadPanel(0, ResourceFile(), PANEL_RECORDING_LIST);
    if (panel < 0) {
        MessagePopup("Velorinder", "The list of transferred recordings cannot be loaded.");
        return;
    }
    listPanel = panel;
    TranslateRecordingList(panel);
    SetCtrlAttribute(panel, LIST_RECORDINGS, ATTR_LABEL_TEXT, ImportListHeader());
    ClearListCtrl(panel, LIST_RECORDINGS);
    // Every entry keeps its row, so that row i stays tied to entry i + 1.
    int rows = std::min(recordingCount, MAX_IMPORTED);
    for (int e = 1; e <= rows; ++e) {
        InsertListItem(panel, LIST_RECORDINGS, -1, ImportListRow(importTable[e]), e - 1);
        SetCtrlIndex(panel, LIST_RECORDINGS, e - 1);
    }
    InsertListItem(panel, LIST_RECORDINGS, -1, ImportListBlankRow(), std::max(rows, 0));
    SetCtrlIndex(panel, LIST_RECORDINGS, std::max(rows, 0));
    InstallPopup(panel);
}

int Quitter_Data(int panel, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    RemovePopup(0);
    DiscardPanel(panel);
    if (panel == listPanel) listPanel = 0;
    return 0;
}

// After the link itself failed (no answer, output held by an XOFF that never
// ended, the adapter pulled out) the next import opens the port afresh
// rather than trust the handle held.
namespace {
void ReleaseFailedLink() {
    if (GetRs232Err() < 0) {
        CloseCom(comPort);
        portOpen = 0;
    }
}

// After a stop or a failure, the recordings that did arrive stay reachable.
void ListTransferredSoFar() {
    if (transferredCount <= 0) return;
    recordingCount = transferredCount;
    ShowImportList();
}

} // namespace

void ImportCommand() {
    SetWaitCursor(1);
    transferredCount = 0;
    if (OpenTransferLink() < 0) return;
    int r = ReadImportCount();
    if (r < 0) {
        ReleaseFailedLink();
        ShowError(29);
        SetWaitCursor(0);
        return;
    }
    if (recordingCount == 0) {
        SetWaitCursor(0);
        MessagePopup(Tr(IMPORT_TITLE), Tr(EMPTY_INSTRUMENT));
        Griser_menus(0);
        return;
    }
    r = ImportAllRecordings();
    if (importRunning == 1 && r == IMPORT_NO_REPLY) {
        r = ReadImportCount();
        if (r < 0) {
            ShowError(29);
        } else {
            r = ImportAllRecordings();
            if (r < 0) ShowError(29);
        }
    }
    if (importRunning == 0) {
        SetWaitCursor(0);
        ShowError(27);
        Griser_menus(0);
        importRunning = 1;
        ListTransferredSoFar();
    } else if (r == IMPORT_FAILED || r < 0) {
        ReleaseFailedLink();
        ShowError(28);
        Griser_menus(0);
        importRunning = 1;
        ListTransferredSoFar();
    } else if (r == IMPORT_DONE) {
        importRunning = 1;
        ShowImportList();
        if (recordingsLeft > 0)
            MessagePopup(Tr(IMPORT_TITLE),
                         LeftOnInstrumentText(MAX_IMPORTED + recordingsLeft, recordingsLeft));
    } else {
        // No reply twice, or a line cut short. After a cut line the device may
        // have gone: the next import opens the port afresh.
        if (r == IMPORT_CUT_LINE) {
            CloseCom(comPort);
            portOpen = 0;
        }
        ReleaseFailedLink();
        ShowError(31);
        Griser_menus(0);
        importRunning = 1;
        ListTransferredSoFar();
    }
    SetWaitCursor(0);
}
