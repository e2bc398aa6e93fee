#include "contract/text.h"
#include "oblast/oblast.h"
#include "support.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace morvel {
namespace {

using Lines = std::vector<std::string>;
using test::Record;

struct SplitCase {
    std::string bytes;
    Lines lines;
};

void PrintTo(const SplitCase& c, std::ostream* os) {
    *os << ::testing::PrintToString(c.bytes);
}

class SplitDomLinesTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitDomLinesTest, FollowsTheLineBreakRules) {
    EXPECT_EQ(SplitDomLines(GetParam().bytes), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Breaks, SplitDomLinesTest,
    ::testing::Values(SplitCase{"", {}}, SplitCase{"a", {"a"}}, SplitCase{"a\r\nb\r\n", {"a", "b"}},
                      SplitCase{"a\nb", {"a", "b"}}, SplitCase{"a\rb\r", {"a", "b"}},
                      SplitCase{"a\n\rb", {"a", "", "b"}}, SplitCase{"a\r\n\r\nb", {"a", "", "b"}},
                      SplitCase{"\n", {""}}, SplitCase{"\r\n", {""}}, SplitCase{"\n\n", {"", ""}},
                      SplitCase{"a\r\r\nb", {"a", "", "b"}},
                      SplitCase{" UA3A=MA \t", {" UA3A=MA \t"}},
                      SplitCase{std::string("a\nb\0c\nd", 7), {"a", "b"}},
                      SplitCase{std::string("\0a", 2), {}},
                      SplitCase{std::string("a\n\0", 3), {"a"}}));

TEST(SplitDomLines, HugeAndBinaryContent) {
    std::string big(50u << 20, 'x');
    EXPECT_EQ(SplitDomLines(big).size(), 1u);
    for (std::size_t i = 0; i < big.size(); i += 1000) {
        big[i] = '\n';
    }
    // A break at offset 0 and every 1000 bytes, then a last line without one.
    const std::size_t breaks = ((50u << 20) - 1) / 1000 + 1;
    EXPECT_EQ(SplitDomLines(big).size(), breaks + 1);

    std::string binary;
    for (int i = 1; i < 256; ++i) {
        binary += static_cast<char>(i);
    }
    const Lines lines = SplitDomLines(binary);
    ASSERT_EQ(lines.size(), 3u); // broken at LF (10) and CR (13)
    EXPECT_EQ(lines[0].size(), 9u);
    EXPECT_EQ(lines[1].size(), 2u);
    EXPECT_EQ(lines[2].size(), 242u);
}

class GrabOblTest : public ::testing::Test {
protected:
    Lines dom = {"UA1A=SP", "UA3A=MA", "UA9A=CB", "no separator UA0Z", "UA2F=KA"};

    std::string Grab(std::string_view dxcc, std::string_view mainPrefix) {
        return GrabObl(dom, *Record({"X", "14", "CW", "", dxcc, mainPrefix}));
    }
};

TEST_F(GrabOblTest, SuggestsCodeForTheThreeRussianPrefixes) {
    EXPECT_EQ(Grab("UA1", "UA1A"), "SP");
    EXPECT_EQ(Grab("UA9", "UA9A"), "CB");
    EXPECT_EQ(Grab("UA2", "UA2F"), "KA");
    EXPECT_EQ(Grab(" ua9 ", "UA3A"), "MA");
}

TEST_F(GrabOblTest, GateOnTheDxccPrefix) {
    EXPECT_EQ(Grab("UA", "UA3A"), "");
    EXPECT_EQ(Grab("DL", "UA3A"), "");
    EXPECT_EQ(Grab("", "UA3A"), "");
    EXPECT_EQ(Grab("UA3", "UA3A"), "");
    EXPECT_EQ(Grab("UA1:UA2", "UA3A"), "MA"); // ":UA1:UA2:" occurs in the gate text
    EXPECT_EQ(Grab(":", "UA3A"), "");
    EXPECT_EQ(Grab("UA1\x01", "UA3A"), "MA");
}

TEST_F(GrabOblTest, MainPrefixMustBeFourCharactersAsStored) {
    EXPECT_EQ(Grab("UA1", "UA3"), "");
    EXPECT_EQ(Grab("UA1", "UA3AB"), "");
    EXPECT_EQ(Grab("UA1", "ua3a"), "");
    EXPECT_EQ(Grab("UA1", " UA3A"), "");
    EXPECT_EQ(Grab("UA1", "UA0Z"), ""); // the line has nothing after the prefix
}

TEST_F(GrabOblTest, ShortCodesAndTheLastMatchingLine) {
    dom = {"UA3A=M"};
    EXPECT_EQ(Grab("UA1", "UA3A"), "M");
    dom = {"UA3A=MA", "UA3A="};
    EXPECT_EQ(Grab("UA1", "UA3A"), ""); // an empty later match still decides
    dom = {"UA3A=MA", "UA3A=MO"};
    EXPECT_EQ(Grab("UA1", "UA3A"), "MO");
    dom = {"UA3A= M ", "xx"};
    EXPECT_EQ(Grab("UA1", "UA3A"), "M");
    dom = {"xUA3A=MOSCOW"};
    EXPECT_EQ(Grab("UA1", "UA3A"), "MO");
    dom = {"UA3A UA3A=SP"}; // first occurrence in the line counts
    EXPECT_EQ(Grab("UA1", "UA3A"), "UA");
    dom = {};
    EXPECT_EQ(Grab("UA1", "UA3A"), "");
}

TEST(DomFilePath, BesideTheHostProgram) {
    EXPECT_EQ(DomFilePath("C:\\Logger\\logger.exe"), "C:\\Logger\\Plugins\\Russiaobl.dom");
    EXPECT_EQ(DomFilePath("C:logger.exe"), "C:Plugins\\Russiaobl.dom");
    EXPECT_EQ(DomFilePath("logger.exe"), "Plugins\\Russiaobl.dom");
    EXPECT_EQ(DomFilePath("\\\\srv\\share\\l.exe"), "\\\\srv\\share\\Plugins\\Russiaobl.dom");
}

class FakeFileSystem : public FileSystem {
public:
    std::map<std::string, std::optional<std::string>> files;
    mutable std::vector<std::string> reads;

    bool FileExists(const std::string& path) const override { return files.count(path) != 0; }
    std::optional<std::string> ReadShared(const std::string& path) const override {
        reads.push_back(path);
        const auto it = files.find(path);
        return it == files.end() ? std::nullopt : it->second;
    }
};

TEST(LoadDomLines, MissingFileGivesNoLinesSilently) {
    FakeFileSystem fs;
    EXPECT_TRUE(LoadDomLines(fs, "C:\\L\\host.exe").empty());
    EXPECT_TRUE(fs.reads.empty());
}

TEST(LoadDomLines, ReadsTheWholeFile) {
    FakeFileSystem fs;
    fs.files["C:\\L\\Plugins\\Russiaobl.dom"] = "UA1A=SP\r\nUA3A=MA\r\n";
    EXPECT_EQ(LoadDomLines(fs, "C:\\L\\host.exe"), (Lines{"UA1A=SP", "UA3A=MA"}));
}

TEST(LoadDomLines, UnreadableFileFailsWithItsFullPath) {
    FakeFileSystem fs;
    fs.files["C:\\L\\Plugins\\Russiaobl.dom"] = std::nullopt;
    try {
        LoadDomLines(fs, "C:\\L\\host.exe");
        FAIL() << "no failure";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Cannot open file C:\\L\\Plugins\\Russiaobl.dom");
    }
}

} // namespace
} // namespace morvel
