// The script's commands: one function a verb, in a file a family, and the one
// table that maps each verb to its function (commands_win.cpp). A new command
// is its syntax in script.cpp, its function in its family's file, and a line
// here and in the table.
#pragma once

#include "tools/morvel-host/host_win.h"
#include "tools/morvel-host/script.h"

#include <cstddef>
#include <string>

namespace morvel::host {

// Carries out a command given on script line `number`; returns what it prints.
using CommandFunction = std::string (*)(Host& host, const Command& command, std::size_t number);

// Looks the command's verb up in the table and carries the command out.
std::string Perform(Host& host, const Command& command, std::size_t number);

// Contacts and scoring (commands_contacts_win.cpp).
std::string InfoCommand(Host& host, const Command& command, std::size_t number);
std::string RunCommand(Host& host, const Command& command, std::size_t number);
std::string ScoreCommand(Host& host, const Command& command, std::size_t number);
std::string AddCommand(Host& host, const Command& command, std::size_t number);
std::string GrabCommand(Host& host, const Command& command, std::size_t number);
std::string LogCommand(Host& host, const Command& command, std::size_t number);
std::string AddManyCommand(Host& host, const Command& command, std::size_t number);
std::string StatsCommand(Host& host, const Command& command, std::size_t number);
std::string ReleaseCommand(Host& host, const Command& command, std::size_t number);
std::string SqlCommand(Host& host, const Command& command, std::size_t number);

// Windows and clicks (commands_windows_win.cpp).
std::string RecalcCommand(Host& host, const Command& command, std::size_t number);
std::string CaptionCommand(Host& host, const Command& command, std::size_t number);
std::string CloseCommand(Host& host, const Command& command, std::size_t number);
std::string CloseWindowCommand(Host& host, const Command& command, std::size_t number);
std::string MultCommand(Host& host, const Command& command, std::size_t number);
std::string MultCloseCommand(Host& host, const Command& command, std::size_t number);
std::string BandCommand(Host& host, const Command& command, std::size_t number);
std::string OblastsCommand(Host& host, const Command& command, std::size_t number);
std::string BandNowCommand(Host& host, const Command& command, std::size_t number);
std::string WindowsCommand(Host& host, const Command& command, std::size_t number);
std::string StateCommand(Host& host, const Command& command, std::size_t number);
std::string MoveCommand(Host& host, const Command& command, std::size_t number);
std::string HoverCommand(Host& host, const Command& command, std::size_t number);
std::string RepaintCommand(Host& host, const Command& command, std::size_t number);

// Resources, files and screenshots (commands_resources_win.cpp).
std::string ResourcesCommand(Host& host, const Command& command, std::size_t number);
std::string ScreenshotCommand(Host& host, const Command& command, std::size_t number);
std::string HoldCommand(Host& host, const Command& command, std::size_t number);
std::string UnholdCommand(Host& host, const Command& command, std::size_t number);

// Stress (commands_stress_win.cpp).
std::string StressCommand(Host& host, const Command& command, std::size_t number);

// The module: unload, load and the connection (commands_module_win.cpp).
std::string UnloadCommand(Host& host, const Command& command, std::size_t number);
std::string LoadCommand(Host& host, const Command& command, std::size_t number);
std::string LoadedCommand(Host& host, const Command& command, std::size_t number);
std::string ClassesCommand(Host& host, const Command& command, std::size_t number);
std::string ReconnectCommand(Host& host, const Command& command, std::size_t number);
std::string LibraryCommand(Host& host, const Command& command, std::size_t number);
std::string RaceCommand(Host& host, const Command& command, std::size_t number);

// The script's own flow (commands_script_win.cpp).
std::string PostCommand(Host& host, const Command& command, std::size_t number);
std::string SleepCommand(Host& host, const Command& command, std::size_t number);
std::string QuitCommand(Host& host, const Command& command, std::size_t number);
std::string ExitCommand(Host& host, const Command& command, std::size_t number);

} // namespace morvel::host
