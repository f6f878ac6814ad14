// Where a zoomed view stands and which block of the picture it shows, worked
// out without widgets. A zoomed view lays out like the true-size view of a
// picture scaled by the zoom, so it has the same bars and ranges; its scroll
// values count screen pixels of that scaled picture. Switching between two
// levels keeps one image point under one spot of the client area: the view
// centre for the menu and the keys, the pointer for Ctrl+wheel.
#pragma once

#include <cstdint>

#include "view_layout.h"

namespace calmora {

// The scaled picture's side: imageSide x scale rounded, at least one pixel and
// at most what a scroll range can hold.
[[nodiscard]] int32_t ZoomedSide(int32_t imageSide, double scale);

// The layout of a picture of imageWidth x imageHeight shown at scale: the
// true-size layout of its scaled size.
[[nodiscard]] TrueSizeLayout LayoutZoomed(int32_t clientWidth, int32_t clientHeight,
                                          int32_t imageWidth, int32_t imageHeight, double scale,
                                          int32_t barThickness);

// A point of the picture in image pixels (fractions count: the centre of pixel
// (0, 0) is (0.5, 0.5)).
struct ImagePoint {
    double x = 0.0;
    double y = 0.0;
};

// A spot of the client area, in its own pixels.
struct ClientSpot {
    double x = 0.0;
    double y = 0.0;
};

// How a view maps the picture: the picture box's top-left corner in the client
// area, the scroll values and the scale. A fitted view has no scroll.
struct ViewMapping {
    int32_t left = 0;
    int32_t top = 0;
    int32_t scrollX = 0;
    int32_t scrollY = 0;
    double scale = 1.0;
};

struct ScrollPosition {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const ScrollPosition& other) const { return x == other.x && y == other.y; }
};

// The image point under spot in the view mapping describes.
[[nodiscard]] ImagePoint PointUnder(const ViewMapping& mapping, ClientSpot spot);

// The scroll values that bring point under spot in a view laid out as layout
// at scale, held inside the layout's ranges (a picture that fits along an axis
// has nothing to scroll there and stays centred).
[[nodiscard]] ScrollPosition ScrollBringing(const TrueSizeLayout& layout, double scale,
                                            ImagePoint point, ClientSpot spot);

// The centre of a picture box at (left, top) of width x height: the spot the
// menu and the keys keep. At true size and zoomed that is the layout's view,
// when fitted the fitted picture.
[[nodiscard]] ClientSpot ViewCentre(int32_t left, int32_t top, int32_t width, int32_t height);
// The centre of a layout's view.
[[nodiscard]] ClientSpot ViewCentre(const TrueSizeLayout& layout);

}  // namespace calmora
