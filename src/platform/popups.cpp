// Message boxes and file selection, with the test seam that answers them from
// a script and records every popup shown.
#include "platform/internal.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <deque>

namespace {

bool scripted = false;
std::deque<PopupAnswer> answers;
std::vector<PopupRecord> popupLog;
std::function<void(const PopupRecord &)> unexpectedHandler;

QWidget *DialogParent() {
    QWidget *w = QApplication::activeWindow();
    return w;
}

// Records the popup; in scripted mode fills *answer and gives true.
bool Scripted(const PopupRecord &rec, PopupAnswer *answer) {
    popupLog.push_back(rec);
    if (!scripted) return false;
    if (answers.empty() || rec.title.find(answers.front().titleContains) == std::string::npos) {
        if (unexpectedHandler) unexpectedHandler(rec);
        answer->button = 0;
        answer->response.clear();
        return true;
    }
    *answer = answers.front();
    answers.pop_front();
    return true;
}

// A message box whose Enter and Escape keys press the buttons the caller names.
class GenericDialog : public QDialog {
  public:
    int enterButton = 0, escapeButton = 0;
    std::vector<QPushButton *> buttons;

  protected:
    void keyPressEvent(QKeyEvent *e) override {
        if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && enterButton > 0 &&
            enterButton <= int(buttons.size())) {
            done(enterButton);
            return;
        }
        if (e->key() == Qt::Key_Escape) {
            if (escapeButton > 0 && escapeButton <= int(buttons.size())) done(escapeButton);
            return;
        }
        QDialog::keyPressEvent(e);
    }
    void reject() override {
        // The window's close box answers like Escape.
        if (escapeButton > 0) done(escapeButton);
    }
};

} // namespace

bool rt::ScriptedPopup(const PopupRecord &record, PopupAnswer *answer) {
    return Scripted(record, answer);
}

void SetPopupScriptMode(bool on) {
    scripted = on;
    answers.clear();
}
bool PopupScriptMode() {
    return scripted;
}
void ScriptPopup(const PopupAnswer &answer) {
    answers.push_back(answer);
}
int ScriptedPopupsLeft() {
    return static_cast<int>(answers.size());
}
const std::vector<PopupRecord> &PopupLog() {
    return popupLog;
}
void ClearPopupLog() {
    popupLog.clear();
}
void SetUnexpectedPopupHandler(std::function<void(const PopupRecord &)> handler) {
    unexpectedHandler = std::move(handler);
}

int MessagePopup(const std::string &title, const std::string &message) {
    PopupAnswer a;
    if (Scripted({"message", title, message, {"OK"}}, &a)) return 0;
    GenericDialog d;
    d.setParent(DialogParent(), Qt::Dialog);
    d.setWindowTitle(QString::fromStdString(title));
    // Room for the whole title beside the window manager's buttons.
    d.setMinimumWidth(d.fontMetrics().horizontalAdvance(d.windowTitle()) + 140);
    auto *layout = new QVBoxLayout(&d);
    auto *row = new QHBoxLayout;
    auto *text = new QLabel(QString::fromStdString(message));
    text->setTextFormat(Qt::PlainText);
    text->setWordWrap(false);
    row->addWidget(text, 1);
    layout->addLayout(row);
    auto *ok = new QPushButton("OK");
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &d, [&d] { d.done(1); });
    d.buttons = {ok};
    d.enterButton = d.escapeButton = 1;
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addStretch();
    layout->addLayout(buttons);
    d.exec();
    return 0;
}

int GenericMessagePopup(const std::string &title, const std::string &message,
                        const std::string &button1, const std::string &button2,
                        const std::string &button3, std::string *response, int maxResponseLength,
                        int /*buttonAlignment*/, int activeControl, int enterButton,
                        int escapeButton) {
    std::vector<std::string> labels;
    for (const std::string *b : {&button1, &button2, &button3})
        if (!b->empty()) labels.push_back(*b);
    PopupAnswer a;
    if (Scripted({"generic", title, message, labels}, &a)) {
        if (response && maxResponseLength > 0) *response = a.response.substr(0, maxResponseLength);
        return a.button;
    }
    GenericDialog d;
    d.setParent(DialogParent(), Qt::Dialog);
    d.setWindowTitle(QString::fromStdString(title));
    // Room for the whole title beside the window manager's buttons.
    d.setMinimumWidth(d.fontMetrics().horizontalAdvance(d.windowTitle()) + 140);
    d.enterButton = enterButton;
    d.escapeButton = escapeButton;
    auto *layout = new QVBoxLayout(&d);
    auto *text = new QLabel(QString::fromStdString(message));
    text->setTextFormat(Qt::PlainText);
    layout->addWidget(text);
    QLineEdit *edit = nullptr;
    if (response && maxResponseLength > 0) {
        edit = new QLineEdit(QString::fromStdString(*response));
        edit->setMaxLength(maxResponseLength);
        layout->addWidget(edit);
    }
    auto *row = new QHBoxLayout;
    row->addStretch();
    for (size_t i = 0; i < labels.size(); ++i) {
        auto *b = new QPushButton(QString::fromStdString(MnemonicText(labels[i])));
        b->setAutoDefault(false);
        int n = static_cast<int>(i) + 1;
        QObject::connect(b, &QPushButton::clicked, &d, [&d, n] { d.done(n); });
        d.buttons.push_back(b);
        row->addWidget(b);
    }
    row->addStretch();
    layout->addLayout(row);
    if (edit && activeControl == VAL_GENERIC_POPUP_INPUT_STRING)
        edit->setFocus();
    else if (activeControl >= 1 && activeControl <= int(d.buttons.size()))
        d.buttons[activeControl - 1]->setFocus();
    int r = d.exec();
    if (edit && response) *response = edit->text().toStdString();
    return r;
}

int FileSelectPopup(const std::string &defaultDirectory, const std::string &defaultFileSpec,
                    const std::string &fileTypeList, const std::string &title, int buttonLabel,
                    int /*restrictDirectory*/, int restrictExtension, int allowCancel,
                    int allowMakeDirectory, std::string *pathName) {
    PopupAnswer a;
    if (Scripted({"file", title, defaultFileSpec, {}}, &a)) {
        if (a.button > 0) *pathName = a.response;
        return a.button;
    }
    QString dir = QString::fromStdString(defaultDirectory);
    QString initial = QString::fromStdString(defaultFileSpec);
    if (dir.isEmpty()) dir = QFileInfo(initial).path();
    QFileDialog d(DialogParent(), QString::fromStdString(title), dir);
    d.setOption(QFileDialog::DontUseNativeDialog);
    d.setOption(QFileDialog::DontConfirmOverwrite);
    // Any name may be typed: the result tells an existing file from a new one.
    d.setAcceptMode(buttonLabel == VAL_SAVE_BUTTON ? QFileDialog::AcceptSave
                                                   : QFileDialog::AcceptOpen);
    d.setFileMode(QFileDialog::AnyFile);
    if (buttonLabel == VAL_OK_BUTTON) d.setLabelText(QFileDialog::Accept, "OK");
    if (!allowMakeDirectory) d.setOption(QFileDialog::ReadOnly);
    QString types = QString::fromStdString(fileTypeList);
    QStringList patterns = types.split(';', Qt::SkipEmptyParts);
    if (!patterns.isEmpty()) d.setNameFilter(types + " (" + patterns.join(' ') + ")");
    QString restricted;
    if (restrictExtension && patterns.size() == 1 && patterns[0].startsWith("*."))
        restricted = patterns[0].mid(1);
    if (!initial.isEmpty()) d.selectFile(initial);
    (void)allowCancel;
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return VAL_NO_FILE_SELECTED;
    QString chosen = d.selectedFiles().first();
    // A restricted extension is the only one the name can end in.
    if (!restricted.isEmpty() && !chosen.endsWith(restricted, Qt::CaseInsensitive))
        chosen += restricted;
    *pathName = chosen.toStdString();
    return QFileInfo::exists(chosen) ? VAL_EXISTING_FILE_SELECTED : VAL_NEW_FILE_SELECTED;
}

int DirSelectPopup(const std::string &defaultDirectory, const std::string &title,
                   int /*allowCancel*/, int /*allowMakeDirectory*/, std::string *pathName) {
    PopupAnswer a;
    if (Scripted({"dir", title, defaultDirectory, {}}, &a)) {
        if (a.button > 0) *pathName = a.response;
        return a.button > 0 ? 1 : 0;
    }
    QString dir = QFileDialog::getExistingDirectory(DialogParent(), QString::fromStdString(title),
                                                    QString::fromStdString(defaultDirectory),
                                                    QFileDialog::DontUseNativeDialog);
    if (dir.isEmpty()) return 0;
    *pathName = dir.toStdString();
    return 1;
}
