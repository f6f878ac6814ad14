#include "save_rules.h"

namespace calmora {

SaveNameCheck CheckSaveName(const QString& saveName) {
    SaveNameCheck check;
    const QString name = saveName.mid(saveName.lastIndexOf(QLatin1Char('/')) + 1);
    const int dot = name.indexOf(QLatin1Char('.'));
    if (dot < 0) return check;
    if (name.indexOf(QLatin1Char('.'), dot + 1) >= 0) {
        check.verdict = SaveNameVerdict::InvalidName;
        return check;
    }
    check.extension = name.mid(dot + 1).toLower();
    check.format = SaveFormatFromExtension(check.extension.toStdString());
    check.verdict = check.format ? SaveNameVerdict::Writable : SaveNameVerdict::UnknownFormat;
    return check;
}

QString FolderOfPath(const QString& path) {
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) return {};
    if (slash == 0) return QStringLiteral("/");
    return path.left(slash);
}

QString SaveDialogFilter() {
    return QStringLiteral("JPEG File (*.JPG)|") + QStringLiteral("*.JPG|") +
           QStringLiteral("PNG File (*.PNG)|") + QStringLiteral("*.PNG|") +
           QStringLiteral("TIFF File (*.TIF)|") + QStringLiteral("*.TIF|") +
           QStringLiteral("Bitmap File (*.BMP)|") + QStringLiteral("*.BMP|");
}

QString JpegQualityCaption(int quality) { return QString::number(quality) + QStringLiteral(" %"); }

QString InvalidFileNameText(const QString& saveName) {
    return saveName + QStringLiteral(" invalid file name.");
}

QString UnknownSaveFormatText(const QString& saveName, Language language) {
    if (language == Language::Italian) {
        return saveName + QString::fromUtf8(
                              " non pu\xC3\xB2 essere salvato: i formati che si possono scrivere "
                              "sono JPEG (.jpg, .jpeg), PNG (.png), TIFF (.tif, .tiff) e BMP (.bmp).");
    }
    return saveName + QStringLiteral(
                          " cannot be saved: the formats that can be written are JPEG (.jpg, "
                          ".jpeg), PNG (.png), TIFF (.tif, .tiff) and BMP (.bmp).");
}

QString SaveFailedText(const QString& saveName, const QString& reason, Language language) {
    QString text = language == Language::Italian
                       ? QStringLiteral("Impossibile salvare l'immagine in ") + saveName
                       : QStringLiteral("The image could not be saved to ") + saveName;
    text += QLatin1Char('.');
    if (!reason.isEmpty()) text += QStringLiteral(" (") + reason + QLatin1Char(')');
    return text;
}

}  // namespace calmora
