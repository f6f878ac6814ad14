// Grey pictures of one colour channel, for the dialog's single-channel views.
#include "KcDenoise.h"
#include "primitives_common.h"

namespace {

// The byte is read before the pixel is written, so source may be destination.
void ExtractChannel(const uint8_t* source, uint8_t* destination, int32_t width, int32_t height,
                    int channel) {
    const int64_t stride = kc::RowStride(width);
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* s = source + kc::PixelOffset(y, stride, 0);
        uint8_t* d = destination + kc::PixelOffset(y, stride, 0);
        for (int32_t x = 0; x < width; ++x, s += 3, d += 3) {
            const uint8_t v = s[channel];
            d[0] = v;
            d[1] = v;
            d[2] = v;
        }
    }
}

}  // namespace

extern "C" {

int32_t KcEstraiRed(const uint8_t* source, uint8_t* destination, int32_t width, int32_t height) {
    ExtractChannel(source, destination, width, height, 2);
    return 0;
}

int32_t KcEstraiGreen(const uint8_t* source, uint8_t* destination, int32_t width,
                      int32_t height) {
    ExtractChannel(source, destination, width, height, 1);
    return 0;
}

int32_t KcEstraiBlue(const uint8_t* source, uint8_t* destination, int32_t width, int32_t height) {
    ExtractChannel(source, destination, width, height, 0);
    return 0;
}

}  // extern "C"
