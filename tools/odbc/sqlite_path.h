// The path of an SQLite file as the SQLite3 ODBC driver wants it.
#pragma once

#include <string>

namespace morvel::odbc {

// Natively the path as it is. Under Wine the driver is the Linux one behind
// Wine's odbc32 and takes only Linux paths, so a Windows path (Z:\tmp\log.db)
// is turned into the Linux path it stands for; on Windows proper, unchanged.
std::string SqlitePathForDriver(const std::string& path);

} // namespace morvel::odbc
