// The table condition that lets a call add each weight to both pixels of a
// pair: every entry below the cut-off +-0 or in [2^-11, 1]. A wrong answer
// "fits" would let rounding depend on the adding order, so each kind of entry
// that breaks it is tried at every position of an 8-entry group and in the
// tail the vector loop leaves.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "denoise_paired.h"
#include "denoise_run/weight_table.h"

namespace {

bool HasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

TEST(PairedTable, ProgramTablesFit) {
    if (!HasAvx2()) GTEST_SKIP() << "no AVX2 on this processor";
    const int16_t sigmas[] = {1, 2, 7, 20, 50, 200, calmora::kMaxIntensity};
    for (int16_t sigma : sigmas) {
        const std::vector<float> t = calmora::BuildWeightTable(sigma);
        EXPECT_TRUE(kc::PairedTableFits(t.data(), calmora::WeightTableLength(sigma))) << sigma;
    }
}

TEST(PairedTable, EdgesOfTheRangeAndZerosFit) {
    if (!HasAvx2()) GTEST_SKIP() << "no AVX2 on this processor";
    const std::vector<float> t = {1.0f, 0x1p-11f, 0.0f, -0.0f, 0.5f, 0x1.fffffep-1f,
                                  0x1.000002p-11f, 0.0f, 0.25f, 0x1p-11f, -0.0f};
    for (int32_t length = 0; length <= static_cast<int32_t>(t.size()); ++length)
        EXPECT_TRUE(kc::PairedTableFits(t.data(), length)) << length;
}

TEST(PairedTable, AnyEntryOutsideTheRangeFails) {
    if (!HasAvx2()) GTEST_SKIP() << "no AVX2 on this processor";
    const float bad[] = {std::nextafter(0x1p-11f, 0.0f),
                         std::nextafter(1.0f, 2.0f),
                         -0x1p-11f,
                         -1.0f,
                         std::numeric_limits<float>::denorm_min(),
                         std::numeric_limits<float>::quiet_NaN(),
                         std::numeric_limits<float>::infinity(),
                         0x1p-40f,
                         2.0f};
    const std::vector<float> base = calmora::BuildWeightTable(3);  // 127 entries
    const int32_t length = calmora::WeightTableLength(3);           // 126: 15 groups and a tail
    for (const float v : bad) {
        for (int32_t at : {0, 1, 5, 7, 8, 63, 119, 120, 123, length - 1}) {
            std::vector<float> t = base;
            t[static_cast<size_t>(at)] = v;
            EXPECT_FALSE(kc::PairedTableFits(t.data(), length)) << v << " at " << at;
            // An entry at or past the cut-off is never used and does not count.
            EXPECT_TRUE(kc::PairedTableFits(t.data(), at)) << v << " at " << at;
        }
    }
}

}  // namespace
