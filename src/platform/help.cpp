// The help viewer that stands in for the Windows help engine: Qt Help over a
// compiled help file, with a contents tree, a keyword index, the page, and
// back and forward.
#include "platform/platform.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHelpContentItem>
#include <QHelpContentModel>
#include <QHelpContentWidget>
#include <QHelpEngine>
#include <QHelpIndexWidget>
#include <QHelpLink>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

struct ViewerTexts {
    const char *code;
    const char *title;
    const char *contents;
    const char *index;
    const char *lookFor;
    const char *back;
    const char *forward;
    const char *missing;    // %1: the file
    const char *unreadable; // %1: the file
};

const ViewerTexts kTexts[] = {
    {"en", "VELORINDER - Help", "Contents", "Index", "Look for:", "Back", "Forward",
     "The help file %1 cannot be found.", "The help file %1 cannot be read: it is no help file."},
    {"fr", "VELORINDER - Aide", "Sommaire", "Index", "Rechercher :", "Précédent", "Suivant",
     "Le fichier d'aide %1 est introuvable.",
     "Le fichier d'aide %1 ne peut pas être lu : ce n'est pas un fichier d'aide."},
    {"de", "VELORINDER - Hilfe", "Inhalt", "Index", "Suchen nach:", "Zurück", "Vorwärts",
     "Die Hilfedatei %1 wurde nicht gefunden.",
     "Die Hilfedatei %1 kann nicht gelesen werden: sie ist keine Hilfedatei."},
    {"es", "VELORINDER - Ayuda", "Sumario", "Índice", "Buscar:", "Atrás", "Adelante",
     "No se encuentra el fichero de ayuda %1.",
     "El fichero de ayuda %1 no se puede leer: no es un fichero de ayuda."},
    {"it", "VELORINDER - Aiuto", "Sommario", "Indice", "Cerca:", "Indietro", "Avanti",
     "Impossibile trovare il file di aiuto %1.",
     "Impossibile leggere il file di aiuto %1: non è un file di aiuto."},
};

const ViewerTexts *texts = &kTexts[0];

const QString COLLECTION_PREFIX = "velorinder-help-";

// The collection file must be a real file; each opening gets its own, so a
// help file replaced by a change of language is read afresh. Installed, they
// are made in the user's cache folder rather than the shared temporary one.
// The name carries the process id, so that what a killed run left is known.
QTemporaryDir &WorkDir() {
    static QTemporaryDir dir([] {
        const QString base = QString::fromStdString(HelpCollectionFolder());
        if (!RemoveStaleHelpCollections(base.toStdString()))
            std::fprintf(stderr, "velorinder: a stale help collection in %s cannot be removed\n",
                         qPrintable(base));
        return base + "/" + COLLECTION_PREFIX + QString::number(::getpid()) + "-XXXXXX";
    }());
    return dir;
}

// Pages, pictures and styles come out of the help engine.
class HelpPage : public QTextBrowser {
  public:
    explicit HelpPage(QWidget *parent) : QTextBrowser(parent) {}
    QPointer<QHelpEngine> engine;

  protected:
    QVariant loadResource(int type, const QUrl &url) override {
        if (engine && url.scheme() == "qthelp") return engine->fileData(url);
        return QTextBrowser::loadResource(type, url);
    }
};

class HelpViewer : public QWidget {
  public:
    HelpViewer() : QWidget(nullptr, Qt::Window) {
        setObjectName("helpViewer");
        resize(860, 600);

        tabs_ = new QTabWidget;
        tabs_->setObjectName("tabs");
        contentsTab_ = new QWidget;
        new QVBoxLayout(contentsTab_);
        indexTab_ = new QWidget;
        auto *indexLayout = new QVBoxLayout(indexTab_);
        lookFor_ = new QLabel;
        keywordField_ = new QLineEdit;
        keywordField_->setObjectName("keywordField");
        keywordField_->installEventFilter(this);
        indexLayout->addWidget(lookFor_);
        indexLayout->addWidget(keywordField_);
        tabs_->addTab(contentsTab_, QString());
        tabs_->addTab(indexTab_, QString());

        back_ = new QPushButton;
        back_->setObjectName("back");
        forward_ = new QPushButton;
        forward_->setObjectName("forward");
        auto *right = new QWidget;
        rightLayout_ = new QVBoxLayout(right);
        rightLayout_->setContentsMargins(0, 0, 0, 0);
        auto *buttons = new QHBoxLayout;
        buttons->addWidget(back_);
        buttons->addWidget(forward_);
        buttons->addStretch();
        rightLayout_->addLayout(buttons);
        NewPage();

        auto *splitter = new QSplitter;
        splitter->addWidget(tabs_);
        splitter->addWidget(right);
        splitter->setStretchFactor(1, 3);
        splitter->setSizes({260, 600});
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(splitter);

        connect(keywordField_, &QLineEdit::textChanged, this, [this](const QString &text) {
            if (index_) index_->filterIndices(text);
        });
        connect(keywordField_, &QLineEdit::returnPressed, this, [this] {
            if (index_) index_->activateCurrentItem();
        });
    }

    ~HelpViewer() override { DropEngine(); }

    int Open(const QString &file, int command) {
        ApplyTexts();
        DropEngine();
        NewPage();
        pageShown_ = false;
        int result = Load(file);
        tabs_->setEnabled(result == 0);
        tabs_->setCurrentWidget(command == HELP_PARTIALKEY ? indexTab_ : contentsTab_);
        showNormal();
        raise();
        activateWindow();
        if (command == HELP_PARTIALKEY && result == 0) {
            keywordField_->clear();
            keywordField_->setFocus(Qt::OtherFocusReason);
        }
        return result;
    }

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        // Up and Down in the keyword field walk the index, as the field filters it.
        if (watched == keywordField_ && event->type() == QEvent::KeyPress && index_) {
            int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Up || key == Qt::Key_Down) {
                QApplication::sendEvent(index_, event);
                return true;
            }
        }
        return QWidget::eventFilter(watched, event);
    }

  private:
    void ApplyTexts() {
        setWindowTitle(QString::fromUtf8(texts->title));
        tabs_->setTabText(0, QString::fromUtf8(texts->contents));
        tabs_->setTabText(1, QString::fromUtf8(texts->index));
        lookFor_->setText(QString::fromUtf8(texts->lookFor));
        back_->setText(QString::fromUtf8(texts->back));
        forward_->setText(QString::fromUtf8(texts->forward));
    }

    void Message(const char *text, const QString &file) {
        page_->setHtml("<h3>" + QString::fromUtf8(text).arg(file.toHtmlEscaped()) + "</h3>");
    }

    int Load(const QString &file) {
        if (!QFileInfo(file).isFile()) {
            Message(texts->missing, file);
            return UIEFileNotFound;
        }
        static int opening = 0;
        ++opening;
        QTemporaryDir &dir = WorkDir();
        const QString copy = dir.filePath(QString("help%1.qch").arg(opening));
        const QString space = QHelpEngineCore::namespaceName(file);
        if (space.isEmpty() || !QFile::copy(file, copy)) {
            Message(texts->unreadable, file);
            return UIEOperationFailed;
        }
        engine_ = new QHelpEngine(dir.filePath(QString("help%1.qhc").arg(opening)), this);
        engine_->setReadOnly(false);
        engine_->setUsesFilterEngine(true);
        if (!engine_->setupData() || !engine_->registerDocumentation(copy)) {
            DropEngine();
            Message(texts->unreadable, file);
            return UIEOperationFailed;
        }
        page_->engine = engine_;

        contents_ = engine_->contentWidget();
        contents_->setObjectName("contents");
        contentsTab_->layout()->addWidget(contents_);
        index_ = engine_->indexWidget();
        index_->setObjectName("index");
        indexTab_->layout()->addWidget(index_);

        connect(contents_, &QHelpContentWidget::linkActivated, this, &HelpViewer::Show);
        connect(index_, &QHelpIndexWidget::documentActivated, this,
                [this](const QHelpLink &link, const QString &) { Show(link.url); });
        connect(index_, &QHelpIndexWidget::documentsActivated, this,
                [this](const QList<QHelpLink> &links, const QString &) {
                    if (!links.isEmpty()) Show(links.first().url);
                });
        // The tree is built in the background; the first page shows once it is.
        QHelpContentModel *model = engine_->contentModel();
        connect(model, &QHelpContentModel::contentsCreated, this, [this, model] {
            if (!contents_) return;
            contents_->expandToDepth(0);
            const QModelIndex first = model->index(0, 0);
            if (QHelpContentItem *item = model->contentItemAt(first)) {
                contents_->setCurrentIndex(first);
                if (!pageShown_) Show(item->url());
            }
        });
        connect(engine_->indexModel(), &QHelpIndexModel::indexCreated, this, [this] {
            if (index_ && !keywordField_->text().isEmpty())
                index_->filterIndices(keywordField_->text());
        });
        return 0;
    }

    // A fresh page for each file: the history of the old one leads to pages
    // that are gone.
    void NewPage() {
        delete page_;
        page_ = new HelpPage(this);
        page_->setObjectName("page");
        page_->setOpenExternalLinks(true);
        connect(back_, &QPushButton::clicked, page_, &QTextBrowser::backward);
        connect(forward_, &QPushButton::clicked, page_, &QTextBrowser::forward);
        connect(page_, &QTextBrowser::backwardAvailable, back_, &QPushButton::setEnabled);
        connect(page_, &QTextBrowser::forwardAvailable, forward_, &QPushButton::setEnabled);
        back_->setEnabled(false);
        forward_->setEnabled(false);
        rightLayout_->addWidget(page_);
    }

    void Show(const QUrl &url) {
        pageShown_ = true;
        page_->setSource(url);
    }

    // The engine owns its two widgets; whichever of them survive it go too.
    void DropEngine() {
        QPointer<QWidget> contents = contents_.data();
        QPointer<QWidget> index = index_.data();
        page_->engine = nullptr;
        delete engine_.data();
        delete contents.data();
        delete index.data();
    }

    QTabWidget *tabs_;
    QWidget *contentsTab_;
    QWidget *indexTab_;
    QLabel *lookFor_;
    QLineEdit *keywordField_;
    QPushButton *back_;
    QPushButton *forward_;
    QVBoxLayout *rightLayout_;
    HelpPage *page_ = nullptr;
    QPointer<QHelpEngine> engine_;
    bool pageShown_ = false;
    QPointer<QHelpContentWidget> contents_;
    QPointer<QHelpIndexWidget> index_;
};

QPointer<HelpViewer> viewer;

} // namespace

void SetHelpViewerLanguage(const std::string &code) {
    texts = &kTexts[0];
    for (const ViewerTexts &t : kTexts)
        if (code == t.code) texts = &t;
}

int SystemHelp(const std::string &helpFile, int command, int, const std::string &) {
    if (!QApplication::instance()) return UIEOperationFailed;
    if (!viewer) {
        viewer = new HelpViewer;
        // The viewer goes with the program, before the help engine's files.
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, [] { delete viewer.data(); });
    }
    return viewer->Open(QString::fromStdString(helpFile), command);
}

bool ProcessExists(long pid) {
    // EPERM: it exists, run by another user.
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

std::string HelpCollectionFolder() {
    if (!PortableLayout() && MakeDir(HelpCacheDir())) return HelpCacheDir();
    return QDir::tempPath().toStdString();
}

bool RemoveStaleHelpCollections(const std::string &dir) {
    bool all = true;
    const QDir folder(QString::fromStdString(dir));
    const auto entries =
        folder.entryInfoList({COLLECTION_PREFIX + "*"},
                             QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        // velorinder-help-<pid>-XXXXXX; a name without a pid is not ours to judge.
        const QString pidText = entry.fileName().mid(COLLECTION_PREFIX.size()).section('-', 0, 0);
        bool ok = false;
        const long pid = pidText.toLong(&ok);
        // Another user's, in the shared temporary folder, are his to remove.
        if (!ok || pid <= 0 || entry.ownerId() != ::getuid() || ProcessExists(pid)) continue;
        const bool removed = entry.isDir() && !entry.isSymLink()
                                 ? QDir(entry.filePath()).removeRecursively()
                                 : QFile::remove(entry.filePath());
        all = all && removed;
    }
    return all;
}
