// morvel-score: rebuilds a contest log's score exactly as the plug-in's
// recalculation does and prints the statistics text.
#include "contract/text.h"
#include "db/odbc_query.h"
#include "session/recalc.h"
#include "tools/odbc/odbc_connection.h"
#include "tools/platform.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <string>

namespace {

using namespace morvel;

constexpr const char* kUsage =
    "Usage: morvel-score (--sqlite FILE | --odbc \"CONNECTION STRING\") [--table NAME]\n"
    "\n"
    "Reads the contest log table (default: Log) with\n"
    "  Select * from NAME order by CallSign\n"
    "counts every contact as the MorvelRussia plug-in does (duplicates, one point a\n"
    "contact, oblast and DXCC multipliers per band) and prints the statistics text the\n"
    "plug-in's window shows, lines ended by LF.\n"
    "\n"
    "  --sqlite FILE   an SQLite log file, through the SQLite3 ODBC driver\n"
    "  --odbc TEXT     any ODBC connection string\n"
    "  --table NAME    the log table, inserted into the query as it stands\n"
    "\n"
    "Exit status 0 on success; on a failure the message the plug-in would show is\n"
    "written to standard error and the status is 1 (2 for bad arguments).\n";

// The recalculation's window, without a window.
class ConsoleWindow final : public RecalcPort {
public:
    std::string text;

    void ProcessMessages() override {}
    void SetRecalcEnabled(bool) override {}
    void SetStatisticText(const std::string& value) override { text = value; }

    bool enabled = true;
};

int Usage(const char* problem) {
    std::fprintf(stderr, "morvel-score: %s\n\n%s", problem, kUsage);
    return 2;
}

std::string WithLf(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        out += text[i];
    }
    return out;
}

int Run(int argc, char** argv) {
    std::string connection;
    std::string table = "Log";
    std::string sqliteFile;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (i + 1 >= argc) {
            return Usage(("missing value after " + arg).c_str());
        }
        const std::string value = argv[++i];
        if (arg == "--sqlite") {
            sqliteFile = value;
        } else if (arg == "--odbc") {
            connection = value;
        } else if (arg == "--table") {
            table = value;
        } else {
            return Usage(("unknown option " + arg).c_str());
        }
    }
    if (connection.empty() && sqliteFile.empty()) {
        return Usage("give --sqlite FILE or --odbc \"CONNECTION STRING\"");
    }

    try {
        if (!sqliteFile.empty()) {
            if (std::FILE* f = std::fopen(sqliteFile.c_str(), "rb")) {
                std::fclose(f);
            } else {
                throw Error(sqliteFile + ": no such file");
            }
            connection = odbc::SqliteConnectionString(sqliteFile);
        }
        odbc::Connection db(connection);
        odbc::OdbcLogQuery query(db.Handle(), db.QueryApi());
        auto record = std::make_unique<TQSOData>();
        std::memset(record.get(), 0, sizeof(TQSOData));
        record->TableName.Assign(table);
        TScoring scoring(PlatformKeyEquality());
        ConsoleWindow window;
        Recalc recalc{scoring, *record, query, window, window.enabled};
        ExecuteRecalcStatistic(recalc);
        const std::string out = WithLf(window.text) + "\n";
        std::fwrite(out.data(), 1, out.size(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", FailureText(e.what()).c_str());
        return 1;
    }
}

} // namespace

int main(int argc, char** argv) {
    LimitLibrarySearch();
    return Run(argc, argv);
}
