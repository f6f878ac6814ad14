// Where the denoise dialog's widgets stand in its two layouts: the whole
// image between its two result panes below the settings, or (area mode) the
// panes below the settings and the image view filling the maximised dialog
// right of a separator line. The arithmetic is area_layout.h's; this places
// the widgets by it.
#pragma once

#include <QSize>
#include <cstdint>

#include "area_layout.h"

class QAbstractButton;
class QComboBox;
class QFrame;
class QPushButton;
class QWidget;

namespace calmora {

class PictureBox;
struct FormDenoiseTexts;

// Design geometry of the settings frame and what hangs below it.
constexpr int kFrameLeft = 6;
constexpr int kFrameTop = 6;
constexpr int kFrameWidth = 252;
constexpr int kFrameHeight = 272;
constexpr int kProgressWidth = 230;  // Shape1 at full length

struct DialogWidgets {
    QFrame* frame = nullptr;          // FrameDenoise
    QFrame* progressBar = nullptr;    // Shape1
    QFrame* progressFrame = nullptr;  // Shape2
    PictureBox* pic = nullptr;
    PictureBox* picR = nullptr;
    PictureBox* picNoise = nullptr;
    QComboBox* channels = nullptr;    // Combo1
    QFrame* line = nullptr;           // Line1
    QAbstractButton* selectArea = nullptr;
    QAbstractButton* scroll = nullptr;
    QPushButton* preview = nullptr;
    QWidget* colourRow = nullptr;     // FrameColourNoise
};

// The colour-noise row stands this far below the result panes, left-aligned
// with the settings frame; in the whole-image layout the dialog grows by it.
constexpr int kColourRowGap = 8;

// Whole-image layout: places the widgets and returns the client size the
// dialog takes (the layout rule's, and below it the colour-noise row).
[[nodiscard]] QSize PlaceForWholeImage(const DialogWidgets& w, const FormDenoiseTexts& texts,
                                       int32_t imageWidth, int32_t imageHeight);

struct AreaPlacement {
    QSize inner;        // client size of the maximised dialog, menu bar left out
    AreaLayout layout;  // the view, its scroll limits, whether the image fits
};

// The client area a dialog maximised on owner's screen (owner may be null)
// with a menu bar of menuHeight may expect: the screen's free area less the
// frame the window manager puts on owner. Only a first guess, to open the
// window near its size: the layout is made for the client area it gets.
[[nodiscard]] QSize ExpectedAreaClientSize(const QWidget* owner, int menuHeight);

// Area layout for the dialog's real client area `inner` (menu bar left out).
// On a screen too low for the left column the panes are made lower
// (FittedPaneHeight); the preview area takes their size.
[[nodiscard]] AreaPlacement PlaceForAreaMode(const DialogWidgets& w, const FormDenoiseTexts& texts,
                                             QSize inner, int32_t imageWidth,
                                             int32_t imageHeight);

// The channel list stands centred over the image view.
void CentreChannelsOverView(const DialogWidgets& w);

}  // namespace calmora
