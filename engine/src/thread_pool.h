// A small process-wide pool that lets one denoise call use every core.
#pragma once

#include <cstdint>

namespace kc {

// Threads a call may use: KCDENOISE_THREADS when set to a positive number,
// otherwise every hardware thread. Read once (engine_settings.h).
int ConfiguredThreads();

using ItemFn = void (*)(void* context, int64_t item);

// Runs fn(context, i) for every i in [0, count), on the calling thread and,
// when threads > 1, the pool's ConfiguredThreads()-1 workers. Items are
// claimed in ascending order but may run in any order and concurrently.
// Returns when all have finished. When another call holds the pool the caller
// runs every item itself, so concurrent and nested calls never wait for each
// other.
void ParallelFor(int64_t count, int threads, ItemFn fn, void* context);

}  // namespace kc
