// Start-up, settings file, languages, error messages and exit, driven through
// the shell's own routines on a temporary program directory.
#include "display/display.h"
#include "link/link.h"
#include "shell/shell.h"
#include "support/app_fixture.h"
#include "toolbox/toolbox.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;
using namespace testsupport;

namespace {

const char *const DEFAULT_FILE = "1\n1 38400\n16711680\n12632256\n128\n65280\n16776960\n0\n0\n"
                                 "\n1\n25\n5\n500\n800\n0\n***\n";

class ShellTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        CopyFromProgramDir("toolbar", dir.path());
        // Each start is a new process for the program: nothing carries over.
        std::memset(recentFiles, 0, sizeof recentFiles);
        displayColours[6] = 0;
    }
    void TearDown() override {
        Stop();
        AppTest::TearDown();
    }
    // Runs start-up; the settings error is expected when there is no file.
    bool Start(bool expectSettingsError) {
        if (expectSettingsError) Expect("Error n° -100");
        bool ok = StartUp();
        started = ok;
        return ok;
    }
    void Stop() {
        if (!started) return;
        RemovePopup(1);
        if (communicationPanel > 0) DiscardPanel(communicationPanel);
        communicationPanel = 0;
        ShutDown();
        started = false;
    }
    void Restart(bool expectSettingsError) {
        Stop();
        Start(expectSettingsError);
    }
    std::string Settings() const { return ReadFile(dir.file("Velorcfg.ini")); }
    int Checked(int item) const {
        int v = -1;
        GetMenuBarAttribute(menuBar, item, ATTR_CHECKED, &v);
        return v;
    }
    std::string ItemText(int item) const {
        std::string t;
        GetMenuBarAttribute(menuBar, item, ATTR_ITEM_NAME, &t);
        return t;
    }
    std::vector<std::string> Tooltips() const {
        std::vector<std::string> tips;
        int n = 0;
        Toolbar_GetNumItems(toolbar, &n);
        for (int i = 0; i < n; ++i) {
            int type = 0;
            std::string tip;
            Toolbar_GetItemInfo(toolbar, i, &type, &tip);
            if (type == kToolbarButton) tips.push_back(tip);
        }
        return tips;
    }
    void ChooseLanguage(int lang) { Gestion_options(menuBar, 37 + lang, nullptr, mainPanel); }
    // Answers the exit question with `button` (0: Escape closes it).
    void Exit(int button) {
        Expect("", button);
        Sortir(mainPanel, 2, EVENT_COMMIT, nullptr, 0, 0);
    }

    bool started = false;
};

TEST_F(ShellTest, FirstStartWritesDefaultsAndPlacesTheMainWindow) {
    ASSERT_TRUE(Start(true));
    ASSERT_EQ(PopupLog().size(), 1u);
    EXPECT_EQ(PopupLog()[0].text, "File Velorinder.ini not found");
    EXPECT_EQ(Settings(), DEFAULT_FILE);

    int top, left, height, width;
    GetPanelAttribute(mainPanel, ATTR_TOP, &top);
    GetPanelAttribute(mainPanel, ATTR_LEFT, &left);
    GetPanelAttribute(mainPanel, ATTR_HEIGHT, &height);
    GetPanelAttribute(mainPanel, ATTR_WIDTH, &width);
    EXPECT_EQ(top, 25);
    EXPECT_EQ(left, 5);
    EXPECT_EQ(height, 500);
    EXPECT_EQ(width, 800);
    EXPECT_EQ(Checked(MENU_SAVE_ON_EXIT), 1);
    EXPECT_EQ(Checked(38), 1);
    EXPECT_EQ(Checked(37), 0);
    EXPECT_EQ(language, 1);
    // The communication dialog opens once at start.
    EXPECT_GT(communicationPanel, 0);

    // Menu bar, then toolbar, then the graph area, none hiding another.
    auto *window = qobject_cast<QMainWindow *>(PanelWidget(mainPanel));
    ASSERT_NE(window, nullptr);
    auto *bar = window->findChild<QToolBar *>();
    ASSERT_NE(bar, nullptr);
    EXPECT_FALSE(window->menuBar()->isNativeMenuBar());
    EXPECT_GE(bar->geometry().top(), window->menuBar()->geometry().bottom());
    EXPECT_GE(window->centralWidget()->geometry().top(), bar->geometry().bottom());
}

TEST_F(ShellTest, MissingResourceFileIsFatalBeforeAnything) {
    fs::remove(dir.file("VELORPNL.UIR"));
    Expect("FATAL RUNTIME ERROR");
    EXPECT_FALSE(StartUp());
    ASSERT_EQ(PopupLog().size(), 1u);
    EXPECT_EQ(PopupLog()[0].text, "File VELORPNL.UIR not found !\n");
    EXPECT_FALSE(fs::exists(dir.file("Velorcfg.ini")));
    EXPECT_EQ(mainPanel, 0);
}

TEST_F(ShellTest, DamagedSettingsFileIsReplacedByDefaults) {
    // Cut before the end marker: everything else is well formed.
    WriteFile(dir.file("Velorcfg.ini"),
              "0\n3 9600\n1\n2\n3\n4\n5\n6\n0\n\n2\n30\n40\n600\n900\n0\n");
    ASSERT_TRUE(Start(true));
    EXPECT_EQ(Settings(), DEFAULT_FILE);
    EXPECT_EQ(comPort, 1);
    EXPECT_EQ(language, 1);
    EXPECT_EQ(displayColours[0], 0xFF0000);
}

TEST_F(ShellTest, SettingsWrittenOnWindowsReadTheSame) {
    std::string text = "0\r\n4 19200\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n\r\n2\r\n30\r\n40\r\n"
                       "600\r\n900\r\n0\r\n***\r\n___1 /data/a.vlr\r\nnot a file\r\n\r\n"
                       "___4 /data/d.vlr\r\n";
    WriteFile(dir.file("Velorcfg.ini"), text);
    ASSERT_TRUE(Start(false));
    EXPECT_EQ(comPort, 4);
    EXPECT_EQ(baudRate, 19200);
    EXPECT_EQ(displayColours[6], 7);
    EXPECT_EQ(language, 2);
    EXPECT_EQ(Checked(MENU_SAVE_ON_EXIT), 0);
    EXPECT_EQ(Checked(39), 1);
    // Only lines that begin with an underscore make menu items.
    EXPECT_NE(recentItems[0], 0);
    EXPECT_EQ(recentItems[1], 0);
    EXPECT_EQ(recentItems[2], 0);
    EXPECT_NE(recentItems[3], 0);
    EXPECT_EQ(ItemText(recentItems[0]), "___1 /data/a.vlr");
    int height = 0;
    GetPanelAttribute(mainPanel, ATTR_HEIGHT, &height);
    EXPECT_EQ(height, 600);
}

TEST_F(ShellTest, StoredZoomStateRestoresOnlyThatState) {
    WriteFile(dir.file("Velorcfg.ini"),
              "1\n1 38400\n1\n2\n3\n4\n5\n6\n7\n\n1\n30\n40\n321\n654\n2\n***\n");
    ASSERT_TRUE(Start(false));
    int zoom = 0;
    GetPanelAttribute(mainPanel, ATTR_WINDOW_ZOOM, &zoom);
    EXPECT_EQ(zoom, VAL_MAXIMIZE);
    int height = 0;
    GetPanelAttribute(mainPanel, ATTR_HEIGHT, &height);
    EXPECT_NE(height, 321);
}

TEST(FitMainPlacement, OnlyWhatDoesNotFitTheScreenChanges) {
    const MainPlacement area{0, 0, 770, 1280}; // top, left, height, width
    struct Case {
        MainPlacement want, fitted;
        const char *why;
    };
    const Case cases[] = {
        {{25, 5, 500, 800}, {25, 5, 500, 800}, "the first start's place"},
        {{0, 480, 500, 800}, {0, 480, 500, 800}, "touching the right edge"},
        {{25, 5, 2147483647, 2147483647}, {0, 0, 770, 1280}, "the largest size"},
        {{25, 5, 900, 800}, {0, 5, 770, 800}, "too high only"},
        {{25, 1900, 500, 800}, {25, 480, 500, 800}, "from a screen to the right"},
        {{25, 1200, 500, 800}, {25, 480, 500, 800}, "less than a strip shows"},
        {{-40, -2147483647 - 1, 500, 800}, {0, 0, 500, 800}, "corner off the top and left"},
        {{25, 5, 0, -3}, {25, 5, 150, 150}, "no size at all"},
    };
    for (const Case &c : cases) {
        const MainPlacement got = FitMainPlacement(c.want, area);
        EXPECT_EQ(got.top, c.fitted.top) << c.why;
        EXPECT_EQ(got.left, c.fitted.left) << c.why;
        EXPECT_EQ(got.height, c.fitted.height) << c.why;
        EXPECT_EQ(got.width, c.fitted.width) << c.why;
    }
    // An area offset by a panel on the left of the desktop.
    const MainPlacement got = FitMainPlacement({25, 5, 500, 2000}, {30, 64, 740, 1216});
    EXPECT_EQ(got.left, 64);
    EXPECT_EQ(got.width, 1216);
    EXPECT_EQ(got.top, 30);
}

TEST_F(ShellTest, OutOfRangeLanguageFallsBackToEnglish) {
    WriteFile(dir.file("Velorcfg.ini"),
              "1\n1 38400\n1\n2\n3\n4\n5\n6\n7\n\n9\n30\n40\n500\n800\n0\n***\n");
    ASSERT_TRUE(Start(false));
    EXPECT_EQ(language, 1);
    EXPECT_EQ(ItemText(9), "E__xit");
}

TEST_F(ShellTest, EveryLanguageTranslatesMenusToolbarAndHelp) {
    for (const char *suffix : HELP_SUFFIX)
        WriteFile(dir.file(std::string("Velorinder") + suffix + ".hhh"),
                  std::string("help ") + suffix);
    ASSERT_TRUE(Start(true));
    for (int lang = 0; lang < LANGUAGE_COUNT; ++lang) {
        ChooseLanguage(lang);
        EXPECT_EQ(language, lang);
        for (int i = 0; i < MENU_TEXT_COUNT; ++i) {
            std::string text;
            GetMenuBarAttribute(menuBar, MENU_TEXTS[i].id,
                                MENU_TEXTS[i].isMenu ? ATTR_MENU_NAME : ATTR_ITEM_NAME, &text);
            EXPECT_EQ(text, MENU_TEXTS[i].text[lang]) << "item " << MENU_TEXTS[i].id;
        }
        std::vector<std::string> expected;
        for (int i = 0; i < TOOLBAR_ENTRY_COUNT; ++i)
            if (TOOLBAR_ENTRIES[i].image) expected.push_back(TOOLBAR_ENTRIES[i].tooltip[lang]);
        EXPECT_EQ(Tooltips(), expected);
        EXPECT_EQ(ReadFile(dir.file("Velorinder.hlp")), std::string("help ") + HELP_SUFFIX[lang]);
        for (int other = 0; other < LANGUAGE_COUNT; ++other)
            EXPECT_EQ(Checked(37 + other), other == lang ? 1 : 0);
    }
    // A language whose help source is missing leaves no help file behind.
    fs::remove(dir.file("Velorinderit.hhh"));
    ChooseLanguage(4);
    EXPECT_FALSE(fs::exists(dir.file("Velorinder.hlp")));
}

// The program's real file dialog, with a name typed in: the texts of its
// Cancel and accept buttons, read while it is open; then it is cancelled.
std::pair<std::string, std::string> FileDialogButtons(const std::string &dir) {
    std::pair<std::string, std::string> texts;
    QTimer::singleShot(0, [&texts] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *d = qobject_cast<QFileDialog *>(w);
            if (!d || !d->isVisible()) continue;
            if (auto *edit = d->findChild<QLineEdit *>("fileNameEdit")) edit->setText("run.mon");
            if (auto *box = d->findChild<QDialogButtonBox *>()) {
                texts.first = box->button(QDialogButtonBox::Cancel)->text().toStdString();
                for (QAbstractButton *b : box->buttons())
                    if (box->buttonRole(b) == QDialogButtonBox::AcceptRole)
                        texts.second = b->text().toStdString();
            }
            d->reject();
        }
    });
    SetPopupScriptMode(false);
    std::string path;
    FileSelectPopup(dir, "*.mon", "*.mon;*.vlr", "Open", VAL_OK_BUTTON, 0, 0, 1, 0, &path);
    SetPopupScriptMode(true);
    return texts;
}

TEST_F(ShellTest, QtDialogsSpeakTheChosenLanguage) {
    ASSERT_TRUE(Start(true));
    ChooseLanguage(2);
    EXPECT_EQ(FileDialogButtons(dir.path()),
              std::make_pair(std::string("Abbrechen"), std::string("OK")));
    // Going back replaces the German texts, it does not add to them.
    ChooseLanguage(1);
    EXPECT_EQ(FileDialogButtons(dir.path()).first, "Cancel");
    // A language Qt has no translation for leaves its dialogs in English.
    ChooseLanguage(0);
    EXPECT_FALSE(SetDialogLanguage("xx"));
    EXPECT_EQ(FileDialogButtons(dir.path()).first, "Cancel");
}

TEST_F(ShellTest, DialogClosesByEscapeAndByItsCloseBoxAsByQuit) {
    ASSERT_TRUE(Start(true));
    ASSERT_GT(communicationPanel, 0);
    QTest::keyClick(PanelWidget(communicationPanel), Qt::Key_Escape);
    EXPECT_EQ(communicationPanel, 0);

    Gestion_import(menuBar, MENU_COMMUNICATION, nullptr, mainPanel);
    ASSERT_GT(communicationPanel, 0);
    int panel = communicationPanel;
    PanelWidget(panel)->close();
    EXPECT_EQ(communicationPanel, 0);
    EXPECT_FALSE(PanelExists(panel));
    int dimmed = -1;
    GetMenuBarAttribute(menuBar, 2, ATTR_DIMMED, &dimmed);
    EXPECT_EQ(dimmed, 0);

    // The main window's close box asks before quitting, like File > Exit.
    Expect("Quit", 2);
    PanelWidget(mainPanel)->close();
    EXPECT_TRUE(PanelExists(mainPanel));
    EXPECT_EQ(PopupLog().back().text, "Are you sure you want to quit ?\n");
}

TEST_F(ShellTest, MenuMnemonicsShowAsUnderlinedLetters) {
    ASSERT_TRUE(Start(true));
    EXPECT_EQ(MnemonicText("E__xit"), "E&xit");
    EXPECT_EQ(MnemonicText("Tom & Jerry"), "Tom && Jerry");
    auto *window = qobject_cast<QMainWindow *>(PanelWidget(mainPanel));
    ASSERT_NE(window, nullptr);
    bool found = false;
    for (QAction *a : window->findChildren<QAction *>())
        if (a->text() == "E&xit") found = true;
    EXPECT_TRUE(found);
}

TEST_F(ShellTest, ToolbarButtonRunsItsMenuItem) {
    ASSERT_TRUE(Start(true));
    int n = 0;
    ASSERT_EQ(Toolbar_GetNumItems(toolbar, &n), 0);
    EXPECT_EQ(n, TOOLBAR_ENTRY_COUNT);
    // The first button is File > Close: with no window it says so, as the
    // menu item does.
    Expect("Error n° -104");
    ASSERT_EQ(Toolbar_PressItem(toolbar, 0), 0);
    EXPECT_EQ(PopupLog().back().text, "No graph selected");
}

TEST_F(ShellTest, SaveOnExitTickFollowsClicksOnItsMenuItem) {
    ASSERT_TRUE(Start(true));
    ASSERT_EQ(Checked(MENU_SAVE_ON_EXIT), 1);
    InvokeMenuItem(menuBar, MENU_SAVE_ON_EXIT);
    EXPECT_EQ(Checked(MENU_SAVE_ON_EXIT), 0);
    InvokeMenuItem(menuBar, MENU_SAVE_ON_EXIT);
    EXPECT_EQ(Checked(MENU_SAVE_ON_EXIT), 1);
    // A language item chosen twice stays ticked, and only one is.
    InvokeMenuItem(menuBar, MENU_FIRST_LANGUAGE + 2);
    InvokeMenuItem(menuBar, MENU_FIRST_LANGUAGE + 2);
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(Checked(MENU_FIRST_LANGUAGE + k), k == 2 ? 1 : 0) << k;
}

TEST_F(ShellTest, UntickedSaveKeepsOldSettingsButStoresRecentFiles) {
    ASSERT_TRUE(Start(true));
    Gestion_options(menuBar, MENU_SAVE_ON_EXIT, nullptr, mainPanel);
    EXPECT_EQ(Checked(MENU_SAVE_ON_EXIT), 0);
    ChooseLanguage(2);
    comPort = 7;
    std::strcpy(recentFiles[0], "___1 /home/tech/run.vlr");
    Exit(1);
    Stop();
    std::string expected = DEFAULT_FILE;
    expected[0] = '0';
    expected += "___1 /home/tech/run.vlr\n\n\n\n";
    EXPECT_EQ(Settings(), expected);

    ASSERT_TRUE(Start(false));
    EXPECT_EQ(language, 1);
    EXPECT_EQ(comPort, 1);
    EXPECT_NE(recentItems[0], 0);
}

TEST_F(ShellTest, TickedSaveRewritesTheWholeFile) {
    ASSERT_TRUE(Start(true));
    ChooseLanguage(3);
    comPort = 3;
    displayColours[0] = 0x0000FF;
    SetPanelAttribute(mainPanel, ATTR_HEIGHT, 450);
    std::strcpy(recentFiles[1], "___2 /tmp/b.mon");
    Exit(1);
    Stop();
    EXPECT_EQ(Settings(), "1\n3 38400\n255\n12632256\n128\n65280\n16776960\n0\n0\n\n3\n25\n5\n450\n"
                          "800\n0\n***\n\n___2 /tmp/b.mon\n\n\n");
    ASSERT_TRUE(Start(false));
    EXPECT_EQ(language, 3);
    EXPECT_EQ(ItemText(9), "Sali__r");
}

TEST_F(ShellTest, ExitAnsweredNoOrEscapeChangesNothing) {
    ASSERT_TRUE(Start(true));
    WriteFile(dir.file("a.tmp"), "x");
    std::string before = Settings();
    Exit(2);
    Exit(0);
    EXPECT_TRUE(fs::exists(dir.file("a.tmp")));
    EXPECT_EQ(Settings(), before);
    EXPECT_TRUE(PanelExists(mainPanel));
    EXPECT_EQ(PopupLog().back().title, "Quit");
    EXPECT_EQ(PopupLog().back().buttons, (std::vector<std::string>{"Yes", "No"}));
}

TEST_F(ShellTest, ExitAnsweredYesDeletesTemporaryFilesAndQuits) {
    ASSERT_TRUE(Start(true));
    WriteFile(dir.file("1a2b3c.tmp"), "x");
    WriteFile(dir.file("keep.mon"), "x");
    Exit(1);
    EXPECT_FALSE(fs::exists(dir.file("1a2b3c.tmp")));
    EXPECT_TRUE(fs::exists(dir.file("keep.mon")));
    // The event loop, when it runs, returns at once.
    EXPECT_EQ(RunUserInterface(), 0);
}

// Temporary recordings as the import leaves them: one that stores the name
// the import proposed, one from an earlier version that stores its own name.
class ExitWithRecordingsTest : public ShellTest {
  protected:
    const std::string twelve =
        "recording_12.mon\n05/31/2024 14:07\n0012;1;1;001.00;00010;1.50E+2;2.50E-1;\n";
    const std::string seven =
        "65f3a1b3.tmp\n05/31/2024 14:08\n0007;0;2;001.00;00001;3.00E+1;4.00E+1;\n";
    void SetUp() override {
        ShellTest::SetUp();
        ASSERT_TRUE(Start(true));
        WriteFile(dir.file("65f3a1b2.tmp"), twelve);
        WriteFile(dir.file("65f3a1b3.tmp"), seven);
        WriteFile(dir.file("recording_12.mon"), "mine\n");
    }
    std::vector<std::string> Files(const std::string &extension) const {
        std::vector<std::string> names;
        for (const auto &f : fs::directory_iterator(dir.path()))
            if (f.path().extension() == extension) names.push_back(f.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    void Exit(int quit, int keep) {
        Expect("Quit", quit);
        Expect("Quit", keep);
        Sortir(mainPanel, 2, EVENT_COMMIT, nullptr, 0, 0);
    }
};

TEST_F(ExitWithRecordingsTest, KeepingSavesEachUnderItsProposedNameWithoutOverwriting) {
    const std::size_t before = PopupLog().size();
    Exit(1, 1);
    ASSERT_EQ(PopupLog().size(), before + 2);
    EXPECT_EQ(PopupLog().back().text,
              "Imported recordings not saved: 2.\nThey would be lost. Keep them in " + dir.path() +
                  "?");
    EXPECT_EQ(PopupLog().back().buttons, (std::vector<std::string>{"Yes", "No"}));
    EXPECT_EQ(Files(".tmp"), std::vector<std::string>{});
    EXPECT_EQ(Files(".mon"), (std::vector<std::string>{"recording_12.mon", "recording_12_2.mon",
                                                       "recording_7.mon"}));
    EXPECT_EQ(ReadFile(dir.file("recording_12.mon")), "mine\n");
    EXPECT_EQ(ReadFile(dir.file("recording_12_2.mon")), twelve);
    EXPECT_EQ(ReadFile(dir.file("recording_7.mon")), seven);
    EXPECT_EQ(RunUserInterface(), 0);
}

TEST_F(ExitWithRecordingsTest, NotKeepingRemovesThem) {
    Exit(1, 2);
    EXPECT_EQ(Files(".tmp"), std::vector<std::string>{});
    EXPECT_EQ(Files(".mon"), std::vector<std::string>{"recording_12.mon"});
}

TEST_F(ShellTest, AllToolbarImagesMissingShowsErrorTwoForEach) {
    fs::remove_all(dir.file("toolbar"));
    Expect("Error n° -100");
    for (int i = 0; i < 15; ++i)
        Expect("Error n° -102");
    ASSERT_TRUE(Start(false));
    started = true;
    int errors = 0;
    for (const auto &r : PopupLog())
        if (r.text == "Toolbar icon not found") ++errors;
    EXPECT_EQ(errors, 15);
    EXPECT_TRUE(Tooltips().empty());
}

TEST(ShowErrorTest, TitlesTextsAndSilentLanguage) {
    EnsureApplication();
    EXPECT_EQ(ErrorTitle(0, 1), "Error n° -100");
    EXPECT_EQ(ErrorTitle(31, 1), "Error n° -131");
    EXPECT_EQ(ErrorTitle(4, 0), "Erreur n° -104");
    EXPECT_EQ(ErrorText(31, 1), "Error during data transmission\nRestart the import operation");
    EXPECT_EQ(ErrorText(2, 2), "Symbolleisten Icon nicht gefunden");

    SetPopupScriptMode(true);
    ClearPopupLog();
    int saved = language;
    ScriptPopup({"Error n° -131", 1, ""});
    language = 1;
    ShowError(31);
    ASSERT_EQ(PopupLog().size(), 1u);
    EXPECT_NE(PopupLog()[0].text.find('\n'), std::string::npos);
    language = 5;
    ShowError(31);
    EXPECT_EQ(PopupLog().size(), 1u);
    language = saved;
    SetPopupScriptMode(false);
}

TEST(CallbackTableTest, EveryNameInTheResourceFileIsRegistered) {
    EnsureApplication();
    RegisterCallbacks();
    std::vector<std::string> names = ResourceCallbackNames(ProgramDir() + "/VELORPNL.UIR");
    ASSERT_FALSE(names.empty());
    for (const std::string &name : names)
        EXPECT_TRUE(IsCallbackRegistered(name)) << name;
}

} // namespace
