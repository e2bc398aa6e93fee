#include "contract/text.h"
#include "oblast/oblast_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

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

TEST_F(WinFileSystemTest, FileOpenForWritingElsewhereCannotBeOpened) {
    Write("UA1A=SP\r\n");
    HANDLE writer = CreateFileA((dir + "Plugins\\Russiaobl.dom").c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    try {
        LoadDomLines(WinFileSystem(), dir + "host.exe");
        ADD_FAILURE() << "no failure";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + dir + "Plugins\\Russiaobl.dom");
    }
    CloseHandle(writer);
}

TEST(HostProgramPath, NamesTheRunningProgram) {
    const std::string path = HostProgramPath();
    ASSERT_GT(path.size(), 4u);
    EXPECT_EQ(path.substr(path.size() - 4), ".exe");
}

} // namespace
} // namespace morvel
