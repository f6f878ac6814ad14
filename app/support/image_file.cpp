#include "image_file.h"

#include "image_file_exif.h"
#include "image_file_exif_io.h"
#include "image_guard.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <sys/sysinfo.h>
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

// Starts the file again and writes image as PNG without its colour profile,
// which is put back afterwards.
bool WritePngWithoutProfile(FIBITMAP* image, FreeImageIO& io, FILE* file) {
    const FIICCPROFILE* icc = FreeImage_GetICCProfile(image);
    const std::vector<uint8_t> profile(static_cast<const uint8_t*>(icc->data),
                                       static_cast<const uint8_t*>(icc->data) + icc->size);
    const WORD flags = icc->flags;
    errno = 0;
    if (std::fflush(file) != 0 || ftruncate(fileno(file), 0) != 0 || fseeko(file, 0, SEEK_SET) != 0)
        return false;
    FreeImage_DestroyICCProfile(image);
    const bool written = FreeImage_SaveToHandle(FIF_PNG, image, &io, file, PNG_DEFAULT) != FALSE;
    const int error = errno;
    if (FIICCPROFILE* back = FreeImage_CreateICCProfile(image, const_cast<uint8_t*>(profile.data()),
                                                        static_cast<long>(profile.size())))
        back->flags = flags;
    errno = error;
    return written;
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
    return BitmapPtr(FreeImage_Load(format, path.c_str(), flags));
}

// The system's wording, in English whatever the locale: the Italian texts
// come from SystemErrorItalian.
std::string ErrnoText(int error) {
    static const locale_t english = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return english ? strerror_l(error, english) : std::strerror(error);
}

std::string SystemErrorItalian(int error) {
    switch (error) {
        case EACCES: case EPERM: return "permesso negato";
        case ENOSPC: return "spazio esaurito sul dispositivo";
        case EDQUOT: return "quota del disco superata";
        case EROFS: return "file system in sola lettura";
        case ENOENT: return "file o cartella inesistente";
        case ENOTDIR: return "non \xC3\xA8 una cartella";
        case EISDIR: return "\xC3\xA8 una cartella";
        case EFBIG: return "file troppo grande";
        case EIO: return "errore di input/output";
        case ENAMETOOLONG: return "nome del file troppo lungo";
        case EMFILE: case ENFILE: return "troppi file aperti";
        case ENOMEM: return "memoria insufficiente";
        case EBUSY: case ETXTBSY: return "file o dispositivo occupato";
        case ELOOP: return "troppi collegamenti simbolici";
        case EEXIST: return "il file esiste gi\xC3\xA0";
        default: return "errore di sistema " + std::to_string(error);
    }
}

// A new file beside the one being saved, removed again unless it takes that
// file's place.
class TempFile {
public:
    TempFile() = default;
    ~TempFile() { Discard(); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    // 0, or the errno that stopped it.
    int Create(const std::string& folder, mode_t mode) {
        path_ = folder + "/.calmora-save-XXXXXX";
        const int fd = mkstemp(path_.data());
        if (fd < 0) {
            const int error = errno;
            path_.clear();
            return error;
        }
        fchmod(fd, mode);
        file_ = fdopen(fd, "w+b");
        if (!file_) {
            const int error = errno;
            close(fd);
            Discard();
            return error;
        }
        return 0;
    }

    [[nodiscard]] std::FILE* File() const { return file_; }

    // Flushes everything to the disk and closes; 0 or the errno.
    int Close() {
        int error = 0;
        errno = 0;
        if (std::fflush(file_) != 0 || std::ferror(file_)) error = errno ? errno : EIO;
        if (!error && fsync(fileno(file_)) != 0) error = errno;
        if (std::fclose(file_) != 0 && !error) error = errno ? errno : EIO;
        file_ = nullptr;
        return error;
    }

    // Puts the closed file in target's place; 0 or the errno.
    int Replace(const std::string& target) {
        if (std::rename(path_.c_str(), target.c_str()) != 0) return errno;
        path_.clear();
        return 0;
    }

    void Discard() {
        if (file_) std::fclose(file_);
        file_ = nullptr;
        if (!path_.empty()) unlink(path_.c_str());
        path_.clear();
    }

    void Swap(TempFile& other) {
        std::swap(path_, other.path_);
        std::swap(file_, other.file_);
    }

private:
    std::string path_;
    std::FILE* file_ = nullptr;
};

SaveResult Failure(SaveError error, int systemError = 0) {
    SaveResult result;
    result.error = error;
    result.systemError = systemError;
    result.reason = DescribeSaveError(error, systemError, 1);
    return result;
}

int ErrnoOr(int fallback) { return errno ? errno : fallback; }

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
        case ImageFileError::NotEnoughMemory: return "image too large for this computer's memory";
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

uint64_t LoadingMemoryNeed(int64_t width, int64_t height) {
    if (width <= 0 || height <= 0) return 0;
    const uint64_t w = static_cast<uint64_t>(width), h = static_cast<uint64_t>(height);
    if (w > (UINT64_MAX - 3) / 3) return UINT64_MAX;
    const uint64_t stride = (w * 3 + 3) & ~uint64_t{3};
    if (stride > UINT64_MAX / 2 / h) return UINT64_MAX;
    // A 24-bit file decodes straight into the image, anything else into a
    // copy of its own that is converted; counting two 24-bit buffers
    // covers both without claiming precision the decoders do not offer.
    return 2 * stride * h;
}

ImageFileError CheckImageMemory(int64_t width, int64_t height, uint64_t memoryBytes) {
    if (memoryBytes == 0) return ImageFileError::None;
    return LoadingMemoryNeed(width, height) <= memoryBytes ? ImageFileError::None
                                                           : ImageFileError::NotEnoughMemory;
}

namespace {

// A number from a control-group file, or nothing for "max" or no file.
std::optional<uint64_t> ReadLimit(const std::string& path) {
    std::ifstream in(path);
    std::string text;
    if (!(in >> text) || text.empty() || !std::isdigit(static_cast<unsigned char>(text[0])))
        return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0') return std::nullopt;
    return value;
}

// The memory (and swap) limit of the process's own cgroup v2 group.
std::optional<uint64_t> ControlGroupLimit(uint64_t systemSwap) {
    std::ifstream groups("/proc/self/cgroup");
    std::string line;
    while (std::getline(groups, line)) {
        if (line.rfind("0::", 0) != 0) continue;
        const std::string folder = "/sys/fs/cgroup" + line.substr(3);
        const auto memory = ReadLimit(folder + "/memory.max");
        if (!memory) return std::nullopt;
        const auto swap = ReadLimit(folder + "/memory.swap.max");
        return *memory + std::min(swap.value_or(systemSwap), systemSwap);
    }
    return std::nullopt;
}

}  // namespace

uint64_t SystemMemoryBytes() {
    struct sysinfo info {};
    if (sysinfo(&info) != 0) return 0;
    const uint64_t unit = info.mem_unit ? info.mem_unit : 1;
    const uint64_t swap = uint64_t{info.totalswap} * unit;
    uint64_t total = uint64_t{info.totalram} * unit + swap;
    if (const auto limit = ControlGroupLimit(swap)) total = std::min(total, *limit);
    return total;
}

ImageProbe ProbeImageFile(const std::string& path) { return ProbeImageFile(path, SystemMemoryBytes()); }

ImageProbe ProbeImageFile(const std::string& path, uint64_t memoryBytes) {
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
    } else {
        // FreeImage's own reading of the header also refuses what its
        // decoder would, before any pixel memory is taken.
        DecoderMessages quiet;  // header errors are reported as Corrupt below
        const exif::TiffExif tiffExif = format == FIF_TIFF ? exif::ReadTiffExif(path) : exif::TiffExif{};
        BitmapPtr header = Decode(format, path, FIF_LOAD_NOPIXELS, tiffExif);
        if (!header) return {ImageFileError::Corrupt, format, 0, 0};
        probe.width = FreeImage_GetWidth(header.get());
        probe.height = FreeImage_GetHeight(header.get());
    }
    probe.error = CheckImageSize(probe.width, probe.height);
    if (probe.error == ImageFileError::None)
        probe.error = CheckImageMemory(probe.width, probe.height, memoryBytes);
    if (probe.error == ImageFileError::None && format == FIF_BMP && BmpPixelsMissing(path))
        probe.error = ImageFileError::Truncated;
    return probe;
}

LoadedImage LoadImageFile(const std::string& path) { return LoadImageFile(path, SystemMemoryBytes()); }

LoadedImage LoadImageFile(const std::string& path, uint64_t memoryBytes) {
    LoadedImage result;
    const ImageProbe probe = ProbeImageFile(path, memoryBytes);
    result.format = probe.format;
    if (probe.error != ImageFileError::None) {
        result.error = probe.error;
        return result;
    }

    DecoderMessages messages;
    const int flags = probe.format == FIF_JPEG ? JPEG_ACCURATE : 0;
    const exif::TiffExif tiffExif = probe.format == FIF_TIFF ? exif::ReadTiffExif(path) : exif::TiffExif{};
    BitmapPtr decoded = Decode(probe.format, path, flags, tiffExif);
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
    } else {
        result.image = ConvertTo24(decoded.get());
        if (!result.image) {
            result.error = ImageFileError::ConversionFailed;
            return result;
        }
    }
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

std::string DescribeSaveError(SaveError error, int systemError, int language) {
    const bool italian = language == 2;
    auto because = [&](const char* english, const char* italiano) {
        std::string text = italian ? italiano : english;
        if (systemError != 0)
            text += ": " + (italian ? SystemErrorItalian(systemError) : ErrnoText(systemError));
        return text;
    };
    switch (error) {
        case SaveError::None: return italian ? "nessun errore" : "no error";
        case SaveError::NoImage: return italian ? "nessuna immagine da salvare" : "no image to save";
        case SaveError::NoFileName: return italian ? "manca il nome del file" : "no file name";
        case SaveError::BadJpegQuality:
            return italian ? "la qualit\xC3\xA0 JPEG deve essere compresa tra 1 e 100"
                           : "JPEG quality must lie between 1 and 100";
        case SaveError::IsFolder: return italian ? "\xC3\xA8 una cartella" : "is a folder";
        case SaveError::CannotCreate:
            return because("cannot create a file in its folder",
                           "impossibile creare un file nella sua cartella");
        case SaveError::WriteFailed: return because("writing failed", "scrittura non riuscita");
        case SaveError::EncoderFailed:
            return italian ? "il codificatore non ha potuto scrivere questa immagine"
                           : "the encoder could not write this image";
        case SaveError::CannotReplace:
            return because("cannot replace the file", "impossibile sostituire il file");
    }
    return italian ? "errore sconosciuto" : "unknown error";
}

SaveResult SaveImageFile(FIBITMAP* image, const std::string& path, SaveFormat format,
                         const SaveOptions& options) {
    if (!image || !FreeImage_HasPixels(image)) return Failure(SaveError::NoImage);
    if (path.empty()) return Failure(SaveError::NoFileName);

    FREE_IMAGE_FORMAT fif = FIF_BMP;
    int flags = 0;
    switch (format) {
        case SaveFormat::Jpeg:
            if (options.jpegQuality < 1 || options.jpegQuality > 100)
                return Failure(SaveError::BadJpegQuality);
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
        return Failure(SaveError::IsFolder);

    const std::string folder = FolderOf(target);
    const mode_t mode = NewFileMode(target);
    TempFile temp;
    if (const int error = temp.Create(folder, mode)) return Failure(SaveError::CannotCreate, error);

    DecoderMessages messages;  // keeps encoder complaints off the terminal

    // FreeImage's JPEG writer writes EXIF only from a raw block, which an
    // image read from a TIFF does not have: it gets one built from its tags
    // for the length of the save.
    bool lentRawExif = false;
    if (format == SaveFormat::Jpeg && !exif::HasRawExif(image)) {
        const std::vector<uint8_t> block = exif::ExifBlockOf(image);
        if (!block.empty() && block.size() <= exif::kMaxJpegExifBlock) {
            exif::SetRawExif(image, block);
            lentRawExif = true;
        }
    }
    FreeImageIO io{ReadProc, WriteProc, SeekProc, TellProc};
    errno = 0;
    bool encoded = FreeImage_SaveToHandle(fif, image, &io, temp.File(), flags) != FALSE;
    int encodeErrno = errno;
    if (!encoded && format == SaveFormat::Png && !std::ferror(temp.File()) &&
        FreeImage_GetICCProfile(image)->size > 0) {
        // libpng refuses to write any file for a colour profile it finds
        // malformed; the picture is worth more than the profile.
        encoded = WritePngWithoutProfile(image, io, temp.File());
        encodeErrno = errno;
    }
    if (lentRawExif) exif::SetRawExif(image, {});
    if (!encoded) {
        // A refused write shows on the stream; anything else is the encoder's.
        if (std::ferror(temp.File()))
            return Failure(SaveError::WriteFailed, encodeErrno ? encodeErrno : EIO);
        return Failure(SaveError::EncoderFailed);
    }

    if (format == SaveFormat::Tiff) {
        errno = 0;
        if (exif::AddExifToTiff(temp.File(), image) == exif::FileEdit::WriteError)
            return Failure(SaveError::WriteFailed, ErrnoOr(EIO));
    }
    if (format == SaveFormat::Png) {
        const std::vector<uint8_t> block = exif::ExifBlockOf(image);
        if (!block.empty()) {
            // libpng writes chunks only through FreeImage, which has none for
            // EXIF: the finished file is copied, with the chunk, into a second
            // temporary file that takes the first one's place.
            errno = 0;
            if (std::fflush(temp.File()) != 0) return Failure(SaveError::WriteFailed, ErrnoOr(EIO));
            TempFile withExif;
            if (const int error = withExif.Create(folder, mode))
                return Failure(SaveError::CannotCreate, error);
            errno = 0;
            if (!exif::CopyPngWithExif(temp.File(), withExif.File(), block))
                return Failure(SaveError::WriteFailed, ErrnoOr(EIO));
            temp.Swap(withExif);
        }
    }

    if (const int error = temp.Close()) return Failure(SaveError::WriteFailed, error);
    if (const int error = temp.Replace(target)) return Failure(SaveError::CannotReplace, error);
    SaveResult saved;
    saved.ok = true;
    return saved;
}

}  // namespace calmora
