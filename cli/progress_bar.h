// A one-line progress bar on stderr, drawn only when stderr is a terminal.
#pragma once

#include <string>

namespace calmora::cli {

class ProgressBar {
public:
    ProgressBar(bool enabled, std::string label);
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    // done of total units finished; redraws only when the shown value changes.
    void Update(long done, long total);
    // Removes the bar so that the next line starts clean.
    void Clear();

private:
    bool enabled_;
    bool drawn_ = false;
    int lastPermille_ = -1;
    std::string label_;
};

// Whether progress can be drawn: stderr is a terminal.
[[nodiscard]] bool ProgressWanted();

}  // namespace calmora::cli
