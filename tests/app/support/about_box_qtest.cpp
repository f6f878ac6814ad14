// The About window: its texts in both languages, its picture and its links.
#include <QtTest>

#include <QImage>
#include <QLabel>

#include "about_box.h"
#include "form_about.h"
#include "preferences.h"
#include "seams_recorder.h"

using namespace calmora;

namespace {

QString TextOf(const QWidget& form, const char* name) {
    auto* label = form.findChild<QLabel*>(QString::fromLatin1(name));
    return label ? label->text() : QStringLiteral("<no label %1>").arg(QLatin1String(name));
}

}  // namespace

class AboutBoxTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { CurrentPreferences() = {}; }

    void textsFollowTheLanguage_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QStringList>("expected");  // title, Label2, 5, 3, 8, 10, 11
        QTest::newRow("English")
            << 1
            << QStringList{"About Calmora", "Version:                 2.1",
                           "Release date:     May   19  2007", "Web site:",
                           "Calmora uses the FreeImage open source image library. See",
                           "for details.", "FreeImage is used under the FIPL license."};
        QTest::newRow("Italian")
            << 2
            << QStringList{"Calmora  informazioni", "Versione:                2.1",
                           "Data di rilascio:    19 maggio 2007", "Sito web:",
                           "Calmora usa la libreria open source FreeImage. Vedi",
                           "per dettagli.",
                           QString::fromUtf8("FreeImage \xC3\xA8 usata secondo la licenza FIPL.")};
    }
    void textsFollowTheLanguage() {
        QFETCH(int, language);
        QFETCH(QStringList, expected);
        CurrentPreferences().language = static_cast<int16_t>(language);
        FormAbout about;
        QCOMPARE(about.objectName(), QStringLiteral("FormAbout"));
        const QStringList shown{about.windowTitle(), TextOf(about, "Label2"), TextOf(about, "Label5"),
                                TextOf(about, "Label3"), TextOf(about, "Label8"),
                                TextOf(about, "Label10"), TextOf(about, "Label11")};
        QCOMPARE(shown, expected);
    }

    void aLanguageChangeShowsInTheNextAboutWindow() {
        CurrentPreferences().language = 1;
        { FormAbout first; QCOMPARE(first.windowTitle(), QStringLiteral("About Calmora")); }
        CurrentPreferences().language = 2;
        FormAbout second;
        QCOMPARE(TextOf(second, "Label3"), QStringLiteral("Sito web:"));
    }

    void linksShowTheirTargetsUnderlinedAndOpenThem() {
        testing::SeamsRecorder seams;
        FormAbout about;
        for (const char* name : {"LabSitoInternet", "Labemail", "LabFreeImage"}) {
            auto* link = about.findChild<QLabel*>(QString::fromLatin1(name));
            QVERIFY2(link, name);
            QVERIFY2(link->font().underline(), name);
        }
        QCOMPARE(TextOf(about, "LabSitoInternet"), HomePageAddress());
        QCOMPARE(TextOf(about, "Labemail"), ContactAddress());
        QCOMPARE(TextOf(about, "LabFreeImage"), QStringLiteral("https://freeimage.sourceforge.io"));

        // One click through the mouse, the others through their handlers.
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QTest::mouseClick(about.findChild<QLabel*>(QStringLiteral("LabSitoInternet")), Qt::LeftButton);
        about.Labemail_Click();
        about.LabFreeImage_Click();
        QCOMPARE(seams.openedUrls,
                 (QStringList{HomePageAddress(), QStringLiteral("mailto:") + ContactAddress(),
                              QStringLiteral("https://freeimage.sourceforge.io")}));
    }

    void thePictureIsDrawn() {
        FormAbout about;
        auto* image1 = about.findChild<QLabel*>(QStringLiteral("Image1"));
        QVERIFY(image1);
        const QImage picture = image1->pixmap().toImage();
        QVERIFY(!picture.isNull());
        // Opaque in the middle, transparent in the corner, more than one colour.
        QCOMPARE(qAlpha(picture.pixel(picture.width() / 2, picture.height() / 2)), 255);
        QCOMPARE(qAlpha(picture.pixel(0, 0)), 0);
        QVERIFY(picture.pixel(picture.width() / 2, picture.height() / 5) !=
                picture.pixel(picture.width() / 2, picture.height() / 2));
        QCOMPARE(DrawCalmoraPicture(64), DrawCalmoraPicture(64));
    }
};

QTEST_MAIN(AboutBoxTest)
#include "about_box_qtest.moc"
