// The dialog on a small screen whose windows wear a frame (the offscreen
// platform set to 1024 x 600 with window frames): the area layout is made for
// the client area the maximised dialog really gets, all of it fits, and the
// pointer follows the layout rule in whole-image mode.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include "area_layout.h"
#include "dialog_test_host.h"
#include "dialog_qtest.h"
#include "dialog_testing.h"
#include "form_denoise.h"
#include "picture_box.h"
#include "preferences.h"
#include "denoise_run/row_run.h"

using namespace calmora;
using namespace calmora::testing;

class DialogScreenTest : public DialogQTest {
    Q_OBJECT

private slots:
    void screenIsTheSmallOneWithFrames() {
        QCOMPARE(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 1024, 600));
    }

    void viewTakesItsSizeFromTheRealClientArea() {
        OpenDialog d(3000, 2000);
        QVERIFY(d.Load());
        auto* client = d.c<QWidget>("client");
        auto* pic = d.c<PictureBox>("Pic");
        const QRect line = d.c<QWidget>("Line1")->geometry();
        QVERIFY(d.dialog->isMaximized());
        // The view reaches from 6 right of the line to 6 short of the right
        // edge, and down to the bottom edge, of the client area it has.
        QCOMPARE(pic->x(), line.x() + 1 + 6);
        QCOMPARE(pic->x() + pic->width(), client->width() - 6);
        QCOMPARE(pic->y() + pic->height(), client->height());
        QCOMPARE(line.height(), client->height());
        QCOMPARE(d.dialog->State().scrollLimitX, 3000 - pic->width());
        QCOMPARE(d.dialog->State().scrollLimitY, 2000 - pic->height());
    }

    void theWholeAreaLayoutFitsAndThePreviewTakesThePanesSize() {
        OpenDialog d(3000, 2000, 2);
        QVERIFY(d.Load());
        auto* client = d.c<QWidget>("client");
        for (const char* name : {"FrameDenoise", "PicR", "PicNoise", "FrameColourNoise", "Pic"}) {
            const QWidget* w = d.c<QWidget>(name);
            QVERIFY2(client->rect().contains(w->geometry()),
                     qPrintable(QStringLiteral("%1 at %2,%3 %4x%5 in %6x%7")
                                    .arg(QLatin1String(name)).arg(w->x()).arg(w->y())
                                    .arg(w->width()).arg(w->height()).arg(client->width())
                                    .arg(client->height())));
        }
        auto* picR = d.c<PictureBox>("PicR");
        const int paneHeight = FittedPaneHeight(client->height(), picR->y(), 42);
        QVERIFY(paneHeight < kPaneHeight);  // this screen is too low for the design size
        QCOMPARE(picR->size(), QSize(kPaneWidth, paneHeight));
        QCOMPARE(d.c<PictureBox>("PicNoise")->size(), picR->size());
        QCOMPARE(d.dialog->State().area.height, paneHeight);

        // A preview of that area, in the colour-noise mode too, is the full run's.
        d.c<QAbstractButton>("CmdSelectArea")->click();
        d.c<QScrollBar>("HScrollSigma")->setValue(15);
        d.c<QCheckBox>("ChkColourNoise")->click();
        d.c<QPushButton>("CmdPreview")->click();
        const PreviewState& s = d.dialog->State();
        QVERIFY(s.previewValid);
        RunSettings mode = s.settings;
        std::vector<uint8_t> full(d.host->Original().size());
        QCOMPARE(RunFullDenoise(mode, {d.host->Original().data(), full.data(), 3000, 2000}, {}).end,
                 RunEnd::Completed);
        const std::vector<uint8_t> want = BlockOf(full.data(), 3000, 2000, s.scrollX + s.rectLeft + 1,
                                                  s.scrollY + s.rectTop + 1, kPaneWidth, paneHeight);
        QVERIFY(SamePixels(s.areaBitmaps.denoised.bits, want.data(), kPaneWidth, paneHeight));
    }

    // Whole-image mode is scroll mode with nothing to scroll: a press sets
    // the drag pointer and the next press or the release takes it away.
    void pressInWholeImageModeSetsTheDragPointer() {
        OpenDialog d(160, 120);
        QVERIFY(d.Load());
        QVERIFY(!d.dialog->State().areaMode);
        auto* pic = d.c<PictureBox>("Pic");
        QTest::mousePress(pic, Qt::LeftButton, {}, QPoint(40, 30));
        QCOMPARE(pic->cursor().shape(), Qt::SizeAllCursor);
        QTest::mouseMove(pic, QPoint(90, 80));
        QCOMPARE(d.dialog->State().scrollX, 0);  // nothing moves
        QCOMPARE(d.dialog->State().scrollY, 0);
        QTest::mousePress(pic, Qt::LeftButton, {}, QPoint(90, 80));  // a release was lost
        QCOMPARE(pic->cursor().shape(), Qt::ArrowCursor);
        QTest::mousePress(pic, Qt::LeftButton, {}, QPoint(50, 50));
        QTest::mouseRelease(pic, Qt::LeftButton, {}, QPoint(50, 50));
        QCOMPARE(pic->cursor().shape(), Qt::ArrowCursor);
        // Only the preferred button drags.
        QTest::mousePress(pic, Qt::RightButton, {}, QPoint(50, 50));
        QCOMPARE(pic->cursor().shape(), Qt::ArrowCursor);
    }
};

// The offscreen platform with one 1024 x 600 screen and framed windows,
// described in a file in a scratch folder made before the application.
int main(int argc, char** argv) {
    QTemporaryDir scratch;
    if (!scratch.isValid()) return 1;
    const QString config = scratch.filePath(QStringLiteral("screen.json"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) return 1;
    file.write(R"({"windowFrameMargins": true, "screens": [{"name": "Small", "x": 0, "y": 0,
        "width": 1024, "height": 600, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    file.close();
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toLocal8Bit());
    QApplication app(argc, argv);
    DialogScreenTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "dialog_screen_qtest.moc"
