#include "imagefiles/contents_save.h"

#include <cerrno>
#include <cstdio>

#include "imagefiles/pending_file.h"
#include "imagefiles/save_target.h"

namespace calmora {

SaveResult SaveFileContents(const std::string& path, const std::string& contents) {
    if (path.empty()) return SaveFailure(SaveError::NoFileName);
    const SaveTarget target = CheckSaveTarget(path);
    if (target.error != SaveError::None) return SaveFailure(target.error, target.systemError);
    PendingFile file;
    if (const int error = file.Create(target)) return SaveFailure(SaveError::CannotCreate, error);
    errno = 0;
    if (std::fwrite(contents.data(), 1, contents.size(), file.File()) != contents.size()) {
        const int error = file.FirstWriteError();
        return SaveFailure(SaveError::WriteFailed, error ? error : (errno ? errno : EIO));
    }
    if (const int error = file.Close()) return SaveFailure(SaveError::WriteFailed, error);
    return file.Replace(target);
}

}  // namespace calmora
