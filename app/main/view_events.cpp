// What reaches the view from outside: Pic's mouse for drag scrolling with the
// preferred button, and the client area's resizes and screen changes, after
// which the view is laid out again.
#include "main_window.h"

#include <QEvent>
#include <QMouseEvent>
#include <QScrollBar>

#include "app/support/rounding.h"
#include "picture_box.h"
#include "preferences.h"

namespace calmora {

// ---------------------------------------------------------------- drag scrolling

bool MainWindow::AnyScrollBarShown() const {
    return !hScroll_->isHidden() || !vScroll_->isHidden();
}

void MainWindow::Pic_MouseDown(Qt::MouseButton button, QPointF position) {
    const Qt::MouseButton dragButton =
        CurrentPreferences().scrollButton == 2 ? Qt::RightButton : Qt::LeftButton;
    if (button != dragButton) return;
    if (!AnyScrollBarShown() || !(hScroll_->isEnabled() || vScroll_->isEnabled())) return;
    // A busy pointer belongs to work in progress, not to a drag.
    if (picPointer_ == kPointerSizeAll) {
        SetPicPointer(kPointerDefault);
    } else if (picPointer_ == kPointerDefault) {
        SetPicPointer(kPointerSizeAll);
        doc_.dragStartX = static_cast<int32_t>(RoundHalfEven(position.x()));
        doc_.dragStartY = static_cast<int32_t>(RoundHalfEven(position.y()));
    }
}

bool MainWindow::DragAxis(QScrollBar* bar, double position, int32_t& start, int32_t extent) {
    if (bar->isHidden()) return false;
    const int64_t delta = DragDelta(position, start, extent, bar->maximum() - bar->minimum());
    if (delta == 0) return false;
    doc_.viewReadyFlag = false;
    bar->setValue(ApplyDragDelta(bar->value(), delta, bar->minimum(), bar->maximum()));
    start = static_cast<int32_t>(RoundHalfEven(position));
    return true;
}

void MainWindow::Pic_MouseMove(QPointF position) {
    if (picPointer_ != kPointerSizeAll || !AnyScrollBarShown()) return;
    const bool vertical = DragAxis(vScroll_, position.y(), doc_.dragStartY, pic_->height());
    const bool horizontal = DragAxis(hScroll_, position.x(), doc_.dragStartX, pic_->width());
    doc_.viewReadyFlag = true;
    if (vertical || horizontal) RedrawView();
}

void MainWindow::Pic_Mouseup() {
    if (AnyScrollBarShown() && picPointer_ == kPointerSizeAll) SetPicPointer(kPointerDefault);
}

namespace {

// A window moved to another screen hears of it so; Qt 6.6 on also tells of a
// ratio that changed on the same screen.
bool IsScreenChange(QEvent::Type type) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
    if (type == QEvent::DevicePixelRatioChange) return true;
#endif
    return type == QEvent::ScreenChangeInternal;
}

}  // namespace

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == pic_) {
        switch (event->type()) {
            case QEvent::MouseButtonPress: {
                auto* mouse = static_cast<QMouseEvent*>(event);
                Pic_MouseDown(mouse->button(), mouse->position());
                break;
            }
            case QEvent::MouseMove:
                Pic_MouseMove(static_cast<QMouseEvent*>(event)->position());
                break;
            case QEvent::MouseButtonRelease: Pic_Mouseup(); break;
            default: break;
        }
    } else if (watched == client_ && event->type() == QEvent::Resize) {
        RelayoutForClientSize();
    } else if (watched == client_ && IsScreenChange(event->type()) &&
               client_->devicePixelRatioF() != view_.DeviceRatio()) {
        // Moved to a display of another pixel ratio: the same logical size
        // holds other device pixels, so true size and fit change now, not
        // at the next resize.
        RelayoutForClientSize();
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace calmora
