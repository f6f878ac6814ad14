// The dialog inside the real main window: closing the program during a run
// keeps the image, and a completed run replaces it and extends the title.
#include <FreeImage.h>

#include <QAction>
#include <QCheckBox>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app_paths.h"
#include "dialog_test_host.h"
#include "form_denoise.h"
#include "main_window.h"
#include "preferences.h"
#include "seams_recorder.h"
#include "denoise_run/row_run.h"

using namespace calmora;
using namespace calmora::testing;

class DialogProgramTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir folder_;
    QString imagePath_;

    // Runs the Denoise command; `during` is called inside the open dialog.
    static void Denoise(MainWindow& window, const std::function<void(FormDenoise*)>& during) {
        QTimer::singleShot(0, [during] {
            auto* dialog = qobject_cast<FormDenoise*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            during(dialog);
            if (dialog->isVisible()) dialog->reject();
        });
        auto* command = window.findChild<QAction*>(QStringLiteral("Denoise"));
        QVERIFY(command);
        command->trigger();
    }

private slots:
    void initTestCase() {
        QVERIFY(folder_.isValid());
        OverrideSettingsFolder(folder_.path());
        CurrentPreferences() = Preferences{};
        FIBITMAP* image = FreeImage_AllocateT(FIT_BITMAP, 240, 180, 24);
        FillTestPicture(FreeImage_GetBits(image), 240, 180, 5);
        imagePath_ = folder_.filePath(QStringLiteral("noisy.png"));
        QVERIFY(FreeImage_Save(FIF_PNG, image, imagePath_.toLocal8Bit().constData(), 0));
        FreeImage_Unload(image);
    }

    void closingTheProgramDuringARunKeepsTheImage() {
        SeamsRecorder seams;
        MainWindow window;
        window.show();
        window.OpenFile(imagePath_);
        QCOMPARE(window.ImageWidth(), 240);
        const std::vector<uint8_t> before(window.ImageBits(),
                                          window.ImageBits() + BufferStride(240) * 180);
        const QString title = window.windowTitle();
        bool mainWindowStayed = false, wasRunning = false;
        Denoise(window, [&](FormDenoise* dialog) {
            dialog->findChild<QScrollBar*>(QStringLiteral("HScrollSigma"))->setValue(9);
            QTimer::singleShot(0, dialog, [&, dialog] {
                wasRunning = dialog->State().runActive;
                QApplication::closeAllWindows();  // what quitting the session does
                mainWindowStayed = window.isVisible();
            });
            dialog->findChild<QPushButton*>(QStringLiteral("CmdOKDenoise"))->click();
        });
        QVERIFY(wasRunning);
        QVERIFY(mainWindowStayed);
        QVERIFY(window.isVisible());
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(window.windowTitle(), title);
        QVERIFY(SamePixels(window.ImageBits(), before.data(), 240, 180));
        QVERIFY(seams.messages.isEmpty());
        QVERIFY(window.close());  // with the dialog gone the program may close
    }

    void completedRunReplacesTheImageAndExtendsTheTitle_data() {
        QTest::addColumn<int>("blue");
        QTest::addColumn<int>("colour");  // the colour-noise strength; -1 with the mode off
        QTest::addColumn<QString>("suffix");
        QTest::newRow("whole pixel")
            << 100 << -1
            << QStringLiteral("   denoised  (Intensity:9, Radius:3    R:100%, G:100%, B:100%)");
        QTest::newRow("per channel")
            << 99 << -1
            << QStringLiteral("   denoised  (Intensity:9, Radius:3    R:100%, G:100%, B:99%)");
        QTest::newRow("colour noise")
            << 100 << 30
            << QStringLiteral("   denoised  (Intensity:9, Radius:3    R:100%, G:100%, B:100%)"
                              "  colour noise:30");
        QTest::newRow("colour noise, per channel")
            << 80 << 0
            << QStringLiteral("   denoised  (Intensity:9, Radius:3    R:100%, G:100%, B:80%)"
                              "  colour noise:0");
    }

    // The batch tool promises the dialog's full run: same pixels from the same file.
    void completedRunReplacesTheImageAndExtendsTheTitle() {
        QFETCH(int, blue);
        QFETCH(int, colour);
        QFETCH(QString, suffix);
        SeamsRecorder seams;
        MainWindow window;
        window.show();
        window.OpenFile(imagePath_);
        std::vector<uint8_t> want =
            EngineRun(window.ImageBits(), 240, 180, 9, 3, 100, 100, blue, false).denoised;
        if (colour >= 0) {
            // The mode's own run is checked against a plain computation in
            // the run layer's tests; here the dialog must hand it on.
            RunSettings s;
            s.sigma = 9;
            s.radius = 3;
            s.blue = FactorFromPercent(blue);
            s.colourNoise = true;
            s.colourStrength = static_cast<int16_t>(colour);
            QCOMPARE(RunFullDenoise(s, {window.ImageBits(), want.data(), 240, 180}, {}).end,
                     RunEnd::Completed);
        }
        const QString title = window.windowTitle();
        Denoise(window, [blue, colour](FormDenoise* dialog) {
            dialog->findChild<QScrollBar*>(QStringLiteral("HScrollSigma"))->setValue(9);
            dialog->findChild<QScrollBar*>(QStringLiteral("HScrollrw"))->setValue(3);
            dialog->findChild<QScrollBar*>(QStringLiteral("HScrollBlue"))->setValue(blue);
            if (colour >= 0) {
                dialog->findChild<QCheckBox*>(QStringLiteral("ChkColourNoise"))->click();
                dialog->findChild<QScrollBar*>(QStringLiteral("HScrollColour"))->setValue(colour);
            }
            dialog->findChild<QPushButton*>(QStringLiteral("CmdOKDenoise"))->click();
        });
        QVERIFY(SamePixels(window.ImageBits(), want.data(), 240, 180));
        QCOMPARE(window.windowTitle(), title + suffix);
        QVERIFY(seams.messages.isEmpty());

#ifdef CALMORA_DENOISE_EXE
        const QString out = folder_.filePath(QStringLiteral("batch-%1-%2.png").arg(blue).arg(colour));
        QStringList arguments = {QStringLiteral("--quiet"), QStringLiteral("--intensity"),
                                 QStringLiteral("9"), QStringLiteral("--radius"),
                                 QStringLiteral("3"), QStringLiteral("--blue"),
                                 QString::number(blue), QStringLiteral("-o"), out, imagePath_};
        if (colour >= 0) arguments << QStringLiteral("--colour-noise") << QString::number(colour);
        QProcess tool;
        tool.start(QStringLiteral(CALMORA_DENOISE_EXE), arguments);
        QVERIFY(tool.waitForFinished(120000));
        QCOMPARE(tool.exitCode(), 0);
        FIBITMAP* batch = FreeImage_Load(FIF_PNG, out.toLocal8Bit().constData(), 0);
        QVERIFY(batch);
        const bool same = FreeImage_GetBPP(batch) == 24 && FreeImage_GetWidth(batch) == 240 &&
                          FreeImage_GetHeight(batch) == 180 &&
                          SamePixels(FreeImage_GetBits(batch), window.ImageBits(), 240, 180);
        FreeImage_Unload(batch);
        QVERIFY(same);
#endif
    }
};

QTEST_MAIN(DialogProgramTest)
#include "dialog_program_qtest.moc"
