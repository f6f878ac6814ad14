// The temporary file a save writes before it takes the old file's place.
// Every byte goes through one write call that remembers the first failure's
// errno: encoders such as FreeImage's TIFF writer carry on after a failed
// write and report success, and by the time the file is closed errno says
// nothing, so a full disk would otherwise show as a vague input/output error.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <memory>
#include <string>

#include "imagefiles/save_error.h"
#include "imagefiles/save_target.h"

namespace calmora {

class PendingFile {
public:
    PendingFile();
    ~PendingFile();  // removes the file unless it took the target's place
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // Makes the file in target's folder with the target's permission bits
    // (or those the umask gives a new file) and, where the system allows
    // (as root, or a group of this user's), its owner and group. 0 or the errno.
    int Create(const SaveTarget& target);

    // A read-write stream over the file; fileno() does not work on it.
    [[nodiscard]] std::FILE* File() const { return file_; }
    [[nodiscard]] int Descriptor() const;
    // errno of the first write that failed, 0 when none has.
    [[nodiscard]] int FirstWriteError() const;

    // Flushes everything to the disk and closes; 0 or the errno (the first
    // failed write's when there was one).
    int Close();

    // Renames the closed file over target.path after RecheckSaveTarget.
    [[nodiscard]] SaveResult Replace(const SaveTarget& target);

    void Discard();
    void Swap(PendingFile& other);

private:
    struct Channel;
    std::string path_;
    std::unique_ptr<Channel> channel_;
    std::FILE* file_ = nullptr;
};

// The call PendingFile writes with: write(2), unless a test puts one in its
// place that fails the way a full disk does. nullptr restores write(2).
using SaveWriteCall = ssize_t (*)(int fd, const void* data, size_t size);
void SetSaveWriteCall(SaveWriteCall call);

}  // namespace calmora
