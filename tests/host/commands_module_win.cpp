// The module and the connection: the plug-in unloaded (on this thread or
// another, or racing the main window's traffic) and loaded again, other
// libraries loaded beside it, and the database connected anew, as a logger
// does when it reconnects.
#include "contract/text.h"
#include "tests/host/commands_win.h"
#include "ui/control_ids.h"

#include <cstdio>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

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

// A message that the system or another program sends a window, beside the
// ordinary ones; its parameters are made for the window it goes to.
struct SentKind {
    const char* name;
    UINT message;
};

constexpr UINT kDpiChanged = 0x02E0;

// Activation, focus, showing, settings, menus and commands: each is handled
// with code that may hand the thread to others.
constexpr SentKind kSentKinds[] = {
    {"null", WM_NULL},
    {"activate", WM_ACTIVATE},
    {"deactivate", WM_ACTIVATE},
    {"activateapp", WM_ACTIVATEAPP},
    {"setfocus", WM_SETFOCUS},
    {"killfocus", WM_KILLFOCUS},
    {"showwindow", WM_SHOWWINDOW},
    {"settingchange", WM_SETTINGCHANGE},
    {"displaychange", WM_DISPLAYCHANGE},
    {"syscolorchange", WM_SYSCOLORCHANGE},
    {"themechanged", 0x031A},
    {"initmenu", WM_INITMENU},
    {"initmenupopup", WM_INITMENUPOPUP},
    {"command", WM_COMMAND},
    {"syscommand", WM_SYSCOMMAND},
    {"dpichanged", kDpiChanged},
    {"queryendsession", WM_QUERYENDSESSION},
};

struct LockedWindow {
    const char* name;
    HWND window;
};

struct LockedSends {
    std::vector<LockedWindow> windows;
    std::string unanswered; // "kind@window", comma-separated
    std::string times;      // a line a message: window, kind, milliseconds
    int answered = 0;
    bool locked = false;
};

constexpr UINT kLockedSendBound = 5000; // ms: only a deadlock takes this long

bool SendKind(HWND window, const SentKind& kind, const char* intl) {
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    RECT rect{};
    const std::string_view name = kind.name;
    if (name == "activate" || name == "showwindow" || name == "activateapp" ||
        name == "queryendsession") {
        wParam = TRUE;
    } else if (name == "settingchange") {
        lParam = reinterpret_cast<LPARAM>(intl);
    } else if (name == "displaychange") {
        wParam = 32;
        lParam = MAKELPARAM(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    } else if (name == "initmenu" || name == "initmenupopup") {
        wParam = reinterpret_cast<WPARAM>(GetSystemMenu(window, FALSE));
        lParam = name == "initmenupopup" ? MAKELPARAM(0, TRUE) : 0;
    } else if (name == "command") {
        wParam = MAKEWPARAM(0x7FFF, 0); // a command no control of the window has
    } else if (name == "syscommand") {
        wParam = kMenuAlwaysOnTop; // sent twice: the window ends as it was
    } else if (name == "dpichanged") {
        GetWindowRect(window, &rect);
        wParam = MAKEWPARAM(96, 96);
        lParam = reinterpret_cast<LPARAM>(&rect);
    }
    DWORD_PTR answer = 0;
    const int rounds = name == "syscommand" ? 2 : 1;
    for (int round = 0; round < rounds; ++round) {
        if (SendMessageTimeoutA(window, kind.message, wParam, lParam, SMTO_NORMAL, kLockedSendBound,
                                &answer) == 0) {
            return false;
        }
    }
    return true;
}

// ntdll's lock of the loader, the one a DllMain runs under.
struct LoaderLockFunctions {
    using Lock = LONG(NTAPI*)(ULONG, ULONG*, ULONG_PTR*);
    using Unlock = LONG(NTAPI*)(ULONG, ULONG_PTR);
    Lock lock = nullptr;
    Unlock unlock = nullptr;
};

LoaderLockFunctions LoaderLockOfNtdll() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    LoaderLockFunctions functions;
    if (ntdll != nullptr) {
        functions.lock = reinterpret_cast<LoaderLockFunctions::Lock>(
            reinterpret_cast<void*>(GetProcAddress(ntdll, "LdrLockLoaderLock")));
        functions.unlock = reinterpret_cast<LoaderLockFunctions::Unlock>(
            reinterpret_cast<void*>(GetProcAddress(ntdll, "LdrUnlockLoaderLock")));
    }
    return functions;
}

// For each window and each kind of message: takes the loader's lock, as a
// DllMain runs, sends the message, and lets the lock go.
DWORD WINAPI SendWhileLocked(void* param) {
    auto* sends = static_cast<LockedSends*>(param);
    const auto [lock, unlock] = LoaderLockOfNtdll();
    if (lock == nullptr || unlock == nullptr) {
        return 1;
    }
    static const char kIntl[] = "intl";
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    for (const LockedWindow& target : sends->windows) {
        for (const SentKind& kind : kSentKinds) {
            ULONG_PTR cookie = 0;
            if (lock(0, nullptr, &cookie) != 0) {
                return 1;
            }
            sends->locked = true;
            LARGE_INTEGER start;
            LARGE_INTEGER end;
            QueryPerformanceCounter(&start);
            const bool answered = SendKind(target.window, kind, kIntl);
            QueryPerformanceCounter(&end);
            unlock(0, cookie);
            const double ms = static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 /
                              static_cast<double>(frequency.QuadPart);
            char line[96];
            std::snprintf(line, sizeof line, "locked\t%s\t%s\t%.3f\n", target.name, kind.name, ms);
            sends->times += line;
            if (answered) {
                ++sends->answered;
            } else {
                sends->unanswered += std::string(sends->unanswered.empty() ? "" : ",") + kind.name +
                                     "@" + target.name;
            }
        }
    }
    return 0;
}

DWORD WINAPI HoldLoaderLock(void* param) {
    auto* hold = static_cast<LoaderLockHold*>(param);
    const auto [lock, unlock] = LoaderLockOfNtdll();
    ULONG_PTR cookie = 0;
    hold->locked = lock != nullptr && unlock != nullptr && lock(0, nullptr, &cookie) == 0;
    SetEvent(hold->taken.Get());
    if (!hold->locked) {
        return 1;
    }
    WaitForSingleObject(hold->go.Get(), kLockedSendBound);
    DWORD_PTR answer = 0;
    hold->answered = SendMessageTimeoutA(hold->window, WM_NULL, 0, 0, SMTO_NORMAL, kLockedSendBound,
                                         &answer) != 0;
    unlock(0, cookie);
    return 0;
}

BOOL CALLBACK MatchClass(HWND window, LPARAM param) {
    auto* target = reinterpret_cast<LockedWindow*>(param);
    char name[64] = {};
    if (GetClassNameA(window, name, sizeof name) > 0 && std::strcmp(name, target->name) == 0) {
        target->window = window;
        return FALSE;
    }
    return TRUE;
}

HWND ThreadWindowOfClass(const char* className) {
    LockedWindow target{className, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), &MatchClass, reinterpret_cast<LPARAM>(&target));
    return target.window;
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

// Another thread takes the loader's lock, as a library's DllMain runs, and
// sends each of the plug-in's windows every kind of message above while it
// holds it; this thread handles its messages meanwhile. A handler that waits
// for the loader's lock deadlocks with that thread until the send's bound
// runs out. Each send's time goes to standard error.
std::string LockedCommand(Host& host, TestSession&, const Command&, std::size_t) {
    LockedSends sends;
    const std::pair<const char*, const char*> windows[] = {
        {"main", ui::kMainFormClass}, {"mult", ui::kDomListClass}, {"check", ui::kMultCheckClass}};
    for (const auto& [name, className] : windows) {
        if (const HWND window = ThreadWindowOfClass(className)) {
            sends.windows.push_back({name, window});
        }
    }
    if (sends.windows.empty()) {
        throw ScriptError("locked: the plug-in has no window");
    }
    AwaitThread(StartThread(&SendWhileLocked, &sends));
    host.Pump().Settle();
    std::fputs(sends.times.c_str(), stderr);
    if (!sends.locked) {
        throw Error("locked: the loader's lock could not be taken");
    }
    if (!sends.unanswered.empty()) {
        return "locked\tunanswered\t" + sends.unanswered + "\n";
    }
    return "locked\t" + std::to_string(sends.answered) + " answered\n";
}

// A thread of its own takes the loader's lock and keeps it until
// unlockloader: whatever this thread does meanwhile (a recalculation that
// returns, say) meets the lock held. Then that thread sends the main window a
// message: had this thread been left waiting for the lock, the message finds
// it stuck and the send runs out of its bound.
std::string LockLoaderCommand(Host& host, TestSession& session, const Command&, std::size_t) {
    if (session.LoaderLock() != nullptr) {
        throw ScriptError("lockloader: the loader's lock is held already");
    }
    auto hold = std::make_unique<LoaderLockHold>();
    hold->window = host.MainWindow("lockloader");
    hold->taken.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    hold->go.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!hold->taken || !hold->go) {
        throw Error("lockloader: cannot make an event: " + SystemMessage(GetLastError()));
    }
    hold->thread.Reset(StartThread(&HoldLoaderLock, hold.get()));
    WaitForSingleObject(hold->taken.Get(), INFINITE);
    if (!hold->locked) {
        WaitForSingleObject(hold->thread.Get(), INFINITE);
        throw Error("lockloader: the loader's lock could not be taken");
    }
    session.LoaderLock() = std::move(hold);
    return "lockloader\n";
}

std::string UnlockLoaderCommand(Host& host, TestSession& session, const Command&, std::size_t) {
    if (session.LoaderLock() == nullptr) {
        throw ScriptError("unlockloader: no lockloader holds the loader's lock");
    }
    const std::unique_ptr<LoaderLockHold> hold = std::move(session.LoaderLock());
    SetEvent(hold->go.Get());
    AwaitThread(hold->thread.Release());
    host.Pump().Settle();
    return hold->answered ? "unlockloader\tanswered\n" : "unlockloader\tunanswered\n";
}

void EndLoaderLock(TestSession& session) {
    if (const std::unique_ptr<LoaderLockHold> hold = std::move(session.LoaderLock())) {
        SetEvent(hold->go.Get());
        AwaitThread(hold->thread.Release());
    }
}

} // namespace morvel::host
