// The Denoise command with the real denoise dialog: a completed run replaces
// the window's image, view and title; a cancelled dialog leaves them alone.
#include <QTest>

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <vector>

#include "main_testkit.h"
#include "main_window.h"
#include "picture_box.h"
#include "seams_recorder.h"

using namespace calmora;
using namespace calmora::testing;

class MainWindowDenoiseTest : public MainWindowTestBase {
    Q_OBJECT

private slots:
    void init();
    void completedRunReplacesTheImage();
    void cancelledDialogLeavesTheImage();

private:
    // Runs the Denoise command, answering its dialog with answer.
    void RunDenoise(const std::function<void(QDialog&)>& answer);
};

void MainWindowDenoiseTest::init() {
    QVERIFY(StartWindow());
    const QString path = images_->filePath(QStringLiteral("noisy.png"));
    // The pattern with noise on it, which the filter takes out.
    FIBITMAP* bitmap = MakePatternBitmap(PixelForm::Rgb24, 96, 64);
    uint32_t seed = 12345;
    for (int y = 0; y < 64; ++y) {
        BYTE* line = FreeImage_GetScanLine(bitmap, y);
        for (int i = 0; i < 96 * 3; ++i) {
            seed = seed * 1664525u + 1013904223u;
            line[i] = static_cast<BYTE>(std::clamp(int(line[i]) + int(seed >> 27) - 16, 0, 255));
        }
    }
    QVERIFY(FreeImage_Save(FIF_PNG, bitmap, path.toUtf8().constData(), 0));
    FreeImage_Unload(bitmap);
    window_->OpenFile(path);
    QVERIFY(window_->HasImage());
}

void MainWindowDenoiseTest::RunDenoise(const std::function<void(QDialog&)>& answer) {
    bool answered = false;
    QTimer poll;
    poll.setInterval(5);
    connect(&poll, &QTimer::timeout, this, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || answered || dialog->objectName() != QLatin1String("FormDenoise")) return;
        answered = true;
        answer(*dialog);
    });
    poll.start();
    window_->Denoise_Click();
    QVERIFY(answered);
}

void MainWindowDenoiseTest::completedRunReplacesTheImage() {
    FIBITMAP* before = window_->Document().image;
    std::vector<QRgb> original;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 96; ++x) original.push_back(BitmapColor(before, x, y));
    }
    RunDenoise([](QDialog& dialog) {
        dialog.findChild<QScrollBar*>(QStringLiteral("HScrollSigma"))->setValue(40);
        dialog.findChild<QPushButton*>(QStringLiteral("CmdOKDenoise"))->click();
    });

    QVERIFY(seams_->messages.isEmpty());
    QVERIFY(window_->Document().image != before);
    QVERIFY(window_->Destination().bits == nullptr);
    QVERIFY2(window_->windowTitle().startsWith(
                 QStringLiteral("Calmora   noisy.png  (96x64)   denoised  (Intensity:40")),
             qPrintable(window_->windowTitle()));
    // The view shows the new image, which differs from the old one.
    int changed = 0;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 96; ++x) {
            QCOMPARE(PicColor(*window_, x, y), BitmapColor(window_->Document().image, x, y));
            changed += PicColor(*window_, x, y) != original[size_t(y * 96 + x)];
        }
    }
    QVERIFY2(changed > 96 * 64 / 2, qPrintable(QString::number(changed)));
    QVERIFY(window_->MenuAction("Denoise")->isEnabled());
    QVERIFY(window_->MenuAction("FileMenu")->isEnabled());
}

void MainWindowDenoiseTest::cancelledDialogLeavesTheImage() {
    FIBITMAP* before = window_->Document().image;
    const QString title = window_->windowTitle();
    RunDenoise([](QDialog& dialog) { dialog.reject(); });
    QCOMPARE(window_->Document().image, before);
    QVERIFY(window_->Destination().bits == nullptr);
    QCOMPARE(window_->windowTitle(), title);
    QVERIFY(window_->close());
}

QTEST_MAIN(MainWindowDenoiseTest)
#include "main_window_denoise_qtest.moc"
