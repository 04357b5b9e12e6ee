// Languages: the Options menu, menu texts, the toolbar and the dialog texts.
#include "edit/edit.h"
#include "platform/platform.h"
#include "shell/shell.h"
#include "toolbox/toolbox.h"

#include <cstring>

int language = 1;
int toolbar = 0;

const char *const YES_TEXT[5] = {"Oui", "Yes", "Ja", "Si", "Si"};
const char *const NO_TEXT[5] = {"Non", "No", "Nein", "No", "No"};
const char *const HELP_SUFFIX[5] = {"fr", "gb", "al", "es", "it"};
// Qt's name of each language, for the texts of its own dialogs.
const char *const QT_LANGUAGE[5] = {"fr", "en", "de", "es", "it"};

const char *Tr(const char *const texts[5]) {
    return texts[language >= 0 && language < LANGUAGE_COUNT ? language : 1];
}

namespace {

// The current language's text of a dialog's entry in the dialog table.
const char *DialogTr(const char *dialog, const char *where) {
    for (int i = 0; i < DIALOG_TEXT_COUNT; ++i)
        if (std::strcmp(DIALOG_TEXTS[i].dialog, dialog) == 0 &&
            std::strcmp(DIALOG_TEXTS[i].where, where) == 0)
            return Tr(DIALOG_TEXTS[i].text);
    return "";
}

void Title(int panel, const char *dialog) {
    SetPanelAttribute(panel, ATTR_TITLE, DialogTr(dialog, "panel title"));
}

void Label(int panel, int control, const char *dialog, const char *where) {
    SetCtrlAttribute(panel, control, ATTR_LABEL_TEXT, DialogTr(dialog, where));
}

void Value(int panel, int control, const char *dialog, const char *where) {
    SetCtrlVal(panel, control, DialogTr(dialog, where));
}

// Resets the control to its default text, then adds the text after it.
void Append(int panel, int control, const char *dialog, const char *where) {
    DefaultCtrl(panel, control);
    SetCtrlVal(panel, control, DialogTr(dialog, where));
}

// Fills a list control from consecutive rows "<prefix> <i>", value i.
void ListEntries(int panel, int control, const char *dialog, const char *prefix, int count) {
    ClearListCtrl(panel, control);
    for (int i = 0; i < count; ++i) {
        std::string where = std::string(prefix) + std::to_string(i);
        InsertListItem(panel, control, -1, DialogTr(dialog, where.c_str()), i);
    }
}

void InstallHelpFile() {
    // Installed, the common name is made in the user's cache folder.
    MakeDir(HelpCacheDir());
    std::string target = HelpFileName();
    DeleteFile(target);
    std::string source = ResourceDir() + "/Velorinder" + HELP_SUFFIX[language] + ".hhh";
    // A missing source is not reported: the help commands then find no file.
    CopyFile(source, target);
}

} // namespace

void Gestion_options(int bar, int menuItem, void *, int) {
    if (menuItem == MENU_SAVE_ON_EXIT) {
        int ticked = 0;
        GetMenuBarAttribute(bar, MENU_SAVE_ON_EXIT, ATTR_CHECKED, &ticked);
        SetMenuBarAttribute(bar, MENU_SAVE_ON_EXIT, ATTR_CHECKED, ticked ? 0 : 1);
        return;
    }
    if (menuItem < 37 || menuItem >= 37 + LANGUAGE_COUNT) return;
    SetWaitCursor(1);
    if (language >= 0 && language < LANGUAGE_COUNT)
        SetMenuBarAttribute(bar, language + 37, ATTR_CHECKED, 0);
    language = menuItem - 37;
    SetMenuBarAttribute(bar, language + 37, ATTR_CHECKED, 1);
    // Without Qt's translation its dialogs stay English; nothing to report.
    SetDialogLanguage(QT_LANGUAGE[language]);
    ApplyMenuLanguage(bar);
    InstallHelpFile();
    SetWaitCursor(0);
}

void ApplyMenuLanguage(int bar) {
    for (int i = 0; i < MENU_TEXT_COUNT; ++i)
        SetMenuBarAttribute(bar, MENU_TEXTS[i].id,
                            MENU_TEXTS[i].isMenu ? ATTR_MENU_NAME : ATTR_ITEM_NAME,
                            Tr(MENU_TEXTS[i].text));

    if (toolbar != 0) Toolbar_Discard(toolbar);
    toolbar = 0;
    if (Toolbar_New(mainPanel, bar, "", 0, 0, 1, 1, &toolbar) < 0) {
        toolbar = 0;
        return;
    }
    for (int i = 0; i < TOOLBAR_ENTRY_COUNT; ++i) {
        const ToolbarEntry &e = TOOLBAR_ENTRIES[i];
        if (!e.image) {
            Toolbar_InsertItem(toolbar, -1, kToolbarSeparator, 1, "", kToolbarNoCallback, 0,
                               nullptr, nullptr, "");
            continue;
        }
        int r = Toolbar_InsertItem(toolbar, -1, kToolbarButton, 1, Tr(e.tooltip),
                                   kToolbarMenuCallback, e.menuItem, nullptr, nullptr, e.image);
        if (r == kToolbarErrImageNotFound) ShowError(2);
    }
    Toolbar_SetAttribute(toolbar, 1, 1);
    Toolbar_Display(toolbar);
}

// ---------------------------------------------------------------- dialog texts

void TranslateColoursDialog(int panel) {
    Title(panel, "colours dialog");
    Label(panel, 3, "colours dialog", "label of control 3");
    Label(panel, 4, "colours dialog", "label of control 4");
    ListEntries(panel, 5, "colours dialog", "list control 5, entry ", 7);
}

void TranslateSpreadsheetDialog(int panel) {
    const char *d = "spreadsheet dialog";
    for (int c : {5, 6, 7, 8, 2, 3, 4})
        Label(panel, c, d, ("label of control " + std::to_string(c)).c_str());
}

void TranslateAboutBox(int panel) {
    Value(panel, 2, "about box", "value of control 2");
    Value(panel, 3, "about box", "value of control 3");
}

void TranslateScalesDialog(int panel) {
    Title(panel, "scales dialog");
    Label(panel, 2, "scales dialog", "label of control 2");
    ClearListCtrl(panel, 4);
    InsertListItem(panel, 4, -1, DialogTr("scales dialog", "list control 4, entry value 1"), 1);
    InsertListItem(panel, 4, -1, DialogTr("scales dialog", "list control 4, entry value 0"), 0);
}

void TranslateAlarmDialog(int panel) {
    Title(panel, "alarm dialog");
    Label(panel, 2, "alarm dialog", "label of control 2");
}

void TranslateTextDialog(int panel) {
    Title(panel, "text dialog");
    Label(panel, 2, "text dialog", "label of control 2");
}

void TranslateRecordingList(int panel) {
    Label(panel, 3, "recording list panel", "label of control 3");
}

void TranslateSelectionDialog(int panel) {
    Label(panel, 5, "selection dialog", "label of control 5");
    Append(panel, 4, "selection dialog", "appended to control 4");
}

void TranslateProgressPanel(int panel) {
    Value(panel, 5, "progress panel", "value of control 5");
    Value(panel, 2, "progress panel", "value of control 2");
}

void TranslateCommunicationDialog(int panel) {
    Title(panel, "communication dialog");
    Label(panel, 5, "communication dialog", "label of control 5");
    Label(panel, 2, "communication dialog", "label of control 2");
    Append(panel, 4, "communication dialog", "appended to control 4");
}

void TranslateConstantDialog(int panel) {
    Title(panel, "constant dialog");
    Label(panel, 4, "constant dialog", "label of control 4");
    Label(panel, 3, "constant dialog", "label of control 3");
}
