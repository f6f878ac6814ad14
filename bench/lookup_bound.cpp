// The floor that the weight look-ups and the double adds set under the AVX2
// kernel:
//   calmora-bench --kc_lookup_bound=INTENSITY[,...]
// prints per intensity one line
//   bound intensity=I table-kb=K gather-ns-lane=G scalar-ns-lane=S adds-ns-lane=A index-ns-lane=X
// G: an 8-lane masked gather from the program's table of that intensity, per
// lane; S: the same look-ups one at a time (both through the kernels' own
// LookUp8, avx2_column_sums.h); A: the
// kernels' four chains of double adds (LaneSums8: num += w * byte, den += w)
// per lane. Each is
// net of X, the time of making the indices alone, which the passes share.
// Best of five passes of 2^24 lanes each. The indices come from a generator
// in registers, spread evenly over the whole table, so that no index stream
// from memory competes with the table for the caches: the common distances
// of noisy photos cover most of the table at the suggested intensities.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#include "avx2_target.h"
#include "denoise_run/weight_table.h"

KC_BEGIN_AVX2
#include "avx2_column_sums.h"
KC_END_AVX2

namespace bench {
namespace {

using Clock = std::chrono::steady_clock;
volatile float g_sink;  // keeps the passes' results alive
constexpr int64_t kLanes = int64_t{1} << 24;

enum class Step { Index, Gather, Scalar, Adds };

KC_BEGIN_AVX2

// Ns per lane of one pass; `sink` keeps the results alive.
double Pass(const float* table, int32_t length, Step step, float& sink) {
    // A Weyl sequence per lane, hashed by a multiply off the loop's chain of
    // dependences (only the add is carried); (h >> 8) * length >> 24 spreads
    // the hash's top bits over 0 .. length-1.
    __m256i x = _mm256_setr_epi32(1, 2, 3, 4, 5, 6, 7, 8);
    const __m256i a = _mm256_set1_epi32(1664525), c = _mm256_set1_epi32(-1640531527);
    const __m256i len = _mm256_set1_epi32(length);
    alignas(32) const double values[8] = {117, 117, 117, 117, 117, 117, 117, 117};
    __m256 w0 = _mm256_setzero_ps(), w1 = w0;
    kc::LaneSums8 sums = kc::LaneSums8::Zero();
    const auto t0 = Clock::now();
    for (int64_t j = 0; j < kLanes; j += 8) {
        x = _mm256_add_epi32(x, c);
        const __m256i top = _mm256_srli_epi32(_mm256_mullo_epi32(x, a), 8);
        const __m256i hi = _mm256_srli_epi64(_mm256_mul_epu32(top, len), 24);
        const __m256i lo = _mm256_srli_epi64(_mm256_mul_epu32(_mm256_srli_epi64(top, 32), len), 24);
        const __m256i d = _mm256_or_si256(hi, _mm256_slli_epi64(lo, 32));
        __m256 w;
        if (step == Step::Gather) {
            w = kc::LookUp8<true>(table, d, _mm256_cmpgt_epi32(len, d));
        } else if (step == Step::Scalar) {
            w = kc::LookUp8<false>(table, d, _mm256_cmpgt_epi32(len, d));
        } else if (step == Step::Index) {
            w = _mm256_cvtepi32_ps(d);
        } else {
            // No look-up: the index bits as weights, then the kernel's adds.
            w = _mm256_castsi256_ps(_mm256_and_si256(d, _mm256_set1_epi32(0x3fffff)));
            sums.Add(w, values);
            continue;
        }
        if (j & 8)
            w1 = _mm256_add_ps(w1, w);
        else
            w0 = _mm256_add_ps(w0, w);
    }
    const double ns = std::chrono::duration<double, std::nano>(Clock::now() - t0).count();
    alignas(32) float f[8];
    alignas(32) double g[4];
    _mm256_store_ps(f, _mm256_add_ps(w0, w1));
    _mm256_store_pd(g, _mm256_add_pd(_mm256_add_pd(sums.nLo, sums.nHi),
                                     _mm256_add_pd(sums.dLo, sums.dHi)));
    sink += f[0] + static_cast<float>(g[0]);
    return ns / kLanes;
}

KC_END_AVX2

double Best(const float* table, int32_t length, Step step, float& sink) {
    double best = 0;
    for (int i = 0; i < 5; ++i) {
        const double ns = Pass(table, length, step, sink);
        best = i == 0 ? ns : std::min(best, ns);
    }
    return best;
}

}  // namespace

int RunLookupBound(const char* intensities) {
    if (!__builtin_cpu_supports("avx2")) {
        std::fprintf(stderr, "calmora-bench: the look-up bound needs AVX2\n");
        return 1;
    }
    float sink = 0;
    const std::string list = intensities;
    for (size_t at = 0; at < list.size();) {
        const size_t end = std::min(list.find(',', at), list.size());
        const int intensity = std::atoi(list.substr(at, end - at).c_str());
        at = end + 1;
        if (intensity < calmora::kMinIntensity || intensity > calmora::kMaxIntensity) {
            std::fprintf(stderr, "calmora-bench: bad intensity in '%s'\n", intensities);
            return 1;
        }
        const std::vector<float> table = calmora::BuildWeightTable(static_cast<int16_t>(intensity));
        const int32_t length = calmora::WeightTableLength(static_cast<int16_t>(intensity));
        const double index = Best(table.data(), length, Step::Index, sink);
        const double gather = Best(table.data(), length, Step::Gather, sink) - index;
        const double scalar = Best(table.data(), length, Step::Scalar, sink) - index;
        const double adds = Best(table.data(), length, Step::Adds, sink) - index;
        std::printf("bound intensity=%d table-kb=%.0f gather-ns-lane=%.3f scalar-ns-lane=%.3f "
                    "adds-ns-lane=%.3f index-ns-lane=%.3f\n",
                    intensity, table.size() * 4 / 1024.0, gather, scalar, adds, index);
        std::fflush(stdout);
    }
    g_sink = sink;
    return 0;
}

}  // namespace bench
#else
namespace bench {
int RunLookupBound(const char*) {
    std::fprintf(stderr, "calmora-bench: the look-up bound is measured on x86 only\n");
    return 1;
}
}  // namespace bench
#endif
