#include "imagefiles/seccomp_filter.h"

#include <fcntl.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <ucontext.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace calmora {

namespace {

#if defined(__x86_64__)
constexpr uint32_t kArch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr uint32_t kArch = AUDIT_ARCH_AARCH64;
#else
constexpr uint32_t kArch = 0;  // no filter written for this architecture
#endif

constexpr uint32_t kAllow = SECCOMP_RET_ALLOW;
constexpr uint32_t kKill = SECCOMP_RET_KILL_PROCESS;
constexpr uint32_t kRefuse = SECCOMP_RET_ERRNO | (EPERM & SECCOMP_RET_DATA);
constexpr uint32_t kTrap = SECCOMP_RET_TRAP;

// Low word of argument i (both supported architectures are little-endian).
constexpr uint32_t ArgOffset(int i) {
    return static_cast<uint32_t>(offsetof(seccomp_data, args) + 8 * i);
}

class Program {
public:
    void Load(uint32_t offset) { code_.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offset)); }
    void Return(uint32_t action) { code_.push_back(BPF_STMT(BPF_RET | BPF_K, action)); }
    // if (nr == call) return action;
    void On(long call, uint32_t action) {
        code_.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<uint32_t>(call), 0, 1));
        Return(action);
    }
    // if (nr == call) return arg(i) == value ? allow : kill;
    void OnlyWithArg(long call, int i, uint32_t value) {
        OnArg(call, i, BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, value, 0, 1));
    }
    // if (nr == call) return arg(i) & bits ? kill : allow;
    void OnlyWithoutBits(long call, int i, uint32_t bits) {
        OnArg(call, i, BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, bits, 1, 0));
    }
    void Reload() { Load(offsetof(seccomp_data, nr)); }
    std::vector<sock_filter>& Code() { return code_; }

private:
    // if (nr == call) return arg(i) passes test ? allow : kill. The test
    // instruction, run on the argument, goes on to the next one (allow) or
    // jumps over it (kill).
    void OnArg(long call, int i, sock_filter test) {
        code_.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<uint32_t>(call), 0, 4));
        Load(ArgOffset(i));
        code_.push_back(test);
        Return(kAllow);
        Return(kKill);
        Reload();  // the argument check overwrote the call number
    }

    std::vector<sock_filter> code_;
};

std::vector<sock_filter> BuildFilter(const FilterDescriptors& fds, bool trapOpens) {
    Program p;
    // A call made through another architecture's numbering (x32, or 32-bit
    // x86 on x86-64) would get past every rule below: refuse it outright.
    p.Load(offsetof(seccomp_data, arch));
    p.Code().push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kArch, 1, 0));
    p.Return(kKill);
    p.Reload();
#if defined(__x86_64__)
    p.Code().push_back(BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, 0x40000000u, 0, 1));  // x32 calls
    p.Return(kKill);
#endif
    // Reading what is already open, memory, time, signals to itself, leaving.
    for (long call : {long{SYS_read}, long{SYS_pread64}, long{SYS_readv}, long{SYS_lseek},
                      long{SYS_newfstatat}, long{SYS_fstat}, long{SYS_close}, long{SYS_dup},
                      long{SYS_munmap}, long{SYS_mremap}, long{SYS_brk}, long{SYS_madvise},
                      long{SYS_futex}, long{SYS_sched_yield}, long{SYS_getrandom},
                      long{SYS_clock_gettime}, long{SYS_clock_getres}, long{SYS_gettimeofday},
                      long{SYS_clock_nanosleep}, long{SYS_nanosleep}, long{SYS_restart_syscall},
                      long{SYS_rt_sigreturn}, long{SYS_rt_sigprocmask}, long{SYS_rt_sigaction},
                      long{SYS_getpid}, long{SYS_gettid}, long{SYS_tgkill}, long{SYS_exit},
                      long{SYS_exit_group}})
        p.On(call, kAllow);
    // New memory, never executable: no code can be brought in.
    p.OnlyWithoutBits(SYS_mmap, 2, PROT_EXEC);
    p.OnlyWithoutBits(SYS_mprotect, 2, PROT_EXEC);
    // The result goes to the shared memory file and the status pipe only.
    p.OnlyWithArg(SYS_ftruncate, 0, static_cast<uint32_t>(fds.result));
    p.OnlyWithArg(SYS_write, 0, static_cast<uint32_t>(fds.status));
    // Opens: the picture's own name is served from the open descriptor.
    p.On(SYS_openat, trapOpens ? kTrap : kRefuse);
#ifdef SYS_open
    p.On(SYS_open, trapOpens ? kTrap : kRefuse);
#endif
    // What libc and the decoders ask on the way without needing an answer.
    for (long call : {long{SYS_ioctl}, long{SYS_fcntl}, long{SYS_prlimit64}, long{SYS_sysinfo},
                      long{SYS_sched_getaffinity}, long{SYS_statx}, long{SYS_faccessat},
                      long{SYS_readlinkat}, long{SYS_uname}, long{SYS_getcwd}})
        p.On(call, kRefuse);
#ifdef SYS_access
    p.On(SYS_access, kRefuse);
    p.On(SYS_readlink, kRefuse);
#endif
    // Everything else (execve, socket, connect, kill, ptrace, fork...) ends it.
    p.Return(kKill);
    return std::move(p.Code());
}

// The one name an open may ask for, and the descriptor that answers it.
const char* g_openPath = nullptr;
int g_openFile = -1;

void AnswerTrappedOpen(int, siginfo_t* info, void* context) {
    const int savedErrno = errno;
    auto* uc = static_cast<ucontext_t*>(context);
    const char* path = nullptr;
    long flags = O_WRONLY;
#if defined(__x86_64__)
    greg_t* regs = uc->uc_mcontext.gregs;
    if (info->si_syscall == SYS_openat) {
        path = reinterpret_cast<const char*>(regs[REG_RSI]);
        flags = regs[REG_RDX];
    } else if (info->si_syscall == SYS_open) {
        path = reinterpret_cast<const char*>(regs[REG_RDI]);
        flags = regs[REG_RSI];
    }
#elif defined(__aarch64__)
    auto* regs = uc->uc_mcontext.regs;
    if (info->si_syscall == SYS_openat) {
        path = reinterpret_cast<const char*>(regs[1]);
        flags = static_cast<long>(regs[2]);
    }
#endif
    long result = -EPERM;
    const bool readOnly = (flags & O_ACCMODE) == O_RDONLY && (flags & (O_CREAT | O_TRUNC)) == 0;
    if (path && g_openPath && readOnly && std::strcmp(path, g_openPath) == 0) {
        const long fd = syscall(SYS_dup, g_openFile);
        if (fd >= 0 && lseek(static_cast<int>(fd), 0, SEEK_SET) == 0) result = fd;
        else if (fd >= 0) close(static_cast<int>(fd));
    }
#if defined(__x86_64__)
    regs[REG_RAX] = result;
#elif defined(__aarch64__)
    regs[0] = static_cast<unsigned long long>(result);
#endif
    errno = savedErrno;
}

}  // namespace

FilterInstall InstallDecodeFilter(const FilterDescriptors& fds, const char* path) {
    if (kArch == 0) return FilterInstall::Unavailable;
    const bool trapOpens = path && fds.file >= 0;
    if (trapOpens) {
        g_openPath = path;
        g_openFile = fds.file;
        struct sigaction action {};
        action.sa_sigaction = AnswerTrappedOpen;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        if (sigaction(SIGSYS, &action, nullptr) != 0) return FilterInstall::Failed;
        sigset_t sys;
        sigemptyset(&sys);
        sigaddset(&sys, SIGSYS);
        sigprocmask(SIG_UNBLOCK, &sys, nullptr);
    }
    std::vector<sock_filter> code = BuildFilter(fds, trapOpens);
    sock_fprog program{static_cast<unsigned short>(code.size()), code.data()};
    // Without this an unprivileged process may not install a filter; it also
    // keeps any set-user-id program from gaining rights (none can be started).
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return errno == EINVAL ? FilterInstall::Unavailable : FilterInstall::Failed;
    if (prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
        return errno == EINVAL ? FilterInstall::Unavailable : FilterInstall::Failed;
    return FilterInstall::Installed;
}

}  // namespace calmora
