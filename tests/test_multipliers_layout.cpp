#include "ui/multipliers_layout.h"

#include <gtest/gtest.h>

#include <climits>

namespace morvel::ui {
namespace {

TEST(Panel2Resize, EvenButtonsTheLastEndingFourPixelsShort) {
    const auto l = Panel2Resize(327, 18);
    ASSERT_TRUE(l);
    EXPECT_EQ(l->buttons[AllBands[0]], (Rect{0, 0, 36, 17}));
    EXPECT_EQ(l->buttons[AllBands[4]], (Rect{144, 0, 180, 17}));
    EXPECT_EQ(l->buttons[AllBands[8]], (Rect{288, 0, 323, 17})); // 36 + 327 mod 9 - 4 = 35
    EXPECT_TRUE(l->lastWidthApplied);

    const auto wide = Panel2Resize(1000, 30);
    EXPECT_EQ(wide->buttons[AllBands[8]], (Rect{888, 0, 996, 29})); // 111 + 1 - 4
}

TEST(Panel2Resize, NarrowAndEmptyPanels) {
    EXPECT_EQ(Panel2Resize(0, 18), std::nullopt);
    const auto tiny = Panel2Resize(3, 18); // W = 0: the last width would be -1
    ASSERT_TRUE(tiny);
    EXPECT_FALSE(tiny->lastWidthApplied);
    EXPECT_EQ(tiny->buttons[AllBands[8]].left, 0);
    const auto four = Panel2Resize(13, 0);
    EXPECT_EQ(four->buttons[AllBands[8]], (Rect{8, 0, 9, -1}));
}

TEST(Panel2Resize, ExtremeSizesGiveADefinedLayout) {
    // There is no height one below the lowest: that panel keeps it as its bottom edge.
    const auto lowest = Panel2Resize(327, INT_MIN);
    ASSERT_TRUE(lowest);
    for (const Rect& b : lowest->buttons) {
        EXPECT_EQ(b.bottom, INT_MIN);
    }
    const auto widest = Panel2Resize(INT_MAX, INT_MAX);
    ASSERT_TRUE(widest);
    EXPECT_EQ(widest->buttons[AllBands[8]].right, INT_MAX - 4);
    EXPECT_EQ(widest->buttons[AllBands[0]].bottom, INT_MAX - 1);
    const auto negative = Panel2Resize(INT_MIN, INT_MIN);
    ASSERT_TRUE(negative);
    EXPECT_FALSE(negative->lastWidthApplied);
    EXPECT_EQ(negative->buttons[AllBands[1]].left, negative->buttons[AllBands[0]].right);
}

class HighlighterTest : public ::testing::Test {
protected:
    WorkedList worked{CLibraryKeyEquality()};
    Highlighter highlighter;

    ItemLook Look(std::string_view band, std::string_view code) {
        return highlighter.Look(worked, band, code);
    }
};

TEST_F(HighlighterTest, NoWorkedOblastDrawsEverythingAsTheListDoes) {
    EXPECT_EQ(Look("14", "MA"), ItemLook::Default);
    EXPECT_EQ(Look("", "MA"), ItemLook::Default);
}

TEST_F(HighlighterTest, CodesWorkedOnTheSelectedBand) {
    worked.AddIfAbsent("14|MA|");
    worked.AddIfAbsent("7|SP|");
    EXPECT_EQ(Look("14", "MA"), ItemLook::Highlighted);
    EXPECT_EQ(Look("14", "SP"), ItemLook::Plain);
    EXPECT_EQ(Look("7", "SP"), ItemLook::Highlighted);
    EXPECT_EQ(Look("7", "MA"), ItemLook::Plain);
    EXPECT_EQ(Look("14", "ma"), ItemLook::Plain); // exact, case-sensitive
}

TEST_F(HighlighterTest, NoBandSelectedHighlightsCodesWorkedOnAnyBand) {
    worked.AddIfAbsent("14|MA|");
    EXPECT_EQ(Look("", "MA"), ItemLook::Highlighted);
    EXPECT_EQ(Look("", "SP"), ItemLook::Plain);
}

TEST_F(HighlighterTest, ProbeIsASubstringTest) {
    // "4|MA|" sits inside "14|MA|": a band text that ends another one matches.
    worked.AddIfAbsent("14|MA|");
    EXPECT_EQ(Look("4", "MA"), ItemLook::Highlighted);
    EXPECT_EQ(Look("1.8", "MA"), ItemLook::Plain);
    EXPECT_EQ(Look("14", "M"), ItemLook::Plain);
}

TEST_F(HighlighterTest, FollowsAGrowingListAndARebuiltOne) {
    worked.AddIfAbsent("14|DL|");
    EXPECT_EQ(Look("14", "MA"), ItemLook::Plain);
    worked.AddIfAbsent("14|MA|");
    EXPECT_EQ(Look("14", "MA"), ItemLook::Highlighted);

    worked.Clear();
    worked.AddIfAbsent("7|MA|");
    worked.AddIfAbsent("7|SP|");
    worked.AddIfAbsent("7|CB|");
    EXPECT_EQ(Look("14", "MA"), ItemLook::Plain);
    EXPECT_EQ(Look("7", "CB"), ItemLook::Highlighted);
}

} // namespace
} // namespace morvel::ui
