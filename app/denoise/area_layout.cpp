#include "area_layout.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "app/support/rounding.h"

namespace calmora {

int32_t RoundToEven(double value) {
    constexpr int64_t kLow = std::numeric_limits<int32_t>::min();
    constexpr int64_t kHigh = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(std::clamp(RoundHalfEven(value), kLow, kHigh));
}

int32_t FittedPaneHeight(int32_t innerHeight, int32_t paneTop, int32_t below) {
    const int64_t room = (int64_t{innerHeight} - paneTop - kPaneGap - below) / 2;
    return static_cast<int32_t>(std::clamp<int64_t>(room, kMinPaneHeight, kPaneHeight));
}

bool UsesAreaMode(int32_t imageWidth, int32_t imageHeight) {
    return imageWidth > kWholeImageMaxWidth || imageHeight > kWholeImageMaxHeight;
}

AreaLayout ComputeAreaLayout(const AreaLayoutInput& in) {
    AreaLayout out;
    const int32_t rightOfLine = in.lineX + in.lineBorder;
    out.comboTop = 3;
    out.pic.top = out.comboTop + in.comboHeight + 3;
    out.pic.left = rightOfLine + 6;
    out.pic.width = std::max(1, in.innerWidth - (rightOfLine + 12));
    out.pic.height = std::max(1, in.innerHeight - out.pic.top);

    if (out.pic.width > in.imageWidth) {
        out.pic.width = std::max(1, in.imageWidth);
        const int32_t space = in.innerWidth - (rightOfLine + 3);
        out.pic.left = RoundToEven((space - out.pic.width) / 2.0) + rightOfLine + 3;
    }
    if (out.pic.height > in.imageHeight) {
        out.pic.height = std::max(1, in.imageHeight);
        out.pic.top = RoundToEven((in.innerHeight - out.pic.height) / 2.0);
        out.comboTop = out.pic.top - in.comboHeight - 3;
    }
    out.imageFits = out.pic.width >= in.imageWidth && out.pic.height >= in.imageHeight;
    out.scrollLimitX = std::max(0, in.imageWidth - out.pic.width);
    out.scrollLimitY = std::max(0, in.imageHeight - out.pic.height);
    return out;
}

WholeImageLayout ComputeWholeImageLayout(const WholeImageLayoutInput& in) {
    WholeImageLayout out;
    const int32_t w = in.imageWidth, h = in.imageHeight;
    const int32_t panesWidth = 3 * w + 4;  // three panes, 2 pixels apart
    int32_t picRLeft = 10;
    if (in.frameWidth > panesWidth + 20) {
        out.innerWidth = in.frameWidth + 20;
        picRLeft = RoundToEven((out.innerWidth - panesWidth) / 2.0);
    } else {
        out.innerWidth = panesWidth + 20;
    }
    out.frameLeft = RoundToEven((out.innerWidth - in.frameWidth) / 2.0);
    const int32_t top = in.frameTop + in.frameHeight + in.comboHeight + 5;
    out.picR = Box{picRLeft, top, w, h};
    out.pic = Box{picRLeft + w + 2, top, w, h};
    out.picNoise = Box{picRLeft + 2 * (w + 2), top, w, h};
    out.comboTop = top - 3 - in.comboHeight;
    out.innerHeight = top + h + 12;
    return out;
}

AreaSize PreviewAreaSize(int32_t paneWidth, int32_t paneHeight, int32_t picWidth,
                         int32_t picHeight) {
    return AreaSize{std::max(1, std::min(paneWidth, picWidth)),
                    std::max(1, std::min(paneHeight, picHeight))};
}

RectangleRange ComputeRectangleRange(int32_t picWidth, int32_t picHeight, int32_t rectWidth,
                                     int32_t rectHeight) {
    RectangleRange range;
    range.highX = picWidth - rectWidth + 1;
    range.highY = picHeight - rectHeight + 1;
    range.lowX = std::min(0, range.highX);
    range.lowY = std::min(0, range.highY);
    return range;
}

RectanglePlace CentredRectangle(int32_t picWidth, int32_t picHeight, int32_t rectWidth,
                                int32_t rectHeight) {
    const RectangleRange range = ComputeRectangleRange(picWidth, picHeight, rectWidth, rectHeight);
    return RectanglePlace{
        std::clamp(RoundToEven((picWidth - rectWidth) / 2.0), range.lowX, range.highX),
        std::clamp(RoundToEven((picHeight - rectHeight) / 2.0), range.lowY, range.highY)};
}

void MoveRectangleAxis(int32_t mouse, int32_t& anchor, int32_t& start, int32_t low,
                       int32_t high) {
    const bool pushingPastLow = start <= low && mouse < anchor;
    const bool pushingPastHigh = start >= high && mouse > anchor;
    if (!pushingPastLow && !pushingPastHigh) {
        const int64_t moved = int64_t{mouse} - anchor + start;
        start = static_cast<int32_t>(std::clamp<int64_t>(moved, low, high));
    }
    anchor = mouse;
}

int32_t DragImageAxis(int32_t mouse, int32_t& anchor, int32_t& offset, int32_t limit,
                      int32_t viewExtent, int32_t imageExtent) {
    if (viewExtent <= 0) return 0;
    const int32_t step =
        RoundToEven(static_cast<double>(mouse - anchor) / viewExtent * imageExtent);
    if (step == 0) return 0;
    anchor = mouse;
    const int32_t before = offset;
    if (step > 0 && offset < limit) offset = static_cast<int32_t>(
                                        std::min<int64_t>(int64_t{offset} + step, limit));
    if (step < 0 && offset >= 1) offset = static_cast<int32_t>(
                                     std::max<int64_t>(int64_t{offset} + step, 0));
    return offset - before;
}

bool InsideRectangle(int32_t x, int32_t y, int32_t left, int32_t top, int32_t width,
                     int32_t height) {
    return x >= left && x <= left + width - 1 && y >= top && y <= top + height - 1;
}

}  // namespace calmora
