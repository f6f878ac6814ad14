// Internal view of one denoise export call, shared by every path of the filter.
#pragma once

#include <cstddef>
#include <cstdint>

#include "KcDenoise.h"
#include "primitives_common.h"

namespace kc {

struct DenoiseCall {
    const DenoiseJob* job;
    const DenoiseParams* params;
    const uint8_t* source;
    uint8_t* denoised;
    uint8_t* noise;
    const float* table;
    const ChannelFactors* factors;  // null: whole-pixel form
    uint8_t* viewDenoised;          // OUT forms only, else null
    uint8_t* viewNoise;
    bool outForm;
};

// Low 8 bits of value truncated toward zero. Values that no valid table can
// produce (NaN, beyond 64 bits) give 0 rather than undefined behaviour.
inline uint8_t TruncToByte(double value) {
    if (!(value > -9.0e18 && value < 9.0e18)) return 0;
    return static_cast<uint8_t>(static_cast<int64_t>(value));
}

// Output byte of one channel from its weighted sums. Every path ends here so
// that finishing is identical whatever computed the sums.
inline uint8_t ChannelByte(double num, double den, uint8_t src, bool perChannel, float factor,
                           float keep) {
    if (den == 0.0) return src;  // only when the caller breaks the table contract
    const double value = num / den;
    if (!perChannel || factor >= 1.0f) return TruncToByte(value);
    return TruncToByte(static_cast<double>(keep) * static_cast<double>(src) +
                       static_cast<double>(factor) * value);
}

// Per-call constants of the finishing step.
struct Finish {
    bool perChannel = false;
    float factor[3] = {1.0f, 1.0f, 1.0f};  // blue, green, red
    float keep[3] = {0.0f, 0.0f, 0.0f};    // 1 - factor, held as float
    bool wantNoise = false;
    int viewChannel = -1;                  // byte index copied to the views, 3 = colour, -1 none

    explicit Finish(const DenoiseCall& c) {
        if (c.factors) {
            perChannel = true;
            factor[0] = c.factors->blue;
            factor[1] = c.factors->green;
            factor[2] = c.factors->red;
            for (int i = 0; i < 3; ++i) keep[i] = 1.0f - factor[i];
        }
        wantNoise = c.params->wantNoise > 0;
        if (c.outForm) {
            switch (c.params->viewChannel) {
                case 0: viewChannel = 3; break;
                case 1: viewChannel = 2; break;
                case 2: viewChannel = 1; break;
                case 3: viewChannel = 0; break;
                default: viewChannel = -1; break;
            }
        }
    }

    // Writes the pixel at byte offset off: denoised, noise, then the display copies.
    void Pixel(const DenoiseCall& c, size_t off, const double num[3], const double den[3]) const {
        const uint8_t* s = c.source + off;
        uint8_t out[3], nz[3];
        for (int ch = 0; ch < 3; ++ch) {
            out[ch] = ChannelByte(num[ch], den[ch], s[ch], perChannel, factor[ch], keep[ch]);
            nz[ch] = static_cast<uint8_t>(s[ch] - out[ch]);
        }
        for (int ch = 0; ch < 3; ++ch) c.denoised[off + ch] = out[ch];
        if (wantNoise)
            for (int ch = 0; ch < 3; ++ch) c.noise[off + ch] = nz[ch];
        if (viewChannel < 0) return;
        for (int ch = 0; ch < 3; ++ch)
            c.viewDenoised[off + ch] = viewChannel == 3 ? out[ch] : out[viewChannel];
        if (wantNoise)
            for (int ch = 0; ch < 3; ++ch)
                c.viewNoise[off + ch] = viewChannel == 3 ? nz[ch] : nz[viewChannel];
    }
};

// The filter exactly as defined, one pixel at a time, for columns [x0, x1) of row y.
void DenoiseReferenceSpan(const DenoiseCall& c, const Finish& f, int32_t y, int32_t x0, int32_t x1);

// Whole call on the fastest verified path (see denoise_dispatch.cpp).
void Denoise(const DenoiseCall& c);

}  // namespace kc
