// Every text of the main window in both languages, and the window-title
// formats built from the file name, the size, the fitted view and the angle.
#pragma once

#include <QString>
#include <cstdint>

#include "app/support/language.h"

namespace calmora {

inline const QString kProgramName = QStringLiteral("Calmora");

// One caption in each language.
struct CaptionPair {
    QString english;
    QString italian;

    [[nodiscard]] const QString& In(Language language) const {
        return language == Language::Italian ? italian : english;
    }
    static CaptionPair Same(const QString& text) { return {text, text}; }
    bool operator==(const CaptionPair& other) const {
        return english == other.english && italian == other.italian;
    }
};

// The window's menus and the save frames, in the order they are set.
struct ControlCaption {
    const char* control;  // objectName
    const char* english;
    const char* italian;

    [[nodiscard]] const char* In(Language language) const {
        return language == Language::Italian ? italian : english;
    }
};
constexpr int kControlCaptionCount = 16;
extern const ControlCaption kControlCaptions[kControlCaptionCount];

// "Calmora" + three blanks + name: the title while a file is being loaded.
[[nodiscard]] QString LoadingCaption(const QString& fileName);

// "Calmora   a.png  (640x480)".
[[nodiscard]] QString BaseCaption(const QString& fileName, int32_t width, int32_t height);

// The caption of the fitted view: the current caption followed by the fitted
// size and the percentage, in each language.
[[nodiscard]] CaptionPair FitCaption(const CaptionPair& caption, int32_t fitWidth,
                                     int32_t fitHeight, int16_t fitPercent);

// The caption of a zoomed view other than true size and screen fit: the
// current caption followed by the zoom in tenths of a per cent, printed whole
// ("zoom 200%") or with its tenth ("zoom 12.5%"), in each language.
[[nodiscard]] CaptionPair ZoomCaption(const CaptionPair& caption, int zoomPerMille);

// The captions after a turn to angle (90, 180, 270); 0 gives the bases back.
[[nodiscard]] CaptionPair RotatedCaption(const CaptionPair& base, int angle);

// The window title after switching from oldLanguage to newLanguage: a view
// caption becomes its twin in the new language; anything else (the bare
// program name, a title of a load in progress) stays as it is.
[[nodiscard]] QString SwappedTitle(const QString& title, Language oldLanguage,
                                   Language newLanguage, const CaptionPair& caption,
                                   const CaptionPair& fitCaption);

}  // namespace calmora
