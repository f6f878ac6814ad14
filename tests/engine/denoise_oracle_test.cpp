// The four denoise exports against the plain oracle, bit for bit, over
// sizes, radii, tables, forms and display channels; and the buffer bounds.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "denoise_calls.h"
#include "oracle.h"

using namespace kc_calls;
using namespace kc_oracle;

namespace {

// Library against the oracle on random images.

struct Size {
    int32_t w, h;
};

class DenoiseMatchesOracle : public ::testing::TestWithParam<Size> {};

// Every patch radius 0..2 and search radius 0..12 on one image size; the form,
// display channel, aliasing, factors and table vary from case to case.
TEST_P(DenoiseMatchesOracle, AllRadii) {
    const Size size = GetParam();
    const int32_t w = size.w, h = size.h;
    Rng rng(uint64_t(w) * 1000 + uint64_t(h));
    const float factorChoices[] = {0.0f, 0.25f, 0.5f, 0.77f, 0.999f, 1.0f, 1.5f};
    const int32_t cutOffs[] = {1, 2, 30, 700, 5000, 40000};
    int caseNo = 0;
    for (int16_t p = 0; p <= 2; ++p) {
        for (int16_t s = 0; s <= 12; ++s, ++caseNo) {
            const std::vector<uint8_t> src = NoisyImage(w, h, rng.Next(), rng.Int(0, 40));
            const int32_t n = cutOffs[rng.Int(0, 5)];
            const std::vector<float> table = kc_oracle::RandomTable(n, rng.Next(), 0.3);
            const Form form = kForms[caseNo % 4];
            const int16_t view = static_cast<int16_t>(rng.Int(0, 5));
            const ChannelFactors factors{factorChoices[rng.Int(0, 6)],
                                         factorChoices[rng.Int(0, 6)],
                                         factorChoices[rng.Int(0, 6)]};
            const bool alias = IsOut(form) && rng.Int(0, 1) == 1;
            const DenoiseParams params{p, s, static_cast<int16_t>(rng.Int(0, 1)), view};
            const std::string what = FormName(form) + " " + std::to_string(w) + "x" +
                                     std::to_string(h) + " p " + std::to_string(p) + " s " +
                                     std::to_string(s) + " N " + std::to_string(n) +
                                     " view " + std::to_string(view) +
                                     (alias ? " aliased" : "");
            ExpectMatchesOracle(form, DenoiseJob{0, h - 1, w, h, n}, params, src, table,
                                factors, alias, alias, what);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, DenoiseMatchesOracle,
    ::testing::Values(Size{1, 1}, Size{2, 1}, Size{1, 2}, Size{1, 9}, Size{9, 1}, Size{2, 2},
                      Size{3, 5}, Size{5, 3}, Size{4, 4}, Size{7, 6}, Size{13, 4},
                      Size{6, 14}, Size{17, 11}, Size{31, 19}, Size{40, 3}, Size{3, 40}),
    [](const ::testing::TestParamInfo<Size>& info) {
        return std::to_string(info.param.w) + "x" + std::to_string(info.param.h);
    });

// Images wide and high enough that most pixels have their whole window and
// patch inside the image, the part a vectorised path handles on its own, at
// widths that are not a multiple of any vector length.
TEST(DenoiseMatchesOracleInterior, LargerImagesAllForms) {
    const Size sizes[] = {{67, 29}, {33, 50}};
    const int16_t searchRadii[] = {1, 2, 3, 5, 8, 12};
    Rng rng(4242);
    int caseNo = 0;
    for (const Size& size : sizes) {
        const std::vector<uint8_t> src = NoisyImage(size.w, size.h, rng.Next(), 12);
        for (int16_t p = 0; p <= 2; ++p) {
            for (int16_t s : searchRadii) {
                const int32_t n = p == 1 ? 14 * 12 * 12 * 9 / 4 : rng.Int(100, 30000);
                const std::vector<float> table = kc_oracle::RandomTable(n, rng.Next(), 0.05);
                const Form form = kForms[caseNo++ % 4];
                // Alternate between the whole image and a band of a few rows.
                const int32_t first = caseNo % 2 ? 0 : rng.Int(0, size.h / 2);
                const int32_t last = caseNo % 2 ? size.h - 1 : first + rng.Int(0, 5);
                const int16_t view = static_cast<int16_t>(caseNo % 4);
                ExpectMatchesOracle(form, DenoiseJob{first, last, size.w, size.h, n},
                                    DenoiseParams{p, s, 1, view}, src, table,
                                    ChannelFactors{0.35f, 1.0f, 0.0f}, view == 0, view == 0,
                                    FormName(form) + " " + std::to_string(size.w) + "x" +
                                        std::to_string(size.h) + " p " + std::to_string(p) +
                                        " s " + std::to_string(s) + " rows " +
                                        std::to_string(first) + ".." + std::to_string(last));
            }
        }
    }
}

TEST(DenoiseMatchesOracleBands, RowByRowEqualsOneCallOthersAlone) {
    const int32_t w = 23, h = 15;
    const std::vector<uint8_t> src = NoisyImage(w, h, 61, 18);
    const std::vector<float> table = kc_oracle::RandomTable(2500, 62, 0.1);
    const ChannelFactors factors{0.6f, 1.0f, 0.1f};
    for (Form form : kForms) {
        const DenoiseParams params{1, 4, 1, 2};
        Outputs whole(src.size()), rows(src.size());
        CallOracle(form, DenoiseJob{0, h - 1, w, h, 2500}, params, src.data(), table.data(),
                   factors, TargetsOf(whole, false, false));
        for (int32_t y = 0; y < h; ++y)
            CallLibrary(form, DenoiseJob{y, y, w, h, 2500}, params, src.data(), table.data(),
                        factors, TargetsOf(rows, false, false));
        ExpectSameOutputs(whole, rows, w, h, FormName(form) + " one row per call");

        // A band in the middle: only its rows are written.
        for (const DenoiseJob& band : {DenoiseJob{5, 9, w, h, 2500}, DenoiseJob{0, 0, w, h, 2500},
                                       DenoiseJob{h - 1, h - 1, w, h, 2500}}) {
            ExpectMatchesOracle(form, band, params, src, table, factors, false, false,
                                FormName(form) + " band " + std::to_string(band.firstRow) +
                                    ".." + std::to_string(band.lastRow));
        }
    }
}

TEST(DenoiseMatchesOracleTables, CutOffsAndZeroWeights) {
    const int32_t w = 12, h = 8;
    struct TableCase {
        const char* desc;
        int32_t length;
        double zeroShare;
        int amplitude;
    };
    const TableCase cases[] = {
        {"length 1: only identical patches count", 1, 0.0, 2},
        {"length 2", 2, 0.0, 1},
        {"mostly zero weights", 3000, 0.9, 12},
        {"half zero weights", 20000, 0.5, 30},
        {"every distance under the cut-off", 25 * 65025 + 1, 0.0, 127},
    };
    int seed = 70;
    for (const TableCase& tc : cases) {
        const std::vector<uint8_t> src = NoisyImage(w, h, seed++, tc.amplitude);
        const std::vector<float> table = kc_oracle::RandomTable(tc.length, seed++, tc.zeroShare);
        for (Form form : kForms) {
            for (int16_t p : {int16_t{0}, int16_t{2}}) {
                ExpectMatchesOracle(form, DenoiseJob{0, h - 1, w, h, tc.length},
                                    DenoiseParams{p, 3, 1, 0}, src, table,
                                    ChannelFactors{0.4f, 1.0f, 0.9f}, false, false,
                                    std::string(tc.desc) + " " + FormName(form) + " p " +
                                        std::to_string(p));
            }
        }
    }
}

TEST(DenoiseMatchesOracleViews, EveryViewChannelPlainAndAliased) {
    const int32_t w = 9, h = 7;
    const std::vector<uint8_t> src = NoisyImage(w, h, 81, 15);
    const std::vector<float> table = kc_oracle::RandomTable(1500, 82, 0.2);
    for (Form form : {Form::CompletaOUT, Form::PerCanaleOUT}) {
        for (int16_t view = 0; view <= 5; ++view) {
            for (int aliasing = 0; aliasing < 4; ++aliasing) {
                const bool aliasDenoised = aliasing & 1, aliasNoise = aliasing & 2;
                ExpectMatchesOracle(form, DenoiseJob{0, h - 1, w, h, 1500},
                                    DenoiseParams{1, 2, 1, view}, src, table,
                                    ChannelFactors{0.0f, 0.5f, 1.25f}, aliasDenoised, aliasNoise,
                                    FormName(form) + " view " + std::to_string(view) +
                                        (aliasDenoised ? " viewDenoised=denoised" : "") +
                                        (aliasNoise ? " viewNoise=noise" : ""));
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Buffer bounds.

// Every buffer sits against an inaccessible page at the given end. With
// GuardAt::End the last row is cut right after its last pixel, so even
// reading the final padding bytes faults.
void RunGuarded(Form form, int32_t w, int32_t h, int16_t p, int16_t s, GuardAt at) {
    const size_t full = ImageBytes(w, h);
    const size_t used = at == GuardAt::End ? full - (Stride(w) - 3 * size_t(w)) : full;
    const std::vector<uint8_t> image = NoisyImage(w, h, uint64_t(w) * 7 + h, 20);
    GuardedBuffer src(used, 0, at), den(used, kMarker, at), noise(used, kMarker, at),
        vden(used, kMarker, at), vnoise(used, kMarker, at);
    std::memcpy(src.data(), image.data(), used);
    const std::vector<float> table = kc_oracle::RandomTable(3000, 5);
    GuardedBuffer guardedTable(table.size() * sizeof(float), 0, at);
    std::memcpy(guardedTable.data(), table.data(), table.size() * sizeof(float));
    const float* t = reinterpret_cast<const float*>(guardedTable.data());
    const ChannelFactors factors{0.5f, 1.0f, 0.0f};
    const DenoiseJob job{0, h - 1, w, h, 3000};
    const DenoiseParams params{p, s, 1, 1};
    CallLibrary(form, job, params, src.data(), t, factors,
                Targets{den.data(), noise.data(), vden.data(), vnoise.data()});

    std::vector<uint8_t> padded(full, kMarker);
    std::memcpy(padded.data(), image.data(), used);
    Outputs expected(full);
    CallOracle(form, job, params, padded.data(), table.data(), factors,
               TargetsOf(expected, false, false));
    const std::string what = FormName(form) + " " + std::to_string(w) + "x" + std::to_string(h);
    // Compare only what both hold: the guarded buffers may end early.
    EXPECT_EQ(0, std::memcmp(expected.denoised.data(), den.data(), used)) << what;
    EXPECT_EQ(0, std::memcmp(expected.noise.data(), noise.data(), used)) << what;
    if (IsOut(form)) {
        EXPECT_EQ(0, std::memcmp(expected.viewDenoised.data(), vden.data(), used)) << what;
        EXPECT_EQ(0, std::memcmp(expected.viewNoise.data(), vnoise.data(), used)) << what;
    }
}

TEST(DenoiseBounds, NoAccessPastTheLastPixelOrBeforeTheFirst) {
    const Size sizes[] = {{1, 1}, {5, 3}, {4, 6}, {7, 7}, {2, 9}};
    for (GuardAt at : {GuardAt::End, GuardAt::Start})
        for (const Size& size : sizes)
            for (Form form : kForms) {
                RunGuarded(form, size.w, size.h, 2, 4, at);
                RunGuarded(form, size.w, size.h, 0, 1, at);
            }
}

TEST(DenoiseBounds, RowOffsetsBeyondTwoGibibytes) {
    // 1500 rows of a million pixels: the top row starts 4.5e9 bytes in, past
    // both 2^31 and 2^32. Only the top row is computed, so only the pages of
    // the top rows are touched.
    const int32_t w = 1000000, h = 1500;
    const size_t bytes = ImageBytes(w, h);
    kc_oracle::SparseBuffer src(bytes), den(bytes), noise(bytes), oden(bytes), onoise(bytes);
    for (auto* b : {&src, &den, &noise, &oden, &onoise})
        if (!b->valid()) GTEST_SKIP() << "no sparse mapping of " << bytes << " bytes";
    const int64_t row = Stride(w);
    const int64_t top = int64_t{h - 1} * row;
    ASSERT_GT(top, int64_t{1} << 32);
    kc_oracle::FillNoisyImage(src.data() + top - 2 * row, w, 3, 91, 4);
    const std::vector<float> table = kc_oracle::RandomTable(400, 92);
    const DenoiseJob job{h - 1, h - 1, w, h, 400};
    const DenoiseParams params{1, 1, 1, 0};
    KcDenoiseCompletaOUT(&job, &params, src.data(), den.data(), table.data(), noise.data(),
                         den.data(), noise.data());
    kc_oracle::OracleDenoise(job, params, src.data(), oden.data(), table.data(), onoise.data(),
                             nullptr, nullptr, nullptr);
    EXPECT_EQ("", FirstDifference(oden.data() + top, den.data() + top, w, 1));
    EXPECT_EQ("", FirstDifference(onoise.data() + top, noise.data() + top, w, 1));
    EXPECT_NE(0, std::memcmp(src.data() + top, den.data() + top, size_t(w) * 3))
        << "the filter must have changed something for this test to mean anything";
}

}  // namespace
