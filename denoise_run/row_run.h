// The denoise run loop shared by the dialog and the batch tool.
//
// A run computes one buffer row per engine call, bottom row (0) first, and
// asks its caller before every row whether to go on. That is what keeps the
// window responsive and the stop button effective: the dialog lets pending
// events run and moves its progress bar inside the callback, and returns
// false once the user pressed stop or closed the dialog. The row being
// computed is always finished; rows already computed stay written.
//
// The weight table is built at the start of each run and freed at its end.
// The engine form follows the factors: whole-pixel when all three are
// exactly 1, per-channel otherwise (see run_settings.h).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "denoise_run/run_settings.h"

namespace calmora {

enum class RunEnd {
    Completed,  // every row was computed
    Stopped,    // the callback returned false before some row
    NotRun,     // the settings allow no run (CanRun false, intensity above
                // kMaxIntensity, negative radius) or a buffer is missing; nothing written
    OutOfMemory,  // the colour-noise mode could not get its work buffers; nothing written
};

struct RunResult {
    RunEnd end = RunEnd::NotRun;
    int32_t rowsDone = 0;  // rows 0..rowsDone-1 are written
};

// Called before row `row` (0..height-1) is computed; false stops the run there.
using BeforeRow = std::function<bool(int32_t row, int32_t height)>;

// Buffers of the full run, all in the shared 24-bit layout and of one size.
struct FullRunImage {
    const uint8_t* source = nullptr;  // read only; must not be destination
    uint8_t* destination = nullptr;
    int32_t width = 0;
    int32_t height = 0;
};

// Whether a full run of these settings on these buffers can go
// (RunnableSettings, both buffers there and apart, no negative size).
[[nodiscard]] bool FullRunAccepts(const RunSettings& settings, const FullRunImage& image);

// The engine calls of a full run in the RGB mode: the weight table, the
// records and the engine form are made once, then rows are computed into the
// destination a call at a time (the dialog one row a call, the batch tool
// bands). The settings and buffers must pass FullRunAccepts.
class FullRunRows {
public:
    FullRunRows(const RunSettings& settings, const FullRunImage& image);
    // Rows firstRow..lastRow in one engine call; no noise image is made.
    void Compute(int32_t firstRow, int32_t lastRow);

private:
    FullRunImage image_;
    std::vector<float> table_;
    DenoiseJob job_;
    DenoiseParams params_;
    ChannelFactors factors_;
    bool whole_;
};

// Denoises source into destination with KcDenoiseCompleta or
// KcDenoisePerCanale, one row per call. No noise image is made.
// beforeRow may be empty (the run then never stops). In the colour-noise
// mode the run is RunColourNoiseFull's.
[[nodiscard]] RunResult RunFullDenoise(const RunSettings& settings, const FullRunImage& image,
                                       const BeforeRow& beforeRow);

// Buffers of the preview, all of the preview area's size.
struct PreviewImage {
    const uint8_t* source = nullptr;   // copy of the area; must not be any output
    uint8_t* denoised = nullptr;       // colour result
    uint8_t* noise = nullptr;          // colour removed noise
    // Grey pictures of the chosen channel; needed whenever viewChannel can be
    // non-zero. Without them such a row gets no display copy and rowDone is
    // told channel -1.
    uint8_t* channelDenoised = nullptr;
    uint8_t* channelNoise = nullptr;
    int32_t width = 0;
    int32_t height = 0;
};

struct PreviewHooks {
    BeforeRow beforeRow;  // may be empty
    // Read before every row: 0 colour, 1 red, 2 green, 3 blue. With 0 the
    // display copies go straight into denoised/noise, otherwise into the
    // channel pair. Empty means colour.
    std::function<int16_t()> viewChannel;
    // After each row, to show it; viewChannel is the value used for that row,
    // so the caller knows which pair of buffers holds the row to show.
    std::function<void(int32_t row, int16_t viewChannel)> rowDone;
};

// Denoises the preview area with KcDenoiseCompletaOUT or KcDenoisePerCanaleOUT,
// one row per call, writing the noise image too.
[[nodiscard]] RunResult RunPreviewDenoise(const RunSettings& settings, const PreviewImage& image,
                                          const PreviewHooks& hooks);

}  // namespace calmora
