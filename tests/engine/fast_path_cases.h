// One fast-path case: an image, a band of rows, radii, a table, a form and
// its factors; run through the library and the oracle on guarded buffers and
// compared bit for bit. Shared by the fast-path and paired-pass tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "KcDenoise.h"
#include "denoise_calls.h"
#include "oracle.h"

namespace fast_path {

using kc_calls::Form;

// Weights spread over 2^-60 .. 2^60: the double sums then round differently
// for almost any change of adding order, which an order-preserving path must
// not show.
std::vector<float> WideTable(int32_t length, uint64_t seed);

// The defaults are what most fixed cases share; each case sets what it is about.
struct Case {
    int32_t width = 0, height = 0, firstRow = 0, lastRow = -1;
    int16_t patch = 1, search = 0, wantNoise = 1, viewChannel = 0;
    std::vector<float> table;
    int32_t tableLength = 0;
    ChannelFactors factors{1.0f, 1.0f, 1.0f};
    Form form = Form::Completa;
    uint64_t seed = 0;
    int amplitude = 20;
};

// Every row of a width x height image, searched with radius search.
Case WholeImage(int32_t width, int32_t height, int16_t search);
// The program's table for intensity sigma, with its cut-off.
void UseProgramTable(Case& k, int16_t sigma);
// A random table of length entries (kc_oracle::RandomTable).
void UseRandomTable(Case& k, int32_t length, uint64_t seed, double zeroShare);

// Runs one case through the library (rowByRow: one call per row, as the
// program does) and the oracle; returns the first difference, or empty.
std::string Check(const Case& k, bool rowByRow = false,
                  kc_oracle::GuardAt at = kc_oracle::GuardAt::End);

}  // namespace fast_path
