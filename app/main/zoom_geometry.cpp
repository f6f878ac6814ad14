#include "zoom_geometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace calmora {

int32_t ZoomedSide(int32_t imageSide, double scale) {
    constexpr double kMax = std::numeric_limits<int32_t>::max();
    const double side = std::clamp(static_cast<double>(imageSide) * scale, 1.0, kMax);
    return static_cast<int32_t>(std::clamp<int64_t>(RoundHalfEven(side), 1, INT32_MAX));
}

TrueSizeLayout LayoutZoomed(int32_t clientWidth, int32_t clientHeight, int32_t imageWidth,
                            int32_t imageHeight, double scale, int32_t barThickness) {
    return LayoutTrueSize(clientWidth, clientHeight, ZoomedSide(imageWidth, scale),
                          ZoomedSide(imageHeight, scale), barThickness, barThickness);
}

ImagePoint PointUnder(const ViewMapping& mapping, ClientSpot spot) {
    if (mapping.scale <= 0.0) return {};
    return {(spot.x - mapping.left + mapping.scrollX) / mapping.scale,
            (spot.y - mapping.top + mapping.scrollY) / mapping.scale};
}

namespace {

int32_t AxisScroll(double point, double scale, double spot, int32_t viewStart, int32_t maximum) {
    if (maximum <= 0) return 0;
    const double wanted = point * scale - (spot - viewStart);
    return static_cast<int32_t>(
        std::clamp<int64_t>(RoundHalfEven(std::clamp(wanted, -1.0, double{INT32_MAX})), 0, maximum));
}

}  // namespace

ScrollPosition ScrollBringing(const TrueSizeLayout& layout, double scale, ImagePoint point,
                              ClientSpot spot) {
    return {AxisScroll(point.x, scale, spot.x, layout.viewLeft, layout.hScrollMax),
            AxisScroll(point.y, scale, spot.y, layout.viewTop, layout.vScrollMax)};
}

ClientSpot ViewCentre(int32_t left, int32_t top, int32_t width, int32_t height) {
    return {left + width / 2.0, top + height / 2.0};
}

ClientSpot ViewCentre(const TrueSizeLayout& layout) {
    return ViewCentre(layout.viewLeft, layout.viewTop, layout.viewWidth, layout.viewHeight);
}

}  // namespace calmora
