// Saving from the main window: the dialog, the name rules, the two frames,
// every format read back, failures, and the metadata of the opened file.
#include <QTest>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

#include "denoise_host.h"
#include "imagefiles/image_load.h"
#include "imagefiles/image_save.h"
#include "main_testkit.h"
#include "main_window.h"
#include "picture_box.h"
#include "preferences.h"
#include "remembered_folder.h"
#include "save_command.h"
#include "save_rules.h"
#include "seams_recorder.h"

using namespace calmora;
using namespace calmora::testing;

namespace {

constexpr int kWidth = 300;
constexpr int kHeight = 200;

struct Unloader {
    void operator()(FIBITMAP* bitmap) const { FreeImage_Unload(bitmap); }
};
using Bitmap = std::unique_ptr<FIBITMAP, Unloader>;

Bitmap LoadBack(const QString& path) {
    const QByteArray name = path.toUtf8();
    const FREE_IMAGE_FORMAT format = FreeImage_GetFileType(name.constData(), 0);
    if (format == FIF_UNKNOWN) return nullptr;
    return Bitmap(FreeImage_Load(format, name.constData(), 0));
}

// Largest channel difference between a 24-bit bitmap and the test pattern.
int DistanceFromPattern(FIBITMAP* bitmap, int width, int height) {
    int worst = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const QRgb a = BitmapColor(bitmap, x, y);
            const QRgb b = PatternColor(PixelForm::Rgb24, x, y);
            worst = std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                              std::abs(qBlue(a) - qBlue(b))});
        }
    }
    return worst;
}

// The Compression field (tag 259) of a little-endian TIFF's first directory.
int TiffCompression(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return -1;
    const QByteArray data = file.readAll();
    auto u16 = [&](qsizetype at) {
        return at + 2 <= data.size() ? uint8_t(data[at]) | uint8_t(data[at + 1]) << 8 : -1;
    };
    auto u32 = [&](qsizetype at) {
        return at + 4 <= data.size() ? qsizetype(u16(at)) | qsizetype(u16(at + 2)) << 16 : -1;
    };
    if (!data.startsWith("II*")) return -1;
    const qsizetype directory = u32(4);
    const int entries = u16(directory);
    for (int i = 0; i < entries; ++i) {
        const qsizetype entry = directory + 2 + 12 * i;
        if (u16(entry) == 259) return u16(entry + 8);
    }
    return -1;
}

// A minimal EXIF block naming the software, as cameras and editors write it.
QByteArray ExifNamingSoftware(const QByteArray& software) {
    QByteArray tiff("II*\0", 4);
    auto put16 = [&](int v) { tiff.append(char(v & 255)).append(char(v >> 8 & 255)); };
    auto put32 = [&](int v) { put16(v & 0xffff); put16(v >> 16 & 0xffff); };
    const QByteArray text = software + '\0';
    put32(8);        // first directory
    put16(1);        // one entry
    put16(0x0131);   // Software
    put16(2);        // ASCII
    put32(int(text.size()));
    put32(8 + 2 + 12 + 4);
    put32(0);        // no next directory
    return QByteArray("Exif\0\0", 6) + tiff + text;
}

// EXIF as a phone writes it for a portrait taken with the pixels sideways.
QByteArray ExifTurnedRight() {
    QByteArray tiff("II*\0", 4);
    auto put16 = [&](int v) { tiff.append(char(v & 255)).append(char(v >> 8 & 255)); };
    auto put32 = [&](int v) { put16(v & 0xffff); put16(v >> 16 & 0xffff); };
    put32(8);       // first directory
    put16(1);       // one entry
    put16(0x0112);  // Orientation
    put16(3);       // SHORT
    put32(1);
    put32(6);       // turn 90 degrees clockwise to show
    put32(0);       // no next directory
    return QByteArray("Exif\0\0", 6) + tiff;
}

// A stand-in colour profile: only its bytes matter here.
QByteArray FakeRgbProfile() {
    QByteArray profile(132, '\0');
    profile[3] = char(132);
    profile.replace(16, 4, "RGB ");
    profile.replace(36, 4, "acsp");
    return profile;
}

void AttachExifAndProfile(FIBITMAP* bitmap, const QByteArray& exif, const QByteArray& profile) {
    FITAG* tag = FreeImage_CreateTag();
    FreeImage_SetTagKey(tag, "ExifRaw");
    FreeImage_SetTagType(tag, FIDT_BYTE);
    FreeImage_SetTagLength(tag, DWORD(exif.size()));
    FreeImage_SetTagCount(tag, DWORD(exif.size()));
    FreeImage_SetTagValue(tag, exif.constData());
    FreeImage_SetMetadata(FIMD_EXIF_RAW, bitmap, "ExifRaw", tag);
    FreeImage_DeleteTag(tag);
    FreeImage_CreateICCProfile(bitmap, const_cast<char*>(profile.constData()), long(profile.size()));
}

QString TextTag(FIBITMAP* bitmap, FREE_IMAGE_MDMODEL model, const char* key) {
    FITAG* tag = nullptr;
    if (!FreeImage_GetMetadata(model, bitmap, key, &tag) || !tag || FreeImage_GetTagType(tag) != FIDT_ASCII)
        return {};
    const auto* text = static_cast<const char*>(FreeImage_GetTagValue(tag));
    return QString::fromLatin1(text, int(strnlen(text, FreeImage_GetTagLength(tag))));
}

QString SoftwareTag(FIBITMAP* bitmap) { return TextTag(bitmap, FIMD_EXIF_MAIN, "Software"); }

long NumberTag(FIBITMAP* bitmap, FREE_IMAGE_MDMODEL model, const char* key) {
    FITAG* tag = nullptr;
    if (!FreeImage_GetMetadata(model, bitmap, key, &tag) || !tag) return -1;
    if (FreeImage_GetTagType(tag) == FIDT_SHORT) return *static_cast<const WORD*>(FreeImage_GetTagValue(tag));
    if (FreeImage_GetTagType(tag) == FIDT_LONG) return long(*static_cast<const DWORD*>(FreeImage_GetTagValue(tag)));
    return -1;
}

QByteArray Profile(FIBITMAP* bitmap) {
    const FIICCPROFILE* icc = FreeImage_GetICCProfile(bitmap);
    return icc && icc->data ? QByteArray(static_cast<const char*>(icc->data), int(icc->size)) : QByteArray();
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class SaveCommandTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void everyFormatReadsBack_data();
    void everyFormatReadsBack();
    void jpegQualityChangesTheFileAndIsKept();
    void upperCaseJpgTakesTheJpegPath();
    void tiffFrameIsBackOnUncompressed();
    void locksMenusAndBarsUntilTheFrameIsAnswered();
    void cancelledFrameOrDialogWritesNothing();
    void frameCaptionsFollowTheLanguage();
    void frameKeysAnswerLikeTheirButtons_data();
    void frameKeysAnswerLikeTheirButtons();
    void closeDuringAJpegWriteIsRefused();
    void twoDotsAreRefusedWithTheExactText();
    void noDotSavesNothingAndSaysNothing();
    void otherExtensionsAreRefusedAndUnlock();
    void fittedViewStillSavesFullSize();
    void rememberedFolderIsWrittenAndUsed();
    void failedWriteIsReportedAndKeepsTheOldFile_data();
    void failedWriteIsReportedAndKeepsTheOldFile();
    void readOnlyFolderIsReported();
    void exifAndProfileSurvive_data();
    void exifAndProfileSurvive();
    void turnedPictureIsSavedUpright();
    void denoisedPhotographKeepsItsExif_data();
    void denoisedPhotographKeepsItsExif();

private:
    void OpenImage(const QString& path);
    // Runs File > save with the dialog answering path.
    void Save(const QString& path);
    // Answers the frame the save opened, if any (JPEG at quality, TIFF with lzw).
    void AnswerFrame(int quality, bool lzw);
    [[nodiscard]] QString Out(const QString& name) const { return QDir(images_->path()).filePath(name); }
    [[nodiscard]] bool MenusEnabled() const;
    [[nodiscard]] bool BarsEnabled() const;
    template <typename T>
    T* Control(const char* name) const {
        return window_->findChild<T*>(QString::fromLatin1(name));
    }

    std::unique_ptr<SettingsSandbox> sandbox_;
    std::unique_ptr<SeamsRecorder> seams_;
    std::unique_ptr<QTemporaryDir> images_;
    std::unique_ptr<MainWindow> window_;
};

void SaveCommandTest::init() {
    sandbox_ = std::make_unique<SettingsSandbox>();
    seams_ = std::make_unique<SeamsRecorder>();
    images_ = std::make_unique<QTemporaryDir>();
    window_ = std::make_unique<MainWindow>();
    QVERIFY(ShowWithClientSize(*window_, 640, 480));
    const QString source = Out(QStringLiteral("source.png"));
    QVERIFY(WritePatternImage(source, FIF_PNG, PixelForm::Rgb24, kWidth, kHeight));
    OpenImage(source);
}

void SaveCommandTest::cleanup() {
    window_.reset();
    images_.reset();
    seams_.reset();
    sandbox_.reset();
}

void SaveCommandTest::OpenImage(const QString& path) {
    window_->OpenFile(path);
    QVERIFY(window_->HasImage());
}

void SaveCommandTest::Save(const QString& path) {
    seams_->nextFileResult = FileDialogResult{true, path, 0};
    window_->FileSave_Click();
}

void SaveCommandTest::AnswerFrame(int quality, bool lzw) {
    if (Control<QGroupBox>("FrameJPGQuality")->isVisible()) {
        Control<QScrollBar>("HScrolljpgQual")->setValue(quality);
        Control<QPushButton>("OkjpgQual")->click();
    } else if (Control<QGroupBox>("FrameTIFF")->isVisible()) {
        if (lzw) Control<QRadioButton>("LZWopt")->click();
        Control<QPushButton>("OkTif")->click();
    }
}

bool SaveCommandTest::MenusEnabled() const {
    // A hidden menu (Size, while the picture fits) always reports itself disabled.
    for (const char* name : {"FileMenu", "PaintSize", "ShowAbout", "ShowGuida", "PrefMenu"}) {
        const QAction* action = window_->MenuAction(name);
        if (action->isVisible() && !action->isEnabled()) return false;
    }
    return window_->MenuAction("FileMenu")->isEnabled();
}

bool SaveCommandTest::BarsEnabled() const {
    return window_->HScroll1()->isEnabled() && window_->VScroll1()->isEnabled();
}

void SaveCommandTest::everyFormatReadsBack_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("lzw");
    QTest::addColumn<int>("fileType");
    QTest::addColumn<int>("tolerance");
    QTest::newRow("png") << "out.png" << false << int(FIF_PNG) << 0;
    QTest::newRow("bmp") << "out.bmp" << false << int(FIF_BMP) << 0;
    QTest::newRow("tif uncompressed") << "out.tif" << false << int(FIF_TIFF) << 0;
    QTest::newRow("tif lzw") << "out.tif" << true << int(FIF_TIFF) << 0;
    QTest::newRow("jpeg typed by hand") << "out.jpeg" << false << int(FIF_JPEG) << 12;
    QTest::newRow("tiff typed by hand") << "out.TIFF" << true << int(FIF_TIFF) << 0;
}

void SaveCommandTest::everyFormatReadsBack() {
    QFETCH(QString, name);
    QFETCH(bool, lzw);
    QFETCH(int, fileType);
    QFETCH(int, tolerance);
    const QString path = Out(name);
    Save(path);
    if (fileType == FIF_JPEG) {
        QVERIFY(Control<QGroupBox>("FrameJPGQuality")->isVisible());
        Control<QPushButton>("OkjpgQual")->click();
    } else if (fileType == FIF_TIFF) {
        QVERIFY(Control<QGroupBox>("FrameTIFF")->isVisible());
        if (lzw) Control<QRadioButton>("LZWopt")->click();
        Control<QPushButton>("OkTif")->click();
    }
    QVERIFY(seams_->messages.isEmpty());
    QCOMPARE(int(FreeImage_GetFileType(path.toUtf8().constData(), 0)), fileType);
    Bitmap back = LoadBack(path);
    QVERIFY(back);
    QCOMPARE(int(FreeImage_GetWidth(back.get())), kWidth);
    QCOMPARE(int(FreeImage_GetHeight(back.get())), kHeight);
    QVERIFY(DistanceFromPattern(back.get(), kWidth, kHeight) <= tolerance);
    if (fileType == FIF_TIFF) QCOMPARE(TiffCompression(path), lzw ? 5 : 1);
    QVERIFY(MenusEnabled());
    QVERIFY(BarsEnabled());
    QCOMPARE(window_->PicPointer(), kPointerDefault);
    QCOMPARE(window_->WindowPointer(), kPointerDefault);
}

void SaveCommandTest::jpegQualityChangesTheFileAndIsKept() {
    Save(Out(QStringLiteral("q90.jpg")));
    auto* quality = Control<QScrollBar>("HScrolljpgQual");
    QCOMPARE(quality->value(), 90);
    QCOMPARE(Control<QLabel>("LabjpgQual")->text(), QStringLiteral("90 %"));
    Control<QPushButton>("OkjpgQual")->click();

    Save(Out(QStringLiteral("q20.jpg")));
    quality->setValue(20);
    QCOMPARE(Control<QLabel>("LabjpgQual")->text(), QStringLiteral("20 %"));
    Control<QPushButton>("OkjpgQual")->click();

    const qint64 fine = QFileInfo(Out(QStringLiteral("q90.jpg"))).size();
    const qint64 coarse = QFileInfo(Out(QStringLiteral("q20.jpg"))).size();
    QVERIFY2(coarse > 0 && coarse * 3 / 2 < fine, qPrintable(QStringLiteral("%1 vs %2").arg(coarse).arg(fine)));

    Save(Out(QStringLiteral("again.jpg")));
    QCOMPARE(quality->value(), 20);  // kept from the last save
    Control<QPushButton>("AnnullajpgQual")->click();
}

void SaveCommandTest::upperCaseJpgTakesTheJpegPath() {
    const QString path = Out(QStringLiteral("PHOTO.JPG"));
    Save(path);
    QVERIFY(Control<QGroupBox>("FrameJPGQuality")->isVisible());
    QVERIFY(!Control<QGroupBox>("FrameTIFF")->isVisible());
    QVERIFY(!QFile::exists(path));  // nothing before the frame is answered
    Control<QPushButton>("OkjpgQual")->click();
    QVERIFY(!Control<QGroupBox>("FrameJPGQuality")->isVisible());
    QCOMPARE(int(FreeImage_GetFileType(path.toUtf8().constData(), 0)), int(FIF_JPEG));
}

void SaveCommandTest::tiffFrameIsBackOnUncompressed() {
    Save(Out(QStringLiteral("first.tif")));
    Control<QRadioButton>("LZWopt")->click();
    QVERIFY(SaveCommand::Of(*window_).TiffLzw());
    Control<QPushButton>("OkTif")->click();
    QCOMPARE(TiffCompression(Out(QStringLiteral("first.tif"))), 5);

    Save(Out(QStringLiteral("second.tif")));
    QVERIFY(Control<QRadioButton>("UncompressedTIFFOpt")->isChecked());
    QVERIFY(!Control<QRadioButton>("LZWopt")->isChecked());
    QVERIFY(!SaveCommand::Of(*window_).TiffLzw());
    Control<QPushButton>("OkTif")->click();
    QCOMPARE(TiffCompression(Out(QStringLiteral("second.tif"))), 1);
}

void SaveCommandTest::locksMenusAndBarsUntilTheFrameIsAnswered() {
    Save(Out(QStringLiteral("locked.tif")));
    QVERIFY(!MenusEnabled());
    QVERIFY(!window_->HScroll1()->isEnabled());
    QVERIFY(!window_->VScroll1()->isEnabled());
    // A second save cannot start over the open frame.
    seams_->fileRequests.clear();
    window_->FileSave_Click();
    QVERIFY(seams_->fileRequests.isEmpty());
    Control<QPushButton>("OkTif")->click();
    QVERIFY(MenusEnabled());
    QVERIFY(BarsEnabled());
}

void SaveCommandTest::cancelledFrameOrDialogWritesNothing() {
    Save(Out(QStringLiteral("no.jpg")));
    Control<QPushButton>("AnnullajpgQual")->click();
    Save(Out(QStringLiteral("no.tif")));
    Control<QPushButton>("AnnullaTif")->click();
    seams_->nextFileResult = FileDialogResult{};
    window_->FileSave_Click();
    QVERIFY(!QFile::exists(Out(QStringLiteral("no.jpg"))));
    QVERIFY(!QFile::exists(Out(QStringLiteral("no.tif"))));
    QVERIFY(MenusEnabled());
    QVERIFY(BarsEnabled());

    // The dialog was asked with the program's filter, start name and folder.
    const FileDialogRequest& request = seams_->fileRequests.first();
    QVERIFY(request.save);
    QVERIFY(request.overwritePrompt);
    QCOMPARE(request.initialName, QStringLiteral("*.JPG"));
    QCOMPARE(request.filters.size(), 4);
    QCOMPARE(request.filterIndex, 0);
}

// The frames are made in the language of the moment and follow every later switch.
void SaveCommandTest::frameCaptionsFollowTheLanguage() {
    const auto captions = [this] {
        return QStringList{Control<QGroupBox>("FrameJPGQuality")->title(),
                           Control<QPushButton>("OkjpgQual")->text(),
                           Control<QPushButton>("AnnullajpgQual")->text(),
                           Control<QGroupBox>("FrameTIFF")->title(),
                           Control<QRadioButton>("UncompressedTIFFOpt")->text(),
                           Control<QRadioButton>("LZWopt")->text(),
                           Control<QPushButton>("OkTif")->text(),
                           Control<QPushButton>("AnnullaTif")->text()};
    };
    const QStringList english{"JPG quality", "OK", "Cancel", "TIFF format", "Uncompressed", "LZW", "OK", "Cancel"};
    const QStringList italian{QString::fromUtf8("Qualit\xC3\xA0 JPG"), "OK", "Annulla", "Formato TIFF",
                              "Non compresso", "LZW", "OK", "Annulla"};
    CurrentPreferences().language = Language::Italian;
    window_->ApplyItalianCaptions();
    Save(Out(QStringLiteral("first.jpg")));
    Control<QPushButton>("AnnullajpgQual")->click();
    QCOMPARE(captions(), italian);
    CurrentPreferences().language = Language::English;
    window_->ApplyEnglishCaptions();
    QCOMPARE(captions(), english);
}

void SaveCommandTest::frameKeysAnswerLikeTheirButtons_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("focus");  // the control that has the focus when the key is pressed
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("written");
    QTest::newRow("enter on OK") << "k.jpg" << "OkjpgQual" << int(Qt::Key_Return) << true;
    QTest::newRow("enter on the quality slider") << "k.jpg" << "HScrolljpgQual" << int(Qt::Key_Enter) << true;
    QTest::newRow("enter on Cancel") << "k.jpg" << "AnnullajpgQual" << int(Qt::Key_Return) << false;
    QTest::newRow("escape on OK") << "k.jpg" << "OkjpgQual" << int(Qt::Key_Escape) << false;
    QTest::newRow("enter on LZW") << "k.tif" << "LZWopt" << int(Qt::Key_Return) << true;
    QTest::newRow("enter on TIFF Cancel") << "k.tif" << "AnnullaTif" << int(Qt::Key_Return) << false;
    QTest::newRow("escape on TIFF OK") << "k.tif" << "OkTif" << int(Qt::Key_Escape) << false;
}

void SaveCommandTest::frameKeysAnswerLikeTheirButtons() {
    QFETCH(QString, name);
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(bool, written);
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    const QString path = Out(name);
    Save(path);
    auto* control = window_->findChild<QWidget*>(focus);
    QVERIFY(control);
    control->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), control);
    QTest::keyClick(control, Qt::Key(key));
    QCOMPARE(QFile::exists(path), written);
    QVERIFY(!SaveCommand::Of(*window_).FrameOpen());
    QVERIFY(seams_->messages.isEmpty());
    QVERIFY(MenusEnabled());
    QVERIFY(BarsEnabled());
}

// The JPEG write lets pending events run first; a close arriving then is
// refused, so the image is not taken away from under the write.
void SaveCommandTest::closeDuringAJpegWriteIsRefused() {
    const QString path = Out(QStringLiteral("closing.jpg"));
    Save(path);
    bool closed = true;
    QTimer::singleShot(0, window_.get(), [this, &closed] { closed = window_->close(); });
    Control<QPushButton>("OkjpgQual")->click();
    QVERIFY(!closed);
    QVERIFY(seams_->messages.isEmpty());
    Bitmap back = LoadBack(path);
    QVERIFY(back);
    QVERIFY(DistanceFromPattern(back.get(), kWidth, kHeight) <= 12);
    QVERIFY(window_->HasImage());
    QVERIFY(MenusEnabled());
}

void SaveCommandTest::twoDotsAreRefusedWithTheExactText() {
    const QString path = Out(QStringLiteral("my.photo.jpg"));
    Save(path);
    QCOMPARE(seams_->messages.size(), 1);
    QCOMPARE(seams_->messages[0].request.text, path + QStringLiteral(" invalid file name."));
    QCOMPARE(seams_->messages[0].request.icon, MessageIcon::Exclamation);
    QVERIFY(!Control<QGroupBox>("FrameJPGQuality")->isVisible());
    QVERIFY(!QFile::exists(path));
    QVERIFY(MenusEnabled());
}

void SaveCommandTest::noDotSavesNothingAndSaysNothing() {
    Save(Out(QStringLiteral("photo")));
    QVERIFY(seams_->messages.isEmpty());
    QCOMPARE(QDir(images_->path()).entryList(QDir::Files).size(), 1);  // the source only
    QVERIFY(MenusEnabled());
}

void SaveCommandTest::otherExtensionsAreRefusedAndUnlock() {
    CurrentPreferences().language = Language::Italian;
    const QString path = Out(QStringLiteral("photo.gif"));
    Save(path);
    QCOMPARE(seams_->messages.size(), 1);
    QCOMPARE(seams_->messages[0].request.text, UnknownSaveFormatText(path, Language::Italian));
    QVERIFY(!QFile::exists(path));
    QVERIFY(MenusEnabled());
    QVERIFY(BarsEnabled());
}

void SaveCommandTest::fittedViewStillSavesFullSize() {
    const QString big = Out(QStringLiteral("big.png"));
    QVERIFY(WritePatternImage(big, FIF_PNG, PixelForm::Rgb24, 1200, 900));
    OpenImage(big);
    window_->PaintSizeScreenFit_Click();
    QCOMPARE(window_->View().Mode(), kScreenFit);
    QVERIFY(window_->Pic()->width() < 1200);

    const QString path = Out(QStringLiteral("full.bmp"));
    Save(path);
    Bitmap back = LoadBack(path);
    QVERIFY(back);
    QCOMPARE(int(FreeImage_GetWidth(back.get())), 1200);
    QCOMPARE(int(FreeImage_GetHeight(back.get())), 900);
    QCOMPARE(DistanceFromPattern(back.get(), 1200, 900), 0);
}

void SaveCommandTest::rememberedFolderIsWrittenAndUsed() {
    const QString folder = Out(QStringLiteral("cartella è"));
    QVERIFY(QDir().mkpath(folder));
    Save(folder + QStringLiteral("/a.png"));
    QCOMPARE(ReadRememberedFolder(QString::fromLatin1(kSaveFolderFile)), folder);
    QCOMPARE(sandbox_->Read(QString::fromLatin1(kSaveFolderFile)),
             QByteArray("\"") + folder.toUtf8() + QByteArray("\"\r\n"));
    Save(folder + QStringLiteral("/b.png"));
    QCOMPARE(seams_->fileRequests.last().initialFolder, folder);

    // A fresh window (the next start of the program) reads it back.
    window_ = std::make_unique<MainWindow>();
    OpenImage(Out(QStringLiteral("source.png")));
    Save(Out(QStringLiteral("c.png")));
    QCOMPARE(seams_->fileRequests.last().initialFolder, folder);
}

void SaveCommandTest::failedWriteIsReportedAndKeepsTheOldFile_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("expected");  // after the path
    QTest::newRow("english") << 1 << QStringLiteral(". (writing failed: File too large)");
    QTest::newRow("italian") << 2 << QStringLiteral(". (scrittura non riuscita: file troppo grande)");
}

void SaveCommandTest::failedWriteIsReportedAndKeepsTheOldFile() {
    QFETCH(int, language);
    QFETCH(QString, expected);
    CurrentPreferences().language = static_cast<Language>(language);
    const QString path = Out(QStringLiteral("precious.bmp"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("the picture saved yesterday");
    }
    // A file-size limit makes the write fail half way, for root too.
    struct rlimit saved {};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit tight = saved;
    tight.rlim_cur = 4096;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &tight), 0);
    Save(path);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    QCOMPARE(ReadAll(path), QByteArray("the picture saved yesterday"));
    QCOMPARE(QDir(images_->path()).entryList(QDir::Files | QDir::Hidden).size(), 2);  // no leftovers
    QCOMPARE(seams_->messages.size(), 1);
    QCOMPARE(seams_->messages[0].request.icon, MessageIcon::Critical);
    // The whole text in the interface's language, the system's reason included.
    const QString start = language == 2 ? QStringLiteral("Impossibile salvare l'immagine in ")
                                        : QStringLiteral("The image could not be saved to ");
    QCOMPARE(seams_->messages[0].request.text, start + path + expected);
    QVERIFY(MenusEnabled());
    QVERIFY(BarsEnabled());
    QCOMPARE(window_->WindowPointer(), kPointerDefault);
}

void SaveCommandTest::readOnlyFolderIsReported() {
    if (geteuid() == 0) QSKIP("running as root: folder permissions do not stop writes (the file-size case covers a failed write)");
    const QString folder = Out(QStringLiteral("locked"));
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/old.png");
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("old");
    }
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    CurrentPreferences().language = Language::Italian;
    Save(path);
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(ReadAll(path), QByteArray("old"));
    QCOMPARE(seams_->messages.size(), 1);
    QVERIFY(seams_->messages[0].request.text.startsWith(
        QStringLiteral("Impossibile salvare l'immagine in ") + path));
    QVERIFY(MenusEnabled());
}

void SaveCommandTest::exifAndProfileSurvive_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("lzw");
    QTest::addColumn<bool>("profileKept");
    QTest::newRow("jpeg") << "kept.jpg" << false << true;
    QTest::newRow("tiff") << "kept.tif" << false << true;
    QTest::newRow("tiff lzw") << "kept.tif" << true << true;
    // libpng refuses to write the stand-in profile (it has no tag table):
    // the picture and its EXIF are saved without it.
    QTest::newRow("png") << "kept.png" << false << false;
}

void SaveCommandTest::exifAndProfileSurvive() {
    QFETCH(QString, name);
    QFETCH(bool, lzw);
    QFETCH(bool, profileKept);
    const QString source = Out(QStringLiteral("camera.jpg"));
    {
        Bitmap pattern(MakePatternBitmap(PixelForm::Rgb24, kWidth, kHeight));
        AttachExifAndProfile(pattern.get(), ExifNamingSoftware("Calmora test camera"), FakeRgbProfile());
        QVERIFY(FreeImage_Save(FIF_JPEG, pattern.get(), source.toUtf8().constData(), 95));
        Bitmap check = LoadBack(source);
        QCOMPARE(SoftwareTag(check.get()), QStringLiteral("Calmora test camera"));
    }
    OpenImage(source);
    const QString path = Out(name);
    Save(path);
    AnswerFrame(90, lzw);
    QVERIFY2(seams_->messages.isEmpty(), qPrintable(seams_->messages.value(0).request.text));
    QCOMPARE(int(FreeImage_GetFileType(path.toUtf8().constData(), 0)),
             int(name.endsWith(QLatin1String(".jpg")) ? FIF_JPEG : name.endsWith(QLatin1String(".png")) ? FIF_PNG : FIF_TIFF));
    // The document keeps its profile for later saves.
    QCOMPARE(Profile(window_->Document().image), FakeRgbProfile());
    // Opened again in the program, profile and tag are there.
    OpenImage(path);
    QCOMPARE(Profile(window_->Document().image), profileKept ? FakeRgbProfile() : QByteArray());
    QCOMPARE(SoftwareTag(window_->Document().image), QStringLiteral("Calmora test camera"));
}

// The program shows pixels as stored: a user turns a phone's portrait upright
// by hand, and the saved file must not tell other viewers to turn it again.
void SaveCommandTest::turnedPictureIsSavedUpright() {
    const QString source = Out(QStringLiteral("portrait.jpg"));
    {
        Bitmap pattern(MakePatternBitmap(PixelForm::Rgb24, kWidth, kHeight));
        AttachExifAndProfile(pattern.get(), ExifTurnedRight(), FakeRgbProfile());
        QVERIFY(FreeImage_Save(FIF_JPEG, pattern.get(), source.toUtf8().constData(), 95));
    }
    auto savedOrientation = [&](const QString& name) {
        const QString path = Out(name);
        Save(path);
        AnswerFrame(90, false);
        // Through the program's reader, which also finds a PNG's EXIF.
        const LoadedImage back = LoadImageFile(path.toStdString());
        return back.image ? NumberTag(back.image.get(), FIMD_EXIF_MAIN, "Orientation") : -2L;
    };
    OpenImage(source);
    QCOMPARE(savedOrientation(QStringLiteral("as-opened.jpg")), 6L);
    window_->Ruota90_Click();
    QCOMPARE(savedOrientation(QStringLiteral("turned.jpg")), 1L);
    QCOMPARE(savedOrientation(QStringLiteral("turned.png")), 1L);
    // The document keeps the camera's value: turned all the way round, the
    // pixels are as stored again and so is the orientation.
    QCOMPARE(NumberTag(window_->Document().image, FIMD_EXIF_MAIN, "Orientation"), 6L);
    for (int i = 0; i < 3; ++i) window_->Ruota90_Click();
    QCOMPARE(window_->Document().rotation, int16_t(0));
    QCOMPARE(savedOrientation(QStringLiteral("round.jpg")), 6L);
    QVERIFY(seams_->messages.isEmpty());
}

void SaveCommandTest::denoisedPhotographKeepsItsExif_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("lzw");
    QTest::addColumn<bool>("profileReadBack");
    QTest::newRow("jpeg quality 85") << "hubble.jpg" << false << true;
    QTest::newRow("tiff lzw") << "hubble.tif" << true << true;
    QTest::newRow("tiff uncompressed") << "hubble-plain.tif" << false << true;
    // libpng's reader drops this photograph's profile as a known-bad sRGB
    // profile; the file holds it all the same.
    QTest::newRow("png") << "hubble.png" << false << false;
}

// The photograph is denoised (by a stand-in for the dialog that changes every
// pixel), saved, and opened again: its EXIF is still there.
void SaveCommandTest::denoisedPhotographKeepsItsExif() {
    QFETCH(QString, name);
    QFETCH(bool, lzw);
    QFETCH(bool, profileReadBack);
    const QString source =
        QString::fromUtf8(qEnvironmentVariableIsSet("CALMORA_TESTDATA") ? qgetenv("CALMORA_TESTDATA")
                                                                         : CALMORA_TESTDATA_DIR) +
        QStringLiteral("/python3-skimage/usr/lib/python3/dist-packages/skimage/data/hubble_deep_field.jpg");
    if (!QFile::exists(source)) QSKIP("scikit-image's sample photographs are not unpacked (scripts/fetch-test-data.sh)");
    Bitmap original = LoadBack(source);
    QCOMPARE(SoftwareTag(original.get()), QStringLiteral("Adobe Photoshop CS5 Macintosh"));

    OpenImage(source);
    window_->SetDenoiseDialogLauncher([](QWidget*, DenoiseHost& host) {
        const DenoiseDestination result = host.Destination();
        const uint8_t* from = host.ImageBits();
        uint8_t* to = result.bits;
        for (size_t i = 0; i < size_t(result.stride) * result.height; ++i) to[i] = uint8_t(255 - from[i]);
        host.AdoptDenoised();
    });
    FIBITMAP* before = window_->Document().image;
    window_->Denoise_Click();
    QVERIFY(window_->Document().image != before);

    const QString path = Out(name);
    Save(path);
    AnswerFrame(85, lzw);
    QVERIFY(seams_->messages.isEmpty());
    OpenImage(path);
    FIBITMAP* reopened = window_->Document().image;
    QCOMPARE(SoftwareTag(reopened), SoftwareTag(original.get()));
    QCOMPARE(TextTag(reopened, FIMD_EXIF_MAIN, "DateTime"), QStringLiteral("2012-09-17T15:53:45-04:00"));
    QCOMPARE(NumberTag(reopened, FIMD_EXIF_EXIF, "PixelXDimension"), 1000L);
    QCOMPARE(NumberTag(reopened, FIMD_EXIF_EXIF, "ColorSpace"), 1L);
    if (profileReadBack) QCOMPARE(Profile(reopened), Profile(original.get()));
    QCOMPARE(FreeImage_GetWidth(reopened), FreeImage_GetWidth(original.get()));
    // The denoised pixels were saved, not the photograph's.
    QVERIFY(BitmapColor(reopened, 10, 10) != BitmapColor(original.get(), 10, 10));
}

QTEST_MAIN(SaveCommandTest)
#include "save_command_qtest.moc"
