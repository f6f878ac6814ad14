// Standard output of the batch tool, and whether everything sent there
// arrived: help or a report lost to a full disk or a closed descriptor must
// not end as a success.
#pragma once

#include <string>

namespace calmora::cli {

// Opens /dev/null in the direction nobody uses (write-only for standard
// input, read-only for standard output and error) on each of the three
// standard descriptors the tool was started without. Otherwise the first
// file the tool opens would take that number: an image being written could
// receive the progress bar or an error message, and a closed standard
// output would go unnoticed. With this, a write there fails (EBADF) and is
// reported.
void KeepStandardDescriptorsTaken();

// Writes text to standard output and flushes it, remembering the first failure.
void PrintOut(const std::string& text);

// Flushes and closes standard output: 0 when everything written there
// arrived, otherwise the errno of the first failure (EIO when it is unknown).
[[nodiscard]] int FinishStandardOutput();

}  // namespace calmora::cli
