// The portable half of morvel-host: options, script lines, fields and escapes,
// its verbs, the records and the INSERT it builds, and the text it prints.
#include "tools/morvel-host/script.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace morvel::host {
namespace {

using namespace std::string_literals;

// morvel-host's verbs, and nothing else.
std::optional<Command> ParseLine(std::string_view line) {
    static const ScriptSyntax syntax({&kHostVerbTable});
    return syntax.ParseLine(line);
}

TEST(HostScript, DecodeFieldDecodesTheThreeEscapes) {
    struct Case {
        std::string field;
        std::string decoded;
    };
    const Case cases[] = {
        {"", ""},
        {"UA3ABC", "UA3ABC"},
        {R"(a\tb)", "a\tb"},
        {R"(\\)", "\\"},
        {R"(\\t)", "\\t"},          // an escaped backslash, then a plain t
        {R"(\\\t)", "\\\t"},        // an escaped backslash, then an escaped TAB
        {R"(\x41\x4a\x4A)", "AJJ"}, // either case of hex digit
        {R"(\x00)", "\0"s},
        {R"(\xFF\xc0)", "\xFF\xC0"},
        {R"(x\x2Cy)", "x,y"},
        {"50 %", "50 %"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DecodeField(c.field), c.decoded) << c.field;
    }
}

TEST(HostScript, DecodeFieldRejectsBadEscapes) {
    const char* const bad[] = {
        R"(\x4)",  // one hex digit at the end
        R"(\x4G)", // one hex digit, then something else
        R"(\xZZ)", // no hex digit
        R"(\x)",   // nothing after the x
        R"(\q)",   // not an escape
        R"(\n)",   // not one of the three either
        R"(abc\)", // a lone backslash at the end
        R"(\)",    // nothing but one
        R"(\\\)",  // an escaped backslash, then a lone one
    };
    for (const char* field : bad) {
        EXPECT_THROW(DecodeField(field), ScriptError) << field;
    }
}

TEST(HostScript, FieldsAreSplitAtEveryTabBeforeDecoding) {
    using Fields = std::vector<std::string_view>;
    EXPECT_EQ(SplitFields(""), Fields{""});
    EXPECT_EQ(SplitFields("info"), Fields{"info"});
    EXPECT_EQ(SplitFields("score\tUA3A\t20M"), (Fields{"score", "UA3A", "20M"}));
    EXPECT_EQ(SplitFields("score\tUA3A\t"), (Fields{"score", "UA3A", ""}));
    EXPECT_EQ(SplitFields("score\t\t\tCW"), (Fields{"score", "", "", "CW"}));
    EXPECT_EQ(SplitFields(R"(sql\ta)"), Fields{R"(sql\ta)"});
}

TEST(HostScript, BlankAndCommentLinesAreSkipped) {
    for (const char* line :
         {"", " ", "\t", " \t ", "#", "# info", "#info\tx", " #info", "       # a note"}) {
        EXPECT_TRUE(IsSkippedLine(line)) << '"' << line << '"';
        EXPECT_FALSE(ParseLine(line).has_value()) << '"' << line << '"';
    }
    for (const char* line : {"info", "x", "x #info"}) {
        EXPECT_FALSE(IsSkippedLine(line)) << line;
    }
}

// Lines copied from an indented text (INSTALL.txt's example) read as without
// their indentation of blanks and TABs; only the verb's own TAB separates.
TEST(HostScript, IndentedLinesReadAsWithoutTheirIndentation) {
    for (const char* indent : {"       ", "\t", " \t  \t"}) {
        const auto run = ParseLine(std::string(indent) + "run");
        ASSERT_TRUE(run.has_value()) << '"' << indent << '"';
        EXPECT_EQ(run->verb->name, "run");
        const auto grab = ParseLine(std::string(indent) + "grab\tRA3AA\t14\tCW\t\tUA1\tUA3A");
        ASSERT_TRUE(grab.has_value());
        EXPECT_EQ(grab->verb->name, "grab");
        EXPECT_EQ(grab->contact.CallSign, "RA3AA");
        EXPECT_EQ(grab->contact.QSOReportRecived, "");
        EXPECT_EQ(grab->contact.MainPrefix, "UA3A");
        const auto sql = ParseLine(std::string(indent) + "sql\t  select 1");
        ASSERT_TRUE(sql.has_value());
        EXPECT_EQ(sql->statement, "  select 1");
    }
    EXPECT_EQ(WithoutIndentation(" \t x \t"), "x \t");
    EXPECT_EQ(WithoutIndentation(" \t"), "");
}

TEST(HostScript, ContactCommandsTakeTheSevenFieldsInOrder) {
    const auto command = ParseLine("score\tUA3ABC\t20M\tCW\t599 MO\tUA\tUA3\tEU");
    ASSERT_TRUE(command.has_value());
    EXPECT_EQ(command->verb->name, "score");
    EXPECT_EQ(command->contact.CallSign, "UA3ABC");
    EXPECT_EQ(command->contact.DigiBand, "20M");
    EXPECT_EQ(command->contact.QSOMode, "CW");
    EXPECT_EQ(command->contact.QSOReportRecived, "599 MO");
    EXPECT_EQ(command->contact.DXCCPrefix, "UA");
    EXPECT_EQ(command->contact.MainPrefix, "UA3");
    EXPECT_EQ(command->contact.Continent, "EU");

    for (const char* name : {"run", "add", "grab", "log"}) {
        const auto parsed = ParseLine(std::string(name) + "\tK1A");
        ASSERT_TRUE(parsed.has_value()) << name;
        EXPECT_EQ(parsed->verb->name, name);
        EXPECT_EQ(parsed->contact.CallSign, "K1A") << name;
        EXPECT_EQ(parsed->contact.Continent, "") << name;
    }
}

TEST(HostScript, ContactFieldsAreDecodedAndMayBeEmpty) {
    const auto command = ParseLine(R"(add	U\x41\\1		C\tW		)");
    ASSERT_TRUE(command.has_value());
    EXPECT_EQ(command->contact.CallSign, "UA\\1");
    EXPECT_EQ(command->contact.DigiBand, "");
    EXPECT_EQ(command->contact.QSOMode, "C\tW");
    EXPECT_EQ(command->contact.QSOReportRecived, "");
    EXPECT_EQ(command->contact.DXCCPrefix, "");

    // A trailing TAB after the seventh field adds an empty field: harmless.
    EXPECT_TRUE(ParseLine("add\t1\t2\t3\t4\t5\t6\t7\t").has_value());
    EXPECT_TRUE(ParseLine("info\t").has_value());
    EXPECT_TRUE(ParseLine("band\t5\t\t").has_value());
}

TEST(HostScript, BadLinesAreErrorsThatNameTheProblem) {
    struct Case {
        std::string line;
        std::string mentions;
    };
    const Case cases[] = {
        {"frobnicate", "unknown command \"frobnicate\""},
        {"INFO", "unknown command"},
        {"info\tx", "field 2"},
        {"stats\t\tx", "field 3"},
        {"add\t1\t2\t3\t4\t5\t6\t7\t8", "field 9"}, // nothing is dropped silently
        {R"(add	UA\q)", "field 2"},
        {R"(add	UA	20M	\x4)", "field 4: bad escape \"\\x4\""},
        {"add\tUA3\\", "lone backslash"},
        {"add\t" + std::string(256, 'A'), "CallSign is 256 bytes"},
        {"add\tA\t\t\t\t\t\t" + std::string(300, 'E'), "Continent is 300 bytes"},
        {"sql", "sql needs a statement"},
        {"sql\t", "sql needs a statement"},
        {R"(sql	SELECT '\x00')", "NUL"},
        {"sql\tDELETE FROM Log\tx", "field 3"},
        {"recalc\tlater", "recalc takes nothing or nowait, not \"later\""},
        {"band", "band needs a band button number, 1-9"},
        {"band\t", "band needs a band button number"},
        {"band\t0", "band \"0\" is not a band button number, 1-9"},
        {"band\t10", "band \"10\" is not"},
        {"band\t01", "band \"01\" is not"},
        {"band\t-1", "band \"-1\" is not"},
        {"band\t 3", "band \" 3\" is not"},
        {"band\tx", "band \"x\" is not"},
        {"band\t3\t4", "band takes 1 field, but field 3 is \"4\""},
        // A block's lines are the block reader's, never a command's.
        {"repeat\t3", "repeat stands on a line of the script of its own"},
        {"  end", "end stands on a line of the script of its own"},
        // The test host's verbs are not morvel-host's.
        {"sleep\t5", "unknown command \"sleep\""},
        {"post\tinfo", "unknown command \"post\""},
    };
    for (const Case& c : cases) {
        try {
            ParseLine(c.line);
            ADD_FAILURE() << "no error for " << c.line;
        } catch (const ScriptError& e) {
            EXPECT_NE(std::string(e.what()).find(c.mentions), std::string::npos)
                << c.line << " gave: " << e.what();
        }
    }
}

TEST(HostScript, FieldsOfExactlyTheLimitAndOtherCommandsParse) {
    const auto full = ParseLine("grab\t" + std::string(255, 'A'));
    ASSERT_TRUE(full.has_value());
    EXPECT_EQ(full->contact.CallSign.size(), 255u);

    const auto sql = ParseLine(R"(sql	INSERT INTO Log VALUES ('a\tb'))");
    ASSERT_TRUE(sql.has_value());
    EXPECT_EQ(sql->verb->name, "sql");
    EXPECT_EQ(sql->statement, "INSERT INTO Log VALUES ('a\tb')");
}

TEST(HostScript, WindowCommandsParse) {
    for (int n = 1; n <= kBandButtons; ++n) {
        const auto band = ParseLine("band\t" + std::to_string(n));
        ASSERT_TRUE(band.has_value()) << n;
        EXPECT_EQ(band->verb->name, "band");
        EXPECT_EQ(band->band, n);
    }
    EXPECT_EQ(ParseLine(R"(band	\x35	)")->band, 5);

    for (const char* name : {"mult", "oblasts", "caption", "close", "stats", "release"}) {
        const auto parsed = ParseLine(name);
        ASSERT_TRUE(parsed.has_value()) << name;
        EXPECT_EQ(parsed->verb->name, name);
        EXPECT_THROW(ParseLine(std::string(name) + "\tx"), ScriptError) << name;
    }

    EXPECT_FALSE(ParseLine("recalc")->noWait);
    EXPECT_TRUE(ParseLine("recalc\tnowait")->noWait);
}

// What the script's lines give to run, in order: each line's number, then
// its text or "refused: " and the message.
std::vector<std::string> Blocks(const std::vector<std::string>& script) {
    RepeatBlocks blocks;
    std::vector<std::string> out;
    const auto drain = [&] {
        for (ScriptLine line; blocks.Next(line);) {
            out.push_back(std::to_string(line.number) + " " +
                          (line.error.empty() ? line.text : "refused: " + line.error));
        }
    };
    std::size_t number = 0;
    for (const std::string& line : script) {
        blocks.Take(line, ++number);
        drain();
    }
    blocks.Finish();
    drain();
    return out;
}

TEST(HostScript, RepeatRunsItsBlockWithTheRoundPutIn) {
    const std::vector<std::string> script = {
        "# the unload race", // outside a block, skipped lines still pass
        "repeat\t3",
        "  run",
        "",
        "\t# dropped in a block",
        "race\t{i}\tx{i}{i}",
        "  end\t",
        "info",
        "repeat\t2\t19",
        "addmany\t5000\t{i}",
        "\\x65nd", // escapes decode in the block's marks, as in verbs
        "band\t{i}",
        "\\x72epeat\t1",
        "sql\tSELECT '\\x7Bi}', '{j}', '{I}', '{i'",
        "end",
    };
    const std::vector<std::string> expected = {
        "1 # the unload race",
        "3   run",
        "6 race\t0\tx00",
        "3   run",
        "6 race\t1\tx11",
        "3   run",
        "6 race\t2\tx22",
        "8 info", // numbered as written, after the block
        "10 addmany\t5000\t19",
        "10 addmany\t5000\t20",
        "12 band\t{i}", // outside a block {i} stays
        "14 sql\tSELECT '\\x7Bi}', '{j}', '{I}', '{i'",
    };
    EXPECT_EQ(Blocks(script), expected);

    // The largest count and first round; an empty block runs nothing.
    const auto last =
        Blocks({"repeat\t100000\t1000000000", "info\t{i}", "end", "repeat\t5", "# nothing", "end"});
    ASSERT_EQ(last.size(), 100000u);
    EXPECT_EQ(last.front(), "2 info\t1000000000");
    EXPECT_EQ(last.back(), "2 info\t1000099999");
}

TEST(HostScript, BadRepeatBlocksAreRefusedWithTheirLineAndSkippedWhole) {
    struct Case {
        std::vector<std::string> script;
        std::vector<std::string> gives;
    };
    const std::string never = "; its block does not run";
    const std::string longLine(LineSplitter::kMaxLineBytes, 'x');
    std::vector<std::string> manyLines = {"repeat\t2"};
    manyLines.insert(manyLines.end(), RepeatBlocks::kMaxBlockLines + 1, "info");
    manyLines.insert(manyLines.end(), {"end", "stats"});
    std::vector<std::string> manyBytes = {"repeat\t2"};
    manyBytes.insert(manyBytes.end(), 16, "sql\t" + longLine.substr(4));
    manyBytes.insert(manyBytes.end(), {"info", "end", "stats"});
    const std::string tooLong = "refused: the repeat block (the block of line 1) holds more "
                                "than 10000 lines or 16777216 bytes; it does not run";
    const Case cases[] = {
        {{"end", "info"}, {"1 refused: end without a repeat before it", "2 info"}},
        {{"info", "repeat\t2", "run"},
         {"1 info", "2 refused: repeat without an end before the script ends" + never}},
        {{"repeat", "info", "end", "stats"},
         {"1 refused: repeat needs a count, 1-100000" + never, "4 stats"}},
        {{"repeat\t", "end"}, {"1 refused: repeat needs a count, 1-100000" + never}},
        {{"repeat\t0", "end"},
         {"1 refused: repeat count \"0\" is not a whole number 1-100000" + never}},
        {{"repeat\t-1", "end"}, {"1 refused: repeat count \"-1\" is not a whole number"}},
        {{"repeat\tx", "end"}, {"1 refused: repeat count \"x\" is not a whole number"}},
        {{"repeat\t1.5", "end"}, {"1 refused: repeat count \"1.5\" is not a whole number"}},
        {{"repeat\t 2", "end"}, {"1 refused: repeat count \" 2\" is not a whole number"}},
        {{"repeat\t100001", "end"},
         {"1 refused: repeat count \"100001\" is not a whole number 1-100000" + never}},
        {{"repeat\t99999999999999999999999", "end"},
         {"1 refused: repeat count \"99999999999999999999999\" is not a whole number"}},
        {{"repeat\t2\t-1", "end"},
         {"1 refused: repeat: the first round's number \"-1\" is not a whole number "
          "0-1000000000" +
          never}},
        {{"repeat\t2\t1000000001", "end"},
         {"1 refused: repeat: the first round's number \"1000000001\" is not"}},
        {{"repeat\t2\t0\tx", "info", "end"},
         {"1 refused: repeat takes 2 fields, but field 4 is \"x\"" + never}},
        {{R"(repeat	2\q)", "end"}, {"1 refused: repeat, field 2: unknown escape \"\\q\""}},
        // A refused block is skipped up to its own end, past those inside it.
        {{"repeat\t2", "info", "repeat\t3", "stats", "end", "run", "end", "release"},
         {"3 refused: repeat inside a repeat block (the block of line 1): blocks do not nest; "
          "that block does not run",
          "8 release"}},
        {{"repeat\t0", "repeat\t2", "end", "info", "end", "end", "stats"},
         {"1 refused: repeat count \"0\" is not a whole number 1-100000" + never,
          "6 refused: end without a repeat before it", "7 stats"}},
        {{"repeat\t2", "info", "end\tnow", "stats"},
         {"3 refused: end takes no fields, but field 2 is \"now\" (the block of line 1)" + never,
          "4 stats"}},
        {{"repeat\t2", "repeat\t2"},
         {"2 refused: repeat inside a repeat block (the block of line 1): blocks do not nest; "
          "that block does not run",
          "1 refused: repeat without an end before the script ends" + never}},
        {manyLines, {"10002 " + tooLong, "10004 stats"}},
        {manyBytes, {"18 " + tooLong, "20 stats"}},
    };
    for (const Case& c : cases) {
        const std::vector<std::string> gives = Blocks(c.script);
        EXPECT_EQ(gives.size(), c.gives.size()) << c.script.front();
        for (std::size_t i = 0; i < std::min(gives.size(), c.gives.size()); ++i) {
            EXPECT_TRUE(gives[i].starts_with(c.gives[i]))
                << c.script.front() << ": " << gives[i] << "\nnot " << c.gives[i];
        }
    }
}

TEST(HostScript, LineSplitterKeepsEveryLineWhateverTheChunks) {
    const std::string input = "info\r\n\r\nrun\nsql\tx\ry\r\nquit";
    const std::vector<std::string> expected = {"info", "", "run", "sql\tx\ry", "quit"};
    // Every split point, including one between CR and LF.
    for (std::size_t cut = 0; cut <= input.size(); ++cut) {
        LineSplitter splitter;
        std::vector<std::string> lines;
        splitter.Feed(std::string_view(input).substr(0, cut), lines);
        splitter.Feed(std::string_view(input).substr(cut), lines);
        if (auto last = splitter.Finish()) {
            lines.push_back(*last);
        }
        EXPECT_EQ(lines, expected) << "cut at " << cut;
    }

    LineSplitter ended;
    std::vector<std::string> lines;
    ended.Feed("a\nb\n", lines);
    EXPECT_EQ(lines, (std::vector<std::string>{"a", "b"}));
    EXPECT_FALSE(ended.Finish().has_value());

    // The last line's CR LF cut short by the end of the file: the CR goes too.
    LineSplitter cut;
    lines.clear();
    cut.Feed("info\r\nrelease\r", lines);
    EXPECT_EQ(lines, std::vector<std::string>{"info"});
    EXPECT_EQ(cut.Finish(), std::optional<std::string>("release"));
}

// What Notepad saves: UTF-8 with a byte order mark, read as without it, and
// "Unicode" (UTF-16), refused with a message rather than run as garbage;
// whatever the chunks. A line without end is refused before it fills memory,
// after the lines before it.
TEST(HostScript, LineSplitterDropsAUtf8MarkAndRefusesUtf16AndEndlessLines) {
    const auto split = [](std::string_view input, std::size_t cut) {
        LineSplitter splitter;
        std::vector<std::string> lines;
        std::string failure;
        try {
            splitter.Feed(input.substr(0, std::min(cut, input.size())), lines);
            splitter.Feed(input.substr(std::min(cut, input.size())), lines);
            if (auto last = splitter.Finish()) {
                lines.push_back(*last);
            }
        } catch (const ScriptError& e) {
            failure = e.what();
        }
        return std::make_pair(lines, failure);
    };
    using Lines = std::vector<std::string>;
    const std::string marked = "\xEF\xBB\xBFinfo\r\nrun\r\n";
    for (std::size_t cut = 0; cut <= marked.size(); ++cut) {
        EXPECT_EQ(split(marked, cut), std::make_pair(Lines{"info", "run"}, std::string()))
            << "cut at " << cut;
    }
    // Only at the start, and only whole.
    EXPECT_EQ(split("\xEF\xBB\xBF", 1).first, Lines{});
    EXPECT_EQ(split("\xEF\xBB", 1).first, Lines{"\xEF\xBB"});
    EXPECT_EQ(split("\xEF\xBB\n", 1).first, Lines{"\xEF\xBB"});
    EXPECT_EQ(split("run\n\xEF\xBB\xBFrun", 5).first, (Lines{"run", "\xEF\xBB\xBFrun"}));
    EXPECT_EQ(split("\xFFrun\n", 1).first, Lines{"\xFFrun"}); // a code page's letter

    const std::string unicode = "i\0n\0f\0o\0\r\0\n\0";
    for (const std::string mark : {"\xFF\xFE", "\xFE\xFF"}) {
        for (std::size_t cut = 0; cut <= 3; ++cut) {
            const auto [lines, failure] = split(mark + unicode, cut);
            EXPECT_EQ(lines, Lines{}) << "cut at " << cut;
            EXPECT_EQ(failure, "the script is UTF-16 text (Notepad's \"Unicode\"); save it as "
                               "ANSI or UTF-8")
                << "cut at " << cut;
        }
    }

    const std::size_t most = LineSplitter::kMaxLineBytes;
    const std::string longest(most, 'x');
    EXPECT_EQ(split("a\n" + longest + "\r\nb", most / 2),
              std::make_pair(Lines{"a", longest, "b"}, std::string()));
    EXPECT_EQ(split("a\n" + longest, 7), std::make_pair(Lines{"a", longest}, std::string()));
    const std::string failure = "line 2 is longer than 1048576 bytes";
    for (const std::string& endless :
         {"a\n" + longest + "xx\nb\n", "a\n" + longest + "x\r\nb\n", "a\n" + longest + "x"}) {
        for (const std::size_t cut : {std::size_t{0}, std::size_t{2}, most / 2, endless.size()}) {
            EXPECT_EQ(split(endless, cut), std::make_pair(Lines{"a"}, failure)) << cut;
        }
    }
    // A line that goes on and on is never held beyond the limit.
    LineSplitter endless;
    Lines lines;
    const std::string chunk(64 * 1024, 'y');
    std::size_t fed = 0;
    try {
        for (; fed < 4 * most; fed += chunk.size()) {
            endless.Feed(chunk, lines);
        }
    } catch (const ScriptError& e) {
        EXPECT_EQ(std::string(e.what()), "line 1 is longer than 1048576 bytes");
    }
    EXPECT_LE(fed, most + chunk.size());
    endless.Feed("\nmore\n", lines);
    EXPECT_EQ(lines, Lines{});
    EXPECT_EQ(endless.Finish(), std::nullopt);
}

TEST(HostScript, OptionsHaveDefaultsAndTakeEveryOption) {
    const Options defaults = ParseOptions({});
    EXPECT_EQ(defaults.plugin, "");
    EXPECT_EQ(defaults.table, "Log");
    EXPECT_EQ(defaults.captionPrefix, "");
    EXPECT_EQ(defaults.script, "");
    EXPECT_TRUE(defaults.sqliteFile.empty() && defaults.odbcString.empty());
    EXPECT_FALSE(defaults.help);
    EXPECT_EQ(defaults.waitSeconds, 5);

    const Options all = ParseOptions({"--plugin", "x.dll", "--sqlite", "log.db", "--table",
                                      "Contest", "script.txt", "--caption-prefix", "box"});
    EXPECT_EQ(all.plugin, "x.dll");
    EXPECT_EQ(all.sqliteFile, "log.db");
    EXPECT_EQ(all.table, "Contest");
    EXPECT_EQ(all.captionPrefix, "box");
    EXPECT_EQ(all.script, "script.txt");

    EXPECT_EQ(ParseOptions({"--odbc", "DSN=x"}).odbcString, "DSN=x");
    for (const auto& [given, seconds] :
         {std::pair<std::string, int>{"0", 0}, {"30", 30}, {"086400", 86400}}) {
        EXPECT_EQ(ParseOptions({"--wait", given, "--sqlite", "a.db"}).waitSeconds, seconds);
    }
    EXPECT_EQ(ParseOptions({"-"}).script, "-");
    // Windows' own way to ask for help, and the version.
    for (const char* help : {"--help", "-h", "/?"}) {
        EXPECT_TRUE(ParseOptions({"--table", "Log", help}).help) << help;
    }
    EXPECT_FALSE(defaults.version);
    EXPECT_TRUE(ParseOptions({"--version"}).version);
    EXPECT_EQ(ParseOptions({"--table", std::string(255, 'T')}).table.size(), 255u);
}

TEST(HostScript, BadOptionsAreRejected) {
    struct Case {
        std::vector<std::string> args;
        std::string mentions;
    };
    const Case cases[] = {
        {{"--frob"}, "unknown option --frob"},
        {{"--frob", "x"}, "unknown option --frob"},
        {{"--plugin"}, "missing value after --plugin"},
        {{"--plugin", ""}, "--plugin needs a value"},
        {{"--sqlite", ""}, "--sqlite needs a value"},
        {{"--table", ""}, "--table needs a value"},
        {{"--sqlite", "a.db", "--odbc", "DSN=x"}, "not both"},
        {{"one.txt", "two.txt"}, "more than one script"},
        {{"--table", std::string(256, 'T')}, "--table is 256 bytes"},
        {{"--caption-prefix", std::string(256, 'C')}, "--caption-prefix is 256 bytes"},
        {{"--sqlite", "a.db", "--wait"}, "missing value after --wait"},
        {{"--wait", "5"}, "--wait is read only with --sqlite"},
        {{"--odbc", "DSN=x", "--wait", "5"}, "--wait is read only with --sqlite"},
        {{"--sqlite", "a.db", "--wait", "86401"}, "from 0 to 86400, not \"86401\""},
        {{"--sqlite", "a.db", "--wait", "-1"}, "from 0 to 86400, not \"-1\""},
        {{"--sqlite", "a.db", "--wait", "1.5"}, "not \"1.5\""},
        {{"--sqlite", "a.db", "--wait", ""}, "not \"\""},
        {{"--sqlite", "a.db", "--wait", "99999999999"}, "not \"99999999999\""},
    };
    for (const Case& c : cases) {
        try {
            ParseOptions(c.args);
            ADD_FAILURE() << "no error for " << c.args[0];
        } catch (const ScriptError& e) {
            EXPECT_NE(std::string(e.what()).find(c.mentions), std::string::npos)
                << c.args[0] << " gave: " << e.what();
        }
    }
    EXPECT_EQ(ParseOptions({"--caption-prefix", ""}).captionPrefix, "");
}

TEST(HostScript, RecordsCarryTheContactAtTheHostsOffsets) {
    Contact contact;
    contact.CallSign = "UA3ABC";
    contact.DigiBand = "20M";
    contact.QSOMode = "CW";
    contact.QSOReportRecived = "599MO";
    contact.DXCCPrefix = "UA";
    contact.MainPrefix = "UA3";
    contact.Continent = "EU";
    const RecordSettings settings{0x12345678u, "Log", "box"};

    auto record = std::make_unique<TQSOData>();
    std::memset(record.get(), 0xAA, sizeof(TQSOData));
    FillRecord(*record, settings, contact);

    const auto* bytes = reinterpret_cast<const std::uint8_t*>(record.get());
    EXPECT_EQ(bytes[0], 0x78);
    EXPECT_EQ(bytes[3], 0x12);

    struct Expected {
        std::size_t offset;
        std::string value;
    };
    const Expected fields[] = {
        {12, "Log"},     {268, "UA3ABC"}, {540, "20M"}, {796, "CW"},   {1052, "EU"},
        {1308, "599MO"}, {2332, "UA3"},   {2588, "UA"}, {3868, "box"},
    };
    std::vector<bool> covered(sizeof(TQSOData), false);
    for (int i = 0; i < 4; ++i) {
        covered[static_cast<std::size_t>(i)] = true;
    }
    for (const Expected& field : fields) {
        ASSERT_EQ(bytes[field.offset], field.value.size()) << field.value;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes + field.offset + 1),
                              field.value.size()),
                  field.value);
        for (std::size_t i = 0; i <= field.value.size(); ++i) {
            covered[field.offset + i] = true;
        }
    }
    // Everything else, the record's reserved ranges included, is zero.
    for (std::size_t i = 0; i < sizeof(TQSOData); ++i) {
        if (!covered[i]) {
            ASSERT_EQ(bytes[i], 0) << "offset " << i;
        }
    }
}

TEST(HostScript, InsertStatementListsTheColumnsAndQuotesTheValues) {
    Contact contact;
    contact.CallSign = "O'BRIEN";
    contact.DigiBand = "20M";
    contact.QSOMode = "CW";
    contact.QSOReportRecived = "599 ''MO";
    contact.MainPrefix = "EI";
    EXPECT_EQ(InsertStatement("Log", contact),
              "INSERT INTO Log (CallSign, DigiBand, QSOMode, QSOReportRecived, DXCCPrefix, "
              "MainPrefix, Continent) VALUES ('O''BRIEN', '20M', 'CW', '599 ''''MO', '', 'EI', "
              "'')");

    contact.Continent = "E\0U"s;
    try {
        InsertStatement("Log", contact);
        ADD_FAILURE() << "a NUL byte went into the statement";
    } catch (const ScriptError& e) {
        EXPECT_NE(std::string(e.what()).find("Continent"), std::string::npos) << e.what();
    }
    EXPECT_EQ(SqlLiteral("a\tb\\c"), "'a\tb\\c'");
    EXPECT_EQ(SqlLiteral("'"), "''''");
}

TEST(HostScript, HexEscapeShowsEveryByteOutsidePrintableAscii) {
    struct Case {
        std::string bytes;
        std::string shown;
    };
    const Case cases[] = {
        {"", ""},
        {"MO", "MO"},
        {"!~", "!~"},
        {" ", R"(\x20)"},
        {"\\", R"(\x5C)"},
        {"\x7F", R"(\x7F)"},
        {"\0"s, R"(\x00)"},
        {"A\xC0\xFF", R"(A\xC0\xFF)"},
        {"\t\r\n", R"(\x09\x0D\x0A)"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HexEscape(c.bytes), c.shown) << c.shown;
    }
}

TEST(HostScript, OneLineKeepsTextOnOneLine) {
    EXPECT_EQ(OneLine("hello"), "hello");
    EXPECT_EQ(OneLine("a\r\nb\tc"), R"(a\r\nb\tc)");
    EXPECT_EQ(OneLine(R"(C:\log)"), R"(C:\log)");
    EXPECT_EQ(OneLine("\xC0\xFF 1"), "\xC0\xFF 1"); // the code page's letters stay
}

TEST(HostScript, StatisticLinesAreSplitAtCrLf) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(StatisticLines(""), Lines{});
    EXPECT_EQ(StatisticLines("QSO: 1"), Lines{"QSO: 1"});
    EXPECT_EQ(StatisticLines("a\r\nb\tc"), (Lines{"a", "b\tc"}));
    EXPECT_EQ(StatisticLines("a\r\n"), (Lines{"a", ""}));
    EXPECT_EQ(StatisticLines("\r\n\r\n"), (Lines{"", "", ""}));
    EXPECT_EQ(StatisticLines("a\nb\rc\r\r\nd"), (Lines{R"(a\nb\rc\r)", "d"}));
}

TEST(HostScript, InfoLineShowsTheRecord) {
    TPluginInfo info;
    std::memset(&info, 0xFF, sizeof info);
    FillPluginInfo(info);
    EXPECT_EQ(InfoLine(info), "info\tMorvel Russia\t1\ttobrix_contest\t1");

    info.ContestName.Assign("A\tB");
    info.InfoWord1.set(-1);
    info.PluginTag.Assign("");
    info.InfoWord2.set(7);
    EXPECT_EQ(InfoLine(info), "info\tA\\tB\t-1\t\t7");
}

} // namespace
} // namespace morvel::host
