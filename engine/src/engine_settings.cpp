#include "engine_settings.h"

#include <cstdlib>
#include <cstring>
#include <thread>

namespace kc {
namespace {

constexpr long kMaxThreads = 256;

int ThreadCount(const char* text, unsigned hardwareThreads) {
    if (text) {
        char* end = nullptr;
        const long n = std::strtol(text, &end, 10);
        if (end != text && *end == '\0' && n >= 1)
            return static_cast<int>(n < kMaxThreads ? n : kMaxThreads);
    }
    return hardwareThreads >= 1
               ? static_cast<int>(hardwareThreads < kMaxThreads ? hardwareThreads : kMaxThreads)
               : 1;
}

KernelLevel KernelCap(const char* text) {
    if (!text) return KernelLevel::Avx2;
    if (std::strcmp(text, "generic") == 0) return KernelLevel::Generic;
    if (std::strcmp(text, "sse2") == 0) return KernelLevel::Sse2;
    return KernelLevel::Avx2;
}

}  // namespace

EngineSettings ParseEngineSettings(const char* threads, const char* kernel,
                                   const char* forceReference, unsigned hardwareThreads) {
    EngineSettings settings;
    settings.threads = ThreadCount(threads, hardwareThreads);
    settings.kernelCap = KernelCap(kernel);
    settings.forceReference =
        forceReference && *forceReference && std::strcmp(forceReference, "0") != 0;
    return settings;
}

const EngineSettings& CurrentEngineSettings() {
    static const EngineSettings settings = ParseEngineSettings(
        std::getenv("KCDENOISE_THREADS"), std::getenv("KCDENOISE_KERNEL"),
        std::getenv("KCDENOISE_FORCE_REFERENCE"), std::thread::hardware_concurrency());
    return settings;
}

}  // namespace kc
