// Why a save failed, in the window's language (1 English, 2 Italian), UTF-8:
// the image-file layer's English description, or its Italian twin with the
// system's reason in Italian.
#pragma once

#include <string>

#include "imagefiles/save_error.h"

namespace calmora {

[[nodiscard]] std::string SaveErrorText(SaveError error, int systemError, int language);

}  // namespace calmora
