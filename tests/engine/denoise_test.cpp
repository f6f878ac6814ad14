// The four denoise exports against the plain oracle, bit for bit, plus the
// hand-worked values that pin the oracle itself down.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "KcDenoise.h"
#include "oracle.h"

using kc_oracle::FirstDifference;
using kc_oracle::ImageBytes;
using kc_oracle::Stride;

namespace {

enum class Form { Completa, CompletaOUT, PerCanale, PerCanaleOUT };

const char* FormName(Form f) {
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

// Output buffers of one call, pre-filled with a marker so that bytes the
// call must not touch can be checked afterwards.
struct Outputs {
    std::vector<uint8_t> denoised, noise, viewDenoised, viewNoise;
    explicit Outputs(size_t bytes, uint8_t marker = 0x5A)
        : denoised(bytes, marker), noise(bytes, marker), viewDenoised(bytes, marker),
          viewNoise(bytes, marker) {}
};

// Calls one export; aliasDenoised/aliasNoise make the display copies the
// same buffers as denoised/noise, as the program does for full colour.
void CallLibrary(Form form, const DenoiseJob& job, const DenoiseParams& params,
                 const uint8_t* src, const float* table, const ChannelFactors& factors,
                 Outputs& o, bool aliasDenoised = false, bool aliasNoise = false) {
    uint8_t* vd = aliasDenoised ? o.denoised.data() : o.viewDenoised.data();
    uint8_t* vn = aliasNoise ? o.noise.data() : o.viewNoise.data();
    switch (form) {
        case Form::Completa:
            KcDenoiseCompleta(&job, &params, src, o.denoised.data(), table, o.noise.data());
            break;
        case Form::CompletaOUT:
            KcDenoiseCompletaOUT(&job, &params, src, vd, table, vn, o.denoised.data(),
                                 o.noise.data());
            break;
        case Form::PerCanale:
            KcDenoisePerCanale(&job, &params, src, o.denoised.data(), table, o.noise.data(),
                               &factors);
            break;
        case Form::PerCanaleOUT:
            KcDenoisePerCanaleOUT(&job, &params, src, vd, table, vn, &factors,
                                  o.denoised.data(), o.noise.data());
            break;
    }
}

void CallOracle(Form form, const DenoiseJob& job, const DenoiseParams& params,
                const uint8_t* src, const float* table, const ChannelFactors& factors,
                Outputs& o, bool aliasDenoised = false, bool aliasNoise = false) {
    uint8_t* vd = nullptr;
    uint8_t* vn = nullptr;
    if (IsOut(form)) {
        vd = aliasDenoised ? o.denoised.data() : o.viewDenoised.data();
        vn = aliasNoise ? o.noise.data() : o.viewNoise.data();
    }
    kc_oracle::OracleDenoise(job, params, src, o.denoised.data(), table, o.noise.data(),
                             IsPerChannel(form) ? &factors : nullptr, vd, vn);
}

// Compares every output buffer of library and oracle, padding included.
void ExpectSameOutputs(const Outputs& expected, const Outputs& actual, int32_t w, int32_t h,
                       const std::string& what) {
    EXPECT_EQ("", FirstDifference(expected.denoised.data(), actual.denoised.data(), w, h, true))
        << what << " denoised";
    EXPECT_EQ("", FirstDifference(expected.noise.data(), actual.noise.data(), w, h, true))
        << what << " noise";
    EXPECT_EQ("", FirstDifference(expected.viewDenoised.data(), actual.viewDenoised.data(), w,
                                  h, true))
        << what << " viewDenoised";
    EXPECT_EQ("",
              FirstDifference(expected.viewNoise.data(), actual.viewNoise.data(), w, h, true))
        << what << " viewNoise";
}

TEST(DenoiseSmoke, AllFormsMatchOracleOnSmallImage) {
    const int32_t w = 9, h = 7;
    std::vector<uint8_t> src(ImageBytes(w, h));
    kc_oracle::FillNoisyImage(src.data(), w, h, 1, 6);
    const std::vector<float> table = kc_oracle::RandomTable(200, 2, 0.1);
    const DenoiseJob job{0, h - 1, w, h, 200};
    const ChannelFactors factors{0.25f, 1.0f, 0.7f};
    for (Form form : {Form::Completa, Form::CompletaOUT, Form::PerCanale, Form::PerCanaleOUT}) {
        for (int16_t view = 0; view <= 5; ++view) {
            const DenoiseParams params{1, 3, 1, view};
            Outputs expected(src.size()), actual(src.size());
            CallOracle(form, job, params, src.data(), table.data(), factors, expected);
            CallLibrary(form, job, params, src.data(), table.data(), factors, actual);
            ExpectSameOutputs(expected, actual, w, h,
                              std::string(FormName(form)) + " view " + std::to_string(view));
        }
    }
}

}  // namespace
