#include "tools/morvel-loggen/writers.h"

#include "tools/odbc/odbc_connection.h"
#include "tools/odbc/sqlite_path.h"

#include <stdexcept>

namespace morvel::loggen {

// On Windows the file is written through the SQLite3 ODBC driver, under the
// name it is installed with, which makes the file when it is missing.
void WriteSqlite(const std::string& file, const TableOptions& options,
                 const std::vector<Contact>& log) {
    if (file.find(';') != std::string::npos) {
        throw std::runtime_error(file + ": a path holding ';' cannot be opened through ODBC");
    }
    WriteOdbc("DRIVER={" + odbc::SqliteDriver() + "};Database=" + odbc::SqlitePathForDriver(file) +
                  ";",
              options, log);
}

} // namespace morvel::loggen
