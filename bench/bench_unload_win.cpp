// Memory across loads and unloads of MorvelRussia.dll, as an operator who
// switches contests loads and unloads plug-ins: every cycle loads the DLL,
// starts it on a log (_Run), opens the multipliers window, logs 20 contacts,
// stops it (_Release), starts it again on a table the log lacks, so that the
// plug-in throws and shows its message box (answered here), and unloads it
// without _Release. The figure is the growth of the process's private bytes
// per cycle after a warm-up, which a module that leaves nothing behind keeps
// near zero; GDI and USER objects, handles and TLS indices are counted too,
// and the private memory that holds code: none of it may be writable, and
// it may not grow with the cycles.
//
//   morvel_bench_unload.exe [--cycles N] [--warmup N] [--dll PATH] [--limit-kb K]
//
// With --limit-kb the program fails when the growth per cycle exceeds K KB,
// or when handles, TLS indices or the private code regions grew after the
// warm-up, or any private code region is writable.
#include "contract/contract.h"
#include "tools/loggen/contacts.h"
#include "tools/odbc/odbc_connection.h"
#include "ui/control_ids.h"
#include "win_bench.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace morvel;

// The handles of this process: from the system's handle list where
// GetProcessHandleCount answers nothing (Wine).
std::size_t HandleCount() {
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count != 0) {
        return count;
    }
    using Query = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);
    const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    struct Entry {
        ULONG process;
        BYTE type;
        BYTE flags;
        USHORT handle;
        void* object;
        ACCESS_MASK access;
    };
    constexpr ULONG kSystemHandleInformation = 16;
    constexpr LONG kLengthMismatch = static_cast<LONG>(0xC0000004);
    std::vector<char> buffer(1 << 16);
    ULONG got = 0;
    LONG status = 0;
    while (query != nullptr &&
           (status = query(kSystemHandleInformation, buffer.data(),
                           static_cast<ULONG>(buffer.size()), &got)) == kLengthMismatch) {
        buffer.resize(buffer.size() * 2);
    }
    if (query == nullptr || status != 0) {
        throw std::runtime_error("cannot count the handles");
    }
    ULONG entries = 0;
    std::memcpy(&entries, buffer.data(), sizeof entries);
    std::size_t mine = 0;
    for (ULONG i = 0; i < entries; ++i) {
        Entry entry;
        std::memcpy(&entry, buffer.data() + sizeof(ULONG) + i * sizeof(Entry), sizeof entry);
        mine += entry.process == GetCurrentProcessId() ? 1 : 0;
    }
    return mine;
}

// The lowest free TLS index: it grows when indices are allocated and never
// freed.
DWORD FreeTlsIndex() {
    const DWORD index = TlsAlloc();
    if (index != TLS_OUT_OF_INDEXES) {
        TlsFree(index);
    }
    return index;
}

// Regions of private memory that may run code, and of those the writable ones.
struct CodeRegions {
    std::size_t executable = 0;
    std::size_t writable = 0;
};

CodeRegions PrivateCode() {
    CodeRegions regions;
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    auto* address = static_cast<char*>(system.lpMinimumApplicationAddress);
    MEMORY_BASIC_INFORMATION region;
    while (address < system.lpMaximumApplicationAddress &&
           VirtualQuery(address, &region, sizeof region) == sizeof region) {
        const DWORD protect = region.Protect & 0xFF;
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE &&
            (protect & (PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE |
                        PAGE_EXECUTE_WRITECOPY)) != 0) {
            ++regions.executable;
            if ((protect & (PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY)) != 0) {
                ++regions.writable;
            }
        }
        address = static_cast<char*>(region.BaseAddress) + region.RegionSize;
    }
    return regions;
}

// Answers the plug-in's message box with OK as it comes up.
LRESULT CALLBACK AnswerBox(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        char name[16] = {};
        GetClassNameA(reinterpret_cast<HWND>(wParam), name, sizeof name);
        if (std::strcmp(name, "#32770") == 0) {
            PostMessageA(reinterpret_cast<HWND>(wParam), WM_COMMAND, IDOK, 0);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

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

// One cycle: load, start, multipliers window, 20 contacts, stop, a start that
// fails, unload.
// The most writable private code regions seen while the plug-in ran.
std::size_t g_writableWhileLoaded = 0;

void Cycle(const std::string& dllPath, TQSOData& rec, const std::vector<loggen::Contact>& log,
           std::size_t& next) {
    const HMODULE dll = LoadLibraryA(dllPath.c_str());
    if (dll == nullptr) {
        throw std::runtime_error("cannot load " + dllPath);
    }
    const auto run = Export<RunProc>(dll, "_Run");
    const auto addQSO = Export<AddQSOProc>(dll, "_AddQSO");
    const auto release = Export<ReleaseProc>(dll, "_Release");
    const HWND main = reinterpret_cast<HWND>(run(0, &rec));
    bench::Pump();
    const HWND multipliers = bench::Control(main, ui::kMultipliersButtonId);
    if (main == nullptr || multipliers == nullptr) {
        throw std::runtime_error("the plug-in's window did not come up");
    }
    SendMessageA(multipliers, BM_CLICK, 0, 0);
    bench::Pump();
    g_writableWhileLoaded = std::max(g_writableWhileLoaded, PrivateCode().writable);
    for (int i = 0; i < 20; ++i) {
        loggen::FillRecord(rec, log[next++ % log.size()]);
        addQSO(&rec);
    }
    bench::Pump();
    release();
    bench::Pump();
    TQSOData missing = rec;
    missing.TableName.Assign("NoSuchTable");
    if (run(0, &missing) == 0) {
        throw std::runtime_error("the plug-in's window did not come up on a missing table");
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
        std::size_t handlesAtWarmup = 0;
        DWORD tlsAtWarmup = 0;
        CodeRegions codeAtWarmup;
        const HHOOK hook = SetWindowsHookExA(WH_CBT, &AnswerBox, nullptr, GetCurrentThreadId());
        for (int cycle = 1; cycle <= cycles; ++cycle) {
            std::memset(rec.get(), 0, sizeof(TQSOData));
            rec->SetConnectionValue(
                static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(db.Handle())));
            rec->TableName.Assign("Log");
            Cycle(dllPath, *rec, log, next);
            if (cycle == warmup) {
                atWarmup = PrivateBytes();
                handlesAtWarmup = HandleCount();
                tlsAtWarmup = FreeTlsIndex();
                codeAtWarmup = PrivateCode();
            }
        }
        UnhookWindowsHookEx(hook);
        const std::size_t handles = HandleCount();
        const DWORD tls = FreeTlsIndex();
        const CodeRegions code = PrivateCode();
        const std::size_t atEnd = PrivateBytes();
        const double perCycle = (static_cast<double>(atEnd) - static_cast<double>(atWarmup)) /
                                (cycles - warmup) / 1024.0;
        std::printf("private bytes after cycle %d: %10.1f KB\n", warmup, atWarmup / 1024.0);
        std::printf("private bytes after cycle %d: %10.1f KB\n", cycles, atEnd / 1024.0);
        std::printf("growth per cycle: %.2f KB\n", perCycle);
        std::printf("GDI objects: %lu, USER objects: %lu\n",
                    GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS),
                    GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS));
        std::printf("handles after cycle %d: %zu, after cycle %d: %zu\n", warmup, handlesAtWarmup,
                    cycles, handles);
        std::printf("lowest free TLS index after cycle %d: %lu, after cycle %d: %lu\n", warmup,
                    tlsAtWarmup, cycles, tls);
        std::printf("private code regions after cycle %d: %zu, after cycle %d: %zu "
                    "(writable: %zu, at most %zu while the plug-in ran)\n",
                    warmup, codeAtWarmup.executable, cycles, code.executable, code.writable,
                    g_writableWhileLoaded);
        if (limitKb >= 0 && perCycle > limitKb) {
            std::fprintf(stderr, "growth per cycle %.2f KB exceeds %.2f KB\n", perCycle, limitKb);
            status = 1;
        }
        if (limitKb >= 0 && (handles > handlesAtWarmup || tls > tlsAtWarmup ||
                             code.executable > codeAtWarmup.executable || code.writable != 0 ||
                             g_writableWhileLoaded != 0)) {
            std::fprintf(stderr, "handles, TLS indices or private code grew, or code is "
                                 "writable\n");
            status = 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        status = 1;
    }
    std::remove(made.c_str());
    return status;
}
