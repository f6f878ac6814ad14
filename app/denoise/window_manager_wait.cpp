#include "window_manager_wait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QThread>
#include <QWidget>
#include <QWindow>

namespace calmora {

namespace {

constexpr qint64 kLongestMs = 1000;
constexpr qint64 kStillMs = 120;

}  // namespace

void AwaitWindowManager(QWidget& window) {
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) return;
    QElapsedTimer total, still;
    total.start();
    still.start();
    QSize last = window.size();
    while (total.elapsed() < kLongestMs) {
        // No clicks or keys reach the dialog before it is laid out.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
        if (window.size() != last) {
            last = window.size();
            still.restart();
        }
        const QWindow* handle = window.windowHandle();
        if (handle && handle->isExposed() && still.elapsed() >= kStillMs) return;
        QThread::msleep(5);
    }
}

}  // namespace calmora
