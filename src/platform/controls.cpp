// Control values, attributes, list items, run-time controls and the callback table.
#include "platform/axislabels.h"
#include "platform/internal.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSpinBox>
#include <deque>
#include <map>
#include <qcustomplot.h>

namespace rt {

namespace {

struct Callbacks {
    std::map<std::string, CtrlCallbackPtr> ctrl;
    std::map<std::string, PanelCallbackPtr> panel;
    std::map<std::string, MenuCallbackPtr> menu;
};

Callbacks &Table() {
    static Callbacks table;
    return table;
}

QColor ToColor(int rgb) {
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}
int FromColor(const QColor &c) {
    return (c.red() << 16) | (c.green() << 8) | c.blue();
}

QLabel *LabelOf(QWidget *w) {
    QString name = w->property("labelWidget").toString();
    if (name.isEmpty() || !w->window()) return nullptr;
    return w->window()->findChild<QLabel *>(name);
}

} // namespace

std::deque<std::pair<int, int>> &UserEvents() {
    static std::deque<std::pair<int, int>> events;
    return events;
}

MenuCallbackPtr FindMenuCallback(const std::string &name) {
    auto it = Table().menu.find(name);
    return it == Table().menu.end() ? nullptr : it->second;
}

void DispatchCtrlEvent(int panel, int control, int event, int eventData1, int eventData2) {
    if (event == EVENT_COMMIT) {
        auto &q = UserEvents();
        q.emplace_back(panel, control);
        if (q.size() > 64) q.pop_front();
    }
    Panel *p = FindPanel(panel);
    if (!p) return;
    auto it = p->ctrlCallbacks.find(control);
    if (it == p->ctrlCallbacks.end() || it->second.empty()) return;
    auto fn = Table().ctrl.find(it->second);
    if (fn == Table().ctrl.end()) return;
    void *data = nullptr;
    fn->second(panel, control, event, data, eventData1, eventData2);
}

void DispatchPanelEvent(int panel, int event, int eventData1, int eventData2) {
    Panel *p = FindPanel(panel);
    if (!p || p->panelCallback.empty()) return;
    auto fn = Table().panel.find(p->panelCallback);
    if (fn == Table().panel.end()) return;
    fn->second(panel, event, nullptr, eventData1, eventData2);
}

int AddRuntimeCtrl(int panel, QWidget *w);

} // namespace rt

using namespace rt;

void RegisterCtrlCallback(const std::string &name, CtrlCallbackPtr fn) {
    Table().ctrl[name] = fn;
}
void RegisterPanelCallback(const std::string &name, PanelCallbackPtr fn) {
    Table().panel[name] = fn;
}
void RegisterMenuCallback(const std::string &name, MenuCallbackPtr fn) {
    Table().menu[name] = fn;
}

bool IsCallbackRegistered(const std::string &name) {
    return Table().ctrl.count(name) || Table().panel.count(name) || Table().menu.count(name);
}

// ---------------------------------------------------------------- values

int SetCtrlVal(int panel, int control, int value) {
    return SetCtrlVal(panel, control, double(value));
}

int SetCtrlVal(int panel, int control, double value) {
    QWidget *w = FindCtrl(panel, control);
    if (!w) return UIEBadControlId;
    if (IsColourPicker(w)) {
        SetPickerColour(w, static_cast<int>(value));
        return 0;
    }
    if (auto *s = qobject_cast<QSpinBox *>(w)) {
        QSignalBlocker b(s);
        s->setValue(static_cast<int>(value));
    } else if (auto *s = qobject_cast<QDoubleSpinBox *>(w)) {
        QSignalBlocker b(s);
        s->setValue(value);
    } else if (auto *p = qobject_cast<QProgressBar *>(w)) {
        p->setValue(static_cast<int>(value));
    } else if (auto *c = qobject_cast<QCheckBox *>(w)) {
        QSignalBlocker b(c);
        c->setChecked(value != 0);
    } else if (auto *c = qobject_cast<QComboBox *>(w)) {
        int i = c->findData(static_cast<int>(value));
        if (i < 0) return UIEOperationFailed;
        c->setCurrentIndex(i);
    } else if (auto *l = qobject_cast<QListWidget *>(w)) {
        for (int i = 0; i < l->count(); ++i)
            if (l->item(i)->data(Qt::UserRole).toInt() == static_cast<int>(value)) {
                QSignalBlocker b(l);
                l->setCurrentRow(i);
                return 0;
            }
        return UIEOperationFailed;
    } else {
        return SetCtrlVal(panel, control, QString::number(value, 'f', 6).toStdString());
    }
    return 0;
}

int SetCtrlVal(int panel, int control, const char *value) {
    return SetCtrlVal(panel, control, std::string(value));
}

namespace {

bool PlacedByHand(const QWidget *w) {
    return !w->parentWidget() || !w->parentWidget()->layout();
}

// A label placed by hand grows with its text, unless the program gave it a
// width: then the text is cut to that width, and the whole of it shows as a
// tip. GetCtrlVal still gives the whole text.
void ShowLabelText(QLabel *l, const QString &text) {
    l->setProperty("rtFullText", text);
    const QVariant fixed = l->property("rtFixedWidth");
    if (!fixed.isValid()) {
        l->setText(text);
        if (PlacedByHand(l)) l->adjustSize();
        return;
    }
    const QFontMetricsF metrics(l->font());
    const int room = fixed.toInt() - 2 * l->margin() - 2 * l->frameWidth();
    const std::string shown = ElideText(
        text.toStdString(), room,
        [&](const std::string &t) { return metrics.horizontalAdvance(QString::fromStdString(t)); },
        ElideSide::Right);
    l->setText(QString::fromStdString(shown));
    l->setToolTip(shown == text.toStdString() ? QString() : text);
    l->adjustSize();
    l->resize(fixed.toInt(), l->height());
}

} // namespace

int SetCtrlVal(int panel, int control, const std::string &value) {
    QWidget *w = FindCtrl(panel, control);
    if (!w) return UIEBadControlId;
    QString text = QString::fromStdString(value);
    if (auto *l = qobject_cast<QLabel *>(w)) {
        ShowLabelText(l, text);
    } else if (auto *e = qobject_cast<QLineEdit *>(w)) {
        e->setText(text);
    } else if (auto *t = qobject_cast<QPlainTextEdit *>(w)) {
        // Text boxes append, as the program expects.
        t->moveCursor(QTextCursor::End);
        t->insertPlainText(text);
    } else if (auto *b = qobject_cast<QAbstractButton *>(w)) {
        b->setText(text);
    } else {
        return UIEOperationFailed;
    }
    return 0;
}

int GetCtrlVal(int panel, int control, double *value) {
    QWidget *w = FindCtrl(panel, control);
    if (!w) return UIEBadControlId;
    if (IsColourPicker(w))
        *value = PickerColour(w);
    else if (auto *s = qobject_cast<QSpinBox *>(w))
        *value = s->value();
    else if (auto *s = qobject_cast<QDoubleSpinBox *>(w))
        *value = s->value();
    else if (auto *p = qobject_cast<QProgressBar *>(w))
        *value = p->value();
    else if (auto *c = qobject_cast<QCheckBox *>(w))
        *value = c->isChecked();
    else if (auto *c = qobject_cast<QComboBox *>(w))
        *value = c->currentIndex() < 0 ? 0 : c->currentData().toInt();
    else if (auto *l = qobject_cast<QListWidget *>(w))
        *value = l->currentItem() ? l->currentItem()->data(Qt::UserRole).toInt() : 0;
    else if (auto *e = qobject_cast<QLineEdit *>(w))
        *value = e->text().toDouble();
    else
        return UIEOperationFailed;
    return 0;
}

int GetCtrlVal(int panel, int control, int *value) {
    double d = 0;
    int r = GetCtrlVal(panel, control, &d);
    if (r == 0) *value = static_cast<int>(d);
    return r;
}

int GetCtrlVal(int panel, int control, std::string *value) {
    QWidget *w = FindCtrl(panel, control);
    if (!w) return UIEBadControlId;
    if (auto *l = qobject_cast<QLabel *>(w))
        *value = l->property("rtFullText").isValid()
                     ? l->property("rtFullText").toString().toStdString()
                     : l->text().toStdString();
    else if (auto *e = qobject_cast<QLineEdit *>(w))
        *value = e->text().toStdString();
    else if (auto *t = qobject_cast<QPlainTextEdit *>(w))
        *value = t->toPlainText().toStdString();
    else if (auto *c = qobject_cast<QComboBox *>(w))
        *value = c->currentText().toStdString();
    else if (auto *l = qobject_cast<QListWidget *>(w))
        *value = l->currentItem() ? l->currentItem()->text().toStdString() : std::string();
    else {
        double d = 0;
        int r = GetCtrlVal(panel, control, &d);
        if (r != 0) return r;
        *value = QString::number(d).toStdString();
    }
    return 0;
}

int DefaultCtrl(int panel, int control) {
    QWidget *w = FindCtrl(panel, control);
    if (!w) return UIEBadControlId;
    QString text = w->property("rtDefaultText").toString();
    double number = w->property("rtDefaultNumber").toDouble();
    if (auto *t = qobject_cast<QPlainTextEdit *>(w)) {
        t->setPlainText(text);
        return 0;
    }
    if (qobject_cast<QLabel *>(w) || qobject_cast<QLineEdit *>(w))
        return SetCtrlVal(panel, control, text.toStdString());
    if (auto *c = qobject_cast<QComboBox *>(w)) {
        c->setCurrentIndex(static_cast<int>(number));
        return 0;
    }
    if (qobject_cast<QAbstractButton *>(w) && !qobject_cast<QCheckBox *>(w)) return 0;
    return SetCtrlVal(panel, control, number);
}

// ---------------------------------------------------------------- attributes

int SetCtrlAttribute(int panel, int control, int attribute, int value) {
    return SetCtrlAttribute(panel, control, attribute, double(value));
}

int SetCtrlAttribute(int panel, int control, int attribute, double value) {
    QWidget *w = FindCtrl(panel, control);
    if (!w) return UIEBadControlId;
    int result = 0;
    if (qobject_cast<QCustomPlot *>(w) && GraphSetAttribute(w, attribute, value, &result))
        return result;
    int v = static_cast<int>(value);
    switch (attribute) {
    case ATTR_VISIBLE:
        w->setVisible(v != 0);
        if (QLabel *l = LabelOf(w)) l->setVisible(v != 0);
        return 0;
    case ATTR_DIMMED:
        w->setEnabled(v == 0);
        return 0;
    case ATTR_LEFT:
        w->move(v, w->y());
        return 0;
    case ATTR_TOP:
        w->move(w->x(), v);
        return 0;
    case ATTR_WIDTH:
        w->resize(v, w->height());
        if (auto *l = qobject_cast<QLabel *>(w); l && PlacedByHand(l)) {
            l->setProperty("rtFixedWidth", v);
            ShowLabelText(l, l->property("rtFullText").isValid()
                                 ? l->property("rtFullText").toString()
                                 : l->text());
        }
        return 0;
    case ATTR_HEIGHT:
        w->resize(w->width(), v);
        return 0;
    case ATTR_CTRL_VAL:
        return SetCtrlVal(panel, control, value);
    case ATTR_TEXT_COLOR:
    case ATTR_TEXT_BGCOLOR:
    case ATTR_FRAME_COLOR: {
        QPalette pal = w->palette();
        QPalette::ColorRole role = attribute == ATTR_TEXT_COLOR     ? QPalette::WindowText
                                   : attribute == ATTR_TEXT_BGCOLOR ? QPalette::Window
                                                                    : QPalette::Mid;
        pal.setColor(role, ToColor(v));
        if (attribute == ATTR_TEXT_COLOR) pal.setColor(QPalette::Text, ToColor(v));
        if (attribute == ATTR_TEXT_BGCOLOR) w->setAutoFillBackground(true);
        w->setPalette(pal);
        return 0;
    }
    case ATTR_MAX_ENTRY_LENGTH:
        if (auto *e = qobject_cast<QLineEdit *>(w)) e->setMaxLength(v);
        return 0;
    case ATTR_PRECISION:
    case ATTR_MIN_VALUE:
    case ATTR_MAX_VALUE: {
        auto *s = qobject_cast<QDoubleSpinBox *>(w);
        if (!s) return UIEOperationFailed;
        QSignalBlocker b(s);
        if (attribute == ATTR_PRECISION)
            s->setDecimals(v);
        else if (attribute == ATTR_MIN_VALUE)
            s->setMinimum(value);
        else
            s->setMaximum(value);
        return 0;
    }
    default:
        w->setProperty(("rtAttr" + std::to_string(attribute)).c_str(), value);
        return 0;
    }
}

int SetCtrlAttribute(int panel, int control, int attribute, const char *value) {
    return SetCtrlAttribute(panel, control, attribute, std::string(value));
}

int SetCtrlAttribute(int panel, int control, int attribute, const std::string &value) {
    QWidget *w = FindCtrl(panel, control);
    if (!w) return UIEBadControlId;
    QString text = QString::fromStdString(value);
    if (attribute == ATTR_LABEL_TEXT) {
        QString shown = QString::fromStdString(MnemonicText(value));
        if (auto *b = qobject_cast<QAbstractButton *>(w))
            b->setText(shown);
        else if (QLabel *l = LabelOf(w))
            l->setText(shown);
        else if (auto *g = qobject_cast<QGroupBox *>(w))
            g->setTitle(shown);
        w->setProperty("rtLabel", text);
        return 0;
    }
    if (attribute == ATTR_CTRL_VAL) return SetCtrlVal(panel, control, value);
    if (qobject_cast<QCustomPlot *>(w) && GraphSetText(w, attribute, text)) return 0;
    w->setProperty(("rtAttr" + std::to_string(attribute)).c_str(), text);
    return 0;
}

int GetCtrlAttribute(int panel, int control, int attribute, double *value) {
    QWidget *w = FindCtrl(panel, control);
    if (!w) return UIEBadControlId;
    int result = 0;
    if (qobject_cast<QCustomPlot *>(w) && GraphGetAttribute(w, attribute, value, &result))
        return result;
    switch (attribute) {
    case ATTR_VISIBLE:
        *value = w->isVisibleTo(w->window()) ? 1 : 0;
        return 0;
    case ATTR_DIMMED:
        *value = w->isEnabled() ? 0 : 1;
        return 0;
    case ATTR_LEFT:
        *value = w->x();
        return 0;
    case ATTR_TOP:
        *value = w->y();
        return 0;
    case ATTR_WIDTH:
        *value = w->width();
        return 0;
    case ATTR_HEIGHT:
        *value = w->height();
        return 0;
    case ATTR_CTRL_VAL:
        return GetCtrlVal(panel, control, value);
    case ATTR_TEXT_COLOR:
        *value = FromColor(w->palette().color(QPalette::WindowText));
        return 0;
    case ATTR_MAX_ENTRY_LENGTH:
        if (auto *e = qobject_cast<QLineEdit *>(w)) *value = e->maxLength();
        return 0;
    case ATTR_PRECISION:
    case ATTR_MIN_VALUE:
    case ATTR_MAX_VALUE: {
        auto *s = qobject_cast<QDoubleSpinBox *>(w);
        if (!s) return UIEOperationFailed;
        *value = attribute == ATTR_PRECISION   ? s->decimals()
                 : attribute == ATTR_MIN_VALUE ? s->minimum()
                                               : s->maximum();
        return 0;
    }
    default: {
        QVariant v = w->property(("rtAttr" + std::to_string(attribute)).c_str());
        *value = v.isValid() ? v.toDouble() : 0;
        return 0;
    }
    }
}

int GetCtrlAttribute(int panel, int control, int attribute, int *value) {
    double d = 0;
    int r = GetCtrlAttribute(panel, control, attribute, &d);
    if (r == 0) *value = static_cast<int>(d);
    return r;
}

int GetCtrlAttribute(int panel, int control, int attribute, std::string *value) {
    QWidget *w = FindCtrl(panel, control);
    if (!w) return UIEBadControlId;
    if (attribute == ATTR_LABEL_TEXT) {
        QVariant set = w->property("rtLabel");
        if (set.isValid())
            *value = set.toString().toStdString();
        else if (auto *b = qobject_cast<QAbstractButton *>(w))
            *value = b->text().replace("&", "__").toStdString();
        else if (QLabel *l = LabelOf(w))
            *value = l->text().toStdString();
        else if (auto *g = qobject_cast<QGroupBox *>(w))
            *value = g->title().toStdString();
        else
            value->clear();
        return 0;
    }
    if (attribute == ATTR_CTRL_VAL) return GetCtrlVal(panel, control, value);
    *value = w->property(("rtAttr" + std::to_string(attribute)).c_str()).toString().toStdString();
    return 0;
}

int SetActiveCtrl(int panel, int control) {
    QWidget *w = FindCtrl(panel, control);
    if (!w) return UIEBadControlId;
    w->setFocus();
    return 0;
}

bool CtrlExists(int panel, int control) {
    return FindCtrl(panel, control) != nullptr;
}

// ---------------------------------------------------------------- lists

int InsertListItem(int panel, int control, int index, const std::string &label, int value) {
    QWidget *w = FindCtrl(panel, control);
    if (!w) return UIEBadControlId;
    QString text = QString::fromStdString(label);
    if (auto *l = qobject_cast<QListWidget *>(w)) {
        auto *item = new QListWidgetItem(text);
        item->setData(Qt::UserRole, value);
        if (index < 0 || index > l->count()) index = l->count();
        QSignalBlocker b(l);
        l->insertItem(index, item);
        return 0;
    }
    if (auto *c = qobject_cast<QComboBox *>(w)) {
        if (index < 0 || index > c->count()) index = c->count();
        c->insertItem(index, text, value);
        return 0;
    }
    return UIEOperationFailed;
}

int ReplaceListItem(int panel, int control, int index, const std::string &label, int value) {
    QWidget *w = FindCtrl(panel, control);
    if (!w) return UIEBadControlId;
    QString text = QString::fromStdString(label);
    if (auto *l = qobject_cast<QListWidget *>(w)) {
        if (index < 0 || index >= l->count()) return UIEOperationFailed;
        l->item(index)->setText(text);
        l->item(index)->setData(Qt::UserRole, value);
        return 0;
    }
    if (auto *c = qobject_cast<QComboBox *>(w)) {
        if (index < 0 || index >= c->count()) return UIEOperationFailed;
        c->setItemText(index, text);
        c->setItemData(index, value);
        return 0;
    }
    return UIEOperationFailed;
}

int DeleteListItem(int panel, int control, int index, int count) {
    QWidget *w = FindCtrl(panel, control);
    if (!w) return UIEBadControlId;
    if (auto *l = qobject_cast<QListWidget *>(w)) {
        QSignalBlocker b(l);
        if (count < 0) count = l->count() - index;
        for (int i = 0; i < count && index < l->count(); ++i)
            delete l->takeItem(index);
        return 0;
    }
    if (auto *c = qobject_cast<QComboBox *>(w)) {
        if (count < 0) count = c->count() - index;
        for (int i = 0; i < count && index < c->count(); ++i)
            c->removeItem(index);
        return 0;
    }
    return UIEOperationFailed;
}

int ClearListCtrl(int panel, int control) {
    return DeleteListItem(panel, control, 0, -1);
}

int GetNumListItems(int panel, int control, int *count) {
    QWidget *w = FindCtrl(panel, control);
    if (!w) return UIEBadControlId;
    if (auto *l = qobject_cast<QListWidget *>(w))
        *count = l->count();
    else if (auto *c = qobject_cast<QComboBox *>(w))
        *count = c->count();
    else
        return UIEOperationFailed;
    return 0;
}

int GetCtrlIndex(int panel, int control, int *index) {
    QWidget *w = FindCtrl(panel, control);
    if (!w) return UIEBadControlId;
    if (auto *l = qobject_cast<QListWidget *>(w))
        *index = l->currentRow();
    else if (auto *c = qobject_cast<QComboBox *>(w))
        *index = c->currentIndex();
    else
        return UIEOperationFailed;
    return 0;
}

int SetCtrlIndex(int panel, int control, int index) {
    QWidget *w = FindCtrl(panel, control);
    if (!w) return UIEBadControlId;
    if (auto *l = qobject_cast<QListWidget *>(w)) {
        if (index < 0 || index >= l->count()) return UIEOperationFailed;
        QSignalBlocker b(l);
        l->setCurrentRow(index);
        l->scrollToItem(l->item(index));
    } else if (auto *c = qobject_cast<QComboBox *>(w)) {
        if (index < 0 || index >= c->count()) return UIEOperationFailed;
        c->setCurrentIndex(index);
    } else {
        return UIEOperationFailed;
    }
    return 0;
}

int GetLabelFromIndex(int panel, int control, int index, std::string *label) {
    QWidget *w = FindCtrl(panel, control);
    if (!w) return UIEBadControlId;
    if (auto *l = qobject_cast<QListWidget *>(w)) {
        if (index < 0 || index >= l->count()) return UIEOperationFailed;
        *label = l->item(index)->text().toStdString();
    } else if (auto *c = qobject_cast<QComboBox *>(w)) {
        if (index < 0 || index >= c->count()) return UIEOperationFailed;
        *label = c->itemText(index).toStdString();
    } else {
        return UIEOperationFailed;
    }
    return 0;
}

int GetValueFromIndex(int panel, int control, int index, int *value) {
    QWidget *w = FindCtrl(panel, control);
    if (!w) return UIEBadControlId;
    if (auto *l = qobject_cast<QListWidget *>(w)) {
        if (index < 0 || index >= l->count()) return UIEOperationFailed;
        *value = l->item(index)->data(Qt::UserRole).toInt();
    } else if (auto *c = qobject_cast<QComboBox *>(w)) {
        if (index < 0 || index >= c->count()) return UIEOperationFailed;
        *value = c->itemData(index).toInt();
    } else {
        return UIEOperationFailed;
    }
    return 0;
}

int GetIndexFromValue(int panel, int control, int *index, int value) {
    int count = 0;
    int r = GetNumListItems(panel, control, &count);
    if (r != 0) return r;
    for (int i = 0; i < count; ++i) {
        int v = 0;
        GetValueFromIndex(panel, control, i, &v);
        if (v == value) {
            *index = i;
            return 0;
        }
    }
    *index = -1;
    return UIEOperationFailed;
}

int ResetTextBox(int panel, int control, const std::string &text) {
    auto *t = qobject_cast<QPlainTextEdit *>(FindCtrl(panel, control));
    if (!t) return UIEBadControlId;
    t->setPlainText(QString::fromStdString(text));
    return 0;
}

// ---------------------------------------------------------------- run-time controls

int NewCtrl(int panel, int style, const std::string &label, int top, int left) {
    Panel *p = FindPanel(panel);
    if (!p) return UIEBadPanelHandle;
    QWidget *w = nullptr;
    if (style == CTRL_RAISED_BOX) {
        auto *f = new QFrame(p->widget);
        f->setFrameStyle(QFrame::Box | QFrame::Raised);
        f->setLineWidth(1);
        f->setAttribute(Qt::WA_TransparentForMouseEvents);
        w = f;
    } else if (style == CTRL_TEXT_MSG) {
        auto *l = new QLabel(QString::fromStdString(label), p->widget);
        l->setAttribute(Qt::WA_TransparentForMouseEvents);
        // Readout lines sit in a narrow strip beside the graph: a smaller face.
        QFont font = l->font();
        font.setPointSizeF(font.pointSizeF() * 0.8);
        font.setStretch(QFont::SemiCondensed);
        l->setFont(font);
        w = l;
    } else {
        return UIEOperationFailed;
    }
    w->move(left, top);
    w->adjustSize();
    w->show();
    w->raise();
    return AddRuntimeCtrl(panel, w);
}

int DiscardCtrl(int panel, int control) {
    Panel *p = FindPanel(panel);
    if (!p) return UIEBadPanelHandle;
    auto it = p->controls.find(control);
    if (it == p->controls.end()) return UIEBadControlId;
    if (it->second) it->second->deleteLater();
    if (it->second) it->second->hide();
    p->controls.erase(it);
    return 0;
}
