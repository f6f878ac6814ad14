// The one place that chooses how a denoise call is computed.
//
// Pixels whose patch can be clamped sideways (the first and last s+p columns)
// go through the border sums; every other pixel of any row goes through the
// fastest interior kernel the processor runs. All add the reference's terms in
// the reference's order and end in Finish::Pixel, so the bytes never depend on
// the path, the processor or the number of threads.
// Calls that cover many rows take the paired pass (denoise_paired.h) for the
// pixels far enough from every edge, when the table allows it.
// KCDENOISE_FORCE_REFERENCE=1 sends everything through the reference.
#include <algorithm>

#include "denoise_call.h"
#include "denoise_fast.h"
#include "denoise_paired.h"
#include "engine_settings.h"
#include "thread_pool.h"

namespace kc {
namespace {

// Below this many candidate visits a call runs on the caller's thread: waking
// a worker would cost more than it saves.
constexpr double kInlineVisits = 40000;
// Narrowest column band handed to a thread, in interior pixels' worth of work.
constexpr int64_t kMinBandCost = 64;
// An edge pixel costs about this many interior pixels on the fast path.
constexpr int64_t kEdgeCost = 8;
constexpr int kMaxBands = 64;
// A paired pass first visits s source rows that only give to later ones; it
// pays off once it finishes at least this many rows, and each thread's chunk
// of rows is made about this many times s rows tall.
constexpr int32_t kMinPairedRows = 16;
constexpr int32_t kPairedChunkPerRadius = 16;
constexpr int32_t kMinPairedColumns = 32;

struct Plan {
    const DenoiseCall* call;
    const Finish* finish;
    InteriorKernel kernel;  // null: reference only
    InteriorKernel border;
    int32_t bandsPerRow = 1;
    int32_t bandStart[kMaxBands + 1];  // column where each band starts, then the width
    // Paired pass: items [0, pairedChunks) are chunks of the rectangle,
    // pairedRows rows by pairedColumns columns, row chunk after row chunk; the
    // items after them are the call's other rows.
    int32_t pairedChunks = 0;
    int32_t pairedRows = 0;
    int32_t pairedColumns = 0;
    int32_t columnChunks = 1;
    PairedGeometry paired{};
};

// Work of columns [0, x) of a row, counting edge pixels at their cost.
int64_t CostBefore(int64_t x, int64_t width, int64_t reach) {
    const int64_t in0 = std::min(reach, width), in1 = std::max(in0, width - reach);
    const int64_t edges = std::min(x, in0) + std::max<int64_t>(0, x - in1);
    return x + (kEdgeCost - 1) * edges;
}

// Bands of one row for calls of few rows: each takes a thread's share of the
// work still left, so they halve along the row (for two threads) and the last
// ones, which decide how long the threads wait for each other, are short,
// while the few bands keep the per-band cost of the kernels low.
void MakeBands(Plan& plan, int threads) {
    const int64_t W = plan.call->job->width;
    const int64_t reach = int64_t{plan.call->params->searchRadius} + plan.call->params->patchRadius;
    const int64_t total = CostBefore(W, W, reach);
    int n = 0;
    int64_t x = 0;
    plan.bandStart[0] = 0;
    while (x < W && n < kMaxBands) {
        const int64_t done = CostBefore(x, W, reach);
        int64_t target = std::max(kMinBandCost, (total - done) / threads);
        if (n == kMaxBands - 1) target = total - done;
        // Smallest end whose band reaches the target.
        int64_t lo = x + 1, hi = W;
        while (lo < hi) {
            const int64_t mid = (lo + hi) / 2;
            if (CostBefore(mid, W, reach) - done >= target) hi = mid;
            else lo = mid + 1;
        }
        // Interior runs in whole 8-pixel steps keep the kernels off their
        // one-lane-at-a-time tails.
        const int64_t in0 = std::min(reach, W);
        x = lo > in0 ? std::min(W, in0 + (lo - in0 + 7) / 8 * 8) : lo;
        plan.bandStart[++n] = static_cast<int32_t>(x);
    }
    plan.bandsPerRow = n;
}

// Columns [x0, x1) of row y through kernel, a tile at a time.
void RunSums(const Plan& plan, InteriorKernel kernel, int32_t y, int32_t x0, int32_t x1) {
    const DenoiseCall& c = *plan.call;
    const int64_t stride = RowStride(c.job->width);
    const RowGeometry g =
        MakeRowGeometry(y, c.job->height, c.params->patchRadius, c.params->searchRadius);
    double num[3 * kFastTilePixels], den[3 * kFastTilePixels];
    for (int32_t x = x0; x < x1; x += kFastTilePixels) {
        const int32_t n = std::min(kFastTilePixels, x1 - x);
        kernel(c, g, x, n, num, den);
        for (int32_t i = 0; i < n; ++i)
            plan.finish->Pixel(c, static_cast<size_t>(y * stride + 3 * (int64_t{x} + i)),
                               num + 3 * i, den + 3 * i);
    }
}

void RunSpan(const Plan& plan, int32_t y, int32_t x0, int32_t x1) {
    const DenoiseCall& c = *plan.call;
    if (!plan.kernel) {
        DenoiseReferenceSpan(c, *plan.finish, y, x0, x1);
        return;
    }
    // Columns whose patch stays whole for every candidate of the window.
    const int64_t reach = int64_t{c.params->searchRadius} + c.params->patchRadius;
    const int32_t in0 = static_cast<int32_t>(std::clamp<int64_t>(reach, x0, x1));
    const int32_t in1 =
        static_cast<int32_t>(std::clamp<int64_t>(int64_t{c.job->width} - reach, in0, x1));
    if (x0 < in0) RunSums(plan, plan.border, y, x0, in0);
    if (in0 < in1) RunSums(plan, plan.kernel, y, in0, in1);
    if (in1 < x1) RunSums(plan, plan.border, y, in1, x1);
}

// One chunk of the paired rectangle, and the columns of its rows outside it
// when it touches the rectangle's left or right side.
void RunPairedChunk(const Plan& plan, int64_t chunk) {
    const PairedGeometry& all = plan.paired;
    const int32_t row = static_cast<int32_t>(chunk / plan.columnChunks);
    const int32_t column = static_cast<int32_t>(chunk % plan.columnChunks);
    PairedGeometry g = all;
    g.firstRow = all.firstRow + row * plan.pairedRows;
    g.lastRow = std::min(all.lastRow, g.firstRow + plan.pairedRows - 1);
    g.firstColumn = all.firstColumn + column * plan.pairedColumns;
    g.lastColumn = std::min(all.lastColumn, g.firstColumn + plan.pairedColumns - 1);
#if defined(__x86_64__) || defined(__i386__)
    PairedSumsAvx2(*plan.call, *plan.finish, g);
#endif
    for (int32_t y = g.firstRow; y <= g.lastRow; ++y) {
        if (column == 0) RunSpan(plan, y, 0, all.firstColumn);
        if (column == plan.columnChunks - 1)
            RunSpan(plan, y, all.lastColumn + 1, plan.call->job->width);
    }
}

void RunItem(void* context, int64_t item) {
    const Plan& plan = *static_cast<const Plan*>(context);
    const int32_t W = plan.call->job->width;
    if (plan.pairedChunks > 0) {
        if (item < plan.pairedChunks) {
            RunPairedChunk(plan, item);
            return;
        }
        // Rows below the rectangle, then rows above it.
        const int64_t i = item - plan.pairedChunks;
        const int64_t below = plan.paired.firstRow - plan.call->job->firstRow;
        const int32_t y = static_cast<int32_t>(i < below ? plan.call->job->firstRow + i
                                                         : plan.paired.lastRow + 1 + (i - below));
        RunSpan(plan, y, 0, W);
        return;
    }
    const int32_t y = plan.call->job->firstRow + static_cast<int32_t>(item / plan.bandsPerRow);
    if (plan.bandsPerRow == 1) {
        RunSpan(plan, y, 0, W);
        return;
    }
    const int64_t band = item % plan.bandsPerRow;
    RunSpan(plan, y, plan.bandStart[band], plan.bandStart[band + 1]);
}

bool FastPathFits(const DenoiseCall& c) {
    const int32_t p = c.params->patchRadius, s = c.params->searchRadius;
    return p >= 0 && p <= kFastMaxPatch && s >= 0 && c.job->tableLength >= 1 &&
           c.job->width >= 1 && c.job->height >= 1;
}

// Sets up the paired pass when the processor, the radii, the call's rows and
// the table allow it; returns the number of items the call then has.
int64_t PlanPaired(Plan& plan, int threads) {
#if !defined(__x86_64__) && !defined(__i386__)
    (void)plan;
    (void)threads;
    return 0;
#else
    const DenoiseCall& c = *plan.call;
    const int32_t p = c.params->patchRadius, s = c.params->searchRadius;
    if (!plan.kernel || !Avx2KernelsChosen() || p > 2 || s < 1 || s > kPairedMaxSearch) return 0;
    const PairedGeometry g =
        PairedRectangle(c.job->firstRow, c.job->lastRow, c.job->width, c.job->height, p, s);
    const int32_t rows = g.lastRow - g.firstRow + 1;
    if (rows < kMinPairedRows || g.lastColumn - g.firstColumn + 1 < kMinPairedColumns) return 0;
    if (!PairedTableFits(c.table, c.job->tableLength)) return 0;
    // Chunks of rows repeat the s source rows below them that only give, so
    // each thread gets chunks of at least kPairedChunkPerRadius * s rows, a
    // few more than one each when the rows allow it, so that a thread the
    // host pauses holds up less of the call. Fewer rows than that are split
    // into column chunks instead, which repeat only s columns on either side.
    const int32_t columns = g.lastColumn - g.firstColumn + 1;
    int32_t rowChunks = 1, columnChunks = 1;
    if (threads > 1) {
        if (rows >= kPairedChunkPerRadius * s * threads) {
            // A whole number of chunks per thread: with 7 chunks on 2 threads
            // one thread would do 4 while the other waits for the last.
            rowChunks = std::clamp(rows / (kPairedChunkPerRadius * s), threads, 4 * threads);
            rowChunks -= rowChunks % threads;
        } else {
            columnChunks = std::max(1, std::min(2 * threads, columns / (kPairedChunkPerRadius * s)));
        }
    }
    plan.paired = g;
    plan.pairedRows = (rows + rowChunks - 1) / rowChunks;
    plan.pairedColumns = (columns + columnChunks - 1) / columnChunks;
    plan.columnChunks = (columns + plan.pairedColumns - 1) / plan.pairedColumns;
    plan.pairedChunks = ((rows + plan.pairedRows - 1) / plan.pairedRows) * plan.columnChunks;
    const int64_t otherRows = int64_t{c.job->lastRow} - c.job->firstRow + 1 - rows;
    return plan.pairedChunks + otherRows;
#endif
}

}  // namespace

void Denoise(const DenoiseCall& c) {
    const DenoiseJob& job = *c.job;
    if (job.lastRow < job.firstRow) return;
    const Finish finish(c);
    Plan plan;
    plan.call = &c;
    plan.finish = &finish;
    plan.kernel = plan.border = nullptr;
    if (!CurrentEngineSettings().forceReference && FastPathFits(c)) {
        plan.kernel = SelectInteriorKernel();
        plan.border = SelectBorderKernel();
    }

    const int64_t rows = int64_t{job.lastRow} - job.firstRow + 1;
    const double side = 2.0 * std::max<int16_t>(c.params->searchRadius, 0) + 1;
    const double visits = double(rows) * std::max(job.width, 1) * side * side;
    const int threads = ConfiguredThreads();
    if (const int64_t items = PlanPaired(plan, threads); items > 0) {
        if (threads > 1 && items > 1)
            ParallelFor(items, threads, RunItem, &plan);
        else
            for (int64_t i = 0; i < items; ++i) RunItem(&plan, i);
        return;
    }
    if (threads > 1 && visits >= kInlineVisits && job.width >= 1) {
        // Whole rows when there are plenty, else bands of columns.
        if (rows < 8 * int64_t{threads}) MakeBands(plan, threads);
        ParallelFor(rows * plan.bandsPerRow, threads, RunItem, &plan);
        return;
    }
    for (int64_t i = 0; i < rows; ++i) RunItem(&plan, i);
}

}  // namespace kc
