// Persistent workers, created on the first parallel call. Between calls a
// worker spins briefly before sleeping: a caller that works one row per call
// then finds it awake, and the hand-off costs about as much as a cache miss.
// The caller never depends on a worker to make progress: it claims items like
// any worker and only waits for items already started.
#include "thread_pool.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include <unistd.h>

#include "engine_settings.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define KC_PAUSE() _mm_pause()
#else
#define KC_PAUSE() std::this_thread::yield()
#endif

namespace kc {
namespace {

struct Job {
    ItemFn fn;
    void* context;
    int64_t count;
    std::atomic<int64_t> next{0};
    std::atomic<int64_t> done{0};
};

void RunItems(Job& job) {
    for (;;) {
        const int64_t i = job.next.fetch_add(1, std::memory_order_relaxed);
        if (i >= job.count) return;
        job.fn(job.context, i);
        job.done.fetch_add(1, std::memory_order_seq_cst);
    }
}

// The hand-off uses no lock while the workers are awake: a worker announces
// itself in inside_ before it looks at job_, and the caller withdraws job_
// before it looks at inside_, so (all sequentially consistent) either the
// worker sees no job or the caller sees the worker and waits for it to leave.
// The mutex only guards going to sleep and waking up.
class Pool {
public:
    explicit Pool(int workers) : owner_(getpid()) {
        threads_.reserve(workers);
        for (int i = 0; i < workers; ++i) threads_.emplace_back([this] { WorkerLoop(); });
    }

    // Joins at exit or unload: workers only ever wait on this pool's own state.
    ~Pool() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_.store(true, std::memory_order_seq_cst);
        }
        wake_.notify_all();
        for (auto& t : threads_) t.join();
    }

    int Workers() const { return static_cast<int>(threads_.size()); }
    bool InOwnerProcess() const { return getpid() == owner_; }

    bool TryRun(Job& job) {
        std::unique_lock<std::mutex> own(busy_, std::try_to_lock);
        if (!own.owns_lock()) return false;
        job_.store(&job, std::memory_order_seq_cst);
        generation_.fetch_add(1, std::memory_order_seq_cst);
        if (sleepers_.load(std::memory_order_seq_cst) > 0) {
            std::lock_guard<std::mutex> lock(mutex_);
            wake_.notify_all();
        }
        RunItems(job);
        // Items still running on workers: usually brief. Sleep when they are
        // not, for instance when a worker lost its core to another process.
        const auto spinUntil = std::chrono::steady_clock::now() + std::chrono::microseconds(200);
        for (int n = 0; job.done.load(std::memory_order_acquire) < job.count; ++n) {
            KC_PAUSE();
            if ((n & 63) == 63 && std::chrono::steady_clock::now() > spinUntil) {
                std::unique_lock<std::mutex> lock(mutex_);
                callerAsleep_.store(true, std::memory_order_seq_cst);
                finished_.wait(lock, [&] {
                    return job.done.load(std::memory_order_seq_cst) >= job.count;
                });
                callerAsleep_.store(false, std::memory_order_relaxed);
                break;
            }
        }
        job_.store(nullptr, std::memory_order_seq_cst);  // no worker joins from here on
        // A worker may still be between its last item and leaving.
        for (int n = 0; inside_.load(std::memory_order_seq_cst) != 0; ++n) {
            KC_PAUSE();
            if ((n & 63) == 63) std::this_thread::yield();  // it may have lost its core
        }
        return true;
    }

private:
    void WorkerLoop() {
        // From 0, not the current value: the call that made the pool may have
        // published its job before this thread got to run.
        uint64_t seen = 0;
        for (;;) {
            WaitForNews(seen);
            if (stop_.load(std::memory_order_acquire)) return;
            seen = generation_.load(std::memory_order_seq_cst);
            inside_.fetch_add(1, std::memory_order_seq_cst);
            if (Job* job = job_.load(std::memory_order_seq_cst)) RunItems(*job);
            inside_.fetch_sub(1, std::memory_order_seq_cst);  // the job may end now
            // Pairs with the caller's flag-then-check: one of the two sees the other.
            if (callerAsleep_.load(std::memory_order_seq_cst)) {
                std::lock_guard<std::mutex> lock(mutex_);
                finished_.notify_all();
            }
        }
    }

    void WaitForNews(uint64_t seen) {
        const auto spinUntil = std::chrono::steady_clock::now() + std::chrono::microseconds(300);
        for (int n = 0;; ++n) {
            if (generation_.load(std::memory_order_acquire) != seen ||
                stop_.load(std::memory_order_acquire))
                return;
            KC_PAUSE();
            if ((n & 63) == 63 && std::chrono::steady_clock::now() > spinUntil) break;
        }
        std::unique_lock<std::mutex> lock(mutex_);
        sleepers_.fetch_add(1, std::memory_order_seq_cst);
        wake_.wait(lock, [&] {
            return generation_.load(std::memory_order_seq_cst) != seen ||
                   stop_.load(std::memory_order_seq_cst);
        });
        sleepers_.fetch_sub(1, std::memory_order_relaxed);
    }

    std::mutex busy_;  // held by the one call that owns the workers
    std::mutex mutex_;
    std::condition_variable wake_;      // workers: a new job or stop
    std::condition_variable finished_;  // caller: a worker left its job
    std::atomic<Job*> job_{nullptr};
    std::atomic<uint64_t> generation_{0};
    std::atomic<int> inside_{0};  // workers that may be looking at job_
    std::atomic<int> sleepers_{0};
    std::atomic<bool> stop_{false};
    std::atomic<bool> callerAsleep_{false};
    const pid_t owner_;
    std::vector<std::thread> threads_;
};

// Set once the pool is gone, for calls made by other objects' destructors
// later during exit: they run on the caller's thread alone.
std::atomic<bool> poolGone{false};

struct PoolOwner {
    Pool* pool;
    ~PoolOwner() {
        poolGone.store(true);
        if (pool->InOwnerProcess()) delete pool;
    }
};

Pool& ThePool() {
    static PoolOwner owner{new Pool(ConfiguredThreads() - 1)};
    return *owner.pool;
}

}  // namespace

int ConfiguredThreads() { return CurrentEngineSettings().threads; }

void ParallelFor(int64_t count, int threads, ItemFn fn, void* context) {
    if (count <= 0) return;
    Job job;
    job.fn = fn;
    job.context = context;
    job.count = count;
    if (threads <= 1 || count <= 1 || poolGone.load(std::memory_order_relaxed)) {
        RunItems(job);
        return;
    }
    Pool& pool = ThePool();
    // After a fork the pool's workers and locks belong to the parent.
    if (pool.Workers() == 0 || !pool.InOwnerProcess() || !pool.TryRun(job)) RunItems(job);
}

}  // namespace kc
