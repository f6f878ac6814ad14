// The table condition of the paired pass (denoise_paired.h), eight entries
// at a time. Entered only after the runtime check for AVX2.
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#include "avx2_target.h"
#include "denoise_paired.h"

KC_BEGIN_AVX2

namespace kc {

bool PairedTableFits(const float* table, int32_t length) {
    const __m256 low = _mm256_set1_ps(0x1p-11f), one = _mm256_set1_ps(1.0f);
    const __m256 zero = _mm256_setzero_ps();
    __m256 bad = zero;
    int32_t i = 0;
    for (; i + 8 <= length; i += 8) {
        const __m256 v = _mm256_loadu_ps(table + i);
        // Ordered compares: NaN is neither zero nor in range.
        const __m256 fits = _mm256_or_ps(
            _mm256_cmp_ps(v, zero, _CMP_EQ_OQ),
            _mm256_and_ps(_mm256_cmp_ps(v, low, _CMP_GE_OQ), _mm256_cmp_ps(v, one, _CMP_LE_OQ)));
        bad = _mm256_or_ps(bad, _mm256_xor_ps(fits, _mm256_castsi256_ps(_mm256_set1_epi32(-1))));
    }
    if (!_mm256_testz_ps(bad, bad)) return false;
    for (; i < length; ++i) {
        const float v = table[i];
        if (!(v == 0.0f || (v >= 0x1p-11f && v <= 1.0f))) return false;
    }
    return true;
}

}  // namespace kc
KC_END_AVX2
#endif
