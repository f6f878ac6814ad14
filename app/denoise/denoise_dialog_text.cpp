#include "denoise_dialog_text.h"

namespace calmora {

namespace {

FormDenoiseTexts English() {
    FormDenoiseTexts t;
    t.titlePrefix = QStringLiteral("Denoise ");
    t.backgroundMenu = QStringLiteral("Background color");
    t.white = QStringLiteral("white");
    t.gray = QStringLiteral("gray");
    t.help = QStringLiteral("Help");
    t.intensity = QStringLiteral("Intensity");
    t.radius = QStringLiteral("Radius");
    t.suggest = QStringLiteral("Suggest");
    t.suggestTip = QStringLiteral("Set the intensity from the noise measured in the image");
    t.noiseShort = QStringLiteral("\u03c3 %1");
    t.noiseEstimateTip = QStringLiteral(
        "Estimated noise (standard deviation, levels 0-255): red %1, green %2, blue %3");
    t.noNoiseTip = QStringLiteral("No noise could be measured in this image");
    t.colourNoise = QStringLiteral("Colour noise");
    t.colourNoiseTip = QStringLiteral(
        "Denoise brightness and colour apart, and the colour also at a quarter of the size "
        "against coarse colour blotches");
    t.colourStrengthTip = QStringLiteral(
        "Strength against coarse colour blotches (0: colour at the intensity only)");
    t.stalePreview = QStringLiteral("Settings changed: preview again");
    t.preview = QStringLiteral("Preview");
    t.apply = QStringLiteral("Apply");
    t.stop = QStringLiteral("Stop");
    t.selectAreaTip = QStringLiteral("Select preview area");
    t.scrollTip = QStringLiteral("Scroll image");
    t.originalTip = QStringLiteral("Original image");
    t.denoisedTip = QStringLiteral("Denoised image");
    t.noiseTip = QStringLiteral("Removed noise");
    t.channels = {QStringLiteral("RGB"), QStringLiteral("Red"), QStringLiteral("Green"),
                  QStringLiteral("Blue")};
    t.areaPicRTip = QStringLiteral("Denoised image area");
    t.areaPicNoiseTip = QStringLiteral("Removed noise");
    t.wholePicRTip = QStringLiteral("Denoised image");
    t.wholePicTip = QStringLiteral("Original image");
    t.wholePicNoiseTip = QStringLiteral("Removed noise");
    return t;
}

FormDenoiseTexts Italian() {
    FormDenoiseTexts t;
    t.titlePrefix = QStringLiteral("Riduci rumore ");
    t.backgroundMenu = QStringLiteral("Colore sfondo");
    t.white = QStringLiteral("bianco");
    t.gray = QStringLiteral("grigio");
    t.help = QStringLiteral("Guida");
    t.intensity = QStringLiteral("Intensit\u00e0");
    t.radius = QStringLiteral("Raggio");
    t.suggest = QStringLiteral("Suggerisci");
    t.suggestTip = QStringLiteral("Imposta l'intensit\u00e0 dal rumore misurato nell'immagine");
    t.noiseShort = QStringLiteral("\u03c3 %1");
    t.noiseEstimateTip = QStringLiteral(
        "Rumore stimato (deviazione standard, livelli 0-255): rosso %1, verde %2, blu %3");
    t.noNoiseTip = QStringLiteral("Nessun rumore misurabile in questa immagine");
    t.colourNoise = QStringLiteral("Rumore di colore");
    t.colourNoiseTip = QStringLiteral(
        "Riduce luminosit\u00e0 e colore separatamente, e il colore anche a un quarto della "
        "dimensione contro le macchie di colore grossolane");
    t.colourStrengthTip = QStringLiteral(
        "Forza contro le macchie di colore grossolane (0: colore solo con l'intensit\u00e0)");
    t.stalePreview = QStringLiteral("Impostazioni cambiate: rifare l'anteprima");
    t.preview = QStringLiteral("Anteprima");
    t.apply = QStringLiteral("Applica");
    t.stop = QStringLiteral("Interrompi");
    t.selectAreaTip = QStringLiteral("Seleziona area anteprima");
    t.scrollTip = QStringLiteral("Scorri immagine");
    t.originalTip = QStringLiteral("Immagine originale");
    t.denoisedTip = QStringLiteral("Immagine con rumore ridotto");
    t.noiseTip = QStringLiteral("Rumore eliminato");
    t.channels = {QStringLiteral("RGB"), QStringLiteral("Rosso"), QStringLiteral("Verde"),
                  QStringLiteral("Blu")};
    t.areaPicRTip = QStringLiteral("Area dell'immagine risultante");
    t.areaPicNoiseTip = QStringLiteral("Rumore rimosso");
    t.wholePicRTip = QStringLiteral("Immagine risultante");
    t.wholePicTip = QStringLiteral("Immagine originale");
    t.wholePicNoiseTip = QStringLiteral("Rumore eliminato");
    return t;
}

}  // namespace

const FormDenoiseTexts& DialogTexts(Language language) {
    static const FormDenoiseTexts english = English();
    static const FormDenoiseTexts italian = Italian();
    return language == Language::English ? english : italian;
}

}  // namespace calmora
