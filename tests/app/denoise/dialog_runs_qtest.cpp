// What FormDenoise's previews compute: the whole image and a selected area
// against the engine, and a preview marked stale by changed settings.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

#include "dialog_qtest.h"
#include "dialog_testing.h"
#include "pane_lines.h"

using namespace calmora;
using namespace calmora::testing;

class DialogRunsTest : public DialogQTest {
    Q_OBJECT

private slots:
    void previewRowsEqualTheEngineOutput() {
        OpenDialog d(150, 110);  // whole-image mode: the area is the image
        QVERIFY(d.Load());
        d.SetSliders(15, 3);
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
        d.SetSliders(20, 2, 100, 60, 100);
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
        d.SetSliders(25, radius, 100, green, 100);
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
        d.SetSliders(20, 3);
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
};

QTEST_MAIN(DialogRunsTest)
#include "dialog_runs_qtest.moc"
