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

Lookup LookupAsked(const char* text) {
    if (!text) return Lookup::ByProcessor;
    if (std::strcmp(text, "gather") == 0) return Lookup::Gather;
    if (std::strcmp(text, "single") == 0) return Lookup::Single;
    return Lookup::ByProcessor;
}

}  // namespace

EngineSettings ParseEngineSettings(const EngineSwitches& switches, unsigned hardwareThreads) {
    EngineSettings settings;
    settings.threads = ThreadCount(switches.threads, hardwareThreads);
    settings.kernelCap = KernelCap(switches.kernel);
    const char* reference = switches.forceReference;
    settings.forceReference = reference && *reference && std::strcmp(reference, "0") != 0;
    settings.lookup = LookupAsked(switches.lookup);
    return settings;
}

const EngineSettings& CurrentEngineSettings() {
    static const EngineSettings settings = ParseEngineSettings(
        {std::getenv("KCDENOISE_THREADS"), std::getenv("KCDENOISE_KERNEL"),
         std::getenv("KCDENOISE_FORCE_REFERENCE"), std::getenv("KCDENOISE_LOOKUP")},
        std::thread::hardware_concurrency());
    return settings;
}

}  // namespace kc
