#include "session/multcheck.h"
#include "support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace morvel {
namespace {

const std::vector<std::string> kLines = {"UA1A=SP", "UA1B=SP", "UA3A=MA",    "UA9A=cb",
                                         "no code", "UA0A=",   "UA3B=MOSCOW"};

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
    EXPECT_EQ(count("UA3AAA", "14", "599 MA"), (CheckGrid::Cell{0, 5}));
    EXPECT_EQ(count("UA3BBB", "14", "599 MA"), std::nullopt);          // worked already
    EXPECT_EQ(count("UA9AAA", "7", "59 CB"), (CheckGrid::Cell{3, 3})); // the file's "cb"
    EXPECT_EQ(count("UA1AAA", "50", "599 SP"), std::nullopt);          // not one of the nine
    EXPECT_EQ(count("UA2AAA", "21", "599 KA"), std::nullopt);          // not in the file
    EXPECT_EQ(count("UA3AAA", "14", "599 SP"), std::nullopt);          // a duplicate
    EXPECT_EQ(grid.WorkedOn(5), 1);
    EXPECT_EQ(grid.WorkedOn(3), 1);

    CheckGrid rebuilt(CheckCodes(kLines), CLibraryKeyEquality());
    rebuilt.Rebuild(scoring.OblWorked());
    for (std::size_t row = 0; row < grid.Codes().size(); ++row) {
        for (int band = 1; band <= 9; ++band) {
            EXPECT_EQ(rebuilt.Worked(row, band), grid.Worked(row, band)) << row << " " << band;
        }
    }
    EXPECT_EQ(rebuilt.WorkedOn(5), 1);
}

TEST(CheckHeadline, TheScoreAndWhatMakesIt) {
    const std::vector<TStatistic> stats = {{"14", 10, 10, 3, 2}, {"7", 5, 5, 1, 4}};
    const CheckHeadline h = MakeHeadline(stats, 2);
    EXPECT_EQ(h.score, 15 * (4 + 6));
    EXPECT_EQ(h.Text(), "Score 150   Points 15   QSOs 15   Dupes 2   OBL 4   DXCC 6");
    EXPECT_EQ(MakeHeadline({}, 0).Text(), "Score 0   Points 0   QSOs 0   Dupes 0   OBL 0   DXCC 0");
    EXPECT_EQ(DxccByBand(stats)[4], 2);
    EXPECT_EQ(DxccByBand(stats)[2], 4);
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
    EXPECT_EQ(t.oblastNeededOn, (std::vector<int>{1, 2, 4, 6, 7, 8, 9}));
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

} // namespace
} // namespace morvel
