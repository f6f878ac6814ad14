#include "imagefiles/exif_tags.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "imagefiles/exif_check.h"

namespace calmora::exif {

namespace {

const char kExifPrefix[6] = {'E', 'x', 'i', 'f', 0, 0};
const char kRawKey[] = "ExifRaw";

bool HostIsBigEndian() {
    const uint16_t probe = 1;
    uint8_t first = 0;
    std::memcpy(&first, &probe, 1);
    return first == 0;
}

struct BitmapUnloader {
    void operator()(FIBITMAP* bitmap) const { FreeImage_Unload(bitmap); }
};
struct MemoryCloser {
    void operator()(FIMEMORY* memory) const { FreeImage_CloseMemory(memory); }
};

void Put16(std::vector<uint8_t>& out, uint32_t v, bool big) {
    const uint8_t hi = static_cast<uint8_t>(v >> 8), lo = static_cast<uint8_t>(v);
    if (big) out.insert(out.end(), {hi, lo});
    else out.insert(out.end(), {lo, hi});
}

void Put32(std::vector<uint8_t>& out, uint32_t v, bool big) {
    if (big) {
        Put16(out, v >> 16, true);
        Put16(out, v & 0xFFFF, true);
    } else {
        Put16(out, v & 0xFFFF, false);
        Put16(out, v >> 16, false);
    }
}

std::vector<uint8_t> Long(uint32_t v, bool big) {
    std::vector<uint8_t> bytes;
    Put32(bytes, v, big);
    return bytes;
}

// One FreeImage tag as an entry. FreeImage holds values in the machine's
// byte order; a rational is two 32-bit numbers, each turned on its own.
std::optional<Entry> EntryFromTag(FITAG* tag, bool bigEndian) {
    Entry entry;
    entry.tag = FreeImage_GetTagID(tag);
    entry.type = static_cast<uint16_t>(FreeImage_GetTagType(tag));
    const uint32_t size = TypeSize(entry.type);
    const auto* value = static_cast<const uint8_t*>(FreeImage_GetTagValue(tag));
    const uint64_t length = FreeImage_GetTagLength(tag);
    const uint64_t count = FreeImage_GetTagCount(tag);
    if (size == 0 || !value || length == 0 || count == 0) return std::nullopt;

    if (entry.type == FIDT_ASCII) {
        entry.value.assign(value, value + length);
        if (entry.value.back() != 0) entry.value.push_back(0);
        entry.count = static_cast<uint32_t>(entry.value.size());
        return entry;
    }
    if (length != count * size) return std::nullopt;  // not what its type says
    entry.count = static_cast<uint32_t>(count);
    entry.value.assign(value, value + length);
    const uint32_t element = (entry.type == FIDT_RATIONAL || entry.type == FIDT_SRATIONAL) ? 4 : size;
    if (element > 1 && HostIsBigEndian() != bigEndian) {
        for (size_t at = 0; at + element <= entry.value.size(); at += element)
            std::reverse(entry.value.begin() + static_cast<std::ptrdiff_t>(at),
                         entry.value.begin() + static_cast<std::ptrdiff_t>(at + element));
    }
    return entry;
}

template <typename Keep>
std::vector<Entry> ModelEntries(FIBITMAP* image, FREE_IMAGE_MDMODEL model, bool bigEndian, Keep keep) {
    std::vector<Entry> entries;
    // FreeImage hands out a stale tag for a model that exists but is empty.
    if (FreeImage_GetMetadataCount(model, image) == 0) return entries;
    FITAG* tag = nullptr;
    FIMETADATA* search = FreeImage_FindFirstMetadata(model, image, &tag);
    if (!search) return entries;
    do {
        if (!tag || !keep(FreeImage_GetTagID(tag))) continue;
        if (auto entry = EntryFromTag(tag, bigEndian)) entries.push_back(std::move(*entry));
    } while (FreeImage_FindNextMetadata(search, &tag));
    FreeImage_FindCloseMetadata(search);
    return entries;
}

bool IsPointer(uint16_t tag) {
    return tag == kExifPointer || tag == kGpsPointer || tag == kInteropPointer;
}

bool HasExifTags(FIBITMAP* image) {
    for (FREE_IMAGE_MDMODEL model : {FIMD_EXIF_MAIN, FIMD_EXIF_EXIF, FIMD_EXIF_GPS, FIMD_EXIF_INTEROP})
        if (FreeImage_GetMetadataCount(model, image) > 0) return true;
    return false;
}

FITAG* RawTag(FIBITMAP* image) {
    FITAG* tag = nullptr;
    if (!FreeImage_GetMetadata(FIMD_EXIF_RAW, image, kRawKey, &tag) || !tag) return nullptr;
    const auto* value = static_cast<const char*>(FreeImage_GetTagValue(tag));
    if (!value || FreeImage_GetTagLength(tag) <= sizeof kExifPrefix + 8 ||
        std::memcmp(value, kExifPrefix, sizeof kExifPrefix) != 0)
        return nullptr;
    return tag;
}

bool LooksLikeTiffHeader(const uint8_t* data, size_t size) {
    return size >= 8 && ((data[0] == 'I' && data[1] == 'I' && data[2] == 42 && data[3] == 0) ||
                         (data[0] == 'M' && data[1] == 'M' && data[2] == 0 && data[3] == 42));
}

// FreeImage's EXIF reader is only reachable through its JPEG loader, so a
// block is read by wrapping it in the smallest JPEG header that loader
// accepts (one 1x1 grey frame, never decoded) and loading just the header.
// That reader runs past the end of a damaged block, so only a block that
// passes the program's own walk is shown to it.
std::unique_ptr<FIBITMAP, BitmapUnloader> ReadThroughJpegHeader(const uint8_t* block, size_t size) {
    if (!LooksLikeTiffHeader(block, size) || size > kMaxJpegExifBlock) return nullptr;
    if (!CheckExifBlock(block, size)) return nullptr;
    std::vector<uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xE1};
    Put16(jpeg, static_cast<uint32_t>(2 + sizeof kExifPrefix + size), true);
    jpeg.insert(jpeg.end(), kExifPrefix, kExifPrefix + sizeof kExifPrefix);
    jpeg.insert(jpeg.end(), block, block + size);
    jpeg.insert(jpeg.end(), {0xFF, 0xDB, 0x00, 0x43, 0x00});  // one quantisation table
    jpeg.insert(jpeg.end(), 64, 1);
    jpeg.insert(jpeg.end(), {0xFF, 0xC0, 0x00, 0x0B, 8, 0, 1, 0, 1, 1, 1, 0x11, 0,  // 1x1, grey
                             0xFF, 0xDA, 0x00, 0x08, 1, 1, 0x00, 0, 63, 0,  // one scan
                             0xFF, 0xD9});
    std::unique_ptr<FIMEMORY, MemoryCloser> memory(
        FreeImage_OpenMemory(jpeg.data(), static_cast<DWORD>(jpeg.size())));
    if (!memory) return nullptr;
    std::unique_ptr<FIBITMAP, BitmapUnloader> header(
        FreeImage_LoadFromMemory(FIF_JPEG, memory.get(), FIF_LOAD_NOPIXELS));
    if (!header || !RawTag(header.get())) return nullptr;
    return header;
}

void CopyModel(FIBITMAP* to, FIBITMAP* from, FREE_IMAGE_MDMODEL model) {
    FreeImage_SetMetadata(model, to, nullptr, nullptr);  // drops what was there
    if (FreeImage_GetMetadataCount(model, from) == 0) return;
    FITAG* tag = nullptr;
    FIMETADATA* search = FreeImage_FindFirstMetadata(model, from, &tag);
    if (!search) return;
    do {
        if (tag) FreeImage_SetMetadata(model, to, FreeImage_GetTagKey(tag), tag);
    } while (FreeImage_FindNextMetadata(search, &tag));
    FreeImage_FindCloseMetadata(search);
}

uint64_t ValueArea(const Entry& entry) {
    if (entry.asFound || entry.value.size() <= 4) return 0;
    return (entry.value.size() + 1) & ~uint64_t{1};  // values start on a word boundary
}

uint64_t DirectorySize(const std::vector<Entry>& entries) {
    uint64_t size = 2 + 12 * uint64_t{entries.size()} + 4;
    for (const Entry& entry : entries) size += ValueArea(entry);
    return size;
}

// Sorted by tag, one entry per tag (the first one given wins).
std::vector<Entry> Ordered(std::vector<Entry> entries) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
    entries.erase(std::unique(entries.begin(), entries.end(),
                              [](const Entry& a, const Entry& b) { return a.tag == b.tag; }),
                  entries.end());
    return entries;
}

void WriteDirectory(const std::vector<Entry>& entries, uint32_t offset, bool big,
                    std::vector<uint8_t>& out) {
    Put16(out, static_cast<uint32_t>(entries.size()), big);
    uint32_t valueAt = offset + 2 + 12 * static_cast<uint32_t>(entries.size()) + 4;
    for (const Entry& entry : entries) {
        Put16(out, entry.tag, big);
        Put16(out, entry.type, big);
        Put32(out, entry.count, big);
        if (entry.asFound) {
            std::vector<uint8_t> field = entry.value;
            field.resize(4, 0);
            out.insert(out.end(), field.begin(), field.end());
        } else if (entry.value.size() <= 4) {
            out.insert(out.end(), entry.value.begin(), entry.value.end());
            out.insert(out.end(), 4 - entry.value.size(), 0);
        } else {
            Put32(out, valueAt, big);
            valueAt += static_cast<uint32_t>(ValueArea(entry));
        }
    }
    Put32(out, 0, big);  // no further directory in this chain
    for (const Entry& entry : entries) {
        if (ValueArea(entry) == 0) continue;
        out.insert(out.end(), entry.value.begin(), entry.value.end());
        if (entry.value.size() % 2) out.push_back(0);
    }
}

Entry Pointer(uint16_t tag, bool big) { return Entry{tag, FIDT_LONG, 1, Long(0, big), false}; }

void SetPointer(std::vector<Entry>& entries, uint16_t tag, uint32_t offset, bool big) {
    for (Entry& entry : entries)
        if (entry.tag == tag) entry.value = Long(offset, big);
}

}  // namespace

uint32_t TypeSize(uint16_t type) {
    switch (type) {
        case FIDT_BYTE: case FIDT_ASCII: case FIDT_SBYTE: case FIDT_UNDEFINED: return 1;
        case FIDT_SHORT: case FIDT_SSHORT: return 2;
        case FIDT_LONG: case FIDT_SLONG: case FIDT_FLOAT: case FIDT_IFD: return 4;
        case FIDT_RATIONAL: case FIDT_SRATIONAL: case FIDT_DOUBLE: return 8;
        default: return 0;
    }
}

bool IsLayoutTag(uint16_t tag) {
    switch (tag) {
        case 254: case 255:                          // subfile types
        case 256: case 257: case 258: case 259:      // size, bits, compression
        case 262: case 263: case 264: case 265: case 266:
        case 273: case 277: case 278: case 279:      // strips, samples
        case 280: case 281: case 284:
        case 288: case 289: case 290: case 291: case 292: case 293:
        case 317: case 320:                          // predictor, colour map
        case 322: case 323: case 324: case 325:      // tiles
        case 330: case 338: case 339: case 340: case 341: case 347:
        case 529: case 530: case 531: case 532:      // YCbCr layout
        case 700: case 33723: case 34377: case 34675:  // XMP, IPTC, Photoshop, ICC: written apart
        case kExifPointer: case kGpsPointer: case kInteropPointer:
            return true;
        default:
            return tag >= 512 && tag <= 521;  // old-style JPEG and thumbnails
    }
}

Directories DirectoriesFromBitmap(FIBITMAP* image, bool bigEndian) {
    Directories directories;
    if (!image) return directories;
    std::unique_ptr<FIBITMAP, BitmapUnloader> parsed;
    if (!HasExifTags(image)) {
        FITAG* raw = RawTag(image);
        if (!raw) return directories;
        const auto* value = static_cast<const uint8_t*>(FreeImage_GetTagValue(raw));
        parsed = ReadThroughJpegHeader(value + sizeof kExifPrefix,
                                       FreeImage_GetTagLength(raw) - sizeof kExifPrefix);
        if (!parsed) return directories;
        image = parsed.get();
    }
    directories.main =
        ModelEntries(image, FIMD_EXIF_MAIN, bigEndian, [](uint16_t tag) { return !IsLayoutTag(tag); });
    directories.exif =
        ModelEntries(image, FIMD_EXIF_EXIF, bigEndian, [](uint16_t tag) { return !IsPointer(tag); });
    directories.gps = ModelEntries(image, FIMD_EXIF_GPS, bigEndian, [](uint16_t) { return true; });
    directories.interop =
        ModelEntries(image, FIMD_EXIF_INTEROP, bigEndian, [](uint16_t) { return true; });
    return directories;
}

std::optional<uint32_t> LayOut(const Directories& directories, uint32_t start, bool bigEndian,
                               std::vector<uint8_t>& out) {
    std::vector<Entry> interop = Ordered(directories.interop);
    std::vector<Entry> gps = Ordered(directories.gps);
    std::vector<Entry> exif = directories.exif;
    exif.erase(std::remove_if(exif.begin(), exif.end(), [](const Entry& e) { return IsPointer(e.tag); }),
               exif.end());
    if (!interop.empty()) exif.push_back(Pointer(kInteropPointer, bigEndian));
    exif = Ordered(std::move(exif));
    std::vector<Entry> main = directories.main;
    main.erase(std::remove_if(main.begin(), main.end(), [](const Entry& e) { return IsPointer(e.tag); }),
               main.end());
    if (!exif.empty()) main.push_back(Pointer(kExifPointer, bigEndian));
    if (!gps.empty()) main.push_back(Pointer(kGpsPointer, bigEndian));
    main = Ordered(std::move(main));

    const uint64_t mainAt = start;
    const uint64_t exifAt = mainAt + DirectorySize(main);
    const uint64_t interopAt = exifAt + (exif.empty() ? 0 : DirectorySize(exif));
    const uint64_t gpsAt = interopAt + (interop.empty() ? 0 : DirectorySize(interop));
    const uint64_t end = gpsAt + (gps.empty() ? 0 : DirectorySize(gps));
    if ((start & 1) != 0 || end > UINT32_MAX) return std::nullopt;

    SetPointer(main, kExifPointer, static_cast<uint32_t>(exifAt), bigEndian);
    SetPointer(main, kGpsPointer, static_cast<uint32_t>(gpsAt), bigEndian);
    SetPointer(exif, kInteropPointer, static_cast<uint32_t>(interopAt), bigEndian);
    out.reserve(out.size() + static_cast<size_t>(end - start));
    WriteDirectory(main, static_cast<uint32_t>(mainAt), bigEndian, out);
    if (!exif.empty()) WriteDirectory(exif, static_cast<uint32_t>(exifAt), bigEndian, out);
    if (!interop.empty()) WriteDirectory(interop, static_cast<uint32_t>(interopAt), bigEndian, out);
    if (!gps.empty()) WriteDirectory(gps, static_cast<uint32_t>(gpsAt), bigEndian, out);
    return static_cast<uint32_t>(mainAt);
}

std::vector<uint8_t> SerialiseBlock(const Directories& directories, bool bigEndian) {
    std::vector<uint8_t> block = bigEndian ? std::vector<uint8_t>{'M', 'M', 0, 42, 0, 0, 0, 8}
                                           : std::vector<uint8_t>{'I', 'I', 42, 0, 8, 0, 0, 0};
    if (!LayOut(directories, 8, bigEndian, block)) return {};
    return block;
}

std::vector<uint8_t> ExifBlockOf(FIBITMAP* image) {
    if (!image) return {};
    if (FITAG* raw = RawTag(image)) {
        const auto* value = static_cast<const uint8_t*>(FreeImage_GetTagValue(raw));
        return std::vector<uint8_t>(value + sizeof kExifPrefix, value + FreeImage_GetTagLength(raw));
    }
    const Directories directories = DirectoriesFromBitmap(image, false);
    if (directories.Empty()) return {};
    return SerialiseBlock(directories, false);
}

bool AttachExifBlock(FIBITMAP* image, const uint8_t* block, size_t size) {
    if (!image || !block) return false;
    const auto header = ReadThroughJpegHeader(block, size);
    if (!header) return false;
    for (FREE_IMAGE_MDMODEL model : {FIMD_EXIF_MAIN, FIMD_EXIF_EXIF, FIMD_EXIF_GPS,
                                     FIMD_EXIF_MAKERNOTE, FIMD_EXIF_INTEROP, FIMD_EXIF_RAW})
        CopyModel(image, header.get(), model);
    return true;
}

bool HasRawExif(FIBITMAP* image) { return image && RawTag(image); }

void SetRawExif(FIBITMAP* image, const std::vector<uint8_t>& block) {
    if (!image) return;
    if (block.empty()) {
        FreeImage_SetMetadata(FIMD_EXIF_RAW, image, kRawKey, nullptr);
        return;
    }
    std::vector<uint8_t> value(kExifPrefix, kExifPrefix + sizeof kExifPrefix);
    value.insert(value.end(), block.begin(), block.end());
    FITAG* tag = FreeImage_CreateTag();
    if (!tag) return;
    FreeImage_SetTagKey(tag, kRawKey);
    FreeImage_SetTagType(tag, FIDT_BYTE);
    FreeImage_SetTagCount(tag, static_cast<DWORD>(value.size()));
    FreeImage_SetTagLength(tag, static_cast<DWORD>(value.size()));
    FreeImage_SetTagValue(tag, value.data());
    FreeImage_SetMetadata(FIMD_EXIF_RAW, image, kRawKey, tag);
    FreeImage_DeleteTag(tag);
}

}  // namespace calmora::exif
