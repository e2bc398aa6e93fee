// The module and the connection: the plug-in unloaded (on this thread or
// another) and loaded again, and the database connected anew, as a logger
// does when it reconnects.
#include "contract/text.h"
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

// A neighbour in the logger's process: loaded and kept for the rest of the
// run. The test libraries export NeighbourThrow (1 when a throw of their own
// was caught) and NeighbourSent (what their DllMain's message to the plug-in's
// main window got: 1 an answer, 0 none in time, -1 there was no window).
std::string LibraryCommand(Host&, const Command& command, std::size_t) {
    const HMODULE library = command.otherThread ? LoadLibraryOnThread(command.path)
                                                : LoadLibraryA(command.path.c_str());
    if (library == nullptr) {
        throw Error("cannot load " + command.path + ": " + SystemMessage(GetLastError()));
    }
    std::string line = "library\t" + command.path;
    using Probe = int (*)();
    if (const FARPROC thrown = GetProcAddress(library, "NeighbourThrow")) {
        line += reinterpret_cast<Probe>(reinterpret_cast<void (*)()>(thrown))() == 1
                    ? "\tthrow caught"
                    : "\tthrow missed";
    }
    if (const FARPROC sent = GetProcAddress(library, "NeighbourSent")) {
        const int answer = reinterpret_cast<Probe>(reinterpret_cast<void (*)()>(sent))();
        line += answer > 0    ? "\tsent answered"
                : answer == 0 ? "\tsent unanswered"
                              : "\tsent nowhere";
    }
    return line + "\n";
}

// As unload thread, with the main window kept busy meanwhile.
std::string RaceCommand(Host& host, const Command& command, std::size_t) {
    host.Dll().Race(command.milliseconds, host.MainWindow("race"));
    host.HoldMessagesUntilNextCommand();
    return "race\t" + std::to_string(command.milliseconds) + "\n";
}

std::string ReconnectCommand(Host& host, const Command&, std::size_t) {
    host.Reconnect();
    return "reconnect\n";
}

} // namespace morvel::host
