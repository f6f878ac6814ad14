// Running a piece of decoding work in a child process that cannot harm the
// program: the child is forked, given the picture (mapped from a descriptor
// opened before it lost its rights), limited in memory and processor time,
// and put under the filter of seccomp_filter.h. It hands its result back in a
// shared memory file. A child that crashes, is killed by the filter or its
// limits, or runs past its time only costs the load.
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

    int resultFd = -1;
    void* mapped = nullptr;
    size_t mappedBytes = 0;
};

// Runs in the child; 0 when the result is complete. The child exits after it.
using SandboxJob = int (*)(SandboxChild& child, void* argument);

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

private:
    friend SandboxResult RunSandboxed(const std::string&, const SandboxLimits&, SandboxJob, void*);
    void* data_ = nullptr;
    size_t size_ = 0;
};

// Opens path, forks, and runs job(child, argument) in the child under limits
// and the filter. Blocks until the child has finished or was killed.
[[nodiscard]] SandboxResult RunSandboxed(const std::string& path, const SandboxLimits& limits,
                                         SandboxJob job, void* argument);

// Why no sandbox can be used in this process (a debugger or valgrind is
// attached, CALMORA_DECODE_IN_PROCESS is set); empty when one can.
[[nodiscard]] std::string SandboxRefusal();

}  // namespace calmora
