// What a save may replace: links, devices, FIFOs, sockets, write-protected
// files, links other users left; and small files replaced whole. Full disks
// have their own file (save_full_disk_test.cpp).
#include "imagefiles/image_save.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "imagefiles/contents_save.h"
#include "imagefiles/pending_file.h"
#include "imagefiles/save_target.h"
#include "test_images.h"

namespace calmora {
namespace {

namespace fs = std::filesystem;
using calmora_test::ReadFile;
using calmora_test::ScratchDir;
using calmora_test::WriteFile;

const std::vector<uint8_t> kOld = {'o', 'l', 'd'};

bool IsRoot() { return geteuid() == 0; }

// The special files a save must never replace, made in the scratch folder.
struct Special {
    const char* name;
    mode_t kind;
};

bool MakeSpecial(const ScratchDir& dir, const Special& s, int* keep) {
    const std::string path = dir / s.name;
    if (s.kind == S_IFIFO) return mkfifo(path.c_str(), 0666) == 0;
    if (s.kind == S_IFCHR) {
        // A test node with the numbers of the null device: harmless if the
        // fault came back and wrote into it.
        return mknod(path.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    }
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (fd < 0 || path.size() >= sizeof address.sun_path) return false;
    std::strcpy(address.sun_path, path.c_str());
    *keep = fd;
    return bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

TEST(SaveTarget, LinkTargetIsReplacedInItsOwnFolder) {
    ScratchDir dir;
    fs::create_directory(dir / "real");
    fs::create_directory(dir / "links");
    const BitmapPtr first = calmora_test::Pattern24(8, 8);
    ASSERT_TRUE(SaveImageFile(first.get(), dir / "real/x.png", SaveFormat::Png, {}).ok);
    ASSERT_EQ(chmod((dir / "real/x.png").c_str(), 0604), 0);
    if (IsRoot()) {
        ASSERT_EQ(chown((dir / "real/x.png").c_str(), 4321, 8765), 0);
    }
    fs::create_symlink("../real/x.png", dir / "links/hop");
    fs::create_symlink("hop", dir / "links/x.png");  // two links deep

    const BitmapPtr second = calmora_test::Pattern24(9, 5);
    const SaveResult saved = SaveImageFile(second.get(), dir / "links/x.png", SaveFormat::Png, {});
    ASSERT_TRUE(saved.ok) << saved.reason;
    EXPECT_EQ(fs::read_symlink(dir / "links/x.png"), "hop");
    EXPECT_EQ(fs::read_symlink(dir / "links/hop"), "../real/x.png");
    EXPECT_EQ(FreeImage_GetWidth(LoadImageFile(dir / "real/x.png").image.get()), 9u);
    struct stat st {};
    ASSERT_EQ(lstat((dir / "real/x.png").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0604u);
    if (IsRoot()) {
        EXPECT_EQ(st.st_uid, 4321u);
        EXPECT_EQ(st.st_gid, 8765u);
    }
    // No temporary file left in either folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "real"), {}), 1);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "links"), {}), 2);
}

TEST(SaveTarget, DevicesFifosAndSocketsAreNeverReplacedNorOpened) {
    const BitmapPtr image = calmora_test::Pattern24(8, 8);
    for (const Special& s : {Special{"fifo.png", S_IFIFO}, Special{"device.png", S_IFCHR},
                             Special{"socket.png", S_IFSOCK}}) {
        for (const bool throughLink : {false, true}) {
            SCOPED_TRACE(std::string(s.name) + (throughLink ? " through a link" : ""));
            ScratchDir dir;
            if (s.kind == S_IFCHR && !IsRoot()) {
                std::cout << "[ skipped  ] device node: needs root to make one\n";
                continue;
            }
            int socketFd = -1;
            ASSERT_TRUE(MakeSpecial(dir, s, &socketFd)) << std::strerror(errno);
            // A reader keeps a FIFO from blocking a writer, should the save open it.
            const int reader =
                s.kind == S_IFIFO ? open((dir / s.name).c_str(), O_RDONLY | O_NONBLOCK) : -1;
            std::string name = dir / s.name;
            if (throughLink) {
                fs::create_symlink(s.name, dir / "link.png");
                name = dir / "link.png";
            }
            const std::vector<std::string> before = dir.Entries();

            for (const SaveFormat format : {SaveFormat::Png, SaveFormat::Bmp}) {
                const SaveResult saved = SaveImageFile(image.get(), name, format, {});
                EXPECT_FALSE(saved.ok);
                EXPECT_EQ(saved.error, SaveError::NotRegularFile) << saved.reason;
                EXPECT_NE(saved.reason.find("not a regular file"), std::string::npos);
            }
            const SaveResult text = SaveFileContents(name, "settings\n");
            EXPECT_EQ(text.error, SaveError::NotRegularFile) << text.reason;

            EXPECT_EQ(calmora_test::FileKind(dir / s.name), s.kind);
            if (throughLink) {
                EXPECT_EQ(calmora_test::FileKind(dir / "link.png"), mode_t{S_IFLNK});
            }
            EXPECT_EQ(dir.Entries(), before);
            if (reader >= 0) {
                char byte = 0;
                EXPECT_LE(read(reader, &byte, 1), 0) << "the save wrote into the FIFO";
                close(reader);
            }
            if (socketFd >= 0) close(socketFd);
        }
    }
}

TEST(SaveTarget, WriteProtectedFilesKeepTheirContents) {
    ScratchDir dir;
    const BitmapPtr image = calmora_test::Pattern24(8, 8);
    // No write bit for anyone: protected even from root.
    WriteFile(dir / "locked.png", kOld);
    ASSERT_EQ(chmod((dir / "locked.png").c_str(), 0444), 0);
    fs::create_symlink("locked.png", dir / "link.png");
    for (const char* name : {"locked.png", "link.png"}) {
        const SaveResult saved = SaveImageFile(image.get(), dir / name, SaveFormat::Png, {});
        EXPECT_EQ(saved.error, SaveError::WriteProtected) << name << ": " << saved.reason;
        EXPECT_NE(saved.reason.find("write-protected"), std::string::npos);
    }
    EXPECT_EQ(SaveFileContents(dir / "locked.png", "x").error, SaveError::WriteProtected);
    EXPECT_EQ(ReadFile(dir / "locked.png"), kOld);

    // Writable by the group but not by its owner: the owner may not write
    // it; root, who may, replaces it.
    WriteFile(dir / "group.png", kOld);
    ASSERT_EQ(chmod((dir / "group.png").c_str(), 0464), 0);
    const SaveResult group = SaveImageFile(image.get(), dir / "group.png", SaveFormat::Png, {});
    if (IsRoot()) {
        EXPECT_TRUE(group.ok) << group.reason;
    } else {
        EXPECT_EQ(group.error, SaveError::WriteProtected) << group.reason;
        EXPECT_EQ(ReadFile(dir / "group.png"), kOld);
    }
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"group.png", "link.png", "locked.png"}));
}

TEST(SaveTarget, DanglingLinksMakeTheirFileOnlyInAnExistingFolder) {
    ScratchDir dir;
    const BitmapPtr image = calmora_test::Pattern24(8, 8);
    fs::create_directory(dir / "there");
    fs::create_symlink("there/new.png", dir / "ahead.png");
    const SaveResult made = SaveImageFile(image.get(), dir / "ahead.png", SaveFormat::Png, {});
    ASSERT_TRUE(made.ok) << made.reason;
    EXPECT_EQ(calmora_test::FileKind(dir / "ahead.png"), mode_t{S_IFLNK});
    EXPECT_EQ(calmora_test::FileKind(dir / "there/new.png"), mode_t{S_IFREG});

    fs::create_symlink("nowhere/new.png", dir / "lost.png");
    const SaveResult lost = SaveImageFile(image.get(), dir / "lost.png", SaveFormat::Png, {});
    EXPECT_EQ(lost.error, SaveError::BrokenLink) << lost.reason;
    WriteFile(dir / "plain", kOld);
    fs::create_symlink("plain/new.png", dir / "under-file.png");
    EXPECT_EQ(SaveImageFile(image.get(), dir / "under-file.png", SaveFormat::Png, {}).error,
              SaveError::BrokenLink);
    fs::create_symlink("loop-b", dir / "loop-a");
    fs::create_symlink("loop-a", dir / "loop-b");
    const SaveResult loop = SaveImageFile(image.get(), dir / "loop-a", SaveFormat::Png, {});
    EXPECT_EQ(loop.error, SaveError::BrokenLink) << loop.reason;
    EXPECT_EQ(loop.systemError, ELOOP);
    fs::create_symlink("there", dir / "folder.png");
    EXPECT_EQ(SaveImageFile(image.get(), dir / "folder.png", SaveFormat::Png, {}).error,
              SaveError::IsFolder);

    EXPECT_FALSE(fs::exists(dir / "nowhere"));
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"ahead.png", "folder.png", "loop-a",
                                                       "loop-b", "lost.png", "plain", "there",
                                                       "under-file.png"}));
    EXPECT_EQ(ReadFile(dir / "plain"), kOld);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "there"), {}), 1);
}

TEST(SaveTarget, LinksOtherUsersLeftInASharedFolderAreNotFollowed) {
    if (!IsRoot()) GTEST_SKIP() << "needs root to make a link owned by another user";
    ScratchDir dir;
    const std::string shared = dir / "shared";
    fs::create_directory(shared);
    ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
    WriteFile(dir / "precious", kOld);
    fs::create_symlink(dir / "precious", shared + "/out.png");
    ASSERT_EQ(lchown((shared + "/out.png").c_str(), 4321, 4321), 0);
    const BitmapPtr image = calmora_test::Pattern24(8, 8);
    const SaveResult saved = SaveImageFile(image.get(), shared + "/out.png", SaveFormat::Png, {});
    EXPECT_EQ(saved.error, SaveError::UntrustedLink) << saved.reason;
    EXPECT_EQ(ReadFile(dir / "precious"), kOld);
    EXPECT_EQ(calmora_test::FileKind(shared + "/out.png"), mode_t{S_IFLNK});

    // The same link made by the saving user is followed.
    ASSERT_EQ(lchown((shared + "/out.png").c_str(), 0, 0), 0);
    EXPECT_TRUE(SaveImageFile(image.get(), shared + "/out.png", SaveFormat::Png, {}).ok);
    EXPECT_NE(ReadFile(dir / "precious"), kOld);
}

// --- Small files -------------------------------------------------------------

TEST(SaveTarget, ContentsReplaceAFileWholeAndKeepItsMode) {
    ScratchDir dir;
    const mode_t oldMask = umask(027);
    const SaveResult first = SaveFileContents(dir / "Pref", "a long first version\n");
    umask(oldMask);
    ASSERT_TRUE(first.ok) << first.reason;
    struct stat made {};
    ASSERT_EQ(stat((dir / "Pref").c_str(), &made), 0);
    EXPECT_EQ(made.st_mode & 07777, 0640u);  // a new file follows the umask
    ASSERT_EQ(chmod((dir / "Pref").c_str(), 0600), 0);
    ASSERT_TRUE(SaveFileContents(dir / "Pref", "short").ok);
    EXPECT_EQ(ReadFile(dir / "Pref"), (std::vector<uint8_t>{'s', 'h', 'o', 'r', 't'}));
    struct stat st {};
    ASSERT_EQ(stat((dir / "Pref").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(SaveFileContents(dir.Path(), "x").error, SaveError::IsFolder);
    EXPECT_EQ(SaveFileContents("", "x").error, SaveError::NoFileName);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"Pref"});
}

TEST(SaveTarget, NewErrorsAreDescribedInEnglish) {
    EXPECT_EQ(DescribeSaveError(SaveError::BrokenLink, ELOOP),
              "broken link: Too many levels of symbolic links");
    for (const SaveError error : {SaveError::NotRegularFile, SaveError::WriteProtected,
                                  SaveError::BrokenLink, SaveError::UntrustedLink})
        EXPECT_NE(DescribeSaveError(error, 0), "unknown error");
}

}  // namespace
}  // namespace calmora
