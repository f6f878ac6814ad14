#include "denoise_run/run_settings.h"

namespace calmora {

float FactorFromPercent(int percent) {
    return static_cast<float>(static_cast<double>(percent) / 100.0);
}

bool CanRun(const RunSettings& settings) {
    return settings.sigma != 0 &&
           (settings.red != 0.0f || settings.green != 0.0f || settings.blue != 0.0f);
}

bool RunnableSettings(const RunSettings& s) {
    return CanRun(s) && s.sigma >= kMinIntensity && s.sigma <= kMaxIntensity && s.radius >= 0 &&
           (!s.colourNoise ||
            (s.colourStrength >= kMinColourStrength && s.colourStrength <= kMaxColourStrength));
}

bool SameRun(const RunSettings& a, const RunSettings& b) {
    return a.sigma == b.sigma && a.radius == b.radius && a.red == b.red && a.green == b.green &&
           a.blue == b.blue && a.colourNoise == b.colourNoise &&
           (!a.colourNoise || a.colourStrength == b.colourStrength);
}

bool UsesWholePixelEngine(const RunSettings& settings) {
    return settings.red == 1.0f && settings.green == 1.0f && settings.blue == 1.0f;
}

DenoiseParams PreviewParams(const RunSettings& settings, int16_t viewChannel) {
    return DenoiseParams{kPatchRadius, settings.radius, 1, viewChannel};
}

DenoiseParams FullRunParams(const RunSettings& settings) {
    return DenoiseParams{kPatchRadius, settings.radius, 0, 0};
}

ChannelFactors EngineFactors(const RunSettings& settings) {
    return ChannelFactors{settings.blue, settings.green, settings.red};
}

}  // namespace calmora
