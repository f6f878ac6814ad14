// What a command that lets pending events run takes from the main window, and
// gives back when it ends, in scope-bound pieces so that no way out of the
// command can forget one: the busy pointers, and the locked menus (with the
// scroll bars for commands that own the view). Each piece can be given back
// early, e.g. the pointers before a message that says why the command failed.
#pragma once

#include "imagefiles/no_copy.h"

namespace calmora {

class MainWindow;

// One piece: taken when made, given back once, by Release or at the end of
// the scope.
class WindowHold : NoCopy {
public:
    ~WindowHold() { Release(); }
    void Release();
    // Gives nothing back: for a hold that outlives the window's menus.
    void Abandon() { window_ = nullptr; }

protected:
    // Sets the piece taken (true) or given back (false); option is the
    // piece's variant (see each kind).
    using Setter = void (*)(MainWindow& window, bool option, bool taken);
    WindowHold(MainWindow& window, bool option, Setter set);

private:
    MainWindow* window_;
    bool option_;
    Setter set_;
};

class BusyPointers : public WindowHold {
public:
    // The window's pointer, and Pic's unless windowOnly.
    explicit BusyPointers(MainWindow& window, bool windowOnly = false);
};

class MenuLock : public WindowHold {
public:
    // The main menus, and the view's scroll bars with scrollBars.
    explicit MenuLock(MainWindow& window, bool scrollBars = false);
};

}  // namespace calmora
