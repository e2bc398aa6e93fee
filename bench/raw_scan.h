// The yardstick of every recalculation benchmark: the seven log columns of
// every row read as text through ODBC, one SQLGetData a column, and nothing
// else done with them.
#pragma once

#include <cstddef>
#include <string>

namespace morvel::bench {

// Scans "Select * from TABLE order by CallSign" on the connection (an SQLHDBC)
// and returns the number of rows; throws Error on a driver failure.
std::size_t RawScan(void* connection, const std::string& table = "Log");

} // namespace morvel::bench
