// Every file of the malformed, truncated and fuzzed image collections shipped
// with gdk-pixbuf's and Go's test suites, through the program's loader path.
// Each file is loaded in its own child process, so a crash or a hang fails
// that file instead of ending the run. Each must give an error or a proper
// 24-bit picture of the size its header announced.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "guard_test_support.h"
#include "imagefiles/image_load.h"
#include "imagefiles/image_save.h"
#include "imagefiles/image_guard.h"

namespace {

namespace fs = std::filesystem;
using calmora::GuardOutcome;
using calmora::ImageFileError;
using guard_test::ChildEnd;

// Generous: the largest picture these collections hold that passes the
// limits decodes in about a second.
constexpr unsigned kSecondsPerFile = 30;
constexpr uint64_t kAddressSpacePerFile = uint64_t{4} << 30;

std::string TestDataRoot() {
    if (const char* env = std::getenv("CALMORA_TESTDATA")) return env;
    return CALMORA_TESTDATA_DIR;
}

struct Collection {
    const char* name;
    const char* package;  // folder of the unpacked package under the test data root
    const char* folder;   // inside the package
    bool recursive;
    // Names (relative to folder) that are well-formed images FreeImage reads
    // and so must come out as pictures, not be refused by the guard.
    bool (*mustLoad)(const std::string& name);
};

bool Nothing(const std::string&) { return false; }
bool EndsWith(const std::string& s, const char* tail) {
    const std::string t(tail);
    return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

const Collection kCollections[] = {
    {"PixbufFail", "gdk-pixbuf-tests",
     "usr/libexec/installed-tests/gdk-pixbuf/test-images/fail", true, Nothing},
    {"PixbufRandomlyModified", "gdk-pixbuf-tests",
     "usr/libexec/installed-tests/gdk-pixbuf/test-images/randomly-modified", true, Nothing},
    {"PixbufGifSuite", "gdk-pixbuf-tests",
     "usr/libexec/installed-tests/gdk-pixbuf/test-images/gif-test-suite", true, Nothing},
    {"PixbufReftests", "gdk-pixbuf-tests",
     "usr/libexec/installed-tests/gdk-pixbuf/test-images/reftests", true,
     // The references, and an arithmetic-coded JPEG with restart markers.
     [](const std::string& n) { return EndsWith(n, ".ref.png") || n == "cat.jpg"; }},
    {"PixbufSamples", "gdk-pixbuf-tests", "usr/libexec/installed-tests/gdk-pixbuf", false,
     [](const std::string& n) {
         return n == "icc-profile.jpeg" || n == "dpi.jpeg" || n == "dpi.png" || n == "dpi.tiff" ||
                n == "test-image.png" || n == "bug143608-comment.jpg" || n == "issue70.jpg";
     }},
    {"GoImage", "golang-1.19-src", "usr/share/go-1.19/src/image/testdata", true,
     [](const std::string& n) { return n.find("truncated") == std::string::npos; }},
    {"GoPng", "golang-1.19-src", "usr/share/go-1.19/src/image/png/testdata", true,
     [](const std::string& n) { return EndsWith(n, ".png") && n.rfind("invalid-", 0) != 0; }},
    {"GoXImage", "golang-golang-x-image-dev", "usr/share/gocode/src/golang.org/x/image/testdata",
     true,
     [](const std::string& n) {
         return EndsWith(n, ".png") || EndsWith(n, ".jpeg") || EndsWith(n, ".tiff") ||
                n == "video-001.bmp" || n == "yellow_rose-small.bmp";
     }},
    {"GoXImageCcitt", "golang-golang-x-image-dev",
     "usr/share/gocode/src/golang.org/x/image/ccitt/testdata", true, Nothing},
};

// Files that must be refused before any decoder sees them, and how.
const std::map<std::string, ImageFileError> kRefusedBeforeDecoding = {
    // 9 colour components: FreeImage's row buffer overflows when decoded.
    {"CVE-2017-2862.jpg", ImageFileError::Corrupt},
    // 64250 x 64250 progressive: FreeImage's own header read decodes it all.
    {"issue205.jpg", ImageFileError::TooLarge},
    {"large.jpg", ImageFileError::TooLarge},
    {"cve-2015-4491.bmp", ImageFileError::TooLarge},
    {"bug780269.tif", ImageFileError::TooLarge},
    {"bug784903-overflow-dimensions.tiff", ImageFileError::TooLarge},
    {"bug793470-crasher.png", ImageFileError::TooLarge},
};

std::vector<fs::path> FilesIn(const fs::path& folder, bool recursive) {
    std::vector<fs::path> files;
    if (recursive) {
        for (const auto& e : fs::recursive_directory_iterator(folder))
            if (e.is_regular_file()) files.push_back(e.path());
    } else {
        for (const auto& e : fs::directory_iterator(folder))
            if (e.is_regular_file()) files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

void PrintTo(const Collection& c, std::ostream* os) { *os << c.name; }

class HostileCorpus : public ::testing::TestWithParam<Collection> {};

// Every file gives an error or a proper picture, never a crash or a hang.
TEST_P(HostileCorpus, NoCrashOrHang) {
    const Collection& c = GetParam();
    const fs::path package = fs::path(TestDataRoot()) / c.package;
    if (!fs::is_directory(package)) {
        GTEST_SKIP() << "test images not fetched (" << package.string()
                     << " missing): run scripts/fetch-test-data.sh " << TestDataRoot();
    }
    const fs::path folder = package / c.folder;
    ASSERT_TRUE(fs::is_directory(folder)) << "the package no longer has " << folder.string();

    int loaded = 0, refused = 0, decoderErrors = 0, notOpened = 0;
    const std::vector<fs::path> files = FilesIn(folder, c.recursive);
    ASSERT_FALSE(files.empty());
    for (const fs::path& file : files) {
        const std::string name = fs::relative(file, folder).string();
        const std::string path = file.string();
        const guard_test::ChildResult child = guard_test::RunInChild(
            [&] { return guard_test::LoadThroughProgram(path); }, kSecondsPerFile,
            kAddressSpacePerFile);
        if (child.end == ChildEnd::kTimedOut) {
            ADD_FAILURE() << name << ": still loading after " << kSecondsPerFile << " s";
            continue;
        }
        if (child.end == ChildEnd::kCrashed) {
            ADD_FAILURE() << name << ": the load crashed (signal " << child.signal << ")";
            continue;
        }
        const guard_test::LoadReport& r = child.report;
        const auto error = static_cast<ImageFileError>(r.loadError);
        if (error == ImageFileError::None) {
            ++loaded;
            EXPECT_EQ(r.bpp, 24u) << name;
            EXPECT_EQ(r.type, static_cast<uint32_t>(FIT_BITMAP)) << name;
            EXPECT_GT(r.width, 0u) << name;
            EXPECT_EQ(r.width, r.probeWidth) << name << ": decoded size differs from the header's";
            EXPECT_EQ(r.height, r.probeHeight) << name << ": decoded size differs from the header's";
            EXPECT_GE(r.pitch, 3 * r.width) << name;
        } else {
            EXPECT_EQ(r.bpp, 0u) << name << ": an error came with a picture";
            if (error == ImageFileError::UnknownFormat) {
                ++notOpened;
            } else if (r.guardOutcome != static_cast<int>(GuardOutcome::kAccepted) ||
                       error == ImageFileError::TooLarge) {
                ++refused;
            } else {
                ++decoderErrors;
            }
        }
        if (c.mustLoad(name)) {
            EXPECT_EQ(error, ImageFileError::None)
                << name << " is a sound image but gave: " << calmora::DescribeImageFileError(error);
        }
        const auto expected = kRefusedBeforeDecoding.find(file.filename().string());
        if (expected != kRefusedBeforeDecoding.end()) {
            EXPECT_NE(r.guardOutcome, static_cast<int>(GuardOutcome::kAccepted)) << name;
            EXPECT_EQ(error, expected->second) << name;
            if (r.decoderEntries >= 0) {
                EXPECT_EQ(r.decoderEntries, 0) << name << " reached libjpeg";
            }
        }
    }
    std::cout << "[ corpus   ] " << c.name << ": " << files.size() << " files: " << loaded
              << " loaded, " << refused << " refused before decoding, " << decoderErrors
              << " decoder errors, " << notOpened << " not a format the program opens\n";
    RecordProperty("loaded", loaded);
    RecordProperty("refused", refused);
    RecordProperty("decoderErrors", decoderErrors);
    RecordProperty("notOpened", notOpened);
}

INSTANTIATE_TEST_SUITE_P(Sets, HostileCorpus, ::testing::ValuesIn(kCollections),
                         [](const ::testing::TestParamInfo<Collection>& info) {
                             return std::string(info.param.name);
                         });

// Lossless encodings of one picture must decode to the same pixels: proof
// that what passes the guard is decoded correctly, not merely without error.
TEST(HostileCorpusTwins, LosslessCopiesOfOnePictureDecodeAlike) {
    const fs::path folder = fs::path(TestDataRoot()) / "golang-golang-x-image-dev" /
                            "usr/share/gocode/src/golang.org/x/image/testdata";
    if (!fs::is_directory(folder)) {
        GTEST_SKIP() << "test images not fetched: run scripts/fetch-test-data.sh " << TestDataRoot();
    }
    const std::vector<std::string> twins = {"video-001.png", "video-001.bmp", "video-001.tiff",
                                            "video-001-uncompressed.tiff",
                                            "video-001-strip-64.tiff", "video-001-tile-64x64.tiff"};
    std::set<uint64_t> hashes;
    for (const std::string& name : twins) {
        const std::string path = (folder / name).string();
        const guard_test::ChildResult child = guard_test::RunInChild(
            [&] { return guard_test::LoadThroughProgram(path); }, kSecondsPerFile, 0);
        ASSERT_EQ(child.end, ChildEnd::kExited) << name;
        ASSERT_EQ(child.report.loadError, 0) << name;
        EXPECT_EQ(child.report.width, 150u) << name;
        EXPECT_EQ(child.report.height, 103u) << name;
        hashes.insert(child.report.pixelHash);
    }
    EXPECT_EQ(hashes.size(), 1u) << "the copies decoded to different pixels";
}

}  // namespace
