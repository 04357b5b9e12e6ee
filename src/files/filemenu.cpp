// The File menu, its recent-files entries and the list of imported recordings.
#include "display/display.h"
#include "files/files.h"
#include "link/link.h"
#include "platform/platform.h"
#include "report/report.h"
#include "session/session.h"
#include "shell/shell.h"
#include "toolbox/toolbox.h"
#include "windows/windows.h"

#include <filesystem>
#include <vector>

const char *const FILE_EXISTS_TEXT[5] = {
    "Fichier existant !   Voulez-vous l'écraser ?\n",
    "File already exists !   Replace existing file ?\n", "Datei existiert! Löschen ?\n",
    "Fichero existente! Susituir ?\n", "File esistente! Sovrascrivere ?\n"};

namespace {

const char *const OPEN_TITLE[5] = {"Ouvrir", "Open", "Öffnen", "Abrir", "Apri"};
const char *const SAVE_TITLE[5] = {"Enregistrer", "Save", "Speichern", "Guardar", "Salva"};

void Tile() {
    Gestion_fenetre(GetPanelMenuBar(mainPanel), MENU_TILE, nullptr, mainPanel);
}

// The files the Open dialog lets through: recording, transfer and temporary
// transfer files (imported recordings not saved yet).
bool OpenableType(const std::string &path) {
    return KindOfPath(path) != FileKind::Other;
}

int OpenDialog(const std::string &directory, std::string *path) {
    return FileSelectPopup(directory, "*.mon", "*.mon;*.vlr;*.tmp;*.vls", Tr(OPEN_TITLE),
                           VAL_OK_BUTTON, 0, 0, 1, 1, path);
}

// The next Open and Save dialogs start where this file is (a convenience:
// a folder that cannot be noted is not worth a message).
void RememberFolderOf(const std::string &path) {
    // The folder of temporary files is the program's, not one the user chose.
    if (PathExtension(path) == ".tmp") return;
    RememberFolder(PathExtension(path) == ".mon" ? FolderKind::Transfer : FolderKind::Recording,
                   path);
}

bool IsSession(const std::string &path) {
    return PathExtension(path) == SESSION_EXTENSION;
}

void Open() {
    std::string path;
    if (OpenDialog(StartFolder(FolderKind::OpenAny), &path) != VAL_EXISTING_FILE_SELECTED) return;
    if (IsSession(path)) {
        OpenSessionFile(path); // UNSAVED WORK: asked there, before the windows are replaced
    } else if (OpenableType(path)) {
        RememberFolderOf(path);
        Lire_fichier(path);
    } else
        ShowError(3);
    int bar = GetPanelMenuBar(mainPanel);
    if (!IsSession(path)) Tile(); // a session keeps the places it was saved with
    Griser_menus(0);
    for (int item : {MENU_OPEN, MENU_SAVE, MENU_PRINT, MENU_EXIT})
        SetMenuBarAttribute(bar, item, ATTR_DIMMED, 0);
    for (int item : recentItems)
        if (item != 0) SetMenuBarAttribute(bar, item, ATTR_DIMMED, 0);
    // The toolbar dims only as a whole; its Close, Open and Save buttons come back with it.
    if (toolbar != 0) Toolbar_SetAttribute(toolbar, kToolbarAttrDimmed, 0);
}

// A recent-files entry opens its file directly; only a file that is gone
// brings up the Open dialog, in its folder when that still exists.
void OpenRecent(int menuItem) {
    int entry = -1;
    for (int k = 0; k < 4; ++k)
        if (recentItems[k] != 0 && recentItems[k] == menuItem) entry = k;
    if (entry < 0) return;
    std::string path = RecentEntryPath(recentFiles[entry]);
    if (IsSession(path)) {
        // A session that is gone names itself in error 16; no window changes.
        OpenSessionFile(path); // UNSAVED WORK: asked there, before the windows are replaced
        return;
    }
    bool direct = !path.empty() && GetFileInfo(path, nullptr) == 1;
    if (!direct) {
        std::error_code ec;
        std::filesystem::path folder = std::filesystem::path(path).parent_path();
        std::string directory = std::filesystem::is_directory(folder, ec)
                                    ? folder.string()
                                    : StartFolder(FolderKind::OpenAny);
        std::string chosen;
        if (OpenDialog(directory, &chosen) == VAL_EXISTING_FILE_SELECTED && OpenableType(chosen)) {
            RememberFolderOf(chosen);
            Lire_fichier(chosen);
        }
    } else if (KindOfPath(path) != FileKind::Other) {
        Lire_fichier(path);
    }
    Tile();
}

void Save() {
    if (currentWindow < 0 || currentWindow >= windowCount || windows[currentWindow].count == 0)
        return;
    if (windows[currentWindow].sourceWindow != -1) {
        ShowError(25);
        return;
    }
    SetWaitCursor(1);
    // The recording is proposed under the window's name, in the dialog's folder.
    const std::string proposal = SaveFileProposal(windows[currentWindow].title);
    std::string path;
    int chosen = VAL_NO_FILE_SELECTED;
    for (;;) {
        chosen = FileSelectPopup(StartFolder(FolderKind::Recording), proposal, "*.vlr",
                                 Tr(SAVE_TITLE), VAL_OK_BUTTON, 0, 1, 1, 1, &path);
        if (chosen != VAL_EXISTING_FILE_SELECTED) break;
        if (AskYesNo(Tr(SAVE_TITLE), Tr(FILE_EXISTS_TEXT))) break;
    }
    Ecrire_fichier(path, chosen);
    if (chosen >= VAL_EXISTING_FILE_SELECTED) RememberFolderOf(path);
    SetWaitCursor(0);
    Griser_menus(0);
}

void Print() {
    if (currentWindow == -1) {
        ShowError(4);
        return;
    }
    int p = windows[currentWindow].panel;
    int mainH = 0, mainW = 0, top = 0, left = 0, height = 0, width = 0;
    GetPanelAttribute(mainPanel, ATTR_HEIGHT, &mainH);
    GetPanelAttribute(mainPanel, ATTR_WIDTH, &mainW);
    GetPanelAttribute(p, ATTR_TOP, &top);
    GetPanelAttribute(p, ATTR_LEFT, &left);
    GetPanelAttribute(p, ATTR_HEIGHT, &height);
    GetPanelAttribute(p, ATTR_WIDTH, &width);
    // Printing goes through full screen; a window already there first gets
    // back its earlier place, so that the toggle below does not undo it.
    if (top == AREA_TOP && left == AREA_LEFT && height == mainH - 75 && width == mainW - 9) {
        const int32_t *g = windows[currentWindow].geometry;
        SetPanelAttribute(p, ATTR_TOP, g[0]);
        SetPanelAttribute(p, ATTR_LEFT, g[1]);
        SetPanelAttribute(p, ATTR_HEIGHT, g[2]);
        SetPanelAttribute(p, ATTR_WIDTH, g[3]);
    }
    Repere_fenetre(p, EVENT_RIGHT_DOUBLE_CLICK, nullptr, 0, 0);
    // The page is a report of what the window shows, previewed first.
    int printed = PrintWindowReports({currentWindow});
    SetPanelAttribute(p, ATTR_HEIGHT, height);
    SetPanelAttribute(p, ATTR_WIDTH, width);
    Tile();
    if (printed < 0) ShowError(23);
}

// Every open window, one page each, in the order of the Window menu.
void PrintAll() {
    if (windowCount == 0) {
        ShowError(4);
        return;
    }
    std::vector<int> slots;
    for (int slot = 0; slot < windowCount; ++slot)
        slots.push_back(slot);
    if (PrintWindowReports(slots) < 0) ShowError(23);
}

} // namespace

void Gestion_fichier(int /*menuBar*/, int menuItem, void *, int panel) {
    ResetTimer(0, 0);
    switch (menuItem) {
    case MENU_OPEN:
        Open();
        break;
    case MENU_SAVE:
        Save();
        break;
    case MENU_CLOSE:
        if (ConfirmClosingCurrentWindow()) Fermer_fenetre();
        break;
    case MENU_PRINT:
        Print();
        break;
    case MENU_PRINT_ALL:
        PrintAll();
        break;
    case MENU_EXIT:
        Sortir(panel, 2, EVENT_COMMIT, nullptr, 0, 0);
        break;
    case MENU_OPEN_SESSION:
        OpenSessionCommand();
        break;
    case MENU_SAVE_SESSION:
        SaveSessionCommand();
        break;
    case MENU_EXPORT_PICTURE:
        Exporter_image();
        break;
    case MENU_EXPORT_CSV:
        Exporter_csv();
        break;
    default:
        OpenRecent(menuItem);
        break;
    }
}

void Fichiers_recents(const std::string &path) {
    RecentList list;
    for (int k = 0; k < 4; ++k)
        list[k] = recentFiles[k];
    if (!UpdateRecentList(&list, path)) return;
    for (int k = 0; k < 4; ++k)
        CopyText(recentFiles[k], sizeof recentFiles[k], list[k]);
    int bar = GetPanelMenuBar(mainPanel);
    for (int &item : recentItems) {
        if (item != 0) DiscardMenuItem(bar, item);
        item = 0;
    }
    for (int k = 0; k < 4; ++k)
        if (list[k].size() > 5 && list[k][0] == '_')
            recentItems[k] = NewMenuItem(bar, MENU_FILE, list[k], 0, 0, Gestion_fichier, nullptr);
}

int IndexTableau(int panel, int control, int event, void *, int, int) {
    if (event != EVENT_VAL_CHANGED) return 0;
    int row = -1;
    GetCtrlIndex(panel, control, &row);
    SetWaitCursor(0);
    RemovePopup(0);
    DiscardPanel(panel);
    if (panel == listPanel) listPanel = 0;
    if (row == -1) return 0;
    // Row i shows entry i + 1; the blank last row and rows of an earlier
    // import name no entry of this one.
    int e = row + 1;
    if (e <= recordingCount && e < IMPORT_ENTRIES && importTable[e].count > 4)
        Lire_fichier(importTable[e].fileName);
    Tile();
    Griser_menus(0);
    return 0;
}

void RegisterFileCallbacks() {
    RegisterMenuCallback("Gestion_fichier", Gestion_fichier);
    RegisterCtrlCallback("IndexTableau", IndexTableau);
}
