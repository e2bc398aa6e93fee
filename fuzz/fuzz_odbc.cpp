// The log query against an ODBC driver played from arbitrary bytes.
//
// The input first makes a small result: up to four rows of the seven columns
// the recalculation reads, in any order, with up to two other columns among
// them, each value NULL or a zero-free text of 0, a few, 254-256, about 4 KiB
// or more bytes. The rest of the input answers the query's calls one by one:
// success, a warning, SQL_NO_DATA or an error, the indicator a value's length,
// SQL_NO_TOTAL or SQL_NULL_DATA, a bind refused. Once the input is used up
// every call gets the plainest answer.
//
// The fake driver keeps ODBC's rules for what it writes: it first fills the
// whole buffer it is given with a poison byte no value holds, then writes at
// most the buffer less one byte and a zero; SQLGetData goes on where its last
// chunk stopped and answers SQL_NO_DATA once a value is done; SQLFetch writes
// every bound buffer. It also holds the query to the rules of a driver that
// allows SQLGetData only on unbound columns after the last bound one, in
// ascending order. Some answers are lies a broken driver might tell (a wrong
// length, SQL_SUCCESS on a cut chunk, a short or empty chunk under a warning,
// SQL_NO_DATA or NULL for a value that has text); their values need only be
// the start of the true value.
//
// The query is driven as the recalculation drives it (Open, FieldIndex,
// ReadRow with the seven columns, Next until Eof), and on every input:
// - a value read by an honest driver is the first 255 bytes of the value,
//   whether it came from the first row or a later one, by SQLGetData or from
//   a bound buffer, and any value read is the start of that and free of the
//   poison byte;
// - no value takes more than 256 calls of SQLGetData and the whole read a
//   bounded number of calls, so no answer keeps the query going for ever;
// - an error answer that the query cannot go past surfaces as morvel::Error
//   with the driver's message, the statement already freed; otherwise every
//   row the driver meant arrives, and the statement is freed at Close.
#include "check.h"

#include "contract/records.h"
#include "contract/text.h"
#include "db/odbc_api.h"
#include "db/odbc_query.h"
#include "session/recalc.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using namespace morvel;

constexpr char kPoison = '\xFF';
constexpr std::size_t kMaxRows = 4;
// Each call but the last one adds at least one byte of the 255 kept.
constexpr int kCallsPerValue = static_cast<int>(ShortString::kCapacity) + 1;

using Value = std::optional<std::string>;

// The input as a stream of bytes; zeros once it is used up.
class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    std::uint8_t Next() { return m_at < m_size ? m_data[m_at++] : 0; }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

struct Column {
    std::string name;
    int logColumn; // index into kLogColumns, or -1 for another column
};

struct BoundBuffer {
    char* text;
    SQLLEN size;
    SQLLEN* indicator;
};

// How a value comes: a text from the input's position-dependent pattern.
Value MakeValue(Bytes& in) {
    const std::uint8_t kind = in.Next();
    std::size_t length = 0;
    switch (kind % 8) {
    case 0:
        return std::nullopt;
    case 1:
        length = 0;
        break;
    case 2:
        length = 1 + in.Next() % 16;
        break;
    case 3:
        length = 254 + in.Next() % 3;
        break;
    case 4:
        length = 255;
        break;
    case 5:
        length = 256;
        break;
    case 6:
        length = 4094 + in.Next() % 5; // around the query's 4 KiB chunk
        break;
    default:
        length = 4097 + std::size_t{in.Next()} * 37;
        break;
    }
    const std::uint8_t seed = in.Next();
    std::string text(length, ' ');
    for (std::size_t i = 0; i < length; ++i) {
        // Bytes 1 to 254: never zero, never the poison.
        text[i] = static_cast<char>(1 + (seed + i * 7 + i / 254) % 254);
    }
    return text;
}

// The result, the driver's state and what it expects of the query.
struct Driver {
    Bytes* in = nullptr;
    std::vector<Column> columns;
    std::vector<std::vector<Value>> rows;  // by result column, 0-based
    std::vector<std::vector<bool>> honest; // no lie told about the value

    // The statement.
    int allocated = 0;
    int freed = 0;
    bool live = false;
    bool freeFailed = false;
    std::vector<std::pair<int, BoundBuffer>> bound; // column (1-based), buffer

    // The cursor: the row the last SQLFetch stood on, and SQLGetData's place.
    int row = -1;
    bool ended = false;
    int fetchedRows = 0;
    SQLUSMALLINT column = 0;
    std::size_t offset = 0;
    bool valueDone = false;
    bool repeating = false; // answers the same chunk under a warning for ever
    int callsOnValue = 0;

    // Diagnostics of the last call, per handle.
    std::optional<std::string> statementMessage;
    std::optional<std::string> connectionMessage;

    // A failure the query has to report, and the text it has to report.
    bool mustFail = false;
    std::string expectedMessage;

    long calls = 0;
};

Driver g;
int g_connectionToken;
int g_statementToken;

SQLHANDLE ConnectionHandle() {
    return &g_connectionToken;
}

SQLHANDLE StatementHandle() {
    return &g_statementToken;
}

// Every statement call: on the live statement, with a clean diagnostic.
void StatementCall(SQLHANDLE statement) {
    ++g.calls;
    FUZZ_CHECK(statement == StatementHandle());
    FUZZ_CHECK(g.live);
    g.statementMessage.reset();
}

bool IsError(std::uint8_t d) {
    return d >= 0xF0;
}

// An error answer of the kind `d` chooses; `fatal` when the query cannot go on.
SQLRETURN ErrorAnswer(std::uint8_t d, std::optional<std::string>& diagnostic, bool fatal,
                      const char* function) {
    SQLRETURN rc = SQL_ERROR;
    std::string message;
    switch (d & 3) {
    case 0:
    case 1:
        message = std::string("[fake] ") + function + " failed (" + std::to_string(d) + ")";
        diagnostic = message;
        break;
    case 2:
        message = "Database error (ODBC return code -1)";
        break;
    default:
        rc = SQL_INVALID_HANDLE;
        // A statement refused with no such handle: the connection is no open one.
        message = std::string(function) == "SQLAllocHandle"
                      ? odbc::kNoConnectionMessage
                      : "Database error (ODBC return code -2)";
        break;
    }
    if (fatal && !g.mustFail) {
        g.mustFail = true;
        g.expectedMessage = message;
    }
    return rc;
}

const BoundBuffer* BoundTo(SQLUSMALLINT column) {
    for (const auto& [c, b] : g.bound) {
        if (c == column) {
            return &b;
        }
    }
    return nullptr;
}

// Writes `n` bytes of the text from `from` and the zero, as ODBC does.
void WriteText(char* buffer, std::string_view text, std::size_t from, std::size_t n) {
    std::memcpy(buffer, text.data() + from, n);
    buffer[n] = '\0';
}

SQLLEN LyingLength(Bytes& in) {
    // Small lengths and negative ones that mean nothing in ODBC.
    const std::uint8_t low = in.Next();
    const std::uint8_t high = in.Next();
    const auto raw = static_cast<std::int16_t>(low | high << 8);
    return raw == SQL_NULL_DATA ? -7 : raw;
}

SQLRETURN SQL_API FakeAllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* output) {
    ++g.calls;
    FUZZ_CHECK(type == SQL_HANDLE_STMT);
    FUZZ_CHECK(input == ConnectionHandle());
    FUZZ_CHECK(output != nullptr);
    FUZZ_CHECK(!g.live);
    g.connectionMessage.reset();
    *output = SQL_NULL_HANDLE;
    const std::uint8_t d = g.in->Next();
    if (IsError(d)) {
        return ErrorAnswer(d, g.connectionMessage, true, "SQLAllocHandle");
    }
    if (d == 0xEF) {
        // Success without a handle.
        g.mustFail = true;
        g.expectedMessage = "Database error (ODBC return code 0)";
        return SQL_SUCCESS;
    }
    *output = StatementHandle();
    g.live = true;
    ++g.allocated;
    return SQL_SUCCESS;
}

SQLRETURN SQL_API FakeFreeHandle(SQLSMALLINT type, SQLHANDLE handle) {
    FUZZ_CHECK(type == SQL_HANDLE_STMT);
    StatementCall(handle);
    // A passing failure, once: the query tries again.
    if (!g.freeFailed && IsError(g.in->Next())) {
        g.freeFailed = true;
        return SQL_ERROR;
    }
    g.live = false;
    ++g.freed;
    g.bound.clear();
    return SQL_SUCCESS;
}

SQLRETURN SQL_API FakeSetStmtAttr(SQLHSTMT statement, SQLINTEGER, SQLPOINTER, SQLINTEGER) {
    StatementCall(statement);
    const std::uint8_t d = g.in->Next();
    return IsError(d) ? ErrorAnswer(d, g.statementMessage, false, "SQLSetStmtAttr") : SQL_SUCCESS;
}

SQLRETURN SQL_API FakeExecDirect(SQLHSTMT statement, SQLCHAR* text, SQLINTEGER length) {
    StatementCall(statement);
    FUZZ_CHECK(text != nullptr && length >= 0);
    const std::uint8_t d = g.in->Next();
    return IsError(d) ? ErrorAnswer(d, g.statementMessage, true, "SQLExecDirect") : SQL_SUCCESS;
}

SQLRETURN SQL_API FakeNumResultCols(SQLHSTMT statement, SQLSMALLINT* count) {
    StatementCall(statement);
    const std::uint8_t d = g.in->Next();
    if (IsError(d)) {
        return ErrorAnswer(d, g.statementMessage, true, "SQLNumResultCols");
    }
    *count = static_cast<SQLSMALLINT>(g.columns.size());
    return SQL_SUCCESS;
}

SQLRETURN SQL_API FakeDescribeCol(SQLHSTMT statement, SQLUSMALLINT column, SQLCHAR* name,
                                  SQLSMALLINT size, SQLSMALLINT* length, SQLSMALLINT* type,
                                  SQLULEN* columnSize, SQLSMALLINT* digits, SQLSMALLINT* nullable) {
    StatementCall(statement);
    FUZZ_CHECK(column >= 1 && column <= g.columns.size());
    const std::uint8_t d = g.in->Next();
    if (IsError(d)) {
        return ErrorAnswer(d, g.statementMessage, true, "SQLDescribeCol");
    }
    const std::string& text = g.columns[column - 1].name;
    if (name != nullptr && size > 0) {
        std::memset(name, kPoison, static_cast<std::size_t>(size));
        WriteText(reinterpret_cast<char*>(name), text, 0,
                  std::min(text.size(), static_cast<std::size_t>(size) - 1));
    }
    *length = static_cast<SQLSMALLINT>(text.size());
    *type = SQL_VARCHAR;
    *columnSize = 0;
    *digits = 0;
    *nullable = SQL_NULLABLE;
    return SQL_SUCCESS;
}

// SQLFetch's answer for one bound column of the row it moves to.
void WriteBound(SQLUSMALLINT column, const BoundBuffer& b) {
    const auto col = static_cast<std::size_t>(column - 1);
    const Value& value = g.rows[static_cast<std::size_t>(g.row)][col];
    std::memset(b.text, kPoison, static_cast<std::size_t>(b.size));
    const std::uint8_t d = g.in->Next();
    if (!value) {
        *b.indicator = SQL_NULL_DATA;
        return;
    }
    const std::size_t n = std::min(value->size(), static_cast<std::size_t>(b.size) - 1);
    if (d < 0xE0) {
        WriteText(b.text, *value, 0, n);
        *b.indicator = (d & 1) != 0 ? SQL_NO_TOTAL : static_cast<SQLLEN>(value->size());
        return;
    }
    g.honest[static_cast<std::size_t>(g.row)][col] = false;
    switch (d % 3) {
    case 0: // a length that is not the value's
        WriteText(b.text, *value, 0, n);
        *b.indicator = LyingLength(*g.in);
        break;
    case 1: // NULL for a value with text
        *b.indicator = SQL_NULL_DATA;
        break;
    default: { // fewer bytes than the buffer holds, the true length
        const std::size_t k = n == 0 ? 0 : g.in->Next() % n;
        WriteText(b.text, *value, 0, k);
        *b.indicator = static_cast<SQLLEN>(value->size());
        break;
    }
    }
}

SQLRETURN SQL_API FakeFetch(SQLHSTMT statement) {
    StatementCall(statement);
    g.column = 0;
    const std::uint8_t d = g.in->Next();
    if (IsError(d)) {
        g.row = -1;
        return ErrorAnswer(d, g.statementMessage, true, "SQLFetch");
    }
    if (g.ended || d >= 0xE0 || g.row + 1 >= static_cast<int>(g.rows.size())) {
        // The result ends here: a driver may end it before the rows made.
        g.ended = true;
        g.row = -1;
        return SQL_NO_DATA;
    }
    ++g.row;
    ++g.fetchedRows;
    for (const auto& [column, b] : g.bound) {
        WriteBound(static_cast<SQLUSMALLINT>(column), b);
    }
    return (d & 1) != 0 ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
}

SQLRETURN SQL_API FakeGetData(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT type,
                              SQLPOINTER target, SQLLEN size, SQLLEN* indicator) {
    StatementCall(statement);
    FUZZ_CHECK(g.row >= 0);
    FUZZ_CHECK(type == SQL_C_CHAR);
    FUZZ_CHECK(column >= 1 && column <= g.columns.size());
    FUZZ_CHECK(target != nullptr && size > 0 && indicator != nullptr);
    // Only unbound columns after the last bound one, in ascending order.
    FUZZ_CHECK(BoundTo(column) == nullptr);
    for (const auto& [c, b] : g.bound) {
        FUZZ_CHECK(column > c);
    }
    FUZZ_CHECK(column >= g.column);
    if (column != g.column) {
        g.column = column;
        g.offset = 0;
        g.valueDone = false;
        g.repeating = false;
        g.callsOnValue = 0;
    }
    FUZZ_CHECK(++g.callsOnValue <= kCallsPerValue);

    char* buffer = static_cast<char*>(target);
    const auto bufferSize = static_cast<std::size_t>(size);
    std::memset(buffer, kPoison, bufferSize);
    std::memset(indicator, 0x7F, sizeof *indicator);
    const auto col = static_cast<std::size_t>(column - 1);
    const Value& value = g.rows[static_cast<std::size_t>(g.row)][col];
    const std::string text = value.value_or(std::string());
    const std::size_t remaining = text.size() - g.offset;
    const std::size_t room = bufferSize - 1;
    const bool cut = remaining > room;
    const std::size_t n = cut ? room : remaining;
    const SQLLEN length = static_cast<SQLLEN>(remaining);
    if (g.repeating) {
        WriteText(buffer, text, g.offset, n);
        *indicator = SQL_NO_TOTAL;
        return SQL_SUCCESS_WITH_INFO;
    }

    const std::uint8_t d = g.in->Next();
    if (IsError(d)) {
        return ErrorAnswer(d, g.statementMessage, true, "SQLGetData");
    }
    if (g.valueDone) {
        return SQL_NO_DATA;
    }

    if (d < 0xE0) {
        if (!value) {
            *indicator = SQL_NULL_DATA;
            g.valueDone = true;
            return (d & 2) != 0 ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
        }
        WriteText(buffer, text, g.offset, n);
        *indicator = (d & 1) != 0 ? SQL_NO_TOTAL : length;
        g.offset += n;
        g.valueDone = !cut;
        return cut || (d & 2) != 0 ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
    }

    g.honest[static_cast<std::size_t>(g.row)][col] = false;
    switch (d % 6) {
    case 0: // the value is said to be over
        return SQL_NO_DATA;
    case 1: // NULL, whatever the value
        *indicator = SQL_NULL_DATA;
        g.valueDone = true;
        return SQL_SUCCESS;
    case 2: // a length that is not the value's
        WriteText(buffer, text, g.offset, n);
        *indicator = LyingLength(*g.in);
        g.offset += n;
        g.valueDone = !cut;
        return cut ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
    case 3: // all there, says the driver, of a cut chunk
        WriteText(buffer, text, g.offset, n);
        *indicator = SQL_NO_TOTAL;
        g.offset += n;
        g.valueDone = !cut;
        return SQL_SUCCESS;
    case 4: { // fewer bytes than the buffer holds, under a warning
        const std::size_t k = n == 0 ? 0 : g.in->Next() % n;
        WriteText(buffer, text, g.offset, k);
        *indicator = (d & 8) != 0 ? SQL_NO_TOTAL : length;
        g.offset += k;
        return SQL_SUCCESS_WITH_INFO;
    }
    default: // a warning and the same chunk, now and at every call after
        g.repeating = true;
        WriteText(buffer, text, g.offset, n);
        *indicator = SQL_NO_TOTAL;
        return SQL_SUCCESS_WITH_INFO;
    }
}

SQLRETURN SQL_API FakeGetDiagRec(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT number,
                                 SQLCHAR* state, SQLINTEGER* native, SQLCHAR* text,
                                 SQLSMALLINT size, SQLSMALLINT* length) {
    ++g.calls;
    const std::optional<std::string>* message = nullptr;
    if (type == SQL_HANDLE_STMT) {
        FUZZ_CHECK(handle == StatementHandle() && g.live);
        message = &g.statementMessage;
    } else {
        FUZZ_CHECK(type == SQL_HANDLE_DBC && handle == ConnectionHandle());
        message = &g.connectionMessage;
    }
    if (number != 1 || !*message) {
        return SQL_NO_DATA;
    }
    const std::string& m = **message;
    if (state != nullptr) {
        std::memcpy(state, "HY000", 6);
    }
    if (native != nullptr) {
        *native = 0;
    }
    if (length != nullptr) {
        *length = static_cast<SQLSMALLINT>(m.size());
    }
    if (text == nullptr || size <= 0) {
        return SQL_SUCCESS_WITH_INFO;
    }
    std::memset(text, kPoison, static_cast<std::size_t>(size));
    const std::size_t n = std::min(m.size(), static_cast<std::size_t>(size) - 1);
    WriteText(reinterpret_cast<char*>(text), m, 0, n);
    return n < m.size() ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
}

SQLRETURN SQL_API FakeBindCol(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT type,
                              SQLPOINTER buffer, SQLLEN size, SQLLEN* indicator) {
    StatementCall(statement);
    FUZZ_CHECK(type == SQL_C_CHAR);
    FUZZ_CHECK(column >= 1 && column <= g.columns.size());
    FUZZ_CHECK(buffer != nullptr && size > 0 && indicator != nullptr);
    FUZZ_CHECK(BoundTo(column) == nullptr);
    const std::uint8_t d = g.in->Next();
    if (IsError(d)) {
        return ErrorAnswer(d, g.statementMessage, false, "SQLBindCol");
    }
    g.bound.push_back({column, BoundBuffer{static_cast<char*>(buffer), size, indicator}});
    return SQL_SUCCESS;
}

const odbc::Api kFakeApi = {&FakeAllocHandle,   &FakeFreeHandle,  &FakeSetStmtAttr, &FakeExecDirect,
                            &FakeNumResultCols, &FakeDescribeCol, &FakeFetch,       &FakeGetData,
                            &FakeGetDiagRec,    &FakeBindCol};

// The result's columns: the seven and up to two others, in an order and a
// spelling of the input's choosing.
void MakeColumns(Bytes& in) {
    const std::size_t extra = in.Next() % 3;
    std::vector<int> order;
    for (int i = 0; i < static_cast<int>(kLogColumns.size() + extra); ++i) {
        order.push_back(i);
    }
    for (std::size_t i = order.size() - 1; i > 0; --i) {
        std::swap(order[i], order[in.Next() % (i + 1)]);
    }
    const std::uint8_t spelling = in.Next();
    static constexpr std::array<const char*, 2> kOthers = {"ID", "Comment"};
    for (std::size_t i = 0; i < order.size(); ++i) {
        const int k = order[i];
        const bool log = k < static_cast<int>(kLogColumns.size());
        std::string name =
            log ? std::string(kLogColumns[static_cast<std::size_t>(k)])
                : std::string(kOthers[static_cast<std::size_t>(k) - kLogColumns.size()]);
        if (((spelling >> (i % 8)) & 1) != 0) {
            name = UpperAscii(name);
        }
        g.columns.push_back({name, log ? k : -1});
    }
}

void MakeRows(Bytes& in, std::size_t count) {
    for (std::size_t r = 0; r < count; ++r) {
        std::vector<Value> row;
        for (const Column& c : g.columns) {
            row.push_back(c.logColumn >= 0 ? MakeValue(in) : Value("other"));
        }
        g.rows.push_back(std::move(row));
        g.honest.emplace_back(g.columns.size(), true);
    }
}

// What the query must have read from the current row.
void CheckRow(const std::array<int, kLogColumns.size()>& columns,
              const std::array<std::string, kLogColumns.size()>& values) {
    FUZZ_CHECK(g.row >= 0);
    const auto r = static_cast<std::size_t>(g.row);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const auto col = static_cast<std::size_t>(columns[i] - 1);
        const Value& value = g.rows[r][col];
        const std::string meant = value ? value->substr(0, ShortString::kCapacity) : std::string();
        const std::string& read = values[i];
        FUZZ_CHECK(read.find(kPoison) == std::string::npos);
        FUZZ_CHECK(read.size() <= ShortString::kCapacity);
        if (g.honest[r][col]) {
            FUZZ_CHECK(read == meant);
        } else {
            FUZZ_CHECK(meant.compare(0, read.size(), read) == 0);
        }
    }
}

// The query as the recalculation drives it; the number of rows read.
int ReadAll(odbc::OdbcLogQuery& query) {
    query.Open(LogQueryText("Log"));
    std::array<int, kLogColumns.size()> columns{};
    std::array<std::string, kLogColumns.size()> values;
    bool mapped = false;
    int rows = 0;
    while (!query.Eof()) {
        if (!mapped) {
            for (std::size_t i = 0; i < kLogColumns.size(); ++i) {
                const std::optional<int> column = query.FieldIndex(kLogColumns[i]);
                FUZZ_CHECK(column && *column >= 1);
                columns[i] = *column;
                FUZZ_CHECK(g.columns[static_cast<std::size_t>(columns[i] - 1)].logColumn ==
                           static_cast<int>(i));
            }
            mapped = true;
        }
        // A value that no longer arrives must not keep the last row's text.
        values.fill(std::string(1, kPoison));
        query.ReadRow(columns.data(), values.data(), columns.size());
        CheckRow(columns, values);
        ++rows;
        query.Next();
    }
    return rows;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes in(data, size);
    g = Driver();
    g.in = &in;
    const std::size_t rowCount = in.Next() % (kMaxRows + 1);
    MakeColumns(in);
    MakeRows(in, rowCount);

    odbc::OdbcLogQuery query(ConnectionHandle(), kFakeApi);
    bool failed = false;
    int rows = 0;
    try {
        rows = ReadAll(query);
    } catch (const Error& e) {
        failed = true;
        FUZZ_CHECK(g.mustFail);
        FUZZ_CHECK(e.what() == g.expectedMessage);
        // Freed before the failure reaches the caller.
        FUZZ_CHECK(!query.Active());
        FUZZ_CHECK(!g.live && g.freed == g.allocated);
    }
    if (!failed) {
        FUZZ_CHECK(!g.mustFail);
        FUZZ_CHECK(rows == g.fetchedRows);
        FUZZ_CHECK(g.allocated == 1);
    }
    query.Close();
    FUZZ_CHECK(!g.live && g.freed == g.allocated);

    const long columns = static_cast<long>(g.columns.size());
    const long perRow = 1 + static_cast<long>(kLogColumns.size()) * kCallsPerValue;
    FUZZ_CHECK(g.calls <= 16 + 2 * columns + static_cast<long>(kMaxRows + 1) * perRow);
    return 0;
}
