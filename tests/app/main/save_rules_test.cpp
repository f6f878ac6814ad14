// From the name chosen in the save dialog to the format written.
#include <gtest/gtest.h>

#include "save_rules.h"
#include "case_name.h"

using namespace calmora;

namespace {

struct NameCase {
    const char* desc;
    const char* path;
    SaveNameVerdict verdict;
    const char* extension;
    std::optional<SaveFormat> format;
};

CASE_TEST(SaveName, Classifies, NameCase) {
    const SaveNameCheck check = CheckSaveName(QString::fromUtf8(c.path));
    EXPECT_EQ(check.verdict, c.verdict) << c.desc;
    EXPECT_EQ(check.extension, QString::fromUtf8(c.extension)) << c.desc;
    EXPECT_EQ(check.format, c.format) << c.desc;
}

CASE_ROWS(
    Names, SaveName,
        NameCase{"lower-case jpg", "/p/a.jpg", SaveNameVerdict::Writable, "jpg", SaveFormat::Jpeg},
        NameCase{"upper-case JPG compares in lower case", "/p/A.JPG", SaveNameVerdict::Writable, "jpg", SaveFormat::Jpeg},
        NameCase{"jpeg typed by hand", "/p/a.Jpeg", SaveNameVerdict::Writable, "jpeg", SaveFormat::Jpeg},
        NameCase{"png", "/p/a.png", SaveNameVerdict::Writable, "png", SaveFormat::Png},
        NameCase{"tif", "/p/a.TIF", SaveNameVerdict::Writable, "tif", SaveFormat::Tiff},
        NameCase{"tiff typed by hand", "/p/a.tiff", SaveNameVerdict::Writable, "tiff", SaveFormat::Tiff},
        NameCase{"bmp", "/p/a.bmp", SaveNameVerdict::Writable, "bmp", SaveFormat::Bmp},
        NameCase{"a format that cannot be written", "/p/a.gif", SaveNameVerdict::UnknownFormat, "gif", std::nullopt},
        NameCase{"a dot with nothing after it", "/p/a.", SaveNameVerdict::UnknownFormat, "", std::nullopt},
        NameCase{"no dot saves nothing", "/p/photo", SaveNameVerdict::NoExtension, "", std::nullopt},
        NameCase{"two dots are refused", "/p/my.photo.jpg", SaveNameVerdict::InvalidName, "", std::nullopt},
        NameCase{"a leading dot counts as the first", "/p/.photo.png", SaveNameVerdict::InvalidName, "", std::nullopt},
        NameCase{"dots in folders do not count", "/home/a.b/c.d/photo.png", SaveNameVerdict::Writable, "png", SaveFormat::Png},
        NameCase{"a dotted folder and no dot in the name", "/home/a.b/photo", SaveNameVerdict::NoExtension, "", std::nullopt},
        NameCase{"blanks and accents in the name", "/p/foto di prova è.JPG", SaveNameVerdict::Writable, "jpg", SaveFormat::Jpeg});

TEST(SaveFolder, IsEverythingBeforeTheLastSlash) {
    EXPECT_EQ(FolderOfPath(QStringLiteral("/home/me/pics/a.jpg")), QStringLiteral("/home/me/pics"));
    EXPECT_EQ(FolderOfPath(QStringLiteral("/a.jpg")), QStringLiteral("/"));
    EXPECT_EQ(FolderOfPath(QStringLiteral("a.jpg")), QString());
}

TEST(SaveTexts, AreThoseOfTheProgram) {
    const QString path = QStringLiteral("/p/my.photo.jpg");
    EXPECT_EQ(InvalidFileNameText(path), QStringLiteral("/p/my.photo.jpg invalid file name."));
    EXPECT_EQ(JpegQualityCaption(90), QStringLiteral("90 %"));
    EXPECT_EQ(JpegQualityCaption(1), QStringLiteral("1 %"));
    EXPECT_EQ(SaveDialogFilter(),
              QStringLiteral("JPEG File (*.JPG)|*.JPG|PNG File (*.PNG)|*.PNG|TIFF File (*.TIF)|"
                             "*.TIF|Bitmap File (*.BMP)|*.BMP|"));

    // A refusal says which extensions can be written.
    for (Language language : {Language::English, Language::Italian}) {
        const QString unknown = UnknownSaveFormatText(QStringLiteral("/p/a.gif"), language);
        for (const char* ext : {".jpg", ".jpeg", ".png", ".tif", ".tiff", ".bmp"})
            EXPECT_TRUE(unknown.contains(QString::fromLatin1(ext))) << int(language) << ext;
    }
    EXPECT_EQ(SaveFailedText(QStringLiteral("/p/a.png"), QString(), Language::Italian),
              QStringLiteral("Impossibile salvare l'immagine in /p/a.png."));
}

}  // namespace
