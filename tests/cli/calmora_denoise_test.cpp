// Runs the built calmora-denoise binary and checks what it writes and says.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "imagefiles/image_load.h"
#include "imagefiles/image_save.h"
#include "denoise_run/row_run.h"
#include "test_images.h"
#include "tool_run.h"

namespace calmora {
namespace {

// The runner's helpers, and fs, PixelBytes and ScratchDir with them.
using namespace tool_test;

TEST(CalmoraDenoise, HelpAndVersion) {
    ScratchDir dir;
    const ToolRun help = RunTool(dir, {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* option : {"--intensity", "--radius", "--red", "--green", "--blue", "--output",
                               "--output-dir", "--format", "--quality", "--lzw", "--overwrite",
                               "--quiet", "--version", "default 10", "default 2", "default 90",
                               "'auto'", "--estimate"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    const ToolRun version = RunTool(dir, {"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("calmora-denoise 1.", 0), 0u) << version.out;
}

TEST(CalmoraDenoise, EveryInputFormatIsReadAndWrittenBack) {
    ScratchDir dir;
    const BitmapPtr photo = calmora_test::Pattern24(41, 29, true);
    calmora_test::WriteImage(photo.get(), FIF_JPEG, dir / "a.jpg", 95);
    calmora_test::WriteImage(photo.get(), FIF_BMP, dir / "b.bmp");
    calmora_test::WriteImage(photo.get(), FIF_PNG, dir / "c.png");
    calmora_test::WriteImage(photo.get(), FIF_TIFF, dir / "d.TIF");
    BitmapPtr paletted(FreeImage_ColorQuantize(photo.get(), FIQ_WUQUANT));
    calmora_test::WriteImage(paletted.get(), FIF_GIF, dir / "e.gif");
    const ToolRun run = RunTool(dir, {"-s", "20", "-r", "3", "--quiet", "-d", dir / "out", dir / "a.jpg",
                                      dir / "b.bmp", dir / "c.png", dir / "d.TIF", dir / "e.gif"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "");
    const std::pair<const char*, FREE_IMAGE_FORMAT> expected[] = {
        {"a.jpg", FIF_JPEG}, {"b.bmp", FIF_BMP}, {"c.png", FIF_PNG}, {"d.TIF", FIF_TIFF}, {"e.png", FIF_PNG}};
    for (const auto& [name, format] : expected) {
        const std::string out = dir / ("out/" + std::string(name));
        ASSERT_TRUE(fs::exists(out)) << name;
        EXPECT_EQ(FreeImage_GetFileType(out.c_str(), 0), format) << name;
    }
    // Lossless outputs hold exactly what the full run computes.
    EXPECT_TRUE(PixelBytes(LoadImageFile(dir / "out/b.bmp").image.get()) ==
                DenoisedInProcess(dir / "b.bmp", Settings(20, 3)));
    EXPECT_TRUE(PixelBytes(LoadImageFile(dir / "out/d.TIF").image.get()) ==
                DenoisedInProcess(dir / "d.TIF", Settings(20, 3)));
    EXPECT_TRUE(PixelBytes(LoadImageFile(dir / "out/e.png").image.get()) ==
                DenoisedInProcess(dir / "e.gif", Settings(20, 3)));
    // Default naming: beside the input.
    ASSERT_EQ(RunTool(dir, {"--quiet", dir / "c.png"}).exitCode, 0);
    EXPECT_TRUE(fs::exists(dir / "c-denoised.png"));
}

TEST(CalmoraDenoise, EachBadInputIsOneLineGoodOnesStillWritten) {
    ScratchDir dir;
    const BitmapPtr photo = calmora_test::Pattern24(160, 120);
    calmora_test::WriteImage(photo.get(), FIF_PNG, dir / "good1.png");
    calmora_test::WriteImage(photo.get(), FIF_BMP, dir / "good2.bmp");
    calmora_test::WriteFile(dir / "notes.jpg", {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'});
    calmora_test::WriteImage(photo.get(), FIF_JPEG, dir / "cut.jpg", 90);
    calmora_test::TruncateFile(dir / "cut.jpg", fs::file_size(dir / "cut.jpg") / 2);
    calmora_test::WriteImage(photo.get(), FIF_PNG, dir / "damaged.png");
    std::vector<uint8_t> bytes = calmora_test::ReadFile(dir / "damaged.png");
    for (size_t i = 80; i < bytes.size() - 20; i += 5) bytes[i] ^= 0xFF;
    calmora_test::WriteFile(dir / "damaged.png", bytes);
    calmora_test::WriteFile(dir / "huge.gif", calmora_test::ForgedGif(10, 10, 60000, 60000));
    fs::create_directory(dir / "out");

    const std::vector<std::string> bad = {"missing.png", "notes.jpg", "cut.jpg", "damaged.png", "huge.gif"};
    const ToolRun run = RunTool(dir, {"-s", "5", "-d", dir / "out", dir / "missing.png", dir / "good1.png",
                                      dir / "notes.jpg", dir / "cut.jpg", dir / "damaged.png",
                                      dir / "huge.gif", dir / "good2.bmp"});
    EXPECT_EQ(run.exitCode, 1);
    const std::vector<std::string> lines = run.ErrLines();
    ASSERT_EQ(lines.size(), bad.size()) << run.err;
    const char* reasons[] = {"No such file", "unknown image format", "truncated", "damaged", "too large"};
    for (size_t i = 0; i < bad.size(); ++i) {
        EXPECT_NE(lines[i].find(dir / bad[i]), std::string::npos) << lines[i];
        EXPECT_NE(lines[i].find(reasons[i]), std::string::npos) << lines[i];
    }
    EXPECT_TRUE(fs::exists(dir / "out/good1.png"));
    EXPECT_TRUE(fs::exists(dir / "out/good2.bmp"));
    EXPECT_NE(run.out.find("2 of 7 images written"), std::string::npos) << run.out;
    EXPECT_EQ(dir.Entries().size(), 7u);  // the six inputs and out/: nothing left beside them

    // An output that cannot be written is named with its input.
    calmora_test::WriteFile(dir / "a-file", {1});
    const ToolRun unwritable = RunTool(dir, {"-d", dir / "a-file/sub", dir / "good1.png"});
    EXPECT_EQ(unwritable.exitCode, 1);
    ASSERT_EQ(unwritable.ErrLines().size(), 1u) << unwritable.err;
    EXPECT_NE(unwritable.err.find(dir / "good1.png"), std::string::npos);
    EXPECT_NE(unwritable.err.find("a-file/sub/good1.png"), std::string::npos);
}

TEST(CalmoraDenoise, TheOutputFolderIsMadeOnlyForAResult) {
    ScratchDir dir;
    calmora_test::WriteFile(dir / "notes.png", {'n', 'o', 't', 'e'});
    const ToolRun none = RunTool(dir, {"-d", dir / "denoised/deep", dir / "missing.png",
                                       dir / "notes.png"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_FALSE(fs::exists(dir / "denoised")) << "a folder was made for no result";

    calmora_test::WriteImage(calmora_test::Pattern24(32, 24).get(), FIF_PNG, dir / "good.png");
    const ToolRun one = RunTool(dir, {"-s", "5", "-d", dir / "denoised/deep", dir / "missing.png",
                                      dir / "good.png"});
    EXPECT_EQ(one.exitCode, 1);
    EXPECT_TRUE(fs::is_regular_file(dir / "denoised/deep/good.png")) << one.err;
}

TEST(CalmoraDenoise, AnInputIsNeverReplacedWithoutOverwrite) {
    ScratchDir dir;
    const BitmapPtr photo = calmora_test::Pattern24(40, 30);
    calmora_test::WriteImage(photo.get(), FIF_PNG, dir / "in.png");
    const std::vector<uint8_t> before = calmora_test::ReadFile(dir / "in.png");

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-o", dir / "in.png", dir / "in.png"},
          std::vector<std::string>{"-o", dir.Path() + "/./in.png", dir / "in.png"},
          std::vector<std::string>{"-d", dir.Path(), dir / "in.png"}}) {
        const ToolRun run = RunTool(dir, args);
        EXPECT_EQ(run.exitCode, 1);
        ASSERT_EQ(run.ErrLines().size(), 1u) << run.err;
        EXPECT_NE(run.err.find("--overwrite"), std::string::npos) << run.err;
        EXPECT_EQ(calmora_test::ReadFile(dir / "in.png"), before);
    }
    // A hard link is the same file under another name.
    fs::create_hard_link(dir / "in.png", dir / "twin.png");
    EXPECT_EQ(RunTool(dir, {"-o", dir / "twin.png", dir / "in.png"}).exitCode, 1);
    EXPECT_EQ(calmora_test::ReadFile(dir / "in.png"), before);

    // Two inputs of one name sent to one folder: the second must not replace the first.
    fs::create_directory(dir / "one");
    fs::create_directory(dir / "two");
    calmora_test::WriteImage(photo.get(), FIF_PNG, dir / "one/x.png");
    calmora_test::WriteImage(photo.get(), FIF_PNG, dir / "two/x.png");
    const ToolRun clash = RunTool(dir, {"-d", dir / "out", dir / "one/x.png", dir / "two/x.png"});
    EXPECT_EQ(clash.exitCode, 1);
    ASSERT_EQ(clash.ErrLines().size(), 1u) << clash.err;
    EXPECT_NE(clash.err.find(dir / "two/x.png"), std::string::npos) << clash.err;
    EXPECT_NE(clash.err.find("just written"), std::string::npos) << clash.err;

    const ToolRun allowed = RunTool(dir, {"--overwrite", "-o", dir / "in.png", dir / "in.png"});
    EXPECT_EQ(allowed.exitCode, 0) << allowed.err;
    EXPECT_NE(calmora_test::ReadFile(dir / "in.png"), before);
}

TEST(CalmoraDenoise, WrongCommandLinesAreRefusedBeforeAnyWork) {
    ScratchDir dir;
    const BitmapPtr photo = calmora_test::Pattern24(20, 20);
    calmora_test::WriteImage(photo.get(), FIF_PNG, dir / "in.png");
    const std::vector<std::vector<std::string>> wrong = {
        {"-s", "0", dir / "in.png"},          {"-s", "201", dir / "in.png"},
        {"-s", "12x", dir / "in.png"},        {"-r", "1", dir / "in.png"},
        {"-r", "13", dir / "in.png"},         {"--red", "101", dir / "in.png"},
        {"--red", "0", "--green", "0", "--blue", "0", dir / "in.png"},
        {"-q", "0", dir / "in.png"},          {"--format", "gif", dir / "in.png"},
        {"-o", dir / "x.png", dir / "in.png", dir / "in.png"},
        {"-o", dir / "x.webp", dir / "in.png"}, {"--frobnicate", dir / "in.png"},
        {"-s"},                               {},
        {"--colour-noise", "-1", dir / "in.png"}, {"--colour-noise", "201", dir / "in.png"},
        {"--colour-noise", "2o", dir / "in.png"}, {"--colour-noise", "", dir / "in.png"},
        {dir / "in.png", "--colour-noise"}};
    for (const auto& args : wrong) {
        const ToolRun run = RunTool(dir, args);
        std::string shown;
        for (const auto& a : args) shown += a + " ";
        EXPECT_EQ(run.exitCode, 2) << shown;
        EXPECT_EQ(run.err.rfind("calmora-denoise: ", 0), 0u) << shown << run.err;
    }
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"in.png"});
    const ToolRun webp = RunTool(dir, {"-o", dir / "x.webp", dir / "in.png"});
    EXPECT_NE(webp.err.find("x.webp"), std::string::npos) << webp.err;
}

TEST(CalmoraDenoise, EmptyOutputNamesAreRefusedAsUsageErrors) {
    ScratchDir dir;
    const BitmapPtr photo = calmora_test::Pattern24(20, 20);
    calmora_test::WriteImage(photo.get(), FIF_PNG, dir / "in.png");
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"-o", "", dir / "in.png"},
             {"--output", "", dir / "in.png"},
             {"--output=", dir / "in.png"},
             {"-d", "", dir / "in.png"},
             {"--output-dir", "", dir / "in.png"},
             {"--output-dir=", dir / "in.png"}}) {
        const ToolRun run = RunTool(dir, args);
        EXPECT_EQ(run.exitCode, 2) << args[0];
        EXPECT_EQ(run.err.rfind("calmora-denoise: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find("not an empty one"), std::string::npos) << run.err;
    }
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"in.png"});  // nothing beside the input
}

TEST(CalmoraDenoise, UnwritableOutputFailsAndStaysAsItWas) {
    ScratchDir dir;
    const BitmapPtr photo = calmora_test::Pattern24(20, 20);
    calmora_test::WriteImage(photo.get(), FIF_PNG, dir / "in.png");
    ASSERT_EQ(mkfifo((dir / "fifo.png").c_str(), 0666), 0);
    // Both ends held here: a regression that opened the FIFO must not hang the test.
    const int both = open((dir / "fifo.png").c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(both, 0);
    fs::create_symlink("fifo.png", dir / "to-fifo.png");
    std::vector<std::string> refused = {"fifo.png", "to-fifo.png"};
    if (geteuid() == 0) {
        // A test node with the null device's numbers, in the scratch folder.
        ASSERT_EQ(mknod((dir / "node.bmp").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
        refused.push_back("node.bmp");
    }
    for (const std::string& name : refused) {
        const ToolRun run = RunTool(dir, {"-o", dir / name, dir / "in.png"});
        EXPECT_EQ(run.exitCode, 1) << name;
        ASSERT_EQ(run.ErrLines().size(), 1u) << run.err;
        EXPECT_NE(run.err.find("not a regular file"), std::string::npos) << run.err;
    }
    struct stat st {};
    ASSERT_EQ(lstat((dir / "fifo.png").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    char byte = 0;
    EXPECT_EQ(read(both, &byte, 1), -1) << "the tool wrote into the FIFO";
    close(both);
    if (geteuid() == 0) {
        ASSERT_EQ(lstat((dir / "node.bmp").c_str(), &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode));
    }

    calmora_test::WriteFile(dir / "locked.png", {'o', 'l', 'd'});
    chmod((dir / "locked.png").c_str(), 0444);
    const ToolRun locked = RunTool(dir, {"-o", dir / "locked.png", dir / "in.png"});
    EXPECT_EQ(locked.exitCode, 1);
    EXPECT_NE(locked.err.find("write-protected"), std::string::npos) << locked.err;
    EXPECT_EQ(calmora_test::ReadFile(dir / "locked.png"), (std::vector<uint8_t>{'o', 'l', 'd'}));

    // A link to a file: that file is replaced and the link stays.
    calmora_test::WriteFile(dir / "real.png", {'o', 'l', 'd'});
    fs::create_symlink("real.png", dir / "to-real.png");
    const ToolRun through = RunTool(dir, {"--quiet", "-o", dir / "to-real.png", dir / "in.png"});
    EXPECT_EQ(through.exitCode, 0) << through.err;
    EXPECT_TRUE(fs::is_symlink(dir / "to-real.png"));
    EXPECT_EQ(LoadImageFile(dir / "real.png").error, ImageFileError::None);
}

TEST(CalmoraDenoise, ReportThatCannotReachStdoutIsAFailure) {
    ScratchDir dir;
    for (const char* option : {"--help", "--version"}) {
        const ToolRun run = RunTool(dir, {option}, true);
        EXPECT_EQ(run.exitCode, 1) << option;
        EXPECT_NE(run.err.find("cannot write to standard output"), std::string::npos) << run.err;
    }
    const BitmapPtr photo = calmora_test::Pattern24(20, 20);
    calmora_test::WriteImage(photo.get(), FIF_PNG, dir / "in.png");
    // The image is written; the line saying so is lost, and so is the success.
    const ToolRun run = RunTool(dir, {"-o", dir / "out.png", dir / "in.png"}, true);
    EXPECT_EQ(run.exitCode, 1);
    ASSERT_EQ(run.ErrLines().size(), 1u) << run.err;
    EXPECT_NE(run.err.find("standard output"), std::string::npos) << run.err;
    EXPECT_EQ(LoadImageFile(dir / "out.png").error, ImageFileError::None);
    // --quiet writes nothing there, so nothing is lost.
    EXPECT_EQ(RunTool(dir, {"--quiet", "-o", dir / "q.png", dir / "in.png"}, true).exitCode, 0);
    EXPECT_EQ(RunTool(dir, {"--help"}).exitCode, 0);
}

TEST(CalmoraDenoise, NamesWithControlCharactersAreShownEscaped) {
    ScratchDir dir;
    const BitmapPtr photo = calmora_test::Pattern24(20, 20);
    // ESC ] 0 ; ... BEL would retitle the terminal; the rest would be taken
    // as colour changes, a backwards-reading name or C1 CSI.
    const std::string evil = "in\x1b]0;owned\x07\x1b[2J.png";
    calmora_test::WriteImage(photo.get(), FIF_PNG, dir / evil);
    const std::string shownEvil = "in\\x1b]0;owned\\x07\\x1b[2J.png";

    const ToolRun written = RunTool(dir, {"-o", dir / "out.png", dir / evil});
    ASSERT_EQ(written.exitCode, 0) << written.err;
    EXPECT_NE(written.out.find(dir / shownEvil + " -> "), std::string::npos) << written.out;

    const std::string odd =
        "back\\slash \xc2\x9b" "31m rtl\xe2\x80\xae gnp.x bad\xff caf\xc3\xa9.png";
    const ToolRun missing = RunTool(dir, {"-d", dir / "out", dir / odd, dir / evil});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("back\\\\slash \\xc2\\x9b31m rtl\\xe2\\x80\\xae gnp.x"
                               " bad\\xff caf\xc3\xa9.png"),
              std::string::npos)
        << missing.err;
    EXPECT_NE(missing.out.find(dir / shownEvil), std::string::npos) << missing.out;

    const ToolRun format = RunTool(dir, {"--format", "\x1b[31m", dir / evil});
    EXPECT_EQ(format.exitCode, 2);
    EXPECT_NE(format.err.find("'\\x1b[31m'"), std::string::npos) << format.err;
    const ToolRun clash = RunTool(dir, {"-o", dir / evil, dir / evil});
    EXPECT_EQ(clash.exitCode, 1);
    for (const ToolRun* run : {&written, &missing, &format, &clash}) {
        EXPECT_EQ(run->out.find('\x1b'), std::string::npos) << run->out;
        EXPECT_EQ(run->err.find('\x1b'), std::string::npos) << run->err;
        EXPECT_EQ(run->err.find("\xc2\x9b"), std::string::npos);
    }
}

}  // namespace
}  // namespace calmora
