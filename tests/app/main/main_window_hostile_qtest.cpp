// A picture whose decoder crashes, runs away or eats memory: the window
// shows message 2, keeps running and opens the next file as usual. A header
// claiming a huge picture is refused with its size and the limit. Pictures
// carrying the EXIF blocks FreeImage crashes on open without that EXIF.
#include <QTest>

#include <QDir>
#include <QElapsedTimer>

#include <signal.h>

#include <cstdlib>
#include <cstring>

#include "exif_forge.h"
#include "guard_test_support.h"
#include "imagefiles/image_load.h"
#include "imagefiles/sandbox.h"
#include "main_testkit.h"
#include "main_window.h"
#include "message_catalogue.h"
#include "preferences.h"
#include "seams_recorder.h"
#include "test_images.h"

using namespace calmora;
using namespace calmora::testing;

namespace {

BitmapPtr CrashingDecoder(const std::string&) {
    raise(SIGSEGV);
    return nullptr;
}

BitmapPtr RunawayDecoder(const std::string&) {
    for (volatile unsigned long i = 0;; i = i + 1) {
    }
}

BitmapPtr GreedyDecoder(const std::string&) {
    for (;;) std::memset(std::malloc(32 << 20), 7, 32 << 20);
}

}  // namespace

class MainWindowHostileTest : public MainWindowTestBase {
    Q_OBJECT

private slots:
    void cleanup() {
        decode_testing::SetLoadSeamForTesting({});
        StopWindow();
    }

    void decoderThatDiesShowsMessageTwoAndTheWindowGoesOn_data();
    void decoderThatDiesShowsMessageTwoAndTheWindowGoesOn();
    void pictureTooLargeNamesItsSizeAndTheLimit();
    void pictureWithHostileExifOpensWithoutIt_data();
    void pictureWithHostileExifOpensWithoutIt();
};

void MainWindowHostileTest::decoderThatDiesShowsMessageTwoAndTheWindowGoesOn_data() {
    QTest::addColumn<void*>("decoder");
    QTest::newRow("crash") << reinterpret_cast<void*>(&CrashingDecoder);
    QTest::newRow("runaway") << reinterpret_cast<void*>(&RunawayDecoder);
    QTest::newRow("memory") << reinterpret_cast<void*>(&GreedyDecoder);
}

void MainWindowHostileTest::decoderThatDiesShowsMessageTwoAndTheWindowGoesOn() {
    if (!SandboxRefusal().empty()) QSKIP(SandboxRefusal().c_str());
    QFETCH(void*, decoder);
    QVERIFY(OpenPattern(QStringLiteral("first.png"), 300, 200));
    const QString hostile = images_->path() + QStringLiteral("/hostile.png");
    QVERIFY(WritePatternImage(hostile, FIF_PNG, PixelForm::Rgb24, 120, 80));

    decode_testing::LoadSeam seam;
    seam.decoder = reinterpret_cast<BitmapPtr (*)(const std::string&)>(decoder);
    seam.cpuSeconds = 1;
    seam.wallMilliseconds = 3000;
    seam.memoryBytes = uint64_t{32} << 20;
    decode_testing::SetLoadSeamForTesting(seam);
    QElapsedTimer timer;
    timer.start();
    seams_->nextFileResult = FileDialogResult{true, hostile, 0};
    window_->FileOpen_Click();
    QVERIFY2(timer.elapsed() < 5000, "the load was not stopped in time");

    QCOMPARE(seams_->messages.size(), 1);
    QCOMPARE(seams_->messages[0].request.text, MessageText(2, Language::English));
    QVERIFY(!window_->Document().loadingFlag);
    QVERIFY(window_->MenuAction("FileMenu")->isEnabled());

    // The window is still there and the next file opens as usual.
    decode_testing::SetLoadSeamForTesting({});
    seams_->messages.clear();
    QVERIFY(OpenPattern(QStringLiteral("after.png"), 200, 100));
    QVERIFY(window_->HasImage());
    QCOMPARE(window_->windowTitle(), QStringLiteral("Calmora   after.png  (200x100)"));
}

// The header alone refuses it: the picture on screen stays, and the message
// says how large the file claims to be and what the program opens.
void MainWindowHostileTest::pictureTooLargeNamesItsSizeAndTheLimit() {
    QVERIFY(OpenPattern(QStringLiteral("first.png"), 300, 200));
    const QString huge = images_->path() + QStringLiteral("/huge.png");
    calmora_test::WriteFile(huge.toStdString(), calmora_test::ForgedPng(100000, 100000));
    const std::pair<Language, QString> said[] = {
        {Language::English,
         QStringLiteral("huge.png is 100000 x 100000 pixels (10000 megapixels): Calmora opens "
                        "pictures of up to 200 megapixels and 65535 pixels on a side.")},
        {Language::Italian,
         QStringLiteral("huge.png misura 100000 x 100000 pixel (10000 megapixel): Calmora apre "
                        "immagini fino a 200 megapixel e 65535 pixel per lato.")}};
    for (const auto& [language, text] : said) {
        CurrentPreferences().language = language;
        seams_->messages.clear();
        seams_->nextFileResult = FileDialogResult{true, huge, 0};
        window_->FileOpen_Click();
        QCOMPARE(seams_->messages.size(), 1);
        QCOMPARE(seams_->messages[0].request.text, text);
        QCOMPARE(seams_->messages[0].request.title, QStringLiteral("Calmora"));
        QCOMPARE(seams_->messages[0].request.icon, MessageIcon::Critical);
        QCOMPARE(seams_->messages[0].parent, window_.get());
        QVERIFY(window_->HasImage());
        QCOMPARE(window_->windowTitle(), QStringLiteral("Calmora   first.png  (300x200)"));
    }
}

void MainWindowHostileTest::pictureWithHostileExifOpensWithoutIt_data() {
    QTest::addColumn<int>("place");
    QTest::addColumn<bool>("wrappingThumbnail");
    for (const exif_forge::Place place :
         {exif_forge::Place::kAfterSoi, exif_forge::Place::kAfterFrameHeader,
          exif_forge::Place::kBeforeEoi}) {
        for (const bool wrapping : {false, true}) {
            const QString name = QStringLiteral("%1, %2").arg(
                QString::fromLatin1(exif_forge::PlaceName(place)),
                wrapping ? QStringLiteral("thumbnail wrapping") : QStringLiteral("entry count"));
            QTest::newRow(name.toUtf8().constData()) << static_cast<int>(place) << wrapping;
        }
    }
}

void MainWindowHostileTest::pictureWithHostileExifOpensWithoutIt() {
    QFETCH(int, place);
    QFETCH(bool, wrappingThumbnail);
    const std::string base = (images_->path() + QStringLiteral("/base.jpg")).toStdString();
    guard_test::JpegKind kind;
    kind.name = "base";
    guard_test::WriteJpegWithLibjpeg(base, 48, 32, kind);
    const exif_forge::Bytes plain = calmora_test::ReadFile(base);
    const exif_forge::Bytes block = wrappingThumbnail ? exif_forge::WrappingThumbnailBlock()
                                                      : exif_forge::HugeEntryCountBlock();
    const QString hostile = images_->path() + QStringLiteral("/hostile.jpg");
    guard_test::WriteFile(
        hostile.toStdString(),
        exif_forge::InsertAt(plain,
                             exif_forge::OffsetOf(plain, static_cast<exif_forge::Place>(place)),
                             exif_forge::ExifSegment(block)));

    seams_->nextFileResult = FileDialogResult{true, hostile, 0};
    window_->FileOpen_Click();
    QVERIFY2(seams_->messages.isEmpty(), qPrintable(seams_->messages.value(0).request.text));
    QVERIFY(window_->HasImage());
    QCOMPARE(window_->windowTitle(), QStringLiteral("Calmora   hostile.jpg  (48x32)"));
    QCOMPARE(FreeImage_GetMetadataCount(FIMD_EXIF_MAIN, window_->Document().image), 0u);
}

QTEST_MAIN(MainWindowHostileTest)
#include "main_window_hostile_qtest.moc"
