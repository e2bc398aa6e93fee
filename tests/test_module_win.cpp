#include "module/module_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace morvel {
namespace {

TEST(HostProgramPath, NamesTheRunningProgram) {
    const std::string path = HostProgramPath();
    ASSERT_GT(path.size(), 4u);
    EXPECT_EQ(path.substr(path.size() - 4), ".exe");
}

std::wstring Wide(const std::string& text) {
    const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), n);
    wide.resize(static_cast<std::size_t>(n - 1));
    return wide;
}

TEST(ModuleFilePath, NamesAModuleWhosePathIsLongerThanMaxPath) {
    // This program, copied into folders whose path passes MAX_PATH and
    // mapped as a module (as a plug-in in such a folder is).
    char temp[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
    std::vector<std::string> folders{std::string(temp) + "morvel-long-" +
                                     std::to_string(GetCurrentProcessId())};
    for (int i = 0; i < 3; ++i) {
        folders.push_back(folders.back() + "\\" + std::string(100, static_cast<char>('a' + i)));
    }
    for (const std::string& folder : folders) {
        // A run that failed half-way may have left the folders behind.
        ASSERT_TRUE(CreateDirectoryW(Wide(folder).c_str(), nullptr) ||
                    GetLastError() == ERROR_ALREADY_EXISTS)
            << GetLastError();
    }
    const std::string copy = folders.back() + "\\module.exe";
    ASSERT_GT(copy.size(), static_cast<std::size_t>(MAX_PATH));
    ASSERT_TRUE(CopyFileW(Wide(HostProgramPath()).c_str(), Wide(copy).c_str(), TRUE));
    const HMODULE module = LoadLibraryExW(Wide(copy).c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    EXPECT_NE(module, nullptr) << GetLastError();
    if (module != nullptr) {
        EXPECT_EQ(ModuleFilePath(module), copy);
        FreeLibrary(module);
    }
    DeleteFileW(Wide(copy).c_str());
    for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder) {
        RemoveDirectoryW(Wide(*folder).c_str());
    }
}

} // namespace
} // namespace morvel
