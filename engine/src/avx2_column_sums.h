// Patch-row and 8-lane helpers of the AVX2 kernels, included after
// KC_BEGIN_AVX2 (avx2_target.h) by the AVX2 translation units and by no
// other: everything here has internal linkage, so no copy built for AVX2 can
// stand in for code of another level.
#pragma once
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#include <cstdint>

#include "denoise_fast.h"

namespace kc {
namespace {

// Largest radii this kernel serves; its buffers live on the stack.
constexpr int32_t kWideMaxPatch = 2;
constexpr int32_t kWideMaxSearch = 48;
// Lane stride of the 16-bit copies of patch rows; long enough for a tile,
// both patch margins and both window margins of the widest window served.
constexpr int32_t kWideLanes = 3 * kFastTilePixels + 6 * kWideMaxPatch + 6 * kWideMaxSearch + 32;

// Copies n bytes into 16-bit lanes and zeroes the next 32 lanes, which the
// column sums of a partly filled last group read.
inline void Widen(const uint8_t* src, int32_t n, int16_t* out) {
    int32_t j = 0;
    for (; j + 16 <= n; j += 16)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + j),
                            _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + j))));
    for (; j < n; ++j) out[j] = src[j];
    for (int32_t k = 0; k < 32; ++k) out[n + k] = 0;
}

// out[j] = sum over `rows` rows of (a[r][j] - b[r][j])^2 for 16-lane groups
// covering sumLanes; rows are kWideLanes apart. Pairs of rows are
// interleaved so that one multiply-add squares and sums both.
template <int kRows>
inline void ColumnSums(const int16_t* a, const int16_t* b, int32_t rows, int32_t sumLanes,
                       int32_t* out) {
    const int32_t n = kRows > 0 ? kRows : rows;
    const __m256i zero = _mm256_setzero_si256();
    for (int32_t j = 0; j < sumLanes; j += 16) {
        __m256i lo = zero, hi = zero;
        int32_t r = 0;
        for (; r + 2 <= n; r += 2) {
            const __m256i d0 = _mm256_sub_epi16(
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + r * kWideLanes + j)),
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + r * kWideLanes + j)));
            const __m256i d1 = _mm256_sub_epi16(
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + (r + 1) * kWideLanes + j)),
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + (r + 1) * kWideLanes + j)));
            const __m256i pl = _mm256_unpacklo_epi16(d0, d1), ph = _mm256_unpackhi_epi16(d0, d1);
            lo = _mm256_add_epi32(lo, _mm256_madd_epi16(pl, pl));
            hi = _mm256_add_epi32(hi, _mm256_madd_epi16(ph, ph));
        }
        if (r < n) {
            const __m256i d0 = _mm256_sub_epi16(
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + r * kWideLanes + j)),
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + r * kWideLanes + j)));
            const __m256i pl = _mm256_unpacklo_epi16(d0, zero), ph = _mm256_unpackhi_epi16(d0, zero);
            lo = _mm256_add_epi32(lo, _mm256_madd_epi16(pl, pl));
            hi = _mm256_add_epi32(hi, _mm256_madd_epi16(ph, ph));
        }
        // lo holds lanes 0-3 and 8-11, hi 4-7 and 12-15.
        _mm256_store_si256(reinterpret_cast<__m256i*>(out + j), _mm256_permute2x128_si256(lo, hi, 0x20));
        _mm256_store_si256(reinterpret_cast<__m256i*>(out + j + 8), _mm256_permute2x128_si256(lo, hi, 0x31));
    }
}

// The table entries of the 8 distances in d where `use` is set and +0.0
// where it is clear, as a masked gather gives them; kGather: one gather,
// otherwise 8 single loads, which some processors run faster
// (GatherLookupsChosen). A lane left out reads entry 0, which every table
// has (the kernels run only with a cut-off of 1 or more), and is then
// cleared: its distance may be past the table, or not a distance at all.
template <bool kGather>
inline __m256 LookUp8(const float* table, __m256i d, __m256i use) {
    if (kGather)
        return _mm256_mask_i32gather_ps(_mm256_setzero_ps(), table, d, _mm256_castsi256_ps(use), 4);
    alignas(32) int32_t at[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(at), _mm256_and_si256(d, use));
    const __m256 w = _mm256_setr_ps(table[at[0]], table[at[1]], table[at[2]], table[at[3]],
                                    table[at[4]], table[at[5]], table[at[6]], table[at[7]]);
    return _mm256_and_ps(w, _mm256_castsi256_ps(use));
}

// The weighted sums of 8 lanes, kept in registers while the offsets of a
// candidate row add to them: numerators and denominators of lanes 0-3 and
// 4-7, in doubles.
struct LaneSums8 {
    __m256d nLo, nHi, dLo, dHi;

    static LaneSums8 Zero() {
        const __m256d zero = _mm256_setzero_pd();
        return {zero, zero, zero, zero};
    }
    static LaneSums8 Load(const double* nu, const double* de) {
        return {_mm256_loadu_pd(nu), _mm256_loadu_pd(nu + 4), _mm256_loadu_pd(de),
                _mm256_loadu_pd(de + 4)};
    }
    // num += w * cand and den += w, lane by lane, one rounding per add.
    void Add(__m256 w, const double* cand) {
        const __m256d wLo = _mm256_cvtps_pd(_mm256_castps256_ps128(w));
        const __m256d wHi = _mm256_cvtps_pd(_mm256_extractf128_ps(w, 1));
        nLo = _mm256_add_pd(nLo, _mm256_mul_pd(wLo, _mm256_loadu_pd(cand)));
        nHi = _mm256_add_pd(nHi, _mm256_mul_pd(wHi, _mm256_loadu_pd(cand + 4)));
        dLo = _mm256_add_pd(dLo, wLo);
        dHi = _mm256_add_pd(dHi, wHi);
    }
    void Store(double* nu, double* de) const {
        _mm256_storeu_pd(nu, nLo);
        _mm256_storeu_pd(nu + 4, nHi);
        _mm256_storeu_pd(de, dLo);
        _mm256_storeu_pd(de + 4, dHi);
    }
};

}  // namespace
}  // namespace kc
#endif
