// Keys of the main view: the zoom shortcuts, Ctrl+0 for true size, and the
// arrow and Page Up/Down keys that scroll the view. The keys reach the window
// only when no widget with the focus takes them (a field of a save frame keeps
// its arrows), so they are watched as they arrive at the window.
#include "main_window.h"

#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QScrollBar>
#include <algorithm>
#include <functional>

namespace calmora {

namespace {

class ViewKeyFilter : public QObject {
public:
    ViewKeyFilter(QObject* owner, std::function<bool(int key)> handle)
        : QObject(owner), handle_(std::move(handle)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == parent() && event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
            if (mods == Qt::NoModifier && handle_(key->key())) return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<bool(int key)> handle_;
};

}  // namespace

void MainWindow::InstallViewKeys() {
    // Ctrl+plus where the keyboard has it, and Ctrl+= for layouts where plus
    // needs Shift; Qt shows the first in the menu.
    zoomIn_->setShortcuts({QKeySequence(QKeySequence::ZoomIn), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    zoomOut_->setShortcuts(QKeySequence::ZoomOut);
    if (paintSizeTrue_->shortcut().isEmpty()) {
        paintSizeTrue_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    }
    // The Size menu is hidden while a picture fits the window; the items are
    // also the window's so that their keys work then too.
    for (QAction* item : {zoomIn_, zoomOut_, paintSizeTrue_}) addAction(item);
    connect(zoomIn_, &QAction::triggered, this, &MainWindow::ZoomIn_Click);
    connect(zoomOut_, &QAction::triggered, this, &MainWindow::ZoomOut_Click);

    installEventFilter(new ViewKeyFilter(this, [this](int key) {
        switch (key) {
            case Qt::Key_Left: KeyScroll(hScroll_, false, false); return true;
            case Qt::Key_Right: KeyScroll(hScroll_, true, false); return true;
            case Qt::Key_Up: KeyScroll(vScroll_, false, false); return true;
            case Qt::Key_Down: KeyScroll(vScroll_, true, false); return true;
            case Qt::Key_PageUp: KeyScroll(vScroll_, false, true); return true;
            case Qt::Key_PageDown: KeyScroll(vScroll_, true, true); return true;
            default: return false;
        }
    }));
}

void MainWindow::KeyScroll(QScrollBar* bar, bool forward, bool page) {
    if (!HasImage() || doc_.loadingFlag || bar->isHidden() || !bar->isEnabled()) return;
    // A page is the whole view less a twentieth, so a line stays in sight.
    const int step = page ? std::max(1, bar->pageStep() * 4 - bar->singleStep()) : bar->singleStep();
    const int64_t next = int64_t{bar->value()} + (forward ? step : -step);
    bar->setValue(static_cast<int>(std::clamp<int64_t>(next, bar->minimum(), bar->maximum())));
}

}  // namespace calmora
