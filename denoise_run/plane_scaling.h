// The two scalings of the colour-noise mode's coarse pass: a box average of
// factor x factor blocks down, and bilinear interpolation back up.
//
// Both work on any window of the picture in the picture's own coordinates,
// so that a preview of an area adds the same values in the same order, and
// interpolates between the same neighbours, as the run over the whole
// picture: its result is the whole run's to the last bit.
#pragma once

#include <cstdint>

#include "denoise_run/ycrcb.h"

namespace calmora {

// The blocks of a picture of width x height cut into factor x factor blocks
// (partial blocks along the right and last edges): ceil(width / factor) by
// ceil(height / factor).
[[nodiscard]] int32_t ShrunkSize(int32_t extent, int32_t factor);

// Averages, over blocks [blockX0, blockX0 + planes.width) x [blockY0, ...),
// the pixels handed to Add. Every pixel of those blocks must be added once,
// rows ascending and columns ascending within a row (the order fixes the sums
// to the bit).
class BlockAverager {
public:
    BlockAverager(int32_t factor, int32_t blockX0, int32_t blockY0, int32_t blocksWide,
                  int32_t blocksHigh);
    void Add(int32_t x, int32_t r, const YCrCb& value);
    // The averages; the averager is spent.
    [[nodiscard]] Planes Finish();

private:
    int32_t factor_, blockX0_, blockY0_;
    Planes sums_;
    std::vector<int32_t> counts_;
};

// The whole of q shrunk by factor.
[[nodiscard]] Planes ShrinkPlanes(const Planes& q, int32_t factor);

// A plane of the shrunk picture (smallWidth x smallHeight as a whole) of
// which `window` holds columns window.x0.. and rows window.y0.., read at the
// full-size pixel (x, r): the pixel centres of both sizes aligned, clamped at
// the edges.
struct PlaneWindow {
    const double* values = nullptr;
    int32_t x0 = 0, y0 = 0;  // the window's first column and row in the shrunk picture
    int32_t width = 0;       // the window's row length
};
[[nodiscard]] double BilinearAt(const PlaneWindow& window, int32_t smallWidth,
                                int32_t smallHeight, int32_t factor, int32_t x, int32_t r);

// A whole plane of smallWidth x smallHeight enlarged to width x height.
[[nodiscard]] std::vector<double> EnlargePlane(const std::vector<double>& small, int32_t smallWidth,
                                               int32_t smallHeight, int32_t factor, int32_t width,
                                               int32_t height);

}  // namespace calmora
