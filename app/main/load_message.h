// The message the window shows for a file it could not load.
#pragma once

#include "imagefiles/load_error.h"

namespace calmora {

// Number of the message catalogue entry for error: unknown format 1, no
// 24-bit version 3, everything else 2; 0 for None.
[[nodiscard]] int CatalogueMessageFor(ImageFileError error);

}  // namespace calmora
