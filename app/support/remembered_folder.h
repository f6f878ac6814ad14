// The remembered folders of the open and save dialogs, each in its own small
// file ("InitFoldername", "InitFoldernameOut") in the settings folder: the
// folder in double quotes followed by CR LF, UTF-8.
#pragma once

#include <QByteArray>
#include <QString>

namespace calmora {

inline constexpr char kOpenFolderFile[] = "InitFoldername";
inline constexpr char kSaveFolderFile[] = "InitFoldernameOut";

// The folder a file's contents name; empty when they name none (empty, not
// text, or several lines of junk).
[[nodiscard]] QString ParseRememberedFolder(const QByteArray& fileContents);
[[nodiscard]] QByteArray FormatRememberedFolder(const QString& folder);

// The folder kept in settings file fileName; FirstDialogFolder() when the file
// is missing or does not hold a usable folder.
[[nodiscard]] QString ReadRememberedFolder(const QString& fileName);
// Rewrites settings file fileName with folder; false when it could not be
// written (the previous file then stays as it was) or the folder cannot be
// stored on one line.
bool WriteRememberedFolder(const QString& fileName, const QString& folder);

}  // namespace calmora
