// Drives the real main window for a picture of its menus:
//
//   calmora-menu-shot IMAGE OUTPUT.png size|file [LANGUAGE]
//
// Opens IMAGE in a 1024 x 720 window. "size" zooms in to 300 % and opens the
// Size menu with its zoom items; "file" opens the File menu with its recent
// files. The window and the open menu are saved to OUTPUT.png. LANGUAGE is 1
// for English (the default) or 2 for Italian. The settings go to a scratch
// folder, so no earlier run shows in the list. Meant for
// scripts/screenshot-menus.sh under Xvfb.
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "app_paths.h"
#include "main_window.h"
#include "preferences.h"

namespace {

void Settle(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

void Key(QWidget* to, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(to, &press);
    QApplication::sendEvent(to, &release);
}

// Opens the menu named name under its title in the menu bar.
QMenu* PopUp(calmora::MainWindow& window, const char* name) {
    auto* menu = window.findChild<QMenu*>(QString::fromLatin1(name));
    if (!menu) return nullptr;
    const QRect title = window.menuBar()->actionGeometry(menu->menuAction());
    menu->popup(window.menuBar()->mapToGlobal(title.bottomLeft()));
    Settle(300);
    return menu;
}

// The window with whatever is open over it; the screen around it is black
// under a bare X server.
bool SaveWindow(calmora::MainWindow& window, const QString& output) {
    QScreen* screen = window.screen();
    const QRect frame = window.frameGeometry();
    const QPixmap shot = screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    return !shot.isNull() && shot.save(output);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString mode = argc >= 4 ? QString::fromLocal8Bit(argv[3]) : QString();
    const bool known = mode == QLatin1String("size") || mode == QLatin1String("file");
    if ((argc != 4 && argc != 5) || !known) {
        std::fprintf(stderr, "usage: calmora-menu-shot IMAGE OUTPUT.png size|file [LANGUAGE]\n");
        return 2;
    }
    const QString image = QString::fromLocal8Bit(argv[1]);
    const QString output = QString::fromLocal8Bit(argv[2]);
    QTemporaryDir settings;
    calmora::OverrideSettingsFolder(settings.path());
    calmora::MainWindow window;
    if (argc == 5 && QByteArray(argv[4]) == "2") {
        calmora::CurrentPreferences().language = calmora::Language::Italian;
        window.ApplyItalianCaptions();
    }
    window.setGeometry(0, 0, 1024, 720);
    window.show();
    Settle(300);
    window.OpenFile(image);
    Settle(300);
    if (!window.HasImage()) {
        std::fprintf(stderr, "calmora-menu-shot: %s did not open\n", argv[1]);
        return 1;
    }
    if (mode == QLatin1String("size")) {
        for (int step = 0; step < 3; ++step) window.MenuAction("PaintSizeZoomIn")->trigger();
        Settle(300);
        if (!PopUp(window, "PaintSize")) return 1;
    } else {
        QMenu* file = PopUp(window, "FileMenu");
        auto* recent = window.findChild<QMenu*>(QStringLiteral("FileRecent"));
        if (!file || !recent) return 1;
        file->setActiveAction(recent->menuAction());
        Key(file, Qt::Key_Right);
        Settle(300);
    }
    const bool saved = SaveWindow(window, output);
    if (!saved) std::fprintf(stderr, "calmora-menu-shot: could not write %s\n", argv[2]);
    QApplication::closeAllWindows();
    return saved ? 0 : 1;
}
