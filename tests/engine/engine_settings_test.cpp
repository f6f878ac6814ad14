// How the engine reads its four environment switches (engine_settings.h).
// A wrong reading would not change a byte, but would quietly run another
// kernel, thread count or path than the one asked for, and the reruns under
// each setting would then test nothing new.
#include "engine_settings.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

using kc::EngineSwitches;
using kc::KernelLevel;
using kc::Lookup;
using kc::ParseEngineSettings;

// The settings read when only the switch `field` is set, to `text`.
kc::EngineSettings Only(const char* EngineSwitches::*field, const char* text,
                        unsigned hardware = 6) {
    EngineSwitches switches;
    switches.*field = text;
    return ParseEngineSettings(switches, hardware);
}

int Threads(const char* text, unsigned hardware = 6) {
    return Only(&EngineSwitches::threads, text, hardware).threads;
}
KernelLevel Cap(const char* text) { return Only(&EngineSwitches::kernel, text).kernelCap; }
bool Forced(const char* text) {
    return Only(&EngineSwitches::forceReference, text).forceReference;
}
Lookup LookupOf(const char* text) { return Only(&EngineSwitches::lookup, text).lookup; }

const char* Shown(const char* text) { return text ? text : "(unset)"; }

TEST(EngineSettings, ThreadCountIsAWholePositiveNumberCappedAt256) {
    EXPECT_EQ(Threads("1"), 1);
    EXPECT_EQ(Threads("3"), 3);
    EXPECT_EQ(Threads("256"), 256);
    EXPECT_EQ(Threads("257"), 256);
    EXPECT_EQ(Threads("99999999999999999999"), 256);
    // Anything else means every hardware thread.
    for (const char* text : {static_cast<const char*>(nullptr), "", "0", "-2", "3x", "x3", " "})
        EXPECT_EQ(Threads(text), 6) << Shown(text);
    EXPECT_EQ(Threads(nullptr, 0), 1) << "unknown hardware: one thread";
    EXPECT_EQ(Threads(nullptr, 1000), 256);
}

// A kernel level or a look-up form is named exactly; anything else leaves
// the default.
TEST(EngineSettings, KernelCapAndLookupFormAreNamedExactly) {
    const std::pair<const char*, KernelLevel> levels[] = {
        {"generic", KernelLevel::Generic}, {"sse2", KernelLevel::Sse2}, {"avx2", KernelLevel::Avx2}};
    for (const auto& [text, level] : levels) EXPECT_EQ(Cap(text), level) << text;
    EXPECT_EQ(LookupOf("gather"), Lookup::Gather);
    EXPECT_EQ(LookupOf("single"), Lookup::Single);
    for (const char* text :
         {static_cast<const char*>(nullptr), "", "SSE2", "avx512", "sse2 ", "Gather", "gather "}) {
        EXPECT_EQ(Cap(text), KernelLevel::Avx2) << Shown(text);
        EXPECT_EQ(LookupOf(text), Lookup::ByProcessor) << Shown(text);
    }
}

TEST(EngineSettings, ReferenceIsForcedByAnyValueButEmptyAndZero) {
    for (const char* text : {static_cast<const char*>(nullptr), "", "0"})
        EXPECT_FALSE(Forced(text)) << Shown(text);
    for (const char* text : {"1", "yes", "00"}) EXPECT_TRUE(Forced(text)) << text;
}

TEST(EngineSettings, EachSwitchIsReadFromItsOwnText) {
    // A switch read from a neighbour's text would take that text's value.
    EngineSwitches switches;
    switches.threads = "2";
    switches.kernel = "sse2";
    switches.forceReference = "1";
    switches.lookup = "single";
    const kc::EngineSettings settings = ParseEngineSettings(switches, 8);
    EXPECT_EQ(settings.threads, 2);
    EXPECT_EQ(settings.kernelCap, KernelLevel::Sse2);
    EXPECT_TRUE(settings.forceReference);
    EXPECT_EQ(settings.lookup, Lookup::Single);
}

}  // namespace
