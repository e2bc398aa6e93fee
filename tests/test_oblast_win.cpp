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

} // namespace
} // namespace morvel
