// Memory across loads and unloads of MorvelRussia.dll, as an operator who
// switches contests loads and unloads plug-ins: every cycle loads the DLL,
// starts it on a log (_Run), opens the multipliers window, logs 20 contacts
// and unloads it without _Release. The figure is the growth of the process's
// private bytes per cycle after a warm-up, which a module that leaves nothing
// behind keeps near zero; GDI and USER objects are counted too.
//
//   morvel_bench_unload.exe [--cycles N] [--warmup N] [--dll PATH] [--limit-kb K]
//
// With --limit-kb the program fails when the growth per cycle exceeds K KB.
#include "contract/contract.h"
#include "db/odbc_connection.h"
#include "tools/loggen/contacts.h"
#include "ui/control_ids.h"
#include "win_bench.h"

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

using namespace morvel;

std::size_t PrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (!GetProcessMemoryInfo(GetCurrentProcess(),
                              reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory)) {
        throw std::runtime_error("cannot read the memory counters");
    }
    return memory.PrivateUsage != 0 ? memory.PrivateUsage : memory.PagefileUsage;
}

template <class Proc>
Proc Export(HMODULE dll, const char* name) {
    const FARPROC address = GetProcAddress(dll, name);
    if (address == nullptr) {
        throw std::runtime_error(std::string("the DLL does not export ") + name);
    }
    return reinterpret_cast<Proc>(reinterpret_cast<void*>(address));
}

// One cycle: load, start, multipliers window, 20 contacts, unload.
void Cycle(const std::string& dllPath, TQSOData& rec, const std::vector<loggen::Contact>& log,
           std::size_t& next) {
    const HMODULE dll = LoadLibraryA(dllPath.c_str());
    if (dll == nullptr) {
        throw std::runtime_error("cannot load " + dllPath);
    }
    const auto run = Export<RunProc>(dll, "_Run");
    const auto addQSO = Export<AddQSOProc>(dll, "_AddQSO");
    const HWND main = reinterpret_cast<HWND>(run(0, &rec));
    bench::Pump();
    const HWND multipliers = bench::Control(main, ui::kMultipliersButtonId);
    if (main == nullptr || multipliers == nullptr) {
        throw std::runtime_error("the plug-in's window did not come up");
    }
    SendMessageA(multipliers, BM_CLICK, 0, 0);
    bench::Pump();
    for (int i = 0; i < 20; ++i) {
        loggen::FillRecord(rec, log[next++ % log.size()]);
        addQSO(&rec);
    }
    bench::Pump();
    FreeLibrary(dll);
    bench::Pump();
    if (GetModuleHandleA("MorvelRussia.dll") != nullptr) {
        throw std::runtime_error("the DLL stayed loaded after FreeLibrary");
    }
}

} // namespace

int main(int argc, char** argv) {
    int cycles = 200;
    int warmup = 25;
    std::string dllPath = "MorvelRussia.dll";
    double limitKb = -1;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--cycles") == 0) {
            cycles = std::max(2, std::atoi(argv[i + 1]));
        } else if (std::strcmp(argv[i], "--warmup") == 0) {
            warmup = std::max(1, std::atoi(argv[i + 1]));
        } else if (std::strcmp(argv[i], "--dll") == 0) {
            dllPath = argv[i + 1];
        } else if (std::strcmp(argv[i], "--limit-kb") == 0) {
            limitKb = std::atof(argv[i + 1]);
        }
    }
    warmup = std::min(warmup, cycles - 1);
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string made =
        std::string(temp) + "morvel-bench-unload-" + std::to_string(GetCurrentProcessId()) + ".db";
    int status = 0;
    try {
        bench::MakeSqliteLog(made, 200, 5);
        odbc::Connection db(odbc::SqliteConnectionString(made));
        auto rec = std::make_unique<TQSOData>();
        std::memset(rec.get(), 0, sizeof(TQSOData));
        const auto log = loggen::Generate({100000, 9});
        std::size_t next = 0;
        std::size_t atWarmup = 0;
        for (int cycle = 1; cycle <= cycles; ++cycle) {
            std::memset(rec.get(), 0, sizeof(TQSOData));
            rec->SetConnectionValue(
                static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(db.Handle())));
            rec->TableName.Assign("Log");
            Cycle(dllPath, *rec, log, next);
            if (cycle == warmup) {
                atWarmup = PrivateBytes();
            }
        }
        const std::size_t atEnd = PrivateBytes();
        const double perCycle = (static_cast<double>(atEnd) - static_cast<double>(atWarmup)) /
                                (cycles - warmup) / 1024.0;
        std::printf("private bytes after cycle %d: %10.1f KB\n", warmup, atWarmup / 1024.0);
        std::printf("private bytes after cycle %d: %10.1f KB\n", cycles, atEnd / 1024.0);
        std::printf("growth per cycle: %.2f KB\n", perCycle);
        std::printf("GDI objects: %lu, USER objects: %lu\n",
                    GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS),
                    GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS));
        if (limitKb >= 0 && perCycle > limitKb) {
            std::fprintf(stderr, "growth per cycle %.2f KB exceeds %.2f KB\n", perCycle, limitKb);
            status = 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        status = 1;
    }
    std::remove(made.c_str());
    return status;
}
