// A whole-log recalculation with the multipliers window open against the
// same recalculation with it closed, through the real MorvelRussia.dll, and
// both against a raw ODBC scan of the same rows in the same host. The window
// follows the band of every counted row; that must not cost a repaint a row.
//
//   morvel_bench_multipliers.exe [--log FILE | --odbc TEXT] [--rounds N]
//
// --odbc reads the table Log of any ODBC data source (a database server).
// Without either a small log is made on the spot (a smoke run).
#include "bench/raw_scan.h"
#include "contract/contract.h"
#include "tools/loggen/contacts.h"
#include "tools/odbc/odbc_connection.h"
#include "ui/control_ids.h"
#include "win_bench.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace morvel;

using bench::Now;
using bench::Pump;

using bench::Control;

HWND DomList() {
    return bench::ThreadWindowOfClass(ui::kDomListClass);
}

// One recalculation from a click on "Recalc Statistic", with the repaints it
// leaves behind handled, in milliseconds.
double Recalculate(HWND recalcButton) {
    const double start = Now();
    SendMessageA(recalcButton, BM_CLICK, 0, 0);
    Pump();
    return (Now() - start) * 1e3;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    std::string log;
    std::string source;
    int rounds = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--log") == 0) {
            log = argv[i + 1];
        } else if (std::strcmp(argv[i], "--odbc") == 0) {
            source = argv[i + 1];
        } else if (std::strcmp(argv[i], "--rounds") == 0) {
            rounds = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string made =
        std::string(temp) + "morvel-bench-mult-" + std::to_string(GetCurrentProcessId()) + ".db";
    HMODULE dll = LoadLibraryA("MorvelRussia.dll");
    if (dll == nullptr) {
        std::fprintf(stderr, "cannot load MorvelRussia.dll\n");
        return 1;
    }
    const auto run =
        reinterpret_cast<RunProc>(reinterpret_cast<void*>(GetProcAddress(dll, "_Run")));
    const auto release =
        reinterpret_cast<ReleaseProc>(reinterpret_cast<void*>(GetProcAddress(dll, "_Release")));
    try {
        if (log.empty() && source.empty()) {
            bench::MakeSqliteLog(made, 500, 3);
            log = made;
        }
        odbc::Connection db(source.empty() ? odbc::SqliteConnectionString(log) : source);
        auto rec = std::make_unique<TQSOData>();
        std::memset(rec.get(), 0, sizeof(TQSOData));
        rec->SetConnectionValue(
            static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(db.Handle())));
        rec->TableName.Assign("Log");
        const HWND main = reinterpret_cast<HWND>(run(0, rec.get()));
        Pump();
        const HWND recalc = Control(main, ui::kRecalcButtonId);
        const HWND multipliers = Control(main, ui::kMultipliersButtonId);
        if (main == nullptr || recalc == nullptr || multipliers == nullptr) {
            throw std::runtime_error("the plug-in's window did not come up");
        }
        std::vector<double> closed;
        std::vector<double> open;
        std::vector<double> scan;
        for (int r = 0; r < rounds; ++r) {
            const double start = Now();
            bench::RawScan(db.Handle());
            scan.push_back((Now() - start) * 1e3);
            closed.push_back(Recalculate(recalc));
            SendMessageA(multipliers, BM_CLICK, 0, 0);
            Pump();
            if (DomList() == nullptr) {
                throw std::runtime_error("the multipliers window did not open");
            }
            open.push_back(Recalculate(recalc));
            SendMessageA(DomList(), WM_CLOSE, 0, 0);
            Pump();
        }
        std::printf("recalculation, multipliers window closed: %10.1f ms (median of %d)\n",
                    Median(closed), rounds);
        std::printf("recalculation, multipliers window open:   %10.1f ms (median of %d)\n",
                    Median(open), rounds);
        std::printf("raw ODBC scan of the same rows:           %10.1f ms (median of %d)\n",
                    Median(scan), rounds);
        std::printf("ratio open/closed: %.3f\n", Median(open) / Median(closed));
        std::printf("ratio closed/scan: %.3f\n", Median(closed) / Median(scan));
        release();
        Pump();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        std::remove(made.c_str());
        return 1;
    }
    std::remove(made.c_str());
    return 0;
}
