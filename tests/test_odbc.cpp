// The log recalculation on real SQLite files through the SQLite3 ODBC driver.
#include "contract/text.h"
#include "db/odbc_api.h"
#include "db/odbc_query.h"
#include "odbc_support.h"
#include "scoring/report.h"
#include "scoring/scoring.h"
#include "session/recalc.h"
#include "tools/loggen/contacts.h"
#include "tools/odbc/odbc_connection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <numeric>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace morvel {
namespace {

using Keys = std::vector<std::string>;
using Value = std::optional<std::string>;
using Rows = std::vector<std::vector<std::string>>;

constexpr const char* kEmptyText = "Band\t  QSOs\tPoints\t   OBL\t  DXCC\t\r\n"
                                   "Total\t     0\t     0\t     0\t     0\r\n"
                                   " Score: 0*(0+0)=0";

constexpr const char* kColumnList =
    "CallSign, DigiBand, QSOMode, QSOReportRecived, DXCCPrefix, MainPrefix, Continent";

// One log row; std::nullopt is stored as NULL.
struct Row {
    Value call;
    Value band = "14";
    Value mode = "CW";
    Value exchange = "";
    Value dxcc = "";
    Value mainPrefix = "";
    Value continent = "";
};

std::string Literal(const Value& v) {
    if (!v) {
        return "NULL";
    }
    std::string out = "'";
    for (char c : *v) {
        out += c;
        if (c == '\'') {
            out += '\'';
        }
    }
    return out + "'";
}

Keys Sorted(Keys keys) {
    std::sort(keys.begin(), keys.end());
    return keys;
}

std::string Values(const Row& r) {
    return "(" + Literal(r.call) + ", " + Literal(r.band) + ", " + Literal(r.mode) + ", " +
           Literal(r.exchange) + ", " + Literal(r.dxcc) + ", " + Literal(r.mainPrefix) + ", " +
           Literal(r.continent) + ")";
}

class OdbcRecalc : public ::testing::Test {
public:
    test::TempFile file;
    odbc::Connection db{odbc::SqliteConnectionString(file.path())};
    odbc::OdbcLogQuery query{db.Handle()};
    TScoring scoring{CLibraryKeyEquality()};
    std::unique_ptr<TQSOData> record = NewRecord();
    test::FakeWindow window;
    Recalc recalc{scoring, *record, query, window, window.enabled};

    // The host's record: host data filled with a pattern, the current band 14.
    static std::unique_ptr<TQSOData> NewRecord() {
        auto rec = std::make_unique<TQSOData>();
        std::memset(rec.get(), 0xA5, sizeof(TQSOData));
        rec->TableName.Assign("Log");
        rec->DigiBand.Assign("14");
        return rec;
    }

    void CreateLog(const std::string& table = "Log", const std::string& callCollation = "") {
        db.Execute("CREATE TABLE " + table + " (CallSign TEXT " + callCollation +
                   ", DigiBand TEXT, QSOMode TEXT, QSOReportRecived TEXT, DXCCPrefix TEXT,"
                   " MainPrefix TEXT, Continent TEXT)");
    }

    void Insert(const Row& r, const std::string& table = "Log") {
        db.Execute("INSERT INTO " + table + " (" + kColumnList + ") VALUES " + Values(r));
    }

    // Runs the action as the button does; the failure's message, or nothing.
    std::optional<std::string> Run() {
        try {
            RecalcStatisticExecute(recalc);
        } catch (const Error& e) {
            return std::string(e.what());
        }
        return std::nullopt;
    }

    // Every row of a query, the first `columns` columns read as text.
    Rows Select(const std::string& sql, int columns) {
        odbc::OdbcLogQuery reader(db.Handle());
        reader.Open(sql);
        std::vector<int> numbers(static_cast<std::size_t>(columns));
        std::iota(numbers.begin(), numbers.end(), 1);
        Rows rows;
        while (!reader.Eof()) {
            std::vector<std::string> row(numbers.size());
            reader.ReadRow(numbers.data(), row.data(), numbers.size());
            rows.push_back(std::move(row));
            reader.Next();
        }
        return rows;
    }

    // The seven columns of every row as SQL literals (so NULL differs from
    // ''), in storage order.
    Rows Content(const std::string& table = "Log") {
        return Select("Select quote(CallSign), quote(DigiBand), quote(QSOMode),"
                      " quote(QSOReportRecived), quote(DXCCPrefix), quote(MainPrefix),"
                      " quote(Continent) from " +
                          table + " order by rowid",
                      7);
    }

    std::size_t RowCount(const std::string& table = "Log") {
        return static_cast<std::size_t>(
            std::stoul(Select("Select count(*) from " + table, 1).at(0).at(0)));
    }

    std::size_t TotalQSOs() const {
        std::size_t total = 0;
        for (const TStatistic& s : scoring.StatList()) {
            total += static_cast<std::size_t>(s.QSOs);
        }
        return total;
    }
};

template <class Param>
class OdbcRecalcWith : public OdbcRecalc, public ::testing::WithParamInterface<Param> {};

TEST_F(OdbcRecalc, EmptyTableGivesTheZeroScoreAndForgetsAnEarlierOne) {
    CreateLog();
    Insert({"UA3ABC", "14", "CW", "599 MA", "UA1", "UA3A", "EU"});
    ASSERT_EQ(Run(), std::nullopt);
    ASSERT_EQ(TotalQSOs(), 1u);

    db.Execute("DELETE FROM Log");
    EXPECT_EQ(Run(), std::nullopt);
    EXPECT_EQ(window.text, kEmptyText);
    EXPECT_TRUE(window.enabled);
    EXPECT_TRUE(scoring.StatList().empty());
    EXPECT_TRUE(scoring.QSOList().Empty());
    EXPECT_EQ(scoring.OblWorked().Size(), 0u);
    EXPECT_EQ(scoring.DxccWorked().Size(), 0u);
}

TEST_F(OdbcRecalc, RepeatedCallBandAndModeCountOnce) {
    CreateLog();
    Insert({"UA3ABC", "14", "CW", "599 MA", "UA1", "UA3A", "EU"});
    Insert({"DL1AA", "14", "CW", "599 001", "DL", "DL", "EU"});
    Insert({"UA3ABC", "14", "CW", "599 MA", "UA1", "UA3A", "EU"});
    Insert({"UA3ABC", "14", "SSB", "59 MA", "UA1", "UA3A", "EU"});
    Insert({"DL1AA", "14", "CW", "599 002", "DL", "DL", "EU"});
    Insert({"UA3ABC", "7", "CW", "599 MA", "UA1", "UA3A", "EU"});

    ASSERT_EQ(Run(), std::nullopt);
    // DL1AA sorts first, so band 14 is the first statistics row.
    ASSERT_EQ(scoring.StatList().size(), 2u);
    EXPECT_EQ(scoring.StatList()[0], (TStatistic{"14", 3, 3, 1, 2}));
    EXPECT_EQ(scoring.StatList()[1], (TStatistic{"7", 1, 1, 1, 1}));
    EXPECT_EQ(scoring.QSOList().Size(), 4u);
    EXPECT_EQ(window.text, ShowStatistic(scoring.StatList()));
}

struct NullCase {
    const char* column;
    Value Row::*value;
    ShortString TQSOData::*field;
    const char* band;
    Keys obl;
    Keys dxcc;
};

void PrintTo(const NullCase& c, std::ostream* os) {
    *os << c.column;
}

using NullColumn = OdbcRecalcWith<NullCase>;

TEST_P(NullColumn, ReadsAsEmpty) {
    const NullCase& c = GetParam();
    CreateLog();
    Row row{"UA3ABC", "14", "CW", "599 MA", "UA1", "UA3A", "EU"};
    row.*c.value = std::nullopt;
    Insert(row);

    ASSERT_EQ(Run(), std::nullopt);
    ASSERT_EQ(scoring.StatList().size(), 1u);
    EXPECT_EQ(scoring.StatList()[0].Band, c.band);
    EXPECT_EQ(scoring.StatList()[0].QSOs, 1);
    EXPECT_EQ(scoring.OblWorked().Keys(), c.obl);
    EXPECT_EQ(scoring.DxccWorked().Keys(), c.dxcc);
    if (c.field != &TQSOData::DigiBand) {
        EXPECT_EQ(((*record).*c.field).Str(), "");
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryColumn, NullColumn,
    ::testing::Values(
        NullCase{"CallSign", &Row::call, &TQSOData::CallSign, "14", {"14|MA|"}, {"14|UA1|"}},
        NullCase{"DigiBand", &Row::band, &TQSOData::DigiBand, "", {"|MA|"}, {"|UA1|"}},
        NullCase{"QSOMode", &Row::mode, &TQSOData::QSOMode, "14", {"14|MA|"}, {"14|UA1|"}},
        NullCase{
            "QSOReportRecived", &Row::exchange, &TQSOData::QSOReportRecived, "14", {}, {"14|UA1|"}},
        NullCase{"DXCCPrefix", &Row::dxcc, &TQSOData::DXCCPrefix, "14", {"14|MA|"}, {"14||"}},
        NullCase{
            "MainPrefix", &Row::mainPrefix, &TQSOData::MainPrefix, "14", {"14|MA|"}, {"14|UA1|"}},
        NullCase{
            "Continent", &Row::continent, &TQSOData::Continent, "14", {"14|MA|"}, {"14|UA1|"}}),
    [](const ::testing::TestParamInfo<NullCase>& c) { return std::string(c.param.column); });

TEST_F(OdbcRecalc, LongValuesKeepTheirFirst255Bytes) {
    // The cut falls right after "KD", so the oblast comes from there and not
    // from the "MA" at the very end of the stored text.
    const std::string exchange = std::string(253, '1') + "KD" + std::string(743, '1') + "MA";
    const std::string call = "UA3" + std::string(297, 'X');
    // Longer than one read chunk of the query.
    const std::string dxcc = "DL" + std::string(5200, 'Z');
    CreateLog();
    Insert({call, "14", "CW", exchange, dxcc, "UA3A", "EU"});

    ASSERT_EQ(Run(), std::nullopt);
    EXPECT_EQ(record->QSOReportRecived.Str(), exchange.substr(0, 255));
    EXPECT_EQ(record->CallSign.Str(), call.substr(0, 255));
    EXPECT_EQ(record->DXCCPrefix.Str(), dxcc.substr(0, 255));
    EXPECT_EQ(record->MainPrefix.Str(), "UA3A");
    EXPECT_EQ(record->Continent.Str(), "EU");
    EXPECT_EQ(scoring.OblWorked().Keys(), Keys{"14|KD|"});
    EXPECT_EQ(scoring.DxccWorked().Keys(), Keys{"14|" + dxcc.substr(0, 255) + "|"});
}

TEST_F(OdbcRecalc, TextOfEveryLengthAroundTheCutAndTheChunkIsRead) {
    const std::size_t lengths[] = {0,    1,    254,  255,  256,  4094, 4095,
                                   4096, 4097, 8191, 8192, 8193, 20000};
    CreateLog();
    std::set<std::string> calls;
    std::set<std::string> dxccKeys;
    char letter = 'A';
    for (std::size_t n : lengths) {
        const std::string text(n, letter++);
        Insert({text, "14", "CW", "599 " + text, text, text, "EU"});
        calls.insert(text.substr(0, 255));
        dxccKeys.insert("14|" + text.substr(0, 255) + "|");
    }

    ASSERT_EQ(Run(), std::nullopt);
    std::set<std::string> counted;
    for (const TQSO& q : scoring.QSOList().Ordered()) {
        counted.insert(q.CallSign);
    }
    EXPECT_EQ(counted, calls);
    const Keys& keys = scoring.DxccWorked().Keys();
    EXPECT_EQ(std::set<std::string>(keys.begin(), keys.end()), dxccKeys);
    EXPECT_EQ(TotalQSOs(), std::size(lengths));
}

TEST_F(OdbcRecalc, EveryRowReadsAlikeWhateverItsPlaceInTheResult) {
    // The first row of a result is read column by column, the rows after it
    // through buffers the driver fills: NULLs, empty texts and values around
    // the cut must come out the same from both, and in any mix of columns.
    CreateLog();
    const std::vector<std::optional<std::string>> samples = {std::nullopt,
                                                             "",
                                                             "x",
                                                             std::string(254, 'a'),
                                                             std::string(255, 'b'),
                                                             std::string(256, 'c'),
                                                             std::string(300, 'd'),
                                                             std::string(5000, 'e')};
    std::vector<Row> rows;
    for (std::size_t r = 0; r < 3 * samples.size(); ++r) {
        // "C00", "C01", ...: fixes the order of the rows.
        Row row{std::string("C") + char('0' + r / 10) + char('0' + r % 10)};
        Value* columns[] = {&row.band, &row.mode,       &row.exchange,
                            &row.dxcc, &row.mainPrefix, &row.continent};
        for (std::size_t c = 0; c < std::size(columns); ++c) {
            *columns[c] = samples[(r + c * 3) % samples.size()];
        }
        rows.push_back(row);
        Insert(row);
    }

    const Rows read = Select("Select CallSign, DigiBand, QSOMode, QSOReportRecived, DXCCPrefix,"
                             " MainPrefix, Continent from Log order by CallSign",
                             7);
    ASSERT_EQ(read.size(), rows.size());
    const auto expected = [](const Value& v) { return v ? v->substr(0, 255) : std::string(); };
    for (std::size_t r = 0; r < rows.size(); ++r) {
        SCOPED_TRACE("row " + std::to_string(r));
        const Row& row = rows[r];
        const Value* columns[] = {&row.call, &row.band,       &row.mode,     &row.exchange,
                                  &row.dxcc, &row.mainPrefix, &row.continent};
        for (std::size_t c = 0; c < std::size(columns); ++c) {
            EXPECT_EQ(read[r][c], expected(*columns[c])) << "column " << c;
        }
    }
}

TEST_F(OdbcRecalc, ColumnNamesAreFoundWhateverTheirCase) {
    db.Execute("CREATE TABLE Log (callsign TEXT, DIGIBAND TEXT, qsoMode TEXT,"
               " qsoreportrecived TEXT, DxccPrefix TEXT, MAINPREFIX TEXT, continent TEXT)");
    Insert({"UA3ABC", "21", "CW", "599 MA", "UA1", "UA3A", "EU"});
    ASSERT_EQ(Run(), std::nullopt);
    ASSERT_EQ(scoring.StatList().size(), 1u);
    EXPECT_EQ(scoring.StatList()[0], (TStatistic{"21", 1, 1, 1, 1}));
    EXPECT_EQ(record->CallSign.Str(), "UA3ABC");
    EXPECT_EQ(record->MainPrefix.Str(), "UA3A");
}

struct MissingCase {
    std::vector<std::string> missing;
    const char* reported;
};

void PrintTo(const MissingCase& c, std::ostream* os) {
    for (const std::string& name : c.missing) {
        *os << name << ' ';
    }
}

using MissingColumn = OdbcRecalcWith<MissingCase>;

TEST_P(MissingColumn, NamesTheFirstOneInReadingOrderOnceThereIsARow) {
    const MissingCase& c = GetParam();
    std::vector<std::string> present;
    for (std::string_view name : kLogColumns) {
        if (std::find(c.missing.begin(), c.missing.end(), name) == c.missing.end()) {
            present.emplace_back(name);
        }
    }
    std::string columns = "ID INTEGER PRIMARY KEY";
    std::string names;
    std::string values;
    for (const std::string& name : present) {
        columns += ", " + name + " TEXT";
        names += (names.empty() ? "" : ", ") + name;
        values += std::string(values.empty() ? "" : ", ") + "'X'";
    }
    db.Execute("CREATE TABLE Log (" + columns + ")");

    // Nothing is read from an empty table, so nothing is missed.
    EXPECT_EQ(Run(), std::nullopt);
    EXPECT_EQ(window.text, kEmptyText);

    db.Execute("INSERT INTO Log (" + names + ") VALUES (" + values + ")");
    EXPECT_EQ(Run(), "LogQuery: Field '" + std::string(c.reported) + "' not found");
    EXPECT_TRUE(window.enabled);
    EXPECT_EQ(window.text, "");
    EXPECT_TRUE(scoring.StatList().empty());
    EXPECT_TRUE(scoring.QSOList().Empty());

    // The host can go on writing on its connection.
    EXPECT_NO_THROW(db.Execute("INSERT INTO Log (" + names + ") VALUES (" + values + ")"));
    EXPECT_EQ(RowCount(), 2u);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, MissingColumn,
    ::testing::Values(MissingCase{{"QSOReportRecived"}, "QSOReportRecived"},
                      MissingCase{{"Continent", "MainPrefix"}, "MainPrefix"},
                      MissingCase{{"Continent", "QSOMode", "DXCCPrefix"}, "DXCCPrefix"},
                      MissingCase{{"DigiBand"}, "DigiBand"},
                      MissingCase{{"Continent"}, "Continent"},
                      MissingCase{{"QSOMode", "Continent"}, "QSOMode"},
                      MissingCase{{"Continent", "QSOMode", "DigiBand", "MainPrefix", "DXCCPrefix",
                                   "QSOReportRecived"},
                                  "QSOReportRecived"}),
    [](const ::testing::TestParamInfo<MissingCase>& c) {
        std::string name = "Without";
        for (const std::string& column : c.param.missing) {
            name += column;
        }
        return name;
    });

TEST_F(OdbcRecalc, MissingTableReportsTheDriversOwnMessageAndLeavesNothingBehind) {
    CreateLog();
    Insert({"UA3ABC", "14", "CW", "599 MA", "UA1", "UA3A", "EU"});
    ASSERT_EQ(Run(), std::nullopt);
    ASSERT_NE(window.text, "");

    record->TableName.Assign("Nope");
    const std::optional<std::string> failure = Run();
    ASSERT_TRUE(failure.has_value());
    EXPECT_NE(failure->find("no such table"), std::string::npos) << *failure;
    EXPECT_NE(failure->rfind("LogQuery", 0), 0u) << *failure;
    EXPECT_TRUE(window.enabled);
    EXPECT_EQ(window.text, "");
    EXPECT_TRUE(scoring.StatList().empty());

    record->TableName.Assign("Log");
    EXPECT_EQ(Run(), std::nullopt);
    EXPECT_EQ(TotalQSOs(), 1u);
    EXPECT_EQ(window.text, ShowStatistic(scoring.StatList()));
}

TEST_F(OdbcRecalc, TableWithoutCallSignFailsAtOpenWithTheDriversMessage) {
    db.Execute("CREATE TABLE Log (DigiBand TEXT, QSOMode TEXT, QSOReportRecived TEXT,"
               " DXCCPrefix TEXT, MainPrefix TEXT, Continent TEXT)");
    for (int rows = 0; rows < 2; ++rows) {
        const std::optional<std::string> failure = Run();
        ASSERT_TRUE(failure.has_value()) << rows << " rows";
        EXPECT_NE(failure->find("CallSign"), std::string::npos) << *failure;
        EXPECT_NE(failure->rfind("LogQuery", 0), 0u) << *failure;
        EXPECT_TRUE(window.enabled);
        db.Execute("INSERT INTO Log VALUES ('14', 'CW', '599 MA', 'UA1', 'UA3A', 'EU')");
    }
}

TEST_F(OdbcRecalc, ExtraColumnsInAnyOrderAreIgnored) {
    db.Execute("CREATE TABLE Log (ID INTEGER PRIMARY KEY, QSODateTime TEXT, Continent TEXT,"
               " Frequency REAL, MainPrefix TEXT, DXCCPrefix TEXT, RSTSent TEXT,"
               " QSOReportRecived TEXT, RSTRecived TEXT, QSOMode TEXT, DigiBand TEXT,"
               " CallSign TEXT, Comment TEXT)");
    const std::string comment(6000, 'c');
    db.Execute("INSERT INTO Log (QSODateTime, Continent, Frequency, MainPrefix, DXCCPrefix,"
               " RSTSent, QSOReportRecived, RSTRecived, QSOMode, DigiBand, CallSign, Comment)"
               " VALUES ('2027-01-02 12:00:00', 'EU', 14012.5, 'UA3A', 'UA1', '599', '599 MA',"
               " '579', 'CW', '14', 'UA3ABC', '" +
               comment + "')");
    db.Execute("INSERT INTO Log (QSODateTime, Continent, Frequency, MainPrefix, DXCCPrefix,"
               " RSTSent, QSOReportRecived, RSTRecived, QSOMode, DigiBand, CallSign)"
               " VALUES ('2027-01-02 12:01:00', 'AS', 7003.1, 'UA9A', 'UA9', '599', '599 CB',"
               " '599', 'CW', '7', 'UA9ABC')");

    ASSERT_EQ(Run(), std::nullopt);
    ASSERT_EQ(scoring.StatList().size(), 2u);
    EXPECT_EQ(scoring.StatList()[0], (TStatistic{"14", 1, 1, 1, 1}));
    EXPECT_EQ(scoring.StatList()[1], (TStatistic{"7", 1, 1, 1, 1}));
    EXPECT_EQ(scoring.OblWorked().Keys(), (Keys{"14|MA|", "7|CB|"}));
    EXPECT_EQ(scoring.DxccWorked().Keys(), (Keys{"14|UA1|", "7|UA9|"}));
    EXPECT_EQ(record->CallSign.Str(), "UA9ABC");
    EXPECT_EQ(record->QSOMode.Str(), "CW");
    EXPECT_EQ(record->QSOReportRecived.Str(), "599 CB");
    EXPECT_EQ(record->Continent.Str(), "AS");
}

TEST_F(OdbcRecalc, WorkingRecordKeepsItsBandAndHostDataAndTakesTheLastRowsOtherFields) {
    CreateLog();
    // Stored first, read last: the rows come in CallSign order.
    Insert({"UA9ZZZ", "14", "SSB", "59 cb", "UA9", "UA9A", "as"});
    Insert({"UA1AAA", "7", "CW", "599 SP", "UA1", "UA1A", "eu"});
    record->DigiBand.Assign("7");
    auto before = NewRecord();
    std::memcpy(before.get(), record.get(), sizeof(TQSOData));

    ASSERT_EQ(Run(), std::nullopt);
    EXPECT_EQ(record->DigiBand.Str(), "7");
    EXPECT_EQ(record->CallSign.Str(), "UA9ZZZ");
    EXPECT_EQ(record->QSOMode.Str(), "SSB");
    EXPECT_EQ(record->QSOReportRecived.Str(), "59 cb");
    EXPECT_EQ(record->DXCCPrefix.Str(), "UA9");
    EXPECT_EQ(record->MainPrefix.Str(), "UA9A");
    EXPECT_EQ(record->Continent.Str(), "AS");
    EXPECT_EQ(record->TableName.Str(), "Log");
    EXPECT_EQ(std::memcmp(record->Connection, before->Connection, 12), 0);
    EXPECT_EQ(std::memcmp(record->reserved524, before->reserved524, 16), 0);
    EXPECT_EQ(std::memcmp(record->reserved1564, before->reserved1564, 768), 0);
    EXPECT_EQ(std::memcmp(record->reserved2844, before->reserved2844, 1024), 0);
    EXPECT_EQ(std::memcmp(&record->CaptionPrefix, &before->CaptionPrefix, 256 + 1792), 0);

    // The band counted for each row is the row's own.
    ASSERT_EQ(scoring.StatList().size(), 2u);
    EXPECT_EQ(scoring.StatList()[0], (TStatistic{"7", 1, 1, 1, 1}));
    EXPECT_EQ(scoring.StatList()[1], (TStatistic{"14", 1, 1, 1, 1}));
}

TEST_F(OdbcRecalc, CaseInsensitiveCallSignOrderHidesNoDuplicate) {
    CreateLog("Log", "COLLATE NOCASE");
    // Spellings that the table's collation sorts side by side, with real
    // repeats scattered among them.
    const std::vector<std::tuple<std::string, std::string, std::string>> contacts = {
        {"UA3ABC", "14", "CW"},  {"ua3abc", "14", "CW"},  {"UA3ABC/P", "14", "CW"},
        {"UA3AB", "14", "CW"},   {"UA3ABC", "14", "CW"},  {"UA3AB/P", "14", "CW"},
        {"ua3abc", "14", "CW"},  {"Ua3Abc", "14", "CW"},  {"UA3ABC/P", "14", "CW"},
        {"ua3ab", "14", "CW"},   {"UA3AB", "14", "CW"},   {"UA3ABC", "14", "SSB"},
        {"ua3abc", "7", "CW"},   {"UA3ABC", "14", "CW"},  {"ua3abc/p", "14", "CW"},
        {"UA3AB/P", "14", "CW"}, {"UA3ABC", "14", "SSB"}, {"Ua3Abc", "14", "CW"},
    };
    for (const auto& [call, band, mode] : contacts) {
        Insert({call, band, mode, "599 MA", "UA1", "UA3A", "EU"});
    }
    const std::set<std::tuple<std::string, std::string, std::string>> distinct(contacts.begin(),
                                                                               contacts.end());
    ASSERT_LT(distinct.size(), contacts.size());

    ASSERT_EQ(Run(), std::nullopt);
    EXPECT_EQ(TotalQSOs(), distinct.size());
    EXPECT_EQ(scoring.QSOList().Size(), distinct.size());
}

// Statement handles allocated and freed through the query's function table.
int g_statementsAllocated = 0;
int g_statementsFreed = 0;

SQLRETURN CountingAllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* output) {
    const SQLRETURN rc = ::SQLAllocHandle(type, input, output);
    if (type == SQL_HANDLE_STMT && SQL_SUCCEEDED(rc)) {
        ++g_statementsAllocated;
    }
    return rc;
}

SQLRETURN CountingFreeHandle(SQLSMALLINT type, SQLHANDLE handle) {
    const SQLRETURN rc = ::SQLFreeHandle(type, handle);
    if (type == SQL_HANDLE_STMT && SQL_SUCCEEDED(rc)) {
        ++g_statementsFreed;
    }
    return rc;
}

odbc::Api CountingApi() {
    odbc::Api api = odbc::RealApi();
    api.AllocHandle = &CountingAllocHandle;
    api.FreeHandle = &CountingFreeHandle;
    return api;
}

TEST_F(OdbcRecalc, EveryStatementIsFreedWhenTheRecalculationEndsWellOrBadly) {
    CreateLog();
    Insert({"UA3ABC", "14", "CW", "599 MA", "UA1", "UA3A", "EU"});
    db.Execute("CREATE TABLE NoMode (CallSign TEXT, DigiBand TEXT)");
    db.Execute("INSERT INTO NoMode VALUES ('UA3ABC', '14')");
    const odbc::Api api = CountingApi();
    odbc::OdbcLogQuery counted(db.Handle(), api);
    Recalc r{scoring, *record, counted, window, window.enabled};

    for (const char* table : {"Log", "NoMode", "Nope", "Log; DELETE FROM Log", "Log"}) {
        g_statementsAllocated = 0;
        g_statementsFreed = 0;
        record->TableName.Assign(table);
        try {
            RecalcStatisticExecute(r);
        } catch (const Error&) {
        }
        EXPECT_EQ(g_statementsFreed, g_statementsAllocated) << table;
        EXPECT_FALSE(counted.Active()) << table;
        EXPECT_TRUE(window.enabled) << table;
        EXPECT_NO_THROW(db.Execute("INSERT INTO Log (CallSign) VALUES ('HOST')")) << table;
    }
    EXPECT_EQ(RowCount(), 6u);
}

TEST_F(OdbcRecalc, RecalculationNeverChangesTheLog) {
    CreateLog();
    Insert({"UA3ABC", "14", "CW", "599 ma", "UA1", "UA3A", "eu"});
    Insert({"UA3ABC", "14", "CW", "599 MA", "UA1", "UA3A", "EU"});
    Insert({"DL1AA", std::nullopt, "CW", std::nullopt, "DL", std::nullopt, "eu"});
    Insert({"ua9abc", "7", "SSB", "59 CB", "UA9", "UA9A", "as"});
    const Rows before = Content();
    ASSERT_EQ(before.size(), 4u);

    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(Run(), std::nullopt);
        EXPECT_EQ(Content(), before);
    }

    // The host logs the next contact on its connection right away.
    EXPECT_NO_THROW(Insert({"UA1AAA", "7", "CW", "599 SP", "UA1", "UA1A", "EU"}));
    EXPECT_EQ(RowCount(), 5u);
}

TEST_F(OdbcRecalc, TableNameHoldingASemicolonIsRefusedAndTheTableSurvives) {
    CreateLog();
    Insert({"UA3ABC", "14", "CW", "599 MA", "UA1", "UA3A", "EU"});
    const Rows before = Content();
    for (const char* table :
         {"Log; DROP TABLE Log", "Log;", "Log; DELETE FROM Log; --", "Log;\nDROP TABLE Log"}) {
        record->TableName.Assign(table);
        const std::optional<std::string> failure = Run();
        ASSERT_TRUE(failure.has_value()) << table;
        EXPECT_EQ(failure->rfind("LogQuery:", 0), 0u) << *failure;
        EXPECT_TRUE(window.enabled);
        EXPECT_EQ(window.text, "");
        EXPECT_EQ(Content(), before) << table;
    }
}

TEST_F(OdbcRecalc, QuotedAndBracketedTableNamesAreUsedAsTheyStand) {
    CreateLog("\"My Log\"");
    Insert({"UA3ABC", "14", "CW", "599 MA", "UA1", "UA3A", "EU"}, "\"My Log\"");
    Insert({"DL1AA", "7", "CW", "599 001", "DL", "DL", "EU"}, "\"My Log\"");
    for (const char* table : {"\"My Log\"", "[My Log]", "`My Log`", "main.\"My Log\""}) {
        record->TableName.Assign(table);
        EXPECT_EQ(Run(), std::nullopt) << table;
        EXPECT_EQ(TotalQSOs(), 2u) << table;
    }

    // Unquoted, the name is two words and the driver says what it makes of them.
    record->TableName.Assign("My Log");
    const std::optional<std::string> failure = Run();
    ASSERT_TRUE(failure.has_value());
    EXPECT_NE(failure->rfind("LogQuery", 0), 0u) << *failure;
}

TEST_F(OdbcRecalc, HostEventsRunOnlyWhileNoCursorIsOpen) {
    CreateLog();
    Insert({"UA3ABC", "14", "CW", "599 MA", "UA1", "UA3A", "EU"});
    Insert({"DL1AA", "14", "CW", "599 001", "DL", "DL", "EU"});

    // The host logs a contact and presses the button again whenever it gets
    // the chance.
    class BusyHost : public test::FakeWindow {
    public:
        OdbcRecalc* test = nullptr;
        Recalc* recalc = nullptr;
        std::vector<bool> cursorOpen;
        std::vector<bool> enabledThen;

        void ProcessMessages() override {
            test::FakeWindow::ProcessMessages();
            cursorOpen.push_back(test->query.Active());
            enabledThen.push_back(enabled);
            test->Insert({"HOST" + std::to_string(messageRounds), "21", "CW"});
            if (messageRounds == 2) {
                RecalcStatisticIfEnabled(*recalc); // ignored: one is running
            }
        }
    } host;
    host.test = this;
    Recalc r{scoring, *record, query, host, host.enabled};
    host.recalc = &r;

    ASSERT_NO_THROW(RecalcStatisticIfEnabled(r));
    EXPECT_EQ(host.cursorOpen, std::vector<bool>(host.cursorOpen.size(), false));
    ASSERT_EQ(host.messageRounds, 2);
    EXPECT_EQ(host.enabledThen, (std::vector<bool>{true, false}));
    EXPECT_TRUE(host.enabled);
    // The contact logged before the read is counted, the one logged after it
    // is not.
    EXPECT_EQ(TotalQSOs(), 3u);
    EXPECT_EQ(host.text, ShowStatistic(scoring.StatList()));
    EXPECT_EQ(RowCount(), 4u);
}

TEST_F(OdbcRecalc, GeneratedLogScoresAsCountingTheSameContactsInProcess) {
    const auto contacts = loggen::Generate({2000, 11});
    db.Execute("CREATE TABLE Log (ID INTEGER PRIMARY KEY, QSODateTime TEXT, CallSign TEXT,"
               " Frequency TEXT, DigiBand TEXT, QSOMode TEXT, RSTSent TEXT, RSTRecived TEXT,"
               " QSOReportRecived TEXT, DXCCPrefix TEXT, MainPrefix TEXT, Continent TEXT)");
    db.Execute("BEGIN");
    for (const loggen::Contact& c : contacts) {
        db.Execute("INSERT INTO Log (QSODateTime, CallSign, Frequency, DigiBand, QSOMode,"
                   " RSTSent, RSTRecived, QSOReportRecived, DXCCPrefix, MainPrefix, Continent)"
                   " VALUES (" +
                   Literal(c.QSODateTime) + ", " + Literal(c.CallSign) + ", " +
                   Literal(c.Frequency) + ", " + Literal(c.DigiBand) + ", " + Literal(c.QSOMode) +
                   ", " + Literal(c.RSTSent) + ", " + Literal(c.RSTRecived) + ", " +
                   Literal(c.QSOReportRecived) + ", " + Literal(c.DXCCPrefix) + ", " +
                   Literal(c.MainPrefix) + ", " + Literal(c.Continent) + ")");
    }
    db.Execute("COMMIT");

    ASSERT_EQ(Run(), std::nullopt);

    std::vector<loggen::Contact> sorted = contacts;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const loggen::Contact& a, const loggen::Contact& b) {
                         return CompareOrdinal(a.CallSign, b.CallSign) < 0;
                     });
    TScoring expected(CLibraryKeyEquality());
    auto rec = NewRecord();
    for (const loggen::Contact& c : sorted) {
        loggen::FillRecord(*rec, c);
        expected.CountQSO(*rec, true);
    }
    ASSERT_GT(expected.StatList().size(), 5u);
    EXPECT_EQ(scoring.StatList(), expected.StatList());
    EXPECT_EQ(window.text, ShowStatistic(expected.StatList()));
    // Rows of one call sign come in an order of the database's choosing, which
    // decides the order of the worked keys but not which keys there are.
    EXPECT_EQ(Sorted(scoring.OblWorked().Keys()), Sorted(expected.OblWorked().Keys()));
    EXPECT_EQ(Sorted(scoring.DxccWorked().Keys()), Sorted(expected.DxccWorked().Keys()));
    EXPECT_EQ(scoring.QSOList().Ordered(), expected.QSOList().Ordered());
    EXPECT_LT(TotalQSOs(), contacts.size());
}

} // namespace
} // namespace morvel
