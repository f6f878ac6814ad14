#include "preferences.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app_paths.h"
#include "case_name.h"

namespace calmora {
namespace {

struct ParseCase {
    const char* desc;
    QByteArray contents;
    int language;
    int scrollButton;
};

CASE_TEST(ParsePrefs, TwoFieldsOrOne, ParseCase) {
    const Preferences p = ParsePreferences(c.contents);
    EXPECT_EQ(static_cast<int>(p.language), c.language) << c.desc;
    EXPECT_EQ(p.scrollButton, c.scrollButton) << c.desc;
}

CASE_ROWS(
    Files, ParsePrefs,
        ParseCase{"quoted Italian, right button", "\"2\",\"2\"\r\n", 2, 2},
        ParseCase{"unquoted fields", "2,2", 2, 2},
        ParseCase{"out-of-range language", "\"3\",\"1\"\r\n", 1, 1},
        ParseCase{"as written for English, right", "\"1\",\"2\"\r\n", 1, 2},
        ParseCase{"blanks around bare fields", "  2 , 2 \n", 2, 2},
        ParseCase{"fields on separate lines", "\"2\"\r\n\"2\"\r\n", 2, 2},
        ParseCase{"second field missing", "\"2\"", 2, 1},
        ParseCase{"blank inside quotes is not exact", "\" 2\",\"2\"", 1, 2},
        ParseCase{"quoted comma is one field", "\"2,2\"", 1, 1},
        ParseCase{"multi-digit", "\"12\",\"22\"", 1, 1},
        ParseCase{"unterminated quote", "\"2,\"2\"", 1, 1},
        ParseCase{"byte-order mark", "\xEF\xBB\xBF\"2\",\"2\"\r\n", 2, 2},
        ParseCase{"empty file", "", 1, 1},
        ParseCase{"binary", QByteArray("\x00\xff\"2\x00\x01,\x7f", 8), 1, 1});

TEST(FormatPreferences, WritesTheNineBytes) {
    EXPECT_EQ(FormatPreferences({Language::English, 2}), QByteArray("\"1\",\"2\"\r\n"));
    EXPECT_EQ(FormatPreferences({Language::English, 2}).size(), 9);
    EXPECT_EQ(FormatPreferences({Language::Italian, 1}), QByteArray("\"2\",\"1\"\r\n"));
}

class PreferencesFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        OverrideSettingsFolder(dir.path());
        CurrentPreferences() = {Language::Italian, 2};
    }
    void TearDown() override {
        OverrideSettingsFolder({});
        CurrentPreferences() = {};
    }
    void WritePref(const QByteArray& bytes) {
        QFile f(dir.filePath("Pref"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray ReadPref() {
        QFile f(dir.filePath("Pref"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    QTemporaryDir dir;
};

TEST_F(PreferencesFileTest, MissingFileGivesDefaults) {
    LoadPreferences();
    EXPECT_EQ(CurrentPreferences().language, Language::English);
    EXPECT_EQ(CurrentPreferences().scrollButton, 1);
}

TEST_F(PreferencesFileTest, SaveWritesExactBytesAndLoadReadsThemBack) {
    CurrentPreferences() = {Language::English, 2};
    ASSERT_TRUE(SavePreferences());
    EXPECT_EQ(ReadPref(), QByteArray("\"1\",\"2\"\r\n"));
    CurrentPreferences() = {Language::Italian, 1};
    LoadPreferences();
    EXPECT_EQ(CurrentPreferences().language, Language::English);
    EXPECT_EQ(CurrentPreferences().scrollButton, 2);
    // Overwriting leaves no trace of the longer previous contents.
    WritePref("\"2\",\"2\"\r\n and a long tail of junk");
    ASSERT_TRUE(SavePreferences());
    EXPECT_EQ(ReadPref(), QByteArray("\"1\",\"2\"\r\n"));
}

TEST_F(PreferencesFileTest, BadFilesGiveDefaultsWithoutFailing) {
    for (const QByteArray& bad :
         {QByteArray(), QByteArray("garbage"), QByteArray(1 << 20, '\xff')}) {
        CurrentPreferences() = {Language::Italian, 2};
        WritePref(bad);
        LoadPreferences();
        EXPECT_EQ(CurrentPreferences().language, Language::English);
        EXPECT_EQ(CurrentPreferences().scrollButton, 1);
    }
}

TEST_F(PreferencesFileTest, FolderNamedPrefCountsAsMissing) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("Pref"));
    LoadPreferences();
    EXPECT_EQ(CurrentPreferences().language, Language::English);
    EXPECT_FALSE(SavePreferences());  // cannot replace a folder; reported, not crashed
}

TEST_F(PreferencesFileTest, UnmakeableFolderFailsToSave) {
    WritePref("x");  // a file where the folder would have to be
    OverrideSettingsFolder(dir.filePath("Pref/sub"));
    EXPECT_FALSE(SavePreferences());
}

}  // namespace
}  // namespace calmora
