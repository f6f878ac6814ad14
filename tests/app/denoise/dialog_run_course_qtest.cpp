// The course of FormDenoise's runs: the controls locked, previews and full
// runs stopped, closing during a run, the progress bar, and a full run
// against the engine with its hand-back to the main window.
#include <QAction>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include "denoise_dialog_launch.h"
#include "dialog_qtest.h"
#include "dialog_testing.h"
#include "pane_lines.h"

using namespace calmora;
using namespace calmora::testing;

class DialogRunCourseTest : public DialogQTest {
    Q_OBJECT

private slots:
    void controlsAreLockedDuringARun() {
        OpenDialog d(150, 110);
        QVERIFY(d.Load());
        d.SetSliders(10, 2);
        QStringList enabledDuringRun;
        bool active = false;
        d.dialog->SetBeforeRowHookForTest([&](int32_t row, int32_t) {
            if (row != 3) return;
            active = d.dialog->State().runActive;
            for (QWidget* w : d.dialog->findChildren<QWidget*>())
                if (w->isEnabled() && !w->objectName().startsWith(QLatin1String("qt_")) &&
                    (qobject_cast<QLineEdit*>(w) || qobject_cast<QScrollBar*>(w) ||
                                       qobject_cast<QAbstractButton*>(w)))
                    enabledDuringRun << w->objectName();
            if (d.c<QAction>("ShowGuida")->isEnabled()) enabledDuringRun << QStringLiteral("ShowGuida");
        });
        d.c<QPushButton>("CmdPreview")->click();
        QVERIFY(active);
        QCOMPARE(enabledDuringRun, QStringList{QStringLiteral("CmdInterrompiDenoise")});
        // After the run everything is back, plus the view buttons.
        for (const char* name :
             {"TxtSigma", "Txtrw", "HScrollBlue", "CmdOKDenoise", "CmdPreview", "CmdSuggest"})
            QVERIFY2(d.c<QWidget>(name)->isEnabled(), name);
        QVERIFY(!d.dialog->State().runActive);
    }

    void previewStoppedHalfWayShowsOnlyItsLowerRows() {
        OpenDialog d(150, 110);
        QVERIFY(d.Load());
        d.SetSliders(12, 2);
        auto* stop = d.StopAtRow(55);
        d.c<QPushButton>("CmdPreview")->click();
        auto* picR = d.c<PictureBox>("PicR");
        // Buffer rows 0..54 are the screen lines 109 down to 55.
        QVERIFY(PaneLineShows(picR, d.dialog->State().areaBitmaps.denoised, 109));
        QVERIFY(PaneLineShows(picR, d.dialog->State().areaBitmaps.denoised, 55));
        QVERIFY(PaneLineIsBlank(picR, 150, 54));
        QVERIFY(PaneLineIsBlank(picR, 150, 0));
        QVERIFY(PaneLineIsBlank(d.c<PictureBox>("PicNoise"), 150, 20));
        QVERIFY(!d.dialog->State().previewValid);
        QVERIFY(!d.dialog->State().runActive);
        QVERIFY(!stop->isEnabled());
        // The settings can be changed and the runs started again; the channel
        // strengths and the views wait for a complete preview.
        for (const char* name : {"Txtrw", "HScrollrw", "TxtSigma", "HScrollSigma", "CmdPreview",
                                 "CmdOKDenoise"})
            QVERIFY2(d.c<QWidget>(name)->isEnabled(), name);
        for (const char* name : {"TxtRed", "HScrollBlue", "CmdOrigImg", "CmdDenoisedImg"})
            QVERIFY2(!d.c<QWidget>(name)->isEnabled(), name);

        d.dialog->SetBeforeRowHookForTest({});
        d.c<QPushButton>("CmdPreview")->click();
        QVERIFY(d.dialog->State().previewValid);
        QVERIFY(PaneLineShows(picR, d.dialog->State().areaBitmaps.denoised, 0));
        QVERIFY(d.c<QWidget>("TxtRed")->isEnabled());
        QVERIFY(d.c<QWidget>("CmdOrigImg")->isEnabled());

        // A dialog that has previewed shows no hourglass during a full run.
        Qt::CursorShape cursor = Qt::WaitCursor;
        d.dialog->SetBeforeRowHookForTest([&](int32_t row, int32_t) {
            if (row == 3) cursor = d.dialog->cursor().shape();
        });
        d.c<QPushButton>("CmdOKDenoise")->click();
        QCOMPARE(cursor, Qt::ArrowCursor);
        QCOMPARE(d.host->adopted, 1);
    }
    void fullRunEqualsTheEngineAndHandsBack_data() {
        QTest::addColumn<int>("red");
        QTest::addColumn<int>("green");
        QTest::addColumn<int>("blue");
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("italian");
        QTest::newRow("100/100/100 whole pixel, English")
            << 100 << 100 << 100 << 1
            << QStringLiteral("   denoised  (Intensity:9, Radius:3    R:100%, G:100%, B:100%)")
            << QString::fromUtf8("   rumore ridotto  (Intensit\xc3\xa0:9, Raggio:3    R:100%, "
                                 "G:100%, B:100%)");
        QTest::newRow("100/100/99 per channel, Italian")
            << 100 << 100 << 99 << 2
            << QStringLiteral("   denoised  (Intensity:9, Radius:3    R:100%, G:100%, B:99%)")
            << QString::fromUtf8("   rumore ridotto  (Intensit\xc3\xa0:9, Raggio:3    R:100%, "
                                 "G:100%, B:99%)");
        QTest::newRow("30/0/100 per channel")
            << 30 << 0 << 100 << 1
            << QStringLiteral("   denoised  (Intensity:9, Radius:3    R:30%, G:0%, B:100%)")
            << QString::fromUtf8("   rumore ridotto  (Intensit\xc3\xa0:9, Raggio:3    R:30%, "
                                 "G:0%, B:100%)");
        // Factors whose hundredfold is not a whole number in floating point.
        QTest::newRow("29/57/1 whole percents")
            << 29 << 57 << 1 << 2
            << QStringLiteral("   denoised  (Intensity:9, Radius:3    R:29%, G:57%, B:1%)")
            << QString::fromUtf8("   rumore ridotto  (Intensit\xc3\xa0:9, Raggio:3    R:29%, "
                                 "G:57%, B:1%)");
    }

    void fullRunEqualsTheEngineAndHandsBack() {
        QFETCH(int, red);
        QFETCH(int, green);
        QFETCH(int, blue);
        QFETCH(int, language);
        QFETCH(QString, english);
        QFETCH(QString, italian);
        OpenDialog d(240, 180, language);
        QVERIFY(d.Load());
        const std::vector<uint8_t> original = d.host->Original();
        const EngineResult want = EngineRun(original.data(), 240, 180, 9, 3, red, green, blue, false);
        if (red != 100 || green != 100 || blue != 100) {
            // Otherwise the engine's choice would not show in the result.
            const EngineResult whole = EngineRun(original.data(), 240, 180, 9, 3, 100, 100, 100, false);
            QVERIFY(!SamePixels(whole.denoised.data(), want.denoised.data(), 240, 180));
        }
        d.SetSliders(9, 3, red, green, blue);
        d.c<QPushButton>("CmdOKDenoise")->click();
        QCOMPARE(d.host->adopted, 1);
        QVERIFY(d.dialog->HandedBack());
        QVERIFY(SamePixels(d.host->ImageBits(), want.denoised.data(), 240, 180));
        QCOMPARE(d.host->suffixes, 1);
        QCOMPARE(d.host->englishSuffix, english);
        QCOMPARE(d.host->italianSuffix, italian);
        QVERIFY(!d.dialog->isVisible());
        QCOMPARE(d.dialog->result(), int(QDialog::Accepted));
    }

    void progressBarOnlyAboveTheWholeImageSize() {
        for (const QSize size : {QSize(240, 180), QSize(200, 150)}) {
            OpenDialog d(size.width(), size.height());
            QVERIFY(d.Load());
            d.SetSliders(5, 2);
            bool barShown = false, frameShown = false;
            int barWidth = -1;
            Qt::CursorShape cursor = Qt::ArrowCursor;
            const int full = d.c<QFrame>("Shape1")->width();
            d.dialog->SetBeforeRowHookForTest([&](int32_t row, int32_t height) {
                if (row != height / 2 + 1) return;
                barShown = d.c<QFrame>("Shape1")->isVisible();
                frameShown = d.c<QFrame>("Shape2")->isVisible();
                barWidth = d.c<QFrame>("Shape1")->width();  // set before the previous row
                cursor = d.dialog->cursor().shape();
            });
            d.c<QPushButton>("CmdOKDenoise")->click();
            const bool large = size.width() > 200;
            QCOMPARE(barShown, large);
            QCOMPARE(frameShown, large);
            if (large)
                QCOMPARE(barWidth, int(double(full) / size.height() * (size.height() / 2)));
            QCOMPARE(cursor, Qt::WaitCursor);
            QCOMPARE(d.host->adopted, 1);
        }
    }

    void stoppedFullRunLeavesTheImageAndTheDialog() {
        OpenDialog d(240, 180);
        QVERIFY(d.Load());
        d.SetSliders(9, 2);
        auto* stop = d.StopAtRow(20);
        d.c<QPushButton>("CmdOKDenoise")->click();
        QVERIFY(d.host->ImageUnchanged());
        QCOMPARE(d.host->adopted, 0);
        QCOMPARE(d.host->suffixes, 0);
        QVERIFY(d.dialog->isVisible());
        QVERIFY(!d.c<QFrame>("Shape1")->isVisible());
        QVERIFY(!d.c<QFrame>("Shape2")->isVisible());
        QVERIFY(!stop->isEnabled());
        QCOMPARE(d.dialog->cursor().shape(), Qt::ArrowCursor);
        for (const char* name : {"TxtSigma", "TxtRed", "HScrollrw", "CmdOKDenoise"})
            QVERIFY2(d.c<QWidget>(name)->isEnabled(), name);

        // A second run goes through: the stop was consumed, the destination kept.
        d.dialog->SetBeforeRowHookForTest({});
        const EngineResult want = EngineRun(d.host->Original().data(), 240, 180, 9, 2, 100, 100, 100, false);
        d.c<QPushButton>("CmdOKDenoise")->click();
        QCOMPARE(d.host->adopted, 1);
        QVERIFY(SamePixels(d.host->ImageBits(), want.denoised.data(), 240, 180));
    }

    void closingDuringARunKeepsTheImageAndFreesTheDestination() {
        FakeHost host(240, 180);
        QWidget owner;
        owner.setWindowTitle(QStringLiteral("Calmora   a.png  (240x180)"));
        owner.show();
        bool sawModal = false, closeRefusedWhileRunning = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<FormDenoise*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->findChild<QScrollBar*>(QStringLiteral("HScrollSigma"))->setValue(9);
            // Fires at the first row's event pass: the close box during the run.
            QTimer::singleShot(0, dialog, [&, dialog] {
                sawModal = QApplication::activeModalWidget() == dialog && dialog->State().runActive;
                dialog->close();
                closeRefusedWhileRunning = dialog->isVisible();
            });
            dialog->findChild<QPushButton*>(QStringLiteral("CmdOKDenoise"))->click();
        });
        ShowDenoiseDialog(&owner, host);
        QVERIFY(sawModal);
        QVERIFY(closeRefusedWhileRunning);  // turned into a request, the run ends at its next row
        QVERIFY(host.ImageUnchanged());
        QCOMPARE(host.adopted, 0);
        QCOMPARE(host.suffixes, 0);
        QVERIFY(host.Destination().bits != nullptr);
        host.ReleaseDestinationIfNotAdopted();  // what the main window does next
        QCOMPARE(host.released, 1);
        QVERIFY(!QApplication::activeModalWidget());
    }

    void escapeDuringAPreviewClosesLikeTheCloseBox() {
        OpenDialog d(150, 110);
        QVERIFY(d.Load());
        d.SetSliders(10, 2);
        d.dialog->SetBeforeRowHookForTest([&](int32_t row, int32_t) {
            if (row == 10) QTest::keyClick(d.dialog.get(), Qt::Key_Escape);
        });
        d.c<QPushButton>("CmdPreview")->click();
        QVERIFY(!d.dialog->isVisible());
        QCOMPARE(d.dialog->result(), int(QDialog::Rejected));
        QVERIFY(!d.dialog->State().runActive);
        QVERIFY(d.host->ImageUnchanged());
    }

    void completedDialogThroughTheEntryPoint() {
        FakeHost host(120, 90);
        QWidget owner;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<FormDenoise*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->findChild<QScrollBar*>(QStringLiteral("HScrollSigma"))->setValue(6);
            dialog->findChild<QPushButton*>(QStringLiteral("CmdOKDenoise"))->click();
        });
        const EngineResult want = EngineRun(host.Original().data(), 120, 90, 6, 2, 100, 100, 100, false);
        ShowDenoiseDialog(&owner, host);
        QCOMPARE(host.adopted, 1);
        QVERIFY(host.Destination().bits == nullptr);
        QVERIFY(SamePixels(host.ImageBits(), want.denoised.data(), 120, 90));
    }
};

QTEST_MAIN(DialogRunCourseTest)
#include "dialog_run_course_qtest.moc"
