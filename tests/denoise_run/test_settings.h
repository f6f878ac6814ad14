// Run settings as the run layer's tests write them: intensity, radius, the
// channel strengths as factors and, for the colour-noise mode, its strength.
#pragma once

#include "denoise_run/run_settings.h"

namespace calmora {

inline RunSettings TestSettings(int16_t sigma, int16_t radius, float red = 1.0f,
                                float green = 1.0f, float blue = 1.0f) {
    RunSettings s;
    s.sigma = sigma;
    s.radius = radius;
    s.red = red;
    s.green = green;
    s.blue = blue;
    return s;
}

inline RunSettings ColourNoiseSettings(int16_t sigma, int16_t radius, int16_t strength,
                                       float red = 1.0f, float green = 1.0f, float blue = 1.0f) {
    RunSettings s = TestSettings(sigma, radius, red, green, blue);
    s.colourNoise = true;
    s.colourStrength = strength;
    return s;
}

}  // namespace calmora
