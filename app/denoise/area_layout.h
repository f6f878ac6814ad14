// Placement arithmetic of the denoise dialog, kept apart from widgets so that
// it can be checked with tables: which mode an image opens in, where the
// panes stand in either layout, where the preview rectangle starts and how it
// and the image follow the mouse.
#pragma once

#include <cstdint>

namespace calmora {

// Images up to this size are shown and previewed whole.
constexpr int32_t kWholeImageMaxWidth = 200;
constexpr int32_t kWholeImageMaxHeight = 150;
// The result panes (and so the preview area) in area mode.
constexpr int32_t kPaneWidth = 184;
constexpr int32_t kPaneHeight = 138;
// Width of the dark band drawn around the preview rectangle.
constexpr int32_t kBandWidth = 5;

// The left column of the area layout: the settings frame, then the two panes
// one below the other from this top, 6 pixels apart.
constexpr int32_t kPaneGap = 6;
// The panes never get lower than this, however low the screen.
constexpr int32_t kMinPaneHeight = 40;

// The panes' height in the area layout for a client area of innerHeight
// whose left column holds, from paneTop down, the two panes and then `below`
// pixels more: kPaneHeight, or less on a screen too low for that, so that the
// whole column stays inside the dialog (everything else keeps its place).
[[nodiscard]] int32_t FittedPaneHeight(int32_t innerHeight, int32_t paneTop, int32_t below);

// Nearest integer, halves to the even neighbour, as the form's integer
// properties round.
[[nodiscard]] int32_t RoundToEven(double value);

[[nodiscard]] bool UsesAreaMode(int32_t imageWidth, int32_t imageHeight);

struct Box {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
    friend bool operator==(const Box& a, const Box& b) {
        return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height;
    }
};

struct AreaLayoutInput {
    int32_t innerWidth = 0;   // the maximised dialog's client area
    int32_t innerHeight = 0;
    int32_t lineX = 0;        // the separator Line1
    int32_t lineBorder = 1;
    int32_t comboHeight = 0;
    int32_t imageWidth = 0;
    int32_t imageHeight = 0;
};

struct AreaLayout {
    Box pic;                 // the image view
    int32_t comboTop = 0;
    int32_t scrollLimitX = 0;  // largest scroll offsets; 0 when the image fits
    int32_t scrollLimitY = 0;
    bool imageFits = false;  // the whole image is visible: no scrolling, no mode buttons
};

// The image view fills the space right of the separator below the channel
// list; when the image is smaller than that space the view takes the image's
// size and is centred in it. The view is never smaller than one pixel.
[[nodiscard]] AreaLayout ComputeAreaLayout(const AreaLayoutInput& in);

struct WholeImageLayoutInput {
    int32_t frameWidth = 0;   // the settings frame
    int32_t frameHeight = 0;
    int32_t frameTop = 0;
    int32_t comboHeight = 0;
    int32_t imageWidth = 0;
    int32_t imageHeight = 0;
};

struct WholeImageLayout {
    int32_t innerWidth = 0;  // client size the dialog takes
    int32_t innerHeight = 0;
    int32_t frameLeft = 0;   // the frame is centred
    Box picR;                // denoised, original, removed noise in one row
    Box pic;
    Box picNoise;
    int32_t comboTop = 0;
};

[[nodiscard]] WholeImageLayout ComputeWholeImageLayout(const WholeImageLayoutInput& in);

// The preview area: the panes' size, cut down to the view where the view is
// smaller (an image narrower or lower than a pane in area mode), so that the
// area never reaches outside the image.
struct AreaSize {
    int32_t width = 0;
    int32_t height = 0;
};
[[nodiscard]] AreaSize PreviewAreaSize(int32_t paneWidth, int32_t paneHeight, int32_t picWidth,
                                       int32_t picHeight);

// The rectangle's outline is one pixel outside the preview area on every side.
// Its corner may go from `low` to `high`: high lets the area touch the view's
// right and bottom edges; low is 0 unless the area is as large as the view,
// when the outline has to sit one pixel outside it.
struct RectangleRange {
    int32_t lowX = 0, highX = 0;
    int32_t lowY = 0, highY = 0;
};
[[nodiscard]] RectangleRange ComputeRectangleRange(int32_t picWidth, int32_t picHeight,
                                                   int32_t rectWidth, int32_t rectHeight);

struct RectanglePlace {
    int32_t left = 0;
    int32_t top = 0;
};

// The rectangle starts in the middle of the view.
[[nodiscard]] RectanglePlace CentredRectangle(int32_t picWidth, int32_t picHeight,
                                              int32_t rectWidth, int32_t rectHeight);

// One axis of a rectangle move: the rectangle follows the mouse from the
// anchor, stays within low..high, and the anchor always takes the mouse
// position so that turning back moves the rectangle at once.
void MoveRectangleAxis(int32_t mouse, int32_t& anchor, int32_t& start, int32_t low,
                       int32_t high);

// One axis of an image drag: a move across the whole view moves across the
// whole image, in the mouse's direction, within 0..limit. The anchor takes
// the mouse position whenever the step was not 0, also at the limit, so that
// turning back moves the image at once. Returns the offset change.
int32_t DragImageAxis(int32_t mouse, int32_t& anchor, int32_t& offset, int32_t limit,
                      int32_t viewExtent, int32_t imageExtent);

// Whether a point lies on or inside the outline.
[[nodiscard]] bool InsideRectangle(int32_t x, int32_t y, int32_t left, int32_t top,
                                   int32_t width, int32_t height);

}  // namespace calmora
