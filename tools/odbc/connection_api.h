// What a connection of one's own calls besides the query's functions (the
// function table of db/odbc_api.h): only the programs that play the host
// connect; the plug-in never does.
#pragma once

#include "db/odbc_api.h"

namespace morvel::odbc {

struct ConnectionApi {
    Api query;
    decltype(&::SQLSetEnvAttr) SetEnvAttr;
    decltype(&::SQLDriverConnect) DriverConnect;
    decltype(&::SQLDisconnect) Disconnect;
    decltype(&::SQLDrivers) Drivers;
};

} // namespace morvel::odbc
