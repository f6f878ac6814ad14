#include "recent_files.h"

#include <QFile>

#include "app_paths.h"
#include "captions.h"
#include "settings_file_save.h"

namespace calmora {

QStringList WithRecentFile(const QStringList& list, const QString& path) {
    QStringList result{path};
    for (const QString& entry : list) {
        if (entry != path && result.size() < kRecentFilesKept) result.append(entry);
    }
    return result;
}

QStringList ParseRecentFiles(const QByteArray& contents) {
    QStringList result;
    for (const QByteArray& raw : contents.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        // Only absolute paths: anything else is not a line this program wrote.
        if (!line.startsWith(QLatin1Char('/')) || line.contains(QChar(0)) ||
            line.contains(QChar::ReplacementCharacter) || result.contains(line)) {
            continue;
        }
        result.append(line);
        if (result.size() == kRecentFilesKept) break;
    }
    return result;
}

QByteArray FormatRecentFiles(const QStringList& list) {
    QByteArray contents;
    for (const QString& path : list) {
        // A name with a line break in it cannot be told apart on reading.
        if (path.contains(QLatin1Char('\n')) || path.contains(QLatin1Char('\r'))) continue;
        contents += path.toUtf8() + '\n';
    }
    return contents;
}

QString MissingRecentFileText(const QString& path, Language language) {
    return language != Language::Italian
               ? QStringLiteral("%1 cannot be found; it has been removed from the recent files.")
                     .arg(path)
               : QStringLiteral("%1 non è stato trovato; è stato tolto dai file recenti.")
                     .arg(path);
}

QStringList ReadRecentFiles() {
    QFile file(SettingsFile(QString::fromLatin1(kRecentFilesFile)));
    // FileExists leaves out anything but a regular file, which could block a read.
    if (!FileExists(file.fileName()) || !file.open(QIODevice::ReadOnly)) return {};
    // A handful of paths; anything much longer is not this program's file.
    return ParseRecentFiles(file.read(64 * 1024));
}

bool WriteRecentFiles(const QStringList& list) {
    if (!EnsureSettingsFolder()) return false;
    return SaveSettingsFile(SettingsFile(QString::fromLatin1(kRecentFilesFile)),
                            FormatRecentFiles(list));
}

}  // namespace calmora
