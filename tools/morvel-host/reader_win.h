// The script's lines, read on a thread of their own so that the main thread
// can keep handling the plug-in's messages while it waits for the next one
// (a script typed or piped in slowly).
#pragma once

#include "tools/morvel-host/handle_win.h"

#include <memory>
#include <string>

namespace morvel::host {

class ScriptReader {
public:
    // Opens the script file (empty or "-": standard input); throws Error when
    // the file cannot be opened. Reading starts with the first Next().
    explicit ScriptReader(const std::string& path);
    // Ends the reading before the program does: see Stop.
    ~ScriptReader();
    ScriptReader(const ScriptReader&) = delete;
    ScriptReader& operator=(const ScriptReader&) = delete;

    enum class State { Line, Waiting, End };

    // The next line when one is there; End once the input is used up. The
    // first call starts the reading thread; throws Error when it cannot.
    State Next(std::string& line);

    // Set whenever lines or the end arrive.
    HANDLE Ready() const;

    // After End: why reading stopped early, or empty when the input ended.
    std::string Failure() const;

    // Reads no more: stops the reading thread and waits until it has ended,
    // so that it never runs while the C runtime and the loader end the
    // process. A thread that waits for input that may never come (a terminal,
    // a pipe whose writer goes on) has its read cancelled where the system
    // can (Windows Vista and later); else it is left waiting, to be ended with
    // the process, and never runs again. The waits are bounded.
    void Stop() noexcept;

    // What the reading thread and the script loop share; it lives as long as
    // the longer of the two.
    struct Shared;

private:
    std::shared_ptr<Shared> m_shared;
    KernelHandle m_thread; // once started
    bool m_stopped = false;
};

} // namespace morvel::host
