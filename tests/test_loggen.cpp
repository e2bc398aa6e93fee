#include "oblast/oblast.h"
#include "scoring/scoring.h"
#include "tools/loggen/contacts.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace morvel {
namespace {

TEST(LogGenerator, IsDeterministicForASeed) {
    const auto a = loggen::Generate({500, 7});
    const auto b = loggen::Generate({500, 7});
    const auto c = loggen::Generate({500, 8});
    ASSERT_EQ(a.size(), 500u);
    for (std::size_t i = 0; i < a.size(); ++i) {
        ASSERT_EQ(a[i].CallSign, b[i].CallSign);
        ASSERT_EQ(a[i].QSOReportRecived, b[i].QSOReportRecived);
    }
    std::size_t same = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        same += a[i].CallSign == c[i].CallSign ? 1 : 0;
    }
    EXPECT_LT(same, 50u);
}

TEST(LogGenerator, LooksLikeAContestLog) {
    const auto log = loggen::Generate({20000, 3});
    TScoring scoring(CLibraryKeyEquality());
    auto rec = std::make_unique<TQSOData>();
    std::size_t dupes = 0;
    std::set<std::string> bands, modes, codes, prefixes;
    for (const auto& c : log) {
        loggen::FillRecord(*rec, c);
        dupes += scoring.CountQSO(*rec, true) < 0 ? 1 : 0;
        bands.insert(c.DigiBand);
        modes.insert(c.QSOMode);
        prefixes.insert(c.DXCCPrefix);
        if (auto code = OblastCode(c.QSOReportRecived)) {
            codes.insert(*code);
        }
    }
    EXPECT_EQ(bands.size(), 9u);
    EXPECT_EQ(modes, (std::set<std::string>{"CW", "SSB"}));
    EXPECT_GE(codes.size(), 80u);
    EXPECT_LE(codes.size(), 85u);
    EXPECT_GE(prefixes.size(), 250u);
    EXPECT_GT(dupes, log.size() * 3 / 100);
    EXPECT_LT(dupes, log.size() * 7 / 100);
    EXPECT_EQ(loggen::DxccPrefixes().size(), 300u);
}

} // namespace
} // namespace morvel
