// calmora-bench: the denoise engine on a synthetic 2000x1500 noisy photo.
//
// The engine reads KCDENOISE_THREADS and KCDENOISE_FORCE_REFERENCE once per
// process (engine/src/engine_settings.h), so one run measures one configuration:
//   calmora-bench [--kc_threads=N] [--kc_reference] [benchmark flags]
// Each case reports MP/s (output megapixels per second) and the
// configuration it ran with. The reference path at large radii takes minutes
// over the whole image, so it is timed on a band of rows in the middle.
//   calmora-bench --kc_write_image=FILE  writes the image as binary PPM and exits.
//   calmora-bench --kc_photo=FILE.ppm --kc_cases=S:I:MODE,...  times cases on a
//     photo at chosen intensities (see photo_cases.cpp) and exits; with
//     --kc_suggest instead of --kc_cases it prints the suggested intensities.
//   calmora-bench --kc_row_overhead=PAIRS  times one call per row against one
//     whole-image call in alternating pairs (see row_overhead.cpp) and exits.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "KcDenoise.h"
#include "bench_image.h"
#include "engine_settings.h"
#include "imagefiles/row_stride.h"

using namespace bench;

namespace {

bool g_reference = false;
int g_threads = 0;

// Rows timed on the reference path: a band in the middle of the image.
int32_t ReferenceRows(int search) { return search <= 2 ? 48 : search <= 5 ? 16 : 4; }

// args: search radius, 0 = one call for all rows, 1 = one call per row.
void BM_Denoise(benchmark::State& state) {
    const int search = static_cast<int>(state.range(0));
    const bool rowByRow = state.range(1) != 0;
    const auto& src = Image();
    const auto& table = Table();
    std::vector<uint8_t> out(src.size()), noise(src.size());
    const int32_t rows = g_reference ? ReferenceRows(search) : kHeight;
    const int32_t first = (kHeight - rows) / 2;
    DenoiseJob job{first, first + rows - 1, kWidth, kHeight, TableLength()};
    const DenoiseParams params{1, static_cast<int16_t>(search), 1, 0};
    for (auto _ : state) {
        if (rowByRow) {
            for (int32_t y = job.firstRow; y <= job.lastRow; ++y) {
                DenoiseJob row = job;
                row.firstRow = row.lastRow = y;
                KcDenoiseCompleta(&row, &params, src.data(), out.data(), table.data(), noise.data());
            }
        } else {
            KcDenoiseCompleta(&job, &params, src.data(), out.data(), table.data(), noise.data());
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    // A result that is not denoised at all would mean the call did nothing.
    const size_t mid =
        static_cast<size_t>((first + rows / 2) * calmora::RowStride(kWidth) + 3 * (kWidth / 2));
    if (out[mid] == 0 && out[mid + 1] == 0 && out[mid + 2] == 0)
        state.SkipWithError("output looks untouched");
    const double pixels = double(rows) * kWidth;
    state.counters["MP/s"] = benchmark::Counter(pixels * 1e-6, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["threads"] = g_threads;
    state.counters["reference"] = g_reference ? 1 : 0;
    state.counters["rows"] = rows;
    state.SetLabel(std::string(g_reference ? "reference" : "fast") + ", " +
                   std::to_string(g_threads) + " thread(s), " + std::to_string(rows) + " rows");
}

void Register() {
    for (int search : {2, 5, 12})
        for (int rowByRow : {0, 1}) {
            auto* b = benchmark::RegisterBenchmark(
                (std::string("Denoise/s=") + std::to_string(search) +
                 (rowByRow ? "/one-row-calls" : "/one-call"))
                    .c_str(),
                BM_Denoise);
            b->Args({search, rowByRow})->Unit(benchmark::kMillisecond)->UseRealTime();
            if (search >= 5 && !g_reference) b->Iterations(search >= 12 ? 1 : 2);
        }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<char*> rest;
    int rowOverheadPairs = 0, repeat = 1;
    const char* photo = nullptr;
    const char* cases = "";
    for (int i = 0; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strncmp(a, "--kc_write_image=", 17) == 0) return WritePpm(a + 17) ? 0 : 1;
        if (std::strncmp(a, "--kc_lookup_bound=", 18) == 0) return RunLookupBound(a + 18);
        if (std::strncmp(a, "--kc_row_overhead=", 18) == 0) {
            rowOverheadPairs = std::atoi(a + 18);
            continue;
        }
        if (std::strncmp(a, "--kc_photo=", 11) == 0) {
            photo = a + 11;
            continue;
        }
        if (std::strcmp(a, "--kc_suggest") == 0) {
            cases = "suggest";
            continue;
        }
        if (std::strncmp(a, "--kc_cases=", 11) == 0) {
            cases = a + 11;
            continue;
        }
        if (std::strncmp(a, "--kc_repeat=", 12) == 0) {
            repeat = std::atoi(a + 12);
            continue;
        }
        if (std::strncmp(a, "--kc_threads=", 13) == 0) {
            setenv("KCDENOISE_THREADS", a + 13, 1);
        } else if (std::strcmp(a, "--kc_reference") == 0) {
            setenv("KCDENOISE_FORCE_REFERENCE", "1", 1);
        } else {
            rest.push_back(argv[i]);
        }
    }
    if (rowOverheadPairs) return RunRowOverhead(rowOverheadPairs);
    if (photo) return RunPhotoCases(photo, cases, repeat);
    // The labels name what the engine reads from the same variables.
    const kc::EngineSettings& engine = kc::CurrentEngineSettings();
    g_reference = engine.forceReference;
    g_threads = engine.threads;
    Register();
    int n = static_cast<int>(rest.size());
    benchmark::Initialize(&n, rest.data());
    if (benchmark::ReportUnrecognizedArguments(n, rest.data())) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
