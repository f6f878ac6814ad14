// The offset-major scheme in plain C++: the interior kernel of processors
// without a vector kernel, and the border sums every processor uses.
#include <algorithm>

#include "denoise_fast.h"
#include "kernel_tile.h"

namespace kc {

void InteriorSumsGeneric(const DenoiseCall& c, const RowGeometry& g, int32_t x0, int32_t n,
                         double* num, double* den) {
    const KernelInputs in = ReadInputs(c);
    const int32_t p = c.params->patchRadius, s = in.search;
    // Column sums of squared differences for lanes -3p .. 3*tile+3p of the tile.
    int32_t colSum[3 * kFastTilePixels + 6 * kFastMaxPatch];

    for (int32_t t = 0; t < n; t += kFastTilePixels) {
        const Tile tile = StartTile(c, x0, t, std::min(kFastTilePixels, n - t), p, num, den);
        for (int32_t cy = g.y - g.up; cy <= g.y + g.down; ++cy) {
            const PatchRows rows = CandidatePatchRows(tile.base, g, cy, p, in.height, in.stride);
            for (int32_t dx = -s; dx <= s; ++dx) {
                const int32_t shift = 3 * dx;
                for (int32_t j = 0; j < tile.sumLanes; ++j)
                    colSum[j] = ColumnSum(rows, in.stride, j, shift);
                for (int32_t j = 0; j < tile.lanes; ++j)
                    AddLaneTerm(colSum + j, p, in, rows.candRow[j + shift], tile.nu[j], tile.de[j]);
            }
        }
    }
}

}  // namespace kc

namespace kc {

// Any pixels of a row, those whose patch is clamped sideways included. The
// reference shrinks the patch while it scans; worked out, the extents of
// candidate (cy, cx) of pixel x are
//   rows    -pUp .. PatchDown(cy)                  (see denoise_fast.h)
//   columns -min(p, max(x-s, 0)) .. pRight, where pRight is
//           min(p, W-1-max(x, cx)) in the first candidate row and
//           min(p, W-1-min(x+s, W-1)) in every later one,
// because each extent only ever shrinks and the first row's scan already
// reaches the window's right edge. With the extents known in advance the
// column sums of one offset serve every pixel of the run, as in the interior.
void BorderSums(const DenoiseCall& c, const RowGeometry& g, int32_t x0, int32_t n, double* num,
                double* den) {
    const int32_t W = c.job->width, H = c.job->height, N = c.job->tableLength;
    const int32_t p = c.params->patchRadius, s = c.params->searchRadius;
    const int64_t stride = RowStride(W);
    const float* table = c.table;
    const int32_t c0 = std::max(x0 - p, 0), c1 = std::min(x0 + n + p, W);
    // Lane j of colSum is byte j of the columns from c0 on.
    int32_t colSum[3 * (kFastTilePixels + 2 * kFastMaxPatch)];
    const uint8_t* outRows[2 * kFastMaxPatch + 1];
    const uint8_t* candRows[2 * kFastMaxPatch + 1];
    int32_t left[kFastTilePixels], right[kFastTilePixels], pLeft[kFastTilePixels];
    for (int32_t i = 0; i < n; ++i) {
        const int32_t x = x0 + i;
        left[i] = std::min(s, x);
        right[i] = std::min(s, W - 1 - x);
        pLeft[i] = std::min(p, x - left[i]);
    }
    std::fill(num, num + 3 * n, 0.0);
    std::fill(den, den + 3 * n, 0.0);

    for (int32_t cy = g.y - g.up; cy <= g.y + g.down; ++cy) {
        const bool firstRow = cy == g.y - g.up;
        const int32_t rows = g.pUp + PatchDown(p, H, g.y, cy) + 1;
        for (int32_t r = 0; r < rows; ++r) {
            outRows[r] = c.source + (g.y - g.pUp + r) * stride + 3 * int64_t{c0};
            candRows[r] = c.source + (cy - g.pUp + r) * stride + 3 * int64_t{c0};
        }
        const uint8_t* candRow = c.source + cy * stride;
        for (int32_t dx = -s; dx <= s; ++dx) {
            // Only columns whose candidate column x+dx is inside the image.
            const int32_t lo = 3 * (std::max(c0, -dx) - c0), hi = 3 * (std::min(c1, W - dx) - c0);
            const int32_t shift = 3 * dx;
            for (int32_t j = lo; j < hi; ++j) colSum[j] = 0;
            for (int32_t r = 0; r < rows; ++r) {
                const uint8_t* a = outRows[r];
                const uint8_t* b = candRows[r] + shift;
                for (int32_t j = lo; j < hi; ++j) {
                    const int32_t diff = a[j] - b[j];
                    colSum[j] += diff * diff;
                }
            }
            for (int32_t i = 0; i < n; ++i) {
                if (dx < -left[i] || dx > right[i]) continue;
                const int32_t x = x0 + i, cx = x + dx;
                const int32_t pRight = firstRow ? std::min(p, W - 1 - std::max(x, cx))
                                                : std::min(p, W - 1 - (x + right[i]));
                const int32_t* sums = colSum + 3 * (x - c0);
                const uint8_t* cand = candRow + 3 * int64_t{cx};
                for (int ch = 0; ch < 3; ++ch) {
                    int32_t d = 0;
                    for (int32_t k = -pLeft[i]; k <= pRight; ++k) d += sums[3 * k + ch];
                    if (d >= N) continue;
                    const double w = table[d];
                    num[3 * i + ch] += w * cand[ch];
                    den[3 * i + ch] += w;
                }
            }
        }
    }
}

}  // namespace kc
