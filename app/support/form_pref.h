// The preferences window: language and drag-scrolling mouse button.
//
// It reads and changes CurrentPreferences() and never writes the file (that
// happens when the main window closes). When the language really changes, it
// calls back the owner with the new language after
// CurrentPreferences().language has been set; the owner then sets its own
// captions in that language (ApplyEnglishCaptions / ApplyItalianCaptions) and
// switches its title (SwapCaptionLanguage). Choosing the language already in
// use calls nothing.
#pragma once

#include <QDialog>
#include <functional>

#include "app/support/language.h"

class QFrame;
class QGroupBox;
class QPushButton;
class QRadioButton;

namespace calmora {

using LanguageChangedCallback = std::function<void(Language newLanguage)>;

class FormPref : public QDialog {
    Q_OBJECT
public:
    explicit FormPref(LanguageChangedCallback onLanguageChanged, QWidget* owner = nullptr);

    // The two steps of "Apply", in this order.
    void ApplyLanguageChoice();
    void ApplyScrollButtonChoice();

    void CmdPrefOK_Click();       // applies both choices and closes
    void CmdPrefAnnulla_Click();  // closes and changes nothing

private:
    void SetCaptions(Language language);

    LanguageChangedCallback onLanguageChanged_;
    QFrame* FramePref;
    QGroupBox* FrameLingua;
    QRadioButton* OptENG;
    QRadioButton* OptITA;
    QGroupBox* FrameMouse;
    QRadioButton* OptSX;
    QRadioButton* OptDX;
    QPushButton* CmdPrefOK;
    QPushButton* CmdPrefAnnulla;
};

// Shows FormPref modally over owner and returns when it has closed.
void ShowPreferencesDialog(QWidget* owner, LanguageChangedCallback onLanguageChanged);

}  // namespace calmora
