// morvel-score, run as the operator runs it, on logs that morvel-loggen writes.
#include "contract/text.h"
#include "db/odbc_query.h"
#include "odbc_support.h"
#include "session/recalc.h"
#include "tools/odbc/odbc_connection.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
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

// Runs the program; output, when given, is where its standard output goes
// instead of the pipe read into Outcome::out.
Outcome RunProgram(const std::string& program, const Args& args, const std::string& output = "") {
    test::TempFile errors(".txt");
    const std::string command = test::CommandLine(program, args) + " 2>" +
                                test::ShellQuoted(errors.path()) + " </dev/null" +
                                (output.empty() ? "" : " >" + test::ShellQuoted(output));
    const test::CommandOutput done = test::RunCommand(command);
    Outcome result{done.status, done.out, {}};
    result.err = ReadFile(errors.path());
    return result;
}

Outcome Score(const Args& args) {
    return RunProgram(MORVEL_SCORE_EXE, args);
}

// Writes a generated log; extra arguments go to morvel-loggen as they are.
void WriteLog(const std::string& file, const Args& extra = {}) {
    Args args = {"--out", file, "--contacts", "3000", "--seed", "5"};
    args.insert(args.end(), extra.begin(), extra.end());
    const Outcome written = RunProgram(MORVEL_LOGGEN_EXE, args);
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

TEST(MorvelScore, HelpAndVersionSucceed) {
    for (const char* option : {"--help", "-h", "/?"}) {
        const Outcome help = Score({"--table", "Log", option, "--bogus"});
        EXPECT_EQ(help.status, 0) << option;
        EXPECT_EQ(help.out.rfind("Usage: morvel-score", 0), 0u) << help.out;
        for (const char* named :
             {"--sqlite", "--odbc", "--table", "--check", "--oblast", "--wait", "--version",
              "Exit status", "--xml", "--summary", "--post", "--every", "--once", "--timeout",
              "--call", "--contest", "--category", "--operators"}) {
            EXPECT_NE(help.out.find(named), std::string::npos) << named;
        }
        EXPECT_EQ(help.err, "");
    }
    const Outcome version = Score({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "morvel-score " MORVEL_VERSION "\n");
    EXPECT_EQ(version.err, "");
}

// Every usage error: the problem on one line, then the short usage; status 2.
TEST(MorvelScore, BadArgumentsAreNamedBeforeTheShortUsage) {
    const std::string usage =
        "Usage: morvel-score (--sqlite FILE [--wait SECONDS] | --odbc TEXT) [--table NAME]\n"
        "                    [--check [--oblast FILE]]\nRun 'morvel-score --help' for more.\n";
    const std::vector<std::pair<Args, std::string>> cases = {
        {{}, "give --sqlite FILE or --odbc \"CONNECTION STRING\""},
        {{"--table", "Log"}, "give --sqlite FILE or --odbc \"CONNECTION STRING\""},
        {{"--bogus", "x"}, "unknown option '--bogus'"},
        {{"--sqlite", "a.db", "--bogus"}, "unknown option '--bogus'"},
        {{"--sqlite", "a.db", "b.db"}, "unexpected argument 'b.db'"},
        {{"-"}, "unexpected argument '-'"},
        {{"--sqlite"}, "missing value after '--sqlite'"},
        {{"--table", "Log", "--odbc"}, "missing value after '--odbc'"},
        {{"--table", "--sqlite", "a.db"}, "missing value after '--table'"},
        {{"--sqlite", ""}, "missing value after '--sqlite'"},
        {{"--sqlite", "a.db", "--odbc", "DSN=x"}, "give --sqlite or --odbc, not both"},
        {{"--sqlite", "a.db", "--sqlite", "b.db"}, "'--sqlite' given twice"},
        {{"--sqlite", "a.db", "--oblast", "o.dom"}, "--oblast is read only with --check"},
        {{"--odbc", "DSN=x", "--wait", "5"}, "--wait is read only with --sqlite"},
        {{"--sqlite", "a.db", "--wait", "x"},
         "--wait takes whole seconds from 0 to 86400, not 'x'"},
        {{"--sqlite", "a.db", "--wait", "86401"},
         "--wait takes whole seconds from 0 to 86400, not '86401'"},
        {{"--sqlite", "a.db", "--wait"}, "missing value after '--wait'"},
        {{"--sqlite", "a.db", "--xml"}, "--xml needs your call sign: --call CALL"},
        {{"--sqlite", "a.db", "--post", "http://127.0.0.1/"},
         "--post needs your call sign: --call CALL"},
        {{"--sqlite", "a.db", "--xml", "--summary"}, "give one of --xml, --summary and --post"},
        {{"--sqlite", "a.db", "--call", "UA3A"},
         "--call is read only with --xml, --summary or --post"},
        {{"--sqlite", "a.db", "--summary", "--every", "5"}, "--every is read only with --post"},
        {{"--sqlite", "a.db", "--xml", "--call", "X", "--once"}, "--once is read only with --post"},
        {{"--sqlite", "a.db", "--summary", "--check"},
         "--check is not read with --xml, --summary or --post"},
        {{"--sqlite", "a.db", "--post", "ftp://x/", "--call", "X"},
         "--post takes an http:// or https:// address, not 'ftp://x/'"},
        {{"--sqlite", "a.db", "--post", "http://x/", "--call", "X", "--every", "0"},
         "--every takes whole minutes from 1 to 1440, not '0'"},
        {{"--sqlite", "a.db", "--post", "http://x/", "--call", "X", "--every", "1", "--once"},
         "give --every or --once, not both"},
        {{"--sqlite", "a.db", "--post", "http://x/", "--call", "X", "--timeout", "0"},
         "--timeout takes whole seconds from 1 to 600, not '0'"},
        {{"--sqlite", "a.db", "--summary", "--category", "mode=CW,mode=SSB"},
         "--category: 'mode' given twice"},
        {{"--sqlite", "a.db", "--summary", "--category", "colour=RED"},
         "--category: unknown category 'colour' (ops, mode, power, bands, transmitter, "
         "assisted)"},
        {{"--sqlite", "a.db", "--summary", "--category", "power=huge"},
         "--category: power is one of HIGH, LOW, QRP, not 'huge'"},
        {{"--sqlite", "a.db", "--summary", "--category", "power"},
         "--category takes NAME=VALUE items separated by commas, not 'power'"},
    };
    for (const auto& [args, problem] : cases) {
        const Outcome bad = Score(args);
        const std::string shown = ::testing::PrintToString(args);
        EXPECT_EQ(bad.status, 2) << shown;
        EXPECT_EQ(bad.out, "") << shown;
        EXPECT_EQ(bad.err, "morvel-score: " + problem + "\n" + usage) << shown;
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

    // A full disk: what could not be written is a failure, not a success.
    for (const Args& args : {Args{"--sqlite", log.path()}, Args{"--help"}}) {
        const Outcome full = RunProgram(MORVEL_SCORE_EXE, args, "/dev/full");
        EXPECT_EQ(full.status, 1) << args[0];
        EXPECT_EQ(full.err,
                  "morvel-score: cannot write to standard output: No space left on device\n");
    }
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
    EXPECT_EQ(failed.err, "morvel-score: " + log.path() + ": " + message + "\n");
}

TEST_F(MorvelScoreOnLog, AnEquivalentConnectionStringGivesTheSameOutput) {
    const Outcome viaSqlite = Score({"--sqlite", log.path()});
    const Outcome viaOdbc = Score({"--odbc", "Driver=SQLite3;Database=" + log.path()});
    EXPECT_EQ(viaOdbc.status, 0) << viaOdbc.err;
    EXPECT_EQ(viaOdbc.out, viaSqlite.out);
    EXPECT_EQ(viaOdbc.out, ExpectedOutput(log.path()));
}

// The driver is found under the name its Windows installer gives it as well
// as under Debian's, as the driver manager lists it; where neither is
// installed the message says so and where the install guide tells of it.
TEST_F(MorvelScoreOnLog, FindsTheSqliteDriverUnderEitherNameOrSaysWhereToGetIt) {
    const std::string expected = ExpectedOutput(log.path());
    test::TempDir dir;
    const auto withDrivers = [&](const std::string& entries, const Args& args) {
        std::ofstream(dir.path() / "odbcinst.ini", std::ios::binary) << entries;
        Args command = {"ODBCSYSINI=" + dir.path().string(), "ODBCINSTINI=odbcinst.ini",
                        MORVEL_SCORE_EXE};
        command.insert(command.end(), args.begin(), args.end());
        return RunProgram("env", command);
    };
    for (const char* name : {"SQLite3 ODBC Driver", "sqlite3 odbc driver", "SQLite3"}) {
        const Outcome scored = withDrivers("[PostgreSQL Unicode]\nDriver=psqlodbcw.so\n[" +
                                               std::string(name) + "]\nDriver=libsqlite3odbc.so\n",
                                           {"--sqlite", log.path()});
        EXPECT_EQ(scored.status, 0) << name << ": " << scored.err;
        EXPECT_EQ(scored.out, expected) << name;
    }

    for (const std::string entries :
         {"", "[PostgreSQL Unicode]\nDriver=psqlodbcw.so\n[SQLite]\nDriver=libsqliteodbc.so\n"}) {
        const Outcome failed = withDrivers(entries, {"--sqlite", log.path(), "--check"});
        EXPECT_EQ(failed.status, 1) << entries;
        EXPECT_EQ(failed.out, "");
        EXPECT_EQ(failed.err, "morvel-score: " + log.path() +
                                  ": the SQLite3 ODBC driver is not installed (the ODBC driver "
                                  "manager lists no driver named \"SQLite3 ODBC Driver\" or "
                                  "\"SQLite3\"); INSTALL.txt, section \"A 32-bit ODBC driver for "
                                  "morvel-host and morvel-score\", says where to get it.\n");
    }
    // The section named is the guide's.
    const std::string guide = ReadFile(MORVEL_INSTALL_TXT);
    EXPECT_NE(guide.find("\nA 32-bit ODBC driver for morvel-host and morvel-score\n---"),
              std::string::npos);
    EXPECT_NE(guide.find("\"SQLite3 ODBC Driver\""), std::string::npos);
}

// Another program writing to the log holds it locked: the driver waits for
// it as long as --wait says, and a lock that stays is named as such, not as
// a broken log.
TEST_F(MorvelScoreOnLog, WaitsForALockAnotherProgramHoldsThenSaysTheLogIsLocked) {
    const std::string expected = ExpectedOutput(log.path());
    auto writer = std::make_unique<odbc::Connection>(odbc::SqliteConnectionString(log.path()));
    writer->Execute("BEGIN EXCLUSIVE");
    writer->Execute("INSERT INTO Log (CallSign) VALUES ('NOT COMMITTED')");

    const std::string locked =
        "morvel-score: " + log.path() + ": the log is locked by another program (still locked ";
    for (const auto& [wait, waited] :
         {std::pair<std::string, std::string>{"0", "0 seconds"}, {"1", "1 second"}}) {
        const Outcome failed = Score({"--sqlite", log.path(), "--wait", wait, "--check"});
        EXPECT_EQ(failed.status, 1) << wait;
        EXPECT_EQ(failed.out, "");
        EXPECT_EQ(
            failed.err.rfind(locked + "after " + waited + "; --wait SECONDS waits longer): ", 0),
            0u)
            << failed.err;
        EXPECT_NE(failed.err.find("database is locked"), std::string::npos) << failed.err;
    }
    // Through a connection string of the operator's, whose wait is its own.
    const Outcome viaOdbc =
        Score({"--odbc", "Driver=SQLite3;Database=" + log.path() + ";Timeout=1;"});
    EXPECT_EQ(viaOdbc.status, 1);
    EXPECT_EQ(viaOdbc.err.rfind("morvel-score: the log is locked by another program: ", 0), 0u)
        << viaOdbc.err;

    // A lock let go while the program waits: the whole log, as committed.
    Outcome late;
    std::thread waiting([&late, this] { late = Score({"--sqlite", log.path(), "--wait", "60"}); });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    writer->Execute("ROLLBACK");
    waiting.join();
    EXPECT_EQ(late.status, 0) << late.err;
    EXPECT_EQ(late.out, expected);
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
    EXPECT_EQ(refused.err.rfind("morvel-score: " + log.path() + ": LogQuery:", 0), 0u)
        << refused.err;
    EXPECT_EQ(Score({"--sqlite", log.path()}).out, ExpectedOutput(log.path()));
}

// A log with one row of each kind to question, and clean rows; the duplicate
// repeats its row whole, so that either order of the two is read alike.
TEST(MorvelScore, CheckListsTheRowsToQuestionAfterTheUnchangedStatistics) {
    test::TempDir dir;
    const std::string file = (dir.path() / "contest.db").string();
    {
        std::ofstream(file, std::ios::binary).flush();
        odbc::Connection db(odbc::SqliteConnectionString(file));
        db.Execute("CREATE TABLE Log (CallSign TEXT, DigiBand TEXT, QSOMode TEXT,"
                   " QSOReportRecived TEXT, DXCCPrefix TEXT, MainPrefix TEXT, Continent TEXT)");
        db.Execute("INSERT INTO Log VALUES"
                   " ('W1XYZ', '2.5', 'CW', '599 QQ', 'K', 'K', 'NA'),"
                   " ('UA9DD', '2', 'CW', '599 CB', ' ua9', 'UA9D', 'AS'),"
                   " ('UA3CC', '14', 'CW', '599 ZZ', 'UA1', 'UA3C', 'EU'),"
                   " ('UA0EE', '14', 'CW', '599 CB', '', '', 'AS'),"
                   " ('RA3AA', '21', 'SSB', '59 ma', 'UA1', 'RA3A', 'EU'),"
                   " ('RA3AA', '21', 'SSB', '59 ma', 'UA1', 'RA3A', 'EU'),"
                   " ('DL2BB', '14', 'CW', '599 MA', 'DL', 'DL', 'EU'),"
                   " ('DL1AA', ' 14 ', 'CW', '599 001', 'DL', 'DL', 'EU')");
    }
    // The program as the release ZIP has it: the oblast file beside it.
    const fs::path program = dir.path() / "morvel-score";
    fs::copy_file(MORVEL_SCORE_EXE, program);
    fs::create_directory(dir.path() / "Plugins");
    std::ofstream(dir.path() / "Plugins" / "Russiaobl.dom", std::ios::binary)
        << "UA3A=MA\r\nUA9A= cb \r\n";
    const Outcome plain = RunProgram(program, {"--sqlite", file});
    ASSERT_EQ(plain.status, 0) << plain.err;

    // The table has neither key nor time: the rows are named by position.
    const auto headline = [](int rows) {
        return "Rows to check: " + std::to_string(rows) +
               " (by position only: the row in call-sign order; the table has no ID or "
               "QSODateTime column)\nrow\tcall\tband\tmode\treasons\n";
    };
    // " 14 " is counted apart from "14": a second band row in the statistics.
    const std::string before =
        "1\tDL1AA\t 14 \tCW\tband \" 14 \" equals \"14\" of row 2 but for case or blanks, "
        "counted apart\n"
        "2\tDL2BB\t14\tCW\toblast MA from DXCC prefix DL (not UA1, UA2 or UA9)\n"
        "4\tRA3AA\t21\tSSB\tduplicate of row 3\n"
        "5\tUA0EE\t14\tCW\tno DXCC prefix\n";
    const std::string ua3cc = "6\tUA3CC\t14\tCW\toblast ZZ not in the oblast file\n";
    const std::string ua9dd = "7\tUA9DD\t2\tCW\tband 2 is not a contest band\n";
    const std::string w1xyz = "8\tW1XYZ\t2.5\tCW\t";
    const std::string qq = "oblast QQ not in the oblast file; ";
    const std::string last = "oblast QQ from DXCC prefix K (not UA1, UA2 or UA9); band 2.5 is not "
                             "a contest band\n";
    const Outcome checked = RunProgram(program, {"--check", "--sqlite", file});
    EXPECT_EQ(checked.status, 0) << checked.err;
    EXPECT_EQ(checked.out,
              plain.out + "\n" + headline(7) + before + ua3cc + ua9dd + w1xyz + qq + last);
    EXPECT_EQ(checked.err, "");

    // Another oblast file, named, that holds ZZ and QQ.
    const std::string other = (dir.path() / "other.dom").string();
    std::ofstream(other, std::ios::binary) << "UA3C=ZZ\nUA3A=MA\nUA9A=CB\nK=QQ\n";
    const Outcome named = RunProgram(program, {"--sqlite", file, "--check", "--oblast", other});
    EXPECT_EQ(named.out, plain.out + "\n" + headline(6) + before + ua9dd + w1xyz + last);

    // A named oblast file must be there; the one beside the program may not be.
    const std::string missing = (dir.path() / "missing.dom").string();
    const Outcome failed = RunProgram(program, {"--sqlite", file, "--check", "--oblast", missing});
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.out, "");
    EXPECT_EQ(failed.err, "morvel-score: " + missing + ": No such file or directory\n");

    // A submitted log's bytes are the submitter's: a TAB, CR, LF or other
    // control byte in a call, band, mode or DXCC prefix stays inside its field
    // and line (a forged "Rows to check: 0" line, a forged total), a backslash
    // is doubled so that the escapes read back, the code page's letters stay.
    const std::string forged = (dir.path() / "forged.db").string();
    {
        std::ofstream(forged, std::ios::binary).flush();
        odbc::Connection db(odbc::SqliteConnectionString(forged));
        db.Execute("CREATE TABLE Log (CallSign TEXT, DigiBand TEXT, QSOMode TEXT,"
                   " QSOReportRecived TEXT, DXCCPrefix TEXT, MainPrefix TEXT, Continent TEXT)");
        db.Execute("INSERT INTO Log VALUES"
                   " ('ZA1' || char(10) || 'Rows to check: 0', '14', 'CW', '599 MA',"
                   "  'K' || char(13, 10) || 'Rows to check: 0', 'K', 'NA'),"
                   " ('ZA1' || char(10) || 'Rows to check: 0', '14', 'CW', '599 MA', 'K', 'K',"
                   "  'NA'),"
                   " ('ZB2', '14' || char(13, 10) || 'Total' || char(9) || ' 9',"
                   "  'CW' || char(9) || 'SSB', '599 MA', 'UA1', 'UA3A', 'EU'),"
                   " ('ZC3\\x41', '2', char(1, 127), '599 MA', 'UA1', 'UA3A', 'EU'),"
                   " ('ZD4' || CAST(X'C0E0' AS TEXT), '21', 'CW', '599 XY', 'UA1', 'UA3A', 'EU')");
    }
    // Expected lines with '|' for the TABs between fields.
    const auto lines = [](const std::vector<std::string>& shown) {
        std::string text;
        for (const std::string& line : shown) {
            text += line + '\n';
        }
        std::replace(text.begin(), text.end(), '|', '\t');
        return text;
    };
    const Outcome escaped = RunProgram(program, {"--sqlite", forged, "--check", "--oblast", other});
    EXPECT_EQ(escaped.status, 0) << escaped.err;
    const std::string& out = escaped.out;
    EXPECT_EQ(std::count_if(out.begin(), out.end(),
                            [](char c) {
                                const auto byte = static_cast<unsigned char>(c);
                                return (byte < 0x20 && c != '\t' && c != '\n') || byte == 0x7F;
                            }),
              0)
        << out;
    const std::size_t report = out.find("\n\nRows to check: ");
    ASSERT_NE(report, std::string::npos) << out;
    // The header, the bands 14, the forged one, 2 and 21, the total, the score.
    const std::string statistics = out.substr(0, report + 1);
    EXPECT_EQ(std::count(statistics.begin(), statistics.end(), '\n'), 7) << out;
    EXPECT_NE(statistics.find(lines({R"(14\r\nTotal\t 9|     1|     1|     1|     1|)"})),
              std::string::npos)
        << out;
    EXPECT_EQ(out.substr(report + 2),
              lines({
                  "Rows to check: 5 (by position only: the row in call-sign order; the table "
                  "has no ID or QSODateTime column)",
                  "row|call|band|mode|reasons",
                  R"(1|ZA1\nRows to check: 0|14|CW|oblast MA from DXCC prefix )"
                  R"(K\r\nROWS TO CHECK: 0 (not UA1, UA2 or UA9))",
                  R"(2|ZA1\nRows to check: 0|14|CW|duplicate of row 1)",
                  R"(3|ZB2|14\r\nTotal\t 9|CW\tSSB|band 14\r\nTotal\t 9 is not a contest band)",
                  R"(4|ZC3\\x41|2|\x01\x7F|band 2 is not a contest band)",
                  "5|ZD4\xC0\xE0|21|CW|letters outside ASCII in the call; oblast XY not in the "
                  "oblast file",
              }));

    fs::remove_all(dir.path() / "Plugins");
    const Outcome without = RunProgram(program, {"--sqlite", file, "--check"});
    EXPECT_EQ(without.status, 0) << without.err;
    EXPECT_EQ(without.out, plain.out + "\nNo oblast file " +
                               (dir.path() / "Plugins" / "Russiaobl.dom").string() +
                               ": the oblast codes are not looked up in it.\n" + headline(6) +
                               before + ua9dd + w1xyz + last);
}

// A generated log as a logger keeps it (ID, QSODateTime) with rows planted
// that an adjudicator would question: each named by its key and time beside
// its position, every planted one found, and of the generated rows only the
// duplicates.
TEST(MorvelScore, CheckNamesPlantedRowsByKeyAndTime) {
    test::TempDir dir;
    const std::string file = (dir.path() / "planted.db").string();
    WriteLog(file);
    const std::string oblast = (dir.path() / "codes.dom").string();
    {
        odbc::Connection db(odbc::SqliteConnectionString(file));
        // Every code the generator sent, so that none is questioned for that.
        db.Execute("CREATE TABLE Codes AS SELECT DISTINCT substr(trim(QSOReportRecived), -2)"
                   " AS Code FROM Log WHERE DXCCPrefix IN ('UA1', 'UA2', 'UA9')");
        db.Execute("INSERT INTO Log (ID, QSODateTime, CallSign, DigiBand, QSOMode,"
                   " QSOReportRecived, DXCCPrefix, MainPrefix, Continent) VALUES"
                   " (3001, '2027-01-03 10:00:01', 'RA9AB', '14', 'CW', '', 'UA9', 'UA9A', 'AS'),"
                   " (3002, '2027-01-03 10:00:02', 'RA9AC', '14', 'CW', NULL, 'UA9', 'UA9A', 'AS'),"
                   " (3003, '2027-01-03 10:00:03', 'UA1AAA', '7', 'CW', '599 MA 001', 'UA1',"
                   "  'UA1A', 'EU'),"
                   " (3004, '2027-01-03 10:00:04', 'UA1AAB', '7', 'CW',"
                   "  '599 ' || CAST(X'CCC0' AS TEXT), 'UA1', 'UA1A', 'EU'),"
                   " (3005, '2027-01-03 10:00:05', '', '21', 'SSB', '59 MA', 'UA1', 'UA1A', 'EU'),"
                   " (3006, '2027-01-03 10:00:06', 'RK3AAA', '3.5', 'CW', '599 MA', 'UA1', 'UA3A',"
                   "  'EU'),"
                   " (3007, '2027-01-03 10:00:07', 'rk3aaa', '3.5', 'CW', '599 MA', 'UA1', 'UA3A',"
                   "  'EU'),"
                   " (3008, '2027-01-03 10:00:08', 'RK3AAA ', '3.5', 'CW', '599 MA', 'UA1', 'UA3A',"
                   "  'EU'),"
                   " (3009, '2027-01-03 10:00:09', 'RK3AAB', '3.5', 'cw', '599 MA', 'UA1', 'UA3A',"
                   "  'EU'),"
                   " (3010, '2027-01-03 10:00:10', 'RK3AAC', ' 3.5', 'CW', '599 MA', 'UA1', 'UA3A',"
                   "  'EU'),"
                   " (3011, '2027-01-03 10:00:11', 'RK3AAA', '3.5', 'CW', '599 MO', 'UA1', 'UA3A',"
                   "  'EU'),"
                   " (3012, '2027-01-03 10:00:12', 'RK3AA' || CAST(X'C0' AS TEXT), '14', 'CW',"
                   "  '599 MA', 'UA1', 'UA3A', 'EU')");
        odbc::OdbcLogQuery codes(db.Handle());
        codes.Open("SELECT Code FROM Codes");
        std::ofstream dom(oblast, std::ios::binary);
        const int column = 1;
        for (std::string code; !codes.Eof(); codes.Next()) {
            codes.ReadRow(&column, &code, 1);
            dom << "X=" << code << "\r\n";
        }
    }
    const Outcome checked = Score({"--sqlite", file, "--check", "--oblast", oblast});
    ASSERT_EQ(checked.status, 0) << checked.err;
    const std::size_t report = checked.out.find("\n\nRows to check: ");
    ASSERT_NE(report, std::string::npos) << checked.out;
    std::istringstream lines(checked.out.substr(report + 2));
    std::string line;
    std::getline(lines, line);
    EXPECT_NE(line.find(" (each named by its row, the position in call-sign order, and by ID and "
                        "QSODateTime)"),
              std::string::npos)
        << line;
    std::getline(lines, line);
    EXPECT_EQ(line, "row\tID\tQSODateTime\tcall\tband\tmode\treasons");
    // The planted rows' lines, the row's position left out; the other rows
    // must each be a generated duplicate, named with the row it repeats.
    std::vector<std::string> planted;
    // Another row named in a reason: its position and, when generated, its ID
    // left out too (the planted ones are from 3001 up).
    const std::regex otherRow(R"( of row [0-9]+( \(ID ([0-9]{1,3}|[0-2][0-9]{3}|3000)\))?)");
    while (std::getline(lines, line)) {
        const std::size_t id = line.find('\t') + 1;
        if (std::atoi(line.c_str() + id) > 3000) {
            planted.push_back(std::regex_replace(line.substr(id), otherRow, " of row N"));
        } else {
            EXPECT_NE(line.find("\tduplicate of row "), std::string::npos) << line;
            EXPECT_EQ(line.find(';'), std::string::npos) << line;
        }
    }
    const std::string apart = " but for case or blanks, counted apart";
    const std::vector<std::string> expected = {
        "3005\t2027-01-03 10:00:05\t\t21\tSSB\tno call sign",
        "3001\t2027-01-03 10:00:01\tRA9AB\t14\tCW\tno oblast code in the exchange from DXCC prefix "
        "UA9",
        "3002\t2027-01-03 10:00:02\tRA9AC\t14\tCW\tno oblast code in the exchange from DXCC prefix "
        "UA9",
        "3011\t2027-01-03 10:00:11\tRK3AAA\t3.5\tCW\tduplicate of row N (ID 3006); exchange "
        "differs from the row it repeats: oblast MO here, oblast MA there",
        "3008\t2027-01-03 10:00:08\tRK3AAA \t3.5\tCW\tcall \"RK3AAA \" equals \"RK3AAA\" of row N "
        "(ID 3006)" +
            apart,
        "3009\t2027-01-03 10:00:09\tRK3AAB\t3.5\tcw\tmode \"cw\" equals \"CW\" of row N" + apart,
        "3010\t2027-01-03 10:00:10\tRK3AAC\t 3.5\tCW\tband \" 3.5\" equals \"3.5\" of row N" +
            apart,
        "3012\t2027-01-03 10:00:12\tRK3AA\xC0\t14\tCW\tletters outside ASCII in the call",
        "3003\t2027-01-03 10:00:03\tUA1AAA\t7\tCW\tno oblast code in the exchange from DXCC prefix "
        "UA1",
        "3004\t2027-01-03 10:00:04\tUA1AAB\t7\tCW\tletters outside ASCII in the exchange; "
        "no oblast code in the exchange from DXCC prefix UA1",
        "3007\t2027-01-03 10:00:07\trk3aaa\t3.5\tCW\tcall \"rk3aaa\" equals \"RK3AAA\" of row N "
        "(ID 3006)" +
            apart,
    };
    EXPECT_EQ(planted, expected) << checked.out.substr(report);
}

// The tool only reads: a log file that is not there is a failure, not a new
// empty database that then "has no table Log".
TEST(MorvelScore, MissingLogFileFailsAndCreatesNoFile) {
    test::TempDir dir;
    const fs::path missing = dir.path() / "contest.sqlite";
    const Outcome failed = Score({"--sqlite", missing.string()});
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.out, "");
    EXPECT_EQ(failed.err, "morvel-score: " + missing.string() + ": No such file or directory\n");
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
