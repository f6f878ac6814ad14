// The real dialogs behind the default seams, answered from a timer the way a
// user would answer them.
#include "ui_seams.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "file_dialogs.h"

namespace calmora {
namespace {

// Runs answer on the first modal window that opens, then lets it close.
template <typename Dialog>
void AnswerNextModal(std::function<void(Dialog*)> answer) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            answer(dialog);
        }
    });
    timer->start();
}

// Types name into the dialog's name field as a user would. selectFile() only
// fills the field while the field has no focus, or once the dialog's
// background listing of the folder holds the name, so it cannot be relied on.
void TypeFileName(QFileDialog* dialog, const QString& name) {
    auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(field, nullptr);
    field->setText(name);
}

const QStringList kSaveFilters{QtNameFilter({"JPEG File (*.JPG)", "*.JPG"}),
                               QtNameFilter({"PNG File (*.PNG)", "*.PNG"})};

TEST(DefaultSeams, MessageBoxHasTheIconTitleAndOneButton) {
    for (auto [icon, expected] : {std::pair{MessageIcon::Critical, QMessageBox::Critical},
                                  {MessageIcon::Exclamation, QMessageBox::Warning},
                                  {MessageIcon::Question, QMessageBox::Question},
                                  {MessageIcon::Information, QMessageBox::Information}}) {
        QMessageBox::Icon seenIcon = QMessageBox::NoIcon;
        QString seenTitle, seenText;
        qsizetype buttons = 0;
        AnswerNextModal<QMessageBox>([&](QMessageBox* box) {
            seenIcon = box->icon();
            seenTitle = box->windowTitle();
            seenText = box->text();
            buttons = box->buttons().size();
            box->button(QMessageBox::Ok)->click();
        });
        Seams().showMessage(nullptr, {"Formato immagine sconosciuto.", "Calmora", icon});
        EXPECT_EQ(seenIcon, expected);
        EXPECT_EQ(seenTitle, "Calmora");
        EXPECT_EQ(seenText, "Formato immagine sconosciuto.");
        EXPECT_EQ(buttons, 1);
    }
}

TEST(DefaultSeams, SaveAddsTheChosenTypesExtension) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    FileDialogRequest request;
    request.save = true;
    request.initialFolder = dir.path();
    request.initialName = "*.JPG";
    request.filters = kSaveFilters;
    request.filterIndex = 1;
    request.overwritePrompt = true;
    request.defaultSuffix = "JPG";
    QString nameShown = "<not asked>";
    AnswerNextModal<QFileDialog>([&](QFileDialog* dialog) {
        nameShown = dialog->selectedFiles().value(0);
        TypeFileName(dialog, "result");
        QMetaObject::invokeMethod(dialog, "accept");
    });
    const FileDialogResult result = Seams().fileDialog(nullptr, request);
    EXPECT_TRUE(result.accepted);
    EXPECT_EQ(result.path, dir.filePath("result.PNG"));
    EXPECT_EQ(result.filterIndex, 1);
    EXPECT_FALSE(nameShown.contains('*')) << nameShown.toStdString();
}

TEST(DefaultSeams, OpenReturnsTheChosenFileAndCancelGivesNothing) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile file(dir.filePath("holiday.jpg"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    FileDialogRequest request;
    request.initialFolder = dir.path();
    request.filters = {QtNameFilter({"JPEG Files (*.JPG;*.JPEG)", "*.JPG;*.JPEG"})};
    request.fileMustExist = true;
    AnswerNextModal<QFileDialog>([](QFileDialog* dialog) {
        TypeFileName(dialog, "holiday.jpg");
        QMetaObject::invokeMethod(dialog, "accept");
    });
    FileDialogResult result = Seams().fileDialog(nullptr, request);
    EXPECT_TRUE(result.accepted);
    EXPECT_EQ(result.path, dir.filePath("holiday.jpg"));
    EXPECT_EQ(result.filterIndex, 0);

    AnswerNextModal<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    result = Seams().fileDialog(nullptr, request);
    EXPECT_FALSE(result.accepted);
    EXPECT_TRUE(result.path.isEmpty());
}

}  // namespace
}  // namespace calmora
