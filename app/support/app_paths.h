// Where the program keeps its small files and finds its help pages.
#pragma once

#include <QString>

namespace calmora {

// The program's own folder when it is writable (a portable install), otherwise
// $XDG_CONFIG_HOME/calmora (default ~/.config/calmora), created on first write.
[[nodiscard]] QString SettingsFolder();
[[nodiscard]] QString SettingsFile(const QString& name);  // "Pref", "InitFoldername", ...

// "CmHelp" beside the program, else the installed data folder share/calmora/CmHelp.
[[nodiscard]] QString HelpFolder();

// Tests point both at a temporary folder.
void OverrideSettingsFolder(const QString& folder);
void OverrideHelpFolder(const QString& folder);

}  // namespace calmora
