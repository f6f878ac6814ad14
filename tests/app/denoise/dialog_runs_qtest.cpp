// FormDenoise runs: preview and full run against the engine, stop, close
// during a run, the progress bar and the hand-back to the main window.
#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "denoise_dialog_launch.h"
#include "dialog_testing.h"

using namespace calmora;
using namespace calmora::testing;

namespace {

void SetUp(const OpenDialog& d, int sigma, int radius, int red = 100, int green = 100,
           int blue = 100) {
    d.c<QScrollBar>("HScrollSigma")->setValue(sigma);
    d.c<QScrollBar>("HScrollrw")->setValue(radius);
    d.c<QScrollBar>("HScrollRed")->setValue(red);
    d.c<QScrollBar>("HScrollGreen")->setValue(green);
    d.c<QScrollBar>("HScrollBlue")->setValue(blue);
}

// PicR / PicNoise line y against buffer row height-1-y of a bitmap.
bool PaneLineShows(const PictureBox* pane, const DisplayBitmap& bitmap, int y) {
    for (int x = 0; x < bitmap.width(); ++x)
        if (pane->PixelAt(x, y) != ToRgb(PixelOf(bitmap.bits, bitmap.width(), bitmap.height(), x, y)))
            return false;
    return true;
}

bool PaneLineIsBlank(const PictureBox* pane, int width, int y) {
    for (int x = 0; x < width; ++x)
        if (pane->PixelAt(x, y) != qRgb(255, 255, 255)) return false;
    return true;
}

}  // namespace

class DialogRunsTest : public QObject {
    Q_OBJECT

private slots:
    void init() { CurrentPreferences() = Preferences{}; }

    void previewRowsEqualTheEngineOutput() {
        OpenDialog d(150, 110);  // whole-image mode: the area is the image
        QVERIFY(d.Load());
        SetUp(d, 15, 3);
        d.c<QPushButton>("CmdPreview")->click();
        QVERIFY(d.dialog->State().previewValid);
        const EngineResult want = EngineRun(d.host->ImageBits(), 150, 110, 15, 3, 100, 100, 100, true);
        QVERIFY(SamePixels(d.dialog->State().areaBitmaps.denoised.bits,
                           want.denoised.data(), 150, 110));
        QVERIFY(SamePixels(d.dialog->State().areaBitmaps.noise.bits, want.noise.data(), 150, 110));
        QVERIFY(!SamePixels(want.denoised.data(), d.host->ImageBits(), 150, 110));
        for (int y : {0, 1, 54, 108, 109}) {
            QVERIFY2(PaneLineShows(d.c<PictureBox>("PicR"),
                                   d.dialog->State().areaBitmaps.denoised, y),
                     qPrintable(QString::number(y)));
            QVERIFY(PaneLineShows(d.c<PictureBox>("PicNoise"),
                                  d.dialog->State().areaBitmaps.noise, y));
        }
        // The original stays in the middle pane; the views and Stop are ready.
        QCOMPARE(d.c<PictureBox>("Pic")->PixelAt(3, 3),
                 ToRgb(PixelOf(d.host->ImageBits(), 150, 110, 3, 3)));
        QVERIFY(d.c<QToolButton>("CmdOrigImg")->isEnabled());
        QVERIFY(d.c<QToolButton>("CmdNoiseImg")->isEnabled());
        QVERIFY(!d.c<QPushButton>("CmdInterrompiDenoise")->isEnabled());
        QVERIFY(d.c<QLineEdit>("TxtRed")->isEnabled());
        QVERIFY(d.c<QAction>("ShowGuida")->isEnabled());
        QCOMPARE(d.dialog->State().selectedView, ResultView::Denoised);
        QVERIFY(d.host->ImageUnchanged());
        QCOMPARE(d.host->adopted, 0);
    }

    void areaPreviewDenoisesTheSelectedPixels() {
        OpenDialog d(1600, 1200);
        QVERIFY(d.Load());
        auto* pic = d.c<PictureBox>("Pic");
        QTest::mousePress(pic, Qt::LeftButton, {}, QPoint(50, 50));
        QTest::mouseMove(pic, QPoint(90, 70));
        QTest::mouseRelease(pic, Qt::LeftButton, {}, QPoint(90, 70));
        d.c<QToolButton>("CmdSelectArea")->click();
        SetUp(d, 20, 2, 100, 60, 100);
        d.c<QPushButton>("CmdPreview")->click();
        QVERIFY(d.dialog->State().previewValid);

        const int left = d.dialog->State().scrollX + d.dialog->State().rectLeft + 1;
        const int top = d.dialog->State().scrollY + d.dialog->State().rectTop + 1;
        QVERIFY(d.dialog->State().scrollX > 0);
        const DisplayBitmap& orig = d.dialog->State().areaBitmaps.original;
        QCOMPARE(orig.width(), 184);
        QCOMPARE(orig.height(), 138);
        for (int y = 0; y < 138; y += 17)
            for (int x = 0; x < 184; x += 23)
                QCOMPARE(ToRgb(PixelOf(orig.bits, 184, 138, x, y)),
                         ToRgb(PixelOf(d.host->ImageBits(), 1600, 1200, left + x, top + y)));
        // What Apply writes there: the full run's rows of the area, cut to it.
        const EngineResult full = EngineRun(d.host->ImageBits(), 1600, 1200, 20, 2, 100, 60,
                                            100, true, 1200 - top - 138, 1200 - top - 1);
        const EngineResult want{BlockOf(full.denoised.data(), 1600, 1200, left, top, 184, 138),
                                BlockOf(full.noise.data(), 1600, 1200, left, top, 184, 138)};
        QVERIFY(SamePixels(d.dialog->State().areaBitmaps.denoised.bits,
                           want.denoised.data(), 184, 138));
        QVERIFY(SamePixels(d.dialog->State().areaBitmaps.noise.bits, want.noise.data(), 184, 138));
        // The denoised area stands in the view inside the rectangle.
        const int rl = d.dialog->State().rectLeft + 1, rt = d.dialog->State().rectTop + 1;
        QCOMPARE(pic->PixelAt(rl + 10, rt + 20),
                 ToRgb(PixelOf(want.denoised.data(), 184, 138, 10, 20)));
        QCOMPARE(pic->PixelAt(rl + 183, rt + 137),
                 ToRgb(PixelOf(want.denoised.data(), 184, 138, 183, 137)));
        QCOMPARE(pic->PixelAt(rl - 1, rt - 1), qRgb(255, 255, 255));
        // Moving the rectangle brings the original pixels back and invalidates the preview.
        QTest::mousePress(pic, Qt::LeftButton, {}, QPoint(rl + 5, rt + 5));
        QTest::mouseMove(pic, QPoint(rl + 45, rt + 5));
        QTest::mouseRelease(pic, Qt::LeftButton, {}, QPoint(rl + 45, rt + 5));
        QVERIFY(!d.dialog->State().previewValid);
        QVERIFY(!d.c<QToolButton>("CmdOrigImg")->isEnabled());
        QCOMPARE(pic->PixelAt(rl + 10, rt + 20),
                 ToRgb(PixelOf(d.host->ImageBits(), 1600, 1200, d.dialog->State().scrollX + rl + 10,
                               d.dialog->State().scrollY + rt + 20)));
        QCOMPARE(d.c<PictureBox>("PicR")->PixelAt(10, 10), qRgb(255, 255, 255));
    }

    // The rectangle in the corners of an image shown whole, in both engine
    // forms: every previewed pixel is the one Apply writes.
    void areaPreviewEqualsTheFullRunUpToTheImageEdges_data() {
        QTest::addColumn<int>("green");
        QTest::addColumn<int>("radius");
        QTest::newRow("whole-pixel") << 100 << 4;
        QTest::newRow("per-channel") << 70 << 3;
    }
    void areaPreviewEqualsTheFullRunUpToTheImageEdges() {
        QFETCH(int, green);
        QFETCH(int, radius);
        OpenDialog d(420, 300);
        QVERIFY(d.Load());
        QCOMPARE(d.dialog->State().selectionMode, 1);  // the image fits: select at once
        SetUp(d, 25, radius, 100, green, 100);
        const EngineResult full = EngineRun(d.host->ImageBits(), 420, 300, 25, radius, 100, green,
                                            100, true);
        auto* pic = d.c<PictureBox>("Pic");
        for (const QPoint towards : {QPoint(-2000, -2000), QPoint(2000, 2000), QPoint(2000, -2000),
                                     QPoint(-2000, 2000)}) {
            const QPoint from(d.dialog->State().rectLeft + 5, d.dialog->State().rectTop + 5);
            QTest::mousePress(pic, Qt::LeftButton, {}, from);
            QTest::mouseMove(pic, from + towards);
            QTest::mouseRelease(pic, Qt::LeftButton, {}, from + towards);
            d.c<QPushButton>("CmdPreview")->click();
            QVERIFY(d.dialog->State().previewValid);
            const int left = d.dialog->State().scrollX + d.dialog->State().rectLeft + 1;
            const int top = d.dialog->State().scrollY + d.dialog->State().rectTop + 1;
            QVERIFY(left <= 1 || left + 184 == 420);
            QVERIFY(top <= 1 || top + 138 == 300);
            const std::vector<uint8_t> denoised =
                BlockOf(full.denoised.data(), 420, 300, left, top, 184, 138);
            const std::vector<uint8_t> noise =
                BlockOf(full.noise.data(), 420, 300, left, top, 184, 138);
            QVERIFY2(SamePixels(d.dialog->State().areaBitmaps.denoised.bits, denoised.data(), 184,
                                138),
                     qPrintable(QStringLiteral("area at %1,%2").arg(left).arg(top)));
            QVERIFY(SamePixels(d.dialog->State().areaBitmaps.noise.bits, noise.data(), 184, 138));
        }
    }

    // A preview whose settings changed since is marked until the next preview;
    // the pictures under the marks stay as they were.
    void changedSettingsMarkThePreviewAsStale() {
        OpenDialog d(420, 300, 2);  // area mode, the image fits: selected at once
        QVERIFY(d.Load());
        SetUp(d, 20, 3);
        auto* denoisedMark = d.c<QLabel>("StaleNoteDenoised");
        auto* noiseMark = d.c<QLabel>("StaleNoteNoise");
        auto* areaMark = d.c<QLabel>("StaleNoteArea");
        QVERIFY(!denoisedMark->isVisible());
        QVERIFY(!d.dialog->State().previewStale);  // no preview yet: nothing to mark
        d.c<QPushButton>("CmdPreview")->click();
        QVERIFY(d.dialog->State().previewShown);
        QVERIFY(!denoisedMark->isVisible());
        const QImage pane = d.c<PictureBox>("PicR")->Surface();

        d.c<QScrollBar>("HScrollSigma")->setValue(21);
        QVERIFY(d.dialog->State().previewStale);
        QVERIFY(denoisedMark->isVisible() && noiseMark->isVisible() && areaMark->isVisible());
        QCOMPARE(denoisedMark->text(), QStringLiteral("Impostazioni cambiate: rifare l'anteprima"));
        const PreviewState& s = d.dialog->State();
        QCOMPARE(areaMark->geometry(),
                 QRect(s.rectLeft + 1, s.rectTop + 1, s.area.width, s.area.height));
        QCOMPARE(d.c<PictureBox>("PicR")->Surface(), pane);
        // Back to the previewed settings: the preview matches them again.
        d.c<QScrollBar>("HScrollSigma")->setValue(20);
        QVERIFY(!d.dialog->State().previewStale);
        QVERIFY(!denoisedMark->isVisible());
        // The radius counts too, and so does a channel strength.
        d.c<QScrollBar>("HScrollrw")->setValue(4);
        QVERIFY(denoisedMark->isVisible());
        d.c<QScrollBar>("HScrollrw")->setValue(3);
        d.c<QScrollBar>("HScrollGreen")->setValue(80);
        QVERIFY(denoisedMark->isVisible());
        // A new preview is current again.
        d.c<QPushButton>("CmdPreview")->click();
        QVERIFY(!d.dialog->State().previewStale);
        QVERIFY(!denoisedMark->isVisible() && !areaMark->isVisible());
        // Moving the rectangle clears the panes: nothing is left to mark.
        d.c<QScrollBar>("HScrollSigma")->setValue(30);
        QVERIFY(areaMark->isVisible());
        auto* pic = d.c<PictureBox>("Pic");
        const QPoint from(s.rectLeft + 5, s.rectTop + 5);
        QTest::mousePress(pic, Qt::LeftButton, {}, from);
        QTest::mouseMove(pic, from + QPoint(30, 10));
        QTest::mouseRelease(pic, Qt::LeftButton, {}, from + QPoint(30, 10));
        QVERIFY(!d.dialog->State().previewShown);
        QVERIFY(!d.dialog->State().previewStale);
        QVERIFY(!denoisedMark->isVisible() && !areaMark->isVisible());
    }

    void controlsAreLockedDuringARun() {
        OpenDialog d(150, 110);
        QVERIFY(d.Load());
        SetUp(d, 10, 2);
        QStringList enabledDuringRun;
        bool active = false;
        d.dialog->SetBeforeRowHookForTest([&](int32_t row, int32_t) {
            if (row != 3) return;
            active = d.dialog->State().runActive;
            for (QWidget* w : d.dialog->findChildren<QWidget*>())
                if (w->isEnabled() && !w->objectName().startsWith(QLatin1String("qt_")) &&
                    (qobject_cast<QLineEdit*>(w) || qobject_cast<QScrollBar*>(w) ||
                                       qobject_cast<QAbstractButton*>(w)))
                    enabledDuringRun << w->objectName();
            if (d.c<QAction>("ShowGuida")->isEnabled()) enabledDuringRun << QStringLiteral("ShowGuida");
        });
        d.c<QPushButton>("CmdPreview")->click();
        QVERIFY(active);
        QCOMPARE(enabledDuringRun, QStringList{QStringLiteral("CmdInterrompiDenoise")});
        // After the run everything is back, plus the view buttons.
        for (const char* name :
             {"TxtSigma", "Txtrw", "HScrollBlue", "CmdOKDenoise", "CmdPreview", "CmdSuggest"})
            QVERIFY2(d.c<QWidget>(name)->isEnabled(), name);
        QVERIFY(!d.dialog->State().runActive);
    }

    void previewStoppedHalfWayShowsOnlyItsLowerRows() {
        OpenDialog d(150, 110);
        QVERIFY(d.Load());
        SetUp(d, 12, 2);
        auto* stop = d.c<QPushButton>("CmdInterrompiDenoise");
        d.dialog->SetBeforeRowHookForTest([&](int32_t row, int32_t) {
            if (row == 55) stop->click();
        });
        d.c<QPushButton>("CmdPreview")->click();
        auto* picR = d.c<PictureBox>("PicR");
        // Buffer rows 0..54 are the screen lines 109 down to 55.
        QVERIFY(PaneLineShows(picR, d.dialog->State().areaBitmaps.denoised, 109));
        QVERIFY(PaneLineShows(picR, d.dialog->State().areaBitmaps.denoised, 55));
        QVERIFY(PaneLineIsBlank(picR, 150, 54));
        QVERIFY(PaneLineIsBlank(picR, 150, 0));
        QVERIFY(PaneLineIsBlank(d.c<PictureBox>("PicNoise"), 150, 20));
        QVERIFY(!d.dialog->State().previewValid);
        QVERIFY(!d.dialog->State().runActive);
        QVERIFY(!stop->isEnabled());
        // The settings can be changed and the runs started again; the channel
        // strengths and the views wait for a complete preview.
        for (const char* name : {"Txtrw", "HScrollrw", "TxtSigma", "HScrollSigma", "CmdPreview",
                                 "CmdOKDenoise"})
            QVERIFY2(d.c<QWidget>(name)->isEnabled(), name);
        for (const char* name : {"TxtRed", "HScrollBlue", "CmdOrigImg", "CmdDenoisedImg"})
            QVERIFY2(!d.c<QWidget>(name)->isEnabled(), name);

        d.dialog->SetBeforeRowHookForTest({});
        d.c<QPushButton>("CmdPreview")->click();
        QVERIFY(d.dialog->State().previewValid);
        QVERIFY(PaneLineShows(picR, d.dialog->State().areaBitmaps.denoised, 0));
        QVERIFY(d.c<QWidget>("TxtRed")->isEnabled());
        QVERIFY(d.c<QWidget>("CmdOrigImg")->isEnabled());

        // A dialog that has previewed shows no hourglass during a full run.
        Qt::CursorShape cursor = Qt::WaitCursor;
        d.dialog->SetBeforeRowHookForTest([&](int32_t row, int32_t) {
            if (row == 3) cursor = d.dialog->cursor().shape();
        });
        d.c<QPushButton>("CmdOKDenoise")->click();
        QCOMPARE(cursor, Qt::ArrowCursor);
        QCOMPARE(d.host->adopted, 1);
    }

    void fullRunEqualsTheEngineAndHandsBack_data() {
        QTest::addColumn<int>("red");
        QTest::addColumn<int>("green");
        QTest::addColumn<int>("blue");
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("italian");
        QTest::newRow("100/100/100 whole pixel, English")
            << 100 << 100 << 100 << 1
            << QStringLiteral("   denoised  (Intensity:9, Radius:3    R:100%, G:100%, B:100%)")
            << QString::fromUtf8("   rumore ridotto  (Intensit\xc3\xa0:9, Raggio:3    R:100%, "
                                 "G:100%, B:100%)");
        QTest::newRow("100/100/99 per channel, Italian")
            << 100 << 100 << 99 << 2
            << QStringLiteral("   denoised  (Intensity:9, Radius:3    R:100%, G:100%, B:99%)")
            << QString::fromUtf8("   rumore ridotto  (Intensit\xc3\xa0:9, Raggio:3    R:100%, "
                                 "G:100%, B:99%)");
        QTest::newRow("30/0/100 per channel")
            << 30 << 0 << 100 << 1
            << QStringLiteral("   denoised  (Intensity:9, Radius:3    R:30%, G:0%, B:100%)")
            << QString::fromUtf8("   rumore ridotto  (Intensit\xc3\xa0:9, Raggio:3    R:30%, "
                                 "G:0%, B:100%)");
        // Factors whose hundredfold is not a whole number in floating point.
        QTest::newRow("29/57/1 whole percents")
            << 29 << 57 << 1 << 2
            << QStringLiteral("   denoised  (Intensity:9, Radius:3    R:29%, G:57%, B:1%)")
            << QString::fromUtf8("   rumore ridotto  (Intensit\xc3\xa0:9, Raggio:3    R:29%, "
                                 "G:57%, B:1%)");
    }

    void fullRunEqualsTheEngineAndHandsBack() {
        QFETCH(int, red);
        QFETCH(int, green);
        QFETCH(int, blue);
        QFETCH(int, language);
        QFETCH(QString, english);
        QFETCH(QString, italian);
        OpenDialog d(240, 180, language);
        QVERIFY(d.Load());
        const std::vector<uint8_t> original = d.host->Original();
        const EngineResult want = EngineRun(original.data(), 240, 180, 9, 3, red, green, blue, false);
        if (red != 100 || green != 100 || blue != 100) {
            // Otherwise the engine's choice would not show in the result.
            const EngineResult whole = EngineRun(original.data(), 240, 180, 9, 3, 100, 100, 100, false);
            QVERIFY(!SamePixels(whole.denoised.data(), want.denoised.data(), 240, 180));
        }
        SetUp(d, 9, 3, red, green, blue);
        d.c<QPushButton>("CmdOKDenoise")->click();
        QCOMPARE(d.host->adopted, 1);
        QVERIFY(d.dialog->HandedBack());
        QVERIFY(SamePixels(d.host->ImageBits(), want.denoised.data(), 240, 180));
        QCOMPARE(d.host->suffixes, 1);
        QCOMPARE(d.host->englishSuffix, english);
        QCOMPARE(d.host->italianSuffix, italian);
        QVERIFY(!d.dialog->isVisible());
        QCOMPARE(d.dialog->result(), int(QDialog::Accepted));
    }

    void progressBarOnlyAboveTheWholeImageSize() {
        for (const QSize size : {QSize(240, 180), QSize(200, 150)}) {
            OpenDialog d(size.width(), size.height());
            QVERIFY(d.Load());
            SetUp(d, 5, 2);
            bool barShown = false, frameShown = false;
            int barWidth = -1;
            Qt::CursorShape cursor = Qt::ArrowCursor;
            const int full = d.c<QFrame>("Shape1")->width();
            d.dialog->SetBeforeRowHookForTest([&](int32_t row, int32_t height) {
                if (row != height / 2 + 1) return;
                barShown = d.c<QFrame>("Shape1")->isVisible();
                frameShown = d.c<QFrame>("Shape2")->isVisible();
                barWidth = d.c<QFrame>("Shape1")->width();  // set before the previous row
                cursor = d.dialog->cursor().shape();
            });
            d.c<QPushButton>("CmdOKDenoise")->click();
            const bool large = size.width() > 200;
            QCOMPARE(barShown, large);
            QCOMPARE(frameShown, large);
            if (large)
                QCOMPARE(barWidth, int(double(full) / size.height() * (size.height() / 2)));
            QCOMPARE(cursor, Qt::WaitCursor);
            QCOMPARE(d.host->adopted, 1);
        }
    }

    void stoppedFullRunLeavesTheImageAndTheDialog() {
        OpenDialog d(240, 180);
        QVERIFY(d.Load());
        SetUp(d, 9, 2);
        auto* stop = d.c<QPushButton>("CmdInterrompiDenoise");
        d.dialog->SetBeforeRowHookForTest([&](int32_t row, int32_t) {
            if (row == 20) stop->click();
        });
        d.c<QPushButton>("CmdOKDenoise")->click();
        QVERIFY(d.host->ImageUnchanged());
        QCOMPARE(d.host->adopted, 0);
        QCOMPARE(d.host->suffixes, 0);
        QVERIFY(d.dialog->isVisible());
        QVERIFY(!d.c<QFrame>("Shape1")->isVisible());
        QVERIFY(!d.c<QFrame>("Shape2")->isVisible());
        QVERIFY(!stop->isEnabled());
        QCOMPARE(d.dialog->cursor().shape(), Qt::ArrowCursor);
        for (const char* name : {"TxtSigma", "TxtRed", "HScrollrw", "CmdOKDenoise"})
            QVERIFY2(d.c<QWidget>(name)->isEnabled(), name);

        // A second run goes through: the stop was consumed, the destination kept.
        d.dialog->SetBeforeRowHookForTest({});
        const EngineResult want = EngineRun(d.host->Original().data(), 240, 180, 9, 2, 100, 100, 100, false);
        d.c<QPushButton>("CmdOKDenoise")->click();
        QCOMPARE(d.host->adopted, 1);
        QVERIFY(SamePixels(d.host->ImageBits(), want.denoised.data(), 240, 180));
    }

    void closingDuringARunKeepsTheImageAndFreesTheDestination() {
        FakeHost host(240, 180);
        QWidget owner;
        owner.setWindowTitle(QStringLiteral("Calmora   a.png  (240x180)"));
        owner.show();
        bool sawModal = false, closeRefusedWhileRunning = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<FormDenoise*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->findChild<QScrollBar*>(QStringLiteral("HScrollSigma"))->setValue(9);
            // Fires at the first row's event pass: the close box during the run.
            QTimer::singleShot(0, dialog, [&, dialog] {
                sawModal = QApplication::activeModalWidget() == dialog && dialog->State().runActive;
                dialog->close();
                closeRefusedWhileRunning = dialog->isVisible();
            });
            dialog->findChild<QPushButton*>(QStringLiteral("CmdOKDenoise"))->click();
        });
        ShowDenoiseDialog(&owner, host);
        QVERIFY(sawModal);
        QVERIFY(closeRefusedWhileRunning);  // turned into a request, the run ends at its next row
        QVERIFY(host.ImageUnchanged());
        QCOMPARE(host.adopted, 0);
        QCOMPARE(host.suffixes, 0);
        QVERIFY(host.Destination().bits != nullptr);
        host.ReleaseDestinationIfNotAdopted();  // what the main window does next
        QCOMPARE(host.released, 1);
        QVERIFY(!QApplication::activeModalWidget());
    }

    void escapeDuringAPreviewClosesLikeTheCloseBox() {
        OpenDialog d(150, 110);
        QVERIFY(d.Load());
        SetUp(d, 10, 2);
        d.dialog->SetBeforeRowHookForTest([&](int32_t row, int32_t) {
            if (row == 10) QTest::keyClick(d.dialog.get(), Qt::Key_Escape);
        });
        d.c<QPushButton>("CmdPreview")->click();
        QVERIFY(!d.dialog->isVisible());
        QCOMPARE(d.dialog->result(), int(QDialog::Rejected));
        QVERIFY(!d.dialog->State().runActive);
        QVERIFY(d.host->ImageUnchanged());
    }

    void completedDialogThroughTheEntryPoint() {
        FakeHost host(120, 90);
        QWidget owner;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<FormDenoise*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->findChild<QScrollBar*>(QStringLiteral("HScrollSigma"))->setValue(6);
            dialog->findChild<QPushButton*>(QStringLiteral("CmdOKDenoise"))->click();
        });
        const EngineResult want = EngineRun(host.Original().data(), 120, 90, 6, 2, 100, 100, 100, false);
        ShowDenoiseDialog(&owner, host);
        QCOMPARE(host.adopted, 1);
        QVERIFY(host.Destination().bits == nullptr);
        QVERIFY(SamePixels(host.ImageBits(), want.denoised.data(), 120, 90));
    }
};

QTEST_MAIN(DialogRunsTest)
#include "dialog_runs_qtest.moc"
