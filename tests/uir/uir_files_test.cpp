// The panel files of VELORPNL.UIR: each loads with QUiLoader and offers the
// controls, callbacks and menu identifiers the program addresses by number.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QResource>
#include <QScrollBar>
#include <QSpinBox>
#include <QUiLoader>
#include <qcustomplot.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

class QtEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "test_uir";
        static char *argv[] = {name, nullptr};
        if (!QApplication::instance()) app_ = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

  private:
    std::unique_ptr<QApplication> app_;
};

const auto *const qtEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// QUiLoader knows no graph control; the panels name it by its class.
class PanelLoader : public QUiLoader {
  public:
    QWidget *createWidget(const QString &className, QWidget *parent, const QString &name) override {
        if (className == QLatin1String("QCustomPlot")) {
            auto *plot = new QCustomPlot(parent);
            plot->setObjectName(name);
            return plot;
        }
        return QUiLoader::createWidget(className, parent, name);
    }
};

const std::vector<int> kPanelIds = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 15, 16, 20};

QString SourcePath(int panelId) {
    return QStringLiteral(VELORINDER_SOURCE_DIR "/resources/uir/panel%1.ui").arg(panelId);
}

std::unique_ptr<QWidget> LoadFrom(const QString &path, QString *error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot open ") + path;
        return nullptr;
    }
    PanelLoader loader;
    std::unique_ptr<QWidget> panel(loader.load(&file));
    if (!panel) *error = loader.errorString();
    return panel;
}

std::unique_ptr<QWidget> LoadPanelFile(int panelId) {
    QString error;
    auto panel = LoadFrom(SourcePath(panelId), &error);
    EXPECT_TRUE(panel) << "panel " << panelId << ": " << error.toStdString();
    return panel;
}

// Every control of a panel by number; duplicate numbers are collected apart.
struct Controls {
    std::map<int, QWidget *> byId;
    std::vector<int> duplicates;
};

Controls CollectControls(QWidget *panel) {
    Controls result;
    for (QWidget *w : panel->findChildren<QWidget *>()) {
        const QVariant id = w->property("ctrlId");
        if (!id.isValid()) continue;
        bool ok = false;
        const int n = id.toInt(&ok);
        EXPECT_TRUE(ok) << "ctrlId of " << w->objectName().toStdString() << " is not a number";
        if (!result.byId.emplace(n, w).second) result.duplicates.push_back(n);
    }
    return result;
}

struct ControlExpectation {
    int id;
    const char *className;
    const char *callback; // "" when the control has no callback
};

struct PanelExpectation {
    int panelId;
    const char *topClass;
    const char *panelCallback; // "" when none
    std::vector<ControlExpectation> controls;
};

const std::vector<PanelExpectation> &PanelExpectations() {
    static const std::vector<PanelExpectation> specs = {
        {1,
         "QWidget",
         "",
         {{2, "QPushButton", "Communication"},
          {3, "QPushButton", "Communication"},
          {4, "QPlainTextEdit", ""},
          {5, "QPushButton", "Communication"},
          {6, "QSpinBox", ""}}},
        {2,
         "QWidget",
         "",
         {{2, "QPushButton", "IndexGraphe"},
          {3, "QPushButton", "IndexGraphe"},
          {4, "QPlainTextEdit", ""},
          {5, "QListWidget", ""}}},
        {3, "QWidget", "", {{2, "QLabel", ""}, {3, "QLabel", ""}}},
        {4,
         "QWidget",
         "",
         {{2, "QPushButton", "Lancer_excel"},
          {3, "QPushButton", "Exporter_excel"},
          {4, "QPushButton", "Lancer_excel"},
          {5, "QLineEdit", ""},
          {6, "QPushButton", "Lancer_excel"},
          {7, "QLineEdit", ""},
          {8, "QPlainTextEdit", ""}}},
        {5,
         "QWidget",
         "",
         {{2, "QPushButton", "Alarmes"},
          {3, "QPushButton", "Alarmes"},
          {4, "QDoubleSpinBox", ""},
          {5, "QDoubleSpinBox", ""},
          {6, "QCheckBox", "Alarmes"},
          {7, "QCheckBox", "Alarmes"},
          {8, "QSpinBox", ""}}},
        {6,
         "QWidget",
         "",
         {{2, "QPushButton", "couleurs"},
          {3, "QPushButton", "couleurs"},
          {4, "QPushButton", "couleurs"},
          {5, "QListWidget", "couleurs"},
          {6, "QToolButton", "couleurs"}}},
        {7,
         "QWidget",
         "",
         {{2, "QPushButton", "Constante"}, {3, "QPushButton", "Constante"}, {4, "QSpinBox", ""}}},
        {8,
         "QWidget",
         "",
         {{2, "QPushButton", "Echelle"},
          {3, "QPushButton", "Echelle"},
          {4, "QComboBox", "Echelle"},
          {5, "QDoubleSpinBox", ""},
          {6, "QDoubleSpinBox", ""}}},
        {9,
         "QWidget",
         "Repere_fenetre",
         {{2, "QScrollBar", ""},
          {3, "QCustomPlot", "ValCurseur"},
          {4, "QLabel", ""},
          {5, "QLabel", ""}}},
        {10,
         "QWidget",
         "",
         {{2, "QPushButton", "Minmax"},
          {3, "QPushButton", "Minmax"},
          {4, "QLineEdit", "Minmax"},
          {5, "QPushButton", "Minmax"},
          {6, "QPushButton", "Minmax"},
          {7, "QPushButton", "Minmax"},
          {8, "QPushButton", "Minmax"}}},
        {11,
         "QWidget",
         "",
         {{2, "QLabel", ""},
          {3, "QLabel", ""},
          {4, "QPushButton", "Quitter_aide"},
          {5, "QLabel", ""},
          {6, "QLabel", ""}}},
        {12,
         "QWidget",
         "",
         {{2, "QPushButton", "Quitter_Data"}, {3, "QListWidget", "IndexTableau"}}},
        {14, "QWidget", "", {}},
        {15,
         "QWidget",
         "",
         {{2, "QLabel", ""},
          {3, "QProgressBar", ""},
          {4, "QLabel", ""},
          {5, "QLabel", ""},
          {6, "QPushButton", "StopImport"}}},
        {16,
         "QMainWindow",
         "Fenetre",
         {{2, "QPushButton", "Sortir"}, {3, "QLabel", ""}, {4, "QLabel", ""}}},
    };
    return specs;
}

std::string Str(const QVariant &v) {
    return v.isValid() ? v.toString().toStdString() : std::string();
}

TEST(UirFiles, TheResourceFolderHoldsExactlyThePanelsOfTheProgram) {
    const QDir dir(QStringLiteral(VELORINDER_SOURCE_DIR "/resources/uir"));
    std::set<std::string> found;
    for (const QString &name : dir.entryList({QStringLiteral("*.ui")}, QDir::Files))
        found.insert(name.toStdString());
    std::set<std::string> expected;
    for (int id : kPanelIds)
        expected.insert("panel" + std::to_string(id) + ".ui");
    EXPECT_EQ(found, expected);
}

TEST(UirFiles, EveryPanelLoadsAndNumbersItsControlsOnce) {
    for (int id : kPanelIds) {
        SCOPED_TRACE("panel " + std::to_string(id));
        auto panel = LoadPanelFile(id);
        if (!panel) continue;
        EXPECT_FALSE(panel->windowTitle().isEmpty());
        const Controls controls = CollectControls(panel.get());
        EXPECT_TRUE(controls.duplicates.empty())
            << "control " << (controls.duplicates.empty() ? 0 : controls.duplicates.front())
            << " is numbered twice";
        for (const auto &[n, w] : controls.byId)
            EXPECT_GE(n, 1) << w->objectName().toStdString();
    }
}

TEST(UirFiles, ControlsHaveTheKindsAndCallbacksTheProgramUses) {
    for (const PanelExpectation &expected : PanelExpectations()) {
        SCOPED_TRACE("panel " + std::to_string(expected.panelId));
        auto panel = LoadPanelFile(expected.panelId);
        if (!panel) continue;
        EXPECT_STREQ(panel->metaObject()->className(), expected.topClass);
        EXPECT_EQ(Str(panel->property("callback")), expected.panelCallback);
        const Controls controls = CollectControls(panel.get());
        std::set<int> expectedIds;
        for (const ControlExpectation &c : expected.controls) {
            expectedIds.insert(c.id);
            auto it = controls.byId.find(c.id);
            if (it == controls.byId.end()) {
                ADD_FAILURE() << "control " << c.id << " is missing";
                continue;
            }
            EXPECT_STREQ(it->second->metaObject()->className(), c.className) << "control " << c.id;
            EXPECT_EQ(Str(it->second->property("callback")), c.callback) << "control " << c.id;
        }
        // A numbered control the program does not know would be a dangling number.
        for (const auto &[n, w] : controls.byId)
            EXPECT_TRUE(expectedIds.count(n))
                << "unexpected control " << n << " (" << w->objectName().toStdString() << ")";
    }
}

TEST(UirFiles, LabelWidgetsNameLabelsOfTheSamePanel) {
    int labelled = 0;
    for (int id : kPanelIds) {
        SCOPED_TRACE("panel " + std::to_string(id));
        auto panel = LoadPanelFile(id);
        if (!panel) continue;
        for (const auto &[n, w] : CollectControls(panel.get()).byId) {
            const QVariant name = w->property("labelWidget");
            if (!name.isValid()) continue;
            ++labelled;
            auto *label = panel->findChild<QLabel *>(name.toString());
            EXPECT_NE(label, nullptr) << "control " << n << " names " << Str(name);
        }
    }
    // The translated labels: list and hint of the selection dialog, the
    // export dialog's fields, the constant, the recording list header.
    EXPECT_GE(labelled, 8);
}

TEST(UirFiles, PanelsShowTheProgramTextsTheLanguageRoutinesReplace) {
    auto comm = LoadPanelFile(1);
    ASSERT_TRUE(comm);
    EXPECT_EQ(comm->windowTitle().toStdString(), "parameters of communication");

    auto scales = LoadPanelFile(8);
    ASSERT_TRUE(scales);
    // The ring's values are its indexes: Manual is 0, Automatic is 1.
    auto *ring = qobject_cast<QComboBox *>(CollectControls(scales.get()).byId.at(4));
    ASSERT_NE(ring, nullptr);
    ASSERT_EQ(ring->count(), 2);
    EXPECT_EQ(ring->itemText(0).toStdString(), "Manual");
    EXPECT_EQ(ring->itemText(1).toStdString(), "Automatic");

    auto colours = LoadPanelFile(6);
    ASSERT_TRUE(colours);
    auto *items = qobject_cast<QListWidget *>(CollectControls(colours.get()).byId.at(5));
    ASSERT_NE(items, nullptr);
    ASSERT_EQ(items->count(), 7);
    EXPECT_EQ(items->item(0)->text().toStdString(), "Curve");
    EXPECT_EQ(items->item(5)->text().toStdString(), "Graticule");
    auto *picker = CollectControls(colours.get()).byId.at(6);
    EXPECT_TRUE(picker->property("colourPicker").toBool());

    auto progress = LoadPanelFile(15);
    ASSERT_TRUE(progress);
    auto *gauge = qobject_cast<QProgressBar *>(CollectControls(progress.get()).byId.at(3));
    ASSERT_NE(gauge, nullptr);
    EXPECT_EQ(gauge->minimum(), 0);
    EXPECT_EQ(gauge->maximum(), 100);

    auto about = LoadPanelFile(11);
    ASSERT_TRUE(about);
    const Controls aboutControls = CollectControls(about.get());
    EXPECT_EQ(qobject_cast<QLabel *>(aboutControls.byId.at(2))->text().toStdString(),
              "Developed by :");
    EXPECT_EQ(qobject_cast<QLabel *>(aboutControls.byId.at(3))->text().toStdString(),
              "Project leader :");
}

TEST(UirFiles, DialogsStartInTheStateTheirOpeningExpects) {
    // Alarm levels are dimmed until their box is checked.
    auto alarm = LoadPanelFile(5);
    ASSERT_TRUE(alarm);
    const Controls a = CollectControls(alarm.get());
    EXPECT_FALSE(a.byId.at(4)->isEnabled());
    EXPECT_FALSE(a.byId.at(5)->isEnabled());
    EXPECT_FALSE(qobject_cast<QCheckBox *>(a.byId.at(6))->isChecked());
    EXPECT_FALSE(qobject_cast<QCheckBox *>(a.byId.at(7))->isChecked());

    // The export dialog starts idle: Export dimmed until Excel runs.
    auto sheet = LoadPanelFile(4);
    ASSERT_TRUE(sheet);
    const Controls s = CollectControls(sheet.get());
    EXPECT_FALSE(s.byId.at(3)->isEnabled());
    EXPECT_TRUE(s.byId.at(2)->isEnabled());

    // The filter constant: 0 (taken as 1) up to the largest a recording allows.
    auto constant = LoadPanelFile(7);
    ASSERT_TRUE(constant);
    auto *k = qobject_cast<QSpinBox *>(CollectControls(constant.get()).byId.at(4));
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(k->minimum(), 0);
    EXPECT_EQ(k->maximum(), 64999); // less than 65,000 samples

    // The search covers ports 1 to 22; the port field must hold them.
    auto comm = LoadPanelFile(1);
    ASSERT_TRUE(comm);
    auto *port = qobject_cast<QSpinBox *>(CollectControls(comm.get()).byId.at(6));
    ASSERT_NE(port, nullptr);
    EXPECT_LE(port->minimum(), 1);
    EXPECT_GE(port->maximum(), 22);

    // The "in progress" texts appear only once filled in.
    auto busy = LoadPanelFile(3);
    ASSERT_TRUE(busy);
    const Controls b = CollectControls(busy.get());
    EXPECT_TRUE(b.byId.at(2)->isHidden());
    EXPECT_TRUE(b.byId.at(3)->isHidden());
}

TEST(UirFiles, GraphWindowTemplateHoldsGraphScrollBarAndTexts) {
    auto panel = LoadPanelFile(9);
    ASSERT_TRUE(panel);
    const Controls c = CollectControls(panel.get());
    auto *graph = qobject_cast<QCustomPlot *>(c.byId.at(3));
    ASSERT_NE(graph, nullptr);
    auto *bar = qobject_cast<QScrollBar *>(c.byId.at(2));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->orientation(), Qt::Horizontal);
    // The window lays its controls out itself: no Qt layout may fight it.
    EXPECT_EQ(panel->layout(), nullptr);
    // Scroll bar under the graph, zoom text at the bottom of the left strip.
    const QRect g = graph->geometry();
    EXPECT_GE(bar->geometry().top(), g.bottom() - 1);
    EXPECT_LT(c.byId.at(4)->geometry().right(), g.left());
    EXPECT_TRUE(c.byId.at(5)->isHidden());
}

struct MenuItemSpec {
    int id;
    const char *callback;
};

TEST(UirFiles, MainPanelHasTheGraphAreaAndEveryMenuIdentifierOnce) {
    auto panel = LoadPanelFile(16);
    ASSERT_TRUE(panel);
    auto *main = qobject_cast<QMainWindow *>(panel.get());
    ASSERT_NE(main, nullptr);
    EXPECT_NE(main->findChild<QMdiArea *>(QStringLiteral("graphArea")), nullptr);
    EXPECT_EQ(panel->size(), QSize(800, 500));
    EXPECT_EQ(panel->property("closeCtrl").toInt(), 2);
    ASSERT_NE(main->menuBar(), nullptr);

    // Top-level menus, in menu bar order.
    std::vector<int> topLevel;
    for (QAction *a : main->menuBar()->actions()) {
        QMenu *m = a->menu();
        ASSERT_NE(m, nullptr) << "menu bar entry without a menu";
        topLevel.push_back(m->property("menuId").toInt());
    }
    EXPECT_EQ(topLevel, (std::vector<int>{2, 11, 19, 30, 34, 44, 54, 60}));

    // Menu identifiers are unique; each item's callback is its own or its menu's.
    std::map<int, int> menuIdCount;
    std::map<int, std::string> itemCallback;
    std::map<int, QAction *> items;
    std::vector<int> duplicateItems;
    for (QMenu *m : main->findChildren<QMenu *>()) {
        ++menuIdCount[m->property("menuId").toInt()];
        for (QAction *a : m->actions()) {
            if (a->isSeparator() || a->menu()) continue;
            const QVariant id = a->property("itemId");
            ASSERT_TRUE(id.isValid()) << "item \"" << a->text().toStdString() << "\" has no itemId";
            if (!items.emplace(id.toInt(), a).second) duplicateItems.push_back(id.toInt());
            const QVariant own = a->property("callback");
            itemCallback[id.toInt()] = own.isValid() ? Str(own) : Str(m->property("callback"));
        }
    }
    EXPECT_TRUE(duplicateItems.empty()) << "item " << duplicateItems.front() << " twice";
    for (const auto &[id, n] : menuIdCount)
        EXPECT_EQ(n, 1) << "menu " << id;
    EXPECT_EQ(menuIdCount.count(0), 0u) << "a menu without menuId";

    // The Language submenu is entry 35 of the Options menu; its items
    // answer to the Options callback.
    auto *language = main->findChild<QMenu *>(QStringLiteral("menuLanguage"));
    ASSERT_NE(language, nullptr);
    EXPECT_EQ(language->property("menuId").toInt(), 35);
    auto *options = qobject_cast<QMenu *>(language->parent());
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(options->property("menuId").toInt(), 34);
    EXPECT_TRUE(options->actions().contains(language->menuAction()));
    EXPECT_EQ(Str(language->property("callback")), "Gestion_options");

    const std::vector<MenuItemSpec> expected = {
        {3, "Gestion_fichier"},     {4, "Gestion_fichier"},     {5, "Gestion_fichier"},
        {7, "Gestion_fichier"},     {9, "Gestion_fichier"},     {70, "Gestion_fichier"},
        {71, "Gestion_fichier"},    {12, "Gestion_import"},     {14, "Gestion_import"},
        {16, "Gestion_import"},     {18, "Gestion_import"},     {20, "Gestion_edition"},
        {22, "Gestion_edition"},    {23, "Gestion_edition"},    {24, "Gestion_edition"},
        {25, "Gestion_edition"},    {26, "Gestion_edition"},    {28, "Gestion_edition"},
        {29, "Gestion_edition"},    {31, "Gestion_traitement"}, {32, "Gestion_traitement"},
        {33, "Gestion_traitement"}, {37, "Gestion_options"},    {38, "Gestion_options"},
        {39, "Gestion_options"},    {40, "Gestion_options"},    {41, "Gestion_options"},
        {43, "Gestion_options"},    {45, "Gestion_affichage"},  {46, "Gestion_affichage"},
        {47, "Gestion_affichage"},  {48, "Gestion_affichage"},  {50, "Gestion_affichage"},
        {52, "Gestion_affichage"},  {53, "Gestion_affichage"},  {55, "Gestion_fenetre"},
        {56, "Gestion_fenetre"},    {58, "Gestion_fenetre"},    {61, "Gestion_aide"},
        {62, "Gestion_aide"},       {64, "Gestion_aide"},       {75, "Gestion_fichier"},
        {76, "Gestion_affichage"},  {72, "Gestion_fichier"},    {73, "Gestion_fichier"},
        {74, "Gestion_fenetre"},
    };
    std::set<int> expectedIds;
    for (const MenuItemSpec &s : expected) {
        expectedIds.insert(s.id);
        ASSERT_TRUE(items.count(s.id)) << "menu item " << s.id << " is missing";
        EXPECT_EQ(itemCallback[s.id], s.callback) << "menu item " << s.id;
        EXPECT_FALSE(items[s.id]->text().isEmpty()) << "menu item " << s.id;
    }
    for (const auto &[id, a] : items)
        EXPECT_TRUE(expectedIds.count(id)) << "unexpected menu item " << id;
    // Item and menu identifiers share one number space.
    for (const auto &[id, n] : menuIdCount)
        EXPECT_FALSE(items.count(id)) << "number " << id << " is both a menu and an item";

    // The language items and "Save settings on exit" carry ticks.
    for (int id = 37; id <= 41; ++id)
        EXPECT_TRUE(items[id]->isCheckable()) << "language item " << id;
    EXPECT_TRUE(items[43]->isCheckable());
    EXPECT_TRUE(items[43]->isChecked());
    EXPECT_EQ(items[38]->text().toStdString(), "&English");
    EXPECT_EQ(items[41]->text().toStdString(), "&Italiano");

    // Controls 3 and 4 exist for the start-up to hide.
    const Controls c = CollectControls(panel.get());
    EXPECT_TRUE(c.byId.count(3) && c.byId.count(4));
}

TEST(UirFiles, EveryCallbackNameIsOneTheProgramDefines) {
    const std::set<std::string> known = {
        "Communication",
        "IndexGraphe",
        "Lancer_excel",
        "Exporter_excel",
        "Alarmes",
        "couleurs",
        "Constante",
        "Echelle",
        "Repere_fenetre",
        "ValCurseur",
        "Minmax",
        "Quitter_aide",
        "Quitter_Data",
        "IndexTableau",
        "StopImport",
        "Fenetre",
        "Sortir",
        "Gestion_fichier",
        "Gestion_import",
        "Gestion_edition",
        "Gestion_traitement",
        "Gestion_options",
        "Gestion_affichage",
        "Gestion_fenetre",
        "Gestion_aide",
        "Comparer",
    };
    for (int id : kPanelIds) {
        SCOPED_TRACE("panel " + std::to_string(id));
        auto panel = LoadPanelFile(id);
        if (!panel) continue;
        std::vector<QObject *> objects = {panel.get()};
        for (QObject *o : panel->findChildren<QObject *>())
            objects.push_back(o);
        for (QObject *o : objects) {
            const QVariant cb = o->property("callback");
            if (cb.isValid()) {
                EXPECT_TRUE(known.count(Str(cb)))
                    << o->objectName().toStdString() << ": " << Str(cb);
            }
        }
    }
}

TEST(UirFiles, TheBuiltResourceFileHoldsEveryPanel) {
    const QString rcc = QStringLiteral(VELORINDER_PROGRAM_DIR "/VELORPNL.UIR");
    ASSERT_TRUE(QResource::registerResource(rcc)) << rcc.toStdString();
    for (int id : kPanelIds) {
        QString error;
        auto panel = LoadFrom(QStringLiteral(":/uir/panel%1.ui").arg(id), &error);
        EXPECT_TRUE(panel) << "panel " << id << ": " << error.toStdString();
    }
    QResource::unregisterResource(rcc);
}

// Pictures of every panel as the resource file lays it out, for a person to
// look at: VELORINDER_PICTURES=<dir>.
TEST(UirFiles, Pictures) {
    const char *out = std::getenv("VELORINDER_PICTURES");
    if (!out) GTEST_SKIP() << "VELORINDER_PICTURES not set";
    for (int id : kPanelIds) {
        auto panel = LoadPanelFile(id);
        ASSERT_TRUE(panel) << "panel " << id;
        panel->adjustSize();
        EXPECT_TRUE(panel->grab().save(QStringLiteral("%1/panel%2.png").arg(out).arg(id)));
    }
}

} // namespace
