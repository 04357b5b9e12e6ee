// The table from the callback names of the resource file to the functions.
#include "display/display.h"
#include "edit/edit.h"
#include "export/export.h"
#include "files/files.h"
#include "link/link.h"
#include "platform/platform.h"
#include "shell/shell.h"
#include "windows/windows.h"

void RegisterCallbacks() {
    RegisterCtrlCallback("Sortir", Sortir);
    RegisterPanelCallback("Fenetre", Fenetre);
    RegisterMenuCallback("Gestion_options", Gestion_options);
    RegisterMenuCallback("Gestion_fichier", Gestion_fichier);
    RegisterLinkCallbacks();
    RegisterDisplayCallbacks();
    RegisterWindowCallbacks();
    RegisterFileCallbacks();
    RegisterEditCallbacks();
    RegisterHelpCallbacks();
    RegisterExportCallbacks();
}
