#include "ui/placement.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>

namespace morvel::ui {
namespace {

using Stored = std::map<std::string, std::string>;

ValueReader From(const Stored& stored) {
    return [&stored](const std::string& name) -> std::optional<std::string> {
        const auto it = stored.find(name);
        return it == stored.end() ? std::nullopt : std::optional<std::string>(it->second);
    };
}

const Screen kScreen{1920, 1080, 96};
const Placement kCurrent{0, 1, {0, 0}, {0, 0}, {932, 187, 1306, 383}};

TEST(PlacementValues, NamesTextsAndOrder) {
    const Placement p{2, 3, {-1, -2}, {-8, -30}, {10, 20, 384, 216}};
    const Values v = PlacementValues(p, kScreen, false, std::string("5"));
    const Values expected = {{"FormVersion", "0"},
                             {"Flags", "2"},
                             {"ShowCmd", "3"},
                             {"PixelsPerInch", "96"},
                             {"MinMaxPos(1920x1080)", "-1,-2,-8,-30"},
                             {"MinMaxPos", "-1,-2,-8,-30"},
                             {"NormPos(1920x1080)", "10,20,384,216"},
                             {"NormPos", "10,20,384,216"},
                             {"Visible", "0"},
                             {"CurrentBand", "5"}};
    EXPECT_EQ(v, expected);

    const Values destroyed = PlacementValues(p, kScreen, true, std::nullopt);
    ASSERT_EQ(destroyed.size(), 9u);
    EXPECT_EQ(destroyed.back(), (std::pair<std::string, std::string>{"Visible", "1"}));
}

TEST(ParsePositions, BlanksOrCommasAndDefaultsForTheRest) {
    const std::array<int, 4> d{1, 2, 3, 4};
    EXPECT_EQ(ParsePositions("10,20,30,40", d), (std::array<int, 4>{10, 20, 30, 40}));
    EXPECT_EQ(ParsePositions("10 20  30 , 40", d), (std::array<int, 4>{10, 20, 30, 40}));
    EXPECT_EQ(ParsePositions(",,10,,20", d), (std::array<int, 4>{10, 20, 3, 4}));
    EXPECT_EQ(ParsePositions("", d), d);
    EXPECT_EQ(ParsePositions("-5,+6", d), (std::array<int, 4>{-5, 6, 3, 4}));
    EXPECT_EQ(ParsePositions("x,20,1e3,40", d), (std::array<int, 4>{1, 20, 3, 40}));
    EXPECT_EQ(ParsePositions("1,2,3,4,5,6", d), (std::array<int, 4>{1, 2, 3, 4}));
    EXPECT_EQ(ParsePositions("99999999999,2", d), (std::array<int, 4>{1, 2, 3, 4}));
    EXPECT_EQ(ParsePositions("\t7", d), (std::array<int, 4>{1, 2, 3, 4})); // a tab is no blank
}

TEST(ParseInt, DecimalThirtyTwoBitOnly) {
    EXPECT_EQ(ParseInt("0"), 0);
    EXPECT_EQ(ParseInt("-2147483648"), INT_MIN);
    EXPECT_EQ(ParseInt("2147483647"), INT_MAX);
    EXPECT_EQ(ParseInt("2147483648"), std::nullopt);
    EXPECT_EQ(ParseInt("+5"), 5);
    EXPECT_EQ(ParseInt("+-5"), std::nullopt);
    EXPECT_EQ(ParseInt(""), std::nullopt);
    EXPECT_EQ(ParseInt("+"), std::nullopt);
    EXPECT_EQ(ParseInt(" 5"), std::nullopt);
    EXPECT_EQ(ParseInt("5x"), std::nullopt);
}

TEST(StoredPlacement, NothingStoredNothingApplied) {
    EXPECT_EQ(StoredPlacement(From({}), kScreen, kCurrent, true), std::nullopt);
    EXPECT_EQ(StoredPlacement(From({{"NormPos", ""}, {"MinMaxPos", ""}}), kScreen, kCurrent, true),
              std::nullopt);
}

TEST(StoredPlacement, ScreenSizeNameFirstThenPlainName) {
    const Stored both = {{"NormPos(1920x1080)", "1,2,300,400"}, {"NormPos", "5,6,700,800"}};
    EXPECT_EQ(StoredPlacement(From(both), kScreen, kCurrent, true)->normal, (Rect{1, 2, 300, 400}));
    const Stored plain = {{"NormPos(1024x768)", "1,2,300,400"}, {"NormPos", "5,6,700,800"}};
    EXPECT_EQ(StoredPlacement(From(plain), kScreen, kCurrent, true)->normal,
              (Rect{5, 6, 700, 800}));
    const Stored emptySized = {{"NormPos(1920x1080)", ""}, {"NormPos", "5,6,700,800"}};
    EXPECT_EQ(StoredPlacement(From(emptySized), kScreen, kCurrent, true)->normal,
              (Rect{5, 6, 700, 800}));
}

TEST(StoredPlacement, MissingNumbersTakeTheirDefaults) {
    const auto p = StoredPlacement(From({{"NormPos", "100,200"}, {"MinMaxPos", "7"}}), kScreen,
                                   kCurrent, true);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->normal, (Rect{100, 200, 1306, 383}));
    EXPECT_EQ(p->minPosition, (Point{7, 0}));
    EXPECT_EQ(p->maxPosition, (Point{0, 0}));

    const auto onlyMinMax =
        StoredPlacement(From({{"MinMaxPos", "1,2,3,4"}}), kScreen, kCurrent, true);
    ASSERT_TRUE(onlyMinMax);
    EXPECT_EQ(onlyMinMax->normal, kCurrent.normal);
    EXPECT_EQ(onlyMinMax->maxPosition, (Point{3, 4}));
}

TEST(StoredPlacement, AppliesOnlyAtTheSamePixelsPerInchAndWithAWidth) {
    const Stored base = {{"NormPos", "10,10,300,300"}};
    auto with = [&](const char* name, const char* value) {
        Stored s = base;
        s[name] = value;
        return StoredPlacement(From(s), kScreen, kCurrent, true);
    };
    EXPECT_TRUE(with("PixelsPerInch", "96"));
    EXPECT_FALSE(with("PixelsPerInch", "120"));
    EXPECT_FALSE(with("PixelsPerInch", "0"));
    EXPECT_TRUE(with("PixelsPerInch", "lots")); // no number reads as the current value
    EXPECT_TRUE(StoredPlacement(From(base), kScreen, kCurrent, true)); // missing counts as equal
    EXPECT_FALSE(with("NormPos", "300,10,300,300"));
    EXPECT_FALSE(with("NormPos", "300,10,10,300"));
    EXPECT_TRUE(with("NormPos", "300,10,301,5")); // only left and right are compared
}

TEST(StoredPlacement, WhatASaveWritesComesBackAtItsScreenOnly) {
    const Placement saved{2, 3, {-1, -1}, {-8, -8}, {150, 120, 711, 414}};
    const Screen at150{2880, 1620, 144};
    Stored stored;
    for (const auto& [name, value] : PlacementValues(saved, at150, false, std::string("4"))) {
        stored[name] = value;
    }
    EXPECT_EQ(StoredPlacement(From(stored), at150, kCurrent, true), saved);
    // Another size at the same pixels per inch takes the plain names.
    EXPECT_EQ(StoredPlacement(From(stored), Screen{3840, 2160, 144}, kCurrent, true), saved);
    // The same monitor as a host that is not DPI aware sees it at 150 %.
    EXPECT_EQ(StoredPlacement(From(stored), Screen{1920, 1080, 96}, kCurrent, true), std::nullopt);
    EXPECT_EQ(StoredPlacement(From(stored), Screen{2880, 1620, 96}, kCurrent, true), std::nullopt);
}

TEST(StoredPlacement, StateAndFlags) {
    auto read = [](const char* cmd, bool withState) {
        const Stored s = {{"NormPos", "10,10,300,300"}, {"ShowCmd", cmd}, {"Flags", "2"}};
        return StoredPlacement(From(s), kScreen, kCurrent, withState);
    };
    EXPECT_EQ(read("3", true)->showCmd, 3);
    for (const char* cmd : {"1", "5", "9", "2", "6", "7", "0", "4", "-1", "x", ""}) {
        EXPECT_EQ(read(cmd, true)->showCmd, 1) << cmd;
    }
    EXPECT_EQ(read("3", false)->showCmd, 1); // position and size only
    EXPECT_EQ(read("1", true)->flags, 2);
}

TEST(FitInto, MovesAndShrinksIntoTheWorkArea) {
    const Rect work{0, 0, 1920, 1040};
    EXPECT_EQ(FitInto({100, 100, 474, 296}, work), (Rect{100, 100, 474, 296}));
    EXPECT_EQ(FitInto({3000, 100, 3374, 296}, work), (Rect{1546, 100, 1920, 296}));
    EXPECT_EQ(FitInto({-3000, -500, -2626, -304}, work), (Rect{0, 0, 374, 196}));
    EXPECT_EQ(FitInto({0, 0, 5000, 5000}, work), work);
    EXPECT_EQ(FitInto({INT_MIN, INT_MIN, INT_MAX, INT_MAX}, work), work);
    EXPECT_EQ(FitInto({10, 10, 5, 5}, work), (Rect{10, 10, 10, 10}));
    const Rect second{1920, 0, 3200, 1024};
    EXPECT_EQ(FitInto({4000, 50, 4374, 246}, second), (Rect{2826, 50, 3200, 246}));
}

TEST(KeptOnWorkArea, OnlyARectangleOnAMonitorThatFitsStaysAsItIs) {
    const Rect work{0, 0, 1920, 1040};
    // Partly off the monitor, by the operator's choice: kept.
    EXPECT_EQ(KeptOnWorkArea({1700, 900, 2074, 1096}, true, work), (Rect{1700, 900, 2074, 1096}));
    EXPECT_EQ(KeptOnWorkArea(work, true, work), work);
    // On no monitor: onto the nearest one's work area.
    EXPECT_EQ(KeptOnWorkArea({5000, 5000, 5370, 5182}, false, work), (Rect{1550, 858, 1920, 1040}));
    // Covering every monitor, or wider or taller than the work area, yet
    // meeting a monitor: clipped into the work area, never left for the
    // system to put at -32768.
    EXPECT_EQ(KeptOnWorkArea({-40000, -40000, 40000, 40000}, true, work), work);
    EXPECT_EQ(KeptOnWorkArea({INT_MIN, INT_MIN, INT_MAX, INT_MAX}, true, work), work);
    EXPECT_EQ(KeptOnWorkArea({-40000, 300, 40000, 500}, true, work), (Rect{0, 300, 1920, 500}));
    EXPECT_EQ(KeptOnWorkArea({100, 100, 70000, 70000}, true, work), work);
    EXPECT_EQ(KeptOnWorkArea({100, -5000, 474, 5000}, true, work), (Rect{100, 0, 474, 1040}));
    // Upside down: no height.
    EXPECT_EQ(KeptOnWorkArea({300, 10, 301, 5}, true, work), (Rect{300, 10, 301, 10}));
    // A second monitor's work area left of the primary one.
    const Rect left{-1280, 0, 0, 984};
    EXPECT_EQ(KeptOnWorkArea({-40000, -40000, 40000, 40000}, true, left), left);
}

TEST(DpiChangedRect, TheSuggestedRectangleElseTheCurrentOneScaled) {
    const Rect current{100, 200, 474, 396};
    EXPECT_EQ(DpiChangedRect(current, 96, 144, {2000, 100, 2561, 394}),
              (Rect{2000, 100, 2561, 394}));
    // One without a width or a height: the window keeps its place and scales
    // its size.
    EXPECT_EQ(DpiChangedRect(current, 96, 144, Rect{}), (Rect{100, 200, 661, 494}));
    EXPECT_EQ(DpiChangedRect(current, 144, 96, {0, 0, 0, 0}), (Rect{100, 200, 349, 330}));
    EXPECT_EQ(DpiChangedRect(current, 96, 120, {10, 10, 5, 500}), (Rect{100, 200, 567, 445}));
    // Nothing overflows, whatever the numbers.
    EXPECT_EQ(DpiChangedRect({INT_MAX - 10, 0, INT_MAX, 10}, 96, 960, Rect{}),
              (Rect{INT_MAX - 10, 0, INT_MAX, 100}));
    EXPECT_EQ(DpiChangedRect({INT_MIN, INT_MIN, INT_MAX, INT_MAX}, 1, 2, Rect{}),
              (Rect{INT_MIN, INT_MIN, INT_MAX, INT_MAX}));
    EXPECT_EQ(DpiChangedRect(current, 0, 0, Rect{}), current);
}

} // namespace
} // namespace morvel::ui
