#include "oblast/oblast_win.h"

#include "contract/unique_handle.h"

#include <windows.h>

namespace morvel {

bool WinFileSystem::FileExists(const std::string& path) const {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

FileContents WinFileSystem::ReadShared(const std::string& path, std::size_t maxBytes) const {
    // A reader lets others read, write and delete: a backup or sync tool
    // holding the file must not stop the plug-in. Only a program that holds
    // it exclusively keeps it from being opened.
    const HANDLE opened = CreateFileA(
        path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        return {};
    }
    const UniqueHandle<HANDLE, CloseWith<&CloseHandle>> file(opened);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0) {
        return {};
    }
    return ReadWhole(
        static_cast<std::uint64_t>(size.QuadPart), maxBytes,
        [&file](char* buffer, std::size_t wanted) -> std::optional<std::size_t> {
            DWORD got = 0;
            if (!ReadFile(file.Get(), buffer, static_cast<DWORD>(wanted), &got, nullptr)) {
                return std::nullopt;
            }
            return got;
        });
}

} // namespace morvel
