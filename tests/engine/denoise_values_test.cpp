// The four denoise exports on hand-worked values that pin the arithmetic
// down, and the properties their outputs keep whatever the weights.
#include <gtest/gtest.h>

#include <vector>

#include "denoise_calls.h"
#include "oracle.h"

using namespace kc_calls;
using kc_oracle::FirstDifference;
using kc_oracle::ImageBytes;
using kc_oracle::Stride;

namespace {

// Hand-worked values. They hold the oracle and the library to the same
// arithmetic independently of each other.

TEST(DenoiseValues, UniformImageIsUnchangedAndRemovesNoNoise) {
    const int32_t w = 7, h = 5;
    std::vector<uint8_t> src(ImageBytes(w, h), 0);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            At(src, w, x, y, 0) = 12;
            At(src, w, x, y, 1) = 200;
            At(src, w, x, y, 2) = 255;
        }
    const std::vector<float> table = kc_oracle::RandomTable(50, 3);
    const DenoiseJob job{0, h - 1, w, h, 50};
    for (Form form : kForms) {
        Outputs o(src.size());
        CallLibrary(form, job, DenoiseParams{1, 3, 1, 0}, src.data(), table.data(),
                    ChannelFactors{0.5f, 0.0f, 1.0f}, TargetsOf(o, false, false));
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                for (int c = 0; c < 3; ++c) {
                    ASSERT_EQ(At(src, w, x, y, c), At(o.denoised, w, x, y, c)) << FormName(form);
                    ASSERT_EQ(0, At(o.noise, w, x, y, c)) << FormName(form);
                }
    }
}

TEST(DenoiseValues, PixelWithNoSimilarCandidateKeepsItsValue) {
    const int32_t w = 5, h = 5;
    std::vector<uint8_t> src(ImageBytes(w, h), 0);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) SetPixel(src, w, x, y, 100);
    SetPixel(src, w, 2, 2, 180);
    // Every other candidate differs by at least 80 in the centre byte alone.
    const std::vector<float> table(6000, 1.0f);
    const DenoiseJob job{2, 2, w, h, 6000};
    Outputs o(src.size());
    CallLibrary(Form::Completa, job, DenoiseParams{1, 2, 1, 0}, src.data(), table.data(), kFull,
                TargetsOf(o, false, false));
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(180, At(o.denoised, w, 2, 2, c));
        EXPECT_EQ(0, At(o.noise, w, 2, 2, c));
        EXPECT_EQ(100, At(o.denoised, w, 0, 2, c));  // background: every candidate is close
    }
}

TEST(DenoiseValues, WeightedMeanIsTruncatedNotRounded) {
    // Two pixels, 127 and 128, distance 1 between them; weights 0.1 for
    // distance 0 and 0.9 for distance 1: means 127.9 and 127.1.
    const int32_t w = 2, h = 1;
    std::vector<uint8_t> src(ImageBytes(w, h), 0);
    SetPixel(src, w, 0, 0, 127);
    SetPixel(src, w, 1, 0, 128);
    const std::vector<float> table{0.1f, 0.9f};
    Outputs o(src.size());
    CallLibrary(Form::CompletaOUT, DenoiseJob{0, 0, w, h, 2}, DenoiseParams{0, 1, 1, 0},
                src.data(), table.data(), kFull, TargetsOf(o, false, false));
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(127, At(o.denoised, w, 0, 0, c));
        EXPECT_EQ(127, At(o.denoised, w, 1, 0, c));
        EXPECT_EQ(0, At(o.noise, w, 0, 0, c));
        EXPECT_EQ(1, At(o.noise, w, 1, 0, c));  // darkened by 1
    }
}

TEST(DenoiseValues, CornerWindowIsClampedToTheImage) {
    // p = 0, every distance accepted with weight 1: the output is the plain
    // mean of the clamped window, a 3x3 block at the corner for s = 2.
    const int32_t w = 6, h = 6;
    std::vector<uint8_t> src(ImageBytes(w, h), 0);
    kc_oracle::FillRandom(src.data(), src.size(), 77);
    const std::vector<float> table(65026, 1.0f);
    Outputs o(src.size());
    CallLibrary(Form::Completa, DenoiseJob{0, h - 1, w, h, 65026}, DenoiseParams{0, 2, 0, 0},
                src.data(), table.data(), kFull, TargetsOf(o, false, false));
    for (int c = 0; c < 3; ++c) {
        int sum = 0;
        for (int32_t y = 0; y < 3; ++y)
            for (int32_t x = 0; x < 3; ++x) sum += At(src, w, x, y, c);
        EXPECT_EQ(sum / 9, At(o.denoised, w, 0, 0, c)) << "channel " << c;
        sum = 0;
        for (int32_t y = 3; y < 6; ++y)
            for (int32_t x = 3; x < 6; ++x) sum += At(src, w, x, y, c);
        EXPECT_EQ(sum / 9, At(o.denoised, w, 5, 5, c)) << "channel " << c;
    }
}

TEST(DenoiseValues, PatchStaysShrunkForTheRestOfThePixelsScan) {
    // One column, rows (bottom up) 200, 110, 100, 100, 100; p = 1, s = 2,
    // output row 2. Candidate row 0 shrinks the patch to offsets 0..+1, so
    // candidate row 1 is compared over rows 1..2 against 2..3 (distance 100)
    // instead of the full 0..2 against 1..3 (distance 8200). With cut-off 101
    // its 110 joins the mean: (110 + 100 + 100 + 100) / 4 = 102.5.
    const int32_t w = 1, h = 5;
    std::vector<uint8_t> src(ImageBytes(w, h), 0);
    const uint8_t column[] = {200, 110, 100, 100, 100};
    for (int32_t y = 0; y < h; ++y) SetPixel(src, w, 0, y, column[y]);
    const std::vector<float> table(101, 1.0f);
    for (Form form : kForms) {
        Outputs o(src.size());
        CallLibrary(form, DenoiseJob{2, 2, w, h, 101}, DenoiseParams{1, 2, 1, 0}, src.data(),
                    table.data(), kFull, TargetsOf(o, false, false));
        for (int c = 0; c < 3; ++c) EXPECT_EQ(102, At(o.denoised, w, 0, 2, c)) << FormName(form);
    }
    Outputs fromOracle(src.size());
    CallOracle(Form::Completa, DenoiseJob{2, 2, w, h, 101}, DenoiseParams{1, 2, 1, 0},
               src.data(), table.data(), kFull, TargetsOf(fromOracle, false, false));
    EXPECT_EQ(102, At(fromOracle.denoised, w, 0, 2, 0));
}

TEST(DenoiseValues, ChannelsAreFilteredIndependently) {
    // Blue differs strongly between the two pixels, green and red barely:
    // blue stays, green and red average.
    const int32_t w = 2, h = 1;
    std::vector<uint8_t> src(ImageBytes(w, h), 0);
    const uint8_t a[3] = {10, 50, 60}, b[3] = {200, 52, 61};
    for (int c = 0; c < 3; ++c) {
        At(src, w, 0, 0, c) = a[c];
        At(src, w, 1, 0, c) = b[c];
    }
    const std::vector<float> table(10, 1.0f);
    Outputs o(src.size());
    CallLibrary(Form::Completa, DenoiseJob{0, 0, w, h, 10}, DenoiseParams{0, 1, 1, 0},
                src.data(), table.data(), kFull, TargetsOf(o, false, false));
    EXPECT_EQ(10, At(o.denoised, w, 0, 0, 0));
    EXPECT_EQ(51, At(o.denoised, w, 0, 0, 1));
    EXPECT_EQ(60, At(o.denoised, w, 0, 0, 2));  // 60.5 truncated
    EXPECT_EQ(200, At(o.denoised, w, 1, 0, 0));
    EXPECT_EQ(256 - 1, At(o.noise, w, 0, 0, 1));  // lightened by 1
}

TEST(DenoiseValues, BlendTakesFactorOfMeanAndRestOfSource) {
    // Source 100 and a neighbour of 40 at distance 3600, weights chosen for a
    // mean of 50.7: factor 0.5 gives 75.35, written 75.
    const int32_t w = 2, h = 1;
    std::vector<uint8_t> src(ImageBytes(w, h), 0);
    SetPixel(src, w, 0, 0, 100);
    SetPixel(src, w, 1, 0, 40);
    std::vector<float> table(3601, 0.0f);
    table[0] = 0.178333f;
    table[3600] = 0.821667f;
    for (Form form : {Form::PerCanale, Form::PerCanaleOUT}) {
        Outputs o(src.size());
        CallLibrary(form, DenoiseJob{0, 0, w, h, 3601}, DenoiseParams{0, 1, 1, 0}, src.data(),
                    table.data(), ChannelFactors{0.5f, 1.0f, 0.0f}, TargetsOf(o, false, false));
        EXPECT_EQ(75, At(o.denoised, w, 0, 0, 0)) << FormName(form);
        EXPECT_EQ(50, At(o.denoised, w, 0, 0, 1)) << FormName(form);
        EXPECT_EQ(100, At(o.denoised, w, 0, 0, 2)) << FormName(form);
        EXPECT_EQ(25, At(o.noise, w, 0, 0, 0)) << FormName(form);
        EXPECT_EQ(0, At(o.noise, w, 0, 0, 2)) << FormName(form);
    }
}

// ---------------------------------------------------------------------------
// Properties of the outputs that hold whatever the weights.

TEST(DenoiseOutputs, FactorsZeroOneAndAboveOne) {
    const int32_t w = 13, h = 9;
    const std::vector<uint8_t> src = NoisyImage(w, h, 11, 20);
    const std::vector<float> table = kc_oracle::RandomTable(4000, 12);
    const DenoiseJob job{0, h - 1, w, h, 4000};
    const DenoiseParams params{1, 3, 1, 0};

    Outputs whole(src.size());
    CallLibrary(Form::Completa, job, params, src.data(), table.data(), kFull,
                TargetsOf(whole, false, false));
    ASSERT_NE("", FirstDifference(src.data(), whole.denoised.data(), w, h))
        << "test image must actually be changed by the filter";

    // 1.0 and 1.5 both mean "fully filtered": same bytes as the whole-pixel form.
    for (float full : {1.0f, 1.5f}) {
        Outputs o(src.size());
        CallLibrary(Form::PerCanale, job, params, src.data(), table.data(),
                    ChannelFactors{full, full, full}, TargetsOf(o, false, false));
        EXPECT_EQ("", FirstDifference(whole.denoised.data(), o.denoised.data(), w, h, true))
            << "factor " << full;
        EXPECT_EQ("", FirstDifference(whole.noise.data(), o.noise.data(), w, h, true));
    }

    // Blue 1, green 0, red 0: only the blue bytes change; zero factors give zero noise.
    Outputs o(src.size());
    CallLibrary(Form::PerCanaleOUT, job, params, src.data(), table.data(),
                ChannelFactors{1.0f, 0.0f, 0.0f}, TargetsOf(o, true, true));
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            EXPECT_EQ(At(whole.denoised, w, x, y, 0), At(o.denoised, w, x, y, 0));
            for (int c = 1; c < 3; ++c) {
                ASSERT_EQ(At(const_cast<std::vector<uint8_t>&>(src), w, x, y, c),
                          At(o.denoised, w, x, y, c));
                ASSERT_EQ(0, At(o.noise, w, x, y, c));
            }
        }
}

TEST(DenoiseOutputs, NoiseAndDisplayCopiesFollowTheirRules) {
    const int32_t w = 11, h = 6;
    const std::vector<uint8_t> src = NoisyImage(w, h, 21, 25);
    const std::vector<float> table = kc_oracle::RandomTable(3000, 22, 0.2);
    const DenoiseJob job{0, h - 1, w, h, 3000};
    const int pick[4] = {-1, 2, 1, 0};  // viewChannel 0 colour, 1 red, 2 green, 3 blue

    for (Form form : {Form::CompletaOUT, Form::PerCanaleOUT}) {
        for (int16_t view = -1; view <= 5; ++view) {
            for (int16_t wantNoise : {int16_t{1}, int16_t{0}, int16_t{-1}}) {
                SCOPED_TRACE(FormName(form) + " viewChannel " + std::to_string(view) +
                             " wantNoise " + std::to_string(wantNoise));
                Outputs o(src.size());
                CallLibrary(form, job, DenoiseParams{1, 2, wantNoise, view}, src.data(),
                            table.data(), ChannelFactors{0.3f, 1.0f, 0.8f},
                            TargetsOf(o, false, false));
                const bool views = view >= 0 && view <= 3;
                for (int32_t y = 0; y < h; ++y)
                    for (int32_t x = 0; x < w; ++x)
                        for (int c = 0; c < 3; ++c) {
                            const uint8_t s = src[y * Stride(w) + 3 * x + c];
                            const uint8_t d = At(o.denoised, w, x, y, c);
                            const uint8_t n = At(o.noise, w, x, y, c);
                            const uint8_t vd = At(o.viewDenoised, w, x, y, c);
                            const uint8_t vn = At(o.viewNoise, w, x, y, c);
                            if (wantNoise > 0)
                                ASSERT_EQ(uint8_t(s - d), n) << "x " << x << " y " << y;
                            else
                                ASSERT_EQ(kMarker, n);
                            if (!views) {
                                ASSERT_EQ(kMarker, vd);
                                ASSERT_EQ(kMarker, vn);
                                continue;
                            }
                            const int from = pick[view] < 0 ? c : pick[view];
                            ASSERT_EQ(At(o.denoised, w, x, y, from), vd);
                            if (wantNoise > 0)
                                ASSERT_EQ(At(o.noise, w, x, y, from), vn);
                            else
                                ASSERT_EQ(kMarker, vn);
                        }
            }
        }
    }
}

TEST(DenoiseOutputs, ForegroundFormsIgnoreViewSpareUnusedBuffers) {
    const int32_t w = 5, h = 4;
    const std::vector<uint8_t> src = NoisyImage(w, h, 31, 10);
    const std::vector<float> table = kc_oracle::RandomTable(500, 32);
    for (Form form : {Form::Completa, Form::PerCanale}) {
        Outputs o(src.size());
        CallLibrary(form, DenoiseJob{0, h - 1, w, h, 500}, DenoiseParams{1, 2, 0, 1},
                    src.data(), table.data(), ChannelFactors{0.5f, 0.5f, 0.5f},
                    TargetsOf(o, false, false));
        const std::vector<uint8_t> untouched(src.size(), kMarker);
        EXPECT_EQ(untouched, o.noise) << FormName(form);
        EXPECT_EQ(untouched, o.viewDenoised) << FormName(form);
        EXPECT_EQ(untouched, o.viewNoise) << FormName(form);
        EXPECT_NE(untouched, o.denoised) << FormName(form);
    }
}

TEST(DenoiseOutputs, EmptyBandWritesNothing) {
    const int32_t w = 6, h = 6;
    const std::vector<uint8_t> src = NoisyImage(w, h, 41, 10);
    const std::vector<float> table = kc_oracle::RandomTable(500, 42);
    for (Form form : kForms) {
        for (const DenoiseJob& job : {DenoiseJob{3, 2, w, h, 500}, DenoiseJob{5, 0, w, h, 500}}) {
            Outputs o(src.size());
            CallLibrary(form, job, DenoiseParams{1, 2, 1, 0}, src.data(), table.data(),
                        ChannelFactors{0.5f, 0.5f, 0.5f}, TargetsOf(o, false, false));
            const Outputs untouched(src.size());
            ExpectSameOutputs(untouched, o, w, h, FormName(form));
        }
    }
}

TEST(DenoiseOutputs, BrokenTableContractKeepsTheSource) {
    // tableLength 0: no candidate ever counts, so no channel has a weight;
    // the source is kept rather than an undefined 0/0.
    const int32_t w = 4, h = 3;
    const std::vector<uint8_t> src = NoisyImage(w, h, 51, 30);
    const std::vector<float> table(1, 1.0f);
    for (Form form : kForms) {
        Outputs o(src.size());
        CallLibrary(form, DenoiseJob{0, h - 1, w, h, 0}, DenoiseParams{1, 1, 1, 0}, src.data(),
                    table.data(), ChannelFactors{0.5f, 0.0f, 1.0f}, TargetsOf(o, false, false));
        EXPECT_EQ("", FirstDifference(src.data(), o.denoised.data(), w, h)) << FormName(form);
        const std::vector<uint8_t> zero(src.size(), 0);
        EXPECT_EQ("", FirstDifference(zero.data(), o.noise.data(), w, h)) << FormName(form);
    }
}

}  // namespace
