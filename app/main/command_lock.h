// What a command that lets pending events run takes from the main window, and
// gives back when it ends, in scope-bound pieces so that no way out of the
// command can forget one: the busy pointers, and the locked menus (with the
// scroll bars for commands that own the view). Each piece can be given back
// early, e.g. the pointers before a message that says why the command failed.
#pragma once

namespace calmora {

class MainWindow;

class BusyPointers {
public:
    // The window's pointer, and Pic's unless windowOnly.
    explicit BusyPointers(MainWindow& window, bool windowOnly = false);
    ~BusyPointers() { Release(); }
    BusyPointers(const BusyPointers&) = delete;
    BusyPointers& operator=(const BusyPointers&) = delete;
    void Release();

private:
    MainWindow* window_;
    bool windowOnly_;
};

class MenuLock {
public:
    explicit MenuLock(MainWindow& window, bool scrollBars = false);
    ~MenuLock() { Release(); }
    MenuLock(const MenuLock&) = delete;
    MenuLock& operator=(const MenuLock&) = delete;
    void Release();
    // Gives nothing back: for a lock that outlives the window's menus.
    void Abandon() { window_ = nullptr; }

private:
    MainWindow* window_;
    bool scrollBars_;
};

}  // namespace calmora
