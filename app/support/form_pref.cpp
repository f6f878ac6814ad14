#include "form_pref.h"

#include <QButtonGroup>
#include <QFrame>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/support/named_object.h"
#include "app/support/ok_cancel_layout.h"
#include "preferences.h"

namespace calmora {
namespace {

QGroupBox* OptionFrame(QWidget* parent, const char* name, QRadioButton* first,
                       QRadioButton* second) {
    auto* frame = Named(new QGroupBox(parent), name);
    auto* layout = new QVBoxLayout(frame);
    layout->addWidget(first);
    layout->addWidget(second);
    // Each frame's options exclude each other, whatever their parent.
    auto* group = new QButtonGroup(frame);
    group->addButton(first);
    group->addButton(second);
    return frame;
}

}  // namespace

FormPref::FormPref(LanguageChangedCallback onLanguageChanged, QWidget* owner)
    : QDialog(owner), onLanguageChanged_(std::move(onLanguageChanged)) {
    setObjectName(QStringLiteral("FormPref"));
    setModal(true);

    FramePref = Named(new QFrame(this), "FramePref");
    OptENG = Named(new QRadioButton(FramePref), "OptENG");
    OptITA = Named(new QRadioButton(FramePref), "OptITA");
    OptSX = Named(new QRadioButton(FramePref), "OptSX");
    OptDX = Named(new QRadioButton(FramePref), "OptDX");
    FrameLingua = OptionFrame(FramePref, "FrameLingua", OptENG, OptITA);
    FrameMouse = OptionFrame(FramePref, "FrameMouse", OptSX, OptDX);
    CmdPrefOK = Named(new QPushButton(FramePref), "CmdPrefOK");
    CmdPrefAnnulla = Named(new QPushButton(FramePref), "CmdPrefAnnulla");
    CmdPrefOK->setDefault(true);

    StackAboveOkCancel(FramePref, FrameLingua, FrameMouse, CmdPrefOK, CmdPrefAnnulla);
    // The window is exactly as large as its frame.
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(FramePref);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    const Preferences& preferences = CurrentPreferences();
    SetCaptions(preferences.language);
    (preferences.language == Language::Italian ? OptITA : OptENG)->setChecked(true);
    (preferences.scrollButton == 1 ? OptSX : OptDX)->setChecked(true);

    connect(CmdPrefOK, &QPushButton::clicked, this, &FormPref::CmdPrefOK_Click);
    connect(CmdPrefAnnulla, &QPushButton::clicked, this, &FormPref::CmdPrefAnnulla_Click);
}

void FormPref::SetCaptions(Language language) {
    const bool english = language != Language::Italian;
    setWindowTitle(english ? QStringLiteral("Preferences") : QStringLiteral("Preferenze"));
    FrameLingua->setTitle(english ? QStringLiteral("Language") : QStringLiteral("Lingua"));
    OptENG->setText(english ? QStringLiteral("English") : QStringLiteral("Inglese"));
    OptITA->setText(english ? QStringLiteral("Italian") : QStringLiteral("Italiano"));
    FrameMouse->setTitle(english ? QStringLiteral("Mouse button for image scrolling")
                                 : QStringLiteral("Tasto del mouse per scorrere immagini"));
    OptSX->setText(english ? QStringLiteral("Left") : QStringLiteral("Sinistro"));
    OptDX->setText(english ? QStringLiteral("Right") : QStringLiteral("Destro"));
    CmdPrefOK->setText(english ? QStringLiteral("Apply") : QStringLiteral("Applica"));
    CmdPrefAnnulla->setText(english ? QStringLiteral("Cancel") : QStringLiteral("Annulla"));
}

void FormPref::ApplyLanguageChoice() {
    Preferences& preferences = CurrentPreferences();
    const Language chosen = OptITA->isChecked() ? Language::Italian : Language::English;
    if (chosen == preferences.language) return;
    preferences.language = chosen;
    if (onLanguageChanged_) onLanguageChanged_(chosen);
}

void FormPref::ApplyScrollButtonChoice() {
    Preferences& preferences = CurrentPreferences();
    if (OptSX->isChecked()) preferences.scrollButton = 1;
    if (OptDX->isChecked()) preferences.scrollButton = 2;
}

void FormPref::CmdPrefOK_Click() {
    ApplyLanguageChoice();
    ApplyScrollButtonChoice();
    accept();
}

void FormPref::CmdPrefAnnulla_Click() { reject(); }

void ShowPreferencesDialog(QWidget* owner, LanguageChangedCallback onLanguageChanged) {
    FormPref dialog(std::move(onLanguageChanged), owner);
    dialog.exec();
}

}  // namespace calmora
