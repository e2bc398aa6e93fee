// The script's own flow: lines queued to run inside a later command, waits,
// and the two ways to end.
#include "tests/host/commands_win.h"

namespace morvel::host {

std::string PostCommand(Host&, TestSession& session, const Command& command, std::size_t number) {
    session.QueueLine(Arguments(command).line, number);
    return "post\n";
}

std::string SleepCommand(Host& host, TestSession&, const Command& command, std::size_t) {
    host.Pump().For(Arguments(command).milliseconds);
    return "sleep\n";
}

// The host ends the script once the line has printed (Host::Ended).
std::string QuitCommand(Host& host, TestSession&, const Command&, std::size_t) {
    host.EndScript();
    return "quit\n";
}

// Ends the process at once, with the plug-in still loaded and running.
std::string ExitCommand(Host& host, TestSession&, const Command&, std::size_t) {
    host.Print(host.Watch().TakeLines() + "exit\n");
    host.EndProcess(0);
}

} // namespace morvel::host
