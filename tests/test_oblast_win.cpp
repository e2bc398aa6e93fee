#include "contract/text.h"
#include "oblast/oblast_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace morvel {
namespace {

class WinFileSystemTest : public ::testing::Test {
protected:
    std::string dir;

    void SetUp() override {
        char temp[MAX_PATH];
        ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
        dir = std::string(temp) + "morvel-oblast-" + std::to_string(GetCurrentProcessId()) + "\\";
        CreateDirectoryA(dir.c_str(), nullptr);
        CreateDirectoryA((dir + "Plugins").c_str(), nullptr);
    }
    void TearDown() override {
        DeleteFileA((dir + "Plugins\\Russiaobl.dom").c_str());
        RemoveDirectoryA((dir + "Plugins\\Russiaobl.dom").c_str());
        RemoveDirectoryA((dir + "Plugins").c_str());
        RemoveDirectoryA(dir.c_str());
    }
    void Write(const std::string& bytes) {
        HANDLE f = CreateFileA((dir + "Plugins\\Russiaobl.dom").c_str(), GENERIC_WRITE, 0, nullptr,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(f);
    }
};

TEST_F(WinFileSystemTest, LoadsTheFileBesideTheProgram) {
    Write("UA1A=SP\r\nUA3A=MA\r\n");
    const auto lines = LoadDomLines(WinFileSystem(), dir + "host.exe");
    EXPECT_EQ(lines, (std::vector<std::string>{"UA1A=SP", "UA3A=MA"}));
}

TEST_F(WinFileSystemTest, NoFileAndADirectoryAreBothAbsent) {
    EXPECT_TRUE(LoadDomLines(WinFileSystem(), dir + "host.exe").empty());
    CreateDirectoryA((dir + "Plugins\\Russiaobl.dom").c_str(), nullptr);
    EXPECT_TRUE(LoadDomLines(WinFileSystem(), dir + "host.exe").empty());
}

// Opens the oblast file as another program would, held until the object goes.
class OtherProgram {
public:
    OtherProgram(const std::string& path, DWORD access, DWORD sharing)
        : m_file(CreateFileA(path.c_str(), access, sharing, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~OtherProgram() {
        if (m_file != INVALID_HANDLE_VALUE) {
            CloseHandle(m_file);
        }
    }
    OtherProgram(const OtherProgram&) = delete;
    OtherProgram& operator=(const OtherProgram&) = delete;
    bool Holds() const { return m_file != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_file;
};

TEST_F(WinFileSystemTest, FileOthersHoldIsReadUnlessHeldExclusively) {
    Write("UA1A=SP\r\n");
    const std::string path = dir + "Plugins\\Russiaobl.dom";
    const std::vector<std::string> lines{"UA1A=SP"};
    {
        // An editor or sync tool writing it, letting others read.
        OtherProgram writer(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
        ASSERT_TRUE(writer.Holds());
        EXPECT_EQ(LoadDomLines(WinFileSystem(), dir + "host.exe"), lines);
    }
    {
        // One that may rename or delete it meanwhile.
        OtherProgram mover(path, GENERIC_READ | DELETE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
        ASSERT_TRUE(mover.Holds());
        EXPECT_EQ(LoadDomLines(WinFileSystem(), dir + "host.exe"), lines);
    }
    OtherProgram exclusive(path, GENERIC_READ | GENERIC_WRITE, 0);
    ASSERT_TRUE(exclusive.Holds());
    try {
        LoadDomLines(WinFileSystem(), dir + "host.exe");
        ADD_FAILURE() << "no failure";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + path);
    }
}

TEST_F(WinFileSystemTest, FileOverTheLimitIsRefusedUnread) {
    std::string bytes = "UA3A=MA\r\n";
    bytes.resize(kMaxDomFileBytes, 'x');
    Write(bytes);
    EXPECT_EQ(LoadDomLines(WinFileSystem(), dir + "host.exe").size(), 2u);
    Write(bytes + "x");
    try {
        LoadDomLines(WinFileSystem(), dir + "host.exe");
        ADD_FAILURE() << "no failure";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot read file " + dir + "Plugins\\Russiaobl.dom: it is larger than 1 MB");
    }
}

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
        ASSERT_TRUE(CreateDirectoryW(Wide(folder).c_str(), nullptr)) << GetLastError();
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
