// EXIF in the TIFF and PNG files FreeImage writes and reads, which it leaves
// out of both: the directories are added to a finished TIFF, and a PNG gets
// (and gives back) the eXIf chunk of the PNG 1.5 extensions.
#pragma once

#include <FreeImage.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace calmora::exif {

enum class FileEdit {
    Done,        // the EXIF is in the file
    Unchanged,   // nothing to add, or a file layout this code does not edit
    WriteError,  // reading or writing the file failed; errno says why
};

// Adds the image's EXIF to the classic TIFF FreeImage has just written into
// `file` (open for reading and writing): the EXIF (and GPS) directories are
// appended, and a copy of the first directory, with the photograph's own
// main tags that FreeImage left out (Make, Model, DateTime, Artist,
// Copyright...) and the pointers to them, becomes the file's first directory.
// The pixel data and everything FreeImage wrote stay where they are; tags
// FreeImage wrote itself keep its values.
[[nodiscard]] FileEdit AddExifToTiff(std::FILE* file, FIBITMAP* image);

// Copies the PNG in `from` (read from its start) to `to`, with one eXIf
// chunk holding `block` (TIFF-structured EXIF without "Exif\0\0") right
// before the first IDAT chunk and any earlier eXIf left out. False when a
// read or write fails (errno says why) or `from` is not a complete PNG.
[[nodiscard]] bool CopyPngWithExif(std::FILE* from, std::FILE* to, const std::vector<uint8_t>& block);

// The EXIF block of the PNG at path, from its eXIf chunk (without any
// "Exif\0\0" a writer may have put before it); nothing when there is no such
// chunk, its checksum is wrong, it is larger than a JPEG could carry or it
// fails CheckExifBlock (exif_check.h).
[[nodiscard]] std::optional<std::vector<uint8_t>> ReadPngExif(const std::string& path);

// What the program reads itself from a TIFF that has an EXIF directory.
// FreeImage 3.18 with the system's libtiff misreads such files: once it has
// followed IFD0's pointer to the EXIF directory, the ICC profile it copies
// afterwards comes from memory libtiff has already freed, and the EXIF
// rationals it keeps are decoded with the wrong width (an exposure of 1/250 s
// comes back as 249 s). So FreeImage is not shown the pointer (see
// pointerType), and the EXIF is read here instead.
struct TiffExif {
    // The file's EXIF as a TIFF-structured block in the file's byte order:
    // IFD0's descriptive tags and the EXIF, GPS and interoperability
    // directories. Empty when there is none, it would not fit a JPEG, or a
    // directory or value it names lies outside the file.
    std::vector<uint8_t> block;
    // Where the type field of IFD0's EXIF pointer lies in the file, and two
    // bytes that give it a type libtiff ignores the entry for.
    std::optional<uint64_t> pointerType;
    uint8_t ignoredType[2] = {0, 0};
};

// Reads at most a few directories of the classic TIFF at path, bounded in
// size, trusting no offset or count; nothing for anything else.
[[nodiscard]] TiffExif ReadTiffExif(const std::string& path);

}  // namespace calmora::exif
