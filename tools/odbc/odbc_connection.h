// An ODBC connection of one's own, for the programs that play the host (the
// command-line scorer, the reference host, the tests). The plug-in itself
// never opens or closes a connection: it works on the host's.
#pragma once

#include "db/odbc_handle.h"

#include <string>

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

// The connection string for an existing SQLite database file through the
// SQLite3 driver; throws Error for a path the driver would misread.
std::string SqliteConnectionString(const std::string& file);

} // namespace morvel::odbc
