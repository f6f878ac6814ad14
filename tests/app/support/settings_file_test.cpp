// The settings files follow the image saves' rules for what they may
// replace: a FIFO, device node or protected file where "Pref" or a
// remembered folder should be is left alone and the program carries on.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QString>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "app_paths.h"
#include "preferences.h"
#include "remembered_folder.h"
#include "scratch_dir.h"

namespace calmora {
namespace {

namespace fs = std::filesystem;
using calmora_test::ScratchDir;

mode_t KindOf(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 ? (st.st_mode & S_IFMT) : 0;
}

std::string Slurp(const std::string& path) {
    std::string text;
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK);
    char buffer[256];
    for (ssize_t n; fd >= 0 && (n = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, n);
    if (fd >= 0) close(fd);
    return text;
}

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        OverrideSettingsFolder(QString::fromStdString(dir / "settings"));
        OverrideProgramFolder(QString::fromStdString(dir / "program"));
        fs::create_directory(dir / "settings");
        CurrentPreferences() = {Language::Italian, 2};
    }
    void TearDown() override {
        OverrideSettingsFolder({});
        OverrideProgramFolder({});
        CurrentPreferences() = {};
    }
    [[nodiscard]] std::string Setting(const std::string& name) const {
        return dir / ("settings/" + name);
    }
    ScratchDir dir;
};

TEST_F(SettingsFileTest, AFifoInItsPlaceIsNeitherReadNorReplaced) {
    for (const bool throughLink : {false, true}) {
        SCOPED_TRACE(throughLink ? "linked to a FIFO" : "a FIFO");
        const std::string fifo = throughLink ? dir / "fifo" : Setting("Pref");
        ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0) << std::strerror(errno);
        if (throughLink) fs::create_symlink(fifo, Setting("Pref"));
        fs::create_symlink(fifo, Setting(kOpenFolderFile));
        // Both ends held here, so that a fault opening the FIFO could not hang the test.
        const int both = open(fifo.c_str(), O_RDWR | O_NONBLOCK);
        ASSERT_GE(both, 0);

        LoadPreferences();
        EXPECT_EQ(CurrentPreferences().language, Language::English);  // counted as missing
        CurrentPreferences() = {Language::Italian, 2};
        EXPECT_FALSE(SavePreferences());
        EXPECT_FALSE(WriteRememberedFolder(kOpenFolderFile, "/photos"));
        EXPECT_EQ(ReadRememberedFolder(kOpenFolderFile).toStdString(), dir / "program");

        EXPECT_EQ(KindOf(fifo), mode_t{S_IFIFO});
        EXPECT_EQ(KindOf(Setting(kOpenFolderFile)), mode_t{S_IFLNK});
        char byte = 0;
        EXPECT_EQ(read(both, &byte, 1), -1) << "something was written into the FIFO";
        close(both);
        // The other settings are still kept.
        EXPECT_TRUE(WriteRememberedFolder(kSaveFolderFile, "/out"));
        EXPECT_EQ(ReadRememberedFolder(kSaveFolderFile).toStdString(), "/out");

        fs::remove(Setting("Pref"));
        fs::remove(Setting(kOpenFolderFile));
        fs::remove(fifo);
    }
}

TEST_F(SettingsFileTest, ADeviceNodeLinkedAsPrefIsNotReplaced) {
    if (geteuid() != 0) GTEST_SKIP() << "making a device node needs root";
    // A test node with the null device's numbers, in the scratch folder.
    ASSERT_EQ(mknod((dir / "node").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0)
        << std::strerror(errno);
    fs::create_symlink(dir / "node", Setting("Pref"));
    EXPECT_FALSE(SavePreferences());
    EXPECT_EQ(KindOf(dir / "node"), mode_t{S_IFCHR});
    EXPECT_EQ(KindOf(Setting("Pref")), mode_t{S_IFLNK});
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "settings"), {}), 1);
}

TEST_F(SettingsFileTest, WritesThroughLinksAndKeepsProtectedFiles) {
    fs::create_directory(dir / "dotfiles");
    {
        std::FILE* old = std::fopen((dir / "dotfiles/Pref").c_str(), "w");
        ASSERT_TRUE(old);
        std::fputs("\"1\",\"1\"\r\n", old);
        std::fclose(old);
    }
    fs::create_symlink("../dotfiles/Pref", Setting("Pref"));
    ASSERT_TRUE(SavePreferences());
    EXPECT_EQ(KindOf(Setting("Pref")), mode_t{S_IFLNK});
    EXPECT_EQ(Slurp(dir / "dotfiles/Pref"), "\"2\",\"2\"\r\n");

    ASSERT_EQ(chmod((dir / "dotfiles/Pref").c_str(), 0444), 0);
    CurrentPreferences() = {Language::English, 2};
    EXPECT_FALSE(SavePreferences());
    EXPECT_EQ(Slurp(dir / "dotfiles/Pref"), "\"2\",\"2\"\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "dotfiles"), {}), 1);
}

}  // namespace
}  // namespace calmora
