#include "progress_bar.h"

#include <unistd.h>

#include <cstdio>

namespace calmora::cli {

namespace {
constexpr int kBarWidth = 30;
constexpr size_t kLabelWidth = 32;
}  // namespace

bool ProgressWanted() { return isatty(STDERR_FILENO) == 1; }

ProgressBar::ProgressBar(bool enabled, std::string label)
    : enabled_(enabled), label_(std::move(label)) {
    if (label_.size() > kLabelWidth) {
        // Cut where a character starts, never inside a UTF-8 sequence.
        size_t cut = label_.size() - kLabelWidth + 3;
        while (cut < label_.size() && (static_cast<unsigned char>(label_[cut]) & 0xC0) == 0x80)
            ++cut;
        label_ = "..." + label_.substr(cut);
    }
}

ProgressBar::~ProgressBar() { Clear(); }

void ProgressBar::Update(long done, long total) {
    if (!enabled_ || total <= 0) return;
    const int permille = static_cast<int>(done * 1000 / total);
    if (permille == lastPermille_) return;
    lastPermille_ = permille;
    const int filled = permille * kBarWidth / 1000;
    char bar[kBarWidth + 1];
    for (int i = 0; i < kBarWidth; ++i) bar[i] = i < filled ? '#' : '-';
    bar[kBarWidth] = '\0';
    std::fprintf(stderr, "\r%-*s [%s] %3d.%d%%", static_cast<int>(kLabelWidth), label_.c_str(), bar,
                 permille / 10, permille % 10);
    std::fflush(stderr);
    drawn_ = true;
}

void ProgressBar::Clear() {
    if (!drawn_) return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    drawn_ = false;
    lastPermille_ = -1;
}

}  // namespace calmora::cli
