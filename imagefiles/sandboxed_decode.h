// FreeImage's work on a picture run in a sandboxed child (sandbox.h) and its
// result brought back into this process: the decoded 24-bit bitmap with its
// metadata and profile, or the size and sample type from its header. Where
// no sandbox can be had (no seccomp, a debugger or valgrind,
// CALMORA_DECODE_IN_PROCESS), nothing comes back, stderr says why once, and
// the caller does the work itself from then on.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "imagefiles/bitmap.h"
#include "imagefiles/bitmap_transfer.h"
#include "imagefiles/load_error.h"
#include "imagefiles/sandbox.h"

namespace calmora {

struct DecodedPicture {
    ImageFileError error = ImageFileError::None;
    BitmapPtr image;  // 24 bits, with the file's metadata
};

// What the child runs, under the filter; context is the caller's own.
using PictureWork = DecodedPicture (*)(const char* path, const void* context);
using HeaderWork = BitmapPtr (*)(const char* path, const void* context);  // null: header refused

// The picture work decodes in a child. While it does, the final bitmap of the
// probed width x height is allocated here (on a machine where faulting in
// fresh memory costs as much as decoding, that hides the cost behind the
// decode), and the child's pixels are read straight into it. A child that
// failed in any way, or sent what does not add up, gives Corrupt.
[[nodiscard]] std::optional<DecodedPicture> DecodeInSandbox(const std::string& path,
                                                            const SandboxLimits& limits,
                                                            int64_t width, int64_t height,
                                                            PictureWork work, const void* context);

// The header as work reads it in a child: described, with status 0 when
// FreeImage accepted it; status Corrupt when it refused it or the child failed.
[[nodiscard]] std::optional<TransferredBitmap> ReadHeaderInSandbox(const std::string& path,
                                                                   const SandboxLimits& limits,
                                                                   HeaderWork work,
                                                                   const void* context);

}  // namespace calmora
