// SSE2 interior kernel for x86 processors without AVX2. Same scheme as the
// AVX2 kernel; weights are looked up one lane at a time (no gather).
#if defined(__x86_64__) || defined(__i386__)
#include <emmintrin.h>

#include <algorithm>

#include "denoise_fast.h"
#include "kernel_tile.h"

namespace kc {
namespace {

inline __m128i LoadWords8(const uint8_t* p) {
    return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                             _mm_setzero_si128());
}

template <int kP>
void Sums(const DenoiseCall& c, const RowGeometry& g, int32_t x0, int32_t n, double* num,
          double* den) {
    const KernelInputs in = ReadInputs(c);
    const int32_t p = kP >= 0 ? kP : c.params->patchRadius;
    const int32_t s = in.search;
    const int64_t stride = in.stride;
    const float* table = in.table;
    alignas(16) int32_t colSum[3 * kFastTilePixels + 6 * kFastMaxPatch + 8];
    alignas(16) float weight[8];
    const __m128i zero = _mm_setzero_si128();
    const __m128i limit = _mm_set1_epi32(in.cutOff);

    for (int32_t t = 0; t < n; t += kFastTilePixels) {
        const Tile tile = StartTile(c, x0, t, std::min(kFastTilePixels, n - t), p, num, den);
        const int32_t lanes = tile.lanes, sumLanes = tile.sumLanes;
        double* nu = tile.nu;
        double* de = tile.de;

        for (int32_t cy = g.y - g.up; cy <= g.y + g.down; ++cy) {
            const PatchRows rows = CandidatePatchRows(tile.base, g, cy, p, in.height, stride);
            const uint8_t* outTop = rows.outTop;
            const uint8_t* candTop = rows.candTop;
            for (int32_t dx = -s; dx <= s; ++dx) {
                const int32_t shift = 3 * dx;
                int32_t j = 0;
                for (; j + 8 <= sumLanes; j += 8) {
                    __m128i lo = zero, hi = zero;
                    for (int32_t r = 0; r < rows.rows; ++r) {
                        const __m128i diff =
                            _mm_sub_epi16(LoadWords8(outTop + r * stride + j),
                                          LoadWords8(candTop + r * stride + j + shift));
                        const __m128i dLo = _mm_unpacklo_epi16(diff, zero);
                        const __m128i dHi = _mm_unpackhi_epi16(diff, zero);
                        lo = _mm_add_epi32(lo, _mm_madd_epi16(dLo, dLo));
                        hi = _mm_add_epi32(hi, _mm_madd_epi16(dHi, dHi));
                    }
                    _mm_store_si128(reinterpret_cast<__m128i*>(colSum + j), lo);
                    _mm_store_si128(reinterpret_cast<__m128i*>(colSum + j + 4), hi);
                }
                for (; j < sumLanes; ++j) colSum[j] = ColumnSum(rows, stride, j, shift);

                const uint8_t* cand = rows.candRow + shift;
                j = 0;
                for (; j + 8 <= lanes; j += 8) {
                    alignas(16) int32_t d[8];
                    __m128i dLo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(colSum + j));
                    __m128i dHi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(colSum + j + 4));
                    for (int32_t k = 1; k <= 2 * p; ++k) {
                        dLo = _mm_add_epi32(dLo, _mm_loadu_si128(reinterpret_cast<const __m128i*>(colSum + j + 3 * k)));
                        dHi = _mm_add_epi32(dHi, _mm_loadu_si128(reinterpret_cast<const __m128i*>(colSum + j + 3 * k + 4)));
                    }
                    const int useMask = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmplt_epi32(dLo, limit))) |
                                        (_mm_movemask_ps(_mm_castsi128_ps(_mm_cmplt_epi32(dHi, limit))) << 4);
                    if (useMask == 0) continue;
                    _mm_store_si128(reinterpret_cast<__m128i*>(d), dLo);
                    _mm_store_si128(reinterpret_cast<__m128i*>(d + 4), dHi);
                    for (int k = 0; k < 8; ++k) weight[k] = (useMask >> k) & 1 ? table[d[k]] : 0.0f;
                    const __m128i bytes = _mm_unpacklo_epi8(
                        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(cand + j)), zero);
                    const __m128i b03 = _mm_unpacklo_epi16(bytes, zero);
                    const __m128i b47 = _mm_unpackhi_epi16(bytes, zero);
                    const __m128i bq[4] = {b03, _mm_srli_si128(b03, 8), b47, _mm_srli_si128(b47, 8)};
                    for (int q = 0; q < 4; ++q) {
                        const __m128d w = _mm_cvtps_pd(_mm_castsi128_ps(
                            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(weight + 2 * q))));
                        const __m128d b = _mm_cvtepi32_pd(bq[q]);
                        double* nq = nu + j + 2 * q;
                        double* dq = de + j + 2 * q;
                        _mm_storeu_pd(nq, _mm_add_pd(_mm_loadu_pd(nq), _mm_mul_pd(w, b)));
                        _mm_storeu_pd(dq, _mm_add_pd(_mm_loadu_pd(dq), w));
                    }
                }
                for (; j < lanes; ++j) AddLaneTerm(colSum + j, p, in, cand[j], nu[j], de[j]);
            }
        }
    }
}

}  // namespace

void InteriorSumsSse2(const DenoiseCall& c, const RowGeometry& g, int32_t x0, int32_t n,
                      double* num, double* den) {
    if (c.params->patchRadius == 1)
        Sums<1>(c, g, x0, n, num, den);
    else
        Sums<-1>(c, g, x0, n, num, den);
}

}  // namespace kc
#endif
