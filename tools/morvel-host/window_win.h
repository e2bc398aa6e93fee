// The host's side of the plug-in's windows: the message loop, the message
// boxes the plug-in shows, and finding its controls.
#pragma once

#include "tools/morvel-host/handle_win.h"

#include <string>
#include <vector>

namespace morvel::host {

// The thread's message loop, run in short bursts between and after the calls
// into the plug-in. Once WM_QUIT has been taken from the queue, nothing more
// is handled and QuitSeen() says so. Messages of one number may be kept: left
// in the queue for whoever else handles messages (see KeepInQueue).
class MessagePump {
public:
    // Handles every message waiting now, but the kept ones.
    void Drain();
    // Drains a few times with a short pause between, so that what the handled
    // messages post or start (a follow-up message, a short timer) gets handled.
    void Settle();
    // Handles messages as they come for the given time.
    void For(DWORD milliseconds);
    // Sleeps until a message arrives or the event is set.
    void Wait(HANDLE event);

    // Keeps messages of the number from now on (0: none); returns the number
    // kept before.
    UINT Keep(UINT message);

    bool QuitSeen() const { return m_quit; }

private:
    // Whether a kept message waits in the queue: then the queue never looks
    // empty, and a wait for input polls instead of returning at once.
    bool KeptWaiting() const;

    bool m_quit = false;
    UINT m_kept = 0;
};

// Keeps messages of a number in the queue (0: none) for as long as it lives,
// then what was kept before.
class KeepInQueue {
public:
    KeepInQueue(MessagePump& pump, UINT message) : m_pump(pump), m_previous(pump.Keep(message)) {}
    ~KeepInQueue() { m_pump.Keep(m_previous); }
    KeepInQueue(const KeepInQueue&) = delete;
    KeepInQueue& operator=(const KeepInQueue&) = delete;

private:
    MessagePump& m_pump;
    UINT m_previous;
};

// Records every message box (a window of class "#32770") that comes up on this
// thread and answers it with OK. A WH_CBT hook sees the box activated and
// posts it IDOK; a WH_GETMESSAGE hook reads the caption and the text (the
// static control 0xFFFF) as that IDOK is taken from the queue, when the box
// is surely filled in: a task-modal box is activated while it is still being
// set up. A box destroyed before its IDOK came is read as it goes. One watch
// at a time.
class MessageBoxWatch {
public:
    // Installs the hooks on the calling thread; throws Error when it cannot.
    MessageBoxWatch();
    ~MessageBoxWatch();
    MessageBoxWatch(const MessageBoxWatch&) = delete;
    MessageBoxWatch& operator=(const MessageBoxWatch&) = delete;

    // The boxes seen since the last call, a "msgbox\tCAPTION\tTEXT\n" line each.
    std::string TakeLines();

private:
    static LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK GetMessageProc(int code, WPARAM wParam, LPARAM lParam);
    void OnActivate(HWND window);
    // Notes the box if it is still waiting to be read.
    void Read(HWND window);

    HookHandle m_cbtHook;
    HookHandle m_getMessageHook;
    std::string m_lines;
    std::vector<HWND> m_answered; // IDOK posted
    std::vector<HWND> m_unread;   // of those, not read yet
};

// A window's text (GetWindowTextA).
std::string WindowText(HWND window);

// The child or deeper descendant of parent with the control id, or null.
HWND FindControl(HWND parent, int id);

} // namespace morvel::host
