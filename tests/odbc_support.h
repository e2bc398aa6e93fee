// Helpers for the tests that work on real SQLite files through the ODBC driver.
#pragma once

#include "scoring/recalc.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

namespace morvel::test {

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
class FakeWindow : public RecalcWindow {
public:
    std::string text = "(untouched)";
    bool enabled = true;
    int messageRounds = 0;

    void ProcessMessages() override { ++messageRounds; }
    bool RecalcEnabled() const override { return enabled; }
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
