// The image history of the main window: the pictures before each denoise or
// turn (undo) and those undone (redo), each with its angle and caption, kept
// within a memory budget. The picture as loaded stays as long as it fits, so
// that "revert to original" can go back to it; other steps are dropped oldest
// first when the budget is exceeded. A step is never refused for lack of room:
// the history shrinks instead. The history also knows which state was last
// loaded or saved, for the unsaved-changes rule.
#pragma once

#include <FreeImage.h>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>

#include "captions.h"

namespace calmora {

struct BitmapUnloader {
    void operator()(FIBITMAP* bitmap) const {
        if (bitmap) FreeImage_Unload(bitmap);
    }
};
using OwnedBitmap = std::unique_ptr<FIBITMAP, BitmapUnloader>;

// Bytes a bitmap's pixels take (rows times pitch); 0 for none.
[[nodiscard]] uint64_t BitmapBytes(FIBITMAP* bitmap);

// The budget for the history: a quarter of the memory the process can have
// (systemMemory, 0 when not known); a fixed 512 MiB when it is not known.
[[nodiscard]] uint64_t HistoryBudget(uint64_t systemMemory);

// One state of the picture: its pixels, angle and true-size caption. id tells
// states apart: every step makes a new one.
struct HistoryState {
    OwnedBitmap image;
    int16_t rotation = 0;
    CaptionPair caption;
    uint64_t id = 0;
};

class History {
public:
    explicit History(uint64_t budgetBytes) : budget_(budgetBytes) {}

    // A freshly loaded picture: everything earlier is let go, and the state
    // shown now (whose id this returns) counts as saved.
    uint64_t Reset();
    // The id of the state shown now.
    [[nodiscard]] uint64_t CurrentId() const { return current_; }
    // A new id for the state a step is about to show.
    [[nodiscard]] uint64_t NextId() { return ++lastId_; }

    // A step replaced before (the state until now) by a new state of id
    // shownId: before goes on the undo list, redo is cleared, and the budget
    // is kept by dropping the oldest steps.
    void Record(HistoryState before, uint64_t shownId);

    [[nodiscard]] bool CanUndo() const { return !undo_.empty(); }
    [[nodiscard]] bool CanRedo() const { return !redo_.empty(); }
    // True while the picture as loaded is still held, and something since.
    [[nodiscard]] bool CanRevert() const { return originalKept_ && !undo_.empty(); }

    // The states Undo, Redo and Revert would bring in; null when none.
    [[nodiscard]] const HistoryState* UndoTarget() const {
        return undo_.empty() ? nullptr : &undo_.back();
    }
    [[nodiscard]] const HistoryState* RedoTarget() const {
        return redo_.empty() ? nullptr : &redo_.back();
    }
    [[nodiscard]] const HistoryState* RevertTarget() const {
        return CanRevert() ? &undo_.front() : nullptr;
    }

    // The state to show instead of current, which goes to the other list;
    // nothing (and current untouched) when there is nothing to go to.
    [[nodiscard]] std::optional<HistoryState> Undo(HistoryState& current);
    [[nodiscard]] std::optional<HistoryState> Redo(HistoryState& current);
    // Every step back to the picture as loaded in one go (each can be redone).
    [[nodiscard]] std::optional<HistoryState> Revert(HistoryState& current);

    // The state shown now was written to a file.
    void MarkSaved() { saved_ = current_; }
    // Something was done since the last load or save that is not undone.
    [[nodiscard]] bool HasUnsavedChanges() const { return current_ != saved_; }

    [[nodiscard]] uint64_t BudgetBytes() const { return budget_; }
    [[nodiscard]] uint64_t HeldBytes() const;
    [[nodiscard]] size_t UndoCount() const { return undo_.size(); }
    [[nodiscard]] size_t RedoCount() const { return redo_.size(); }

private:
    void KeepBudget();
    [[nodiscard]] std::optional<HistoryState> Swap(std::deque<HistoryState>& from,
                                                   std::deque<HistoryState>& to,
                                                   HistoryState& current);

    uint64_t budget_;
    std::deque<HistoryState> undo_;  // oldest first
    std::deque<HistoryState> redo_;  // the next redo last
    bool originalKept_ = true;  // the bottom state (undo_.front() or current) is as loaded
    uint64_t lastId_ = 0;
    uint64_t current_ = 0;
    uint64_t saved_ = 0;
};

}  // namespace calmora
