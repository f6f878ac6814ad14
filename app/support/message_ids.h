// Names for the numbers of the message catalogue (message_catalogue.h) that
// code shows, so a call says which message it means.
#pragma once

namespace calmora::msg {

constexpr int kUnknownFormat = 1;         // "Unknown image format."
constexpr int kNoMemoryToLoad = 2;        // loading failed: damaged, too large, no memory
constexpr int kNoMemoryFor24Bits = 3;     // no 24-bit version could be made
constexpr int kNoMemoryViewBitmap = 4;    // the true-size view bitmap
constexpr int kNoMemoryViewCopy = 5;      // copying the image into the view
constexpr int kNoMemoryScreenFit = 6;     // the screen-fit picture
constexpr int kNoMemoryRotateInput = 24;  // the turned picture
constexpr int kNoMemoryDenoise = 43;      // the denoise run's output picture

}  // namespace calmora::msg
