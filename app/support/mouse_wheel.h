// Mouse-wheel scrolling of the main window's picture: one notch over the
// picture steps the vertical scroll bar. The picture itself does nothing with
// the wheel, so a filter picks the turns off it and lets every event go on
// unchanged.
#pragma once

#include <QPoint>
#include <QSize>
#include <cstdint>
#include <functional>

class QScrollBar;
class QWidget;

namespace calmora {

// The parts of a scroll bar that one wheel step reads.
struct WheelScrollRange {
    int value = 0;
    int minimum = 0;
    int maximum = 0;
    int smallChange = 1;
    int largeChange = 1;
};

// Value of the bar after one notch. Forward (away from the user) moves
// towards minimum by largeChange, or by smallChange within the last
// largeChange before the end; backward the same towards maximum. A step
// that would leave [minimum, maximum] is refused: the value stays.
[[nodiscard]] int WheelStep(const WheelScrollRange& range, bool forward);

// True when point (in the picture's own coordinates) lies strictly between the
// picture's edges, 0 < x < width and 0 < y < height: a pointer on the left or
// top edge line, or at width / height, is not over the picture.
[[nodiscard]] bool StrictlyInsidePicture(QPoint point, QSize pictureSize);

// Qt reports wheel turns in eighths of a degree, 120 to a notch; smooth
// wheels and touchpads send fractions of that. Adds delta to the carried
// remainder and returns how many whole notches (signed, positive = forward)
// are complete; the remainder keeps the rest for the next event.
[[nodiscard]] int TakeWholeNotches(int& remainder, int delta);

// What the wheel needs from the window it scrolls. The first four members
// must be set; the last two may stay empty.
struct WheelTarget {
    std::function<QScrollBar*()> verticalBar;     // VScroll1
    std::function<QWidget*()> picture;            // Pic
    std::function<void(bool ready)> setViewReady; // viewReadyFlag
    std::function<void()> redrawView;             // RedrawView
    // HScroll1: a turn over it scrolls sideways, and a turn over the vertical
    // bar takes the same step as over the picture (both watched from install).
    std::function<QScrollBar*()> horizontalBar;
    // Ctrl+wheel over the picture: notches (positive = forward, zoom in) with
    // the pointer at globalPosition.
    std::function<void(int notches, QPoint globalPosition)> zoom;
};

// The wheel once arrived as different messages on different systems, hence
// the version check at install time. Qt gives one wheel event everywhere, so
// the check only records the system, which has no entry in the version
// table here: the code stays 0, "Unknown".
[[nodiscard]] int16_t osVersionCode();
[[nodiscard]] const char* OsVersionName(int16_t code);  // "Unknown" for 0
bool getos();                 // fills osVersionCode; true when it could tell
bool Mouse_CheckForWheel();   // always true: Qt delivers wheel events on every system

// Installs the wheel handling for window (removing an earlier one first). The
// turns are picked off target.picture(), which must exist at this point and
// stay the same widget while hooked.
void mouse_hook(QWidget* window, WheelTarget target);
// Takes it off again; nothing when window is null or not hooked.
void RemoveWheelHook(QWidget* window);
// The window currently hooked, or null.
[[nodiscard]] QWidget* HookedWindow();

// The handling of a wheel turn of notches whole notches (positive = forward)
// with the pointer at globalPosition; what the filter calls. Nothing happens
// unless the vertical bar is visible and enabled and the pointer is strictly
// inside the picture; then the bar takes one step per notch with the view
// marked not ready, and the view is redrawn once. True when it was handled.
bool WheelWndProc(const WheelTarget& target, QPoint globalPosition, int notches);

// A turn of notches over a scroll bar itself: the bar takes the picture's
// steps (WheelStep, forward towards the minimum: up, or left on a horizontal
// bar) with the view marked not ready, then one redraw. Nothing while the bar
// is hidden or disabled. True when it was handled.
bool WheelOverBar(const WheelTarget& target, QScrollBar* bar, int notches);

}  // namespace calmora
