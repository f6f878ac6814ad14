// The batch tool on files made to crash FreeImage's EXIF reader (and on an
// ordinary V5 BMP): each run must end by itself, never by a signal, with
// the picture denoised or a one-line message.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "exif_forge.h"
#include "guard_test_support.h"
#include "imagefiles/exif_io.h"
#include "imagefiles/image_load.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using exif_forge::Bytes;
using exif_forge::Place;

struct ToolRun {
    bool signalled = true;
    int signal = 0;
    int exitCode = -1;
    std::string err;
};

std::string Slurp(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Started directly rather than through a shell, so that a signal that ends
// the tool is seen as one and not as an exit status.
ToolRun RunTool(const guard_test::ScratchDir& dir, const std::vector<std::string>& args) {
    std::vector<std::string> all = {CALMORA_DENOISE_EXE};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    const std::string out = dir / "stdout.txt", err = dir / "stderr.txt";
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    ToolRun run;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return run;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.signalled = WIFSIGNALED(status);
    run.signal = run.signalled ? WTERMSIG(status) : 0;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = Slurp(err);
    fs::remove(out);
    fs::remove(err);
    return run;
}

size_t Lines(const std::string& text) {
    std::istringstream in(text);
    size_t count = 0;
    for (std::string line; std::getline(in, line);) ++count;
    return count;
}

Bytes ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A V5 BMP as ImageMagick writes a picture with transparency: 32 bits, bit
// fields with an alpha mask.
Bytes V5Bmp(int width, int height) {
    Bytes b = {'B', 'M'};
    auto le32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i))); };
    auto le16 = [&](uint32_t v) { b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)}); };
    le32(138 + 4u * width * height);
    le32(0);
    le32(138);
    le32(124);
    le32(uint32_t(width));
    le32(uint32_t(height));
    le16(1);
    le16(32);
    le32(3);
    le32(4u * width * height);
    le32(2835);
    le32(2835);
    le32(0);
    le32(0);
    for (uint32_t mask : {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u}) le32(mask);
    b.resize(138, 0);
    for (int i = 0; i < width * height; ++i) b.insert(b.end(), {uint8_t(i), uint8_t(3 * i), 200, 128});
    return b;
}

struct HostileFile {
    std::string name;
    int width, height;
};

TEST(HostileFiles, TheBatchToolEndsByItselfWithAPictureOrOneLine) {
    guard_test::ScratchDir dir;
    std::vector<HostileFile> files;
    for (const bool progressive : {false, true}) {
        guard_test::JpegKind kind;
        kind.name = "base";
        kind.progressive = progressive;
        const std::string base = dir / "base.jpg";
        guard_test::WriteJpegWithLibjpeg(base, 64, 40, kind);
        const Bytes bytes = ReadAll(base);
        fs::remove(base);
        const std::vector<Place> places =
            progressive ? std::vector<Place>{Place::kBetweenScans}
                        : std::vector<Place>{Place::kAfterSoi, Place::kAfterFrameHeader, Place::kBeforeEoi};
        for (const Place place : places) {
            int n = 0;
            for (const Bytes& block : {exif_forge::HugeEntryCountBlock(), exif_forge::WrappingThumbnailBlock()}) {
                const std::string name = "jpeg-" + std::to_string(static_cast<int>(place)) + "-" +
                                         std::to_string(n++) + (progressive ? "-p" : "") + ".jpg";
                guard_test::WriteFile(dir / name, exif_forge::InsertAt(bytes, exif_forge::OffsetOf(bytes, place),
                                                                       exif_forge::ExifSegment(block)));
                files.push_back({name, 64, 40});
            }
        }
    }
    {
        calmora::BitmapPtr picture(FreeImage_Allocate(30, 20, 24));
        ASSERT_TRUE(FreeImage_Save(FIF_PNG, picture.get(), (dir / "plain.png").c_str(), 0));
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> from(std::fopen((dir / "plain.png").c_str(), "rb"),
                                                             &std::fclose);
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> to(std::fopen((dir / "exif.png").c_str(), "wb"),
                                                           &std::fclose);
        ASSERT_TRUE(calmora::exif::CopyPngWithExif(from.get(), to.get(), exif_forge::HugeEntryCountBlock()));
        files.push_back({"exif.png", 30, 20});
    }
    {
        exif_forge::ForgedExifTiff tiff = exif_forge::TiffWithExif(9, 7);
        tiff.bytes[tiff.exif] = 0xFF;
        tiff.bytes[tiff.exif + 1] = 0xFF;
        guard_test::WriteFile(dir / "exif.tif", tiff.bytes);
        files.push_back({"exif.tif", 9, 7});
    }
    guard_test::WriteFile(dir / "v5.bmp", V5Bmp(12, 8));
    files.push_back({"v5.bmp", 12, 8});

    for (const HostileFile& file : files) {
        const ToolRun run = RunTool(dir, {"--quiet", "-s", "10", "-d", dir / "out", dir / file.name});
        ASSERT_FALSE(run.signalled) << file.name << ": ended by signal " << run.signal;
        EXPECT_EQ(run.exitCode, 0) << file.name << ": " << run.err;
        EXPECT_EQ(run.err, "") << file.name;
        const calmora::LoadedImage written = calmora::LoadImageFile(dir / ("out/" + file.name));
        ASSERT_EQ(written.error, calmora::ImageFileError::None) << file.name;
        EXPECT_EQ(FreeImage_GetWidth(written.image.get()), unsigned(file.width)) << file.name;
        EXPECT_EQ(FreeImage_GetHeight(written.image.get()), unsigned(file.height)) << file.name;
    }

    // Hostile EXIF in a file that is also cut short: one line, no signal.
    const Bytes cut = ReadAll(dir / files.front().name);
    guard_test::WriteFile(dir / "cut.jpg", Bytes(cut.begin(), cut.begin() + static_cast<long>(cut.size() / 2)));
    const ToolRun run = RunTool(dir, {"--quiet", "-d", dir / "out", dir / "cut.jpg"});
    ASSERT_FALSE(run.signalled) << "ended by signal " << run.signal;
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(Lines(run.err), 1u) << run.err;
    EXPECT_NE(run.err.find("cut.jpg"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("truncated"), std::string::npos) << run.err;
}

}  // namespace
