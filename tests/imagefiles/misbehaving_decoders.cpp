#include "misbehaving_decoders.h"

#include <signal.h>

#include <cstdlib>
#include <cstring>

namespace calmora_test {

calmora::BitmapPtr CrashingDecoder(const std::string&) {
    raise(SIGSEGV);
    return nullptr;
}

calmora::BitmapPtr RunawayDecoder(const std::string&) {
    for (volatile unsigned long i = 0;; i = i + 1) {
    }
}

calmora::BitmapPtr GreedyDecoder(const std::string&) {
    for (;;) std::memset(std::malloc(32 << 20), 7, 32 << 20);
}

}  // namespace calmora_test
