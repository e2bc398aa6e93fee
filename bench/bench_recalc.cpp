// The recalculation of a whole log against a raw scan of the same rows through
// the same ODBC connection: what the scoring adds on top of reading the log.
#include "db/odbc_api.h"
#include "db/odbc_connection.h"
#include "db/odbc_query.h"
#include "scoring/recalc.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

#include <malloc.h>
#include <unistd.h>

namespace {

using namespace morvel;

class NoWindow final : public RecalcWindow {
public:
    void ProcessMessages() override {}
    bool RecalcEnabled() const override { return true; }
    void SetRecalcEnabled(bool) override {}
    void SetStatisticText(const std::string& text) override { benchmark::DoNotOptimize(text); }
};

// A generated log of the given size, made once per size and process.
const std::string& LogFile(std::size_t contacts) {
    static std::string paths[2];
    std::string& path = paths[contacts >= 100000 ? 1 : 0];
    if (path.empty()) {
        path = "/tmp/morvel-bench-" + std::to_string(getpid()) + "-" + std::to_string(contacts) +
               ".db";
        const std::string command = std::string(MORVEL_LOGGEN_EXE) + " --out " + path +
                                    " --contacts " + std::to_string(contacts) + " --seed 2027";
        if (std::system(command.c_str()) != 0) {
            throw std::runtime_error("cannot generate " + path);
        }
        std::atexit([] {
            for (const auto& p : paths) {
                if (!p.empty()) {
                    std::remove(p.c_str());
                }
            }
        });
    }
    return path;
}

long PeakRssKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return 0;
}

// Reads the seven columns of every row as text and does nothing else.
void RawScan(void* connection) {
    const odbc::Api& api = odbc::RealApi();
    SQLHANDLE statement = SQL_NULL_HANDLE;
    api.AllocHandle(SQL_HANDLE_STMT, connection, &statement);
    std::string sql = "Select * from Log order by CallSign";
    api.ExecDirect(statement, reinterpret_cast<SQLCHAR*>(sql.data()), SQL_NTS);
    const char* names[] = {"QSOReportRecived", "DXCCPrefix", "MainPrefix", "CallSign",
                           "DigiBand",         "QSOMode",    "Continent"};
    SQLUSMALLINT columns[7] = {};
    SQLSMALLINT count = 0;
    api.NumResultCols(statement, &count);
    for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(count); ++c) {
        SQLCHAR name[256];
        SQLSMALLINT length = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        api.DescribeCol(statement, c, name, sizeof name, &length, &type, &size, &digits, &nullable);
        for (int i = 0; i < 7; ++i) {
            if (std::string(reinterpret_cast<char*>(name)) == names[i]) {
                columns[i] = c;
            }
        }
    }
    std::sort(columns, columns + 7);
    char buffer[4096];
    while (SQL_SUCCEEDED(api.Fetch(statement))) {
        for (SQLUSMALLINT c : columns) {
            SQLLEN indicator = 0;
            api.GetData(statement, c, SQL_C_CHAR, buffer, sizeof buffer, &indicator);
            benchmark::DoNotOptimize(buffer);
        }
    }
    api.FreeHandle(SQL_HANDLE_STMT, statement);
}

void BM_Recalculation(benchmark::State& state) {
    odbc::Connection db(odbc::SqliteConnectionString(LogFile(static_cast<std::size_t>(state.range(0)))));
    odbc::OdbcLogQuery query(db.Handle());
    auto record = std::make_unique<TQSOData>();
    record->TableName.Assign("Log");
    TScoring scoring(CLibraryKeyEquality());
    NoWindow window;
    Recalc recalc{scoring, *record, query, window};
    const std::size_t heapBefore = mallinfo2().uordblks;
    for (auto _ : state) {
        RecalcStatisticExecute(recalc);
    }
    // What the rebuilt scoring state keeps on the heap once the query is closed.
    state.counters["state_MiB"] =
        static_cast<double>(mallinfo2().uordblks - heapBefore) / (1024.0 * 1024.0);
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["contacts"] = static_cast<double>(scoring.QSOList().size());
    state.counters["peak_rss_MiB"] = static_cast<double>(PeakRssKiB()) / 1024.0;
}
BENCHMARK(BM_Recalculation)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_RawScan(benchmark::State& state) {
    odbc::Connection db(odbc::SqliteConnectionString(LogFile(static_cast<std::size_t>(state.range(0)))));
    for (auto _ : state) {
        RawScan(db.Handle());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RawScan)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
