#include "mouse_wheel.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QScrollBar>
#include <QWheelEvent>
#include <QWidget>

namespace calmora {

namespace {

constexpr int kDeltaPerNotch = 120;

bool wheelChecked = false;
bool wheelFound = false;
bool osCheckFailed = false;
int16_t osCode = 0;

class WheelFilter : public QObject {
public:
    WheelFilter(QWidget* window, WheelTarget target) : QObject(window), target_(std::move(target)) {}

    const WheelTarget& target() const { return target_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Wheel) {
            auto* wheel = static_cast<QWheelEvent*>(event);
            QScrollBar* bar = qobject_cast<QScrollBar*>(watched);
            if (bar) {
                // The bar's own handling would step by three arrows, not as
                // over the picture; a sideways turn (tilt) counts on the
                // horizontal bar, whose forward is to the left as for a wheel.
                const QPoint delta = wheel->angleDelta();
                const int turn = delta.y() != 0 || bar->orientation() == Qt::Vertical
                                     ? delta.y()
                                     : delta.x();
                const int notches = TakeWholeNotches(barRemainder_, turn);
                if (notches != 0) WheelOverBar(target_, bar, notches);
                return true;
            }
            const int notches = TakeWholeNotches(remainder_, wheel->angleDelta().y());
            if (notches != 0 && (wheel->modifiers() & Qt::ControlModifier) && target_.zoom) {
                target_.zoom(notches, wheel->globalPosition().toPoint());
            } else if (notches != 0) {
                // Only the vertical component counts over the picture.
                WheelWndProc(target_, wheel->globalPosition().toPoint(), notches);
            }
        }
        // Every event goes on to the window as if nothing had looked at it.
        return QObject::eventFilter(watched, event);
    }

private:
    WheelTarget target_;
    int remainder_ = 0;
    int barRemainder_ = 0;
};

QPointer<QWidget> hookedWindow;
QPointer<WheelFilter> hookFilter;
QPointer<QWidget> hookPicture;
QPointer<QScrollBar> hookVerticalBar;
QPointer<QScrollBar> hookHorizontalBar;

}  // namespace

int WheelStep(const WheelScrollRange& range, bool forward) {
    // 64-bit so that extreme ranges cannot overflow; the bounds refuse the result anyway.
    const int64_t value = range.value;
    int64_t next = value;
    if (forward) {
        if (value <= range.minimum) return range.value;
        next = value < int64_t{range.minimum} + range.largeChange ? value - range.smallChange
                                                                   : value - range.largeChange;
    } else {
        if (value >= range.maximum) return range.value;
        next = int64_t{range.maximum} - range.largeChange < value ? value + range.smallChange
                                                                   : value + range.largeChange;
    }
    if (next < range.minimum || next > range.maximum) return range.value;
    return static_cast<int>(next);
}

bool StrictlyInsidePicture(QPoint point, QSize pictureSize) {
    return point.x() > 0 && point.x() < pictureSize.width() && point.y() > 0 &&
           point.y() < pictureSize.height();
}

int TakeWholeNotches(int& remainder, int delta) {
    // A turn in the other direction drops what was carried the old way, so a
    // reversal answers at its first full notch.
    if ((remainder > 0 && delta < 0) || (remainder < 0 && delta > 0)) remainder = 0;
    const int64_t total = int64_t{remainder} + delta;
    const int64_t notches = total / kDeltaPerNotch;
    remainder = static_cast<int>(total - notches * kDeltaPerNotch);
    return static_cast<int>(notches);
}

int16_t osVersionCode() { return osCode; }

const char* OsVersionName(int16_t code) {
    switch (code) {
        case 95: return "Windows 95";
        case 98: return "Windows 98";
        case 351: return "Windows NT 3.51";
        case 40: return "Windows NT 4.0";
        case 2000: return "Windows 2000";
        case 32: return "Win 32";
        default: return "Unknown";
    }
}

bool getos() {
    // None of the versions the table knows exists here.
    osCode = 0;
    return true;
}

bool Mouse_CheckForWheel() { return true; }

void mouse_hook(QWidget* window, WheelTarget target) {
    if (!wheelChecked) {
        Mouse_CheckForWheel();
        wheelChecked = true;
        wheelFound = true;
    } else if (wheelFound) {
        QCoreApplication::processEvents();
    }
    if (hookedWindow) {
        RemoveWheelHook(hookedWindow);
        QCoreApplication::processEvents();
    }
    if (osCode == 0 && !osCheckFailed && !getos()) osCheckFailed = true;
    if (!window) return;
    // Qt hands a turn to the widget under the pointer first, and passes it on
    // to the window only when nobody takes it; watching the picture itself
    // sees every turn that can count, whatever the widgets around it do.
    QWidget* picture = target.picture ? target.picture() : nullptr;
    if (!picture) return;
    QScrollBar* horizontal = target.horizontalBar ? target.horizontalBar() : nullptr;
    QScrollBar* vertical = horizontal && target.verticalBar ? target.verticalBar() : nullptr;
    hookFilter = new WheelFilter(window, std::move(target));
    hookPicture = picture;
    picture->installEventFilter(hookFilter);
    hookVerticalBar = vertical;
    hookHorizontalBar = horizontal;
    for (QScrollBar* bar : {vertical, horizontal}) {
        if (bar) bar->installEventFilter(hookFilter);
    }
    hookedWindow = window;
}

void RemoveWheelHook(QWidget* window) {
    if (!window || window != hookedWindow) return;
    if (hookFilter) {
        if (hookPicture) hookPicture->removeEventFilter(hookFilter);
        for (QScrollBar* bar : {hookVerticalBar.data(), hookHorizontalBar.data()}) {
            if (bar) bar->removeEventFilter(hookFilter);
        }
        delete hookFilter;
    }
    hookPicture = nullptr;
    hookVerticalBar = nullptr;
    hookHorizontalBar = nullptr;
    hookedWindow = nullptr;
}

QWidget* HookedWindow() { return hookedWindow; }

bool WheelWndProc(const WheelTarget& target, QPoint globalPosition, int notches) {
    if (notches == 0) return false;
    QScrollBar* bar = target.verticalBar();
    QWidget* picture = target.picture();
    if (!bar || !picture) return false;
    if (!StrictlyInsidePicture(picture->mapFromGlobal(globalPosition), picture->size())) return false;

    return WheelOverBar(target, bar, notches);
}

bool WheelOverBar(const WheelTarget& target, QScrollBar* bar, int notches) {
    if (notches == 0 || !bar) return false;
    // The bar's own flags, as the window set them: a hidden bar means the
    // whole height is on screen, a disabled one that something else is busy.
    if (!bar->isVisibleTo(bar->window()) || !bar->isEnabled()) return false;
    // The bar's change signal must not redraw once per step; one redraw follows.
    target.setViewReady(false);
    const bool forward = notches > 0;
    for (int n = forward ? notches : -notches; n > 0; --n) {
        const WheelScrollRange range{bar->value(), bar->minimum(), bar->maximum(), bar->singleStep(),
                                     bar->pageStep()};
        const int next = WheelStep(range, forward);
        if (next == range.value) break;
        bar->setValue(next);
    }
    target.setViewReady(true);
    target.redrawView();
    return true;
}

}  // namespace calmora
