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
    // Opens the script file (empty or "-": standard input) and starts reading;
    // throws Error when the file cannot be opened.
    explicit ScriptReader(const std::string& path);

    enum class State { Line, Waiting, End };

    // The next line when one is there; End once the input is used up.
    State Next(std::string& line);

    // Set whenever lines or the end arrive.
    HANDLE Ready() const;

    // After End: why reading stopped early, or empty when the input ended.
    std::string Failure() const;

    // The reading thread is left to finish (or to be ended with the process,
    // when it waits on a terminal); what it shares lives as long as it does.
    struct Shared;

private:
    std::shared_ptr<Shared> m_shared;
};

} // namespace morvel::host
