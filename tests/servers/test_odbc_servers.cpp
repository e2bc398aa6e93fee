// The recalculation against a PostgreSQL server that the test run starts
// itself (server.sh, a CTest fixture): the same score as from an SQLite file,
// and what the operator is left with when the server fails.
#include "contract/text.h"
#include "db/odbc_query.h"
#include "odbc_support.h"
#include "session/recalc.h"
#include "tools/odbc/odbc_connection.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace morvel {
namespace {

using Args = std::vector<std::string>;

using Outcome = test::CommandOutput;
using test::ShellQuoted;

// Runs a command line with standard error joined to the output.
Outcome Shell(const std::string& command) {
    return test::RunCommand("{ " + command + "; } 2>&1");
}

Outcome RunTool(const char* program, const Args& args) {
    return Shell(test::CommandLine(program, args) + " </dev/null");
}

// The instance the fixture started: the assignments server.sh wrote.
class Server {
public:
    Server() {
        std::ifstream in(std::string(MORVEL_PG_STATE) + "/env");
        std::string line;
        while (std::getline(in, line)) {
            const std::size_t eq = line.find('=');
            if (eq != std::string::npos && line.size() >= eq + 3 && line[eq + 1] == '\'') {
                m_values[line.substr(0, eq)] = line.substr(eq + 2, line.size() - eq - 3);
            }
        }
    }

    bool Running() const { return m_values.count("ODBC") != 0; }
    std::string Get(const std::string& key) const {
        const auto it = m_values.find(key);
        return it == m_values.end() ? std::string() : it->second;
    }

    // server.sh COMMAND pg STATE [ARG], with SQL on standard input.
    void Control(const std::string& command, const std::string& sql = {},
                 const std::string& database = "morvel") const {
        std::string line = "bash " + ShellQuoted(MORVEL_SERVER_SH) + " " + command + " pg " +
                           ShellQuoted(MORVEL_PG_STATE);
        if (command == "sql") {
            line = "printf '%s\\n' " + ShellQuoted(sql) + " | " + line + " " + database;
        }
        const Outcome done = Shell(line);
        ASSERT_EQ(done.status, 0) << line << "\n" << done.out;
    }

    // The rows of a query, one a line, columns separated by '|'.
    std::string Query(const std::string& sql) const {
        const std::string line = "printf '%s\\n' " + ShellQuoted(sql) + " | bash " +
                                 ShellQuoted(MORVEL_SERVER_SH) + " sql pg " +
                                 ShellQuoted(MORVEL_PG_STATE) + " morvel";
        const Outcome done = Shell(line);
        EXPECT_EQ(done.status, 0) << line << "\n" << done.out;
        return done.out;
    }

    void SqlFile(const std::string& file, const std::string& database) const {
        const std::string line = "bash " + ShellQuoted(MORVEL_SERVER_SH) + " sql pg " +
                                 ShellQuoted(MORVEL_PG_STATE) + " " + database + " < " +
                                 ShellQuoted(file);
        const Outcome done = Shell(line);
        ASSERT_EQ(done.status, 0) << line << "\n" << done.out;
    }

private:
    std::map<std::string, std::string> m_values;
};

// The plug-in's recalculation in this process, on a connection it is given.
struct Position {
    explicit Position(void* connection, const std::string& table = "Log") : query(connection) {
        std::memset(record.get(), 0, sizeof(TQSOData));
        record->TableName.Assign(table);
    }

    // The failure's message, or nullopt when the recalculation succeeded.
    std::optional<std::string> Recalculate() {
        try {
            RecalcStatisticExecute(recalc);
        } catch (const Error& e) {
            return std::string(e.what());
        }
        return std::nullopt;
    }

    odbc::OdbcLogQuery query;
    std::unique_ptr<TQSOData> record = std::make_unique<TQSOData>();
    TScoring scoring{CLibraryKeyEquality()};
    test::FakeWindow window;
    Recalc recalc{scoring, *record, query, window, window.enabled};
};

// The statistics with the band rows sorted: the rows come in the order of
// each band's first contact, which follows the server's collation.
std::string Normalised(const std::string& text) {
    std::istringstream in(test::WithLf(text));
    std::string line;
    std::string head;
    std::vector<std::string> bands;
    std::string rest;
    while (std::getline(in, line)) {
        if (head.empty()) {
            head = line + "\n";
        } else if (line.rfind("Total", 0) == 0 || line.rfind(" Score", 0) == 0) {
            rest += line + "\n";
        } else {
            bands.push_back(line);
        }
    }
    std::sort(bands.begin(), bands.end());
    std::string out = head;
    for (const std::string& band : bands) {
        out += band + "\n";
    }
    return out + rest;
}

class PostgresLog : public ::testing::Test {
protected:
    void SetUp() override {
        if (!server.Running()) {
            GTEST_SKIP() << "no PostgreSQL instance in " << MORVEL_PG_STATE;
        }
    }

    Server server;
};

// The statistics morvel-score.exe printed in the Wine case on three engines
// (cases/three-engines/expected), one block a seed, band rows sorted.
std::vector<std::string> WineScores() {
    std::ifstream in(MORVEL_THREE_ENGINES_EXPECTED);
    std::vector<std::string> blocks;
    std::string line;
    std::string block;
    bool inside = false;
    while (std::getline(in, line)) {
        if (line.rfind("score\t", 0) == 0) {
            inside = true;
            block.clear();
        } else if (inside) {
            block += line + "\n";
            if (line.rfind(" Score", 0) == 0) {
                inside = false;
                if (blocks.empty() || blocks.back() != block) {
                    blocks.push_back(block);
                }
            }
        }
    }
    return blocks;
}

// One generated log with call signs that differ only in case, in an SQLite
// file and on the server: morvel-score gives the same statistics for both,
// and the same as the plug-in and morvel-score.exe under Wine on SQLite,
// PostgreSQL and MariaDB.
TEST_F(PostgresLog, SameScoreAsTheSqliteFileAndTheWineCaseForSeveralSeeds) {
    const std::vector<std::string> wine = WineScores();
    ASSERT_EQ(wine.size(), 3u) << MORVEL_THREE_ENGINES_EXPECTED;
    const std::pair<const char*, const char*> logs[] = {{"3", "0.1"}, {"11", "0.3"}, {"29", "0.5"}};
    for (std::size_t i = 0; i < std::size(logs); ++i) {
        const auto [seed, lower] = logs[i];
        SCOPED_TRACE(std::string("seed ") + seed);
        test::TempFile file;
        const Args log = {"--contacts", "4000", "--seed", seed, "--lower-case", lower};
        Args sqlite = {"--out", file.path()};
        Args onServer = {"--odbc", server.Get("ODBC")};
        sqlite.insert(sqlite.end(), log.begin(), log.end());
        onServer.insert(onServer.end(), log.begin(), log.end());
        ASSERT_EQ(RunTool(MORVEL_LOGGEN_EXE, sqlite).status, 0);
        const Outcome loaded = RunTool(MORVEL_LOGGEN_EXE, onServer);
        ASSERT_EQ(loaded.status, 0) << loaded.out;

        const Outcome fromFile = RunTool(MORVEL_SCORE_EXE, {"--sqlite", file.path()});
        const Outcome fromServer = RunTool(MORVEL_SCORE_EXE, {"--odbc", server.Get("ODBC")});
        ASSERT_EQ(fromFile.status, 0) << fromFile.out;
        ASSERT_EQ(fromServer.status, 0) << fromServer.out;
        EXPECT_EQ(Normalised(fromServer.out), Normalised(fromFile.out));
        EXPECT_EQ(Normalised(fromServer.out), wine[i]);
    }
}

// Through ODBC the table name goes into the statements unquoted, so only a
// plain name is taken; a bad one is refused before anything is written.
TEST_F(PostgresLog, LoggenRefusesATableNameThatIsNotPlain) {
    for (const char* table : {"Log; DROP TABLE Log", "", "1Log", "Log-Book"}) {
        const Outcome refused =
            RunTool(MORVEL_LOGGEN_EXE, {"--odbc", server.Get("ODBC"), "--table", table});
        EXPECT_EQ(refused.status, 1) << table;
        EXPECT_NE(refused.out.find("a database table name is letters, digits and '_'"),
                  std::string::npos)
            << refused.out;
    }
    const Outcome share =
        RunTool(MORVEL_LOGGEN_EXE, {"--odbc", server.Get("ODBC"), "--lower-case", "1.5"});
    EXPECT_EQ(share.status, 2) << share.out;
}

// A column collation that ignores case (ICU, nondeterministic) puts "ua3abc"
// and "UA3ABC" next to each other; they are still two stations, and the score
// does not change.
TEST_F(PostgresLog, CaseInsensitiveCollationGivesTheSameScore) {
    test::TempFile file;
    const Args log = {"--contacts", "4000", "--seed", "41", "--lower-case", "0.3"};
    Args sqlite = {"--out", file.path()};
    Args onServer = {"--odbc", server.Get("ODBC"), "--table", "LogNoCase"};
    sqlite.insert(sqlite.end(), log.begin(), log.end());
    onServer.insert(onServer.end(), log.begin(), log.end());
    ASSERT_EQ(RunTool(MORVEL_LOGGEN_EXE, sqlite).status, 0);
    ASSERT_EQ(RunTool(MORVEL_LOGGEN_EXE, onServer).status, 0);
    server.Control("sql", "DROP COLLATION IF EXISTS nocase;"
                          "CREATE COLLATION nocase (provider = icu, locale = 'und-u-ks-level2',"
                          " deterministic = false);"
                          "ALTER TABLE LogNoCase ALTER COLUMN CallSign TYPE VARCHAR(32)"
                          " COLLATE nocase;");

    const Outcome fromFile = RunTool(MORVEL_SCORE_EXE, {"--sqlite", file.path()});
    const Outcome fromServer =
        RunTool(MORVEL_SCORE_EXE, {"--odbc", server.Get("ODBC"), "--table", "LogNoCase"});
    ASSERT_EQ(fromServer.status, 0) << fromServer.out;
    EXPECT_EQ(Normalised(fromServer.out), Normalised(fromFile.out));

    // The rows really come interleaved: a lower-case call right after the
    // same call in capitals, as an SQLite file never delivers them.
    const std::string calls = server.Query("SELECT CallSign FROM LogNoCase ORDER BY CallSign");
    std::istringstream in(calls);
    std::string previous;
    std::string call;
    bool mixed = false;
    while (std::getline(in, call) && !mixed) {
        mixed = call != previous && UpperAscii(call) == UpperAscii(previous);
        previous = call;
    }
    EXPECT_TRUE(mixed);
}

// A reader with SELECT rights only recalculates like the owner, and the
// server's statement log shows that it never asked for a change.
TEST_F(PostgresLog, ReadOnlyUserReadsTheSameAndNeverWrites) {
    ASSERT_EQ(RunTool(MORVEL_LOGGEN_EXE,
                      {"--odbc", server.Get("ODBC"), "--contacts", "3000", "--seed", "8"})
                  .status,
              0);
    odbc::Connection owner(server.Get("ODBC"));
    Position ownerView(owner.Handle());
    ASSERT_EQ(ownerView.Recalculate(), std::nullopt);

    std::ifstream before(server.Get("LOG"), std::ios::ate);
    const std::streamoff logStart = before.tellg();
    {
        odbc::Connection reader(server.Get("READER_ODBC"));
        // The reader really may not write.
        EXPECT_THROW(reader.Execute("DELETE FROM Log"), Error);
        Position readerView(reader.Handle());
        for (int i = 0; i < 2; ++i) {
            ASSERT_EQ(readerView.Recalculate(), std::nullopt);
            EXPECT_EQ(readerView.window.text, ownerView.window.text);
        }
    }

    std::ifstream log(server.Get("LOG"));
    log.seekg(logStart);
    std::string line;
    int selects = 0;
    std::vector<std::string> others;
    while (std::getline(log, line)) {
        const std::size_t at = line.find("statement: ");
        if (line.rfind("reader ", 0) != 0 || at == std::string::npos) {
            continue;
        }
        const std::string statement = line.substr(at + 11);
        if (statement == "Select * from Log order by CallSign") {
            ++selects;
        } else if (statement.rfind("DELETE FROM Log", 0) != 0) {
            others.push_back(statement);
        }
    }
    EXPECT_EQ(selects, 2);
    // The driver's own statements read settings only.
    for (const std::string& statement : others) {
        const std::string upper = UpperAscii(statement);
        EXPECT_TRUE(upper.rfind("SELECT ", 0) == 0 || upper.rfind("SET ", 0) == 0 ||
                    upper.rfind("SHOW ", 0) == 0)
            << statement;
    }
}

class PostgresFaults : public PostgresLog {
protected:
    void SetUp() override {
        PostgresLog::SetUp();
        if (!IsSkipped()) {
            server.SqlFile(MORVEL_FAULTS_SQL, "faults");
        }
    }
    void TearDown() override {
        // A test that failed half-way leaves the server running all the same.
        if (server.Running()) {
            Shell("bash " + ShellQuoted(MORVEL_SERVER_SH) + " resume pg " +
                  ShellQuoted(MORVEL_PG_STATE) + " >/dev/null 2>&1 || true");
        }
    }
};

// Read in batches of 100, the log fails at row 301: the driver's message, and
// the 300 rows before it counted, as after a failure between rows of a file.
TEST_F(PostgresFaults, ErrorInTheMiddleOfTheResultKeepsTheRowsBefore) {
    odbc::Connection db(server.Get("FAULTS_ODBC"));
    Position position(db.Handle(), "Damaged");
    const std::optional<std::string> failure = position.Recalculate();
    ASSERT_NE(failure, std::nullopt);
    EXPECT_NE(failure->find("log row UA0301 is damaged"), std::string::npos) << *failure;
    EXPECT_EQ(position.scoring.QSOList().Size(), 300u);
    EXPECT_EQ(position.window.text, "");
    EXPECT_TRUE(position.window.enabled);
    EXPECT_FALSE(position.query.Active());

    // The connection survives a server error: the intact table recalculates.
    position.record->TableName.Assign("Calls");
    ASSERT_EQ(position.Recalculate(), std::nullopt);
    EXPECT_EQ(position.scoring.QSOList().Size(), 1000u);
}

// The server ends the connection at row 301: the rows before are counted, and
// every later recalculation on that connection reports the loss, until a new
// connection reads the whole log again.
TEST_F(PostgresFaults, ConnectionKilledInTheMiddleOfTheResult) {
    auto db = std::make_unique<odbc::Connection>(server.Get("FAULTS_ODBC"));
    Position position(db->Handle(), "Cut");
    const std::optional<std::string> failure = position.Recalculate();
    ASSERT_NE(failure, std::nullopt);
    EXPECT_NE(failure->find("terminating connection"), std::string::npos) << *failure;
    EXPECT_EQ(position.scoring.QSOList().Size(), 300u);

    position.record->TableName.Assign("Calls");
    for (int i = 0; i < 3; ++i) {
        const std::optional<std::string> again = position.Recalculate();
        ASSERT_NE(again, std::nullopt);
        EXPECT_FALSE(again->empty());
        EXPECT_TRUE(position.window.enabled);
    }

    db = std::make_unique<odbc::Connection>(server.Get("FAULTS_ODBC"));
    Position fresh(db->Handle(), "Calls");
    ASSERT_EQ(fresh.Recalculate(), std::nullopt);
    EXPECT_EQ(fresh.scoring.QSOList().Size(), 1000u);
}

// The server stops between two recalculations: the driver's message, on that
// connection also once the server is back; a new connection is whole again.
// A connection made while the server is down fails with the driver's word.
TEST_F(PostgresFaults, ServerStoppedBetweenRecalculations) {
    auto db = std::make_unique<odbc::Connection>(server.Get("FAULTS_ODBC"));
    Position position(db->Handle(), "Calls");
    ASSERT_EQ(position.Recalculate(), std::nullopt);
    const std::string whole = position.window.text;

    server.Control("halt");
    const std::optional<std::string> stopped = position.Recalculate();
    ASSERT_NE(stopped, std::nullopt);
    EXPECT_FALSE(stopped->empty());
    EXPECT_EQ(position.window.text, "");
    try {
        odbc::Connection refused(server.Get("FAULTS_ODBC"));
        ADD_FAILURE() << "connected to a stopped server";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("onnect"), std::string::npos) << e.what();
    }

    server.Control("resume");
    EXPECT_NE(position.Recalculate(), std::nullopt);
    db = std::make_unique<odbc::Connection>(server.Get("FAULTS_ODBC"));
    Position fresh(db->Handle(), "Calls");
    ASSERT_EQ(fresh.Recalculate(), std::nullopt);
    EXPECT_EQ(fresh.window.text, whole);
}

// Two operating positions on one log, each with its own connection: a contact
// that one logs is not yet in the other's register; after a recalculation
// both show the combined log.
TEST_F(PostgresLog, TwoPositionsSeeTheCombinedLogAfterARecalculation) {
    ASSERT_EQ(RunTool(MORVEL_LOGGEN_EXE,
                      {"--odbc", server.Get("ODBC"), "--contacts", "2000", "--seed", "12"})
                  .status,
              0);
    odbc::Connection a(server.Get("ODBC"));
    odbc::Connection b(server.Get("ODBC"));
    Position first(a.Handle());
    Position second(b.Handle());
    ASSERT_EQ(first.Recalculate(), std::nullopt);
    ASSERT_EQ(second.Recalculate(), std::nullopt);

    // Position A logs a contact: into the log, then counted by its plug-in.
    auto contact = std::make_unique<TQSOData>();
    std::memset(contact.get(), 0, sizeof(TQSOData));
    contact->CallSign.Assign("R9XYZ");
    contact->DigiBand.Assign("14");
    contact->QSOMode.Assign("CW");
    contact->QSOReportRecived.Assign("599 KK");
    contact->DXCCPrefix.Assign("UA9");
    contact->MainPrefix.Assign("UA9X");
    a.Execute("INSERT INTO Log (ID, CallSign, DigiBand, QSOMode, QSOReportRecived, DXCCPrefix,"
              " MainPrefix, Continent) VALUES (100001, 'R9XYZ', '14', 'CW', '599 KK', 'UA9',"
              " 'UA9X', 'AS')");
    EXPECT_EQ(first.scoring.CountQSO(*contact, true), 1);
    EXPECT_TRUE(first.scoring.CheckDupe(*contact));
    // Position B does not know it yet.
    EXPECT_FALSE(second.scoring.CheckDupe(*contact));

    ASSERT_EQ(first.Recalculate(), std::nullopt);
    ASSERT_EQ(second.Recalculate(), std::nullopt);
    EXPECT_TRUE(second.scoring.CheckDupe(*contact));
    EXPECT_EQ(second.window.text, first.window.text);
    const Outcome scored = RunTool(MORVEL_SCORE_EXE, {"--odbc", server.Get("ODBC")});
    EXPECT_EQ(scored.out, test::WithLf(first.window.text) + "\n");
}

} // namespace
} // namespace morvel
