#include "imagefiles/exif_io.h"

#include <sys/types.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <set>

#include "imagefiles/exif_check.h"
#include "imagefiles/exif_tags.h"

namespace calmora::exif {

namespace {

// Classic TIFF readers refuse longer directories.
constexpr uint32_t kMaxDirectoryEntries = 4096;

bool ReadAt(std::FILE* file, off_t offset, void* into, size_t size) {
    return fseeko(file, offset, SEEK_SET) == 0 && std::fread(into, 1, size, file) == size;
}

bool WriteAt(std::FILE* file, off_t offset, const void* data, size_t size) {
    return fseeko(file, offset, SEEK_SET) == 0 && std::fwrite(data, 1, size, file) == size;
}

uint32_t Be32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

void PutBe32(std::vector<uint8_t>& out, uint32_t v) {
    out.insert(out.end(), {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
                           static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)});
}

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

bool CopyBytes(std::FILE* from, std::FILE* to, uint64_t count) {
    std::vector<uint8_t> buffer(1 << 16);
    while (count > 0) {
        const size_t n = count < buffer.size() ? static_cast<size_t>(count) : buffer.size();
        if (std::fread(buffer.data(), 1, n, from) != n) {
            if (!std::ferror(from)) errno = EIO;  // cut short
            return false;
        }
        if (std::fwrite(buffer.data(), 1, n, to) != n) return false;
        count -= n;
    }
    return true;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

FileEdit AddExifToTiff(std::FILE* file, FIBITMAP* image) {
    if (std::fflush(file) != 0 || fseeko(file, 0, SEEK_END) != 0) return FileEdit::WriteError;
    const off_t size = ftello(file);
    if (size < 0) return FileEdit::WriteError;

    uint8_t header[8];
    if (!ReadAt(file, 0, header, sizeof header)) return FileEdit::WriteError;
    const bool big = header[0] == 'M' && header[1] == 'M';
    if (!big && !(header[0] == 'I' && header[1] == 'I')) return FileEdit::Unchanged;
    auto u16 = [big](const uint8_t* p) {
        return big ? uint32_t{p[0]} << 8 | p[1] : uint32_t{p[1]} << 8 | p[0];
    };
    auto u32 = [&](const uint8_t* p) {
        return big ? u16(p) << 16 | u16(p + 2) : u16(p + 2) << 16 | u16(p);
    };
    if (u16(header + 2) != 42) return FileEdit::Unchanged;  // BigTIFF or not TIFF

    Directories directories = DirectoriesFromBitmap(image, big);
    if (directories.Empty()) return FileEdit::Unchanged;

    const uint32_t first = u32(header + 4);
    uint8_t countBytes[2];
    if (!ReadAt(file, first, countBytes, 2)) return FileEdit::WriteError;
    const uint32_t count = u16(countBytes);
    if (count == 0 || count > kMaxDirectoryEntries) return FileEdit::Unchanged;
    std::vector<uint8_t> raw(12 * size_t{count});
    if (!ReadAt(file, static_cast<off_t>(first) + 2, raw.data(), raw.size())) return FileEdit::WriteError;

    std::vector<Entry> main;
    std::set<uint16_t> written;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* field = raw.data() + 12 * size_t{i};
        Entry entry;
        entry.tag = static_cast<uint16_t>(u16(field));
        entry.type = static_cast<uint16_t>(u16(field + 2));
        entry.count = u32(field + 4);
        entry.value.assign(field + 8, field + 12);
        entry.asFound = true;
        written.insert(entry.tag);
        main.push_back(std::move(entry));
    }
    for (Entry& entry : directories.main)
        if (!written.count(entry.tag)) main.push_back(std::move(entry));
    directories.main = std::move(main);

    const bool pad = (size & 1) != 0;
    const off_t start = size + (pad ? 1 : 0);
    if (start > static_cast<off_t>(UINT32_MAX)) return FileEdit::Unchanged;
    std::vector<uint8_t> tail;
    if (pad) tail.push_back(0);
    const auto newFirst = LayOut(directories, static_cast<uint32_t>(start), big, tail);
    if (!newFirst) return FileEdit::Unchanged;

    uint8_t pointer[4];
    for (int i = 0; i < 4; ++i) {
        const int shift = big ? 24 - 8 * i : 8 * i;
        pointer[i] = static_cast<uint8_t>(*newFirst >> shift);
    }
    // The old first directory stays behind, unreferenced, which TIFF allows.
    if (!WriteAt(file, size, tail.data(), tail.size()) || !WriteAt(file, 4, pointer, 4) ||
        std::fflush(file) != 0)
        return FileEdit::WriteError;
    return FileEdit::Done;
}

bool CopyPngWithExif(std::FILE* from, std::FILE* to, const std::vector<uint8_t>& block) {
    uint8_t signature[8];
    if (!ReadAt(from, 0, signature, sizeof signature)) return false;
    if (std::memcmp(signature, kPngSignature, sizeof signature) != 0) {
        errno = EINVAL;
        return false;
    }
    if (std::fwrite(signature, 1, sizeof signature, to) != sizeof signature) return false;

    bool inserted = false;
    for (;;) {
        uint8_t head[8];
        if (std::fread(head, 1, sizeof head, from) != sizeof head) {
            if (!std::ferror(from)) errno = EIO;  // no IEND
            return false;
        }
        const uint32_t length = Be32(head);
        if (length > 0x7FFFFFFFu) {
            errno = EINVAL;
            return false;
        }
        const bool isExif = std::memcmp(head + 4, "eXIf", 4) == 0;
        if (isExif) {
            if (fseeko(from, static_cast<off_t>(length) + 4, SEEK_CUR) != 0) return false;
            continue;
        }
        if (!inserted && std::memcmp(head + 4, "IDAT", 4) == 0) {
            std::vector<uint8_t> chunk;
            PutBe32(chunk, static_cast<uint32_t>(block.size()));
            chunk.insert(chunk.end(), {'e', 'X', 'I', 'f'});
            chunk.insert(chunk.end(), block.begin(), block.end());
            PutBe32(chunk, Crc32(chunk.data() + 4, chunk.size() - 4));
            if (std::fwrite(chunk.data(), 1, chunk.size(), to) != chunk.size()) return false;
            inserted = true;
        }
        if (std::fwrite(head, 1, sizeof head, to) != sizeof head) return false;
        if (!CopyBytes(from, to, uint64_t{length} + 4)) return false;
        if (std::memcmp(head + 4, "IEND", 4) == 0) {
            if (!inserted) errno = EINVAL;
            return inserted;
        }
    }
}

std::optional<std::vector<uint8_t>> ReadPngExif(const std::string& path) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file || fseeko(file.get(), 0, SEEK_END) != 0) return std::nullopt;
    const off_t size = ftello(file.get());
    uint8_t signature[8];
    if (size < 0 || !ReadAt(file.get(), 0, signature, sizeof signature) ||
        std::memcmp(signature, kPngSignature, sizeof signature) != 0)
        return std::nullopt;

    off_t at = sizeof signature;
    while (at + 12 <= size) {
        uint8_t head[8];
        if (!ReadAt(file.get(), at, head, sizeof head)) return std::nullopt;
        const uint64_t length = Be32(head);
        if (std::memcmp(head + 4, "IEND", 4) == 0) return std::nullopt;
        const off_t next = at + 12 + static_cast<off_t>(length);
        if (next > size) return std::nullopt;  // cut short
        if (std::memcmp(head + 4, "eXIf", 4) == 0) {
            if (length > kMaxJpegExifBlock + 6) return std::nullopt;
            std::vector<uint8_t> data(4 + static_cast<size_t>(length) + 4);
            std::memcpy(data.data(), head + 4, 4);
            if (!ReadAt(file.get(), at + 8, data.data() + 4, data.size() - 4)) return std::nullopt;
            const uint32_t stored = Be32(data.data() + data.size() - 4);
            if (Crc32(data.data(), data.size() - 4) != stored) return std::nullopt;
            std::vector<uint8_t> block(data.begin() + 4, data.end() - 4);
            if (block.size() >= 6 && std::memcmp(block.data(), "Exif\0\0", 6) == 0)
                block.erase(block.begin(), block.begin() + 6);
            if (block.size() > kMaxJpegExifBlock) return std::nullopt;
            // It is handed to FreeImage's JPEG EXIF reader, which trusts it.
            if (!CheckExifBlock(block.data(), block.size())) return std::nullopt;
            return block;
        }
        at = next;
    }
    return std::nullopt;
}

TiffExif ReadTiffExif(const std::string& path) {
    TiffExif result;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file || fseeko(file.get(), 0, SEEK_END) != 0) return result;
    const off_t size = ftello(file.get());
    uint8_t header[8];
    if (size < 8 || !ReadAt(file.get(), 0, header, sizeof header)) return result;
    const bool big = header[0] == 'M' && header[1] == 'M';
    if (!big && !(header[0] == 'I' && header[1] == 'I')) return result;
    auto u16 = [big](const uint8_t* p) {
        return big ? uint32_t{p[0]} << 8 | p[1] : uint32_t{p[1]} << 8 | p[0];
    };
    auto u32 = [&](const uint8_t* p) {
        return big ? u16(p) << 16 | u16(p + 2) : u16(p + 2) << 16 | u16(p);
    };
    if (u16(header + 2) != 42) return result;

    struct Field {
        uint16_t tag, type;
        uint32_t count;
        uint8_t value[4];
        off_t at;
    };
    auto readDirectory = [&](uint32_t offset, std::vector<Field>& fields) {
        uint8_t countBytes[2];
        if (offset == 0 || offset + off_t{2} > size || !ReadAt(file.get(), offset, countBytes, 2))
            return false;
        const uint32_t count = u16(countBytes);
        if (count > kMaxDirectoryEntries || offset + 2 + 12 * off_t{count} > size) return false;
        if (count == 0) return true;  // empty, which TIFF allows
        std::vector<uint8_t> raw(12 * size_t{count});
        if (!ReadAt(file.get(), offset + off_t{2}, raw.data(), raw.size())) return false;
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t* p = raw.data() + 12 * size_t{i};
            Field field{static_cast<uint16_t>(u16(p)), static_cast<uint16_t>(u16(p + 2)), u32(p + 4),
                        {p[8], p[9], p[10], p[11]}, offset + 2 + 12 * off_t{i}};
            fields.push_back(field);
        }
        return true;
    };
    // What a JPEG can carry bounds what is read, whatever the counts claim;
    // a value too large for what is left is left out. A value or directory
    // outside the file makes the whole EXIF untrustworthy (damaged).
    uint64_t budget = kMaxJpegExifBlock;
    bool damaged = false;
    auto entries = [&](const std::vector<Field>& fields, auto keep) {
        std::vector<Entry> kept;
        for (const Field& field : fields) {
            const uint64_t bytes = uint64_t{TypeSize(field.type)} * field.count;
            if (!keep(field.tag) || bytes == 0 || bytes > budget) continue;
            budget -= bytes;
            Entry entry{field.tag, field.type, field.count, {}, false};
            if (bytes <= 4) {
                entry.value.assign(field.value, field.value + bytes);
            } else {
                const uint64_t at = u32(field.value);
                entry.value.resize(static_cast<size_t>(bytes));
                if (at + bytes > static_cast<uint64_t>(size) ||
                    !ReadAt(file.get(), static_cast<off_t>(at), entry.value.data(), entry.value.size())) {
                    damaged = true;
                    continue;
                }
            }
            kept.push_back(std::move(entry));
        }
        return kept;
    };
    auto pointer = [&](const std::vector<Field>& fields, uint16_t tag) -> uint32_t {
        for (const Field& field : fields)
            if (field.tag == tag && field.count == 1 && (field.type == FIDT_LONG || field.type == FIDT_IFD))
                return u32(field.value);
        return 0;
    };
    // A directory some pointer names must be there to read, and read once:
    // one named again is a loop.
    std::set<uint32_t> visited = {u32(header + 4)};
    auto follow = [&](const std::vector<Field>& fields, uint16_t tag, std::vector<Field>& into) {
        const bool named = std::any_of(fields.begin(), fields.end(),
                                       [tag](const Field& field) { return field.tag == tag; });
        if (!named) return false;
        const uint32_t at = pointer(fields, tag);
        if (!visited.insert(at).second || !readDirectory(at, into)) damaged = true;
        return !damaged && !into.empty();
    };
    auto notPointer = [](uint16_t tag) {
        return tag != kExifPointer && tag != kGpsPointer && tag != kInteropPointer;
    };
    auto any = [](uint16_t) { return true; };

    std::vector<Field> main;
    if (!readDirectory(u32(header + 4), main)) return result;
    for (const Field& field : main) {
        // libtiff follows the first of duplicated pointers and ignores the rest.
        if (field.tag != kExifPointer || result.pointerType) continue;
        result.pointerType = static_cast<uint64_t>(field.at) + 2;
        result.ignoredType[big ? 1 : 0] = FIDT_ASCII;  // libtiff wants an offset
    }
    if (!result.pointerType) return result;  // FreeImage reads the rest well enough

    // The photograph's own directories first: IFD0 of a TIFF can hold large
    // values that are no part of its EXIF.
    Directories directories;
    std::vector<Field> exif, gps, interop;
    if (follow(main, kExifPointer, exif)) {
        directories.exif = entries(exif, notPointer);
        if (follow(exif, kInteropPointer, interop)) directories.interop = entries(interop, any);
    }
    if (follow(main, kGpsPointer, gps)) directories.gps = entries(gps, any);
    directories.main = entries(main, [](uint16_t tag) { return !IsLayoutTag(tag); });
    if (damaged) return result;  // the picture is still read; its EXIF is not
    std::vector<uint8_t> block = SerialiseBlock(directories, big);
    if (block.size() <= kMaxJpegExifBlock && CheckExifBlock(block.data(), block.size()))
        result.block = std::move(block);
    return result;
}

}  // namespace calmora::exif
