// Decoders that misbehave the ways a hostile picture can make a real one
// misbehave, for tests that hand them to the load path through its seam.
// Each is meant to run in the decoding child, never in the test's process.
#pragma once

#include <string>

#include "imagefiles/image_load.h"

namespace calmora_test {

// Dies of a segmentation fault.
calmora::BitmapPtr CrashingDecoder(const std::string& path);
// Loops for ever.
calmora::BitmapPtr RunawayDecoder(const std::string& path);
// Allocates and touches memory until it is stopped.
calmora::BitmapPtr GreedyDecoder(const std::string& path);

}  // namespace calmora_test
