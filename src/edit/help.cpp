// The Help menu and the about box.
#include "edit/edit.h"
#include "platform/platform.h"
#include "shell/shell.h"

#include <string>

#ifndef VELORINDER_VERSION
#error "VELORINDER_VERSION is project()'s version, set in CMakeLists.txt"
#endif

int aboutBox = 0;

namespace {

// The package's licence (its metadata says the same).
const char *const PROGRAM_LICENCE = "GPL-3.0-or-later";

// The viewer's own texts follow the program's language.
const char *const VIEWER_LANGUAGE[5] = {"fr", "en", "de", "es", "it"};

void OpenHelp(int command) {
    SetHelpViewerLanguage(
        VIEWER_LANGUAGE[language >= 0 && language < LANGUAGE_COUNT ? language : 1]);
    // A missing file is the viewer's to report.
    SystemHelp(HelpFileName(), command, command == HELP_CONTENTS ? 1 : 0, "");
}

void OpenAboutBox() {
    if (aboutBox != 0) return;
    int panel = LoadPanel(0, ResourceFile(), PANEL_ABOUT);
    if (panel < 0) {
        MessagePopup("Velorinder", "The about box cannot be loaded.");
        return;
    }
    aboutBox = panel;
    TranslateAboutBox(panel);
    // From the build, so that the box cannot fall behind the version.
    SetCtrlVal(panel, ABOUT_VERSION, std::string("Version ") + VELORINDER_VERSION);
    SetCtrlVal(panel, ABOUT_LICENCE,
               std::string("Velorinder ") + VELORINDER_VERSION + ": " + PROGRAM_LICENCE);
    Griser_menus(1);
    InstallPopup(panel);
}

} // namespace

std::string HelpFileName() {
    return HelpCacheDir() + "/Velorinder.hlp";
}

void Gestion_aide(int, int menuItem, void *, int) {
    switch (menuItem) {
    case MENU_HELP_CONTENTS:
        OpenHelp(HELP_CONTENTS);
        break;
    case MENU_HELP_SEARCH:
        OpenHelp(HELP_PARTIALKEY);
        break;
    case MENU_ABOUT:
        OpenAboutBox();
        break;
    default:
        break;
    }
}

int Quitter_aide(int panel, int, int event, void *, int, int) {
    // A click closes at once; the commit that follows finds the box gone.
    if (event != EVENT_COMMIT && event != EVENT_LEFT_CLICK) return 0;
    if (panel != aboutBox) return 0;
    RemovePopup(0);
    DiscardPanel(panel);
    aboutBox = 0;
    Griser_menus(0);
    return 0;
}

void RegisterHelpCallbacks() {
    RegisterMenuCallback("Gestion_aide", Gestion_aide);
    RegisterCtrlCallback("Quitter_aide", Quitter_aide);
}
