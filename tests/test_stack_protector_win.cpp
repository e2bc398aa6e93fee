// The stack protector's run-time support as the release's images link it
// (module/runtime/stack_protector_win.cpp), compiled with the release's flags: runs
// itself as child processes that overrun a buffer on the stack and through a
// fortified memcpy, and checks that each ends at once with
// STATUS_STACK_BUFFER_OVERRUN, without any exception handler of its own
// running, and that the canary is set, ends in a zero byte and differs from
// process to process.
//
//   test_stack_protector.exe           the checks; ends with "N passed, M failed"
//   test_stack_protector.exe CHILD     one child: canary, stack or memcpy

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

extern "C" std::uintptr_t __stack_chk_guard;

namespace {

constexpr DWORD kHandlerRan = 3;
constexpr DWORD kReturned = 4;

// Read at run time, so the compiler can neither see the overrun nor drop it.
volatile std::size_t g_length = 16;
char g_source[64] = "overrun";

LONG CALLBACK VectoredHandler(EXCEPTION_POINTERS*) {
    ExitProcess(kHandlerRan);
}

LONG WINAPI TopLevelFilter(EXCEPTION_POINTERS*) {
    ExitProcess(kHandlerRan);
}

__attribute__((noinline)) void OverrunOnStack(std::size_t length) {
    char buffer[16];
    for (std::size_t i = 0; i < length; ++i) {
        reinterpret_cast<volatile char*>(buffer)[i] = 'x';
    }
    std::printf("%c\n", buffer[0]);
}

__attribute__((noinline)) void OverrunThroughMemcpy(std::size_t length) {
    char buffer[16];
    std::memcpy(buffer, g_source, length);
    std::printf("%c\n", buffer[0]);
}

int Child(const std::string& what) {
    if (what == "canary") {
        return static_cast<int>(__stack_chk_guard);
    }
    // A host's handlers, which must not get the thread.
    AddVectoredExceptionHandler(1, &VectoredHandler);
    SetUnhandledExceptionFilter(&TopLevelFilter);
    g_length = 40;
    if (what == "stack") {
        OverrunOnStack(g_length);
    } else if (what == "memcpy") {
        OverrunThroughMemcpy(g_length);
    }
    return kReturned;
}

DWORD RunChild(const char* what) {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length == MAX_PATH) {
        std::fprintf(stderr, "GetModuleFileNameA failed\n");
        ExitProcess(2);
    }
    std::string command = "\"" + std::string(path) + "\" " + what;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(path, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::fprintf(stderr, "CreateProcessA failed: %lu\n", GetLastError());
        ExitProcess(2);
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

int g_passed = 0;
int g_failed = 0;

void Check(bool ok, const char* what, DWORD value) {
    std::printf("%s: %s (%#lx)\n", ok ? "ok" : "FAILED", what, value);
    (ok ? g_passed : g_failed)++;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        return Child(argv[1]);
    }
    const DWORD own = static_cast<DWORD>(__stack_chk_guard);
    Check(own != 0 && (own & 0xFF) == 0, "the canary is set and its lowest byte is zero", own);
    const DWORD other = RunChild("canary");
    Check(other != own && other != 0, "another process has another canary", other);
    for (const char* what : {"stack", "memcpy"}) {
        const DWORD code = RunChild(what);
        const std::string text = std::string("an overrun (") + what +
                                 ") ends the process with STATUS_STACK_BUFFER_OVERRUN, "
                                 "no handler run";
        Check(code == STATUS_STACK_BUFFER_OVERRUN, text.c_str(), code);
    }
    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 ? 0 : 1;
}
