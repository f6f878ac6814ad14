#include "denoise_dialog_launch.h"

#include "form_denoise.h"

namespace calmora {

void ShowDenoiseDialog(QWidget* owner, DenoiseHost& host) {
    // A fresh dialog each time, so every opening starts from the defaults.
    FormDenoise dialog(owner, host);
    if (!dialog.Load()) return;  // the reason has been shown
    dialog.exec();
}

}  // namespace calmora
