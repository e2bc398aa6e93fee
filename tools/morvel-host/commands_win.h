// morvel-host's commands: one function a verb of kHostVerbs (script.h), in a
// file a family, and the table that pairs each verb with its function
// (commands_win.cpp). A new command is its syntax in script.cpp, its function
// in its family's file, and a line here and in the table.
#pragma once

#include "tools/morvel-host/host_win.h"
#include "tools/morvel-host/script.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace morvel::host {

// Carries out a command given on script line `number`; returns what it prints.
using CommandFunction = std::string (*)(Host& host, const Command& command, std::size_t number);

// morvel-host's table of verbs with its commands, for HostMain.
extern const CommandTable kHostCommands;

// One verb's command, named after the verb.
template <typename Function>
struct VerbCommand {
    std::string_view verb;
    Function perform;
};

// Whether the commands follow the verbs: one a verb, in the same order.
template <typename Function, std::size_t N>
constexpr bool InVerbOrder(const std::array<VerbCommand<Function>, N>& commands,
                           const std::array<VerbSyntax, N>& verbs) {
    for (std::size_t i = 0; i < N; ++i) {
        if (commands[i].verb != verbs[i].name) {
            return false;
        }
    }
    return true;
}

// Contacts and scoring (commands_contacts_win.cpp).
std::string InfoCommand(Host& host, const Command& command, std::size_t number);
std::string RunCommand(Host& host, const Command& command, std::size_t number);
std::string ScoreCommand(Host& host, const Command& command, std::size_t number);
std::string AddCommand(Host& host, const Command& command, std::size_t number);
std::string GrabCommand(Host& host, const Command& command, std::size_t number);
std::string LogCommand(Host& host, const Command& command, std::size_t number);
std::string StatsCommand(Host& host, const Command& command, std::size_t number);
std::string ReleaseCommand(Host& host, const Command& command, std::size_t number);
std::string SqlCommand(Host& host, const Command& command, std::size_t number);

// Windows and clicks (commands_windows_win.cpp).
std::string RecalcCommand(Host& host, const Command& command, std::size_t number);
std::string CaptionCommand(Host& host, const Command& command, std::size_t number);
std::string CloseCommand(Host& host, const Command& command, std::size_t number);
std::string MultCommand(Host& host, const Command& command, std::size_t number);
std::string BandCommand(Host& host, const Command& command, std::size_t number);
std::string OblastsCommand(Host& host, const Command& command, std::size_t number);

} // namespace morvel::host
