#include "denoise_run/plane_scaling.h"

#include <algorithm>

namespace calmora {

int32_t ShrunkSize(int32_t extent, int32_t factor) { return (extent + factor - 1) / factor; }

BlockAverager::BlockAverager(int32_t factor, int32_t blockX0, int32_t blockY0,
                             int32_t blocksWide, int32_t blocksHigh)
    : factor_(factor), blockX0_(blockX0), blockY0_(blockY0), sums_(blocksWide, blocksHigh),
      counts_(sums_.y.size(), 0) {}

void BlockAverager::Add(int32_t x, int32_t r, const YCrCb& value) {
    const size_t j = sums_.At(x / factor_ - blockX0_, r / factor_ - blockY0_);
    sums_.y[j] += value.y;
    sums_.cr[j] += value.cr;
    sums_.cb[j] += value.cb;
    ++counts_[j];
}

Planes BlockAverager::Finish() {
    for (size_t j = 0; j < counts_.size(); ++j) {
        if (counts_[j] == 0) continue;
        sums_.y[j] /= counts_[j];
        sums_.cr[j] /= counts_[j];
        sums_.cb[j] /= counts_[j];
    }
    return std::move(sums_);
}

Planes ShrinkPlanes(const Planes& q, int32_t factor) {
    BlockAverager average(factor, 0, 0, ShrunkSize(q.width, factor), ShrunkSize(q.height, factor));
    for (int32_t r = 0; r < q.height; ++r)
        for (int32_t x = 0; x < q.width; ++x) {
            const size_t i = q.At(x, r);
            average.Add(x, r, {q.y[i], q.cr[i], q.cb[i]});
        }
    return average.Finish();
}

double BilinearAt(const PlaneWindow& w, int32_t smallWidth, int32_t smallHeight, int32_t factor,
                  int32_t x, int32_t r) {
    const double fy = std::clamp((r + 0.5) / factor - 0.5, 0.0, smallHeight - 1.0);
    const auto y0 = static_cast<int32_t>(fy);
    const int32_t y1 = std::min(y0 + 1, smallHeight - 1);
    const double wy = fy - y0;
    const double fx = std::clamp((x + 0.5) / factor - 0.5, 0.0, smallWidth - 1.0);
    const auto x0 = static_cast<int32_t>(fx);
    const int32_t x1 = std::min(x0 + 1, smallWidth - 1);
    const double wx = fx - x0;
    const auto v = [&w](int32_t yy, int32_t xx) {
        return w.values[static_cast<size_t>(yy - w.y0) * static_cast<size_t>(w.width) +
                        static_cast<size_t>(xx - w.x0)];
    };
    return (1 - wy) * ((1 - wx) * v(y0, x0) + wx * v(y0, x1)) +
           wy * ((1 - wx) * v(y1, x0) + wx * v(y1, x1));
}

std::vector<double> EnlargePlane(const std::vector<double>& small, int32_t smallWidth,
                                 int32_t smallHeight, int32_t factor, int32_t width,
                                 int32_t height) {
    std::vector<double> out(static_cast<size_t>(width) * static_cast<size_t>(height));
    const PlaneWindow window{small.data(), 0, 0, smallWidth};
    for (int32_t r = 0; r < height; ++r)
        for (int32_t x = 0; x < width; ++x)
            out[static_cast<size_t>(r) * static_cast<size_t>(width) + static_cast<size_t>(x)] =
                BilinearAt(window, smallWidth, smallHeight, factor, x, r);
    return out;
}

}  // namespace calmora
