// The synthetic photo every benchmark times.
#include "bench_image.h"

#include <cmath>
#include <cstdio>

#include "denoise_run/weight_table.h"
#include "imagefiles/row_stride.h"

namespace bench {

// Smooth shapes plus noise of about sigma 12, from a fixed formula and a
// fixed generator, so every tool times the same bytes.
const std::vector<uint8_t>& Image() {
    static const std::vector<uint8_t> image = [] {
        std::vector<uint8_t> buf(static_cast<size_t>(calmora::RowStride(kWidth) * kHeight), 0);
        uint64_t state = 0x243F6A8885A308D3ull;
        auto uniform = [&state] {
            state = state * 6364136223846793005ull + 1442695040888963407ull;
            return static_cast<double>(state >> 11) * (1.0 / 9007199254740992.0);
        };
        for (int32_t y = 0; y < kHeight; ++y)
            for (int32_t x = 0; x < kWidth; ++x)
                for (int c = 0; c < 3; ++c) {
                    const double shape = 128.0 + 70.0 * std::sin(x / (41.0 + 7 * c)) *
                                                     std::cos(y / (57.0 - 5 * c)) +
                                         30.0 * ((x / 160 + y / 120) % 2 ? 1 : -1);
                    const double noise =
                        (uniform() + uniform() + uniform() + uniform() - 2.0) * 20.8;
                    const long v = std::lround(shape + noise);
                    buf[static_cast<size_t>(y * calmora::RowStride(kWidth) + 3 * x + c)] =
                        static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
                }
        return buf;
    }();
    return image;
}

const std::vector<float>& Table() {
    static const std::vector<float> table = calmora::BuildWeightTable(kSigma);
    return table;
}

int32_t TableLength() { return calmora::WeightTableLength(kSigma); }

bool WritePpm(const char* path) {
    FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    std::fprintf(f, "P6\n%d %d\n255\n", kWidth, kHeight);
    const auto& img = Image();
    std::vector<uint8_t> line(static_cast<size_t>(kWidth) * 3);
    // PPM is top-down RGB; buffer row 0 is the bottom line, bytes are BGR.
    for (int32_t y = kHeight - 1; y >= 0; --y) {
        const uint8_t* row = img.data() + y * calmora::RowStride(kWidth);
        for (int32_t x = 0; x < kWidth; ++x)
            for (int c = 0; c < 3; ++c) line[3 * x + c] = row[3 * x + 2 - c];
        std::fwrite(line.data(), 1, line.size(), f);
    }
    return std::fclose(f) == 0;
}

}  // namespace bench
