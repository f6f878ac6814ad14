// Test-only helpers: scratch folders, pattern images written with FreeImage
// directly (not through the code under test), and forged file headers.
#pragma once

#include <FreeImage.h>
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "imagefiles/image_load.h"
#include "imagefiles/image_save.h"
#include "file_bytes.h"
#include "scratch_dir.h"

namespace calmora_test {

// 24-bit picture where every pixel differs from its neighbours; smooth makes
// a gentle gradient instead (compresses well, survives JPEG closely).
calmora::BitmapPtr Pattern24(int width, int height, bool smooth = false);

// Pixels no encoder can shrink much, so that every format writes many bytes.
calmora::BitmapPtr IncompressibleImage(int width, int height);

// The file type bits (S_IFREG, S_IFIFO, ...) of path itself, links not
// followed; 0 when it does not exist.
[[nodiscard]] mode_t FileKind(const std::string& path);

// Blue, green, red bytes of every pixel, rows bottom-up, without padding.
std::vector<uint8_t> PixelBytes(FIBITMAP* image);

// Attaches a tag of the given model, key, id, type and value; fails the test
// if FreeImage refuses it.
void AddTag(FIBITMAP* image, FREE_IMAGE_MDMODEL model, const char* key, WORD id,
            FREE_IMAGE_MDTYPE type, const std::vector<uint8_t>& value, DWORD count,
            const char* description = nullptr);
// Every metadata tag of every model of image as one comparable text.
std::string AllMetadata(FIBITMAP* image);

// Saves with FreeImage itself; fails the test if it cannot.
void WriteImage(FIBITMAP* image, FREE_IMAGE_FORMAT format, const std::string& path, int flags = 0);


// Tiny files whose headers claim width x height pixels.
std::vector<uint8_t> ForgedPng(uint32_t width, uint32_t height);
std::vector<uint8_t> ForgedBmp(int32_t width, int32_t height);
std::vector<uint8_t> ForgedGif(uint16_t screenWidth, uint16_t screenHeight, uint16_t frameWidth,
                               uint16_t frameHeight);

}  // namespace calmora_test
