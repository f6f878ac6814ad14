// Where each result of calmora-denoise goes.
#pragma once

#include <string>
#include <vector>

#include "options.h"

namespace calmora::cli {

struct OutputTarget {
    std::string path;
    std::optional<SaveFormat> format;  // nothing: the extension names no writable format
};

// -o as given; with --output-dir DIR/NAME.EXT; otherwise NAME-denoised.EXT
// beside the input. EXT is --format, else the input's own extension when it
// is a writable format, else png.
[[nodiscard]] OutputTarget OutputFor(const Options& options, const std::string& input);

}  // namespace calmora::cli
