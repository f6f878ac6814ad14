// A DenoiseHost over a FreeImage bitmap for the dialog's tests and benchmark,
// plus helpers to read pixels and reproduce engine runs.
#pragma once

#include <FreeImage.h>

#include <QString>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "KcDenoise.h"
#include "denoise_host.h"
#include "display_bitmap.h"

namespace calmora::testing {

// A picture with structure (gradients, a disc, stripes) and noise, so that
// denoising changes it and every channel differs.
inline void FillTestPicture(uint8_t* bits, int32_t width, int32_t height, uint32_t seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, 12.0);
    const int64_t stride = BufferStride(width);
    for (int32_t row = 0; row < height; ++row) {
        uint8_t* p = bits + row * stride;
        for (int32_t x = 0; x < width; ++x, p += 3) {
            const double dx = x - width / 2.0, dy = row - height / 2.0;
            const bool disc = dx * dx + dy * dy < (width * width) / 16.0;
            const double base[3] = {40.0 + 150.0 * x / std::max(1, width),
                                    disc ? 200.0 : 60.0 + 120.0 * row / std::max(1, height),
                                    ((x / 7) % 2) ? 180.0 : 90.0};
            for (int c = 0; c < 3; ++c) {
                const double v = base[c] + noise(random);
                p[c] = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
            }
        }
    }
}

class FakeHost : public DenoiseHost {
public:
    FakeHost(int32_t width, int32_t height, uint32_t seed = 1) {
        image_ = FreeImage_AllocateT(FIT_BITMAP, width, height, 24);
        destination_ = FreeImage_AllocateT(FIT_BITMAP, width, height, 24);
        FillTestPicture(FreeImage_GetBits(image_), width, height, seed);
        original_.assign(FreeImage_GetBits(image_),
                         FreeImage_GetBits(image_) + BufferStride(width) * height);
    }
    ~FakeHost() override {
        ReleaseDestinationIfNotAdopted();
        if (image_) FreeImage_Unload(image_);
    }
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    const uint8_t* ImageBits() const override { return FreeImage_GetBits(image_); }
    int32_t ImageWidth() const override { return static_cast<int32_t>(FreeImage_GetWidth(image_)); }
    int32_t ImageHeight() const override {
        return static_cast<int32_t>(FreeImage_GetHeight(image_));
    }
    DenoiseDestination Destination() const override {
        if (!destination_) return {};
        return {FreeImage_GetBits(destination_),
                static_cast<int32_t>(FreeImage_GetWidth(destination_)),
                static_cast<int32_t>(FreeImage_GetHeight(destination_)),
                static_cast<int64_t>(FreeImage_GetPitch(destination_))};
    }
    void AdoptDenoised() override {
        ++adopted;
        FreeImage_Unload(image_);
        image_ = destination_;
        destination_ = nullptr;
    }
    void AppendTitleSuffix(const QString& english, const QString& italian) override {
        ++suffixes;
        englishSuffix = english;
        italianSuffix = italian;
    }
    void RedrawView() override { ++redraws; }

    // What the main window does after the dialog: a destination that was not
    // taken over is released.
    void ReleaseDestinationIfNotAdopted() {
        if (!destination_) return;
        FreeImage_Unload(destination_);
        destination_ = nullptr;
        ++released;
    }

    [[nodiscard]] bool ImageUnchanged() const {
        return std::memcmp(ImageBits(), original_.data(), original_.size()) == 0;
    }
    [[nodiscard]] std::vector<uint8_t> Bytes() const {
        return {ImageBits(), ImageBits() + original_.size()};
    }
    [[nodiscard]] const std::vector<uint8_t>& Original() const { return original_; }

    int adopted = 0;
    int suffixes = 0;
    int redraws = 0;
    int released = 0;
    QString englishSuffix, italianSuffix;

private:
    FIBITMAP* image_ = nullptr;
    FIBITMAP* destination_ = nullptr;
    std::vector<uint8_t> original_;
};

// Blue, green, red of pixel (x, y), y counted from the top.
struct Bgr {
    uint8_t b, g, r;
};
inline Bgr PixelOf(const uint8_t* bits, int32_t width, int32_t height, int32_t x, int32_t y) {
    const uint8_t* p = bits + (height - 1 - y) * BufferStride(width) + 3 * x;
    return {p[0], p[1], p[2]};
}

// Compares the pixels of two buffers of one size, padding left out.
inline bool SamePixels(const uint8_t* a, const uint8_t* b, int32_t width, int32_t height) {
    const int64_t stride = BufferStride(width);
    for (int32_t row = 0; row < height; ++row)
        if (std::memcmp(a + row * stride, b + row * stride, static_cast<size_t>(width) * 3) != 0)
            return false;
    return true;
}

// The weight table of intensity sigma, as the dialog makes it.
inline std::vector<float> ReferenceTable(int sigma) {
    const double twoSigma2 = 2.0 * sigma * sigma;
    std::vector<float> table(static_cast<size_t>(14 * sigma * sigma) + 1);
    for (size_t n = 0; n < table.size(); ++n)
        table[n] = static_cast<float>(std::pow(2.718281828459, -static_cast<double>(n) / twoSigma2));
    return table;
}

// The engine run row by row, one call per row as the dialog makes them, for
// comparison with the dialog's results. Factors as percentages; all 100 uses
// the whole-pixel form. Rows firstRow..lastRow only when given (the others stay 0).
struct EngineResult {
    std::vector<uint8_t> denoised, noise;
};
inline EngineResult EngineRun(const uint8_t* source, int32_t width, int32_t height, int sigma,
                              int radius, int red, int green, int blue, bool wantNoise,
                              int32_t firstRow = 0, int32_t lastRow = -1) {
    const size_t size = static_cast<size_t>(BufferStride(width) * height);
    EngineResult out{std::vector<uint8_t>(size), std::vector<uint8_t>(size)};
    const std::vector<float> table = ReferenceTable(sigma);
    DenoiseJob job{0, -1, width, height, 14 * sigma * sigma};
    const DenoiseParams params{1, static_cast<int16_t>(radius), static_cast<int16_t>(wantNoise),
                               0};
    const ChannelFactors factors{static_cast<float>(blue / 100.0), static_cast<float>(green / 100.0),
                                 static_cast<float>(red / 100.0)};
    const bool whole = red == 100 && green == 100 && blue == 100;
    if (lastRow < 0) lastRow = height - 1;
    for (int32_t row = firstRow; row <= lastRow; ++row) {
        job.firstRow = job.lastRow = row;
        if (whole)
            KcDenoiseCompleta(&job, &params, source, out.denoised.data(), table.data(),
                              out.noise.data());
        else
            KcDenoisePerCanale(&job, &params, source, out.denoised.data(), table.data(),
                               out.noise.data(), &factors);
    }
    return out;
}

// The block of width x height pixels at left, top (top-down) of an image.
inline std::vector<uint8_t> BlockOf(const uint8_t* image, int32_t imageWidth,
                                    int32_t imageHeight, int32_t left, int32_t top,
                                    int32_t width, int32_t height) {
    const int64_t stride = BufferStride(width);
    std::vector<uint8_t> block(static_cast<size_t>(stride * height));
    for (int32_t row = 0; row < height; ++row)
        std::memcpy(block.data() + row * stride,
                    image + (imageHeight - top - height + row) * BufferStride(imageWidth) +
                        3 * left,
                    static_cast<size_t>(width) * 3);
    return block;
}

}  // namespace calmora::testing
