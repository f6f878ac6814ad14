#include "standard_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace calmora::cli {

namespace {
int g_firstError = 0;

void Remember(int error) {
    if (g_firstError == 0) g_firstError = error ? error : EIO;
}
}  // namespace

void KeepStandardDescriptorsTaken() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // The lowest free number is fd, since the ones below it are open now.
        const int opened = open("/dev/null", (fd == 0 ? O_WRONLY : O_RDONLY) | O_NOCTTY);
        if (opened >= 0 && opened != fd) close(opened);
    }
}

void PrintOut(const std::string& text) {
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) Remember(errno);
    errno = 0;
    if (std::fflush(stdout) != 0) Remember(errno);
}

int FinishStandardOutput() {
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) Remember(errno);
    errno = 0;
    if (std::fclose(stdout) != 0) Remember(errno);
    return g_firstError;
}

}  // namespace calmora::cli
