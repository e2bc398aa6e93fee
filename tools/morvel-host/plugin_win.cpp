#include "tools/morvel-host/plugin_win.h"

#include "contract/text.h"
#include "tools/morvel-host/handle_win.h"

#include <utility>
#include <vector>

namespace morvel::host {

namespace {

// Casts an export to the contract's pointer type; a function pointer of one
// type may be converted to another and back, which is all GetProcAddress gives.
template <typename Proc>
Proc Find(HMODULE module, const char* name, std::vector<std::string>& missing) {
    const FARPROC address = GetProcAddress(module, name);
    if (address == nullptr) {
        missing.emplace_back(name);
        return nullptr;
    }
    return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(address));
}

DWORD WINAPI FreeOnThread(void* module) {
    return FreeLibrary(static_cast<HMODULE>(module)) ? 0 : 1;
}

// The path made absolute against the current directory: LoadLibrary would
// look for a relative one in the program's folder and the system's first,
// and the current directory is out of its search (main).
std::string FullPath(const std::string& path) {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetFullPathNameA(path.c_str(), static_cast<DWORD>(buffer.size()),
                                              buffer.data(), nullptr);
        if (length == 0) {
            return path;
        }
        if (length < buffer.size()) {
            return std::string(buffer.data(), length);
        }
        buffer.resize(length);
    }
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

} // namespace

Plugin::Plugin(const std::string& path) : m_path(path), m_fullPath(FullPath(path)) {
    Load();
}

void Plugin::Check() const {
    if (m_module == nullptr) {
        throw Error("the plug-in is unloaded (no load since the unload)");
    }
}

void Plugin::Unload(bool otherThread) {
    Check();
    if (!otherThread) {
        FreeLibrary(std::exchange(m_module, nullptr));
        return;
    }
    const HANDLE thread = StartThread(&FreeOnThread, m_module);
    m_module = nullptr;
    AwaitThread(thread);
}

void Plugin::Race(std::uint32_t delay, HWND window) {
    Check();
    DelayedFree free{m_module, delay};
    const HANDLE thread = StartThread(&FreeAfterDelay, &free);
    m_module = nullptr;
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
}

HMODULE LoadLibraryOnThread(const std::string& name) {
    ThreadLoad load{name.c_str()};
    AwaitThread(StartThread(&LoadOnThread, &load));
    SetLastError(load.error);
    return load.module;
}

bool Plugin::Mapped() const {
    HMODULE module = nullptr;
    return m_address != nullptr &&
           GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                  GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              static_cast<LPCSTR>(m_address), &module) != FALSE;
}

void Plugin::Load() {
    if (m_module != nullptr) {
        throw Error("the plug-in is loaded already");
    }
    const std::string& path = m_path;
    ModuleHandle module(LoadLibraryA(m_fullPath.c_str()));
    if (!module) {
        throw Error("cannot load the plug-in " + path + ": " + SystemMessage(GetLastError()));
    }
    std::vector<std::string> missing;
    m_grabNumber = Find<GrabNumberProc>(module.Get(), "_GrabNumber", missing);
    m_release = Find<ReleaseProc>(module.Get(), "_Release", missing);
    m_getScore = Find<GetScoreProc>(module.Get(), "_GetScore", missing);
    m_addQSO = Find<AddQSOProc>(module.Get(), "_AddQSO", missing);
    m_run = Find<RunProc>(module.Get(), "_Run", missing);
    m_getInfo = Find<GetInfoProc>(module.Get(), "_GetInfo", missing);
    if (!missing.empty()) {
        std::string names;
        for (const std::string& name : missing) {
            names += (names.empty() ? "" : ", ") + name;
        }
        throw Error("the plug-in " + path + " does not export " + names);
    }
    m_address = reinterpret_cast<const void*>(m_run);
    m_base = module.Get();
    m_module = module.Release();
}

std::string ProgramDirectory() {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0 || buffer.size() > 65536) {
            return {};
        }
        if (length < buffer.size()) {
            const std::string path(buffer.data(), length);
            const std::size_t slash = path.find_last_of("\\/");
            return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string DefaultPluginPath() {
    return ProgramDirectory() + "MorvelRussia.dll";
}

} // namespace morvel::host
