// Where the program keeps its small files and finds its help pages.
#pragma once

#include <QString>

namespace calmora {

// The folder holding the executable.
[[nodiscard]] QString ProgramFolder();

// True for a program folder that belongs to an installed copy: one with the
// installed data folder ../share/calmora/CmHelp beside it (the layout that
// `cmake --install` and the package make, whatever the prefix), or one of the
// system's program folders (/usr/bin, /usr/local/bin, ...). A build tree keeps
// its help pages in CmHelp beside the program and has no such sibling.
[[nodiscard]] bool IsInstalledProgramFolder(const QString& folder);

// The program's own folder when it is writable and not installed (a build or
// an unpacked portable copy), otherwise $XDG_CONFIG_HOME/calmora (default
// ~/.config/calmora). Only writers create it, through EnsureSettingsFolder;
// reading never makes folders.
[[nodiscard]] QString SettingsFolder();
[[nodiscard]] QString SettingsFile(const QString& name);  // "Pref", "InitFoldername", ...
// Creates the settings folder when missing; false when it cannot be made.
bool EnsureSettingsFolder();

// Where the open and save dialogs start while no folder is remembered: the
// program's folder for a build or portable copy, as the settings beside it;
// the user's pictures folder (else home) for an installed copy or one in a
// folder this user cannot write.
[[nodiscard]] QString FirstDialogFolder();

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
