// A window moved between displays of pixel ratio 1 and 2 (the offscreen
// platform given two_screens.json) lays its view out again at once: true size
// keeps one image pixel on one device pixel, the fitted view and its caption
// count the new device pixels, and nothing waits for the next resize. The
// client area stays 640 x 480 logical pixels throughout.
#include <QTest>

#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>
#include <QWindow>

#include "main_testkit.h"
#include "main_window.h"
#include "picture_box.h"
#include "seams_recorder.h"

using namespace calmora;
using namespace calmora::testing;

class MainWindowScreenTest : public MainWindowTestBase {
    Q_OBJECT

private slots:
    void initTestCase() {
        // Without the two screens every case here would test one ratio. The
        // offscreen platform adds them in the order of their names.
        const QList<QScreen*> screens = QGuiApplication::screens();
        QCOMPARE(screens.size(), 2);
        QCOMPARE(screens[0]->devicePixelRatio(), 1.0);
        QCOMPARE(screens[1]->devicePixelRatio(), 2.0);
    }

    void trueSizeFollowsTheScreen();
    void screenFitFollowsTheScreen();
    void aZoomedViewFollowsTheScreen();
    void withoutAPictureNothingBreaks();

private:
    // Moves the window to screen index and lets the change arrive; false when
    // the window's size changed on the way (then a resize, not the screen
    // change, would have laid the view out).
    [[nodiscard]] bool MoveTo(int index) {
        const QSize client = window_->ClientArea()->size();
        QScreen* screen = QGuiApplication::screens()[index];
        window_->windowHandle()->setScreen(screen);
        QCoreApplication::processEvents();
        return window_->ClientArea()->size() == client &&
               window_->devicePixelRatioF() == screen->devicePixelRatio();
    }
};

void MainWindowScreenTest::trueSizeFollowsTheScreen() {
    QVERIFY(OpenPattern(QStringLiteral("big.png"), 3000, 2000));
    const int bar = Bar();
    QCOMPARE(window_->Pic()->Surface().size(), QSize(640 - bar, 480 - bar));
    window_->HScroll1()->setValue(101);
    window_->VScroll1()->setValue(57);

    QVERIFY(MoveTo(1));
    QCOMPARE(window_->View().ClientWidth(), 1280);
    QCOMPARE(window_->View().ClientHeight(), 960);
    const QSize view(1280 - 2 * bar, 960 - 2 * bar);
    QCOMPARE(window_->Pic()->Surface().size(), view);
    QCOMPARE(window_->Pic()->geometry(), QRect(0, 0, 640 - bar, 480 - bar));
    QCOMPARE(window_->HScroll1()->maximum(), 3000 - view.width());
    QCOMPARE(window_->VScroll1()->maximum(), 2000 - view.height());
    // The spot stays, and neighbouring device pixels show neighbouring image pixels.
    QCOMPARE(PicColor(*window_, 0, 0), Pattern(101, 57));
    QCOMPARE(PicColor(*window_, 1, 1), Pattern(102, 58));
    QCOMPARE(window_->windowTitle(), QStringLiteral("Calmora   big.png  (3000x2000)"));

    // And back to the ordinary display.
    QVERIFY(MoveTo(0));
    QCOMPARE(window_->View().ClientWidth(), 640);
    QCOMPARE(window_->Pic()->Surface().size(), QSize(640 - bar, 480 - bar));
    QCOMPARE(window_->HScroll1()->maximum(), 3000 - (640 - bar));
    QCOMPARE(PicColor(*window_, 0, 0), Pattern(101, 57));
}

void MainWindowScreenTest::screenFitFollowsTheScreen() {
    QVERIFY(OpenPattern(QStringLiteral("wide.png"), 2560, 1800));
    const QString trueTitle = QStringLiteral("Calmora   wide.png  (2560x1800)");
    window_->MenuAction("PaintSizeScreenFit")->trigger();
    // 640 / 2560 beats 480 / 1800.
    QCOMPARE(window_->windowTitle(), trueTitle + QStringLiteral("     view size (640x450) (25%)"));

    QVERIFY(MoveTo(1));
    QCOMPARE(window_->View().Mode(), kScreenFit);
    QCOMPARE(window_->windowTitle(), trueTitle + QStringLiteral("     view size (1280x900) (50%)"));
    QCOMPARE(window_->Pic()->Surface().size(), QSize(1280, 900));
    QCOMPARE(window_->Pic()->geometry(), QRect(0, 15, 640, 450));
    QCOMPARE(PicColor(*window_, 1, 1), Pattern(2, 2));
    QVERIFY(window_->MenuAction("PaintSizeScreenFit")->isChecked());

    QVERIFY(MoveTo(0));
    QCOMPARE(window_->windowTitle(), trueTitle + QStringLiteral("     view size (640x450) (25%)"));
    QCOMPARE(window_->Pic()->Surface().size(), QSize(640, 450));
}

void MainWindowScreenTest::aZoomedViewFollowsTheScreen() {
    QVERIFY(OpenPattern(QStringLiteral("big.png"), 3000, 2000));
    window_->MenuAction("PaintSizeZoomIn")->trigger();
    QCOMPARE(window_->View().ZoomScale(), 1.5);
    const int bar = Bar();
    QCOMPARE(window_->HScroll1()->maximum(), 4500 - (640 - bar));

    QVERIFY(MoveTo(1));
    QCOMPARE(window_->View().Mode(), kZoomed);
    QCOMPARE(window_->View().ZoomScale(), 1.5);
    QVERIFY(window_->windowTitle().endsWith(QStringLiteral("zoom 150%")));
    // 150 % now counts device pixels: 4500 wide against a view of 1280 less a bar.
    QCOMPARE(window_->HScroll1()->maximum(), 4500 - (1280 - 2 * bar));
    QCOMPARE(window_->Pic()->Surface().size(), QSize(1280 - 2 * bar, 960 - 2 * bar));
}

void MainWindowScreenTest::withoutAPictureNothingBreaks() {
    QVERIFY(MoveTo(1));
    QVERIFY(!window_->HasImage());
    QVERIFY(seams_->messages.isEmpty());
    // The first picture on the dense screen opens straight in device pixels.
    QVERIFY(OpenPattern(QStringLiteral("small.png"), 300, 200));
    QCOMPARE(window_->View().ClientWidth(), 1280);
    QCOMPARE(window_->Pic()->Surface().size(), QSize(300, 200));
    QVERIFY(MoveTo(0));
    QCOMPARE(window_->Pic()->Surface().size(), QSize(300, 200));
    QCOMPARE(window_->Pic()->geometry().size(), QSize(300, 200));
}

QTEST_MAIN(MainWindowScreenTest)
#include "main_window_screen_qtest.moc"
