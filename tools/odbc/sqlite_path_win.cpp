#include "tools/odbc/sqlite_path.h"

#include <windows.h>

#include <vector>

namespace morvel::odbc {

namespace {

// Wine's kernel32 exports this; Windows does not.
using WineUnixFileName = char*(__cdecl*)(const WCHAR* dosPath);

} // namespace

std::string SqlitePathForDriver(const std::string& path) {
    if (path.empty() || path[0] == '/') {
        return path; // already a Linux path
    }
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto toUnix = kernel != nullptr ? reinterpret_cast<WineUnixFileName>(reinterpret_cast<void*>(
                                          GetProcAddress(kernel, "wine_get_unix_file_name")))
                                    : nullptr;
    if (toUnix == nullptr) {
        return path;
    }
    const int wide = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    if (wide <= 0) {
        return path;
    }
    std::vector<WCHAR> buffer(static_cast<std::size_t>(wide));
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, buffer.data(), wide);
    char* unixPath = toUnix(buffer.data());
    if (unixPath == nullptr) {
        return path;
    }
    std::string out(unixPath);
    HeapFree(GetProcessHeap(), 0, unixPath);
    return out;
}

} // namespace morvel::odbc
