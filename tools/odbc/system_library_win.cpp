#include "tools/odbc/system_library_win.h"

#include "contract/text.h"

#include <vector>

namespace morvel {

namespace {

// The system directory with a separator at the end; empty when the system
// cannot say.
std::string SystemDirectory() {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const UINT length = GetSystemDirectoryA(buffer.data(), static_cast<UINT>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            std::string path(buffer.data(), length);
            if (path.back() != '\\' && path.back() != '/') {
                path += '\\';
            }
            return path;
        }
        buffer.resize(length + 1);
    }
}

} // namespace

HMODULE LoadSystemLibrary(const char* name) {
    const std::string directory = SystemDirectory();
    if (directory.empty()) {
        throw Error(std::string("cannot load ") + name +
                    ": the system directory is unknown: " + SystemMessage(GetLastError()));
    }
    const std::string path = directory + name;
    const HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module == nullptr) {
        throw Error("cannot load " + path + ": " + SystemMessage(GetLastError()));
    }
    return module;
}

void LimitDllSearch(DllSearch search) {
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (kernel == nullptr) {
        return;
    }
    const auto find = [kernel](const char* name) {
        return reinterpret_cast<void (*)()>(GetProcAddress(kernel, name));
    };
    // The current directory out in either case: a library loaded with
    // LOAD_WITH_ALTERED_SEARCH_PATH may otherwise still find one there.
    using SetDllDirectoryProc = BOOL(WINAPI*)(const char*);
    if (const auto setDllDirectory =
            reinterpret_cast<SetDllDirectoryProc>(find("SetDllDirectoryA"))) {
        setDllDirectory("");
    }
    if (search == DllSearch::SystemDirectory) {
        using SetDefaultDllDirectoriesProc = BOOL(WINAPI*)(DWORD);
        if (const auto setDefaultDllDirectories =
                reinterpret_cast<SetDefaultDllDirectoriesProc>(find("SetDefaultDllDirectories"))) {
            setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
        }
    }
}

std::string SystemMessage(DWORD code) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message;
    if (length != 0 && text != nullptr) {
        message.assign(text, length);
    }
    if (text != nullptr) {
        LocalFree(text);
    }
    while (!message.empty() && (message.back() == '\r' || message.back() == '\n' ||
                                message.back() == ' ' || message.back() == '.')) {
        message.pop_back();
    }
    if (message.empty()) {
        message = "system error";
    }
    return message + " (error " + std::to_string(code) + ")";
}

} // namespace morvel
