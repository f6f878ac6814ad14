#include <QTest>

#include <QFileInfo>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include "app_paths.h"
#include "form_pref.h"
#include "preferences.h"

using namespace calmora;

namespace {

QString TextOf(const QDialog& form, const QString& name) {
    if (auto* box = form.findChild<QGroupBox*>(name)) return box->title();
    if (auto* button = form.findChild<QAbstractButton*>(name)) return button->text();
    return QStringLiteral("<no control %1>").arg(name);
}

bool Checked(const QDialog& form, const char* name) {
    auto* option = form.findChild<QRadioButton*>(QString::fromLatin1(name));
    return option && option->isChecked();
}

// Clicks where a user would: the form is shown first, so that its layout has
// given every control its real size.
void Click(QDialog& form, const char* name) {
    if (!form.isVisible()) {
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
    }
    auto* button = form.findChild<QAbstractButton*>(QString::fromLatin1(name));
    QVERIFY2(button, name);
    // An option reacts on its indicator and caption, which sit at its left end.
    const QPoint at = qobject_cast<QRadioButton*>(button)
                          ? QPoint(4, button->height() / 2)
                          : button->rect().center();
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, at);
}

}  // namespace

class FormPrefTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        CurrentPreferences() = {};
        OverrideSettingsFolder(settings.path());
    }
    void cleanup() {
        CurrentPreferences() = {};
        OverrideSettingsFolder({});
    }
    void captionsFollowTheLanguage_data();
    void captionsFollowTheLanguage();
    void optionsShowTheCurrentValues_data();
    void optionsShowTheCurrentValues();
    void applyChangesValuesAndCallsBackOnce_data();
    void applyChangesValuesAndCallsBackOnce();
    void cancelChangesNothing();

private:
    QTemporaryDir settings;
};

void FormPrefTest::captionsFollowTheLanguage_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<QStringList>("texts");  // form, then the controls in order below
    QTest::newRow("English") << 1
                             << QStringList{"Preferences", "Language", "English", "Italian",
                                            "Mouse button for image scrolling", "Left", "Right",
                                            "Apply", "Cancel"};
    QTest::newRow("Italian") << 2
                             << QStringList{"Preferenze", "Lingua", "Inglese", "Italiano",
                                            "Tasto del mouse per scorrere immagini", "Sinistro",
                                            "Destro", "Applica", "Annulla"};
}

void FormPrefTest::captionsFollowTheLanguage() {
    QFETCH(int, language);
    QFETCH(QStringList, texts);
    CurrentPreferences().language = static_cast<Language>(language);
    FormPref form(nullptr);
    QCOMPARE(form.objectName(), QStringLiteral("FormPref"));
    QCOMPARE(form.windowTitle(), texts[0]);
    const QStringList controls{"FrameLingua", "OptENG", "OptITA", "FrameMouse", "OptSX",
                               "OptDX",       "CmdPrefOK", "CmdPrefAnnulla"};
    for (int i = 0; i < controls.size(); ++i) QCOMPARE(TextOf(form, controls[i]), texts[i + 1]);
}

void FormPrefTest::optionsShowTheCurrentValues_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("scrollButton");
    QTest::newRow("English, left") << 1 << 1;
    QTest::newRow("Italian, right") << 2 << 2;
    QTest::newRow("English, right") << 1 << 2;
}

void FormPrefTest::optionsShowTheCurrentValues() {
    QFETCH(int, language);
    QFETCH(int, scrollButton);
    CurrentPreferences() = {static_cast<Language>(language), int16_t(scrollButton)};
    FormPref form(nullptr);
    QCOMPARE(Checked(form, "OptENG"), language == 1);
    QCOMPARE(Checked(form, "OptITA"), language == 2);
    QCOMPARE(Checked(form, "OptSX"), scrollButton == 1);
    QCOMPARE(Checked(form, "OptDX"), scrollButton == 2);
}

void FormPrefTest::applyChangesValuesAndCallsBackOnce_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("languageOption");
    QTest::addColumn<QString>("buttonOption");
    QTest::addColumn<QList<int>>("calls");
    QTest::addColumn<int>("newLanguage");
    QTest::addColumn<int>("newButton");
    QTest::newRow("English to Italian") << 1 << "OptITA" << "OptDX" << QList<int>{2} << 2 << 2;
    QTest::newRow("Italian to English") << 2 << "OptENG" << "OptSX" << QList<int>{1} << 1 << 1;
    QTest::newRow("Italian kept") << 2 << "OptITA" << "OptDX" << QList<int>{} << 2 << 2;
    QTest::newRow("English kept") << 1 << "OptENG" << "OptSX" << QList<int>{} << 1 << 1;
}

void FormPrefTest::applyChangesValuesAndCallsBackOnce() {
    QFETCH(int, language);
    QFETCH(QString, languageOption);
    QFETCH(QString, buttonOption);
    QFETCH(QList<int>, calls);
    QFETCH(int, newLanguage);
    QFETCH(int, newButton);
    CurrentPreferences() = {static_cast<Language>(language), int16_t(language == 1 ? 2 : 1)};
    QList<int> seen;
    int languageDuringCall = 0;
    FormPref form([&](Language l) {
        seen.append(int(l));
        languageDuringCall = int(CurrentPreferences().language);
    });
    Click(form, languageOption.toLatin1().constData());
    Click(form, buttonOption.toLatin1().constData());
    Click(form, "CmdPrefOK");
    QCOMPARE(seen, calls);
    if (!calls.isEmpty()) QCOMPARE(languageDuringCall, newLanguage);
    QCOMPARE(int(CurrentPreferences().language), newLanguage);
    QCOMPARE(int(CurrentPreferences().scrollButton), newButton);
    QCOMPARE(form.result(), int(QDialog::Accepted));
    // The file is written when the program closes, not here.
    QVERIFY(!QFileInfo::exists(SettingsFile("Pref")));
}

void FormPrefTest::cancelChangesNothing() {
    CurrentPreferences() = {Language::English, 1};
    bool called = false;
    FormPref form([&](Language) { called = true; });
    Click(form, "OptITA");
    Click(form, "OptDX");
    Click(form, "CmdPrefAnnulla");
    QVERIFY(!called);
    QCOMPARE(int(CurrentPreferences().language), 1);
    QCOMPARE(int(CurrentPreferences().scrollButton), 1);
    QCOMPARE(form.result(), int(QDialog::Rejected));
}

QTEST_MAIN(FormPrefTest)
#include "form_pref_qtest.moc"
