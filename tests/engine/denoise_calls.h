// Calls of the four denoise exports and of the oracle on buffers pre-filled
// with a marker, and the comparison of all their outputs: what every denoise
// test builds on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "KcDenoise.h"

namespace kc_calls {

constexpr uint8_t kMarker = 0x5A;

enum class Form { Completa, CompletaOUT, PerCanale, PerCanaleOUT };
inline const Form kForms[] = {Form::Completa, Form::CompletaOUT, Form::PerCanale,
                              Form::PerCanaleOUT};

std::string FormName(Form f);
bool IsOut(Form f);
bool IsPerChannel(Form f);

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

Targets TargetsOf(Outputs& o, bool aliasDenoised, bool aliasNoise);

// One call of the export of form, returning what it returns; the same
// where the return value must be 0; and the oracle's answer for the call.
[[nodiscard]] int32_t CallExport(Form form, const DenoiseJob& job, const DenoiseParams& params,
                                 const uint8_t* src, const float* table,
                                 const ChannelFactors& factors, const Targets& t);
void CallLibrary(Form form, const DenoiseJob& job, const DenoiseParams& params,
                 const uint8_t* src, const float* table, const ChannelFactors& factors,
                 const Targets& t);
void CallOracle(Form form, const DenoiseJob& job, const DenoiseParams& params,
                const uint8_t* src, const float* table, const ChannelFactors& factors,
                const Targets& t);

// Compares every output buffer, padding included (both start from the marker,
// so a padding byte written by either side shows up).
void ExpectSameOutputs(const Outputs& expected, const Outputs& actual, int32_t w, int32_t h,
                       const std::string& what);

// One library call and one oracle call on fresh buffers, compared.
void ExpectMatchesOracle(Form form, const DenoiseJob& job, const DenoiseParams& params,
                         const std::vector<uint8_t>& src, const std::vector<float>& table,
                         const ChannelFactors& factors, bool aliasDenoised, bool aliasNoise,
                         const std::string& what);

std::vector<uint8_t> NoisyImage(int32_t w, int32_t h, uint64_t seed, int amplitude);
// Channel c of pixel (x, y); all three channels of it set to v.
uint8_t& At(std::vector<uint8_t>& img, int32_t w, int32_t x, int32_t y, int c);
void SetPixel(std::vector<uint8_t>& img, int32_t w, int32_t x, int32_t y, uint8_t v);

inline const ChannelFactors kFull{1.0f, 1.0f, 1.0f};

}  // namespace kc_calls
