#include "app_paths.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "preferences.h"
#include "remembered_folder.h"

namespace calmora {
namespace {

void Touch(const QString& path, const QByteArray& bytes = "x") {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(bytes);
}

QByteArray Slurp(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

class PathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        savedXdg = qgetenv("XDG_CONFIG_HOME");
        savedHome = qgetenv("HOME");
    }
    void TearDown() override {
        OverrideProgramFolder({});
        OverrideSettingsFolder({});
        OverrideHelpFolder({});
        qputenv("XDG_CONFIG_HOME", savedXdg);
        qputenv("HOME", savedHome);
        CurrentPreferences() = {};
    }
    QTemporaryDir dir;
    QByteArray savedXdg, savedHome;
};

TEST_F(PathsTest, WritableProgramFolderHoldsTheSettings) {
    OverrideProgramFolder(dir.path());
    EXPECT_EQ(SettingsFolder(), dir.path());
    EXPECT_EQ(SettingsFile("Pref"), dir.path() + "/Pref");
}

TEST_F(PathsTest, UnwritableProgramFolderFallsBackToXdgOnFirstWrite) {
    // A folder below a plain file can never be written, whoever runs the test.
    Touch(dir.filePath("plain"));
    OverrideProgramFolder(dir.filePath("plain/bin"));
    const QString xdg = dir.filePath("xdg");
    qputenv("XDG_CONFIG_HOME", xdg.toUtf8());
    EXPECT_EQ(SettingsFolder(), xdg + "/calmora");

    LoadPreferences();  // reading makes nothing
    EXPECT_FALSE(QFileInfo::exists(xdg));

    CurrentPreferences() = {Language::Italian, 1};
    ASSERT_TRUE(SavePreferences());
    EXPECT_EQ(Slurp(xdg + "/calmora/Pref"), QByteArray("\"2\",\"1\"\r\n"));
}

TEST_F(PathsTest, ReadOnlyProgramFolderFallsBack) {
    if (geteuid() == 0) GTEST_SKIP() << "root may write into read-only folders";
    const QString program = dir.filePath("bin");
    ASSERT_TRUE(QDir().mkpath(program));
    QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
    OverrideProgramFolder(program);
    qputenv("XDG_CONFIG_HOME", dir.filePath("xdg").toUtf8());
    EXPECT_EQ(SettingsFolder(), dir.filePath("xdg/calmora"));
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(PathsTest, WithoutXdgTheHomeConfigFolderIsUsed) {
    OverrideProgramFolder(dir.filePath("missing/bin"));
    Touch(dir.filePath("missing"));
    qputenv("HOME", dir.path().toUtf8());
    for (const QByteArray& xdg : {QByteArray(), QByteArray("relative/path")}) {
        qputenv("XDG_CONFIG_HOME", xdg);
        EXPECT_EQ(SettingsFolder(), dir.path() + "/.config/calmora") << xdg.constData();
    }
}

TEST_F(PathsTest, HelpFolderBesideTheProgramElseInstalledData) {
    OverrideProgramFolder(dir.filePath("bin"));
    EXPECT_EQ(HelpFolder(), dir.filePath("share/calmora/CmHelp"));
    ASSERT_TRUE(QDir().mkpath(dir.filePath("bin/CmHelp")));
    EXPECT_EQ(HelpFolder(), dir.filePath("bin/CmHelp"));
}

TEST_F(PathsTest, FileExistsOnlyForVisibleRegularFiles) {
    Touch(dir.filePath("Pref"));
    Touch(dir.filePath(".hidden"));
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    EXPECT_TRUE(FileExists(dir.filePath("Pref")));
    EXPECT_FALSE(FileExists(dir.filePath(".hidden")));
    EXPECT_FALSE(FileExists(dir.filePath("folder")));
    EXPECT_FALSE(FileExists(dir.filePath("absent")));
    EXPECT_FALSE(FileExists(QString()));
}

// What `cmake --install build --prefix P` lays out, whatever prefix the build
// was configured with: P/bin beside P/share/calmora/CmHelp.
QString MakeInstalledLayout(const QTemporaryDir& dir) {
    const QString prefix = dir.filePath("prefix");
    EXPECT_TRUE(QDir().mkpath(prefix + "/bin"));
    EXPECT_TRUE(QDir().mkpath(prefix + "/share/calmora/CmHelp"));
    return prefix + "/bin";
}

TEST_F(PathsTest, InstalledCopyUsesUserFolderEvenIfItsOwnIsWritable) {
    const QString bin = MakeInstalledLayout(dir);
    ASSERT_TRUE(QFileInfo(bin).isWritable());
    OverrideProgramFolder(bin);
    const QString xdg = dir.filePath("xdg");
    qputenv("XDG_CONFIG_HOME", xdg.toUtf8());
    EXPECT_TRUE(IsInstalledProgramFolder(bin));
    EXPECT_EQ(SettingsFolder(), xdg + "/calmora");
    EXPECT_EQ(HelpFolder(), dir.filePath("prefix/share/calmora/CmHelp"));

    CurrentPreferences() = {Language::Italian, 1};
    ASSERT_TRUE(SavePreferences());
    EXPECT_TRUE(QFileInfo::exists(xdg + "/calmora/Pref"));
    EXPECT_EQ(QDir(bin).entryList(QDir::Files | QDir::Hidden), QStringList());
}

TEST_F(PathsTest, ABuildTreeOrPortableCopyIsNotInstalled) {
    // The build tree: help pages beside the program, no installed data folder.
    ASSERT_TRUE(QDir().mkpath(dir.filePath("build/bin/CmHelp")));
    EXPECT_FALSE(IsInstalledProgramFolder(dir.filePath("build/bin")));
    // A share folder of another program, or calmora's without its help pages.
    ASSERT_TRUE(QDir().mkpath(dir.filePath("other/bin")));
    ASSERT_TRUE(QDir().mkpath(dir.filePath("other/share/calmora")));
    EXPECT_FALSE(IsInstalledProgramFolder(dir.filePath("other/bin")));
    EXPECT_FALSE(IsInstalledProgramFolder(dir.filePath("missing/bin")));
    OverrideProgramFolder(dir.filePath("build/bin"));
    EXPECT_EQ(SettingsFolder(), dir.filePath("build/bin"));
    EXPECT_EQ(FirstDialogFolder(), dir.filePath("build/bin"));
}

TEST_F(PathsTest, ALinkToAnInstalledCopyIsInstalled) {
    const QString bin = MakeInstalledLayout(dir);
    ASSERT_TRUE(QFile::link(bin, dir.filePath("linked-bin")));
    EXPECT_TRUE(IsInstalledProgramFolder(dir.filePath("linked-bin")));
}

TEST_F(PathsTest, SystemProgramFoldersAreInstalled) {
    for (const char* folder : {"/usr/bin", "/usr/local/bin"}) {
        if (!QFileInfo(QString::fromLatin1(folder)).isDir()) continue;
        EXPECT_TRUE(IsInstalledProgramFolder(QString::fromLatin1(folder))) << folder;
    }
    EXPECT_FALSE(IsInstalledProgramFolder(QDir::tempPath()));
}

class FirstDialogFolderTest : public PathsTest {
protected:
    void SetUp() override {
        PathsTest::SetUp();
        home = dir.filePath("home");
        ASSERT_TRUE(QDir().mkpath(home + "/.config"));
        qputenv("HOME", home.toUtf8());
        qputenv("XDG_CONFIG_HOME", (home + "/.config").toUtf8());
        OverrideSettingsFolder(dir.filePath("settings"));
    }
    void NamePicturesFolder(const QByteArray& relative) {
        QFile dirs(home + "/.config/user-dirs.dirs");
        ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
        dirs.write("XDG_PICTURES_DIR=\"$HOME/" + relative + "\"\n");
    }
    QString home;
};

TEST_F(FirstDialogFolderTest, InstalledCopyPicturesThenRemembered) {
    OverrideProgramFolder(MakeInstalledLayout(dir));
    NamePicturesFolder("Immagini");
    ASSERT_TRUE(QDir().mkpath(home + "/Immagini"));
    EXPECT_EQ(FirstDialogFolder(), home + "/Immagini");
    EXPECT_EQ(ReadRememberedFolder(kOpenFolderFile), home + "/Immagini");
    EXPECT_EQ(ReadRememberedFolder(kSaveFolderFile), home + "/Immagini");

    ASSERT_TRUE(WriteRememberedFolder(kOpenFolderFile, "/mnt/photos"));
    EXPECT_EQ(ReadRememberedFolder(kOpenFolderFile), "/mnt/photos");
    EXPECT_EQ(ReadRememberedFolder(kSaveFolderFile), home + "/Immagini");

    // So does a copy in a folder this user may not write (root may write anywhere).
    if (geteuid() == 0) return;
    const QString program = dir.filePath("readonly");
    ASSERT_TRUE(QDir().mkpath(program));
    QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
    OverrideProgramFolder(program);
    EXPECT_EQ(FirstDialogFolder(), home + "/Immagini");
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(FirstDialogFolderTest, NoPicturesFolderStartsAtHome) {
    OverrideProgramFolder(MakeInstalledLayout(dir));
    NamePicturesFolder("Pictures");  // named but never made
    EXPECT_EQ(FirstDialogFolder(), home);
}

class RememberedFolderTest : public PathsTest {
protected:
    void SetUp() override {
        PathsTest::SetUp();
        // A build's own folder: dialogs start there until one is remembered.
        ASSERT_TRUE(QDir().mkpath(dir.filePath("program")));
        OverrideProgramFolder(dir.filePath("program"));
        OverrideSettingsFolder(dir.filePath("settings"));
    }
    QString FilePath() const { return dir.filePath(QStringLiteral("settings/") + kOpenFolderFile); }
};

TEST_F(RememberedFolderTest, RoundTripsSpacesQuotesAndNonAscii) {
    for (const QString& folder :
         {QStringLiteral("/home/anna/My Photos/Università 2007 ☀"),
          QStringLiteral("/srv/\"quoted\", with comma"), QStringLiteral("/")}) {
        ASSERT_TRUE(WriteRememberedFolder(kOpenFolderFile, folder));
        EXPECT_EQ(Slurp(FilePath()), '"' + folder.toUtf8() + "\"\r\n");
        EXPECT_EQ(ReadRememberedFolder(kOpenFolderFile), folder);
    }
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("settings/") + kSaveFolderFile)));
}

TEST_F(RememberedFolderTest, MissingOrBadFileGivesTheProgramFolder) {
    EXPECT_EQ(ReadRememberedFolder(kOpenFolderFile), dir.filePath("program"));
    ASSERT_TRUE(QDir().mkpath(dir.filePath("settings")));
    for (const QByteArray& bad :
         {QByteArray(), QByteArray("\"\"\r\n"), QByteArray("\"/a\x01z\"\r\n"),
          QByteArray("\"/bad\xff\xfe utf8\"\r\n"), QByteArray(200000, '\0')}) {
        Touch(FilePath(), bad);
        EXPECT_EQ(ReadRememberedFolder(kOpenFolderFile), dir.filePath("program"));
    }
}

TEST_F(RememberedFolderTest, ReadsBareAndHandWrittenLines) {
    ASSERT_TRUE(QDir().mkpath(dir.filePath("settings")));
    Touch(FilePath(), "/mnt/photos\n");
    EXPECT_EQ(ReadRememberedFolder(kOpenFolderFile), "/mnt/photos");
    Touch(FilePath(), "\"/mnt/first\"\r\n\"/mnt/second\"\r\n");
    EXPECT_EQ(ReadRememberedFolder(kOpenFolderFile), "/mnt/first");
}

TEST_F(RememberedFolderTest, UnstorableFolderLeavesThePreviousOne) {
    ASSERT_TRUE(WriteRememberedFolder(kOpenFolderFile, "/good"));
    EXPECT_FALSE(WriteRememberedFolder(kOpenFolderFile, "/two\nlines"));
    EXPECT_FALSE(WriteRememberedFolder(kOpenFolderFile, QString()));
    EXPECT_EQ(ReadRememberedFolder(kOpenFolderFile), "/good");
}

}  // namespace
}  // namespace calmora
