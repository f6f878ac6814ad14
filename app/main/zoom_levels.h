// The zoom ladder of the main view: the fixed levels a photographer steps
// through, with the screen-fit level slotted in among them, and the step from
// one level to the next. Scales are screen pixels per image pixel (1 = true size).
#pragma once

#include <vector>

namespace calmora {

// The fixed levels, smallest first: 6.25 % up to 800 %, with 100 % among them.
[[nodiscard]] const std::vector<double>& FixedZoomLevels();

// The levels offered for a picture whose screen fit has fitScale: the fixed
// ones plus the fit level when the fit reduces the picture. A fixed level
// within a few per cent of the fit is left out, so that one step never moves by
// a barely visible amount. The fit level may lie below the smallest fixed one
// (a long strip): it is then the smallest level.
[[nodiscard]] std::vector<double> ZoomLevels(double fitScale);

// The level one step in (larger) or out (smaller) from current, which need not
// be a level itself (a fit that changed with the window); current when there is
// no level further that way.
[[nodiscard]] double NextZoomLevel(double current, double fitScale, bool zoomIn);

// The same level up to rounding: levels within 0.1 % of each other.
[[nodiscard]] bool SameZoom(double a, double b);

// The percentage shown for scale in tenths of a per cent, to the nearest tenth
// (12.5 % is 125, two thirds 667): the captions print whole levels without
// decimals and 12.5 % or 6.3 % with one.
[[nodiscard]] int ZoomPerMille(double scale);

}  // namespace calmora
