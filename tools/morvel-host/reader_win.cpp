#include "tools/morvel-host/reader_win.h"

#include "contract/text.h"
#include "tools/morvel-host/script.h"

#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace morvel::host {

struct ScriptReader::Shared {
    HANDLE input = nullptr; // owned by file when the script is a file
    KernelHandle file;
    KernelHandle ready;
    std::mutex mutex;
    std::deque<std::string> lines;
    bool ended = false;
    std::string failure;
};

namespace {

void ReadAll(const std::shared_ptr<ScriptReader::Shared>& shared) {
    LineSplitter splitter;
    std::vector<std::string> lines;
    std::string failure;
    std::vector<char> buffer(16384);
    for (;;) {
        DWORD got = 0;
        if (shared->input == nullptr ||
            !ReadFile(shared->input, buffer.data(), static_cast<DWORD>(buffer.size()), &got,
                      nullptr)) {
            const DWORD error = shared->input == nullptr ? ERROR_BROKEN_PIPE : GetLastError();
            if (error != ERROR_BROKEN_PIPE && error != ERROR_HANDLE_EOF) {
                failure = "cannot read the script: " + SystemMessage(error);
            }
            break;
        }
        if (got == 0) {
            break;
        }
        splitter.Feed(std::string_view(buffer.data(), got), lines);
        if (!lines.empty()) {
            const std::lock_guard lock(shared->mutex);
            for (std::string& line : lines) {
                shared->lines.push_back(std::move(line));
            }
            lines.clear();
            SetEvent(shared->ready.Get());
        }
    }
    const std::optional<std::string> last = splitter.Finish();
    const std::lock_guard lock(shared->mutex);
    if (last) {
        shared->lines.push_back(*last);
    }
    shared->failure = failure;
    shared->ended = true;
    SetEvent(shared->ready.Get());
}

void ReadAllCaught(std::shared_ptr<ScriptReader::Shared> shared) {
    try {
        ReadAll(shared);
    } catch (const std::exception& e) {
        const std::lock_guard lock(shared->mutex);
        shared->failure = std::string("cannot read the script: ") + e.what();
        shared->ended = true;
        SetEvent(shared->ready.Get());
    }
}

} // namespace

ScriptReader::ScriptReader(const std::string& path) : m_shared(std::make_shared<Shared>()) {
    if (path.empty() || path == "-") {
        const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
        m_shared->input = input == INVALID_HANDLE_VALUE ? nullptr : input;
    } else {
        const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            throw Error("cannot open the script " + path + ": " + SystemMessage(GetLastError()));
        }
        m_shared->file = KernelHandle(file);
        m_shared->input = file;
    }
    m_shared->ready = KernelHandle(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (!m_shared->ready) {
        throw Error("cannot read the script: " + SystemMessage(GetLastError()));
    }
    std::thread(ReadAllCaught, m_shared).detach();
}

ScriptReader::State ScriptReader::Next(std::string& line) {
    const std::lock_guard lock(m_shared->mutex);
    if (!m_shared->lines.empty()) {
        line = std::move(m_shared->lines.front());
        m_shared->lines.pop_front();
        return State::Line;
    }
    return m_shared->ended ? State::End : State::Waiting;
}

HANDLE ScriptReader::Ready() const {
    return m_shared->ready.Get();
}

std::string ScriptReader::Failure() const {
    const std::lock_guard lock(m_shared->mutex);
    return m_shared->failure;
}

} // namespace morvel::host
