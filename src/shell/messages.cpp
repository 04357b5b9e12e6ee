// The numbered error message box, the dimming of the menus, Yes/No questions.
#include "platform/platform.h"
#include "shell/shell.h"

namespace {
const char *const ERROR_WORD[5] = {"Erreur", "Error", "Fehler", "Error", "Errore"};
constexpr int TOP_MENUS[] = {2, 11, 19, 34, 30, 44, 54, 60};
} // namespace

std::string ErrorText(int code, int lang) {
    if (lang < 0 || lang >= LANGUAGE_COUNT) return "";
    for (int i = 0; i < ERROR_TEXT_COUNT; ++i)
        if (ERROR_TEXTS[i].code == code)
            return std::string(ERROR_TEXTS[i].text[lang]).substr(0, 199);
    return "";
}

std::string ErrorTitle(int code, int lang) {
    if (lang < 0 || lang >= LANGUAGE_COUNT) return "";
    std::string title = std::string(ERROR_WORD[lang]) + " n° " + std::to_string(-(code + 100));
    return title.substr(0, 19);
}

void ShowError(int code) {
    // Only a language the tables know has messages.
    if (language >= LANGUAGE_COUNT || language < 0) return;
    MessagePopup(ErrorTitle(code, language), ErrorText(code, language));
}

void ShowError(int code, const std::string &path, const std::string &reason) {
    if (language >= LANGUAGE_COUNT || language < 0) return;
    MessagePopup(ErrorTitle(code, language), ErrorText(code, language) + "\n" +
                                                 ErrorDetail(path, reason));
}

std::string ErrorDetail(const std::string &path, const std::string &reason) {
    if (reason.empty()) return path;
    if (path.empty()) return reason;
    return path + ": " + reason;
}

void Griser_menus(int dim) {
    for (int id : TOP_MENUS)
        SetMenuBarAttribute(menuBar, id, ATTR_DIMMED, dim);
}

bool AskYesNo(const std::string &title, const std::string &message) {
    return GenericMessagePopup(title, message, Tr(YES_TEXT), Tr(NO_TEXT), "", nullptr, 0, 0,
                               VAL_GENERIC_POPUP_BTN1, VAL_GENERIC_POPUP_BTN1,
                               VAL_GENERIC_POPUP_BTN2) == VAL_GENERIC_POPUP_BTN1;
}
