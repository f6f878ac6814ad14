// The calibration photos and the noise put on them, shared by the noise
// benchmarks: clean photos read with FreeImage, Gaussian or camera-like noise
// from a fixed seed, PSNR and a whole-image denoise with the program's own run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "denoise_run/run_settings.h"

namespace bench {

// 24-bit layout: bytes blue, green, red, rows bottom-up, rows padded to 4.
struct Photo {
    std::string name;
    int32_t width = 0, height = 0;
    std::vector<uint8_t> bits;
};

// The four photos of scikit-image's data folder `dir` (astronaut, chelsea,
// coffee, rocket). Exits with a message when one is missing.
std::vector<Photo> LoadCalibrationPhotos(const std::string& dir);

// The centre crop of at most width x height pixels.
Photo Crop(const Photo& photo, int32_t width, int32_t height);

// Independent Gaussian noise of standard deviation sigma on every byte,
// rounded and clipped to 0..255.
Photo WithGaussianNoise(const Photo& clean, double sigma, uint32_t seed);

// Camera-like noise: luminance noise of sigma 15 added alike to the three
// channels, independent noise of sigma 8 per channel, and blotchy chroma: a
// Cr and a Cb field of white noise blurred with a Gaussian of 8 pixels and
// scaled to standard deviation 6, added through the YCrCb to RGB matrix.
Photo WithCameraNoise(const Photo& clean, uint32_t seed);

// PSNR of a against b over every byte of the three channels, in dB.
double Psnr(const Photo& a, const Photo& b);

// RMSE of CIE Lab a* and b* (D65, sRGB) between two photos, over both.
double LabAbRmse(const Photo& a, const Photo& b);

// The program's full run (row loop of denoise_run) over the whole photo.
Photo Denoise(const Photo& noisy, const calmora::RunSettings& settings);

}  // namespace bench
