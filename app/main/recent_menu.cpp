#include "main_window.h"

#include "app/support/language.h"
#include "recent_files.h"

#include <QAction>
#include <QMenu>

#include "app_paths.h"
#include "app/support/message_catalogue.h"
#include "ui_seams.h"

namespace calmora {

// ---------------------------------------------------------------- recent files

QStringList MainWindow::RecentFiles() const { return ReadRecentFiles(); }

void MainWindow::AddRecentFile(const QString& path) {
    WriteRecentFiles(WithRecentFile(ReadRecentFiles(), path));
    RefreshRecentMenu();
}

void MainWindow::RefreshRecentMenu() {
    fileRecentMenu_->clear();
    const QStringList files = ReadRecentFiles();
    int number = 0;
    for (const QString& path : files) {
        ++number;
        // "&1 name  (folder)": the name first, the folder where two share a name.
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        const QString name = path.mid(slash + 1);
        QString text = QStringLiteral("&%1 %2").arg(number).arg(QString(name).replace(
                                                                    QLatin1Char('&'),
                                                                    QStringLiteral("&&")));
        QAction* item = fileRecentMenu_->addAction(text);
        item->setObjectName(QStringLiteral("FileRecentEntry"));
        item->setData(path);
        item->setToolTip(path);
        item->setStatusTip(path);
        connect(item, &QAction::triggered, this, [this, path] { OpenRecent_Click(path); });
    }
    fileRecentMenu_->menuAction()->setEnabled(!files.isEmpty());
}

void MainWindow::OpenRecent_Click(const QString& path) {
    if (doc_.loadingFlag || CommandsLocked()) return;
    if (!FileExists(path)) {
        QStringList files = ReadRecentFiles();
        files.removeAll(path);
        WriteRecentFiles(files);
        RefreshRecentMenu();
        ShowMessageText(this, MissingRecentFileText(path, CurrentLanguage()),
                        MessageIcon::Exclamation);
        return;
    }
    OpenAsked(path);
}

}  // namespace calmora
