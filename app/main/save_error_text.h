// Why a save failed, in the window's language, UTF-8:
// the image-file layer's English description, or its Italian twin with the
// system's reason in Italian.
#pragma once

#include <string>

#include "app/support/language.h"
#include "imagefiles/save_error.h"

namespace calmora {

[[nodiscard]] std::string SaveErrorText(SaveError error, int systemError, Language language);

}  // namespace calmora
