#include "denoise_calls.h"

#include <gtest/gtest.h>

#include "oracle.h"

namespace kc_calls {

using kc_oracle::FirstDifference;
using kc_oracle::ImageBytes;
using kc_oracle::Stride;

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

Targets TargetsOf(Outputs& o, bool aliasDenoised, bool aliasNoise) {
    return {o.denoised.data(), o.noise.data(),
            aliasDenoised ? o.denoised.data() : o.viewDenoised.data(),
            aliasNoise ? o.noise.data() : o.viewNoise.data()};
}

int32_t CallExport(Form form, const DenoiseJob& job, const DenoiseParams& params,
                   const uint8_t* src, const float* table, const ChannelFactors& factors,
                   const Targets& t) {
    switch (form) {
        case Form::Completa:
            return KcDenoiseCompleta(&job, &params, src, t.denoised, table, t.noise);
        case Form::CompletaOUT:
            return KcDenoiseCompletaOUT(&job, &params, src, t.viewDenoised, table, t.viewNoise,
                                        t.denoised, t.noise);
        case Form::PerCanale:
            return KcDenoisePerCanale(&job, &params, src, t.denoised, table, t.noise, &factors);
        case Form::PerCanaleOUT:
            return KcDenoisePerCanaleOUT(&job, &params, src, t.viewDenoised, table, t.viewNoise,
                                         &factors, t.denoised, t.noise);
    }
    return -1;
}

void CallLibrary(Form form, const DenoiseJob& job, const DenoiseParams& params,
                 const uint8_t* src, const float* table, const ChannelFactors& factors,
                 const Targets& t) {
    EXPECT_EQ(0, CallExport(form, job, params, src, table, factors, t)) << FormName(form);
}

void CallOracle(Form form, const DenoiseJob& job, const DenoiseParams& params,
                const uint8_t* src, const float* table, const ChannelFactors& factors,
                const Targets& t) {
    kc_oracle::OracleDenoise(job, params, src, t.denoised, table, t.noise,
                             IsPerChannel(form) ? &factors : nullptr,
                             IsOut(form) ? t.viewDenoised : nullptr,
                             IsOut(form) ? t.viewNoise : nullptr);
}

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

}  // namespace kc_calls
