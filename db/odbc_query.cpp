#include "db/odbc_query.h"

#include "contract/records.h"
#include "contract/text.h"
#include "db/odbc_api.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <numeric>

namespace morvel::odbc {

namespace {

constexpr std::size_t kChunk = 4096;

static_assert(sizeof(SQLLEN) == sizeof(std::intptr_t), "the bound indicator is an SQLLEN");

// The length of the text a driver wrote into a character buffer of `size`
// bytes, by one rule for SQLGetData's chunks and bound buffers alike: the bytes
// up to the zero the driver ends the text with, never past the length the
// indicator gives when the buffer holds that many, never past the buffer less
// its zero. SQL_NO_TOTAL (or any other negative answer) says nothing about the
// length, so only the zero counts then. A NULL has no text.
std::size_t WrittenLength(const char* buffer, std::size_t size, SQLLEN indicator) {
    if (indicator == SQL_NULL_DATA || size == 0) {
        return 0;
    }
    std::size_t limit = size - 1;
    if (indicator >= 0 && static_cast<std::size_t>(indicator) < limit) {
        limit = static_cast<std::size_t>(indicator);
    }
    const void* zero = std::memchr(buffer, '\0', limit);
    return zero != nullptr ? static_cast<std::size_t>(static_cast<const char*>(zero) - buffer)
                           : limit;
}

// Whether the indicator says the buffer held what was left of the value.
bool LengthFits(std::size_t size, SQLLEN indicator) {
    return indicator >= 0 && static_cast<std::size_t>(indicator) < size;
}

} // namespace

OdbcLogQuery::OdbcLogQuery(void* connection, const Api& api)
    : m_connection(connection), m_api(&api) {}

OdbcLogQuery::~OdbcLogQuery() {
    Close();
}

void OdbcLogQuery::Fail(short rc) {
    std::string message = Diagnostic(*m_api, SQL_HANDLE_STMT, m_statement.Get(), rc);
    Close();
    throw Error(message);
}

void OdbcLogQuery::Open(const std::string& sql) {
    Close();
    if (sql.size() > static_cast<std::size_t>(INT_MAX)) {
        throw Error("LogQuery: SQL text too long");
    }
    SQLHANDLE statement = SQL_NULL_HANDLE;
    const SQLRETURN allocated = m_api->AllocHandle(SQL_HANDLE_STMT, m_connection, &statement);
    if (allocated == SQL_INVALID_HANDLE) {
        // No connection at all, or one already freed: the driver manager
        // knows no such handle and has nothing more to say.
        throw Error(kNoConnectionMessage);
    }
    if (!SQL_SUCCEEDED(allocated) || statement == SQL_NULL_HANDLE) {
        throw Error(Diagnostic(*m_api, SQL_HANDLE_DBC, m_connection, allocated));
    }
    m_statement = Handle(statement, HandleRelease{m_api, SQL_HANDLE_STMT});

    // A driver that cannot honour these keeps its defaults, which are the
    // same for a plain SELECT: this is advice, not a condition.
    m_api->SetStmtAttr(m_statement.Get(), SQL_ATTR_CURSOR_TYPE,
                       reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_CURSOR_FORWARD_ONLY)),
                       0);
    m_api->SetStmtAttr(m_statement.Get(), SQL_ATTR_CONCURRENCY,
                       reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_CONCUR_READ_ONLY)), 0);

    std::string text = sql;
    SQLRETURN rc = m_api->ExecDirect(m_statement.Get(), reinterpret_cast<SQLCHAR*>(text.data()),
                                     static_cast<SQLINTEGER>(text.size()));
    if (!SQL_SUCCEEDED(rc)) {
        Fail(rc);
    }

    SQLSMALLINT count = 0;
    rc = m_api->NumResultCols(m_statement.Get(), &count);
    if (!SQL_SUCCEEDED(rc)) {
        Fail(rc);
    }
    m_columnNames.clear();
    for (SQLUSMALLINT column = 1;
         column <= static_cast<SQLUSMALLINT>(std::max<SQLSMALLINT>(count, 0)); ++column) {
        SQLCHAR name[256] = {};
        SQLSMALLINT length = 0;
        SQLSMALLINT type = 0;
        SQLULEN size = 0;
        SQLSMALLINT digits = 0;
        SQLSMALLINT nullable = 0;
        rc = m_api->DescribeCol(m_statement.Get(), column, name, sizeof name, &length, &type, &size,
                                &digits, &nullable);
        if (!SQL_SUCCEEDED(rc)) {
            Fail(rc);
        }
        const std::size_t n =
            std::min<std::size_t>(std::max<SQLSMALLINT>(length, 0), sizeof name - 1);
        m_columnNames.push_back(UpperAscii(std::string_view(reinterpret_cast<char*>(name), n)));
    }
    Fetch();
}

void OdbcLogQuery::Close() noexcept {
    m_statement.Reset();
    m_eof = true;
    // The bindings went with the statement.
    m_bound.clear();
    m_bindTried = false;
    m_rowBound = false;
}

void OdbcLogQuery::Fetch() {
    const SQLRETURN rc = m_api->Fetch(m_statement.Get());
    if (rc == SQL_NO_DATA) {
        m_eof = true;
        return;
    }
    if (!SQL_SUCCEEDED(rc)) {
        Fail(rc);
    }
    m_eof = false;
    m_rowBound = !m_bound.empty();
}

std::optional<int> OdbcLogQuery::FieldIndex(std::string_view name) const {
    const std::string wanted = UpperAscii(name);
    for (std::size_t i = 0; i < m_columnNames.size(); ++i) {
        if (m_columnNames[i] == wanted) {
            return static_cast<int>(i + 1);
        }
    }
    return std::nullopt;
}

void OdbcLogQuery::ReadText(int column, std::string& value) {
    value.clear();
    char buffer[kChunk] = {};
    // Only a full chunk goes on, so a driver that warns for ever still ends
    // the read once 255 bytes are held.
    while (value.size() < ShortString::kCapacity) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = m_api->GetData(m_statement.Get(), static_cast<SQLUSMALLINT>(column),
                                            SQL_C_CHAR, buffer, sizeof buffer, &indicator);
        if (rc == SQL_NO_DATA) {
            return; // the whole value has been read
        }
        if (!SQL_SUCCEEDED(rc)) {
            Fail(rc);
        }
        if (indicator == SQL_NULL_DATA) {
            value.clear();
            return;
        }
        const std::size_t got = WrittenLength(buffer, sizeof buffer, indicator);
        value.append(buffer, std::min(got, ShortString::kCapacity - value.size()));
        // SQL_SUCCESS: this was the rest of the value. Only a warning with a
        // full buffer, and no indicator saying the rest fitted, is a cut chunk
        // with more to come; a shorter one (one that adds nothing included)
        // ends the value.
        const bool cut = rc == SQL_SUCCESS_WITH_INFO && got == sizeof buffer - 1 &&
                         !LengthFits(sizeof buffer, indicator);
        if (!cut) {
            return;
        }
    }
}

void OdbcLogQuery::Bind(const int* columns, std::size_t count) {
    m_bindTried = true;
    m_bound.clear();
    m_bound.reserve(count);
    for (std::size_t k = 0; k < count; ++k) {
        const int column = columns[m_order[k]];
        if (column > 0 && (m_bound.empty() || m_bound.back().column != column)) {
            m_bound.push_back(Bound{column, 0, {}});
        }
    }
    // Bound in ascending order; a driver that refuses one column leaves it and
    // every later one to SQLGetData, which may read any column after the last
    // bound one.
    for (std::size_t i = 0; i < m_bound.size(); ++i) {
        Bound& b = m_bound[i];
        const SQLRETURN rc =
            m_api->BindCol(m_statement.Get(), static_cast<SQLUSMALLINT>(b.column), SQL_C_CHAR,
                           b.text, sizeof b.text, reinterpret_cast<SQLLEN*>(&b.indicator));
        if (!SQL_SUCCEEDED(rc)) {
            m_bound.resize(i); // no reallocation: the bound ones stay where they are
            break;
        }
    }
}

const OdbcLogQuery::Bound* OdbcLogQuery::BoundColumn(int column) const {
    for (const Bound& b : m_bound) {
        if (b.column == column) {
            return &b;
        }
    }
    return nullptr;
}

void OdbcLogQuery::ReadRow(const int* columns, std::string* values, std::size_t count) {
    // Drivers hand out the columns of a row in ascending order only.
    m_order.resize(count);
    std::iota(m_order.begin(), m_order.end(), std::size_t{0});
    std::sort(m_order.begin(), m_order.end(),
              [columns](std::size_t a, std::size_t b) { return columns[a] < columns[b]; });
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t i = m_order[k];
        if (k > 0 && columns[m_order[k - 1]] == columns[i]) {
            values[i] = values[m_order[k - 1]]; // the same column asked for twice
            continue;
        }
        if (const Bound* b = m_rowBound ? BoundColumn(columns[i]) : nullptr) {
            // A value cut to the buffer arrives as its first 255 bytes, which
            // is all that is kept of any value.
            values[i].assign(
                b->text, WrittenLength(b->text, sizeof b->text, static_cast<SQLLEN>(b->indicator)));
            continue;
        }
        ReadText(columns[i], values[i]);
    }
    // The first row is read with SQLGetData; the rows after it arrive in
    // bound buffers, one driver call a row instead of one a column.
    if (!m_bindTried) {
        Bind(columns, count);
    }
}

void OdbcLogQuery::Next() {
    Fetch();
}

} // namespace morvel::odbc
