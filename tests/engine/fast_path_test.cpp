// The library's fast paths against the plain oracle, bit for bit: random
// images, every search radius 0-12, patch radii 0-2, bands of rows, all four
// forms, program-style and arbitrary tables. CTest runs this binary again with
// other thread counts and kernels (fast_path.cmake), so one set of cases
// covers every path.
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

float PickFactor(Rng& rng) {
    static const float kFactors[] = {0.0f, 0.37f, 1.0f, 1.5f};
    return kFactors[rng.Int(0, 3)];
}

// A random case whose oracle run stays around a few million patch pixels.
Case RandomCase(uint64_t seed) {
    Rng rng(seed);
    Case k{};
    k.seed = seed;
    k.search = static_cast<int16_t>(rng.Int(0, 12));
    k.patch = static_cast<int16_t>(rng.Int(0, 2));
    const int shape = rng.Int(0, 9);
    if (shape == 0) {  // tiny images, smaller than the window
        k.width = rng.Int(1, 6);
        k.height = rng.Int(1, 6);
    } else {
        k.width = rng.Int(1, 3) == 1 ? rng.Int(1, 40) : rng.Int(40, 300);
        k.height = rng.Int(1, 3) == 1 ? rng.Int(1, 8) : rng.Int(8, 50);
    }
    const int64_t perRow = int64_t{k.width} * (2 * k.search + 1) * (2 * k.search + 1) *
                           (2 * k.patch + 1) * (2 * k.patch + 1);
    const int32_t maxRows = static_cast<int32_t>(std::max<int64_t>(1, 6000000 / perRow));
    k.firstRow = rng.Int(0, k.height - 1);
    k.lastRow = std::min(k.height - 1, k.firstRow + rng.Int(0, std::min(maxRows, k.height) - 1));
    if (rng.Int(0, 15) == 0) k.lastRow = k.firstRow - 1;  // an empty band writes nothing
    k.wantNoise = static_cast<int16_t>(rng.Int(-1, 1));
    k.viewChannel = static_cast<int16_t>(rng.Int(-1, 5));
    k.form = kForms[rng.Int(0, 3)];
    k.factors = {PickFactor(rng), PickFactor(rng), PickFactor(rng)};
    k.amplitude = rng.Int(0, 3) == 0 ? 60 : rng.Int(1, 20);
    switch (rng.Int(0, 3)) {
        case 0:
        case 1: {
            static const int16_t kSigmas[] = {1, 3, 8, 20, 60};
            UseProgramTable(k, kSigmas[rng.Int(0, 4)]);
            break;
        }
        case 2:
            k.tableLength = rng.Int(1, 3) == 1 ? rng.Int(1, 40) : rng.Int(40, 700000);
            k.table = kc_oracle::RandomTable(k.tableLength, seed + 1, 0.3);
            break;
        default:
            k.tableLength = rng.Int(1, 20000);
            k.table = WideTable(k.tableLength, seed + 2);
            break;
    }
    return k;
}

TEST(FastPath, RandomCasesMatchTheOracle) {
    for (uint64_t seed = 1; seed <= 260; ++seed) {
        const Case k = RandomCase(seed);
        const std::string diff = Check(k);
        ASSERT_TRUE(diff.empty()) << diff;
    }
}

// Whole images, every radius the dialog offers, the program's tables and
// factors: the borders, the rows whose patch shrinks at the top and bottom,
// and the interior all in one picture.
TEST(FastPath, WholeImagesWithProgramTables) {
    int seed = 1000;
    for (int search = calmora::kMinRadius; search <= calmora::kMaxRadius; ++search) {
        for (int16_t sigma : {4, 25}) {
            // Odd widths, partial vector tails.
            Case k = WholeImage(29 + 2 * search + 3 * (search % 3), 2 * search + 9,
                                static_cast<int16_t>(search));
            k.viewChannel = static_cast<int16_t>(search % 4);
            UseProgramTable(k, sigma);
            k.factors = {1.0f, 0.37f, 0.0f};
            k.form = kForms[search % 4];
            k.seed = static_cast<uint64_t>(seed++);
            k.amplitude = sigma;
            const std::string diff = Check(k);
            ASSERT_TRUE(diff.empty()) << diff;
        }
    }
}

// The program's own pattern: one call per row over a whole image.
TEST(FastPath, RowByRowCallsMatchTheOracle) {
    for (int search : {2, 5, 12}) {
        Case k = WholeImage(160 + search, 2 * search + 12, static_cast<int16_t>(search));
        UseProgramTable(k, 12);
        k.factors = {0.37f, 1.5f, 1.0f};
        k.form = Form::PerCanaleOUT;
        k.seed = 77u + static_cast<uint64_t>(search);
        k.amplitude = 15;
        const std::string diff = Check(k, /*rowByRow=*/true);
        ASSERT_TRUE(diff.empty()) << diff;
    }
}

// Buffers that start right after, or end right before, an inaccessible page:
// a vector load past either end of the image faults here.
TEST(FastPath, ReadsStayInsideTheImage) {
    for (GuardAt at : {GuardAt::End, GuardAt::Start}) {
        for (int32_t width : {1, 2, 7, 8, 26, 27, 33, 97, 130}) {
            for (int16_t patch : {0, 1, 2}) {
                Case k = WholeImage(width, 30, 3);
                k.patch = patch;
                k.viewChannel = 3;
                UseRandomTable(k, 100000, 5, 0.0);
                k.form = Form::CompletaOUT;
                k.seed = static_cast<uint64_t>(width * 10 + patch);
                k.amplitude = 40;
                const std::string diff = Check(k, false, at);
                ASSERT_TRUE(diff.empty()) << diff;
            }
        }
        // The widest window the dialog offers reaches furthest sideways.
        for (int32_t width : {26, 27, 33, 97, 130}) {
            Case k = WholeImage(width, 27, 12);
            UseRandomTable(k, 100000, 6, 0.0);
            k.seed = static_cast<uint64_t>(width);
            k.amplitude = 40;
            const std::string diff = Check(k, false, at);
            ASSERT_TRUE(diff.empty()) << diff;
        }
    }
}

// A cut-off of 1 keeps only exact patch matches; a table longer than any
// distance keeps every candidate. Both ends of the cut-off test.
TEST(FastPath, CutOffExtremes) {
    for (int32_t length : {1, 2, 9 * 255 * 255 + 1}) {
        Case k = WholeImage(70, 16, 4);
        k.firstRow = 3;
        k.lastRow = 12;
        k.viewChannel = 2;
        k.tableLength = length;
        k.table = length > 100000 ? std::vector<float>(static_cast<size_t>(length), 0.5f)
                                   : std::vector<float>(static_cast<size_t>(length), 1.0f);
        k.factors = {0.37f, 0.0f, 1.0f};
        k.form = Form::PerCanaleOUT;
        k.seed = 4242;
        k.amplitude = 1;  // many exact matches
        const std::string diff = Check(k);
        ASSERT_TRUE(diff.empty()) << diff;
    }
}

// Radii past the dialog's range: windows too wide for the vector kernel's
// buffers and patches past the fast path's limit take other routes, which
// must give the same bytes.
TEST(FastPath, RadiiBeyondTheDialog) {
    const struct {
        int16_t search, patch;
        int32_t width;
    } kCases[] = {{13, 1, 90}, {25, 1, 120}, {49, 1, 130}, {20, 3, 100}, {8, 9, 60}};
    for (const auto& r : kCases) {
        Case k = WholeImage(r.width, 2 * (r.search + r.patch) + 3, r.search);
        k.firstRow = k.height / 2 - 1;
        k.lastRow = k.height / 2;
        k.patch = r.patch;
        UseRandomTable(k, 400000, 9, 0.2);
        k.seed = static_cast<uint64_t>(r.search * 100 + r.patch);
        k.amplitude = 30;
        const std::string diff = Check(k);
        ASSERT_TRUE(diff.empty()) << diff;
    }
}

}  // namespace
