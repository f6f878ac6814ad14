#include "command_lock.h"

#include <QScrollBar>

#include "main_window.h"

namespace calmora {

namespace {

// Pic's pointer goes busy first and comes back last.
void SetBusyPointers(MainWindow& window, bool windowOnly, bool taken) {
    if (taken && !windowOnly) window.SetPicPointer(kPointerBusy);
    window.SetWindowPointer(taken ? kPointerBusy : kPointerDefault);
    if (!taken && !windowOnly) window.SetPicPointer(kPointerDefault);
}

void SetMenuLock(MainWindow& window, bool scrollBars, bool taken) {
    if (taken) {
        window.DisableMainMenus();
    } else {
        window.EnableMainMenus();
    }
    if (scrollBars) {
        window.HScroll1()->setEnabled(!taken);
        window.VScroll1()->setEnabled(!taken);
    }
}

}  // namespace

WindowHold::WindowHold(MainWindow& window, bool option, Setter set)
    : window_(&window), option_(option), set_(set) {
    set_(*window_, option_, true);
}

void WindowHold::Release() {
    if (!window_) return;
    set_(*window_, option_, false);
    window_ = nullptr;
}

BusyPointers::BusyPointers(MainWindow& window, bool windowOnly)
    : WindowHold(window, windowOnly, SetBusyPointers) {}

MenuLock::MenuLock(MainWindow& window, bool scrollBars)
    : WindowHold(window, scrollBars, SetMenuLock) {}

}  // namespace calmora
