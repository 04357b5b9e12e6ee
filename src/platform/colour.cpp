// The colour control: a tool button that shows a colour and lets the user pick
// another in Qt's colour dialog; a picked colour is the control's commit.
#include "platform/internal.h"

#include <QColorDialog>
#include <QPainter>
#include <QPixmap>
#include <QToolButton>
#include <cstdio>
#include <cstdlib>

namespace rt {

namespace {

constexpr int kSwatchWidth = 64, kSwatchHeight = 36;

QColor ToColour(int rgb) {
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

std::string HexText(int rgb) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%06X", rgb & 0xFFFFFF);
    return text;
}

// Asks for a colour, starting from `initial`; false when the user cancels.
// Scripted: answer button 1 with the colour in `response` ("0xRRGGBB" or
// decimal) picks it, anything else cancels.
bool AskColour(QWidget *parent, int initial, int *picked) {
    const QString title = QColorDialog::tr("Select Color");
    PopupAnswer a;
    if (ScriptedPopup({"colour", title.toStdString(), HexText(initial), {}}, &a)) {
        if (a.button != 1) return false;
        char *end = nullptr;
        long v = std::strtol(a.response.c_str(), &end, 0);
        if (end == a.response.c_str() || v < 0 || v > 0xFFFFFF) return false;
        *picked = static_cast<int>(v);
        return true;
    }
    // Qt's own dialog, not the desktop's, so that it speaks the program's language.
    QColorDialog d(ToColour(initial), parent);
    d.setOption(QColorDialog::DontUseNativeDialog);
    d.setWindowTitle(title);
    if (d.exec() != QDialog::Accepted) return false;
    QColor c = d.selectedColor();
    *picked = (c.red() << 16) | (c.green() << 8) | c.blue();
    return true;
}

} // namespace

bool IsColourPicker(const QWidget *w) {
    return qobject_cast<const QToolButton *>(w) && w->property("colourPicker").toBool();
}

void SetPickerColour(QWidget *w, int rgb) {
    auto *button = qobject_cast<QToolButton *>(w);
    if (!button) return;
    rgb &= 0xFFFFFF;
    button->setProperty("rtColour", rgb);
    QPixmap swatch(kSwatchWidth, kSwatchHeight);
    swatch.fill(ToColour(rgb));
    QPainter frame(&swatch);
    frame.setPen(QColor(64, 64, 64));
    frame.drawRect(0, 0, kSwatchWidth - 1, kSwatchHeight - 1);
    frame.end();
    button->setIconSize(swatch.size());
    button->setIcon(QIcon(swatch));
}

int PickerColour(const QWidget *w) {
    return w->property("rtColour").toInt();
}

void ConnectColourPicker(int panel, int control, QWidget *w) {
    auto *button = qobject_cast<QToolButton *>(w);
    if (!button) return;
    if (!button->property("rtColour").isValid()) SetPickerColour(button, 0);
    QObject::connect(button, &QToolButton::clicked, button, [panel, control, button] {
        int picked = 0;
        if (!AskColour(button->window(), PickerColour(button), &picked)) return;
        SetPickerColour(button, picked);
        DispatchCtrlEvent(panel, control, EVENT_COMMIT);
    });
}

} // namespace rt
