// Hidden message-only windows that run a callback whenever code on this
// thread dispatches their messages: the queued script lines of post, and the
// host events of stress.
#pragma once

#include "tools/morvel-host/handle_win.h"

#include <cstddef>
#include <functional>

namespace morvel::host {

// A hidden message-only window that runs a callback for each PostLine: a
// way to have something done the next time any code on this thread
// dispatches messages. The message number is registered for the program, so
// no other window's message shares it.
class PostWindow {
public:
    using Callback = std::function<void(std::size_t)>;

    // Makes the window; throws Error when it cannot.
    explicit PostWindow(Callback callback);
    PostWindow(const PostWindow&) = delete;
    PostWindow& operator=(const PostWindow&) = delete;

    // Queues a call of the callback with the index; false, with the reason in
    // GetLastError, when the message cannot be posted.
    bool PostLine(std::size_t index) const;

    UINT Message() const { return m_message; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    Callback m_callback;
    UINT m_message = 0;
    WindowHandle m_window;
};

// A hidden message-only window that runs a callback for every message posted
// to it with Post and for every WM_TIMER of its timer: host events that arrive
// whenever any code on this thread handles messages, a plug-in's
// recalculation as likely as the host's own loop. Its message number is
// registered for the program, apart from PostWindow's.
class EventWindow {
public:
    enum class Source { Posted, Timer };
    using Callback = std::function<void(Source)>;

    // Makes the window; throws Error when it cannot.
    explicit EventWindow(Callback callback);
    EventWindow(const EventWindow&) = delete;
    EventWindow& operator=(const EventWindow&) = delete;

    // Queues one call; false, with the reason in GetLastError, when the
    // message cannot be posted.
    bool Post() const;
    // A WM_TIMER every period (the system's shortest at least) until
    // StopTimer or the window goes; throws Error when there is no timer.
    void StartTimer(UINT milliseconds);
    void StopTimer();

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    Callback m_callback;
    UINT m_message = 0;
    bool m_timer = false;
    WindowHandle m_window; // last: goes first, with its timer
};

} // namespace morvel::host
