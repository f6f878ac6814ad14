// The numbered error messages, each in English and Italian.
#pragma once

#include <QString>

#include "app/support/language.h"
#include "app/support/ui_seams.h"

class QWidget;

namespace calmora {

constexpr int kMessageCount = 43;

// Text of message number (1..43) in language; empty when either is out of range.
[[nodiscard]] QString MessageText(int number, Language language);

// Shows message number in the current language with the critical icon and an OK button.
void ShowMessage(QWidget* parent, int number);

// Shows a text of the program's own (not from the catalogue) the same way,
// with icon.
void ShowMessageText(QWidget* parent, const QString& text, MessageIcon icon);

}  // namespace calmora
