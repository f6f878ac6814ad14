// Captions of the window's controls added beside the original menus (zoom,
// history, recent files, quit), in both languages; applied after
// kControlCaptions, whose order and texts stay as they are.
#pragma once

#include "captions.h"

namespace calmora {

constexpr int kAddedCaptionCount = 8;
extern const ControlCaption kAddedCaptions[kAddedCaptionCount];

}  // namespace calmora
