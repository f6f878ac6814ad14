#include "imagefiles/sandbox_child.h"

#include <fcntl.h>
#include <malloc.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "imagefiles/sandbox_protocol.h"
#include "imagefiles/seccomp_filter.h"

namespace calmora {

using namespace sandbox_protocol;

namespace {

// Where the child keeps its three descriptors, so the filter can name them.
constexpr int kFileFd = 3, kResultFd = 4, kStatusFd = 5;

bool WriteAll(int fd, const void* bytes, size_t size) {
    const auto* at = static_cast<const uint8_t*>(bytes);
    while (size > 0) {
        const ssize_t wrote = write(fd, at, size);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return false;
        at += wrote;
        size -= static_cast<size_t>(wrote);
    }
    return true;
}

// Puts file, result and status on 3, 4 and 5, /dev/null on 0 to 2, and
// closes everything else the child inherited (the parent's windows, sockets,
// files): what the filter still lets it read must be its own.
bool ArrangeDescriptors(int file, int result, int status) {
    const int high[3] = {fcntl(file, F_DUPFD, 100), fcntl(result, F_DUPFD, 100),
                         fcntl(status, F_DUPFD, 100)};
    if (high[0] < 0 || high[1] < 0 || high[2] < 0) return false;
    if (dup2(high[0], kFileFd) < 0 || dup2(high[1], kResultFd) < 0 || dup2(high[2], kStatusFd) < 0)
        return false;
    const int null = open("/dev/null", O_RDWR);
    for (int fd = 0; fd < 3; ++fd) {
        if (null >= 0) dup2(null, fd);
        else close(fd);
    }
    if (close_range(kStatusFd + 1, ~0u, 0) != 0) {
        const long most = sysconf(_SC_OPEN_MAX);
        for (long fd = kStatusFd + 1; fd < (most > 0 && most < 65536 ? most : 65536); ++fd)
            close(static_cast<int>(fd));
    }
    return true;
}

// Address space the child uses now, in bytes (its inheritance from the
// parent, which RLIMIT_AS counts too).
// Plain reads only: this runs in the child.
uint64_t AddressSpaceInUse() {
    const int fd = open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    char text[64] = {};
    const ssize_t got = read(fd, text, sizeof text - 1);
    close(fd);
    if (got <= 0) return 0;
    return std::strtoull(text, nullptr, 10) * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
}

// Faulting in fresh memory 4 KiB at a time is the dearest part of decoding
// a large picture on some machines (virtual ones above all: 24 megapixels of
// 24-bit pixels took longer to fault in than to decode). So the decoder's
// heap is set aside in one piece the kernel may back with 2 MiB pages, and
// large blocks come from it rather than each from a mapping of its own. The
// piece counts against the memory limit like any other. Only for a fork from
// the main thread, whose allocations come from the main heap: another
// thread's arena would serve smaller blocks from 64 MiB reservations of its
// own, each counted against the limit. Where the system gives no transparent
// huge pages, the advice does nothing.
void SetAsideHugePages(uint64_t bytes) {
    constexpr uintptr_t kHuge = uintptr_t{2} << 20;
    if (bytes < kHuge || bytes > (uint64_t{1} << 40)) return;
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, std::numeric_limits<int>::max());
    void* piece = std::malloc(static_cast<size_t>(bytes));
    if (!piece) return;
    const uintptr_t start = (reinterpret_cast<uintptr_t>(piece) + kHuge - 1) & ~(kHuge - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(piece) + bytes) & ~(kHuge - 1);
    if (end > start) (void)madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
    std::free(piece);  // back to the top of the heap, where the decoder's blocks come from
}

void SetLimit(int resource, rlim_t soft, rlim_t hard) {
    rlimit limit{soft, hard};
    setrlimit(resource, &limit);
}

[[noreturn]] void ChildExit(char status) {
    (void)!write(kStatusFd, &status, 1);
    _exit(status == kJobDone ? 0 : 1);
}

}  // namespace

[[noreturn]] void RunSandboxChild(int file, int result, int status, const std::string& path,
                                  const SandboxLimits& limits, bool mainHeap, SandboxJob job,
                                  void* argument) {
    // Killed with the parent; no core file of a process that may hold a
    // photograph; no handler of the parent's (a crash reporter) runs here.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    prctl(PR_SET_DUMPABLE, 0);
    for (int sig = 1; sig < NSIG; ++sig) signal(sig, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (!ArrangeDescriptors(file, result, status)) _exit(1);

    SandboxChild child;
    child.path = path.c_str();
    child.resultFd = kResultFd;
    child.statusFd = kStatusFd;
    struct stat st {};
    if (fstat(kFileFd, &st) != 0) ChildExit(kJobFailed);
    child.size = static_cast<size_t>(st.st_size);
    if (child.size > 0) {
        void* map = mmap(nullptr, child.size, PROT_READ | PROT_WRITE, MAP_PRIVATE, kFileFd, 0);
        if (map == MAP_FAILED) ChildExit(kJobFailed);
        child.data = static_cast<uint8_t*>(map);
    }

    SetLimit(RLIMIT_CORE, 0, 0);
    const rlim_t cpu = static_cast<rlim_t>(limits.cpuSeconds > 0 ? limits.cpuSeconds : 1);
    SetLimit(RLIMIT_CPU, cpu, cpu + 1);  // SIGXCPU first, SIGKILL a second later
    if (limits.memoryBytes > 0) {
        const rlim_t space = static_cast<rlim_t>(AddressSpaceInUse() + limits.memoryBytes);
        SetLimit(RLIMIT_AS, space, space);
    }
    if (mainHeap) SetAsideHugePages(limits.hugePageBytes);

    const FilterDescriptors fds{kFileFd, kResultFd, kStatusFd};
    switch (InstallDecodeFilter(fds, child.path)) {
        case FilterInstall::Installed: break;
        case FilterInstall::Unavailable: ChildExit(kNoFilter);
        case FilterInstall::Failed: ChildExit(kJobFailed);
    }
    ChildExit(job(child, argument) == 0 ? kJobDone : kJobFailed);
}

bool SandboxChild::Announce(uint64_t bytes) {
    unsigned char frame[9] = {static_cast<unsigned char>(kStream)};
    for (int i = 0; i < 8; ++i) frame[1 + i] = static_cast<unsigned char>(bytes >> (8 * i));
    return WriteAll(statusFd, frame, sizeof frame);
}

bool SandboxChild::Send(const void* bytes, size_t size) { return WriteAll(statusFd, bytes, size); }

void* SandboxChild::Grow(size_t bytes) {
    if (mapped) munmap(mapped, mappedBytes);
    mapped = nullptr;
    mappedBytes = 0;
    if (ftruncate(resultFd, static_cast<off_t>(bytes)) != 0) return nullptr;
    void* map = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, resultFd, 0);
    if (map == MAP_FAILED) return nullptr;
    mapped = map;
    mappedBytes = bytes;
    return map;
}

}  // namespace calmora
