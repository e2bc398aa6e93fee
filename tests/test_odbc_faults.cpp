// The log recalculation with one ODBC call failing: a real SQLite log read
// through the SQLite3 driver, with a function table that forwards every call to
// the driver manager except the one chosen to fail.
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
#include <array>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace morvel {
namespace {

// The functions of the table, in the order of odbc::Api.
enum Function : std::size_t {
    kAllocHandle,
    kFreeHandle,
    kSetStmtAttr,
    kExecDirect,
    kNumResultCols,
    kDescribeCol,
    kFetch,
    kGetData,
    kGetDiagRec,
    kBindCol,
    kFunctionCount
};

constexpr std::array<const char*, kFunctionCount> kFunctionNames = {
    "SQLAllocHandle", "SQLFreeHandle", "SQLSetStmtAttr", "SQLExecDirect", "SQLNumResultCols",
    "SQLDescribeCol", "SQLFetch",      "SQLGetData",     "SQLGetDiagRec", "SQLBindCol"};

// What the chosen call does instead of its work.
enum class Fault {
    Error,           // SQL_ERROR with a record "08S01", as a lost connection leaves it
    SilentError,     // SQL_ERROR and no diagnostic record at all
    InvalidHandle,   // SQL_INVALID_HANDLE, which leaves no record either
    NoData,          // SQL_NO_DATA: the result ends here
    SuccessWithInfo, // the call does its work and reports SQL_SUCCESS_WITH_INFO
    NoTotal,         // the call does its work, and every length it reports for a value
                     // (SQLGetData's, or each bound column's at SQLFetch) is SQL_NO_TOTAL;
                     // with SQL_SUCCESS the whole value is in the buffer, zero-terminated
    WarnsForEver,    // this SQLGetData and every one after it answer the first chunk the
                     // driver gave for their column again, with SQL_SUCCESS_WITH_INFO and
                     // SQL_NO_TOTAL, however often they are asked
};

// Which call fails: the nth of every call through the table, or the nth call
// of one function.
struct Schedule {
    const char* name;
    std::optional<Function> function;
    Fault fault;
};

// The state behind the fake table. odbc::Api holds plain function pointers,
// so the functions reach it through a global.
class Injector {
public:
    // Counting.
    int calls = 0;
    std::array<int, kFunctionCount> callsOf{};
    std::array<int, kFunctionCount> succeededOf{};
    // The injected failure, once it has happened.
    bool hit = false;
    Function failed = kFunctionCount;
    int failedCall = 0; // as the schedule counts
    // Statement handles.
    int allocated = 0;
    int freed = 0;
    std::set<SQLHANDLE> live;
    int strayUses = 0; // calls with a statement handle that is not (or no longer) allocated
    // The indicators of each statement's bound columns, which SQLFetch writes.
    std::map<SQLHANDLE, std::vector<SQLLEN*>> boundIndicators;
    // Fault::WarnsForEver has struck: SQLGetData goes to Repeat from now on.
    bool warnsForEver = false;

    // Makes the nth call (1-based, as the schedule counts) fail; 0: none.
    void Arm(const Schedule& schedule, int n, std::string message = {}) {
        *this = Injector();
        m_schedule = schedule;
        m_n = n;
        m_message = std::move(message);
    }

    // One call of a function that works on `handle` (the input handle for
    // SQLAllocHandle). Every call but SQLGetDiagRec replaces the handle's
    // diagnostics, as a driver's do. `hideLengths` turns the lengths the
    // call has just reported into SQL_NO_TOTAL.
    template <class Forward, class HideLengths = void (*)()>
    SQLRETURN Call(
        Function fn, SQLHANDLE handle, Forward forward, HideLengths hideLengths = [] {}) {
        ++calls;
        const int nth = ++callsOf[fn];
        if (fn != kGetDiagRec) {
            m_records.erase(handle);
            m_silent.erase(handle);
        }
        const int counted = m_schedule.function ? nth : calls;
        const bool due = !hit && m_n > 0 && counted == m_n &&
                         (!m_schedule.function || *m_schedule.function == fn);
        if (!due) {
            return Count(fn, forward());
        }
        hit = true;
        failed = fn;
        failedCall = counted;
        switch (m_schedule.fault) {
        case Fault::Error:
            m_records[handle] = {"08S01",
                                 m_message.empty() ? InjectedText(fn, counted) : m_message};
            return SQL_ERROR;
        case Fault::SilentError:
            m_silent[handle] = SQL_NO_DATA;
            return SQL_ERROR;
        case Fault::InvalidHandle:
            m_silent[handle] = SQL_INVALID_HANDLE;
            return SQL_INVALID_HANDLE;
        case Fault::NoData:
            return SQL_NO_DATA;
        case Fault::SuccessWithInfo: {
            SQLRETURN rc = forward();
            if (rc == SQL_SUCCESS) {
                rc = SQL_SUCCESS_WITH_INFO;
                m_records[handle] = {"01000",
                                     std::string("injected warning in ") + kFunctionNames[fn]};
            }
            return Count(fn, rc);
        }
        case Fault::WarnsForEver:
            warnsForEver = true;
            return Count(fn, forward());
        case Fault::NoTotal: {
            const SQLRETURN rc = forward();
            if (SQL_SUCCEEDED(rc)) {
                hideLengths();
            }
            return Count(fn, rc);
        }
        }
        return SQL_ERROR;
    }

    // SQLGetDiagRec: the injected record for a handle whose last call failed
    // here, the driver's own otherwise.
    SQLRETURN Record(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT number, SQLCHAR* state,
                     SQLINTEGER* native, SQLCHAR* text, SQLSMALLINT size, SQLSMALLINT* length) {
        if (const auto silent = m_silent.find(handle); silent != m_silent.end()) {
            return silent->second;
        }
        const auto found = m_records.find(handle);
        if (found == m_records.end()) {
            return odbc::RealApi().GetDiagRec(type, handle, number, state, native, text, size,
                                              length);
        }
        if (number != 1) {
            return SQL_NO_DATA;
        }
        const auto& [sqlState, message] = found->second;
        if (state != nullptr) {
            std::memcpy(state, sqlState.c_str(), sqlState.size() + 1);
        }
        if (native != nullptr) {
            *native = 0;
        }
        if (length != nullptr) {
            *length = static_cast<SQLSMALLINT>(std::min<std::size_t>(message.size(), SHRT_MAX));
        }
        if (text == nullptr || size <= 0) {
            return SQL_SUCCESS_WITH_INFO;
        }
        const std::size_t n = std::min(message.size(), static_cast<std::size_t>(size) - 1);
        std::memcpy(text, message.data(), n);
        text[n] = '\0';
        return n < message.size() ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
    }

    // SQLGetData once Fault::WarnsForEver has struck. Past 1000 calls it
    // fails instead, so that a reader that would go on for ever ends.
    SQLRETURN Repeat(SQLHSTMT statement, SQLUSMALLINT column, SQLPOINTER buffer, SQLLEN size,
                     SQLLEN* indicator) {
        if (++m_repeats > 1000) {
            m_silent[statement] = SQL_NO_DATA;
            return SQL_ERROR;
        }
        auto chunk = m_chunks.find(column);
        if (chunk == m_chunks.end()) {
            std::vector<char> text(static_cast<std::size_t>(std::max<SQLLEN>(size, 1)));
            SQLLEN length = 0;
            const SQLRETURN rc =
                odbc::RealApi().GetData(statement, column, SQL_C_CHAR, text.data(), size, &length);
            if (!SQL_SUCCEEDED(rc)) {
                return rc;
            }
            text.resize(length == SQL_NULL_DATA ? 0 : std::strlen(text.data()));
            chunk = m_chunks.emplace(column, std::make_pair(length == SQL_NULL_DATA, text)).first;
        }
        const auto& [null, text] = chunk->second;
        *indicator = null ? SQL_NULL_DATA : SQL_NO_TOTAL;
        if (!null && size > 0) {
            const std::size_t n = std::min(text.size(), static_cast<std::size_t>(size) - 1);
            std::memcpy(buffer, text.data(), n);
            static_cast<char*>(buffer)[n] = '\0';
        }
        return SQL_SUCCESS_WITH_INFO;
    }

    // A new row: Repeat asks the driver for each column's chunk anew.
    void RowFetched() { m_chunks.clear(); }

    void StatementUsed(SQLHANDLE statement) {
        if (live.count(statement) == 0) {
            ++strayUses;
        }
    }

    static std::string InjectedText(Function fn, int call) {
        return std::string("injected failure in ") + kFunctionNames[fn] + " (call " +
               std::to_string(call) + ")";
    }

private:
    SQLRETURN Count(Function fn, SQLRETURN rc) {
        if (SQL_SUCCEEDED(rc)) {
            ++succeededOf[fn];
        }
        return rc;
    }

    Schedule m_schedule{"", std::nullopt, Fault::Error};
    int m_n = 0;
    std::string m_message;
    std::map<SQLHANDLE, std::pair<std::string, std::string>> m_records; // state, message
    std::map<SQLHANDLE, SQLRETURN> m_silent; // what SQLGetDiagRec answers instead of a record
    std::map<SQLUSMALLINT, std::pair<bool, std::vector<char>>> m_chunks; // column: NULL, text
    int m_repeats = 0;
};

Injector g_injector;

const odbc::Api& Real() {
    return odbc::RealApi();
}

SQLRETURN SQL_API FakeAllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* output) {
    if (output != nullptr) {
        *output = SQL_NULL_HANDLE; // what a failed allocation leaves
    }
    return g_injector.Call(kAllocHandle, input, [&] {
        const SQLRETURN rc = Real().AllocHandle(type, input, output);
        if (type == SQL_HANDLE_STMT && SQL_SUCCEEDED(rc)) {
            ++g_injector.allocated;
            g_injector.live.insert(*output);
        }
        return rc;
    });
}

SQLRETURN SQL_API FakeFreeHandle(SQLSMALLINT type, SQLHANDLE handle) {
    if (type == SQL_HANDLE_STMT) {
        g_injector.StatementUsed(handle);
    }
    return g_injector.Call(kFreeHandle, handle, [&] {
        const SQLRETURN rc = Real().FreeHandle(type, handle);
        if (type == SQL_HANDLE_STMT && SQL_SUCCEEDED(rc) && g_injector.live.erase(handle) > 0) {
            ++g_injector.freed;
            g_injector.boundIndicators.erase(handle);
        }
        return rc;
    });
}

SQLRETURN SQL_API FakeSetStmtAttr(SQLHSTMT statement, SQLINTEGER attribute, SQLPOINTER value,
                                  SQLINTEGER length) {
    g_injector.StatementUsed(statement);
    return g_injector.Call(kSetStmtAttr, statement,
                           [&] { return Real().SetStmtAttr(statement, attribute, value, length); });
}

SQLRETURN SQL_API FakeExecDirect(SQLHSTMT statement, SQLCHAR* text, SQLINTEGER length) {
    g_injector.StatementUsed(statement);
    return g_injector.Call(kExecDirect, statement,
                           [&] { return Real().ExecDirect(statement, text, length); });
}

SQLRETURN SQL_API FakeNumResultCols(SQLHSTMT statement, SQLSMALLINT* count) {
    g_injector.StatementUsed(statement);
    return g_injector.Call(kNumResultCols, statement,
                           [&] { return Real().NumResultCols(statement, count); });
}

SQLRETURN SQL_API FakeDescribeCol(SQLHSTMT statement, SQLUSMALLINT column, SQLCHAR* name,
                                  SQLSMALLINT size, SQLSMALLINT* length, SQLSMALLINT* type,
                                  SQLULEN* columnSize, SQLSMALLINT* digits, SQLSMALLINT* nullable) {
    g_injector.StatementUsed(statement);
    return g_injector.Call(kDescribeCol, statement, [&] {
        return Real().DescribeCol(statement, column, name, size, length, type, columnSize, digits,
                                  nullable);
    });
}

// Runs before each SQLFetch that goes on to the driver; the test of a
// connection lost between two rows uses it.
std::function<void(int fetch)> g_beforeFetch;

SQLRETURN SQL_API FakeFetch(SQLHSTMT statement) {
    g_injector.StatementUsed(statement);
    return g_injector.Call(
        kFetch, statement,
        [&] {
            if (g_beforeFetch) {
                g_beforeFetch(g_injector.callsOf[kFetch]);
            }
            g_injector.RowFetched();
            return Real().Fetch(statement);
        },
        [&] {
            for (SQLLEN* indicator : g_injector.boundIndicators[statement]) {
                if (indicator != nullptr && *indicator != SQL_NULL_DATA) {
                    *indicator = SQL_NO_TOTAL;
                }
            }
        });
}

SQLRETURN SQL_API FakeGetData(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT type,
                              SQLPOINTER buffer, SQLLEN size, SQLLEN* indicator) {
    g_injector.StatementUsed(statement);
    return g_injector.Call(
        kGetData, statement,
        [&] {
            return g_injector.warnsForEver
                       ? g_injector.Repeat(statement, column, buffer, size, indicator)
                       : Real().GetData(statement, column, type, buffer, size, indicator);
        },
        [&] {
            if (indicator != nullptr && *indicator != SQL_NULL_DATA) {
                *indicator = SQL_NO_TOTAL;
            }
        });
}

SQLRETURN SQL_API FakeGetDiagRec(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT number,
                                 SQLCHAR* state, SQLINTEGER* native, SQLCHAR* text,
                                 SQLSMALLINT size, SQLSMALLINT* length) {
    if (type == SQL_HANDLE_STMT) {
        g_injector.StatementUsed(handle);
    }
    return g_injector.Call(kGetDiagRec, handle, [&] {
        return g_injector.Record(type, handle, number, state, native, text, size, length);
    });
}

SQLRETURN SQL_API FakeBindCol(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT type,
                              SQLPOINTER buffer, SQLLEN size, SQLLEN* indicator) {
    g_injector.StatementUsed(statement);
    return g_injector.Call(kBindCol, statement, [&] {
        const SQLRETURN rc = Real().BindCol(statement, column, type, buffer, size, indicator);
        if (SQL_SUCCEEDED(rc)) {
            g_injector.boundIndicators[statement].push_back(indicator);
        }
        return rc;
    });
}

odbc::Api FaultApi() {
    return {&FakeAllocHandle,   &FakeFreeHandle,  &FakeSetStmtAttr, &FakeExecDirect,
            &FakeNumResultCols, &FakeDescribeCol, &FakeFetch,       &FakeGetData,
            &FakeGetDiagRec,    &FakeBindCol};
}

// The band the host's record holds when the action runs; no row has it.
constexpr const char* kHostBand = "50";

std::string Literal(const std::string& v) {
    std::string out = "'";
    for (char c : v) {
        out += c;
        if (c == '\'') {
            out += '\'';
        }
    }
    return out + "'";
}

// A table shaped like the host's log, the recalculation's query on it through
// the fault table, and the contacts in the order that query returns them.
class OdbcFaults : public ::testing::Test {
public:
    test::TempFile file;
    std::unique_ptr<odbc::Connection> db;
    odbc::Api api = FaultApi(); // the query keeps a pointer to it
    std::unique_ptr<odbc::OdbcLogQuery> query;
    TScoring scoring{CLibraryKeyEquality()};
    std::unique_ptr<TQSOData> record = std::make_unique<TQSOData>();
    std::unique_ptr<TQSOData> hostRecord = std::make_unique<TQSOData>();
    test::FakeWindow window;
    std::unique_ptr<Recalc> recalc;
    std::vector<loggen::Contact> contacts;
    std::vector<loggen::Contact> readOrder;
    std::string fullText;

    void SetUp() override { Connect(odbc::SqliteConnectionString(file.path())); }

    void TearDown() override {
        g_beforeFetch = nullptr;
        g_injector.Arm({"", std::nullopt, Fault::Error}, 0);
    }

    void Connect(const std::string& connectionString) {
        recalc.reset();
        query.reset();
        db = std::make_unique<odbc::Connection>(connectionString);
        query = std::make_unique<odbc::OdbcLogQuery>(db->Handle(), api);
        recalc = std::make_unique<Recalc>(Recalc{scoring, *record, *query, window, window.enabled});
        std::memset(hostRecord.get(), 0xA5, sizeof(TQSOData));
        hostRecord->TableName.Assign("Log");
        hostRecord->DigiBand.Assign(kHostBand);
        std::memcpy(record.get(), hostRecord.get(), sizeof(TQSOData));
    }

    // The generated contacts with a few repeats added (some exact, some with
    // another exchange), each row padded with `padding` bytes of comment.
    void CreateLog(std::size_t count, std::size_t padding = 0) {
        contacts = loggen::Generate({count, 29, 0.1});
        for (std::size_t i = 0; i < contacts.size() && i < 24; i += 4) {
            loggen::Contact again = contacts[i];
            if (i % 8 == 0) {
                again.QSOReportRecived = "599 " + std::to_string(100 + i);
            }
            contacts.push_back(again);
        }
        db->Execute("CREATE TABLE Log (ID INTEGER PRIMARY KEY, QSODateTime TEXT, CallSign TEXT,"
                    " Frequency TEXT, DigiBand TEXT, QSOMode TEXT, RSTSent TEXT, RSTRecived TEXT,"
                    " QSOReportRecived TEXT, DXCCPrefix TEXT, MainPrefix TEXT, Continent TEXT,"
                    " Comment TEXT)");
        db->Execute("BEGIN");
        for (const loggen::Contact& c : contacts) {
            db->Execute("INSERT INTO Log (QSODateTime, CallSign, Frequency, DigiBand, QSOMode,"
                        " RSTSent, RSTRecived, QSOReportRecived, DXCCPrefix, MainPrefix,"
                        " Continent, Comment) VALUES (" +
                        Literal(c.QSODateTime) + ", " + Literal(c.CallSign) + ", " +
                        Literal(c.Frequency) + ", " + Literal(c.DigiBand) + ", " +
                        Literal(c.QSOMode) + ", " + Literal(c.RSTSent) + ", " +
                        Literal(c.RSTRecived) + ", " + Literal(c.QSOReportRecived) + ", " +
                        Literal(c.DXCCPrefix) + ", " + Literal(c.MainPrefix) + ", " +
                        Literal(c.Continent) + ", " + Literal(std::string(padding, 'c')) + ")");
        }
        db->Execute("COMMIT");

        // Rows of one call sign come in an order of the database's choosing:
        // ask it, with the recalculation's own SQL text.
        readOrder.clear();
        odbc::OdbcLogQuery reader(db->Handle());
        reader.Open(LogQueryText("Log"));
        const int id = reader.FieldIndex("ID").value();
        while (!reader.Eof()) {
            std::string value;
            reader.ReadRow(&id, &value, 1);
            readOrder.push_back(contacts.at(std::stoul(value) - 1));
            reader.Next();
        }
        ASSERT_EQ(readOrder.size(), contacts.size());

        TScoring all(CLibraryKeyEquality());
        ScoreFirst(all, readOrder.size());
        fullText = ShowStatistic(all.StatList());
    }

    // Counts the first `rows` rows as the host would have logged them.
    void ScoreFirst(TScoring& target, std::size_t rows) const {
        auto rec = std::make_unique<TQSOData>();
        std::memcpy(rec.get(), hostRecord.get(), sizeof(TQSOData));
        for (std::size_t i = 0; i < rows; ++i) {
            loggen::FillRecord(*rec, readOrder[i]);
            target.CountQSO(*rec, true);
        }
    }

    // The scoring state is exactly that of the first `rows` rows.
    void ExpectCounted(std::size_t rows) const {
        TScoring expected(CLibraryKeyEquality());
        ScoreFirst(expected, rows);
        EXPECT_EQ(scoring.StatList(), expected.StatList());
        EXPECT_EQ(scoring.QSOList().Ordered(), expected.QSOList().Ordered());
        EXPECT_EQ(scoring.OblWorked().Keys(), expected.OblWorked().Keys());
        EXPECT_EQ(scoring.DxccWorked().Keys(), expected.DxccWorked().Keys());
    }

    // Runs the action as the button does; the failure's message, or nothing.
    std::optional<std::string> Run() {
        try {
            RecalcStatisticExecute(*recalc);
        } catch (const Error& e) {
            return std::string(e.what());
        }
        return std::nullopt;
    }

    // A recalculation on the same connection and query object that must read
    // everything.
    void ExpectCompleteRecalculation() {
        const std::string band = record->DigiBand.Str();
        ASSERT_EQ(Run(), std::nullopt);
        EXPECT_EQ(window.text, fullText);
        EXPECT_TRUE(window.enabled);
        EXPECT_FALSE(query->Active());
        EXPECT_EQ(record->DigiBand.Str(), band);
        ExpectCounted(readOrder.size());
    }

    // One recalculation with the schedule's nth call failing, checked; false
    // once a run no longer reaches the nth call.
    bool RunWithFault(const Schedule& schedule, int n) {
        SCOPED_TRACE(std::string(schedule.name) + ", call " + std::to_string(n));
        std::memcpy(record.get(), hostRecord.get(), sizeof(TQSOData));
        window.text = "(untouched)";
        api = FaultApi();
        g_injector.Arm(schedule, n);
        const std::optional<std::string> failure = Run();
        const Injector seen = g_injector;
        g_injector.Arm(schedule, 0);

        EXPECT_EQ(seen.freed, seen.allocated);
        EXPECT_TRUE(seen.live.empty());
        EXPECT_EQ(seen.strayUses, 0);
        EXPECT_FALSE(query->Active());
        EXPECT_TRUE(window.enabled);
        if (!seen.hit) {
            EXPECT_EQ(failure, std::nullopt);
            EXPECT_EQ(window.text, fullText);
            ExpectCounted(readOrder.size());
            return false;
        }

        // The attributes are advice, the statement is done with when it is
        // freed, a column the driver will not bind is read with SQLGetData,
        // a warning is a success, and a value reads the same whether or not
        // the driver tells its length, and however often it warns about it.
        const bool harmless = seen.failed == kSetStmtAttr || seen.failed == kFreeHandle ||
                              seen.failed == kBindCol || schedule.fault == Fault::SuccessWithInfo ||
                              schedule.fault == Fault::NoTotal ||
                              schedule.fault == Fault::WarnsForEver;
        const bool endsEarly = schedule.fault == Fault::NoData;
        // A row counts once all its columns are read, so a failure in
        // SQLGetData loses the row its last successful SQLFetch stood on.
        std::size_t rows = static_cast<std::size_t>(seen.succeededOf[kFetch]);
        if (seen.failed == kGetData && !harmless) {
            --rows;
        }
        if (harmless) {
            EXPECT_EQ(rows, readOrder.size());
        }

        if (harmless || endsEarly) {
            EXPECT_EQ(failure, std::nullopt);
            TScoring expected(CLibraryKeyEquality());
            ScoreFirst(expected, rows);
            EXPECT_EQ(window.text, ShowStatistic(expected.StatList()));
            EXPECT_EQ(record->DigiBand.Str(), kHostBand);
        } else {
            EXPECT_TRUE(failure.has_value()) << "a failure reported as success";
            if (failure) {
                switch (schedule.fault) {
                case Fault::Error:
                    EXPECT_EQ(*failure, Injector::InjectedText(seen.failed, seen.failedCall));
                    break;
                case Fault::SilentError:
                    EXPECT_EQ(*failure, "Database error (ODBC return code -1)");
                    break;
                case Fault::InvalidHandle:
                    // A statement the connection cannot give: the connection
                    // is no open one.
                    EXPECT_EQ(*failure, seen.failed == kAllocHandle
                                            ? odbc::kNoConnectionMessage
                                            : "Database error (ODBC return code -2)");
                    break;
                default:
                    ADD_FAILURE() << "unexpected failure " << *failure;
                }
            }
            EXPECT_EQ(window.text, "");
            // Not put back: the record holds the last counted row, or is as
            // the host left it when no row was counted.
            if (rows == 0) {
                EXPECT_EQ(std::memcmp(record.get(), hostRecord.get(), sizeof(TQSOData)), 0);
            } else {
                EXPECT_EQ(record->DigiBand.Str(), readOrder[rows - 1].DigiBand);
                EXPECT_EQ(record->CallSign.Str(), readOrder[rows - 1].CallSign);
            }
        }
        ExpectCounted(rows);

        api = odbc::RealApi();
        ExpectCompleteRecalculation();
        return true;
    }

    // Every call the schedule counts fails in turn until a run completes
    // without reaching the failing call; the number of runs.
    int RunEveryCall(const Schedule& schedule) {
        int n = 1;
        while (RunWithFault(schedule, n) && !HasFatalFailure() && n < 10000) {
            ++n;
        }
        EXPECT_LT(n, 10000);
        return n;
    }
};

void PrintTo(const Schedule& s, std::ostream* os) {
    *os << s.name;
}

class OdbcFaultEveryCall : public OdbcFaults, public ::testing::WithParamInterface<Schedule> {};

TEST_P(OdbcFaultEveryCall,
       FailingInTurnLeavesAPartlyRebuiltStateAndTheNextRecalculationIsComplete) {
    CreateLog(30);
    ASSERT_FALSE(HasFatalFailure());
    std::set<std::string> bands;
    for (const loggen::Contact& c : contacts) {
        bands.insert(c.DigiBand);
    }
    ASSERT_GE(bands.size(), 3u);
    ASSERT_EQ(bands.count(kHostBand), 0u);
    TScoring all(CLibraryKeyEquality());
    ScoreFirst(all, readOrder.size());
    ASSERT_LT(all.QSOList().Size(), contacts.size()) << "the log holds no duplicate";

    const int runs = RunEveryCall(GetParam());
    RecordProperty("runs", runs);
    // Every call was reached: the first run without a failure came after the
    // last call of a whole recalculation.
    g_injector.Arm(GetParam(), 0);
    api = FaultApi();
    ASSERT_EQ(Run(), std::nullopt);
    const int counted =
        GetParam().function ? g_injector.callsOf[*GetParam().function] : g_injector.calls;
    EXPECT_EQ(runs, counted + 1);
}

INSTANTIATE_TEST_SUITE_P(
    Schedules, OdbcFaultEveryCall,
    ::testing::Values(Schedule{"AnyCallFails", std::nullopt, Fault::Error},
                      Schedule{"AnyCallFailsWithoutARecord", std::nullopt, Fault::SilentError},
                      Schedule{"AnyCallGetsAnInvalidHandle", std::nullopt, Fault::InvalidHandle},
                      Schedule{"AnyCallWarns", std::nullopt, Fault::SuccessWithInfo},
                      Schedule{"AllocHandleFails", kAllocHandle, Fault::Error},
                      Schedule{"FreeHandleFails", kFreeHandle, Fault::Error},
                      Schedule{"FreeHandleGetsAnInvalidHandle", kFreeHandle, Fault::InvalidHandle},
                      Schedule{"SetStmtAttrFails", kSetStmtAttr, Fault::Error},
                      Schedule{"ExecDirectFails", kExecDirect, Fault::Error},
                      Schedule{"NumResultColsFails", kNumResultCols, Fault::Error},
                      Schedule{"DescribeColFails", kDescribeCol, Fault::Error},
                      Schedule{"FetchFails", kFetch, Fault::Error},
                      Schedule{"FetchGetsAnInvalidHandle", kFetch, Fault::InvalidHandle},
                      Schedule{"FetchEndsTheResultEarly", kFetch, Fault::NoData},
                      Schedule{"GetDataFails", kGetData, Fault::Error},
                      Schedule{"GetDataFailsWithoutARecord", kGetData, Fault::SilentError},
                      Schedule{"GetDataLeavesTheLengthOpen", kGetData, Fault::NoTotal},
                      Schedule{"FetchLeavesTheLengthsOpen", kFetch, Fault::NoTotal},
                      Schedule{"GetDataWarnsForEver", kGetData, Fault::WarnsForEver},
                      Schedule{"BindColFails", kBindCol, Fault::Error}),
    [](const ::testing::TestParamInfo<Schedule>& s) { return std::string(s.param.name); });

TEST_F(OdbcFaults, DriverMessagesOfEveryLengthArriveWhole) {
    CreateLog(3);
    ASSERT_FALSE(HasFatalFailure());
    // Around the first read buffer, far past it, and past what a message can hold.
    for (std::size_t length : {1u, 1022u, 1023u, 1024u, 1025u, 5000u, 32766u, 40000u}) {
        std::string message(length, 'm');
        message.front() = '<';
        message.back() = '>';
        g_injector.Arm({"", kExecDirect, Fault::Error}, 1, message);
        const std::optional<std::string> failure = Run();
        ASSERT_TRUE(failure.has_value()) << length;
        // A message's length is an SQLSMALLINT, so that is as much as arrives.
        const std::string expected = message.substr(0, std::min<std::size_t>(length, SHRT_MAX - 1));
        EXPECT_TRUE(*failure == expected) << length << " bytes sent, " << failure->size()
                                          << " arrived, beginning " << failure->substr(0, 40);
        EXPECT_EQ(g_injector.freed, g_injector.allocated);
    }
}

// A connection lost between two rows. Natively, the SQLite3 driver reads the
// whole result at SQLExecDirect unless the connection string asks for
// "StepAPI=1", so with its defaults nothing can cut a read short once it has
// begun; the SQLFetch schedules above stand in for that. With "StepAPI=1" it
// steps SQLite's cursor at each SQLFetch: truncating the database file between
// two rows (the file server gone) then makes a real loss, and an index on
// CallSign makes SQLite read the rows from the file as the cursor moves
// instead of sorting them all up front.
class OdbcFaultLostBetweenRows : public OdbcFaults {
public:
    static constexpr std::size_t kPadding = 1500; // about two rows a page
    std::vector<char> saved;

    void CreateIndexedLog() {
        CreateLog(60, kPadding);
        db->Execute("CREATE INDEX LogCall ON Log (CallSign)");
        odbc::OdbcLogQuery plan(db->Handle());
        plan.Open("EXPLAIN QUERY PLAN " + LogQueryText("Log"));
        const int detail = plan.FieldIndex("detail").value();
        std::string text;
        ASSERT_FALSE(plan.Eof());
        plan.ReadRow(&detail, &text, 1);
        ASSERT_NE(text.find("USING INDEX LogCall"), std::string::npos) << text;
    }

    // Cuts the file to its first page right before the given SQLFetch.
    void TruncateAtFetch(int lossAt) {
        DropCachedPages();
        saved.resize(static_cast<std::size_t>(std::filesystem::file_size(file.path())));
        std::ifstream in(file.path(), std::ios::binary);
        in.read(saved.data(), static_cast<std::streamsize>(saved.size()));
        ASSERT_TRUE(in.good());
        g_beforeFetch = [this, lossAt](int fetch) {
            if (fetch == lossAt) {
                std::filesystem::resize_file(file.path(), 4096);
            }
        };
    }

    void Restore() {
        g_beforeFetch = nullptr;
        {
            std::ofstream out(file.path(), std::ios::binary | std::ios::trunc);
            out.write(saved.data(), static_cast<std::streamsize>(saved.size()));
        }
        DropCachedPages();
    }

    // A write through another connection: the test's connection then reads
    // every page from the file again instead of from its cache.
    void DropCachedPages() {
        odbc::Connection other(odbc::SqliteConnectionString(file.path()));
        other.Execute("PRAGMA user_version = " + std::to_string(++m_version));
    }

private:
    int m_version = 0;
};

TEST_F(OdbcFaultLostBetweenRows, ByDefaultTheDriverHoldsTheWholeResultOnceExecuted) {
    ASSERT_NO_FATAL_FAILURE(CreateIndexedLog());
    ASSERT_NO_FATAL_FAILURE(TruncateAtFetch(3));
    g_injector.Arm({"", std::nullopt, Fault::Error}, 0);

    EXPECT_EQ(Run(), std::nullopt);
    EXPECT_EQ(window.text, fullText);
    EXPECT_EQ(g_injector.freed, g_injector.allocated);
    Restore();
}

TEST_F(OdbcFaultLostBetweenRows, SteppingDriverReportsTheLossAndKeepsTheRowsBeforeIt) {
    Connect(odbc::SqliteConnectionString(file.path()) + "StepAPI=1;");
    ASSERT_NO_FATAL_FAILURE(CreateIndexedLog());
    ASSERT_NO_FATAL_FAILURE(ExpectCompleteRecalculation());

    const int lossAt = 20;
    ASSERT_NO_FATAL_FAILURE(TruncateAtFetch(lossAt));
    g_injector.Arm({"", std::nullopt, Fault::Error}, 0);
    const std::optional<std::string> failure = Run();
    const Injector seen = g_injector;
    Restore();

    ASSERT_TRUE(failure.has_value()) << "the loss went unnoticed";
    EXPECT_NE(failure->find("malformed"), std::string::npos) << *failure;
    EXPECT_EQ(seen.freed, seen.allocated);
    EXPECT_TRUE(window.enabled);
    EXPECT_EQ(window.text, "");
    // A row whose page was read before the cut may still arrive.
    const auto rows = static_cast<std::size_t>(seen.succeededOf[kFetch]);
    EXPECT_GE(rows, static_cast<std::size_t>(lossAt - 1));
    EXPECT_LT(rows, readOrder.size());
    ExpectCounted(rows);

    api = odbc::RealApi();
    ExpectCompleteRecalculation();
}

} // namespace
} // namespace morvel
