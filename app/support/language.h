// The two languages the program speaks. The values are the ones the
// preferences file stores ("1" English, "2" Italian), so a file written by
// any earlier copy reads the same.
#pragma once

#include <cstdint>

namespace calmora {

enum class Language : int16_t { English = 1, Italian = 2 };

// The language the program speaks now, from the preferences: Italian when
// chosen, English otherwise (also for a value no file can hold).
[[nodiscard]] Language CurrentLanguage();

// The language a switch leaves: English for Italian and Italian for English.
[[nodiscard]] constexpr Language OtherLanguage(Language language) {
    return language == Language::Italian ? Language::English : Language::Italian;
}

}  // namespace calmora
