// Wheel turns over a window laid out like the main window: a picture, a
// vertical scroll bar, a view-ready flag and a redraw.
#include <QTest>

#include <QApplication>
#include <QScrollBar>
#include <QWheelEvent>
#include <QWidget>

#include "mouse_wheel.h"

using namespace calmora;

namespace {

// A picture that counts the turns it is given and, like the real one, takes none.
class CountingPicture : public QWidget {
public:
    using QWidget::QWidget;
    int wheelsSeen = 0;

protected:
    void wheelEvent(QWheelEvent* event) override {
        ++wheelsSeen;
        event->ignore();
    }
};

class FakeMainWindow : public QWidget {
public:
    FakeMainWindow() {
        setObjectName(QStringLiteral("FormMain"));
        resize(400, 300);
        pic = new CountingPicture(this);
        pic->setObjectName(QStringLiteral("Pic"));
        pic->setGeometry(10, 20, 300, 200);
        vScroll = new QScrollBar(Qt::Vertical, this);
        vScroll->setObjectName(QStringLiteral("VScroll1"));
        vScroll->setGeometry(380, 0, 20, 280);
        vScroll->setRange(0, 1000);
        vScroll->setSingleStep(10);
        vScroll->setPageStep(100);
        connect(vScroll, &QScrollBar::valueChanged, this, [this] {
            // What the window's change handler does: redraw unless the view is not ready.
            if (viewReady) ++redrawsFromBar;
        });
    }

    WheelTarget Target() {
        return {[this] { return vScroll; }, [this] { return pic; },
                [this](bool ready) {
                    viewReady = ready;
                    readyChanges << ready;
                },
                [this] { ++redraws; },
                {},   // no horizontal bar
                {}};  // no zoom
    }

    CountingPicture* pic = nullptr;
    QScrollBar* vScroll = nullptr;
    bool viewReady = true;
    QList<bool> readyChanges;
    int redraws = 0;
    int redrawsFromBar = 0;
};

// Turns the wheel with the pointer at point of receiver (in its coordinates).
void Turn(QWidget* receiver, QPoint point, int angle, bool vertical = true) {
    const QPoint delta = vertical ? QPoint(0, angle) : QPoint(angle, 0);
    QWheelEvent event(QPointF(point), QPointF(receiver->mapToGlobal(point)), QPoint(), delta,
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(receiver, &event);
}

}  // namespace

class WheelTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        window = new FakeMainWindow;
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        mouse_hook(window, window->Target());
    }
    void cleanup() {
        RemoveWheelHook(window);
        delete window;
        window = nullptr;
    }

    void forwardNotchNearTheTopTakesASmallStep() {
        window->vScroll->setValue(50);
        window->redrawsFromBar = 0;
        Turn(window->pic, {150, 100}, 120);
        QCOMPARE(window->vScroll->value(), 40);
        QCOMPARE(window->redraws, 1);
        QCOMPARE(window->redrawsFromBar, 0);
        QCOMPARE(window->readyChanges, (QList<bool>{false, true}));
        QVERIFY(window->viewReady);
    }

    void stepBelowTheMinimumIsRefused() {
        window->vScroll->setValue(5);
        Turn(window->pic, {150, 100}, 120);
        QCOMPARE(window->vScroll->value(), 5);
    }

    void backwardNotchesTakeLargeStepsOneRedraw() {
        window->vScroll->setValue(500);
        Turn(window->pic, {150, 100}, -360);  // three notches in one event
        QCOMPARE(window->vScroll->value(), 800);
        QCOMPARE(window->redraws, 1);
    }

    void smoothWheelStepsOncePerWholeNotch() {
        window->vScroll->setValue(500);
        for (int i = 0; i < 7; ++i) Turn(window->pic, {150, 100}, -15);
        QCOMPARE(window->vScroll->value(), 500);
        Turn(window->pic, {150, 100}, -15);
        QCOMPARE(window->vScroll->value(), 600);
    }

    void pointerOutsideOrOnTheEdgeDoesNothing_data() {
        QTest::addColumn<QPoint>("point");
        QTest::newRow("left edge") << QPoint(0, 100);
        QTest::newRow("top edge") << QPoint(150, 0);
        QTest::newRow("right edge") << QPoint(300, 100);
        QTest::newRow("bottom edge") << QPoint(150, 200);
        QTest::newRow("beside the picture") << QPoint(-5, 100);
        QTest::newRow("below the picture") << QPoint(150, 230);
    }
    void pointerOutsideOrOnTheEdgeDoesNothing() {
        QFETCH(QPoint, point);
        window->vScroll->setValue(500);
        Turn(window->pic, point, 120);
        QCOMPARE(window->vScroll->value(), 500);
        QCOMPARE(window->redraws, 0);
    }

    void hiddenOrDisabledBarDoesNothing() {
        window->vScroll->setValue(500);
        window->vScroll->hide();
        Turn(window->pic, {150, 100}, 120);
        QCOMPARE(window->vScroll->value(), 500);
        window->vScroll->show();
        window->vScroll->setEnabled(false);
        Turn(window->pic, {150, 100}, 120);
        QCOMPARE(window->vScroll->value(), 500);
        QCOMPARE(window->redraws, 0);
    }

    void sidewaysTurnNeverScrolls() {
        window->vScroll->setValue(500);
        Turn(window->pic, {150, 100}, 120, false);
        QCOMPARE(window->vScroll->value(), 500);
    }

    void thePictureStillReceivesEveryTurn() {
        Turn(window->pic, {150, 100}, 120);
        Turn(window->pic, {0, 0}, 120);
        QCOMPARE(window->pic->wheelsSeen, 2);
    }

    void removingTheHookStopsTheScrolling() {
        QCOMPARE(HookedWindow(), window);
        RemoveWheelHook(window);
        QCOMPARE(HookedWindow(), nullptr);
        window->vScroll->setValue(500);
        Turn(window->pic, {150, 100}, 120);
        QCOMPARE(window->vScroll->value(), 500);
        QCOMPARE(window->pic->wheelsSeen, 1);
    }

    void hookingAgainReplacesTheOldHook() {
        mouse_hook(window, window->Target());
        window->vScroll->setValue(500);
        Turn(window->pic, {150, 100}, 120);
        QCOMPARE(window->vScroll->value(), 400);  // one step, not two
        QCOMPARE(window->redraws, 1);
    }

private:
    FakeMainWindow* window = nullptr;
};

QTEST_MAIN(WheelTest)
#include "wheel_qtest.moc"
