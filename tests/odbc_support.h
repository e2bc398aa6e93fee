// Helpers for the tests that work on real SQLite files through the ODBC driver.
#pragma once

#include "session/recalc.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace morvel::test {

// What a command line wrote to its standard output, and how it ended.
struct CommandOutput {
    int status = -1; // the exit status; -1 when the program did not exit by itself
    std::string out;
};

// The text as one word of a shell command line.
inline std::string ShellQuoted(const std::string& arg) {
    std::string out = "'";
    for (char c : arg) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

// The program and its arguments as a shell command line.
inline std::string CommandLine(const std::string& program, const std::vector<std::string>& args) {
    std::string command = ShellQuoted(program);
    for (const std::string& arg : args) {
        command += " " + ShellQuoted(arg);
    }
    return command;
}

// Runs a command line through the shell and reads its standard output whole.
inline CommandOutput RunCommand(const std::string& command) {
    CommandOutput result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        ADD_FAILURE() << "cannot run " << command;
        return result;
    }
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        result.out.append(buffer, n);
    }
    const int status = ::pclose(pipe);
    result.status = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// A fresh, empty file in the temporary directory, removed (with the journal
// SQLite may leave beside it) when the object goes.
class TempFile {
public:
    explicit TempFile(const std::string& suffix = ".sqlite") {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "morvel-test-XXXXXX").string() + suffix;
        const int fd = ::mkstemps(pattern.data(), static_cast<int>(suffix.size()));
        if (fd < 0) {
            ADD_FAILURE() << "cannot create a temporary file from " << pattern;
        } else {
            ::close(fd);
        }
        m_path = pattern;
    }
    ~TempFile() {
        std::error_code ignored;
        for (const char* extra : {"", "-journal", "-wal", "-shm"}) {
            std::filesystem::remove(m_path + extra, ignored);
        }
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// A temporary directory, removed with everything in it.
class TempDir {
public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "morvel-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            ADD_FAILURE() << "cannot create a temporary directory from " << pattern;
        }
        m_path = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// The main window as far as the recalculation sees it.
class FakeWindow : public RecalcCaller {
public:
    std::string text = "(untouched)";
    bool enabled = true;
    int messageRounds = 0;

    void ProcessMessages() override { ++messageRounds; }
    void SetRecalcEnabled(bool value) override { enabled = value; }
    void SetStatisticText(const std::string& value) override { text = value; }
};

// The statistics text with CR LF line ends turned into LF.
inline std::string WithLf(std::string text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        out += text[i];
    }
    return out;
}

} // namespace morvel::test
