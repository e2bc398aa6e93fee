#include "tools/odbc/sqlite_path.h"

namespace morvel::odbc {

std::string SqlitePathForDriver(const std::string& path) {
    return path;
}

} // namespace morvel::odbc
