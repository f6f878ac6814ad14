// Colour noise: does denoising colour apart from luminance beat the RGB mode?
//
//   calmora-noise-colour DATA_DIR [RADIUS] [OUT_DIR]
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
//              of the size and only that change scaled back up
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

#include "imagefiles/row_stride.h"
#include "noise_photos.h"

namespace {

using bench::Photo;

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

struct Planes {
    int32_t width = 0, height = 0;
    std::vector<double> y, cr, cb;
};

// Three empty planes of p's size.
Planes SizedLike(const Photo& p) {
    Planes q{p.width, p.height, {}, {}, {}};
    const size_t n = static_cast<size_t>(p.width) * p.height;
    q.y.resize(n);
    q.cr.resize(n);
    q.cb.resize(n);
    return q;
}

Planes ToYCrCb(const Photo& p) {
    Planes q = SizedLike(p);
    for (int32_t r = 0; r < p.height; ++r)
        for (int32_t x = 0; x < p.width; ++x) {
            const uint8_t* px = p.bits.data() + r * Stride(p.width) + 3 * x;
            const double b = px[0], g = px[1], red = px[2];
            const double y = 0.299 * red + 0.587 * g + 0.114 * b;
            const size_t i = static_cast<size_t>(r) * p.width + x;
            q.y[i] = y;
            q.cr[i] = (red - y) * 0.713 + 128.0;
            q.cb[i] = (b - y) * 0.564 + 128.0;
        }
    return q;
}

uint8_t Byte(double v) { return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

Photo FromYCrCb(const Planes& q, const std::string& name) {
    Photo p;
    p.name = name;
    p.width = q.width;
    p.height = q.height;
    p.bits.assign(Stride(q.width) * q.height, 0);
    for (int32_t r = 0; r < q.height; ++r)
        for (int32_t x = 0; x < q.width; ++x) {
            const size_t i = static_cast<size_t>(r) * q.width + x;
            uint8_t* px = p.bits.data() + r * Stride(q.width) + 3 * x;
            const double cr = q.cr[i] - 128.0, cb = q.cb[i] - 128.0;
            px[0] = Byte(q.y[i] + 1.773 * cb);
            px[1] = Byte(q.y[i] - 0.714 * cr - 0.344 * cb);
            px[2] = Byte(q.y[i] + 1.403 * cr);
        }
    return p;
}

// Planes as bytes in one photo (blue Cb, green Y, red Cr), so that the
// program's filter takes them; and back.
Photo PlanesAsPhoto(const Planes& q) {
    Photo p;
    p.width = q.width;
    p.height = q.height;
    p.bits.assign(Stride(q.width) * q.height, 0);
    for (int32_t r = 0; r < q.height; ++r)
        for (int32_t x = 0; x < q.width; ++x) {
            const size_t i = static_cast<size_t>(r) * q.width + x;
            uint8_t* px = p.bits.data() + r * Stride(q.width) + 3 * x;
            px[0] = Byte(q.cb[i]);
            px[1] = Byte(q.y[i]);
            px[2] = Byte(q.cr[i]);
        }
    return p;
}

Planes PhotoAsPlanes(const Photo& p) {
    Planes q = SizedLike(p);
    for (int32_t r = 0; r < p.height; ++r)
        for (int32_t x = 0; x < p.width; ++x) {
            const size_t i = static_cast<size_t>(r) * p.width + x;
            const uint8_t* px = p.bits.data() + r * Stride(p.width) + 3 * x;
            q.cb[i] = px[0];
            q.y[i] = px[1];
            q.cr[i] = px[2];
        }
    return q;
}

// Box average over factor x factor blocks (partial blocks at the edges).
Planes Shrink(const Planes& q, int factor) {
    Planes s;
    s.width = (q.width + factor - 1) / factor;
    s.height = (q.height + factor - 1) / factor;
    const size_t n = static_cast<size_t>(s.width) * s.height;
    s.y.assign(n, 0);
    s.cr.assign(n, 0);
    s.cb.assign(n, 0);
    std::vector<int> count(n, 0);
    for (int32_t r = 0; r < q.height; ++r)
        for (int32_t x = 0; x < q.width; ++x) {
            const size_t i = static_cast<size_t>(r) * q.width + x;
            const size_t j = static_cast<size_t>(r / factor) * s.width + x / factor;
            s.y[j] += q.y[i];
            s.cr[j] += q.cr[i];
            s.cb[j] += q.cb[i];
            ++count[j];
        }
    for (size_t j = 0; j < n; ++j) {
        s.y[j] /= count[j];
        s.cr[j] /= count[j];
        s.cb[j] /= count[j];
    }
    return s;
}

// Bilinear, pixel centres aligned, of a small plane to width x height.
std::vector<double> Enlarge(const std::vector<double>& small, int32_t sw, int32_t sh, int factor,
                            int32_t width, int32_t height) {
    std::vector<double> out(static_cast<size_t>(width) * height);
    for (int32_t r = 0; r < height; ++r) {
        const double fy = std::clamp((r + 0.5) / factor - 0.5, 0.0, sh - 1.0);
        const int32_t y0 = static_cast<int32_t>(fy), y1 = std::min(y0 + 1, sh - 1);
        const double wy = fy - y0;
        for (int32_t x = 0; x < width; ++x) {
            const double fx = std::clamp((x + 0.5) / factor - 0.5, 0.0, sw - 1.0);
            const int32_t x0 = static_cast<int32_t>(fx), x1 = std::min(x0 + 1, sw - 1);
            const double wx = fx - x0;
            auto v = [&](int32_t yy, int32_t xx) { return small[static_cast<size_t>(yy) * sw + xx]; };
            out[static_cast<size_t>(r) * width + x] =
                (1 - wy) * ((1 - wx) * v(y0, x0) + wx * v(y0, x1)) +
                wy * ((1 - wx) * v(y1, x0) + wx * v(y1, x1));
        }
    }
    return out;
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
        : clean_(clean), noisy_(noisy), radius_(radius), planes_(ToYCrCb(noisy)),
          planesPhoto_(PlanesAsPhoto(planes_)) {}

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
        const std::string name = factor == 1 ? "split" : "chroma/" + std::to_string(factor);
        return {name, "luminance " + std::to_string(luma) + " colour " + std::to_string(colour),
                Psnr(out), bench::LabAbRmse(out, clean_)};
    }

    // Colour denoised at full size (the split's best settings), then what is
    // left of the coarse mottle: the colour shrunk to a quarter, denoised
    // there, and the change it made scaled back up and added.
    Result MultiScale(int luma, int colour) {
        const Photo first = Combine(luma, colour, 1);
        const Planes firstPlanes = ToYCrCb(first);
        const Planes small = Shrink(firstPlanes, 4);
        const Photo smallPhoto = PlanesAsPhoto(small);
        std::map<int, Planes> cache;
        auto combine = [&](int coarse) {
            const Planes& c = Denoised(smallPhoto, coarse, cache);
            std::vector<double> dcr(c.cr.size()), dcb(c.cb.size());
            for (size_t i = 0; i < dcr.size(); ++i) {
                dcr[i] = c.cr[i] - small.cr[i];
                dcb[i] = c.cb[i] - small.cb[i];
            }
            Planes out = firstPlanes;
            const std::vector<double> ecr =
                Enlarge(dcr, small.width, small.height, 4, out.width, out.height);
            const std::vector<double> ecb =
                Enlarge(dcb, small.width, small.height, 4, out.width, out.height);
            for (size_t i = 0; i < out.cr.size(); ++i) {
                out.cr[i] += ecr[i];
                out.cb[i] += ecb[i];
            }
            return FromYCrCb(out, clean_.name);
        };
        std::map<int, double> memo;
        const int coarse = BestOf([&](int i) { return Psnr(combine(i)); }, 10, memo);
        const Photo out = combine(coarse);
        return {"multi", "luminance " + std::to_string(luma) + " colour " + std::to_string(colour) +
                             " coarse " + std::to_string(coarse),
                Psnr(out), bench::LabAbRmse(out, clean_)};
    }
    // The split's best settings, for MultiScale.
    int lastLuma = 0, lastColour = 0;

private:
    double Psnr(const Photo& p) const { return bench::Psnr(p, clean_); }

    const Planes& Denoised(const Photo& source, int intensity, std::map<int, Planes>& cache) {
        auto known = cache.find(intensity);
        if (known == cache.end())
            known = cache.emplace(intensity, PhotoAsPlanes(bench::Denoise(source, At(intensity, radius_))))
                        .first;
        return known->second;
    }

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
                small.planes = Shrink(planes_, factor);
                small.photo = PlanesAsPhoto(small.planes);
            }
            const Planes& c = Denoised(small.photo, colour, small.cache);
            out.cr = Enlarge(c.cr, small.planes.width, small.planes.height, factor, out.width,
                             out.height);
            out.cb = Enlarge(c.cb, small.planes.width, small.planes.height, factor, out.width,
                             out.height);
        }
        return FromYCrCb(out, clean_.name);
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
        std::fprintf(stderr, "usage: %s DATA_DIR [RADIUS] [OUT_DIR]\n", argv[0]);
        return 1;
    }
    const auto radius = static_cast<int16_t>(argc > 2 ? std::atoi(argv[2]) : 5);
    const std::string outDir = argc > 3 ? argv[3] : "";
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
            results.push_back(schemes.MultiScale(schemes.lastLuma, schemes.lastColour));
            results.push_back(schemes.Split(2));
            results.push_back(schemes.Split(4));
            for (const Result& r : results)
                std::printf("%s,%s,%s,%s,%.3f,%.3f\n", clean.name.c_str(), noise,
                            r.scheme.c_str(), r.settings.c_str(), r.psnr, r.ab);
            std::fflush(stdout);
        }
    return 0;
}
