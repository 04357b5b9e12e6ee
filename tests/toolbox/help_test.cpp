// The compiled help files, one per language, in the program directory.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QHelpEngineCore>
#include <QHelpLink>
#include <QTemporaryDir>
#include <QUrl>

namespace {

struct Language {
    const char *suffix;
    const char *importMenu; // the Import_Export menu's name, as the page must show it
    const char *keyword;    // an index entry of that language
    const char *alarmKeyword;
};
const Language kLanguages[] = {
    {"fr", "Importer_Exporter", "moyenne mobile", "lignes d'alarme"},
    {"gb", "Import_Export", "moving average", "alarm lines"},
    {"al", "Importieren_Exportieren", "beweglicher Mittelwert", "Alarmlinien"},
    {"es", "Importar_Exportar", "media deslizante", "líneas de alarma"},
    {"it", "Importare_Esportare", "media mobile", "linee di allarme"},
};

QString HelpFile(const char *suffix) {
    return QString(VELORINDER_PROGRAM_DIR) + "/Velorinder" + suffix + ".hhh";
}

void EnsureApplication() {
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "test_toolbox";
        static char *argv[] = {name, nullptr};
        new QCoreApplication(argc, argv);
    }
}

} // namespace

TEST(HelpFiles, EachLanguageHasACompiledGuideWithContentsAndIndex) {
    EnsureApplication();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const Language &language : kLanguages) {
        SCOPED_TRACE(language.suffix);
        const QString file = HelpFile(language.suffix);
        const QString space = QHelpEngineCore::namespaceName(file);
        ASSERT_EQ(space.toStdString(), std::string("velorinder.help.") + language.suffix);

        QHelpEngineCore engine(dir.filePath(QString(language.suffix) + ".qhc"));
        engine.setReadOnly(false);
        ASSERT_TRUE(engine.setupData()) << engine.error().toStdString();
        ASSERT_TRUE(engine.registerDocumentation(file)) << engine.error().toStdString();

        const QUrl page("qthelp://" + space + "/velorinder/velorinder.html");
        const QString html = QString::fromUtf8(engine.fileData(page));
        EXPECT_GT(html.size(), 8000); // a real guide, not a stub
        EXPECT_TRUE(html.contains(language.importMenu));
        EXPECT_TRUE(html.contains("38400"));
        EXPECT_TRUE(html.contains(".vlr"));

        const QList<QHelpLink> links = engine.documentsForKeyword(language.keyword);
        ASSERT_FALSE(links.isEmpty());
        EXPECT_EQ(links[0].url.fragment(), "derived");
        EXPECT_FALSE(engine.documentsForKeyword("RD5150").isEmpty());
        // The export, the alarm lines and the help itself have their sections too.
        for (auto [keyword, section] :
             {std::pair{"xlsx", "export"}, std::pair{language.alarmKeyword, "edit"},
              std::pair{"F1", "help"}}) {
            const QList<QHelpLink> found = engine.documentsForKeyword(QString::fromUtf8(keyword));
            ASSERT_FALSE(found.isEmpty()) << keyword;
            EXPECT_EQ(found[0].url.fragment().toStdString(), section);
        }
    }
}
