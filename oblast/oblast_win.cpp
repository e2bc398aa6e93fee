#include "oblast/oblast_win.h"

#include "contract/unique_handle.h"

#include <windows.h>

#include <vector>

namespace morvel {

bool WinFileSystem::FileExists(const std::string& path) const {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::optional<std::string> WinFileSystem::ReadShared(const std::string& path) const {
    const HANDLE opened =
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    const UniqueHandle<HANDLE, CloseWith<&CloseHandle>> file(opened);
    std::optional<std::string> bytes{std::string()};
    char buffer[64 * 1024];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr)) {
            bytes.reset();
            break;
        }
        if (got == 0) {
            break;
        }
        bytes->append(buffer, got);
    }
    return bytes;
}

std::string HostProgramPath() {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD n =
            GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            return {};
        }
        if (n < buffer.size()) {
            return std::string(buffer.data(), n);
        }
        if (buffer.size() >= 32768) {
            return std::string(buffer.data(), n);
        }
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace morvel
