// Scroll bar made from a panel control: a QScrollBar, either the control
// itself or one laid over it, whose user changes reach a control callback.
#include "toolbox/toolbox.h"

#include "platform/internal.h"

#include <QKeyEvent>
#include <QPointer>
#include <QScrollBar>
#include <QVBoxLayout>

#include <map>

namespace {

class ScrollBarLink : public QObject {
  public:
    ScrollBarLink(int panel, int control, QWidget *ctrl, QScrollBar *bar, CtrlCallbackPtr callback)
        : QObject(bar), panel_(panel), control_(control), ctrl_(ctrl), bar_(bar),
          callback_(callback) {
        bar->setOrientation(Qt::Horizontal);
        bar->setSingleStep(1);
        bar->setTracking(true);
        bar->setFocusPolicy(Qt::NoFocus);
        bar->installEventFilter(this);
        connect(bar, &QAbstractSlider::actionTriggered, this, [this](int action) {
            switch (action) {
            case QAbstractSlider::SliderSingleStepAdd:
            case QAbstractSlider::SliderSingleStepSub:
                pending_ = kScrollBarEventLine;
                break;
            case QAbstractSlider::SliderPageStepAdd:
            case QAbstractSlider::SliderPageStepSub:
                pending_ = kScrollBarEventPage;
                break;
            case QAbstractSlider::SliderToMinimum:
            case QAbstractSlider::SliderToMaximum:
                pending_ = kScrollBarEventEnd;
                break;
            case QAbstractSlider::SliderMove:
                pending_ = kScrollBarEventDrag;
                break;
            default:
                pending_ = 0;
                break;
            }
        });
        connect(bar, &QAbstractSlider::valueChanged, this, [this](int) {
            int event = pending_;
            pending_ = 0;
            if (event != 0) Notify(event);
        });
        connect(bar, &QAbstractSlider::sliderReleased, this,
                [this] { Notify(kScrollBarEventRelease); });
    }

    // The widget whose geometry is the bar's (the control the program moves).
    QWidget *Outer() const { return ctrl_ ? ctrl_.data() : bar_.data(); }
    QScrollBar *Bar() const { return bar_; }

    int colour = 0xFFFFFF;
    int keyboard = 0;

    // A change made by the program itself never calls the callback.
    void SetQuietly(const std::function<void()> &change) {
        pending_ = 0;
        QSignalBlocker block(bar_);
        change();
    }

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (watched != bar_ || event->type() != QEvent::KeyPress) return false;
        auto *key = static_cast<QKeyEvent *>(event);
        int v = bar_->value();
        switch (key->key()) {
        case Qt::Key_Left:
        case Qt::Key_Up:
            v -= bar_->singleStep();
            break;
        case Qt::Key_Right:
        case Qt::Key_Down:
            v += bar_->singleStep();
            break;
        case Qt::Key_Home:
            v = bar_->minimum();
            break;
        case Qt::Key_End:
            v = bar_->maximum();
            break;
        case Qt::Key_PageUp:
            v -= bar_->pageStep();
            break;
        case Qt::Key_PageDown:
            v += bar_->pageStep();
            break;
        default:
            return false; // Tab and the rest go on to the panel
        }
        SetQuietly([&] { bar_->setValue(v); });
        Notify(kScrollBarEventKey);
        return true;
    }

  private:
    void Notify(int event) {
        if (callback_) callback_(panel_, control_, event, nullptr, bar_->value(), 0);
    }

    int panel_;
    int control_;
    QPointer<QWidget> ctrl_;
    QPointer<QScrollBar> bar_;
    CtrlCallbackPtr callback_;
    int pending_ = 0;
};

std::map<std::pair<int, int>, QPointer<ScrollBarLink>> links;

ScrollBarLink *Find(int panel, int control) {
    auto it = links.find({panel, control});
    if (it == links.end()) return nullptr;
    if (!it->second || !rt::FindCtrl(panel, control)) {
        links.erase(it); // its panel was discarded; the handles may come back
        return nullptr;
    }
    return it->second;
}

} // namespace

int ScrollBar_ConvertFromGraph(int panel, int control, CtrlCallbackPtr callback) {
    QWidget *ctrl = rt::FindCtrl(panel, control);
    if (!ctrl) return kScrollBarErrNotConverted;
    if (ScrollBarLink *old = Find(panel, control)) {
        links.erase({panel, control});
        delete old;
    }
    auto *bar = qobject_cast<QScrollBar *>(ctrl);
    QWidget *outer = nullptr;
    if (!bar) {
        // Any other control becomes the frame of a bar that fills it.
        bar = new QScrollBar(ctrl);
        auto *layout = new QVBoxLayout(ctrl);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(bar);
        bar->show();
        outer = ctrl;
    }
    bar->setRange(0, 100);
    bar->setPageStep(10);
    bar->setValue(0);
    links[{panel, control}] = new ScrollBarLink(panel, control, outer, bar, callback);
    return 0;
}

int ScrollBar_SetAttribute(int panel, int control, int attribute, int value) {
    ScrollBarLink *link = Find(panel, control);
    if (!link) return kScrollBarErrNotConverted;
    QScrollBar *bar = link->Bar();
    QWidget *outer = link->Outer();
    bool vertical = bar->orientation() == Qt::Vertical;
    switch (attribute) {
    case kScrollBarAttrPosition:
        if (value < bar->minimum() || value > bar->maximum()) return kScrollBarErrOutOfRange;
        link->SetQuietly([&] { bar->setValue(value); });
        return 0;
    case kScrollBarAttrPage:
        if (value < 0) return kScrollBarErrOutOfRange;
        link->SetQuietly([&] { bar->setPageStep(value); });
        return 0;
    case kScrollBarAttrMinimum:
        if (value > bar->maximum()) return kScrollBarErrOutOfRange;
        link->SetQuietly([&] { bar->setMinimum(value); });
        return 0;
    case kScrollBarAttrMaximum:
        if (value < bar->minimum()) return kScrollBarErrOutOfRange;
        link->SetQuietly([&] { bar->setMaximum(value); });
        return 0;
    case kScrollBarAttrColour: {
        if (value < 0 || value > 0xFFFFFF) return kScrollBarErrOutOfRange;
        link->colour = value;
        QColor c((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
        QPalette pal = bar->palette();
        pal.setColor(QPalette::Window, c);
        pal.setColor(QPalette::Base, c);
        pal.setColor(QPalette::Button, c);
        bar->setPalette(pal);
        bar->setAutoFillBackground(true);
        return 0;
    }
    case kScrollBarAttrLength:
        if (value < 64 || value > 32767) return kScrollBarErrOutOfRange;
        if (vertical)
            outer->resize(outer->width(), value);
        else
            outer->resize(value, outer->height());
        return 0;
    case kScrollBarAttrThickness:
        if (value < 16 || value > 32767) return kScrollBarErrOutOfRange;
        if (vertical)
            outer->resize(value, outer->height());
        else
            outer->resize(outer->width(), value);
        return 0;
    case kScrollBarAttrVertical: {
        if (value != 0 && value != 1) return kScrollBarErrOutOfRange;
        bool wantVertical = value == 1;
        if (wantVertical != vertical) {
            bar->setOrientation(wantVertical ? Qt::Vertical : Qt::Horizontal);
            outer->resize(outer->height(), outer->width()); // length and thickness swap
        }
        return 0;
    }
    case kScrollBarAttrArrowStep:
        if (value < 1) return kScrollBarErrOutOfRange;
        link->SetQuietly([&] { bar->setSingleStep(value); });
        return 0;
    case kScrollBarAttrKeyboard:
        if (value != 0 && value != 1) return kScrollBarErrOutOfRange;
        link->keyboard = value;
        bar->setFocusPolicy(value ? Qt::StrongFocus : Qt::NoFocus);
        return 0;
    default:
        return kScrollBarErrBadAttribute;
    }
}

int ScrollBar_GetAttribute(int panel, int control, int attribute, int *value) {
    ScrollBarLink *link = Find(panel, control);
    if (!link) return kScrollBarErrNotConverted;
    QScrollBar *bar = link->Bar();
    QWidget *outer = link->Outer();
    bool vertical = bar->orientation() == Qt::Vertical;
    switch (attribute) {
    case kScrollBarAttrPosition:
        *value = bar->value();
        return 0;
    case kScrollBarAttrPage:
        *value = bar->pageStep();
        return 0;
    case kScrollBarAttrMinimum:
        *value = bar->minimum();
        return 0;
    case kScrollBarAttrMaximum:
        *value = bar->maximum();
        return 0;
    case kScrollBarAttrColour:
        *value = link->colour;
        return 0;
    case kScrollBarAttrLength:
        *value = vertical ? outer->height() : outer->width();
        return 0;
    case kScrollBarAttrThickness:
        *value = vertical ? outer->width() : outer->height();
        return 0;
    case kScrollBarAttrVertical:
        *value = vertical ? 1 : 0;
        return 0;
    case kScrollBarAttrArrowStep:
        *value = bar->singleStep();
        return 0;
    case kScrollBarAttrKeyboard:
        *value = link->keyboard;
        return 0;
    default:
        return kScrollBarErrBadAttribute;
    }
}
