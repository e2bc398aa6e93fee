#include "session/multiplier_check.h"
#include "support.h"
#include "ui/main_layout.h"
#include "ui/multiplier_check_layout.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace morvel {
namespace {

const std::vector<std::string> kLines = {"UA1A=SP", "UA1B=SP", "UA3A=MA",    "UA9A=cb",
                                         "no code", "UA0A=",   "UA3B=MOSCOW"};

// The band of a text of BandTable's.
Band BandOf(std::string_view text) {
    return Band::FromText(text).value();
}

TEST(CheckCodes, EachCodeOnceInByteOrder) {
    EXPECT_EQ(CheckCodes(kLines), (std::vector<std::string>{"MA", "MOSC", "SP", "cb"}));
    EXPECT_TRUE(CheckCodes({}).empty());
}

TEST(CheckGrid, ContactsFillTheCellsARebuildFinds) {
    TScoring scoring(CLibraryKeyEquality());
    CheckGrid grid(CheckCodes(kLines), CLibraryKeyEquality());
    const auto count = [&](std::string call, std::string band, std::string exchange) {
        const auto rec = test::Record({call, band, "CW", exchange, "UA1"});
        scoring.CountQSO(*rec, true);
        return grid.Count(*rec, scoring.OblWorked());
    };
    EXPECT_EQ(count("UA3AAA", "14", "599 MA"), (CheckGrid::Cell{0, BandOf("14")}));
    EXPECT_EQ(count("UA3BBB", "14", "599 MA"), std::nullopt);                    // worked already
    EXPECT_EQ(count("UA9AAA", "7", "59 CB"), (CheckGrid::Cell{3, BandOf("7")})); // the file's "cb"
    EXPECT_EQ(count("UA1AAA", "50", "599 SP"), std::nullopt); // not one of the nine
    EXPECT_EQ(count("UA2AAA", "21", "599 KA"), std::nullopt); // not in the file
    EXPECT_EQ(count("UA3AAA", "14", "599 SP"), std::nullopt); // a duplicate
    // The end bands, 1.8 and 28, as any other.
    EXPECT_EQ(count("UA1AAA", "1.8", "599 SP"), (CheckGrid::Cell{2, BandOf("1.8")}));
    EXPECT_EQ(count("UA9AAA", "28", "599 CB"), (CheckGrid::Cell{3, BandOf("28")}));
    for (const std::string_view band : {"1.8", "7", "14", "28"}) {
        EXPECT_EQ(grid.WorkedOn(BandOf(band)), 1) << band;
    }
    EXPECT_EQ(grid.WorkedOn(BandOf("10")), 0);

    CheckGrid rebuilt(CheckCodes(kLines), CLibraryKeyEquality());
    rebuilt.Rebuild(scoring.OblWorked());
    for (std::size_t row = 0; row < grid.Codes().size(); ++row) {
        for (const Band band : AllBands) {
            EXPECT_EQ(rebuilt.Worked(row, band), grid.Worked(row, band))
                << row << " " << band.Text();
        }
    }
    for (const Band band : AllBands) {
        EXPECT_EQ(rebuilt.WorkedOn(band), grid.WorkedOn(band)) << band.Text();
    }
    EXPECT_EQ(rebuilt.WorkedOn(BandOf("14")), 1);
}

TEST(CheckHeadline, TheScoreAndWhatMakesIt) {
    const std::vector<TStatistic> stats = {{"14", 10, 10, 3, 2}, {"7", 5, 5, 1, 4}};
    const CheckHeadline h = MakeHeadline(stats, 2);
    EXPECT_EQ(h.score, 15 * (4 + 6));
    EXPECT_EQ(h.Text(), "Score 150   Points 15   QSOs 15   Dupes 2   OBL 4   DXCC 6");
    EXPECT_EQ(MakeHeadline({}, 0).Text(), "Score 0   Points 0   QSOs 0   Dupes 0   OBL 0   DXCC 0");
    EXPECT_EQ(DxccByBand(stats)[BandOf("14")], 2);
    EXPECT_EQ(DxccByBand(stats)[BandOf("7")], 4);
    EXPECT_EQ(DxccByBand(stats)[BandOf("10")], 0);
}

TEST(TypedStation, WhatTheStationBeingTypedWouldBring) {
    TScoring scoring(CLibraryKeyEquality());
    scoring.CountQSO(*test::Record({"UA3AAA", "14", "CW", "599 MA", "UA1"}), true);
    scoring.CountQSO(*test::Record({"UA3AAA", "7", "CW", "599 MA", "UA1"}), true);

    // Received: MA is worked on 14, needed on the seven bands left.
    TypedStation t =
        AnalyseStation(*test::Record({"UA3BBB", "14", "CW", "599 MA", "UA1"}), scoring, kLines);
    EXPECT_FALSE(t.duplicate);
    EXPECT_EQ(t.oblastMark, TypedStation::Mark::Worked);
    EXPECT_FALSE(t.suggested);
    EXPECT_EQ(t.oblastNeededOn,
              (std::vector<Band>{BandOf("1.8"), BandOf("3.5"), BandOf("10"), BandOf("18"),
                                 BandOf("21"), BandOf("24"), BandOf("28")}));
    EXPECT_EQ(t.dxccMark, TypedStation::Mark::Worked);

    // Not received yet: the suggestion from the main prefix, new on 21.
    t = AnalyseStation(*test::Record({"UA1AAA", "21", "CW", "", "UA1", "UA1A"}), scoring, kLines);
    EXPECT_EQ(t.oblast, "SP");
    EXPECT_TRUE(t.suggested);
    EXPECT_EQ(t.oblastMark, TypedStation::Mark::New);
    EXPECT_EQ(t.dxccMark, TypedStation::Mark::New);
    EXPECT_EQ(t.Text(), "UA1AAA on 21   not worked on this band and mode\r\n"
                        "Oblast SP (suggested): NEW on this band, still needed on 1.8 3.5 7 10 14 "
                        "18 24 28   DXCC UA1: NEW on this band");

    t = AnalyseStation(*test::Record({"UA3AAA", "7", "CW", "", "DL"}), scoring, kLines);
    EXPECT_TRUE(t.duplicate);
    EXPECT_EQ(t.oblastMark, TypedStation::Mark::None);
    EXPECT_EQ(t.Text(), "UA3AAA on 7   DUPE\r\nNo oblast   DXCC DL: NEW on this band");
    EXPECT_EQ(TypedStation{}.Text(), "No station typed yet");
}

TEST(TypedStation, LoudAlertsAndTheCallsHistoryFromTheRegister) {
    TScoring scoring(CLibraryKeyEquality());
    scoring.CountQSO(*test::Record({"UA3AAA", "14", "CW", "599 MA", "UA1"}), true);
    scoring.CountQSO(*test::Record({"UA3AAA", "7", "SSB", "59 MA", "UA1"}), true);
    scoring.CountQSO(*test::Record({"UA3AAA", "1.8", "CW", "599 MA", "UA1"}), true);
    scoring.CountQSO(*test::Record({"DL1AA", "28", "CW", "599 001", "DL"}), true);

    TypedStation t =
        AnalyseStation(*test::Record({"UA3AAA", "14", "CW", "599 MA", "UA1"}), scoring, kLines);
    EXPECT_EQ(t.AlertKind(), TypedStation::Alert::Dupe);
    EXPECT_EQ(t.AlertText(), "DUPE");
    EXPECT_EQ(t.HistoryText(), "worked 14 CW, 7 SSB, 1.8 CW");

    // New on 28 as an oblast, not as DXCC; new on 21 as both; both worked.
    t = AnalyseStation(*test::Record({"UA3AAA", "28", "CW", "599 MA", "DL"}), scoring, kLines);
    EXPECT_EQ(t.AlertText(), "NEW MULTIPLIER: oblast MA");
    t = AnalyseStation(*test::Record({"UA1AAA", "21", "CW", "", "UA1", "UA1A"}), scoring, kLines);
    EXPECT_EQ(t.AlertKind(), TypedStation::Alert::NewMultiplier);
    EXPECT_EQ(t.AlertText(), "NEW MULTIPLIER: oblast SP (suggested) + DXCC UA1");
    EXPECT_EQ(t.HistoryText(), "not worked before");
    t = AnalyseStation(*test::Record({"DL2BB", "28", "SSB", "59 002", "DL"}), scoring, kLines);
    EXPECT_EQ(t.AlertKind(), TypedStation::Alert::None);
    EXPECT_EQ(t.AlertText(), "");
    t = AnalyseStation(*test::Record({"DL2BB", "1.8", "SSB", "59 002", "DL"}), scoring, kLines);
    EXPECT_EQ(t.AlertText(), "NEW MULTIPLIER: DXCC DL");
    EXPECT_EQ(TypedStation{}.AlertKind(), TypedStation::Alert::None);
    EXPECT_EQ(TypedStation{}.HistoryText(), "");

    // The DXCC prefixes of a band, the end bands too.
    EXPECT_EQ(DxccOnBand(scoring.DxccWorked(), BandOf("28")), (std::vector<std::string>{"DL"}));
    EXPECT_EQ(DxccOnBand(scoring.DxccWorked(), BandOf("1.8")), (std::vector<std::string>{"UA1"}));
    EXPECT_TRUE(DxccOnBand(scoring.DxccWorked(), BandOf("10")).empty());
}

TEST(ContactWarning, ExchangesThatLoseTheirMultiplierAreNamed) {
    const std::vector<std::string> lines = {"UA1A=SP", "UA3A=MA", "UA9A=CB"};
    const CheckGrid grid(CheckCodes(lines), CLibraryKeyEquality());
    const auto warn = [&](std::string call, std::string exchange, std::string dxcc,
                          std::string main, const CheckGrid* codes) {
        return ContactWarning(*test::Record({call, "14", "CW", exchange, dxcc, main}), lines,
                              codes);
    };
    EXPECT_EQ(warn("UA3AAA", "599 MA", "UA1", "UA3A", &grid), "");
    EXPECT_EQ(warn("DL1AA", "599 001", "DL", "DL1", &grid), "");
    EXPECT_EQ(warn("UA3AAA", "", "UA1", "UA3A", &grid),
              "UA3AAA on 14: no oblast code in the exchange \"\": no oblast multiplier");
    EXPECT_EQ(warn("UA9AAA", "599", "UA9", "UA9A", &grid),
              "UA9AAA on 14: no oblast code in the exchange \"599\": no oblast multiplier");
    // "599 МА" typed in Cyrillic (Windows-1251 bytes).
    EXPECT_EQ(warn("UA3AAA", "599 \xCC\xC0", "UA1", "UA3A", &grid),
              "UA3AAA on 14: the exchange \"599 \xCC\xC0\" holds letters outside ASCII "
              "(Cyrillic?): its oblast is not counted as typed");
    EXPECT_EQ(warn("UA2AAA", "599 KA", "UA2", "UA2F", &grid),
              "UA2AAA on 14: oblast KA is not in the oblast file");
    EXPECT_EQ(warn("UA3AAA", "599 SP", "UA1", "UA3A", &grid),
              "UA3AAA on 14: oblast SP, but UA3A suggests MA");
    EXPECT_EQ(warn("UA3AAA", "599 ma", "UA1", "UA3A", &grid), ""); // the same code
    // Without an oblast file no code is unknown; the empty exchange still is.
    const CheckGrid none({}, CLibraryKeyEquality());
    EXPECT_EQ(
        ContactWarning(*test::Record({"UA2AAA", "14", "CW", "599 KA", "UA2", "UA2F"}), {}, &none),
        "");
    EXPECT_NE(ContactWarning(*test::Record({"UA2AAA", "14", "CW", "", "UA2", "UA2F"}), {}, nullptr),
              "");
}

TEST(RateMeter, TheLastTenAndSixtyMinutesAndTheLastHourPerBand) {
    using namespace std::chrono_literals;
    const RateMeter::Clock::time_point start{};
    RateMeter rate(start);
    // Five minutes in: three contacts, said to cover only those minutes.
    rate.Count("14", start + 1min);
    rate.Count("14", start + 2min);
    rate.Count("1.8", start + 4min);
    EXPECT_EQ(rate.Text(start + 5min), "Rate 36/h (10 min), 36/h (60 min) over the 5 min since the "
                                       "start   last hour: 1.8 1, 14 2");
    // Seventy minutes in: the first three have left the hour.
    for (int m = 20; m < 70; ++m) {
        rate.Count(m % 2 == 0 ? "28" : "50", start + std::chrono::minutes(m));
    }
    const auto now = start + 70min;
    EXPECT_EQ(rate.InLast(now, 10), 9u); // minutes 61..69 (60 is 10 min before)
    EXPECT_EQ(rate.InLast(now, 60), 50u);
    EXPECT_EQ(rate.LastHourOn(now, BandOf("28")), 25);
    EXPECT_EQ(rate.LastHourOn(now, BandOf("14")), 0);
    EXPECT_EQ(rate.LastHourOn(now, BandOf("1.8")), 0);
    EXPECT_EQ(rate.LastHourOnOthers(now), 25);
    EXPECT_EQ(rate.Text(now), "Rate 54/h (10 min), 50/h (60 min)   last hour: 28 25, other 25");
    EXPECT_EQ(RateMeter(start).Text(start), "Rate 0/h (10 min), 0/h (60 min) over the 1 min since "
                                            "the start   last hour: none");
}

} // namespace
} // namespace morvel

namespace morvel::ui {
namespace {

// The grid at a client area of the form, for rows codes.
CheckGridLayout GridAt(int width, int height, int dpi, std::size_t rows) {
    const Rect grid = LayOutCheck(width, height, dpi).grid;
    return CheckGridLayout(grid.right - grid.left, grid.bottom - grid.top, dpi, rows);
}

TEST(CheckGridLayout, AtTheDefaultSizeEveryRowIsInViewAtBothDensities) {
    for (const int dpi : {96, 144}) {
        const int width = Scale(kCheckClientWidth, dpi);
        const int height = Scale(kCheckClientHeight, dpi);
        const CheckFormLayout form = LayOutCheck(width, height, dpi);
        const CheckGridLayout grid = GridAt(width, height, dpi, 85);
        EXPECT_TRUE(grid.AllInView()) << dpi;
        EXPECT_EQ(grid.Sign(), std::nullopt) << dpi;
        for (std::size_t row = 0; row < 85; ++row) {
            const auto r = grid.RowRect(row, 0);
            ASSERT_TRUE(r) << dpi << " " << row;
            EXPECT_LE(r->right, form.grid.right - form.grid.left) << dpi << " " << row;
            EXPECT_LE(r->bottom, form.grid.bottom - form.grid.top) << dpi << " " << row;
            // The code, then the nine cells side by side to the row's end,
            // each under its band's header.
            int left = grid.CodeRect(row, 0)->right;
            for (const Band band : AllBands) {
                const auto cell = grid.CellRect(row, band, 0);
                ASSERT_TRUE(cell) << dpi << " " << row << " " << band.Text();
                EXPECT_EQ(*cell, (Rect{left, r->top, left + grid.CellWidth(), r->bottom}))
                    << dpi << " " << row << " " << band.Text();
                const Rect header = grid.HeaderCell(row / grid.RowsPerBlock(), band);
                EXPECT_EQ(header.left, cell->left) << dpi << " " << row << " " << band.Text();
                EXPECT_EQ(header.right, cell->right) << dpi << " " << row << " " << band.Text();
                EXPECT_EQ(header.bottom, grid.RowRect(0, 0)->top) << dpi << " " << band.Text();
                left = cell->right;
            }
            EXPECT_EQ(left, r->right) << dpi << " " << row;
        }
        // The strip: the label, then the nine bands' columns side by side
        // within the grid, on each of its lines.
        const int gridWidth = form.grid.right - form.grid.left;
        for (int line = 0; line < 3; ++line) {
            int left = grid.StripLabel(line).right;
            for (const Band band : AllBands) {
                const Rect cell = grid.StripCell(line, band);
                EXPECT_EQ(cell.left, left) << dpi << " " << line << " " << band.Text();
                EXPECT_GT(cell.right, cell.left) << dpi << " " << line << " " << band.Text();
                EXPECT_LE(cell.right, gridWidth) << dpi << " " << line << " " << band.Text();
                EXPECT_LE(cell.bottom, grid.StripHeight()) << dpi << " " << line;
                left = cell.right;
            }
        }
        // The list beside the grid, the texts above it, all inside the window.
        EXPECT_FALSE(Meet(form.grid, form.dxccList)) << dpi;
        EXPECT_LE(form.warning.bottom, form.grid.top) << dpi;
        EXPECT_LE(form.dxccList.right, width) << dpi;
        EXPECT_GT(form.dxccList.bottom, form.dxccList.top) << dpi;
        // Outer size at most the client area and a generous frame: within a
        // 1366 x 768 work area.
        EXPECT_LE(width + Scale(16, dpi), 1366) << dpi;
        EXPECT_LE(height + Scale(40, dpi), 768) << dpi;
    }
}

TEST(CheckGridLayout, RowsOutOfViewAreCountedAndOneIsScrolledIntoView) {
    // A short window: blocks as wide as it holds, a sign below the rows.
    const CheckGridLayout grid(400, 200, 96, 85);
    ASSERT_FALSE(grid.AllInView());
    const auto sign = grid.Sign();
    ASSERT_TRUE(sign);
    EXPECT_LE(sign->bottom, 200);
    EXPECT_EQ(grid.Blocks(), 2u);
    const CheckGridLayout::Hidden atTop = grid.HiddenRows(85, 0);
    EXPECT_EQ(atTop.above, 0u);
    std::size_t shown = 0;
    for (std::size_t row = 0; row < 85; ++row) {
        shown += grid.RowRect(row, 0) ? 1 : 0;
    }
    EXPECT_EQ(shown + atTop.below, 85u);
    EXPECT_EQ(HiddenRowsText(atTop),
              "v " + std::to_string(atTop.below) + " rows below: scroll or enlarge the window");
    const CheckGridLayout::Hidden atEnd = grid.HiddenRows(85, grid.MaxScroll());
    EXPECT_EQ(atEnd.below, 0u);
    EXPECT_GT(atEnd.above, 0u);
    EXPECT_EQ(HiddenRowsText({}), "");
    // The last row of each block and the first, from either end.
    for (const std::size_t row : {std::size_t{0}, grid.RowsPerBlock() - 1, std::size_t{84}}) {
        for (const std::size_t from : {std::size_t{0}, grid.MaxScroll()}) {
            const std::size_t scroll = grid.ScrollFor(row, from);
            EXPECT_LE(scroll, grid.MaxScroll());
            EXPECT_TRUE(grid.RowRect(row, scroll)) << row << " from " << from;
        }
    }
    // A row in view already keeps the scroll.
    EXPECT_EQ(grid.ScrollFor(1, 0), 0u);
    // At every scroll, the last block one row short: each row is shown or
    // counted above or below, once; a row out of view has no cells.
    ASSERT_EQ(85 % grid.Blocks(), 1u);
    for (std::size_t scroll = 0; scroll <= grid.MaxScroll() + 1; ++scroll) {
        const CheckGridLayout::Hidden hidden = grid.HiddenRows(85, scroll);
        std::size_t inView = 0;
        for (std::size_t row = 0; row < 85; ++row) {
            const bool seen = grid.RowRect(row, scroll).has_value();
            inView += seen ? 1 : 0;
            EXPECT_EQ(grid.CellRect(row, AllBands.back(), scroll).has_value(), seen)
                << row << " at " << scroll;
        }
        if (scroll <= grid.MaxScroll()) {
            EXPECT_EQ(inView + hidden.above + hidden.below, 85u) << scroll;
        } else {
            // Past the end counts as at the end.
            EXPECT_EQ(hidden.below, 0u);
            EXPECT_EQ(hidden.above, grid.HiddenRows(85, grid.MaxScroll()).above);
        }
    }
}

TEST(CheckGridLayout, DegenerateSizesAndDensitiesGiveADefinedLayout) {
    // At one pixel an inch every size rounds to nothing: one block of no
    // width, no division by it.
    for (const int dpi : {0, 1}) {
        const CheckGridLayout tiny(400, 200, dpi, 85);
        EXPECT_EQ(tiny.Blocks(), 1u) << dpi;
        EXPECT_EQ(tiny.CellRect(0, AllBands.front(), 0)->right,
                  tiny.CellRect(0, AllBands.back(), 0)->left)
            << dpi;
    }
    // No codes: no rows, nothing to scroll or hide.
    const CheckGridLayout empty(400, 200, 96, 0);
    EXPECT_TRUE(empty.AllInView());
    EXPECT_EQ(empty.RowRect(0, 0), std::nullopt);
    EXPECT_EQ(empty.HiddenRows(0, 3).below, 0u);
    EXPECT_EQ(empty.ScrollFor(5, 0), 0u);
    // No room (a minimised window): every row counted below, none scrolled to.
    const CheckGridLayout none(-5, -5, 144, 85);
    EXPECT_EQ(none.VisibleRows(), 0u);
    EXPECT_EQ(none.HiddenRows(85, 0).below, 85u);
    EXPECT_EQ(none.ScrollFor(40, 0), 0u);
    // A block wider than the window at the highest density: one block.
    EXPECT_EQ(CheckGridLayout(300, 2000, 960, 85).Blocks(), 1u);
}

TEST(EmphasisedBand, TheTypedStationsBandElseTheStoredOne) {
    const auto typed = [](std::string_view band) { return test::Record({"UA3AAA", band}); };
    EXPECT_EQ(EmphasisedBand(typed(" 14\t").get(), "3"), Band::FromText("14"));
    // A typed band not of the nine, or none, leaves the stored one.
    EXPECT_EQ(EmphasisedBand(typed("50").get(), "3"), Band::FromText("7"));
    EXPECT_EQ(EmphasisedBand(typed("").get(), " 9 "), Band::FromText("28"));
    EXPECT_EQ(EmphasisedBand(nullptr, "1"), Band::FromText("1.8"));
    EXPECT_EQ(EmphasisedBand(nullptr, "+4"), Band::FromText("10"));
    EXPECT_EQ(EmphasisedBand(nullptr, "04"), Band::FromText("10"));
    // A stored value that is no number 1-9 names no band.
    for (const std::string_view stored :
         {"0", "10", "-1", "", "   ", "x", "4x", "4.0", "+", "4294967300", "0x4"}) {
        EXPECT_EQ(EmphasisedBand(nullptr, stored), std::nullopt) << stored;
        EXPECT_EQ(EmphasisedBand(typed("1.80").get(), stored), std::nullopt) << stored;
    }
}

TEST(FirstCheckRect, BesideOrBelowTheOtherTwoAtBothDensities) {
    struct Case {
        Rect workArea;
        int dpi;
    };
    for (const Case& c : {Case{{0, 0, 1366, 728}, 96}, Case{{0, 0, 1920, 1040}, 144},
                          Case{{0, 0, 1920, 1080}, 96}, Case{{0, 0, 1366, 768}, 144}}) {
        // The statistics and the multipliers window at their first places,
        // kept on the work area as the windows are.
        const Rect stats = KeptOnWorkArea(
            {932, 187, 932 + Scale(374, c.dpi), 187 + Scale(196, c.dpi)}, true, c.workArea);
        const Rect mult = KeptOnWorkArea(
            {1020, 164, 1020 + Scale(339, c.dpi), 164 + Scale(182, c.dpi)}, true, c.workArea);
        const int width = Scale(kCheckClientWidth + 16, c.dpi);
        const int height = Scale(kCheckClientHeight + 31, c.dpi);
        const Rect r = FirstCheckRect(c.workArea, {stats, mult}, width, height);
        const std::string where = std::to_string(c.workArea.right) + "x" +
                                  std::to_string(c.workArea.bottom) + "@" + std::to_string(c.dpi);
        EXPECT_FALSE(Meet(r, stats)) << where;
        EXPECT_FALSE(Meet(r, mult)) << where;
        EXPECT_EQ(FitInto(r, c.workArea), r) << where;
        EXPECT_LE(r.right - r.left, width) << where;
        EXPECT_LE(r.bottom - r.top, height) << where;
        // Large enough to be of use: at least a third of the size wanted.
        EXPECT_GE(3LL * (r.right - r.left) * (r.bottom - r.top), 1LL * width * height) << where;
    }
    // At 96 on 1366 x 768 the whole window fits left of the other two.
    const Rect r = FirstCheckRect({0, 0, 1366, 728},
                                  {{932, 187, 1306, 383}, {1020, 164, 1359, 346}}, 902, 489);
    EXPECT_EQ(r, (Rect{30, 164, 932, 653}));
    // Windows that leave no room: the size wanted, fitted into the work area.
    EXPECT_EQ(FirstCheckRect({0, 0, 800, 600}, {{0, 0, 800, 600}}, 500, 400),
              (Rect{0, 0, 500, 400}));
    // Windows elsewhere (another monitor) do not count.
    EXPECT_EQ(FirstCheckRect({0, 0, 800, 600}, {{900, 0, 1000, 100}}, 500, 400),
              (Rect{0, 0, 500, 400}));
}

} // namespace
} // namespace morvel::ui
