// The removed noise and the display copies of a preview row, for a result
// the engine's OUT form did not write itself (the colour-noise mode), made
// exactly as that form makes them: the noise is source minus result modulo
// 256, and a channel view puts that channel's byte in all three.
#pragma once

#include <cstdint>

namespace calmora {

// One row of width pixels. viewChannel 0 writes noise only (the colour
// buffers are the views then); 1 red, 2 green, 3 blue also write the grey
// pair; any other value writes noise only.
void WritePreviewRow(const uint8_t* source, const uint8_t* denoised, uint8_t* noise,
                     uint8_t* viewDenoised, uint8_t* viewNoise, int32_t width,
                     int16_t viewChannel);

}  // namespace calmora
