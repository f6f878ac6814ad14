// What the header guard's format readers share: a bounded byte source over a
// file or a memory block, byte-order readers, refusals and the size rule.
// Internal to the guard (image_guard.cpp and image_guard_jpeg.cpp).
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "imagefiles/image_guard.h"

namespace calmora::guard {

// Sequential reader with seeking over a file or a memory block. Reads past the
// end simply come back short, so every parser below treats "short" as
// "truncated" and never trusts a length it has not been able to read.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual size_t Read(uint8_t* out, size_t count) = 0;
    virtual bool Seek(uint64_t offset) = 0;
    [[nodiscard]] virtual uint64_t Tell() const = 0;
    [[nodiscard]] virtual uint64_t Size() const = 0;

    int Byte() {
        uint8_t b = 0;
        return Read(&b, 1) == 1 ? b : -1;
    }
    bool ReadAll(uint8_t* out, size_t count) { return Read(out, count) == count; }
    bool Skip(uint64_t count) {
        const uint64_t here = Tell();
        if (count > Size() - here) {
            Seek(Size());
            return false;
        }
        return Seek(here + count);
    }
};

class MemorySource final : public ByteSource {
public:
    MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    size_t Read(uint8_t* out, size_t count) override {
        const size_t n = count < size_ - pos_ ? count : size_ - pos_;
        if (n > 0) std::memcpy(out, data_ + pos_, n);
        pos_ += n;
        return n;
    }
    bool Seek(uint64_t offset) override {
        if (offset > size_) return false;
        pos_ = static_cast<size_t>(offset);
        return true;
    }
    [[nodiscard]] uint64_t Tell() const override { return pos_; }
    [[nodiscard]] uint64_t Size() const override { return size_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

class FileSource final : public ByteSource {
public:
    explicit FileSource(std::FILE* file) : file_(file) {
        if (fseeko(file_, 0, SEEK_END) == 0) {
            const off_t end = ftello(file_);
            size_ = end > 0 ? static_cast<uint64_t>(end) : 0;
        }
        fseeko(file_, 0, SEEK_SET);
    }
    size_t Read(uint8_t* out, size_t count) override {
        const size_t n = std::fread(out, 1, count, file_);
        pos_ += n;
        return n;
    }
    bool Seek(uint64_t offset) override {
        if (offset > size_ || fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0) return false;
        pos_ = offset;
        return true;
    }
    [[nodiscard]] uint64_t Tell() const override { return pos_; }
    [[nodiscard]] uint64_t Size() const override { return size_; }

private:
    std::FILE* file_;
    uint64_t size_ = 0;
    uint64_t pos_ = 0;
};

inline uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
inline uint32_t Be32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}
inline uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[1] << 8 | p[0]); }
inline uint32_t Le32(const uint8_t* p) {
    return uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
}

inline GuardVerdict Refuse(std::string reason, uint32_t width = 0, uint32_t height = 0,
                    GuardOutcome outcome = GuardOutcome::kMalformed) {
    GuardVerdict verdict;
    verdict.outcome = outcome;
    verdict.width = width;
    verdict.height = height;
    verdict.reason = std::move(reason);
    return verdict;
}

// The size rule every format shares. Refusing here, before FreeImage sees
// the file, is what keeps a forged header from costing any memory at all.
inline GuardVerdict CheckSize(uint64_t width, uint64_t height, const char* what = "image") {
    const uint32_t w = width > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(width);
    const uint32_t h = height > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(height);
    if (width == 0 || height == 0) {
        return Refuse(std::string(what) + " has no pixels", w, h, GuardOutcome::kTooLarge);
    }
    if (width > kGuardMaxSide || height > kGuardMaxSide || width * height > kGuardMaxPixels) {
        return Refuse(std::string(what) + " claims " + std::to_string(width) + "x" +
                          std::to_string(height) + " pixels, more than the program opens",
                      w, h, GuardOutcome::kTooLarge);
    }
    GuardVerdict verdict;
    verdict.outcome = GuardOutcome::kAccepted;
    verdict.width = w;
    verdict.height = h;
    return verdict;
}

// A JPEG stream's headers (image_guard_jpeg.cpp); nesting counts the
// thumbnails it sits in.
GuardVerdict InspectJpeg(ByteSource& in, int nesting);

}  // namespace calmora::guard
