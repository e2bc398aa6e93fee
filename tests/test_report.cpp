#include "scoring/report.h"

#include <gtest/gtest.h>

#include <climits>

namespace morvel {
namespace {

TEST(PadLeft, PadsShortTextsOnly) {
    EXPECT_EQ(PadLeft("14", 4), "  14");
    EXPECT_EQ(PadLeft("1.8", 4), " 1.8");
    EXPECT_EQ(PadLeft("1296", 4), "1296");
    EXPECT_EQ(PadLeft("10368", 4), "10368");
    EXPECT_EQ(PadLeft("", 3, '*'), "***");
    EXPECT_EQ(PadLeft("abc", 0), "abc");
    EXPECT_EQ(PadLeft("abc", -5), "abc");
}

TEST(ShowStatistic, OneBandExample) {
    const std::string text = ShowStatistic({{"14", 10, 10, 3, 2}});
    EXPECT_EQ(text, "Band\t  QSOs\tPoints\t   OBL\t  DXCC\t\r\n"
                    "  14\t    10\t    10\t     3\t     2\t\r\n"
                    "Total\t    10\t    10\t     3\t     2\r\n"
                    " Score: 10*(3+2)=50");
}

TEST(ShowStatistic, NoBands) {
    EXPECT_EQ(ShowStatistic({}), "Band\t  QSOs\tPoints\t   OBL\t  DXCC\t\r\n"
                                 "Total\t     0\t     0\t     0\t     0\r\n"
                                 " Score: 0*(0+0)=0");
}

TEST(ShowStatistic, BandTextsOfOtherLengthsAndWideNumbers) {
    const std::string text = ShowStatistic(
        {{"1.8", 1000000, 1000000, 0, 1}, {"1296", 1, 1, 1, 1}, {"10368", 2, 2, 0, 0}});
    EXPECT_EQ(text, "Band\t  QSOs\tPoints\t   OBL\t  DXCC\t\r\n"
                    " 1.8\t1000000\t1000000\t     0\t     1\t\r\n"
                    "1296\t     1\t     1\t     1\t     1\t\r\n"
                    "10368\t     2\t     2\t     0\t     0\t\r\n"
                    "Total\t1000003\t1000003\t     1\t     2\r\n"
                    " Score: 1000003*(1+2)=3000009");
}

TEST(ShowStatistic, ScoreWrapsInThirtyTwoBits) {
    const std::string text = ShowStatistic({{"14", 100000, 100000, 30000, 0}});
    // 100000 * 30000 = 3,000,000,000 wraps to -1,294,967,296.
    EXPECT_NE(text.find(" Score: 100000*(30000+0)=-1294967296"), std::string::npos);

    const std::string totals = ShowStatistic({{"a", INT_MAX, INT_MAX, 0, 0}, {"b", 1, 1, 0, 0}});
    EXPECT_NE(totals.find("Total\t-2147483648\t-2147483648"), std::string::npos);
}

TEST(ShowStatistic, BandTextIsWrittenAsItStands) {
    const std::string text = ShowStatistic({{std::string("\t7\x01", 3), 1, 1, 0, 0}});
    EXPECT_NE(text.find("\r\n \t7\x01\t     1"), std::string::npos);
}

} // namespace
} // namespace morvel
