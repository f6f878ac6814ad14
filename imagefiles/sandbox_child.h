// The child's side of RunSandboxed: from the fork to _exit, the descriptors
// arranged, the limits set, the filter installed and the job run.
#pragma once

#include <string>

#include "imagefiles/sandbox.h"

namespace calmora {

// Runs in the child right after the fork and never returns. file, result and
// status are the parent's descriptors of the picture, the shared result and
// the write end of the status pipe; mainHeap: forked from the main thread.
[[noreturn]] void RunSandboxChild(int file, int result, int status, const std::string& path,
                                  const SandboxLimits& limits, bool mainHeap, SandboxJob job,
                                  void* argument);

}  // namespace calmora
