// The paired pass, which takes each weight once for both pixels of a pair,
// against the plain oracle bit for bit (in the fast-path binary, so that it
// too reruns under every kernel and thread count).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "denoise_run/setting_ranges.h"
#include "denoise_run/weight_table.h"
#include "fast_path_cases.h"

using namespace fast_path;
using kc_calls::kForms;
using kc_oracle::GuardAt;
using kc_oracle::Rng;

namespace {

// Calls of many rows whose pixels far from the edges take each weight once for
// both pixels of a pair. The cases give the paired rectangle at least 16 rows
// and 32 columns beside the edge pixels, at every patch radius, with bands that
// start and end inside the image (their first rows then read source rows the
// call does not write), the program's tables up to the largest cut-off, and
// guard pages on either side.
TEST(PairedWeights, ProgramTablesOverManyRows) {
    uint64_t seed = 5000;
    for (int16_t search : {1, 2, 4, 5, 9, 12}) {
        for (int16_t patch : {0, 1, 2}) {
            Case k = WholeImage(4 * search + 2 * patch + 40 + search % 3,
                                2 * (search + patch) + 22 + search % 4, search);
            k.patch = patch;
            const int16_t sigma = search % 3 == 0 ? 200 : search % 3 == 1 ? 50 : 6;
            UseProgramTable(k, sigma);
            k.amplitude = std::min(60, sigma / 2 + 4);
            const int32_t bands[][2] = {
                {0, k.height - 1}, {1, k.height - 2}, {search + patch + 3, k.height - 1}};
            for (const auto& band : bands) {
                k.firstRow = band[0];
                k.lastRow = band[1];
                k.form = kForms[seed % 4];
                k.wantNoise = static_cast<int16_t>(seed % 3 == 0 ? 0 : 1);
                k.viewChannel = static_cast<int16_t>(seed % 5);
                k.factors = {1.0f, 0.37f, seed % 2 ? 1.5f : 0.0f};
                k.seed = seed++;
                const GuardAt at = seed % 2 ? GuardAt::End : GuardAt::Start;
                const std::string diff = Check(k, false, at);
                ASSERT_TRUE(diff.empty()) << diff;
            }
        }
    }
}

// Bands too short for a chunk of rows per thread are split into chunks of
// columns, which share the s source columns on either side of each cut.
TEST(PairedWeights, WideShortBandsSplitIntoColumns) {
    uint64_t seed = 6500;
    for (int16_t search : {1, 2, 5}) {
        Case k = WholeImage(4 * search + 2 + 16 * search * 6 + 7, 2 * (search + 1) + 40, search);
        k.firstRow = search + 4;
        k.lastRow = k.firstRow + 20;
        k.viewChannel = 1;
        UseProgramTable(k, 35);
        k.factors = {0.37f, 1.0f, 1.0f};
        k.form = Form::PerCanaleOUT;
        k.seed = seed++;
        const std::string diff = Check(k, false, GuardAt::Start);
        ASSERT_TRUE(diff.empty()) << diff;
    }
}

// The widest window the exactness argument allows, and one past it.
TEST(PairedWeights, LargestSearchRadius) {
    for (int16_t search : {22, 23}) {
        Case k = WholeImage(4 * search + 2 + 36, 2 * (search + 1) + 18, search);
        UseProgramTable(k, 40);
        k.seed = 6000u + static_cast<uint64_t>(search);
        k.amplitude = 25;
        const std::string diff = Check(k);
        ASSERT_TRUE(diff.empty()) << diff;
    }
}

// Tables whose sums round differently for another adding order: weights
// spread over 2^-60..2^60, entries above 1, and the program's table with
// every other entry made tiny. Calls over them must keep the reference's
// order, so a paired pass taken by mistake shows as a wrong byte.
TEST(PairedWeights, TablesThatBreakTheConditionFallBack) {
    std::vector<std::vector<float>> tables;
    const int32_t length = calmora::WeightTableLength(30);
    tables.push_back(WideTable(length, 71));
    std::vector<float> program = calmora::BuildWeightTable(30);
    std::vector<float> large = program, tiny = program;
    for (auto& v : large) v *= 3.0f;
    for (size_t i = 1; i < tiny.size(); i += 2) tiny[i] = std::ldexp(tiny[i], -50);
    tables.push_back(large);
    tables.push_back(tiny);
    uint64_t seed = 7000;
    for (const auto& table : tables) {
        for (int16_t search : {2, 5, 12}) {
            Case k = WholeImage(4 * search + 2 + 45, 2 * (search + 1) + 24, search);
            k.viewChannel = 3;
            k.table = table;
            k.tableLength = length;
            k.form = Form::CompletaOUT;
            k.seed = seed++;
            const std::string diff = Check(k);
            ASSERT_TRUE(diff.empty()) << diff;
        }
    }
}

}  // namespace
