// Colour noise: does denoising colour apart from luminance beat the RGB mode?
//
//   calmora-noise-colour DATA_DIR [RADIUS] [OUT_DIR] [mappings]
//
// On each calibration photo (noise_photos.h) with the camera-like noise and
// with Gaussian noise of sigma 15, every scheme gets its best settings by
// PSNR (a search over whole intensities per setting, one setting at a time,
// twice round), and prints PSNR and the RMSE of CIE Lab a*/b* there:
//   rgb        the program's RGB mode, one intensity
//   split      full-range YCrCb, luminance and colour each with its own intensity
//   chroma/2   as split, the colour channels denoised at half size and scaled back
//   chroma/4   the same at a quarter of the size
//   multi      split, then the colour's coarse mottle denoised at a quarter
//              of the size and only that change scaled back up (the
//              colour-noise mode's own computation, denoise_run/colour_noise_run.h)
//   (with a fourth argument "mappings": rgb, split and candidate mappings
//   of the mode's one colour setting only, tied/N the coarse intensity at
//   N/6 of the colour's, luma+coarse the colour at the luminance's and the
//   setting the coarse one)
//   mode       multi as the program offers it: the coarse intensity tied to
//              the colour strength (denoise_run/colour_strength.h), the
//              strength searched at the split's luminance
// All use the program's full run (radius RADIUS, default 5, 3 x 3 patches).
// With OUT_DIR the clean and noisy photos are written there as PPM for the
// peer comparison (bench/noise_colour_opencv.py).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "denoise_run/colour_noise_run.h"
#include "denoise_run/plane_scaling.h"
#include "denoise_run/ycrcb.h"
#include "imagefiles/row_stride.h"
#include "noise_photos.h"

namespace {

using bench::Photo;
using calmora::Planes;

size_t Stride(int32_t width) { return static_cast<size_t>(calmora::RowStride(width)); }

// The largest value of f over whole numbers from 1 to 200, f having one peak.
int BestOf(const std::function<double(int)>& f, int start, std::map<int, double>& memo) {
    auto at = [&](int i) {
        i = std::clamp(i, 1, 200);
        auto known = memo.find(i);
        if (known != memo.end()) return known->second;
        return memo[i] = f(i);
    };
    int low = std::max(1, start / 2), high = std::min(200, start * 2 + 4);
    while (high < 200 && at(high) > at(high - std::max(1, high / 8))) high = std::min(200, high * 2);
    while (low > 1 && at(low) > at(low + std::max(1, low / 8))) low = std::max(1, low / 2);
    while (high - low > 2) {
        const int a = low + (high - low) / 3, b = high - (high - low) / 3;
        if (at(a) < at(b)) low = a;
        else high = b;
    }
    int best = low;
    for (int i = low; i <= high; ++i)
        if (at(i) > at(best)) best = i;
    return best;
}

Photo Named(std::vector<uint8_t> bits, const Photo& like) {
    Photo p;
    p.name = like.name;
    p.width = like.width;
    p.height = like.height;
    p.bits = std::move(bits);
    return p;
}

calmora::RunSettings At(int intensity, int16_t radius) {
    calmora::RunSettings s;
    s.sigma = static_cast<int16_t>(intensity);
    s.radius = radius;
    return s;
}

struct Result {
    std::string scheme, settings;
    double psnr = 0, ab = 0;
};

class Schemes {
public:
    Schemes(const Photo& clean, const Photo& noisy, int16_t radius)
        : clean_(clean), noisy_(noisy), radius_(radius),
          planes_(calmora::PictureToPlanes(noisy.bits.data(), noisy.width, noisy.height)),
          planesPhoto_(Named(calmora::PlanesAsPicture(planes_), noisy)) {}

    Result Rgb() {
        std::map<int, double> memo;
        auto f = [&](int i) { return bench::Psnr(bench::Denoise(noisy_, At(i, radius_)), clean_); };
        const int best = BestOf(f, 40, memo);
        const Photo out = bench::Denoise(noisy_, At(best, radius_));
        return {"rgb", "intensity " + std::to_string(best), bench::Psnr(out, clean_),
                bench::LabAbRmse(out, clean_)};
    }

    // factor 1: colour at full size.
    Result Split(int factor) {
        int luma = 40, colour = 40;
        for (int round = 0; round < 2; ++round) {
            std::map<int, double> lumaMemo, colourMemo;
            luma = BestOf([&](int i) { return Psnr(Combine(i, colour, factor)); }, luma, lumaMemo);
            colour =
                BestOf([&](int i) { return Psnr(Combine(luma, i, factor)); }, colour, colourMemo);
        }
        if (factor == 1) {
            lastLuma = luma;
            lastColour = colour;
        }
        const Photo out = Combine(luma, colour, factor);
        // The split is the mode's run without its coarse pass, to the bit.
        if (factor == 1 && out.bits != Mode(luma, colour, 0).bits) {
            std::fprintf(stderr, "the split and the colour-noise mode disagree\n");
            std::exit(4);
        }
        const std::string name = factor == 1 ? "split" : "chroma/" + std::to_string(factor);
        return {name, "luminance " + std::to_string(luma) + " colour " + std::to_string(colour),
                Psnr(out), bench::LabAbRmse(out, clean_)};
    }

    // Colour denoised at full size (the split's best settings), then what is
    // left of the coarse mottle: the colour shrunk to a quarter, denoised
    // there, and the change it made scaled back up and added. This is the
    // colour-noise mode's own run with each pass's intensity set apart.
    Result MultiScale(int luma, int colour) {
        std::map<int, double> memo;
        const int coarse =
            BestOf([&](int i) { return Psnr(Mode(luma, colour, i)); }, 10, memo);
        const Photo out = Mode(luma, colour, coarse);
        return {"multi", "luminance " + std::to_string(luma) + " colour " + std::to_string(colour) +
                             " coarse " + std::to_string(coarse),
                Psnr(out), bench::LabAbRmse(out, clean_)};
    }

    // The mode as the program offers it: one colour strength for both
    // colour passes, the luminance at the split's best.
    Result Offered(int luma) {
        calmora::RunSettings s = At(luma, radius_);
        s.colourNoise = true;
        const auto run = [&](int strength) {
            s.colourStrength = static_cast<int16_t>(strength);
            return bench::Denoise(noisy_, s);
        };
        std::map<int, double> memo;
        const int strength = BestOf([&](int i) { return Psnr(run(i)); }, 20, memo);
        const Photo out = run(strength);
        return {"mode", "luminance " + std::to_string(luma) + " strength " +
                            std::to_string(strength),
                Psnr(out), bench::LabAbRmse(out, clean_)};
    }
    // A candidate for the mode's one colour setting: colour and coarse
    // intensities as functions of it, the setting searched at the split's
    // luminance (the study behind denoise_run/colour_strength.cpp).
    Result Mapped(const std::string& name, int luma,
                  const std::function<std::pair<int, int>(int)>& mapping) {
        const auto run = [&](int setting) {
            const auto [colour, coarse] = mapping(setting);
            return Mode(luma, std::min(colour, 200), std::min(coarse, 200));
        };
        std::map<int, double> memo;
        const int best = BestOf([&](int i) { return Psnr(run(i)); }, 20, memo);
        const Photo out = run(best);
        return {name, "luminance " + std::to_string(luma) + " setting " + std::to_string(best),
                Psnr(out), bench::LabAbRmse(out, clean_)};
    }

    // The split's best settings, for MultiScale.
    int lastLuma = 0, lastColour = 0;

private:
    double Psnr(const Photo& p) const { return bench::Psnr(p, clean_); }

    Photo Mode(int luma, int colour, int coarse) const {
        calmora::ColourNoiseJob job;
        job.intensities = {static_cast<int16_t>(luma), static_cast<int16_t>(colour),
                           static_cast<int16_t>(coarse)};
        job.radius = radius_;
        Photo out = Named(std::vector<uint8_t>(noisy_.bits.size(), 0), noisy_);
        const calmora::FullRunImage image{noisy_.bits.data(), out.bits.data(), out.width,
                                          out.height};
        if (calmora::RunColourNoiseJob(job, image, {}).end != calmora::RunEnd::Completed) {
            std::fprintf(stderr, "colour-noise run refused\n");
            std::exit(3);
        }
        return out;
    }

    const Planes& Denoised(const Photo& source, int intensity, std::map<int, Planes>& cache) {
        auto known = cache.find(intensity);
        if (known == cache.end()) {
            const Photo out = bench::Denoise(source, At(intensity, radius_));
            known = cache
                        .emplace(intensity,
                                 calmora::PictureAsPlanes(out.bits.data(), out.width, out.height))
                        .first;
        }
        return known->second;
    }

    // The split at full size (factor 1) is the mode without its coarse pass;
    // at 2 or 4 the colour is denoised at that fraction of the size instead.
    Photo Combine(int luma, int colour, int factor) {
        Planes out = planes_;
        out.y = Denoised(planesPhoto_, luma, full_).y;
        if (factor == 1) {
            const Planes& c = Denoised(planesPhoto_, colour, full_);
            out.cr = c.cr;
            out.cb = c.cb;
        } else {
            auto& small = small_[factor];
            if (small.photo.bits.empty()) {
                small.planes = calmora::ShrinkPlanes(planes_, factor);
                small.photo = Named(calmora::PlanesAsPicture(small.planes), noisy_);
                small.photo.width = small.planes.width;
                small.photo.height = small.planes.height;
            }
            const Planes& c = Denoised(small.photo, colour, small.cache);
            out.cr = calmora::EnlargePlane(c.cr, small.planes.width, small.planes.height, factor,
                                           out.width, out.height);
            out.cb = calmora::EnlargePlane(c.cb, small.planes.width, small.planes.height, factor,
                                           out.width, out.height);
        }
        return Named(calmora::PlanesToPicture(out), clean_);
    }

    struct Small {
        Planes planes;
        Photo photo;
        std::map<int, Planes> cache;
    };

    const Photo& clean_;
    const Photo& noisy_;
    int16_t radius_;
    Planes planes_;
    Photo planesPhoto_;
    std::map<int, Planes> full_;
    std::map<int, Small> small_;
};

bool WritePpm(const Photo& p, const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::fprintf(f, "P6\n%d %d\n255\n", p.width, p.height);
    for (int32_t r = p.height - 1; r >= 0; --r)
        for (int32_t x = 0; x < p.width; ++x) {
            const uint8_t* px = p.bits.data() + r * Stride(p.width) + 3 * x;
            const uint8_t rgb[3] = {px[2], px[1], px[0]};
            std::fwrite(rgb, 1, 3, f);
        }
    return std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DATA_DIR [RADIUS] [OUT_DIR] [mappings]\n", argv[0]);
        return 1;
    }
    const auto radius = static_cast<int16_t>(argc > 2 ? std::atoi(argv[2]) : 5);
    const std::string outDir = argc > 3 ? argv[3] : "";
    const bool mappings = argc > 4 && std::string(argv[4]) == "mappings";
    std::printf("photo,noise,scheme,settings,psnr,lab_ab_rmse\n");
    uint32_t seed = 100;
    for (const Photo& clean : bench::LoadCalibrationPhotos(argv[1]))
        for (const char* noise : {"camera", "gauss15"}) {
            const Photo noisy = std::string(noise) == "camera"
                                    ? bench::WithCameraNoise(clean, seed++)
                                    : bench::WithGaussianNoise(clean, 15.0, seed++);
            if (!outDir.empty()) {
                WritePpm(clean, outDir + "/" + clean.name + "-clean.ppm");
                WritePpm(noisy, outDir + "/" + clean.name + "-" + noise + ".ppm");
            }
            std::printf("%s,%s,noisy,,%.3f,%.3f\n", clean.name.c_str(), noise,
                        bench::Psnr(noisy, clean), bench::LabAbRmse(noisy, clean));
            Schemes schemes(clean, noisy, radius);
            std::vector<Result> results = {schemes.Rgb(), schemes.Split(1)};
            if (mappings) {
                const int luma = schemes.lastLuma;
                for (int sixths : {3, 6, 10})
                    results.push_back(schemes.Mapped(
                        "tied/" + std::to_string(sixths), luma, [sixths](int s) {
                            return std::pair<int, int>(s, (s * sixths + 3) / 6);
                        }));
                results.push_back(schemes.Mapped("luma+coarse", luma, [luma](int s) {
                    return std::pair<int, int>(luma, s);
                }));
                for (const Result& r : results)
                    std::printf("%s,%s,%s,%s,%.3f,%.3f\n", clean.name.c_str(), noise,
                                r.scheme.c_str(), r.settings.c_str(), r.psnr, r.ab);
                std::fflush(stdout);
                continue;
            }
            results.push_back(schemes.MultiScale(schemes.lastLuma, schemes.lastColour));
            results.push_back(schemes.Offered(schemes.lastLuma));
            results.push_back(schemes.Split(2));
            results.push_back(schemes.Split(4));
            for (const Result& r : results)
                std::printf("%s,%s,%s,%s,%.3f,%.3f\n", clean.name.c_str(), noise,
                            r.scheme.c_str(), r.settings.c_str(), r.psnr, r.ab);
            std::fflush(stdout);
        }
    return 0;
}
