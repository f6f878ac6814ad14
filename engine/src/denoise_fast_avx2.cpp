// AVX2 interior kernel. Entered only after a runtime check (cpu_features.cpp).
//
// Per offset and 8 lanes: column sums of squared differences in 32 bits, the
// horizontal patch sum, a masked gather of the weights (lanes at or past the
// cut-off load nothing and add +0.0, which leaves a sum started at +0.0
// unchanged), then num += w * byte and den += w in doubles, one rounding per
// add as in the reference.
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#include <algorithm>

#include "denoise_fast.h"

namespace kc {
namespace {

inline __m256i LoadBytes8(const uint8_t* p) {
    return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
}

// kP: the patch radius when known at compile time, -1 to read it from the call.
template <int kP>
void Sums(const DenoiseCall& c, const RowGeometry& g, int32_t x0, int32_t n, double* num,
          double* den) {
    const int32_t H = c.job->height, N = c.job->tableLength;
    const int32_t p = kP >= 0 ? kP : c.params->patchRadius;
    const int32_t s = c.params->searchRadius;
    const int64_t stride = RowStride(c.job->width);
    const float* table = c.table;
    alignas(32) int32_t colSum[3 * kFastTilePixels + 6 * kFastMaxPatch + 8];
    const __m256i limit = _mm256_set1_epi32(N);

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
                int32_t j = 0;
                for (; j + 8 <= sumLanes; j += 8) {
                    __m256i acc = _mm256_setzero_si256();
                    for (int32_t r = 0; r < rows; ++r) {
                        const __m256i a = LoadBytes8(outTop + r * stride + j);
                        const __m256i b = LoadBytes8(candTop + r * stride + j + shift);
                        const __m256i diff = _mm256_sub_epi32(a, b);
                        acc = _mm256_add_epi32(acc, _mm256_mullo_epi32(diff, diff));
                    }
                    _mm256_store_si256(reinterpret_cast<__m256i*>(colSum + j), acc);
                }
                for (; j < sumLanes; ++j) {
                    int32_t acc = 0;
                    for (int32_t r = 0; r < rows; ++r) {
                        const int32_t diff = outTop[r * stride + j] - candTop[r * stride + j + shift];
                        acc += diff * diff;
                    }
                    colSum[j] = acc;
                }

                const uint8_t* cand = candRow + shift;
                j = 0;
                for (; j + 8 <= lanes; j += 8) {
                    __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(colSum + j));
                    for (int32_t k = 1; k <= 2 * p; ++k)
                        d = _mm256_add_epi32(
                            d, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(colSum + j + 3 * k)));
                    const __m256i use = _mm256_cmpgt_epi32(limit, d);
                    if (_mm256_movemask_epi8(use) == 0) continue;
                    const __m256 w = _mm256_mask_i32gather_ps(_mm256_setzero_ps(), table, d,
                                                              _mm256_castsi256_ps(use), 4);
                    const __m256i bytes = LoadBytes8(cand + j);
                    const __m256d wLo = _mm256_cvtps_pd(_mm256_castps256_ps128(w));
                    const __m256d wHi = _mm256_cvtps_pd(_mm256_extractf128_ps(w, 1));
                    const __m256d bLo = _mm256_cvtepi32_pd(_mm256_castsi256_si128(bytes));
                    const __m256d bHi = _mm256_cvtepi32_pd(_mm256_extracti128_si256(bytes, 1));
                    _mm256_storeu_pd(nu + j, _mm256_add_pd(_mm256_loadu_pd(nu + j), _mm256_mul_pd(wLo, bLo)));
                    _mm256_storeu_pd(nu + j + 4,
                                     _mm256_add_pd(_mm256_loadu_pd(nu + j + 4), _mm256_mul_pd(wHi, bHi)));
                    _mm256_storeu_pd(de + j, _mm256_add_pd(_mm256_loadu_pd(de + j), wLo));
                    _mm256_storeu_pd(de + j + 4, _mm256_add_pd(_mm256_loadu_pd(de + j + 4), wHi));
                }
                for (; j < lanes; ++j) {
                    int32_t d = 0;
                    for (int32_t k = 0; k <= 2 * p; ++k) d += colSum[j + 3 * k];
                    if (d >= N) continue;
                    const double w = table[d];
                    nu[j] += w * cand[j];
                    de[j] += w;
                }
            }
        }
    }
}

}  // namespace

void InteriorSumsAvx2(const DenoiseCall& c, const RowGeometry& g, int32_t x0, int32_t n,
                      double* num, double* den) {
    if (c.params->patchRadius == 1)
        Sums<1>(c, g, x0, n, num, den);
    else
        Sums<-1>(c, g, x0, n, num, den);
}

}  // namespace kc
#endif
