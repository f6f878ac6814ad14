// The decoding sandbox: children that crash, loop, eat memory or try to reach
// the user's files are stopped and reported, within their limits; what a
// child hands back arrives exact; and a load through LoadImageFile survives a
// decoder that misbehaves. The block the picture comes back in has its own
// test (bitmap_transfer_test.cpp).
#include <gtest/gtest.h>

#include <FreeImage.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <netinet/in.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "imagefiles/image_load.h"
#include "imagefiles/sandbox.h"
#include "misbehaving_decoders.h"
#include "test_images.h"

using namespace calmora;
using calmora_test::ScratchDir;

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A small file every job is given.
std::string Picture(const ScratchDir& dir) {
    const std::string path = dir / "picture.bin";
    calmora_test::WriteFile(path, {1, 2, 3, 4, 5, 6, 7, 8});
    return path;
}

SandboxLimits Short() {
    SandboxLimits limits;
    limits.memoryBytes = uint64_t{64} << 20;
    limits.cpuSeconds = 1;
    limits.wallMilliseconds = 3000;
    return limits;
}

int Crash(SandboxChild&, void*) {
    volatile int* nowhere = nullptr;
    return *nowhere;
}
int SpinForever(SandboxChild&, void*) {
    for (volatile unsigned long i = 0;; i = i + 1) {
    }
}
int SleepForever(SandboxChild&, void*) {
    for (;;) sleep(1);  // uses no processor time: only the parent's clock stops it
}
int EatMemory(SandboxChild&, void*) {
    for (;;) {
        auto* block = static_cast<char*>(std::malloc(16 << 20));
        std::memset(block, 1, 16 << 20);  // null once the limit is reached
    }
}
int RunAProgram(SandboxChild&, void*) {
    char* argv[] = {const_cast<char*>("/bin/true"), nullptr};
    execv("/bin/true", argv);
    return 0;
}
int Connect(SandboxChild&, void*) {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(9);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    (void)connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to);
    return 0;  // only the filter can make this child fail
}
int WriteToTheTerminal(SandboxChild&, void*) {
    return write(1, "x", 1) == 1 ? 0 : 1;
}
// Tries to create the file named by argument; 0 only if that worked.
int CreateAFile(SandboxChild&, void* argument) {
    const int fd = open(static_cast<const char*>(argument), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    return fd >= 0 && write(fd, "stolen", 6) == 6 ? 0 : 1;
}
// Tries to read another file; 0 only if that worked.
int ReadAnotherFile(SandboxChild&, void* argument) {
    std::FILE* file = std::fopen(static_cast<const char*>(argument), "rb");
    return file ? 0 : 1;
}
// Reads its own picture by name, as a decoder does, and from the mapping,
// and hands back both copies.
int EchoThePicture(SandboxChild& child, void*) {
    std::FILE* file = std::fopen(child.path, "rb");
    if (!file) return 1;
    std::vector<uint8_t> read(64);
    read.resize(std::fread(read.data(), 1, read.size(), file));
    std::fclose(file);
    auto* out = static_cast<uint8_t*>(child.Grow(child.size + read.size()));
    if (!out) return 1;
    std::memcpy(out, child.data, child.size);
    std::memcpy(out + child.size, read.data(), read.size());
    return 0;
}

// Streams: more than the pipe holds, in uneven pieces, each byte its index.
constexpr uint64_t kStreamBytes = (uint64_t{3} << 20) + 5;
uint8_t StreamByte(uint64_t i) { return static_cast<uint8_t>(i * 131 + (i >> 12)); }
int SendAStream(SandboxChild& child, void*) {
    std::vector<uint8_t> bytes(kStreamBytes);
    for (uint64_t i = 0; i < kStreamBytes; ++i) bytes[i] = StreamByte(i);
    if (!child.Announce(kStreamBytes)) return 1;
    for (uint64_t at = 0; at < kStreamBytes;) {
        const uint64_t piece = std::min<uint64_t>(kStreamBytes - at, 1 + at % 700000);
        if (!child.Send(bytes.data() + at, piece)) return 1;
        at += piece;
    }
    return 0;
}
int SendHalf(SandboxChild& child, void*) {
    static const uint8_t bytes[64] = {};
    return child.Announce(128) && child.Send(bytes, 64) ? 0 : 1;
}
int SendTooMuch(SandboxChild& child, void*) {
    static const uint8_t bytes[64] = {};
    return child.Announce(32) && child.Send(bytes, 64) ? 0 : 1;
}
int SendForever(SandboxChild& child, void*) {
    static const uint8_t bytes[4096] = {};
    if (!child.Announce(uint64_t{1} << 50)) return 1;
    while (child.Send(bytes, sizeof bytes)) {
    }
    return 1;
}
// Takes a block of bytes and writes every page of it, then hands back its size.
int FillABlock(SandboxChild& child, void* argument) {
    const size_t bytes = *static_cast<const size_t*>(argument);
    auto* block = static_cast<uint8_t*>(std::malloc(bytes));
    if (!block) return 1;
    std::memset(block, 0x5a, bytes);
    auto* out = static_cast<uint64_t*>(child.Grow(sizeof(uint64_t)));
    if (!out) return 1;
    *out = block[bytes - 1] == 0x5a ? bytes : 0;
    return 0;
}

class BufferReceiver final : public SandboxReceiver {
public:
    explicit BufferReceiver(uint64_t most) : most_(most) {}
    void WhileTheChildRuns() override { prepared = true; }
    uint8_t* Destination(uint64_t bytes) override {
        announcedAfterPreparing = prepared;
        if (bytes > most_) return nullptr;
        buffer.assign(static_cast<size_t>(bytes), 0);
        return buffer.data();
    }
    std::vector<uint8_t> buffer;
    bool prepared = false, announcedAfterPreparing = false;

private:
    uint64_t most_;
};

}  // namespace

TEST(Sandbox, EveryWayAChildCanMisbehaveEndsAsAFailureInTime) {
    if (!SandboxRefusal().empty()) GTEST_SKIP() << SandboxRefusal();
    ScratchDir dir;
    const std::string path = Picture(dir);
    struct Case {
        const char* what;
        SandboxJob job;
        double withinSeconds;
        const char* why;
        int wallMilliseconds = 3000;
    } cases[] = {
        {"crash", Crash, 2, "crashed"},
        // One second of processor time, plus the hard limit's second; the
        // wall clock is generous, so a busy machine that gives the child
        // little of the processor still ends it by its processor time.
        {"processor time", SpinForever, 30, "processor time", 30000},
        {"wall clock", SleepForever, 5, "took too long"},
        {"memory", EatMemory, 3, "crashed"},
        {"execve", RunAProgram, 2, "forbidden system call"},
        {"connect", Connect, 2, "forbidden system call"},
        {"write to stdout", WriteToTheTerminal, 2, "forbidden system call"},
    };
    for (const Case& c : cases) {
        const auto start = Clock::now();
        SandboxLimits limits = Short();
        limits.wallMilliseconds = c.wallMilliseconds;
        const SandboxResult run = RunSandboxed(path, limits, c.job, nullptr);
        EXPECT_EQ(run.outcome, SandboxOutcome::Failed) << c.what;
        EXPECT_LT(SecondsSince(start), c.withinSeconds) << c.what;
        EXPECT_NE(run.why.find(c.why), std::string::npos) << c.what << ": " << run.why;
    }
}

TEST(Sandbox, BytesAChildSendsArriveExactlyAndNoMoreThanAnnounced) {
    if (!SandboxRefusal().empty()) GTEST_SKIP() << SandboxRefusal();
    ScratchDir dir;
    const std::string path = Picture(dir);
    BufferReceiver receiver(kStreamBytes);
    const SandboxResult run = RunSandboxed(path, Short(), SendAStream, nullptr, &receiver);
    ASSERT_EQ(run.outcome, SandboxOutcome::Finished) << run.why;
    EXPECT_EQ(run.sent, kStreamBytes);
    EXPECT_TRUE(receiver.announcedAfterPreparing);
    ASSERT_EQ(receiver.buffer.size(), kStreamBytes);
    uint64_t wrong = 0;
    for (uint64_t i = 0; i < kStreamBytes; ++i) wrong += receiver.buffer[i] != StreamByte(i);
    EXPECT_EQ(wrong, 0u);

    // Short, long, refused by the receiver, or with nobody to receive it:
    // each a failure, and an endless stream is stopped at once.
    struct Case {
        const char* what;
        SandboxJob job;
        SandboxReceiver* to;
    } cases[] = {
        {"half sent", SendHalf, &receiver},
        {"more than announced", SendTooMuch, &receiver},
        {"refused", SendForever, &receiver},
        {"no receiver", SendAStream, nullptr},
    };
    for (const Case& c : cases) {
        const auto start = Clock::now();
        const SandboxResult failed = RunSandboxed(path, Short(), c.job, nullptr, c.to);
        EXPECT_EQ(failed.outcome, SandboxOutcome::Failed) << c.what;
        EXPECT_LT(SecondsSince(start), 2.0) << c.what;
    }
}

TEST(Sandbox, HugePageHeapServesTheJobWithinItsLimit) {
    if (!SandboxRefusal().empty()) GTEST_SKIP() << SandboxRefusal();
    ScratchDir dir;
    const std::string path = Picture(dir);
    SandboxLimits limits = Short();
    limits.hugePageBytes = uint64_t{48} << 20;
    size_t block = size_t{40} << 20;
    const SandboxResult run = RunSandboxed(path, limits, FillABlock, &block);
    ASSERT_EQ(run.outcome, SandboxOutcome::Finished) << run.why;
    uint64_t filled = 0;
    ASSERT_EQ(run.Size(), sizeof filled);
    std::memcpy(&filled, run.Data(), sizeof filled);
    EXPECT_EQ(filled, block);
    // The piece set aside is no extra allowance: the limit still stops a job.
    EXPECT_EQ(RunSandboxed(path, limits, EatMemory, nullptr).outcome, SandboxOutcome::Failed);
    block = size_t{96} << 20;
    EXPECT_EQ(RunSandboxed(path, limits, FillABlock, &block).outcome, SandboxOutcome::Failed);
}

TEST(Sandbox, AChildCanNeitherCreateNorReadOtherFiles) {
    if (!SandboxRefusal().empty()) GTEST_SKIP() << SandboxRefusal();
    ScratchDir dir;
    const std::string path = Picture(dir);
    std::string target = dir / "written-by-the-child";
    EXPECT_EQ(RunSandboxed(path, Short(), CreateAFile, target.data()).outcome, SandboxOutcome::Failed);
    struct stat st {};
    EXPECT_NE(stat(target.c_str(), &st), 0) << "the child created a file";
    // Even the picture itself cannot be opened for writing.
    EXPECT_EQ(RunSandboxed(path, Short(), CreateAFile, const_cast<char*>(path.c_str())).outcome,
              SandboxOutcome::Failed);
    EXPECT_EQ(calmora_test::ReadFile(path), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));

    std::string other = dir / "secret.txt";
    calmora_test::WriteFile(other, {'s'});
    EXPECT_EQ(RunSandboxed(path, Short(), ReadAnotherFile, other.data()).outcome,
              SandboxOutcome::Failed);
}

TEST(Sandbox, AChildReadsItsOwnPictureByNameAndHandsItBack) {
    if (!SandboxRefusal().empty()) GTEST_SKIP() << SandboxRefusal();
    ScratchDir dir;
    const std::string path = Picture(dir);
    for (int round = 0; round < 2; ++round) {  // a failed child leaves the next one unharmed
        const SandboxResult run = RunSandboxed(path, Short(), EchoThePicture, nullptr);
        ASSERT_EQ(run.outcome, SandboxOutcome::Finished) << run.why;
        const std::vector<uint8_t> both(run.Data(), run.Data() + run.Size());
        EXPECT_EQ(both, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 1, 2, 3, 4, 5, 6, 7, 8}));
        EXPECT_EQ(RunSandboxed(path, Short(), Crash, nullptr).outcome, SandboxOutcome::Failed);
    }
}

// ---------------------------------------------------------------------------
// LoadImageFile with a decoder that misbehaves.

namespace {

std::string g_escaped;  // inside the test's scratch folder
BitmapPtr StealingDecoder(const std::string&) {
    (void)!system(("touch '" + g_escaped + "'").c_str());
    return calmora_test::Pattern24(10, 10);
}

struct SeamReset {
    ~SeamReset() { decode_testing::SetLoadSeamForTesting({}); }
};

}  // namespace

TEST(SandboxedLoad, ADecoderThatMisbehavesCostsOnlyThatLoad) {
    if (!SandboxRefusal().empty()) GTEST_SKIP() << SandboxRefusal();
    ScratchDir dir;
    const BitmapPtr photo = calmora_test::Pattern24(64, 48);
    calmora_test::WriteImage(photo.get(), FIF_PNG, dir / "a.png");
    g_escaped = dir / "escaped";
    SeamReset reset;
    for (auto decoder : {calmora_test::CrashingDecoder, calmora_test::RunawayDecoder,
                         calmora_test::GreedyDecoder, StealingDecoder}) {
        decode_testing::LoadSeam seam;
        seam.decoder = decoder;
        seam.cpuSeconds = 1;
        seam.wallMilliseconds = 2500;
        seam.memoryBytes = uint64_t{32} << 20;
        decode_testing::SetLoadSeamForTesting(seam);
        const auto start = Clock::now();
        const LoadedImage loaded = LoadImageFile(dir / "a.png");
        EXPECT_EQ(loaded.error, ImageFileError::Corrupt);
        EXPECT_FALSE(loaded.image);
        EXPECT_LT(SecondsSince(start), 4.0);
    }
    struct stat st {};
    EXPECT_NE(stat(g_escaped.c_str(), &st), 0) << "the decoder started a program";
    EXPECT_STREQ(DescribeImageFileError(ImageFileError::Corrupt), "damaged image data");

    decode_testing::SetLoadSeamForTesting({});
    const LoadedImage good = LoadImageFile(dir / "a.png");
    ASSERT_EQ(good.error, ImageFileError::None);
    EXPECT_EQ(calmora_test::PixelBytes(good.image.get()), calmora_test::PixelBytes(photo.get()));
}

BitmapPtr SmallerDecoder(const std::string&) { return calmora_test::Pattern24(33, 21); }

TEST(SandboxedLoad, PictureOfOtherSizeThanHeaderArrivesWhole) {
    if (!SandboxRefusal().empty()) GTEST_SKIP() << SandboxRefusal();
    ScratchDir dir;
    calmora_test::WriteImage(calmora_test::Pattern24(64, 48).get(), FIF_PNG, dir / "a.png");
    SeamReset reset;
    decode_testing::LoadSeam seam;
    seam.decoder = SmallerDecoder;
    decode_testing::SetLoadSeamForTesting(seam);
    const LoadedImage loaded = LoadImageFile(dir / "a.png");
    ASSERT_EQ(loaded.error, ImageFileError::None);
    EXPECT_EQ(calmora_test::PixelBytes(loaded.image.get()),
              calmora_test::PixelBytes(calmora_test::Pattern24(33, 21).get()));
}

TEST(SandboxedLoad, APictureLargerThanThePipeArrivesExactly) {
    ScratchDir dir;
    const BitmapPtr photo = calmora_test::Pattern24(1601, 1203);  // 5.8 MB, odd rows
    calmora_test::WriteImage(photo.get(), FIF_PNG, dir / "big.png");
    const LoadedImage loaded = LoadImageFile(dir / "big.png");
    ASSERT_EQ(loaded.error, ImageFileError::None);
    EXPECT_EQ(calmora_test::PixelBytes(loaded.image.get()), calmora_test::PixelBytes(photo.get()));
}

TEST(SandboxedLoad, JpegKeepsTheMetadataReadInProcess) {
    ScratchDir dir;
    BitmapPtr photo = calmora_test::Pattern24(120, 80, true);
    calmora_test::AddTag(photo.get(), FIMD_COMMENTS, "Comment", 0, FIDT_ASCII, {'o', 'k', 0}, 3);
    calmora_test::AddTag(photo.get(), FIMD_EXIF_MAIN, "Make", 0x010f, FIDT_ASCII, {'C', 'a', 'm', 0}, 4);
    std::vector<uint8_t> profile(600, 3);
    std::memcpy(profile.data() + 16, "RGB ", 4);
    FreeImage_CreateICCProfile(photo.get(), profile.data(), 600);
    calmora_test::WriteImage(photo.get(), FIF_JPEG, dir / "a.jpg", JPEG_QUALITYSUPERB);

    const LoadedImage loaded = LoadImageFile(dir / "a.jpg");
    ASSERT_EQ(loaded.error, ImageFileError::None);
    BitmapPtr direct(FreeImage_Load(FIF_JPEG, (dir / "a.jpg").c_str(), JPEG_ACCURATE));
    ASSERT_TRUE(direct);
    EXPECT_EQ(calmora_test::PixelBytes(loaded.image.get()), calmora_test::PixelBytes(direct.get()));
    EXPECT_EQ(calmora_test::AllMetadata(loaded.image.get()), calmora_test::AllMetadata(direct.get()));
    ASSERT_TRUE(FreeImage_GetICCProfile(loaded.image.get())->data);
    EXPECT_EQ(FreeImage_GetICCProfile(loaded.image.get())->size, 600);
}
