// morvel-host: plays the logging program that hosts MorvelRussia.dll, driven by
// a script of commands (see kUsage). Every call into the plug-in is made on the
// main thread, which also runs the message loop for the plug-in's windows.
#include "db/odbc_connection.h"
#include "plugin/contract.h"
#include "plugin/text.h"
#include "tools/morvel-host/plugin_win.h"
#include "tools/morvel-host/reader_win.h"
#include "tools/morvel-host/script.h"
#include "tools/morvel-host/window_win.h"
#include "ui/control_ids.h"

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace morvel;
using namespace morvel::host;

constexpr const char* kNoDatabase =
    "needs a database: give --sqlite FILE or --odbc \"CONNECTION STRING\"";

// The 600 bytes handed to _GetInfo, of which the record is the first 520.
struct InfoBuffer {
    TPluginInfo info;
    std::uint8_t spare[600 - sizeof(TPluginInfo)];
};
static_assert(sizeof(InfoBuffer) == 600);

class Host {
public:
    Host(const Plugin& plugin, odbc::Connection* database, RecordSettings settings,
         MessagePump& pump, MessageBoxWatch& watch)
        : m_plugin(plugin), m_database(database), m_settings(std::move(settings)), m_pump(pump),
          m_watch(watch) {}

    // Runs one script line and prints what it gives, message boxes first.
    // False when the script ends here (quit, or WM_QUIT in the queue).
    bool Execute(std::string_view line, std::size_t number) {
        std::string out;
        bool quit = false;
        try {
            const std::optional<Command> command = ParseLine(line);
            if (!command) {
                return true;
            }
            out = Perform(*command);
            quit = command->verb == Verb::Quit;
        } catch (const std::exception& e) {
            out = "error\tline " + std::to_string(number) + ": " + OneLine(e.what()) + "\n";
        }
        Print(m_watch.TakeLines() + out);
        if (m_pump.QuitSeen()) {
            std::fputs("morvel-host: WM_QUIT was posted; the script ends here\n", stderr);
            return false;
        }
        return !quit;
    }

    // Prints the message boxes that came up between commands.
    void PrintMessageBoxes() {
        const std::string lines = m_watch.TakeLines();
        if (!lines.empty()) {
            Print(lines);
        }
    }

    bool OutputFailed() const { return m_outputFailed; }

private:
    std::string Perform(const Command& command) {
        switch (command.verb) {
        case Verb::Info: {
            InfoBuffer buffer;
            std::memset(&buffer, 0xFF, sizeof buffer);
            m_plugin.GetInfo(buffer.info);
            m_pump.Settle();
            return InfoLine(buffer.info) + "\n";
        }
        case Verb::Run: {
            // Kept for the whole run, in case the plug-in holds on to it.
            m_runRecords.push_back(MakeRecord(command.contact));
            const auto result = reinterpret_cast<HWND>(m_plugin.Run(*m_runRecords.back()));
            const bool window = result != nullptr && IsWindow(result);
            if (window) {
                m_main = result;
            }
            m_pump.Settle();
            return window ? "run\t1\n" : "run\t0\n";
        }
        case Verb::Score: {
            const std::int32_t result = m_plugin.GetScore(*MakeRecord(command.contact));
            m_pump.Settle();
            return "score\t" + std::to_string(result) + "\n";
        }
        case Verb::Add: {
            const std::int32_t result = m_plugin.AddQSO(*MakeRecord(command.contact));
            m_pump.Settle();
            return "add\t" + std::to_string(result) + "\n";
        }
        case Verb::Grab: {
            ShortString code;
            std::memset(&code, 0xFF, sizeof code);
            m_plugin.GrabNumber(*MakeRecord(command.contact), code);
            m_pump.Settle();
            return "grab\t" + HexEscape(code.view()) + "\n";
        }
        case Verb::Log:
            return Log(command.contact);
        case Verb::Stats:
            return Stats();
        case Verb::Recalc: {
            const HWND button = Control("recalc", ui::kRecalcButtonId);
            SendMessageA(button, BM_CLICK, 0, 0);
            m_pump.Settle();
            return "recalc\n";
        }
        case Verb::Release:
            m_plugin.Release();
            m_pump.Settle();
            return "release\n";
        case Verb::Sql: {
            if (m_database == nullptr) {
                throw ScriptError(std::string("sql ") + kNoDatabase);
            }
            try {
                m_database->Execute(command.statement);
            } catch (const std::exception& e) {
                return "sql\terror\t" + OneLine(e.what()) + "\n";
            }
            return "sql\tok\n";
        }
        case Verb::Caption:
            return "caption\t" + OneLine(WindowText(MainWindow("caption"))) + "\n";
        case Verb::Close: {
            const HWND main = ExistingMainWindow();
            if (main == nullptr) {
                return "close\t0\n";
            }
            SendMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
            m_pump.Settle();
            return IsWindow(main) && IsIconic(main) ? "close\t1\n" : "close\t0\n";
        }
        case Verb::Sleep:
            m_pump.For(command.milliseconds);
            return "sleep\n";
        case Verb::Quit:
            return "quit\n";
        }
        return {};
    }

    std::string Log(const Contact& contact) {
        if (m_database == nullptr) {
            throw ScriptError(std::string("log ") + kNoDatabase);
        }
        const std::string insert = InsertStatement(m_settings.table, contact);
        try {
            m_database->Execute(insert);
        } catch (const std::exception& e) {
            // Not in the log, so not told to the plug-in either.
            return "log\terror\t" + OneLine(e.what()) + "\n";
        }
        const std::int32_t result = m_plugin.AddQSO(*MakeRecord(contact));
        m_pump.Settle();
        return "log\t" + std::to_string(result) + "\n";
    }

    std::string Stats() {
        if (ExistingMainWindow() == nullptr) {
            return "stats\t0\n";
        }
        const std::vector<std::string> lines =
            StatisticLines(WindowText(Control("stats", ui::kStatisticTextId)));
        std::string out = "stats\t" + std::to_string(lines.size()) + "\n";
        for (const std::string& line : lines) {
            out += line + "\n";
        }
        return out;
    }

    std::unique_ptr<TQSOData> MakeRecord(const Contact& contact) const {
        auto record = std::make_unique<TQSOData>();
        FillRecord(*record, m_settings, contact);
        return record;
    }

    // The window the last successful _Run returned, while it exists.
    HWND ExistingMainWindow() const {
        return m_main != nullptr && IsWindow(m_main) ? m_main : nullptr;
    }

    HWND MainWindow(const char* verb) const {
        const HWND main = ExistingMainWindow();
        if (main == nullptr) {
            throw ScriptError(std::string(verb) +
                              ": there is no main window (no run gave one, or it is gone)");
        }
        return main;
    }

    HWND Control(const char* verb, int id) const {
        const HWND control = FindControl(MainWindow(verb), id);
        if (control == nullptr) {
            throw ScriptError(std::string(verb) + ": the main window has no control with id " +
                              std::to_string(id));
        }
        return control;
    }

    void Print(const std::string& text) {
        if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() ||
            std::fflush(stdout) != 0) {
            m_outputFailed = true;
        }
    }

    const Plugin& m_plugin;
    odbc::Connection* m_database;
    RecordSettings m_settings;
    MessagePump& m_pump;
    MessageBoxWatch& m_watch;
    std::vector<std::unique_ptr<TQSOData>> m_runRecords;
    HWND m_main = nullptr;
    bool m_outputFailed = false;
};

// A crash in the plug-in (or here) still ends with a word on standard error
// and a failing exit status, not with a debugger or a dialog.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* exception) {
    char text[160];
    const int length = std::snprintf(
        text, sizeof text, "morvel-host: crashed with exception 0x%08lX at %p\n",
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

    // Opened before the plug-in is loaded and closed after the script: the
    // plug-in may use it for as long as its window lives.
    std::unique_ptr<odbc::Connection> database;
    const std::string connection = !options.sqliteFile.empty()
                                       ? odbc::SqliteConnectionString(options.sqliteFile)
                                       : options.odbcString;
    if (!connection.empty()) {
        try {
            database = std::make_unique<odbc::Connection>(connection);
        } catch (const std::exception& e) {
            std::string message = std::string("cannot connect to the database: ") + e.what();
            // The SQLite driver does not make a missing file, and says only
            // that the connection failed.
            if (!options.sqliteFile.empty() &&
                GetFileAttributesA(options.sqliteFile.c_str()) == INVALID_FILE_ATTRIBUTES) {
                message += " (there is no file " + options.sqliteFile + ")";
            }
            return Fail(message);
        }
    }

    try {
        MessageBoxWatch watch;
        MessagePump pump;
        const Plugin plugin(options.plugin.empty() ? DefaultPluginPath() : options.plugin);

        RecordSettings settings;
        settings.connection = database == nullptr
                                  ? 0
                                  : static_cast<std::uint32_t>(
                                        reinterpret_cast<std::uintptr_t>(database->Handle()));
        settings.table = options.table;
        settings.captionPrefix = options.captionPrefix;
        Host host(plugin, database.get(), std::move(settings), pump, watch);

        std::string line;
        std::size_t number = 0;
        for (;;) {
            pump.Drain();
            host.PrintMessageBoxes();
            if (pump.QuitSeen()) {
                std::fputs("morvel-host: WM_QUIT was posted; the script ends here\n", stderr);
                break;
            }
            const ScriptReader::State state = reader->Next(line);
            if (state == ScriptReader::State::End) {
                const std::string failure = reader->Failure();
                if (!failure.empty()) {
                    return Fail(failure);
                }
                break;
            }
            if (state == ScriptReader::State::Waiting) {
                pump.Wait(reader->Ready());
                continue;
            }
            if (!host.Execute(line, ++number)) {
                break;
            }
        }
        if (host.OutputFailed()) {
            return Fail("cannot write to standard output");
        }
        return 0;
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
}

} // namespace

int main(int argc, char** argv) {
    SetUnhandledExceptionFilter(&ReportCrash);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    // The output is compared byte for byte: LF only, whatever the console.
    _setmode(_fileno(stdout), _O_BINARY);
    return Run(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
}
