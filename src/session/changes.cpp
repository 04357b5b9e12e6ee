// Unsaved work: which windows changed since they were last saved or opened,
// their marks, and the question before such work would be lost.
#include "display/display.h"
#include "platform/platform.h"
#include "session/session.h"
#include "shell/shell.h"

#include <functional>
#include <map>

namespace {

Texts QUIT_TITLE = {"Quitter", "Quit", "Beenden", "Salir", "Esci"};
Texts CLOSE_TITLE = {"Fermer", "Close", "Schließen", "Cerrar", "Chiudi"};
Texts OPEN_TITLE = {"Ouvrir une session", "Open session", "Sitzung öffnen", "Abrir sesión",
                    "Apri sessione"};
Texts SCREEN_TEXT = {
    "Des fenêtres contiennent des modifications non enregistrées.\nEnregistrer la session ?",
    "Some windows hold changes that have not been saved.\nSave the session?",
    "Einige Fenster enthalten nicht gespeicherte Änderungen.\nSitzung speichern?",
    "Algunas ventanas contienen cambios sin guardar.\n¿Guardar la sesión?",
    "Alcune finestre contengono modifiche non salvate.\nSalvare la sessione?"};
Texts WINDOW_TEXT = {
    "Cette fenêtre contient des modifications non enregistrées.\nEnregistrer la session ?",
    "This window holds changes that have not been saved.\nSave the session?",
    "Dieses Fenster enthält nicht gespeicherte Änderungen.\nSitzung speichern?",
    "Esta ventana contiene cambios sin guardar.\n¿Guardar la sesión?",
    "Questa finestra contiene modifiche non salvate.\nSalvare la sessione?"};
Texts SAVE_BUTTON = {"Enregistrer la session", "Save session", "Sitzung speichern",
                     "Guardar sesión", "Salva sessione"};
Texts DISCARD_BUTTON = {"Abandonner", "Discard", "Verwerfen", "Descartar", "Scarta"};
Texts CANCEL_BUTTON = {"Annuler", "Cancel", "Abbrechen", "Cancelar", "Annulla"};

// Per window (by panel, which a window keeps when its slot moves): the
// content as last saved, and the mark now shown.
std::map<int, std::size_t> savedContent;
std::map<int, bool> shownMark;
int watchTimer = 0;
constexpr int WATCH_INTERVAL_MS = 400;

bool OpenSlot(int slot) {
    return slot >= 0 && slot < windowCount && slot < MAX_WINDOWS;
}

std::size_t Hash(const std::string &text) {
    return std::hash<std::string>{}(text);
}

// The window without what never changes after it is made (the samples) and
// without what only shows it (placement, zoom, scrolling, cursors).
SessionWindow ContentOf(SessionWindow w) {
    const SessionWindow fresh;
    w.time.clear();
    w.value.clear();
    w.gaps.clear();
    // A derived display's source is a slot number, which moves when an
    // earlier window closes; the source's own content is compared there.
    w.source = -1;
    w.zoomLevel = fresh.zoomLevel;
    w.viewStart = fresh.viewStart;
    std::copy(&fresh.cursors[0][0], &fresh.cursors[0][0] + 6, &w.cursors[0][0]);
    std::copy(fresh.geometry, fresh.geometry + 4, w.geometry);
    std::copy(fresh.fullScreenReturn, fresh.fullScreenReturn + 4, w.fullScreenReturn);
    return w;
}

std::string TextOf(const SessionWindow &w) {
    Session s;
    s.windows.push_back(w);
    return FormatSession(s);
}

} // namespace

std::string WindowContentText(int slot) {
    if (!OpenSlot(slot)) return "";
    return TextOf(ContentOf(CaptureWindow(slot)));
}

bool WindowChanged(int slot) {
    if (!OpenSlot(slot)) return false;
    auto saved = savedContent.find(windows[slot].panel);
    return saved == savedContent.end() || saved->second != Hash(WindowContentText(slot));
}

bool ScreenChanged() {
    for (int slot = 0; slot < windowCount; ++slot)
        if (WindowChanged(slot)) return true;
    return false;
}

void MarkWindowSaved(int slot) {
    if (!OpenSlot(slot)) return;
    savedContent[windows[slot].panel] = Hash(WindowContentText(slot));
    CheckForChanges();
}

void MarkScreenSaved() {
    savedContent.clear();
    for (int slot = 0; slot < windowCount; ++slot)
        savedContent[windows[slot].panel] = Hash(WindowContentText(slot));
    CheckForChanges();
}

void MarkScreenUnsaved() {
    savedContent.clear();
    CheckForChanges();
}

void CheckForChanges() {
    // A window half made by a command that is still running is not looked at.
    if (GetWaitCursorState() != 0) return;
    std::map<int, std::size_t> stillOpen;
    std::map<int, bool> marks;
    for (int slot = 0; slot < windowCount && slot < MAX_WINDOWS; ++slot) {
        const int panel = windows[slot].panel;
        if (!PanelExists(panel)) continue;
        const bool changed = WindowChanged(slot);
        auto shown = shownMark.find(panel);
        if (shown == shownMark.end() || shown->second != changed)
            SetPanelAttribute(panel, ATTR_WINDOW_MODIFIED, changed ? 1 : 0);
        marks[panel] = changed;
        auto saved = savedContent.find(panel);
        if (saved != savedContent.end()) stillOpen.insert(*saved);
    }
    shownMark.swap(marks);
    savedContent.swap(stillOpen);
    ScheduleRecovery();
}

void StartChangeWatch() {
    if (watchTimer == 0) watchTimer = StartTimer(WATCH_INTERVAL_MS, true, CheckForChanges);
}

void StopChangeWatch() {
    StopTimer(watchTimer);
    watchTimer = 0;
}

bool ConfirmUnsavedWork(UnsavedWorkAction action) {
    const char *const *title = action == UnsavedWorkAction::Exit          ? QUIT_TITLE
                               : action == UnsavedWorkAction::CloseWindow ? CLOSE_TITLE
                                                                          : OPEN_TITLE;
    const char *const *text = action == UnsavedWorkAction::CloseWindow ? WINDOW_TEXT : SCREEN_TEXT;
    const int answer = GenericMessagePopup(Tr(title), Tr(text), Tr(SAVE_BUTTON), Tr(DISCARD_BUTTON),
                                           Tr(CANCEL_BUTTON), nullptr, 0, 0, VAL_GENERIC_POPUP_BTN1,
                                           VAL_GENERIC_POPUP_BTN1, VAL_GENERIC_POPUP_BTN3);
    if (answer == VAL_GENERIC_POPUP_BTN2) return true;
    if (answer != VAL_GENERIC_POPUP_BTN1) return false;
    // Goes on only once the whole screen is in a session file: a cancelled
    // or failed save keeps everything as it is.
    SaveSessionCommand();
    return !ScreenChanged();
}

bool ConfirmClosingCurrentWindow() {
    if (!WindowChanged(currentWindow)) return true;
    return ConfirmUnsavedWork(UnsavedWorkAction::CloseWindow);
}

bool ConfirmReplacingScreen() {
    if (!ScreenChanged()) return true;
    return ConfirmUnsavedWork(UnsavedWorkAction::OpenSession);
}
