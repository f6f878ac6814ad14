#include "denoise_run/ycrcb.h"

#include <algorithm>
#include <cmath>

#include "imagefiles/row_stride.h"

namespace calmora {

namespace {

size_t Stride(int32_t width) { return static_cast<size_t>(RowStride(width)); }

}  // namespace

YCrCb ToYCrCb(const uint8_t* bgr) {
    const double b = bgr[0], g = bgr[1], r = bgr[2];
    const double y = 0.299 * r + 0.587 * g + 0.114 * b;
    return {y, (r - y) * 0.713 + 128.0, (b - y) * 0.564 + 128.0};
}

uint8_t LevelByte(double value) {
    return static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

void FromYCrCb(const YCrCb& c, uint8_t* bgr) {
    const double cr = c.cr - 128.0, cb = c.cb - 128.0;
    bgr[0] = LevelByte(c.y + 1.773 * cb);
    bgr[1] = LevelByte(c.y - 0.714 * cr - 0.344 * cb);
    bgr[2] = LevelByte(c.y + 1.403 * cr);
}

void PlanesPixel(const YCrCb& c, uint8_t* bgr) {
    bgr[0] = LevelByte(c.cb);
    bgr[1] = LevelByte(c.y);
    bgr[2] = LevelByte(c.cr);
}

Planes::Planes(int32_t w, int32_t h) : width(w), height(h) {
    const size_t n = static_cast<size_t>(std::max(w, 0)) * static_cast<size_t>(std::max(h, 0));
    y.assign(n, 0.0);
    cr.assign(n, 0.0);
    cb.assign(n, 0.0);
}

namespace {

// Calls f(pixel's bytes offset, plane index) for every pixel of a picture of
// width x height, rows ascending.
template <typename F>
void EachPixel(int32_t width, int32_t height, F f) {
    for (int32_t r = 0; r < height; ++r)
        for (int32_t x = 0; x < width; ++x)
            f(static_cast<size_t>(r) * Stride(width) + 3 * static_cast<size_t>(x),
              static_cast<size_t>(r) * static_cast<size_t>(width) + static_cast<size_t>(x));
}

YCrCb PlanesAt(const Planes& q, size_t i) { return {q.y[i], q.cr[i], q.cb[i]}; }

void SetPlanes(Planes& q, size_t i, const YCrCb& c) {
    q.y[i] = c.y;
    q.cr[i] = c.cr;
    q.cb[i] = c.cb;
}

}  // namespace

Planes PictureToPlanes(const uint8_t* bits, int32_t width, int32_t height) {
    Planes q(width, height);
    EachPixel(width, height, [&](size_t at, size_t i) { SetPlanes(q, i, ToYCrCb(bits + at)); });
    return q;
}

std::vector<uint8_t> PlanesToPicture(const Planes& q) {
    std::vector<uint8_t> bits(Stride(q.width) * static_cast<size_t>(q.height), 0);
    EachPixel(q.width, q.height,
              [&](size_t at, size_t i) { FromYCrCb(PlanesAt(q, i), bits.data() + at); });
    return bits;
}

std::vector<uint8_t> PlanesAsPicture(const Planes& q) {
    std::vector<uint8_t> bits(Stride(q.width) * static_cast<size_t>(q.height), 0);
    EachPixel(q.width, q.height,
              [&](size_t at, size_t i) { PlanesPixel(PlanesAt(q, i), bits.data() + at); });
    return bits;
}

Planes PictureAsPlanes(const uint8_t* bits, int32_t width, int32_t height) {
    Planes q(width, height);
    EachPixel(width, height, [&](size_t at, size_t i) {
        SetPlanes(q, i, {double(bits[at + 1]), double(bits[at + 2]), double(bits[at])});
    });
    return q;
}

}  // namespace calmora
