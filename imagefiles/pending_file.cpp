#include "imagefiles/pending_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace calmora {

namespace {

std::atomic<SaveWriteCall> g_writeCall{nullptr};

ssize_t WriteOnce(int fd, const void* data, size_t size) {
    const SaveWriteCall call = g_writeCall.load(std::memory_order_relaxed);
    return call ? call(fd, data, size) : ::write(fd, data, size);
}

// Large writes: a 12-megapixel BMP is 36 MB.
constexpr size_t kStreamBuffer = 64 * 1024;

// The umask, read where the kernel shows it (Linux 4.7 and later): setting
// it to read it back would leave it at 0 for a moment, during which a file
// another thread makes would be open to everyone.
mode_t CurrentUmask() {
    if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status))
            found = std::sscanf(line, "Umask: %o", &mask) == 1;
        std::fclose(status);
        if (found) return static_cast<mode_t>(mask & 0777);
    }
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

mode_t UmaskMode() { return 0666 & ~CurrentUmask(); }

}  // namespace

struct PendingFile::Channel {
    int fd = -1;
    int firstError = 0;

    static ssize_t Write(void* cookie, const char* data, size_t size) {
        auto* self = static_cast<Channel*>(cookie);
        size_t done = 0;
        while (done < size) {
            const ssize_t n = WriteOnce(self->fd, data + done, size - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                if (self->firstError == 0) self->firstError = n < 0 && errno ? errno : EIO;
                break;  // a short count marks the stream as failed
            }
            done += static_cast<size_t>(n);
        }
        return static_cast<ssize_t>(done);
    }
    static ssize_t Read(void* cookie, char* into, size_t size) {
        auto* self = static_cast<Channel*>(cookie);
        for (;;) {
            const ssize_t n = ::read(self->fd, into, size);
            if (n >= 0 || errno != EINTR) return n;
        }
    }
    static int Seek(void* cookie, off64_t* offset, int whence) {
        auto* self = static_cast<Channel*>(cookie);
        const off_t at = lseek(self->fd, static_cast<off_t>(*offset), whence);
        if (at < 0) return -1;
        *offset = at;
        return 0;
    }
    static int CloseStream(void*) { return 0; }  // the descriptor is closed after fsync
};

PendingFile::PendingFile() = default;
PendingFile::~PendingFile() { Discard(); }

int PendingFile::Create(const SaveTarget& target) {
    path_ = target.folder + "/.calmora-save-XXXXXX";
    const int fd = mkostemp(path_.data(), O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        path_.clear();
        return error;
    }
    channel_ = std::make_unique<Channel>();
    channel_->fd = fd;
    if (target.exists) {
        // The owner can be given only by root; a group of this user's by
        // anyone. What cannot be kept is left as the new file has it.
        if (fchown(fd, target.owner, target.group) != 0)
            (void)fchown(fd, static_cast<uid_t>(-1), target.group);
    }
    // After fchown, which clears the set-id bits.
    fchmod(fd, target.exists ? target.mode : UmaskMode());
    const cookie_io_functions_t calls{Channel::Read, Channel::Write, Channel::Seek,
                                      Channel::CloseStream};
    file_ = fopencookie(channel_.get(), "w+", calls);
    if (!file_) {
        const int error = errno;
        Discard();
        return error;
    }
    setvbuf(file_, nullptr, _IOFBF, kStreamBuffer);
    return 0;
}

int PendingFile::Descriptor() const { return channel_ ? channel_->fd : -1; }
int PendingFile::FirstWriteError() const { return channel_ ? channel_->firstError : 0; }

int PendingFile::Close() {
    errno = 0;
    int error = 0;
    if (std::fflush(file_) != 0 || std::ferror(file_)) error = errno ? errno : EIO;
    if (channel_->firstError) error = channel_->firstError;
    if (!error && fsync(channel_->fd) != 0) error = errno;
    std::fclose(file_);
    file_ = nullptr;
    if (::close(channel_->fd) != 0 && !error) error = errno;
    channel_->fd = -1;
    return error;
}

SaveResult PendingFile::Replace(const SaveTarget& target) {
    if (const SaveError error = RecheckSaveTarget(target); error != SaveError::None)
        return SaveFailure(error);
    int done = -1;
    if (!target.exists) {
        // Nothing was there: nothing that appears meanwhile is replaced.
        done = renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, target.path.c_str(), RENAME_NOREPLACE);
        if (done != 0 && errno == EEXIST) return SaveFailure(SaveError::CannotReplace, EEXIST);
        // File systems without the flag answer EINVAL: the plain rename below.
    }
    if (done != 0 && std::rename(path_.c_str(), target.path.c_str()) != 0)
        return SaveFailure(SaveError::CannotReplace, errno);
    path_.clear();
    SaveResult saved;
    saved.ok = true;
    return saved;
}

void PendingFile::Discard() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    if (channel_ && channel_->fd >= 0) ::close(channel_->fd);
    channel_.reset();
    if (!path_.empty()) unlink(path_.c_str());
    path_.clear();
}

void PendingFile::Swap(PendingFile& other) {
    std::swap(path_, other.path_);
    std::swap(channel_, other.channel_);
    std::swap(file_, other.file_);
}

void SetSaveWriteCall(SaveWriteCall call) { g_writeCall.store(call, std::memory_order_relaxed); }

}  // namespace calmora
