// How the engine reads its four environment switches (engine_settings.h).
// A wrong reading would not change a byte, but would quietly run another
// kernel, thread count or path than the one asked for, and the reruns under
// each setting would then test nothing new.
#include "engine_settings.h"

#include <gtest/gtest.h>

namespace {

using kc::EngineSwitches;
using kc::KernelLevel;
using kc::Lookup;
using kc::ParseEngineSettings;

int Threads(const char* text, unsigned hardware = 6) {
    EngineSwitches switches;
    switches.threads = text;
    return ParseEngineSettings(switches, hardware).threads;
}

TEST(EngineSettings, ThreadCountIsAWholePositiveNumberCappedAt256) {
    EXPECT_EQ(Threads("1"), 1);
    EXPECT_EQ(Threads("3"), 3);
    EXPECT_EQ(Threads("256"), 256);
    EXPECT_EQ(Threads("257"), 256);
    EXPECT_EQ(Threads("99999999999999999999"), 256);
    // Anything else means every hardware thread.
    for (const char* text : {static_cast<const char*>(nullptr), "", "0", "-2", "3x", "x3", " "})
        EXPECT_EQ(Threads(text), 6) << (text ? text : "(unset)");
    EXPECT_EQ(Threads(nullptr, 0), 1) << "unknown hardware: one thread";
    EXPECT_EQ(Threads(nullptr, 1000), 256);
}

TEST(EngineSettings, KernelCapNamesALevelOrLeavesTheHighest) {
    auto cap = [](const char* text) {
        EngineSwitches switches;
        switches.kernel = text;
        return ParseEngineSettings(switches, 1).kernelCap;
    };
    EXPECT_EQ(cap("generic"), KernelLevel::Generic);
    EXPECT_EQ(cap("sse2"), KernelLevel::Sse2);
    EXPECT_EQ(cap("avx2"), KernelLevel::Avx2);
    for (const char* text : {static_cast<const char*>(nullptr), "", "SSE2", "avx512", "sse2 "})
        EXPECT_EQ(cap(text), KernelLevel::Avx2) << (text ? text : "(unset)");
}

TEST(EngineSettings, ReferenceIsForcedByAnyValueButEmptyAndZero) {
    auto forced = [](const char* text) {
        EngineSwitches switches;
        switches.forceReference = text;
        return ParseEngineSettings(switches, 1).forceReference;
    };
    EXPECT_FALSE(forced(nullptr));
    EXPECT_FALSE(forced(""));
    EXPECT_FALSE(forced("0"));
    EXPECT_TRUE(forced("1"));
    EXPECT_TRUE(forced("yes"));
    EXPECT_TRUE(forced("00"));
}

TEST(EngineSettings, LookupNamesAFormOrLeavesItToTheProcessor) {
    auto lookup = [](const char* text) {
        EngineSwitches switches;
        switches.lookup = text;
        return ParseEngineSettings(switches, 1).lookup;
    };
    EXPECT_EQ(lookup("gather"), Lookup::Gather);
    EXPECT_EQ(lookup("single"), Lookup::Single);
    for (const char* text : {static_cast<const char*>(nullptr), "", "Gather", "scalar", "gather "})
        EXPECT_EQ(lookup(text), Lookup::ByProcessor) << (text ? text : "(unset)");
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
