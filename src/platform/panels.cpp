// Panels and controls: loading from the resource file, handles, attributes
// and values, and the events controls send to their callbacks.
#include "platform/internal.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QResource>
#include <QScrollBar>
#include <QSpinBox>
#include <QTimer>
#include <QUiLoader>
#include <map>
#include <qcustomplot.h>

namespace rt {

namespace {

std::map<int, Panel> panels;
int nextPanelHandle = 1;
std::map<std::string, std::string> registeredResources; // file -> resource root

class PanelLoader : public QUiLoader {
  public:
    QWidget *createWidget(const QString &className, QWidget *parent, const QString &name) override {
        if (className == "QCustomPlot") {
            QWidget *plot = NewGraphCtrl(parent);
            plot->setObjectName(name);
            return plot;
        }
        return QUiLoader::createWidget(className, parent, name);
    }
};

// The close control is pressed as a user presses it (a button gets its click,
// anything else a commit), so its callback sees the events it expects.
void PressCloseCtrl(const Panel &p) {
    int id = p.widget->property("closeCtrl").toInt();
    auto it = p.controls.find(id);
    if (it == p.controls.end() || !it->second) return;
    if (auto *button = qobject_cast<QAbstractButton *>(it->second.data()))
        button->click();
    else
        DispatchCtrlEvent(p.handle, id, EVENT_COMMIT);
}

// Keeps panel events (size, close, activation) flowing to the panel callback.
class PanelWatcher : public QObject {
  public:
    explicit PanelWatcher(int handle, QObject *parent) : QObject(parent), handle_(handle) {}

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        switch (event->type()) {
        case QEvent::Resize:
            if (static_cast<QResizeEvent *>(event)->oldSize().isValid()) {
                seen_ = static_cast<QResizeEvent *>(event)->size();
                DispatchPanelEvent(handle_, EVENT_PANEL_SIZE);
            }
            break;
        case QEvent::Show: {
            // A window inside the area is hidden while it is maximised or
            // restored, and a hidden widget hears of its new size without the
            // old one: the size it shows with is compared with the last seen.
            const QSize now = static_cast<QWidget *>(watched)->size();
            const bool changed = seen_.isValid() && seen_ != now;
            seen_ = now;
            if (changed) DispatchPanelEvent(handle_, EVENT_PANEL_SIZE);
            break;
        }
        case QEvent::KeyPress:
            // Escape in a dialog does what its close control does.
            if (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
                Panel *p = FindPanel(handle_);
                if (p && p->isPopup && p->widget->property("closeCtrl").isValid()) {
                    PressCloseCtrl(*p);
                    return true;
                }
            }
            break;
        case QEvent::Close: {
            Panel *p = FindPanel(handle_);
            if (!p) break;
            // A panel may name the control its close box stands for (Exit, Quit).
            if (p->widget->property("closeCtrl").isValid()) {
                event->ignore();
                PressCloseCtrl(*p);
                return true;
            }
            if (!p->panelCallback.empty()) {
                // The program decides what closing means; the window stays for
                // now. It hears of the close box once the close has run its
                // course, so that it may discard the panel.
                event->ignore();
                QTimer::singleShot(0, QApplication::instance(),
                                   [h = handle_] { DispatchPanelEvent(h, EVENT_CLOSE); });
                return true;
            }
            if (p->isPopup) {
                // Hiding a dialog behind the program's back would leave it
                // waiting for an answer that never comes: the dialog stays.
                event->ignore();
                return true;
            }
            break;
        }
        case QEvent::WindowActivate:
            DispatchPanelEvent(handle_, EVENT_GOT_FOCUS);
            break;
        case QEvent::MouseButtonDblClick:
            // A right double click that no control took is the panel's.
            if (static_cast<QMouseEvent *>(event)->button() == Qt::RightButton) {
                DispatchPanelEvent(handle_, EVENT_RIGHT_DOUBLE_CLICK);
                return true;
            }
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    int handle_;
    QSize seen_; // the size the panel was last shown or laid out with
};

// A control's value as text/number, kept so DefaultCtrl can restore it.
struct DefaultValue {
    QString text;
    double number = 0;
};

QString ResourceRoot(const std::string &file) {
    auto it = registeredResources.find(file);
    if (it != registeredResources.end()) return QString::fromStdString(it->second);
    std::string root = "/velorpnl" + std::to_string(registeredResources.size());
    if (!QResource::registerResource(QString::fromStdString(file), QString::fromStdString(root)))
        return {};
    registeredResources[file] = root;
    return QString::fromStdString(root);
}

void ConnectControl(int handle, int id, QWidget *w) {
    auto commit = [handle, id] { DispatchCtrlEvent(handle, id, EVENT_COMMIT); };
    auto changed = [handle, id] { DispatchCtrlEvent(handle, id, EVENT_VAL_CHANGED); };
    if (auto *b = qobject_cast<QCheckBox *>(w)) {
        QObject::connect(b, &QCheckBox::toggled, w, [=] {
            changed();
            commit();
        });
    } else if (IsColourPicker(w)) {
        ConnectColourPicker(handle, id, w);
    } else if (auto *b = qobject_cast<QAbstractButton *>(w)) {
        QObject::connect(b, &QAbstractButton::pressed, w,
                         [handle, id] { DispatchCtrlEvent(handle, id, EVENT_LEFT_CLICK); });
        QObject::connect(b, &QAbstractButton::clicked, w, commit);
    } else if (auto *e = qobject_cast<QLineEdit *>(w)) {
        QObject::connect(e, &QLineEdit::textEdited, w, changed);
        QObject::connect(e, &QLineEdit::returnPressed, w, commit);
    } else if (auto *s = qobject_cast<QSpinBox *>(w)) {
        QObject::connect(s, &QSpinBox::valueChanged, w, [=] {
            changed();
            commit();
        });
    } else if (auto *s = qobject_cast<QDoubleSpinBox *>(w)) {
        QObject::connect(s, &QDoubleSpinBox::valueChanged, w, [=] {
            changed();
            commit();
        });
    } else if (auto *c = qobject_cast<QComboBox *>(w)) {
        QObject::connect(c, &QComboBox::activated, w, [=] {
            changed();
            commit();
        });
    } else if (auto *l = qobject_cast<QListWidget *>(w)) {
        QObject::connect(l, &QListWidget::currentRowChanged, w, changed);
        QObject::connect(l, &QListWidget::itemClicked, w,
                         [handle, id] { DispatchCtrlEvent(handle, id, EVENT_LEFT_CLICK); });
        QObject::connect(l, &QListWidget::itemActivated, w, commit);
    }
}

DefaultValue ReadDefault(QWidget *w) {
    DefaultValue d;
    if (auto *s = qobject_cast<QSpinBox *>(w))
        d.number = s->value();
    else if (auto *s = qobject_cast<QDoubleSpinBox *>(w))
        d.number = s->value();
    else if (auto *e = qobject_cast<QLineEdit *>(w))
        d.text = e->text();
    else if (auto *l = qobject_cast<QLabel *>(w))
        d.text = l->text();
    else if (auto *t = qobject_cast<QPlainTextEdit *>(w))
        d.text = t->toPlainText();
    else if (auto *p = qobject_cast<QProgressBar *>(w))
        d.number = p->value();
    else if (auto *c = qobject_cast<QCheckBox *>(w))
        d.number = c->isChecked();
    else if (auto *c = qobject_cast<QComboBox *>(w))
        d.number = c->currentIndex();
    return d;
}

int LoadInto(int parentPanel, const std::string &file, int panelId, int handle) {
    QString root = ResourceRoot(file);
    if (root.isEmpty()) return UIEFileNotFound;
    QFile ui(":" + root + "/uir/panel" + QString::number(panelId) + ".ui");
    if (!ui.open(QIODevice::ReadOnly)) return UIEPanelNotFound;
    Panel *parent = nullptr;
    if (parentPanel != 0) {
        parent = FindPanel(parentPanel);
        if (!parent) return UIEBadPanelHandle;
    }
    // The panels hold Qt's own widgets and the graph, made above: no designer
    // plugin is needed, and a loader loads every one it finds as it is made
    // (Qt Quick's, installed with the designer, brings 5 MB of libraries).
    // Made while Qt's library paths are empty, it finds none.
    const QStringList libraryPaths = QCoreApplication::libraryPaths();
    QCoreApplication::setLibraryPaths({});
    PanelLoader loader;
    QCoreApplication::setLibraryPaths(libraryPaths);
    QWidget *w = loader.load(&ui, nullptr);
    if (!w) return UIEOperationFailed;
    if (parent) w->setParent(parent->widget, Qt::Dialog);
    w->hide();

    Panel p;
    p.handle = handle;
    p.resourceId = panelId;
    p.parent = parentPanel;
    p.resourceFile = file;
    p.widget = w;
    p.panelCallback = w->property("callback").toString().toStdString();
    QList<QWidget *> all = w->findChildren<QWidget *>();
    for (QWidget *c : all) {
        QVariant id = c->property("ctrlId");
        if (!id.isValid()) continue;
        int ctrl = id.toInt();
        p.controls[ctrl] = c;
        p.ctrlCallbacks[ctrl] = c->property("callback").toString().toStdString();
        DefaultValue d = ReadDefault(c);
        c->setProperty("rtDefaultText", d.text);
        c->setProperty("rtDefaultNumber", d.number);
    }
    panels[handle] = p;
    w->installEventFilter(new PanelWatcher(handle, w));
    if (auto *area = w->findChild<QMdiArea *>("graphArea")) {
        // The program arranges its windows itself; scroll bars would only
        // eat into the area it computes with.
        area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
    for (auto &[ctrl, c] : panels[handle].controls) {
        ConnectControl(handle, ctrl, c);
        if (qobject_cast<QCustomPlot *>(c.data())) InitGraphCtrl(handle, ctrl, c);
    }
    return handle;
}

QMdiArea *AreaOf(int panel) {
    Panel *p = FindPanel(panel);
    if (!p || !p->widget) return nullptr;
    return p->widget->findChild<QMdiArea *>("graphArea");
}

bool InArea(const Panel &p) {
    return p.parent != 0 && AreaOf(p.parent) != nullptr && !p.isPopup;
}

// Main panel: heights and widths are the graph area's plus the band of menu
// bar and toolbar, so that arithmetic done in panel coordinates fills the area.
constexpr int kBandTop = 70, kBandLeft = 5, kExtraHeight = 75, kExtraWidth = 9;

QSize WantedArea(QWidget *w, QMdiArea *area) {
    QVariant want = w->property("rtWantArea");
    return want.isValid() ? want.toSize() : area->size();
}

void LayOut(QWidget *w) {
    // activate() rather than setGeometry(): it leaves room for the menu bar.
    if (w->layout()) {
        w->layout()->invalidate();
        w->layout()->activate();
    }
    for (QWidget *child : w->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        if (!child->isWindow()) LayOut(child);
}

void ApplyWantedArea(QWidget *w, QMdiArea *area) {
    QVariant want = w->property("rtWantArea");
    if (!want.isValid()) return;
    // A hidden window has not laid out its children yet: do it now, so the
    // band of menu bar and toolbar is known.
    LayOut(w);
    QSize have = area->size();
    QSize target = want.toSize();
    w->resize(w->width() + target.width() - have.width(),
              w->height() + target.height() - have.height());
    LayOut(w);
}

QWidget *Frame(Panel &p) {
    if (p.subWindow) return p.subWindow;
    return p.widget;
}

} // namespace

Panel *FindPanel(int handle) {
    auto it = panels.find(handle);
    if (it == panels.end() || !it->second.widget) return nullptr;
    return &it->second;
}

QWidget *FindCtrl(int panel, int control) {
    Panel *p = FindPanel(panel);
    if (!p) return nullptr;
    auto it = p->controls.find(control);
    if (it == p->controls.end() || !it->second) return nullptr;
    return it->second;
}

QWidget *GraphArea(int panel) {
    return AreaOf(panel);
}

int AddRuntimeCtrl(int panel, QWidget *w) {
    Panel *p = FindPanel(panel);
    if (!p) return UIEBadPanelHandle;
    int id = p->nextCtrlId++;
    p->controls[id] = w;
    return id;
}

} // namespace rt

using namespace rt;

int LoadPanel(int parentPanel, const std::string &resourceFile, int panelId) {
    int handle = nextPanelHandle++;
    int r = LoadInto(parentPanel, resourceFile, panelId, handle);
    return r;
}

int DuplicatePanel(int destParent, int panel, const std::string &title, int top, int left) {
    Panel *src = FindPanel(panel);
    if (!src) return UIEBadPanelHandle;
    int width = 0, height = 0;
    GetPanelAttribute(panel, ATTR_WIDTH, &width);
    GetPanelAttribute(panel, ATTR_HEIGHT, &height);
    int handle = LoadPanel(destParent, src->resourceFile, src->resourceId);
    if (handle < 0) return handle;
    SetPanelAttribute(handle, ATTR_TITLE, title);
    SetPanelAttribute(handle, ATTR_WIDTH, width);
    SetPanelAttribute(handle, ATTR_HEIGHT, height);
    SetPanelAttribute(handle, ATTR_TOP, top);
    SetPanelAttribute(handle, ATTR_LEFT, left);
    return handle;
}

int DiscardPanel(int panel) {
    Panel *p = FindPanel(panel);
    if (!p) return UIEBadPanelHandle;
    // Children go with their parent.
    std::vector<int> children;
    for (auto &[h, c] : panels)
        if (c.parent == panel) children.push_back(h);
    for (int h : children)
        DiscardPanel(h);
    p = FindPanel(panel);
    if (!p) return 0;
    QWidget *w = p->widget;
    QMdiSubWindow *sub = p->subWindow;
    panels.erase(panel);
    if (sub) {
        // Gone from the screen now, not when the event loop next deletes it:
        // a long command would otherwise leave its frame painted over the others.
        sub->hide();
        if (QMdiArea *area = sub->mdiArea()) area->removeSubWindow(sub);
        sub->setWidget(nullptr);
        sub->deleteLater();
    }
    if (w) {
        w->hide();
        w->deleteLater();
    }
    return 0;
}

int DisplayPanel(int panel) {
    Panel *p = FindPanel(panel);
    if (!p) return UIEBadPanelHandle;
    if (InArea(*p)) {
        if (!p->subWindow) {
            QMdiArea *area = AreaOf(p->parent);
            QRect g = p->widget->geometry();
            QPoint pos = p->widget->property("rtPos").isValid()
                             ? p->widget->property("rtPos").toPoint()
                             : QPoint(0, 0);
            auto *sub = new QMdiSubWindow;
            sub->setWidget(p->widget);
            sub->setAttribute(Qt::WA_DeleteOnClose, false);
            // The placeholder shows the mark of unsaved changes (ATTR_WINDOW_MODIFIED).
            sub->setWindowTitle(p->widget->windowTitle() + "[*]");
            sub->setWindowModified(p->widget->isWindowModified());
            sub->setOption(QMdiSubWindow::RubberBandResize, false);
            if (!area->property("rtWatched").toBool()) {
                area->setProperty("rtWatched", true);
                // The window that gave way hears of it first, so that only one
                // title bar shows the active colour. A null activation (the
                // whole main window lost focus) changes neither.
                QObject::connect(
                    area, &QMdiArea::subWindowActivated, area,
                    [last = QPointer<QMdiSubWindow>()](QMdiSubWindow *activated) mutable {
                        if (!activated || activated == last) return;
                        int lost = 0, got = 0;
                        for (auto &[h, q] : panels) {
                            if (last && q.subWindow == last) lost = h;
                            if (q.subWindow == activated) got = h;
                        }
                        last = activated;
                        if (lost) DispatchPanelEvent(lost, EVENT_LOST_FOCUS);
                        if (got) DispatchPanelEvent(got, EVENT_GOT_FOCUS);
                    });
            }
            area->addSubWindow(sub);
            p->subWindow = sub;
            QSize size = p->widget->property("rtSize").isValid()
                             ? p->widget->property("rtSize").toSize()
                             : g.size();
            sub->setGeometry(QRect(pos, size));
        }
        p->widget->show();
        p->subWindow->show();
        return 0;
    }
    QMdiArea *area = AreaOf(panel);
    if (area) ApplyWantedArea(p->widget, area);
    p->widget->show();
    p->widget->raise();
    if (area) {
        // Menu bar and toolbar take their final heights once shown.
        QApplication::sendPostedEvents();
        ApplyWantedArea(p->widget, area);
        p->widget->setProperty("rtWantArea", QVariant());
    }
    return 0;
}

int HidePanel(int panel) {
    Panel *p = FindPanel(panel);
    if (!p) return UIEBadPanelHandle;
    if (p->subWindow)
        p->subWindow->hide();
    else
        p->widget->hide();
    return 0;
}

bool PanelExists(int panel) {
    return FindPanel(panel) != nullptr;
}

int GetActivePanel() {
    QWidget *active = QApplication::activeWindow();
    for (auto &[h, p] : panels) {
        if (p.subWindow && p.subWindow->mdiArea() &&
            p.subWindow->mdiArea()->activeSubWindow() == p.subWindow &&
            p.subWindow->window() == active)
            return h;
    }
    for (auto &[h, p] : panels)
        if (p.widget == active) return h;
    return 0;
}

int SetActivePanel(int panel) {
    Panel *p = FindPanel(panel);
    if (!p) return UIEBadPanelHandle;
    if (p->subWindow && p->subWindow->mdiArea())
        p->subWindow->mdiArea()->setActiveSubWindow(p->subWindow);
    else
        p->widget->activateWindow();
    return 0;
}

QWidget *PanelWidget(int panel) {
    Panel *p = FindPanel(panel);
    return p ? p->widget.data() : nullptr;
}

QWidget *CtrlWidget(int panel, int control) {
    return FindCtrl(panel, control);
}

// ---------------------------------------------------------------- panel attributes

static QColor ToColor(int rgb) {
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}
static int FromColor(const QColor &c) {
    return (c.red() << 16) | (c.green() << 8) | c.blue();
}

int SetPanelAttribute(int panel, int attribute, int value) {
    Panel *p = FindPanel(panel);
    if (!p) return UIEBadPanelHandle;
    QWidget *w = p->widget;
    QMdiArea *area = AreaOf(panel);
    bool inArea = InArea(*p);
    // Places and sizes come from the settings file too: kept within what Qt
    // can hold, so that the arithmetic of the band cannot overflow.
    if (attribute == ATTR_TOP || attribute == ATTR_LEFT || attribute == ATTR_HEIGHT ||
        attribute == ATTR_WIDTH)
        value = std::clamp(value, -QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    switch (attribute) {
    case ATTR_TOP:
    case ATTR_LEFT: {
        if (inArea) {
            QPoint pos = p->subWindow ? p->subWindow->pos() : w->property("rtPos").toPoint();
            if (attribute == ATTR_TOP)
                pos.setY(value - kBandTop);
            else
                pos.setX(value - kBandLeft);
            w->setProperty("rtPos", pos);
            if (p->subWindow) p->subWindow->move(pos);
        } else {
            QPoint pos = w->pos();
            w->setProperty("rtPlaced", true);
            if (attribute == ATTR_TOP)
                pos.setY(value);
            else
                pos.setX(value);
            w->move(pos);
        }
        return 0;
    }
    case ATTR_HEIGHT:
    case ATTR_WIDTH: {
        if (inArea) {
            QSize size = p->subWindow                      ? p->subWindow->size()
                         : w->property("rtSize").isValid() ? w->property("rtSize").toSize()
                                                           : w->size();
            if (attribute == ATTR_HEIGHT)
                size.setHeight(std::max(value, 1));
            else
                size.setWidth(std::max(value, 1));
            w->setProperty("rtSize", size);
            if (p->subWindow) p->subWindow->resize(size);
        } else if (area) {
            // Main panel: the graph area gets the value less the band. Until the
            // window shows, the toolbar may still change the band, so the wanted
            // size is kept and applied when it shows.
            QSize want = WantedArea(w, area);
            if (attribute == ATTR_HEIGHT)
                want.setHeight(value - kExtraHeight);
            else
                want.setWidth(value - kExtraWidth);
            w->setProperty("rtWantArea", want);
            if (w->isVisible()) ApplyWantedArea(w, area);
        } else {
            if (attribute == ATTR_HEIGHT)
                w->resize(w->width(), value);
            else
                w->resize(value, w->height());
        }
        return 0;
    }
    case ATTR_WINDOW_ZOOM: {
        Qt::WindowStates s = Qt::WindowNoState;
        if (value == VAL_MINIMIZE)
            s = Qt::WindowMinimized;
        else if (value == VAL_MAXIMIZE)
            s = Qt::WindowMaximized;
        QWidget *f = Frame(*p);
        if (p->subWindow && p->subWindow->isVisible()) {
            // A window inside the area changes its state through its own show
            // functions: a bare state change leaves it drawn as it was.
            if (s == Qt::WindowMinimized)
                p->subWindow->showMinimized();
            else if (s == Qt::WindowMaximized)
                p->subWindow->showMaximized();
            else if (p->subWindow->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized))
                p->subWindow->showNormal();
            return 0;
        }
        f->setWindowState(s);
        return 0;
    }
    case ATTR_VISIBLE:
        return value ? DisplayPanel(panel) : HidePanel(panel);
    case ATTR_WINDOW_MODIFIED:
        w->setWindowModified(value != 0);
        if (p->subWindow) p->subWindow->setWindowModified(value != 0);
        return 0;
    case ATTR_BACKCOLOR: {
        QPalette pal = w->palette();
        pal.setColor(QPalette::Window, ToColor(value));
        w->setPalette(pal);
        w->setAutoFillBackground(true);
        return 0;
    }
    case ATTR_TITLE_BACKCOLOR:
    case ATTR_TITLE_COLOR: {
        w->setProperty(attribute == ATTR_TITLE_BACKCOLOR ? "rtTitleBack" : "rtTitleText", value);
        if (p->subWindow) {
            QPalette pal = p->subWindow->palette();
            QColor back =
                ToColor(w->property("rtTitleBack").isValid() ? w->property("rtTitleBack").toInt()
                                                             : 0x000080);
            for (auto group : {QPalette::Active, QPalette::Inactive}) {
                pal.setColor(group, QPalette::Highlight, back);
            }
            if (w->property("rtTitleText").isValid())
                pal.setColor(QPalette::HighlightedText,
                             ToColor(w->property("rtTitleText").toInt()));
            p->subWindow->setPalette(pal);
            // The colours are the title bar's: the panel itself keeps its own.
            QPalette own = p->widget->palette();
            QPalette app = QApplication::palette();
            for (auto group : {QPalette::Active, QPalette::Inactive})
                for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
                    own.setColor(group, role, app.color(group, role));
            p->widget->setPalette(own);
        }
        return 0;
    }
    default:
        w->setProperty(("rtAttr" + std::to_string(attribute)).c_str(), value);
        return 0;
    }
}

int SetPanelAttribute(int panel, int attribute, const std::string &value) {
    Panel *p = FindPanel(panel);
    if (!p) return UIEBadPanelHandle;
    if (attribute != ATTR_TITLE) return UIEOperationFailed;
    p->widget->setWindowTitle(QString::fromStdString(value));
    if (p->subWindow) p->subWindow->setWindowTitle(QString::fromStdString(value) + "[*]");
    return 0;
}

int GetPanelAttribute(int panel, int attribute, int *value) {
    Panel *p = FindPanel(panel);
    if (!p) return UIEBadPanelHandle;
    QWidget *w = p->widget;
    QMdiArea *area = AreaOf(panel);
    bool inArea = InArea(*p);
    switch (attribute) {
    case ATTR_TOP:
    case ATTR_LEFT: {
        QPoint pos = inArea ? (p->subWindow ? p->subWindow->pos() : w->property("rtPos").toPoint())
                            : w->pos();
        if (inArea) pos += QPoint(kBandLeft, kBandTop);
        *value = attribute == ATTR_TOP ? pos.y() : pos.x();
        return 0;
    }
    case ATTR_HEIGHT:
    case ATTR_WIDTH: {
        QSize size;
        if (inArea)
            size = p->subWindow                      ? p->subWindow->size()
                   : w->property("rtSize").isValid() ? w->property("rtSize").toSize()
                                                     : w->size();
        else if (area)
            size = (w->isVisible() ? area->size() : WantedArea(w, area)) +
                   QSize(kExtraWidth, kExtraHeight);
        else
            size = w->size();
        *value = attribute == ATTR_HEIGHT ? size.height() : size.width();
        return 0;
    }
    case ATTR_WINDOW_ZOOM: {
        Qt::WindowStates s = Frame(*p)->windowState();
        *value = (s & Qt::WindowMinimized)   ? VAL_MINIMIZE
                 : (s & Qt::WindowMaximized) ? VAL_MAXIMIZE
                                             : VAL_NO_ZOOM;
        return 0;
    }
    case ATTR_VISIBLE:
        *value = Frame(*p)->isVisible() ? 1 : 0;
        return 0;
    case ATTR_WINDOW_MODIFIED:
        *value = w->isWindowModified() ? 1 : 0;
        return 0;
    case ATTR_BACKCOLOR:
        *value = FromColor(w->palette().color(QPalette::Window));
        return 0;
    case ATTR_TITLE_BACKCOLOR:
        *value =
            w->property("rtTitleBack").isValid() ? w->property("rtTitleBack").toInt() : 0x000080;
        return 0;
    case ATTR_TITLE_COLOR:
        *value =
            w->property("rtTitleText").isValid() ? w->property("rtTitleText").toInt() : 0xFFFFFF;
        return 0;
    default: {
        QVariant v = w->property(("rtAttr" + std::to_string(attribute)).c_str());
        *value = v.isValid() ? v.toInt() : 0;
        return 0;
    }
    }
}

int GetPanelAttribute(int panel, int attribute, std::string *value) {
    Panel *p = FindPanel(panel);
    if (!p) return UIEBadPanelHandle;
    if (attribute != ATTR_TITLE) return UIEOperationFailed;
    *value = p->widget->windowTitle().toStdString();
    return 0;
}
