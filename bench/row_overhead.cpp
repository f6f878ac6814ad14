// One call per row, as the program's full run makes them, against one call
// for the whole image. The two are timed in alternating pairs, each pair
// starting with the other kind, and the median of the pairs' ratios is
// reported: on a shared machine other work comes and goes over seconds, and a
// ratio of two back-to-back runs cancels most of it, where two separate
// averages would not.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "KcDenoise.h"
#include "bench_image.h"

namespace bench {
namespace {

using Clock = std::chrono::steady_clock;

struct Run {
    const uint8_t* source;
    uint8_t* out;
    uint8_t* noise;
    const float* table;
    DenoiseJob job;
    DenoiseParams params;
};

double WholeImageMs(const Run& r) {
    const auto t0 = Clock::now();
    KcDenoiseCompleta(&r.job, &r.params, r.source, r.out, r.table, r.noise);
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

double RowByRowMs(const Run& r) {
    const auto t0 = Clock::now();
    for (int32_t y = r.job.firstRow; y <= r.job.lastRow; ++y) {
        DenoiseJob row = r.job;
        row.firstRow = row.lastRow = y;
        KcDenoiseCompleta(&row, &r.params, r.source, r.out, r.table, r.noise);
    }
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int RunRowOverhead(int pairs) {
    if (pairs < 1) return 1;
    const auto& src = Image();
    const auto& table = Table();
    std::vector<uint8_t> out(src.size()), noise(src.size());
    for (int search : {2, 5, 12}) {
        // Fewer pairs at the slow radii keep the whole measurement near a minute.
        const int n = search <= 2 ? pairs : std::max(3, pairs / (search <= 5 ? 3 : 5));
        const Run r{src.data(),
                    out.data(),
                    noise.data(),
                    table.data(),
                    DenoiseJob{0, kHeight - 1, kWidth, kHeight, TableLength()},
                    DenoiseParams{1, static_cast<int16_t>(search), 1, 0}};
        Run warmUp = r;  // starts the engine's threads and fills the caches
        warmUp.job.lastRow = 15;
        RowByRowMs(warmUp);
        std::vector<double> whole, rows, ratio;
        for (int i = 0; i < n; ++i) {
            double w, b;
            if (i % 2 == 0) {
                w = WholeImageMs(r);
                b = RowByRowMs(r);
            } else {
                b = RowByRowMs(r);
                w = WholeImageMs(r);
            }
            whole.push_back(w);
            rows.push_back(b);
            ratio.push_back(b / w);
        }
        std::printf("row-overhead s=%d pairs=%d one-call-ms=%.1f row-calls-ms=%.1f "
                    "median=%+.1f%% lowest=%+.1f%% highest=%+.1f%%\n",
                    search, n, Median(whole), Median(rows), (Median(ratio) - 1) * 100,
                    (*std::min_element(ratio.begin(), ratio.end()) - 1) * 100,
                    (*std::max_element(ratio.begin(), ratio.end()) - 1) * 100);
        std::fflush(stdout);
    }
    return 0;
}

}  // namespace bench
