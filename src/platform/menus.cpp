// The main panel's menu bar: items addressed by their numeric identifiers.
#include "platform/internal.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <deque>
#include <map>

namespace rt {
MenuCallbackPtr FindMenuCallback(const std::string &name);
std::deque<std::pair<int, int>> &UserEvents();
} // namespace rt

using namespace rt;

namespace {

struct MenuBarRec {
    int panel = 0;
    QPointer<QMenuBar> bar;
    std::map<int, QPointer<QAction>> entries; // menus (their menuAction) and items
    std::map<int, QPointer<QMenu>> menus;
    std::map<int, MenuCallbackPtr> callbacks;
    std::map<int, void *> callbackData;
    int nextId = 1000;
};

std::map<int, MenuBarRec> menuBars;
int nextMenuBarHandle = 1;

MenuBarRec *FindBar(int handle) {
    auto it = menuBars.find(handle);
    if (it == menuBars.end() || !it->second.bar) return nullptr;
    return &it->second;
}

QAction *FindEntry(MenuBarRec *rec, int id) {
    auto it = rec->entries.find(id);
    return it == rec->entries.end() ? nullptr : it->second.data();
}

void Dispatch(int handle, int id) {
    MenuBarRec *rec = FindBar(handle);
    if (!rec) return;
    auto it = rec->callbacks.find(id);
    if (it == rec->callbacks.end() || !it->second) return;
    // A new command starts: commits from before it are no answer to its polling.
    UserEvents().clear();
    it->second(handle, id, rec->callbackData[id], rec->panel);
}

void Connect(int handle, int id, QAction *action) {
    // Ticks belong to the program: Qt's own toggle of a checkable item is
    // undone before the callback reads the tick and sets it as it decides.
    QObject::connect(action, &QAction::triggered, action, [handle, id, action] {
        if (action->isCheckable()) action->setChecked(!action->isChecked());
        Dispatch(handle, id);
    });
}

void Collect(int handle, MenuBarRec &rec, QMenu *menu, const std::string &inherited) {
    std::string menuCallback = menu->property("callback").toString().toStdString();
    if (menuCallback.empty()) menuCallback = inherited;
    // Two separators around an empty group show as one.
    menu->setSeparatorsCollapsible(true);
    QVariant menuId = menu->property("menuId");
    if (menuId.isValid()) {
        rec.entries[menuId.toInt()] = menu->menuAction();
        rec.menus[menuId.toInt()] = menu;
    }
    for (QAction *a : menu->actions()) {
        if (a->menu()) {
            Collect(handle, rec, a->menu(), menuCallback);
            continue;
        }
        QVariant itemId = a->property("itemId");
        if (!itemId.isValid()) continue;
        int id = itemId.toInt();
        rec.entries[id] = a;
        std::string cb = a->property("callback").toString().toStdString();
        if (cb.empty()) cb = menuCallback;
        rec.callbacks[id] = cb.empty() ? nullptr : FindMenuCallback(cb);
        a->setProperty("rtText",
                       a->text().replace("&&", "\x01").replace("&", "__").replace("\x01", "&"));
        Connect(handle, id, a);
    }
}

} // namespace

std::string MnemonicText(const std::string &runtimeText) {
    QString s = QString::fromStdString(runtimeText);
    s.replace("&", "&&");
    s.replace("__", "&");
    return s.toStdString();
}

int GetPanelMenuBar(int panel) {
    for (auto &[h, rec] : menuBars)
        if (rec.panel == panel && rec.bar) return h;
    auto *main = qobject_cast<QMainWindow *>(PanelWidget(panel));
    if (!main || !main->menuBar()) return 0;
    int handle = nextMenuBarHandle++;
    MenuBarRec &rec = menuBars[handle];
    rec.panel = panel;
    rec.bar = main->menuBar();
    for (QAction *a : rec.bar->actions())
        if (a->menu()) Collect(handle, rec, a->menu(), "");
    return handle;
}

int SetMenuBarAttribute(int menuBar, int id, int attribute, int value) {
    MenuBarRec *rec = FindBar(menuBar);
    if (!rec) return UIEBadPanelHandle;
    QAction *a = FindEntry(rec, id);
    if (!a) return UIEBadControlId;
    switch (attribute) {
    case ATTR_DIMMED:
        a->setEnabled(value == 0);
        return 0;
    case ATTR_CHECKED:
        a->setCheckable(true);
        a->setChecked(value != 0);
        return 0;
    case ATTR_VISIBLE:
        a->setVisible(value != 0);
        return 0;
    default:
        return UIEOperationFailed;
    }
}

int SetMenuBarAttribute(int menuBar, int id, int attribute, const std::string &value) {
    MenuBarRec *rec = FindBar(menuBar);
    if (!rec) return UIEBadPanelHandle;
    QAction *a = FindEntry(rec, id);
    if (!a) return UIEBadControlId;
    if (attribute != ATTR_MENU_NAME && attribute != ATTR_ITEM_NAME) return UIEOperationFailed;
    a->setText(QString::fromStdString(MnemonicText(value)));
    a->setProperty("rtText", QString::fromStdString(value));
    return 0;
}

int GetMenuBarAttribute(int menuBar, int id, int attribute, int *value) {
    MenuBarRec *rec = FindBar(menuBar);
    if (!rec) return UIEBadPanelHandle;
    QAction *a = FindEntry(rec, id);
    if (!a) return UIEBadControlId;
    switch (attribute) {
    case ATTR_DIMMED:
        *value = a->isEnabled() ? 0 : 1;
        return 0;
    case ATTR_CHECKED:
        *value = a->isChecked() ? 1 : 0;
        return 0;
    case ATTR_VISIBLE:
        *value = a->isVisible() ? 1 : 0;
        return 0;
    default:
        return UIEOperationFailed;
    }
}

int GetMenuBarAttribute(int menuBar, int id, int attribute, std::string *value) {
    MenuBarRec *rec = FindBar(menuBar);
    if (!rec) return UIEBadPanelHandle;
    QAction *a = FindEntry(rec, id);
    if (!a) return UIEBadControlId;
    if (attribute != ATTR_MENU_NAME && attribute != ATTR_ITEM_NAME) return UIEOperationFailed;
    QVariant t = a->property("rtText");
    *value = t.isValid() ? t.toString().toStdString() : a->text().toStdString();
    return 0;
}

int NewMenuItem(int menuBar, int menuId, const std::string &itemLabel, int beforeItem,
                int shortcutKey, MenuCallbackPtr callback, void *callbackData) {
    MenuBarRec *rec = FindBar(menuBar);
    if (!rec) return UIEBadPanelHandle;
    auto m = rec->menus.find(menuId);
    if (m == rec->menus.end() || !m->second) return UIEBadControlId;
    QMenu *menu = m->second;
    auto *a = new QAction(QString::fromStdString(MnemonicText(itemLabel)), menu);
    a->setProperty("rtText", QString::fromStdString(itemLabel));
    if (shortcutKey != 0) a->setShortcut(QKeySequence(shortcutKey));
    QAction *before = beforeItem > 0 ? FindEntry(rec, beforeItem) : nullptr;
    if (before && !menu->actions().contains(before)) before = nullptr;
    // Without an item of this menu to go before (0, or another menu's item),
    // an added item takes the menu's own place for such items: before its last
    // separator, so the File menu's recent files sit above Exit. -1 appends.
    if (!before && beforeItem != -1) {
        const QList<QAction *> actions = menu->actions();
        for (auto it = actions.rbegin(); it != actions.rend(); ++it)
            if ((*it)->isSeparator()) {
                before = *it;
                break;
            }
    }
    if (before)
        menu->insertAction(before, a);
    else
        menu->addAction(a);
    int id = rec->nextId++;
    rec->entries[id] = a;
    rec->callbacks[id] = callback;
    rec->callbackData[id] = callbackData;
    Connect(menuBar, id, a);
    return id;
}

int DiscardMenuItem(int menuBar, int itemId) {
    MenuBarRec *rec = FindBar(menuBar);
    if (!rec) return UIEBadPanelHandle;
    QAction *a = FindEntry(rec, itemId);
    if (!a) return UIEBadControlId;
    if (auto *menu = qobject_cast<QMenu *>(a->parent())) menu->removeAction(a);
    rec->entries.erase(itemId);
    rec->callbacks.erase(itemId);
    rec->callbackData.erase(itemId);
    a->deleteLater();
    return 0;
}

int InvokeMenuItem(int menuBar, int itemId) {
    MenuBarRec *rec = FindBar(menuBar);
    if (!rec) return UIEBadPanelHandle;
    QAction *a = FindEntry(rec, itemId);
    if (!a) return UIEBadControlId;
    // The way a click goes, so a test sees what the user gets.
    a->trigger();
    return 0;
}
