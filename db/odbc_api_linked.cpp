// The driver manager as the module imports it: the plug-in and the native
// build. Nothing here may reach the release's programs, which load theirs
// from the system directory (DriverManager() in tools/odbc/odbc_connection.h).
#include "db/odbc_api.h"

#include "db/odbc_query.h"

namespace morvel::odbc {

const Api& RealApi() {
    static const Api api = {&::SQLAllocHandle, &::SQLFreeHandle,    &::SQLSetStmtAttr,
                            &::SQLExecDirect,  &::SQLNumResultCols, &::SQLDescribeCol,
                            &::SQLFetch,       &::SQLGetData,       &::SQLGetDiagRec,
                            &::SQLBindCol};
    return api;
}

OdbcLogQuery::OdbcLogQuery(void* connection) : OdbcLogQuery(connection, RealApi()) {}

} // namespace morvel::odbc
