#include "bench/raw_scan.h"

#include "contract/text.h"
#include "db/odbc_api.h"
#include "db/odbc_handle.h"
#include "session/recalc.h"

#include <algorithm>
#include <array>

namespace morvel::bench {

std::size_t RawScan(void* connection, const std::string& table) {
    const odbc::Api& api = odbc::RealApi();
    SQLHANDLE allocated = SQL_NULL_HANDLE;
    SQLRETURN rc = api.AllocHandle(SQL_HANDLE_STMT, connection, &allocated);
    if (!SQL_SUCCEEDED(rc)) {
        throw Error(odbc::Diagnostic(api, SQL_HANDLE_DBC, connection, rc));
    }
    const odbc::Handle owner(allocated, odbc::HandleRelease{&api, SQL_HANDLE_STMT});
    const SQLHSTMT statement = owner.Get();
    const auto fail = [&](SQLRETURN code) {
        return Error(odbc::Diagnostic(api, SQL_HANDLE_STMT, statement, code));
    };
    std::string sql = LogQueryText(table);
    rc = api.ExecDirect(statement, reinterpret_cast<SQLCHAR*>(sql.data()),
                        static_cast<SQLINTEGER>(sql.size()));
    if (!SQL_SUCCEEDED(rc)) {
        throw fail(rc);
    }
    std::array<SQLUSMALLINT, kLogColumns.size()> columns{};
    SQLSMALLINT count = 0;
    api.NumResultCols(statement, &count);
    for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(std::max<SQLSMALLINT>(count, 0)); ++c) {
        SQLCHAR name[256] = {};
        SQLSMALLINT length = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        api.DescribeCol(statement, c, name, sizeof name, &length, &type, &size, &digits, &nullable);
        const std::string upper = UpperAscii(reinterpret_cast<const char*>(name));
        for (std::size_t i = 0; i < kLogColumns.size(); ++i) {
            if (upper == UpperAscii(kLogColumns[i])) {
                columns[i] = c;
            }
        }
    }
    std::sort(columns.begin(), columns.end());
    std::size_t rows = 0;
    char buffer[256]; // the most any value keeps is 255 bytes
    while (SQL_SUCCEEDED(rc = api.Fetch(statement))) {
        for (const SQLUSMALLINT c : columns) {
            SQLLEN indicator = 0;
            api.GetData(statement, c, SQL_C_CHAR, buffer, sizeof buffer, &indicator);
        }
        ++rows;
    }
    if (rc != SQL_NO_DATA) {
        throw fail(rc);
    }
    return rows;
}

} // namespace morvel::bench
