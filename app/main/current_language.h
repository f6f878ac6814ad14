// The language the window program speaks now: kEnglish or kItalian
// (captions.h), from the preferences.
#pragma once

namespace calmora {

[[nodiscard]] int CurrentLanguage();

}  // namespace calmora
