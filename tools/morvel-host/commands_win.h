// morvel-host's commands: one function a verb of kHostVerbs (script.h), in a
// file a family, each declared here from the verb list (verb_list.h), which
// also pairs each verb with its function (commands_win.cpp). A new command is
// its entry in verb_list.h and its function in its family's file.
#pragma once

#include "tools/morvel-host/host_win.h"
#include "tools/morvel-host/script.h"

#include <cstddef>
#include <string>

namespace morvel::host {

// Carries out a command given on script line `number`; returns what it prints.
using CommandFunction = std::string (*)(Host& host, const Command& command, std::size_t number);

// morvel-host's table of verbs with its commands, for HostMain.
extern const CommandTable kHostCommands;

// Each verb's command, as verb_list.h names it: contacts and scoring in
// commands_contacts_win.cpp, windows and clicks in commands_windows_win.cpp.
#define MORVEL_VERB(name, command, reader, input, usage)                                           \
    std::string command(Host&, const Command&, std::size_t);
#include "tools/morvel-host/verb_list.h"
#undef MORVEL_VERB

} // namespace morvel::host
