#include "history.h"

#include <utility>

namespace calmora {

uint64_t BitmapBytes(FIBITMAP* bitmap) {
    if (!bitmap) return 0;
    return uint64_t(FreeImage_GetPitch(bitmap)) * FreeImage_GetHeight(bitmap);
}

uint64_t HistoryBudget(uint64_t systemMemory) {
    constexpr uint64_t kUnknownBudget = uint64_t(512) << 20;
    return systemMemory == 0 ? kUnknownBudget : systemMemory / 4;
}

uint64_t History::Reset() {
    undo_.clear();
    redo_.clear();
    originalKept_ = true;
    current_ = NextId();
    saved_ = current_;
    return current_;
}

void History::Record(HistoryState before, uint64_t shownId) {
    redo_.clear();
    undo_.push_back(std::move(before));
    current_ = shownId;
    KeepBudget();
}

uint64_t History::HeldBytes() const {
    uint64_t bytes = 0;
    for (const HistoryState& state : undo_) bytes += BitmapBytes(state.image.get());
    for (const HistoryState& state : redo_) bytes += BitmapBytes(state.image.get());
    return bytes;
}

void History::KeepBudget() {
    // The oldest steps after the picture as loaded go first, that picture last.
    while (HeldBytes() > budget_ && !undo_.empty()) {
        if (originalKept_ && undo_.size() > 1) {
            undo_.erase(undo_.begin() + 1);
        } else {
            undo_.pop_front();
            originalKept_ = false;
        }
    }
}

std::optional<HistoryState> History::Swap(std::deque<HistoryState>& from,
                                          std::deque<HistoryState>& to, HistoryState& current) {
    if (from.empty()) return std::nullopt;
    HistoryState next = std::move(from.back());
    from.pop_back();
    to.push_back(std::move(current));
    current_ = next.id;
    return next;
}

// Neither moves the bottom state (undo_.front(), or the current one when undo_
// is empty), so whether it is the picture as loaded stays as it was.
std::optional<HistoryState> History::Undo(HistoryState& current) {
    return Swap(undo_, redo_, current);
}

std::optional<HistoryState> History::Redo(HistoryState& current) {
    return Swap(redo_, undo_, current);
}

std::optional<HistoryState> History::Revert(HistoryState& current) {
    if (!CanRevert()) return std::nullopt;
    std::optional<HistoryState> state = Undo(current);
    while (state && !undo_.empty()) {
        std::optional<HistoryState> older = Undo(*state);
        if (!older) break;
        state = std::move(older);
    }
    return state;
}

}  // namespace calmora
