#include "imagefiles/sandbox.h"

#include "imagefiles/seccomp_filter.h"

#include <fcntl.h>
#include <malloc.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>

namespace calmora {

namespace {

// The status byte a child writes as its last word.
constexpr char kJobDone = 'D';
constexpr char kJobFailed = 'F';
constexpr char kNoFilter = 'N';
// Before it, once: this byte, a length (8 bytes, little-endian) and as many
// bytes for the receiver.
constexpr char kStream = 'S';

// The status pipe's buffer: large enough that a child streaming pixels and
// the parent reading them rarely wait for each other.
constexpr int kPipeBytes = 1 << 20;

// Where the child keeps its three descriptors, so the filter can name them.
constexpr int kFileFd = 3, kResultFd = 4, kStatusFd = 5;

struct Descriptor {
    int fd = -1;
    ~Descriptor() { if (fd >= 0) close(fd); }
};

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

int64_t NowMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t{t.tv_sec} * 1000 + t.tv_nsec / 1000000;
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

[[noreturn]] void RunChild(int file, int result, int status, const std::string& path,
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

std::string Describe(int status, bool timedOut) {
    if (timedOut) return "took too long and was stopped";
    if (WIFSIGNALED(status)) {
        const int sig = WTERMSIG(status);
        if (sig == SIGSYS) return "made a forbidden system call";
        if (sig == SIGXCPU || sig == SIGKILL) return "used too much processor time or was killed";
        return std::string("crashed (") + strsignal(sig) + ")";
    }
    return "gave up";
}

// The parent's reading of the status pipe: a stream, then the status byte;
// or the status byte alone. Whatever follows the status is read and dropped.
class StatusReader {
public:
    explicit StatusReader(SandboxReceiver* receiver) : receiver_(receiver) {}

    enum class Step { More, End, Refused };
    // One read of what is waiting in the pipe.
    Step Read(int fd) {
        ssize_t got = 0;
        switch (state_) {
            case State::Bytes:
                got = read(fd, to_ + sent,
                           static_cast<size_t>(std::min<uint64_t>(announced - sent, 1u << 30)));
                break;
            case State::Length:
                got = read(fd, length_ + lengthGot_, sizeof length_ - lengthGot_);
                break;
            default: {
                char bytes[256];
                got = read(fd, bytes, state_ == State::Rest ? sizeof bytes : 1);
                if (got == 1 && state_ == State::First && bytes[0] == kStream) {
                    state_ = State::Length;
                    return Step::More;
                }
                if (got >= 1 && state_ != State::Rest) {
                    status = bytes[0];
                    state_ = State::Rest;
                }
                break;
            }
        }
        if (got < 0) return errno == EINTR || errno == EAGAIN ? Step::More : Step::End;
        if (got == 0) return Step::End;
        if (state_ == State::Length) {
            lengthGot_ += static_cast<size_t>(got);
            if (lengthGot_ < sizeof length_) return Step::More;
            for (size_t i = 0; i < sizeof length_; ++i)
                announced |= uint64_t{length_[i]} << (8 * i);
            if (announced == 0) {
                state_ = State::Status;
                return Step::More;
            }
            to_ = receiver_ ? receiver_->Destination(announced) : nullptr;
            if (!to_) return Step::Refused;
            state_ = State::Bytes;
        } else if (state_ == State::Bytes) {
            sent += static_cast<uint64_t>(got);
            if (sent == announced) state_ = State::Status;
        }
        return Step::More;
    }

    char status = 0;
    uint64_t announced = 0, sent = 0;

private:
    enum class State { First, Length, Bytes, Status, Rest };
    SandboxReceiver* receiver_;
    State state_ = State::First;
    unsigned char length_[8] = {};
    size_t lengthGot_ = 0;
    uint8_t* to_ = nullptr;
};

}  // namespace

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

SandboxResult::~SandboxResult() {
    if (data_) munmap(data_, size_);
}

SandboxResult::SandboxResult(SandboxResult&& other) noexcept
    : outcome(other.outcome), lasting(other.lasting), why(std::move(other.why)), sent(other.sent),
      data_(other.data_), size_(other.size_) {
    other.data_ = nullptr;
    other.size_ = 0;
}

SandboxResult& SandboxResult::operator=(SandboxResult&& other) noexcept {
    if (this != &other) {
        if (data_) munmap(data_, size_);
        outcome = other.outcome;
        lasting = other.lasting;
        why = std::move(other.why);
        sent = other.sent;
        data_ = other.data_;
        size_ = other.size_;
        other.data_ = nullptr;
        other.size_ = 0;
    }
    return *this;
}

std::string SandboxRefusal() {
    if (const char* off = std::getenv("CALMORA_DECODE_IN_PROCESS"); off && *off && *off != '0')
        return "CALMORA_DECODE_IN_PROCESS is set";
    // valgrind runs the program on its own core, which the filter would stop.
    if (const char* preload = std::getenv("LD_PRELOAD"); preload && std::strstr(preload, "vgpreload"))
        return "running under valgrind";
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("TracerPid:", 0) == 0)
            return std::atol(line.c_str() + 10) != 0 ? "running under a debugger" : "";
    }
    return "";
}

SandboxResult RunSandboxed(const std::string& path, const SandboxLimits& limits, SandboxJob job,
                           void* argument, SandboxReceiver* receiver) {
    SandboxResult result;
    Descriptor file, memory, statusRead, statusWrite;
    file.fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (file.fd < 0) {
        result.outcome = SandboxOutcome::Failed;
        result.why = std::string("cannot open the file: ") + std::strerror(errno);
        return result;
    }
    memory.fd = memfd_create("calmora-decoded", MFD_CLOEXEC);
    int pipeFds[2];
    if (memory.fd < 0 || pipe2(pipeFds, O_CLOEXEC) != 0) {
        result.why = std::string("no shared memory or pipe: ") + std::strerror(errno);
        return result;
    }
    statusRead.fd = pipeFds[0];
    statusWrite.fd = pipeFds[1];
    (void)fcntl(statusWrite.fd, F_SETPIPE_SZ, kPipeBytes);  // the default 64 KiB only costs time

    const bool mainThread = gettid() == getpid();
    const pid_t pid = fork();
    if (pid < 0) {
        result.why = std::string("cannot start a process: ") + std::strerror(errno);
        return result;
    }
    if (pid == 0)
        RunChild(file.fd, memory.fd, statusWrite.fd, path, limits, mainThread, job, argument);
    close(statusWrite.fd);
    statusWrite.fd = -1;
    const int64_t deadline = NowMs() + limits.wallMilliseconds;
    if (receiver) receiver->WhileTheChildRuns();

    // What the child sends, its status byte, then the end of the pipe when
    // it exits; all within the time allowed.
    StatusReader reader(receiver);
    bool timedOut = false, refused = false;
    for (;;) {
        const int64_t left = deadline - NowMs();
        if (left <= 0) {
            timedOut = true;
            break;
        }
        pollfd waitFor{statusRead.fd, POLLIN, 0};
        const int ready = poll(&waitFor, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) {
            timedOut = ready == 0;
            break;
        }
        const StatusReader::Step step = reader.Read(statusRead.fd);
        refused = step == StatusReader::Step::Refused;
        if (step != StatusReader::Step::More) break;  // the child is gone, or sent too much
    }
    if (timedOut || refused) kill(pid, SIGKILL);
    int exitStatus = 0;
    while (waitpid(pid, &exitStatus, 0) < 0 && errno == EINTR) {
    }

    const char status = reader.status;
    result.sent = reader.sent;
    if (refused) {
        result.outcome = SandboxOutcome::Failed;
        result.why = "sent more than it was asked for";
        return result;
    }
    const bool exited = !timedOut && WIFEXITED(exitStatus);
    if (exited && status == kNoFilter) {
        result.lasting = true;
        result.why = "this system has no seccomp filter";
        return result;
    }
    if (!exited || WEXITSTATUS(exitStatus) != 0 || status != kJobDone ||
        reader.sent != reader.announced) {
        result.outcome = SandboxOutcome::Failed;
        result.why = Describe(exitStatus, timedOut);
        return result;
    }
    struct stat st {};
    if (fstat(memory.fd, &st) != 0) {
        result.outcome = SandboxOutcome::Failed;
        result.why = "its result cannot be read";
        return result;
    }
    result.outcome = SandboxOutcome::Finished;
    if (st.st_size > 0) {
        void* map = mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ,
                         MAP_SHARED | MAP_POPULATE, memory.fd, 0);
        if (map == MAP_FAILED) {
            result.outcome = SandboxOutcome::Failed;
            result.why = "its result cannot be mapped";
            return result;
        }
        result.data_ = map;
        result.size_ = static_cast<size_t>(st.st_size);
    }
    return result;
}

}  // namespace calmora
