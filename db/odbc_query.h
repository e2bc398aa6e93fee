// The log query on the host's ODBC connection.
#pragma once

#include "scoring/recalc.h"

#include <string>
#include <vector>

namespace morvel::odbc {

struct Api;

// Runs its SELECT on a statement of its own, forward-only and read-only, on a
// connection that belongs to somebody else: it never changes, commits on or
// closes that connection.
class OdbcLogQuery final : public LogQuery {
public:
    // connection: an SQLHDBC, already connected.
    explicit OdbcLogQuery(void* connection);
    OdbcLogQuery(void* connection, const Api& api);
    ~OdbcLogQuery() override;
    OdbcLogQuery(const OdbcLogQuery&) = delete;
    OdbcLogQuery& operator=(const OdbcLogQuery&) = delete;

    void Open(const std::string& sql) override;
    void Close() noexcept override;
    bool Active() const override { return m_statement != nullptr; }
    bool Eof() const override { return m_eof; }
    int FieldIndex(std::string_view name) const override;
    void ReadRow(const int* columns, std::string* values, std::size_t count) override;
    void Next() override;

private:
    [[noreturn]] void Fail(short rc);
    void Fetch();
    void ReadText(int column, std::string& value);

    void* m_connection;
    const Api* m_api;
    void* m_statement = nullptr;
    bool m_eof = true;
    std::vector<std::string> m_columnNames; // capitals, column 1 first
    std::vector<std::size_t> m_order;       // ReadRow's scratch: columns ascending
};

} // namespace morvel::odbc
