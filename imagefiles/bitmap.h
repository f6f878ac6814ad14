// The one pixel buffer type that crosses the image-file layer: a FreeImage
// bitmap owned by a unique_ptr.
#pragma once

#include <FreeImage.h>

#include <memory>

namespace calmora {

struct BitmapDeleter {
    void operator()(FIBITMAP* bitmap) const { FreeImage_Unload(bitmap); }
};
using BitmapPtr = std::unique_ptr<FIBITMAP, BitmapDeleter>;

}  // namespace calmora
