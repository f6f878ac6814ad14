// The library's fast paths against the plain oracle, bit for bit: random
// images, every search radius 0-12, patch radii 0-2, bands of rows, all four
// forms, program-style and arbitrary tables. CTest runs this binary again with
// other thread counts and kernels (fast_path.cmake), so one set of cases
// covers every path.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "KcDenoise.h"
#include "denoise_run/weight_table.h"
#include "oracle.h"

using kc_oracle::FirstDifference;
using kc_oracle::GuardAt;
using kc_oracle::GuardedBuffer;
using kc_oracle::ImageBytes;
using kc_oracle::Rng;

namespace {

enum class Form { Completa, CompletaOUT, PerCanale, PerCanaleOUT };
constexpr Form kForms[] = {Form::Completa, Form::CompletaOUT, Form::PerCanale,
                           Form::PerCanaleOUT};

bool IsOut(Form f) { return f == Form::CompletaOUT || f == Form::PerCanaleOUT; }
bool IsPerChannel(Form f) { return f == Form::PerCanale || f == Form::PerCanaleOUT; }

// Weights spread over 2^-60 .. 2^60: the double sums then round differently
// for almost any change of adding order, which an order-preserving path must
// not show.
std::vector<float> WideTable(int32_t length, uint64_t seed) {
    Rng rng(seed);
    std::vector<float> t(static_cast<size_t>(length));
    for (auto& v : t) v = std::ldexp(1.0f + rng.Float01(), rng.Int(-60, 60));
    return t;
}

// The defaults are what most fixed cases share; each case sets what it is about.
struct Case {
    int32_t width = 0, height = 0, firstRow = 0, lastRow = -1;
    int16_t patch = 1, search = 0, wantNoise = 1, viewChannel = 0;
    std::vector<float> table;
    int32_t tableLength = 0;
    ChannelFactors factors{1.0f, 1.0f, 1.0f};
    Form form = Form::Completa;
    uint64_t seed = 0;
    int amplitude = 20;
};

// Every row of a width x height image, searched with radius search.
Case WholeImage(int32_t width, int32_t height, int16_t search) {
    Case k;
    k.width = width;
    k.height = height;
    k.lastRow = height - 1;
    k.search = search;
    return k;
}

// The program's table for intensity sigma, with its cut-off.
void UseProgramTable(Case& k, int16_t sigma) {
    k.table = calmora::BuildWeightTable(sigma);
    k.tableLength = calmora::WeightTableLength(sigma);
}

// A random table of length entries (kc_oracle::RandomTable).
void UseRandomTable(Case& k, int32_t length, uint64_t seed, double zeroShare) {
    k.tableLength = length;
    k.table = kc_oracle::RandomTable(length, seed, zeroShare);
}

std::string Describe(const Case& k) {
    return "width " + std::to_string(k.width) + " height " + std::to_string(k.height) +
           " rows " + std::to_string(k.firstRow) + ".." + std::to_string(k.lastRow) + " p " +
           std::to_string(k.patch) + " s " + std::to_string(k.search) + " N " +
           std::to_string(k.tableLength) + " form " + std::to_string(static_cast<int>(k.form)) +
           " view " + std::to_string(k.viewChannel) + " noise " + std::to_string(k.wantNoise) +
           " seed " + std::to_string(k.seed);
}

struct Buffers {
    GuardedBuffer denoised, noise, viewDenoised, viewNoise;
    explicit Buffers(size_t bytes, GuardAt at)
        : denoised(bytes, 0x5A, at), noise(bytes, 0x6B, at), viewDenoised(bytes, 0x7C, at),
          viewNoise(bytes, 0x8D, at) {}
};

void CallLibrary(const Case& k, const DenoiseJob& job, const DenoiseParams& params,
                 const uint8_t* src, Buffers& b) {
    const float* t = k.table.data();
    switch (k.form) {
        case Form::Completa:
            KcDenoiseCompleta(&job, &params, src, b.denoised.data(), t, b.noise.data());
            break;
        case Form::CompletaOUT:
            KcDenoiseCompletaOUT(&job, &params, src, b.viewDenoised.data(), t,
                                 b.viewNoise.data(), b.denoised.data(), b.noise.data());
            break;
        case Form::PerCanale:
            KcDenoisePerCanale(&job, &params, src, b.denoised.data(), t, b.noise.data(),
                               &k.factors);
            break;
        case Form::PerCanaleOUT:
            KcDenoisePerCanaleOUT(&job, &params, src, b.viewDenoised.data(), t,
                                  b.viewNoise.data(), &k.factors, b.denoised.data(),
                                  b.noise.data());
            break;
    }
}

// Runs one case through the library (rowByRow: one call per row, as the
// program does) and the oracle; returns the first difference, or empty.
std::string Check(const Case& k, bool rowByRow = false, GuardAt at = GuardAt::End) {
    const size_t bytes = ImageBytes(k.width, k.height);
    GuardedBuffer src(bytes, 0, at);
    kc_oracle::FillNoisyImage(src.data(), k.width, k.height, k.seed, k.amplitude);
    const DenoiseParams params{k.patch, k.search, k.wantNoise, k.viewChannel};
    DenoiseJob job{k.firstRow, k.lastRow, k.width, k.height, k.tableLength};

    Buffers lib(bytes, at), want(bytes, at);
    if (rowByRow) {
        for (int32_t y = k.firstRow; y <= k.lastRow; ++y) {
            DenoiseJob row = job;
            row.firstRow = row.lastRow = y;
            CallLibrary(k, row, params, src.data(), lib);
        }
    } else {
        CallLibrary(k, job, params, src.data(), lib);
    }
    kc_oracle::OracleDenoise(job, params, src.data(), want.denoised.data(), k.table.data(),
                             want.noise.data(), IsPerChannel(k.form) ? &k.factors : nullptr,
                             IsOut(k.form) ? want.viewDenoised.data() : nullptr,
                             IsOut(k.form) ? want.viewNoise.data() : nullptr);

    const struct {
        const char* name;
        GuardedBuffer* expected;
        GuardedBuffer* actual;
    } planes[] = {{"denoised", &want.denoised, &lib.denoised},
                  {"noise", &want.noise, &lib.noise},
                  {"viewDenoised", &want.viewDenoised, &lib.viewDenoised},
                  {"viewNoise", &want.viewNoise, &lib.viewNoise}};
    for (const auto& plane : planes) {
        const std::string diff = FirstDifference(plane.expected->data(), plane.actual->data(),
                                                 k.width, k.height, /*withPadding=*/true);
        if (!diff.empty()) return std::string(plane.name) + ": " + diff + " (" + Describe(k) + ")";
    }
    return {};
}

float PickFactor(Rng& rng) {
    static const float kFactors[] = {0.0f, 0.37f, 1.0f, 1.5f};
    return kFactors[rng.Int(0, 3)];
}

// A random case whose oracle run stays around a few million patch pixels.
Case RandomCase(uint64_t seed) {
    Rng rng(seed);
    Case k{};
    k.seed = seed;
    k.search = static_cast<int16_t>(rng.Int(0, 12));
    k.patch = static_cast<int16_t>(rng.Int(0, 2));
    const int shape = rng.Int(0, 9);
    if (shape == 0) {  // tiny images, smaller than the window
        k.width = rng.Int(1, 6);
        k.height = rng.Int(1, 6);
    } else {
        k.width = rng.Int(1, 3) == 1 ? rng.Int(1, 40) : rng.Int(40, 300);
        k.height = rng.Int(1, 3) == 1 ? rng.Int(1, 8) : rng.Int(8, 50);
    }
    const int64_t perRow = int64_t{k.width} * (2 * k.search + 1) * (2 * k.search + 1) *
                           (2 * k.patch + 1) * (2 * k.patch + 1);
    const int32_t maxRows = static_cast<int32_t>(std::max<int64_t>(1, 6000000 / perRow));
    k.firstRow = rng.Int(0, k.height - 1);
    k.lastRow = std::min(k.height - 1, k.firstRow + rng.Int(0, std::min(maxRows, k.height) - 1));
    if (rng.Int(0, 15) == 0) k.lastRow = k.firstRow - 1;  // an empty band writes nothing
    k.wantNoise = static_cast<int16_t>(rng.Int(-1, 1));
    k.viewChannel = static_cast<int16_t>(rng.Int(-1, 5));
    k.form = kForms[rng.Int(0, 3)];
    k.factors = {PickFactor(rng), PickFactor(rng), PickFactor(rng)};
    k.amplitude = rng.Int(0, 3) == 0 ? 60 : rng.Int(1, 20);
    switch (rng.Int(0, 3)) {
        case 0:
        case 1: {
            static const int16_t kSigmas[] = {1, 3, 8, 20, 60};
            UseProgramTable(k, kSigmas[rng.Int(0, 4)]);
            break;
        }
        case 2:
            k.tableLength = rng.Int(1, 3) == 1 ? rng.Int(1, 40) : rng.Int(40, 700000);
            k.table = kc_oracle::RandomTable(k.tableLength, seed + 1, 0.3);
            break;
        default:
            k.tableLength = rng.Int(1, 20000);
            k.table = WideTable(k.tableLength, seed + 2);
            break;
    }
    return k;
}

TEST(FastPath, RandomCasesMatchTheOracle) {
    for (uint64_t seed = 1; seed <= 260; ++seed) {
        const Case k = RandomCase(seed);
        const std::string diff = Check(k);
        ASSERT_TRUE(diff.empty()) << diff;
    }
}

// Whole images, every radius the dialog offers, the program's tables and
// factors: the borders, the rows whose patch shrinks at the top and bottom,
// and the interior all in one picture.
TEST(FastPath, WholeImagesWithProgramTables) {
    int seed = 1000;
    for (int search = calmora::kMinRadius; search <= calmora::kMaxRadius; ++search) {
        for (int16_t sigma : {4, 25}) {
            // Odd widths, partial vector tails.
            Case k = WholeImage(29 + 2 * search + 3 * (search % 3), 2 * search + 9,
                                static_cast<int16_t>(search));
            k.viewChannel = static_cast<int16_t>(search % 4);
            UseProgramTable(k, sigma);
            k.factors = {1.0f, 0.37f, 0.0f};
            k.form = kForms[search % 4];
            k.seed = static_cast<uint64_t>(seed++);
            k.amplitude = sigma;
            const std::string diff = Check(k);
            ASSERT_TRUE(diff.empty()) << diff;
        }
    }
}

// The program's own pattern: one call per row over a whole image.
TEST(FastPath, RowByRowCallsMatchTheOracle) {
    for (int search : {2, 5, 12}) {
        Case k = WholeImage(160 + search, 2 * search + 12, static_cast<int16_t>(search));
        UseProgramTable(k, 12);
        k.factors = {0.37f, 1.5f, 1.0f};
        k.form = Form::PerCanaleOUT;
        k.seed = 77u + static_cast<uint64_t>(search);
        k.amplitude = 15;
        const std::string diff = Check(k, /*rowByRow=*/true);
        ASSERT_TRUE(diff.empty()) << diff;
    }
}

// Buffers that start right after, or end right before, an inaccessible page:
// a vector load past either end of the image faults here.
TEST(FastPath, ReadsStayInsideTheImage) {
    for (GuardAt at : {GuardAt::End, GuardAt::Start}) {
        for (int32_t width : {1, 2, 7, 8, 26, 27, 33, 97, 130}) {
            for (int16_t patch : {0, 1, 2}) {
                Case k = WholeImage(width, 30, 3);
                k.patch = patch;
                k.viewChannel = 3;
                UseRandomTable(k, 100000, 5, 0.0);
                k.form = Form::CompletaOUT;
                k.seed = static_cast<uint64_t>(width * 10 + patch);
                k.amplitude = 40;
                const std::string diff = Check(k, false, at);
                ASSERT_TRUE(diff.empty()) << diff;
            }
        }
        // The widest window the dialog offers reaches furthest sideways.
        for (int32_t width : {26, 27, 33, 97, 130}) {
            Case k = WholeImage(width, 27, 12);
            UseRandomTable(k, 100000, 6, 0.0);
            k.seed = static_cast<uint64_t>(width);
            k.amplitude = 40;
            const std::string diff = Check(k, false, at);
            ASSERT_TRUE(diff.empty()) << diff;
        }
    }
}

// A cut-off of 1 keeps only exact patch matches; a table longer than any
// distance keeps every candidate. Both ends of the cut-off test.
TEST(FastPath, CutOffExtremes) {
    for (int32_t length : {1, 2, 9 * 255 * 255 + 1}) {
        Case k = WholeImage(70, 16, 4);
        k.firstRow = 3;
        k.lastRow = 12;
        k.viewChannel = 2;
        k.tableLength = length;
        k.table = length > 100000 ? std::vector<float>(static_cast<size_t>(length), 0.5f)
                                   : std::vector<float>(static_cast<size_t>(length), 1.0f);
        k.factors = {0.37f, 0.0f, 1.0f};
        k.form = Form::PerCanaleOUT;
        k.seed = 4242;
        k.amplitude = 1;  // many exact matches
        const std::string diff = Check(k);
        ASSERT_TRUE(diff.empty()) << diff;
    }
}

// Radii past the dialog's range: windows too wide for the vector kernel's
// buffers and patches past the fast path's limit take other routes, which
// must give the same bytes.
TEST(FastPath, RadiiBeyondTheDialog) {
    const struct {
        int16_t search, patch;
        int32_t width;
    } kCases[] = {{13, 1, 90}, {25, 1, 120}, {49, 1, 130}, {20, 3, 100}, {8, 9, 60}};
    for (const auto& r : kCases) {
        Case k = WholeImage(r.width, 2 * (r.search + r.patch) + 3, r.search);
        k.firstRow = k.height / 2 - 1;
        k.lastRow = k.height / 2;
        k.patch = r.patch;
        UseRandomTable(k, 400000, 9, 0.2);
        k.seed = static_cast<uint64_t>(r.search * 100 + r.patch);
        k.amplitude = 30;
        const std::string diff = Check(k);
        ASSERT_TRUE(diff.empty()) << diff;
    }
}

// Calls of many rows whose pixels far from the edges take each weight once for
// both pixels of a pair. The cases give the paired rectangle at least 16 rows
// and 32 columns beside the edge pixels, at every patch radius, with bands that
// start and end inside the image (their first rows then read source rows the
// call does not write), the program's tables up to the largest cut-off, and
// guard pages on either side.
TEST(PairedWeights, ProgramTablesOverManyRows) {
    uint64_t seed = 5000;
    for (int16_t search : {1, 2, 4, 5, 9, 12}) {
        for (int16_t patch : {0, 1, 2}) {
            Case k = WholeImage(4 * search + 2 * patch + 40 + search % 3,
                                2 * (search + patch) + 22 + search % 4, search);
            k.patch = patch;
            const int16_t sigma = search % 3 == 0 ? 200 : search % 3 == 1 ? 50 : 6;
            UseProgramTable(k, sigma);
            k.amplitude = std::min(60, sigma / 2 + 4);
            const int32_t bands[][2] = {
                {0, k.height - 1}, {1, k.height - 2}, {search + patch + 3, k.height - 1}};
            for (const auto& band : bands) {
                k.firstRow = band[0];
                k.lastRow = band[1];
                k.form = kForms[seed % 4];
                k.wantNoise = static_cast<int16_t>(seed % 3 == 0 ? 0 : 1);
                k.viewChannel = static_cast<int16_t>(seed % 5);
                k.factors = {1.0f, 0.37f, seed % 2 ? 1.5f : 0.0f};
                k.seed = seed++;
                const GuardAt at = seed % 2 ? GuardAt::End : GuardAt::Start;
                const std::string diff = Check(k, false, at);
                ASSERT_TRUE(diff.empty()) << diff;
            }
        }
    }
}

// Bands too short for a chunk of rows per thread are split into chunks of
// columns, which share the s source columns on either side of each cut.
TEST(PairedWeights, WideShortBandsSplitIntoColumns) {
    uint64_t seed = 6500;
    for (int16_t search : {1, 2, 5}) {
        Case k = WholeImage(4 * search + 2 + 16 * search * 6 + 7, 2 * (search + 1) + 40, search);
        k.firstRow = search + 4;
        k.lastRow = k.firstRow + 20;
        k.viewChannel = 1;
        UseProgramTable(k, 35);
        k.factors = {0.37f, 1.0f, 1.0f};
        k.form = Form::PerCanaleOUT;
        k.seed = seed++;
        const std::string diff = Check(k, false, GuardAt::Start);
        ASSERT_TRUE(diff.empty()) << diff;
    }
}

// The widest window the exactness argument allows, and one past it.
TEST(PairedWeights, LargestSearchRadius) {
    for (int16_t search : {22, 23}) {
        Case k = WholeImage(4 * search + 2 + 36, 2 * (search + 1) + 18, search);
        UseProgramTable(k, 40);
        k.seed = 6000u + static_cast<uint64_t>(search);
        k.amplitude = 25;
        const std::string diff = Check(k);
        ASSERT_TRUE(diff.empty()) << diff;
    }
}

// Tables whose sums round differently for another adding order: weights
// spread over 2^-60..2^60, entries above 1, and the program's table with
// every other entry made tiny. Calls over them must keep the reference's
// order, so a paired pass taken by mistake shows as a wrong byte.
TEST(PairedWeights, TablesThatBreakTheConditionFallBack) {
    std::vector<std::vector<float>> tables;
    const int32_t length = calmora::WeightTableLength(30);
    tables.push_back(WideTable(length, 71));
    std::vector<float> program = calmora::BuildWeightTable(30);
    std::vector<float> large = program, tiny = program;
    for (auto& v : large) v *= 3.0f;
    for (size_t i = 1; i < tiny.size(); i += 2) tiny[i] = std::ldexp(tiny[i], -50);
    tables.push_back(large);
    tables.push_back(tiny);
    uint64_t seed = 7000;
    for (const auto& table : tables) {
        for (int16_t search : {2, 5, 12}) {
            Case k = WholeImage(4 * search + 2 + 45, 2 * (search + 1) + 24, search);
            k.viewChannel = 3;
            k.table = table;
            k.tableLength = length;
            k.form = Form::CompletaOUT;
            k.seed = seed++;
            const std::string diff = Check(k);
            ASSERT_TRUE(diff.empty()) << diff;
        }
    }
}

}  // namespace
