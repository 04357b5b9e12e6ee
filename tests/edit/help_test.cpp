// The Help menu, its toolbar button and F1, the help viewer over the compiled
// help files, and the about box.
#include "edit/edit.h"
#include "shell/shell.h"
#include "support/app_fixture.h"
#include "toolbox/toolbox.h"

#include <QApplication>
#include <QHelpContentWidget>
#include <QLineEdit>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>
#include <cstdlib>
#include <filesystem>
#include <regex>

namespace fs = std::filesystem;
using namespace testsupport;

namespace {

constexpr int FRENCH = 0, ENGLISH = 1, GERMAN = 2;

QWidget *Viewer() {
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == "helpViewer") return w;
    return nullptr;
}

class HelpTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        main = std::make_unique<MainWindowForTesting>(500, 800);
        SetProjectDirForTesting(main->dir.path());
        CopyFromProgramDir("toolbar", main->dir.path());
        // Toolbar image paths are relative, as at start-up: run from the program
        // directory wherever the test itself was started.
        SetDir(main->dir.path());
        if (QWidget *v = Viewer()) v->close();
    }
    void TearDown() override {
        if (QWidget *v = Viewer()) v->close();
        if (aboutBox) Quitter_aide(aboutBox, ABOUT_CLOSE, EVENT_COMMIT, nullptr, 0, 0);
        main.reset();
        AppTest::TearDown();
    }
    void InstallHelpSources() {
        for (const char *suffix : {"fr", "gb", "al", "es", "it"})
            CopyFromProgramDir(std::string("Velorinder") + suffix + ".hhh", main->dir.path());
    }
    void ChooseLanguage(int lang) { Gestion_options(menuBar, 37 + lang, nullptr, mainPanel); }
    template <class W> W *InViewer(const char *name) {
        QWidget *v = Viewer();
        return v ? v->findChild<W *>(name) : nullptr;
    }
    // The page text once the viewer has shown one.
    QString PageText() {
        auto *page = InViewer<QTextBrowser>("page");
        if (!page) return {};
        // An empty text fails the caller's checks.
        (void)QTest::qWaitFor([page] { return !page->toPlainText().isEmpty(); }, 5000);
        return page->toPlainText();
    }
    int Dimmed(int menu) const {
        int v = -1;
        GetMenuBarAttribute(menuBar, menu, ATTR_DIMMED, &v);
        return v;
    }

    std::unique_ptr<MainWindowForTesting> main;
};

TEST_F(HelpTest, ContentsOpensTheViewerOnTheCurrentLanguagesContents) {
    InstallHelpSources();
    ChooseLanguage(ENGLISH);
    InvokeMenuItem(menuBar, MENU_HELP_CONTENTS);

    ASSERT_NE(Viewer(), nullptr);
    EXPECT_TRUE(Viewer()->isVisible());
    auto *tabs = InViewer<QTabWidget>("tabs");
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(tabs->currentIndex(), 0);
    EXPECT_TRUE(PageText().contains("VELORINDER user guide"));
    auto *contents = InViewer<QHelpContentWidget>("contents");
    ASSERT_NE(contents, nullptr);
    const QModelIndex root = contents->model()->index(0, 0);
    EXPECT_EQ(root.data().toString(), "VELORINDER user guide");
    EXPECT_GT(contents->model()->rowCount(root), 10); // one entry per section
}

TEST_F(HelpTest, TheHelpButtonAndF1OpenTheContents) {
    InstallHelpSources();
    ChooseLanguage(ENGLISH);
    auto *window = qobject_cast<QMainWindow *>(PanelWidget(mainPanel));
    ASSERT_NE(window, nullptr);
    QToolButton *help = nullptr;
    for (QToolButton *b : window->findChild<QToolBar *>()->findChildren<QToolButton *>())
        if (b->toolTip() == "Help") help = b;
    ASSERT_NE(help, nullptr);
    help->click();
    ASSERT_NE(Viewer(), nullptr);
    EXPECT_TRUE(Viewer()->isVisible());
    EXPECT_TRUE(PageText().contains("VELORINDER user guide"));

    Viewer()->close();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window, Qt::Key_F1);
    EXPECT_TRUE(Viewer()->isVisible());
    EXPECT_EQ(InViewer<QTabWidget>("tabs")->currentIndex(), 0);
}

TEST_F(HelpTest, SearchOpensTheIndexWithTheKeywordFieldFocused) {
    InstallHelpSources();
    ChooseLanguage(ENGLISH);
    InvokeMenuItem(menuBar, MENU_HELP_SEARCH);

    ASSERT_NE(Viewer(), nullptr);
    EXPECT_EQ(InViewer<QTabWidget>("tabs")->currentIndex(), 1);
    auto *field = InViewer<QLineEdit>("keywordField");
    ASSERT_NE(field, nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(field->hasFocus(), 5000);
    // Typing narrows the index and Enter shows the entry's section.
    auto *page = InViewer<QTextBrowser>("page");
    QTRY_VERIFY_WITH_TIMEOUT(InViewer<QWidget>("index") != nullptr, 5000);
    QTest::qWait(200); // the index is built in the background
    QTest::keyClicks(field, "moving average");
    QTest::keyClick(field, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(page->source().fragment(), QString("derived"), 5000);
}

TEST_F(HelpTest, AfterSwitchingToGermanTheViewerShowsTheGermanPages) {
    InstallHelpSources();
    ChooseLanguage(ENGLISH);
    InvokeMenuItem(menuBar, MENU_HELP_CONTENTS);
    EXPECT_TRUE(PageText().contains("Import_Export"));

    ChooseLanguage(GERMAN);
    InvokeMenuItem(menuBar, MENU_HELP_CONTENTS);
    QTRY_VERIFY_WITH_TIMEOUT(PageText().contains("Importieren_Exportieren"), 5000);
    EXPECT_EQ(Viewer()->windowTitle(), "VELORINDER - Hilfe");
    // Back would lead to the English pages, which are gone.
    EXPECT_FALSE(InViewer<QPushButton>("back")->isEnabled());
}

TEST_F(HelpTest, AMissingOrDamagedHelpFileIsReportedInTheViewer) {
    ChooseLanguage(ENGLISH); // no help sources: no help file is installed
    ASSERT_FALSE(fs::exists(HelpFileName()));
    InvokeMenuItem(menuBar, MENU_HELP_CONTENTS);
    ASSERT_NE(Viewer(), nullptr);
    EXPECT_TRUE(Viewer()->isVisible());
    EXPECT_TRUE(PageText().contains("cannot be found")) << PageText().toStdString();
    EXPECT_TRUE(PageText().contains(QString::fromStdString(HelpFileName())));

    WriteFile(HelpFileName(), "not a help file");
    InvokeMenuItem(menuBar, MENU_HELP_SEARCH);
    EXPECT_TRUE(PageText().contains("cannot be read")) << PageText().toStdString();
    EXPECT_TRUE(PopupLog().empty()); // the viewer reports it, not a message box
}

TEST_F(HelpTest, OneClickOnTheAboutBoxControlClosesItAndEnablesTheMenus) {
    InstallHelpSources();
    ChooseLanguage(FRENCH);
    InvokeMenuItem(menuBar, MENU_ABOUT);
    ASSERT_GT(aboutBox, 0);
    std::string developedBy;
    GetCtrlVal(aboutBox, 2, &developedBy);
    EXPECT_EQ(developedBy, "Développé par :");
    EXPECT_EQ(Dimmed(2), 1);
    EXPECT_EQ(Dimmed(60), 1);

    auto *ok = qobject_cast<QPushButton *>(CtrlWidget(aboutBox, ABOUT_CLOSE));
    ASSERT_NE(ok, nullptr);
    QPointer<QWidget> box = PanelWidget(aboutBox);
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_EQ(aboutBox, 0);
    EXPECT_TRUE(!box || !box->isVisible());
    EXPECT_EQ(Dimmed(2), 0);
    EXPECT_EQ(Dimmed(60), 0);
}

// The about box states the program's own licence beside its libraries', with
// the version project() in CMakeLists.txt gives.
TEST_F(HelpTest, TheAboutBoxStatesTheProgramsVersionAndLicence) {
    std::smatch found;
    const std::string cmake = ReadFile(std::string(VELORINDER_SOURCE_DIR) + "/CMakeLists.txt");
    ASSERT_TRUE(
        std::regex_search(cmake, found, std::regex(R"(project\(Velorinder VERSION (\S+))")));
    const std::string version = found[1];
    InvokeMenuItem(menuBar, MENU_ABOUT);
    ASSERT_GT(aboutBox, 0);
    std::string shown, licence;
    GetCtrlVal(aboutBox, ABOUT_VERSION, &shown);
    GetCtrlVal(aboutBox, ABOUT_LICENCE, &licence);
    EXPECT_EQ(shown, "Version " + version);
    EXPECT_EQ(licence, "Velorinder " + version + ": GPL-3.0-or-later");
}

// Pictures for a person to look at, when VELORINDER_PICTURES names a folder.
TEST_F(HelpTest, Pictures) {
    const char *out = std::getenv("VELORINDER_PICTURES");
    if (!out) GTEST_SKIP() << "VELORINDER_PICTURES not set";
    InstallHelpSources();
    for (auto [lang, name] : {std::pair{ENGLISH, "gb"}, std::pair{FRENCH, "fr"}}) {
        ChooseLanguage(lang);
        InvokeMenuItem(menuBar, MENU_HELP_CONTENTS);
        PageText();
        QTest::qWait(300);
        Viewer()->grab().save(QString(out) + "/help_contents_" + name + ".png");
        InvokeMenuItem(menuBar, MENU_HELP_SEARCH);
        QTest::qWait(300);
        QTest::keyClicks(InViewer<QLineEdit>("keywordField"), "a");
        QTest::qWait(300);
        Viewer()->grab().save(QString(out) + "/help_index_" + name + ".png");
    }
    ChooseLanguage(ENGLISH);
    InvokeMenuItem(menuBar, MENU_ABOUT);
    QTest::qWait(300);
    PanelWidget(aboutBox)->grab().save(QString(out) + "/about_box.png");
}

} // namespace
