// The driver manager the native build links (unixODBC).
#include "db/odbc_api.h"
#include "tools/odbc/connection_api.h"
#include "tools/odbc/odbc_connection.h"

namespace morvel::odbc {

const ConnectionApi& DriverManager() {
    static const ConnectionApi api = {RealApi(), &::SQLSetEnvAttr, &::SQLDriverConnect,
                                      &::SQLDisconnect, &::SQLDrivers};
    return api;
}

} // namespace morvel::odbc
