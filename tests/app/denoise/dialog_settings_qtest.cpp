// FormDenoise: settings, their fields, the enabling rule, texts, background,
// help, the two layouts and the image view's mouse modes.
#include <QAction>
#include <QDir>
#include <QFocusEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

#include "app_paths.h"
#include "dialog_testing.h"
#include "message_catalogue.h"
#include "seams_recorder.h"
#include "denoise_run/noise_estimate.h"

using namespace calmora;
using namespace calmora::testing;

class DialogSettingsTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        CurrentPreferences() = Preferences{};
    }

    void everyOpeningStartsFromTheDefaults() {
        {
            OpenDialog d(120, 90);
            QVERIFY(d.Load());
            d.c<QScrollBar>("HScrollSigma")->setValue(50);
            d.c<QScrollBar>("HScrollrw")->setValue(7);
            d.c<QScrollBar>("HScrollRed")->setValue(30);
            d.c<QAction>("ColoreGray")->activate(QAction::Trigger);
            d.ChooseChannel(2);
            QCOMPARE(d.dialog->State().settings.sigma, int16_t{50});
            QCOMPARE(d.dialog->State().currentChannel, 2);
        }
        OpenDialog d(120, 90);
        QVERIFY(d.Load());
        QCOMPARE(d.dialog->State().settings.sigma, int16_t{0});
        QCOMPARE(d.dialog->State().settings.radius, int16_t{2});
        QCOMPARE(d.dialog->State().settings.red, 1.0f);
        QCOMPARE(d.dialog->State().settings.green, 1.0f);
        QCOMPARE(d.dialog->State().settings.blue, 1.0f);
        QCOMPARE(d.c<QLineEdit>("TxtSigma")->text(), QStringLiteral("0"));
        QCOMPARE(d.c<QLineEdit>("Txtrw")->text(), QStringLiteral("2"));
        for (const char* name : {"TxtRed", "TxtGreen", "TxtBlue"})
            QCOMPARE(d.c<QLineEdit>(name)->text(), QStringLiteral("100"));
        QCOMPARE(d.c<QComboBox>("Combo1")->currentText(), QStringLiteral("RGB"));
        QCOMPARE(d.dialog->State().currentChannel, 0);
        QVERIFY(d.c<QAction>("ColoreWhite")->isChecked());
        QVERIFY(!d.c<QAction>("ColoreGray")->isChecked());
        QCOMPARE(d.c<PictureBox>("PicR")->PixelAt(5, 5), qRgb(255, 255, 255));
        // sigma 0: nothing can run yet.
        QVERIFY(!d.c<QPushButton>("CmdPreview")->isEnabled());
        QVERIFY(!d.c<QPushButton>("CmdOKDenoise")->isEnabled());
        QVERIFY(!d.c<QPushButton>("CmdInterrompiDenoise")->isEnabled());
        QVERIFY(!d.c<QToolButton>("CmdOrigImg")->isEnabled());
    }

    void zeroIntensityOrNoChannelDisablesBothRuns() {
        OpenDialog d(120, 90);  // whole-image mode: no area to select
        QVERIFY(d.Load());
        auto* preview = d.c<QPushButton>("CmdPreview");
        auto* apply = d.c<QPushButton>("CmdOKDenoise");
        d.c<QScrollBar>("HScrollSigma")->setValue(12);
        QVERIFY(preview->isEnabled());
        QVERIFY(apply->isEnabled());
        for (const char* name : {"HScrollRed", "HScrollGreen", "HScrollBlue"})
            d.c<QScrollBar>(name)->setValue(0);
        QVERIFY(!preview->isEnabled());
        QVERIFY(!apply->isEnabled());
        d.c<QScrollBar>("HScrollBlue")->setValue(10);
        QVERIFY(preview->isEnabled());
        QVERIFY(apply->isEnabled());
        d.c<QScrollBar>("HScrollSigma")->setValue(0);
        QVERIFY(!preview->isEnabled());
        QVERIFY(!apply->isEnabled());
    }

    // Suggest measures the image's noise and sets the intensity through the
    // slider, so that the field and the enabling rule follow as for a drag.
    void suggestSetsTheIntensityFromTheMeasuredNoise() {
        OpenDialog d(640, 480);  // area mode, nothing selected yet
        QVERIFY(d.Load());
        const NoiseEstimate e =
            EstimateNoise(d.host->ImageBits(), d.host->ImageWidth(), d.host->ImageHeight());
        QVERIFY(e.Mean() > 10.0 && e.Mean() < 14.0);  // the test picture's noise is 12
        auto* suggest = d.c<QPushButton>("CmdSuggest");
        auto* noise = d.c<QLabel>("LabNoise");
        QCOMPARE(suggest->text(), QStringLiteral("Suggest"));
        QVERIFY(suggest->isEnabled());
        QVERIFY(noise->text().isEmpty());
        suggest->click();
        const int16_t at2 = SuggestedIntensity(e, 2);
        QCOMPARE(d.dialog->State().settings.sigma, at2);
        QCOMPARE(d.c<QScrollBar>("HScrollSigma")->value(), int{at2});
        QCOMPARE(d.c<QLineEdit>("TxtSigma")->text(), QString::number(at2));
        QVERIFY(d.c<QPushButton>("CmdOKDenoise")->isEnabled());
        QVERIFY(!d.c<QPushButton>("CmdPreview")->isEnabled());  // still no area
        QCOMPARE(noise->text(), QStringLiteral("\u03c3 %1").arg(e.Mean(), 0, 'f', 1));
        QVERIFY(noise->toolTip().contains(QStringLiteral("red %1").arg(e.red, 0, 'f', 1)));
        // A larger window wants a smaller intensity.
        d.c<QScrollBar>("HScrollrw")->setValue(8);
        suggest->click();
        QCOMPARE(d.dialog->State().settings.sigma, SuggestedIntensity(e, 8));
        QVERIFY(SuggestedIntensity(e, 8) < at2);
        // The controls around it stay where the design has them.
        QCOMPARE(d.c<QLineEdit>("TxtSigma")->geometry(), QRect(190, 6, 52, 24));
        QVERIFY(!suggest->geometry().intersects(d.c<QLineEdit>("TxtSigma")->geometry()));
        QVERIFY(!suggest->geometry().intersects(d.c<QScrollBar>("HScrollSigma")->geometry()));
        QVERIFY(!noise->geometry().intersects(d.c<QLineEdit>("TxtSigma")->geometry()));
    }

    void suggestInItalianAndOnAPictureWithoutNoise() {
        OpenDialog d(120, 90, 2);
        std::fill_n(const_cast<uint8_t*>(d.host->ImageBits()), BufferStride(120) * 90, uint8_t{255});
        QVERIFY(d.Load());
        auto* suggest = d.c<QPushButton>("CmdSuggest");
        QCOMPARE(suggest->text(), QStringLiteral("Suggerisci"));
        suggest->click();  // all clipped: nothing measured, nothing changed
        QCOMPARE(d.dialog->State().settings.sigma, int16_t{0});
        QVERIFY(!d.c<QPushButton>("CmdOKDenoise")->isEnabled());
        QCOMPARE(suggest->toolTip(), QStringLiteral("Nessun rumore misurabile in questa immagine"));
    }

    // The panes stand right under the frame and the channel list: no strip is
    // left for a progress bar, which an image this small never shows.
    void wholeImagePanesStandRightBelowTheSettings() {
        OpenDialog d(200, 150);
        QVERIFY(d.Load());
        const QRect frame = d.c<QFrame>("FrameDenoise")->geometry();
        const int comboHeight = d.c<QComboBox>("Combo1")->height();
        const PictureBox* pic = d.c<PictureBox>("Pic");
        QCOMPARE(pic->y(), frame.y() + frame.height() + comboHeight + 5);
        QCOMPARE(d.c<QComboBox>("Combo1")->y(), pic->y() - 3 - comboHeight);
        QCOMPARE(d.c<PictureBox>("PicR")->y(), pic->y());
        QCOMPARE(d.c<PictureBox>("PicNoise")->y(), pic->y());
    }

    void typedTextIsFilteredAndClamped() {
        OpenDialog d(120, 90);
        QVERIFY(d.Load());
        auto* field = d.c<QLineEdit>("TxtSigma");
        auto* slider = d.c<QScrollBar>("HScrollSigma");
        field->setCursorPosition(field->text().size());
        QTest::keyClicks(field, QStringLiteral("1a5"));
        QCOMPARE(field->text(), QStringLiteral("15"));
        QCOMPARE(slider->value(), 15);
        QCOMPARE(d.dialog->State().settings.sigma, int16_t{15});

        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);  // empty counts as 0
        QCOMPARE(slider->value(), 0);
        QCOMPARE(field->text(), QStringLiteral("0"));
        field->selectAll();
        QTest::keyClicks(field, QStringLiteral("250"));
        QCOMPARE(field->text(), QStringLiteral("200"));
        QCOMPARE(slider->value(), 200);

        auto* red = d.c<QLineEdit>("TxtRed");
        red->selectAll();
        QTest::keyClicks(red, QStringLiteral("x7"));
        QCOMPARE(red->text(), QStringLiteral("7"));
        QCOMPARE(d.c<QScrollBar>("HScrollRed")->value(), 7);
        QCOMPARE(d.dialog->State().settings.red, 0.07f);
    }

    void emptiedRadiusBecomesTwoOnLeaving() {
        OpenDialog d(120, 90);
        QVERIFY(d.Load());
        auto* field = d.c<QLineEdit>("Txtrw");
        auto* slider = d.c<QScrollBar>("HScrollrw");
        slider->setValue(6);
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QCOMPARE(field->text(), QString());
        QCOMPARE(slider->value(), 6);  // below the minimum: nothing follows yet
        // A menu opened or another window activated: the field is still being edited.
        for (Qt::FocusReason away : {Qt::PopupFocusReason, Qt::ActiveWindowFocusReason}) {
            QFocusEvent aside(QEvent::FocusOut, away);
            QApplication::sendEvent(field, &aside);
            QCOMPARE(field->text(), QString());
        }
        QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(field, &leave);
        QCOMPARE(field->text(), QStringLiteral("2"));
        QCOMPARE(slider->value(), 2);
        QCOMPARE(d.dialog->State().settings.radius, int16_t{2});

        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, QStringLiteral("1"));
        QApplication::sendEvent(field, &leave);
        QCOMPARE(field->text(), QStringLiteral("2"));
        QCOMPARE(d.dialog->State().settings.radius, int16_t{2});
    }

    void areaModeWantsASelectionBeforePreview() {
        OpenDialog d(1600, 1200);
        QVERIFY(d.Load());
        QVERIFY(d.dialog->State().areaMode);
        QCOMPARE(d.dialog->State().selectionMode, 0);
        d.c<QScrollBar>("HScrollSigma")->setValue(20);
        QVERIFY(d.c<QPushButton>("CmdOKDenoise")->isEnabled());
        QVERIFY(!d.c<QPushButton>("CmdPreview")->isEnabled());
        d.c<QToolButton>("CmdSelectArea")->click();
        QCOMPARE(d.dialog->State().selectionMode, 1);
        QVERIFY(d.c<QPushButton>("CmdPreview")->isEnabled());
        d.c<QToolButton>("CmdScroll")->click();
        QVERIFY(!d.c<QPushButton>("CmdPreview")->isEnabled());
    }

    void grayBackground() {
        OpenDialog d(120, 90);
        QVERIFY(d.Load());
        auto* gray = d.c<QAction>("ColoreGray");
        const QRgb grey = qRgb(230, 230, 230);
        gray->activate(QAction::Trigger);
        QVERIFY(gray->isChecked());
        QVERIFY(!d.c<QAction>("ColoreWhite")->isChecked());
        QCOMPARE(d.c<PictureBox>("PicR")->PixelAt(3, 3), grey);
        QCOMPARE(d.c<PictureBox>("PicNoise")->PixelAt(3, 3), grey);
        QCOMPARE(d.dialog->palette().color(QPalette::Window).rgb(), grey);
        QCOMPARE(d.c<QFrame>("FrameDenoise")->palette().color(QPalette::Window).rgb(), grey);
        QCOMPARE(d.c<QLabel>("LabSigma")->palette().color(QPalette::Window).rgb(), grey);
        gray->activate(QAction::Trigger);  // again: stays gray and checked
        QVERIFY(gray->isChecked());
        QCOMPARE(d.c<PictureBox>("PicR")->PixelAt(3, 3), grey);
        d.c<QAction>("ColoreWhite")->activate(QAction::Trigger);
        QVERIFY(!gray->isChecked());
        QCOMPARE(d.c<PictureBox>("PicNoise")->PixelAt(3, 3), qRgb(255, 255, 255));
    }

    void textsInBothLanguages() {
        {
            OpenDialog d(120, 90, 1);
            QVERIFY(d.Load());
            QCOMPARE(d.dialog->windowTitle(), QStringLiteral("Denoise    a.png  (120x90)"));
            QCOMPARE(d.c<QPushButton>("CmdOKDenoise")->text(), QStringLiteral("Apply"));
            QCOMPARE(d.c<PictureBox>("Pic")->toolTip(), QStringLiteral("Original image"));
        }
        OpenDialog d(1600, 1200, 2);
        QVERIFY(d.Load());
        QCOMPARE(d.dialog->windowTitle(), QStringLiteral("Riduci rumore    a.png  (1600x1200)"));
        QCOMPARE(d.c<QPushButton>("CmdOKDenoise")->text(), QStringLiteral("Applica"));
        QCOMPARE(d.c<QComboBox>("Combo1")->itemText(1), QStringLiteral("Rosso"));
        QCOMPARE(d.c<PictureBox>("PicR")->toolTip(), QStringLiteral("Area dell'immagine risultante"));
        QVERIFY(d.c<PictureBox>("Pic")->toolTip().isEmpty());
    }

    void helpOpensThePageOfTheLanguage() {
        SeamsRecorder seams;
        OverrideHelpFolder(QStringLiteral("/tmp/calmora-help"));
        {
            OpenDialog d(120, 90, 1);
            QVERIFY(d.Load());
            d.c<QAction>("ShowGuida")->activate(QAction::Trigger);
        }
        {
            OpenDialog d(120, 90, 2);
            QVERIFY(d.Load());
            d.c<QAction>("ShowGuida")->activate(QAction::Trigger);
        }
        QCOMPARE(seams.openedUrls,
                 QStringList({QStringLiteral("/tmp/calmora-help/index_eng.html"),
                              QStringLiteral("/tmp/calmora-help/index.html")}));
        OverrideHelpFolder(QString());
    }

    void modeFollowsTheImageSize_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("area");
        QTest::newRow("200x150 whole") << 200 << 150 << false;
        QTest::newRow("201x150 area") << 201 << 150 << true;
        QTest::newRow("200x151 area") << 200 << 151 << true;
    }

    void modeFollowsTheImageSize() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(bool, area);
        OpenDialog d(width, height);
        QVERIFY(d.Load());
        QCOMPARE(d.dialog->State().areaMode, area);
        auto* pic = d.c<PictureBox>("Pic");
        auto* picR = d.c<PictureBox>("PicR");
        auto* picNoise = d.c<PictureBox>("PicNoise");
        QCOMPARE(d.c<QFrame>("Line1")->isVisible(), area);
        QVERIFY(!d.c<QToolButton>("CmdSelectArea")->isVisible());  // whole image visible either way
        // Whatever the mode, Pic shows the image from its top-left corner.
        QCOMPARE(pic->PixelAt(0, 0), ToRgb(PixelOf(d.host->ImageBits(), width, height, 0, 0)));
        QCOMPARE(pic->PixelAt(width - 1, height - 1),
                 ToRgb(PixelOf(d.host->ImageBits(), width, height, width - 1, height - 1)));
        if (!area) {
            QCOMPARE(pic->size(), QSize(width, height));
            QCOMPARE(picR->size(), QSize(width, height));
            QCOMPARE(pic->x(), picR->x() + width + 2);
            QCOMPARE(picNoise->x(), pic->x() + width + 2);
            QCOMPARE(pic->y(), picR->y());
            QVERIFY(!d.dialog->State().rectangleShown);
        } else {
            // The image fits in the view: the rectangle goes up at once, centred.
            QCOMPARE(pic->size(), QSize(width, height));
            QCOMPARE(picR->size(), QSize(184, 138));
            QCOMPARE(d.dialog->State().selectionMode, 1);
            QVERIFY(d.dialog->State().rectangleShown);
            QCOMPARE(d.dialog->State().rectLeft, RoundToEven((width - 186) / 2.0));
            QCOMPARE(d.dialog->State().rectTop, RoundToEven((height - 140) / 2.0));
            QCOMPARE(pic->PixelAt(d.dialog->State().rectLeft, d.dialog->State().rectTop),
                     qRgb(255, 255, 255));
        }
        auto* combo = d.c<QComboBox>("Combo1");
        // Centred over the view, a half pixel rounded to even like the rest of the layout.
        QCOMPARE(combo->x(), pic->x() + RoundToEven((pic->width() - combo->width()) / 2.0));
        QVERIFY(combo->y() + combo->height() <= pic->y());
    }

    void imageLowerThanThePanesGetsAShorterArea() {
        OpenDialog d(300, 100);
        QVERIFY(d.Load());
        QVERIFY(d.dialog->State().areaMode);
        QCOMPARE(d.dialog->State().area.width, 184);
        QCOMPARE(d.dialog->State().area.height, 100);
        QCOMPARE(d.dialog->State().rectTop, -1);  // the outline sits just outside the view
        // A preview then covers exactly the image rows.
        d.c<QScrollBar>("HScrollSigma")->setValue(8);
        d.c<QPushButton>("CmdPreview")->click();
        QVERIFY(d.dialog->State().previewValid);
        const DisplayBitmap& orig = d.dialog->State().areaBitmaps.original;
        const int left = d.dialog->State().rectLeft + 1;
        QCOMPARE(PixelOf(orig.bits, 184, 100, 0, 0).g,
                 PixelOf(d.host->ImageBits(), 300, 100, left, 0).g);
        QCOMPARE(PixelOf(orig.bits, 184, 100, 183, 99).r,
                 PixelOf(d.host->ImageBits(), 300, 100, left + 183, 99).r);
    }

    void bitmapThatCannotBeMadeClosesWithMessage42_data() {
        QTest::addColumn<QString>("failing");
        QTest::newRow("view") << QStringLiteral("viewBmp");
        QTest::newRow("channel view") << QStringLiteral("viewChanBmp");
        QTest::newRow("whole image in one channel") << QStringLiteral("imageChanBmp");
        QTest::newRow("area") << QStringLiteral("areaDenBmp");
        QTest::newRow("area channel") << QStringLiteral("areaNoiseChanBmp");
    }

    void bitmapThatCannotBeMadeClosesWithMessage42() {
        QFETCH(QString, failing);
        SeamsRecorder seams;
        OpenDialog d(640, 480);
        d.dialog->SetBitmapMakerForTest(
            [failing](DisplayBitmap& bitmap, int32_t w, int32_t h, const char* name) {
                if (failing == QLatin1String(name)) return false;
                return CreaDIB(bitmap, w, h);
            });
        QVERIFY(!d.Load());
        QVERIFY(!d.dialog->isVisible());
        QCOMPARE(seams.messages.size(), 1);
        QCOMPARE(seams.messages[0].request.text, MessageText(42, Language::English));
        QCOMPARE(seams.messages[0].request.icon, MessageIcon::Critical);
        QVERIFY(d.host->ImageUnchanged());
        QCOMPARE(d.host->adopted, 0);
    }

    void rectangleBandIsDrawnAndRestoredWhenItMoves() {
        OpenDialog d(1600, 1200);
        QVERIFY(d.Load());
        auto* pic = d.c<PictureBox>("Pic");
        const uint8_t* image = d.host->ImageBits();
        auto imagePixel = [&](int x, int y) { return ToRgb(PixelOf(image, 1600, 1200, x, y)); };
        auto anded = [&](int x, int y) {
            const Bgr p = PixelOf(image, 1600, 1200, x, y);
            return qRgb(p.r & 80, p.g & 80, p.b & 80);
        };
        d.c<QToolButton>("CmdSelectArea")->click();
        const int left = d.dialog->State().rectLeft, top = d.dialog->State().rectTop;
        const int w = d.dialog->State().rectWidth, h = d.dialog->State().rectHeight;
        QCOMPARE(w, 186);
        QCOMPARE(h, 140);
        QCOMPARE(left, RoundToEven((pic->width() - w) / 2.0));
        QCOMPARE(top, RoundToEven((pic->height() - h) / 2.0));
        QCOMPARE(pic->PixelAt(left, top), qRgb(255, 255, 255));
        QCOMPARE(pic->PixelAt(left + w - 1, top + h - 1), qRgb(255, 255, 255));
        QCOMPARE(pic->PixelAt(left + 10, top + 10), imagePixel(left + 10, top + 10));
        QCOMPARE(pic->PixelAt(left - 1, top + 20), anded(left - 1, top + 20));   // left band
        QCOMPARE(pic->PixelAt(left - 5, top - 5), anded(left - 5, top - 5));     // corner
        QCOMPARE(pic->PixelAt(left + w + 4, top + h + 4), anded(left + w + 4, top + h + 4));
        QCOMPARE(pic->PixelAt(left - 6, top + 20), imagePixel(left - 6, top + 20));  // beyond

        // Pressing outside the rectangle does nothing.
        QTest::mousePress(pic, Qt::LeftButton, {}, QPoint(2, 2));
        QTest::mouseMove(pic, QPoint(40, 40));
        QTest::mouseRelease(pic, Qt::LeftButton, {}, QPoint(40, 40));
        QCOMPARE(d.dialog->State().rectLeft, left);

        // Dragged far beyond the corner: clamped so the area stays in the view.
        const QPoint grab(left + w / 2, top + h / 2);
        QTest::mousePress(pic, Qt::LeftButton, {}, grab);
        QTest::mouseMove(pic, grab + QPoint(5000, 5000));
        QTest::mouseRelease(pic, Qt::LeftButton, {}, grab + QPoint(5000, 5000));
        QCOMPARE(d.dialog->State().rectLeft, pic->width() - w + 1);
        QCOMPARE(d.dialog->State().rectTop, pic->height() - h + 1);
        // The old outline and band are gone.
        QCOMPARE(pic->PixelAt(left, top), imagePixel(left, top));
        QCOMPARE(pic->PixelAt(left - 1, top + 20), imagePixel(left - 1, top + 20));
        QCOMPARE(pic->PixelAt(left + w + 4, top + h + 4), imagePixel(left + w + 4, top + h + 4));

        // And to the top-left corner.
        const QPoint grab2(d.dialog->State().rectLeft + 5, d.dialog->State().rectTop + 5);
        QTest::mousePress(pic, Qt::LeftButton, {}, grab2);
        QTest::mouseMove(pic, QPoint(-3000, -3000));
        QTest::mouseRelease(pic, Qt::LeftButton, {}, QPoint(-3000, -3000));
        QCOMPARE(d.dialog->State().rectLeft, 0);
        QCOMPARE(d.dialog->State().rectTop, 0);
        QCOMPARE(pic->PixelAt(0, 0), qRgb(255, 255, 255));
        QCOMPARE(pic->PixelAt(pic->width() - 1, pic->height() - 1),
                 imagePixel(pic->width() - 1, pic->height() - 1));

        // Scroll mode takes the rectangle and its band away.
        d.c<QToolButton>("CmdScroll")->click();
        QVERIFY(!d.dialog->State().rectangleShown);
        QCOMPARE(pic->PixelAt(0, 0), imagePixel(0, 0));
        QCOMPARE(pic->PixelAt(w + 2, 20), imagePixel(w + 2, 20));
    }

    void draggingScrollsTheImageWithThePreferredButton() {
        OpenDialog d(1600, 1200);
        QVERIFY(d.Load());
        auto* pic = d.c<PictureBox>("Pic");
        const uint8_t* image = d.host->ImageBits();
        // The right button is not the preferred one: nothing moves.
        QTest::mousePress(pic, Qt::RightButton, {}, QPoint(100, 100));
        QTest::mouseMove(pic, QPoint(150, 120));
        QTest::mouseRelease(pic, Qt::RightButton, {}, QPoint(150, 120));
        QCOMPARE(d.dialog->State().scrollX, 0);

        QTest::mousePress(pic, Qt::LeftButton, {}, QPoint(100, 100));
        QCOMPARE(pic->cursor().shape(), Qt::SizeAllCursor);
        QTest::mouseMove(pic, QPoint(150, 120));
        QTest::mouseRelease(pic, Qt::LeftButton, {}, QPoint(150, 120));
        QCOMPARE(pic->cursor().shape(), Qt::ArrowCursor);
        const int sx = RoundToEven(50.0 / pic->width() * 1600);
        const int sy = RoundToEven(20.0 / pic->height() * 1200);
        QCOMPARE(d.dialog->State().scrollX, sx);
        QCOMPARE(d.dialog->State().scrollY, sy);
        QCOMPARE(pic->PixelAt(0, 0), ToRgb(PixelOf(image, 1600, 1200, sx, sy)));
        QCOMPARE(pic->PixelAt(7, 3), ToRgb(PixelOf(image, 1600, 1200, sx + 7, sy + 3)));

        CurrentPreferences().scrollButton = 2;
        QTest::mousePress(pic, Qt::RightButton, {}, QPoint(100, 100));
        QTest::mouseMove(pic, QPoint(-5000, -5000));
        QTest::mouseRelease(pic, Qt::RightButton, {}, QPoint(-5000, -5000));
        QCOMPARE(d.dialog->State().scrollX, 0);
        QCOMPARE(d.dialog->State().scrollY, 0);
        QCOMPARE(pic->PixelAt(0, 0), ToRgb(PixelOf(image, 1600, 1200, 0, 0)));
    }
};

QTEST_MAIN(DialogSettingsTest)
#include "dialog_settings_qtest.moc"
