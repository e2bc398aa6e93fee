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

// The path made absolute against the current directory: LoadLibrary would
// look for a relative one in the program's folder and the system's first,
// and the current directory is out of its search (HostMain).
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

} // namespace

Plugin::Plugin(const std::string& path) : m_path(path), m_fullPath(FullPath(path)) {
    Load();
}

void Plugin::Check() const {
    if (m_module == nullptr) {
        throw Error("the plug-in is unloaded (no load since the unload)");
    }
}

HMODULE Plugin::TakeModule() {
    Check();
    return std::exchange(m_module, nullptr);
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
