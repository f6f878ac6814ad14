// AVX2 paired pass (the argument is in denoise_paired.h).
//
// Source rows are visited bottom up. For source row y the kernel takes the
// forward half of the window (candidate rows y..y+s, and in row y only the
// columns to the right) tile by tile: per 8 lanes and offset one look-up
// gives the weight, which is added to the source pixel's own sums (held in
// registers) and stored; a second loop then adds the stored weights to the
// candidates' sums, 8 candidate lanes at a time over every offset, so each
// candidate lane is read and written once per candidate row. The candidates'
// sums live in a ring of s+1 rows: once source row y is done no later row
// adds to row y, which is then finished and its ring row reused.
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "avx2_target.h"
#include "denoise_fast.h"
#include "denoise_paired.h"

KC_BEGIN_AVX2
#include "avx2_column_sums.h"

namespace kc {

namespace {

// Output pixels per tile: a multiple of 8, so that 3 lanes a pixel fill whole
// 8-lane groups, and small enough that the stored weights of every offset
// stay in the first-level cache.
inline int32_t PairedTilePixels(int32_t s) {
    const int32_t perOffset = 2560 / (2 * s + 1);  // floats, about 10 KB in all
    return std::max(16, std::min(96, ((perOffset - 16) / 3) & ~7));
}

// Lanes of slack on either side of every weight row and ring row.
constexpr int32_t kSlack = 16;

struct Pass {
    const DenoiseCall* call;
    const Finish* finish;
    PairedGeometry g;
    int32_t p, s, tile;
    int32_t x0, x1;            // source columns visited (finished ones +- s)
    int32_t ringLanes;         // lanes of one ring row, slack included
    std::vector<double> ring;  // (s+1) rows of numerators, then (s+1) of denominators
    double* RingNum(int32_t row) { return ring.data() + (row % (s + 1)) * int64_t{ringLanes}; }
    double* RingDen(int32_t row) {
        return ring.data() + (s + 1 + row % (s + 1)) * int64_t{ringLanes};
    }
    // Ring lane of column x's first byte.
    int32_t RingLane(int32_t x) const { return kSlack + 3 * (x - (x0 - s)); }
};

// Rounds toward minus infinity, for negative lane counts too.
inline int32_t FloorDiv3(int32_t v) { return v >= 0 ? v / 3 : -((2 - v) / 3); }

// One tile of source row y: pixels xt .. xt+n-1. kOwn: the row is finished,
// so its pixels keep their own sums; before the finished rows it only gives.
template <int kP, bool kOwn, bool kGather>
void Tile(Pass& k, int32_t y, int32_t xt, int32_t n) {
    const DenoiseCall& c = *k.call;
    const int32_t p = kP >= 0 ? kP : k.p, s = k.s, N = c.job->tableLength;
    const int64_t stride = RowStride(c.job->width);
    const float* table = c.table;
    const int32_t lanes = 3 * n, groups = (lanes + 7) / 8, l8 = 8 * groups;
    const int32_t sumLanes = l8 + 6 * p;
    const int32_t block = (sumLanes + 15) & ~15;
    const int32_t offsets = 2 * s + 1;
    const int32_t wRow = l8 + 2 * kSlack;

    alignas(32) int16_t outRows[(2 * kWideMaxPatch + 1) * kWideLanes];
    alignas(32) int16_t candRows[(2 * kWideMaxPatch + 1) * kWideLanes];
    alignas(32) int32_t colSum[(2 * kPairedMaxSearch + 1) * (3 * 96 + 6 * kWideMaxPatch + 16)];
    alignas(32) float weights[(2 * kPairedMaxSearch + 1) * (3 * 96 + 2 * kSlack)];
    alignas(32) double candValues[3 * 96 + 6 * kPairedMaxSearch + 16];
    alignas(32) double own[3 * 96 + 2 * kSlack];  // this row's bytes, 0 past the tile
    alignas(32) double nu[3 * 96], de[3 * 96];

    const uint8_t* base = c.source + 3 * int64_t{xt};
    for (int32_t r = 0; r <= 2 * p; ++r)
        Widen(base + (y - p + r) * stride - 3 * p, lanes + 6 * p, outRows + r * kWideLanes);
    std::fill(own, own + l8 + 2 * kSlack, 0.0);
    for (int32_t j = 0; j < lanes; ++j) own[kSlack + j] = base[y * stride + j];
    for (int32_t o = 0; o < offsets; ++o) {
        std::fill(weights + o * wRow, weights + o * wRow + kSlack, 0.0f);
        std::fill(weights + o * wRow + kSlack + l8, weights + (o + 1) * wRow, 0.0f);
    }
    // The pixel itself: distance 0.
    const double self = table[0];
    for (int32_t j = 0; j < l8; ++j) {
        nu[j] = self * own[kSlack + j];
        de[j] = j < lanes ? self : 0.0;
    }
    const __m256i limit = _mm256_set1_epi32(N);
    const __m256i laneIndex = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);

    // A row below the finished ones gives only to rows from firstRow on.
    for (int32_t dy = kOwn ? 0 : k.g.firstRow - y; dy <= s; ++dy) {
        const int32_t cy = y + dy;
        const int32_t dxLo = dy == 0 ? 1 : -s;
        const bool gives = cy <= k.g.lastRow;  // rows past the last are never finished
        if (!kOwn && !gives) break;
        if (dxLo > s) continue;
        for (int32_t r = 0; r <= 2 * p; ++r)
            Widen(base + (cy - p + r) * stride - 3 * p - 3 * s, lanes + 6 * p + 6 * s,
                  candRows + r * kWideLanes);
        const uint8_t* candRow = base + cy * stride - 3 * s;
        int32_t v = 0;
        for (; v < lanes + 6 * s; ++v) candValues[v] = candRow[v];
        for (; v < l8 + 6 * s + 8; ++v) candValues[v] = 0.0;
        for (int32_t dx = dxLo; dx <= s; ++dx) {
            int32_t* out = colSum + (dx + s) * block;
            const int16_t* b = candRows + 3 * (dx + s);
            if (kP == 1)
                ColumnSums<3>(outRows, b, 3, sumLanes, out);
            else
                ColumnSums<0>(outRows, b, 2 * p + 1, sumLanes, out);
        }

        // Weights, and the source pixels' own sums.
        for (int32_t j = 0; j < l8; j += 8) {
            const __m256i inTile = _mm256_cmpgt_epi32(_mm256_set1_epi32(lanes - j), laneIndex);
            LaneSums8 sum = LaneSums8::Load(nu + j, de + j);
            for (int32_t dx = dxLo; dx <= s; ++dx) {
                const int32_t* sums = colSum + (dx + s) * block + j;
                __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums));
                for (int32_t q = 1; q <= 2 * p; ++q)
                    d = _mm256_add_epi32(
                        d, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums + 3 * q)));
                const __m256i use = _mm256_and_si256(inTile, _mm256_cmpgt_epi32(limit, d));
                float* wAt = weights + (dx + s) * wRow + kSlack + j;
                if (_mm256_testz_si256(use, use)) {
                    _mm256_store_ps(wAt, _mm256_setzero_ps());
                    continue;
                }
                const __m256 w = LookUp8<kGather>(table, d, use);
                _mm256_store_ps(wAt, w);
                if (kOwn) sum.Add(w, candValues + j + 3 * (dx + s));
            }
            sum.Store(nu + j, de + j);
        }
        if (!gives) continue;

        // The same weights into the candidates' sums: candidate lane m got
        // the weight of source lane m - 3dx at offset dx.
        double* ringNum = k.RingNum(cy) + k.RingLane(xt);
        double* ringDen = k.RingDen(cy) + k.RingLane(xt);
        for (int32_t m = 3 * dxLo; m < l8 + 3 * s; m += 8) {
            // Offsets whose source lanes m-3dx .. m-3dx+7 meet the tile.
            const int32_t first = std::max(dxLo, FloorDiv3(m - l8) + 1);
            const int32_t last = std::min(s, FloorDiv3(m + 7));
            LaneSums8 sum = LaneSums8::Zero();
            for (int32_t dx = first; dx <= last; ++dx) {
                const int32_t src = kSlack + m - 3 * dx;
                sum.Add(_mm256_loadu_ps(weights + (dx + s) * wRow + src), own + src);
            }
            _mm256_storeu_pd(ringNum + m, _mm256_add_pd(_mm256_loadu_pd(ringNum + m), sum.nLo));
            _mm256_storeu_pd(ringNum + m + 4, _mm256_add_pd(_mm256_loadu_pd(ringNum + m + 4), sum.nHi));
            _mm256_storeu_pd(ringDen + m, _mm256_add_pd(_mm256_loadu_pd(ringDen + m), sum.dLo));
            _mm256_storeu_pd(ringDen + m + 4, _mm256_add_pd(_mm256_loadu_pd(ringDen + m + 4), sum.dHi));
        }
    }
    if (!kOwn) return;
    double* ringNum = k.RingNum(y) + k.RingLane(xt);
    double* ringDen = k.RingDen(y) + k.RingLane(xt);
    for (int32_t j = 0; j < lanes; ++j) {
        ringNum[j] += nu[j];
        ringDen[j] += de[j];
    }
}

template <int kP, bool kGather>
void Rows(Pass& k) {
    const DenoiseCall& c = *k.call;
    const int64_t stride = RowStride(c.job->width);
    for (int32_t y = k.g.firstRow - k.s; y <= k.g.lastRow; ++y) {
        const bool finished = y >= k.g.firstRow;
        for (int32_t x = k.x0; x <= k.x1; x += k.tile) {
            const int32_t n = std::min(k.tile, k.x1 + 1 - x);
            if (finished)
                Tile<kP, true, kGather>(k, y, x, n);
            else
                Tile<kP, false, kGather>(k, y, x, n);
        }
        double* num = k.RingNum(y);
        double* den = k.RingDen(y);
        if (finished)
            for (int32_t x = k.g.firstColumn; x <= k.g.lastColumn; ++x) {
                const int32_t lane = k.RingLane(x);
                k.finish->Pixel(c, static_cast<size_t>(y * stride + 3 * int64_t{x}), num + lane,
                                den + lane);
            }
        // The ring row becomes row y+s+1, which no source row has reached yet.
        std::fill(num, num + k.ringLanes, 0.0);
        std::fill(den, den + k.ringLanes, 0.0);
    }
}

}  // namespace

void PairedSumsAvx2(const DenoiseCall& c, const Finish& f, const PairedGeometry& g) {
    Pass k;
    k.call = &c;
    k.finish = &f;
    k.g = g;
    k.p = c.params->patchRadius;
    k.s = c.params->searchRadius;
    k.tile = PairedTilePixels(k.s);
    k.x0 = g.firstColumn - k.s;
    k.x1 = g.lastColumn + k.s;
    k.ringLanes = 3 * (k.x1 - k.x0 + 1 + 2 * k.s) + 2 * kSlack + 8;
    k.ring.assign(static_cast<size_t>(2 * (k.s + 1)) * k.ringLanes, 0.0);
    const bool gather = GatherLookupsChosen();
    if (k.p == 1)
        gather ? Rows<1, true>(k) : Rows<1, false>(k);
    else
        gather ? Rows<-1, true>(k) : Rows<-1, false>(k);
}

}  // namespace kc
KC_END_AVX2
#endif
