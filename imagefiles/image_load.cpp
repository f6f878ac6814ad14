#include "imagefiles/image_load.h"

#include "imagefiles/bmp_header.h"
#include "imagefiles/decoder_messages.h"
#include "imagefiles/exif_io.h"
#include "imagefiles/exif_strip.h"
#include "imagefiles/exif_tags.h"
#include "imagefiles/image_guard.h"
#include "imagefiles/sandboxed_decode.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

namespace calmora {

namespace {

// ---------------------------------------------------------------------------
// Header reading.

bool IsReadFormat(FREE_IMAGE_FORMAT format) {
    return format == FIF_JPEG || format == FIF_BMP || format == FIF_PNG ||
           format == FIF_TIFF || format == FIF_GIF;
}

uint32_t Le16(const unsigned char* p) { return uint32_t{p[0]} | (uint32_t{p[1]} << 8); }
uint32_t Le32(const unsigned char* p) { return Le16(p) | (Le16(p + 2) << 16); }

// FreeImage reads uncompressed BMP pixels without checking that they were
// all there, which would turn a cut-off file into a picture with a black band.
bool BmpPixelsMissing(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return false;
    const auto fileSize = static_cast<int64_t>(in.tellg());
    unsigned char head[30];
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(head), sizeof head)) return true;
    const int64_t dataOffset = Le32(head + 10);
    const int64_t infoSize = Le32(head + 14);
    int64_t width = 0, height = 0, bitCount = 0, compression = 0;
    if (infoSize == 12) {  // OS/2 core header
        width = Le16(head + 18);
        height = Le16(head + 20);
        bitCount = Le16(head + 24);
    } else {
        unsigned char more[4];
        if (!in.read(reinterpret_cast<char*>(more), sizeof more)) return true;
        width = static_cast<int32_t>(Le32(head + 18));
        height = static_cast<int32_t>(Le32(head + 22));
        bitCount = Le16(head + 28);
        compression = Le32(more);
    }
    const bool uncompressed = compression == 0 || compression == 3 || compression == 6;
    if (!uncompressed || width <= 0 || height == 0 || bitCount == 0) return false;
    height = height < 0 ? -height : height;
    const int64_t pitch = (width * bitCount + 31) / 32 * 4;
    const int64_t lastRow = (width * bitCount + 7) / 8;  // the last row's padding may be missing
    const int64_t start = std::max(dataOffset, 14 + infoSize);
    return fileSize < start + pitch * (height - 1) + lastRow;
}

bool FileReadable(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    return access(path.c_str(), R_OK) == 0;
}

// ---------------------------------------------------------------------------
// Conversion to 24 bits.

// An embedded profile only describes the converted pixels when it is an RGB
// profile; a CMYK or grey one would make other programs misread the colours.
void CopyIccIfRgb(FIBITMAP* to, FIBITMAP* from) {
    FIICCPROFILE* icc = FreeImage_GetICCProfile(from);
    if (!icc || !icc->data || icc->size < 20) return;
    if (std::memcmp(static_cast<const char*>(icc->data) + 16, "RGB ", 4) != 0) return;
    FreeImage_CreateICCProfile(to, icc->data, icc->size);
}

BitmapPtr ConvertTo24(FIBITMAP* decoded) {
    const FREE_IMAGE_TYPE type = FreeImage_GetImageType(decoded);
    BitmapPtr converted;
    if (type == FIT_BITMAP || type == FIT_RGB16 || type == FIT_RGBA16) {
        converted.reset(FreeImage_ConvertTo24Bits(decoded));
    } else {
        // 16-bit grey keeps its high byte, like 16-bit colour does; other
        // sample types (32-bit, float) are scaled from their range to 8 bits.
        BitmapPtr grey(type == FIT_UINT16 ? FreeImage_ConvertTo8Bits(decoded)
                                          : FreeImage_ConvertToStandardType(decoded, TRUE));
        if (grey) converted.reset(FreeImage_ConvertTo24Bits(grey.get()));
    }
    if (!converted || FreeImage_GetBPP(converted.get()) != 24 ||
        FreeImage_GetImageType(converted.get()) != FIT_BITMAP)
        return nullptr;
    FreeImage_CloneMetadata(converted.get(), decoded);
    CopyIccIfRgb(converted.get(), decoded);
    return converted;
}



// A TIFF read through FreeImage with one entry of its first directory
// changed on the way in (see exif::TiffExif).
struct TiffSource {
    FILE* file = nullptr;
    const exif::TiffExif* hide = nullptr;
};

unsigned DLL_CALLCONV TiffReadProc(void* buffer, unsigned size, unsigned count, fi_handle handle) {
    auto* source = static_cast<TiffSource*>(handle);
    const off_t start = ftello(source->file);
    const size_t items = std::fread(buffer, size, count, source->file);
    if (start >= 0 && source->hide->pointerType) {
        const uint64_t end = static_cast<uint64_t>(start) + uint64_t{items} * size;
        for (uint64_t i = 0; i < 2; ++i) {
            const uint64_t at = *source->hide->pointerType + i;
            if (at >= static_cast<uint64_t>(start) && at < end)
                static_cast<uint8_t*>(buffer)[at - static_cast<uint64_t>(start)] = source->hide->ignoredType[i];
        }
    }
    return static_cast<unsigned>(items);
}
unsigned DLL_CALLCONV TiffWriteProc(void*, unsigned, unsigned, fi_handle) { return 0; }
int DLL_CALLCONV TiffSeekProc(fi_handle handle, long offset, int origin) {
    return fseeko(static_cast<TiffSource*>(handle)->file, offset, origin);
}
long DLL_CALLCONV TiffTellProc(fi_handle handle) {
    return static_cast<long>(ftello(static_cast<TiffSource*>(handle)->file));
}

BitmapPtr LoadTiff(const std::string& path, int flags, const exif::TiffExif& exif) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) return nullptr;
    TiffSource source{file.get(), &exif};
    FreeImageIO io{TiffReadProc, TiffWriteProc, TiffSeekProc, TiffTellProc};
    return BitmapPtr(FreeImage_LoadFromHandle(FIF_TIFF, &io, &source, flags));
}

// FreeImage_Load, except that a TIFF is read as LoadTiff reads it.
BitmapPtr Decode(FREE_IMAGE_FORMAT format, const std::string& path, int flags,
                 const exif::TiffExif& tiffExif) {
    if (format == FIF_TIFF) return LoadTiff(path, flags, tiffExif);
    if (format == FIF_JPEG)
        if (auto bitmap = LoadJpegWithoutBadExif(path, flags)) return std::move(*bitmap);
    if (format == FIF_BMP)
        if (auto bitmap = LoadBmpWithLaterHeader(path, flags)) return std::move(*bitmap);
    return BitmapPtr(FreeImage_Load(format, path.c_str(), flags));
}

// ---------------------------------------------------------------------------
// Decoding in a sandboxed child (see sandbox.h), or in this process where no
// sandbox can be had.

decode_testing::LoadSeam g_seam;

// A float RGB(A) picture has no conversion to 24 bits (see ConvertTo24), so
// it is refused from its header, before gigabytes are decoded for nothing.
bool ConvertibleTo24(FREE_IMAGE_TYPE type) {
    return type != FIT_RGBF && type != FIT_RGBAF && type != FIT_UNKNOWN;
}

bool NeedsGreyStep(FREE_IMAGE_TYPE type) {
    return type != FIT_BITMAP && type != FIT_RGB16 && type != FIT_RGBA16;
}

// Everything FreeImage does to the picture: decode, checks, 24-bit copy.
DecodedPicture DecodeTo24(FREE_IMAGE_FORMAT format, const std::string& path,
                          const exif::TiffExif& tiffExif) {
    DecodedPicture result;
    DecoderMessages messages;
    const int flags = format == FIF_JPEG ? JPEG_ACCURATE : 0;
    BitmapPtr decoded = g_seam.decoder ? g_seam.decoder(path) : Decode(format, path, flags, tiffExif);
    if (!decoded || !FreeImage_HasPixels(decoded.get())) {
        result.error = ImageFileError::Corrupt;
        return result;
    }
    if (format == FIF_JPEG && messages.Contains("Premature end of JPEG file")) {
        result.error = ImageFileError::Truncated;
        return result;
    }
    // The header said one thing; the decoder may have produced another.
    result.error = CheckImageSize(FreeImage_GetWidth(decoded.get()),
                                  FreeImage_GetHeight(decoded.get()));
    if (result.error != ImageFileError::None) return result;
    if (FreeImage_GetImageType(decoded.get()) == FIT_BITMAP &&
        FreeImage_GetBPP(decoded.get()) == 24) {
        result.image = std::move(decoded);
    } else {
        result.image = ConvertTo24(decoded.get());
        if (!result.image) result.error = ImageFileError::ConversionFailed;
    }
    return result;
}

// What the sandboxed child is given to work with.
struct ChildTask {
    FREE_IMAGE_FORMAT format;
    const exif::TiffExif* tiffExif;
};

DecodedPicture DecodeTask(const char* path, const void* context) {
    const auto& task = *static_cast<const ChildTask*>(context);
    return DecodeTo24(task.format, path, *task.tiffExif);
}

BitmapPtr HeaderTask(const char* path, const void* context) {
    const auto& task = *static_cast<const ChildTask*>(context);
    DecoderMessages quiet;
    return Decode(task.format, path, FIF_LOAD_NOPIXELS, *task.tiffExif);
}

// Processor time grows with the picture; the parent waits twice as long.
SandboxLimits LimitsFor(uint64_t memoryBytes, int64_t pixels) {
    SandboxLimits limits;
    limits.memoryBytes = (g_seam.memoryBytes ? g_seam.memoryBytes : memoryBytes) + (uint64_t{256} << 20);
    limits.cpuSeconds = g_seam.cpuSeconds ? g_seam.cpuSeconds : static_cast<int>(20 + pixels / 4'000'000);
    limits.wallMilliseconds = g_seam.wallMilliseconds ? g_seam.wallMilliseconds
                                                      : 2000 * limits.cpuSeconds + 5000;
    return limits;
}

// Size and sample type from FreeImage's reading of the header; false when
// it refused the header.
bool ReadHeader(FREE_IMAGE_FORMAT format, const std::string& path, const exif::TiffExif& tiffExif,
                ImageProbe& probe) {
    const ChildTask task{format, &tiffExif};
    if (auto sent = ReadHeaderInSandbox(path, LimitsFor(0, 0), HeaderTask, &task)) {
        probe.width = sent->width;
        probe.height = sent->height;
        probe.bitsPerPixel = sent->bitsPerPixel;
        probe.type = sent->type;
        return sent->status == 0;
    }
    DecoderMessages quiet;
    const BitmapPtr header = Decode(format, path, FIF_LOAD_NOPIXELS, tiffExif);
    if (!header) return false;
    probe.width = FreeImage_GetWidth(header.get());
    probe.height = FreeImage_GetHeight(header.get());
    probe.bitsPerPixel = FreeImage_GetBPP(header.get());
    probe.type = FreeImage_GetImageType(header.get());
    return true;
}

DecodedPicture DecodePicture(const ImageProbe& probe, const std::string& path,
                             const exif::TiffExif& tiffExif) {
    // What the decoders need, plus a margin of half a 24-bit copy for handing it over.
    const uint64_t decoders =
        LoadingMemoryNeed(probe.width, probe.height, probe.bitsPerPixel, NeedsGreyStep(probe.type));
    const uint64_t memory = decoders + LoadingMemoryNeed(probe.width, probe.height) / 2;
    SandboxLimits limits = LimitsFor(memory, probe.width * probe.height);
    limits.hugePageBytes = decoders;
    const ChildTask task{probe.format, &tiffExif};
    if (auto decoded = DecodeInSandbox(path, limits, probe.width, probe.height, DecodeTask, &task))
        return std::move(*decoded);
    return DecodeTo24(probe.format, path, tiffExif);
}

}  // namespace

void decode_testing::SetLoadSeamForTesting(const LoadSeam& seam) { g_seam = seam; }

const char* DescribeImageFileError(ImageFileError error) {
    switch (error) {
        case ImageFileError::None: return "no error";
        case ImageFileError::UnknownFormat: return "unknown image format";
        case ImageFileError::CannotOpen: return "cannot open the file";
        case ImageFileError::TooLarge: return "image too large (more than 200 megapixels or 65535 pixels on a side)";
        case ImageFileError::Truncated: return "file is truncated";
        case ImageFileError::Corrupt: return "damaged image data";
        case ImageFileError::ConversionFailed: return "cannot convert the image to 24 bits";
        case ImageFileError::NotEnoughMemory: return "image too large for this computer's memory";
    }
    return "unknown error";
}


namespace {

// ProbeImageFile, also handing back a TIFF's EXIF as read for the header, so
// that a load reads it once.
ImageProbe Probe(const std::string& path, uint64_t memoryBytes, exif::TiffExif& tiffExif) {
    if (!FileReadable(path)) return {ImageFileError::CannotOpen, FIF_UNKNOWN, 0, 0};
    const FREE_IMAGE_FORMAT format = FreeImage_GetFileType(path.c_str(), 0);
    if (!IsReadFormat(format)) return {ImageFileError::UnknownFormat, format, 0, 0};

    // Our own header check comes before FreeImage reads anything: FreeImage's
    // header-only JPEG load decodes every scan of a progressive file, and some
    // headers make its decoders write out of bounds. For JPEG and GIF its
    // size is the one FreeImage will allocate (a GIF's first frame, not its
    // logical screen).
    const GuardVerdict guard = InspectBeforeDecode(path, format);
    if (guard.outcome == GuardOutcome::kTooLarge)
        return {ImageFileError::TooLarge, format, guard.width, guard.height};
    if (!guard.accepted()) return {ImageFileError::Corrupt, format, guard.width, guard.height};

    ImageProbe probe;
    probe.format = format;
    if (format == FIF_JPEG || format == FIF_GIF) {
        probe.width = guard.width;
        probe.height = guard.height;
        probe.bitsPerPixel = format == FIF_JPEG ? 24 : 8;  // grey and CMYK JPEGs need less
    } else {
        // FreeImage's own reading of the header (sandboxed like the decode)
        // also refuses what its decoder would, before any pixel memory is
        // taken, and tells the sample type the decoder will produce.
        if (format == FIF_TIFF) tiffExif = exif::ReadTiffExif(path);
        if (!ReadHeader(format, path, tiffExif, probe)) return {ImageFileError::Corrupt, format, 0, 0};
    }
    probe.error = CheckImageSize(probe.width, probe.height);
    if (probe.error == ImageFileError::None && !ConvertibleTo24(probe.type))
        probe.error = ImageFileError::ConversionFailed;
    if (probe.error == ImageFileError::None)
        probe.error = CheckImageMemory(probe.width, probe.height, probe.bitsPerPixel,
                                       NeedsGreyStep(probe.type), memoryBytes);
    if (probe.error == ImageFileError::None && format == FIF_BMP && BmpPixelsMissing(path))
        probe.error = ImageFileError::Truncated;
    return probe;
}

}  // namespace

ImageProbe ProbeImageFile(const std::string& path) { return ProbeImageFile(path, SystemMemoryBytes()); }

ImageProbe ProbeImageFile(const std::string& path, uint64_t memoryBytes) {
    exif::TiffExif unused;
    return Probe(path, memoryBytes, unused);
}

LoadedImage LoadImageFile(const std::string& path) { return LoadImageFile(path, SystemMemoryBytes()); }

LoadedImage LoadImageFile(const std::string& path, uint64_t memoryBytes) {
    LoadedImage result;
    exif::TiffExif tiffExif;
    const ImageProbe probe = Probe(path, memoryBytes, tiffExif);
    result.format = probe.format;
    if (probe.error != ImageFileError::None) {
        result.error = probe.error;
        return result;
    }
    DecodedPicture decoded = DecodePicture(probe, path, tiffExif);
    result.error = decoded.error;
    if (result.error != ImageFileError::None) return result;
    result.image = std::move(decoded.image);
    // EXIF that FreeImage leaves out (a PNG's eXIf chunk) or misreads (a
    // TIFF's EXIF directory) is attached as if it had come from a JPEG. A
    // damaged or unreadable block only costs the EXIF, never the picture.
    if (!tiffExif.block.empty())
        exif::AttachExifBlock(result.image.get(), tiffExif.block.data(), tiffExif.block.size());
    if (probe.format == FIF_PNG && !exif::HasRawExif(result.image.get())) {
        if (const auto block = exif::ReadPngExif(path))
            exif::AttachExifBlock(result.image.get(), block->data(), block->size());
    }
    return result;
}

bool CopyImageMetadata(FIBITMAP* to, FIBITMAP* from) {
    if (!to || !from) return false;
    const bool copied = FreeImage_CloneMetadata(to, from) != FALSE;
    CopyIccIfRgb(to, from);
    return copied;
}

}  // namespace calmora
