// Timers for the program's own background work, files dropped from the
// desktop, and the lock that tells a running program from one that died.
#include "platform/internal.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <map>
#include <sys/file.h>
#include <unistd.h>

using namespace rt;

namespace {

std::map<int, QPointer<QTimer>> timers;
int nextTimerId = 1;

std::vector<std::string> LocalFiles(const QMimeData *data) {
    std::vector<std::string> paths;
    if (!data || !data->hasUrls()) return paths;
    for (const QUrl &url : data->urls())
        if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
    return paths;
}

class DropTaker : public QObject {
  public:
    DropTaker(QObject *parent, std::function<void(const std::vector<std::string> &)> fn)
        : QObject(parent), fn_(std::move(fn)) {
        setObjectName(kName);
    }
    static constexpr const char *kName = "rtDropTaker";

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
            auto *drag = static_cast<QDragMoveEvent *>(event);
            if (!LocalFiles(drag->mimeData()).empty()) {
                drag->acceptProposedAction();
                return true;
            }
        } else if (event->type() == QEvent::Drop) {
            auto *drop = static_cast<QDropEvent *>(event);
            std::vector<std::string> paths = LocalFiles(drop->mimeData());
            if (!paths.empty()) {
                drop->acceptProposedAction();
                // The program opens them once the drag has ended, so that the
                // file manager is not held while popups wait for the user.
                QTimer::singleShot(0, QApplication::instance(), [fn = fn_, paths] { fn(paths); });
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    std::function<void(const std::vector<std::string> &)> fn_;
};

} // namespace

int StartTimer(int intervalMs, bool repeat, std::function<void()> fn) {
    auto *timer = new QTimer(QApplication::instance());
    timer->setSingleShot(!repeat);
    timer->setInterval(intervalMs);
    const int id = nextTimerId++;
    QObject::connect(timer, &QTimer::timeout, timer, [id, repeat, fn = std::move(fn)] {
        if (!repeat) StopTimer(id);
        fn();
    });
    timers[id] = timer;
    timer->start();
    return id;
}

void StopTimer(int timerId) {
    auto it = timers.find(timerId);
    if (it == timers.end()) return;
    if (it->second) {
        it->second->stop();
        it->second->deleteLater();
    }
    timers.erase(it);
}

void SetFileDropCallback(int panel, std::function<void(const std::vector<std::string> &)> fn) {
    QWidget *w = PanelWidget(panel);
    if (!w) return;
    for (QObject *old : w->findChildren<QObject *>(DropTaker::kName, Qt::FindDirectChildrenOnly))
        delete old;
    w->setAcceptDrops(fn != nullptr);
    if (fn) w->installEventFilter(new DropTaker(w, std::move(fn)));
}

bool DropFilesForTesting(int panel, const std::vector<std::string> &paths) {
    QWidget *w = PanelWidget(panel);
    if (!w) return false;
    QMimeData data;
    QList<QUrl> urls;
    for (const std::string &path : paths)
        urls.push_back(QUrl::fromLocalFile(QString::fromStdString(path)));
    data.setUrls(urls);
    const QPointF at(w->width() / 2.0, w->height() / 2.0);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &drop);
    return drop.isAccepted();
}

int GetScreenWorkArea(int *top, int *left, int *height, int *width) {
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen) return -1;
    const QRect area = screen->availableGeometry();
    // The window manager adds a title bar and borders around what the panel
    // counts; a window already shown tells their size, else the style's guess.
    QMargins frame(0, QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight), 0, 0);
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible() && !w->isMinimized() && w->frameGeometry() != w->geometry()) {
            const QRect outer = w->frameGeometry(), inner = w->geometry();
            frame = QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                             outer.right() - inner.right(), outer.bottom() - inner.bottom());
            break;
        }
    if (top) *top = area.top();
    if (left) *left = area.left();
    if (height) *height = std::max(0, area.height() - frame.top() - frame.bottom());
    if (width) *width = std::max(0, area.width() - frame.left() - frame.right());
    return 0;
}

int HoldRunLock(const std::string &path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) != 0 ||
        ::write(fd, pid.data(), pid.size()) != static_cast<ssize_t>(pid.size())) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void ReleaseRunLock(int handle, const std::string &path) {
    if (handle < 0) return;
    ::unlink(path.c_str());
    ::close(handle);
}

bool RunLockHeld(const std::string &path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}
