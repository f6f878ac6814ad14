// The main view on a display of device pixel ratio 2 (run with
// QT_SCALE_FACTOR=2): true size puts one image pixel on one device pixel,
// screen fit and its caption count device pixels, a zoom level's percentage is
// device pixels per image pixel, and Ctrl+wheel keeps the device pixel under
// the pointer. The window's client area is 640 x 480 logical pixels, 1280 x 960
// device pixels.
#include <QTest>

#include <QScrollBar>
#include <QWheelEvent>

#include "main_testkit.h"
#include "main_window.h"
#include "picture_box.h"
#include "seams_recorder.h"
#include "zoom_geometry.h"

using namespace calmora;
using namespace calmora::testing;

class MainWindowHiDpiTest : public MainWindowTestBase {
    Q_OBJECT

private slots:
    void initTestCase() {
        // Without the scale factor every case here would test ratio 1.
        QWidget probe;
        QCOMPARE(probe.devicePixelRatioF(), 2.0);
    }

    void trueSizeShowsOneImagePixelPerDevicePixel();
    void screenFitCountsDevicePixels();
    void zoomLevelsCountDevicePixels();
    void ctrlWheelKeepsThePixelUnderThePointer();

};

void MainWindowHiDpiTest::trueSizeShowsOneImagePixelPerDevicePixel() {
    QVERIFY(OpenPattern(QStringLiteral("big.png"), 3000, 2000));
    QCOMPARE(window_->windowTitle(), QStringLiteral("Calmora   big.png  (3000x2000)"));
    const int bar = Bar();
    // The view is the client area less the bars, in device pixels.
    const QSize view(1280 - 2 * bar, 960 - 2 * bar);
    QCOMPARE(window_->View().ClientWidth(), 1280);
    QCOMPARE(window_->View().ClientHeight(), 960);
    QCOMPARE(window_->View().Layout().viewWidth, view.width());
    QCOMPARE(window_->View().Layout().viewHeight, view.height());
    // The widget stands in logical pixels, its surface holds the device block.
    QCOMPARE(window_->Pic()->geometry(), QRect(0, 0, 640 - bar, 480 - bar));
    QCOMPARE(window_->Pic()->Surface().size(), view);
    QVERIFY(!window_->HScroll1()->isHidden() && !window_->VScroll1()->isHidden());
    QCOMPARE(window_->HScroll1()->maximum(), 3000 - view.width());
    QCOMPARE(window_->VScroll1()->maximum(), 2000 - view.height());
    // Neighbouring device pixels show neighbouring image pixels, not one image
    // pixel blown up to 2 x 2.
    for (const QPoint p : {QPoint(0, 0), QPoint(1, 0), QPoint(0, 1), QPoint(1, 1),
                           QPoint(641, 333), QPoint(view.width() - 1, view.height() - 1)}) {
        QCOMPARE(PicColor(*window_, p.x(), p.y()), Pattern(p.x(), p.y()));
    }
    // The bars count device pixels too.
    window_->HScroll1()->setValue(101);
    window_->VScroll1()->setValue(57);
    QCOMPARE(PicColor(*window_, 0, 0), Pattern(101, 57));
    QCOMPARE(PicColor(*window_, 3, 2), Pattern(104, 59));
}

void MainWindowHiDpiTest::screenFitCountsDevicePixels() {
    QVERIFY(OpenPattern(QStringLiteral("wide.png"), 2560, 1800));
    const QString trueTitle = QStringLiteral("Calmora   wide.png  (2560x1800)");
    window_->MenuAction("PaintSizeScreenFit")->trigger();
    // 1280 / 2560 = 0.5 beats 960 / 1800: 1280 x 900 device pixels, centred
    // 30 down; in logical pixels 640 x 450 at 15.
    QCOMPARE(window_->windowTitle(),
             trueTitle + QStringLiteral("     view size (1280x900) (50%)"));
    QCOMPARE(window_->View().Mode(), kScreenFit);
    QCOMPARE(window_->Pic()->geometry(), QRect(0, 15, 640, 450));
    QCOMPARE(window_->Pic()->Surface().size(), QSize(1280, 900));
    // Nearest neighbour at half size: every other image pixel, on every device pixel.
    QCOMPARE(PicColor(*window_, 0, 0), Pattern(0, 0));
    QCOMPARE(PicColor(*window_, 1, 1), Pattern(2, 2));
    QCOMPARE(PicColor(*window_, 100, 200), Pattern(200, 400));
    QCOMPARE(PicColor(*window_, 1279, 899), Pattern(2558, 1798));

    // Back to true size: the device-pixel view again.
    window_->MenuAction("PaintSizeTrue")->trigger();
    QCOMPARE(window_->windowTitle(), trueTitle);
    QCOMPARE(window_->Pic()->Surface().size(),
             QSize(1280 - 2 * Bar(), 960 - 2 * Bar()));

    // A fit whose sides are not whole at ratio 1: 1280 / 3000 beats 960 / 2000.
    QVERIFY(OpenPattern(QStringLiteral("odd.png"), 3000, 2000));
    window_->MenuAction("PaintSizeScreenFit")->trigger();
    QCOMPARE(window_->windowTitle(),
             QStringLiteral("Calmora   odd.png  (3000x2000)     view size (1280x853) (43%)"));
    // The widget covers every device pixel of the fitted picture.
    const QRect pic = window_->Pic()->geometry();
    const FitGeometry& fit = window_->View().Fit();
    QVERIFY(pic.left() * 2 <= fit.fitLeft && pic.top() * 2 <= fit.fitTop);
    QVERIFY((pic.left() + pic.width()) * 2 >= fit.fitLeft + fit.fitWidth);
    QVERIFY((pic.top() + pic.height()) * 2 >= fit.fitTop + fit.fitHeight);
}

void MainWindowHiDpiTest::zoomLevelsCountDevicePixels() {
    QVERIFY(OpenPattern(QStringLiteral("big.png"), 3000, 2000));
    window_->MenuAction("PaintSizeZoomIn")->trigger();
    QCOMPARE(window_->View().Mode(), kZoomed);
    QCOMPARE(window_->View().ZoomScale(), 1.5);
    QVERIFY(window_->windowTitle().endsWith(QStringLiteral("zoom 150%")));
    const int bar = Bar();
    // 150 % of 3000 is 4500 device pixels wide, against a view of 1280 less a bar.
    QCOMPARE(window_->HScroll1()->maximum(), 4500 - (1280 - 2 * bar));
    QCOMPARE(window_->VScroll1()->maximum(), 3000 - (960 - 2 * bar));
    QCOMPARE(window_->Pic()->Surface().size(), QSize(1280 - 2 * bar, 960 - 2 * bar));
    QCOMPARE(window_->Pic()->geometry(), QRect(0, 0, 640 - bar, 480 - bar));
    // The bars stand in logical pixels at the client's edges.
    QCOMPARE(window_->VScroll1()->geometry(), QRect(640 - bar, 0, bar, 480 - bar));
    QCOMPARE(window_->HScroll1()->geometry(), QRect(0, 480 - bar, 640 - bar, bar));

    // At 300 % three device pixels in a row show one image pixel.
    window_->MenuAction("PaintSizeZoomIn")->trigger();
    window_->MenuAction("PaintSizeZoomIn")->trigger();
    QCOMPARE(window_->View().ZoomScale(), 3.0);
    window_->HScroll1()->setValue(0);
    window_->VScroll1()->setValue(0);
    QCOMPARE(PicColor(*window_, 0, 0), Pattern(0, 0));
    QCOMPARE(PicColor(*window_, 2, 2), Pattern(0, 0));
    QCOMPARE(PicColor(*window_, 3, 0), Pattern(1, 0));
    QCOMPARE(PicColor(*window_, 0, 3), Pattern(0, 1));
}

void MainWindowHiDpiTest::ctrlWheelKeepsThePixelUnderThePointer() {
    QVERIFY(OpenPattern(QStringLiteral("big.png"), 3000, 2000));
    window_->HScroll1()->setValue(400);
    window_->VScroll1()->setValue(300);
    PictureBox* pic = window_->Pic();
    // The pointer at logical (150, 80) of Pic is device pixel (300, 160).
    const QPoint at(150, 80);
    const QRgb under = PicColor(*window_, 300, 160);
    QCOMPARE(under, Pattern(700, 460));
    QWheelEvent event(QPointF(at), QPointF(pic->mapToGlobal(at)), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(pic, &event);
    QCOMPARE(window_->View().ZoomScale(), 1.5);
    QCOMPARE(PicColor(*window_, 300, 160), under);
    const ImagePoint point = PointUnder(
        window_->View().Mapping(window_->HScroll1()->value(), window_->VScroll1()->value()),
        ClientSpot{300.5, 160.5});
    QCOMPARE(int(point.x), 700);
    QCOMPARE(int(point.y), 460);
}

QTEST_MAIN(MainWindowHiDpiTest)
#include "main_window_hidpi_qtest.moc"
