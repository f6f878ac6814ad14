// Chooses the sums kernels once per process: the highest level the processor
// runs, lowered to KCDENOISE_KERNEL when that asks for less (engine_settings.h),
// so that every kernel can be checked on one machine; a kernel the processor
// lacks is never chosen. Also chooses how the AVX2 kernels look up weights.
#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

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

// Whether 8-lane gathers are quicker than 8 single loads here. Measured in
// the kernels, single loads ran about 1.13x as fast (0.95-1.40x in 16 pairs)
// on AMD Zen 2 (family 0x17), while on Zen 4 (family 0x19) the gather was
// about 20% faster.
// Intel's gathers are slow since the microcode fix for Gather Data Sampling
// (2023) on the processors it covers, so only AMD from family 0x19 on (Zen 3
// and later) gathers.
bool ProcessorGathersFast() {
#if defined(__x86_64__) || defined(__i386__)
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(0, &eax, &ebx, &ecx, &edx)) return false;
    const bool amd = ebx == 0x68747541 && edx == 0x69746e65 && ecx == 0x444d4163;  // "AuthenticAMD"
    if (!amd || !__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
    const unsigned family = ((eax >> 8) & 0xf) + ((eax >> 8 & 0xf) == 0xf ? (eax >> 20) & 0xff : 0);
    return family >= 0x19;
#else
    return false;
#endif
}

}  // namespace

bool Avx2KernelsChosen() { return ChosenLevel() == KernelLevel::Avx2; }

bool GatherLookupsChosen() {
    static const bool gather = [] {
        switch (CurrentEngineSettings().lookup) {
            case Lookup::Gather: return true;
            case Lookup::Single: return false;
            case Lookup::ByProcessor: break;
        }
        return ProcessorGathersFast();
    }();
    return gather;
}

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
