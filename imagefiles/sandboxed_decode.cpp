#include "imagefiles/sandboxed_decode.h"

#include "imagefiles/decoder_messages.h"

#include <atomic>
#include <cstdio>
#include <new>
#include <vector>

namespace calmora {

namespace {

struct ChildTask {
    PictureWork picture = nullptr;
    HeaderWork header = nullptr;
    const void* context = nullptr;
};

// The metadata through the shared block; a 24-bit picture's pixels apart,
// down the pipe, from the decoder's own bitmap without another copy.
int SendToParent(SandboxChild& child, ImageFileError status, FIBITMAP* image) {
    const size_t bytes = TransferBytes(image, PixelPlace::Apart);
    auto* to = static_cast<uint8_t*>(child.Grow(bytes));
    if (!to) return 1;
    WriteTransfer(static_cast<int32_t>(status), image, to, bytes, PixelPlace::Apart);
    const uint64_t pixels = ApartPixelBytes(image);
    if (pixels == 0) return 0;
    return child.Announce(pixels) && child.Send(FreeImage_GetBits(image), pixels) ? 0 : 1;
}

int DecodeInChild(SandboxChild& child, void* argument) {
    const auto& task = *static_cast<const ChildTask*>(argument);
    const DecodedPicture decoded = task.picture(child.path, task.context);
    return SendToParent(child, decoded.error, decoded.image.get());
}

int ReadHeaderInChild(SandboxChild& child, void* argument) {
    const auto& task = *static_cast<const ChildTask*>(argument);
    const BitmapPtr header = task.header(child.path, task.context);
    const ImageFileError status = header ? ImageFileError::None : ImageFileError::Corrupt;
    return SendToParent(child, status, header.get());
}

// The decoded pixels' destination: the final bitmap, allocated while the
// child decodes; a plain buffer for a picture of another size than probed.
class PixelReceiver final : public SandboxReceiver {
public:
    PixelReceiver(int64_t width, int64_t height, uint64_t most)
        : width_(width), height_(height), most_(most) {}

    void WhileTheChildRuns() override {
        // FreeImage zeroes what it allocates, which faults every page in.
        if (width_ > 0 && height_ > 0 && width_ <= 65535 && height_ <= 65535)
            prepared_.reset(FreeImage_Allocate(static_cast<int>(width_), static_cast<int>(height_),
                                               24, FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK,
                                               FI_RGBA_BLUE_MASK));
    }

    uint8_t* Destination(uint64_t bytes) override {
        if (prepared_ && bytes == ApartPixelBytes(prepared_.get()))
            return received_ = FreeImage_GetBits(prepared_.get());
        prepared_.reset();
        // The child could not have held more than its memory limit.
        if (bytes > most_) return nullptr;
        try {
            buffer_.resize(static_cast<size_t>(bytes));
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
        return received_ = buffer_.data();
    }

    [[nodiscard]] ApartPixels Received(uint64_t sent) {
        return {received_, received_ ? sent : 0, prepared_ ? &prepared_ : nullptr};
    }

private:
    int64_t width_, height_;
    uint64_t most_;
    BitmapPtr prepared_;
    std::vector<uint8_t> buffer_;
    uint8_t* received_ = nullptr;
};

std::atomic<bool> g_inProcess{false};

void DecodeInProcessFromNowOn(const std::string& why) {
    if (!g_inProcess.exchange(true))
        std::fprintf(stderr, "calmora: images are decoded without a sandbox: %s\n", why.c_str());
}

// Runs job in a sandbox; nothing when it has to run in this process instead.
// A child that failed in any way gives Corrupt.
std::optional<TransferredBitmap> RunSandboxedJob(const std::string& path,
                                                 const SandboxLimits& limits, SandboxJob job,
                                                 ChildTask task, PixelReceiver* receiver) {
    static const bool refused = [] {
        const std::string why = SandboxRefusal();
        if (!why.empty()) DecodeInProcessFromNowOn(why);
        return !why.empty();
    }();
    if (refused || g_inProcess) return std::nullopt;
    const DecoderMessages installed;  // handlers (and their dlsym) before the fork and filter
    const SandboxResult run = RunSandboxed(path, limits, job, &task, receiver);
    if (run.outcome == SandboxOutcome::Unavailable) {
        if (run.lasting) DecodeInProcessFromNowOn(run.why);
        return std::nullopt;
    }
    TransferredBitmap sent;
    if (run.outcome == SandboxOutcome::Finished)
        sent = ReadTransfer(run.Data(), run.Size(),
                            receiver ? receiver->Received(run.sent) : ApartPixels{});
    const bool known =
        sent.status >= 0 && sent.status <= static_cast<int32_t>(ImageFileError::NotEnoughMemory);
    if (!sent.valid || !known || (sent.status == 0) != sent.described) {
        sent = TransferredBitmap{};
        sent.status = static_cast<int32_t>(ImageFileError::Corrupt);
    }
    return sent;
}

}  // namespace

std::optional<DecodedPicture> DecodeInSandbox(const std::string& path, const SandboxLimits& limits,
                                              int64_t width, int64_t height, PictureWork work,
                                              const void* context) {
    PixelReceiver receiver(width, height, limits.memoryBytes);
    auto sent = RunSandboxedJob(path, limits, DecodeInChild, {work, nullptr, context}, &receiver);
    if (!sent) return std::nullopt;
    if (sent->status == 0 && !sent->image) return DecodedPicture{ImageFileError::Corrupt, nullptr};
    return DecodedPicture{static_cast<ImageFileError>(sent->status), std::move(sent->image)};
}

std::optional<TransferredBitmap> ReadHeaderInSandbox(const std::string& path,
                                                     const SandboxLimits& limits, HeaderWork work,
                                                     const void* context) {
    return RunSandboxedJob(path, limits, ReadHeaderInChild, {nullptr, work, context}, nullptr);
}

}  // namespace calmora
