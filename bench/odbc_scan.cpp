// morvel-odbc-scan: the raw ODBC scan of a log as a program of its own, so
// that whole processes can be timed against morvel-score (bench/recalc-table.sh).
//
//   morvel-odbc-scan (--sqlite FILE | --odbc TEXT) [--table NAME]
#include "bench/raw_scan.h"
#include "tools/odbc/odbc_connection.h"

#include <cstdio>
#include <exception>
#include <string>

int main(int argc, char** argv) {
    std::string connection;
    std::string table = "Log";
    try {
        for (int i = 1; i + 1 < argc; i += 2) {
            const std::string arg = argv[i];
            if (arg == "--sqlite") {
                connection = morvel::odbc::SqliteConnectionString(argv[i + 1]);
            } else if (arg == "--odbc") {
                connection = argv[i + 1];
            } else if (arg == "--table") {
                table = argv[i + 1];
            }
        }
        if (connection.empty()) {
            std::fputs("usage: morvel-odbc-scan (--sqlite FILE | --odbc TEXT) [--table NAME]\n",
                       stderr);
            return 2;
        }
        morvel::odbc::Connection db(connection);
        std::printf("%zu rows\n", morvel::bench::RawScan(db.Handle(), table));
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "morvel-odbc-scan: %s\n", e.what());
        return 1;
    }
}
