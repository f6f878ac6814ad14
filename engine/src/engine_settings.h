// The engine's three environment switches, read in this one place, once per
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
//
// None of them changes a result byte; they choose how the bytes are computed.
#pragma once

namespace kc {

// Interior kernels in ascending order of what they need from the processor.
enum class KernelLevel { Generic = 0, Sse2 = 1, Avx2 = 2 };

struct EngineSettings {
    int threads = 1;                          // 1..256
    KernelLevel kernelCap = KernelLevel::Avx2;  // highest kernel asked for
    bool forceReference = false;
};

// The three switches from their texts (null when unset) and the number of
// hardware threads (0 when unknown).
[[nodiscard]] EngineSettings ParseEngineSettings(const char* threads, const char* kernel,
                                                 const char* forceReference,
                                                 unsigned hardwareThreads);

// This process's settings, read from the environment on first use.
[[nodiscard]] const EngineSettings& CurrentEngineSettings();

}  // namespace kc
