// The main view: screen fit and back, drag scrolling with the chosen button,
// ranges beyond 16 bits, and the view following a resized window.
#include <QTest>

#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

#include "main_testkit.h"
#include "main_window.h"
#include "picture_box.h"
#include "preferences.h"
#include "seams_recorder.h"

using namespace calmora;
using namespace calmora::testing;

class MainWindowViewTest : public MainWindowTestBase {
    Q_OBJECT

private slots:
    void init();

    void screenFitAndBack();
    void eventsDuringScreenFit();
    void dragScrollsWithThePreferredButton_data();
    void dragScrollsWithThePreferredButton();
    void wideImageScrollsPast16Bits();
    void viewFollowsTheWindowSize();
    void wheelOverThePictureScrollsDown();

private:
    void Mouse(QEvent::Type type, Qt::MouseButton button, QPoint at);
    [[nodiscard]] bool Checked(const char* name) const {
        return window_->MenuAction(name)->isChecked();
    }

    Qt::MouseButtons held_ = Qt::NoButton;
};

void MainWindowViewTest::init() {
    QVERIFY(StartWindow());
    held_ = Qt::NoButton;
}

void MainWindowViewTest::Mouse(QEvent::Type type, Qt::MouseButton button, QPoint at) {
    if (type == QEvent::MouseButtonPress) held_ |= button;
    if (type == QEvent::MouseButtonRelease) held_ &= ~button;
    PictureBox* pic = window_->Pic();
    QMouseEvent event(type, QPointF(at), QPointF(pic->mapToGlobal(at)), button, held_,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(pic, &event);
}

void MainWindowViewTest::screenFitAndBack() {
    QVERIFY(OpenPattern(QStringLiteral("wide.png"), 1280, 900));
    const QString trueTitle = QStringLiteral("Calmora   wide.png  (1280x900)");
    QCOMPARE(window_->windowTitle(), trueTitle);

    // Through the menu items, as a click on them reaches the window.
    QAction* screenFit = window_->MenuAction("PaintSizeScreenFit");
    QAction* trueSize = window_->MenuAction("PaintSizeTrue");
    screenFit->trigger();
    // 640 / 1280 = 0.5 beats 480 / 900: 640 x 450, centred vertically.
    QCOMPARE(window_->windowTitle(), trueTitle + QStringLiteral("     view size (640x450) (50%)"));
    QCOMPARE(window_->Pic()->geometry(), QRect(0, 15, 640, 450));
    QVERIFY(window_->HScroll1()->isHidden() && window_->VScroll1()->isHidden());
    QVERIFY(Checked("PaintSizeScreenFit") && !Checked("PaintSizeTrue"));
    QCOMPARE(window_->View().Mode(), kScreenFit);
    // Nearest neighbour at half size: every other pixel.
    QCOMPARE(PicColor(*window_, 0, 0), PatternColor(PixelForm::Rgb24, 0, 0));
    QCOMPARE(PicColor(*window_, 100, 200), PatternColor(PixelForm::Rgb24, 200, 400));
    QCOMPARE(PicColor(*window_, 639, 449), PatternColor(PixelForm::Rgb24, 1278, 898));
    QCOMPARE(window_->WindowPointer(), kPointerDefault);
    QVERIFY(window_->MenuAction("FileMenu")->isEnabled());

    // A second "screen fit" changes nothing; going back and forth reuses the picture.
    const uint8_t* fitted = window_->Document().fitBitmap.bits;
    screenFit->trigger();
    QCOMPARE(window_->Document().fitBitmap.bits, fitted);
    QVERIFY(Checked("PaintSizeScreenFit") && !Checked("PaintSizeTrue"));

    window_->HScroll1()->setValue(7);  // scrolled while hidden, seen on return
    trueSize->trigger();
    QCOMPARE(window_->windowTitle(), trueTitle);
    QVERIFY(Checked("PaintSizeTrue") && !Checked("PaintSizeScreenFit"));
    QVERIFY(!window_->HScroll1()->isHidden() && !window_->VScroll1()->isHidden());
    QCOMPARE(window_->Pic()->pos(), QPoint(0, 0));
    QCOMPARE(PicColor(*window_, 0, 0), PatternColor(PixelForm::Rgb24, 7, 0));
    QVERIFY(window_->HScroll1()->isEnabled() && window_->VScroll1()->isEnabled());
    trueSize->trigger();
    QVERIFY(Checked("PaintSizeTrue") && !Checked("PaintSizeScreenFit"));
    QCOMPARE(window_->View().Mode(), kTrueSize);

    screenFit->trigger();
    QCOMPARE(window_->Document().fitBitmap.bits, fitted);
    QCOMPARE(PicColor(*window_, 100, 200), PatternColor(PixelForm::Rgb24, 200, 400));
}

// Screen fit lets pending events run half way; whatever arrives then must
// neither pull the image from under it nor leave the Size marks wrong.
void MainWindowViewTest::eventsDuringScreenFit() {
    QVERIFY(OpenPattern(QStringLiteral("busy.png"), 1280, 900));
    bool closed = true;
    QTimer::singleShot(0, window_.get(), [&] { closed = window_->close(); });
    window_->PaintSizeScreenFit_Click();
    QVERIFY2(!closed, "closing waits for the fitted view");
    QVERIFY(window_->HasImage());
    QCOMPARE(window_->View().Mode(), kScreenFit);
    QCOMPARE(PicColor(*window_, 100, 200), PatternColor(PixelForm::Rgb24, 200, 400));

    // A window resized meanwhile: the fitted view is made for the new size
    // and the marks name it, so that "true" still brings the true size back.
    window_->PaintSizeTrue_Click();
    QTimer::singleShot(0, window_.get(), [&] { QVERIFY(ShowWithClientSize(*window_, 800, 600)); });
    window_->PaintSizeScreenFit_Click();
    QVERIFY(Checked("PaintSizeScreenFit") && !Checked("PaintSizeTrue"));
    QVERIFY2(window_->windowTitle().endsWith(QStringLiteral("view size (800x562) (62%)")),
             qPrintable(window_->windowTitle()));
    QCOMPARE(window_->Pic()->geometry(), QRect(0, 19, 800, 562));
    window_->PaintSizeTrue_Click();
    QCOMPARE(window_->windowTitle(), QStringLiteral("Calmora   busy.png  (1280x900)"));
    QCOMPARE(window_->View().Mode(), kTrueSize);

    QVERIFY(seams_->messages.isEmpty());
    QVERIFY(window_->close());
}

void MainWindowViewTest::dragScrollsWithThePreferredButton_data() {
    QTest::addColumn<int>("preference");
    QTest::newRow("left button") << 1;
    QTest::newRow("right button") << 2;
}

void MainWindowViewTest::dragScrollsWithThePreferredButton() {
    QFETCH(int, preference);
    CurrentPreferences().scrollButton = static_cast<int16_t>(preference);
    const Qt::MouseButton drag = preference == 1 ? Qt::LeftButton : Qt::RightButton;
    const Qt::MouseButton other = preference == 1 ? Qt::RightButton : Qt::LeftButton;
    QVERIFY(OpenPattern(QStringLiteral("big.png"), 1500, 1100));
    QScrollBar* h = window_->HScroll1();
    QScrollBar* v = window_->VScroll1();
    const QSize view = window_->Pic()->size();

    // The other button does not drag.
    Mouse(QEvent::MouseButtonPress, other, QPoint(100, 100));
    QCOMPARE(window_->PicPointer(), kPointerDefault);
    Mouse(QEvent::MouseMove, Qt::NoButton, QPoint(300, 300));
    QCOMPARE(h->value(), 0);
    QCOMPARE(v->value(), 0);
    Mouse(QEvent::MouseButtonRelease, other, QPoint(300, 300));

    // A quarter of the picture's width moves a quarter of the range.
    Mouse(QEvent::MouseButtonPress, drag, QPoint(0, 0));
    QCOMPARE(window_->PicPointer(), kPointerSizeAll);
    Mouse(QEvent::MouseMove, Qt::NoButton, QPoint(view.width() / 4, 0));
    QVERIFY(qAbs(h->value() - h->maximum() / 4) <= 2);
    QCOMPARE(v->value(), 0);
    QCOMPARE(PicColor(*window_, 0, 0), PatternColor(PixelForm::Rgb24, h->value(), 0));

    // Far past the bottom-right corner: exactly at the ends, and the last
    // pixels of the image in the view's last pixels.
    Mouse(QEvent::MouseMove, Qt::NoButton, QPoint(view.width() * 3, view.height() * 3));
    QCOMPARE(h->value(), h->maximum());
    QCOMPARE(v->value(), v->maximum());
    QCOMPARE(PicColor(*window_, view.width() - 1, view.height() - 1),
             PatternColor(PixelForm::Rgb24, 1499, 1099));
    // Further on at the end changes nothing.
    Mouse(QEvent::MouseMove, Qt::NoButton, QPoint(view.width() * 4, view.height() * 4));
    QCOMPARE(h->value(), h->maximum());

    // And back past the top-left corner: exactly at 0.
    Mouse(QEvent::MouseMove, Qt::NoButton, QPoint(-view.width() * 5, -view.height() * 5));
    QCOMPARE(h->value(), 0);
    QCOMPARE(v->value(), 0);
    QCOMPARE(PicColor(*window_, 0, 0), PatternColor(PixelForm::Rgb24, 0, 0));

    Mouse(QEvent::MouseButtonRelease, drag, QPoint(0, 0));
    QCOMPARE(window_->PicPointer(), kPointerDefault);
    // Without a button down nothing scrolls.
    Mouse(QEvent::MouseMove, Qt::NoButton, QPoint(view.width(), view.height()));
    QCOMPARE(h->value(), 0);

    // A fitted view has no bars and cannot be dragged.
    window_->PaintSizeScreenFit_Click();
    Mouse(QEvent::MouseButtonPress, drag, QPoint(10, 10));
    QCOMPARE(window_->PicPointer(), kPointerDefault);
}

void MainWindowViewTest::wideImageScrollsPast16Bits() {
    QVERIFY(OpenPattern(QStringLiteral("strip.png"), 40000, 60));
    QScrollBar* h = window_->HScroll1();
    QVERIFY(!h->isHidden());
    QVERIFY(window_->VScroll1()->isHidden());
    QCOMPARE(h->maximum(), 40000 - 640);
    QVERIFY(h->maximum() > 32767);

    CurrentPreferences().scrollButton = 1;
    Mouse(QEvent::MouseButtonPress, Qt::LeftButton, QPoint(0, 5));
    Mouse(QEvent::MouseMove, Qt::NoButton, QPoint(640, 5));
    QCOMPARE(h->value(), h->maximum());
    QCOMPARE(PicColor(*window_, 639, 59), PatternColor(PixelForm::Rgb24, 39999, 59));
    Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, QPoint(640, 5));

    h->setValue(33000);
    QCOMPARE(PicColor(*window_, 0, 0), PatternColor(PixelForm::Rgb24, 33000, 0));
}

void MainWindowViewTest::viewFollowsTheWindowSize() {
    QVERIFY(OpenPattern(QStringLiteral("photo.png"), 1000, 800));
    window_->HScroll1()->setValue(100);
    window_->VScroll1()->setValue(50);
    QCOMPARE(PicColor(*window_, 0, 0), PatternColor(PixelForm::Rgb24, 100, 50));

    QVERIFY(ShowWithClientSize(*window_, 800, 600));
    QCOMPARE(window_->HScroll1()->maximum(), 1000 - window_->Pic()->width());
    QCOMPARE(window_->Pic()->width() + window_->VScroll1()->width(), 800);
    QCOMPARE(window_->HScroll1()->value(), 100);
    QCOMPARE(PicColor(*window_, 0, 0), PatternColor(PixelForm::Rgb24, 100, 50));

    // Fitted, the picture and its title follow the new size.
    window_->PaintSizeScreenFit_Click();
    QVERIFY(window_->windowTitle().endsWith(QStringLiteral("view size (750x600) (75%)")));
    QVERIFY(ShowWithClientSize(*window_, 500, 400));
    QVERIFY2(window_->windowTitle().endsWith(QStringLiteral("view size (500x400) (50%)")),
             qPrintable(window_->windowTitle()));
    QCOMPARE(window_->Pic()->size(), QSize(500, 400));
    QCOMPARE(PicColor(*window_, 499, 399), PatternColor(PixelForm::Rgb24, 998, 798));

    // Large enough for the whole image: no bars, nothing to fit.
    window_->PaintSizeTrue_Click();
    QVERIFY(ShowWithClientSize(*window_, 1100, 900));
    QVERIFY(window_->HScroll1()->isHidden() && window_->VScroll1()->isHidden());
    QVERIFY(!window_->MenuAction("PaintSize")->isVisible());
    QCOMPARE(window_->Pic()->geometry(), QRect(50, 50, 1000, 800));
    QCOMPARE(PicColor(*window_, 0, 0), PatternColor(PixelForm::Rgb24, 0, 0));
    QVERIFY(seams_->messages.isEmpty());
}

void MainWindowViewTest::wheelOverThePictureScrollsDown() {
    QVERIFY(OpenPattern(QStringLiteral("tall.png"), 600, 2000));
    QScrollBar* v = window_->VScroll1();
    QVERIFY(!v->isHidden());
    PictureBox* pic = window_->Pic();
    const auto turn = [pic](int delta) {
        const QPoint at(pic->width() / 2, pic->height() / 2);
        QWheelEvent event(QPointF(at), QPointF(pic->mapToGlobal(at)), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(pic, &event);
    };
    turn(-120);  // towards the user: down the picture
    QCOMPARE(v->value(), v->pageStep());
    QCOMPARE(PicColor(*window_, 0, 0), PatternColor(PixelForm::Rgb24, 0, v->pageStep()));
    turn(120);
    QCOMPARE(v->value(), 0);
    QCOMPARE(PicColor(*window_, 0, 0), PatternColor(PixelForm::Rgb24, 0, 0));
}

QTEST_MAIN(MainWindowViewTest)
#include "main_window_view_qtest.moc"
