// Writes the fuzzers' seed corpus into the folder named on the command line:
// tiny valid files of every format and variant the program opens, so that
// the fuzzers start from inputs that reach deep into each decoder. Made
// fresh by scripts/fuzz.sh; never kept in the repository.
//
// Usage: make_seeds <folder>
#include <FreeImage.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "guard_test_support.h"
#include "imagefiles/decoder_messages.h"
#include "imagefiles/exif_io.h"
#include "imagefiles/image_load.h"
#include "imagefiles/image_save.h"
#include "test_images.h"

namespace {

using Bytes = std::vector<uint8_t>;
using calmora::BitmapPtr;
using calmora_test::PutLe16;
using calmora_test::PutLe32;

constexpr int kWidth = 16;
constexpr int kHeight = 12;

// A TIFF-structured EXIF block (little-endian): IFD0 with Make and
// Orientation, and an EXIF directory with an exposure time and the date.
Bytes ExifBlock() {
    Bytes b = {'I', 'I', 42, 0};
    PutLe32(b, 8);
    // IFD0 at 8: three entries; its values follow at 8 + 2 + 36 + 4 = 50.
    PutLe16(b, 3);
    PutLe16(b, 0x010F); PutLe16(b, 2); PutLe32(b, 6); PutLe32(b, 50);    // Make "Seed", at 50
    PutLe16(b, 0x0112); PutLe16(b, 3); PutLe32(b, 1); PutLe32(b, 6);     // Orientation 6
    PutLe16(b, 0x8769); PutLe16(b, 4); PutLe32(b, 1); PutLe32(b, 56);    // EXIF directory at 56
    PutLe32(b, 0);
    b.insert(b.end(), {'S', 'e', 'e', 'd', 0, 0});                 // 50..55
    // EXIF directory at 56: two entries; values at 56 + 2 + 24 + 4 = 86.
    PutLe16(b, 2);
    PutLe16(b, 0x829A); PutLe16(b, 5); PutLe32(b, 1); PutLe32(b, 86);    // ExposureTime 1/250
    PutLe16(b, 0x9003); PutLe16(b, 2); PutLe32(b, 20); PutLe32(b, 94);   // DateTimeOriginal
    PutLe32(b, 0);
    PutLe32(b, 1);
    PutLe32(b, 250);
    const char* date = "2024:05:01 10:20:30";
    b.insert(b.end(), date, date + 20);
    return b;
}

Bytes ExifApp1() {
    Bytes payload = {'E', 'x', 'i', 'f', 0, 0};
    const Bytes block = ExifBlock();
    payload.insert(payload.end(), block.begin(), block.end());
    return payload;
}

// BMP with a V4 (108-byte) or V5 (124-byte) header, which FreeImage cannot
// write: 32-bit with bit fields and alpha, or 24-bit plain; rows bottom-up
// unless topDown.
Bytes BmpWithLongHeader(uint32_t headerSize, int bitCount, bool topDown) {
    const uint32_t pitch = (kWidth * bitCount / 8 + 3) & ~3u;
    const uint32_t offset = 14 + headerSize;
    Bytes b = {'B', 'M'};
    PutLe32(b, offset + pitch * kHeight);
    PutLe32(b, 0);
    PutLe32(b, offset);
    PutLe32(b, headerSize);
    PutLe32(b, kWidth);
    PutLe32(b, static_cast<uint32_t>(topDown ? -kHeight : kHeight));
    PutLe16(b, 1);
    PutLe16(b, static_cast<uint32_t>(bitCount));
    PutLe32(b, bitCount == 32 ? 3 : 0);  // BI_BITFIELDS or BI_RGB
    PutLe32(b, pitch * kHeight);
    PutLe32(b, 2835);
    PutLe32(b, 2835);
    PutLe32(b, 0);
    PutLe32(b, 0);
    for (uint32_t mask : {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u}) PutLe32(b, mask);
    PutLe32(b, 0x73524742);                // 'sRGB'
    b.resize(b.size() + 36 + 12, 0);    // end points and gamma, unused with sRGB
    if (headerSize == 124) {
        PutLe32(b, 4);                      // LCS_GM_IMAGES
        PutLe32(b, 0);
        PutLe32(b, 0);
        PutLe32(b, 0);
    }
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            uint8_t rgb[3];
            guard_test::PatternRgb(x, y, rgb);
            b.insert(b.end(), {rgb[2], rgb[1], rgb[0]});
            if (bitCount == 32) b.push_back(static_cast<uint8_t>(128 + x * 8));
        }
        b.resize(b.size() + pitch - static_cast<uint32_t>(kWidth * bitCount / 8), 0);
    }
    return b;
}

// OS/2 BMP with the 12-byte core header, 24-bit.
Bytes BmpCoreHeader() {
    const uint32_t pitch = (kWidth * 3 + 3) & ~3u;
    Bytes b = {'B', 'M'};
    PutLe32(b, 26 + pitch * kHeight);
    PutLe32(b, 0);
    PutLe32(b, 26);
    PutLe32(b, 12);
    PutLe16(b, kWidth);
    PutLe16(b, kHeight);
    PutLe16(b, 1);
    PutLe16(b, 24);
    b.resize(b.size() + pitch * kHeight, 0x5A);
    return b;
}

// A tiled TIFF (FreeImage writes strips only): one 16 x 16 tile holding the
// 16 x 12 RGB picture, uncompressed, in either byte order.
Bytes TiledTiff(bool bigEndian) {
    Bytes b;
    auto u16 = [&](uint32_t v) {
        if (bigEndian) {
            b.push_back(static_cast<uint8_t>(v >> 8));
            b.push_back(static_cast<uint8_t>(v));
        } else {
            PutLe16(b, v);
        }
    };
    auto u32 = [&](uint32_t v) {
        if (bigEndian) {
            u16(v >> 16);
            u16(v & 0xFFFF);
        } else {
            PutLe32(b, v);
        }
    };
    if (bigEndian) b.insert(b.end(), {'M', 'M'});
    else b.insert(b.end(), {'I', 'I'});
    u16(42);
    u32(8);
    constexpr uint32_t kTile = 16;
    struct Entry { uint16_t tag, type; uint32_t count, value; };
    const uint32_t entries = 11;
    const uint32_t bitsAt = 8 + 2 + 12 * entries + 4;
    const uint32_t dataAt = bitsAt + 6;
    const uint32_t dataSize = kTile * kTile * 3;
    const Entry list[entries] = {
        {256, 4, 1, kWidth}, {257, 4, 1, kHeight}, {258, 3, 3, bitsAt}, {259, 3, 1, 1},
        {262, 3, 1, 2},      {277, 3, 1, 3},       {284, 3, 1, 1},      {322, 3, 1, kTile},
        {323, 3, 1, kTile},  {324, 4, 1, dataAt},  {325, 4, 1, dataSize}};
    u16(entries);
    for (const Entry& e : list) {
        u16(e.tag);
        u16(e.type);
        u32(e.count);
        if (e.type == 3 && e.count == 1) {
            u16(e.value);
            u16(0);
        } else {
            u32(e.value);
        }
    }
    u32(0);
    u16(8);
    u16(8);
    u16(8);
    guard_test::AppendRgbRows(b, kTile, kTile);
    return b;
}

BitmapPtr Converted(FIBITMAP* image, FIBITMAP* (*convert)(FIBITMAP*)) {
    return BitmapPtr(convert(image));
}

BitmapPtr ToType(FIBITMAP* image, FREE_IMAGE_TYPE type) {
    return BitmapPtr(FreeImage_ConvertToType(image, type, TRUE));
}

// 8-bit palette picture with `colours` colours, for GIF and palette PNG.
BitmapPtr Palette8(FIBITMAP* image) {
    return BitmapPtr(FreeImage_ColorQuantizeEx(image, FIQ_WUQUANT, 16, 0, nullptr));
}

class SeedWriter {
public:
    explicit SeedWriter(std::string folder) : folder_(std::move(folder)) {}

    void Bitmap(const char* name, FIBITMAP* image, FREE_IMAGE_FORMAT format, int flags = 0) {
        const std::string path = folder_ + "/" + name;
        Done(name, image && FreeImage_Save(format, image, path.c_str(), flags));
    }
    void Raw(const char* name, const Bytes& bytes) {
        const std::string path = folder_ + "/" + name;
        std::FILE* file = std::fopen(path.c_str(), "wb");
        bool ok = file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
        if (file) ok = std::fclose(file) == 0 && ok;
        Done(name, ok);
    }
    void Jpeg(const char* name, const guard_test::JpegKind& kind) {
        bool ok = true;
        try {
            guard_test::WriteJpegWithLibjpeg(folder_ + "/" + name, kWidth, kHeight, kind);
        } catch (const std::exception&) {
            ok = false;
        }
        Done(name, ok);
    }
    void Made(const char* name, const std::function<bool(const std::string&)>& make) {
        Done(name, make(folder_ + "/" + name));
    }
    [[nodiscard]] const std::string& Folder() const { return folder_; }
    [[nodiscard]] int Failures() const { return failures_; }

private:
    void Done(const char* name, bool ok) {
        if (!ok) {
            std::fprintf(stderr, "make_seeds: cannot write %s\n", name);
            ++failures_;
            return;
        }
        // Whether the program opens it is told, not required: a seed the
        // guard refuses still starts the fuzzer inside that format.
        const calmora::LoadedImage loaded = calmora::LoadImageFile(folder_ + "/" + name);
        std::printf("%-28s %s\n", name,
                    loaded.image ? "opens" : calmora::DescribeImageFileError(loaded.error));
    }

    std::string folder_;
    int failures_ = 0;
};

guard_test::JpegKind Kind(const char* name, int components = 3, bool progressive = false,
                          bool arithmetic = false, int restartRows = 0, int lumaSampling = 1,
                          std::vector<guard_test::Segment> extra = {}) {
    return {name, components, progressive, arithmetic, restartRows, lumaSampling, std::move(extra)};
}

bool PngWithExif(FIBITMAP* image, const std::string& path) {
    const std::string plain = path + ".plain";
    if (!FreeImage_Save(FIF_PNG, image, plain.c_str(), 0)) return false;
    std::FILE* from = std::fopen(plain.c_str(), "rb");
    std::FILE* to = std::fopen(path.c_str(), "wb");
    bool ok = from && to && calmora::exif::CopyPngWithExif(from, to, ExifBlock());
    if (from) std::fclose(from);
    if (to) ok = std::fclose(to) == 0 && ok;
    std::remove(plain.c_str());
    return ok;
}

// A TIFF with an EXIF directory, written the way the program saves one: the
// EXIF comes from a JPEG that carries it.
bool TiffWithExif(const std::string& jpegWithExif, const std::string& path) {
    BitmapPtr photo(FreeImage_Load(FIF_JPEG, jpegWithExif.c_str(), 0));
    if (!photo) return false;
    return calmora::SaveImageFile(photo.get(), path, calmora::SaveFormat::Tiff, {}).ok;
}

// FreeImage writes RLE BMPs that its own reader refuses (an end of line
// before the end of the bitmap), so the seed keeps
// FreeImage's header and palette and gets RLE8 data written here: runs,
// an absolute stretch, a move (delta) and the end-of-line and end-of-bitmap
// codes, which are the paths of the RLE decoder.
bool RleBmp(FIBITMAP* image, const std::string& path) {
    if (!FreeImage_Save(FIF_BMP, image, path.c_str(), BMP_SAVE_RLE)) return false;
    Bytes bytes = calmora_test::ReadFile(path);
    if (bytes.size() < 54) return false;
    const uint32_t offset = bytes[10] | (bytes[11] << 8) | (bytes[12] << 16) | (uint32_t{bytes[13]} << 24);
    if (offset > bytes.size()) return false;
    bytes.resize(offset);
    for (int y = 0; y < kHeight; ++y) {
        const auto shade = static_cast<uint8_t>(y * 7);
        if (y == 3) {
            bytes.insert(bytes.end(), {0, 2, 4, 1});  // move 4 right and 1 up: row 4 starts at x 4
            continue;
        }
        const uint8_t last = y == 4 ? 3 : 7;  // row 4 starts 4 pixels in
        bytes.insert(bytes.end(), {6, shade, 0, 3, 1, 2, 3, 0, last, static_cast<uint8_t>(shade + 1)});
        // The last row ends the bitmap instead of the line: FreeImage
        // refuses an end of line that takes it past the top row.
        bytes.insert(bytes.end(), {0, static_cast<uint8_t>(y + 1 == kHeight ? 1 : 0)});
    }
    Bytes sizes;
    PutLe32(sizes, static_cast<uint32_t>(bytes.size()));
    PutLe32(sizes, static_cast<uint32_t>(bytes.size()) - offset);
    std::copy(sizes.begin(), sizes.begin() + 4, bytes.begin() + 2);
    std::copy(sizes.begin() + 4, sizes.end(), bytes.begin() + 34);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    bool ok = file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (file) ok = std::fclose(file) == 0 && ok;
    return ok;
}

bool AnimatedGif(FIBITMAP* first, FIBITMAP* second, const std::string& path) {
    FIMULTIBITMAP* gif = FreeImage_OpenMultiBitmap(FIF_GIF, path.c_str(), TRUE, FALSE, FALSE, 0);
    if (!gif) return false;
    FreeImage_AppendPage(gif, first);
    FreeImage_AppendPage(gif, second);
    return FreeImage_CloseMultiBitmap(gif, 0) != FALSE;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    // Whether a seed opens is told from a load in this process: the
    // decoding child's filter does not let a sanitizer's runtime work.
    setenv("CALMORA_DECODE_IN_PROCESS", "1", 0);
    calmora::DecoderMessages quiet;
    SeedWriter seeds(argv[1]);
    const BitmapPtr rgb = calmora_test::Pattern24(kWidth, kHeight);
    const BitmapPtr smooth = calmora_test::Pattern24(kWidth, kHeight, true);
    const BitmapPtr grey = Converted(rgb.get(), FreeImage_ConvertToGreyscale);
    const BitmapPtr rgba = Converted(rgb.get(), FreeImage_ConvertTo32Bits);
    const BitmapPtr palette = Palette8(rgb.get());
    const BitmapPtr palette2 = Palette8(smooth.get());
    const BitmapPtr mono = BitmapPtr(FreeImage_Threshold(grey.get(), 128));
    const BitmapPtr four = Converted(rgb.get(), FreeImage_ConvertTo4Bits);
    const BitmapPtr rgb565 = Converted(rgb.get(), FreeImage_ConvertTo16Bits565);
    const BitmapPtr rgb16 = ToType(rgb.get(), FIT_RGB16);
    const BitmapPtr rgba16 = ToType(rgba.get(), FIT_RGBA16);
    const BitmapPtr grey16 = ToType(grey.get(), FIT_UINT16);

    const std::vector<guard_test::Segment> exif = {{0xE1, ExifApp1()}};
    seeds.Jpeg("jpeg-baseline.jpg", Kind("baseline"));
    seeds.Jpeg("jpeg-baseline-420.jpg", Kind("420", 3, false, false, 0, 2));
    seeds.Jpeg("jpeg-baseline-exif.jpg", Kind("exif", 3, false, false, 0, 1, exif));
    seeds.Jpeg("jpeg-progressive.jpg", Kind("progressive", 3, true));
    seeds.Jpeg("jpeg-progressive-exif.jpg", Kind("progressive exif", 3, true, false, 0, 2, exif));
    seeds.Jpeg("jpeg-grey.jpg", Kind("grey", 1));
    seeds.Jpeg("jpeg-restart.jpg", Kind("restart", 3, false, false, 1));
    seeds.Jpeg("jpeg-cmyk.jpg", Kind("cmyk", 4));
    seeds.Jpeg("jpeg-arithmetic.jpg", Kind("arithmetic", 3, false, true));

    seeds.Bitmap("png-grey.png", grey.get(), FIF_PNG);
    seeds.Bitmap("png-palette.png", palette.get(), FIF_PNG);
    seeds.Bitmap("png-mono.png", mono.get(), FIF_PNG);
    seeds.Bitmap("png-rgb.png", rgb.get(), FIF_PNG);
    seeds.Bitmap("png-rgba.png", rgba.get(), FIF_PNG);
    seeds.Bitmap("png-rgb16.png", rgb16.get(), FIF_PNG);
    seeds.Bitmap("png-rgba16.png", rgba16.get(), FIF_PNG);
    seeds.Bitmap("png-grey16.png", grey16.get(), FIF_PNG);
    seeds.Made("png-rgb16-exif.png", [&](const std::string& p) { return PngWithExif(rgb16.get(), p); });
    seeds.Made("png-rgb-exif.png", [&](const std::string& p) { return PngWithExif(rgb.get(), p); });

    seeds.Bitmap("bmp-1.bmp", mono.get(), FIF_BMP);
    seeds.Bitmap("bmp-4.bmp", four.get(), FIF_BMP);
    seeds.Bitmap("bmp-8.bmp", palette.get(), FIF_BMP);
    seeds.Made("bmp-8-rle.bmp", [&](const std::string& p) { return RleBmp(palette.get(), p); });
    seeds.Bitmap("bmp-16-565.bmp", rgb565.get(), FIF_BMP);
    seeds.Bitmap("bmp-24.bmp", rgb.get(), FIF_BMP);
    seeds.Bitmap("bmp-32.bmp", rgba.get(), FIF_BMP);
    seeds.Raw("bmp-v4-32.bmp", BmpWithLongHeader(108, 32, false));
    seeds.Raw("bmp-v5-32.bmp", BmpWithLongHeader(124, 32, false));
    seeds.Raw("bmp-v5-24-topdown.bmp", BmpWithLongHeader(124, 24, true));
    seeds.Raw("bmp-os2-24.bmp", BmpCoreHeader());

    seeds.Bitmap("tiff-strip.tif", rgb.get(), FIF_TIFF, TIFF_NONE);
    seeds.Bitmap("tiff-lzw.tif", rgb.get(), FIF_TIFF, TIFF_LZW);
    seeds.Bitmap("tiff-deflate.tif", rgba.get(), FIF_TIFF, TIFF_DEFLATE);
    seeds.Bitmap("tiff-packbits-grey.tif", grey.get(), FIF_TIFF, TIFF_PACKBITS);
    seeds.Bitmap("tiff-palette.tif", palette.get(), FIF_TIFF, TIFF_LZW);
    seeds.Bitmap("tiff-rgb16.tif", rgb16.get(), FIF_TIFF, TIFF_NONE);
    seeds.Raw("tiff-tile.tif", TiledTiff(false));
    seeds.Raw("tiff-tile-be.tif", TiledTiff(true));
    seeds.Made("tiff-exif.tif", [&](const std::string& p) {
        return TiffWithExif(seeds.Folder() + "/jpeg-baseline-exif.jpg", p);
    });

    seeds.Bitmap("gif-palette.gif", palette.get(), FIF_GIF);
    seeds.Made("gif-two-frames.gif",
               [&](const std::string& p) { return AnimatedGif(palette.get(), palette2.get(), p); });

    // fuzz_guard also reads each input as a bare EXIF block.
    seeds.Raw("exif-block.bin", ExifBlock());
    return seeds.Failures() == 0 ? 0 : 1;
}
