// A user at the keyboard of an installed program, for the install test: Qt
// loads this plugin into the program (QT_QPA_GENERIC_PLUGINS), and it answers
// the program's windows from a script, step by step, as a person would, and
// notes what it saw in a log. Steps, one per line, fields split by tabs:
//   click <title part> <button text>   press a button of a window or panel
//   menu <item id>                     choose a menu item of the main window
//   file <title part> <path>           answer a file dialog ("" cancels); notes its folder
//   list <folder>                      notes the names in a folder
//   close <title part>                 closes a window
//   wait <milliseconds>                lets the program run on
//   shot <png file>                    a picture of the screen, for a person to look at
//   windows                            notes the graph windows: title, "modified" or "saved"
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QGenericPlugin>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSet>
#include <QTextStream>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

constexpr int kStepTimeoutMs = 60000;

class Driver : public QObject {
  public:
    Driver() {
        QFile script(qEnvironmentVariable("VELORINDER_DRIVER_SCRIPT"));
        if (script.open(QIODevice::ReadOnly | QIODevice::Text))
            for (const QString &line : QString::fromUtf8(script.readAll()).split('\n'))
                if (!line.trimmed().isEmpty()) steps_.push_back(line.split('\t'));
        log_ = std::fopen(qPrintable(qEnvironmentVariable("VELORINDER_DRIVER_LOG")), "w");
        connect(&timer_, &QTimer::timeout, this, &Driver::Poll);
        timer_.start(50);
        stepStart_.start();
    }

  private:
    void Log(const QString &what, const QString &detail = {}) {
        if (!log_) return;
        std::fprintf(log_, "%s\t%s\n", qPrintable(what), qPrintable(detail));
        std::fflush(log_);
    }

    // Every window that comes up, once per title it shows.
    void NoteWindows() {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (!w->isVisible() || w->windowTitle().isEmpty()) continue;
            QString key = QString::number(reinterpret_cast<quintptr>(w)) + w->windowTitle();
            if (seen_.contains(key)) continue;
            seen_.insert(key);
            Log("seen", w->windowTitle());
        }
    }

    static QWidget *Window(const QString &titlePart) {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->windowTitle().contains(titlePart)) return w;
        return nullptr;
    }

    // An item a person could choose: it and the menus that hold it are not dimmed.
    static bool Choosable(QAction *a) {
        if (!a->isEnabled()) return false;
        for (QObject *o : a->associatedObjects())
            if (auto *menu = qobject_cast<QMenu *>(o)) return Choosable(menu->menuAction());
        return true;
    }

    static QString Plain(QString text) { return text.remove('&'); }

    // Runs once this event handler has returned, so that a modal window the
    // action opens does not hold up the driver.
    static void Later(std::function<void()> action) {
        QTimer::singleShot(0, qApp, std::move(action));
    }

    // True when the step is done.
    bool Try(const QStringList &step) {
        const QString &command = step.value(0);
        if (command == "click") {
            // Windows, and panels shown inside the main window.
            for (QWidget *w : QApplication::allWidgets()) {
                if (!w->isVisible() || !w->windowTitle().contains(step.value(1))) continue;
                for (QAbstractButton *b : w->findChildren<QAbstractButton *>())
                    if (b->isVisible() && b->isEnabled() && Plain(b->text()) == step.value(2)) {
                        QPointer<QAbstractButton> button = b;
                        Later([button] {
                            if (button) button->click();
                        });
                        return true;
                    }
            }
            return false;
        }
        if (command == "menu") {
            if (QApplication::activeModalWidget()) return false;
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *main = qobject_cast<QMainWindow *>(w);
                if (!main || !main->isVisible()) continue;
                for (QAction *a : main->findChildren<QAction *>())
                    if (a->property("itemId").isValid() &&
                        a->property("itemId").toInt() == step.value(1).toInt() && Choosable(a)) {
                        QPointer<QAction> action = a;
                        Later([action] {
                            if (action) action->trigger();
                        });
                        return true;
                    }
            }
            return false;
        }
        if (command == "file") {
            QFileDialog *d = nullptr;
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *f = qobject_cast<QFileDialog *>(w);
                    f && f->isVisible() && f->windowTitle().contains(step.value(1)))
                    d = f;
            if (!d) return false;
            Log("dir", d->directory().absolutePath());
            const QString path = step.value(2);
            QPointer<QFileDialog> dialog = d;
            Later([dialog, path] {
                if (!dialog) return;
                if (path.isEmpty()) {
                    dialog->reject();
                    return;
                }
                if (auto *edit = dialog->findChild<QLineEdit *>("fileNameEdit"))
                    edit->setText(path);
                auto *box = dialog->findChild<QDialogButtonBox *>();
                QAbstractButton *accept = box ? box->button(QDialogButtonBox::Open) : nullptr;
                if (!accept && box) accept = box->button(QDialogButtonBox::Save);
                if (accept)
                    accept->click();
                else
                    dialog->reject();
            });
            return true;
        }
        if (command == "list") {
            for (const QString &name :
                 QDir(step.value(1))
                     .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
                Log("entry", name);
            return true;
        }
        if (command == "wait") return stepStart_.elapsed() >= step.value(1).toInt();
        if (command == "shot") {
            QScreen *screen = QGuiApplication::primaryScreen();
            if (!screen || !screen->grabWindow(0).save(step.value(1))) Log("noshot", step.value(1));
            return true;
        }
        if (command == "windows") {
            for (QWidget *w : QApplication::allWidgets())
                if (auto *sub = qobject_cast<QMdiSubWindow *>(w); sub && sub->isVisible())
                    Log("window", QString(sub->windowTitle()).remove("[*]") + "\t" +
                                      (sub->isWindowModified() ? "modified" : "saved"));
            return true;
        }
        if (command == "close") {
            QWidget *w = Window(step.value(1));
            if (!w) return false;
            QPointer<QWidget> window = w;
            Later([window] {
                if (window) window->close();
            });
            return true;
        }
        Log("unknown", command);
        return true;
    }

    void Poll() {
        NoteWindows();
        if (next_ >= steps_.size()) return;
        const QStringList &step = steps_[next_];
        if (Try(step)) {
            Log("done", step.join(' '));
            ++next_;
            stepStart_.restart();
            return;
        }
        if (stepStart_.elapsed() > kStepTimeoutMs) {
            Log("timeout", step.join(' '));
            // The program waits in a window nobody answers: end it.
            std::_Exit(3);
        }
    }

    std::vector<QStringList> steps_;
    std::size_t next_ = 0;
    std::FILE *log_ = nullptr;
    QTimer timer_;
    QElapsedTimer stepStart_;
    QSet<QString> seen_;
};

} // namespace

class DriverPlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "driver.json")
  public:
    QObject *create(const QString &key, const QString &) override {
        if (key.compare("velorinderdriver", Qt::CaseInsensitive) != 0) return nullptr;
        return new Driver;
    }
};

#include "driver.moc"
