// Zoom levels in the window: the Size menu's zoom items and their keys,
// Ctrl+wheel around the pointer, the spot kept when going back to true size or
// fit, sharp squares above 100 % and averaged pixels below, scrolling with the
// bars, drag, wheel and keys at every level, and a resized window.
#include <QTest>

#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include "main_testkit.h"
#include "main_window.h"
#include "picture_box.h"
#include "preferences.h"
#include "seams_recorder.h"
#include "zoom_geometry.h"

using namespace calmora;
using namespace calmora::testing;

class MainWindowZoomTest : public MainWindowTestBase {
    Q_OBJECT

private slots:
    void zoomInKeepsTheCentreAndDrawsSquares();
    void zoomOutReachesTheFitAndTrueSizeComesBackToTheSpot();
    void belowTrueSizePixelsAreAveraged();
    void ctrlWheelZoomsAroundThePointer();
    void keysZoomAndScroll();
    void barsDragAndWheelScrollAZoomedView();
    void wheelOverTheBars();
    void aSmallPictureCanBeZoomedIn();
    void aResizedWindowKeepsTheZoomAndTheCentre();
    void aTurnWhileZoomedShowsTrueSize();

private:
    [[nodiscard]] bool Checked(const char* name) const {
        return window_->MenuAction(name)->isChecked();
    }
    void Trigger(const char* name) { window_->MenuAction(name)->trigger(); }
    // The image point under the centre of the view on screen.
    [[nodiscard]] ImagePoint CentrePoint() const {
        return PointUnder(window_->View().Mapping(window_->HScroll1()->value(),
                                                  window_->VScroll1()->value()),
                          window_->View().Centre());
    }
    void Wheel(QWidget* over, QPoint at, QPoint delta, Qt::KeyboardModifiers modifiers) {
        QWheelEvent event(QPointF(at), QPointF(over->mapToGlobal(at)), QPoint(), delta,
                          Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(over, &event);
    }
    void Mouse(QEvent::Type type, Qt::MouseButton button, QPoint at) {
        PictureBox* pic = window_->Pic();
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
        QMouseEvent event(type, QPointF(at), QPointF(pic->mapToGlobal(at)), button, held,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(pic, &event);
    }
    void SetBars(int x, int y) {
        window_->HScroll1()->setValue(x);
        window_->VScroll1()->setValue(y);
    }
};

void MainWindowZoomTest::zoomInKeepsTheCentreAndDrawsSquares() {
    QVERIFY(OpenPattern(QStringLiteral("wide.png"), 1280, 900));
    const QString trueTitle = QStringLiteral("Calmora   wide.png  (1280x900)");
    SetBars(100, 50);
    const ImagePoint before = CentrePoint();

    Trigger("PaintSizeZoomIn");
    QCOMPARE(window_->View().Mode(), kZoomed);
    QCOMPARE(window_->windowTitle(), trueTitle + QStringLiteral("     zoom 150%"));
    QVERIFY(!Checked("PaintSizeTrue") && !Checked("PaintSizeScreenFit"));
    const int bar = window_->View().BarThickness();
    QCOMPARE(window_->HScroll1()->maximum(), 1920 - (640 - bar));
    QCOMPARE(window_->VScroll1()->maximum(), 1350 - (480 - bar));
    QVERIFY(std::abs(CentrePoint().x - before.x) <= 0.5);
    QVERIFY(std::abs(CentrePoint().y - before.y) <= 0.5);

    Trigger("PaintSizeZoomIn");
    QCOMPARE(window_->windowTitle(), trueTitle + QStringLiteral("     zoom 200%"));
    QVERIFY(std::abs(CentrePoint().x - before.x) <= 0.5);
    QVERIFY(std::abs(CentrePoint().y - before.y) <= 0.5);
    // Every image pixel is a 2 x 2 square.
    const int x0 = window_->HScroll1()->value(), y0 = window_->VScroll1()->value();
    for (const QPoint at : {QPoint(0, 0), QPoint(1, 0), QPoint(2, 3), QPoint(301, 199)}) {
        QCOMPARE(PicColor(*window_, at.x(), at.y()),
                 Pattern((x0 + at.x()) / 2, (y0 + at.y()) / 2));
    }
    QCOMPARE(window_->Pic()->size(), QSize(640 - bar, 480 - bar));

    // True size comes back on the same spot as before the zoom.
    Trigger("PaintSizeTrue");
    QCOMPARE(window_->View().Mode(), kTrueSize);
    QCOMPARE(window_->windowTitle(), trueTitle);
    QVERIFY(Checked("PaintSizeTrue"));
    QCOMPARE(window_->HScroll1()->value(), 100);
    QCOMPARE(window_->VScroll1()->value(), 50);
    QCOMPARE(PicColor(*window_, 0, 0), Pattern(100, 50));
    QCOMPARE(window_->HScroll1()->maximum(), 1280 - (640 - bar));
    QVERIFY(seams_->messages.isEmpty());
}

void MainWindowZoomTest::zoomOutReachesTheFitAndTrueSizeComesBackToTheSpot() {
    QVERIFY(OpenPattern(QStringLiteral("wide.png"), 1280, 900));
    const QString trueTitle = QStringLiteral("Calmora   wide.png  (1280x900)");
    SetBars(400, 300);
    Trigger("PaintSizeZoomIn");
    Trigger("PaintSizeZoomIn");
    const ImagePoint spot = CentrePoint();
    // 200 %, 150 %, true size, two thirds, then the fit at a half.
    Trigger("PaintSizeZoomOut");
    Trigger("PaintSizeZoomOut");
    QCOMPARE(window_->View().Mode(), kTrueSize);
    Trigger("PaintSizeZoomOut");
    QCOMPARE(window_->windowTitle(), trueTitle + QStringLiteral("     zoom 66.7%"));
    Trigger("PaintSizeZoomOut");
    QCOMPARE(window_->View().Mode(), kScreenFit);
    QCOMPARE(window_->windowTitle(), trueTitle + QStringLiteral("     view size (640x450) (50%)"));
    QVERIFY(Checked("PaintSizeScreenFit") && !Checked("PaintSizeTrue"));
    QCOMPARE(window_->Pic()->geometry(), QRect(0, 15, 640, 450));
    QCOMPARE(PicColor(*window_, 100, 200), Pattern(200, 400));

    // Fit, then true size: the detail looked at before is in the middle again.
    Trigger("PaintSizeTrue");
    QCOMPARE(window_->windowTitle(), trueTitle);
    QVERIFY(std::abs(CentrePoint().x - spot.x) <= 1.0);
    QVERIFY(std::abs(CentrePoint().y - spot.y) <= 1.0);

    // Out of the fit goes below it; the smallest level is as far as it goes.
    Trigger("PaintSizeScreenFit");
    Trigger("PaintSizeZoomOut");
    QCOMPARE(window_->windowTitle(), trueTitle + QStringLiteral("     zoom 33.3%"));
    QVERIFY(window_->HScroll1()->isHidden() && window_->VScroll1()->isHidden());
    for (int n = 0; n < 6; ++n) Trigger("PaintSizeZoomOut");
    QCOMPARE(window_->windowTitle(), trueTitle + QStringLiteral("     zoom 6.2%"));
    QCOMPARE(window_->Pic()->size(), QSize(80, 56));
    QVERIFY(seams_->messages.isEmpty());
}

void MainWindowZoomTest::belowTrueSizePixelsAreAveraged() {
    QVERIFY(OpenPattern(QStringLiteral("wide.png"), 1280, 900));
    Trigger("PaintSizeZoomOut");  // two thirds: 853 x 600
    Trigger("PaintSizeScreenFit");
    Trigger("PaintSizeZoomOut");  // a third: 427 x 300, centred
    QCOMPARE(window_->Pic()->size(), QSize(427, 300));
    // Screen pixel (10, 20) covers image pixels 30..32 x 60..62: their average.
    int r = 0, g = 0, b = 0;
    for (int y = 60; y < 63; ++y)
        for (int x = 30; x < 33; ++x) {
            r += qRed(Pattern(x, y));
            g += qGreen(Pattern(x, y));
            b += qBlue(Pattern(x, y));
        }
    const QRgb average = qRgb((r + 4) / 9, (g + 4) / 9, (b + 4) / 9);
    QVERIFY(Near(PicColor(*window_, 10, 20), average, 1));
}

void MainWindowZoomTest::ctrlWheelZoomsAroundThePointer() {
    QVERIFY(OpenPattern(QStringLiteral("wide.png"), 1280, 900));
    SetBars(200, 100);
    PictureBox* pic = window_->Pic();
    const QPoint at(150, 80);
    const QRgb under = PicColor(*window_, at.x(), at.y());
    Wheel(pic, at, QPoint(0, 120), Qt::ControlModifier);
    QCOMPARE(window_->View().Mode(), kZoomed);
    QCOMPARE(window_->View().ZoomScale(), 1.5);
    // The image pixel under the pointer is still under it.
    QCOMPARE(PicColor(*window_, at.x(), at.y()), under);
    Wheel(pic, at, QPoint(0, 240), Qt::ControlModifier);
    QCOMPARE(window_->View().ZoomScale(), 3.0);
    QCOMPARE(PicColor(*window_, at.x(), at.y()), under);
    // Back, notch by notch, to true size where it started.
    Wheel(pic, at, QPoint(0, -360), Qt::ControlModifier);
    QCOMPARE(window_->View().Mode(), kTrueSize);
    QCOMPARE(window_->HScroll1()->value(), 200);
    QCOMPARE(window_->VScroll1()->value(), 100);
    // Without Ctrl the wheel scrolls as before.
    Wheel(pic, at, QPoint(0, -120), Qt::NoModifier);
    QCOMPARE(window_->View().Mode(), kTrueSize);
    QCOMPARE(window_->VScroll1()->value(), 100 + window_->VScroll1()->pageStep());
}

void MainWindowZoomTest::keysZoomAndScroll() {
    QVERIFY(OpenPattern(QStringLiteral("wide.png"), 1280, 900));
    QCOMPARE(window_->MenuAction("PaintSizeZoomIn")->shortcut(), QKeySequence(QKeySequence::ZoomIn));
    QCOMPARE(window_->MenuAction("PaintSizeZoomOut")->shortcut(), QKeySequence(QKeySequence::ZoomOut));
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    QTest::keyClick(window_.get(), Qt::Key_Equal, Qt::ControlModifier);
    QCOMPARE(window_->View().ZoomScale(), 1.5);
    QTest::keyClick(window_.get(), Qt::Key_Minus, Qt::ControlModifier);
    QCOMPARE(window_->View().Mode(), kTrueSize);
    QTest::keyClick(window_.get(), Qt::Key_Minus, Qt::ControlModifier);
    QCOMPARE(window_->View().Mode(), kZoomed);
    QTest::keyClick(window_.get(), Qt::Key_0, Qt::ControlModifier);
    QCOMPARE(window_->View().Mode(), kTrueSize);
    SetBars(0, 0);

    QScrollBar* h = window_->HScroll1();
    QScrollBar* v = window_->VScroll1();
    QTest::keyClick(window_.get(), Qt::Key_Right);
    QCOMPARE(h->value(), h->singleStep());
    QCOMPARE(PicColor(*window_, 0, 0), Pattern(h->singleStep(), 0));
    QTest::keyClick(window_.get(), Qt::Key_Left);
    QTest::keyClick(window_.get(), Qt::Key_Left);
    QCOMPARE(h->value(), 0);
    QTest::keyClick(window_.get(), Qt::Key_Down);
    QCOMPARE(v->value(), v->singleStep());
    QTest::keyClick(window_.get(), Qt::Key_PageDown);
    QCOMPARE(v->value(), v->maximum());  // a page is most of the view: past the end, held
    QTest::keyClick(window_.get(), Qt::Key_PageUp);
    QCOMPARE(v->value(), std::max(0, v->maximum() - (4 * v->pageStep() - v->singleStep())));
    QCOMPARE(PicColor(*window_, 0, 0), Pattern(0, v->value()));
}

void MainWindowZoomTest::barsDragAndWheelScrollAZoomedView() {
    QVERIFY(OpenPattern(QStringLiteral("wide.png"), 1280, 900));
    Trigger("PaintSizeZoomIn");
    Trigger("PaintSizeZoomIn");  // 200 %
    QScrollBar* h = window_->HScroll1();
    QScrollBar* v = window_->VScroll1();
    SetBars(h->maximum(), v->maximum());
    // The bottom-right pixel of the picture is the bottom-right square.
    const QSize size = window_->Pic()->size();
    QCOMPARE(PicColor(*window_, size.width() - 1, size.height() - 1), Pattern(1279, 899));
    SetBars(0, 0);
    QCOMPARE(PicColor(*window_, 0, 0), Pattern(0, 0));

    // Drag with the preferred (left) button: half the box is half the range.
    Mouse(QEvent::MouseButtonPress, Qt::LeftButton, {100, 100});
    QCOMPARE(window_->PicPointer(), kPointerSizeAll);
    Mouse(QEvent::MouseMove, Qt::LeftButton, {100 + size.width() / 2, 100});
    QCOMPARE(h->value(), qRound(double(size.width() / 2) / size.width() * h->maximum()));
    Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, {100 + size.width() / 2, 100});
    QCOMPARE(PicColor(*window_, 0, 0), Pattern(h->value() / 2, 0));

    Wheel(window_->Pic(), {50, 50}, QPoint(0, -120), Qt::NoModifier);
    QCOMPARE(v->value(), v->pageStep());
    QCOMPARE(PicColor(*window_, 0, 1), Pattern(h->value() / 2, (v->value() + 1) / 2));
}

void MainWindowZoomTest::wheelOverTheBars() {
    QVERIFY(OpenPattern(QStringLiteral("wide.png"), 1280, 900));
    QScrollBar* h = window_->HScroll1();
    QScrollBar* v = window_->VScroll1();
    QVERIFY(!h->isHidden() && !v->isHidden());
    // Over the vertical bar the same step as over the picture.
    Wheel(v, {v->width() / 2, v->height() / 2}, QPoint(0, -120), Qt::NoModifier);
    QCOMPARE(v->value(), v->pageStep());
    QCOMPARE(PicColor(*window_, 0, 0), Pattern(0, v->pageStep()));
    // Over the horizontal bar the wheel scrolls sideways, forward to the left.
    Wheel(h, {h->width() / 2, h->height() / 2}, QPoint(0, -120), Qt::NoModifier);
    QCOMPARE(h->value(), h->pageStep());
    QCOMPARE(v->value(), v->pageStep());
    QCOMPARE(PicColor(*window_, 0, 0), Pattern(h->pageStep(), v->pageStep()));
    Wheel(h, {h->width() / 2, h->height() / 2}, QPoint(0, 120), Qt::NoModifier);
    QCOMPARE(h->value(), 0);
    // A disabled bar stays where it is.
    h->setEnabled(false);
    Wheel(h, {h->width() / 2, h->height() / 2}, QPoint(0, -120), Qt::NoModifier);
    QCOMPARE(h->value(), 0);
}

void MainWindowZoomTest::aSmallPictureCanBeZoomedIn() {
    QVERIFY(OpenPattern(QStringLiteral("small.png"), 200, 150));
    QAction* sizeMenu = window_->MenuAction("PaintSize");
    QVERIFY(!sizeMenu->isVisible());
    Trigger("PaintSizeZoomIn");
    Trigger("PaintSizeZoomIn");
    Trigger("PaintSizeZoomIn");  // 300 %: 600 x 450, still fits
    QCOMPARE(window_->windowTitle(), QStringLiteral("Calmora   small.png  (200x150)     zoom 300%"));
    QCOMPARE(window_->Pic()->geometry(), QRect(20, 15, 600, 450));
    QVERIFY(sizeMenu->isVisible());
    QCOMPARE(PicColor(*window_, 599, 449), Pattern(199, 149));
    // The zoomed title has its Italian twin.
    CurrentPreferences().language = Language::Italian;
    window_->SwapCaptionLanguage();
    QCOMPARE(window_->windowTitle(),
             QStringLiteral("Calmora   small.png  (200x150)     ingrandimento 300%"));
    CurrentPreferences().language = Language::English;
    window_->SwapCaptionLanguage();
    QCOMPARE(window_->windowTitle(), QStringLiteral("Calmora   small.png  (200x150)     zoom 300%"));
    Trigger("PaintSizeZoomIn");  // 400 %: bars
    QVERIFY(!window_->HScroll1()->isHidden() && !window_->VScroll1()->isHidden());
    Trigger("PaintSizeTrue");
    QCOMPARE(window_->Pic()->geometry(), QRect(220, 165, 200, 150));
    QVERIFY(!sizeMenu->isVisible());
    QVERIFY(window_->HScroll1()->isHidden() && window_->VScroll1()->isHidden());
}

void MainWindowZoomTest::aResizedWindowKeepsTheZoomAndTheCentre() {
    QVERIFY(OpenPattern(QStringLiteral("wide.png"), 1280, 900));
    SetBars(300, 200);
    Trigger("PaintSizeZoomIn");
    Trigger("PaintSizeZoomIn");
    const ImagePoint before = CentrePoint();
    QVERIFY(ShowWithClientSize(*window_, 800, 600));
    QCOMPARE(window_->View().Mode(), kZoomed);
    QCOMPARE(window_->View().ZoomScale(), 2.0);
    const int bar = window_->View().BarThickness();
    QCOMPARE(window_->HScroll1()->maximum(), 2560 - (800 - bar));
    QVERIFY(std::abs(CentrePoint().x - before.x) <= 0.5);
    QVERIFY(std::abs(CentrePoint().y - before.y) <= 0.5);
    Trigger("PaintSizeTrue");
    QCOMPARE(window_->HScroll1()->maximum(), 1280 - (800 - bar));
    QVERIFY(std::abs(CentrePoint().x - before.x) <= 1.0);
    QVERIFY(seams_->messages.isEmpty());
}

void MainWindowZoomTest::aTurnWhileZoomedShowsTrueSize() {
    QVERIFY(OpenPattern(QStringLiteral("wide.png"), 1280, 900));
    Trigger("PaintSizeZoomIn");
    QCOMPARE(window_->View().Mode(), kZoomed);
    window_->Ruota90_Click();
    QCOMPARE(window_->View().Mode(), kTrueSize);
    QVERIFY(Checked("PaintSizeTrue"));
    QCOMPARE(window_->windowTitle(), QStringLiteral("Calmora   wide.png  (1280x900)  90° rotated"));
    QCOMPARE(window_->Pic()->size().height(), 480 - window_->View().BarThickness());
    QVERIFY(seams_->messages.isEmpty());
}

QTEST_MAIN(MainWindowZoomTest)
#include "main_window_zoom_qtest.moc"
