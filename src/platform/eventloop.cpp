// Start of the run-time, the event loop, modal panels, the wait cursor.
#include "platform/internal.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QIcon>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPointer>
#include <QResource>
#include <QScreen>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <QXmlStreamReader>
#include <clocale>
#include <deque>
#include <malloc.h>
#include <set>

namespace rt {
std::deque<std::pair<int, int>> &UserEvents();
}

// Qt's raster engine hands each fill or image copy more than about a hundred
// lines tall to the global thread pool and waits for it, unless the painting
// thread is one of the pool's own. On a two-core machine the hand-over costs
// more than the sharing saves: re-tiling nine windows took 17 ms with it and
// 9 ms without, one graph's replot 0.9 ms and 0.6 ms. The program puts no work
// of its own in that pool, so every thread is counted as one of its own, and
// Qt paints on the thread that asks.
bool QThreadPool::contains(const QThread *) const {
    return true;
}

using namespace rt;

namespace {

QApplication *ownApp = nullptr;
bool quitRequested = false;
int quitCode = 0;
bool loopRunning = false;
bool waitCursor = false;
std::vector<int> popups;

// A curve on a dark face: the icon of every window of the program.
QIcon ProgramIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0x1f, 0x3a, 0x68));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(1, 1, 30, 30), 5, 5);
    painter.setPen(QPen(QColor(0xff, 0x60, 0x40), 2.5));
    QPainterPath curve(QPointF(5, 25));
    curve.cubicTo(QPointF(11, 25), QPointF(11, 8), QPointF(17, 8));
    curve.lineTo(QPointF(22, 8));
    curve.cubicTo(QPointF(25, 8), QPointF(25, 25), QPointF(28, 25));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(curve);
    return QIcon(pixmap);
}

// A double click belongs to the control that took its first press. The
// system pairs two presses by time and distance alone, so when the first one
// opens or closes a window under the pointer (a row of the import list opens
// a graph), the second lands elsewhere as a double click; there it is an
// ordinary press.
class DoubleClickWatcher : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        const QEvent::Type type = event->type();
        if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick) return false;
        if (!watched->isWidgetType()) return false;
        auto *mouse = static_cast<QMouseEvent *>(event);
        // A press a control left unhandled goes on to its parent, with the
        // same time: only its first receiver counts.
        const bool passedOn = mouse->timestamp() == lastTime_ && type == lastType_ &&
                              lastReceiver_ && watched == lastReceiver_->parent();
        lastReceiver_ = watched;
        if (passedOn) return false;
        lastTime_ = mouse->timestamp();
        lastType_ = type;
        if (type == QEvent::MouseButtonPress) {
            firstPress_ = watched;
            return false;
        }
        if (firstPress_ == watched) return false;
        QMouseEvent press(QEvent::MouseButtonPress, mouse->position(), mouse->scenePosition(),
                          mouse->globalPosition(), mouse->button(), mouse->buttons(),
                          mouse->modifiers(), mouse->pointingDevice());
        press.setTimestamp(mouse->timestamp());
        lastReceiver_ = nullptr; // the press is a new one, for this watcher too
        QApplication::sendEvent(watched, &press);
        return true;
    }

  private:
    QPointer<QObject> firstPress_;
    QPointer<QObject> lastReceiver_;
    quint64 lastTime_ = 0;
    QEvent::Type lastType_ = QEvent::None;
};

void WatchDoubleClicks() {
    static QPointer<DoubleClickWatcher> watcher;
    if (watcher || !QApplication::instance()) return;
    watcher = new DoubleClickWatcher(QApplication::instance());
    QApplication::instance()->installEventFilter(watcher);
}

// Opening, importing or saving passes megabytes through the heap; the
// allocator keeps what was freed for later, so the program would hold its
// largest moment's memory for good. When the loop goes idle after the free
// heap grew by a few megabytes, those pages go back to the system.
void ReleaseFreedMemoryWhenIdle() {
    auto *dispatcher = QAbstractEventDispatcher::instance();
    if (!dispatcher || dispatcher->property("velorinderTrims").toBool()) return;
    dispatcher->setProperty("velorinderTrims", true);
    QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, [] {
        constexpr std::size_t kGrowth = 4u << 20;
        static std::size_t freeAfterTrim = 0;
        const std::size_t free = mallinfo2().fordblks;
        if (free > freeAfterTrim + kGrowth) {
            malloc_trim(0);
            freeAfterTrim = free;
        } else if (free < freeAfterTrim) {
            freeAfterTrim = free;
        }
    });
}

} // namespace

int InitCVIRTE(int argc, char *argv[]) {
    if (QApplication::instance()) {
        WatchDoubleClicks();
        ReleaseFreedMemoryWhenIdle();
        return 1;
    }
    static int count = argc;
    // The menu bar belongs in the main window, whatever the desktop offers.
    QApplication::setAttribute(Qt::AA_DontUseNativeMenuBar);
    ownApp = new QApplication(count, argv);
    // Qt adopts the user's locale; numbers in files and texts keep the point.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setWindowIcon(ProgramIcon());
    // Lets desktops match the windows to the installed menu entry and its icon.
    QGuiApplication::setDesktopFileName("org.velorinder.Velorinder");
    QApplication::setStyle("Fusion");
    WatchDoubleClicks();
    ReleaseFreedMemoryWhenIdle();
    return 1;
}

void CloseCVIRTE() {
    delete ownApp;
    ownApp = nullptr;
}

int InstallPopup(int panel) {
    Panel *p = FindPanel(panel);
    if (!p) return UIEBadPanelHandle;
    p->isPopup = true;
    QWidget *w = p->widget;
    if (!w->isWindow()) w->setWindowFlags(Qt::Dialog);
    w->setWindowModality(Qt::ApplicationModal);
    if (!w->property("rtPlaced").toBool()) {
        // A dialog the program has not placed opens over the main window.
        w->adjustSize();
        QRect area = QGuiApplication::primaryScreen()
                         ? QGuiApplication::primaryScreen()->availableGeometry()
                         : QRect();
        for (QWidget *top : QApplication::topLevelWidgets())
            if (top->isVisible() && top->inherits("QMainWindow")) {
                area = top->frameGeometry();
                break;
            }
        if (area.isValid()) w->move(area.center() - QPoint(w->width() / 2, w->height() / 2));
    }
    w->show();
    w->raise();
    w->activateWindow();
    popups.push_back(panel);
    return 0;
}

int RemovePopup(int all) {
    while (!popups.empty()) {
        int panel = popups.back();
        popups.pop_back();
        if (Panel *p = FindPanel(panel)) {
            p->widget->hide();
            p->widget->setWindowModality(Qt::NonModal);
            p->isPopup = false;
        }
        if (all == 0) break;
    }
    return 0;
}

int RunUserInterface() {
    if (quitRequested) {
        quitRequested = false;
        return quitCode;
    }
    loopRunning = true;
    int r = QApplication::exec();
    loopRunning = false;
    quitRequested = false;
    return r;
}

int QuitUserInterface(int returnCode) {
    quitCode = returnCode;
    if (loopRunning)
        QApplication::exit(returnCode);
    else
        quitRequested = true;
    return 0;
}

int GetUserEvent(int wait, int *panel, int *control) {
    auto &q = UserEvents();
    QApplication::processEvents();
    while (wait && q.empty()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    if (q.empty()) return EVENT_NONE;
    auto [p, c] = q.front();
    q.pop_front();
    if (panel) *panel = p;
    if (control) *control = c;
    return EVENT_COMMIT;
}

int ProcessDrawEvents() {
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    return 0;
}

int ProcessSystemEvents() {
    QApplication::processEvents();
    return 0;
}

int SetWaitCursor(int on) {
    if (on && !waitCursor)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else if (!on && waitCursor)
        QApplication::restoreOverrideCursor();
    waitCursor = on != 0;
    return 0;
}

int GetWaitCursorState() {
    return waitCursor ? 1 : 0;
}

void Delay(double seconds) {
    // Keeps painting (the splash panel) without running the user's commands.
    QElapsedTimer t;
    t.start();
    qint64 ms = static_cast<qint64>(seconds * 1000);
    while (t.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        QThread::msleep(std::min<qint64>(10, ms - t.elapsed() > 0 ? ms - t.elapsed() : 0));
    }
}

int ResetTimer(int, int) {
    return 0;
}

int MakeApplicationActive() {
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->inherits("QMainWindow")) {
            w->raise();
            w->activateWindow();
        }
    return 0;
}

void PostDeferredCall(std::function<void()> fn, int delayMs) {
    QTimer::singleShot(delayMs, QApplication::instance(), std::move(fn));
}

std::vector<std::string> ResourceCallbackNames(const std::string &resourceFile) {
    std::set<std::string> names;
    const QString root = "/velorpnl-scan";
    if (!QResource::registerResource(QString::fromStdString(resourceFile), root)) return {};
    QDirIterator it(":" + root, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QString path = it.next();
        if (!path.endsWith(".ui")) continue;
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) continue;
        QXmlStreamReader xml(&f);
        bool inCallback = false;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == u"property")
                inCallback = xml.attributes().value("name") == u"callback";
            else if (xml.isStartElement() && inCallback &&
                     (xml.name() == u"string" || xml.name() == u"cstring")) {
                std::string n = xml.readElementText().trimmed().toStdString();
                if (!n.empty()) names.insert(n);
                inCallback = false;
            } else if (xml.isEndElement() && xml.name() == u"property")
                inCallback = false;
        }
    }
    QResource::unregisterResource(QString::fromStdString(resourceFile), root);
    return {names.begin(), names.end()};
}
