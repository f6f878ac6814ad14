// The batch tool's full run: the dialog's result in calls of many rows.
//
// The dialog computes one row per engine call so that its window stays
// responsive. The batch tool has no window, so it hands the engine bands of
// rows: a call over many rows lets the engine take each weight once for both
// pixels of a pair. The engine writes the same bytes whatever rows a call
// covers, so the result is the dialog's. Bands are sized so that one takes a
// fraction of a second, which keeps the progress bar moving and lets an
// interrupt stop the run between bands.
#pragma once

#include <cstdint>

#include "denoise_run/row_run.h"

namespace calmora::cli {

// Rows per band for an image of this width at this search radius when the
// engine has this many threads: about kBandVisitsPerThread candidate visits a
// thread, but no fewer than 8 rows a unit of radius (16 at least), where the
// rows the engine repeats at the start of a band cost little.
[[nodiscard]] int32_t BandRows(int32_t width, int32_t radius, unsigned threads);

// As RunFullDenoise, bands of BandRows rows bottom up; beforeRow is asked
// before each band with the band's first row, and a false stops the run there
// (rowsDone then says how far it got). In the colour-noise mode the run is
// RunColourNoiseFull's, asked before each of its steps.
[[nodiscard]] RunResult RunFullDenoiseInBands(const RunSettings& settings,
                                              const FullRunImage& image,
                                              const BeforeRow& beforeRow);

// The same with bands of bandRows rows (at least 1).
[[nodiscard]] RunResult RunFullDenoiseInBands(const RunSettings& settings,
                                              const FullRunImage& image,
                                              const BeforeRow& beforeRow, int32_t bandRows);

}  // namespace calmora::cli
