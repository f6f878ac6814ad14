// The About window: its texts in both languages, its picture and its links.
#include <QTest>

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
        CurrentPreferences().language = static_cast<Language>(language);
        FormAbout about;
        QCOMPARE(about.objectName(), QStringLiteral("FormAbout"));
        const QStringList shown{about.windowTitle(), TextOf(about, "Label2"), TextOf(about, "Label5"),
                                TextOf(about, "Label3"), TextOf(about, "Label8"),
                                TextOf(about, "Label10"), TextOf(about, "Label11")};
        QCOMPARE(shown, expected);
    }

    void aLanguageChangeShowsInTheNextAboutWindow() {
        CurrentPreferences().language = Language::English;
        { FormAbout first; QCOMPARE(first.windowTitle(), QStringLiteral("About Calmora")); }
        CurrentPreferences().language = Language::Italian;
        FormAbout second;
        QCOMPARE(TextOf(second, "Label3"), QStringLiteral("Sito web:"));
    }

    void linksShowTheirTargetsUnderlinedAndOpenThem() {
        testing::SeamsRecorder seams;
        const AboutAddresses built{QStringLiteral("https://calmora.photo"),
                                   QStringLiteral("team@calmora.photo")};
        FormAbout about(nullptr, built);
        for (const char* name : {"LabSitoInternet", "Labemail", "LabFreeImage"}) {
            auto* link = about.findChild<QLabel*>(QString::fromLatin1(name));
            QVERIFY2(link, name);
            QVERIFY2(link->font().underline(), name);
        }
        QCOMPARE(TextOf(about, "LabSitoInternet"), built.homePage);
        QCOMPARE(TextOf(about, "Labemail"), built.contact);
        QCOMPARE(TextOf(about, "LabFreeImage"), QStringLiteral("https://freeimage.sourceforge.io"));

        // One click through the mouse, the others through their handlers.
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QTest::mouseClick(about.findChild<QLabel*>(QStringLiteral("LabSitoInternet")), Qt::LeftButton);
        about.Labemail_Click();
        about.LabFreeImage_Click();
        QCOMPARE(seams.openedUrls,
                 (QStringList{built.homePage, QStringLiteral("mailto:") + built.contact,
                              QStringLiteral("https://freeimage.sourceforge.io")}));
    }

    // A build given no home page or contact shows the placeholders as plain
    // text that leads nowhere; FreeImage's site stays a link.
    void placeholderAddressesAreNoLinks() {
        testing::SeamsRecorder seams;
        FormAbout about;  // this build's addresses: the unconfigured defaults
        QVERIFY(IsPlaceholderAddress(HomePageAddress()));
        QVERIFY(IsPlaceholderAddress(ContactAddress()));
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        for (const char* name : {"LabSitoInternet", "Labemail"}) {
            auto* label = about.findChild<QLabel*>(QString::fromLatin1(name));
            QVERIFY2(label, name);
            QVERIFY2(!label->font().underline(), name);
            QVERIFY2(label->cursor().shape() != Qt::PointingHandCursor, name);
            QVERIFY2(label->focusPolicy() == Qt::NoFocus, name);
            QTest::mouseClick(label, Qt::LeftButton);
        }
        QCOMPARE(TextOf(about, "LabSitoInternet"), HomePageAddress());
        QCOMPARE(TextOf(about, "Labemail"), ContactAddress());
        about.LabSitoInternet_Click();
        about.Labemail_Click();
        QVERIFY(seams.openedUrls.isEmpty());
        auto* freeImage = about.findChild<QLabel*>(QStringLiteral("LabFreeImage"));
        QVERIFY(freeImage->font().underline());
        QTest::mouseClick(freeImage, Qt::LeftButton);
        QCOMPARE(seams.openedUrls, QStringList{QStringLiteral("https://freeimage.sourceforge.io")});

        // Only the one that is a placeholder loses its link.
        FormAbout half(nullptr, {QStringLiteral("https://calmora.photo"), ContactAddress()});
        QVERIFY(half.findChild<QLabel*>(QStringLiteral("LabSitoInternet"))->font().underline());
        QVERIFY(!half.findChild<QLabel*>(QStringLiteral("Labemail"))->font().underline());
    }

    void placeholderAddressesAreTheReservedExampleDomains_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("placeholder");
        QTest::newRow("default home page") << "https://calmora.example.org" << true;
        QTest::newRow("default contact") << "calmora@example.org" << true;
        QTest::newRow("bare domain, path, port") << "http://EXAMPLE.com:8080/x" << true;
        QTest::newRow(".example top-level domain") << "https://photos.example/" << true;
        QTest::newRow("example.net mail") << "a@mail.example.net" << true;
        QTest::newRow("empty") << "" << true;
        QTest::newRow("blank") << "  " << true;
        QTest::newRow("real home page") << "https://calmora.photo/docs" << false;
        QTest::newRow("real contact") << "team@calmora.photo" << false;
        QTest::newRow("example only in the path") << "https://calmora.photo/a@example.org" << false;
        QTest::newRow("lookalike domain") << "https://myexample.org" << false;
        QTest::newRow("example as a subdomain") << "https://example.org.calmora.photo" << false;
    }
    void placeholderAddressesAreTheReservedExampleDomains() {
        QFETCH(QString, address);
        QFETCH(bool, placeholder);
        QCOMPARE(IsPlaceholderAddress(address), placeholder);
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
