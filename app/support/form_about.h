// The About window: version, release date, the FreeImage credit and three
// links (home page, contact address, FreeImage's site) opened by the desktop.
// A home page or contact address still at a placeholder (IsPlaceholderAddress)
// is shown as plain text: no underline, no hand pointer, nothing on a click.
#pragma once

#include <QDialog>
#include <QString>

#include "app/support/language.h"

class QLabel;

namespace calmora {

// The program's own addresses the window shows.
struct AboutAddresses {
    QString homePage;
    QString contact;
};
// The ones given at build time (HomePageAddress, ContactAddress).
[[nodiscard]] AboutAddresses BuiltAboutAddresses();

class FormAbout : public QDialog {
public:
    // Captions follow the current language preference at construction.
    explicit FormAbout(QWidget* owner = nullptr,
                       const AboutAddresses& addresses = BuiltAboutAddresses());

    // What a click on each link does; public so that tests can press them
    // without synthesising mouse events.
    void LabSitoInternet_Click();
    void Labemail_Click();
    void LabFreeImage_Click();

private:
    void ApplyCaptions(Language language);

    AboutAddresses addresses_;
    QLabel* label2_ = nullptr;
    QLabel* label5_ = nullptr;
    QLabel* label3_ = nullptr;
    QLabel* label8_ = nullptr;
    QLabel* label10_ = nullptr;
    QLabel* label11_ = nullptr;
    QLabel* labSitoInternet_ = nullptr;
    QLabel* labemail_ = nullptr;
    QLabel* labFreeImage_ = nullptr;
};

// Shows FormAbout modally over owner and returns when it is closed.
void ShowAboutBox(QWidget* owner);

}  // namespace calmora
