// The image history without a window: undo, redo and revert order, the memory
// budget (oldest steps dropped first, the picture as loaded last), and the
// unsaved-changes rule.
#include <gtest/gtest.h>

#include <vector>

#include "history.h"

namespace calmora {
namespace {

// A 24-bit picture of width x height whose first byte tells it apart.
OwnedBitmap Picture(int width, int height, uint8_t mark) {
    OwnedBitmap bitmap(FreeImage_Allocate(width, height, 24));
    FreeImage_GetBits(bitmap.get())[0] = mark;
    return bitmap;
}

uint8_t MarkOf(const HistoryState& state) { return FreeImage_GetBits(state.image.get())[0]; }

// A history driven as the window drives it: a current state, steps that
// replace it, and moves.
class Driver {
public:
    explicit Driver(uint64_t budget) : history(budget) {
        current.image = Picture(10, 10, 0);
        current.id = history.Reset();
    }
    void Step(uint8_t mark) {
        HistoryState before = std::move(current);
        current = HistoryState{};
        current.image = Picture(10, 10, mark);
        current.id = history.NextId();
        history.Record(std::move(before), current.id);
    }
    bool Move(std::optional<HistoryState> (History::*move)(HistoryState&)) {
        std::optional<HistoryState> next = (history.*move)(current);
        if (!next) return false;
        current = std::move(*next);
        EXPECT_EQ(current.id, history.CurrentId());
        return true;
    }
    [[nodiscard]] uint8_t Shown() const { return MarkOf(current); }

    History history;
    HistoryState current;
};

const uint64_t kPicture = BitmapBytes(Picture(10, 10, 0).get());  // 32 * 10 bytes

TEST(HistoryBudget, AQuarterOfTheMemoryOrAFixedAmountWhenUnknown) {
    const struct {
        uint64_t memory;
        uint64_t budget;
    } cases[] = {
        {uint64_t(16) << 30, uint64_t(4) << 30},
        {uint64_t(1) << 30, uint64_t(256) << 20},
        {7, 1},
        {0, uint64_t(512) << 20},
    };
    for (const auto& c : cases) EXPECT_EQ(HistoryBudget(c.memory), c.budget) << c.memory;
    EXPECT_EQ(kPicture, 320u);  // rows padded to 4 bytes
    EXPECT_EQ(BitmapBytes(nullptr), 0u);
}

TEST(History, UndoRedoAndRevertWalkTheSteps) {
    Driver d(100 * kPicture);
    EXPECT_FALSE(d.history.CanUndo());
    EXPECT_FALSE(d.history.CanRevert());
    EXPECT_FALSE(d.Move(&History::Undo));
    EXPECT_FALSE(d.Move(&History::Revert));
    for (uint8_t mark = 1; mark <= 3; ++mark) d.Step(mark);

    ASSERT_TRUE(d.Move(&History::Undo));
    EXPECT_EQ(d.Shown(), 2);
    ASSERT_TRUE(d.Move(&History::Undo));
    EXPECT_EQ(d.Shown(), 1);
    ASSERT_TRUE(d.Move(&History::Redo));
    EXPECT_EQ(d.Shown(), 2);
    EXPECT_EQ(d.history.RedoCount(), 1u);

    // Revert goes to the picture as loaded, and every step can be redone.
    ASSERT_TRUE(d.Move(&History::Revert));
    EXPECT_EQ(d.Shown(), 0);
    EXPECT_FALSE(d.history.CanUndo());
    EXPECT_FALSE(d.history.CanRevert());
    std::vector<int> redone;
    while (d.Move(&History::Redo)) redone.push_back(d.Shown());
    EXPECT_EQ(redone, (std::vector<int>{1, 2, 3}));

    // A new step after an undo clears what could be redone.
    ASSERT_TRUE(d.Move(&History::Undo));
    d.Step(9);
    EXPECT_FALSE(d.history.CanRedo());
    ASSERT_TRUE(d.Move(&History::Undo));
    EXPECT_EQ(d.Shown(), 2);
}

TEST(History, TargetsAreWhatTheMovesBringIn) {
    Driver d(100 * kPicture);
    EXPECT_EQ(d.history.UndoTarget(), nullptr);
    EXPECT_EQ(d.history.RevertTarget(), nullptr);
    d.Step(1);
    d.Step(2);
    EXPECT_EQ(MarkOf(*d.history.UndoTarget()), 1);
    EXPECT_EQ(MarkOf(*d.history.RevertTarget()), 0);
    EXPECT_EQ(d.history.RedoTarget(), nullptr);
    ASSERT_TRUE(d.Move(&History::Undo));
    EXPECT_EQ(MarkOf(*d.history.RedoTarget()), 2);
}

TEST(History, BudgetDropsOldestStepsKeepsTheOriginalLongest) {
    const struct {
        uint64_t budgetPictures;
        int steps;
        std::vector<int> undone;  // what successive undos show
        bool revert;
    } cases[] = {
        {100, 4, {3, 2, 1, 0}, true},
        // Room for three: the original and the two latest before the current.
        {3, 5, {4, 3, 0}, true},
        {1, 3, {0}, true},
        // Not even the original fits: nothing is kept, and the steps still happen.
        {0, 3, {}, false},
    };
    for (const auto& c : cases) {
        Driver d(c.budgetPictures * kPicture);
        for (int mark = 1; mark <= c.steps; ++mark) {
            d.Step(uint8_t(mark));
            EXPECT_LE(d.history.HeldBytes(), d.history.BudgetBytes());
        }
        EXPECT_EQ(d.Shown(), c.steps);
        EXPECT_EQ(d.history.CanRevert(), c.revert) << c.budgetPictures;
        std::vector<int> undone;
        while (d.Move(&History::Undo)) undone.push_back(d.Shown());
        EXPECT_EQ(undone, c.undone) << c.budgetPictures;
    }
}

TEST(History, AnOriginalTooLargeForTheBudgetGoesAndRevertWithIt) {
    Driver d(2 * kPicture);
    d.current.image = Picture(40, 10, 0);  // 1200 bytes: more than the budget
    d.Step(1);
    EXPECT_FALSE(d.history.CanUndo());
    EXPECT_FALSE(d.history.CanRevert());
    d.Step(2);
    EXPECT_TRUE(d.history.CanUndo());
    EXPECT_FALSE(d.history.CanRevert());
    EXPECT_EQ(d.history.RevertTarget(), nullptr);
    // Undoing to the bottom and stepping again does not bring it back.
    ASSERT_TRUE(d.Move(&History::Undo));
    EXPECT_EQ(d.Shown(), 1);
    EXPECT_FALSE(d.Move(&History::Undo));
    d.Step(3);
    EXPECT_FALSE(d.history.CanRevert());
    EXPECT_FALSE(d.Move(&History::Revert));
    EXPECT_EQ(d.Shown(), 3);
}

TEST(History, UnsavedChangesFollowTheStateShown) {
    Driver d(100 * kPicture);
    EXPECT_FALSE(d.history.HasUnsavedChanges());
    d.Step(1);
    EXPECT_TRUE(d.history.HasUnsavedChanges());
    // Undoing back to the state loaded makes it clean, redoing dirty again.
    ASSERT_TRUE(d.Move(&History::Undo));
    EXPECT_FALSE(d.history.HasUnsavedChanges());
    ASSERT_TRUE(d.Move(&History::Redo));
    EXPECT_TRUE(d.history.HasUnsavedChanges());

    d.history.MarkSaved();
    EXPECT_FALSE(d.history.HasUnsavedChanges());
    // The saved state is the reference now: the loaded one differs from it.
    ASSERT_TRUE(d.Move(&History::Revert));
    EXPECT_TRUE(d.history.HasUnsavedChanges());
    ASSERT_TRUE(d.Move(&History::Redo));
    EXPECT_FALSE(d.history.HasUnsavedChanges());

    // A fresh load is clean and holds nothing.
    d.current.id = d.history.Reset();
    EXPECT_FALSE(d.history.HasUnsavedChanges());
    EXPECT_EQ(d.history.HeldBytes(), 0u);
    EXPECT_FALSE(d.history.CanRedo());
}

}  // namespace
}  // namespace calmora
