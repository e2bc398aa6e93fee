// The module and the connection: the plug-in unloaded (on this thread or
// another, or racing the main window's traffic) and loaded again, other
// libraries loaded beside it, and the database connected anew, as a logger
// does when it reconnects.
#include "contract/text.h"
#include "tests/host/commands_win.h"
#include "ui/control_ids.h"

namespace morvel::host {

namespace {

void HandleMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// Waits for the thread, handling this thread's messages meanwhile, and
// closes its handle.
void AwaitThread(HANDLE thread) {
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT) ==
           WAIT_OBJECT_0 + 1) {
        HandleMessages();
    }
    CloseHandle(thread);
}

HANDLE StartThread(LPTHREAD_START_ROUTINE procedure, void* param) {
    const HANDLE thread = CreateThread(nullptr, 0, procedure, param, 0, nullptr);
    if (thread == nullptr) {
        throw Error("cannot start a thread: " + SystemMessage(GetLastError()));
    }
    return thread;
}

DWORD WINAPI FreeOnThread(void* module) {
    return FreeLibrary(static_cast<HMODULE>(module)) ? 0 : 1;
}

struct DelayedFree {
    HMODULE module;
    DWORD delay;
};

DWORD WINAPI FreeAfterDelay(void* param) {
    const auto* free = static_cast<const DelayedFree*>(param);
    Sleep(free->delay);
    return FreeLibrary(free->module) ? 0 : 1;
}

struct ThreadLoad {
    const char* name;
    HMODULE module = nullptr;
    DWORD error = 0;
};

DWORD WINAPI LoadOnThread(void* param) {
    auto* load = static_cast<ThreadLoad*>(param);
    load->module = LoadLibraryA(load->name);
    load->error = GetLastError();
    return 0;
}

// LoadLibraryA(name) on a thread of its own, which this thread waits for,
// handling its messages meanwhile; nullptr with the thread's error as the
// last error.
HMODULE LoadLibraryOnThread(const std::string& name) {
    ThreadLoad load{name.c_str()};
    AwaitThread(StartThread(&LoadOnThread, &load));
    SetLastError(load.error);
    return load.module;
}

} // namespace

// FreeLibrary, as a logger does that unloads its plug-ins, here or on a thread
// of its own, which this one waits for. No message is handled afterwards, not
// even before the next command: the unload must take effect in FreeLibrary
// itself.
std::string UnloadCommand(Host& host, TestSession&, const Command& command, std::size_t) {
    const HMODULE module = host.Dll().TakeModule();
    if (Arguments(command).otherThread) {
        AwaitThread(StartThread(&FreeOnThread, module));
    } else {
        FreeLibrary(module);
    }
    host.HoldMessagesUntilNextCommand();
    return "unload\n";
}

std::string LoadCommand(Host& host, TestSession&, const Command& command, std::size_t) {
    host.Dll().Load();
    if (const std::optional<std::string>& prefix = Arguments(command).captionPrefix) {
        host.Settings().captionPrefix = *prefix;
    }
    host.Pump().Settle();
    return "load\n";
}

// Whether the module last loaded is mapped in the process now, whoever holds
// it.
std::string LoadedCommand(Host& host, TestSession&, const Command&, std::size_t) {
    HMODULE module = nullptr;
    const bool mapped =
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                               GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCSTR>(host.Dll().Instance()), &module) != FALSE;
    return mapped ? "loaded\t1\n" : "loaded\t0\n";
}

// The plug-in's window classes still registered under the instance of the
// module last loaded (after an unload: the one that was), in the order below.
std::string ClassesCommand(Host& host, TestSession&, const Command&, std::size_t) {
    std::string registered;
    for (const char* name : {ui::kMainFormClass, ui::kDomListClass, ui::kPanelClass}) {
        WNDCLASSEXA info{};
        info.cbSize = sizeof info;
        if (host.Dll().Instance() != nullptr &&
            GetClassInfoExA(host.Dll().Instance(), name, &info)) {
            registered += std::string(registered.empty() ? "" : ",") + name;
        }
    }
    return "classes\t" + (registered.empty() ? std::string("none") : registered) + "\n";
}

// A neighbour in the logger's process: loaded and kept for the rest of the
// run. The test libraries export NeighbourThrow (1 when a throw of their own
// was caught) and NeighbourSent (what their DllMain's message to the plug-in's
// main window got: 1 an answer, 0 none in time, -1 there was no window).
std::string LibraryCommand(Host&, TestSession&, const Command& command, std::size_t) {
    const TestArguments& library = Arguments(command);
    const HMODULE module = library.otherThread ? LoadLibraryOnThread(library.path)
                                               : LoadLibraryA(library.path.c_str());
    if (module == nullptr) {
        throw Error("cannot load " + library.path + ": " + SystemMessage(GetLastError()));
    }
    std::string line = "library\t" + library.path;
    using Probe = int (*)();
    if (const FARPROC thrown = GetProcAddress(module, "NeighbourThrow")) {
        line += reinterpret_cast<Probe>(reinterpret_cast<void (*)()>(thrown))() == 1
                    ? "\tthrow caught"
                    : "\tthrow missed";
    }
    if (const FARPROC sent = GetProcAddress(module, "NeighbourSent")) {
        const int answer = reinterpret_cast<Probe>(reinterpret_cast<void (*)()>(sent))();
        line += answer > 0    ? "\tsent answered"
                : answer == 0 ? "\tsent unanswered"
                              : "\tsent nowhere";
    }
    return line + "\n";
}

// FreeLibrary on another thread after the delay, while this thread sends
// WM_NULL to the main window, handling its own messages now and then, until
// that thread is done: an unload racing ordinary window traffic. Afterwards as
// unload thread.
std::string RaceCommand(Host& host, TestSession&, const Command& command, std::size_t) {
    const std::uint32_t delay = Arguments(command).milliseconds;
    const HWND window = host.MainWindow("race");
    DelayedFree free{host.Dll().TakeModule(), delay};
    const HANDLE thread = StartThread(&FreeAfterDelay, &free);
    for (unsigned sent = 0;; ++sent) {
        SendMessageA(window, WM_NULL, 0, 0);
        if (sent % 64 == 0) {
            if (WaitForSingleObject(thread, 0) == WAIT_OBJECT_0) {
                break;
            }
            HandleMessages();
        }
    }
    CloseHandle(thread);
    host.HoldMessagesUntilNextCommand();
    return "race\t" + std::to_string(delay) + "\n";
}

std::string ReconnectCommand(Host& host, TestSession&, const Command&, std::size_t) {
    host.Reconnect();
    return "reconnect\n";
}

} // namespace morvel::host
