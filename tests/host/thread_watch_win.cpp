// Runs a program as a debuggee and says, when it has ended, how many threads
// it started besides its first:
//
//   thread-watch PROGRAM [ARGUMENTS...]
//
// prints "thread-watch: N threads started" on standard error and exits with
// the program's status. A program that fails before its work begins has no
// business starting one: a thread that still starts or runs while the C
// runtime and the loader end the process can crash it (Wine, seen as
// SIGSEGV). Standard input and output are the program's own.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// Quoted for CreateProcess as the C runtime splits a command line.
std::string Quoted(const std::string& arg) {
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (const char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    return out + '"';
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: thread-watch PROGRAM [ARGUMENTS...]\n", stderr);
        return 2;
    }
    std::string command;
    for (int i = 1; i < argc; ++i) {
        command += (i > 1 ? " " : "") + Quoted(argv[i]);
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, DEBUG_ONLY_THIS_PROCESS,
                        nullptr, nullptr, &startup, &process)) {
        std::fprintf(stderr, "thread-watch: cannot start %s (error %lu)\n", argv[1],
                     static_cast<unsigned long>(GetLastError()));
        return 2;
    }
    unsigned started = 0;
    DWORD status = 0;
    for (bool running = true; running;) {
        DEBUG_EVENT event{};
        if (!WaitForDebugEvent(&event, INFINITE)) {
            std::fprintf(stderr, "thread-watch: lost the program (error %lu)\n",
                         static_cast<unsigned long>(GetLastError()));
            return 2;
        }
        DWORD reply = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
        case CREATE_PROCESS_DEBUG_EVENT:
            if (event.u.CreateProcessInfo.hFile != nullptr) {
                CloseHandle(event.u.CreateProcessInfo.hFile);
            }
            break;
        case LOAD_DLL_DEBUG_EVENT:
            if (event.u.LoadDll.hFile != nullptr) {
                CloseHandle(event.u.LoadDll.hFile);
            }
            break;
        case CREATE_THREAD_DEBUG_EVENT:
            ++started;
            break;
        case EXCEPTION_DEBUG_EVENT:
            // The loader's breakpoint is the debugger's; the rest the program's.
            if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT) {
                reply = DBG_EXCEPTION_NOT_HANDLED;
            }
            break;
        case EXIT_PROCESS_DEBUG_EVENT:
            status = event.u.ExitProcess.dwExitCode;
            running = false;
            break;
        default:
            break;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, reply);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::fprintf(stderr, "thread-watch: %u threads started\n", started);
    return static_cast<int>(status);
}
