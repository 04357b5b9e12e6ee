// The toolbar: a QToolBar under the panel's menu bar whose buttons run menu
// items through the run-time, so a button and its menu item cannot disagree.
#include <QAction>
#include <QEvent>
#include <QFileInfo>
#include <QIcon>
#include <QImage>
#include <QMainWindow>
#include <QPixmap>
#include <QPointer>
#include <QToolBar>
#include <QToolButton>
#include <map>

#include "toolbox/toolbox.h"

namespace {

// Pixels of this colour in an image are transparent, as toolbar bitmaps have
// no alpha channel of their own.
constexpr QRgb kTransparentKey = 0xFF00FF;

struct Item {
    int type = kToolbarButton;
    QPointer<QAction> action;
    std::string tooltip;
    int callbackType = kToolbarNoCallback;
    int menuItem = 0;
    CtrlCallbackPtr ctrlCallback = nullptr;
    void *callbackData = nullptr;
    QImage image; // as loaded, before fitting to the button size
};

struct Toolbar {
    int panel = 0;
    int menuBar = 0;
    QPointer<QToolBar> bar;
    QPointer<QObject> follower; // keeps a toolbar on a plain panel as wide as it
    bool fitImages = true;
    bool showTooltips = true;
    int imageSize = kToolbarImageSize;
    std::vector<Item> items;
};

std::map<int, Toolbar> toolbars;
int nextHandle = 1;

Toolbar *Find(int handle) {
    auto it = toolbars.find(handle);
    return it == toolbars.end() ? nullptr : &it->second;
}

// Keeps a toolbar that sits on a plain widget (not a main window) as wide as
// its panel.
class WidthFollower : public QObject {
  public:
    WidthFollower(QWidget *panel, QToolBar *bar) : QObject(bar), panel_(panel), bar_(bar) {
        panel->installEventFilter(this);
        Fit();
    }
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (watched == panel_ && event->type() == QEvent::Resize) Fit();
        return false;
    }

  private:
    void Fit() {
        if (panel_ && bar_) bar_->resize(panel_->width() - bar_->x(), bar_->sizeHint().height());
    }
    QPointer<QWidget> panel_;
    QPointer<QToolBar> bar_;
};

QImage LoadImage(const std::string &path) {
    const QString file = QString::fromStdString(path);
    const QFileInfo info(file); // relative paths resolve against the current directory
    if (!info.isFile()) return {};
    if (info.suffix().compare("pcx", Qt::CaseInsensitive) == 0) {
        PcxImage pcx;
        if (!PcxReadFile(info.absoluteFilePath().toStdString(), &pcx)) return {};
        QImage image(pcx.width, pcx.height, QImage::Format_RGB32);
        for (int y = 0; y < pcx.height; ++y) {
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < pcx.width; ++x)
                line[x] = 0xFF000000u | pcx.pixels[std::size_t(y) * std::size_t(pcx.width) + x];
        }
        return image;
    }
    return QImage(info.absoluteFilePath());
}

QIcon MakeIcon(const Toolbar &tb, const QImage &source) {
    QImage image = source.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if ((line[x] & 0xFFFFFF) == kTransparentKey) line[x] = 0;
    }
    if (tb.fitImages && (image.width() != tb.imageSize || image.height() != tb.imageSize))
        image =
            image.scaled(tb.imageSize, tb.imageSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return QIcon(QPixmap::fromImage(image));
}

void ApplyTooltips(Toolbar &tb) {
    for (Item &item : tb.items) {
        if (!item.action || item.type != kToolbarButton) continue;
        item.action->setToolTip(tb.showTooltips ? QString::fromStdString(item.tooltip) : QString());
    }
}

void ApplyIconSize(Toolbar &tb) {
    if (!tb.bar) return;
    int size = tb.imageSize;
    if (!tb.fitImages)
        for (const Item &item : tb.items)
            size = std::max({size, item.image.width(), item.image.height()});
    tb.bar->setIconSize(QSize(size, size));
}

void Run(int handle, QAction *action) {
    Toolbar *tb = Find(handle);
    if (!tb) return;
    for (std::size_t i = 0; i < tb->items.size(); ++i) {
        if (tb->items[i].action != action) continue;
        // Copies, as the callback may discard this very toolbar.
        const Item item = tb->items[i];
        const int panel = tb->panel, menuBar = tb->menuBar;
        if (item.callbackType == kToolbarMenuCallback)
            InvokeMenuItem(menuBar, item.menuItem);
        else if (item.callbackType == kToolbarCtrlCallback && item.ctrlCallback)
            item.ctrlCallback(panel, int(i), EVENT_COMMIT, item.callbackData, 0, 0);
        return;
    }
}

} // namespace

int Toolbar_New(int parentPanel, int menuBar, const std::string &title, int top, int left,
                int conformToPanel, int fitImages, int *toolbar) {
    if (toolbar) *toolbar = 0;
    QWidget *panel = PanelWidget(parentPanel);
    if (!panel) return kToolbarErrBadPanel;
    auto *bar = new QToolBar(QString::fromStdString(title));
    bar->setObjectName(QStringLiteral("toolbar"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    bar->setContextMenuPolicy(Qt::PreventContextMenu);
    bar->hide(); // until Toolbar_Display
    Toolbar tb;
    if (auto *window = qobject_cast<QMainWindow *>(panel)) {
        // A main window places its toolbars under the menu bar and across its
        // width itself; top, left and conformToPanel have nothing to add.
        window->addToolBar(Qt::TopToolBarArea, bar);
        bar->toggleViewAction()->setEnabled(false);
        bar->hide();
    } else {
        bar->setParent(panel);
        bar->move(left, top);
        if (conformToPanel)
            tb.follower = new WidthFollower(panel, bar);
        else
            bar->adjustSize();
    }
    tb.panel = parentPanel;
    tb.menuBar = menuBar;
    tb.bar = bar;
    tb.fitImages = fitImages != 0;
    const int handle = nextHandle++;
    toolbars[handle] = std::move(tb);
    ApplyIconSize(toolbars[handle]);
    if (toolbar) *toolbar = handle;
    return 0;
}

int Toolbar_InsertItem(int toolbar, int position, int itemType, int active,
                       const std::string &tooltip, int callbackType, int menuItem,
                       CtrlCallbackPtr ctrlCallback, void *callbackData,
                       const std::string &imageFile) {
    Toolbar *tb = Find(toolbar);
    if (!tb || !tb->bar) return kToolbarErrBadHandle;
    if (itemType != kToolbarButton && itemType != kToolbarSeparator) return kToolbarErrBadArgument;
    if (position < -1 || position > int(tb->items.size())) return kToolbarErrBadArgument;
    if (callbackType != kToolbarNoCallback && callbackType != kToolbarMenuCallback &&
        callbackType != kToolbarCtrlCallback)
        return kToolbarErrBadArgument;

    Item item;
    item.type = itemType;
    if (itemType == kToolbarButton) {
        item.image = LoadImage(imageFile);
        if (item.image.isNull()) return kToolbarErrImageNotFound;
        item.tooltip = tooltip;
        item.callbackType = callbackType;
        item.menuItem = menuItem;
        item.ctrlCallback = ctrlCallback;
        item.callbackData = callbackData;
    }

    auto *action = new QAction(tb->bar);
    if (itemType == kToolbarSeparator) {
        action->setSeparator(true);
    } else {
        action->setIcon(MakeIcon(*tb, item.image));
        if (tb->showTooltips) action->setToolTip(QString::fromStdString(tooltip));
        action->setEnabled(active != 0);
        QObject::connect(action, &QAction::triggered, action,
                         [toolbar, action] { Run(toolbar, action); });
    }
    item.action = action;
    QAction *before = nullptr;
    if (position >= 0 && position < int(tb->items.size())) before = tb->items[position].action;
    tb->bar->insertAction(before, action);
    if (itemType == kToolbarButton) {
        if (QWidget *button = tb->bar->widgetForAction(action))
            button->setAccessibleName(QString::fromStdString(tooltip));
    }
    if (position < 0)
        tb->items.push_back(std::move(item));
    else
        tb->items.insert(tb->items.begin() + position, std::move(item));
    if (!tb->fitImages) ApplyIconSize(*tb);
    return 0;
}

int Toolbar_SetAttribute(int toolbar, int attribute, int value) {
    Toolbar *tb = Find(toolbar);
    if (!tb || !tb->bar) return kToolbarErrBadHandle;
    switch (attribute) {
    case kToolbarAttrShowTooltips:
        tb->showTooltips = value != 0;
        ApplyTooltips(*tb);
        return 0;
    case kToolbarAttrVisible:
        tb->bar->setVisible(value != 0);
        return 0;
    case kToolbarAttrDimmed:
        tb->bar->setEnabled(value == 0);
        return 0;
    case kToolbarAttrButtonSize:
        if (value < 8 || value > 256) return kToolbarErrBadArgument;
        tb->imageSize = value;
        for (Item &item : tb->items)
            if (item.action && item.type == kToolbarButton)
                item.action->setIcon(MakeIcon(*tb, item.image));
        ApplyIconSize(*tb);
        return 0;
    default:
        return kToolbarErrBadArgument;
    }
}

int Toolbar_GetAttribute(int toolbar, int attribute, int *value) {
    Toolbar *tb = Find(toolbar);
    if (!tb || !tb->bar) return kToolbarErrBadHandle;
    if (!value) return kToolbarErrBadArgument;
    switch (attribute) {
    case kToolbarAttrShowTooltips:
        *value = tb->showTooltips ? 1 : 0;
        return 0;
    case kToolbarAttrVisible:
        *value = tb->bar->isVisibleTo(tb->bar->parentWidget()) ? 1 : 0;
        return 0;
    case kToolbarAttrDimmed:
        *value = tb->bar->isEnabled() ? 0 : 1;
        return 0;
    case kToolbarAttrButtonSize:
        *value = tb->imageSize;
        return 0;
    default:
        return kToolbarErrBadArgument;
    }
}

int Toolbar_Display(int toolbar) {
    Toolbar *tb = Find(toolbar);
    if (!tb || !tb->bar) return kToolbarErrBadHandle;
    tb->bar->show();
    return 0;
}

int Toolbar_Discard(int toolbar) {
    auto it = toolbars.find(toolbar);
    if (it == toolbars.end()) return kToolbarErrBadHandle;
    QPointer<QToolBar> bar = it->second.bar;
    toolbars.erase(it);
    if (bar) {
        if (auto *window = qobject_cast<QMainWindow *>(bar->parentWidget()))
            window->removeToolBar(bar);
        bar->hide();
        bar->setParent(nullptr);
        // Later, as a button of this toolbar may be the caller.
        bar->deleteLater();
    }
    return 0;
}

int Toolbar_GetNumItems(int toolbar, int *count) {
    Toolbar *tb = Find(toolbar);
    if (!tb) return kToolbarErrBadHandle;
    if (!count) return kToolbarErrBadArgument;
    *count = int(tb->items.size());
    return 0;
}

int Toolbar_GetItemInfo(int toolbar, int index, int *itemType, std::string *tooltip) {
    Toolbar *tb = Find(toolbar);
    if (!tb) return kToolbarErrBadHandle;
    if (index < 0 || index >= int(tb->items.size())) return kToolbarErrBadArgument;
    const Item &item = tb->items[index];
    if (itemType) *itemType = item.type;
    if (tooltip) {
        *tooltip = item.action && tb->showTooltips ? item.action->toolTip().toStdString() : "";
    }
    return 0;
}

int Toolbar_PressItem(int toolbar, int index) {
    Toolbar *tb = Find(toolbar);
    if (!tb || !tb->bar) return kToolbarErrBadHandle;
    if (index < 0 || index >= int(tb->items.size())) return kToolbarErrBadArgument;
    QAction *action = tb->items[index].action;
    if (!action || action->isSeparator()) return kToolbarErrBadArgument;
    if (auto *button = qobject_cast<QToolButton *>(tb->bar->widgetForAction(action)))
        button->click();
    else
        action->trigger();
    return 0;
}

QWidget *Toolbar_Widget(int toolbar) {
    Toolbar *tb = Find(toolbar);
    return tb ? tb->bar.data() : nullptr;
}
