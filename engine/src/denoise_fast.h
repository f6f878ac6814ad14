// Offset-major interior kernels of the filter.
//
// A kernel computes the weighted sums of a run of output pixels of one row
// whose patch is never clamped sideways (x-s-p >= 0 and x+s+p <= W-1), on any
// row. Channels are independent and interleaved, so the run is treated as
// 3*n byte lanes whose horizontal neighbours are 3 bytes apart. Candidates are
// visited one offset at a time over the whole run, rows ascending and columns
// ascending, so every lane adds its terms in exactly the order the reference
// does, whatever the table holds.
#pragma once

#include <cstddef>
#include <cstdint>

#include "denoise_call.h"

namespace kc {

// Largest patch radius the kernels take; the 32-bit distance of a patch of
// (2p+1)^2 pixels stays below 2^31 well beyond it.
constexpr int32_t kFastMaxPatch = 8;
// Output pixels per pass; the sums of one pass stay in the first-level cache.
constexpr int32_t kFastTilePixels = 96;

struct RowGeometry {
    int32_t y;       // output row
    int32_t up;      // candidate rows y-up .. y+down
    int32_t down;
    int32_t pUp;     // patch rows above: fixed by the first candidate row, then kept
};

// Patch rows below the pixel for candidate row cy. The scan only ever shrinks
// the extent, so once the candidates pass the output row it follows them down.
inline int32_t PatchDown(int32_t p, int32_t H, int32_t y, int32_t cy) {
    const int32_t lowest = cy > y ? cy : y;
    const int32_t room = H - 1 - lowest;
    return room < p ? room : p;
}

inline RowGeometry MakeRowGeometry(int32_t y, int32_t H, int32_t p, int32_t s) {
    RowGeometry g;
    g.y = y;
    g.up = s < y ? s : y;
    g.down = s < H - 1 - y ? s : H - 1 - y;
    const int32_t firstRow = y - g.up;
    g.pUp = p < firstRow ? p : firstRow;
    return g;
}

// Sums of n pixels starting at column x0 of row g.y; num and den hold 3*n
// lanes each and are overwritten.
using InteriorKernel = void (*)(const DenoiseCall& c, const RowGeometry& g, int32_t x0,
                                int32_t n, double* num, double* den);

void InteriorSumsGeneric(const DenoiseCall& c, const RowGeometry& g, int32_t x0, int32_t n,
                         double* num, double* den);
#if defined(__x86_64__) || defined(__i386__)
void InteriorSumsSse2(const DenoiseCall& c, const RowGeometry& g, int32_t x0, int32_t n,
                      double* num, double* den);
void InteriorSumsAvx2(const DenoiseCall& c, const RowGeometry& g, int32_t x0, int32_t n,
                      double* num, double* den);
void BorderSumsAvx2(const DenoiseCall& c, const RowGeometry& g, int32_t x0, int32_t n,
                    double* num, double* den);
#endif

// Sums of n pixels starting at column x0 of row g.y, for any pixels, those
// near the left and right edges included (at most kFastTilePixels).
void BorderSums(const DenoiseCall& c, const RowGeometry& g, int32_t x0, int32_t n, double* num,
                double* den);

// The best kernels this processor runs (see kernel_choice.cpp): for the
// interior, and for any pixels (used at the left and right edges).
InteriorKernel SelectInteriorKernel();
InteriorKernel SelectBorderKernel();

// True when the AVX2 kernels are the chosen ones (the paired pass needs them).
bool Avx2KernelsChosen();
// Whether the AVX2 kernels look up 8 weights with one gather rather than 8
// single loads (KCDENOISE_LOOKUP, else by processor); both give the same bits.
bool GatherLookupsChosen();

}  // namespace kc
