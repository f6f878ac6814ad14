// What a save may replace. Every save writes a new file beside the one it
// replaces and renames it into place; these checks decide, before anything
// is written, which name that is and whether it may be replaced at all, so
// that a save never swaps a device, a FIFO or a protected file for a picture.
#pragma once

#include <sys/types.h>

#include <string>

#include "imagefiles/save_error.h"

namespace calmora {

struct SaveTarget {
    SaveError error = SaveError::None;  // None: the save may go ahead
    int systemError = 0;
    std::string path;    // the name the finished file takes: the one given or where its links lead
    std::string folder;  // path's folder, where the temporary file is made
    bool exists = false;  // path is an existing regular file
    mode_t mode = 0;      // its permission bits, kept by the new file
    uid_t owner = 0;      // its owner and group, kept where the system allows
    gid_t group = 0;
    dev_t device = 0;  // which file it is, to notice a swap before the rename
    ino_t inode = 0;
};

// The target must be a regular file or absent:
// - a symbolic link is followed (up to 40 links) and the file at its end is
//   the one replaced, in that file's folder; the link stays. A link whose
//   end does not exist makes that file, provided its folder exists
//   (BrokenLink otherwise, and for a loop). A link in a sticky,
//   world-writable folder (/tmp) is followed only when it is this user's or
//   the folder owner's, as the kernel's protected_symlinks rule has it
//   (UntrustedLink otherwise);
// - a folder gives IsFolder; a device, FIFO or socket (directly or through a
//   link) NotRegularFile. Nothing is ever opened to find this out;
// - a file this user may not write gives WriteProtected: no write permission
//   for the user (faccessat with the effective ids), or, since root may write
//   anything, no write bit for anyone at all (mode a-w), which is how a file
//   is protected against root's own slips;
// - a name that cannot be looked up (a file where a folder should be, say)
//   gives CannotCreate with the system's reason.
[[nodiscard]] SaveTarget CheckSaveTarget(const std::string& path);

// Looks at target.path again just before the finished file is renamed over
// it, since the name may have changed hands while the file was written:
// None when it is absent, still a regular file that may be replaced, or a
// link (which the rename replaces, never what it leads to); otherwise the
// error CheckSaveTarget would now give.
[[nodiscard]] SaveError RecheckSaveTarget(const SaveTarget& target);

// The folder part of a path: "." for a bare name, "/" for a name in the root.
[[nodiscard]] std::string FolderOf(const std::string& path);

}  // namespace calmora
