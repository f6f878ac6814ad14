#include "fast_path_cases.h"

#include <cmath>

#include "denoise_run/weight_table.h"

namespace fast_path {

using kc_calls::IsOut;
using kc_calls::IsPerChannel;
using kc_oracle::FirstDifference;
using kc_oracle::GuardAt;
using kc_oracle::GuardedBuffer;
using kc_oracle::ImageBytes;
using kc_oracle::Rng;

std::vector<float> WideTable(int32_t length, uint64_t seed) {
    Rng rng(seed);
    std::vector<float> t(static_cast<size_t>(length));
    for (auto& v : t) v = std::ldexp(1.0f + rng.Float01(), rng.Int(-60, 60));
    return t;
}

Case WholeImage(int32_t width, int32_t height, int16_t search) {
    Case k;
    k.width = width;
    k.height = height;
    k.lastRow = height - 1;
    k.search = search;
    return k;
}

void UseProgramTable(Case& k, int16_t sigma) {
    k.table = calmora::BuildWeightTable(sigma);
    k.tableLength = calmora::WeightTableLength(sigma);
}

void UseRandomTable(Case& k, int32_t length, uint64_t seed, double zeroShare) {
    k.tableLength = length;
    k.table = kc_oracle::RandomTable(length, seed, zeroShare);
}

namespace {

std::string Describe(const Case& k) {
    return "width " + std::to_string(k.width) + " height " + std::to_string(k.height) +
           " rows " + std::to_string(k.firstRow) + ".." + std::to_string(k.lastRow) + " p " +
           std::to_string(k.patch) + " s " + std::to_string(k.search) + " N " +
           std::to_string(k.tableLength) + " form " + std::to_string(static_cast<int>(k.form)) +
           " view " + std::to_string(k.viewChannel) + " noise " + std::to_string(k.wantNoise) +
           " seed " + std::to_string(k.seed);
}

struct Buffers {
    GuardedBuffer denoised, noise, viewDenoised, viewNoise;
    explicit Buffers(size_t bytes, GuardAt at)
        : denoised(bytes, 0x5A, at), noise(bytes, 0x6B, at), viewDenoised(bytes, 0x7C, at),
          viewNoise(bytes, 0x8D, at) {}
};

// The export of the case's form; what it returns is not the point here.
void CallLibrary(const Case& k, const DenoiseJob& job, const DenoiseParams& params,
                 const uint8_t* src, Buffers& b) {
    (void)kc_calls::CallExport(k.form, job, params, src, k.table.data(), k.factors,
                               {b.denoised.data(), b.noise.data(), b.viewDenoised.data(),
                                b.viewNoise.data()});
}

}  // namespace

std::string Check(const Case& k, bool rowByRow, GuardAt at) {
    const size_t bytes = ImageBytes(k.width, k.height);
    GuardedBuffer src(bytes, 0, at);
    kc_oracle::FillNoisyImage(src.data(), k.width, k.height, k.seed, k.amplitude);
    const DenoiseParams params{k.patch, k.search, k.wantNoise, k.viewChannel};
    DenoiseJob job{k.firstRow, k.lastRow, k.width, k.height, k.tableLength};

    Buffers lib(bytes, at), want(bytes, at);
    if (rowByRow) {
        for (int32_t y = k.firstRow; y <= k.lastRow; ++y) {
            DenoiseJob row = job;
            row.firstRow = row.lastRow = y;
            CallLibrary(k, row, params, src.data(), lib);
        }
    } else {
        CallLibrary(k, job, params, src.data(), lib);
    }
    kc_oracle::OracleDenoise(job, params, src.data(), want.denoised.data(), k.table.data(),
                             want.noise.data(), IsPerChannel(k.form) ? &k.factors : nullptr,
                             IsOut(k.form) ? want.viewDenoised.data() : nullptr,
                             IsOut(k.form) ? want.viewNoise.data() : nullptr);

    const struct {
        const char* name;
        GuardedBuffer* expected;
        GuardedBuffer* actual;
    } planes[] = {{"denoised", &want.denoised, &lib.denoised},
                  {"noise", &want.noise, &lib.noise},
                  {"viewDenoised", &want.viewDenoised, &lib.viewDenoised},
                  {"viewNoise", &want.viewNoise, &lib.viewNoise}};
    for (const auto& plane : planes) {
        const std::string diff = FirstDifference(plane.expected->data(), plane.actual->data(),
                                                 k.width, k.height, /*withPadding=*/true);
        if (!diff.empty()) return std::string(plane.name) + ": " + diff + " (" + Describe(k) + ")";
    }
    return {};
}

}  // namespace fast_path
