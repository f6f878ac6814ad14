// Full-range YCrCb (the JPEG matrix, 8-bit levels with Cr and Cb centred on
// 128) for the colour-noise mode: luminance and colour apart, so that each can
// be denoised with its own intensity.
//
// The planes are kept in double between the steps; they go through bytes
// only where the engine reads them (PlanesPixel), so that the mode rounds
// exactly where its measurement (bench/noise_colour.cpp) rounded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace calmora {

struct YCrCb {
    double y = 0.0;
    double cr = 0.0;
    double cb = 0.0;
};

// From a pixel of the 24-bit layout (blue, green, red).
[[nodiscard]] YCrCb ToYCrCb(const uint8_t* bgr);

// Back to a pixel, each byte rounded to the nearest level and clipped to 0..255.
void FromYCrCb(const YCrCb& c, uint8_t* bgr);

// Rounded to the nearest level and clipped to 0..255.
[[nodiscard]] uint8_t LevelByte(double value);

// The planes as one pixel the engine takes: Cb in blue, Y in green, Cr in
// red. The engine filters its three channels apart, so each plane is
// denoised on its own values only.
void PlanesPixel(const YCrCb& c, uint8_t* bgr);

// Three planes of one picture (row r, column x at r * width + x), rows in
// the buffer's order (bottom-up).
struct Planes {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<double> y, cr, cb;

    Planes() = default;
    Planes(int32_t w, int32_t h);
    [[nodiscard]] size_t At(int32_t x, int32_t r) const {
        return static_cast<size_t>(r) * static_cast<size_t>(width) + static_cast<size_t>(x);
    }
};

// A whole picture of the 24-bit layout into planes, and back.
[[nodiscard]] Planes PictureToPlanes(const uint8_t* bits, int32_t width, int32_t height);
[[nodiscard]] std::vector<uint8_t> PlanesToPicture(const Planes& planes);

// The planes as one picture for the engine (PlanesPixel), and the planes read
// back from such a picture (blue Cb, green Y, red Cr, as levels).
[[nodiscard]] std::vector<uint8_t> PlanesAsPicture(const Planes& planes);
[[nodiscard]] Planes PictureAsPlanes(const uint8_t* bits, int32_t width, int32_t height);

}  // namespace calmora
