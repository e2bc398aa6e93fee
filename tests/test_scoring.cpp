#include "scoring/scoring.h"
#include "support.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace morvel {
namespace {

using test::Record;
using Keys = std::vector<std::string>;

class CountQSOTest : public ::testing::Test {
protected:
    TScoring scoring{CLibraryKeyEquality()};

    int Count(const test::Fields& f, bool add = true) { return scoring.CountQSO(*Record(f), add); }
};

TEST_F(CountQSOTest, FirstContactBooksPointAndBothMultipliers) {
    EXPECT_EQ(Count({"UA3AAA", "14", "CW", "599 MA", "DL"}), 1);
    ASSERT_EQ(scoring.StatList().size(), 1u);
    EXPECT_EQ(scoring.StatList()[0], (TStatistic{"14", 1, 1, 1, 1}));
    EXPECT_EQ(scoring.OblWorked().Keys(), Keys{"14|MA|"});
    EXPECT_EQ(scoring.DxccWorked().Keys(), Keys{"14|DL|"});
    EXPECT_EQ(scoring.QSOList().Size(), 1u);
}

TEST_F(CountQSOTest, KnownKeysMatchWithoutRegardToCase) {
    Count({"UA3AAA", "14", "CW", "599 MA", "DL"});
    EXPECT_EQ(Count({"UA3BBB", "14", "CW", "599 ma", "dl"}), 1);
    EXPECT_EQ(scoring.StatList()[0], (TStatistic{"14", 2, 2, 1, 1}));
    EXPECT_EQ(scoring.OblWorked().Keys(), Keys{"14|MA|"});
    EXPECT_EQ(scoring.DxccWorked().Keys(), Keys{"14|DL|"});
}

TEST_F(CountQSOTest, DuplicateChangesNothing) {
    Count({"UA3AAA", "14", "CW", "599 MA", "DL"});
    EXPECT_EQ(Count({"UA3AAA", "14", "CW", "599 SP", "F"}), -1);
    EXPECT_EQ(scoring.StatList()[0], (TStatistic{"14", 1, 1, 1, 1}));
    EXPECT_EQ(scoring.OblWorked().Size(), 1u);
    EXPECT_EQ(scoring.DxccWorked().Size(), 1u);
    EXPECT_EQ(scoring.QSOList().Size(), 1u);
}

TEST_F(CountQSOTest, WithoutAddOnlyAnswers) {
    EXPECT_EQ(Count({"UA3AAA", "14", "CW", "599 MA", "DL"}, false), 1);
    EXPECT_TRUE(scoring.QSOList().Empty());
    EXPECT_TRUE(scoring.StatList().empty());
    EXPECT_EQ(scoring.OblWorked().Size(), 0u);

    Count({"UA3AAA", "14", "CW", "599 MA", "DL"});
    EXPECT_EQ(Count({"UA3AAA", "14", "CW"}, false), -1);
}

TEST_F(CountQSOTest, MultipliersArePerBand) {
    Count({"A1", "14", "CW", "599 MA", "DL"});
    Count({"A2", "7", "CW", "599 MA", "DL"});
    Count({"A3", "7", "SSB", "59 MA", "DL"});
    ASSERT_EQ(scoring.StatList().size(), 2u);
    EXPECT_EQ(scoring.StatList()[0], (TStatistic{"14", 1, 1, 1, 1}));
    EXPECT_EQ(scoring.StatList()[1], (TStatistic{"7", 2, 2, 1, 1}));
    EXPECT_EQ(scoring.OblWorked().Keys(), (Keys{"14|MA|", "7|MA|"}));
}

TEST_F(CountQSOTest, BandsAreTextsComparedExactly) {
    Count({"A1", "14", "CW"});
    Count({"A2", "14 ", "CW"});
    ASSERT_EQ(scoring.StatList().size(), 2u);
    EXPECT_EQ(scoring.StatList()[0].Band, "14");
    EXPECT_EQ(scoring.StatList()[1].Band, "14 ");
}

TEST_F(CountQSOTest, StatListKeepsTheOrderBandsWereFirstCounted) {
    int n = 0;
    for (const char* band : {"21", "3.5", "21", "1.8", "3.5", "28"}) {
        const std::string call = "C" + std::to_string(n++);
        Count({call, band, "CW"});
    }
    std::vector<std::string> bands;
    for (const auto& s : scoring.StatList()) {
        bands.push_back(s.Band);
        EXPECT_EQ(s.Points, s.QSOs);
    }
    EXPECT_EQ(bands, (std::vector<std::string>{"21", "3.5", "1.8", "28"}));
}

TEST_F(CountQSOTest, EmptyPrefixCountsOncePerBand) {
    Count({"A1", "14", "CW", "", ""});
    Count({"A2", "14", "CW", "", ""});
    Count({"A3", "7", "CW", "", ""});
    EXPECT_EQ(scoring.DxccWorked().Keys(), (Keys{"14||", "7||"}));
    EXPECT_EQ(scoring.StatList()[0].DXCC, 1);
    EXPECT_EQ(scoring.StatList()[0].OBL, 0);
}

TEST_F(CountQSOTest, ClearEmptiesEverything) {
    Count({"A1", "14", "CW", "599 MA", "DL"});
    scoring.Clear();
    EXPECT_TRUE(scoring.QSOList().Empty());
    EXPECT_TRUE(scoring.StatList().empty());
    EXPECT_EQ(scoring.OblWorked().Size(), 0u);
    EXPECT_EQ(scoring.DxccWorked().Size(), 0u);
    EXPECT_EQ(Count({"A1", "14", "CW", "599 MA", "DL"}), 1);
    EXPECT_EQ(scoring.StatList()[0], (TStatistic{"14", 1, 1, 1, 1}));
}

TEST_F(CountQSOTest, AnyBytesInEveryFieldAreSafe) {
    auto rec = Record({"X"});
    for (int round = 0; round < 64; ++round) {
        for (ShortString* field : {&rec->CallSign, &rec->DigiBand, &rec->QSOMode,
                                   &rec->QSOReportRecived, &rec->DXCCPrefix}) {
            for (int i = 0; i < 256; ++i) {
                field->bytes[i] = static_cast<std::uint8_t>((i * 31 + round * 17) ^ (i >> 3));
            }
            field->bytes[0] = static_cast<std::uint8_t>(round * 4 + 3);
        }
        const int first = scoring.CountQSO(*rec, true);
        EXPECT_EQ(first, 1);
        EXPECT_EQ(scoring.CountQSO(*rec, false), -1);
    }
}

struct OblastCase {
    const char* exchange;
    std::optional<std::string> code;
};

void PrintTo(const OblastCase& c, std::ostream* os) {
    *os << ::testing::PrintToString(std::string(c.exchange));
}

class OblastCodeTest : public ::testing::TestWithParam<OblastCase> {};

TEST_P(OblastCodeTest, LastTwoCapitalsOfTheTrimmedExchange) {
    const OblastCase& c = GetParam();
    EXPECT_EQ(OblastCode(c.exchange), c.code) << '"' << c.exchange << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Exchanges, OblastCodeTest,
    ::testing::Values(OblastCase{"599 MA", "MA"}, OblastCase{"599 001", std::nullopt},
                      OblastCase{"599MA", "MA"}, OblastCase{"ma", "MA"},
                      OblastCase{"   ", std::nullopt}, OblastCase{"M", std::nullopt},
                      OblastCase{"", std::nullopt}, OblastCase{"599 MA \t\r\n", "MA"},
                      OblastCase{"599 M1", std::nullopt}, OblastCase{"599 1M", std::nullopt},
                      OblastCase{"ABC", "BC"}, OblastCase{"\x01sp\x1f", "SP"},
                      OblastCase{"599 \xc0\xc1", std::nullopt}, OblastCase{"mA", "MA"},
                      OblastCase{"599 m\xe0", std::nullopt}));

TEST(OblastCode, TextEndsAtItsFirstZeroByte) {
    EXPECT_EQ(OblastCode(std::string_view("599 MA\0XY", 9)), "MA");
    EXPECT_EQ(OblastCode(std::string_view("599 M\0XY", 8)), std::nullopt);
    EXPECT_EQ(OblastCode(std::string_view("\0MA", 3)), "MA"); // a leading zero is trimmed
    EXPECT_EQ(OblastCode(std::string_view("MA \0 XY", 7)), std::nullopt);
}

// Case folding that counts its calls.
class CountingEquality final : public KeyEquality {
public:
    mutable int folds = 0;
    std::string Fold(std::string_view key) const override {
        ++folds;
        return CLibraryKeyEquality().Fold(key);
    }
};

TEST(WorkedList, FoldsEachDistinctTextOnce) {
    // A log repeats a few thousand key texts over and over; the locale's
    // folding, a system call on Windows, runs once for each of them.
    CountingEquality equality;
    WorkedList list(equality);
    for (int i = 0; i < 1000; ++i) {
        list.AddIfAbsent("14|MA|");
        list.AddIfAbsent("14|ma|");
        EXPECT_TRUE(list.Contains("14|MA|"));
        EXPECT_TRUE(list.Contains("14|ma|"));
    }
    EXPECT_EQ(equality.folds, 2);
    EXPECT_EQ(list.Keys(), (Keys{"14|MA|"}));
    // A text not yet met is folded to be answered, and not remembered by a
    // mere question.
    EXPECT_TRUE(list.Contains("14|Ma|"));
    EXPECT_FALSE(list.Contains("14|MB|"));
    EXPECT_EQ(list.Size(), 1u);

    list.Clear();
    EXPECT_FALSE(list.Contains("14|MA|"));
    EXPECT_TRUE(list.AddIfAbsent("14|ma|")); // a text met before the clear counts again
    EXPECT_EQ(list.Keys(), (Keys{"14|ma|"}));
}

TEST(WorkedList, KeepsFirstSpellingAndOrder) {
    WorkedList list(CLibraryKeyEquality());
    EXPECT_TRUE(list.AddIfAbsent("14|dl|"));
    EXPECT_FALSE(list.AddIfAbsent("14|DL|"));
    EXPECT_TRUE(list.AddIfAbsent("7|DL|"));
    EXPECT_TRUE(list.Contains("14|Dl|"));
    EXPECT_FALSE(list.Contains("14|DM|"));
    EXPECT_EQ(list.Keys(), (Keys{"14|dl|", "7|DL|"}));
}

} // namespace
} // namespace morvel
