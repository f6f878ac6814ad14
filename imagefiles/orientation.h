// The orientation a camera records beside its pixels, once the program has
// turned the pixels themselves.
//
// Phones and cameras store a portrait photograph with its pixels sideways and
// an Orientation of 6 or 8 (EXIF tag 274, mirrored in XMP as
// tiff:Orientation) that tells viewers to turn it. The program shows pixels as
// they are stored, so a user turns such a picture upright by hand; saved with
// the camera's Orientation still in it, other viewers would turn it once more.
#pragma once

#include <FreeImage.h>

#include <cstdint>
#include <vector>

namespace calmora::exif {

// Sets the Orientation to 1 (pixels upright as stored) wherever the bitmap
// carries one: the raw EXIF block, FreeImage's EXIF tags and the XMP packet.
// Leaves everything else as it was; returns true when anything changed.
bool MarkPixelsUpright(FIBITMAP* image);

// The raw block's IFD0 Orientation set to 1 in place ("Exif\0\0" and the TIFF
// structure after it, as FreeImage keeps it). False when the block is not
// well formed or has no Orientation of type SHORT; the bytes are then untouched.
bool SetRawOrientationUpright(std::vector<uint8_t>& rawBlock);

// Keeps `image` marked upright for as long as it lives, then gives back the
// orientation it had: a save of a turned picture uses it, so that the
// document keeps the camera's values for a later save after the picture is
// turned back.
class UprightWhileAlive {
public:
    UprightWhileAlive(FIBITMAP* image, bool turned);
    ~UprightWhileAlive();
    UprightWhileAlive(const UprightWhileAlive&) = delete;
    UprightWhileAlive& operator=(const UprightWhileAlive&) = delete;

private:
    FIBITMAP* image_ = nullptr;
    FIBITMAP* saved_ = nullptr;  // 1x1 bitmap holding the metadata as it was
};

}  // namespace calmora::exif
