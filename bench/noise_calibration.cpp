// Calibrates and checks the suggested intensity (denoise_run/noise_estimate.h).
//
//   calmora-noise-calibration sweep DATA_DIR RADIUS
//       For each calibration photo and noise (Gaussian sigma 5..40 and the
//       camera-like mix): the noise estimate, the intensity of best PSNR found
//       by a search over whole intensities, the PSNR there and at the
//       suggestion of SuggestedIntensity. One CSV line each, then a summary.
//   calmora-noise-calibration time [WIDTH HEIGHT]
//       Times EstimateNoise on a noisy synthetic photo (default 6000 x 4000),
//       best of 7, on the calling thread.
//
// DATA_DIR is scikit-image's data folder, as scripts/fetch-test-data.sh
// unpacks it: <testdata>/python3-skimage/usr/lib/python3/dist-packages/skimage/data.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>

#include "denoise_run/noise_estimate.h"
#include "imagefiles/row_stride.h"
#include "noise_photos.h"

namespace {

using bench::Photo;

struct Sweep {
    int bestIntensity = 0;
    double bestPsnr = 0;
    std::map<int, double> psnr;  // every intensity tried
};

double PsnrAt(const Photo& clean, const Photo& noisy, int16_t radius, int intensity,
              Sweep& sweep) {
    intensity = std::clamp(intensity, int{calmora::kMinIntensity}, int{calmora::kMaxIntensity});
    const auto known = sweep.psnr.find(intensity);
    if (known != sweep.psnr.end()) return known->second;
    calmora::RunSettings s;
    s.sigma = static_cast<int16_t>(intensity);
    s.radius = radius;
    const double psnr = bench::Psnr(bench::Denoise(noisy, s), clean);
    sweep.psnr[intensity] = psnr;
    if (psnr > sweep.bestPsnr) {
        sweep.bestPsnr = psnr;
        sweep.bestIntensity = intensity;
    }
    return psnr;
}

// PSNR against intensity rises to one peak and falls: bracket the peak by
// growing steps from `start`, then narrow the bracket to one whole intensity.
Sweep FindBest(const Photo& clean, const Photo& noisy, int16_t radius, int start) {
    Sweep sweep;
    auto f = [&](int i) { return PsnrAt(clean, noisy, radius, i, sweep); };
    int low = std::max(1, start), high = low;
    double here = f(low);
    int step = std::max(1, low / 4);
    while (low > 1 && f(std::max(1, low - step)) > here) {  // walk down
        high = low;
        low = std::max(1, low - step);
        here = f(low);
        step = std::max(1, step * 5 / 4);
    }
    if (high == low) {  // walk up
        int up = low + step;
        while (up <= calmora::kMaxIntensity && f(up) > here) {
            low = high == low ? std::max(1, low) : high;
            high = up;
            here = f(up);
            step = std::max(1, step * 5 / 4);
            up = high + step;
        }
        low = std::max(1, high - step);
        high = std::min<int>(calmora::kMaxIntensity, high + step);
    } else {
        low = std::max(1, low - step);
    }
    // Ternary search on whole numbers inside [low, high].
    while (high - low > 2) {
        const int a = low + (high - low) / 3, b = high - (high - low) / 3;
        if (f(a) < f(b))
            low = a;
        else
            high = b;
    }
    for (int i = low; i <= high; ++i) f(i);
    return sweep;
}

// Root mean square of noisy - clean over the three channels.
double AddedSigma(const Photo& clean, const Photo& noisy) {
    double sum = 0;
    const size_t stride = static_cast<size_t>(calmora::RowStride(clean.width));
    for (int32_t y = 0; y < clean.height; ++y)
        for (int32_t i = 0; i < 3 * clean.width; ++i) {
            const double d = double(noisy.bits[y * stride + i]) - clean.bits[y * stride + i];
            sum += d * d;
        }
    return std::sqrt(sum / (3.0 * clean.width * clean.height));
}

int RunSweep(const std::string& dir, int16_t radius) {
    const std::vector<Photo> photos = bench::LoadCalibrationPhotos(dir);
    std::printf("photo,noise,true_sigma,est_red,est_green,est_blue,est_mean,best_intensity,"
                "best_psnr,noisy_psnr,suggested,suggested_psnr,loss\n");
    double lossSum = 0, lossWorst = 0, errSum = 0, errWorst = 0;
    int count = 0, gaussian = 0;
    const double levels[] = {5, 10, 15, 20, 30, 40, 0};  // 0: the camera-like mix
    uint32_t seed = 1;
    for (const Photo& clean : photos)
        for (double level : levels) {
            const Photo noisy = level > 0 ? bench::WithGaussianNoise(clean, level, seed++)
                                          : bench::WithCameraNoise(clean, seed++);
            const calmora::NoiseEstimate e =
                calmora::EstimateNoise(noisy.bits.data(), noisy.width, noisy.height);
            const int suggested = calmora::SuggestedIntensity(e, radius);
            Sweep sweep = FindBest(clean, noisy, radius, suggested);
            const double atSuggestion = PsnrAt(clean, noisy, radius, suggested, sweep);
            const double loss = sweep.bestPsnr - atSuggestion;
            const double trueSigma = level > 0 ? level : AddedSigma(clean, noisy);
            std::printf("%s,%s,%.2f,%.2f,%.2f,%.2f,%.2f,%d,%.3f,%.3f,%d,%.3f,%.3f\n",
                        clean.name.c_str(), level > 0 ? "gauss" : "camera", trueSigma, e.red,
                        e.green, e.blue, e.Mean(), sweep.bestIntensity, sweep.bestPsnr,
                        bench::Psnr(noisy, clean), suggested, atSuggestion, loss);
            std::fflush(stdout);
            lossSum += loss;
            lossWorst = std::max(lossWorst, loss);
            ++count;
            if (level > 0) {
                const double err = e.Mean() - level;
                errSum += std::abs(err);
                errWorst = std::max(errWorst, std::abs(err));
                ++gaussian;
            }
        }
    std::printf("# radius %d: PSNR loss of the suggestion, mean %.3f dB, worst %.3f dB over %d "
                "cases; estimator |error| on Gaussian noise, mean %.2f, worst %.2f levels\n",
                radius, lossSum / count, lossWorst, count, errSum / gaussian, errWorst);
    return 0;
}

int RunTime(int32_t width, int32_t height) {
    Photo p;
    p.width = width;
    p.height = height;
    p.bits.assign(static_cast<size_t>(calmora::RowStride(width)) * height, 0);
    std::mt19937 random(7);
    std::normal_distribution<double> normal(0.0, 12.0);
    const size_t stride = static_cast<size_t>(calmora::RowStride(width));
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) {
                const double base = 128 + 60 * std::sin(x * 0.003 + c) * std::cos(y * 0.002);
                p.bits[y * stride + 3 * x + c] =
                    static_cast<uint8_t>(std::clamp(std::lround(base + normal(random)), 1L, 254L));
            }
    double best = 1e9;
    calmora::NoiseEstimate e;
    for (int i = 0; i < 7; ++i) {
        const auto start = std::chrono::steady_clock::now();
        e = calmora::EstimateNoise(p.bits.data(), width, height);
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    std::printf("EstimateNoise %d x %d (%.1f MP): best of 7 %.1f ms; %lld windows; sigma "
                "%.2f %.2f %.2f (true 12)\n",
                width, height, width * double(height) / 1e6, best,
                static_cast<long long>(e.samples), e.red, e.green, e.blue);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "sweep" && argc == 4)
        return RunSweep(argv[2], static_cast<int16_t>(std::atoi(argv[3])));
    if (mode == "time")
        return RunTime(argc > 3 ? std::atoi(argv[2]) : 6000, argc > 3 ? std::atoi(argv[3]) : 4000);
    std::fprintf(stderr, "usage: %s sweep DATA_DIR RADIUS | time [WIDTH HEIGHT]\n", argv[0]);
    return 1;
}
