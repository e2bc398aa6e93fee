// morvel-test-host: morvel-host with the verbs of the tests (verbs.h): windows
// closed, counted and painted, queued lines, files held open, screenshots,
// stress, resources, unloads and other libraries in the process.
#include "tests/host/commands_win.h"
#include "tools/morvel-host/commands_win.h"
#include "tools/morvel-host/host_win.h"

int main(int argc, char** argv) {
    using namespace morvel::host;
    return HostMain(argc, argv, HostProgram{"morvel-test-host", {kHostCommands, kTestCommands}});
}
