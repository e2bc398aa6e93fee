#include "tools/odbc/odbc_connection.h"

#include "contract/text.h"
#include "db/odbc_api.h"
#include "tools/odbc/connection_api.h"
#include "tools/odbc/sqlite_path.h"

#include <algorithm>
#include <climits>
#include <string_view>
#include <vector>

namespace morvel::odbc {

Connection::Connection(const std::string& connectionString) : m_api(&DriverManager()) {
    const Api& api = m_api->query;
    SQLHANDLE env = SQL_NULL_HANDLE;
    SQLRETURN rc = api.AllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    if (!SQL_SUCCEEDED(rc)) {
        throw Error("Cannot start ODBC (return code " + std::to_string(rc) + ")");
    }
    m_env = odbc::Handle(env, HandleRelease{&api, SQL_HANDLE_ENV});
    m_api->SetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLHANDLE dbc = SQL_NULL_HANDLE;
    rc = api.AllocHandle(SQL_HANDLE_DBC, env, &dbc);
    if (!SQL_SUCCEEDED(rc)) {
        throw Error(Diagnostic(api, SQL_HANDLE_ENV, env, rc));
    }
    m_dbc = odbc::Handle(dbc, HandleRelease{&api, SQL_HANDLE_DBC});
    std::string text = connectionString;
    SQLCHAR out[1024];
    SQLSMALLINT outLength = 0;
    rc =
        m_api->DriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(text.data()),
                             static_cast<SQLSMALLINT>(std::min<std::size_t>(text.size(), SHRT_MAX)),
                             out, sizeof out, &outLength, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        throw Error(Diagnostic(api, SQL_HANDLE_DBC, dbc, rc));
    }
    m_connected = true;
}

Connection::~Connection() {
    if (m_connected) {
        m_api->Disconnect(m_dbc.Get());
    }
}

const Api& Connection::QueryApi() const {
    return m_api->query;
}

void Connection::Execute(const std::string& sql) {
    const Api& api = m_api->query;
    SQLHANDLE allocated = SQL_NULL_HANDLE;
    SQLRETURN rc = api.AllocHandle(SQL_HANDLE_STMT, m_dbc.Get(), &allocated);
    if (!SQL_SUCCEEDED(rc)) {
        throw Error(Diagnostic(api, SQL_HANDLE_DBC, m_dbc.Get(), rc));
    }
    const odbc::Handle statement(allocated, HandleRelease{&api, SQL_HANDLE_STMT});
    std::string text = sql;
    rc = api.ExecDirect(statement.Get(), reinterpret_cast<SQLCHAR*>(text.data()),
                        static_cast<SQLINTEGER>(std::min<std::size_t>(text.size(), INT_MAX)));
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
        throw Error(Diagnostic(api, SQL_HANDLE_STMT, statement.Get(), rc));
    }
}

namespace {

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
    return UpperAscii(a) == UpperAscii(b);
}

// Every driver name the driver manager lists. A name too long for the buffer
// is left out: it is none of the names looked for.
std::vector<std::string> InstalledDrivers(const ConnectionApi& dm) {
    const Api& api = dm.query;
    SQLHANDLE env = SQL_NULL_HANDLE;
    SQLRETURN rc = api.AllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    if (!SQL_SUCCEEDED(rc)) {
        throw Error("Cannot start ODBC (return code " + std::to_string(rc) + ")");
    }
    const odbc::Handle owner(env, HandleRelease{&api, SQL_HANDLE_ENV});
    dm.SetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    std::vector<std::string> names;
    // A driver manager that never says SQL_NO_DATA must not keep us here.
    constexpr int kMaxDrivers = 10000;
    for (int i = 0; i < kMaxDrivers; ++i) {
        SQLCHAR name[256];
        SQLSMALLINT nameLength = 0;
        SQLCHAR attributes[1024];
        SQLSMALLINT attributesLength = 0;
        rc = dm.Drivers(env, i == 0 ? SQL_FETCH_FIRST : SQL_FETCH_NEXT, name, sizeof name,
                        &nameLength, attributes, sizeof attributes, &attributesLength);
        if (rc == SQL_NO_DATA) {
            break;
        }
        if (!SQL_SUCCEEDED(rc)) {
            throw Error("the ODBC driver manager cannot list its drivers: " +
                        Diagnostic(api, SQL_HANDLE_ENV, env, rc));
        }
        if (nameLength >= 0 && static_cast<std::size_t>(nameLength) < sizeof name) {
            names.emplace_back(reinterpret_cast<const char*>(name),
                               static_cast<std::size_t>(nameLength));
        }
    }
    return names;
}

} // namespace

std::string SqliteDriver() {
    const std::vector<std::string> installed = InstalledDrivers(DriverManager());
    for (const std::string_view wanted : kSqliteDriverNames) {
        for (const std::string& name : installed) {
            if (SameNameIgnoringCase(name, wanted)) {
                return name;
            }
        }
    }
    std::string names;
    for (const std::string_view wanted : kSqliteDriverNames) {
        names += (names.empty() ? "\"" : " or \"") + std::string(wanted) + "\"";
    }
    throw Error("the SQLite3 ODBC driver is not installed (the ODBC driver manager lists no "
                "driver named " +
                names + "); " + std::string(kDriverGuideSection) + ", says where to get it");
}

std::string SqliteConnectionString(const std::string& file, int lockWaitSeconds) {
    // The driver takes the value up to the next ';' and knows no quoting, so
    // such a path would name another file.
    if (file.find(';') != std::string::npos) {
        throw Error(file + ": a log file path holding ';' cannot be opened through ODBC");
    }
    // NoCreat: a mistyped path must fail, not make an empty database.
    // Timeout: the busy wait in milliseconds; the driver takes 0 for its own
    // default of 100 seconds, so no wait is one millisecond.
    const long long milliseconds = std::max(
        1LL, static_cast<long long>(std::clamp(lockWaitSeconds, 0, kMaxLockWaitSeconds)) * 1000);
    return "DRIVER={" + SqliteDriver() + "};Database=" + SqlitePathForDriver(file) +
           ";NoCreat=1;Timeout=" + std::to_string(milliseconds) + ";";
}

bool IsLockedByAnother(std::string_view message) {
    // SQLite's own text for SQLITE_BUSY, which the driver passes on
    // ("[SQLite]database is locked (5)").
    return message.find("database is locked") != std::string_view::npos;
}

} // namespace morvel::odbc
