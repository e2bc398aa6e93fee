#include "scoring/keys.h"
#include "scoring/scoring.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace morvel {
namespace {

bool CompareStringEqual(const std::string& a, const std::string& b) {
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(),
                          static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) == CSTR_EQUAL;
}

// The folded forms must be equal exactly when CompareStringA reports equality.
TEST(UserLocaleKeyEquality, AgreesWithCompareString) {
    // A few related keys a row.
    // clang-format off
    const std::vector<std::string> keys = {
        "14|DL|", "14|dl|", "14|Dl|", "14|DM|", "7|DL|", "14||", "14|MA|", "14|ma|",
        "1.8|UA9|", "1.8|ua9|", "14|\xc0\xc1|", "14|\xe0\xe1|", "14|\xc4|", "14|\xe4|",
        "14|A-B|", "14|AB|", "14|a\x01|", "14|a|", std::string("14|\0|", 5), "14||",
        "14|ss|", "14|\xdf|", "28|OK|", "28|ok|"};
    // clang-format on
    const KeyEquality& eq = UserLocaleKeyEquality();
    for (const auto& a : keys) {
        for (const auto& b : keys) {
            EXPECT_EQ(eq.Fold(a) == eq.Fold(b), CompareStringEqual(a, b))
                << ::testing::PrintToString(a) << " vs " << ::testing::PrintToString(b);
        }
    }
}

TEST(UserLocaleKeyEquality, DrivesTheWorkedLists) {
    TScoring scoring(UserLocaleKeyEquality());
    WorkedList list(UserLocaleKeyEquality());
    EXPECT_TRUE(list.AddIfAbsent("14|DL|"));
    EXPECT_FALSE(list.AddIfAbsent("14|dl|"));
    EXPECT_TRUE(list.AddIfAbsent("14|DM|"));
    EXPECT_TRUE(list.AddIfAbsent(std::string(1000, 'x')));
    EXPECT_TRUE(list.Contains(std::string(1000, 'X')));
}

} // namespace
} // namespace morvel
