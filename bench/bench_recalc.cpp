// The recalculation of a whole log against a raw scan of the same rows through
// the same ODBC connection: what the scoring adds on top of reading the log;
// and with morvel-score's --check (every row classified, the report written):
// what the check adds on top of the scoring.
#include "bench/raw_scan.h"
#include "db/odbc_query.h"
#include "session/recalc.h"
#include "tools/morvel-score/check.h"
#include "tools/odbc/odbc_connection.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <malloc.h>
#include <unistd.h>

namespace {

using namespace morvel;

class NoWindow final : public RecalcCaller {
public:
    void ProcessMessages() override {}
    void SetRecalcEnabled(bool) override {}
    void SetStatisticText(const std::string& text) override { benchmark::DoNotOptimize(text); }

    bool enabled = true;
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

// The oblast codes the log holds (the generator's, as an oblast file lists
// them), most of the codes a real oblast file has.
std::vector<std::string> OblastCodes(odbc::Connection& db) {
    odbc::OdbcLogQuery query(db.Handle());
    auto record = std::make_unique<TQSOData>();
    record->TableName.Assign("Log");
    TScoring scoring(CLibraryKeyEquality());
    NoWindow window;
    std::set<std::string> codes;
    Recalc recalc{scoring, *record, query, window, window.enabled};
    recalc.rowCounted = [&codes](const TQSOData& row, std::int32_t) {
        if (const auto code = OblastCode(row.QSOReportRecived.View())) {
            codes.insert(*code);
        }
    };
    RecalcStatisticExecute(recalc);
    return {codes.begin(), codes.end()};
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

void BM_Recalculation(benchmark::State& state) {
    odbc::Connection db(
        odbc::SqliteConnectionString(LogFile(static_cast<std::size_t>(state.range(0)))));
    odbc::OdbcLogQuery query(db.Handle());
    auto record = std::make_unique<TQSOData>();
    record->TableName.Assign("Log");
    auto scoring = std::make_unique<TScoring>(CLibraryKeyEquality());
    NoWindow window;
    Recalc recalc{*scoring, *record, query, window, window.enabled};
    for (auto _ : state) {
        RecalcStatisticExecute(recalc);
    }
    const auto contacts = static_cast<double>(scoring->QSOList().Size());
    // What the rebuilt scoring state holds on the heap: what its release
    // gives back (the driver's page cache stays with the connection).
    const std::size_t heapWith = mallinfo2().uordblks;
    scoring.reset();
    const double stateBytes = static_cast<double>(heapWith - mallinfo2().uordblks);
    state.counters["state_MiB"] = stateBytes / (1024.0 * 1024.0);
    state.counters["state_bytes_per_contact"] = stateBytes / std::max(contacts, 1.0);
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["contacts"] = contacts;
    state.counters["peak_rss_MiB"] = static_cast<double>(PeakRssKiB()) / 1024.0;
}
BENCHMARK(BM_Recalculation)->Arg(100000)->Unit(benchmark::kMillisecond);

// As morvel-score --check runs it: the recalculation on the check's query
// (each row read with its ID and QSODateTime) with the check's row hook, then
// its report. The oblast file is the generator's codes, so that every code is
// looked up.
void BM_RecalculationWithCheck(benchmark::State& state) {
    odbc::Connection db(
        odbc::SqliteConnectionString(LogFile(static_cast<std::size_t>(state.range(0)))));
    odbc::OdbcLogQuery odbcQuery(db.Handle());
    auto record = std::make_unique<TQSOData>();
    record->TableName.Assign("Log");
    TScoring scoring(CLibraryKeyEquality());
    NoWindow window;
    const std::vector<std::string> codes = OblastCodes(db);
    std::size_t questioned = 0;
    for (auto _ : state) {
        LogCheck check(CLibraryKeyEquality(), codes);
        CheckedLogQuery query(odbcQuery, &check);
        Recalc recalc{scoring, *record, query, window, window.enabled};
        recalc.rowCounted = [&check](const TQSOData& row, std::int32_t counted) {
            check.Row(row, counted);
        };
        RecalcStatisticExecute(recalc);
        benchmark::DoNotOptimize(check.Text());
        questioned = check.Questioned().size();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["questioned"] = static_cast<double>(questioned);
}
BENCHMARK(BM_RecalculationWithCheck)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_RawScan(benchmark::State& state) {
    odbc::Connection db(
        odbc::SqliteConnectionString(LogFile(static_cast<std::size_t>(state.range(0)))));
    for (auto _ : state) {
        benchmark::DoNotOptimize(bench::RawScan(db.Handle()));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RawScan)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
