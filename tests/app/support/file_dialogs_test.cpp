#include "file_dialogs.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "seams_recorder.h"

namespace calmora {
namespace {

const QString kOpenFilter = QStringLiteral(
    "Image Files |*.JPG;*.JPEG;*.BMP;*.PNG;*.TIF;*.TIFF;*.GIF|"
    "JPEG Files (*.JPG;*.JPEG)|*.JPG;*.JPEG|Bitmap Files (*.BMP)|*.BMP|"
    "PNG Files (*.PNG)|*.PNG|TIF Files (*.TIF;*.TIFF)|*.TIF;*.TIFF|GIF Files (*.GIF)|*.GIF|");
const QString kSaveFilter = QStringLiteral(
    "JPEG File (*.JPG)|*.JPG|PNG File (*.PNG)|*.PNG|TIFF File (*.TIF)|*.TIF|"
    "Bitmap File (*.BMP)|*.BMP|");

TEST(ConvertFilter, PairsDescriptionsWithPatterns) {
    const auto entries = ConvertFilter(kOpenFilter);
    ASSERT_EQ(entries.size(), 6u);
    EXPECT_EQ(entries[0].description, "Image Files ");
    EXPECT_EQ(entries[0].pattern, "*.JPG;*.JPEG;*.BMP;*.PNG;*.TIF;*.TIFF;*.GIF");
    EXPECT_EQ(entries[1].description, "JPEG Files (*.JPG;*.JPEG)");
    EXPECT_EQ(entries[1].pattern, "*.JPG;*.JPEG");
    EXPECT_EQ(entries[5].pattern, "*.GIF");
}

TEST(ConvertFilter, ColonSplitsLikeABar) {
    const auto entries = ConvertFilter("Pictures: all|*.JPG|PNG|*.PNG|");
    ASSERT_EQ(entries.size(), 2u);  // the last pattern is left without a partner
    EXPECT_EQ(entries[0].description, "Pictures");
    EXPECT_EQ(entries[0].pattern, " all");
    EXPECT_EQ(entries[1].description, "*.JPG");
    EXPECT_EQ(entries[1].pattern, "PNG");
}

TEST(ConvertFilter, EmptyPartEndsTheList) {
    EXPECT_EQ(ConvertFilter("A|*.a||B|*.b|").size(), 1u);
    EXPECT_TRUE(ConvertFilter("").empty());
    EXPECT_TRUE(ConvertFilter("|*.a|").empty());
}

TEST(QtNameFilter, ListsBothCasesWithBlanks) {
    EXPECT_EQ(QtNameFilter({"JPEG Files (*.JPG;*.JPEG)", "*.JPG;*.JPEG"}),
              "JPEG Files (*.JPG;*.JPEG) (*.JPG *.jpg *.JPEG *.jpeg)");
    EXPECT_EQ(QtNameFilter({"Mixed", "*.Tif"}), "Mixed (*.Tif *.tif *.TIF)");
}

TEST(DialogFlags, CombineOptionsAndDropHookAndTemplate) {
    EXPECT_EQ(OpenDialogFlags(false, false, false, false, 0x60), 0);
    EXPECT_EQ(OpenDialogFlags(true, false, false, true, 0), 0x1004);
    EXPECT_EQ(OpenDialogFlags(false, true, true, false, 0x8), 0x209);
    EXPECT_EQ(SaveDialogFlags(true, 0x60), 0x6);
    EXPECT_EQ(SaveDialogFlags(false, 0x21), 0x5);
}

class GCommonDialogTest : public ::testing::Test {
protected:
    // The open dialog's arguments, kept as a caller keeps them: each test sets
    // what it starts from and reads what comes back.
    bool Open() {
        return dialog.VBGetOpenFileName(fileName, title, true, false, readOnly, true, filter,
                                        index, "/photos", QString(), "JPG", nullptr, flags);
    }
    QString fileName, filter = kOpenFilter;
    int32_t index = 1, flags = 0;
    bool readOnly = false;
    testing::SeamsRecorder seams;
    GCommonDialog dialog;
    QString title = "old title";
};

TEST_F(GCommonDialogTest, OpenReturnsTheChosenEntry) {
    seams.nextFileResult = {true, "/photos/summer 2007/Lago è.JPG", 1};
    flags = 0x60;
    ASSERT_TRUE(Open());
    EXPECT_EQ(fileName, "/photos/summer 2007/Lago è.JPG");
    EXPECT_EQ(title, "Lago è.JPG");
    EXPECT_EQ(filter, "*.JPG;*.JPEG");
    EXPECT_EQ(index, 2);
    EXPECT_EQ(flags, 0x1004);
    EXPECT_FALSE(readOnly);

    ASSERT_EQ(seams.fileRequests.size(), 1);
    const FileDialogRequest& r = seams.fileRequests[0];
    EXPECT_FALSE(r.save);
    EXPECT_TRUE(r.fileMustExist);
    EXPECT_FALSE(r.multiSelect);
    EXPECT_EQ(r.initialFolder, "/photos");
    EXPECT_EQ(r.defaultSuffix, "JPG");
    EXPECT_EQ(r.filterIndex, 0);
    ASSERT_EQ(r.filters.size(), 6);
    EXPECT_EQ(r.filters[4], "TIF Files (*.TIF;*.TIFF) (*.TIF *.tif *.TIFF *.tiff)");
}

TEST_F(GCommonDialogTest, CancelEmptiesTheArguments) {
    fileName = "/photos/previous.jpg";
    index = 2;
    flags = 0x1000;
    EXPECT_FALSE(Open());
    EXPECT_EQ(fileName, "");
    EXPECT_EQ(title, "");
    EXPECT_EQ(filter, "");
    EXPECT_EQ(flags, 0);
    EXPECT_EQ(index, -1);
    EXPECT_EQ(seams.fileRequests[0].filterIndex, 1);

    QString saveName = "*.JPG", saveFilter = kSaveFilter;
    int32_t saveIndex = 1, saveFlags = 0;
    EXPECT_FALSE(dialog.VBGetSaveFileName(saveName, title, true, saveFilter, saveIndex, "/out",
                                          QString(), "JPG", nullptr, saveFlags));
    EXPECT_EQ(saveName, "");
    EXPECT_EQ(saveIndex, 0);
    EXPECT_EQ(saveFlags, 0);
}

TEST_F(GCommonDialogTest, AcceptedWithoutPathIsACancel) {
    seams.nextFileResult = {true, QString(), 0};
    fileName = "x";
    EXPECT_FALSE(Open());
    EXPECT_EQ(index, -1);
}

TEST_F(GCommonDialogTest, SaveAsksForOverwriteAndReportsTheType) {
    seams.nextFileResult = {true, "/out/result.PNG", 1};
    QString saveName = "*.JPG";
    filter = kSaveFilter;
    ASSERT_TRUE(dialog.VBGetSaveFileName(saveName, title, true, filter, index, "/out", QString(),
                                         "JPG", nullptr, flags));
    EXPECT_EQ(saveName, "/out/result.PNG");
    EXPECT_EQ(title, "result.PNG");
    EXPECT_EQ(filter, "*.PNG");
    EXPECT_EQ(index, 2);
    EXPECT_EQ(flags, 0x6);
    const FileDialogRequest& r = seams.fileRequests[0];
    EXPECT_TRUE(r.save);
    EXPECT_TRUE(r.overwritePrompt);
    EXPECT_EQ(r.initialName, "*.JPG");
    EXPECT_EQ(r.initialFolder, "/out");
}

TEST_F(GCommonDialogTest, ReadOnlyBitComesBack) {
    seams.nextFileResult = {true, "/p/a.gif", 5};
    readOnly = true;
    ASSERT_TRUE(Open());
    EXPECT_TRUE(readOnly);
    EXPECT_EQ(flags, 0x1005);
    EXPECT_EQ(filter, "*.GIF");
}

TEST_F(GCommonDialogTest, StartIndexOutOfRangeShowsTheFirstEntry) {
    seams.nextFileResult = {true, "/p/a.bmp", -1};  // the dialog did not say
    index = 9;
    ASSERT_TRUE(Open());
    EXPECT_EQ(seams.fileRequests[0].filterIndex, 0);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(filter, "*.JPG;*.JPEG;*.BMP;*.PNG;*.TIF;*.TIFF;*.GIF");
}

TEST_F(GCommonDialogTest, StartPathOpensItsOwnFolder) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    fileName = dir.filePath("last.jpg");
    Open();
    EXPECT_EQ(seams.fileRequests[0].initialFolder, dir.path());
    EXPECT_EQ(seams.fileRequests[0].initialName, "last.jpg");
}

}  // namespace
}  // namespace calmora
