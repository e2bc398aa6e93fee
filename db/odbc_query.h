// The log query on the host's ODBC connection: a statement of its own, its
// first row read column by column and the rows after it from bound buffers (one
// driver call a row); a column the driver will not bind is read with
// SQLGetData. Every call goes through the function table of odbc_api.h.
#pragma once

#include "db/log_query.h"
#include "db/odbc_handle.h"

#include <cstdint>
#include <string>
#include <vector>

namespace morvel::odbc {

struct Api;

// The failure of a query on a connection handle the driver manager does not
// know (SQL_INVALID_HANDLE: none was given, or it is closed).
inline constexpr const char* kNoConnectionMessage =
    "The logging program's database connection is not open (ODBC return code -2)";

// Runs its SELECT on a statement of its own, forward-only and read-only, on a
// connection that belongs to somebody else: it never changes, commits on or
// closes that connection.
class OdbcLogQuery final : public LogQuery {
public:
    // connection: an SQLHDBC, already connected. Without api, on the driver
    // manager the module imports (RealApi, library morvel_odbc_linked).
    explicit OdbcLogQuery(void* connection);
    OdbcLogQuery(void* connection, const Api& api);
    ~OdbcLogQuery() override;
    OdbcLogQuery(const OdbcLogQuery&) = delete;
    OdbcLogQuery& operator=(const OdbcLogQuery&) = delete;

    void Open(const std::string& sql) override;
    void Close() noexcept override;
    bool Active() const override { return static_cast<bool>(m_statement); }
    bool Eof() const override { return m_eof; }
    std::optional<int> FieldIndex(std::string_view name) const override;
    void ReadRow(const int* columns, std::string* values, std::size_t count) override;
    void Next() override;

private:
    // A column whose value the driver writes at every fetch.
    struct Bound {
        int column;
        std::intptr_t indicator; // an SQLLEN: as wide as a pointer
        char text[256];          // 255 bytes and the driver's zero
    };

    [[noreturn]] void Fail(short rc);
    void Fetch();
    void ReadText(int column, std::string& value);
    // Binds the columns of this ReadRow for the fetches to come.
    void Bind(const int* columns, std::size_t count);
    const Bound* BoundColumn(int column) const;

    void* m_connection;
    const Api* m_api;
    Handle m_statement;
    bool m_eof = true;
    std::vector<std::string> m_columnNames; // capitals, column 1 first
    std::vector<std::size_t> m_order;       // ReadRow's scratch: columns ascending
    // Filled by the driver while the statement lives; never resized then.
    std::vector<Bound> m_bound;
    bool m_bindTried = false;
    bool m_rowBound = false; // the current row was fetched with m_bound in place
};

} // namespace morvel::odbc
