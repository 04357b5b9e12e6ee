// The run-time's file dialog itself, answered by typing a name into it as a
// user would: the button it shows, and the names it gives back.
#include "platform/platform.h"
#include "support/app_fixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <filesystem>

using namespace testsupport;

namespace {

class FileDialogTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        SetPopupScriptMode(false);
    }
    void TearDown() override {
        SetPopupScriptMode(true);
        AppTest::TearDown();
    }
    // Shows the dialog, types name into it and accepts; notes its accept button.
    int Answer(const std::string &name, int restrictExtension, const std::string &types,
               std::string *path) {
        QTimer::singleShot(0, [this, name] {
            auto *d = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!d) {
                for (QWidget *w : QApplication::topLevelWidgets())
                    if ((d = qobject_cast<QFileDialog *>(w)) && d->isVisible()) break;
            }
            if (!d) return;
            QAbstractButton *accept = nullptr;
            if (auto *box = d->findChild<QDialogButtonBox *>()) {
                accept = box->button(QDialogButtonBox::Open);
                if (!accept) accept = box->button(QDialogButtonBox::Save);
            }
            if (auto *edit = d->findChild<QLineEdit *>("fileNameEdit"))
                edit->setText(QString::fromStdString(name));
            if (accept) {
                acceptText = accept->text().toStdString();
                accept->click();
            } else {
                d->reject();
            }
        });
        return FileSelectPopup(dir.path(), "", types, "Save", VAL_OK_BUTTON, 0, restrictExtension,
                               1, 1, path);
    }
    std::string acceptText;
};

TEST_F(FileDialogTest, RestrictedExtensionIsTheOnlyOneANameCanEndIn) {
    std::string path;
    EXPECT_EQ(Answer("copy.txt", 1, "*.vlr", &path), VAL_NEW_FILE_SELECTED);
    EXPECT_EQ(path, dir.file("copy.txt.vlr"));
    EXPECT_EQ(acceptText, "OK") << "the default button text";
    EXPECT_EQ(Answer("run", 1, "*.vlr", &path), VAL_NEW_FILE_SELECTED);
    EXPECT_EQ(path, dir.file("run.vlr"));
    WriteFile(dir.file("Old.VLR"), "x");
    EXPECT_EQ(Answer("Old.VLR", 1, "*.vlr", &path), VAL_EXISTING_FILE_SELECTED);
    EXPECT_EQ(path, dir.file("Old.VLR"));
}

TEST_F(FileDialogTest, UnrestrictedDialogGivesTheNameAsTyped) {
    std::string path;
    WriteFile(dir.file("notes.txt"), "x");
    EXPECT_EQ(Answer("notes.txt", 0, "*.mon;*.vlr", &path), VAL_EXISTING_FILE_SELECTED);
    EXPECT_EQ(path, dir.file("notes.txt"));
    EXPECT_EQ(acceptText, "OK");
    EXPECT_EQ(Answer("new.mon", 0, "*.mon;*.vlr", &path), VAL_NEW_FILE_SELECTED);
    EXPECT_EQ(path, dir.file("new.mon"));
}

} // namespace
