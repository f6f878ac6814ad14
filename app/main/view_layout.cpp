#include "view_layout.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace calmora {

namespace {

int32_t Centre(int64_t space, int64_t size) {
    return static_cast<int32_t>(RoundHalfEven(static_cast<double>(space - size) / 2.0));
}

int32_t AtLeastOne(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, 1, std::numeric_limits<int32_t>::max()));
}

int32_t Excess(int64_t image, int64_t view) {
    return static_cast<int32_t>(std::max<int64_t>(0, image - view));
}

// Along an axis with a bar the view takes the space there is and scrolls
// over the rest of the image.
void ScrollAlong(int64_t space, int64_t image, int32_t& view, int32_t& scrollMax, bool& shown) {
    view = AtLeastOne(space);
    scrollMax = Excess(image, view);
    shown = true;
}

}  // namespace

TrueSizeLayout LayoutTrueSize(int32_t clientWidth, int32_t clientHeight, int32_t imageWidth,
                              int32_t imageHeight, int32_t hScrollHeight, int32_t vScrollWidth) {
    const int64_t cw = clientWidth, ch = clientHeight, w = imageWidth, h = imageHeight;
    bool both = false, horizontalOnly = false, verticalOnly = false;
    if (cw < w && ch < h) {
        both = true;
    } else if (cw < w) {
        both = ch - hScrollHeight < h;
        horizontalOnly = !both;
    } else if (ch < h) {
        both = cw - vScrollWidth < w;
        verticalOnly = !both;
    }

    TrueSizeLayout layout;
    if (both) {
        ScrollAlong(cw - vScrollWidth, w, layout.viewWidth, layout.hScrollMax, layout.hScrollShown);
        ScrollAlong(ch - hScrollHeight, h, layout.viewHeight, layout.vScrollMax,
                    layout.vScrollShown);
    } else if (horizontalOnly) {
        layout.viewTop = Centre(ch - hScrollHeight, h);
        ScrollAlong(cw, w, layout.viewWidth, layout.hScrollMax, layout.hScrollShown);
        layout.viewHeight = AtLeastOne(h);
    } else if (verticalOnly) {
        layout.viewLeft = Centre(cw - vScrollWidth, w);
        layout.viewWidth = AtLeastOne(w);
        ScrollAlong(ch, h, layout.viewHeight, layout.vScrollMax, layout.vScrollShown);
    } else {
        layout.viewLeft = Centre(cw, w);
        layout.viewTop = Centre(ch, h);
        layout.viewWidth = AtLeastOne(w);
        layout.viewHeight = AtLeastOne(h);
    }
    layout.sizeMenuVisible = layout.hScrollShown || layout.vScrollShown;
    return layout;
}

FitGeometry ComputeFit(int32_t clientWidth, int32_t clientHeight, int32_t imageWidth,
                       int32_t imageHeight) {
    FitGeometry fit;
    if (imageWidth <= 0 || imageHeight <= 0) return fit;
    if (clientWidth < imageWidth || clientHeight < imageHeight) {
        // The ratios are worked out in double and the factor kept in single
        // precision; the sizes are products of that single value in double,
        // the percentage a product in single precision, so that a factor of
        // exactly 0.235 reads 24% (23.5 to even) and not 23.
        const double rx = static_cast<double>(clientWidth) / imageWidth;
        const double ry = static_cast<double>(clientHeight) / imageHeight;
        fit.fitScale = static_cast<float>(std::min(rx, ry));
    }
    const double scale = fit.fitScale;
    fit.fitWidth = AtLeastOne(RoundHalfEven(scale * imageWidth));
    fit.fitHeight = AtLeastOne(RoundHalfEven(scale * imageHeight));
    fit.fitLeft = Centre(clientWidth, fit.fitWidth);
    fit.fitTop = Centre(clientHeight, fit.fitHeight);
    const float percent = fit.fitScale * 100.0f;
    fit.fitPercent = static_cast<int16_t>(RoundHalfEven(percent));
    return fit;
}

int64_t DragDelta(double position, double start, int32_t extent, int32_t range) {
    if (extent <= 0) return 0;
    return RoundHalfEven((position - start) / extent * range);
}

int32_t ApplyDragDelta(int32_t value, int64_t delta, int32_t minimum, int32_t maximum) {
    if (delta > 0 && value < maximum) return static_cast<int32_t>(std::min<int64_t>(int64_t{value} + delta, maximum));
    if (delta < 0 && value > minimum) return static_cast<int32_t>(std::max<int64_t>(int64_t{value} + delta, minimum));
    return value;
}

}  // namespace calmora
