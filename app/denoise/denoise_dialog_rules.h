// The dialog's rules that need no widget: what a typed character does to a
// setting field, when the run buttons may be pressed, and the texts that
// describe a finished run.
#pragma once

#include <QString>

#include "denoise_run/run_settings.h"

namespace calmora {

// Every setting field holds at most this many characters.
constexpr int kFieldMaxLength = 4;

struct FieldEdit {
    QString text;         // what the field should hold now
    int caret = 0;        // where its caret goes
    int value = 0;        // the number it stands for (empty counts as 0)
    bool setSlider = false;  // value lies in minimum..maximum: the slider follows
};

// A field edited by the user: characters other than decimal digits are
// removed (the caret keeps its place among the remaining ones), a value above
// maximum becomes maximum, and a value below minimum leaves the slider alone.
[[nodiscard]] FieldEdit ApplyFieldEdit(const QString& text, int caret, int minimum, int maximum);

// The radius field when it loses the focus: empty or below the slider's
// minimum gives the minimum. Returns the text it should hold.
[[nodiscard]] QString RadiusFieldOnLeave(const QString& text, int minimum);

struct RunButtons {
    bool apply = false;
    bool preview = false;
    bool previewInvalidated = false;  // the last preview no longer matches the settings
};

// After the intensity or a channel factor changed. In area mode a preview needs
// a selected area, so "Preview" waits for select-area mode.
[[nodiscard]] RunButtons EnablingRule(const RunSettings& settings, bool areaMode,
                                      bool selectAreaMode);

struct TitleSuffix {
    QString english;
    QString italian;
};

// What the main window's title gets after a completed run: the settings used,
// the channel strengths in percent.
[[nodiscard]] TitleSuffix DenoisedTitleSuffix(int sigma, int radius, int redPercent,
                                              int greenPercent, int bluePercent);

// What follows that suffix when the run was in the colour-noise mode.
[[nodiscard]] TitleSuffix ColourNoiseTitleAddition(int colourStrength);

// The part of the main window's title after the program's name (the file name
// and size), which the dialog's own title repeats.
[[nodiscard]] QString TitleTail(const QString& mainWindowTitle);

}  // namespace calmora
