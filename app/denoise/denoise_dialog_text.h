// Every text FormDenoise shows, in English and Italian.
#pragma once

#include <QString>
#include <QStringList>

#include "app/support/language.h"

namespace calmora {

struct FormDenoiseTexts {
    QString titlePrefix;  // followed by the main window's title tail
    QString backgroundMenu, white, gray, help;
    QString intensity, radius;
    // The suggested intensity: the button, its tooltip, the estimated noise
    // shown beside it (%1 its mean) and in its tooltip (%1 %2 %3 red, green,
    // blue), and the tooltip when no noise could be measured.
    QString suggest, suggestTip, noiseShort, noiseEstimateTip, noNoiseTip;
    // The colour-noise mode: its check box with tooltip, and the colour
    // strength's tooltip (slider and field).
    QString colourNoise, colourNoiseTip, colourStrengthTip;
    // Over a preview whose settings have changed since.
    QString stalePreview;
    QString preview, apply, stop;
    QString selectAreaTip, scrollTip, originalTip, denoisedTip, noiseTip;
    QStringList channels;  // Combo1, index 0..3
    // Tooltips of the panes, by layout.
    QString areaPicRTip, areaPicNoiseTip;
    QString wholePicRTip, wholePicTip, wholePicNoiseTip;
};

// English, or Italian for anything else.
[[nodiscard]] const FormDenoiseTexts& DialogTexts(Language language);

}  // namespace calmora
