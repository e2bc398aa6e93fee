// Per-call cost of _AddQSO, _GetScore and _GrabNumber through the real exports
// of MorvelRussia.dll, with a register of 1,000 and of 100,000 contacts; and
// the cost of a contact logged while the multiplier check window is open, and
// while all three windows are (statistics, multipliers, multiplier check), as
// a ratio to the same with the statistics window alone: the export with the
// messages handled after the timed calls, the export with one batch's messages
// handled at its end (the drawing coalesced, timed), and the export with the
// messages it leaves handled after each contact, as a host's loop does.
// (Google Benchmark has no mingw build here; this harness reports the same
// kind of figure: the median per-call time over several timed batches.)
//
//   morvel_bench_exports.exe [--quick]
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

struct Exports {
    RunProc run;
    AddQSOProc addQSO;
    GetScoreProc getScore;
    GrabNumberProc grabNumber;
    ReleaseProc release;
};

using bench::Now;
using bench::Pump;

// Median over batches of the per-call time in microseconds; atEnd runs at
// the end of each batch, timed with it.
template <class Call, class AtEnd = void (*)()>
double PerCall(
    int batches, int batch, Call call, AtEnd atEnd = [] {}) {
    std::vector<double> times;
    int n = 0;
    for (int b = 0; b < batches; ++b) {
        const double start = Now();
        for (int i = 0; i < batch; ++i) {
            call(n++);
        }
        atEnd();
        times.push_back((Now() - start) / batch * 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

struct Figures {
    double add, score, grab;
    double batched = 0; // _AddQSO, a batch's messages handled at its end
    double logged = 0;  // _AddQSO and the messages it leaves
};

// The windows open while contacts are logged.
enum class Open { Statistics, Check, AllThree };

// The system menu command of the main window that opens the multiplier check.
constexpr WPARAM kMultiplierCheckCommand = 0x1010;

// With logged, only the contact and its messages, with the windows open.
Figures Measure(const Exports& e, void* connection, std::size_t registerSize, int batches,
                int batch, bool logged = false, Open open = Open::Statistics) {
    const auto log = loggen::Generate(
        {registerSize + static_cast<std::size_t>(batches * batch), registerSize + 11, 0.0});
    auto rec = std::make_unique<TQSOData>();
    std::memset(rec.get(), 0, sizeof(TQSOData));
    rec->SetConnectionValue(
        static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(connection)));
    rec->TableName.Assign("Log");
    const HWND main = reinterpret_cast<HWND>(e.run(0, rec.get()));
    Pump();
    if (open == Open::AllThree) {
        SendMessageA(bench::Control(main, ui::kMultipliersButtonId), BM_CLICK, 0, 0);
        Pump();
    }
    if (open != Open::Statistics) {
        SendMessageA(main, WM_SYSCOMMAND, kMultiplierCheckCommand, 0);
        Pump();
    }
    for (std::size_t i = 0; i < registerSize; ++i) {
        loggen::FillRecord(*rec, log[i]);
        e.addQSO(rec.get());
    }
    Pump();
    ShortString number;
    Figures f{};
    if (logged) {
        // The export alone (its messages handled untimed after the batches),
        // the export with each batch's messages handled at its end, then the
        // export and the messages it leaves, each a third of the contacts.
        const int part = batches / 3;
        const std::size_t third = static_cast<std::size_t>(part * batch);
        const auto next = [&](std::size_t from, int i) {
            loggen::FillRecord(*rec, log[registerSize + from + static_cast<std::size_t>(i)]);
            e.addQSO(rec.get());
        };
        f.add = PerCall(part, batch, [&](int i) { next(0, i); });
        Pump();
        f.batched = PerCall(
            part, batch, [&](int i) { next(third, i); }, [] { Pump(); });
        f.logged = PerCall(part, batch, [&](int i) {
            next(2 * third, i);
            Pump();
        });
        e.release();
        Pump();
        return f;
    }
    f.score = PerCall(batches, batch, [&](int i) {
        loggen::FillRecord(*rec, log[static_cast<std::size_t>(i) % log.size()]);
        e.getScore(rec.get());
    });
    f.grab = PerCall(batches, batch, [&](int i) {
        loggen::FillRecord(*rec, log[static_cast<std::size_t>(i) % log.size()]);
        e.grabNumber(rec.get(), &number);
    });
    f.add = PerCall(batches, batch, [&](int i) {
        loggen::FillRecord(*rec, log[registerSize + static_cast<std::size_t>(i)]);
        e.addQSO(rec.get());
    });
    e.release();
    Pump();
    return f;
}

} // namespace

int main(int argc, char** argv) {
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    HMODULE dll = LoadLibraryA("MorvelRussia.dll");
    if (dll == nullptr) {
        std::fprintf(stderr, "cannot load MorvelRussia.dll\n");
        return 1;
    }
    const Exports e{
        reinterpret_cast<RunProc>(reinterpret_cast<void*>(GetProcAddress(dll, "_Run"))),
        reinterpret_cast<AddQSOProc>(reinterpret_cast<void*>(GetProcAddress(dll, "_AddQSO"))),
        reinterpret_cast<GetScoreProc>(reinterpret_cast<void*>(GetProcAddress(dll, "_GetScore"))),
        reinterpret_cast<GrabNumberProc>(
            reinterpret_cast<void*>(GetProcAddress(dll, "_GrabNumber"))),
        reinterpret_cast<ReleaseProc>(reinterpret_cast<void*>(GetProcAddress(dll, "_Release")))};
    // An empty log in a fresh SQLite file, so that _Run's recalculation is
    // quick and the register holds only what is added here.
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string file =
        std::string(temp) + "morvel-bench-" + std::to_string(GetCurrentProcessId()) + ".db";
    {
        std::FILE* f = std::fopen(file.c_str(), "wb");
        if (f != nullptr) {
            std::fclose(f);
        }
    }
    try {
        odbc::Connection db(odbc::SqliteConnectionString(file));
        db.Execute("CREATE TABLE Log (CallSign TEXT, DigiBand TEXT, QSOMode TEXT, "
                   "QSOReportRecived TEXT, DXCCPrefix TEXT, MainPrefix TEXT, Continent TEXT)");
        const int batches = quick ? 3 : 15;
        const int batch = quick ? 100 : 1000;
        std::printf("%-10s %12s %12s %12s   (microseconds per call, median of %d batches)\n",
                    "register", "_AddQSO", "_GetScore", "_GrabNumber", batches);
        std::vector<std::size_t> sizes = {1000};
        if (!quick) {
            sizes.push_back(100000);
        }
        std::vector<Figures> all;
        for (std::size_t size : sizes) {
            const Figures f = Measure(e, db.Handle(), size, batches, batch);
            all.push_back(f);
            std::printf("%-10zu %12.2f %12.2f %12.2f\n", size, f.add, f.score, f.grab);
        }
        if (all.size() == 2) {
            std::printf("%-10s %12.2f %12.2f %12.2f\n", "ratio", all[1].add / all[0].add,
                        all[1].score / all[0].score, all[1].grab / all[0].grab);
        }
        // A contact and its messages with the statistics window alone, with
        // the multiplier check open too, and with all three windows open.
        const std::size_t size = quick ? 1000 : 10000;
        const int loggedBatch = quick ? 20 : 200;
        const int loggedBatches = quick ? 3 : 21; // a third for each way of handling messages
        const Figures plain = Measure(e, db.Handle(), size, loggedBatches, loggedBatch, true);
        const Figures check =
            Measure(e, db.Handle(), size, loggedBatches, loggedBatch, true, Open::Check);
        const Figures three =
            Measure(e, db.Handle(), size, loggedBatches, loggedBatch, true, Open::AllThree);
        std::printf("\nregister of %zu, microseconds per contact (median of %d batches of %d),\n"
                    "ratios to the statistics window alone:\n",
                    size, loggedBatches / 3, loggedBatch);
        std::printf("%-40s %10s %10s %10s %7s %7s\n", "", "statistics", "+ check", "all three",
                    "check", "three");
        const auto row = [](const char* name, double a, double b, double c) {
            std::printf("%-40s %10.2f %10.2f %10.2f %7.2f %7.2f\n", name, a, b, c, b / a, c / a);
        };
        row("_AddQSO (messages after the batches)", plain.add, check.add, three.add);
        row("_AddQSO, a batch's messages at its end", plain.batched, check.batched, three.batched);
        row("_AddQSO and the messages it leaves", plain.logged, check.logged, three.logged);
    } catch (const std::exception& ex) {
        std::fprintf(stderr, "%s\n", ex.what());
        std::remove(file.c_str());
        return 1;
    }
    std::remove(file.c_str());
    return 0;
}
