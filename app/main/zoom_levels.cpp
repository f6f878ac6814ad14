#include "zoom_levels.h"

#include <algorithm>
#include <cmath>

#include "view_layout.h"

namespace calmora {

namespace {

// A fixed level closer than this (as a ratio) to the fit level gives way to it.
constexpr double kFitNeighbourhood = 1.04;

}  // namespace

const std::vector<double>& FixedZoomLevels() {
    static const std::vector<double> levels = {0.0625, 0.125, 0.25, 1.0 / 3.0, 0.5, 2.0 / 3.0,
                                               1.0,    1.5,   2.0,  3.0,       4.0, 8.0};
    return levels;
}

bool SameZoom(double a, double b) {
    return std::abs(a - b) <= 0.001 * std::max(std::abs(a), std::abs(b));
}

std::vector<double> ZoomLevels(double fitScale) {
    std::vector<double> levels;
    const bool fitReduces = fitScale > 0.0 && fitScale < 1.0 && !SameZoom(fitScale, 1.0);
    for (const double level : FixedZoomLevels()) {
        const bool nearFit = fitReduces && level != 1.0 && level < fitScale * kFitNeighbourhood &&
                             level > fitScale / kFitNeighbourhood;
        if (!nearFit) levels.push_back(level);
    }
    if (fitReduces) levels.insert(std::lower_bound(levels.begin(), levels.end(), fitScale), fitScale);
    return levels;
}

double NextZoomLevel(double current, double fitScale, bool zoomIn) {
    const std::vector<double> levels = ZoomLevels(fitScale);
    if (zoomIn) {
        for (const double level : levels) {
            if (level > current && !SameZoom(level, current)) return level;
        }
    } else {
        for (auto it = levels.rbegin(); it != levels.rend(); ++it) {
            if (*it < current && !SameZoom(*it, current)) return *it;
        }
    }
    return current;
}

int ZoomPerMille(double scale) {
    return static_cast<int>(RoundHalfEven(std::clamp(scale, 0.0, 1.0e6) * 1000.0));
}

}  // namespace calmora
