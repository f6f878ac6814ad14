#include "imagefiles/sandbox.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "imagefiles/sandbox_child.h"
#include "imagefiles/sandbox_protocol.h"

namespace calmora {

using namespace sandbox_protocol;

namespace {

// The status pipe's buffer: large enough that a child streaming pixels and
// the parent reading them rarely wait for each other.
constexpr int kPipeBytes = 1 << 20;

struct Descriptor {
    int fd = -1;
    ~Descriptor() { if (fd >= 0) close(fd); }
};

int64_t NowMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t{t.tv_sec} * 1000 + t.tv_nsec / 1000000;
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
    // Pixels stream through the pipe only to a receiver; for them the default
    // 64 KiB only costs time.
    if (receiver) (void)fcntl(statusWrite.fd, F_SETPIPE_SZ, kPipeBytes);

    const bool mainThread = gettid() == getpid();
    const pid_t pid = fork();
    if (pid < 0) {
        result.why = std::string("cannot start a process: ") + std::strerror(errno);
        return result;
    }
    if (pid == 0)
        RunSandboxChild(file.fd, memory.fd, statusWrite.fd, path, limits, mainThread, job, argument);
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
