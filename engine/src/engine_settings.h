// The engine's four environment switches, read in this one place, once per
// process (the first time a call needs any of them), so that every path of a
// process sees the same values however many threads ask:
//
//   KCDENOISE_THREADS=n          threads a call may use, 1 to 256. Unset, empty
//                                or not a whole number >= 1: every hardware thread.
//   KCDENOISE_KERNEL=generic|sse2|avx2
//                                the highest interior kernel allowed, so that
//                                every kernel can be checked on one machine.
//                                Unset or any other value: avx2. A kernel the
//                                processor lacks is never chosen.
//   KCDENOISE_FORCE_REFERENCE    set, non-empty and not "0": every call runs on
//                                the plain reference path.
//   KCDENOISE_LOOKUP=gather|single
//                                how the AVX2 kernels look up the weights: one
//                                gather per 8 lanes, or 8 single loads. Unset
//                                or any other value: as suits the processor
//                                (kernel_choice.cpp).
//
// None of them changes a result byte; they choose how the bytes are computed.
#pragma once

namespace kc {

// Interior kernels in ascending order of what they need from the processor.
enum class KernelLevel { Generic = 0, Sse2 = 1, Avx2 = 2 };

// How the AVX2 kernels look up 8 weights.
enum class Lookup { ByProcessor, Gather, Single };

struct EngineSettings {
    int threads = 1;                          // 1..256
    KernelLevel kernelCap = KernelLevel::Avx2;  // highest kernel asked for
    bool forceReference = false;
    Lookup lookup = Lookup::ByProcessor;
};

// The switches' texts, null when unset.
struct EngineSwitches {
    const char* threads = nullptr;
    const char* kernel = nullptr;
    const char* forceReference = nullptr;
    const char* lookup = nullptr;
};

// The switches and the number of hardware threads (0 when unknown).
[[nodiscard]] EngineSettings ParseEngineSettings(const EngineSwitches& switches,
                                                 unsigned hardwareThreads);

// This process's settings, read from the environment on first use.
[[nodiscard]] const EngineSettings& CurrentEngineSettings();

}  // namespace kc
