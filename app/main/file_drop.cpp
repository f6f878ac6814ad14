#include "main_window.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace calmora {

namespace {

// The local file a drag carries when it carries exactly one; empty otherwise.
QString DroppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls()) return {};
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile()) return {};
    return QFileInfo(urls.first().toLocalFile()).absoluteFilePath();
}

}  // namespace

// ---------------------------------------------------------------- dropping a file

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFile(event->mimeData()).isEmpty() && !CommandsLocked()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QString path = DroppedFile(event->mimeData());
    if (path.isEmpty() || CommandsLocked()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // The drop ends before the load starts, so the source is not left waiting
    // on a question or a long decode.
    QMetaObject::invokeMethod(
        this, [this, path] { if (!CommandsLocked()) OpenAsked(path); }, Qt::QueuedConnection);
}

}  // namespace calmora
