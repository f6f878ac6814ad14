// What a decoding child says to its parent on the status pipe. Shared by
// the child's side (sandbox_child.cpp) and the parent's (sandbox.cpp).
#pragma once

namespace calmora::sandbox_protocol {

// The status byte a child writes as its last word.
constexpr char kJobDone = 'D';
constexpr char kJobFailed = 'F';
constexpr char kNoFilter = 'N';
// Before it, once: this byte, a length (8 bytes, little-endian) and as many
// bytes for the receiver.
constexpr char kStream = 'S';

}  // namespace calmora::sandbox_protocol
