#include "current_language.h"

#include "captions.h"
#include "preferences.h"

namespace calmora {

int CurrentLanguage() { return CurrentPreferences().language == kItalian ? kItalian : kEnglish; }

}  // namespace calmora
