#include "denoise_run/preview_views.h"

namespace calmora {

void WritePreviewRow(const uint8_t* source, const uint8_t* denoised, uint8_t* noise,
                     uint8_t* viewDenoised, uint8_t* viewNoise, int32_t width,
                     int16_t viewChannel) {
    // The byte of channel 1 (red), 2 (green), 3 (blue) in blue, green, red order.
    const int byte = viewChannel >= 1 && viewChannel <= 3 ? 3 - viewChannel : -1;
    for (int32_t x = 0; x < width; ++x) {
        const int32_t at = 3 * x;
        for (int c = 0; c < 3; ++c)
            noise[at + c] = static_cast<uint8_t>(source[at + c] - denoised[at + c]);
        if (byte < 0 || !viewDenoised || !viewNoise) continue;
        for (int c = 0; c < 3; ++c) {
            viewDenoised[at + c] = denoised[at + byte];
            viewNoise[at + c] = noise[at + byte];
        }
    }
}

}  // namespace calmora
