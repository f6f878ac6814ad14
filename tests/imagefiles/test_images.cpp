#include "test_images.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace calmora_test {

namespace fs = std::filesystem;

calmora::BitmapPtr Pattern24(int width, int height, bool smooth) {
    calmora::BitmapPtr image(FreeImage_Allocate(width, height, 24));
    for (int y = 0; y < height; ++y) {
        BYTE* row = FreeImage_GetScanLine(image.get(), y);
        for (int x = 0; x < width; ++x) {
            if (smooth) {
                row[3 * x] = static_cast<BYTE>(40 + 150 * x / width);
                row[3 * x + 1] = static_cast<BYTE>(60 + 120 * y / height);
                row[3 * x + 2] = static_cast<BYTE>(200 - 100 * (x + y) / (width + height));
            } else {
                row[3 * x] = static_cast<BYTE>(x * 7 + y * 3);
                row[3 * x + 1] = static_cast<BYTE>(x * 2 + y * 11 + 5);
                row[3 * x + 2] = static_cast<BYTE>((x * 13) ^ (y * 5));
            }
        }
    }
    return image;
}

calmora::BitmapPtr IncompressibleImage(int width, int height) {
    calmora::BitmapPtr image(FreeImage_Allocate(width, height, 24));
    uint32_t state = 12345;
    for (int y = 0; y < height; ++y) {
        BYTE* row = FreeImage_GetScanLine(image.get(), y);
        for (int x = 0; x < width * 3; ++x) {
            state = state * 1664525u + 1013904223u;
            row[x] = static_cast<BYTE>(state >> 24);
        }
    }
    return image;
}

mode_t FileKind(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 ? (st.st_mode & S_IFMT) : 0;
}

std::vector<uint8_t> PixelBytes(FIBITMAP* image) {
    std::vector<uint8_t> bytes;
    const unsigned width = FreeImage_GetWidth(image);
    for (unsigned y = 0; y < FreeImage_GetHeight(image); ++y) {
        const BYTE* row = FreeImage_GetScanLine(image, static_cast<int>(y));
        bytes.insert(bytes.end(), row, row + 3 * width);
    }
    return bytes;
}

void AddTag(FIBITMAP* image, FREE_IMAGE_MDMODEL model, const char* key, WORD id,
            FREE_IMAGE_MDTYPE type, const std::vector<uint8_t>& value, DWORD count,
            const char* description) {
    FITAG* tag = FreeImage_CreateTag();
    FreeImage_SetTagKey(tag, key);
    FreeImage_SetTagID(tag, id);
    FreeImage_SetTagType(tag, type);
    FreeImage_SetTagCount(tag, count);
    FreeImage_SetTagLength(tag, static_cast<DWORD>(value.size()));
    FreeImage_SetTagValue(tag, value.data());
    if (description) FreeImage_SetTagDescription(tag, description);
    ASSERT_TRUE(FreeImage_SetMetadata(model, image, key, tag));
    FreeImage_DeleteTag(tag);
}

std::string AllMetadata(FIBITMAP* image) {
    std::string all;
    for (int model = FIMD_COMMENTS; model <= FIMD_EXIF_RAW; ++model) {
        if (FreeImage_GetMetadataCount(FREE_IMAGE_MDMODEL(model), image) == 0) continue;
        FITAG* tag = nullptr;
        FIMETADATA* it = FreeImage_FindFirstMetadata(FREE_IMAGE_MDMODEL(model), image, &tag);
        do {
            const char* description = FreeImage_GetTagDescription(tag);
            all += std::to_string(model) + "|" + FreeImage_GetTagKey(tag) + "|" +
                   std::to_string(FreeImage_GetTagID(tag)) + "|" +
                   std::to_string(FreeImage_GetTagType(tag)) + "|" +
                   std::to_string(FreeImage_GetTagCount(tag)) + "|" +
                   std::to_string(FreeImage_GetTagLength(tag)) + "|" +
                   (description ? description : "-") + "|";
            const auto* v = static_cast<const char*>(FreeImage_GetTagValue(tag));
            all.append(v, FreeImage_GetTagLength(tag)).append("\n");
        } while (FreeImage_FindNextMetadata(it, &tag));
        FreeImage_FindCloseMetadata(it);
    }
    return all;
}

void WriteImage(FIBITMAP* image, FREE_IMAGE_FORMAT format, const std::string& path, int flags) {
    ASSERT_TRUE(FreeImage_Save(format, image, path.c_str(), flags)) << path;
}


namespace {

void Be32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}


void PngChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
    Be32(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    Be32(out, Crc32(out.data() + start, out.size() - start));
}

}  // namespace

std::vector<uint8_t> ForgedPng(uint32_t width, uint32_t height) {
    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    Be32(header, width);
    Be32(header, height);
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB
    PngChunk(out, "IHDR", header);
    PngChunk(out, "IDAT", {0x78, 0x9C, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01});
    PngChunk(out, "IEND", {});
    return out;
}

std::vector<uint8_t> ForgedBmp(int32_t width, int32_t height) {
    std::vector<uint8_t> out = {'B', 'M'};
    PutLe32(out, 54 + 16);
    PutLe32(out, 0);
    PutLe32(out, 54);
    PutLe32(out, 40);
    PutLe32(out, static_cast<uint32_t>(width));
    PutLe32(out, static_cast<uint32_t>(height));
    PutLe16(out, 1);
    PutLe16(out, 24);
    for (int i = 0; i < 6; ++i) PutLe32(out, 0);  // uncompressed, sizes and palette 0
    out.resize(out.size() + 16, 0x80);
    return out;
}

std::vector<uint8_t> ForgedGif(uint16_t screenWidth, uint16_t screenHeight, uint16_t frameWidth,
                               uint16_t frameHeight) {
    std::vector<uint8_t> out = {'G', 'I', 'F', '8', '9', 'a'};
    PutLe16(out, screenWidth);
    PutLe16(out, screenHeight);
    out.insert(out.end(), {0x80, 0, 0});  // global table of 2 colours
    out.insert(out.end(), {0, 0, 0, 255, 255, 255});
    out.insert(out.end(), {0x21, 0xFE, 3, 'h', 'i', '!', 0});  // a comment to skip
    out.push_back(0x2C);
    PutLe16(out, 0);
    PutLe16(out, 0);
    PutLe16(out, frameWidth);
    PutLe16(out, frameHeight);
    out.push_back(0);
    out.insert(out.end(), {2, 2, 0x4C, 0x01, 0, 0x3B});
    return out;
}

}  // namespace calmora_test
