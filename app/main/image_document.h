// The main window's current image, its display bitmaps and the flags of the
// command working on it; what the view shows is MainViewModel's.
#pragma once

#include <FreeImage.h>
#include <QString>
#include <cstdint>
#include <functional>

#include "display_bitmap.h"
#include "view_model.h"

namespace calmora {

struct ImageDocument {
    QString fileName;        // full path of the current file; where the open dialog starts
    QString lastChosenName;  // put back into fileName when the dialog is cancelled
    int32_t fileType = -1;   // FreeImage format code
    FIBITMAP* image = nullptr;  // always 24 bits per pixel; null = none
    int32_t width = 0;
    int32_t height = 0;
    uint8_t* imageBits = nullptr;  // the pixels of image, in the engine's buffer layout

    DisplayBitmap viewBitmap;  // the visible block at true size
    DisplayBitmap fitBitmap;  // made on first use of "screen fit", kept until the picture changes
    bool fitBitmapExists = false;

    int16_t rotation = 0;  // 0, 90, 180, 270
    bool loadingFlag = false;   // up while a file is being loaded: no redraws, no closing
    bool viewReadyFlag = false;  // down while the scroll bars are reset and the view is laid out
    QString openFolder;

    int32_t dragStartX = 0;
    int32_t dragStartY = 0;
};

// How the main window gets its image memory. Tests replace these to make an
// allocation fail where memory cannot be exhausted on purpose.
struct ImageAllocation {
    // A standard 24-bit bitmap of width x height; null when it cannot be had.
    std::function<FIBITMAP*(int32_t width, int32_t height)> allocate24;
    // CreaDIB.
    std::function<bool(DisplayBitmap& bitmap, int32_t width, int32_t height)> createDisplayBitmap;
};

ImageAllocation& Allocation();
void RestoreDefaultAllocation();

}  // namespace calmora
