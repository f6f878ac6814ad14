#include "denoise_run/weight_table.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace calmora {
namespace {

TEST(WeightTable, SigmaOneHasFifteenEntriesAndCutOffFourteen) {
    const std::vector<float> table = BuildWeightTable(1);
    ASSERT_EQ(table.size(), 15u);
    EXPECT_EQ(WeightTableLength(1), 14);
    EXPECT_EQ(table[0], 1.0f);
    // n / (2 sigma^2) = 1 at n = 2: one step of the base.
    EXPECT_NEAR(table[2], 0.36787944f, 1e-7f);
    EXPECT_NEAR(table[14], 0.000911882f, 1e-8f);
}

TEST(WeightTable, LargestSigmaKeepsTheSameShapeOverItsLongerRange) {
    const std::vector<float> table = BuildWeightTable(kMaxIntensity);
    const int32_t count = 14 * 200 * 200;
    ASSERT_EQ(WeightTableLength(kMaxIntensity), count);
    ASSERT_EQ(table.size(), static_cast<size_t>(count) + 1);
    EXPECT_EQ(table[0], 1.0f);
    EXPECT_NEAR(table[count], 0.000912f, 0.000001f);
    EXPECT_NEAR(table[80000], 0.36787944f, 1e-7f);  // 2 sigma^2
    for (size_t n = 1; n < table.size(); ++n) ASSERT_LE(table[n], table[n - 1]) << "entry " << n;
    EXPECT_GT(table[count], 0.0f);
}

TEST(WeightTable, IntensityOutsideTheOfferedRangeIsRefused) {
    EXPECT_THROW((void)BuildWeightTable(0), std::invalid_argument);
    EXPECT_THROW((void)BuildWeightTable(-3), std::invalid_argument);
    EXPECT_THROW((void)BuildWeightTable(kMaxIntensity + 1), std::invalid_argument);
    EXPECT_THROW((void)WeightTableLength(0), std::invalid_argument);
}

}  // namespace
}  // namespace calmora
