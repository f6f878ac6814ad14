// The colour-noise mode in the dialog: its controls in both layouts and
// languages, their part in the run lock, and its preview, views and Apply.
#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include "dialog_test_host.h"
#include "dialog_qtest.h"
#include "dialog_testing.h"
#include "form_denoise.h"
#include "picture_box.h"
#include "preferences.h"
#include "denoise_run/row_run.h"

using namespace calmora;
using namespace calmora::testing;

namespace {

void SetUp(const OpenDialog& d, int sigma, int radius, int strength, int green = 100) {
    d.c<QScrollBar>("HScrollSigma")->setValue(sigma);
    d.c<QScrollBar>("HScrollrw")->setValue(radius);
    d.c<QScrollBar>("HScrollGreen")->setValue(green);
    auto* box = d.c<QCheckBox>("ChkColourNoise");
    if (!box->isChecked()) box->click();
    d.c<QScrollBar>("HScrollColour")->setValue(strength);
}

// The image as the mode's full run makes it.
std::vector<uint8_t> ModeResult(const FakeHost& host, int sigma, int radius, int strength,
                                int green = 100) {
    RunSettings s;
    s.sigma = static_cast<int16_t>(sigma);
    s.radius = static_cast<int16_t>(radius);
    s.green = FactorFromPercent(green);
    s.colourNoise = true;
    s.colourStrength = static_cast<int16_t>(strength);
    const int32_t w = host.ImageWidth(), h = host.ImageHeight();
    std::vector<uint8_t> out(host.Original().size(), 0);
    if (RunFullDenoise(s, {host.Original().data(), out.data(), w, h}, {}).end != RunEnd::Completed)
        out.clear();
    return out;
}

QStringList EnabledOf(const OpenDialog& d) {
    QStringList enabled;
    for (const char* name : {"ChkColourNoise", "HScrollColour", "TxtColour"})
        if (d.c<QWidget>(name)->isEnabled()) enabled << QString::fromLatin1(name);
    return enabled;
}

}  // namespace

class DialogColourTest : public DialogQTest {
    Q_OBJECT

private slots:
    void controlsStandBelowThePanesInBothLayoutsAndLanguages_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("text");
        QTest::newRow("area, English") << 900 << 700 << 1 << QStringLiteral("Colour noise");
        QTest::newRow("area, Italian") << 900 << 700 << 2 << QStringLiteral("Rumore di colore");
        QTest::newRow("whole image, English") << 120 << 90 << 1 << QStringLiteral("Colour noise");
        QTest::newRow("whole image, Italian") << 200 << 150 << 2 << QStringLiteral("Rumore di colore");
    }

    void controlsStandBelowThePanesInBothLayoutsAndLanguages() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, language);
        QFETCH(QString, text);
        OpenDialog d(width, height, language);
        QVERIFY(d.Load());
        auto* box = d.c<QCheckBox>("ChkColourNoise");
        QCOMPARE(box->text(), text);
        QVERIFY(!box->toolTip().isEmpty());
        QVERIFY(!d.c<QLineEdit>("TxtColour")->toolTip().isEmpty());
        // Off at opening, the strength waiting at its default.
        QVERIFY(!box->isChecked());
        QCOMPARE(d.c<QScrollBar>("HScrollColour")->value(), int(kDefaultColourStrength));
        QCOMPARE(d.c<QLineEdit>("TxtColour")->text(), QString::number(kDefaultColourStrength));
        QCOMPARE(EnabledOf(d), QStringList{QStringLiteral("ChkColourNoise")});
        QVERIFY(!d.dialog->State().settings.colourNoise);

        // Below the lower pane, inside the dialog, over no other control.
        auto* row = d.c<QWidget>("FrameColourNoise");
        auto* client = d.c<QWidget>("client");
        const QRect rowArea(row->mapTo(client, QPoint(0, 0)), row->size());
        QVERIFY(row->isVisible());
        const QRect noisePane = d.c<PictureBox>("PicNoise")->geometry();
        QVERIFY(rowArea.top() >= noisePane.bottom());
        QVERIFY2(client->rect().contains(rowArea), qPrintable(QStringLiteral("%1,%2 %3x%4 in %5x%6")
                                                                  .arg(rowArea.x()).arg(rowArea.y())
                                                                  .arg(rowArea.width()).arg(rowArea.height())
                                                                  .arg(client->width()).arg(client->height())));
        for (QWidget* other : client->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            if (other != row && other->isVisible())
                QVERIFY2(!other->geometry().intersects(rowArea), qPrintable(other->objectName()));
        for (QWidget* control : row->findChildren<QWidget*>())
            QVERIFY2(row->rect().contains(control->geometry()), qPrintable(control->objectName()));
    }

    void strengthFollowsTheBoxAndTheRunLock() {
        OpenDialog d(150, 110);
        QVERIFY(d.Load());
        d.c<QScrollBar>("HScrollSigma")->setValue(12);
        auto* box = d.c<QCheckBox>("ChkColourNoise");
        box->click();
        QCOMPARE(EnabledOf(d), QStringList({"ChkColourNoise", "HScrollColour", "TxtColour"}));
        QVERIFY(d.dialog->State().settings.colourNoise);
        // The field takes what the intensity's field takes, within 0..200.
        auto* field = d.c<QLineEdit>("TxtColour");
        field->clear();
        QTest::keyClicks(field, QStringLiteral("3x7"));
        QCOMPARE(field->text(), QStringLiteral("37"));
        QCOMPARE(d.dialog->State().settings.colourStrength, 37);
        QTest::keyClicks(field, QStringLiteral("5"));
        QCOMPARE(field->text(), QStringLiteral("200"));
        QCOMPARE(d.c<QScrollBar>("HScrollColour")->value(), 200);

        // Locked during a run; back after it completes.
        QStringList duringRun;
        d.dialog->SetBeforeRowHookForTest([&](int32_t row, int32_t) {
            if (row == 2) duringRun = EnabledOf(d);
        });
        d.c<QPushButton>("CmdPreview")->click();
        QVERIFY(d.dialog->State().previewValid);
        QCOMPARE(duringRun, QStringList());
        QCOMPARE(EnabledOf(d), QStringList({"ChkColourNoise", "HScrollColour", "TxtColour"}));

        // A stopped preview gives back the settings and the run buttons only,
        // as for the channel strengths.
        d.StopAtRow(2);
        d.c<QPushButton>("CmdPreview")->click();
        QVERIFY(!d.dialog->State().previewValid);
        QCOMPARE(EnabledOf(d), QStringList());
        QVERIFY(!d.c<QWidget>("TxtBlue")->isEnabled());
        d.dialog->SetBeforeRowHookForTest({});
        d.c<QPushButton>("CmdPreview")->click();
        QCOMPARE(EnabledOf(d), QStringList({"ChkColourNoise", "HScrollColour", "TxtColour"}));

        // Off again: the strength waits, and a lock and unlock keep it waiting.
        box->click();
        QCOMPARE(EnabledOf(d), QStringList{QStringLiteral("ChkColourNoise")});
        d.c<QPushButton>("CmdPreview")->click();
        QCOMPARE(EnabledOf(d), QStringList{QStringLiteral("ChkColourNoise")});
    }

    void previewEqualsApplyInTheModeAtTheCornersAndTheCentre() {
        OpenDialog d(420, 300, 2);  // area mode, the image fits: selected at once
        QVERIFY(d.Load());
        SetUp(d, 25, 2, 30, 80);
        const std::vector<uint8_t> full = ModeResult(*d.host, 25, 2, 30, 80);
        QVERIFY(!full.empty());
        auto* pic = d.c<PictureBox>("Pic");
        const PreviewState& s = d.dialog->State();
        for (const QPoint towards : {QPoint(0, 0), QPoint(-2000, -2000), QPoint(2000, 2000),
                                     QPoint(2000, -2000), QPoint(-2000, 2000)}) {
            if (!towards.isNull()) {
                const QPoint from(s.rectLeft + 5, s.rectTop + 5);
                QTest::mousePress(pic, Qt::LeftButton, {}, from);
                QTest::mouseMove(pic, from + towards);
                QTest::mouseRelease(pic, Qt::LeftButton, {}, from + towards);
            }
            d.c<QPushButton>("CmdPreview")->click();
            QVERIFY(s.previewValid);
            const int left = s.scrollX + s.rectLeft + 1, top = s.scrollY + s.rectTop + 1;
            const std::vector<uint8_t> want =
                BlockOf(full.data(), 420, 300, left, top, s.area.width, s.area.height);
            QVERIFY2(SamePixels(s.areaBitmaps.denoised.bits, want.data(), s.area.width,
                                s.area.height),
                     qPrintable(QStringLiteral("area at %1,%2").arg(left).arg(top)));
            // The removed-noise view is the original less the result.
            const std::vector<uint8_t> original =
                BlockOf(d.host->Original().data(), 420, 300, left, top, s.area.width,
                        s.area.height);
            const Bgr o = PixelOf(original.data(), s.area.width, s.area.height, 7, 9);
            const Bgr r = PixelOf(want.data(), s.area.width, s.area.height, 7, 9);
            const Bgr n = PixelOf(s.areaBitmaps.noise.bits, s.area.width, s.area.height, 7, 9);
            QCOMPARE(n.g, static_cast<uint8_t>(o.g - r.g));
            QCOMPARE(n.r, static_cast<uint8_t>(o.r - r.r));
        }
        // Green: the panes and the area show the result's green channel.
        d.ChooseChannel(2);
        const Bgr grey = PixelOf(s.areaBitmaps.denoisedChannel.bits, s.area.width,
                                 s.area.height, 3, 4);
        const Bgr colour = PixelOf(s.areaBitmaps.denoised.bits, s.area.width, s.area.height, 3, 4);
        QCOMPARE(grey.b, colour.g);
        QCOMPARE(grey.r, colour.g);
        d.ChooseChannel(0);

        // Apply shows its progress over both passes: 300 rows, then 75 shrunk ones.
        auto* bar = d.c<QFrame>("Shape1");
        const int fullWidth = bar->width();
        int halfWay = -1, steps = 0;
        bool stopOffered = false;
        d.dialog->SetBeforeRowHookForTest([&](int32_t step, int32_t of) {
            steps = of;
            if (step == 188) {
                halfWay = bar->isVisible() ? bar->width() : -1;
                stopOffered = d.c<QPushButton>("CmdInterrompiDenoise")->isEnabled();
            }
        });
        d.c<QPushButton>("CmdOKDenoise")->click();
        QCOMPARE(steps, 300 + 75);
        QCOMPARE(halfWay, int(double(fullWidth) / 375 * 187));
        QVERIFY(stopOffered);
        QCOMPARE(d.host->adopted, 1);
        QVERIFY(SamePixels(d.host->ImageBits(), full.data(), 420, 300));
        QCOMPARE(d.host->englishSuffix,
                 QStringLiteral("   denoised  (Intensity:25, Radius:2    R:100%, G:80%, B:100%)"
                                "  colour noise:30"));
        QCOMPARE(d.host->italianSuffix,
                 QString::fromUtf8("   rumore ridotto  (Intensit\xc3\xa0:25, Raggio:2    R:100%, "
                                   "G:80%, B:100%)  rumore di colore:30"));
    }

    void wholeImagePreviewAndStoppedApplyInTheMode() {
        OpenDialog d(180, 140);
        QVERIFY(d.Load());
        SetUp(d, 20, 3, 15);
        d.c<QPushButton>("CmdPreview")->click();
        const std::vector<uint8_t> full = ModeResult(*d.host, 20, 3, 15);
        QVERIFY(SamePixels(d.dialog->State().areaBitmaps.denoised.bits, full.data(), 180, 140));
        // PicR shows the result, its bottom line last computed like the rest.
        QCOMPARE(d.c<PictureBox>("PicR")->PixelAt(5, 139),
                 ToRgb(PixelOf(full.data(), 180, 140, 5, 139)));

        // Stop during Apply: the image stays, the controls come back.
        auto* stop = d.c<QPushButton>("CmdInterrompiDenoise");
        int32_t steps = 0;
        d.dialog->SetBeforeRowHookForTest([&](int32_t row, int32_t of) {
            steps = of;
            if (row == 150) stop->click();  // in the coarse pass
        });
        d.c<QPushButton>("CmdOKDenoise")->click();
        QCOMPARE(steps, 140 + 35);
        QCOMPARE(d.host->adopted, 0);
        QVERIFY(d.host->ImageUnchanged());
        QVERIFY(d.dialog->isVisible());
        QCOMPARE(EnabledOf(d), QStringList({"ChkColourNoise", "HScrollColour", "TxtColour"}));
    }

    void changingTheModeMarksThePreviewAsStale() {
        OpenDialog d(420, 300);
        QVERIFY(d.Load());
        d.c<QScrollBar>("HScrollSigma")->setValue(20);
        d.c<QPushButton>("CmdPreview")->click();
        auto* mark = d.c<QLabel>("StaleNoteDenoised");
        // The strength alone is no change while the mode is off.
        d.c<QScrollBar>("HScrollColour")->setValue(40);
        QVERIFY(!d.dialog->State().previewStale);
        d.c<QCheckBox>("ChkColourNoise")->click();
        QVERIFY(d.dialog->State().previewStale);
        QVERIFY(mark->isVisible());
        d.c<QPushButton>("CmdPreview")->click();
        QVERIFY(!d.dialog->State().previewStale);
        d.c<QScrollBar>("HScrollColour")->setValue(41);
        QVERIFY(d.dialog->State().previewStale);
        d.c<QScrollBar>("HScrollColour")->setValue(40);
        QVERIFY(!d.dialog->State().previewStale);
    }
};

QTEST_MAIN(DialogColourTest)
#include "dialog_colour_qtest.moc"
