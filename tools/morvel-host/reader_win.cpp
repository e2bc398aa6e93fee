#include "tools/morvel-host/reader_win.h"

#include "contract/text.h"
#include "tools/morvel-host/script.h"

#include <deque>
#include <memory>
#include <utility>
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
    bool reading = false;   // the thread waits in ReadFile
    bool stop = false;      // the script loop wants no more lines
    bool abandoned = false; // the process ends without waiting for the thread
};

namespace {

// How long Stop waits: for a read to return once cancelled, and for the
// thread in all.
constexpr DWORD kPollMs = 10;
constexpr DWORD kCancelledReadMs = 500;
constexpr DWORD kStopMs = 10000;

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

// For the reading thread, with the lock held: whether to go on. Once the
// process ends without waiting for it, the thread runs nothing more, not even
// its own end (the loader's and the C runtime's thread detach would race the
// end of the process), and is ended with the process.
bool GoOn(ScriptReader::Shared& shared) {
    if (shared.abandoned) {
        LeaveCriticalSection(&shared.section);
        for (;;) {
            Sleep(INFINITE);
        }
    }
    return !shared.stop;
}

void ReadAll(ScriptReader::Shared& shared) {
    LineSplitter splitter;
    std::vector<std::string> lines;
    std::string failure;
    std::vector<char> buffer(16384);
    for (;;) {
        {
            const Locked lock(shared);
            if (!GoOn(shared)) {
                return;
            }
            shared.reading = true;
        }
        DWORD got = 0;
        const bool read = shared.input != nullptr &&
                          ReadFile(shared.input, buffer.data(), static_cast<DWORD>(buffer.size()),
                                   &got, nullptr) != FALSE;
        const DWORD error = read                      ? ERROR_SUCCESS
                            : shared.input == nullptr ? ERROR_BROKEN_PIPE
                                                      : GetLastError();
        {
            const Locked lock(shared);
            shared.reading = false;
            if (!GoOn(shared)) {
                return;
            }
        }
        if (!read) {
            if (error != ERROR_BROKEN_PIPE && error != ERROR_HANDLE_EOF) {
                failure = "cannot read the script: " + SystemMessage(error);
            }
            break;
        }
        if (got == 0) {
            break;
        }
        bool refused = false;
        try {
            splitter.Feed(std::string_view(buffer.data(), got), lines);
        } catch (const ScriptError& e) {
            // The lines before what is refused still run.
            failure = std::string("cannot read the script: ") + e.what();
            refused = true;
        }
        if (!lines.empty()) {
            const Locked lock(shared);
            if (!GoOn(shared)) {
                return;
            }
            for (std::string& line : lines) {
                shared.lines.push_back(std::move(line));
            }
            lines.clear();
            SetEvent(shared.ready.Get());
        }
        if (refused) {
            break;
        }
    }
    std::optional<std::string> last;
    try {
        last = splitter.Finish();
    } catch (const ScriptError& e) {
        failure = std::string("cannot read the script: ") + e.what();
    }
    const Locked lock(shared);
    if (!GoOn(shared)) {
        return;
    }
    if (last) {
        shared.lines.push_back(*last);
    }
    shared.failure = failure;
    shared.ended = true;
    SetEvent(shared.ready.Get());
}

// The thread's procedure; param is a std::shared_ptr<Shared> of its own.
DWORD WINAPI ReadAllCaught(void* param) {
    const std::unique_ptr<std::shared_ptr<ScriptReader::Shared>> owned(
        static_cast<std::shared_ptr<ScriptReader::Shared>*>(param));
    ScriptReader::Shared& shared = **owned;
    try {
        ReadAll(shared);
    } catch (const std::exception& e) {
        const Locked lock(shared);
        if (GoOn(shared)) {
            shared.failure = std::string("cannot read the script: ") + e.what();
            shared.ended = true;
            SetEvent(shared.ready.Get());
        }
    }
    return 0;
}

// Makes the thread's ReadFile return where the system can (Windows Vista and
// later); whether it was asked to.
bool CancelRead(HANDLE thread) {
    using CancelSynchronousIoProc = BOOL(WINAPI*)(HANDLE);
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    const auto cancel =
        kernel == nullptr ? nullptr
                          : reinterpret_cast<CancelSynchronousIoProc>(reinterpret_cast<void (*)()>(
                                GetProcAddress(kernel, "CancelSynchronousIo")));
    return cancel != nullptr && cancel(thread) != FALSE;
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
}

ScriptReader::~ScriptReader() {
    Stop();
}

ScriptReader::State ScriptReader::Next(std::string& line) {
    if (!m_thread && !m_stopped) {
        auto param = std::make_unique<std::shared_ptr<Shared>>(m_shared);
        const HANDLE thread = CreateThread(nullptr, 0, &ReadAllCaught, param.get(), 0, nullptr);
        if (thread == nullptr) {
            throw Error("cannot read the script: " + SystemMessage(GetLastError()));
        }
        param.release(); // the thread's now
        m_thread = KernelHandle(thread);
    }
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

void ScriptReader::Stop() noexcept {
    if (!m_thread || std::exchange(m_stopped, true)) {
        return;
    }
    {
        const Locked lock(*m_shared);
        m_shared->stop = true;
    }
    const DWORD start = GetTickCount();
    bool cancelled = false;
    DWORD cancelledAt = 0;
    while (WaitForSingleObject(m_thread.Get(), kPollMs) == WAIT_TIMEOUT) {
        const Locked lock(*m_shared);
        const DWORD now = GetTickCount();
        bool wait = now - start < kStopMs;
        if (m_shared->reading) {
            if (!cancelled) {
                cancelled = true;
                cancelledAt = now;
                wait = CancelRead(m_thread.Get());
            } else {
                wait = now - cancelledAt < kCancelledReadMs;
            }
        }
        if (!wait) {
            m_shared->abandoned = true;
            return;
        }
    }
}

} // namespace morvel::host
