#include "contract/text.h"
#include "oblast/oblast.h"
#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
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

// Serves a text as a file would: in chunks of at most chunk bytes, after
// growing by growth bytes once the first chunk is read; counts what it hands
// out.
struct FakeFile {
    explicit FakeFile(std::string text = {}, std::size_t chunkBytes = 64 * 1024,
                      std::string grown = {})
        : bytes(std::move(text)), chunk(chunkBytes), growth(std::move(grown)) {}

    std::string bytes;
    std::size_t chunk;
    std::string growth;
    std::optional<std::size_t> failAt; // a read that starts here fails
    std::size_t handedOut = 0;
    int reads = 0;

    ChunkReader Reader() {
        return [this](char* buffer, std::size_t size) -> std::optional<std::size_t> {
            ++reads;
            if (failAt && handedOut >= *failAt) {
                return std::nullopt;
            }
            const std::size_t n = std::min({size, chunk, bytes.size() - handedOut});
            std::copy_n(bytes.data() + handedOut, n, buffer);
            handedOut += n;
            bytes += std::exchange(growth, std::string());
            return n;
        };
    }
};

TEST(ReadWhole, ReadsUpToTheLimitAndNoFurther) {
    constexpr std::size_t kMax = 1000;
    FakeFile exact{std::string(kMax, 'x'), 300};
    const FileContents whole = ReadWhole(kMax, kMax, exact.Reader());
    EXPECT_EQ(whole.outcome, ReadOutcome::Read);
    EXPECT_EQ(whole.bytes, exact.bytes);

    // The size the handle reports decides before anything is read.
    FakeFile big{std::string(kMax + 1, 'x')};
    EXPECT_EQ(ReadWhole(kMax + 1, kMax, big.Reader()).outcome, ReadOutcome::TooLarge);
    EXPECT_EQ(big.reads, 0);
    EXPECT_EQ(ReadWhole(UINT64_MAX, kMax, big.Reader()).outcome, ReadOutcome::TooLarge);

    // A file that grows past the limit while it is read: no more than one
    // byte past the limit is taken from it.
    FakeFile growing{std::string(10, 'x'), 64 * 1024, std::string(5000, 'y')};
    EXPECT_EQ(ReadWhole(10, kMax, growing.Reader()).outcome, ReadOutcome::TooLarge);
    EXPECT_EQ(growing.handedOut, kMax + 1);
    FakeFile grownALittle{"UA3A=MA\n", 3, "UA1A=SP\n"};
    EXPECT_EQ(ReadWhole(8, kMax, grownALittle.Reader()).bytes, "UA3A=MA\nUA1A=SP\n");

    // A file that shrank gives what is there; an empty one nothing.
    FakeFile shrunk{"UA3A=MA"};
    EXPECT_EQ(ReadWhole(500, kMax, shrunk.Reader()).bytes, "UA3A=MA");
    FakeFile empty;
    const FileContents none = ReadWhole(0, kMax, empty.Reader());
    EXPECT_EQ(none.outcome, ReadOutcome::Read);
    EXPECT_EQ(none.bytes, "");
}

TEST(ReadWhole, AFailedReadLosesTheFile) {
    FakeFile failing{std::string(500, 'x'), 100};
    failing.failAt = 200;
    const FileContents contents = ReadWhole(500, 1000, failing.Reader());
    EXPECT_EQ(contents.outcome, ReadOutcome::Failed);
    EXPECT_EQ(contents.bytes, "");
}

// GetModuleFileNameA as Windows XP has it: a path that does not fit is cut to
// the buffer's size, that size is returned, and no terminator is written.
struct FakeModuleFileName {
    explicit FakeModuleFileName(std::string file = {}) : path(std::move(file)) {}

    std::string path;
    std::vector<std::uint32_t> sizes;

    PathCall Call() {
        return [this](char* buffer, std::uint32_t size) -> std::uint32_t {
            sizes.push_back(size);
            std::fill_n(buffer, size, '#');
            const std::size_t n = std::min<std::size_t>(path.size(), size);
            std::copy_n(path.data(), n, buffer);
            if (n < size) {
                buffer[n] = '\0';
            }
            return static_cast<std::uint32_t>(n);
        };
    }
};

TEST(GrowingPath, PathsLongerThanTheBufferAreReadWhole) {
    for (const std::size_t length : {std::size_t{3}, std::size_t{259}, std::size_t{260},
                                     std::size_t{261}, std::size_t{5000}, std::size_t{65535}}) {
        FakeModuleFileName module{"C:\\" + std::string(length - 3, 'd')};
        EXPECT_TRUE(GrowingPath(module.Call()) == module.path) << length;
    }
    FakeModuleFileName atTheLimit{std::string(260, 'd')};
    GrowingPath(atTheLimit.Call());
    EXPECT_EQ(atTheLimit.sizes, (std::vector<std::uint32_t>{260, 520})); // 260 returned: cut
}

TEST(GrowingPath, NothingWhenTheCallFailsOrThePathIsTooLong) {
    FakeModuleFileName failing;
    EXPECT_EQ(GrowingPath(failing.Call()), "");
    EXPECT_EQ(failing.sizes.size(), 1u);
    // Longer than any path Windows has: no cut path, which would name
    // another folder.
    FakeModuleFileName huge{"C:\\L\\" + std::string(kMaxPathBytes, 'd') + "\\host.exe"};
    EXPECT_EQ(GrowingPath(huge.Call()), "");
    EXPECT_EQ(huge.sizes.back(), kMaxPathBytes);
}

class FakeFileSystem : public FileSystem {
public:
    std::map<std::string, FileContents> files;
    mutable std::vector<std::string> reads;
    mutable std::size_t maxBytes = 0;

    bool FileExists(const std::string& path) const override { return files.count(path) != 0; }
    FileContents ReadShared(const std::string& path, std::size_t max) const override {
        reads.push_back(path);
        maxBytes = max;
        const auto it = files.find(path);
        return it == files.end() ? FileContents{} : it->second;
    }
};

TEST(LoadDomLines, MissingFileGivesNoLinesSilently) {
    FakeFileSystem fs;
    EXPECT_TRUE(LoadDomLines(fs, "C:\\L\\host.exe").empty());
    // Without the host program's path, no file of the current directory.
    fs.files["Plugins\\Russiaobl.dom"] = {ReadOutcome::Read, "UA1A=SP"};
    EXPECT_TRUE(LoadDomLines(fs, "").empty());
    EXPECT_TRUE(fs.reads.empty());
}

TEST(LoadDomLines, ReadsTheWholeFile) {
    FakeFileSystem fs;
    fs.files["C:\\L\\Plugins\\Russiaobl.dom"] = {ReadOutcome::Read, "UA1A=SP\r\nUA3A=MA\r\n"};
    EXPECT_EQ(LoadDomLines(fs, "C:\\L\\host.exe"), (Lines{"UA1A=SP", "UA3A=MA"}));
    EXPECT_EQ(fs.maxBytes, kMaxDomFileBytes);
}

TEST(LoadDomLines, UnreadableOrTooLargeFileFailsWithItsFullPath) {
    const std::pair<ReadOutcome, const char*> cases[] = {
        {ReadOutcome::Failed, "Cannot open file C:\\L\\Plugins\\Russiaobl.dom"},
        {ReadOutcome::TooLarge, "Cannot read file C:\\L\\Plugins\\Russiaobl.dom: it is larger "
                                "than 1 MB"}};
    for (const auto& [outcome, message] : cases) {
        FakeFileSystem fs;
        fs.files["C:\\L\\Plugins\\Russiaobl.dom"] = {outcome, {}};
        try {
            LoadDomLines(fs, "C:\\L\\host.exe");
            ADD_FAILURE() << "no failure: " << message;
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), message);
        }
    }
}

TEST(DomListCodes, UpToFourCharactersAfterTheFirstEquals) {
    const std::vector<std::string> lines = {"UA1A=SP",     "UA3A=MA",   "no separator",
                                            "UA3B=MOSCOW", "UA9A= cb ", "x=y=z",
                                            "UA1B=SP",     "=",         "UA0A=\tKK"};
    EXPECT_EQ(DomListCodes(lines),
              (std::vector<std::string>{"SP", "MA", "MOSC", "cb", "y=z", "SP", "", "KK"}));
    EXPECT_TRUE(DomListCodes({}).empty());
}

} // namespace
} // namespace morvel
