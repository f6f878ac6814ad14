// A maximised window gets its size from the window manager when that gets
// round to it, after show() has returned. A layout made for the client area
// the window really has must wait for that.
#pragma once

class QWidget;

namespace calmora {

// Lets window-system events in (no user input) until window is exposed and
// its size has held still for a moment, for a second at most. Does nothing
// on platforms without a window manager (offscreen, minimal), where show()
// sizes the window at once.
void AwaitWindowManager(QWidget& window);

}  // namespace calmora
