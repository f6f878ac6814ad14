// What the denoise dialog needs from the window that owns the image. The main
// window implements it; tests use a fake.
#pragma once

#include <QString>
#include <cstdint>

namespace calmora {

// The picture a full run writes into: 24 bits in the shared buffer layout
// (BGR, bottom-up rows). Empty (bits null) when the host has none.
struct DenoiseDestination {
    uint8_t* bits = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int64_t stride = 0;  // bytes from one row to the next
};

class DenoiseHost {
public:
    virtual ~DenoiseHost() = default;

    // The current image, read only while the dialog is open (24 bits, buffer layout).
    [[nodiscard]] virtual const uint8_t* ImageBits() const = 0;
    [[nodiscard]] virtual int32_t ImageWidth() const = 0;
    [[nodiscard]] virtual int32_t ImageHeight() const = 0;

    // The destination allocated before the dialog opened (same size as the image).
    [[nodiscard]] virtual DenoiseDestination Destination() const = 0;

    // Hands the destination over as the new current image: the old one is
    // unloaded, the view is recopied and redrawn in true size.
    virtual void AdoptDenoised() = 0;

    // Appends to the window title (both languages' twins, e.g. "   denoised  (...").
    virtual void AppendTitleSuffix(const QString& english, const QString& italian) = 0;

    // Repaints the main view from the scroll bars.
    virtual void RedrawView() = 0;
};

}  // namespace calmora
