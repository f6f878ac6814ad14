// Opens FormDenoise modally over owner for the host's current image and
// returns when it has closed (after a completed run the host holds the result).
#pragma once

class QWidget;

namespace calmora {

class DenoiseHost;

void ShowDenoiseDialog(QWidget* owner, DenoiseHost& host);

}  // namespace calmora
