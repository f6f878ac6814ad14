#include "imagefiles/image_save.h"

#include "imagefiles/decoder_messages.h"
#include "imagefiles/exif_io.h"
#include "imagefiles/exif_tags.h"

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
