// morvel-host: plays the logging program that hosts MorvelRussia.dll, driven by
// a script of the commands of kHostVerbs (HostMain, host_main_win.cpp).
#include "tools/morvel-host/commands_win.h"
#include "tools/morvel-host/host_win.h"

int main(int argc, char** argv) {
    using namespace morvel::host;
    return HostMain(
        argc, argv,
        HostProgram{"morvel-host", {kHostCommands}, morvel::DllSearch::SystemDirectory});
}
