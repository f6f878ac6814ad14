// Marking an area of an image: a white outline that remembers what it
// covered, and darkening of rows or of a rectangle.
#include "KcDenoise.h"
#include "primitives_common.h"

namespace {

// Saves the pixel into slot n of the save buffer, then whitens it.
void SaveAndWhiten(uint8_t* pixel, uint8_t* save, int32_t n) {
    uint8_t* slot = save + 3 * int64_t{n};
    for (int c = 0; c < 3; ++c) {
        slot[c] = pixel[c];
        pixel[c] = 255;
    }
}

inline uint8_t Darker(uint8_t v) { return v > 64 ? static_cast<uint8_t>(v - 64) : 0; }

void DarkenSpan(const uint8_t* source, uint8_t* destination, int64_t stride, int32_t firstRow,
                int32_t lastRow, int32_t firstColumn, int32_t lastColumn) {
    if (lastRow < firstRow || lastColumn < firstColumn) return;
    const int64_t bytes = (int64_t{lastColumn} - firstColumn + 1) * 3;
    for (int64_t y = firstRow; y <= lastRow; ++y) {
        const uint8_t* s = source + kc::PixelOffset(y, stride, firstColumn);
        uint8_t* d = destination + kc::PixelOffset(y, stride, firstColumn);
        for (int64_t i = 0; i < bytes; ++i) d[i] = Darker(s[i]);
    }
}

}  // namespace

extern "C" {

// Edges in a fixed order (bottom, top, left, right), each saving from the
// start of the save buffer, so it ends up holding the pixels under the right
// edge. An empty rectangle draws nothing: its top row or right column would
// lie outside it, below row 0 or left of column 0 for one at the origin.
int32_t KcDrawRect(uint8_t* image, uint8_t* save, int32_t imageWidth, int32_t /*unused*/,
                   int32_t left, int32_t bottom, int32_t rectWidth, int32_t rectHeight) {
    if (rectWidth <= 0 || rectHeight <= 0) return 0;
    const int64_t stride = kc::RowStride(imageWidth);
    const int64_t top = int64_t{bottom} + rectHeight - 1;
    const int64_t right = int64_t{left} + rectWidth - 1;
    for (int32_t i = 0; i < rectWidth; ++i)
        SaveAndWhiten(image + kc::PixelOffset(bottom, stride, int64_t{left} + i), save, i);
    for (int32_t i = 0; i < rectWidth; ++i)
        SaveAndWhiten(image + kc::PixelOffset(top, stride, int64_t{left} + i), save, i);
    for (int32_t i = 0; i < rectHeight; ++i)
        SaveAndWhiten(image + kc::PixelOffset(int64_t{bottom} + i, stride, left), save, i);
    for (int32_t i = 0; i < rectHeight; ++i)
        SaveAndWhiten(image + kc::PixelOffset(int64_t{bottom} + i, stride, right), save, i);
    return 0;
}

int32_t KcReduceLumCols(int32_t firstRow, int32_t lastRow, const uint8_t* source,
                        uint8_t* destination, int32_t /*unused1*/, int32_t stride,
                        int32_t /*unused2*/, int32_t firstColumn, int32_t lastColumn) {
    DarkenSpan(source, destination, stride, firstRow, lastRow, firstColumn, lastColumn);
    return 0;
}

int32_t KcReduceLumRows(int32_t firstRow, int32_t lastRow, const uint8_t* source,
                        uint8_t* destination, int32_t width, int32_t stride,
                        int32_t /*unused*/) {
    DarkenSpan(source, destination, stride, firstRow, lastRow, 0, width - 1);
    return 0;
}

}  // extern "C"
