#include "main_window.h"

#include <QAction>
#include <QIcon>
#include <QKeySequence>
#include <QMenu>

namespace calmora {

// ---------------------------------------------------------------- added commands and keys

void MainWindow::ConnectAddedCommands() {
    connect(fileQuit_, &QAction::triggered, this, &MainWindow::FileQuit_Click);
    connect(editUndo_, &QAction::triggered, this, &MainWindow::EditUndo_Click);
    connect(editRedo_, &QAction::triggered, this, &MainWindow::EditRedo_Click);
    connect(editRevert_, &QAction::triggered, this, &MainWindow::EditRevert_Click);

    // The platform's own keys where Qt knows one; the menus show them beside
    // their unchanged captions. Keys of the zoom commands live with the zoom.
    fileOpen_->setShortcut(QKeySequence::Open);
    fileSave_->setShortcut(QKeySequence::Save);
    // Not every platform theme names a quit key; Ctrl+Q is the desktop's usual one.
    const QKeySequence quit(QKeySequence::Quit);
    fileQuit_->setShortcut(quit.isEmpty() ? QKeySequence(Qt::CTRL | Qt::Key_Q) : quit);
    editUndo_->setShortcut(QKeySequence::Undo);
    editRedo_->setShortcuts(QKeySequence::Redo);  // Ctrl+Shift+Z and Ctrl+Y where both are usual
    // HelpContents is F1 on most desktops, but not every platform theme maps it.
    const QKeySequence help(QKeySequence::HelpContents);
    showGuida_->setShortcut(help.isEmpty() ? QKeySequence(Qt::Key_F1) : help);
    paintSizeScreenFit_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    ruota90_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    denoise_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    for (QAction* item : {fileOpen_, fileSave_, fileQuit_, editUndo_, editRedo_, showGuida_,
                          paintSizeScreenFit_, ruota90_, denoise_}) {
        item->setShortcutContext(Qt::WindowShortcut);
    }

    setAcceptDrops(true);
    // The installed theme's icon, else the program's own pictures.
    QIcon own;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        own.addFile(QStringLiteral(":/calmora/icons/calmora-%1.png").arg(size), QSize(size, size));
    }
    setWindowIcon(QIcon::fromTheme(QStringLiteral("io.github.calmora.Calmora"), own));
    RefreshRecentMenu();
}

}  // namespace calmora
