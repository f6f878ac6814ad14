// The arithmetic of one wheel notch, without widgets.
#include <gtest/gtest.h>

#include <climits>

#include "mouse_wheel.h"
#include "case_name.h"

using calmora::StrictlyInsidePicture;
using calmora::TakeWholeNotches;
using calmora::WheelScrollRange;
using calmora::WheelStep;

namespace {

struct StepCase {
    const char* desc;
    WheelScrollRange range;
    bool forward;
    int expected;
};

CASE_TEST(WheelStepTest, Value, StepCase) {
    EXPECT_EQ(WheelStep(c.range, c.forward), c.expected) << c.desc;
}

// {value, minimum, maximum, smallChange, largeChange}
CASE_ROWS(
    Notches, WheelStepTest,
        StepCase{"forward near the top takes a small step", {50, 0, 1000, 10, 100}, true, 40},
        StepCase{"forward small step below the minimum is refused", {5, 0, 1000, 10, 100}, true, 5},
        StepCase{"forward at the minimum does nothing", {0, 0, 1000, 10, 100}, true, 0},
        StepCase{"forward exactly one large step from the top", {100, 0, 1000, 10, 100}, true, 0},
        StepCase{"forward in the middle takes a large step", {500, 0, 1000, 10, 100}, true, 400},
        StepCase{"backward in the middle takes a large step", {500, 0, 1000, 10, 100}, false, 600},
        StepCase{"backward at exactly max - large takes a large step", {900, 0, 1000, 10, 100}, false, 1000},
        StepCase{"backward near the bottom takes a small step", {950, 0, 1000, 10, 100}, false, 960},
        StepCase{"backward small step past the maximum is refused", {995, 0, 1000, 10, 100}, false, 995},
        StepCase{"backward at the maximum does nothing", {1000, 0, 1000, 10, 100}, false, 1000},
        StepCase{"a range shorter than one step refuses the step", {3, 0, 6, 10, 100}, true, 3},
        StepCase{"a small step below a non-zero minimum is refused", {25, 20, 200, 10, 50}, true, 25},
        StepCase{"a small step above a non-zero minimum is taken", {60, 20, 200, 10, 50}, true, 50},
        StepCase{"extreme values do not overflow", {INT_MAX - 1, 0, INT_MAX, 1, INT_MAX}, false, INT_MAX},
        StepCase{"extreme negative steps are refused, not wrapped", {INT_MIN + 1, INT_MIN, 0, INT_MAX, INT_MAX}, true, INT_MIN + 1});

TEST(WheelPointer, OnlyStrictlyInsideThePictureCounts) {
    const QSize size(200, 100);
    EXPECT_TRUE(StrictlyInsidePicture({1, 1}, size));
    EXPECT_TRUE(StrictlyInsidePicture({199, 99}, size));
    EXPECT_TRUE(StrictlyInsidePicture({100, 50}, size));
    EXPECT_FALSE(StrictlyInsidePicture({0, 50}, size)) << "left edge";
    EXPECT_FALSE(StrictlyInsidePicture({100, 0}, size)) << "top edge";
    EXPECT_FALSE(StrictlyInsidePicture({200, 50}, size)) << "right edge";
    EXPECT_FALSE(StrictlyInsidePicture({100, 100}, size)) << "bottom edge";
    EXPECT_FALSE(StrictlyInsidePicture({-5, 50}, size));
    EXPECT_FALSE(StrictlyInsidePicture({1, 1}, QSize(1, 1))) << "a one-pixel picture has no inside";
}

TEST(WheelNotches, WholeNotchesAreTakenAndTheRestCarried) {
    int remainder = 0;
    EXPECT_EQ(TakeWholeNotches(remainder, 120), 1);
    EXPECT_EQ(remainder, 0);
    EXPECT_EQ(TakeWholeNotches(remainder, -240), -2);
    EXPECT_EQ(remainder, 0);

    // A smooth wheel sends eighths of a notch: the eighth one completes it.
    for (int i = 0; i < 7; ++i) EXPECT_EQ(TakeWholeNotches(remainder, 15), 0) << i;
    EXPECT_EQ(TakeWholeNotches(remainder, 15), 1);
    EXPECT_EQ(remainder, 0);

    // Half a notch forward, then a full one back: the reversal counts at once.
    EXPECT_EQ(TakeWholeNotches(remainder, 60), 0);
    EXPECT_EQ(TakeWholeNotches(remainder, -120), -1);
    EXPECT_EQ(remainder, 0);

    EXPECT_EQ(TakeWholeNotches(remainder, 0), 0) << "a purely sideways turn is no notch";
}

}  // namespace
