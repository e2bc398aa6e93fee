// An ODBC connection of one's own, for the programs that play the host (the
// command-line scorer, the reference host, the tests). The plug-in itself
// never opens or closes a connection: it works on the host's.
#pragma once

#include "db/odbc_handle.h"
#include "tools/odbc/sqlite_path.h"

#include <string>
#include <string_view>

namespace morvel::odbc {

struct Api;
struct ConnectionApi; // connection_api.h

// The driver manager's functions for a connection of one's own. On Windows
// they come from odbc32.dll in the system directory, loaded by its full path
// on the first call: a program that imported ODBC32.dll would take a DLL of
// that name from its own folder first (see system_library_win.h).
// Natively the linked ones. Throws Error when the driver manager cannot be
// loaded.
const ConnectionApi& DriverManager();

class Connection {
public:
    // Connects with an ODBC connection string through DriverManager(); throws
    // Error with the driver manager's or the driver's message.
    explicit Connection(const std::string& connectionString);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // The SQLHDBC, as the host hands it to the plug-in.
    void* Handle() const { return m_dbc.Get(); }
    // The functions the connection calls, for a query on it.
    const Api& QueryApi() const;

    // Runs one statement that returns no rows; throws Error on failure.
    void Execute(const std::string& sql);

private:
    const ConnectionApi* m_api;
    odbc::Handle m_env; // freed after the connection
    odbc::Handle m_dbc;
    bool m_connected = false;
};

// The names the SQLite3 ODBC driver is installed under, in the order they are
// looked for: its Windows installer's (sqliteodbc.exe), then the one Debian's
// package and most Linux systems give it.
inline constexpr std::string_view kSqliteDriverNames[] = {"SQLite3 ODBC Driver", "SQLite3"};

// The packaged install guide's section that says where the driver comes from.
inline constexpr std::string_view kDriverGuideSection =
    "INSTALL.txt, section \"A 32-bit ODBC driver for morvel-host and morvel-score\"";

// The SQLite3 ODBC driver's name as the driver manager lists its drivers
// (SQLDrivers), under the first of kSqliteDriverNames it knows, in the case
// it lists. Throws Error naming kDriverGuideSection when it lists none of
// them, and Error when the driver manager cannot be loaded.
std::string SqliteDriver();

// The connection string for an existing SQLite database file through the
// SQLite3 driver (SqliteDriver()), which waits up to lockWaitSeconds for a
// lock another program holds on the file before a statement fails with
// SQLITE_BUSY (IsLockedByAnother). Throws Error for a path the driver would
// misread and as SqliteDriver() does.
std::string SqliteConnectionString(const std::string& file,
                                   int lockWaitSeconds = kDefaultLockWaitSeconds);

// Whether a failure's message is the SQLite driver's for a file another
// connection holds locked and that stayed locked for the whole wait
// (SQLITE_BUSY, "database is locked").
bool IsLockedByAnother(std::string_view message);

} // namespace morvel::odbc
