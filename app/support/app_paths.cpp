#include "app_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace calmora {
namespace {

QString& SettingsOverride() {
    static QString folder;
    return folder;
}
QString& HelpOverride() {
    static QString folder;
    return folder;
}
QString& ProgramOverride() {
    static QString folder;
    return folder;
}

QString UserConfigFolder() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    // Relative values are invalid by the XDG rules and would depend on the working folder.
    if (base.isEmpty() || QDir::isRelativePath(base)) base = QDir::homePath() + "/.config";
    return QDir::cleanPath(base + "/calmora");
}

// A folder the program was installed into belongs to the system, not to one
// user, even when this user happens to be allowed to write there.
bool IsInstalledBinFolder(const QString& folder) {
#ifdef CALMORA_INSTALL_BINDIR
    const QString installed = QStringLiteral(CALMORA_INSTALL_BINDIR);
    return QFileInfo(folder).canonicalFilePath() == QFileInfo(installed).canonicalFilePath() &&
           !QFileInfo(installed).canonicalFilePath().isEmpty();
#else
    Q_UNUSED(folder);
    return false;
#endif
}

}  // namespace

QString ProgramFolder() {
    if (!ProgramOverride().isEmpty()) return ProgramOverride();
    QString folder;
    if (QCoreApplication::instance()) folder = QCoreApplication::applicationDirPath();
    return folder.isEmpty() ? QDir::currentPath() : folder;
}

QString SettingsFolder() {
    if (!SettingsOverride().isEmpty()) return SettingsOverride();
    const QString program = ProgramFolder();
    const QFileInfo info(program);
    if (info.isDir() && info.isWritable() && !IsInstalledBinFolder(program)) return program;
    return UserConfigFolder();
}

QString SettingsFile(const QString& name) { return SettingsFolder() + QLatin1Char('/') + name; }

bool EnsureSettingsFolder() { return QDir().mkpath(SettingsFolder()); }

QString HelpFolder() {
    if (!HelpOverride().isEmpty()) return HelpOverride();
    const QString beside = QDir::cleanPath(ProgramFolder() + "/CmHelp");
    if (QFileInfo(beside).isDir()) return beside;
    return QDir::cleanPath(ProgramFolder() + "/../share/calmora/CmHelp");
}

bool FileExists(const QString& path) {
    if (path.isEmpty()) return false;
    const QFileInfo info(path);
    return info.isFile() && !info.isHidden();
}

void OverrideSettingsFolder(const QString& folder) { SettingsOverride() = folder; }
void OverrideHelpFolder(const QString& folder) { HelpOverride() = folder; }
void OverrideProgramFolder(const QString& folder) { ProgramOverride() = folder; }

}  // namespace calmora
