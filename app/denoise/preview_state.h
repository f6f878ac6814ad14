// What the denoise dialog shows and may do at a moment, kept apart from its
// widgets: the mode of the image view, the preview rectangle, the scroll
// position, the settings, the channel and view on show, whether a preview is
// valid or a run active, and the preview area's pictures. FormDenoise owns one
// and lends it to its parts, each of which writes only the fields named for
// it below; everyone else (the tests too) reads it through FormDenoise::State().
#pragma once

#include <cstdint>

#include "area_layout.h"
#include "display_bitmap.h"
#include "denoise_run/run_settings.h"

namespace calmora {

// The three result views (original, denoised, removed noise).
enum class ResultView { Original, Denoised, Noise };

// The preview area's pictures, all of the area's size: the original pixels
// under the rectangle, the denoised ones and the removed noise, each with its
// grey picture of the channel on show.
struct AreaBitmaps {
    DisplayBitmap original, originalChannel;
    DisplayBitmap denoised, denoisedChannel;
    DisplayBitmap noise, noiseChannel;
};

struct PreviewState {
    // FormDenoise: the layout the image opened in, the channel on show.
    bool areaMode = false;  // the image is larger than the whole-image panes
    int currentChannel = 0;  // 0 colour, 1 red, 2 green, 3 blue

    // SettingsPanel (through its signals): the settings the next run uses.
    RunSettings settings;

    // AreaTool: the image view's mode, the rectangle and the scroll position.
    int selectionMode = 0;  // 0 scroll, 1 select area
    bool rectangleShown = false;
    // The rectangle's outline in view coordinates; the area lies one pixel inside it.
    int32_t rectLeft = 0, rectTop = 0;
    int32_t rectWidth = 0, rectHeight = 0;
    // The view's top-left corner in the image, and how far it may go.
    int32_t scrollX = 0, scrollY = 0;
    int32_t scrollLimitX = 0, scrollLimitY = 0;
    AreaSize area;  // the preview area; the whole image in whole-image mode
    AreaBitmaps areaBitmaps;

    // RunController (and whatever moves the area or the settings away from
    // the last preview): whether the panes show a preview of these settings
    // and area, and whether a run is under way.
    bool previewValid = false;
    bool runActive = false;
    // RunController and FormDenoise: the panes show a completed preview
    // (until they are cleared), the settings it was computed with, and
    // whether the settings have moved away from those since.
    bool previewShown = false;
    RunSettings previewedSettings;
    bool previewStale = false;

    // ResultPanes: the view picked with the view buttons.
    ResultView selectedView = ResultView::Denoised;
};

}  // namespace calmora
