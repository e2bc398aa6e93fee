#include "ui/main_layout.h"

#include <gtest/gtest.h>

namespace morvel::ui {
namespace {

TEST(Scale, RoundsToNearest) {
    EXPECT_EQ(Scale(362, 96), 362);
    EXPECT_EQ(Scale(362, 144), 543);
    EXPECT_EQ(Scale(23, 120), 29);   // 28.75
    EXPECT_EQ(Scale(-11, 144), -17); // -16.5 rounds away from zero
    EXPECT_EQ(Scale(1, 48), 1);      // 0.5
    EXPECT_EQ(Scale(0, 192), 0);
}

TEST(MainLayout, DesignSizeGivesTheDesignedPositions) {
    const MainLayout l = LayOutMainForm(362, 155, 96);
    EXPECT_EQ(l.panel, (Rect{0, 132, 362, 155}));
    EXPECT_EQ(l.statistic, (Rect{0, 0, 362, 132}));
    EXPECT_EQ(l.recalc, (Rect{137, 1, 259, 23}));
    EXPECT_EQ(l.multipliers, (Rect{256, 0, 361, 23}));
    EXPECT_EQ(l.recalc.right - l.multipliers.left, 3); // the two buttons overlap
}

TEST(MainLayout, ButtonsStayAnchoredToTheRight) {
    const MainLayout l = LayOutMainForm(600, 300, 96);
    EXPECT_EQ(l.panel, (Rect{0, 277, 600, 300}));
    EXPECT_EQ(l.recalc, (Rect{375, 1, 497, 23}));
    EXPECT_EQ(l.multipliers, (Rect{494, 0, 599, 23}));
}

TEST(MainLayout, ScalesWithTheScreen) {
    const MainLayout l = LayOutMainForm(543, 233, 144);
    EXPECT_EQ(l.panel.bottom - l.panel.top, 35);
    EXPECT_EQ(l.multipliers, (Rect{383, 0, 541, 35})); // 1.5 pixels from the edge round to 2
    EXPECT_EQ(l.recalc.right, 543 - 155);
}

TEST(MainLayout, TinyClientAreaStaysSane) {
    const MainLayout l = LayOutMainForm(0, 10, 96);
    EXPECT_EQ(l.panel, (Rect{0, 0, 0, 10}));
    EXPECT_EQ(l.statistic, (Rect{0, 0, 0, 0}));
    const MainLayout negative = LayOutMainForm(-5, -5, 96);
    EXPECT_EQ(negative.panel.bottom, 0);
}

} // namespace
} // namespace morvel::ui
