// Drives the real main window and denoise dialog for a screenshot:
//
//   calmora-dialog-shot IMAGE OUTPUT.png [LANGUAGE]
//
// Opens IMAGE in the main window, chooses Denoise, raises the intensity,
// selects the preview area, previews it and saves a picture of the screen to
// OUTPUT.png. LANGUAGE is 1 for English (the default) or 2 for Italian.
// Meant for scripts/screenshot-dialog.sh under Xvfb.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <cstdio>

#include "form_denoise.h"
#include "main_window.h"
#include "preferences.h"

namespace {

int exitCode = 1;

void Settle(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

template <typename T>
T* Find(QObject* parent, const char* name) {
    T* found = parent->findChild<T*>(QString::fromLatin1(name));
    if (!found) std::fprintf(stderr, "calmora-dialog-shot: no %s\n", name);
    return found;
}

void DriveDialog(const QString& output) {
    auto* dialog = qobject_cast<calmora::FormDenoise*>(QApplication::activeModalWidget());
    if (!dialog) {
        std::fprintf(stderr, "calmora-dialog-shot: the denoise dialog did not open\n");
        QApplication::exit(1);
        return;
    }
    // The dialog lets the window manager size it while it lays itself out:
    // wait for the layout and the display bitmaps.
    if (dialog->State().area.width == 0) {
        QTimer::singleShot(50, [output] { DriveDialog(output); });
        return;
    }
    Settle(300);
    if (auto* radius = Find<QScrollBar>(dialog, "HScrollrw")) radius->setValue(4);
    // CALMORA_SHOT_COLOUR=N: the colour-noise mode at strength N.
    if (const int strength = qEnvironmentVariableIntValue("CALMORA_SHOT_COLOUR"); strength > 0) {
        if (auto* mode = Find<QCheckBox>(dialog, "ChkColourNoise")) mode->click();
        if (auto* colour = Find<QScrollBar>(dialog, "HScrollColour")) colour->setValue(strength);
    }
    // The intensity as a new user gets it: suggested from the photo's noise.
    if (auto* suggest = Find<QPushButton>(dialog, "CmdSuggest")) suggest->click();
    auto* select = Find<QToolButton>(dialog, "CmdSelectArea");
    if (select && select->isVisible()) select->click();
    Settle(200);
    if (auto* preview = Find<QPushButton>(dialog, "CmdPreview")) preview->click();
    Settle(500);
    // CALMORA_SHOT_STALE=1: the intensity moved after the preview, as the user sees it then.
    if (qEnvironmentVariableIntValue("CALMORA_SHOT_STALE") == 1)
        if (auto* sigma = Find<QScrollBar>(dialog, "HScrollSigma")) {
            sigma->setValue(sigma->value() + 5);
            Settle(200);
        }
    // The dialog alone: the screen around it is black under a bare X server.
    const QPixmap shot = dialog->grab();
    if (!shot.isNull() && shot.save(output)) exitCode = 0;
    else std::fprintf(stderr, "calmora-dialog-shot: could not write %s\n", qPrintable(output));
    dialog->reject();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: calmora-dialog-shot IMAGE OUTPUT.png [LANGUAGE]\n");
        return 2;
    }
    const QString image = QString::fromLocal8Bit(argv[1]);
    const QString output = QString::fromLocal8Bit(argv[2]);
    calmora::MainWindow window;
    calmora::CurrentPreferences().language =
        static_cast<calmora::Language>(argc == 4 && QByteArray(argv[3]) == "2" ? 2 : 1);
    window.show();
    window.OpenFile(image);
    QTimer::singleShot(500, &window, [&window, output] {
        auto* denoise = Find<QAction>(&window, "Denoise");
        if (!denoise || !denoise->isEnabled()) {
            std::fprintf(stderr, "calmora-dialog-shot: the image did not open\n");
            QApplication::exit(1);
            return;
        }
        QTimer::singleShot(0, [output] { DriveDialog(output); });
        denoise->trigger();  // returns when the dialog has closed
        QApplication::exit(exitCode);
    });
    return app.exec();
}
