// The File menu.
#include "files/files.h"
#include "platform/platform.h"
#include "shell/shell.h"

void Gestion_fichier(int /*menuBar*/, int menuItem, void *, int panel) {
    ResetTimer(0, 0);
    switch (menuItem) {
    case MENU_EXIT:
        Sortir(panel, 2, EVENT_COMMIT, nullptr, 0, 0);
        break;
    default:
        break;
    }
}
