#include "display_bitmap.h"

#include <cstdlib>
#include <limits>

#include "KcDenoise.h"

namespace calmora {

int64_t BufferStride(int64_t width) {
    if (width <= 0) return -1;
    const int64_t stride = (width * 3 + 3) & ~int64_t{3};
    return stride > std::numeric_limits<int32_t>::max() ? -1 : stride;
}

int64_t DisplayBitmap::stride() const { return BufferStride(info.width); }

void DisplayBitmap::Release() {
    storage.reset();
    bits = nullptr;
}

bool CreaDIB(DisplayBitmap& bitmap, int32_t width, int32_t height) {
    bitmap.Release();
    bitmap.info = BitmapInfo{};
    bitmap.info.width = width;
    bitmap.info.height = height;
    const int64_t stride = BufferStride(width);
    if (stride < 0 || height <= 0) return false;
    const int64_t size = stride * height;
    if (size > std::numeric_limits<int32_t>::max()) return false;
    bitmap.info.sizeImage = size;
    void* memory = std::calloc(static_cast<size_t>(size), 1);
    if (!memory) return false;
    bitmap.storage = std::unique_ptr<uint8_t, void (*)(void*)>(static_cast<uint8_t*>(memory),
                                                               std::free);
    bitmap.bits = bitmap.storage.get();
    return true;
}

bool CopyImageBlock(uint8_t* destination, int32_t dstX, int32_t dstY, int32_t blockWidth,
                    int32_t blockHeight, const uint8_t* source, int32_t srcX, int32_t srcY,
                    int32_t srcWidth, int32_t srcHeight) {
    const int64_t dstStride = BufferStride(blockWidth), srcStride = BufferStride(srcWidth);
    if (dstStride < 0 || srcStride < 0) return false;
    return KcBitBlt(destination, dstX, -dstY, blockWidth, static_cast<int32_t>(dstStride),
                    blockHeight, source, srcX, srcHeight - blockHeight - srcY,
                    static_cast<int32_t>(srcStride)) != 1;
}

}  // namespace calmora
