// The four exported forms of the filter: thin wrappers that check nothing.
#include "denoise_call.h"

using kc::DenoiseCall;

extern "C" {

int32_t KcDenoiseCompleta(const DenoiseJob* job, const DenoiseParams* params,
                          const uint8_t* source, uint8_t* denoised, const float* table,
                          uint8_t* noise) {
    kc::Denoise(DenoiseCall{job, params, source, denoised, noise, table, nullptr, nullptr,
                            nullptr, false});
    return 0;
}

int32_t KcDenoiseCompletaOUT(const DenoiseJob* job, const DenoiseParams* params,
                             const uint8_t* source, uint8_t* viewDenoised, const float* table,
                             uint8_t* viewNoise, uint8_t* denoised, uint8_t* noise) {
    kc::Denoise(DenoiseCall{job, params, source, denoised, noise, table, nullptr, viewDenoised,
                            viewNoise, true});
    return 0;
}

int32_t KcDenoisePerCanale(const DenoiseJob* job, const DenoiseParams* params,
                           const uint8_t* source, uint8_t* denoised, const float* table,
                           uint8_t* noise, const ChannelFactors* factors) {
    kc::Denoise(DenoiseCall{job, params, source, denoised, noise, table, factors, nullptr,
                            nullptr, false});
    return 0;
}

int32_t KcDenoisePerCanaleOUT(const DenoiseJob* job, const DenoiseParams* params,
                              const uint8_t* source, uint8_t* viewDenoised, const float* table,
                              uint8_t* viewNoise, const ChannelFactors* factors,
                              uint8_t* denoised, uint8_t* noise) {
    kc::Denoise(DenoiseCall{job, params, source, denoised, noise, table, factors, viewDenoised,
                            viewNoise, true});
    return 0;
}

}  // extern "C"
