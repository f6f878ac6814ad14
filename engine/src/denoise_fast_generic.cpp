// Portable interior kernel: the offset-major scheme in plain C++, for
// processors without a vector kernel and for patch radii the vector kernels
// were not written for.
#include <algorithm>

#include "denoise_fast.h"

namespace kc {

void InteriorSumsGeneric(const DenoiseCall& c, const RowGeometry& g, int32_t x0, int32_t n,
                         double* num, double* den) {
    const int32_t H = c.job->height, N = c.job->tableLength;
    const int32_t p = c.params->patchRadius, s = c.params->searchRadius;
    const int64_t stride = RowStride(c.job->width);
    const float* table = c.table;
    // Column sums of squared differences for lanes -3p .. 3*tile+3p of the tile.
    int32_t colSum[3 * kFastTilePixels + 6 * kFastMaxPatch];

    for (int32_t t = 0; t < n; t += kFastTilePixels) {
        const int32_t lanes = 3 * std::min(kFastTilePixels, n - t);
        const int32_t sumLanes = lanes + 6 * p;
        double* nu = num + 3 * int64_t{t};
        double* de = den + 3 * int64_t{t};
        std::fill(nu, nu + lanes, 0.0);
        std::fill(de, de + lanes, 0.0);
        const uint8_t* base = c.source + 3 * (int64_t{x0} + t);

        for (int32_t cy = g.y - g.up; cy <= g.y + g.down; ++cy) {
            const int32_t pDown = PatchDown(p, H, g.y, cy);
            const uint8_t* outTop = base + (g.y - g.pUp) * stride - 3 * p;
            const uint8_t* candTop = base + (cy - g.pUp) * stride - 3 * p;
            const uint8_t* candRow = base + cy * stride;
            const int32_t rows = g.pUp + pDown + 1;
            for (int32_t dx = -s; dx <= s; ++dx) {
                const int32_t shift = 3 * dx;
                for (int32_t j = 0; j < sumLanes; ++j) {
                    int32_t acc = 0;
                    for (int32_t r = 0; r < rows; ++r) {
                        const int32_t diff = outTop[r * stride + j] - candTop[r * stride + j + shift];
                        acc += diff * diff;
                    }
                    colSum[j] = acc;
                }
                for (int32_t j = 0; j < lanes; ++j) {
                    int32_t d = 0;
                    for (int32_t k = 0; k <= 2 * p; ++k) d += colSum[j + 3 * k];
                    if (d >= N) continue;
                    const double w = table[d];
                    nu[j] += w * candRow[j + shift];
                    de[j] += w;
                }
            }
        }
    }
}

}  // namespace kc
