// The two user preferences and their file "Pref": one line `"1","2"` + CR LF.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

#include "app/support/language.h"

namespace calmora {

struct Preferences {
    Language language = Language::English;
    int16_t scrollButton = 1;  // 1 left, 2 right mouse button drags the image
};

// The program's current preferences, read by every window.
Preferences& CurrentPreferences();

// A field that is not exactly "1" or "2" (quotes removed) gives 1 (English, left button).
[[nodiscard]] Preferences ParsePreferences(const QByteArray& fileContents);
[[nodiscard]] QByteArray FormatPreferences(const Preferences& preferences);

// Read at start-up: a missing, unreadable or malformed file gives the defaults
// without a word. Written when the main window closes, to SettingsFile("Pref")
// (the settings folder is made if needed); false when it could not be written,
// in which case any previous file is left whole, or when the name is not a
// regular file (a FIFO, a device, or a link to one), which is never replaced.
void LoadPreferences();
bool SavePreferences();

}  // namespace calmora
