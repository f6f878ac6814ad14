#include "remembered_folder.h"

#include <QFile>
#include <QStringDecoder>

#include "app_paths.h"
#include "input_fields.h"
#include "settings_file_save.h"

namespace calmora {
namespace {

// Far more than any path; a larger file is not ours.
constexpr qint64 kReadLimit = 64 * 1024;

bool HasControlCharacters(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) return true;
    }
    return false;
}

}  // namespace

QString ParseRememberedFolder(const QByteArray& fileContents) {
    QByteArray line = fileContents.startsWith("\xEF\xBB\xBF") ? fileContents.mid(3) : fileContents;
    const qsizetype end = line.indexOf('\n');
    if (end >= 0) line.truncate(end);
    if (line.endsWith('\r')) line.chop(1);
    QByteArray raw;
    // Folder names may themselves hold quotes: a quoted line is taken whole,
    // between its first and last quote.
    const QByteArray trimmed = line.trimmed();
    if (trimmed.size() >= 2 && trimmed.startsWith('"') && trimmed.endsWith('"')) {
        raw = trimmed.mid(1, trimmed.size() - 2);
    } else {
        raw = ReadInputFields(line, 1).value(0);
    }
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString folder = decoder.decode(raw);
    if (decoder.hasError() || folder.isEmpty() || HasControlCharacters(folder)) return {};
    return folder;
}

QByteArray FormatRememberedFolder(const QString& folder) {
    return QuotedField(folder.toUtf8()) + "\r\n";
}

QString ReadRememberedFolder(const QString& fileName) {
    QFile file(SettingsFile(fileName));
    if (!FileExists(file.fileName()) || !file.open(QIODevice::ReadOnly)) return FirstDialogFolder();
    const QString folder = ParseRememberedFolder(file.read(kReadLimit));
    return folder.isEmpty() ? FirstDialogFolder() : folder;
}

bool WriteRememberedFolder(const QString& fileName, const QString& folder) {
    // A line break would end the record early and a later read would find
    // another folder; such a name is not stored at all.
    if (folder.isEmpty() || HasControlCharacters(folder)) return false;
    if (!EnsureSettingsFolder()) return false;
    return SaveSettingsFile(SettingsFile(fileName), FormatRememberedFolder(folder));
}

}  // namespace calmora
