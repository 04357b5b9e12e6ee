// Bitmaps of panels and the system clipboard, over widget grabbing and
// QClipboard.
#include "platform/internal.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>

#include <map>

namespace {

std::map<int, QImage> bitmaps;
int nextBitmap = 1;

} // namespace

int GetPanelDisplayBitmap(int panel, int scope, Rect area, int *bitmap) {
    rt::Panel *p = rt::FindPanel(panel);
    if (!p || !p->widget) return UIEBadPanelHandle;
    if (!bitmap) return UIEOperationFailed;
    QWidget *source = p->widget;
    // Pending moves and resizes are laid out first; user input waits.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    const QRect whole = source->rect();
    QRect wanted(area.left, area.top,
                 area.width == VAL_TO_EDGE ? whole.width() - area.left : area.width,
                 area.height == VAL_TO_EDGE ? whole.height() - area.top : area.height);
    if (scope == VAL_VISIBLE_AREA) wanted &= source->visibleRegion().boundingRect();
    wanted &= whole;
    if (wanted.isEmpty()) return UIEOperationFailed;
    QImage image = source->grab(wanted).toImage();
    if (image.isNull()) return UIEOperationFailed;
    // At its size on screen, whatever the screen's pixel ratio.
    image.setDevicePixelRatio(1.0);
    if (image.size() != wanted.size())
        image = image.scaled(wanted.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    *bitmap = nextBitmap++;
    bitmaps[*bitmap] = image;
    return 0;
}

int ClipboardPutBitmap(int bitmap) {
    auto it = bitmaps.find(bitmap);
    if (it == bitmaps.end()) return UIEOperationFailed;
    QClipboard *clipboard = QApplication::clipboard();
    if (!clipboard) return UIEOperationFailed;
    clipboard->setImage(it->second);
    return 0;
}

int ClipboardPutText(const std::string &text) {
    QClipboard *clipboard = QApplication::clipboard();
    if (!clipboard) return UIEOperationFailed;
    clipboard->setText(QString::fromStdString(text));
    return 0;
}

int DiscardBitmap(int bitmap) {
    return bitmaps.erase(bitmap) ? 0 : UIEOperationFailed;
}
