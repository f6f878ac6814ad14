#include "image_file.h"

#include "image_guard.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

namespace calmora {

namespace {

// ---------------------------------------------------------------------------
// Messages from FreeImage's decoders. Most are noise, but a JPEG decoder
// reaching the end of the file early only says so here and then returns a
// picture whose missing part is grey.

thread_local std::string* g_decoderMessages = nullptr;

void CollectDecoderMessage(FREE_IMAGE_FORMAT, const char* message) {
    if (g_decoderMessages && message) {
        g_decoderMessages->append(message);
        g_decoderMessages->push_back('\n');
    }
}

// libtiff, which FreeImage uses, prints its complaints (including harmless
// ones on every save) straight to stderr. They are collected like
// FreeImage's own messages instead. The setters are looked up at run time so
// that no libtiff headers are needed; nothing happens if it is not loaded.
using TiffHandler = void (*)(const char* module, const char* format, va_list args);
using TiffHandlerSetter = TiffHandler (*)(TiffHandler);

void CollectTiffMessage(const char* module, const char* format, va_list args) {
    if (!g_decoderMessages || !format) return;
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    if (module) g_decoderMessages->append(module).append(": ");
    g_decoderMessages->append(text).push_back('\n');
}

void InstallMessageCollectors() {
    FreeImage_SetOutputMessage(CollectDecoderMessage);
    for (const char* setter : {"TIFFSetErrorHandler", "TIFFSetWarningHandler"})
        if (void* symbol = dlsym(RTLD_DEFAULT, setter))
            reinterpret_cast<TiffHandlerSetter>(symbol)(CollectTiffMessage);
}

class DecoderMessages {
public:
    DecoderMessages() {
        static const bool installed = (InstallMessageCollectors(), true);
        (void)installed;
        g_decoderMessages = &text_;
    }
    ~DecoderMessages() { g_decoderMessages = nullptr; }
    DecoderMessages(const DecoderMessages&) = delete;
    DecoderMessages& operator=(const DecoderMessages&) = delete;

    [[nodiscard]] bool Contains(const char* what) const {
        return text_.find(what) != std::string::npos;
    }

private:
    std::string text_;
};

// ---------------------------------------------------------------------------
// Header reading.

bool IsReadFormat(FREE_IMAGE_FORMAT format) {
    return format == FIF_JPEG || format == FIF_BMP || format == FIF_PNG ||
           format == FIF_TIFF || format == FIF_GIF;
}

uint32_t Le16(const unsigned char* p) { return uint32_t{p[0]} | (uint32_t{p[1]} << 8); }
uint32_t Le32(const unsigned char* p) { return Le16(p) | (Le16(p + 2) << 16); }

// FreeImage cannot read a GIF header alone, and it allocates the first
// frame's size (not the logical screen), so that is the size to check.
ImageProbe ProbeGif(const std::string& path) {
    ImageProbe probe;
    probe.format = FIF_GIF;
    std::ifstream in(path, std::ios::binary);
    if (!in) return {ImageFileError::CannotOpen, FIF_GIF, 0, 0};
    auto read = [&in](unsigned char* into, std::streamsize n) {
        return static_cast<bool>(in.read(reinterpret_cast<char*>(into), n));
    };
    unsigned char screen[13];
    if (!read(screen, sizeof screen)) return {ImageFileError::Truncated, FIF_GIF, 0, 0};
    if (screen[10] & 0x80) in.seekg(3 * (2 << (screen[10] & 7)), std::ios::cur);
    for (;;) {
        unsigned char block = 0;
        if (!read(&block, 1)) return {ImageFileError::Truncated, FIF_GIF, 0, 0};
        if (block == 0x2C) {  // image descriptor: left, top, width, height
            unsigned char frame[8];
            if (!read(frame, sizeof frame)) return {ImageFileError::Truncated, FIF_GIF, 0, 0};
            probe.width = Le16(frame + 4);
            probe.height = Le16(frame + 6);
            return probe;
        }
        if (block != 0x21) return {ImageFileError::Corrupt, FIF_GIF, 0, 0};  // trailer or junk
        unsigned char label = 0, length = 0;
        if (!read(&label, 1)) return {ImageFileError::Truncated, FIF_GIF, 0, 0};
        for (;;) {
            if (!read(&length, 1)) return {ImageFileError::Truncated, FIF_GIF, 0, 0};
            if (length == 0) break;
            in.seekg(length, std::ios::cur);
        }
    }
}

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

// ---------------------------------------------------------------------------
// Saving through a FILE* of our own, so that write and flush errors are seen.

unsigned DLL_CALLCONV WriteProc(void* buffer, unsigned size, unsigned count, fi_handle handle) {
    return static_cast<unsigned>(std::fwrite(buffer, size, count, static_cast<FILE*>(handle)));
}
unsigned DLL_CALLCONV ReadProc(void* buffer, unsigned size, unsigned count, fi_handle handle) {
    return static_cast<unsigned>(std::fread(buffer, size, count, static_cast<FILE*>(handle)));
}
int DLL_CALLCONV SeekProc(fi_handle handle, long offset, int origin) {
    return std::fseek(static_cast<FILE*>(handle), offset, origin);
}
long DLL_CALLCONV TellProc(fi_handle handle) { return std::ftell(static_cast<FILE*>(handle)); }

std::string ErrnoText(int error) { return std::strerror(error); }

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

mode_t NewFileMode(const std::string& target) {
    struct stat st {};
    if (stat(target.c_str(), &st) == 0) return st.st_mode & 07777;
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

const char* DescribeImageFileError(ImageFileError error) {
    switch (error) {
        case ImageFileError::None: return "no error";
        case ImageFileError::UnknownFormat: return "unknown image format";
        case ImageFileError::CannotOpen: return "cannot open the file";
        case ImageFileError::TooLarge: return "image too large (more than 200 megapixels or 65535 pixels on a side)";
        case ImageFileError::Truncated: return "file is truncated";
        case ImageFileError::Corrupt: return "damaged image data";
        case ImageFileError::ConversionFailed: return "cannot convert the image to 24 bits";
    }
    return "unknown error";
}

int CatalogueMessageFor(ImageFileError error) {
    switch (error) {
        case ImageFileError::None: return 0;
        case ImageFileError::UnknownFormat: return 1;
        case ImageFileError::ConversionFailed: return 3;
        default: return 2;
    }
}

ImageFileError CheckImageSize(int64_t width, int64_t height) {
    if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide ||
        width * height > kMaxImagePixels)
        return ImageFileError::TooLarge;
    const uint64_t stride = (static_cast<uint64_t>(width) * 3 + 3) & ~uint64_t{3};
    const uint64_t bytes = stride * static_cast<uint64_t>(height);
    if (bytes > static_cast<uint64_t>(PTRDIFF_MAX) / 2) return ImageFileError::TooLarge;
    return ImageFileError::None;
}

ImageProbe ProbeImageFile(const std::string& path) {
    if (!FileReadable(path)) return {ImageFileError::CannotOpen, FIF_UNKNOWN, 0, 0};
    const FREE_IMAGE_FORMAT format = FreeImage_GetFileType(path.c_str(), 0);
    if (!IsReadFormat(format)) return {ImageFileError::UnknownFormat, format, 0, 0};

    // Our own header check comes before FreeImage reads anything: FreeImage's
    // header-only JPEG load decodes every scan of a progressive file, and some
    // headers make its decoders write out of bounds.
    const GuardVerdict guard = InspectBeforeDecode(path, format);
    if (guard.outcome == GuardOutcome::kTooLarge)
        return {ImageFileError::TooLarge, format, guard.width, guard.height};
    if (!guard.accepted()) return {ImageFileError::Corrupt, format, guard.width, guard.height};

    ImageProbe probe;
    if (format == FIF_JPEG) {
        probe.format = format;
        probe.width = guard.width;
        probe.height = guard.height;
    } else if (format == FIF_GIF) {
        probe = ProbeGif(path);
    } else {
        DecoderMessages quiet;  // header errors are reported as Corrupt below
        BitmapPtr header(FreeImage_Load(format, path.c_str(), FIF_LOAD_NOPIXELS));
        if (!header) return {ImageFileError::Corrupt, format, 0, 0};
        probe.format = format;
        probe.width = FreeImage_GetWidth(header.get());
        probe.height = FreeImage_GetHeight(header.get());
    }
    if (probe.error != ImageFileError::None) return probe;
    probe.error = CheckImageSize(probe.width, probe.height);
    if (probe.error == ImageFileError::None && format == FIF_BMP && BmpPixelsMissing(path))
        probe.error = ImageFileError::Truncated;
    return probe;
}

LoadedImage LoadImageFile(const std::string& path) {
    LoadedImage result;
    const ImageProbe probe = ProbeImageFile(path);
    result.format = probe.format;
    if (probe.error != ImageFileError::None) {
        result.error = probe.error;
        return result;
    }

    DecoderMessages messages;
    const int flags = probe.format == FIF_JPEG ? JPEG_ACCURATE : 0;
    BitmapPtr decoded(FreeImage_Load(probe.format, path.c_str(), flags));
    if (!decoded || !FreeImage_HasPixels(decoded.get())) {
        result.error = ImageFileError::Corrupt;
        return result;
    }
    if (probe.format == FIF_JPEG && messages.Contains("Premature end of JPEG file")) {
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
        return result;
    }
    result.image = ConvertTo24(decoded.get());
    if (!result.image) result.error = ImageFileError::ConversionFailed;
    return result;
}

bool CopyImageMetadata(FIBITMAP* to, FIBITMAP* from) {
    if (!to || !from) return false;
    const bool copied = FreeImage_CloneMetadata(to, from) != FALSE;
    CopyIccIfRgb(to, from);
    return copied;
}

std::optional<SaveFormat> SaveFormatFromExtension(const std::string& extension) {
    std::string ext = extension;
    if (!ext.empty() && ext.front() == '.') ext.erase(0, 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext == "jpg" || ext == "jpeg") return SaveFormat::Jpeg;
    if (ext == "png") return SaveFormat::Png;
    if (ext == "tif" || ext == "tiff") return SaveFormat::Tiff;
    if (ext == "bmp") return SaveFormat::Bmp;
    return std::nullopt;
}

SaveResult SaveImageFile(FIBITMAP* image, const std::string& path, SaveFormat format,
                         const SaveOptions& options) {
    if (!image || !FreeImage_HasPixels(image)) return {false, "no image to save"};
    if (path.empty()) return {false, "no file name"};

    FREE_IMAGE_FORMAT fif = FIF_BMP;
    int flags = 0;
    switch (format) {
        case SaveFormat::Jpeg:
            if (options.jpegQuality < 1 || options.jpegQuality > 100)
                return {false, "JPEG quality must lie between 1 and 100"};
            fif = FIF_JPEG;
            flags = options.jpegQuality;
            break;
        case SaveFormat::Png: fif = FIF_PNG; break;
        case SaveFormat::Tiff:
            fif = FIF_TIFF;
            flags = options.tiffLzw ? TIFF_LZW : TIFF_NONE;
            break;
        case SaveFormat::Bmp: fif = FIF_BMP; break;
    }

    // Through a link, the file it points to is the one replaced.
    std::string target = path;
    struct stat linkStat {};
    if (lstat(path.c_str(), &linkStat) == 0 && S_ISLNK(linkStat.st_mode)) {
        if (char* resolved = realpath(path.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
        }
    }
    struct stat targetStat {};
    if (stat(target.c_str(), &targetStat) == 0 && S_ISDIR(targetStat.st_mode))
        return {false, "is a folder"};

    const std::string folder = FolderOf(target);
    std::string temp = folder + "/.calmora-save-XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) return {false, "cannot write in folder " + folder + ": " + ErrnoText(errno)};
    fchmod(fd, NewFileMode(target));
    FILE* file = fdopen(fd, "w+b");
    if (!file) {
        const int error = errno;
        close(fd);
        unlink(temp.c_str());
        return {false, "cannot write: " + ErrnoText(error)};
    }

    DecoderMessages messages;  // keeps encoder complaints off the terminal
    FreeImageIO io{ReadProc, WriteProc, SeekProc, TellProc};
    bool written = FreeImage_SaveToHandle(fif, image, &io, file, flags) != FALSE;
    int error = 0;
    if (std::fflush(file) != 0 || std::ferror(file)) error = errno ? errno : EIO;
    if (!error && fsync(fileno(file)) != 0) error = errno;
    if (std::fclose(file) != 0 && !error) error = errno ? errno : EIO;
    written = written && error == 0;
    if (!written) {
        unlink(temp.c_str());
        return {false, error ? "writing failed: " + ErrnoText(error)
                             : std::string("the encoder could not write this image")};
    }
    if (std::rename(temp.c_str(), target.c_str()) != 0) {
        const int renameError = errno;
        unlink(temp.c_str());
        return {false, "cannot replace the file: " + ErrnoText(renameError)};
    }
    return {true, {}};
}

}  // namespace calmora
