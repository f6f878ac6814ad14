// Test-only helpers for the KcDenoise tests: an independent, deliberately
// plain implementation of the denoise filter that every engine path is
// compared with, plus image fillers, page-guarded buffers and a byte
// comparison that names the first differing pixel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "KcDenoise.h"

namespace kc_oracle {

// Bytes per row of the shared 24-bit layout, and bytes of a whole image.
// Written on its own, not taken from the engine or imagefiles/row_stride.h:
// like the filter below, it is the independent account the engine's layout
// is checked against.
int64_t Stride(int32_t width);
size_t ImageBytes(int32_t width, int32_t height);

// The four denoise exports in one function, written the slowest, most literal
// way. factorsOrNull selects the per-channel form; viewDenoisedOrNull selects
// the display-copy (OUT) form. Buffers follow the library's contract: same
// size and layout, source distinct from every output, display copies may be
// the same buffers as denoised and noise.
void OracleDenoise(const DenoiseJob& job, const DenoiseParams& params, const uint8_t* src,
                   uint8_t* denoised, const float* table, uint8_t* noise,
                   const ChannelFactors* factorsOrNull, uint8_t* viewDenoisedOrNull,
                   uint8_t* viewNoiseOrNull);

// Small deterministic generator, so that a failing seed can be replayed.
class Rng {
public:
    explicit Rng(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 0x2545F4914F6CDD1Dull) {}
    uint64_t Next();
    // Uniform in [lo, hi], both inclusive.
    int32_t Int(int32_t lo, int32_t hi);
    float Float01();

private:
    uint64_t state_;
};

// Every byte of buf (padding included) uniform in [lo, hi].
void FillRandom(uint8_t* buf, size_t bytes, uint64_t seed, uint8_t lo = 0, uint8_t hi = 255);

// A photo-like image: a smooth gradient per channel plus noise of +-amplitude,
// so that patch distances are often small enough to fall under a cut-off.
// Padding bytes get padByte so that tests can see they are left alone.
void FillNoisyImage(uint8_t* buf, int32_t width, int32_t height, uint64_t seed, int amplitude,
                    uint8_t padByte = 0xA5);

// Every padding byte (end of each row) set to value.
void FillPadding(uint8_t* buf, int32_t width, int32_t height, uint8_t value);

// Weight table of `length` entries: entry 0 positive, the rest random in
// (0, 1], with roughly zeroShare of them exactly 0.
std::vector<float> RandomTable(int32_t length, uint64_t seed, double zeroShare = 0.0);

// Empty when the pixel bytes of the two images match, otherwise a message
// naming the first differing row, column and channel and both values.
// withPadding also compares the bytes at the end of every row.
std::string FirstDifference(const uint8_t* expected, const uint8_t* actual, int32_t width,
                            int32_t height, int64_t stride, bool withPadding = false);
std::string FirstDifference(const uint8_t* expected, const uint8_t* actual, int32_t width,
                            int32_t height, bool withPadding = false);

// Empty when every padding byte of the image still equals value.
std::string PaddingDifference(const uint8_t* buf, int32_t width, int32_t height, uint8_t value);

// Which side of a GuardedBuffer touches the inaccessible page.
enum class GuardAt { End, Start };

// A buffer whose last byte is immediately followed by an inaccessible page
// (or, with GuardAt::Start, whose first byte immediately follows one), so that
// any access past that end faults at once instead of passing quietly.
class GuardedBuffer {
public:
    GuardedBuffer() = default;
    explicit GuardedBuffer(size_t bytes, uint8_t fill = 0, GuardAt at = GuardAt::End);
    ~GuardedBuffer();
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;
    GuardedBuffer(GuardedBuffer&& other) noexcept;
    GuardedBuffer& operator=(GuardedBuffer&& other) noexcept;

    uint8_t* data() { return data_; }
    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }
    uint8_t& operator[](size_t i) { return data_[i]; }

private:
    void Release();
    void* map_ = nullptr;
    size_t mapBytes_ = 0;
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

// A large zero-filled address range of which only the pages touched get
// memory, for checking byte offsets beyond 2^31 without gigabytes of RAM.
// valid() is false when the system refuses the mapping.
class SparseBuffer {
public:
    explicit SparseBuffer(size_t bytes);
    ~SparseBuffer();
    SparseBuffer(const SparseBuffer&) = delete;
    SparseBuffer& operator=(const SparseBuffer&) = delete;

    bool valid() const { return data_ != nullptr; }
    uint8_t* data() { return data_; }
    size_t size() const { return size_; }

private:
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

}  // namespace kc_oracle
