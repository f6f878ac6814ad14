// What the image-file tests share: the pattern's size, EXIF made by hand
// (never with the program's own EXIF code), tags read back through
// FreeImage, and the saves a picture goes through.
#pragma once

#include <FreeImage.h>

#include <cstdint>
#include <string>
#include <vector>

#include "imagefiles/image_save.h"
#include "scratch_dir.h"

namespace calmora_test {

// The pattern pictures' size: an odd width, so that rows are padded.
constexpr int kW = 37;
constexpr int kH = 23;

// Minimal EXIF block: "Exif\0\0", little-endian TIFF header, one IFD with Make.
std::vector<uint8_t> ExifWithMake(const std::string& make);
// EXIF as a camera writes it, naming the camera, the photographer, the
// exposure and the place ("Exif\0\0" first).
std::vector<uint8_t> CameraExif();
// Attaches exif as FreeImage keeps the EXIF of a JPEG it reads.
void AttachRawExif(FIBITMAP* image, const std::vector<uint8_t>& exif);
// A photograph as a camera writes it, with CameraExif: dir/camera.jpg.
std::string WriteCameraJpeg(const ScratchDir& dir);

// Tag values as FreeImage read them: the camera's Make ("" without), an
// ASCII tag ("(missing)" without), a rational (NaN without), a SHORT or
// LONG (-1 without).
std::string MakeTag(FIBITMAP* image);
FITAG* FindTag(FIBITMAP* image, FREE_IMAGE_MDMODEL model, const char* key);
std::string TextTag(FIBITMAP* image, FREE_IMAGE_MDMODEL model, const char* key);
double RationalTag(FIBITMAP* image, FREE_IMAGE_MDMODEL model, const char* key);
long NumberTag(FIBITMAP* image, FREE_IMAGE_MDMODEL model, const char* key);

// One save of a picture that is then opened again.
struct Step {
    calmora::SaveFormat format;
    bool lzw;
    const char* extension;
};
constexpr Step kTiff{calmora::SaveFormat::Tiff, false, ".tif"};
constexpr Step kTiffLzw{calmora::SaveFormat::Tiff, true, ".tif"};
constexpr Step kPng{calmora::SaveFormat::Png, false, ".png"};
constexpr Step kJpeg{calmora::SaveFormat::Jpeg, false, ".jpg"};

}  // namespace calmora_test
