// The Image menu's rotation and denoise commands, the language switch from
// the preferences window, help, and closing.
#include <QTest>

#include <QAbstractButton>
#include <QApplication>
#include <QByteArray>
#include <QRadioButton>
#include <QScrollBar>
#include <QTimer>
#include <functional>

#include "form_pref.h"
#include "main_testkit.h"
#include "main_window.h"
#include "message_catalogue.h"
#include "picture_box.h"
#include "preferences.h"
#include "seams_recorder.h"

using namespace calmora;
using namespace calmora::testing;

class MainWindowCommandsTest : public MainWindowTestBase {
    Q_OBJECT

private slots:
    void rotatingFourTimesComesBack();
    void rotatingAFittedView();
    void failedRotationChangesNothing_data();
    void failedRotationChangesNothing();
    void noRotationWhileASaveFrameWaits();
    void languageSwitchThroughThePreferences();
    void helpPageFollowsTheLanguage();
    void denoiseHandsTheResultBack();
    void denoiseNotAdoptedReleasesTheDestination();
    void denoiseWithoutMemoryTellsAndStops();
    void closingWritesThePreferences();
    void closingIsRefusedWhileBusy();

private:
    // Answers the preferences window with the given language and Apply.
    void ChooseLanguageInPreferences(const char* option);
};

void MainWindowCommandsTest::ChooseLanguageInPreferences(const char* option) {
    bool answered = false;
    QTimer poll;
    poll.setInterval(5);
    connect(&poll, &QTimer::timeout, this, [&] {
        auto* form = qobject_cast<FormPref*>(QApplication::activeModalWidget());
        if (!form || answered) return;
        answered = true;
        form->findChild<QRadioButton*>(QString::fromLatin1(option))->setChecked(true);
        form->CmdPrefOK_Click();
    });
    poll.start();
    window_->PrefMenu_Click();
    QVERIFY(answered);
}

void MainWindowCommandsTest::rotatingFourTimesComesBack() {
    QVERIFY(OpenPattern(QStringLiteral("r.png"), 30, 20));
    const QString base = QStringLiteral("Calmora   r.png  (30x20)");
    const QStringList titles = {base + QStringLiteral("  90° rotated"),
                                base + QStringLiteral("  180° rotated"),
                                base + QStringLiteral("  270° rotated"), base};
    for (int turn = 1; turn <= 4; ++turn) {
        window_->Ruota90_Click();
        QCOMPARE(window_->windowTitle(), titles[turn - 1]);
        QCOMPARE(int(window_->Document().rotation), (turn * 90) % 360);
        const bool odd = turn % 2 == 1;
        QCOMPARE(window_->ImageWidth(), odd ? 20 : 30);
        QCOMPARE(window_->ImageHeight(), odd ? 30 : 20);
        QCOMPARE(window_->Pic()->size(), QSize(window_->ImageWidth(), window_->ImageHeight()));
        QCOMPARE(window_->WindowPointer(), kPointerDefault);
        QCOMPARE(window_->PicPointer(), kPointerDefault);
        QVERIFY(window_->MenuAction("Denoise")->isEnabled());
    }
    QVERIFY(seams_->messages.isEmpty());
    // Back where it started, pixel for pixel.
    for (int y = 0; y < 20; y += 3) {
        for (int x = 0; x < 30; x += 7) {
            QCOMPARE(PicColor(*window_, x, y), PatternColor(PixelForm::Rgb24, x, y));
        }
    }

    // One quarter turn anticlockwise: the right edge becomes the top line.
    window_->Ruota90_Click();
    for (int y = 0; y < 30; y += 4) {
        for (int x = 0; x < 20; x += 3) {
            QCOMPARE(PicColor(*window_, x, y), PatternColor(PixelForm::Rgb24, 29 - y, x));
        }
    }
    // The document's own pixels turned, not just the view.
    QCOMPARE(BitmapColor(window_->Document().image, 0, 0), PatternColor(PixelForm::Rgb24, 29, 0));
}

void MainWindowCommandsTest::rotatingAFittedView() {
    // Wide and low: only the horizontal bar at true size; turned, only the
    // vertical one, which the fitted view never had.
    QVERIFY(OpenPattern(QStringLiteral("f.png"), 1280, 400));
    QVERIFY(!window_->HScroll1()->isHidden() && window_->VScroll1()->isHidden());
    window_->PaintSizeScreenFit_Click();
    window_->Ruota90_Click();
    // 400 x 1280 in 640 x 480: 480 / 1280 = 0.375.
    QCOMPARE(window_->windowTitle(),
             QStringLiteral("Calmora   f.png  (1280x400)  90° rotated     view size (150x480) (38%)"));
    QCOMPARE(window_->View().Mode(), kScreenFit);
    QVERIFY(window_->MenuAction("PaintSizeScreenFit")->isChecked());
    QVERIFY(!window_->MenuAction("PaintSizeTrue")->isChecked());
    QCOMPARE(window_->Pic()->size(), QSize(150, 480));
    QVERIFY(window_->HScroll1()->isHidden() && window_->VScroll1()->isHidden());

    window_->PaintSizeTrue_Click();
    QCOMPARE(window_->windowTitle(), QStringLiteral("Calmora   f.png  (1280x400)  90° rotated"));
    QScrollBar* v = window_->VScroll1();
    QVERIFY(!v->isHidden() && window_->HScroll1()->isHidden());
    QVERIFY2(v->isEnabled(), "the bar that came with the turn can be used");
    QCOMPARE(v->value(), 0);
    QCOMPARE(v->maximum(), 1280 - window_->Pic()->height());
    QCOMPARE(PicColor(*window_, 0, 0), PatternColor(PixelForm::Rgb24, 1279, 0));
}

void MainWindowCommandsTest::failedRotationChangesNothing_data() {
    QTest::addColumn<bool>("failImage");
    QTest::addColumn<QString>("message");
    QTest::newRow("no memory for the turned image") << true
                                                    << "Insufficient memory for dibIn rotate.";
    QTest::newRow("no memory for its view") << false << "Insufficient memory for Sin CreaDIB.";
}

void MainWindowCommandsTest::failedRotationChangesNothing() {
    QFETCH(bool, failImage);
    QFETCH(QString, message);
    QVERIFY(OpenPattern(QStringLiteral("keep.png"), 900, 700));
    window_->Ruota90_Click();
    window_->VScroll1()->setValue(40);
    const QString title = window_->windowTitle();
    FIBITMAP* image = window_->Document().image;
    const QRgb corner = PicColor(*window_, 0, 0);
    const QSize pic = window_->Pic()->size();

    if (failImage) {
        Allocation().allocate24 = [](int32_t, int32_t) -> FIBITMAP* { return nullptr; };
    } else {
        Allocation().createDisplayBitmap = [](DisplayBitmap&, int32_t, int32_t) { return false; };
    }
    window_->Ruota90_Click();

    QCOMPARE(seams_->messages.size(), 1);
    QCOMPARE(seams_->messages[0].request.text, message);
    QCOMPARE(window_->windowTitle(), title);
    QCOMPARE(int(window_->Document().rotation), 90);
    QCOMPARE(window_->Document().image, image);
    QCOMPARE(window_->ImageWidth(), 700);
    QCOMPARE(window_->Pic()->size(), pic);
    QCOMPARE(window_->VScroll1()->value(), 40);
    QCOMPARE(PicColor(*window_, 0, 0), corner);
    QCOMPARE(window_->WindowPointer(), kPointerDefault);
    QCOMPARE(window_->PicPointer(), kPointerDefault);
    QVERIFY(window_->MenuAction("FileMenu")->isEnabled());
    QVERIFY(window_->MenuAction("Denoise")->isEnabled());

    // With memory back, the next turn continues from 90 degrees.
    RestoreDefaultAllocation();
    window_->Ruota90_Click();
    QVERIFY(window_->windowTitle().endsWith(QStringLiteral("  180° rotated")));
}

// Once a save has asked for its JPEG quality only the frame answers: a turn
// would give the menus back under the open frame.
void MainWindowCommandsTest::noRotationWhileASaveFrameWaits() {
    QVERIFY(OpenPattern(QStringLiteral("s.png"), 64, 48));
    const QString title = window_->windowTitle();
    seams_->nextFileResult = FileDialogResult{true, images_->filePath(QStringLiteral("s.jpg")), 0};
    window_->FileSave_Click();
    auto* frame = window_->findChild<QWidget*>(QStringLiteral("FrameJPGQuality"));
    QVERIFY(frame && frame->isVisible());

    window_->MenuAction("Ruota90")->trigger();
    QCOMPARE(window_->windowTitle(), title);
    QCOMPARE(window_->ImageWidth(), 64);
    QVERIFY(!window_->MenuAction("FileMenu")->isEnabled());
    QVERIFY(!window_->MenuAction("PrefMenu")->isEnabled());

    window_->findChild<QAbstractButton*>(QStringLiteral("AnnullajpgQual"))->click();
    QVERIFY(window_->MenuAction("FileMenu")->isEnabled());
    window_->MenuAction("Ruota90")->trigger();
    QCOMPARE(window_->ImageWidth(), 48);
}

void MainWindowCommandsTest::languageSwitchThroughThePreferences() {
    // Without an image the title stays the program's name.
    ChooseLanguageInPreferences("OptITA");
    QCOMPARE(CurrentPreferences().language, Language::Italian);
    QCOMPARE(window_->windowTitle(), QStringLiteral("Calmora"));
    QCOMPARE(window_->MenuAction("FileOpen")->text(), QStringLiteral("apri"));
    QCOMPARE(window_->MenuAction("ShowAbout")->text(), QStringLiteral("Info"));

    QVERIFY(OpenPattern(QStringLiteral("l.png"), 1280, 900));
    window_->Ruota90_Click();
    const QString base = QStringLiteral("Calmora   l.png  (1280x900)");
    QCOMPARE(window_->windowTitle(), base + QStringLiteral("  ruotata 90°"));

    ChooseLanguageInPreferences("OptENG");
    QCOMPARE(window_->windowTitle(), base + QStringLiteral("  90° rotated"));
    QCOMPARE(window_->MenuAction("FileOpen")->text(), QStringLiteral("open"));
    QCOMPARE(window_->MenuAction("Ruota90")->text(), QStringLiteral("rotate (90° counterclockwise)"));

    window_->PaintSizeScreenFit_Click();
    const QString fitted = base + QStringLiteral("  90° rotated     view size (338x480) (38%)");
    QCOMPARE(window_->windowTitle(), fitted);
    ChooseLanguageInPreferences("OptITA");
    QCOMPARE(window_->windowTitle(),
             base + QStringLiteral("  ruotata 90°     ridotta a  (338x480) (38%)"));
    QCOMPARE(window_->MenuAction("PaintSizeScreenFit")->text(), QStringLiteral("adatta allo schermo"));

    // Choosing the language in use again changes nothing.
    const QString italian = window_->windowTitle();
    ChooseLanguageInPreferences("OptITA");
    QCOMPARE(window_->windowTitle(), italian);

    ChooseLanguageInPreferences("OptENG");
    QCOMPARE(window_->windowTitle(), fitted);
    // The choice reaches the file only when the window closes.
    QVERIFY(sandbox_->Read(QStringLiteral("Pref")).isEmpty());
}

void MainWindowCommandsTest::helpPageFollowsTheLanguage() {
    window_->ShowGuida_Click();
    CurrentPreferences().language = Language::Italian;
    window_->ShowGuida_Click();
    QCOMPARE(seams_->openedUrls.size(), 2);
    QCOMPARE(seams_->openedUrls[0], sandbox_->File(QStringLiteral("CmHelp/index_eng.html")));
    QCOMPARE(seams_->openedUrls[1], sandbox_->File(QStringLiteral("CmHelp/index.html")));
}

void MainWindowCommandsTest::denoiseHandsTheResultBack() {
    QVERIFY(OpenPattern(QStringLiteral("d.png"), 1280, 900));
    window_->VScroll1()->setValue(30);
    window_->PaintSizeScreenFit_Click();
    DenoiseDestination seen;
    window_->SetDenoiseDialogLauncher([&](QWidget* owner, DenoiseHost& host) {
        QCOMPARE(owner, window_.get());
        // The dialog starts from the true-size view.
        QCOMPARE(window_->View().Mode(), kTrueSize);
        QVERIFY(window_->MenuAction("PaintSizeTrue")->isChecked());
        seen = host.Destination();
        QVERIFY(seen.bits);
        QCOMPARE(seen.width, host.ImageWidth());
        QCOMPARE(seen.height, host.ImageHeight());
        QCOMPARE(seen.stride, (int64_t(seen.width) * 3 + 3) / 4 * 4);  // 24 bits a pixel
        // A "denoised" picture: the source inverted.
        const size_t bytes = size_t(seen.stride) * host.ImageHeight();
        const uint8_t* source = host.ImageBits();
        uint8_t* target = seen.bits;
        for (size_t i = 0; i < bytes; ++i) target[i] = uint8_t(255 - source[i]);
        QVERIFY2(!window_->close(), "closing waits for the dialog");
        host.AdoptDenoised();
        host.AppendTitleSuffix(QStringLiteral("   denoised  (Intensity:5)"),
                               QStringLiteral("   rumore ridotto  (Intensità:5)"));
    });
    window_->Denoise_Click();

    QVERIFY(seen.bits);
    QCOMPARE(FreeImage_GetBits(window_->Document().image), seen.bits);
    QVERIFY(window_->Destination().bits == nullptr);
    QCOMPARE(window_->windowTitle(),
             QStringLiteral("Calmora   d.png  (1280x900)   denoised  (Intensity:5)"));
    QCOMPARE(window_->VScroll1()->value(), 30);
    const QRgb original = PatternColor(PixelForm::Rgb24, 0, 30);
    QCOMPARE(PicColor(*window_, 0, 0), qRgb(255 - qRed(original), 255 - qGreen(original),
                                            255 - qBlue(original)));
    QVERIFY(window_->MenuAction("Denoise")->isEnabled());

    // The suffix has its twin in the other language, for both views.
    CurrentPreferences().language = Language::Italian;
    window_->ApplyItalianCaptions();
    window_->SwapCaptionLanguage();
    QCOMPARE(window_->windowTitle(),
             QStringLiteral("Calmora   d.png  (1280x900)   rumore ridotto  (Intensità:5)"));
    window_->PaintSizeScreenFit_Click();
    QVERIFY(window_->windowTitle().startsWith(
        QStringLiteral("Calmora   d.png  (1280x900)   rumore ridotto  (Intensità:5)     ridotta a  (")));
    // The fitted picture is made again from the new image.
    QCOMPARE(PicColor(*window_, 0, 0), qRgb(255 - qRed(PatternColor(PixelForm::Rgb24, 0, 0)),
                                            255 - qGreen(PatternColor(PixelForm::Rgb24, 0, 0)),
                                            255 - qBlue(PatternColor(PixelForm::Rgb24, 0, 0))));
}

void MainWindowCommandsTest::denoiseNotAdoptedReleasesTheDestination() {
    QVERIFY(OpenPattern(QStringLiteral("n.png"), 64, 48));
    const QString title = window_->windowTitle();
    FIBITMAP* image = window_->Document().image;
    std::vector<FIBITMAP*> allocated;
    Allocation().allocate24 = [&](int32_t width, int32_t height) {
        FIBITMAP* bitmap = FreeImage_AllocateT(FIT_BITMAP, width, height, 24);
        allocated.push_back(bitmap);
        return bitmap;
    };
    int opened = 0;
    window_->SetDenoiseDialogLauncher([&](QWidget*, DenoiseHost& host) {
        ++opened;
        QCOMPARE(host.Destination().bits, FreeImage_GetBits(allocated.back()));
    });
    window_->Denoise_Click();
    window_->Denoise_Click();
    QCOMPARE(opened, 2);
    QCOMPARE(int(allocated.size()), 2);
    QVERIFY(window_->Destination().bits == nullptr);
    QCOMPARE(window_->Document().image, image);
    QCOMPARE(window_->windowTitle(), title);
    QCOMPARE(PicColor(*window_, 5, 5), PatternColor(PixelForm::Rgb24, 5, 5));
}

void MainWindowCommandsTest::denoiseWithoutMemoryTellsAndStops() {
    QVERIFY(OpenPattern(QStringLiteral("m.png"), 64, 48));
    Allocation().allocate24 = [](int32_t, int32_t) -> FIBITMAP* { return nullptr; };
    bool opened = false;
    window_->SetDenoiseDialogLauncher([&](QWidget*, DenoiseHost&) { opened = true; });
    window_->Denoise_Click();
    QVERIFY(!opened);
    QCOMPARE(seams_->messages.size(), 1);
    QCOMPARE(seams_->messages[0].request.text, QStringLiteral("Insufficient memory for dib Denoise."));
    QVERIFY(window_->HasImage());
}

void MainWindowCommandsTest::closingWritesThePreferences() {
    CurrentPreferences().language = Language::English;
    CurrentPreferences().scrollButton = 2;
    QVERIFY(window_->close());
    QCOMPARE(sandbox_->Read(QStringLiteral("Pref")), QByteArray("\"1\",\"2\"\r\n"));

    // The next start reads them back.
    window_ = std::make_unique<MainWindow>();
    QCOMPARE(CurrentPreferences().scrollButton, int16_t(2));
    QCOMPARE(CurrentPreferences().language, Language::English);
}

void MainWindowCommandsTest::closingIsRefusedWhileBusy() {
    QVERIFY(OpenPattern(QStringLiteral("c.png"), 64, 48));
    window_->Document().loadingFlag = true;
    QVERIFY(!window_->close());
    QVERIFY(window_->isVisible());
    QVERIFY(window_->HasImage());
    QVERIFY(sandbox_->Read(QStringLiteral("Pref")).isEmpty());

    window_->Document().loadingFlag = false;
    QVERIFY(window_->close());
    QVERIFY(!window_->HasImage());
    QCOMPARE(sandbox_->Read(QStringLiteral("Pref")), QByteArray("\"1\",\"1\"\r\n"));
}

QTEST_MAIN(MainWindowCommandsTest)
#include "main_window_commands_qtest.moc"
