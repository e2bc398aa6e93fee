#include "tools/morvel-host/window_win.h"

#include "contract/text.h"
#include "tools/morvel-host/script.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace morvel::host {

namespace {

constexpr int kSettleRounds = 4;
constexpr DWORD kKeptPollMs = 20;
constexpr DWORD kSettlePauseMs = 5;
constexpr int kMaxPaintsInARow = 10000;

// The message box text is the static control with this id.
constexpr int kMessageBoxTextId = 0xFFFF;

MessageBoxWatch* g_watch = nullptr;

struct ControlSearch {
    int id;
    HWND found;
};

BOOL CALLBACK MatchControl(HWND child, LPARAM param) {
    auto* search = reinterpret_cast<ControlSearch*>(param);
    if (GetDlgCtrlID(child) == search->id) {
        search->found = child;
        return FALSE;
    }
    return TRUE;
}

} // namespace

void MessagePump::Drain() {
    MSG message;
    // A window whose paint is never validated gets WM_PAINT for ever, and a
    // loop like this one never runs out of messages: named, not waited for.
    HWND painted = nullptr;
    int paintsInARow = 0;
    while (!m_quit) {
        if (m_kept == 0) {
            if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                return;
            }
        } else if (!PeekMessageA(&message, nullptr, 0, m_kept - 1, PM_REMOVE) &&
                   !PeekMessageA(&message, nullptr, m_kept + 1, 0xFFFFFFFF, PM_REMOVE)) {
            // Everything below the kept number, then everything above it; the
            // first range of the next round takes up the queue order again.
            return;
        }
        if (message.message == WM_QUIT) {
            m_quit = true;
            return;
        }
        if (message.message == WM_PAINT && message.hwnd == painted) {
            if (++paintsInARow == kMaxPaintsInARow) {
                char className[64] = {};
                GetClassNameA(message.hwnd, className, sizeof className);
                throw Error(std::string("the thread's messages never run out: WM_PAINT for a ") +
                            className + " window keeps coming");
            }
        } else {
            painted = message.message == WM_PAINT ? message.hwnd : nullptr;
            paintsInARow = 0;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void MessagePump::Settle() {
    for (int round = 0; round < kSettleRounds && !m_quit; ++round) {
        Drain();
        Sleep(kSettlePauseMs);
    }
    Drain();
}

void MessagePump::For(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    for (;;) {
        Drain();
        const DWORD elapsed = GetTickCount() - start;
        if (m_quit || elapsed >= milliseconds) {
            return;
        }
        const DWORD left = milliseconds - elapsed;
        if (KeptWaiting()) {
            MsgWaitForMultipleObjectsEx(0, nullptr, std::min(left, kKeptPollMs), QS_ALLINPUT, 0);
        } else {
            MsgWaitForMultipleObjectsEx(0, nullptr, left, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        }
    }
}

void MessagePump::Wait(HANDLE event) {
    if (m_quit) {
        return;
    }
    if (KeptWaiting()) {
        MsgWaitForMultipleObjectsEx(1, &event, kKeptPollMs, QS_ALLINPUT, 0);
    } else {
        MsgWaitForMultipleObjectsEx(1, &event, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

UINT MessagePump::Keep(UINT message) {
    return std::exchange(m_kept, message);
}

bool MessagePump::KeptWaiting() const {
    MSG message;
    return m_kept != 0 && PeekMessageA(&message, nullptr, m_kept, m_kept, PM_NOREMOVE) != FALSE;
}

MessageBoxWatch::MessageBoxWatch() {
    if (g_watch != nullptr) {
        throw Error("a message box watch is already installed");
    }
    const DWORD thread = GetCurrentThreadId();
    m_cbtHook = HookHandle(SetWindowsHookExA(WH_CBT, &CbtProc, nullptr, thread));
    if (m_cbtHook) {
        m_getMessageHook =
            HookHandle(SetWindowsHookExA(WH_GETMESSAGE, &GetMessageProc, nullptr, thread));
    }
    if (!m_getMessageHook) {
        throw Error("cannot watch for message boxes: " + SystemMessage(GetLastError()));
    }
    g_watch = this;
}

MessageBoxWatch::~MessageBoxWatch() {
    g_watch = nullptr;
}

std::string MessageBoxWatch::TakeLines() {
    std::string lines;
    lines.swap(m_lines);
    return lines;
}

LRESULT CALLBACK MessageBoxWatch::CbtProc(int code, WPARAM wParam, LPARAM lParam) {
    const HWND window = reinterpret_cast<HWND>(wParam);
    if (g_watch != nullptr && (code == HCBT_ACTIVATE || code == HCBT_DESTROYWND)) {
        try {
            if (code == HCBT_ACTIVATE) {
                g_watch->OnActivate(window);
            } else {
                g_watch->Read(window);
            }
        } catch (...) {
            // Out of memory while noting it: the box is still answered, so
            // that the program does not wait for a click that never comes.
            if (code == HCBT_ACTIVATE) {
                PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK MessageBoxWatch::GetMessageProc(int code, WPARAM wParam, LPARAM lParam) {
    if (g_watch != nullptr && code == HC_ACTION && wParam == PM_REMOVE) {
        const MSG* message = reinterpret_cast<const MSG*>(lParam);
        if (message->message == WM_COMMAND && LOWORD(message->wParam) == IDOK) {
            try {
                g_watch->Read(message->hwnd);
            } catch (...) {
                // Out of memory: the box goes unrecorded, and is still closed.
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void MessageBoxWatch::OnActivate(HWND window) {
    char className[16] = {};
    if (GetClassNameA(window, className, sizeof className) == 0 ||
        std::strcmp(className, "#32770") != 0) {
        return;
    }
    // A box activated again (another window was active in between) has had
    // its IDOK already.
    std::erase_if(m_answered, [](HWND answered) { return !IsWindow(answered); });
    if (std::find(m_answered.begin(), m_answered.end(), window) != m_answered.end()) {
        return;
    }
    m_answered.push_back(window);
    m_unread.push_back(window);
    // Posted: the box's own modal loop takes it once the box is up.
    if (!PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0)) {
        Read(window);
    }
}

void MessageBoxWatch::Read(HWND window) {
    const auto unread = std::find(m_unread.begin(), m_unread.end(), window);
    if (unread == m_unread.end()) {
        return;
    }
    m_unread.erase(unread);
    const HWND text = GetDlgItem(window, kMessageBoxTextId);
    m_lines += "msgbox\t" + OneLine(WindowText(window)) + "\t" +
               OneLine(text != nullptr ? WindowText(text) : std::string()) + "\n";
}

std::string WindowText(HWND window) {
    const int length = GetWindowTextLengthA(window);
    if (length <= 0) {
        return {};
    }
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int got = GetWindowTextA(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::clamp(got, 0, length)));
    return text;
}

HWND FindControl(HWND parent, int id) {
    if (const HWND direct = GetDlgItem(parent, id); direct != nullptr) {
        return direct;
    }
    ControlSearch search{id, nullptr};
    EnumChildWindows(parent, &MatchControl, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

} // namespace morvel::host
