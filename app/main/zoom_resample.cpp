#include "zoom_resample.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace calmora {

namespace {

// The image pixels [first, last) one screen pixel covers along an axis.
struct Span {
    int32_t first = 0;
    int32_t last = 1;
};

std::vector<Span> AxisSpans(int32_t screenStart, int32_t count, double scale, int32_t imageSide) {
    std::vector<Span> spans(static_cast<size_t>(count));
    const auto clampToImage = [imageSide](double at) {
        return static_cast<int32_t>(std::clamp(std::floor(at), 0.0, imageSide - 1.0));
    };
    for (int32_t i = 0; i < count; ++i) {
        const double screen = static_cast<double>(screenStart) + i;
        Span& span = spans[static_cast<size_t>(i)];
        if (scale >= 1.0) {
            // The image pixel under the screen pixel's centre.
            span.first = clampToImage((screen + 0.5) / scale);
            span.last = span.first + 1;
        } else {
            span.first = clampToImage(screen / scale);
            const double end = std::ceil((screen + 1.0) / scale - 1e-9);
            span.last = std::clamp(static_cast<int32_t>(std::min(end, static_cast<double>(imageSide))),
                                   span.first + 1, imageSide);
        }
    }
    return spans;
}

const uint8_t* SourceRow(const ZoomSource& source, int32_t y) {
    return source.bits + static_cast<int64_t>(source.height - 1 - y) * source.stride;
}

uint8_t* BlockRow(const ZoomBlock& block, int32_t y) {
    return block.bits + static_cast<int64_t>(block.height - 1 - y) * block.stride;
}

}  // namespace

bool ResampleZoomBlock(const ZoomSource& source, double scale, int32_t scrollX, int32_t scrollY,
                       const ZoomBlock& block) {
    if (!source.bits || !block.bits || source.width <= 0 || source.height <= 0 ||
        block.width <= 0 || block.height <= 0 || !(scale > 0.0) || !std::isfinite(scale)) {
        return false;
    }
    const std::vector<Span> columns = AxisSpans(scrollX, block.width, scale, source.width);
    const std::vector<Span> rows = AxisSpans(scrollY, block.height, scale, source.height);

    if (scale >= 1.0) {
        for (int32_t y = 0; y < block.height; ++y) {
            const uint8_t* from = SourceRow(source, rows[static_cast<size_t>(y)].first);
            uint8_t* to = BlockRow(block, y);
            for (int32_t x = 0; x < block.width; ++x, to += 3) {
                const uint8_t* pixel = from + 3 * static_cast<int64_t>(columns[size_t(x)].first);
                to[0] = pixel[0];
                to[1] = pixel[1];
                to[2] = pixel[2];
            }
        }
        return true;
    }

    std::vector<uint64_t> sums(static_cast<size_t>(block.width) * 3);
    for (int32_t y = 0; y < block.height; ++y) {
        std::fill(sums.begin(), sums.end(), 0);
        const Span rowSpan = rows[static_cast<size_t>(y)];
        for (int32_t sy = rowSpan.first; sy < rowSpan.last; ++sy) {
            const uint8_t* from = SourceRow(source, sy);
            for (int32_t x = 0; x < block.width; ++x) {
                const Span span = columns[static_cast<size_t>(x)];
                uint64_t* sum = &sums[3 * static_cast<size_t>(x)];
                for (const uint8_t* pixel = from + 3 * int64_t{span.first};
                     pixel < from + 3 * int64_t{span.last}; pixel += 3) {
                    sum[0] += pixel[0];
                    sum[1] += pixel[1];
                    sum[2] += pixel[2];
                }
            }
        }
        uint8_t* to = BlockRow(block, y);
        for (int32_t x = 0; x < block.width; ++x) {
            const Span span = columns[static_cast<size_t>(x)];
            const uint64_t count =
                static_cast<uint64_t>(span.last - span.first) * (rowSpan.last - rowSpan.first);
            for (int c = 0; c < 3; ++c) {
                to[3 * x + c] = static_cast<uint8_t>((sums[3 * size_t(x) + c] + count / 2) / count);
            }
        }
    }
    return true;
}

}  // namespace calmora
