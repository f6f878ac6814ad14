// Chooses the sums kernels once per process: the highest level the processor
// runs, lowered to KCDENOISE_KERNEL when that asks for less (engine_settings.h),
// so that every kernel can be checked on one machine; a kernel the processor
// lacks is never chosen.
#include "denoise_fast.h"
#include "engine_settings.h"

namespace kc {
namespace {

KernelLevel ProcessorLevel() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) return KernelLevel::Avx2;
    if (__builtin_cpu_supports("sse2")) return KernelLevel::Sse2;
#endif
    return KernelLevel::Generic;
}

KernelLevel ChosenLevel() {
    static const KernelLevel level = [] {
        const KernelLevel cpu = ProcessorLevel(), asked = CurrentEngineSettings().kernelCap;
        return asked < cpu ? asked : cpu;
    }();
    return level;
}

}  // namespace

bool Avx2KernelsChosen() { return ChosenLevel() == KernelLevel::Avx2; }

InteriorKernel SelectBorderKernel() {
#if defined(__x86_64__) || defined(__i386__)
    if (ChosenLevel() == KernelLevel::Avx2) return &BorderSumsAvx2;
#endif
    return &BorderSums;
}

InteriorKernel SelectInteriorKernel() {
    static const InteriorKernel kernel = [] {
        const KernelLevel level = ChosenLevel();
#if defined(__x86_64__) || defined(__i386__)
        if (level == KernelLevel::Avx2) return &InteriorSumsAvx2;
        if (level == KernelLevel::Sse2) return &InteriorSumsSse2;
#endif
        (void)level;
        return &InteriorSumsGeneric;
    }();
    return kernel;
}

}  // namespace kc
