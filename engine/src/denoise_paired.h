// Paired weights: in a call that covers both pixels of a pair, the weight of
// q as a candidate of x is also the weight of x as a candidate of q, so it is
// looked up once and added to both pixels' sums.
//
// Why the bytes cannot change. The distance of two unclamped 3-channel patches
// is symmetric, so both pixels get the weight the reference gives them. What
// changes is the order of the double additions, and it is harmless exactly
// when every partial sum is exact:
//   - every table entry a pixel can use (index < tableLength) is +-0 or lies
//     in [2^-11, 1]. A float there has 24 significant bits and an exponent of
//     at least -11, so it is an integer multiple of 2^-34, and so is its
//     product with a byte (at most 32 significant bits: exact in a double);
//   - a pixel has at most (2s+1)^2 candidates, each adding at most 255 to its
//     numerator and at most 1 to its denominator. With (2s+1)^2 * 255 < 2^19
//     (s <= 22) every partial sum, in whatever order or grouping it is formed,
//     is an integer multiple of 2^-34 below 2^19: an integer below 2^53 times
//     a power of two, which a double holds exactly. Each addition of two
//     such values whose exact sum is again such a value is exact;
//   - so every order gives the exact real sums, which are the reference's
//     sums; a zero weight adds an exact zero, and a sum of only zeros starts
//     and stays +0 as in the reference. The finishing step sees the same two
//     doubles and writes the same bytes.
// Patch extents shrink near the image edges, where the distance is no longer
// symmetric: only pixels whose own patch and every candidate's patch are
// whole take part (see PairedGeometry); the rest stay on the unpaired paths.
#pragma once

#include <cstdint>

#include "denoise_call.h"

namespace kc {

// Largest search radius the exactness argument allows: (2s+1)^2 * 255 < 2^19.
constexpr int32_t kPairedMaxSearch = 22;

// True when every entry below length is +-0 or in [2^-11, 1] (NaN fails).
[[nodiscard]] bool PairedTableFits(const float* table, int32_t length);

// The pixels a paired pass finishes and the ones it reads. Rows firstRow..
// lastRow and columns firstColumn..lastColumn are finished; their weights come
// from source pixels in rows firstRow-s..lastRow and columns
// firstColumn-s..lastColumn+s, whose candidates all have whole patches.
struct PairedGeometry {
    int32_t firstRow, lastRow, firstColumn, lastColumn;
};

// The finished rectangle of rows [rowFrom, rowTo] for patch p and search s in
// a width x height image; empty (lastRow < firstRow or lastColumn <
// firstColumn) when no pixel qualifies.
[[nodiscard]] PairedGeometry PairedRectangle(int32_t rowFrom, int32_t rowTo, int32_t width,
                                             int32_t height, int32_t p, int32_t s);

#if defined(__x86_64__) || defined(__i386__)
// Computes and finishes (through f) every pixel of the rectangle g, which must
// come from PairedRectangle, with AVX2. The caller has checked the table.
void PairedSumsAvx2(const DenoiseCall& c, const Finish& f, const PairedGeometry& g);
#endif

}  // namespace kc
