// Qt's own dialogs (file, print, colour) in the program's language.
#include "platform/platform.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>

namespace {

// Owned by the application, so it goes when the application does.
QPointer<QTranslator> installed;

} // namespace

bool SetDialogLanguage(const std::string &code) {
    QCoreApplication *app = QCoreApplication::instance();
    if (!app) return false;
    // The earlier language goes first: a file that fails to load leaves English.
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
    }
    // Qt's texts are English already.
    if (code.empty() || code == "en") return true;
    auto *translator = new QTranslator(app);
    if (!translator->load(QString::fromStdString("qtbase_" + code),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    installed = translator;
    return true;
}
