// AVX2 interior kernel. Entered only after a runtime check (kernel_choice.cpp).
//
// Per offset and 8 lanes: column sums of squared differences (16-bit
// differences, squared and summed in 32 bits), the horizontal patch sum, a
// look-up of the weights (LookUp8: lanes at or past the cut-off add +0.0,
// which leaves a sum started at +0.0 unchanged), then num += w * byte and
// den += w in doubles, one rounding per add as in the reference. Whether one
// gather or 8 single loads look up the weights depends on the processor
// (GatherLookupsChosen); 512-bit vectors gained nothing measurable on Zen 4.
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#include <algorithm>

#include "avx2_target.h"
#include "denoise_fast.h"
#include "kernel_tile.h"

KC_BEGIN_AVX2
#include "avx2_column_sums.h"

namespace kc {
namespace {

// Column sums, one block per horizontal offset, stay within this many bytes so
// that they and the tile's other buffers share the first-level cache.
constexpr int32_t kColumnSumBytes = 12 * 1024;
constexpr int32_t kMaxColumnSums = kColumnSumBytes / 4 + 64;

// Pixels per tile for search radius s and patch radius p: whole 16-lane groups
// when the run is long enough.
inline int32_t TilePixels(int32_t s, int32_t p) {
    const int32_t perOffset = kColumnSumBytes / 4 / (2 * s + 1);
    const int32_t t = ((perOffset - 6 * p) / 3) & ~15;
    return std::max(16, std::min(kFastTilePixels, t));
}

inline int32_t BlockLanes(int32_t s, int32_t p) { return (3 * TilePixels(s, p) + 6 * p + 15) & ~15; }

// The weighted sums of every whole 8-lane group of a tile over the offsets of
// one candidate row; returns the first lane left for the one-lane tail.
// Counts the groups visited and those wholly past the cut-off. kSkip: such a
// group jumps over its gather and adds. That saves work when nearly all are
// past the cut-off (intensities below the noise), but where the groups mix
// the branch is mispredicted so often that visiting them costs less; a
// visited group's masked gather gives +0.0, which leaves a sum that started
// at +0.0 bit for bit unchanged, so both give the same sums.
template <int kP, bool kSkip, bool kGather>
inline int32_t GroupSums(int32_t pRead, int32_t s, int32_t lanes, int32_t block,
                         const int32_t* colSum, const double* candValues, const float* table,
                         __m256i limit, double* nu, double* de, int32_t& skipped,
                         int32_t& visited) {
    const int32_t p = kP >= 0 ? kP : pRead;
    int32_t j = 0;
    for (; j + 8 <= lanes; j += 8) {
        LaneSums8 sum = LaneSums8::Load(nu + j, de + j);
        const int32_t* sums = colSum + j;
        const double* cand = candValues + j;
        for (int32_t o = 0; o <= 2 * s; ++o, sums += block, cand += 3) {
            __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums));
            for (int32_t k = 1; k <= 2 * p; ++k)
                d = _mm256_add_epi32(
                    d, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums + 3 * k)));
            const __m256i use = _mm256_cmpgt_epi32(limit, d);
            ++visited;
            if (kSkip) {
                if (_mm256_testz_si256(use, use)) {
                    ++skipped;
                    continue;
                }
            } else {
                skipped += _mm256_testz_si256(use, use);
            }
            sum.Add(LookUp8<kGather>(table, d, use), cand);
        }
        sum.Store(nu + j, de + j);
    }
    return j;
}

// kP: the patch radius when known at compile time, -1 to read it from the call.
//
// Per tile, the output pixels' patch rows are widened to 16 bits once. Per
// candidate row: its patch rows widened, its bytes as doubles, the column
// sums of every horizontal offset; then, 8 lanes at a time, all offsets of
// the row in ascending order with the sums held in registers.
template <int kP, bool kGather>
void Sums(const DenoiseCall& c, const RowGeometry& g, int32_t x0, int32_t n, double* num,
          double* den) {
    const KernelInputs in = ReadInputs(c);
    const int32_t H = in.height;
    const int32_t p = kP >= 0 ? kP : c.params->patchRadius;
    const int32_t s = in.search;
    const int64_t stride = in.stride;
    const int32_t tile = TilePixels(s, p);
    const int32_t block = BlockLanes(s, p);
    alignas(32) int32_t colSum[kMaxColumnSums + 3 * kFastTilePixels + 6 * kWideMaxPatch + 32];
    alignas(32) int16_t outRows[(2 * kWideMaxPatch + 1) * kWideLanes];
    alignas(32) int16_t candRows[(2 * kWideMaxPatch + 1) * kWideLanes];
    alignas(32) double candValues[3 * kFastTilePixels + 6 * kWideMaxSearch + 8];
    const __m256i limit = _mm256_set1_epi32(in.cutOff);
    int32_t visited = 0, skipped = 0;  // 8-lane groups of the last candidate row

    for (int32_t t = 0; t < n; t += tile) {
        const Tile run = StartTile(c, x0, t, std::min(tile, n - t), p, num, den);
        const int32_t lanes = run.lanes, sumLanes = run.sumLanes;
        double* nu = run.nu;
        double* de = run.de;
        const uint8_t* base = run.base;
        // Output patch rows y-pUp .. y+min(p, H-1-y), lanes -3p .. lanes+3p.
        const int32_t outRowCount = g.pUp + PatchDown(p, H, g.y, g.y) + 1;
        for (int32_t r = 0; r < outRowCount; ++r)
            Widen(base + (g.y - g.pUp + r) * stride - 3 * p, sumLanes, outRows + r * kWideLanes);

        for (int32_t cy = g.y - g.up; cy <= g.y + g.down; ++cy) {
            const int32_t rows = g.pUp + PatchDown(p, H, g.y, cy) + 1;
            // Candidate patch rows over lanes -3p-3s .. lanes+3p+3s.
            const int32_t wideLanes = sumLanes + 6 * s;
            for (int32_t r = 0; r < rows; ++r)
                Widen(base + (cy - g.pUp + r) * stride - 3 * p - 3 * s, wideLanes,
                      candRows + r * kWideLanes);
            const uint8_t* candRow = base + cy * stride - 3 * s;
            for (int32_t j = 0; j < lanes + 6 * s; ++j) candValues[j] = candRow[j];

            for (int32_t dx = -s; dx <= s; ++dx) {
                int32_t* out = colSum + (dx + s) * block;
                const int16_t* b = candRows + 3 * (dx + s);
                if (kP == 1 && rows == 3)
                    ColumnSums<3>(outRows, b, rows, sumLanes, out);
                else
                    ColumnSums<0>(outRows, b, rows, sumLanes, out);
            }

            // Groups whose lanes are all past the cut-off are skipped with a
            // branch only while most are (see GroupSums); the counts of this
            // candidate row choose for the next one.
            const bool skipping = visited > 0 && 5 * skipped > 4 * visited;
            visited = skipped = 0;
            int32_t j = skipping
                            ? GroupSums<kP, true, kGather>(p, s, lanes, block, colSum, candValues,
                                                           in.table, limit, nu, de, skipped, visited)
                            : GroupSums<kP, false, kGather>(p, s, lanes, block, colSum, candValues,
                                                            in.table, limit, nu, de, skipped, visited);
            for (; j < lanes; ++j) {
                const int32_t* sums = colSum + j;
                const double* cand = candValues + j;
                for (int32_t o = 0; o <= 2 * s; ++o, sums += block, cand += 3)
                    AddLaneTerm(sums, p, in, *cand, nu[j], de[j]);
            }
        }
    }
}

}  // namespace

void InteriorSumsAvx2(const DenoiseCall& c, const RowGeometry& g, int32_t x0, int32_t n,
                      double* num, double* den) {
    const int32_t p = c.params->patchRadius, s = c.params->searchRadius;
    if (p > kWideMaxPatch || s > kWideMaxSearch || (2 * s + 1) * BlockLanes(s, p) > kMaxColumnSums) {
        // Far past what the dialog offers: one offset at a time.
        InteriorSumsSse2(c, g, x0, n, num, den);
        return;
    }
    const bool gather = GatherLookupsChosen();
    if (p == 1)
        gather ? Sums<1, true>(c, g, x0, n, num, den) : Sums<1, false>(c, g, x0, n, num, den);
    else
        gather ? Sums<-1, true>(c, g, x0, n, num, den) : Sums<-1, false>(c, g, x0, n, num, den);
}

namespace {

// Edge pixels with 3x3 patches: BorderSums' extents, 8 lanes at a time. A
// lane's left and right patch columns enter through masks; lanes whose
// candidate lies outside the window add nothing, like lanes past the cut-off.
template <bool kGather>
void BorderLanes(const DenoiseCall& c, const RowGeometry& g, int32_t x0, int32_t n, double* num,
                 double* den) {
    const int32_t W = c.job->width, H = c.job->height, N = c.job->tableLength;
    const int32_t p = c.params->patchRadius, s = c.params->searchRadius;
    const int64_t stride = RowStride(W);
    const int32_t c0 = std::max(x0 - 1, 0), c1 = std::min(x0 + n + 1, W);
    const int32_t lanes = 3 * n, groups = (lanes + 7) / 8;
    constexpr int32_t kPad = 8;
    // Column sums from column c0 on, after kPad lanes of slack on either side.
    alignas(32) int32_t colSum[kPad + 3 * (kFastTilePixels + 2) + 8 + kPad] = {};
    const int32_t pixelLane = kPad + 3 * (x0 - c0);  // colSum lane of the run's first byte
    // Candidate row bytes as doubles for columns x0-s .. x0+n+s, 0 outside the image.
    alignas(32) double candValues[3 * (kFastTilePixels + 2 * kWideMaxSearch) + 8];
    // Per lane: its pixel's column, window limits and the patch columns it may use.
    alignas(32) int32_t laneX[3 * kFastTilePixels + 8], laneLeft[3 * kFastTilePixels + 8],
        laneRight[3 * kFastTilePixels + 8], laneUseLeft[3 * kFastTilePixels + 8],
        laneUseRightLater[3 * kFastTilePixels + 8];
    for (int32_t j = 0; j < 8 * groups; ++j) {
        const bool real = j < lanes;
        const int32_t x = x0 + (real ? j / 3 : 0);
        const int32_t left = std::min(s, x), right = std::min(s, W - 1 - x);
        laneX[j] = x;
        // A lane past the run gets an empty window.
        laneLeft[j] = real ? -left : 1;
        laneRight[j] = real ? right : 0;
        laneUseLeft[j] = std::min(1, x - left) >= 1 ? -1 : 0;
        laneUseRightLater[j] = std::min(1, W - 1 - (x + right)) >= 1 ? -1 : 0;
    }
    std::fill(num, num + 8 * groups, 0.0);
    std::fill(den, den + 8 * groups, 0.0);
    const __m256i limit = _mm256_set1_epi32(N);
    const __m256i lastUsable = _mm256_set1_epi32(W - 2);  // a right column exists up to here

    for (int32_t cy = g.y - g.up; cy <= g.y + g.down; ++cy) {
        const bool firstRow = cy == g.y - g.up;
        const int32_t rows = g.pUp + PatchDown(p, H, g.y, cy) + 1;
        const uint8_t* outTop = c.source + (g.y - g.pUp) * stride + 3 * int64_t{c0};
        const uint8_t* candTop = c.source + (cy - g.pUp) * stride + 3 * int64_t{c0};
        const uint8_t* candRow = c.source + cy * stride;
        const int32_t v0 = x0 - s;  // column of candValues[0]
        for (int32_t k = 0; k < 3 * (n + 2 * s) + 8; ++k) {
            const int32_t col = v0 + k / 3;
            candValues[k] = col >= 0 && col < W && k < 3 * (n + 2 * s) ? candRow[3 * int64_t{v0} + k] : 0.0;
        }
        for (int32_t dx = -s; dx <= s; ++dx) {
            const int32_t lo = 3 * (std::max(c0, -dx) - c0), hi = 3 * (std::min(c1, W - dx) - c0);
            const int32_t shift = 3 * dx;
            int32_t* sums = colSum + kPad;
            for (int32_t j = lo; j < hi; ++j) sums[j] = 0;
            for (int32_t r = 0; r < rows; ++r) {
                const uint8_t* a = outTop + r * stride;
                const uint8_t* b = candTop + r * stride + shift;
                for (int32_t j = lo; j < hi; ++j) {
                    const int32_t diff = a[j] - b[j];
                    sums[j] += diff * diff;
                }
            }
            const __m256i dxv = _mm256_set1_epi32(dx);
            for (int32_t q = 0; q < groups; ++q) {
                const int32_t j = 8 * q;
                const __m256i x = _mm256_load_si256(reinterpret_cast<const __m256i*>(laneX + j));
                const __m256i inWindow = _mm256_andnot_si256(
                    _mm256_cmpgt_epi32(_mm256_load_si256(reinterpret_cast<const __m256i*>(laneLeft + j)), dxv),
                    _mm256_andnot_si256(
                        _mm256_cmpgt_epi32(dxv, _mm256_load_si256(reinterpret_cast<const __m256i*>(laneRight + j))),
                        _mm256_set1_epi32(-1)));
                if (_mm256_testz_si256(inWindow, inWindow)) continue;
                const __m256i useRight =
                    firstRow ? _mm256_andnot_si256(
                                   _mm256_cmpgt_epi32(_mm256_max_epi32(x, _mm256_add_epi32(x, dxv)), lastUsable),
                                   _mm256_set1_epi32(-1))
                             : _mm256_load_si256(reinterpret_cast<const __m256i*>(laneUseRightLater + j));
                const int32_t* at = colSum + pixelLane + j;
                __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
                d = _mm256_add_epi32(d, _mm256_and_si256(
                    _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at - 3)),
                    _mm256_load_si256(reinterpret_cast<const __m256i*>(laneUseLeft + j))));
                d = _mm256_add_epi32(d, _mm256_and_si256(
                    _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 3)), useRight));
                const __m256i use = _mm256_and_si256(inWindow, _mm256_cmpgt_epi32(limit, d));
                if (_mm256_testz_si256(use, use)) continue;
                const __m256 w = LookUp8<kGather>(c.table, d, use);
                const __m256d wLo = _mm256_cvtps_pd(_mm256_castps256_ps128(w));
                const __m256d wHi = _mm256_cvtps_pd(_mm256_extractf128_ps(w, 1));
                const double* cand = candValues + 3 * s + j + shift;
                _mm256_storeu_pd(num + j, _mm256_add_pd(_mm256_loadu_pd(num + j),
                                                       _mm256_mul_pd(wLo, _mm256_loadu_pd(cand))));
                _mm256_storeu_pd(num + j + 4, _mm256_add_pd(_mm256_loadu_pd(num + j + 4),
                                                           _mm256_mul_pd(wHi, _mm256_loadu_pd(cand + 4))));
                _mm256_storeu_pd(den + j, _mm256_add_pd(_mm256_loadu_pd(den + j), wLo));
                _mm256_storeu_pd(den + j + 4, _mm256_add_pd(_mm256_loadu_pd(den + j + 4), wHi));
            }
        }
    }
}

}  // namespace

void BorderSumsAvx2(const DenoiseCall& c, const RowGeometry& g, int32_t x0, int32_t n,
                    double* num, double* den) {
    if (c.params->patchRadius != 1 || c.params->searchRadius > kWideMaxSearch ||
        n > kFastTilePixels) {
        BorderSums(c, g, x0, n, num, den);
        return;
    }
    if (GatherLookupsChosen())
        BorderLanes<true>(c, g, x0, n, num, den);
    else
        BorderLanes<false>(c, g, x0, n, num, den);
}

}  // namespace kc
KC_END_AVX2
#endif
