#include "app/support/language.h"

#include "app/support/preferences.h"

namespace calmora {

Language CurrentLanguage() {
    return CurrentPreferences().language == Language::Italian ? Language::Italian
                                                              : Language::English;
}

}  // namespace calmora
