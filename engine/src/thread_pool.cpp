// Persistent workers, created on the first parallel call. Between calls a
// worker spins briefly before sleeping: a caller that works one row per call
// then finds it awake, and the hand-off costs about as much as a cache miss.
// The caller never depends on a worker to make progress: it claims items like
// any worker and only waits for items already started.
#include "thread_pool.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include <unistd.h>

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
    std::atomic<int> workersInside{0};  // joined under the pool mutex
    int workerSeats;                    // workers allowed to join; pool mutex
};

void RunItems(Job& job) {
    for (;;) {
        const int64_t i = job.next.fetch_add(1, std::memory_order_relaxed);
        if (i >= job.count) return;
        job.fn(job.context, i);
        job.done.fetch_add(1, std::memory_order_seq_cst);
    }
}

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
            stop_.store(true, std::memory_order_release);
        }
        wake_.notify_all();
        for (auto& t : threads_) t.join();
    }

    int Workers() const { return static_cast<int>(threads_.size()); }
    bool InOwnerProcess() const { return getpid() == owner_; }

    bool TryRun(Job& job) {
        std::unique_lock<std::mutex> own(busy_, std::try_to_lock);
        if (!own.owns_lock()) return false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            job_ = &job;
            generation_.fetch_add(1, std::memory_order_release);
            if (sleepers_ > 0) wake_.notify_all();
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
        {
            std::lock_guard<std::mutex> lock(mutex_);
            job_ = nullptr;  // no worker joins from here on
        }
        // A worker may still be between its last item and leaving.
        for (int n = 0; job.workersInside.load(std::memory_order_acquire) != 0; ++n) {
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
            seen = generation_.load(std::memory_order_acquire);
            Job* job;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                job = job_;
                if (!job || job->workerSeats == 0) continue;
                --job->workerSeats;
                job->workersInside.fetch_add(1, std::memory_order_relaxed);
            }
            RunItems(*job);
            job->workersInside.fetch_sub(1, std::memory_order_release);  // job may end now
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
        ++sleepers_;
        wake_.wait(lock, [&] {
            return generation_.load(std::memory_order_acquire) != seen ||
                   stop_.load(std::memory_order_acquire);
        });
        --sleepers_;
    }

    std::mutex busy_;  // held by the one call that owns the workers
    std::mutex mutex_;
    std::condition_variable wake_;      // workers: a new job or stop
    std::condition_variable finished_;  // caller: a worker left its job
    std::atomic<uint64_t> generation_{0};
    std::atomic<bool> stop_{false};
    std::atomic<bool> callerAsleep_{false};
    Job* job_ = nullptr;
    int sleepers_ = 0;
    const pid_t owner_;
    std::vector<std::thread> threads_;
};

// Destroyed at exit or unload, except in a forked child: that has copies of
// the workers' handles and of their wait state but not the threads, so there
// is nothing to stop, and waiting on that state would never end.
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

int ConfiguredThreads() {
    static const int threads = [] {
        if (const char* text = std::getenv("KCDENOISE_THREADS")) {
            char* end = nullptr;
            const long n = std::strtol(text, &end, 10);
            if (end != text && *end == '\0' && n >= 1) return static_cast<int>(n < 256 ? n : 256);
        }
        const unsigned hw = std::thread::hardware_concurrency();
        return hw >= 1 ? static_cast<int>(hw < 256 ? hw : 256) : 1;
    }();
    return threads;
}

void ParallelFor(int64_t count, int threads, ItemFn fn, void* context) {
    if (count <= 0) return;
    Job job;
    job.fn = fn;
    job.context = context;
    job.count = count;
    const int64_t helpers = threads - 1 < count - 1 ? threads - 1 : count - 1;
    job.workerSeats = static_cast<int>(helpers);
    if (helpers <= 0 || poolGone.load(std::memory_order_relaxed)) {
        RunItems(job);
        return;
    }
    Pool& pool = ThePool();
    // After a fork the pool's workers and locks belong to the parent.
    if (pool.Workers() == 0 || !pool.InOwnerProcess() || !pool.TryRun(job)) RunItems(job);
}

}  // namespace kc
