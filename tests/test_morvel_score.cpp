// morvel-score, run as the operator runs it, on logs that morvel-loggen writes.
#include "contract/text.h"
#include "db/odbc_query.h"
#include "odbc_support.h"
#include "session/recalc.h"
#include "tools/odbc/odbc_connection.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace morvel {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

struct Outcome {
    int status = -1; // the exit status; -1 when the program did not exit by itself
    std::string out;
    std::string err;
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

Outcome Run(const char* program, const Args& args) {
    test::TempFile errors(".txt");
    const std::string command =
        test::CommandLine(program, args) + " 2>" + test::ShellQuoted(errors.path()) + " </dev/null";
    const test::CommandOutput done = test::RunCommand(command);
    Outcome result{done.status, done.out, {}};
    result.err = ReadFile(errors.path());
    return result;
}

Outcome Score(const Args& args) {
    return Run(MORVEL_SCORE_EXE, args);
}

// Writes a generated log; extra arguments go to morvel-loggen as they are.
void WriteLog(const std::string& file, const Args& extra = {}) {
    Args args = {"--out", file, "--contacts", "3000", "--seed", "5"};
    args.insert(args.end(), extra.begin(), extra.end());
    const Outcome written = Run(MORVEL_LOGGEN_EXE, args);
    ASSERT_EQ(written.status, 0) << written.err;
}

struct InProcess {
    std::string text;
    std::optional<std::string> failure;
};

// The plug-in's recalculation of the log in this process.
InProcess Recalculate(const std::string& file, const std::string& table = "Log") {
    odbc::Connection db(odbc::SqliteConnectionString(file));
    odbc::OdbcLogQuery query(db.Handle());
    auto record = std::make_unique<TQSOData>();
    std::memset(record.get(), 0, sizeof(TQSOData));
    record->TableName.Assign(table);
    TScoring scoring(CLibraryKeyEquality());
    test::FakeWindow window;
    Recalc recalc{scoring, *record, query, window, window.enabled};
    try {
        RecalcStatisticExecute(recalc);
    } catch (const Error& e) {
        return {"", std::string(e.what())};
    }
    return {window.text, std::nullopt};
}

// What the tool should print for the log: the statistics text with LF line
// ends and a final LF.
std::string ExpectedOutput(const std::string& file, const std::string& table = "Log") {
    const InProcess result = Recalculate(file, table);
    EXPECT_EQ(result.failure, std::nullopt);
    return test::WithLf(result.text) + "\n";
}

TEST(MorvelScore, HelpExplainsTheUsageAndSucceeds) {
    for (const char* option : {"--help", "-h"}) {
        const Outcome help = Score({option});
        EXPECT_EQ(help.status, 0) << option;
        EXPECT_EQ(help.out.rfind("Usage: morvel-score", 0), 0u) << help.out;
        for (const char* named : {"--sqlite", "--odbc", "--table", "Exit status"}) {
            EXPECT_NE(help.out.find(named), std::string::npos) << named;
        }
        EXPECT_EQ(help.err, "");
    }
}

TEST(MorvelScore, BadArgumentsExitWithStatusTwoAndShowTheUsage) {
    const std::vector<std::pair<Args, std::string>> cases = {
        {{}, "--sqlite FILE"},
        {{"--bogus", "x"}, "unknown option --bogus"},
        {{"--bogus"}, "--bogus"},
        {{"--sqlite"}, "missing value after --sqlite"},
        {{"--table", "Log"}, "--sqlite FILE"},
        {{"--table", "Log", "--odbc"}, "missing value after --odbc"},
    };
    for (const auto& [args, problem] : cases) {
        const Outcome bad = Score(args);
        const std::string shown = ::testing::PrintToString(args);
        EXPECT_EQ(bad.status, 2) << shown;
        EXPECT_EQ(bad.out, "") << shown;
        EXPECT_NE(bad.err.find(problem), std::string::npos) << shown << "\n" << bad.err;
        EXPECT_NE(bad.err.find("Usage: morvel-score"), std::string::npos) << shown;
    }
}

class MorvelScoreOnLog : public ::testing::Test {
protected:
    test::TempFile log;

    void SetUp() override { WriteLog(log.path()); }
};

TEST_F(MorvelScoreOnLog, PrintsTheStatisticsTextOfTheLog) {
    const std::string expected = ExpectedOutput(log.path());
    ASSERT_NE(expected.find(" Score: "), std::string::npos);
    ASSERT_GT(std::count(expected.begin(), expected.end(), '\n'), 5);

    const Outcome scored = Score({"--sqlite", log.path()});
    EXPECT_EQ(scored.status, 0) << scored.err;
    EXPECT_EQ(scored.out, expected);
    EXPECT_EQ(scored.err, "");
    EXPECT_EQ(scored.out.find('\r'), std::string::npos);
}

TEST_F(MorvelScoreOnLog, MissingTableFailsWithTheDriversMessage) {
    const InProcess inProcess = Recalculate(log.path(), "Nope");
    ASSERT_TRUE(inProcess.failure.has_value());
    std::string message = *inProcess.failure;
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') {
        message += '.';
    }

    const Outcome failed = Score({"--sqlite", log.path(), "--table", "Nope"});
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.out, "");
    EXPECT_EQ(failed.err, message + "\n");
}

TEST_F(MorvelScoreOnLog, AnEquivalentConnectionStringGivesTheSameOutput) {
    const Outcome viaSqlite = Score({"--sqlite", log.path()});
    const Outcome viaOdbc = Score({"--odbc", "Driver=SQLite3;Database=" + log.path()});
    EXPECT_EQ(viaOdbc.status, 0) << viaOdbc.err;
    EXPECT_EQ(viaOdbc.out, viaSqlite.out);
    EXPECT_EQ(viaOdbc.out, ExpectedOutput(log.path()));
}

TEST_F(MorvelScoreOnLog, CaseInsensitiveCallSignColumnScoresTheSame) {
    test::TempFile nocase;
    WriteLog(nocase.path(), {"--nocase"});
    const Outcome plain = Score({"--sqlite", log.path()});
    const Outcome folded = Score({"--sqlite", nocase.path()});
    EXPECT_EQ(folded.status, 0) << folded.err;
    EXPECT_EQ(folded.out, plain.out);
}

TEST_F(MorvelScoreOnLog, TableOptionIsInsertedAsItStands) {
    test::TempFile named;
    WriteLog(named.path(), {"--table", "Contest 2027"});
    const Outcome scored = Score({"--sqlite", named.path(), "--table", "\"Contest 2027\""});
    EXPECT_EQ(scored.status, 0) << scored.err;
    EXPECT_EQ(scored.out, Score({"--sqlite", log.path()}).out);

    const Outcome refused = Score({"--sqlite", log.path(), "--table", "Log; DROP TABLE Log"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err.rfind("LogQuery:", 0), 0u) << refused.err;
    EXPECT_EQ(Score({"--sqlite", log.path()}).out, ExpectedOutput(log.path()));
}

// The tool only reads: a log file that is not there is a failure, not a new
// empty database that then "has no table Log".
TEST(MorvelScore, MissingLogFileFailsAndCreatesNoFile) {
    test::TempDir dir;
    const fs::path missing = dir.path() / "contest.sqlite";
    const Outcome failed = Score({"--sqlite", missing.string()});
    EXPECT_NE(failed.status, 0);
    EXPECT_EQ(failed.out, "");
    EXPECT_NE(failed.err, "");
    EXPECT_FALSE(fs::exists(missing));
}

// A ';' ends a value in an ODBC connection string: the file name must not be
// cut there and another file opened (or made) in its place.
TEST(MorvelScore, LogPathHoldingASemicolonIsNeverTakenForAnotherFile) {
    test::TempDir dir;
    const fs::path wanted = dir.path() / "log;2027.sqlite";
    const fs::path other = dir.path() / "log";
    WriteLog(wanted.string());
    test::TempFile reference;
    WriteLog(reference.path());
    const std::string expected = ExpectedOutput(reference.path());

    const Outcome first = Score({"--sqlite", wanted.string()});
    EXPECT_FALSE(fs::exists(other)) << "the cut name was opened as a database";
    if (first.status == 0) {
        EXPECT_EQ(first.out, expected);
    } else {
        EXPECT_EQ(first.out, "");
        EXPECT_NE(first.err, "");
    }

    // With a log under the cut name, its score must not pass for the wanted one's.
    std::error_code ignored;
    fs::remove(other, ignored);
    WriteLog(other.string(), {"--seed", "6"});
    const Outcome second = Score({"--sqlite", wanted.string()});
    if (second.status == 0) {
        EXPECT_EQ(second.out, expected) << "another file's score was printed";
    } else {
        EXPECT_EQ(second.out, "");
        EXPECT_NE(second.err, "");
    }
}

} // namespace
} // namespace morvel
