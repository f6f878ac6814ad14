#include "command_lock.h"

#include <QScrollBar>

#include "main_window.h"

namespace calmora {

BusyPointers::BusyPointers(MainWindow& window, bool windowOnly)
    : window_(&window), windowOnly_(windowOnly) {
    if (!windowOnly_) window_->SetPicPointer(kPointerBusy);
    window_->SetWindowPointer(kPointerBusy);
}

void BusyPointers::Release() {
    if (!window_) return;
    window_->SetWindowPointer(kPointerDefault);
    if (!windowOnly_) window_->SetPicPointer(kPointerDefault);
    window_ = nullptr;
}

MenuLock::MenuLock(MainWindow& window, bool scrollBars)
    : window_(&window), scrollBars_(scrollBars) {
    window_->DisableMainMenus();
    if (scrollBars_) {
        window_->HScroll1()->setEnabled(false);
        window_->VScroll1()->setEnabled(false);
    }
}

void MenuLock::Release() {
    if (!window_) return;
    window_->EnableMainMenus();
    if (scrollBars_) {
        window_->HScroll1()->setEnabled(true);
        window_->VScroll1()->setEnabled(true);
    }
    window_ = nullptr;
}

}  // namespace calmora
