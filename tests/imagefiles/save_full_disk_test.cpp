// Saves that meet a full disk, in every format: through a write call that
// fails like a full disk after a budget of bytes (and a name swapped for a
// FIFO during the save), and, as root, on a real 64 kB tmpfs. The old file
// stays and the reason names the full disk.
#include "imagefiles/image_save.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <vector>

#include "imagefiles/contents_save.h"
#include "imagefiles/pending_file.h"
#include "test_images.h"

namespace calmora {
namespace {

namespace fs = std::filesystem;
using namespace calmora_test;

// What the file a failed save must leave alone holds.
const std::vector<uint8_t> kOld = {'o', 'l', 'd'};

// A write call that lets `budget` bytes through, then fails as a full disk
// does; `during` runs at the first write, while the save is under way.
size_t g_budget = 0;
std::function<void()> g_during;

ssize_t FullAfterBudget(int fd, const void* data, size_t size) {
    if (g_during) {
        auto during = std::move(g_during);
        g_during = nullptr;
        during();
    }
    if (g_budget == 0) {
        errno = ENOSPC;
        return -1;
    }
    const size_t n = std::min(size, g_budget);
    g_budget -= n;
    return ::write(fd, data, n);
}

class WriteSeam : public ::testing::Test {
protected:
    void SetUp() override { SetSaveWriteCall(FullAfterBudget); }
    void TearDown() override {
        SetSaveWriteCall(nullptr);
        g_during = nullptr;
    }
};

struct FormatCase {
    const char* name;
    SaveFormat format;
    bool lzw;
};
constexpr FormatCase kFormats[] = {{"keep.jpg", SaveFormat::Jpeg, false},
                                   {"keep.png", SaveFormat::Png, false},
                                   {"keep.tif", SaveFormat::Tiff, false},
                                   {"lzw.tif", SaveFormat::Tiff, true},
                                   {"keep.bmp", SaveFormat::Bmp, false}};

// Size of the whole file the save writes, with no failure on the way.
size_t SavedSize(FIBITMAP* image, const FormatCase& c) {
    ScratchDir elsewhere;
    g_budget = SIZE_MAX;
    SaveOptions options;
    options.tiffLzw = c.lzw;
    if (!SaveImageFile(image, elsewhere / c.name, c.format, options).ok) return 0;
    return static_cast<size_t>(fs::file_size(elsewhere / c.name));
}

TEST_F(WriteSeam, AFullDiskIsNamedInEveryFormatAndTheOldFileStays) {
    const BitmapPtr image = IncompressibleImage(300, 200);
    for (const FormatCase& c : kFormats) {
        const size_t size = SavedSize(image.get(), c);
        ASSERT_GT(size, 20000u) << c.name;
        // At once, at the start, half-way, and on the last bytes.
        for (const size_t budget : {size_t{0}, size_t{1000}, size / 2, size - 10}) {
            SCOPED_TRACE(std::string(c.name) + " after " + std::to_string(budget) + " bytes");
            ScratchDir dir;
            WriteFile(dir / c.name, kOld);
            g_budget = budget;
            SaveOptions options;
            options.tiffLzw = c.lzw;
            const SaveResult saved = SaveImageFile(image.get(), dir / c.name, c.format, options);
            EXPECT_FALSE(saved.ok);
            EXPECT_EQ(saved.error, SaveError::WriteFailed);
            EXPECT_EQ(saved.systemError, ENOSPC) << saved.reason;
            EXPECT_EQ(saved.reason, "writing failed: No space left on device");
            EXPECT_EQ(ReadFile(dir / c.name), kOld);
            EXPECT_EQ(dir.Entries(), std::vector<std::string>{c.name});
        }
    }
    ScratchDir dir;
    g_budget = 3;
    EXPECT_EQ(SaveFileContents(dir / "Pref", "\"1\",\"2\"\r\n").systemError, ENOSPC);
    EXPECT_TRUE(dir.Entries().empty());
}

TEST_F(WriteSeam, ANameThatBecomesAFifoDuringTheSaveIsLeftAlone) {
    const BitmapPtr image = calmora_test::Pattern24(40, 30);
    for (const bool existed : {true, false}) {
        SCOPED_TRACE(existed ? "replacing a file" : "making a new file");
        ScratchDir dir;
        const std::string target = dir / "out.bmp";
        if (existed) WriteFile(target, kOld);
        g_budget = SIZE_MAX;
        g_during = [&target] {
            unlink(target.c_str());
            mkfifo(target.c_str(), 0666);
        };
        const SaveResult saved = SaveImageFile(image.get(), target, SaveFormat::Bmp, {});
        EXPECT_EQ(saved.error, SaveError::NotRegularFile) << saved.reason;
        EXPECT_EQ(calmora_test::FileKind(target), mode_t{S_IFIFO});
        EXPECT_EQ(dir.Entries(), std::vector<std::string>{"out.bmp"});
    }
}

// A real full file system: a 64 kB tmpfs mounted in the scratch folder, as
// root only, and unmounted again.
class SmallFileSystem {
public:
    explicit SmallFileSystem(const std::string& at) : at_(at) {
        fs::create_directory(at_);
        mounted_ = mount("tmpfs", at_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k") == 0;
    }
    ~SmallFileSystem() {
        if (mounted_ && umount(at_.c_str()) != 0) umount2(at_.c_str(), MNT_DETACH);
    }
    [[nodiscard]] bool Mounted() const { return mounted_; }

private:
    std::string at_;
    bool mounted_ = false;
};

TEST(SaveTarget, AFullTmpfsSaysNoSpaceLeftInEveryFormat) {
    if (geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs needs root; the write seam covers it";
    ScratchDir dir;
    const SmallFileSystem small(dir / "small");
    if (!small.Mounted()) GTEST_SKIP() << "tmpfs mount refused: " << std::strerror(errno);
    const BitmapPtr image = IncompressibleImage(300, 200);  // 180 kB of pixels
    for (const FormatCase& c : kFormats) {
        SCOPED_TRACE(c.name);
        const std::string target = dir / "small" + "/" + c.name;
        WriteFile(target, kOld);
        SaveOptions options;
        options.tiffLzw = c.lzw;
        options.jpegQuality = 100;
        const SaveResult saved = SaveImageFile(image.get(), target, c.format, options);
        EXPECT_EQ(saved.error, SaveError::WriteFailed);
        EXPECT_EQ(saved.systemError, ENOSPC) << saved.reason;
        EXPECT_EQ(ReadFile(target), kOld);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir / "small"), {}), 1);
        fs::remove(target);
    }
}

}  // namespace
}  // namespace calmora
