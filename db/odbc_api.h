// The ODBC functions the plug-in calls, as a table of pointers, so that tests
// can put a failing call at any point. Only the undecorated ANSI entry points:
// Wine 8's odbc32 implements those, while its "...A" exports are stubs.
#pragma once

#ifdef UNICODE
#error "The ODBC code must be built without UNICODE: it calls the ANSI entry points."
#endif

#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <string>

namespace morvel::odbc {

struct Api {
    decltype(&::SQLAllocHandle) AllocHandle;
    decltype(&::SQLFreeHandle) FreeHandle;
    decltype(&::SQLSetStmtAttr) SetStmtAttr;
    decltype(&::SQLExecDirect) ExecDirect;
    decltype(&::SQLNumResultCols) NumResultCols;
    decltype(&::SQLDescribeCol) DescribeCol;
    decltype(&::SQLFetch) Fetch;
    decltype(&::SQLGetData) GetData;
    decltype(&::SQLGetDiagRec) GetDiagRec;
    decltype(&::SQLBindCol) BindCol;
};

// The driver manager's own functions as the module imports them (library
// morvel_odbc_linked): the plug-in's, whose host has loaded the driver
// manager already, and the native build's. The release's programs take
// theirs from DriverManager() (tools/odbc/odbc_connection.h) instead.
const Api& RealApi();

// The first diagnostic record's message text for the handle, or a plain
// description of the return code when the driver left none.
std::string Diagnostic(const Api& api, SQLSMALLINT handleType, SQLHANDLE handle, SQLRETURN rc);

} // namespace morvel::odbc
