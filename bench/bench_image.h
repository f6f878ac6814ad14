// The synthetic noisy photo and weight table shared by the benchmarks, built
// from fixed formulas so that every tool and every run times the same bytes.
#pragma once

#include <cstdint>
#include <vector>

namespace bench {

constexpr int32_t kWidth = 2000, kHeight = 1500;
constexpr int kSigma = 15;

inline int64_t Stride(int32_t width) { return (int64_t{width} * 3 + 3) & ~int64_t{3}; }

// Bottom-up BGR rows, 4-byte aligned, as the engine takes them.
const std::vector<uint8_t>& Image();

// The table the program builds for intensity kSigma.
const std::vector<float>& Table();

// Writes Image() as a top-down binary PPM.
bool WritePpm(const char* path);

// Times one call per row against one call for the whole image, in
// alternating pairs, and prints a line per radius. Returns 0 on success.
int RunRowOverhead(int pairs);

}  // namespace bench
