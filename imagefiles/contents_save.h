// Replacing a small file's whole contents by the rules image saves follow
// (save_target.h), for the window program's settings files: written aside
// and renamed into place, so a failed write leaves the old file whole, and a
// settings name that is (or links to) a device, FIFO, socket or folder is
// never replaced.
#pragma once

#include <string>

#include "imagefiles/save_error.h"

namespace calmora {

[[nodiscard]] SaveResult SaveFileContents(const std::string& path, const std::string& contents);

}  // namespace calmora
