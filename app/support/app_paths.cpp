#include "app_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

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

// Folders the system's packages and `make install` put programs into. A copy
// found there belongs to the system, not to one user, even when this user
// (root, say) could write there.
bool IsSystemProgramFolder(const QString& canonical) {
    static const char* const kFolders[] = {"/usr/bin",  "/usr/local/bin",  "/usr/games",
                                           "/usr/sbin", "/usr/local/sbin", "/bin",
                                           "/sbin"};
    for (const char* folder : kFolders) {
        if (canonical == QLatin1String(folder)) return true;
    }
    return false;
}

// A build or portable copy: its settings and first dialogs stay beside it. A
// folder that does not exist counts as one, so that nothing is decided from
// a path the program is not really in.
bool IsPortableProgramFolder(const QString& folder) {
    if (IsInstalledProgramFolder(folder)) return false;
    const QFileInfo info(folder);
    return !info.exists() || (info.isDir() && info.isWritable());
}

QString UserPicturesFolder() {
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!pictures.isEmpty() && QFileInfo(pictures).isDir()) return QDir::cleanPath(pictures);
    return QDir::homePath();
}

}  // namespace

QString ProgramFolder() {
    if (!ProgramOverride().isEmpty()) return ProgramOverride();
    QString folder;
    if (QCoreApplication::instance()) folder = QCoreApplication::applicationDirPath();
    return folder.isEmpty() ? QDir::currentPath() : folder;
}

bool IsInstalledProgramFolder(const QString& folder) {
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    if (canonical.isEmpty()) return false;
    if (IsSystemProgramFolder(canonical)) return true;
    return QFileInfo(canonical + QStringLiteral("/../share/calmora/CmHelp")).isDir();
}

QString SettingsFolder() {
    if (!SettingsOverride().isEmpty()) return SettingsOverride();
    const QString program = ProgramFolder();
    const QFileInfo info(program);
    if (info.isDir() && info.isWritable() && !IsInstalledProgramFolder(program)) return program;
    return UserConfigFolder();
}

QString FirstDialogFolder() {
    const QString program = ProgramFolder();
    return IsPortableProgramFolder(program) ? program : UserPicturesFolder();
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
