#include "captions.h"

namespace calmora {

const ControlCaption kControlCaptions[kControlCaptionCount] = {
    {"FileOpen", "open", "apri"},
    {"FileSave", "save", "salva"},
    {"PaintSize", "Size", "Dimensioni"},
    {"PaintSizeTrue", "true", "reali"},
    {"PaintSizeScreenFit", "screen fit", "adatta allo schermo"},
    {"ImageMenu", "Image", "Immagine"},
    {"Ruota90", "rotate (90° counterclockwise)", "ruota (90° antiorari)"},
    {"Denoise", "denoise", "riduci rumore"},
    {"ShowGuida", "Help", "Guida"},
    {"ShowAbout", "About", "Info"},
    {"FrameTIFF", "TIFF format", "Formato TIFF"},
    {"UncompressedTIFFOpt", "Uncompressed", "Non compresso"},
    {"AnnullaTif", "Cancel", "Annulla"},
    {"FrameJPGQuality", "JPG quality", "Qualità JPG"},
    {"AnnullajpgQual", "Cancel", "Annulla"},
    {"PrefMenu", "Preferences", "Preferenze"},
};

QString LoadingCaption(const QString& fileName) {
    return kProgramName + QStringLiteral("   ") + fileName;
}

QString BaseCaption(const QString& fileName, int32_t width, int32_t height) {
    return LoadingCaption(fileName) + QStringLiteral("  (%1x%2)").arg(width).arg(height);
}

CaptionPair FitCaption(const CaptionPair& caption, int32_t fitWidth, int32_t fitHeight,
                       int16_t fitPercent) {
    const QString size = QStringLiteral("%1x%2) (%3%)").arg(fitWidth).arg(fitHeight).arg(fitPercent);
    return {caption.english + QStringLiteral("     view size (") + size,
            caption.italian + QStringLiteral("     ridotta a  (") + size};
}

CaptionPair ZoomCaption(const CaptionPair& caption, int zoomPerMille) {
    const QString percent = zoomPerMille % 10 == 0
                                ? QString::number(zoomPerMille / 10)
                                : QStringLiteral("%1.%2").arg(zoomPerMille / 10).arg(zoomPerMille % 10);
    return {caption.english + QStringLiteral("     zoom ") + percent + QLatin1Char('%'),
            caption.italian + QStringLiteral("     ingrandimento ") + percent + QLatin1Char('%')};
}

CaptionPair RotatedCaption(const CaptionPair& base, int angle) {
    if (angle % 360 == 0) return base;
    return {base.english + QStringLiteral("  %1° rotated").arg(angle),
            base.italian + QStringLiteral("  ruotata %1°").arg(angle)};
}

QString SwappedTitle(const QString& title, Language oldLanguage, Language newLanguage,
                     const CaptionPair& caption, const CaptionPair& fitCaption) {
    if (title == kProgramName) return title;
    if (title == caption.In(oldLanguage)) return caption.In(newLanguage);
    if (title == fitCaption.In(oldLanguage)) return fitCaption.In(newLanguage);
    return title;
}

}  // namespace calmora
