// Qt's own texts (file dialogs, the overwrite question, standard buttons) in
// the program's language, from the translation the system installs with Qt.
#pragma once

#include "app/support/language.h"

namespace calmora {

// Installs Qt's Italian translation for Italian and removes it for English;
// false when Italian was asked for and the system has none (Qt's dialogs then
// stay in English).
bool UseQtTranslation(Language language);

}  // namespace calmora
