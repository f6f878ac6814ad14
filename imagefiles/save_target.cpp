#include "imagefiles/save_target.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace calmora {

namespace {

constexpr int kMaxLinks = 40;  // the kernel's own limit for a path

std::string NameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The text of the link at path; false with errno set when it cannot be read.
bool ReadLink(const std::string& path, std::string& to) {
    std::vector<char> buffer(PATH_MAX);
    for (;;) {
        const ssize_t n = readlink(path.c_str(), buffer.data(), buffer.size());
        if (n < 0) return false;
        if (static_cast<size_t>(n) < buffer.size()) {
            to.assign(buffer.data(), static_cast<size_t>(n));
            return true;
        }
        buffer.resize(buffer.size() * 2);
    }
}

// The kernel's rule for links in shared folders (fs.protected_symlinks),
// applied here because the links are followed by hand: a link in a sticky,
// world-writable folder such as /tmp is followed only when it belongs to
// this user or to the folder's owner, so that nobody can point a name
// another user is about to save under at that user's files.
bool MayFollow(const std::string& link, const struct stat& linkStat) {
    if (linkStat.st_uid == geteuid()) return true;
    struct stat folder {};
    if (stat(FolderOf(link).c_str(), &folder) != 0) return false;
    const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    return !shared || folder.st_uid == linkStat.st_uid;
}

SaveTarget Refused(SaveError error, int systemError = 0) {
    SaveTarget target;
    target.error = error;
    target.systemError = systemError;
    return target;
}

bool MayBeWritten(const std::string& path, mode_t mode) {
    if ((mode & 0222) == 0) return false;
    if (faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0) return true;
    // A read-only file system or the like is for the write itself to report.
    return errno != EACCES && errno != EPERM;
}

// The checks on what lstat found at the end of the links.
SaveError KindError(const std::string& path, const struct stat& st) {
    if (S_ISDIR(st.st_mode)) return SaveError::IsFolder;
    if (!S_ISREG(st.st_mode)) return SaveError::NotRegularFile;
    if (!MayBeWritten(path, st.st_mode)) return SaveError::WriteProtected;
    return SaveError::None;
}

}  // namespace

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

SaveTarget CheckSaveTarget(const std::string& path) {
    std::string at = path;
    struct stat st {};
    bool found = false;
    for (int links = 0;; ++links) {
        if (lstat(at.c_str(), &st) != 0) {
            const int error = errno;
            if (error == ENOENT) break;
            // A link leading through a plain file where a folder should be.
            if (error == ENOTDIR && at != path) return Refused(SaveError::BrokenLink, error);
            return Refused(SaveError::CannotCreate, error);
        }
        if (!S_ISLNK(st.st_mode)) {
            found = true;
            break;
        }
        if (links == kMaxLinks) return Refused(SaveError::BrokenLink, ELOOP);
        if (!MayFollow(at, st)) return Refused(SaveError::UntrustedLink);
        std::string to;
        if (!ReadLink(at, to)) return Refused(SaveError::CannotCreate, errno);
        if (to.empty()) return Refused(SaveError::BrokenLink, ENOENT);
        at = to.front() == '/' ? to : FolderOf(at) + "/" + to;
    }

    SaveTarget target;
    target.path = at;
    target.folder = FolderOf(at);
    if (!found) {
        // Reached through a link: the file it names is made, but only in a
        // folder that exists (the save never makes folders).
        if (at != path) {
            const std::string name = NameOf(at);
            struct stat folder {};
            if (name.empty() || name == "." || name == ".." ||
                stat(target.folder.c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode))
                return Refused(SaveError::BrokenLink, ENOENT);
        }
        return target;
    }
    if (const SaveError error = KindError(at, st); error != SaveError::None) return Refused(error);
    target.exists = true;
    target.mode = st.st_mode & 07777;
    target.owner = st.st_uid;
    target.group = st.st_gid;
    target.device = st.st_dev;
    target.inode = st.st_ino;
    return target;
}

SaveError RecheckSaveTarget(const SaveTarget& target) {
    struct stat st {};
    if (lstat(target.path.c_str(), &st) != 0) return SaveError::None;
    if (S_ISLNK(st.st_mode)) return SaveError::None;
    if (target.exists && st.st_dev == target.device && st.st_ino == target.inode &&
        S_ISREG(st.st_mode))
        return SaveError::None;
    return KindError(target.path, st);
}

}  // namespace calmora
