// Where the program keeps its small files and finds its help pages.
#pragma once

#include <QString>

namespace calmora {

// The folder holding the executable.
[[nodiscard]] QString ProgramFolder();

// The program's own folder when it is writable (a portable install), otherwise
// $XDG_CONFIG_HOME/calmora (default ~/.config/calmora). Only writers create it,
// through EnsureSettingsFolder; reading never makes folders.
[[nodiscard]] QString SettingsFolder();
[[nodiscard]] QString SettingsFile(const QString& name);  // "Pref", "InitFoldername", ...
// Creates the settings folder when missing; false when it cannot be made.
bool EnsureSettingsFolder();

// "CmHelp" beside the program, else the installed data folder share/calmora/CmHelp.
[[nodiscard]] QString HelpFolder();

// True for an existing regular file that is not hidden; folders, dot files and
// missing paths count as absent.
[[nodiscard]] bool FileExists(const QString& path);

// Tests point these at temporary folders; an empty string restores the default.
void OverrideSettingsFolder(const QString& folder);
void OverrideHelpFolder(const QString& folder);
// Stands in for the executable's folder when choosing the settings folder.
void OverrideProgramFolder(const QString& folder);

}  // namespace calmora
