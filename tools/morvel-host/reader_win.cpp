#include "tools/morvel-host/reader_win.h"

#include "contract/text.h"
#include "tools/morvel-host/script.h"

#include <deque>
#include <memory>
#include <vector>

namespace morvel::host {

// The reading thread and the script loop share this; a critical section
// guards it (the release build's C++ runtime has no std::mutex).
struct ScriptReader::Shared {
    Shared() { InitializeCriticalSection(&section); }
    ~Shared() { DeleteCriticalSection(&section); }
    Shared(const Shared&) = delete;
    Shared& operator=(const Shared&) = delete;

    HANDLE input = nullptr; // owned by file when the script is a file
    KernelHandle file;
    KernelHandle ready;
    CRITICAL_SECTION section;
    std::deque<std::string> lines;
    bool ended = false;
    std::string failure;
};

namespace {

class Locked {
public:
    explicit Locked(ScriptReader::Shared& shared) : m_section(&shared.section) {
        EnterCriticalSection(m_section);
    }
    ~Locked() { LeaveCriticalSection(m_section); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    CRITICAL_SECTION* m_section;
};

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
            const Locked lock(*shared);
            for (std::string& line : lines) {
                shared->lines.push_back(std::move(line));
            }
            lines.clear();
            SetEvent(shared->ready.Get());
        }
    }
    const std::optional<std::string> last = splitter.Finish();
    const Locked lock(*shared);
    if (last) {
        shared->lines.push_back(*last);
    }
    shared->failure = failure;
    shared->ended = true;
    SetEvent(shared->ready.Get());
}

// The thread's procedure; param is a std::shared_ptr<Shared> of its own.
DWORD WINAPI ReadAllCaught(void* param) {
    const std::unique_ptr<std::shared_ptr<ScriptReader::Shared>> owned(
        static_cast<std::shared_ptr<ScriptReader::Shared>*>(param));
    const std::shared_ptr<ScriptReader::Shared>& shared = *owned;
    try {
        ReadAll(shared);
    } catch (const std::exception& e) {
        const Locked lock(*shared);
        shared->failure = std::string("cannot read the script: ") + e.what();
        shared->ended = true;
        SetEvent(shared->ready.Get());
    }
    return 0;
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
    auto param = std::make_unique<std::shared_ptr<Shared>>(m_shared);
    const HANDLE thread = CreateThread(nullptr, 0, &ReadAllCaught, param.get(), 0, nullptr);
    if (thread == nullptr) {
        throw Error("cannot read the script: " + SystemMessage(GetLastError()));
    }
    param.release(); // the thread's now
    CloseHandle(thread);
}

ScriptReader::State ScriptReader::Next(std::string& line) {
    const Locked lock(*m_shared);
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
    const Locked lock(*m_shared);
    return m_shared->failure;
}

} // namespace morvel::host
