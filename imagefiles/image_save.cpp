#include "imagefiles/image_save.h"

#include "imagefiles/decoder_messages.h"
#include "imagefiles/exif_io.h"
#include "imagefiles/exif_tags.h"
#include "imagefiles/pending_file.h"
#include "imagefiles/save_target.h"

#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace calmora {

namespace {

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
bool WritePngWithoutProfile(FIBITMAP* image, FreeImageIO& io, FILE* file, int descriptor) {
    const FIICCPROFILE* icc = FreeImage_GetICCProfile(image);
    const std::vector<uint8_t> profile(static_cast<const uint8_t*>(icc->data),
                                       static_cast<const uint8_t*>(icc->data) + icc->size);
    const WORD flags = icc->flags;
    errno = 0;
    if (std::fflush(file) != 0 || ftruncate(descriptor, 0) != 0 || fseeko(file, 0, SEEK_SET) != 0)
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

int ErrnoOr(int fallback) { return errno ? errno : fallback; }

// The first failed write's errno when a write failed, else errno or fallback:
// a stream step that fails after a refused write has usually lost errno.
int WriteErrorOf(const PendingFile& file, int fallback) {
    if (const int error = file.FirstWriteError()) return error;
    return ErrnoOr(fallback);
}

}  // namespace

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

std::string SystemErrorText(int error) {
    static const locale_t english = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return english ? strerror_l(error, english) : std::strerror(error);
}

std::string WithSystemReason::operator()(const char* text) const {
    std::string described = text;
    if (systemError != 0) described += ": " + words(systemError);
    return described;
}

std::string DescribeSaveError(SaveError error, int systemError) {
    const WithSystemReason because{systemError, SystemErrorText};
    switch (error) {
        case SaveError::None: return "no error";
        case SaveError::NoImage: return "no image to save";
        case SaveError::NoFileName: return "no file name";
        case SaveError::BadJpegQuality: return "JPEG quality must lie between 1 and 100";
        case SaveError::IsFolder: return "is a folder";
        case SaveError::CannotCreate: return because("cannot create a file in its folder");
        case SaveError::WriteFailed: return because("writing failed");
        case SaveError::EncoderFailed: return "the encoder could not write this image";
        case SaveError::CannotReplace: return because("cannot replace the file");
        case SaveError::NotRegularFile:
            return "not a regular file (a device, FIFO or socket); not replaced";
        case SaveError::WriteProtected: return "the file is write-protected; not replaced";
        case SaveError::BrokenLink: return because("broken link");
        case SaveError::UntrustedLink:
            return "a link made by another user in a shared folder; not followed";
    }
    return "unknown error";
}

SaveResult SaveFailure(SaveError error, int systemError) {
    SaveResult result;
    result.error = error;
    result.systemError = systemError;
    result.reason = DescribeSaveError(error, systemError);
    return result;
}

SaveResult SaveImageFile(FIBITMAP* image, const std::string& path, SaveFormat format,
                         const SaveOptions& options) {
    if (!image || !FreeImage_HasPixels(image)) return SaveFailure(SaveError::NoImage);
    if (path.empty()) return SaveFailure(SaveError::NoFileName);

    FREE_IMAGE_FORMAT fif = FIF_BMP;
    int flags = 0;
    switch (format) {
        case SaveFormat::Jpeg:
            if (options.jpegQuality < 1 || options.jpegQuality > 100)
                return SaveFailure(SaveError::BadJpegQuality);
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

    const SaveTarget target = CheckSaveTarget(path);
    if (target.error != SaveError::None) return SaveFailure(target.error, target.systemError);
    PendingFile temp;
    if (const int error = temp.Create(target)) return SaveFailure(SaveError::CannotCreate, error);

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
    if (!encoded && format == SaveFormat::Png && temp.FirstWriteError() == 0 &&
        FreeImage_GetICCProfile(image)->size > 0) {
        // libpng refuses to write any file for a colour profile it finds
        // malformed; the picture is worth more than the profile.
        encoded = WritePngWithoutProfile(image, io, temp.File(), temp.Descriptor());
        encodeErrno = errno;
    }
    if (lentRawExif) exif::SetRawExif(image, {});
    // A refused write is the reason whatever the encoder answered: the TIFF
    // writer reports success after libtiff's writes failed.
    if (const int error = temp.FirstWriteError()) return SaveFailure(SaveError::WriteFailed, error);
    if (!encoded) {
        if (std::ferror(temp.File()))
            return SaveFailure(SaveError::WriteFailed, encodeErrno ? encodeErrno : EIO);
        return SaveFailure(SaveError::EncoderFailed);
    }

    if (format == SaveFormat::Tiff) {
        errno = 0;
        if (exif::AddExifToTiff(temp.File(), image) == exif::FileEdit::WriteError)
            return SaveFailure(SaveError::WriteFailed, WriteErrorOf(temp, EIO));
    }
    if (format == SaveFormat::Png) {
        const std::vector<uint8_t> block = exif::ExifBlockOf(image);
        if (!block.empty()) {
            // libpng writes chunks only through FreeImage, which has none for
            // EXIF: the finished file is copied, with the chunk, into a second
            // temporary file that takes the first one's place.
            errno = 0;
            if (std::fflush(temp.File()) != 0)
                return SaveFailure(SaveError::WriteFailed, WriteErrorOf(temp, EIO));
            PendingFile withExif;
            if (const int error = withExif.Create(target))
                return SaveFailure(SaveError::CannotCreate, error);
            errno = 0;
            if (!exif::CopyPngWithExif(temp.File(), withExif.File(), block))
                return SaveFailure(SaveError::WriteFailed, WriteErrorOf(withExif, EIO));
            temp.Swap(withExif);
        }
    }

    if (const int error = temp.Close()) return SaveFailure(SaveError::WriteFailed, error);
    return temp.Replace(target);
}

}  // namespace calmora
