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

namespace morvel::host {

namespace {

// The program's name, for the crash report, which can be given nothing.
const char* g_program = "morvel-host";

// A crash in the plug-in (or here) still ends with a word on standard error
// and a failing exit status, not with a debugger or a dialog.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* exception) {
    char text[160];
    const int length =
        std::snprintf(text, sizeof text, "%s: crashed with exception 0x%08lX at %p\n", g_program,
                      static_cast<unsigned long>(exception->ExceptionRecord->ExceptionCode),
                      exception->ExceptionRecord->ExceptionAddress);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text,
              static_cast<DWORD>(std::clamp(length, 0, static_cast<int>(sizeof text) - 1)),
              &written, nullptr);
    return EXCEPTION_EXECUTE_HANDLER;
}

// The script's lines as they are to run: as read, numbered, with the rounds
// of the repeated blocks (RepeatBlocks).
class ScriptLines {
public:
    explicit ScriptLines(ScriptReader& reader) : m_reader(reader) {}

    enum class State { Line, Waiting, End };

    // The next line to run or to refuse; Waiting while the reader waits for
    // input; End once every line has been given, or when reading failed. A
    // block's lines are read up to its end before the first of them is given.
    State Next(ScriptLine& line) {
        for (;;) {
            if (m_blocks.Next(line)) {
                return State::Line;
            }
            if (m_ended) {
                return State::End;
            }
            const ScriptReader::State state = m_reader.Next(m_read);
            if (state == ScriptReader::State::Waiting) {
                return State::Waiting;
            }
            if (state == ScriptReader::State::End) {
                if (!m_reader.Failure().empty()) {
                    return State::End;
                }
                m_blocks.Finish();
                m_ended = true;
                continue;
            }
            m_blocks.Take(std::move(m_read), ++m_number);
        }
    }

private:
    ScriptReader& m_reader;
    RepeatBlocks m_blocks;
    std::string m_read;
    std::size_t m_number = 0;
    bool m_ended = false;
};

class Program {
public:
    explicit Program(const HostProgram& program) : m_program(program) {}

    int Run(const std::vector<std::string>& args);

private:
    int Fail(const std::string& message) const;
    std::unique_ptr<odbc::Connection> OpenDatabase(const Options& options,
                                                   const std::string& connection) const;
    int RunScript(ScriptReader& reader, Host& host, MessagePump& pump) const;
    int RunHost(const Options& options, ScriptReader& reader,
                std::unique_ptr<odbc::Connection>& database, const std::string& connection) const;
    std::string Usage() const;

    const HostProgram& m_program;
};

int Program::Fail(const std::string& message) const {
    std::fprintf(stderr, "%s: %s\n", m_program.name, message.c_str());
    return 1;
}

std::string Program::Usage() const {
    std::vector<const VerbTable*> tables;
    for (const CommandTable& table : m_program.tables) {
        tables.push_back(table.verbs);
    }
    return ScriptSyntax(std::move(tables)).Usage(m_program.name);
}

// Opened before the plug-in is loaded and closed after the script: the
// plug-in may use it for as long as its window lives. Nothing without a
// connection string; throws Error with the message to fail with.
std::unique_ptr<odbc::Connection> Program::OpenDatabase(const Options& options,
                                                        const std::string& connection) const {
    if (connection.empty()) {
        return nullptr;
    }
    try {
        auto database = std::make_unique<odbc::Connection>(connection);
        if (!options.sqliteFile.empty()) {
            // A file that another program keeps locked fails here, after
            // the wait, and not in the middle of the script. Whatever else
            // this read meets is the plug-in's and the script's to meet.
            try {
                database->Execute("SELECT count(*) FROM sqlite_master");
            } catch (const std::exception& e) {
                if (odbc::IsLockedByAnother(e.what())) {
                    throw;
                }
            }
        }
        return database;
    } catch (const std::exception& e) {
        if (!options.sqliteFile.empty() && odbc::IsLockedByAnother(e.what())) {
            throw Error("the log " + options.sqliteFile +
                        " is locked by another program (still locked after " +
                        std::to_string(options.waitSeconds) +
                        (options.waitSeconds == 1 ? " second" : " seconds") +
                        "; --wait SECONDS waits longer): " + e.what());
        }
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
int Program::RunScript(ScriptReader& reader, Host& host, MessagePump& pump) const {
    ScriptLines lines(reader);
    ScriptLine line;
    const KeepInQueue betweenCommands(pump, host.KeptBetweenCommands());
    for (;;) {
        if (!host.TakeMessagesHeld()) {
            pump.Drain();
        }
        host.PrintMessageBoxes();
        if (host.Ended()) {
            break;
        }
        const ScriptLines::State state = lines.Next(line);
        if (state == ScriptLines::State::End) {
            const std::string failure = reader.Failure();
            if (!failure.empty()) {
                host.Finish();
                return Fail(failure);
            }
            break;
        }
        if (state == ScriptLines::State::Waiting) {
            pump.Wait(reader.Ready());
            continue;
        }
        if (!line.error.empty()) {
            host.Print(ErrorLine(line.number, line.error));
        } else {
            host.Execute(line.text, line.number);
        }
        if (host.Ended()) {
            break;
        }
    }
    host.Finish();
    return host.OutputFailed() ? Fail("cannot write to standard output") : 0;
}

// The plug-in loaded and the script run against it.
int Program::RunHost(const Options& options, ScriptReader& reader,
                     std::unique_ptr<odbc::Connection>& database,
                     const std::string& connection) const {
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
    Host host(m_program, plugin, database, connection, std::move(settings), pump, watch, reader);
    return RunScript(reader, host, pump);
}

int Program::Run(const std::vector<std::string>& args) {
    Options options;
    try {
        options = ParseOptions(args);
    } catch (const ScriptError& e) {
        std::fprintf(stderr, "%s: %s\n\n%s", m_program.name, e.what(), Usage().c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(Usage().c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (options.version) {
        std::printf("%s %s\n", m_program.name, MORVEL_VERSION);
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
        // A file name the driver would misread (one holding ';') and a driver
        // that is not installed are refused here with a message, like any
        // other failure to open the log.
        try {
            connection = !options.sqliteFile.empty()
                             ? odbc::SqliteConnectionString(options.sqliteFile, options.waitSeconds)
                             : options.odbcString;
        } catch (const std::exception& e) {
            throw Error(std::string("cannot connect to the database: ") + e.what());
        }
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

int HostMain(int argc, char** argv, const HostProgram& program) {
    LimitDllSearch(program.dllSearch);
    g_program = program.name;
    SetUnhandledExceptionFilter(&ReportCrash);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    // The output is compared byte for byte: LF only, whatever the console.
    _setmode(_fileno(stdout), _O_BINARY);
    return Program(program).Run(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
}

} // namespace morvel::host
