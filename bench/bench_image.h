// The synthetic noisy photo and weight table shared by the benchmarks, built
// from fixed formulas so that every tool and every run times the same bytes.
#pragma once

#include <cstdint>
#include <vector>

namespace bench {

constexpr int32_t kWidth = 2000, kHeight = 1500;
constexpr int16_t kSigma = 15;

// Bottom-up BGR rows, 4-byte aligned, as the engine takes them.
const std::vector<uint8_t>& Image();

// The table the program builds for intensity kSigma, and its cut-off
// (DenoiseJob.tableLength).
const std::vector<float>& Table();
int32_t TableLength();

// Writes Image() as a top-down binary PPM.
bool WritePpm(const char* path);

// Times one call per row against one call for the whole image, in
// alternating pairs, and prints a line per radius. Returns 0 on success.
int RunRowOverhead(int pairs);

// Times the cases listed in `cases` on the photo in `ppm` (see photo_cases.cpp).
int RunPhotoCases(const char* ppm, const char* cases, int repeat);
// lookup_bound.cpp: the look-ups' and adds' time per lane at these intensities.
int RunLookupBound(const char* intensities);

}  // namespace bench
