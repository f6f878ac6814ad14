// The recent-files list: its order and length, and what a settings file
// written by hand (or damaged) turns into.
#include <gtest/gtest.h>

#include "recent_files.h"

namespace calmora {
namespace {

QStringList Numbered(int from, int to) {
    QStringList list;
    for (int i = from; i <= to; ++i) list.append(QStringLiteral("/p/%1.jpg").arg(i));
    return list;
}

TEST(RecentFiles, NewestFirstWithoutRepeatsAtMostEight) {
    const struct {
        QStringList before;
        QString added;
        QStringList after;
    } cases[] = {
        {{}, "/a.png", {"/a.png"}},
        {{"/a.png", "/b.png"}, "/b.png", {"/b.png", "/a.png"}},
        {{"/a.png", "/b.png"}, "/a.png", {"/a.png", "/b.png"}},
        {Numbered(1, 8), "/p/9.jpg", QStringList{"/p/9.jpg"} + Numbered(1, 7)},
        {Numbered(1, 8), "/p/5.jpg", QStringList{"/p/5.jpg"} + Numbered(1, 4) + Numbered(6, 8)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WithRecentFile(c.before, c.added), c.after) << c.added.toStdString();
    }
}

TEST(RecentFiles, FileContentsRoundTripAndJunkIsLeftOut) {
    const QStringList list = {QStringLiteral("/home/anna/Foto/città.jpg"),
                              QStringLiteral("/tmp/a b.png")};
    EXPECT_EQ(ParseRecentFiles(FormatRecentFiles(list)), list);
    // A name with a line break cannot be written without becoming two lines.
    EXPECT_EQ(FormatRecentFiles({QStringLiteral("/x\n/etc/passwd"), QStringLiteral("/y.png")}),
              QByteArray("/y.png\n"));

    const struct {
        QByteArray contents;
        QStringList parsed;
    } cases[] = {
        {"", {}},
        {"\n\n", {}},
        {"relative.png\n/ok.png\r\n", {"/ok.png"}},
        {"/a.png\n/a.png\n/b.png", {"/a.png", "/b.png"}},
        {QByteArray("/bad\xff\xfe.png\n/good.png\n"), {"/good.png"}},
        {QByteArray("/nul\0.png\n/g.png", 16), {"/g.png"}},
        {FormatRecentFiles(Numbered(1, 12)), Numbered(1, 8)},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseRecentFiles(c.contents), c.parsed);
}

TEST(RecentFiles, MissingFileTextNamesThePathInEitherLanguage) {
    EXPECT_EQ(MissingRecentFileText(QStringLiteral("/p/a.jpg"), Language::English),
              QStringLiteral("/p/a.jpg cannot be found; it has been removed from the recent files."));
    EXPECT_TRUE(MissingRecentFileText(QStringLiteral("/p/a.jpg"), Language::Italian)
                    .startsWith(QStringLiteral("/p/a.jpg non è stato trovato")));
}

}  // namespace
}  // namespace calmora
