// The About window: version, release date, the FreeImage credit and three
// links (home page, contact address, FreeImage's site) opened by the desktop.
#pragma once

#include <QDialog>

class QLabel;

namespace calmora {

class FormAbout : public QDialog {
public:
    // Captions follow the current language preference at construction.
    explicit FormAbout(QWidget* owner = nullptr);

    // What a click on each link does; public so that tests can press them
    // without synthesising mouse events.
    void LabSitoInternet_Click();
    void Labemail_Click();
    void LabFreeImage_Click();

private:
    void ApplyCaptions(int language);

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
