// Which pixels a paired pass may finish (see denoise_paired.h).
#include <algorithm>

#include "denoise_paired.h"

namespace kc {

PairedGeometry PairedRectangle(int32_t rowFrom, int32_t rowTo, int32_t width, int32_t height,
                               int32_t p, int32_t s) {
    // A pixel at least s+p from every edge keeps whole patches for itself and
    // all its candidates. Its weights come from pixels up to s rows below and
    // s columns to either side, which must themselves be that far in from the
    // left and right edges (rows below only need p: they pair forwards).
    PairedGeometry g;
    g.firstRow = std::max(rowFrom, s + p);
    g.lastRow = std::min(rowTo, height - 1 - s - p);
    g.firstColumn = 2 * s + p;
    g.lastColumn = width - 1 - 2 * s - p;
    return g;
}

}  // namespace kc
