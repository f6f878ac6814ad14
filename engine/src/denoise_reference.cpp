// The filter as defined, one output pixel at a time. It is the path every
// faster one must match byte for byte, and it handles the image borders for
// them, where the patch extents shrink during a pixel's scan.
#include <algorithm>

#include "denoise_call.h"

namespace kc {

void DenoiseReferenceSpan(const DenoiseCall& c, const Finish& f, int32_t y, int32_t x0,
                          int32_t x1) {
    const int32_t W = c.job->width, H = c.job->height, N = c.job->tableLength;
    const int32_t p = c.params->patchRadius, s = c.params->searchRadius;
    const int64_t stride = RowStride(W);
    const uint8_t* src = c.source;

    for (int32_t x = x0; x < x1; ++x) {
        const int32_t up = std::min(s, y), down = std::min(s, H - 1 - y);
        const int32_t left = std::min(s, x), right = std::min(s, W - 1 - x);
        int32_t pUp = std::min(p, y), pDown = std::min(p, H - 1 - y);
        int32_t pLeft = std::min(p, x), pRight = std::min(p, W - 1 - x);
        double num[3] = {0, 0, 0}, den[3] = {0, 0, 0};

        for (int32_t cy = y - up; cy <= y + down; ++cy) {
            if (cy - pUp < 0) pUp = cy;
            else if (cy + pDown > H - 1) pDown = H - 1 - cy;
            for (int32_t cx = x - left; cx <= x + right; ++cx) {
                if (cx - pLeft < 0) pLeft = cx;
                else if (cx + pRight > W - 1) pRight = W - 1 - cx;
                int64_t d[3] = {0, 0, 0};
                for (int32_t dy = -pUp; dy <= pDown; ++dy) {
                    const uint8_t* a = src + (y + dy) * stride + 3 * int64_t{x};
                    const uint8_t* b = src + (cy + dy) * stride + 3 * int64_t{cx};
                    for (int32_t dx = -pLeft; dx <= pRight; ++dx)
                        for (int ch = 0; ch < 3; ++ch) {
                            const int32_t diff = a[3 * dx + ch] - b[3 * dx + ch];
                            d[ch] += diff * diff;
                        }
                }
                const uint8_t* cand = src + cy * stride + 3 * int64_t{cx};
                for (int ch = 0; ch < 3; ++ch) {
                    if (d[ch] >= N) continue;
                    const double w = c.table[d[ch]];
                    num[ch] += w * cand[ch];
                    den[ch] += w;
                }
            }
        }
        f.Pixel(c, static_cast<size_t>(y * stride + 3 * int64_t{x}), num, den);
    }
}

}  // namespace kc
