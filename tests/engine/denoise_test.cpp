// The four denoise exports: hand-worked values that pin the arithmetic down,
// then the library against the plain oracle bit for bit over sizes, radii,
// tables, forms and display channels, then the buffer bounds.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "KcDenoise.h"
#include "oracle.h"

using kc_oracle::FirstDifference;
using kc_oracle::GuardAt;
using kc_oracle::GuardedBuffer;
using kc_oracle::ImageBytes;
using kc_oracle::Rng;
using kc_oracle::Stride;

namespace {

constexpr uint8_t kMarker = 0x5A;

enum class Form { Completa, CompletaOUT, PerCanale, PerCanaleOUT };
const Form kForms[] = {Form::Completa, Form::CompletaOUT, Form::PerCanale, Form::PerCanaleOUT};

std::string FormName(Form f) {
    switch (f) {
        case Form::Completa: return "KcDenoiseCompleta";
        case Form::CompletaOUT: return "KcDenoiseCompletaOUT";
        case Form::PerCanale: return "KcDenoisePerCanale";
        case Form::PerCanaleOUT: return "KcDenoisePerCanaleOUT";
    }
    return "?";
}

bool IsOut(Form f) { return f == Form::CompletaOUT || f == Form::PerCanaleOUT; }
bool IsPerChannel(Form f) { return f == Form::PerCanale || f == Form::PerCanaleOUT; }

// The output buffers of one call, pre-filled with a marker so that bytes the
// call must leave alone can be checked afterwards.
struct Outputs {
    std::vector<uint8_t> denoised, noise, viewDenoised, viewNoise;
    explicit Outputs(size_t bytes, uint8_t marker = kMarker)
        : denoised(bytes, marker), noise(bytes, marker), viewDenoised(bytes, marker),
          viewNoise(bytes, marker) {}
};

// Raw pointers of one call; the display copies may be the same buffers as
// denoised and noise, as the program passes them for full colour.
struct Targets {
    uint8_t* denoised;
    uint8_t* noise;
    uint8_t* viewDenoised;
    uint8_t* viewNoise;
};

Targets TargetsOf(Outputs& o, bool aliasDenoised, bool aliasNoise) {
    return {o.denoised.data(), o.noise.data(),
            aliasDenoised ? o.denoised.data() : o.viewDenoised.data(),
            aliasNoise ? o.noise.data() : o.viewNoise.data()};
}

void CallLibrary(Form form, const DenoiseJob& job, const DenoiseParams& params,
                 const uint8_t* src, const float* table, const ChannelFactors& factors,
                 const Targets& t) {
    int32_t rc = -1;
    switch (form) {
        case Form::Completa:
            rc = KcDenoiseCompleta(&job, &params, src, t.denoised, table, t.noise);
            break;
        case Form::CompletaOUT:
            rc = KcDenoiseCompletaOUT(&job, &params, src, t.viewDenoised, table, t.viewNoise,
                                      t.denoised, t.noise);
            break;
        case Form::PerCanale:
            rc = KcDenoisePerCanale(&job, &params, src, t.denoised, table, t.noise, &factors);
            break;
        case Form::PerCanaleOUT:
            rc = KcDenoisePerCanaleOUT(&job, &params, src, t.viewDenoised, table, t.viewNoise,
                                       &factors, t.denoised, t.noise);
            break;
    }
    EXPECT_EQ(0, rc) << FormName(form);
}

void CallOracle(Form form, const DenoiseJob& job, const DenoiseParams& params,
                const uint8_t* src, const float* table, const ChannelFactors& factors,
                const Targets& t) {
    kc_oracle::OracleDenoise(job, params, src, t.denoised, table, t.noise,
                             IsPerChannel(form) ? &factors : nullptr,
                             IsOut(form) ? t.viewDenoised : nullptr,
                             IsOut(form) ? t.viewNoise : nullptr);
}

// Compares every output buffer, padding included (both start from the marker,
// so a padding byte written by either side shows up).
void ExpectSameOutputs(const Outputs& expected, const Outputs& actual, int32_t w, int32_t h,
                       const std::string& what) {
    const struct {
        const char* name;
        const std::vector<uint8_t>& e;
        const std::vector<uint8_t>& a;
    } buffers[] = {{"denoised", expected.denoised, actual.denoised},
                   {"noise", expected.noise, actual.noise},
                   {"viewDenoised", expected.viewDenoised, actual.viewDenoised},
                   {"viewNoise", expected.viewNoise, actual.viewNoise}};
    for (const auto& b : buffers)
        EXPECT_EQ("", FirstDifference(b.e.data(), b.a.data(), w, h, true)) << what << ", " << b.name;
}

// One library call and one oracle call on fresh buffers, compared.
void ExpectMatchesOracle(Form form, const DenoiseJob& job, const DenoiseParams& params,
                         const std::vector<uint8_t>& src, const std::vector<float>& table,
                         const ChannelFactors& factors, bool aliasDenoised, bool aliasNoise,
                         const std::string& what) {
    Outputs expected(src.size()), actual(src.size());
    CallOracle(form, job, params, src.data(), table.data(), factors,
               TargetsOf(expected, aliasDenoised, aliasNoise));
    CallLibrary(form, job, params, src.data(), table.data(), factors,
                TargetsOf(actual, aliasDenoised, aliasNoise));
    ExpectSameOutputs(expected, actual, job.width, job.height, what);
}

std::vector<uint8_t> NoisyImage(int32_t w, int32_t h, uint64_t seed, int amplitude) {
    std::vector<uint8_t> img(ImageBytes(w, h));
    kc_oracle::FillNoisyImage(img.data(), w, h, seed, amplitude);
    return img;
}

uint8_t& At(std::vector<uint8_t>& img, int32_t w, int32_t x, int32_t y, int c) {
    return img[static_cast<size_t>(y * Stride(w) + 3 * x + c)];
}

void SetPixel(std::vector<uint8_t>& img, int32_t w, int32_t x, int32_t y, uint8_t v) {
    for (int c = 0; c < 3; ++c) At(img, w, x, y, c) = v;
}

const ChannelFactors kFull{1.0f, 1.0f, 1.0f};

// ---------------------------------------------------------------------------
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

// ---------------------------------------------------------------------------
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
