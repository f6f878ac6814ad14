#include "denoise_run/colour_noise_region.h"

#include <algorithm>
#include <vector>

#include "KcDenoise.h"
#include "denoise_run/plane_scaling.h"
#include "denoise_run/run_settings.h"
#include "denoise_run/weight_table.h"
#include "denoise_run/ycrcb.h"
#include "imagefiles/row_stride.h"

namespace calmora {

namespace {

size_t Stride(int32_t width) { return static_cast<size_t>(RowStride(width)); }

// Byte offset of pixel (x, r) of `rect` in a buffer that holds `rect`'s size.
size_t Offset(const PixelRect& rect, int32_t x, int32_t r) {
    return static_cast<size_t>(r - rect.y0) * Stride(rect.Width()) +
           3 * static_cast<size_t>(x - rect.x0);
}

PixelRect Widened(const PixelRect& r, int32_t by, int32_t width, int32_t height) {
    return {std::max(0, r.x0 - by), std::max(0, r.y0 - by), std::min(width, r.x1 + by),
            std::min(height, r.y1 + by)};
}

// The windows a result window needs, outermost last.
struct Windows {
    PixelRect needed;      // shrunk pixels the result is interpolated from
    PixelRect shrunk;      // those and their search windows (shrunk picture)
    PixelRect firstPass;   // full-size pixels whose blocks make `shrunk`
    PixelRect context;     // those and their search windows (full size)
};

Windows WindowsFor(const PixelRect& out, int32_t width, int32_t height, int32_t margin,
                   bool coarse) {
    Windows w;
    if (!coarse) {
        w.firstPass = out;
    } else {
        const int32_t sw = ShrunkSize(width, kCoarseFactor), sh = ShrunkSize(height, kCoarseFactor);
        // BilinearAt reads from floor((x + 0.5) / 4 - 0.5) to one further:
        // one shrunk pixel either side of x / 4 covers it.
        w.needed = {std::max(0, out.x0 / kCoarseFactor - 1), std::max(0, out.y0 / kCoarseFactor - 1),
                    std::min(sw, (out.x1 - 1) / kCoarseFactor + 2),
                    std::min(sh, (out.y1 - 1) / kCoarseFactor + 2)};
        w.shrunk = Widened(w.needed, margin, sw, sh);
        w.firstPass = {w.shrunk.x0 * kCoarseFactor, w.shrunk.y0 * kCoarseFactor,
                       std::min(width, w.shrunk.x1 * kCoarseFactor),
                       std::min(height, w.shrunk.y1 * kCoarseFactor)};
    }
    w.context = Widened(w.firstPass, margin, width, height);
    return w;
}

class Steps {
public:
    Steps(const BeforeStep& before, int32_t total) : before_(before), total_(total) {}
    bool Next() { return !before_ || before_(done_++, total_); }

private:
    const BeforeStep& before_;
    int32_t total_;
    int32_t done_ = 0;
};

// One engine row of a whole-pixel run of `table`'s intensity.
void EngineRow(const uint8_t* source, uint8_t* destination, int32_t width, int32_t height,
               int32_t row, int16_t radius, int16_t intensity, const std::vector<float>& table) {
    DenoiseJob job{row, row, width, height, WeightTableLength(intensity)};
    const DenoiseParams params{kPatchRadius, radius, 0, 0};
    KcDenoiseCompleta(&job, &params, source, destination, table.data(), nullptr);
}

std::vector<float> TableOrEmpty(int16_t intensity) {
    return intensity > 0 ? BuildWeightTable(intensity) : std::vector<float>();
}

// The per-channel blend of the engine's per-channel form: the strength's
// share of the mode's result, the rest the source.
uint8_t Blend(float strength, uint8_t source, uint8_t value) {
    if (strength >= 1.0f) return value;
    const float keep = 1.0f - strength;
    return static_cast<uint8_t>(static_cast<int>(keep * source + strength * value));
}

// Luminance and colour at full size over w.firstPass, into work (context size).
bool FirstPass(const ColourNoiseJob& job, const uint8_t* picture, int32_t width,
               const Windows& w, uint8_t* work, Steps& steps) {
    const PixelRect& c = w.context;
    std::vector<uint8_t> planes(Stride(c.Width()) * static_cast<size_t>(c.Height()));
    for (int32_t r = c.y0; r < c.y1; ++r)
        for (int32_t x = c.x0; x < c.x1; ++x)
            PlanesPixel(ToYCrCb(picture + r * Stride(width) + 3 * static_cast<size_t>(x)),
                        planes.data() + Offset(c, x, r));
    const ColourNoiseIntensities& in = job.intensities;
    const std::vector<float> luminance = BuildWeightTable(in.luminance);
    // The whole-pixel engine call for the luminance also filters the colour
    // planes; at the same intensity it is the colour pass already, to the byte.
    const bool ownColourPass = in.colour > 0 && in.colour != in.luminance;
    const std::vector<float> colour = ownColourPass ? TableOrEmpty(in.colour) : std::vector<float>();
    std::vector<uint8_t> luminanceRow(static_cast<size_t>(c.Width()));
    for (int32_t r = w.firstPass.y0; r < w.firstPass.y1; ++r) {
        if (!steps.Next()) return false;
        const int32_t row = r - c.y0;
        EngineRow(planes.data(), work, c.Width(), c.Height(), row, job.radius, in.luminance,
                  luminance);
        for (int32_t x = w.firstPass.x0; x < w.firstPass.x1; ++x)
            luminanceRow[static_cast<size_t>(x - c.x0)] = work[Offset(c, x, r) + 1];
        if (ownColourPass)
            EngineRow(planes.data(), work, c.Width(), c.Height(), row, job.radius, in.colour,
                      colour);
        for (int32_t x = w.firstPass.x0; x < w.firstPass.x1; ++x) {
            const size_t at = Offset(c, x, r);
            // Without a colour pass the colour stays the source's, as levels.
            const uint8_t* colourPixel = in.colour > 0 ? work + at : planes.data() + at;
            const YCrCb value{double(luminanceRow[static_cast<size_t>(x - c.x0)]),
                              double(colourPixel[2]), double(colourPixel[0])};
            FromYCrCb(value, work + at);
        }
    }
    return true;
}

struct CoarseChange {
    std::vector<double> cr, cb;  // over w.shrunk; rows outside w.needed unused
};

// The colour's change by the coarse pass, over the shrunk window.
bool CoarsePass(const ColourNoiseJob& job, const Windows& w, const uint8_t* work,
                CoarseChange& change, Steps& steps) {
    const PixelRect& s = w.shrunk;
    BlockAverager average(kCoarseFactor, s.x0, s.y0, s.Width(), s.Height());
    for (int32_t r = w.firstPass.y0; r < w.firstPass.y1; ++r)
        for (int32_t x = w.firstPass.x0; x < w.firstPass.x1; ++x)
            average.Add(x, r, ToYCrCb(work + Offset(w.context, x, r)));
    const Planes small = average.Finish();
    const std::vector<uint8_t> smallPicture = PlanesAsPicture(small);
    std::vector<uint8_t> denoised(smallPicture.size(), 0);
    const std::vector<float> table = BuildWeightTable(job.intensities.coarse);
    for (int32_t r = w.needed.y0; r < w.needed.y1; ++r) {
        if (!steps.Next()) return false;
        EngineRow(smallPicture.data(), denoised.data(), s.Width(), s.Height(), r - s.y0,
                  job.radius, job.intensities.coarse, table);
    }
    change.cr.assign(small.cr.size(), 0.0);
    change.cb.assign(small.cb.size(), 0.0);
    for (int32_t r = w.needed.y0; r < w.needed.y1; ++r)
        for (int32_t x = w.needed.x0; x < w.needed.x1; ++x) {
            const size_t i = small.At(x - s.x0, r - s.y0);
            const uint8_t* px = denoised.data() + Offset(s, x, r);
            change.cr[i] = px[2] - small.cr[i];
            change.cb[i] = px[0] - small.cb[i];
        }
    return true;
}

}  // namespace

bool ComputeColourNoise(const ColourNoiseJob& job, const uint8_t* picture, int32_t width,
                        int32_t height, const PixelRect& out, uint8_t* result,
                        const BeforeStep& before) {
    const bool coarse = job.intensities.coarse > 0;
    const Windows w = WindowsFor(out, width, height, std::max<int32_t>(job.radius, 0) + kPatchRadius,
                                 coarse);
    const bool whole = out.x0 == 0 && out.y0 == 0 && out.Width() == width && out.Height() == height;
    std::vector<uint8_t> ownWork;
    if (!whole) ownWork.assign(Stride(w.context.Width()) * static_cast<size_t>(w.context.Height()), 0);
    uint8_t* work = whole ? result : ownWork.data();

    Steps steps(before, w.firstPass.Height() + (coarse ? w.needed.Height() : 0));
    if (!FirstPass(job, picture, width, w, work, steps)) return false;
    CoarseChange change;
    if (coarse && !CoarsePass(job, w, work, change, steps)) return false;

    const int32_t sw = ShrunkSize(width, kCoarseFactor), sh = ShrunkSize(height, kCoarseFactor);
    const PlaneWindow crChange{change.cr.data(), w.shrunk.x0, w.shrunk.y0, w.shrunk.Width()};
    const PlaneWindow cbChange{change.cb.data(), w.shrunk.x0, w.shrunk.y0, w.shrunk.Width()};
    const float strengths[3] = {job.blue, job.green, job.red};
    for (int32_t r = out.y0; r < out.y1; ++r)
        for (int32_t x = out.x0; x < out.x1; ++x) {
            uint8_t value[3];
            const uint8_t* first = work + Offset(w.context, x, r);
            if (coarse) {
                YCrCb c = ToYCrCb(first);
                c.cr += BilinearAt(crChange, sw, sh, kCoarseFactor, x, r);
                c.cb += BilinearAt(cbChange, sw, sh, kCoarseFactor, x, r);
                FromYCrCb(c, value);
            } else {
                std::copy_n(first, 3, value);
            }
            const uint8_t* source = picture + r * Stride(width) + 3 * static_cast<size_t>(x);
            uint8_t* into = result + Offset(out, x, r);
            for (int k = 0; k < 3; ++k) into[k] = Blend(strengths[k], source[k], value[k]);
        }
    return true;
}

}  // namespace calmora
