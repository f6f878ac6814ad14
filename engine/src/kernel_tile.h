// The set-up every offset-major kernel shares: what it reads from the call,
// the start of one tile of a run, a candidate row's patch rows, and the one
// lane at a time sums of the vector kernels' tails.
//
// Included by translation units built for different processors (plain,
// SSE2, and AVX2). Everything here therefore sits in an anonymous
// namespace: each unit gets its own copy, compiled with its own flags. With
// external linkage the linker would keep one copy of each inline function
// for all units, and the plain kernel could end up running code built with
// AVX2 on a processor without it.
#pragma once

#include <algorithm>
#include <cstdint>

#include "denoise_fast.h"

namespace kc {
namespace {

// What a kernel reads from the call besides the patch radius, which a kernel
// may know at compile time.
struct KernelInputs {
    int32_t height;  // H
    int32_t cutOff;  // N: distances at or past it add nothing
    int32_t search;  // s
    int64_t stride;  // bytes from one row to the next
    const float* table;
};

inline KernelInputs ReadInputs(const DenoiseCall& c) {
    return {c.job->height, c.job->tableLength, c.params->searchRadius, RowStride(c.job->width),
            c.table};
}

// One tile of a run: `pixels` output pixels from pixel t of the run that
// starts at column x0, with patch radius p.
struct Tile {
    int32_t lanes;     // 3 byte lanes a pixel
    int32_t sumLanes;  // lanes -3p .. lanes+3p, whose column sums the patches need
    double* nu;        // the tile's numerators and denominators, zeroed
    double* de;
    const uint8_t* base;  // the tile's first byte in row 0
};

inline Tile StartTile(const DenoiseCall& c, int32_t x0, int32_t t, int32_t pixels, int32_t p,
                      double* num, double* den) {
    Tile k;
    k.lanes = 3 * pixels;
    k.sumLanes = k.lanes + 6 * p;
    k.nu = num + 3 * int64_t{t};
    k.de = den + 3 * int64_t{t};
    std::fill(k.nu, k.nu + k.lanes, 0.0);
    std::fill(k.de, k.de + k.lanes, 0.0);
    k.base = c.source + 3 * (int64_t{x0} + t);
    return k;
}

// The patch rows of output row g.y and candidate row cy, from 3p bytes left
// of the tile: rows outTop[r * stride] and candTop[r * stride], r < rows.
struct PatchRows {
    const uint8_t* outTop;
    const uint8_t* candTop;
    const uint8_t* candRow;  // the candidate row itself, at the tile's first byte
    int32_t rows;
};

inline PatchRows CandidatePatchRows(const uint8_t* base, const RowGeometry& g, int32_t cy,
                                    int32_t p, int32_t height, int64_t stride) {
    PatchRows r;
    r.outTop = base + (g.y - g.pUp) * stride - 3 * p;
    r.candTop = base + (cy - g.pUp) * stride - 3 * p;
    r.candRow = base + cy * stride;
    r.rows = g.pUp + PatchDown(p, height, g.y, cy) + 1;
    return r;
}

// Sum over the patch rows of the squared differences of lane j, the
// candidate shifted by `shift` lanes.
inline int32_t ColumnSum(const PatchRows& r, int64_t stride, int32_t j, int32_t shift) {
    int32_t acc = 0;
    for (int32_t row = 0; row < r.rows; ++row) {
        const int32_t diff = r.outTop[row * stride + j] - r.candTop[row * stride + j + shift];
        acc += diff * diff;
    }
    return acc;
}

// One lane's term for one candidate: the patch distance from 2p+1 column
// sums 3 lanes apart, and, under the cut-off, the weighted adds in the
// reference's order.
inline void AddLaneTerm(const int32_t* sums, int32_t p, const KernelInputs& in, double value,
                        double& nu, double& de) {
    int32_t d = 0;
    for (int32_t k = 0; k <= 2 * p; ++k) d += sums[3 * k];
    if (d >= in.cutOff) return;
    const double w = in.table[d];
    nu += w * value;
    de += w;
}

}  // namespace
}  // namespace kc
