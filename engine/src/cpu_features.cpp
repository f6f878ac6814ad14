// Picks the interior kernel once per process from what the processor runs.
// KCDENOISE_KERNEL=generic|sse2|avx2 asks for a lower one, so that every
// kernel can be checked on one machine; a kernel the processor lacks is never
// chosen.
#include <cstdlib>
#include <cstring>

#include "denoise_fast.h"

namespace kc {
namespace {

enum Level { kGeneric = 0, kSse2 = 1, kAvx2 = 2 };

Level ProcessorLevel() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) return kAvx2;
    if (__builtin_cpu_supports("sse2")) return kSse2;
#endif
    return kGeneric;
}

Level RequestedLevel() {
    const char* text = std::getenv("KCDENOISE_KERNEL");
    if (!text) return kAvx2;
    if (std::strcmp(text, "generic") == 0) return kGeneric;
    if (std::strcmp(text, "sse2") == 0) return kSse2;
    return kAvx2;
}

Level ChosenLevel() {
    static const Level level = [] {
        const Level cpu = ProcessorLevel(), asked = RequestedLevel();
        return asked < cpu ? asked : cpu;
    }();
    return level;
}

}  // namespace

InteriorKernel SelectBorderKernel() {
#if defined(__x86_64__) || defined(__i386__)
    if (ChosenLevel() == kAvx2) return &BorderSumsAvx2;
#endif
    return &BorderSums;
}

InteriorKernel SelectInteriorKernel() {
    static const InteriorKernel kernel = [] {
        const Level level = ChosenLevel();
#if defined(__x86_64__) || defined(__i386__)
        if (level == kAvx2) return &InteriorSumsAvx2;
        if (level == kSse2) return &InteriorSumsSse2;
#endif
        (void)level;
        return &InteriorSumsGeneric;
    }();
    return kernel;
}

}  // namespace kc
