// Opening FormDenoise in a test: a fake host, an owner window with the main
// window's title, and typed access to the dialog's named controls.
#pragma once

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <memory>

#include "dialog_test_host.h"
#include "form_denoise.h"
#include "picture_box.h"
#include "preferences.h"

namespace calmora::testing {

template <typename T>
T* Control(const QObject& parent, const char* name) {
    T* control = parent.findChild<T*>(QString::fromLatin1(name));
    if (!control) qFatal("no control %s", name);
    return control;
}

struct OpenDialog {
    OpenDialog(int32_t width, int32_t height, int language = 1)
        : host(std::make_unique<FakeHost>(width, height)) {
        CurrentPreferences().language = static_cast<Language>(language);
        owner.setWindowTitle(QStringLiteral("Calmora   a.png  (%1x%2)").arg(width).arg(height));
        dialog = std::make_unique<FormDenoise>(&owner, *host);
    }
    [[nodiscard]] bool Load() { return dialog->Load(); }
    template <typename T>
    T* c(const char* name) const {
        return Control<T>(*dialog, name);
    }
    // The user sets the sliders of the strength, the radius and the channels.
    void SetSliders(int sigma, int radius, int red = 100, int green = 100, int blue = 100) const {
        c<QScrollBar>("HScrollSigma")->setValue(sigma);
        c<QScrollBar>("HScrollrw")->setValue(radius);
        c<QScrollBar>("HScrollRed")->setValue(red);
        c<QScrollBar>("HScrollGreen")->setValue(green);
        c<QScrollBar>("HScrollBlue")->setValue(blue);
    }
    // The user clicks Stop when the next run reaches row; gives Stop.
    QPushButton* StopAtRow(int32_t row) const {
        auto* stop = c<QPushButton>("CmdInterrompiDenoise");
        dialog->SetBeforeRowHookForTest([stop, row](int32_t at, int32_t) {
            if (at == row) stop->click();
        });
        return stop;
    }
    // The user picks a channel in the list.
    void ChooseChannel(int index) const {
        auto* combo = Control<QComboBox>(*dialog, "Combo1");
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }

    std::unique_ptr<FakeHost> host;
    QWidget owner;
    std::unique_ptr<FormDenoise> dialog;
};

inline QRgb ToRgb(Bgr p) { return qRgb(p.r, p.g, p.b); }

}  // namespace calmora::testing
