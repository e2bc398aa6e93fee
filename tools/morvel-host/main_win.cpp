// morvel-host: plays the logging program that hosts MorvelRussia.dll, driven by
// a script of commands (see kUsage). Every call into the plug-in is made on the
// main thread, which also runs the message loop for the plug-in's windows.
#include "contract/text.h"
#include "tools/morvel-host/host_win.h"
#include "tools/morvel-host/plugin_win.h"
#include "tools/morvel-host/reader_win.h"
#include "tools/morvel-host/script.h"
#include "tools/morvel-host/window_win.h"
#include "tools/odbc/odbc_connection.h"
#include "tools/odbc/system_library_win.h"

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace morvel;
using namespace morvel::host;

// A crash in the plug-in (or here) still ends with a word on standard error
// and a failing exit status, not with a debugger or a dialog.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* exception) {
    char text[160];
    const int length =
        std::snprintf(text, sizeof text, "morvel-host: crashed with exception 0x%08lX at %p\n",
                      static_cast<unsigned long>(exception->ExceptionRecord->ExceptionCode),
                      exception->ExceptionRecord->ExceptionAddress);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text,
              static_cast<DWORD>(std::clamp(length, 0, static_cast<int>(sizeof text) - 1)),
              &written, nullptr);
    return EXCEPTION_EXECUTE_HANDLER;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "morvel-host: %s\n", message.c_str());
    return 1;
}

// Opened before the plug-in is loaded and closed after the script: the
// plug-in may use it for as long as its window lives. Nothing without a
// connection string; throws Error with the message to fail with.
std::unique_ptr<odbc::Connection> OpenDatabase(const Options& options,
                                               const std::string& connection) {
    if (connection.empty()) {
        return nullptr;
    }
    try {
        return std::make_unique<odbc::Connection>(connection);
    } catch (const std::exception& e) {
        std::string message = std::string("cannot connect to the database: ") + e.what();
        // The SQLite driver does not make a missing file, and says only that
        // the connection failed.
        if (!options.sqliteFile.empty() &&
            GetFileAttributesA(options.sqliteFile.c_str()) == INVALID_FILE_ATTRIBUTES) {
            message += " (there is no file " + options.sqliteFile + ")";
        }
        throw Error(message);
    }
}

// Reads and runs the script's lines until it ends, handling messages between
// them; the exit status.
int RunScript(ScriptReader& reader, Host& host, MessagePump& pump) {
    std::string line;
    std::size_t number = 0;
    const KeepInQueue betweenCommands(pump, host.QueueMessage());
    for (;;) {
        if (!host.TakeMessagesHeld()) {
            pump.Drain();
        }
        host.PrintMessageBoxes();
        if (host.Ended()) {
            break;
        }
        const ScriptReader::State state = reader.Next(line);
        if (state == ScriptReader::State::End) {
            const std::string failure = reader.Failure();
            if (!failure.empty()) {
                host.Finish();
                return Fail(failure);
            }
            break;
        }
        if (state == ScriptReader::State::Waiting) {
            pump.Wait(reader.Ready());
            continue;
        }
        host.Execute(line, ++number);
        if (host.Ended()) {
            break;
        }
    }
    host.Finish();
    return host.OutputFailed() ? Fail("cannot write to standard output") : 0;
}

// The plug-in loaded and the script run against it.
int RunHost(const Options& options, ScriptReader& reader,
            std::unique_ptr<odbc::Connection>& database, const std::string& connection) {
    MessageBoxWatch watch;
    MessagePump pump;
    // The plug-in imports ODBC32.dll, as a logger that hosts it has loaded it
    // already: with the system directory's loaded first, that import takes
    // it, and not a DLL of the name beside the program (and the plug-in).
    // Without a driver manager the plug-in's load names what is missing.
    try {
        odbc::DriverManager();
    } catch (const Error&) {
    }
    Plugin plugin(options.plugin.empty() ? DefaultPluginPath() : options.plugin);
    RecordSettings settings;
    settings.connection =
        database == nullptr
            ? 0
            : static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(database->Handle()));
    settings.table = options.table;
    settings.captionPrefix = options.captionPrefix;
    Host host(plugin, database, connection, std::move(settings), pump, watch, reader);
    return RunScript(reader, host, pump);
}

int Run(const std::vector<std::string>& args) {
    Options options;
    try {
        options = ParseOptions(args);
    } catch (const ScriptError& e) {
        std::fprintf(stderr, "morvel-host: %s\n\n%s", e.what(), kUsage);
        return 2;
    }
    if (options.help) {
        std::fputs(kUsage, stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    std::unique_ptr<ScriptReader> reader;
    try {
        reader = std::make_unique<ScriptReader>(options.script);
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
    std::string connection;
    std::unique_ptr<odbc::Connection> database;
    try {
        // A file name the driver would misread (one holding ';') is refused
        // here with a message, like any other failure to open the log.
        connection = !options.sqliteFile.empty() ? odbc::SqliteConnectionString(options.sqliteFile)
                                                 : options.odbcString;
        database = OpenDatabase(options, connection);
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
    try {
        return RunHost(options, *reader, database, connection);
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
}

} // namespace

int main(int argc, char** argv) {
    LeaveCurrentDirectoryOutOfDllSearch();
    SetUnhandledExceptionFilter(&ReportCrash);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    // The output is compared byte for byte: LF only, whatever the console.
    _setmode(_fileno(stdout), _O_BINARY);
    return Run(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
}
