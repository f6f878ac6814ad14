#include "input_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace calmora_fuzz {

namespace {

struct PrivateFolder {
    std::string folder;
    std::string file;
    bool ready = false;
};

// Runs in the helper process: waits until the fuzzing process, the only
// holder of the pipe's write end, has ended, then removes its folder. Only
// async-signal-safe calls, since the fuzzer already runs threads when the
// helper is forked.
[[noreturn]] void RemoveWhenParentEnds(int readEnd, const char* file, const char* folder) {
    // Ctrl-C and a kill of the process group reach the helper too; it must
    // outlive the fuzzer to clean up after it.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaction(sig, &ignore, nullptr);
    char byte;
    while (read(readEnd, &byte, 1) != 0) {
        // Nothing is ever written; only EOF (or an error other than EINTR) ends the wait.
        if (errno != EINTR) break;
    }
    unlink(file);
    rmdir(folder);
    _exit(0);
}

PrivateFolder MakeFolder() {
    PrivateFolder made;
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/calmora-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        std::perror("calmora fuzz: mkdtemp");
        return made;
    }
    made.folder = pattern;
    made.file = pattern + "/input";
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        std::perror("calmora fuzz: pipe");
        rmdir(made.folder.c_str());
        return made;
    }
    const pid_t pid = fork();
    if (pid < 0) {
        std::perror("calmora fuzz: fork");
        close(fds[0]);
        close(fds[1]);
        rmdir(made.folder.c_str());
        return made;
    }
    if (pid == 0) {
        close(fds[1]);
        RemoveWhenParentEnds(fds[0], made.file.c_str(), made.folder.c_str());
    }
    close(fds[0]);  // the write end stays open, unused, until this process ends
    made.ready = true;
    return made;
}

const PrivateFolder& Folder() {
    static const PrivateFolder folder = MakeFolder();
    return folder;
}

bool WriteAll(const std::string& path, const uint8_t* data, size_t size) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = true;
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return close(fd) == 0 && ok;
}

}  // namespace

InputFile::InputFile(const uint8_t* data, size_t size) {
    const PrivateFolder& folder = Folder();
    written_ = folder.ready && WriteAll(folder.file, data, size);
}

InputFile::~InputFile() {
    if (Folder().ready) unlink(Folder().file.c_str());
}

const std::string& InputFile::Path() const { return Folder().file; }

}  // namespace calmora_fuzz
