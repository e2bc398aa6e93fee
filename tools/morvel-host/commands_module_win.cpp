// The module and the connection: the plug-in unloaded (on this thread or
// another) and loaded again, and the database connected anew, as a logger
// does when it reconnects.
#include "tools/morvel-host/commands_win.h"
#include "ui/control_ids.h"

namespace morvel::host {

// No message is handled afterwards, not even before the next command: the
// unload must take effect in FreeLibrary itself.
std::string UnloadCommand(Host& host, const Command& command, std::size_t) {
    host.Dll().Unload(command.otherThread);
    host.HoldMessagesUntilNextCommand();
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

// The plug-in's window classes still registered under the instance of the
// module last loaded (after an unload: the one that was), in the order below.
std::string ClassesCommand(Host& host, const Command&, std::size_t) {
    std::string registered;
    for (const char* name : {ui::kMainFormClass, ui::kDomListClass, ui::kPanelClass}) {
        WNDCLASSEXA info{};
        info.cbSize = sizeof info;
        if (host.Dll().Instance() != nullptr &&
            GetClassInfoExA(host.Dll().Instance(), name, &info)) {
            registered += std::string(registered.empty() ? "" : ",") + name;
        }
    }
    return "classes\t" + (registered.empty() ? std::string("none") : registered) + "\n";
}

std::string ReconnectCommand(Host& host, const Command&, std::size_t) {
    host.Reconnect();
    return "reconnect\n";
}

} // namespace morvel::host
