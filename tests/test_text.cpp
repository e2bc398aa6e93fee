#include "contract/text.h"

#include <gtest/gtest.h>

namespace morvel {
namespace {

TEST(Trim, RemovesBlanksAndControlCharactersAtBothEnds) {
    EXPECT_EQ(Trim("  a b \t\r\n"), "a b");
    EXPECT_EQ(Trim(std::string_view("\0\x1f x\x20\x01", 6)), "x");
    EXPECT_EQ(Trim(" \t "), "");
    EXPECT_EQ(Trim(""), "");
    EXPECT_EQ(Trim("\x7f!\xa0"), "\x7f!\xa0"); // 127 and above are not blanks
}

TEST(UpperAscii, TurnsOnlyLatinSmallLetters) {
    EXPECT_EQ(UpperAscii("abz AZ 09 {|}`"), "ABZ AZ 09 {|}`");
    EXPECT_EQ(UpperAscii("\xe0\xff"), "\xe0\xff");
}

TEST(FailureText, AddsAPeriodAfterCharactersThatSortAfterIt) {
    EXPECT_EQ(FailureText("no such table: Log"), "no such table: Log.");
    EXPECT_EQ(FailureText("done."), "done.");
    EXPECT_EQ(FailureText("error (1)"), "error (1)"); // ')' sorts before '.'
    EXPECT_EQ(FailureText("path C:\\x\\"), "path C:\\x\\.");
    EXPECT_EQ(FailureText("x/"), "x/.");
    EXPECT_EQ(FailureText("x-"), "x-");
    EXPECT_EQ(FailureText("\xc0"), "\xc0.");
    EXPECT_EQ(FailureText(""), "");
}

} // namespace
} // namespace morvel
