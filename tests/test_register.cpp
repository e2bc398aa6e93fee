#include "scoring/register.h"
#include "scoring/scoring.h"
#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace morvel {
namespace {

using test::Record;

TEST(CompareOrdinal, ComparesUnsignedBytesThenLength) {
    EXPECT_EQ(CompareOrdinal("A", "B"), -1);
    EXPECT_EQ(CompareOrdinal("B", "A"), 1);
    EXPECT_EQ(CompareOrdinal("AB", "AB"), 0);
    EXPECT_EQ(CompareOrdinal("AB", "ABC"), -1);
    EXPECT_EQ(CompareOrdinal("ABC", "AB"), 1);
    EXPECT_EQ(CompareOrdinal("", ""), 0);
    EXPECT_EQ(CompareOrdinal("", "A"), -1);
    EXPECT_EQ(CompareOrdinal("Z", "a"), -1);        // upper case sorts first
    EXPECT_EQ(CompareOrdinal("\x80", "\x7f"), 1);   // bytes are unsigned
    EXPECT_EQ(CompareOrdinal("UA3/P", "UA3A"), -1); // '/' before letters
    EXPECT_EQ(CompareOrdinal(std::string_view("A\0B", 3), std::string_view("A\0C", 3)), -1);
}

class DupeCheck : public ::testing::Test {
protected:
    TScoring scoring{CLibraryKeyEquality()};

    void Count(std::string_view call, std::string_view band, std::string_view mode) {
        scoring.CountQSO(*Record({call, band, mode}), true);
    }
    bool Dupe(std::string_view call, std::string_view band, std::string_view mode) {
        return scoring.CheckDupe(*Record({call, band, mode}));
    }
};

TEST_F(DupeCheck, EmptyRegisterHasNoDuplicates) {
    EXPECT_FALSE(Dupe("UA3AAA", "14", "CW"));
    EXPECT_FALSE(Dupe("", "", ""));
}

TEST_F(DupeCheck, SameCallBandAndModeOnly) {
    Count("A", "14", "CW");
    Count("A", "7", "CW");
    EXPECT_TRUE(Dupe("A", "14", "CW"));
    EXPECT_TRUE(Dupe("A", "7", "CW"));
    EXPECT_FALSE(Dupe("A", "14", "SSB"));
    EXPECT_FALSE(Dupe("A", "21", "CW"));
}

TEST_F(DupeCheck, ComparesExactlyWithoutTrimOrCase) {
    Count("UA3AAA", "14", "CW");
    EXPECT_FALSE(Dupe("ua3aaa", "14", "CW"));
    EXPECT_FALSE(Dupe("UA3AAA", " 14", "CW"));
    EXPECT_FALSE(Dupe("UA3AAA", "14", "cw"));
    EXPECT_FALSE(Dupe("UA3AAA ", "14", "CW"));
    EXPECT_TRUE(Dupe("UA3AAA", "14", "CW"));
}

TEST_F(DupeCheck, TextsWhoseJoinedBytesCoincideAreDifferentContacts) {
    // Bands and modes are kept as numbers beside the call sign: no way of
    // joining the three texts may let one contact pass for another.
    Count("UA1", "14", "CW");
    EXPECT_FALSE(Dupe("UA11", "4", "CW"));
    EXPECT_FALSE(Dupe("UA1", "14C", "W"));
    EXPECT_FALSE(Dupe("UA", "114", "CW"));
    EXPECT_FALSE(Dupe("UA1", "CW", "14")); // band and mode swapped
    Count("UA1", "CW", "14");
    EXPECT_TRUE(Dupe("UA1", "CW", "14"));
    EXPECT_TRUE(Dupe("UA1", "14", "CW"));
    EXPECT_EQ(scoring.QSOList().Size(), 2u);
}

TEST_F(DupeCheck, AskingAboutAnUnknownBandOrModeBooksNothing) {
    Count("A", "14", "CW");
    for (int i = 0; i < 100; ++i) {
        EXPECT_FALSE(Dupe("A", "BAND" + std::to_string(i), "CW"));
        EXPECT_FALSE(Dupe("A", "14", "MODE" + std::to_string(i)));
    }
    Count("A", "7", "SSB");
    EXPECT_TRUE(Dupe("A", "7", "SSB"));
    EXPECT_FALSE(Dupe("A", "7", "CW"));
    EXPECT_FALSE(Dupe("A", "14", "SSB"));
}

TEST_F(DupeCheck, ClearForgetsContactsBandsAndModes) {
    // After a clear the bands are numbered anew; nothing of the old numbers
    // may make a new contact look booked.
    for (int i = 0; i < 50; ++i) {
        Count("UA3" + std::to_string(i), std::to_string(i % 9), i % 2 ? "CW" : "SSB");
    }
    scoring.Clear();
    EXPECT_TRUE(scoring.QSOList().Empty());
    for (int i = 0; i < 50; ++i) {
        EXPECT_FALSE(Dupe("UA3" + std::to_string(i), std::to_string(i % 9), i % 2 ? "CW" : "SSB"));
    }
    Count("UA30", "5", "SSB"); // numbered 0 and 0 now, as "0" and "SSB" were before
    EXPECT_FALSE(Dupe("UA30", "0", "SSB"));
    EXPECT_TRUE(Dupe("UA30", "5", "SSB"));
    EXPECT_EQ(scoring.QSOList().Ordered(), (std::vector<TQSO>{{"UA30", "5", "SSB"}}));
}

TEST_F(DupeCheck, LongCallSignsAndEveryByteAreKeptWhole) {
    const std::string longCall(255, 'Q');
    const std::string bytes("\0\x01\xff A", 5);
    Count(longCall, "14", "CW");
    Count(bytes, bytes, bytes);
    EXPECT_TRUE(Dupe(longCall, "14", "CW"));
    EXPECT_FALSE(Dupe(longCall.substr(0, 254), "14", "CW"));
    EXPECT_TRUE(Dupe(bytes, bytes, bytes));
    EXPECT_FALSE(Dupe(bytes.substr(1), bytes, bytes));
    const auto ordered = scoring.QSOList().Ordered();
    ASSERT_EQ(ordered.size(), 2u);
    EXPECT_EQ(ordered[0], (TQSO{bytes, bytes, bytes}));
    EXPECT_EQ(ordered[1], (TQSO{longCall, "14", "CW"}));
}

TEST_F(DupeCheck, FindsRunWhicheverMemberSearchLandsOn) {
    // Many neighbours on both sides so that the run of one call sits anywhere
    // in the register.
    for (int i = 0; i < 50; ++i) {
        Count("B" + std::to_string(100 + i), "14", "CW");
        Count("M" + std::to_string(100 + i), "14", "CW");
    }
    Count("K1", "7", "CW");
    Count("K1", "14", "CW");
    Count("K1", "21", "SSB");
    EXPECT_TRUE(Dupe("K1", "7", "CW"));
    EXPECT_TRUE(Dupe("K1", "14", "CW"));
    EXPECT_TRUE(Dupe("K1", "21", "SSB"));
    EXPECT_FALSE(Dupe("K1", "21", "CW"));
}

TEST_F(DupeCheck, RunMayBeginAtTheStartOfTheRegister) {
    Count("A", "7", "CW");
    Count("A", "14", "CW");
    Count("B", "14", "CW");
    EXPECT_TRUE(Dupe("A", "14", "CW"));
    EXPECT_TRUE(Dupe("A", "7", "CW"));
}

// Contacts arrive in a database's own collation order (case-insensitive, '/'
// placed elsewhere); the duplicate test must not depend on that order.
TEST_F(DupeCheck, FindsDuplicatesWhateverTheArrivalOrder) {
    const std::vector<std::string> nocaseOrder = {"ua3abc", "UA3ABC",   "UA3ABC/P", "Ua3Abd",
                                                  "UA3ABD", "ua3abd/m", "UA3ABE"};
    for (const auto& call : nocaseOrder) {
        Count(call, "14", "CW");
    }
    for (const auto& call : nocaseOrder) {
        EXPECT_TRUE(Dupe(call, "14", "CW")) << call;
    }
    EXPECT_EQ(scoring.QSOList().Size(), nocaseOrder.size());
}

TEST_F(DupeCheck, RegisterIsInOrdinalCallSignOrder) {
    for (const char* call : {"UA3ABC/P", "ua3abc", "UA3ABC", "DL1A", "9A1A"}) {
        Count(call, "14", "CW");
    }
    Count("DL1A", "7", "CW");
    const std::vector<TQSO> ordered = scoring.QSOList().Ordered();
    ASSERT_EQ(ordered.size(), 6u);
    EXPECT_TRUE(std::is_sorted(ordered.begin(), ordered.end(), [](const TQSO& a, const TQSO& b) {
        return CompareOrdinal(a.CallSign, b.CallSign) < 0;
    }));
    EXPECT_EQ(ordered.front().CallSign, "9A1A");
    EXPECT_EQ(ordered.back().CallSign, "ua3abc");
}

TEST_F(DupeCheck, AddQSOToListTakesTheRecordsTextsAsTheyStand) {
    scoring.AddQSOToList(*Record({" ua3a ", "14 ", "Cw"}));
    const auto ordered = scoring.QSOList().Ordered();
    ASSERT_EQ(ordered.size(), 1u);
    EXPECT_EQ(ordered[0], (TQSO{" ua3a ", "14 ", "Cw"}));
    EXPECT_TRUE(Dupe(" ua3a ", "14 ", "Cw"));
    // Nothing else is booked by the register alone.
    EXPECT_TRUE(scoring.StatList().empty());
}

} // namespace
} // namespace morvel
