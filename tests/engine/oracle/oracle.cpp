#include "oracle.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sstream>
#include <utility>

namespace kc_oracle {

int64_t Stride(int32_t width) { return (int64_t{width} * 3 + 3) / 4 * 4; }

size_t ImageBytes(int32_t width, int32_t height) {
    return static_cast<size_t>(Stride(width) * int64_t{height});
}

namespace {

// Truncated toward zero, then the low 8 bits. Anything no integer can hold
// becomes 0; no valid call produces such a value.
uint8_t LowByteOfTruncation(double v) {
    if (std::isnan(v) || v <= -9.0e18 || v >= 9.0e18) return 0;
    const long long whole = static_cast<long long>(std::trunc(v));
    return static_cast<uint8_t>(whole & 0xFF);
}

struct Image {
    const uint8_t* bytes;
    int64_t stride;
    int at(int x, int y, int c) const {
        return bytes[int64_t{y} * stride + int64_t{x} * 3 + c];
    }
};

}  // namespace

void OracleDenoise(const DenoiseJob& job, const DenoiseParams& params, const uint8_t* src,
                   uint8_t* denoised, const float* table, uint8_t* noise,
                   const ChannelFactors* factorsOrNull, uint8_t* viewDenoisedOrNull,
                   uint8_t* viewNoiseOrNull) {
    const int W = job.width;
    const int H = job.height;
    const int N = job.tableLength;
    const int p = params.patchRadius;
    const int s = params.searchRadius;
    const bool wantNoise = params.wantNoise > 0;
    const bool outForm = viewDenoisedOrNull != nullptr;
    const Image img{src, Stride(W)};

    float factor[3] = {1, 1, 1};
    float oneMinusFactor[3] = {0, 0, 0};
    if (factorsOrNull) {
        factor[0] = factorsOrNull->blue;
        factor[1] = factorsOrNull->green;
        factor[2] = factorsOrNull->red;
        for (int c = 0; c < 3; c++) oneMinusFactor[c] = 1.0f - factor[c];
    }

    for (int y = job.firstRow; y <= job.lastRow; y++) {
        for (int x = 0; x < W; x++) {
            // Step 1: search window clamped to the image.
            const int up = std::min(s, y);
            const int down = std::min(s, H - 1 - y);
            const int left = std::min(s, x);
            const int right = std::min(s, W - 1 - x);

            // Step 2: patch extents around the output pixel.
            int pUp = std::min(p, y);
            int pDown = std::min(p, H - 1 - y);
            int pLeft = std::min(p, x);
            int pRight = std::min(p, W - 1 - x);

            double numerator[3] = {0, 0, 0};
            double denominator[3] = {0, 0, 0};

            for (int cy = y - up; cy <= y + down; cy++) {
                // Step 3: shrink, never grow, at the start of each candidate row.
                if (cy - pUp < 0) {
                    pUp = cy;
                } else if (cy + pDown > H - 1) {
                    pDown = H - 1 - cy;
                }
                for (int cx = x - left; cx <= x + right; cx++) {
                    // Step 4: the same for columns, per candidate.
                    if (cx - pLeft < 0) {
                        pLeft = cx;
                    } else if (cx + pRight > W - 1) {
                        pRight = W - 1 - cx;
                    }
                    // Step 5: per-channel sums of squared differences.
                    long long dist[3] = {0, 0, 0};
                    for (int dy = -pUp; dy <= pDown; dy++) {
                        for (int dx = -pLeft; dx <= pRight; dx++) {
                            for (int c = 0; c < 3; c++) {
                                const int a = img.at(x + dx, y + dy, c);
                                const int b = img.at(cx + dx, cy + dy, c);
                                dist[c] += (a - b) * (a - b);
                            }
                        }
                    }
                    // Step 6: table weight for the channels under the cut-off.
                    for (int c = 0; c < 3; c++) {
                        if (dist[c] < N) {
                            const float w = table[dist[c]];
                            numerator[c] += double(w) * double(img.at(cx, cy, c));
                            denominator[c] += double(w);
                        }
                    }
                }
            }

            // Step 7 (and the per-channel blend), step 8, step 9.
            uint8_t out[3];
            uint8_t nz[3];
            for (int c = 0; c < 3; c++) {
                const int source = img.at(x, y, c);
                if (denominator[c] == 0.0) {
                    // Only reachable when the table contract is broken.
                    out[c] = static_cast<uint8_t>(source);
                } else {
                    const double mean = numerator[c] / denominator[c];
                    if (factorsOrNull == nullptr || factor[c] >= 1.0f) {
                        out[c] = LowByteOfTruncation(mean);
                    } else {
                        const double blended = double(oneMinusFactor[c]) * double(source) +
                                               double(factor[c]) * mean;
                        out[c] = LowByteOfTruncation(blended);
                    }
                }
                nz[c] = static_cast<uint8_t>((source - out[c] + 256) % 256);
            }

            const int64_t at = int64_t{y} * img.stride + int64_t{x} * 3;
            for (int c = 0; c < 3; c++) denoised[at + c] = out[c];
            if (wantNoise) {
                for (int c = 0; c < 3; c++) noise[at + c] = nz[c];
            }
            if (!outForm) continue;

            int pick;  // byte copied into all three, or -1 for the whole pixel
            switch (params.viewChannel) {
                case 0: pick = -1; break;
                case 1: pick = 2; break;  // red
                case 2: pick = 1; break;  // green
                case 3: pick = 0; break;  // blue
                default: continue;        // no display copies at all
            }
            for (int c = 0; c < 3; c++) viewDenoisedOrNull[at + c] = out[pick < 0 ? c : pick];
            if (wantNoise) {
                for (int c = 0; c < 3; c++) viewNoiseOrNull[at + c] = nz[pick < 0 ? c : pick];
            }
        }
    }
}

// splitmix64
uint64_t Rng::Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

int32_t Rng::Int(int32_t lo, int32_t hi) {
    const uint64_t span = static_cast<uint64_t>(int64_t{hi} - lo) + 1;
    return static_cast<int32_t>(lo + static_cast<int64_t>(Next() % span));
}

float Rng::Float01() { return static_cast<float>(Next() >> 40) / static_cast<float>(1 << 24); }

void FillRandom(uint8_t* buf, size_t bytes, uint64_t seed, uint8_t lo, uint8_t hi) {
    Rng rng(seed);
    for (size_t i = 0; i < bytes; i++) buf[i] = static_cast<uint8_t>(rng.Int(lo, hi));
}

void FillNoisyImage(uint8_t* buf, int32_t width, int32_t height, uint64_t seed, int amplitude,
                    uint8_t padByte) {
    Rng rng(seed);
    const int64_t stride = Stride(width);
    const int base[3] = {rng.Int(40, 215), rng.Int(40, 215), rng.Int(40, 215)};
    const int slopeX[3] = {rng.Int(-3, 3), rng.Int(-3, 3), rng.Int(-3, 3)};
    const int slopeY[3] = {rng.Int(-3, 3), rng.Int(-3, 3), rng.Int(-3, 3)};
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            for (int c = 0; c < 3; c++) {
                int v = base[c] + (slopeX[c] * x + slopeY[c] * y) / 4 +
                        rng.Int(-amplitude, amplitude);
                v = v < 0 ? 0 : (v > 255 ? 255 : v);
                buf[y * stride + x * 3 + c] = static_cast<uint8_t>(v);
            }
        }
    }
    FillPadding(buf, width, height, padByte);
}

void FillPadding(uint8_t* buf, int32_t width, int32_t height, uint8_t value) {
    const int64_t stride = Stride(width);
    for (int y = 0; y < height; y++)
        for (int64_t i = int64_t{width} * 3; i < stride; i++) buf[y * stride + i] = value;
}

std::vector<float> RandomTable(int32_t length, uint64_t seed, double zeroShare) {
    Rng rng(seed);
    std::vector<float> t(static_cast<size_t>(length > 0 ? length : 0));
    for (size_t i = 0; i < t.size(); i++) {
        if (i > 0 && rng.Float01() < zeroShare) {
            t[i] = 0.0f;
        } else {
            // Never 0 here: entry 0 must be positive.
            t[i] = (rng.Float01() + 1.0f / 4096) * 0.999f;
        }
    }
    return t;
}

std::string FirstDifference(const uint8_t* expected, const uint8_t* actual, int32_t width,
                            int32_t height, int64_t stride, bool withPadding) {
    const int64_t rowBytes = withPadding ? stride : int64_t{width} * 3;
    for (int64_t y = 0; y < height; y++) {
        for (int64_t i = 0; i < rowBytes; i++) {
            const uint8_t e = expected[y * stride + i];
            const uint8_t a = actual[y * stride + i];
            if (e == a) continue;
            std::ostringstream m;
            if (i < int64_t{width} * 3) {
                m << "first difference at row " << y << ", column " << i / 3 << ", channel "
                  << i % 3 << " (" << (i % 3 == 0 ? "blue" : i % 3 == 1 ? "green" : "red")
                  << ")";
            } else {
                m << "first difference in the padding of row " << y << ", byte " << i;
            }
            m << ": expected " << int(e) << ", got " << int(a) << " (image " << width << "x"
              << height << ")";
            return m.str();
        }
    }
    return {};
}

std::string FirstDifference(const uint8_t* expected, const uint8_t* actual, int32_t width,
                            int32_t height, bool withPadding) {
    return FirstDifference(expected, actual, width, height, Stride(width), withPadding);
}

std::string PaddingDifference(const uint8_t* buf, int32_t width, int32_t height, uint8_t value) {
    const int64_t stride = Stride(width);
    for (int64_t y = 0; y < height; y++) {
        for (int64_t i = int64_t{width} * 3; i < stride; i++) {
            if (buf[y * stride + i] != value) {
                std::ostringstream m;
                m << "padding byte " << i << " of row " << y << " changed from " << int(value)
                  << " to " << int(buf[y * stride + i]);
                return m.str();
            }
        }
    }
    return {};
}

GuardedBuffer::GuardedBuffer(size_t bytes, uint8_t fill, GuardAt at) {
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    const size_t usable = (bytes + page - 1) / page * page;
    mapBytes_ = usable + page;
    map_ = mmap(nullptr, mapBytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (map_ == MAP_FAILED) {
        map_ = nullptr;
        mapBytes_ = 0;
        throw std::bad_alloc();
    }
    uint8_t* base = static_cast<uint8_t*>(map_);
    uint8_t* guard = at == GuardAt::End ? base + usable : base;
    if (mprotect(guard, page, PROT_NONE) != 0) {
        munmap(map_, mapBytes_);
        map_ = nullptr;
        mapBytes_ = 0;
        throw std::bad_alloc();
    }
    size_ = bytes;
    data_ = at == GuardAt::End ? base + usable - bytes : base + page;
    std::memset(data_, fill, bytes);
}

GuardedBuffer::~GuardedBuffer() { Release(); }

GuardedBuffer::GuardedBuffer(GuardedBuffer&& other) noexcept { *this = std::move(other); }

GuardedBuffer& GuardedBuffer::operator=(GuardedBuffer&& other) noexcept {
    if (this != &other) {
        Release();
        std::swap(map_, other.map_);
        std::swap(mapBytes_, other.mapBytes_);
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
    }
    return *this;
}

void GuardedBuffer::Release() {
    if (map_) munmap(map_, mapBytes_);
    map_ = nullptr;
    mapBytes_ = 0;
    data_ = nullptr;
    size_ = 0;
}

SparseBuffer::SparseBuffer(size_t bytes) {
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED) return;
    data_ = static_cast<uint8_t*>(p);
    size_ = bytes;
}

SparseBuffer::~SparseBuffer() {
    if (data_) munmap(data_, size_);
}

}  // namespace kc_oracle
