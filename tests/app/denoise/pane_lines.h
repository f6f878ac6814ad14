// Checks of one screen line of the dialog's result panes.
#pragma once

#include "dialog_testing.h"

namespace calmora::testing {

// PicR / PicNoise line y against buffer row height-1-y of a bitmap.
inline bool PaneLineShows(const PictureBox* pane, const DisplayBitmap& bitmap, int y) {
    for (int x = 0; x < bitmap.width(); ++x)
        if (pane->PixelAt(x, y) != ToRgb(PixelOf(bitmap.bits, bitmap.width(), bitmap.height(), x, y)))
            return false;
    return true;
}

inline bool PaneLineIsBlank(const PictureBox* pane, int width, int y) {
    for (int x = 0; x < width; ++x)
        if (pane->PixelAt(x, y) != qRgb(255, 255, 255)) return false;
    return true;
}

}  // namespace calmora::testing
