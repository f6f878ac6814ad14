// Running a piece of decoding work in a child process that cannot harm the
// program: the child is forked, given the picture (mapped from a descriptor
// opened before it lost its rights), limited in memory and processor time,
// and put under the filter of seccomp_filter.h. It hands its result back in a
// shared memory file, and bulk bytes (a picture's pixels) down its status
// pipe. A child that crashes, is killed by the filter or its limits, or runs
// past its time only costs the load.
//
// Why fork() and not a separate helper program: glibc's fork() takes malloc's
// arena locks, the stdio locks and the dynamic loader's lock in the parent and
// resets them in the child, so the child may allocate, throw and bind symbols
// even when other threads (Qt's, the KcDenoise pool's) were inside malloc at
// that moment. The child calls nothing else another thread could have left
// locked: no Qt, no engine, no stream shared with other threads (the decoders'
// messages go to a collector, never to stderr); FreeImage and its codec
// libraries keep no locks of their own for the formats read here. The child
// is single-threaded from the fork on and ends with _exit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace calmora {

struct SandboxLimits {
    uint64_t memoryBytes = 0;       // address space the child may add to what it starts with
    int cpuSeconds = 30;            // processor time (RLIMIT_CPU)
    int wallMilliseconds = 60000;   // the parent kills the child after this long
    uint64_t hugePageBytes = 0;     // heap set aside on 2 MiB pages for the job's large blocks
};

// What a job sees inside the child, under the filter.
class SandboxChild {
public:
    // The picture: the whole file, mapped copy-on-write (writable, so that a
    // job may patch a byte before a decoder sees it), and its name.
    uint8_t* data = nullptr;
    size_t size = 0;
    const char* path = nullptr;

    // Sizes the shared result to bytes and maps it; nullptr when that fails.
    // A later call replaces the earlier mapping.
    [[nodiscard]] void* Grow(size_t bytes);

    // Announces bytes that Send then hands, in as many pieces as the job
    // likes, to the parent's SandboxReceiver (once per run). They go down
    // the status pipe the child may write to anyway: on a machine where
    // every newly touched page of memory is dear, the kernel's recycled pipe
    // pages cost a tenth of writing them to fresh shared pages and reading
    // those in the parent. False when the parent stopped reading.
    [[nodiscard]] bool Announce(uint64_t bytes);
    [[nodiscard]] bool Send(const void* bytes, size_t size);

    int resultFd = -1;
    int statusFd = -1;
    void* mapped = nullptr;
    size_t mappedBytes = 0;
};

// Runs in the child; 0 when the result is complete. The child exits after it.
using SandboxJob = int (*)(SandboxChild& child, void* argument);

// Where the bytes a child sends (SandboxChild::Send) land in the parent.
class SandboxReceiver {
public:
    virtual ~SandboxReceiver() = default;
    // Runs in the parent right after the fork, while the child works on the
    // other core: the time to prepare (and fault in) a destination.
    virtual void WhileTheChildRuns() {}
    // Room for the bytes the child announced (it may lie), or nullptr to
    // refuse them: the child is then stopped and the run fails.
    [[nodiscard]] virtual uint8_t* Destination(uint64_t bytes) = 0;
};

enum class SandboxOutcome {
    Finished,     // the job returned 0 and the child exited normally
    Failed,       // crashed, killed (filter, limits, timeout) or returned an error
    Unavailable,  // no sandbox here (no seccomp, debugger, valgrind, no fork...)
};

// The shared result as the parent sees it, mapped read-only.
class SandboxResult {
public:
    SandboxResult() = default;
    ~SandboxResult();
    SandboxResult(SandboxResult&& other) noexcept;
    SandboxResult& operator=(SandboxResult&& other) noexcept;
    SandboxResult(const SandboxResult&) = delete;
    SandboxResult& operator=(const SandboxResult&) = delete;

    SandboxOutcome outcome = SandboxOutcome::Unavailable;
    bool lasting = false;  // Unavailable for good in this process (no seccomp)
    std::string why;       // plain English: what happened to the child
    [[nodiscard]] const uint8_t* Data() const { return static_cast<const uint8_t*>(data_); }
    [[nodiscard]] size_t Size() const { return size_; }
    // Bytes the child sent into the receiver's destination; a Finished run
    // has sent all it announced.
    uint64_t sent = 0;

private:
    friend SandboxResult RunSandboxed(const std::string&, const SandboxLimits&, SandboxJob, void*,
                                      SandboxReceiver*);
    void* data_ = nullptr;
    size_t size_ = 0;
};

// Opens path, forks, and runs job(child, argument) in the child under limits
// and the filter. Blocks until the child has finished or was killed. What the
// child sends goes to receiver; without one, a child that sends fails.
[[nodiscard]] SandboxResult RunSandboxed(const std::string& path, const SandboxLimits& limits,
                                         SandboxJob job, void* argument,
                                         SandboxReceiver* receiver = nullptr);

// Why no sandbox can be used in this process (a debugger or valgrind is
// attached, CALMORA_DECODE_IN_PROCESS is set); empty when one can.
[[nodiscard]] std::string SandboxRefusal();

}  // namespace calmora
