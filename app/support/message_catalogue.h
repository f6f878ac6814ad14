// The numbered error messages, each in English and Italian.
#pragma once

#include <QString>

class QWidget;

namespace calmora {

constexpr int kMessageCount = 43;

// Text of message number (1..43) in language (1 English, 2 Italian); empty when out of range.
[[nodiscard]] QString MessageText(int number, int language);

// Shows message number in the current language with the critical icon and an OK button.
void ShowMessage(QWidget* parent, int number);

}  // namespace calmora
