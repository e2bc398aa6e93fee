// morvel-host: plays the logging program that hosts MorvelRussia.dll, driven by
// a script of commands (see kUsage). Every call into the plug-in is made on the
// main thread, which also runs the message loop for the plug-in's windows.
#include "db/odbc_connection.h"
#include "plugin/contract.h"
#include "plugin/text.h"
#include "tools/morvel-host/multipliers_win.h"
#include "tools/morvel-host/picture.h"
#include "tools/morvel-host/plugin_win.h"
#include "tools/morvel-host/reader_win.h"
#include "tools/morvel-host/screenshot_win.h"
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
constexpr const char* kNoMainWindow = "there is no main window (no run gave one, or it is gone)";
constexpr std::uint8_t kWhite = 0xFF;

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
          m_watch(watch), m_directory(ProgramDirectory()),
          m_queue([this](std::size_t index) { RunQueued(index); }) {}

    // Runs one script line and prints what it gives, message boxes first.
    // Queued lines run when anything handles messages during the command.
    void Execute(std::string_view line, std::size_t number) {
        const KeepInQueue none(m_pump, 0);
        const std::string text = Outcome(line, number);
        if (!text.empty()) {
            Print(text);
        }
    }

    // Prints the message boxes that came up between commands.
    void PrintMessageBoxes() {
        const std::string lines = m_watch.TakeLines();
        if (!lines.empty()) {
            Print(lines);
        }
    }

    // True once the script is to end: quit, or WM_QUIT taken from the queue.
    bool Ended() const { return m_quit || m_pump.QuitSeen(); }

    // The message of queued lines, which the host's own loop leaves in the
    // queue between commands: a queued line is meant to run inside the next
    // command, when the plug-in (or the host on its behalf) handles messages.
    UINT QueueMessage() const { return m_queue.Message(); }

    // At the end of the script: why it ended early, and the queued lines that
    // never ran, so that none is lost without a word.
    void Finish() {
        if (m_pump.QuitSeen()) {
            std::fputs("morvel-host: WM_QUIT was posted; the script ends here\n", stderr);
        }
        std::string out;
        for (Queued& queued : m_queued) {
            if (!queued.done) {
                queued.done = true;
                out += "error\tline " + std::to_string(queued.number) +
                       ": post: the queued line never ran before the script ended\n";
            }
        }
        if (!out.empty()) {
            Print(out);
        }
    }

    bool OutputFailed() const { return m_outputFailed; }

private:
    struct Queued {
        std::string line;
        std::size_t number; // of the post line
        bool done = false;
    };

    // What a script line prints: its message boxes, then its own lines.
    std::string Outcome(std::string_view line, std::size_t number) {
        std::string out;
        try {
            const std::optional<Command> command = ParseLine(line);
            if (!command) {
                return {};
            }
            out = Perform(*command, number);
            if (command->verb == Verb::Quit) {
                m_quit = true;
            }
        } catch (const std::exception& e) {
            out = "error\tline " + std::to_string(number) + ": " + OneLine(e.what()) + "\n";
        }
        return m_watch.TakeLines() + out;
    }

    // A queued line, run from the queue window's procedure: wherever the
    // thread is handling messages, inside a plug-in call as likely as not.
    // The host's own message handling meanwhile leaves the other queued lines
    // to the loop that ran this one, so that they run, and print, in order.
    void RunQueued(std::size_t index) {
        if (index >= m_queued.size() || m_queued[index].done || Ended()) {
            return;
        }
        const KeepInQueue others(m_pump, m_queue.Message());
        m_queued[index].done = true;
        // Copied: the line may queue more, which moves the list.
        const std::string line = m_queued[index].line;
        const std::size_t number = m_queued[index].number;
        // Boxes that came up before the line ran belong to the command around
        // it, and are printed as they would have been.
        PrintMessageBoxes();
        const std::string text = Outcome(line, number);
        if (!text.empty()) {
            Print(MarkLines(text, "posted\t"));
        }
    }

    std::string Perform(const Command& command, std::size_t number) {
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
        case Verb::Recalc:
            Click(Control("recalc", ui::kRecalcButtonId));
            return "recalc\n";
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
        case Verb::CloseWindow: {
            const HWND main = ExistingMainWindow();
            if (main != nullptr) {
                SendMessageA(main, WM_CLOSE, 0, 0);
                m_pump.Settle();
            }
            const bool shown = main != nullptr && IsWindow(main) && IsWindowVisible(main);
            return shown ? "closewindow\t0\n" : "closewindow\t1\n";
        }
        case Verb::MultClose: {
            if (const HWND multipliers = FindMultipliersWindow(); multipliers != nullptr) {
                SendMessageA(multipliers, WM_CLOSE, 0, 0);
                m_pump.Settle();
            }
            return FindMultipliersWindow() == nullptr ? "multclose\t1\n" : "multclose\t0\n";
        }
        case Verb::Sleep:
            m_pump.For(command.milliseconds);
            return "sleep\n";
        case Verb::Quit:
            return "quit\n";
        case Verb::Mult:
            Click(Control("mult", ui::kMultipliersButtonId));
            return FindMultipliersWindow() != nullptr ? "mult\t1\n" : "mult\t0\n";
        case Verb::Band: {
            const HWND button = FindBandButton(Multipliers("band"), command.band);
            if (button == nullptr) {
                throw ScriptError("band: the multipliers window has no band button " +
                                  std::to_string(command.band) + " (a BUTTON with id " +
                                  std::to_string(ui::kFirstBandButtonId + command.band - 1) +
                                  ")");
            }
            Click(button);
            return "band\t" + std::to_string(command.band) + "\n";
        }
        case Verb::Oblasts:
            return Oblasts();
        case Verb::BandNow: {
            const HWND multipliers = FindMultipliersWindow();
            return "bandnow\t" +
                   std::to_string(multipliers != nullptr ? PressedBand(multipliers) : 0) + "\n";
        }
        case Verb::Post:
            return Post(command.line, number);
        case Verb::Hold:
            return Hold(command.path);
        case Verb::Unhold:
            m_held.clear();
            return "unhold\n";
        case Verb::Screenshot:
            return Screenshot(command.path);
        }
        return {};
    }

    // A click as the button's own BM_CLICK makes it, and what follows handled.
    void Click(HWND button) {
        SendMessageA(button, BM_CLICK, 0, 0);
        m_pump.Settle();
    }

    std::string Oblasts() {
        const HWND list = FindControl(Multipliers("oblasts"), ui::kBandListId);
        if (list == nullptr) {
            throw ScriptError("oblasts: the multipliers window has no list (id " +
                              std::to_string(ui::kBandListId) + ")");
        }
        const std::vector<ListedOblast> items = ReadOblastList(list);
        std::string out = "oblasts\t" + std::to_string(items.size()) + "\n";
        for (const ListedOblast& item : items) {
            out += HexEscape(item.code) + (item.highlighted ? "\t1\n" : "\t0\n");
        }
        return out;
    }

    std::string Post(const std::string& line, std::size_t number) {
        m_queued.push_back(Queued{line, number});
        if (!m_queue.PostLine(m_queued.size() - 1)) {
            const DWORD error = GetLastError();
            m_queued.pop_back();
            throw Error("post: cannot queue the line: " + SystemMessage(error));
        }
        return "post\n";
    }

    // Open with no sharing at all, so that nobody else can open the file
    // until unhold. A missing file is an error, not made: an empty file where
    // there was none would change what the plug-in sees.
    std::string Hold(const std::string& path) {
        const HANDLE file =
            CreateFileA(ResolvePath(m_directory, path).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            return "hold\terror\t" + OneLine(SystemMessage(GetLastError())) + "\n";
        }
        KernelHandle held(file);
        m_held.push_back(std::move(held));
        return "hold\tok\n";
    }

    // The main window and, when there is one, the multipliers window to its
    // right, as they draw themselves.
    std::string Screenshot(const std::string& path) {
        const HWND main = ExistingMainWindow();
        if (main == nullptr) {
            return std::string("screenshot\terror\t") + kNoMainWindow + "\n";
        }
        Picture picture;
        try {
            picture = PrintedWindow(main);
            if (const HWND multipliers = FindMultipliersWindow(); multipliers != nullptr) {
                picture = SideBySide(picture, PrintedWindow(multipliers), kWhite);
            }
        } catch (const std::exception& e) {
            return "screenshot\terror\t" + OneLine(e.what()) + "\n";
        }
        try {
            SaveBmp(picture, ResolvePath(m_directory, path));
        } catch (const std::exception& e) {
            // Named as the script gave it.
            return "screenshot\terror\tcannot write " + OneLine(path) + ": " +
                   OneLine(e.what()) + "\n";
        }
        return "screenshot\tok\n";
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
            throw ScriptError(std::string(verb) + ": " + kNoMainWindow);
        }
        return main;
    }

    HWND Multipliers(const char* verb) const {
        const HWND multipliers = FindMultipliersWindow();
        if (multipliers == nullptr) {
            throw ScriptError(std::string(verb) + ": there is no multipliers window");
        }
        return multipliers;
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
    const std::string m_directory; // relative paths in the script start here
    std::vector<std::unique_ptr<TQSOData>> m_runRecords;
    HWND m_main = nullptr;
    std::vector<Queued> m_queued;
    std::vector<KernelHandle> m_held;
    bool m_quit = false;
    bool m_outputFailed = false;
    // Last: its window goes first, so no queued line runs on a half-gone host.
    PostWindow m_queue;
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
        const KeepInQueue betweenCommands(pump, host.QueueMessage());
        for (;;) {
            pump.Drain();
            host.PrintMessageBoxes();
            if (host.Ended()) {
                break;
            }
            const ScriptReader::State state = reader->Next(line);
            if (state == ScriptReader::State::End) {
                const std::string failure = reader->Failure();
                if (!failure.empty()) {
                    host.Finish();
                    return Fail(failure);
                }
                break;
            }
            if (state == ScriptReader::State::Waiting) {
                pump.Wait(reader->Ready());
                continue;
            }
            host.Execute(line, ++number);
            if (host.Ended()) {
                break;
            }
        }
        host.Finish();
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
