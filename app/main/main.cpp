// calmora [image]: the window program; an image named on the command line
// (as "Open with" passes it) is opened once the window is up.
#include <QApplication>
#include <QTimer>

#include "main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Calmora"));

    calmora::MainWindow window;
    window.show();

    QString file;
    bool optionsEnded = false;
    for (const QString& argument : app.arguments().mid(1)) {
        if (!optionsEnded && argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (optionsEnded || !argument.startsWith(QLatin1Char('-'))) {
            file = argument;
            break;
        }
    }
    if (!file.isEmpty()) {
        QTimer::singleShot(0, &window, [&window, file] { window.OpenFile(file); });
    }
    return app.exec();
}
