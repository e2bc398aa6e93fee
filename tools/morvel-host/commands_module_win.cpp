// The module and the connection: the plug-in unloaded (on this thread or
// another) and loaded again, and the database connected anew, as a logger
// does when it reconnects.
#include "tools/morvel-host/commands_win.h"

namespace morvel::host {

std::string UnloadCommand(Host& host, const Command& command, std::size_t) {
    host.Dll().Unload(command.otherThread);
    host.Pump().Settle();
    return "unload\n";
}

std::string LoadCommand(Host& host, const Command& command, std::size_t) {
    host.Dll().Load();
    if (command.captionPrefix) {
        host.Settings().captionPrefix = *command.captionPrefix;
    }
    host.Pump().Settle();
    return "load\n";
}

std::string LoadedCommand(Host& host, const Command&, std::size_t) {
    return host.Dll().Mapped() ? "loaded\t1\n" : "loaded\t0\n";
}

std::string ReconnectCommand(Host& host, const Command&, std::size_t) {
    host.Reconnect();
    return "reconnect\n";
}

} // namespace morvel::host
