// The small pictures of the dialog's picture buttons, drawn at run time.
#pragma once

#include <QPixmap>

#include "preview_state.h"

namespace calmora {

// A light picture marks the view that is shown, a dark one the others.
[[nodiscard]] QPixmap ViewButtonPicture(ResultView view, bool light);

// The mode buttons: a dashed frame for select-area mode, four arrows for scroll mode.
[[nodiscard]] QPixmap SelectAreaPicture();
[[nodiscard]] QPixmap ScrollPicture();

}  // namespace calmora
