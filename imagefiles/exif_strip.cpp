#include "imagefiles/exif_strip.h"

#include <FreeImage.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>

#include "imagefiles/image_guard.h"

namespace calmora {

namespace {

constexpr uint8_t kApp1 = 0xE1;
constexpr uint8_t kApp15 = 0xEF;

struct MemoryCloser {
    void operator()(FIMEMORY* memory) const { FreeImage_CloseMemory(memory); }
};

}  // namespace

std::optional<std::vector<uint8_t>> JpegWithoutBadExif(const std::string& path) {
    // The streaming check first, so that a sound file is never copied.
    if (!InspectBeforeDecode(path, FIF_JPEG).exifMalformed()) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) return std::nullopt;
    // Checked again on the very bytes FreeImage will read, since the file
    // may have changed in between; they are decoded even if now sound.
    const GuardVerdict verdict = InspectBeforeDecode(bytes.data(), bytes.size(), FIF_JPEG);
    for (const uint64_t at : verdict.badExifSegments)
        if (at < bytes.size() && bytes[at] == kApp1) bytes[at] = kApp15;
    return bytes;
}

std::optional<BitmapPtr> LoadJpegWithoutBadExif(const std::string& path, int flags) {
    std::optional<std::vector<uint8_t>> bytes = JpegWithoutBadExif(path);
    if (!bytes) return std::nullopt;
    if (bytes->size() > UINT32_MAX) return BitmapPtr();  // FreeImage's memory streams stop at 4 GB
    std::unique_ptr<FIMEMORY, MemoryCloser> memory(
        FreeImage_OpenMemory(bytes->data(), static_cast<DWORD>(bytes->size())));
    if (!memory) return BitmapPtr();
    return BitmapPtr(FreeImage_LoadFromMemory(FIF_JPEG, memory.get(), flags));
}

}  // namespace calmora
