// Timed cases on a photo the caller supplies, at the settings people use:
//   calmora-bench --kc_photo=FILE.ppm --kc_suggest
// prints the program's noise estimate of the photo and the intensity it
// suggests for s = 2, 5 and 12, one line each:
//   suggest s=S intensity=I noise=SIGMA
// and
//   calmora-bench --kc_photo=FILE.ppm --kc_cases=S:INTENSITY:MODE[,...] [--kc_repeat=N]
// MODE is "rows" (the program's full run, one call per row, as the dialog
// makes it) or "whole" (one call for the whole image, as the batch tool can).
// Each case prints one line
//   photo s=S intensity=I mode=M ms=BEST mps=RATE cpu-ms=CPU cpu-mps=CPURATE
// with the best of N runs (other work on the machine only ever slows a run):
// wall time, and the process's processor time, which other work inflates
// much less on a shared machine; with one thread the two rates measure the
// same work.
#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "KcDenoise.h"
#include "bench_image.h"
#include "denoise_run/noise_estimate.h"
#include "denoise_run/row_run.h"
#include "denoise_run/weight_table.h"
#include "imagefiles/row_stride.h"

namespace bench {
namespace {

using Clock = std::chrono::steady_clock;

struct Photo {
    int32_t width = 0, height = 0;
    std::vector<uint8_t> bits;  // bottom-up BGR rows, 4-byte aligned
};

// Binary PPM, maxval 255, no comments after the header's first line.
bool ReadPpm(const char* path, Photo& photo) {
    FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    int w = 0, h = 0, maxval = 0;
    const bool header = std::fscanf(f, "P6 %d %d %d", &w, &h, &maxval) == 3 && maxval == 255 &&
                        w > 0 && h > 0 && std::fgetc(f) != EOF;
    if (!header) {
        std::fclose(f);
        return false;
    }
    photo.width = w;
    photo.height = h;
    const int64_t stride = calmora::RowStride(w);
    photo.bits.assign(static_cast<size_t>(stride * h), 0);
    std::vector<uint8_t> line(static_cast<size_t>(w) * 3);
    bool ok = true;
    for (int32_t y = h - 1; y >= 0 && ok; --y) {
        ok = std::fread(line.data(), 1, line.size(), f) == line.size();
        uint8_t* row = photo.bits.data() + y * stride;
        for (int32_t x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) row[3 * x + c] = line[3 * x + 2 - c];
    }
    std::fclose(f);
    return ok;
}

double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec * 1e-6;
}

// Wall milliseconds of one run, -1 when the run did not complete; cpuMs gets
// the processor time.
double RunOnce(const Photo& photo, int16_t search, int16_t intensity, bool rows,
               std::vector<uint8_t>& out, double& cpuMs) {
    const double c0 = CpuMs();
    const auto t0 = Clock::now();
    if (rows) {
        calmora::RunSettings settings;
        settings.sigma = intensity;
        settings.radius = search;
        const calmora::RunResult r = calmora::RunFullDenoise(
            settings, {photo.bits.data(), out.data(), photo.width, photo.height}, {});
        if (r.end != calmora::RunEnd::Completed) return -1;
    } else {
        const std::vector<float> table = calmora::BuildWeightTable(intensity);
        const DenoiseJob job{0, photo.height - 1, photo.width, photo.height,
                             calmora::WeightTableLength(intensity)};
        const DenoiseParams params{1, search, 0, 0};
        KcDenoiseCompleta(&job, &params, photo.bits.data(), out.data(), table.data(), nullptr);
    }
    cpuMs = CpuMs() - c0;
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

}  // namespace

int RunPhotoCases(const char* ppm, const char* cases, int repeat) {
    Photo photo;
    if (!ReadPpm(ppm, photo)) {
        std::fprintf(stderr, "calmora-bench: cannot read %s as a binary PPM\n", ppm);
        return 1;
    }
    if (std::strcmp(cases, "suggest") == 0) {
        const calmora::NoiseEstimate noise =
            calmora::EstimateNoise(photo.bits.data(), photo.width, photo.height);
        for (int16_t s : {2, 5, 12})
            std::printf("suggest s=%d intensity=%d noise=%.2f\n", s,
                        calmora::SuggestedIntensity(noise, s), noise.Mean());
        return 0;
    }
    std::vector<uint8_t> out(photo.bits.size());
    std::string list = cases;
    size_t at = 0;
    while (at <= list.size()) {
        const size_t end = std::min(list.find(',', at), list.size());
        const std::string item = list.substr(at, end - at);
        at = end + 1;
        if (item.empty()) continue;
        int s = 0, intensity = 0;
        char mode[16] = {};
        if (std::sscanf(item.c_str(), "%d:%d:%15s", &s, &intensity, mode) != 3 ||
            (std::strcmp(mode, "rows") != 0 && std::strcmp(mode, "whole") != 0) || s < 0 ||
            s > 48 || intensity < calmora::kMinIntensity || intensity > calmora::kMaxIntensity) {
            std::fprintf(stderr, "calmora-bench: bad case '%s'\n", item.c_str());
            return 1;
        }
        const bool rows = std::strcmp(mode, "rows") == 0;
        double best = -1, bestCpu = -1;
        for (int i = 0; i < std::max(1, repeat); ++i) {
            double cpu = 0;
            const double ms = RunOnce(photo, static_cast<int16_t>(s),
                                      static_cast<int16_t>(intensity), rows, out, cpu);
            if (ms < 0) return 1;
            best = best < 0 ? ms : std::min(best, ms);
            bestCpu = bestCpu < 0 ? cpu : std::min(bestCpu, cpu);
        }
        const double kilopixels = photo.width * double(photo.height) * 1e-3;
        std::printf("photo s=%d intensity=%d mode=%s ms=%.2f mps=%.4f cpu-ms=%.2f cpu-mps=%.4f\n",
                    s, intensity, mode, best, kilopixels / best, bestCpu, kilopixels / bestCpu);
        std::fflush(stdout);
    }
    return 0;
}

}  // namespace bench
