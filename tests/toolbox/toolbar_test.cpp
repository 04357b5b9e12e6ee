// The toolbar on the real main panel: images, tooltips, order, buttons that run
// their menu item's callback, display and discard.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QImage>
#include <QMainWindow>
#include <QMenuBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <filesystem>
#include <fstream>

#include "toolbox/toolbox.h"

namespace {

namespace fs = std::filesystem;

class QtEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        if (!QApplication::instance()) {
            static int argc = 1;
            static char name[] = "test_toolbox";
            static char *argv[] = {name, nullptr};
            new QApplication(argc, argv);
        }
    }
};
const auto *const qtEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

struct MenuCall {
    int menuBar;
    int item;
};
std::vector<MenuCall> menuCalls;
void RecordMenu(int menuBar, int item, void *, int) {
    menuCalls.push_back({menuBar, item});
}
int IgnorePanel(int, int, void *, int, int) {
    return 0;
}
int IgnoreCtrl(int, int, int, void *, int, int) {
    return 0;
}

int ctrlCalls = 0;
int ctrlLastEvent = 0;
void *ctrlLastData = nullptr;
int RecordCtrl(int, int, int event, void *data, int, int) {
    ++ctrlCalls;
    ctrlLastEvent = event;
    ctrlLastData = data;
    return 0;
}

int discardOnPress = 0;
void DiscardFromMenu(int, int, void *, int) {
    Toolbar_Discard(discardOnPress);
}

const std::string kUir = std::string(VELORINDER_PROGRAM_DIR) + "/VELORPNL.UIR";

void ProcessDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

class ToolbarTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char *name :
             {"Gestion_fichier", "Gestion_import", "Gestion_edition", "Gestion_traitement",
              "Gestion_options", "Gestion_affichage", "Gestion_fenetre", "Gestion_aide", "Sortir"})
            RegisterMenuCallback(name, RecordMenu);
        RegisterPanelCallback("Fenetre", IgnorePanel);
        RegisterCtrlCallback("Sortir", IgnoreCtrl);
        menuCalls.clear();
        previousDir = fs::current_path();
        fs::current_path(VELORINDER_PROGRAM_DIR);
        scratch = fs::temp_directory_path() / "velorinder_toolbar_test";
        fs::create_directories(scratch);

        panel = LoadPanel(0, kUir, 16);
        ASSERT_GT(panel, 0) << "main panel not loaded from " << kUir;
        window = qobject_cast<QMainWindow *>(PanelWidget(panel));
        ASSERT_NE(window, nullptr);
        menuBar = GetPanelMenuBar(panel);
        ASSERT_GT(menuBar, 0);
    }
    void TearDown() override {
        if (toolbar) Toolbar_Discard(toolbar);
        if (panel > 0) DiscardPanel(panel);
        ProcessDeletes();
        fs::current_path(previousDir);
        fs::remove_all(scratch);
    }
    void New() { ASSERT_EQ(Toolbar_New(panel, menuBar, "", 0, 0, 1, 1, &toolbar), 0); }
    int Button(const std::string &image, int item, const std::string &tip, int position = -1) {
        return Toolbar_InsertItem(toolbar, position, kToolbarButton, 1, tip, kToolbarMenuCallback,
                                  item, nullptr, nullptr, image);
    }
    int Separator() {
        return Toolbar_InsertItem(toolbar, -1, kToolbarSeparator, 1, "", kToolbarNoCallback, 0,
                                  nullptr, nullptr, "");
    }
    QToolBar *Bar() { return qobject_cast<QToolBar *>(Toolbar_Widget(toolbar)); }
    QToolButton *ButtonWidget(int index) {
        return qobject_cast<QToolButton *>(Bar()->widgetForAction(Bar()->actions().at(index)));
    }

    fs::path previousDir, scratch;
    int panel = 0, menuBar = 0, toolbar = 0;
    QMainWindow *window = nullptr;
};

} // namespace

TEST_F(ToolbarTest, MissingImageGivesMinus94AndNoButton) {
    New();
    EXPECT_EQ(Button("toolbar/nothere.bmp", 5, "Close"), kToolbarErrImageNotFound);
    EXPECT_EQ(Button("toolbar/nothere.pcx", 5, "Close"), kToolbarErrImageNotFound);
    // A file that is no image counts as missing too: the button could show nothing.
    const fs::path junk = scratch / "junk.bmp";
    { std::ofstream(junk) << "not a bitmap"; }
    EXPECT_EQ(Button(junk.string(), 5, "Close"), kToolbarErrImageNotFound);
    const fs::path junkPcx = scratch / "junk.pcx";
    { std::ofstream(junkPcx) << "\x0A\x05\x01\x08 short"; }
    EXPECT_EQ(Button(junkPcx.string(), 5, "Close"), kToolbarErrImageNotFound);

    int count = -1;
    ASSERT_EQ(Toolbar_GetNumItems(toolbar, &count), 0);
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(Bar()->actions().isEmpty());
    // The toolbar still takes the next button.
    EXPECT_EQ(Button("toolbar/open.bmp", 3, "Open"), 0);
    EXPECT_EQ(Bar()->actions().size(), 1);
}

TEST_F(ToolbarTest, ImagePathsAreRelativeToTheCurrentDirectory) {
    New();
    fs::current_path(scratch);
    EXPECT_EQ(Button("toolbar/open.bmp", 3, "Open"), kToolbarErrImageNotFound);
    fs::current_path(VELORINDER_PROGRAM_DIR);
    EXPECT_EQ(Button("toolbar/open.bmp", 3, "Open"), 0);
}

TEST_F(ToolbarTest, FullToolbarUnderTheMenuBarWithTooltipsInOrder) {
    New();
    const struct {
        const char *image; // nullptr: separator
        int item;
        const char *tip;
    } table[] = {
        {"toolbar/close.bmp", 5, "Close"},
        {"toolbar/open.bmp", 3, "Open"},
        {"toolbar/save.bmp", 4, "Save"},
        {"toolbar/print.bmp", 7, "Print"},
        {nullptr, 0, ""},
        {"toolbar/excel.bmp", 18, "Export to EXCEL"},
        {nullptr, 0, ""},
        {"toolbar/grati.bmp", 45, "Graticule"},
        {"toolbar/curseur.bmp", 46, "Variation cursors"},
        {"toolbar/legend.pcx", 47, "Legend"},
        {nullptr, 0, ""},
        {"toolbar/echelles.pcx", 50, "Scales"},
        {nullptr, 0, ""},
        {"toolbar/zplus.bmp", 52, "Zoom In"},
        {"toolbar/zmoins.bmp", 53, "Zoom Out"},
        {nullptr, 0, ""},
        {"toolbar/cascade.bmp", 55, "Cascade"},
        {"toolbar/tile.bmp", 56, "Tile"},
        {"toolbar/ecran.bmp", 58, "Full screen"},
        {nullptr, 0, ""},
        {"toolbar/help.bmp", 61, "Help"},
    };
    for (const auto &entry : table)
        ASSERT_EQ(entry.image ? Button(entry.image, entry.item, entry.tip) : Separator(), 0)
            << (entry.image ? entry.image : "separator");
    ASSERT_EQ(Toolbar_SetAttribute(toolbar, kToolbarAttrShowTooltips, 1), 0);
    ASSERT_EQ(Toolbar_Display(toolbar), 0);
    window->show();
    QCoreApplication::processEvents();

    QToolBar *bar = Bar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->parentWidget(), window);
    EXPECT_EQ(window->toolBarArea(bar), Qt::TopToolBarArea);
    EXPECT_TRUE(bar->isVisible());
    if (window->menuWidget()) {
        EXPECT_GE(bar->y(), window->menuWidget()->geometry().bottom());
    }
    EXPECT_EQ(bar->width(), window->width()); // across the whole panel

    const QList<QAction *> actions = bar->actions();
    ASSERT_EQ(actions.size(), int(std::size(table)));
    int count = 0;
    ASSERT_EQ(Toolbar_GetNumItems(toolbar, &count), 0);
    EXPECT_EQ(count, int(std::size(table)));
    for (int i = 0; i < int(std::size(table)); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(actions[i]->isSeparator(), table[i].image == nullptr);
        int type = -1;
        std::string tip;
        ASSERT_EQ(Toolbar_GetItemInfo(toolbar, i, &type, &tip), 0);
        EXPECT_EQ(type, table[i].image ? kToolbarButton : kToolbarSeparator);
        if (!table[i].image) continue;
        EXPECT_EQ(tip, table[i].tip);
        QToolButton *button = ButtonWidget(i);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->toolTip().toStdString(), table[i].tip);
        EXPECT_EQ(bar->iconSize(), QSize(kToolbarImageSize, kToolbarImageSize));
        EXPECT_FALSE(actions[i]->icon().isNull());
        // The magenta margin of the picture is transparent on the button.
        const QImage icon = actions[i]->icon().pixmap(kToolbarImageSize).toImage();
        EXPECT_EQ(icon.pixelColor(0, 0).alpha(), 0);
    }
}

TEST_F(ToolbarTest, PressingAButtonRunsItsMenuItemCallback) {
    New();
    ASSERT_EQ(Button("toolbar/zplus.bmp", 52, "Zoom In"), 0);
    ASSERT_EQ(Separator(), 0);
    ASSERT_EQ(Button("toolbar/tile.bmp", 56, "Tile"), 0);
    ASSERT_EQ(Toolbar_Display(toolbar), 0);
    window->show();
    QCoreApplication::processEvents();

    QTest::mouseClick(ButtonWidget(2), Qt::LeftButton);
    ASSERT_EQ(menuCalls.size(), 1u);
    EXPECT_EQ(menuCalls[0].menuBar, menuBar);
    EXPECT_EQ(menuCalls[0].item, 56);

    ASSERT_EQ(Toolbar_PressItem(toolbar, 0), 0);
    ASSERT_EQ(menuCalls.size(), 2u);
    EXPECT_EQ(menuCalls[1].item, 52);
    EXPECT_EQ(Toolbar_PressItem(toolbar, 1), kToolbarErrBadArgument); // separator
    EXPECT_EQ(menuCalls.size(), 2u);
}

TEST_F(ToolbarTest, ButtonFollowsItsMenuItemDimmedState) {
    New();
    ASSERT_EQ(Button("toolbar/save.bmp", 4, "Save"), 0);
    ASSERT_EQ(SetMenuBarAttribute(menuBar, 4, ATTR_DIMMED, 1), 0);
    ASSERT_EQ(Toolbar_PressItem(toolbar, 0), 0);
    EXPECT_TRUE(menuCalls.empty()); // a dimmed item does not run, from the menu or the toolbar
    ASSERT_EQ(SetMenuBarAttribute(menuBar, 4, ATTR_DIMMED, 0), 0);
    ASSERT_EQ(Toolbar_PressItem(toolbar, 0), 0);
    EXPECT_EQ(menuCalls.size(), 1u);
}

TEST_F(ToolbarTest, InactiveButtonDoesNothing) {
    New();
    ASSERT_EQ(Toolbar_InsertItem(toolbar, -1, kToolbarButton, 0, "Print", kToolbarMenuCallback, 7,
                                 nullptr, nullptr, "toolbar/print.bmp"),
              0);
    ASSERT_EQ(Toolbar_Display(toolbar), 0);
    window->show();
    QCoreApplication::processEvents();
    QTest::mouseClick(ButtonWidget(0), Qt::LeftButton);
    ASSERT_EQ(Toolbar_PressItem(toolbar, 0), 0);
    EXPECT_TRUE(menuCalls.empty());
}

TEST_F(ToolbarTest, ControlCallbackGetsCommitAndItsData) {
    New();
    int data = 0;
    ASSERT_EQ(Toolbar_InsertItem(toolbar, -1, kToolbarButton, 1, "Help", kToolbarCtrlCallback, 0,
                                 RecordCtrl, &data, "toolbar/help.bmp"),
              0);
    ctrlCalls = 0;
    ASSERT_EQ(Toolbar_PressItem(toolbar, 0), 0);
    EXPECT_EQ(ctrlCalls, 1);
    EXPECT_EQ(ctrlLastEvent, EVENT_COMMIT);
    EXPECT_EQ(ctrlLastData, &data);
    EXPECT_TRUE(menuCalls.empty());
}

TEST_F(ToolbarTest, InsertAtAPositionGoesBeforeThatItem) {
    New();
    ASSERT_EQ(Button("toolbar/open.bmp", 3, "Open"), 0);
    ASSERT_EQ(Button("toolbar/save.bmp", 4, "Save"), 0);
    ASSERT_EQ(Button("toolbar/close.bmp", 5, "Close", 0), 0);
    ASSERT_EQ(Button("toolbar/print.bmp", 7, "Print", 2), 0);
    EXPECT_EQ(Button("toolbar/help.bmp", 61, "Help", 9), kToolbarErrBadArgument);
    const char *expected[] = {"Close", "Open", "Print", "Save"};
    const QList<QAction *> actions = Bar()->actions();
    ASSERT_EQ(actions.size(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(actions[i]->toolTip().toStdString(), expected[i]);
        std::string tip;
        ASSERT_EQ(Toolbar_GetItemInfo(toolbar, i, nullptr, &tip), 0);
        EXPECT_EQ(tip, expected[i]);
    }
    ASSERT_EQ(Toolbar_PressItem(toolbar, 2), 0);
    ASSERT_EQ(menuCalls.size(), 1u);
    EXPECT_EQ(menuCalls[0].item, 7);
}

TEST_F(ToolbarTest, TooltipsCanBeTurnedOffAndOn) {
    New();
    ASSERT_EQ(Button("toolbar/tile.bmp", 56, "Tile"), 0);
    ASSERT_EQ(Toolbar_SetAttribute(toolbar, kToolbarAttrShowTooltips, 0), 0);
    EXPECT_TRUE(Bar()->actions()[0]->toolTip().isEmpty());
    int value = -1;
    ASSERT_EQ(Toolbar_GetAttribute(toolbar, kToolbarAttrShowTooltips, &value), 0);
    EXPECT_EQ(value, 0);
    ASSERT_EQ(Toolbar_SetAttribute(toolbar, kToolbarAttrShowTooltips, 1), 0);
    EXPECT_EQ(Bar()->actions()[0]->toolTip(), "Tile");
    EXPECT_EQ(Toolbar_SetAttribute(toolbar, 999, 1), kToolbarErrBadArgument);
}

TEST_F(ToolbarTest, HiddenUntilDisplayed) {
    New();
    ASSERT_EQ(Button("toolbar/tile.bmp", 56, "Tile"), 0);
    window->show();
    QCoreApplication::processEvents();
    EXPECT_FALSE(Bar()->isVisible());
    ASSERT_EQ(Toolbar_Display(toolbar), 0);
    EXPECT_TRUE(Bar()->isVisible());
    int visible = 0;
    ASSERT_EQ(Toolbar_GetAttribute(toolbar, kToolbarAttrVisible, &visible), 0);
    EXPECT_EQ(visible, 1);
}

TEST_F(ToolbarTest, DiscardRemovesTheStripAndRebuildWorks) {
    New();
    ASSERT_EQ(Button("toolbar/tile.bmp", 56, "Tile"), 0);
    ASSERT_EQ(Toolbar_Display(toolbar), 0);
    const int first = toolbar;
    ASSERT_EQ(Toolbar_Discard(first), 0);
    toolbar = 0;
    ProcessDeletes();
    EXPECT_TRUE(window->findChildren<QToolBar *>().isEmpty());
    EXPECT_EQ(Toolbar_Widget(first), nullptr);
    EXPECT_EQ(Toolbar_Display(first), kToolbarErrBadHandle);
    EXPECT_EQ(Toolbar_Discard(first), kToolbarErrBadHandle);
    EXPECT_EQ(Button("toolbar/tile.bmp", 56, "Tile"), kToolbarErrBadHandle);

    // As at a change of language: a new toolbar in its place, with new texts.
    New();
    EXPECT_NE(toolbar, first);
    ASSERT_EQ(Button("toolbar/tile.bmp", 56, "Mosaïque"), 0);
    ASSERT_EQ(Toolbar_Display(toolbar), 0);
    ProcessDeletes();
    const QList<QToolBar *> bars = window->findChildren<QToolBar *>();
    ASSERT_EQ(bars.size(), 1);
    EXPECT_EQ(bars[0]->actions()[0]->toolTip(), QString::fromUtf8("Mosaïque"));
}

TEST_F(ToolbarTest, ACallbackMayDiscardItsOwnToolbar) {
    RegisterMenuCallback("Gestion_fenetre", DiscardFromMenu);
    // Menu callbacks are bound when the panel's menu bar is read: load again.
    DiscardPanel(panel);
    panel = LoadPanel(0, kUir, 16);
    ASSERT_GT(panel, 0);
    window = qobject_cast<QMainWindow *>(PanelWidget(panel));
    menuBar = GetPanelMenuBar(panel);
    New();
    ASSERT_EQ(Button("toolbar/tile.bmp", 56, "Tile"), 0);
    ASSERT_EQ(Toolbar_Display(toolbar), 0);
    window->show();
    QCoreApplication::processEvents();
    discardOnPress = toolbar;
    QTest::mouseClick(ButtonWidget(0), Qt::LeftButton);
    ProcessDeletes();
    EXPECT_EQ(Toolbar_Widget(discardOnPress), nullptr);
    EXPECT_TRUE(window->findChildren<QToolBar *>().isEmpty());
    toolbar = 0;
}

TEST_F(ToolbarTest, ImagesAreFittedToTheButtonsOrKeptTheirSize) {
    const fs::path big = scratch / "big.bmp";
    QImage image(48, 48, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    ASSERT_TRUE(image.save(QString::fromStdString(big.string()), "BMP"));

    New(); // fit images
    ASSERT_EQ(Button(big.string(), 3, "Open"), 0);
    EXPECT_EQ(Bar()->iconSize(), QSize(24, 24));
    EXPECT_EQ(Bar()->actions()[0]->icon().availableSizes().value(0), QSize(24, 24));
    ASSERT_EQ(Toolbar_Discard(toolbar), 0);

    ASSERT_EQ(Toolbar_New(panel, menuBar, "", 0, 0, 1, 0, &toolbar), 0);
    ASSERT_EQ(Button(big.string(), 3, "Open"), 0);
    EXPECT_EQ(Bar()->iconSize(), QSize(48, 48));
}

TEST_F(ToolbarTest, BadPanelOrHandleIsRefused) {
    int handle = 77;
    EXPECT_EQ(Toolbar_New(987654, menuBar, "", 0, 0, 1, 1, &handle), kToolbarErrBadPanel);
    EXPECT_EQ(handle, 0);
    EXPECT_EQ(Toolbar_InsertItem(424242, -1, kToolbarButton, 1, "x", kToolbarMenuCallback, 3,
                                 nullptr, nullptr, "toolbar/open.bmp"),
              kToolbarErrBadHandle);
    EXPECT_EQ(Toolbar_SetAttribute(424242, kToolbarAttrShowTooltips, 1), kToolbarErrBadHandle);
    New();
    EXPECT_EQ(Toolbar_InsertItem(toolbar, -1, 7, 1, "x", kToolbarMenuCallback, 3, nullptr, nullptr,
                                 "toolbar/open.bmp"),
              kToolbarErrBadArgument);
}

TEST_F(ToolbarTest, OnAPlainPanelTheStripSitsAtItsPlaceAndSpansThePanel) {
    const int about = LoadPanel(0, kUir, 11);
    ASSERT_GT(about, 0);
    QWidget *aboutWidget = PanelWidget(about);
    ASSERT_NE(aboutWidget, nullptr);
    aboutWidget->resize(300, 200);
    aboutWidget->show();
    int handle = 0;
    ASSERT_EQ(Toolbar_New(about, 0, "", 10, 5, 1, 1, &handle), 0);
    QWidget *bar = Toolbar_Widget(handle);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->parentWidget(), aboutWidget);
    EXPECT_EQ(bar->pos(), QPoint(5, 10));
    EXPECT_EQ(bar->width(), 295);
    aboutWidget->resize(400, 200);
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->width(), 395);
    EXPECT_EQ(Toolbar_Discard(handle), 0);
    ProcessDeletes();
    EXPECT_TRUE(aboutWidget->findChildren<QToolBar *>().isEmpty());
    DiscardPanel(about);
}
