// The recent-files list of the File menu: the last files opened, newest
// first, kept in the settings file "RecentFiles" as one UTF-8 path a line.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "app/support/language.h"

namespace calmora {

inline constexpr char kRecentFilesFile[] = "RecentFiles";
constexpr int kRecentFilesKept = 8;

// list with path in front, an earlier entry of it removed, at most
// kRecentFilesKept long.
[[nodiscard]] QStringList WithRecentFile(const QStringList& list, const QString& path);

// The paths a file's contents list (absolute ones, no repeats, at most
// kRecentFilesKept); blank lines and junk are left out.
[[nodiscard]] QStringList ParseRecentFiles(const QByteArray& contents);
[[nodiscard]] QByteArray FormatRecentFiles(const QStringList& list);

// What the window says when an entry of the list has gone, in language.
[[nodiscard]] QString MissingRecentFileText(const QString& path, Language language);

// The list in the settings folder; empty when there is none.
[[nodiscard]] QStringList ReadRecentFiles();
// False when it could not be written (the previous file then stays).
bool WriteRecentFiles(const QStringList& list);

}  // namespace calmora
