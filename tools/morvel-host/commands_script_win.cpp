// The script's own flow: lines queued to run inside a later command, waits,
// and the two ways to end.
#include "tools/morvel-host/commands_win.h"

namespace morvel::host {

std::string PostCommand(Host& host, const Command& command, std::size_t number) {
    host.QueueLine(command.line, number);
    return "post\n";
}

std::string SleepCommand(Host& host, const Command& command, std::size_t) {
    host.Pump().For(command.milliseconds);
    return "sleep\n";
}

// The host ends the script once the line has printed (Host::Ended).
std::string QuitCommand(Host&, const Command&, std::size_t) {
    return "quit\n";
}

// Ends the process at once, with the plug-in still loaded and running.
std::string ExitCommand(Host& host, const Command&, std::size_t) {
    host.Print(host.Watch().TakeLines() + "exit\n");
    host.EndProcess(0);
}

} // namespace morvel::host
