#include "load_message.h"

#include "imagefiles/memory_budget.h"
#include "message_ids.h"

namespace calmora {

int CatalogueMessageFor(ImageFileError error) {
    switch (error) {
        case ImageFileError::None: return 0;
        case ImageFileError::UnknownFormat: return msg::kUnknownFormat;
        case ImageFileError::ConversionFailed: return msg::kNoMemoryFor24Bits;
        default: return msg::kNoMemoryToLoad;
    }
}

namespace {

// A number with one decimal in the language's way ("1.5", "1,5"); whole from
// 10 up, where the tenth tells the user nothing.
QString Decimal(double value, Language language) {
    QString text = QString::number(value, 'f', value >= 10 ? 0 : 1);
    if (language == Language::Italian) text.replace(QLatin1Char('.'), QLatin1Char(','));
    return text;
}

// Bytes as the desktop's file manager shows them (powers of ten).
QString Bytes(uint64_t bytes, Language language) {
    const double value = static_cast<double>(bytes);
    if (value >= 1e9) return Decimal(value / 1e9, language) + QStringLiteral(" GB");
    return Decimal(value / 1e6, language) + QStringLiteral(" MB");
}

// "a.tif is 70000 x 1000 pixels (70 megapixels)", or "a.tif" alone when the
// header gave no size.
QString Picture(const QString& fileName, const ImageProbe& probe, Language language) {
    if (probe.width <= 0 || probe.height <= 0) return fileName;
    const bool italian = language == Language::Italian;
    const QString megapixels = Decimal(
        static_cast<double>(probe.width) * static_cast<double>(probe.height) / 1e6, language);
    return (italian ? QStringLiteral("%1 misura %2 x %3 pixel (%4 megapixel)")
                    : QStringLiteral("%1 is %2 x %3 pixels (%4 megapixels)"))
        .arg(fileName)
        .arg(probe.width)
        .arg(probe.height)
        .arg(megapixels);
}

QString OverTheFixedLimits(const QString& picture, Language language) {
    const QString pixels = Decimal(static_cast<double>(kMaxImagePixels) / 1e6, language);
    return (language == Language::Italian
                ? QStringLiteral("%1: Calmora apre immagini fino a %2 megapixel e %3 pixel "
                                 "per lato.")
                : QStringLiteral("%1: Calmora opens pictures of up to %2 megapixels and %3 pixels "
                                 "on a side."))
        .arg(picture, pixels)
        .arg(kMaxImageSide);
}

QString OverTheMemory(const QString& picture, const ImageProbe& probe, uint64_t memoryBytes,
                      Language language) {
    const bool italian = language == Language::Italian;
    // The least that loading takes: what the decoder makes and the 24-bit copy.
    const uint64_t need = LoadingMemoryNeed(probe.width, probe.height, probe.bitsPerPixel);
    if (probe.width > 0 && probe.height > 0 && memoryBytes != 0 && need > memoryBytes) {
        return (italian ? QStringLiteral("%1: per caricarla servono almeno %2 di memoria, ma "
                                         "questo computer ne pu\u00f2 dare %3.")
                        : QStringLiteral("%1: loading it takes at least %2 of memory, more than "
                                         "the %3 this computer can give."))
            .arg(picture, Bytes(need, language), Bytes(memoryBytes, language));
    }
    // Within the estimate, yet the memory could not be had (others hold it).
    QString text = italian
                       ? QStringLiteral("%1: non c'\u00e8 abbastanza memoria libera per caricarla")
                       : QStringLiteral("%1: there is not enough free memory to load it");
    text = text.arg(picture);
    if (memoryBytes != 0) {
        text += (italian ? QStringLiteral(" (questo computer pu\u00f2 dare %1)")
                         : QStringLiteral(" (this computer can give %1)"))
                    .arg(Bytes(memoryBytes, language));
    }
    return text + QLatin1Char('.');
}

}  // namespace

std::optional<QString> SizeRefusalText(const QString& fileName, const ImageProbe& probe,
                                       uint64_t memoryBytes, Language language) {
    const QString picture = Picture(fileName, probe, language);
    if (probe.error == ImageFileError::TooLarge) return OverTheFixedLimits(picture, language);
    if (probe.error == ImageFileError::NotEnoughMemory)
        return OverTheMemory(picture, probe, memoryBytes, language);
    return std::nullopt;
}

LoadRefusal RefusalFor(const QString& fileName, const ImageProbe& probe, uint64_t memoryBytes,
                       Language language) {
    LoadRefusal refusal{CatalogueMessageFor(probe.error), {}};
    if (auto text = SizeRefusalText(fileName, probe, memoryBytes, language)) refusal.text = *text;
    return refusal;
}

}  // namespace calmora
