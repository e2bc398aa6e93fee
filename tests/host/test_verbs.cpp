// The test host's own verbs: what they read from their fields, the lines post
// carries, the paths and the marked output, and --help for both programs.
#include "tests/host/verbs.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace morvel::host {
namespace {

const ScriptSyntax& TestHostSyntax() {
    static const ScriptSyntax syntax({&kHostVerbTable, &kTestVerbTable});
    return syntax;
}

// The test host's verbs after morvel-host's, as the test host reads them.
std::optional<Command> ParseLine(std::string_view line) {
    return TestHostSyntax().ParseLine(line);
}

// What the test verb read; fails when the line is not one.
TestArguments Read(std::string_view line) {
    const std::optional<Command> command = ParseLine(line);
    EXPECT_TRUE(command.has_value()) << line;
    return command ? Arguments(*command) : TestArguments{};
}

void ExpectRefused(std::string_view line, const std::string& mentions) {
    try {
        ParseLine(line);
        ADD_FAILURE() << "no error for " << line.substr(0, 60);
    } catch (const ScriptError& e) {
        EXPECT_NE(std::string(e.what()).find(mentions), std::string::npos)
            << line.substr(0, 60) << " gave: " << e.what();
    }
}

TEST(TestHostVerbs, TimesParseWithinTheirLimits) {
    EXPECT_EQ(Read("sleep\t3600000").milliseconds, 3600000u);
    EXPECT_EQ(Read("sleep\t0").milliseconds, 0u);
    EXPECT_TRUE(ParseLine("sleep\t5\t\t").has_value()); // a trailing TAB
    EXPECT_EQ(Read("race\t39").milliseconds, 39u);
    for (const auto& [line, mentions] : {
             std::pair{"sleep", "sleep needs a time"},
             std::pair{"sleep\tabc", "not a whole number"},
             std::pair{"sleep\t-1", "not a whole number"},
             std::pair{"sleep\t1.5", "not a whole number"},
             std::pair{"sleep\t3600001", "sleep time \"3600001\" is over the limit of 3600000 ms"},
             std::pair{"sleep\t99999999999999999999999", "over the limit"},
             std::pair{"race\t10001", "over the limit of 10000 ms"},
         }) {
        ExpectRefused(line, mentions);
    }
}

TEST(TestHostVerbs, WindowFileAndModuleCommandsParse) {
    for (const char* name : {"bandnow", "unhold", "closewindow", "multclose", "quit", "loaded",
                             "windows", "state", "reconnect", "exit", "hover", "repaint", "classes",
                             "locked", "lockloader", "unlockloader"}) {
        const auto parsed = ParseLine(name);
        ASSERT_TRUE(parsed.has_value()) << name;
        EXPECT_EQ(parsed->verb->name, name);
        EXPECT_THROW(ParseLine(std::string(name) + "\tx"), ScriptError) << name;
    }

    // Paths are decoded like any field, so a backslash is written \\.
    const TestArguments hold = Read(R"(hold	Plugins\\Russiaobl.dom)");
    EXPECT_EQ(hold.path, R"(Plugins\Russiaobl.dom)");
    EXPECT_FALSE(hold.holdForWriting);
    EXPECT_TRUE(Read("hold\theld.txt\twrite").holdForWriting);
    EXPECT_EQ(Read("screenshot\tshots/a b.bmp\t").path, "shots/a b.bmp");

    EXPECT_FALSE(Read("unload").otherThread);
    EXPECT_TRUE(Read("unload\tthread").otherThread);
    EXPECT_THROW(ParseLine("unload\tprocess"), ScriptError);
    const TestArguments library = Read("library\tmorvel-neighbour.dll\tthread");
    EXPECT_EQ(library.path, "morvel-neighbour.dll");
    EXPECT_TRUE(library.otherThread);
    EXPECT_FALSE(Read("library\tx.dll").otherThread);
    EXPECT_THROW(ParseLine("library"), ScriptError);
    EXPECT_THROW(ParseLine("library\tx.dll\tprocess"), ScriptError);
    EXPECT_FALSE(Read("checkview").dismiss);
    EXPECT_TRUE(Read("checkview\tdismiss").dismiss);
    EXPECT_THROW(ParseLine("checkview\tclose"), ScriptError);

    // load keeps the records' caption prefix unless it is given one, which
    // may be empty.
    EXPECT_FALSE(Read("load").captionPrefix.has_value());
    EXPECT_EQ(Read("load\tSECOND").captionPrefix, "SECOND");
    EXPECT_EQ(Read("load\t").captionPrefix, "");
    EXPECT_EQ(Read(R"(load	R\x5A3A)").captionPrefix, "RZ3A");
    EXPECT_THROW(ParseLine("load\t" + std::string(256, 'x')), ScriptError);
    EXPECT_THROW(ParseLine("load\ta\tb"), ScriptError);

    // postmsg takes any message and parameters, in decimal or hexadecimal,
    // for a window of the plug-in's.
    const TestArguments posted = Read("postmsg\tcheck\t0x02E0\t0x00600060\t0");
    EXPECT_EQ(posted.window, "check");
    EXPECT_EQ(posted.message, 0x02E0u);
    EXPECT_EQ(posted.wParam, 0x00600060u);
    EXPECT_EQ(posted.lParam, 0u);
    EXPECT_EQ(Read("postmsg\tmain\t736\t0xFFFFFFFF\t4294967295").lParam, 0xFFFFFFFFu);
    for (const char* bad :
         {"postmsg", "postmsg\tother\t1\t2\t3", "postmsg\tmain\t1\t2", "postmsg\tmain\t0x\t2\t3",
          "postmsg\tmain\t0x100000000\t0\t0", "postmsg\tmain\t4294967296\t0\t0",
          "postmsg\tmain\t0xG\t0\t0", "postmsg\tmain\t1\t2\t3\t4"}) {
        EXPECT_THROW(ParseLine(bad), ScriptError) << bad;
    }

    const TestArguments move = Read("move\t0\t100000");
    EXPECT_EQ(move.x, 0);
    EXPECT_EQ(move.y, 100000);
    for (const char* bad : {"move", "move\t5", "move\t5\t", "move\t-5\t5", "move\t5\t100001",
                            "move\t5\t5\t5", "move\tx\t5"}) {
        EXPECT_THROW(ParseLine(bad), ScriptError) << bad;
    }
}

TEST(TestHostVerbs, PostKeepsTheRestOfTheLineAsItStands) {
    const auto post = ParseLine(R"(post	add	U\x41	20M		)");
    ASSERT_TRUE(post.has_value());
    EXPECT_EQ(post->verb->name, "post");
    const std::string line = Arguments(*post).line;
    EXPECT_EQ(line, "add\tU\\x41\t20M\t\t"); // escapes and empty fields untouched
    EXPECT_EQ(ParseLine(line)->contact.CallSign, "UA");

    const TestArguments nested = Read("post\tpost\tsleep\t5");
    EXPECT_EQ(nested.line, "post\tsleep\t5");
    EXPECT_EQ(Read(nested.line).line, "sleep\t5");
    EXPECT_EQ(Read("post\tstress\t1\t10").line, "stress\t1\t10");

    std::string deepest = "info";
    for (int i = 0; i < kMaxPostNesting; ++i) {
        deepest = "post\t" + deepest;
    }
    EXPECT_TRUE(ParseLine(deepest).has_value());
}

TEST(TestHostVerbs, BadPostAndFileCommandsAreRefused) {
    std::string tooDeep = "info";
    for (int i = 0; i <= kMaxPostNesting; ++i) {
        tooDeep = "post\t" + tooDeep;
    }
    std::string farTooDeep; // a long line of posts must not run out of stack
    for (int i = 0; i < 100000; ++i) {
        farTooDeep += "post\t";
    }
    farTooDeep += "info";
    const std::pair<std::string, std::string> cases[] = {
        {"post", "post needs a command to queue"},
        {"post\t", "post needs a command to queue"},
        {"post\t \t", "post needs a command to queue"},
        {"post\t# a comment", "post needs a command to queue"},
        {"post\tfrob", "post: the queued line: unknown command \"frob\""},
        {R"(post	score	\q)", "post: the queued line: score, field 2: unknown escape"},
        {"post\tsleep\tsoon", "post: the queued line: sleep time \"soon\""},
        {"post\tpost", "post: the queued line: post needs a command to queue"},
        {"post\tpost\tband\t0", "post: the queued line: band \"0\" is not"},
        {"post\tstress\t1", "post: the queued line: stress needs a time"},
        {"post\trepeat\t3", "post: the queued line: repeat stands on a line of the script"},
        {"post\tend", "post: the queued line: end stands on a line of the script"},
        {tooDeep, "posts nest more than 32 deep"},
        {farTooDeep, "posts nest more than 32 deep"},
        {"hold", "hold needs a file"},
        {"hold\t", "hold needs a file"},
        {R"(hold	a\x00b)", "hold: the file name holds a NUL byte"},
        {"hold\ta\tb", "hold takes a file and nothing or write, not \"b\""},
        {"hold\t\twrite", "hold needs a file"},
        {"hold\ta\twrite\tb", "hold takes 2 fields, but field 4 is \"b\""},
        {"screenshot", "screenshot needs a file"},
        {R"(screenshot	\x00)", "NUL"},
        {"screenshot\ta.bmp\tb.bmp", "field 3"},
    };
    for (const auto& [line, mentions] : cases) {
        ExpectRefused(line, mentions);
    }
}

TEST(TestHostVerbs, StressAddManyAndResourcesParse) {
    const auto stress = ParseLine("stress\t42\t20000");
    ASSERT_TRUE(stress.has_value());
    EXPECT_EQ(stress->verb->name, "stress");
    EXPECT_EQ(Arguments(*stress).seed, 42u);
    EXPECT_EQ(Arguments(*stress).milliseconds, 20000u);
    // The whole range of a seed, and the ends of the time.
    const TestArguments widest = Read("stress\t18446744073709551615\t3600000\t");
    EXPECT_EQ(widest.seed, UINT64_MAX);
    EXPECT_EQ(widest.milliseconds, kMaxStressMilliseconds);
    EXPECT_EQ(Read("stress\t0\t0").milliseconds, 0u);
    EXPECT_EQ(Read(R"(stress	\x37	1)").seed, 7u); // fields are decoded first

    const TestArguments many = Read("addmany\t5000\t3");
    EXPECT_EQ(many.count, 5000u);
    EXPECT_EQ(many.seed, 3u);
    EXPECT_EQ(Read("addmany\t0\t1").count, 0u);
    EXPECT_EQ(Read("addmany\t1000000\t1").count, kMaxAddMany);

    EXPECT_EQ(Read("resources").resources, ResourcesMode::Show);
    EXPECT_EQ(Read("resources\t").resources, ResourcesMode::Show);
    EXPECT_EQ(Read("resources\tmark").resources, ResourcesMode::Mark);
    const TestArguments check = Read("resources\tcheck\t2097152");
    EXPECT_EQ(check.resources, ResourcesMode::Check);
    EXPECT_EQ(check.growthBytes, 2097152u);
    EXPECT_EQ(Read("resources\tcheck\t0\t").growthBytes, 0u);
}

TEST(TestHostVerbs, BadStressAddManyAndResourcesLinesAreRefused) {
    const std::pair<std::string, std::string> cases[] = {
        {"stress", "stress needs a seed"},
        {"stress\t\t100", "stress needs a seed"},
        {"stress\t1", "stress needs a time in milliseconds"},
        {"stress\t1\t", "stress needs a time in milliseconds"},
        {"stress\t-1\t100", "stress seed \"-1\" is not a whole number"},
        {"stress\t0x10\t100", "stress seed \"0x10\" is not a whole number"},
        {"stress\t18446744073709551616\t100", "stress seed \"18446744073709551616\" is over"},
        {"stress\t99999999999999999999999\t100", "is over the limit of 18446744073709551615"},
        {"stress\t1\t1.5", "stress time \"1.5\" is not a whole number of milliseconds"},
        {"stress\t1\t3600001", "stress time \"3600001\" is over the limit of 3600000 ms"},
        {"stress\t1\t100\t5", "stress takes 2 fields, but field 4 is \"5\""},
        {"addmany", "addmany needs a number of contacts"},
        {"addmany\t10", "addmany needs a seed"},
        {"addmany\tmany\t1", "addmany count \"many\" is not a whole number"},
        {"addmany\t1000001\t1", "addmany count \"1000001\" is over the limit of 1000000"},
        {"addmany\t10\tx", "addmany seed \"x\" is not a whole number"},
        {"addmany\t10\t1\t1", "addmany takes 2 fields"},
        {"resources\tMARK", "resources takes nothing, mark or check BYTES, not \"MARK\""},
        {"resources\tcheck", "resources check needs the growth of private bytes allowed"},
        {"resources\tcheck\t", "resources check needs the growth"},
        {"resources\tcheck\t2 MiB", "resources check growth \"2 MiB\" is not a whole number"},
        {"resources\tcheck\t1\t2", "resources takes 2 fields, but field 4 is \"2\""},
        {"resources\tmark\tx", "resources takes 1 field, but field 3 is \"x\""},
    };
    for (const auto& [line, mentions] : cases) {
        ExpectRefused(line, mentions);
    }
}

// --help lists every verb a program reads, and no other.
TEST(TestHostVerbs, HelpListsTheVerbsOfItsTablesOnly) {
    const std::vector<std::vector<const VerbTable*>> programs = {
        {&kHostVerbTable},
        {&kHostVerbTable, &kTestVerbTable},
    };
    for (const std::vector<const VerbTable*>& tables : programs) {
        std::set<std::string> verbs;
        for (const VerbTable* table : tables) {
            for (const VerbSyntax& verb : table->verbs) {
                verbs.emplace(verb.name);
            }
        }
        std::set<std::string> listed;
        std::istringstream usage(ScriptSyntax(tables).Usage("morvel-host"));
        for (std::string line; std::getline(usage, line);) {
            // A command's line: two spaces, then its verb in lower case.
            if (line.size() > 2 && line.starts_with("  ") && line[2] >= 'a' && line[2] <= 'z') {
                listed.insert(line.substr(2, line.find(' ', 2) - 2));
            }
        }
        EXPECT_EQ(listed, verbs) << tables.size() << " table(s)";
        // The lines of repeated blocks are read before any verb's.
        EXPECT_FALSE(verbs.contains("repeat") || verbs.contains("end"));
    }
}

} // namespace
} // namespace morvel::host
