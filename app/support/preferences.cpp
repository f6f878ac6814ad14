#include "preferences.h"

#include <QFile>

#include "app_paths.h"
#include "input_fields.h"
#include "settings_file_save.h"

namespace calmora {
namespace {

// The file holds two short fields; a larger file is not ours and is not read whole.
constexpr qint64 kReadLimit = 4096;

int16_t OneOrTwo(const QByteArray& field) {
    if (field == "2") return 2;
    return 1;
}

}  // namespace

Preferences& CurrentPreferences() {
    static Preferences preferences;
    return preferences;
}

Preferences ParsePreferences(const QByteArray& fileContents) {
    const QList<QByteArray> fields = ReadInputFields(fileContents, 2);
    Preferences result;
    result.language = static_cast<Language>(OneOrTwo(fields.value(0)));
    result.scrollButton = OneOrTwo(fields.value(1));
    return result;
}

QByteArray FormatPreferences(const Preferences& preferences) {
    return QuotedField(QByteArray::number(static_cast<int>(preferences.language))) + ',' +
           QuotedField(QByteArray::number(preferences.scrollButton)) + "\r\n";
}

void LoadPreferences() {
    Preferences& current = CurrentPreferences();
    current = Preferences{};
    const QString path = SettingsFile(QStringLiteral("Pref"));
    if (!FileExists(path)) return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return;
    current = ParsePreferences(file.read(kReadLimit));
}

bool SavePreferences() {
    if (!EnsureSettingsFolder()) return false;
    return SaveSettingsFile(SettingsFile(QStringLiteral("Pref")),
                            FormatPreferences(CurrentPreferences()));
}

}  // namespace calmora
