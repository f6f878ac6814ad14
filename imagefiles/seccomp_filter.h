// The system-call filter a decoding child runs under: once installed, the
// child can compute, allocate and hand back its result, and nothing else. It
// cannot open a file (except the one picture it was given, see below), write
// anywhere but its result channel, start a program or reach the network.
#pragma once

namespace calmora {

// The three descriptors a decoding child keeps open.
struct FilterDescriptors {
    int file = -1;    // the picture, opened read-only before the filter
    int result = -1;  // the shared memory file the child may grow
    int status = -1;  // the pipe the child may write its last word to
};

enum class FilterInstall {
    Installed,
    Unavailable,  // this kernel (or architecture) has no seccomp filter mode
    Failed,       // seccomp is there, but the filter was refused
};

// Installs the filter on the calling process, for good. Opening the path
// the child was given (read-only) still works: such an open is turned into a
// copy of descriptors.file, rewound, so that decoders which read the picture
// by name keep working; every other open fails with EPERM. Must be called in
// a single-threaded process.
[[nodiscard]] FilterInstall InstallDecodeFilter(const FilterDescriptors& fds, const char* path);

}  // namespace calmora
