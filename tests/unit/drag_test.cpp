#include <gtest/gtest.h>

#include "window/drag.h"

namespace velmora {
namespace {

TEST(RoundHalfToEven, HalvesGoToTheEvenNeighbour) {
    const struct {
        double value;
        std::int32_t rounded;
    } cases[] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {3.5, 4}, {-0.5, 0}, {-1.5, -2}, {-2.5, -2},
                 {2.4999, 2}, {2.5001, 3}, {-2.5001, -3}, {7.0, 7}, {199999.5, 200000}, {200000.5, 200000}};
    for (const auto& c : cases) EXPECT_EQ(RoundHalfToEven(c.value), c.rounded) << c.value;
}

TEST(Drag, PressStartsADragAtTheRoundedPoint) {
    DragState drag;
    StartDrag(drag, 10.5f, 11.5f);
    EXPECT_TRUE(drag.dragging);
    EXPECT_EQ(drag.startX, 10);
    EXPECT_EQ(drag.startY, 12);
}

TEST(Drag, AnyNonZeroLeftButtonQueryKeepsTheDrag) {
    const struct {
        std::int16_t query;
        bool continues;
    } cases[] = {
        {0, false},
        {1, true},                               // pressed since the last query only
        {static_cast<std::int16_t>(0x8000), true},  // down now
        {static_cast<std::int16_t>(0x8001), true},
    };
    for (const auto& c : cases) {
        DragState drag;
        StartDrag(drag, 5, 5);
        EXPECT_EQ(ContinueDrag(drag, c.query), c.continues) << c.query;
        EXPECT_EQ(drag.dragging, c.continues) << c.query;
    }
}

TEST(Drag, MoveWithoutADragDoesNothing) {
    DragState drag;
    EXPECT_FALSE(ContinueDrag(drag, 1));
    EXPECT_FALSE(drag.dragging);
}

TEST(Drag, PressAndReleaseWithoutMoveKeepsDraggingUntilAMoveFindsTheButtonUp) {
    DragState drag;
    StartDrag(drag, 40, 30);
    EXPECT_TRUE(drag.dragging);   // no handler for the release
    EXPECT_FALSE(ContinueDrag(drag, 0));
    EXPECT_FALSE(drag.dragging);
}

}  // namespace
}  // namespace velmora
