// FormDenoise result views: the three view buttons and the channel shown.
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

#include "dialog_qtest.h"
#include "dialog_testing.h"

using namespace calmora;
using namespace calmora::testing;

namespace {

enum Channel { kRed = 1, kGreen = 2, kBlue = 3 };

uint8_t ChannelByte(Bgr p, int channel) {
    return channel == kRed ? p.r : channel == kGreen ? p.g : p.b;
}

QRgb Grey(uint8_t v) { return qRgb(v, v, v); }

// Every sampled pixel of a pane region shows channel `channel` of bitmap as grey.
bool ShowsChannel(const PictureBox* box, int boxX, int boxY, const DisplayBitmap& bitmap,
                  int channel) {
    for (int y = 0; y < bitmap.height(); y += 7)
        for (int x = 0; x < bitmap.width(); x += 5) {
            const Bgr p = PixelOf(bitmap.bits, bitmap.width(), bitmap.height(), x, y);
            const QRgb want = channel == 0 ? ToRgb(p) : Grey(ChannelByte(p, channel));
            if (box->PixelAt(boxX + x, boxY + y) != want) return false;
        }
    return true;
}

void Preview(const OpenDialog& d, int sigma) {
    d.c<QScrollBar>("HScrollSigma")->setValue(sigma);
    d.c<QPushButton>("CmdPreview")->click();
}

}  // namespace

class DialogViewsTest : public DialogQTest {
    Q_OBJECT

private slots:
    void redAfterAPreviewTurnsEveryPictureRed() {
        OpenDialog d(1600, 1200);
        QVERIFY(d.Load());
        d.c<QToolButton>("CmdSelectArea")->click();
        Preview(d, 18);
        QVERIFY(d.dialog->State().previewValid);
        auto* pic = d.c<PictureBox>("Pic");
        auto* picR = d.c<PictureBox>("PicR");
        auto* picNoise = d.c<PictureBox>("PicNoise");
        const int ax = d.dialog->State().rectLeft + 1, ay = d.dialog->State().rectTop + 1;

        d.ChooseChannel(kRed);
        QCOMPARE(d.dialog->State().currentChannel, int(kRed));
        QVERIFY(ShowsChannel(picR, 0, 0, d.dialog->State().areaBitmaps.denoised, kRed));
        QVERIFY(ShowsChannel(picNoise, 0, 0, d.dialog->State().areaBitmaps.noise, kRed));
        QVERIFY(ShowsChannel(pic, ax, ay, d.dialog->State().areaBitmaps.denoised, kRed));
        // Outline and band stay; the rest of the view is the red channel of the image.
        QCOMPARE(pic->PixelAt(ax - 1, ay - 1), qRgb(255, 255, 255));
        const Bgr outside = PixelOf(d.host->ImageBits(), 1600, 1200, 2, 2);
        QCOMPARE(pic->PixelAt(2, 2), Grey(outside.r));
        const Bgr banded = PixelOf(d.host->ImageBits(), 1600, 1200, ax - 4, ay + 30);
        QCOMPARE(pic->PixelAt(ax - 4, ay + 30), Grey(banded.r & 80));
        // Controls are back after the change.
        QVERIFY(d.c<QLineEdit>("TxtSigma")->isEnabled());
        QVERIFY(d.c<QToolButton>("CmdOrigImg")->isEnabled());

        d.c<QToolButton>("CmdOrigImg")->click();
        QCOMPARE(d.dialog->State().selectedView, ResultView::Original);
        QVERIFY(ShowsChannel(pic, ax, ay, d.dialog->State().areaBitmaps.original, kRed));
        d.c<QToolButton>("CmdNoiseImg")->click();
        QCOMPARE(d.dialog->State().selectedView, ResultView::Noise);
        QVERIFY(ShowsChannel(pic, ax, ay, d.dialog->State().areaBitmaps.noise, kRed));
        d.c<QToolButton>("CmdDenoisedImg")->click();
        QCOMPARE(d.dialog->State().selectedView, ResultView::Denoised);
        QVERIFY(ShowsChannel(pic, ax, ay, d.dialog->State().areaBitmaps.denoised, kRed));

        // A change shows the denoised picture in the new channel in the area,
        // whichever view was lit before: the lit button follows it.
        for (const char* lit : {"CmdOrigImg", "CmdNoiseImg"}) {
            d.c<QToolButton>(lit)->click();
            QVERIFY(d.dialog->State().selectedView != ResultView::Denoised);
            d.ChooseChannel(d.dialog->State().currentChannel == 0 ? kRed : 0);
            QVERIFY(ShowsChannel(pic, ax, ay, d.dialog->State().areaBitmaps.denoised,
                                 d.dialog->State().currentChannel));
            QCOMPARE(d.dialog->State().selectedView, ResultView::Denoised);
        }
        d.ChooseChannel(0);
        QVERIFY(ShowsChannel(picR, 0, 0, d.dialog->State().areaBitmaps.denoised, 0));
        QCOMPARE(pic->PixelAt(2, 2), ToRgb(outside));
    }

    void greenWithoutAPreviewFollowsTheDrag() {
        OpenDialog d(1600, 1200);
        QVERIFY(d.Load());
        auto* pic = d.c<PictureBox>("Pic");
        const uint8_t* image = d.host->ImageBits();
        d.ChooseChannel(kGreen);
        QCOMPARE(pic->PixelAt(10, 20), Grey(PixelOf(image, 1600, 1200, 10, 20).g));
        QTest::mousePress(pic, Qt::LeftButton, {}, QPoint(100, 100));
        QTest::mouseMove(pic, QPoint(160, 130));
        QTest::mouseRelease(pic, Qt::LeftButton, {}, QPoint(160, 130));
        const int sx = d.dialog->State().scrollX, sy = d.dialog->State().scrollY;
        QVERIFY(sx > 0 && sy > 0);
        QCOMPARE(pic->PixelAt(10, 20), Grey(PixelOf(image, 1600, 1200, sx + 10, sy + 20).g));
        d.ChooseChannel(0);
        QCOMPARE(pic->PixelAt(10, 20), ToRgb(PixelOf(image, 1600, 1200, sx + 10, sy + 20)));
        d.ChooseChannel(kBlue);
        QCOMPARE(pic->PixelAt(10, 20), Grey(PixelOf(image, 1600, 1200, sx + 10, sy + 20).b));
        // A preview selected now reads the colour pixels of the scrolled area.
        d.c<QToolButton>("CmdSelectArea")->click();
        Preview(d, 11);
        const int ax = sx + d.dialog->State().rectLeft + 1, ay = sy + d.dialog->State().rectTop + 1;
        QCOMPARE(ToRgb(PixelOf(d.dialog->State().areaBitmaps.original.bits, 184, 138, 4, 4)),
                 ToRgb(PixelOf(image, 1600, 1200, ax + 4, ay + 4)));
        QVERIFY(ShowsChannel(d.c<PictureBox>("PicR"), 0, 0,
                             d.dialog->State().areaBitmaps.denoised, kBlue));
    }

    void wholeImageDenoisedViewIsInColour() {
        OpenDialog d(120, 90);
        QVERIFY(d.Load());
        Preview(d, 14);
        auto* pic = d.c<PictureBox>("Pic");
        d.ChooseChannel(kRed);
        QVERIFY(ShowsChannel(pic, 0, 0, d.dialog->State().areaBitmaps.original, kRed));
        QVERIFY(ShowsChannel(d.c<PictureBox>("PicR"), 0, 0,
                             d.dialog->State().areaBitmaps.denoised, kRed));
        d.c<QToolButton>("CmdDenoisedImg")->click();
        QVERIFY(ShowsChannel(pic, 0, 0, d.dialog->State().areaBitmaps.denoised, 0));
        d.c<QToolButton>("CmdNoiseImg")->click();
        QVERIFY(ShowsChannel(pic, 0, 0, d.dialog->State().areaBitmaps.noise, kRed));
        d.c<QToolButton>("CmdOrigImg")->click();
        QVERIFY(ShowsChannel(pic, 0, 0, d.dialog->State().areaBitmaps.original, kRed));
    }

    void channelChangedDuringAPreviewEndsInTheNewChannel() {
        OpenDialog d(150, 110);
        QVERIFY(d.Load());
        bool lockedAfterChange = false;
        d.dialog->SetBeforeRowHookForTest([&](int32_t row, int32_t height) {
            if (row != height / 2) return;
            d.ChooseChannel(kGreen);
            lockedAfterChange = !d.c<QLineEdit>("TxtSigma")->isEnabled() &&
                                d.c<QPushButton>("CmdInterrompiDenoise")->isEnabled();
        });
        Preview(d, 10);
        QVERIFY(lockedAfterChange);
        QVERIFY(d.dialog->State().previewValid);
        QCOMPARE(d.dialog->State().currentChannel, int(kGreen));
        QVERIFY(ShowsChannel(d.c<PictureBox>("PicR"), 0, 0,
                             d.dialog->State().areaBitmaps.denoised, kGreen));
        QVERIFY(ShowsChannel(d.c<PictureBox>("PicNoise"), 0, 0,
                             d.dialog->State().areaBitmaps.noise, kGreen));
        QVERIFY(ShowsChannel(d.c<PictureBox>("Pic"), 0, 0,
                             d.dialog->State().areaBitmaps.original, kGreen));
        QVERIFY(d.c<QLineEdit>("TxtSigma")->isEnabled());
    }

    void channelChangedDuringAFullRunTurnsTheLastPreview() {
        OpenDialog d(240, 180);  // area mode, the whole image in view
        QVERIFY(d.Load());
        QVERIFY(d.dialog->State().rectangleShown);
        Preview(d, 10);
        QVERIFY(d.dialog->State().previewValid);
        bool lockedAfterChange = false;
        d.dialog->SetBeforeRowHookForTest([&](int32_t row, int32_t) {
            if (row == 5) {
                d.ChooseChannel(kBlue);
                lockedAfterChange = !d.c<QLineEdit>("TxtSigma")->isEnabled() &&
                                    !d.c<QToolButton>("CmdOrigImg")->isEnabled();
            }
            if (row == 6) d.c<QPushButton>("CmdInterrompiDenoise")->click();
        });
        d.c<QPushButton>("CmdOKDenoise")->click();
        QVERIFY(lockedAfterChange);
        QVERIFY(d.host->ImageUnchanged());
        QCOMPARE(d.dialog->State().currentChannel, int(kBlue));
        const int ax = d.dialog->State().rectLeft + 1, ay = d.dialog->State().rectTop + 1;
        QVERIFY(ShowsChannel(d.c<PictureBox>("PicR"), 0, 0,
                             d.dialog->State().areaBitmaps.denoised, kBlue));
        QVERIFY(ShowsChannel(d.c<PictureBox>("PicNoise"), 0, 0,
                             d.dialog->State().areaBitmaps.noise, kBlue));
        QVERIFY(ShowsChannel(d.c<PictureBox>("Pic"), ax, ay,
                             d.dialog->State().areaBitmaps.denoised, kBlue));
        QVERIFY(d.c<QToolButton>("CmdOrigImg")->isEnabled());
    }
};

QTEST_MAIN(DialogViewsTest)
#include "dialog_views_qtest.moc"
