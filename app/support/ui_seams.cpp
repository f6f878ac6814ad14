#include "ui_seams.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QUrl>

namespace calmora {
namespace {

QMessageBox::Icon BoxIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Critical: return QMessageBox::Critical;
        case MessageIcon::Question: return QMessageBox::Question;
        case MessageIcon::Exclamation: return QMessageBox::Warning;
        case MessageIcon::Information: return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

void ShowMessageBox(QWidget* parent, const MessageRequest& request) {
    QMessageBox box(BoxIcon(request.icon), request.title, request.text, QMessageBox::Ok, parent);
    box.exec();
}

QuestionAnswer AskWithBox(QWidget* parent, const QuestionRequest& request) {
    QMessageBox box(QMessageBox::Warning, request.title, request.text, QMessageBox::NoButton,
                    parent);
    QPushButton* save = box.addButton(request.saveCaption, QMessageBox::AcceptRole);
    QPushButton* discard = box.addButton(request.discardCaption, QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(request.cancelCaption, QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == save) return QuestionAnswer::Save;
    if (box.clickedButton() == discard) return QuestionAnswer::Discard;
    return QuestionAnswer::Cancel;
}

// The dialog may hand a filter back without its pattern part when details are
// hidden; both forms lead to the entry of the request.
int FindFilter(const QStringList& filters, const QString& shown) {
    static const QRegularExpression details(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
    for (int i = 0; i < filters.size(); ++i) {
        if (filters[i] == shown || QString(filters[i]).remove(details) == shown) return i;
    }
    return -1;
}

// The extension of a filter's first plain "*.ext" pattern, so that a name typed
// without extension gets the one of the type the user picked.
QString FirstSuffix(const QString& nameFilter) {
    static const QRegularExpression patterns(QStringLiteral("\\(([^()]*)\\)\\s*$"));
    const QRegularExpressionMatch match = patterns.match(nameFilter);
    if (!match.hasMatch()) return {};
    static const QRegularExpression separators(QStringLiteral("[ ;]"));
    const QString first = match.captured(1).split(separators, Qt::SkipEmptyParts).value(0);
    static const QRegularExpression plain(QStringLiteral("^\\*\\.([A-Za-z0-9]+)$"));
    const QRegularExpressionMatch ext = plain.match(first);
    return ext.hasMatch() ? ext.captured(1) : QString();
}

FileDialogResult ShowFileDialog(QWidget* parent, const FileDialogRequest& request) {
    QFileDialog dialog(parent, request.title, request.initialFolder);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (request.save) {
        dialog.setFileMode(QFileDialog::AnyFile);
    } else if (request.multiSelect) {
        dialog.setFileMode(QFileDialog::ExistingFiles);
    } else {
        dialog.setFileMode(request.fileMustExist ? QFileDialog::ExistingFile
                                                 : QFileDialog::AnyFile);
    }
    // Descriptions already name their patterns; the case variants stay out of sight.
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
    if (!request.filters.isEmpty()) {
        dialog.setNameFilters(request.filters);
        const int shown = qBound(0, request.filterIndex, int(request.filters.size()) - 1);
        dialog.selectNameFilter(request.filters.at(shown));
    }
    const auto suffixFor = [&request](const QString& shownFilter) {
        const int i = FindFilter(request.filters, shownFilter);
        const QString s = i >= 0 ? FirstSuffix(request.filters[i]) : QString();
        return s.isEmpty() ? request.defaultSuffix : s;
    };
    dialog.setDefaultSuffix(request.save ? suffixFor(dialog.selectedNameFilter())
                                         : request.defaultSuffix);
    if (request.save) {
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                         [&dialog, suffixFor](const QString& filter) {
                             dialog.setDefaultSuffix(suffixFor(filter));
                         });
    }
    // A wildcard start name ("*.JPG") only says which files to list, which the
    // filter already does; typed into the name field it would not be a file.
    if (!request.initialName.isEmpty() && !request.initialName.contains(QLatin1Char('*')) &&
        !request.initialName.contains(QLatin1Char('?'))) {
        dialog.selectFile(request.initialName);
    }

    FileDialogResult result;
    if (dialog.exec() != QDialog::Accepted) return result;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.first().isEmpty()) return result;
    result.accepted = true;
    result.path = files.first();
    result.filterIndex = FindFilter(request.filters, dialog.selectedNameFilter());
    if (result.filterIndex < 0 && !request.filters.isEmpty()) result.filterIndex = 0;
    return result;
}

bool OpenWithDesktop(const QString& urlOrPath) {
    const QUrl url = QUrl::fromUserInput(urlOrPath);
    return url.isValid() && QDesktopServices::openUrl(url);
}

}  // namespace

UiSeams& Seams() {
    static UiSeams seams{ShowMessageBox, AskWithBox, ShowFileDialog, OpenWithDesktop};
    return seams;
}

}  // namespace calmora
