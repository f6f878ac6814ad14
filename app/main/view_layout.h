// Placement arithmetic of the main view, kept apart from widgets so that it
// can be checked with tables: true-size layout with its scroll ranges, the
// screen-fit geometry, and the drag-scroll steps.
#pragma once

#include <cstdint>

#include "app/support/rounding.h"

namespace calmora {

struct TrueSizeLayout {
    int32_t viewLeft = 0;
    int32_t viewTop = 0;
    int32_t viewWidth = 0;
    int32_t viewHeight = 0;
    int32_t hScrollMax = 0;  // scroll ranges start at 0
    int32_t vScrollMax = 0;
    bool hScrollShown = false;
    bool vScrollShown = false;
    bool sizeMenuVisible = false;  // false when the whole image fits: nothing to fit
};

// Where Pic stands for an image of imageWidth x imageHeight in a client area of
// clientWidth x clientHeight, given the thickness of the horizontal bar (its
// height) and of the vertical bar (its width). The view is never smaller than
// one pixel, even in a client area thinner than the bars.
[[nodiscard]] TrueSizeLayout LayoutTrueSize(int32_t clientWidth, int32_t clientHeight,
                                            int32_t imageWidth, int32_t imageHeight,
                                            int32_t hScrollHeight, int32_t vScrollWidth);

struct FitGeometry {
    float fitScale = 1.0f;
    int32_t fitWidth = 0;
    int32_t fitHeight = 0;
    int32_t fitLeft = 0;
    int32_t fitTop = 0;
    int16_t fitPercent = 100;
};

// The reduced picture shown by "screen fit": one scale for both axes, never
// enlarged, centred. Each side is at least one pixel, so a very long, thin
// image still has something to show.
[[nodiscard]] FitGeometry ComputeFit(int32_t clientWidth, int32_t clientHeight,
                                     int32_t imageWidth, int32_t imageHeight);

// Scroll-bar steps of a drag: a move across the whole picture box covers the
// whole range. extent is Pic's size along the axis, range = Max - Min.
[[nodiscard]] int64_t DragDelta(double position, double start, int32_t extent, int32_t range);

// The value after a drag step of delta, held inside [minimum, maximum].
[[nodiscard]] int32_t ApplyDragDelta(int32_t value, int64_t delta, int32_t minimum,
                                     int32_t maximum);

}  // namespace calmora
