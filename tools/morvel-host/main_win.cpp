// morvel-host: plays the logging program that hosts MorvelRussia.dll, driven by
// a script of commands (see kUsage). Every call into the plug-in is made on the
// main thread, which also runs the message loop for the plug-in's windows.
#include "contract/contract.h"
#include "contract/text.h"
#include "db/odbc_connection.h"
#include "tools/loggen/contacts.h"
#include "tools/morvel-host/multipliers_win.h"
#include "tools/morvel-host/picture.h"
#include "tools/morvel-host/plugin_win.h"
#include "tools/morvel-host/reader_win.h"
#include "tools/morvel-host/resources_win.h"
#include "tools/morvel-host/screenshot_win.h"
#include "tools/morvel-host/script.h"
#include "tools/morvel-host/stress.h"
#include "tools/morvel-host/window_win.h"
#include "ui/control_ids.h"

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace morvel;
using namespace morvel::host;

constexpr const char* kNoDatabase =
    "needs a database: give --sqlite FILE or --odbc \"CONNECTION STRING\"";
constexpr const char* kNoMainWindow = "there is no main window (no run gave one, or it is gone)";
constexpr std::uint8_t kWhite = 0xFF;

// The stress posts its events a batch at a time, so that an event that
// recalculates finds the rest of its batch waiting, and runs a timer as fast
// as the system allows, whose ticks come up in the middle of a
// recalculation, after the log has been read. Events nest (each may
// recalculate, and each recalculation handles messages) at most so deep;
// past that they are left out. The events are bounded in number as well as
// in time, and the contacts logged are drawn from a pool that starts again
// when used up (its contacts are then logged twice, as duplicates).
constexpr int kStressBatch = 5;
// Every so many batches, between two of them, the statistics are compared
// with a recalculation's (and once more at the end).
constexpr std::uint64_t kStressCheckEvery = 2;
constexpr UINT kStressTimerMs = 1;
constexpr int kMaxStressDepth = 6;
constexpr std::uint64_t kMaxStressEvents = 1'000'000;
constexpr std::size_t kStressContacts = 20'000;

// What a stress did, for standard error and for its verdict.
struct StressRun {
    StressRun(std::uint64_t seedValue, std::uint32_t ms)
        : plan(seedValue), seed(seedValue), milliseconds(ms), start(GetTickCount64()) {}

    bool Over() const {
        return events >= kMaxStressEvents || GetTickCount64() - start >= milliseconds;
    }

    StressPlan plan;
    std::uint64_t seed;
    std::uint32_t milliseconds;
    ULONGLONG start;
    std::vector<loggen::Contact> contacts;
    std::size_t logged = 0; // contacts taken from the pool for "log"
    bool running = false;   // run, and not released since
    bool finished = false;
    int depth = 0;
    int outstanding = 0; // posted, not handled yet

    std::uint64_t events = 0;
    std::uint64_t posted = 0;
    std::uint64_t timer = 0;
    std::uint64_t interleaved = 0; // during a recalculation
    std::uint64_t afterRead = 0;   // of those, once it had read the log
    std::uint64_t tooDeep = 0;
    std::uint64_t releases = 0;
    std::array<std::uint64_t, kStressActions> byAction{};
    std::uint64_t logFailures = 0;
    std::string firstLogFailure;
    std::uint64_t runFailures = 0;
    std::string firstError; // an event that could not be carried out

    bool paused = false; // events held back while the statistics are checked
    std::uint64_t checks = 0;
    std::uint64_t disabledButtons = 0; // "Recalc Statistic" disabled at a check
    std::uint64_t mismatches = 0;
    std::uint64_t mismatchAfter = 0; // events before the first mismatch
    std::string before;              // the first statistics that differed
    std::string after;               // and the recalculation's
};

// Counts up while it lives: events nested, or host calls that recalculate
// under way.
class CountScope {
public:
    explicit CountScope(int& count) : m_count(count) { ++m_count; }
    ~CountScope() { --m_count; }
    CountScope(const CountScope&) = delete;
    CountScope& operator=(const CountScope&) = delete;

private:
    int& m_count;
};

Contact HostContact(const loggen::Contact& c) {
    return Contact{c.CallSign,   c.DigiBand,   c.QSOMode,  c.QSOReportRecived,
                   c.DXCCPrefix, c.MainPrefix, c.Continent};
}

std::string Signed(std::uint64_t now, std::uint64_t before) {
    return now >= before ? "+" + std::to_string(now - before) : "-" + std::to_string(before - now);
}

void Note(const std::string& text) {
    std::fputs(("morvel-host: " + text + "\n").c_str(), stderr);
}

// The 600 bytes handed to _GetInfo, of which the record is the first 520.
struct InfoBuffer {
    TPluginInfo info;
    std::uint8_t spare[600 - sizeof(TPluginInfo)];
};
static_assert(sizeof(InfoBuffer) == 600);

class Host {
public:
    Host(Plugin& plugin, std::unique_ptr<odbc::Connection>& database, std::string connection,
         RecordSettings settings, MessagePump& pump, MessageBoxWatch& watch)
        : m_plugin(plugin), m_connection(database), m_connectionString(std::move(connection)),
          m_database(database.get()), m_settings(std::move(settings)), m_pump(pump),
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
            // Inside _Run (a queued line) the window may exist before the
            // host has its handle.
            const HWND main =
                ExistingMainWindow() != nullptr ? ExistingMainWindow() : ThreadMainFormWindow();
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
        case Verb::Stress:
            return Stress(command);
        case Verb::AddMany:
            return AddMany(command);
        case Verb::Resources:
            return ResourcesLine(command);
        case Verb::Unload:
            m_plugin.Unload(command.otherThread);
            m_pump.Settle();
            return "unload\n";
        case Verb::Load:
            m_plugin.Load();
            if (command.captionPrefix) {
                m_settings.captionPrefix = *command.captionPrefix;
            }
            m_pump.Settle();
            return "load\n";
        case Verb::Loaded:
            return m_plugin.Mapped() ? "loaded\t1\n" : "loaded\t0\n";
        case Verb::Windows:
            return "windows\t" + std::to_string(VisibleThreadWindows()) + "\n";
        case Verb::State:
            return "state\t" + MainWindowState() + "\n";
        case Verb::Reconnect:
            return Reconnect();
        case Verb::Move:
            return Move(command.x, command.y);
        case Verb::Exit:
            Print(m_watch.TakeLines() + "exit\n");
            ExitProcess(0);
        }
        return {};
    }

    static BOOL CALLBACK MatchMainForm(HWND window, LPARAM param) {
        char className[64] = {};
        if (GetClassNameA(window, className, sizeof className) != 0 &&
            std::strcmp(className, ui::kMainFormClass) == 0) {
            *reinterpret_cast<HWND*>(param) = window;
            return FALSE;
        }
        return TRUE;
    }

    // A main window of the plug-in's class on this thread, or null.
    static HWND ThreadMainFormWindow() {
        HWND found = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), &MatchMainForm, reinterpret_cast<LPARAM>(&found));
        return found;
    }

    static BOOL CALLBACK CountVisible(HWND window, LPARAM param) {
        *reinterpret_cast<int*>(param) += IsWindowVisible(window) ? 1 : 0;
        return TRUE;
    }

    static int VisibleThreadWindows() {
        int count = 0;
        EnumThreadWindows(GetCurrentThreadId(), &CountVisible, reinterpret_cast<LPARAM>(&count));
        return count;
    }

    std::string MainWindowState() const {
        const HWND main = ExistingMainWindow();
        if (main == nullptr) {
            return "none";
        }
        if (!IsWindowVisible(main)) {
            return "hidden";
        }
        return IsIconic(main) ? "minimised" : IsZoomed(main) ? "maximised" : "normal";
    }

    // The new connection is made before the old one is closed, so that its
    // handle differs from the old one's.
    std::string Reconnect() {
        if (m_database == nullptr) {
            throw ScriptError(std::string("reconnect ") + kNoDatabase);
        }
        auto fresh = std::make_unique<odbc::Connection>(m_connectionString);
        m_connection = std::move(fresh);
        m_database = m_connection.get();
        m_settings.connection =
            static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(m_database->Handle()));
        return "reconnect\n";
    }

    // As the operator's drag ends: the system's enter and exit messages around
    // the move.
    std::string Move(int x, int y) {
        const HWND main = MainWindow("move");
        SendMessageA(main, WM_ENTERSIZEMOVE, 0, 0);
        SetWindowPos(main, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageA(main, WM_EXITSIZEMOVE, 0, 0);
        m_pump.Settle();
        return "move\n";
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

    // Host events, fired from posted messages and a timer while the thread
    // handles messages, so that most land inside recalculations; then the
    // plug-in is brought to run, and the statistics it shows must be those of
    // a recalculation from the log: every contact added was logged first.
    std::string Stress(const Command& command) {
        if (m_database == nullptr) {
            throw ScriptError(std::string("stress ") + kNoDatabase);
        }
        if (m_stress != nullptr) {
            throw ScriptError("stress: a stress is running already");
        }
        StressRun run(command.seed, command.milliseconds);
        loggen::Options options;
        options.contacts = kStressContacts;
        options.seed = command.seed;
        run.contacts = loggen::Generate(options);
        // Whatever was pending (a release) takes effect first.
        m_pump.Settle();
        run.running = ExistingMainWindow() != nullptr;
        if (m_stressRecord == nullptr) {
            m_runRecords.push_back(MakeRecord(Contact{}));
            m_stressRecord = m_runRecords.back().get();
        }

        struct Current {
            StressRun*& slot;
            ~Current() { slot = nullptr; }
        } current{m_stress};
        m_stress = &run;
        EventWindow events([this](EventWindow::Source source) { OnStressEvent(source); });
        events.StartTimer(kStressTimerMs);
        for (std::uint64_t batch = 1; !run.finished && !m_pump.QuitSeen(); ++batch) {
            for (int i = 0; i < kStressBatch && events.Post(); ++i) {
                ++run.outstanding;
            }
            if (run.outstanding == 0) {
                throw Error("stress: cannot post the events: " + SystemMessage(GetLastError()));
            }
            m_pump.Drain();
            if (run.outstanding != 0 && !m_pump.QuitSeen()) {
                // The queue is empty now: they are lost.
                if (run.firstError.empty()) {
                    run.firstError = std::to_string(run.outstanding) + " posted events never came";
                }
                run.outstanding = 0;
            }
            run.finished = run.finished || run.Over();
            // Between two batches nothing is under way: what the plug-in shows
            // must be what a recalculation makes of the log.
            if (!run.finished && run.running && batch % kStressCheckEvery == 0 &&
                ExistingMainWindow() != nullptr) {
                CheckStatistics(run);
            }
        }
        events.StopTimer();
        run.finished = true;
        m_pump.Settle();
        if (m_pump.QuitSeen()) {
            ReportStress(run);
            return "stress\tfailed\tWM_QUIT came in the middle\n";
        }

        // The end: a main window, and its statistics checked once more.
        std::vector<std::string> failures;
        if (!run.running || ExistingMainWindow() == nullptr) {
            const auto window = reinterpret_cast<HWND>(m_plugin.Run(*m_stressRecord));
            if (window != nullptr && IsWindow(window)) {
                m_main = window;
            }
            m_pump.Settle();
        }
        if (ExistingMainWindow() == nullptr) {
            failures.push_back("no main window at the end, after _Run");
        } else {
            CheckStatistics(run);
            m_pump.Settle();
        }
        if (run.mismatches != 0) {
            failures.push_back("the statistics differed from a recalculation's " +
                               std::to_string(run.mismatches) + " times in " +
                               std::to_string(run.checks) + " checks, first after " +
                               std::to_string(run.mismatchAfter) + " events");
        }
        if (run.disabledButtons != 0) {
            failures.push_back("\"Recalc Statistic\" was disabled with no recalculation under "
                               "way at " + std::to_string(run.disabledButtons) + " checks");
        }
        if (run.interleaved == 0) {
            failures.push_back("no event ran during a recalculation");
        }
        if (run.logFailures != 0) {
            failures.push_back(std::to_string(run.logFailures) +
                               " INSERTs failed, the first with " + run.firstLogFailure);
        }
        if (run.runFailures != 0) {
            failures.push_back(std::to_string(run.runFailures) + " _Run calls gave no window");
        }
        if (!run.firstError.empty()) {
            failures.push_back("an event failed: " + run.firstError);
        }
        ReportStress(run);
        if (failures.empty()) {
            return "stress\tok\n";
        }
        std::string out = "stress\tfailed";
        for (std::size_t i = 0; i < failures.size(); ++i) {
            out += (i == 0 ? "\t" : "; ") + OneLine(failures[i]);
        }
        out += "\n";
        if (run.mismatches != 0) {
            // As "stats" prints them: the first statistics that differed, and
            // the recalculation's.
            const auto block = [](const char* name, const std::string& text) {
                const std::vector<std::string> lines = StatisticLines(text);
                std::string shown = std::string("stress\t") + name + "\t" +
                                    std::to_string(lines.size()) + "\n";
                for (const std::string& line : lines) {
                    shown += line + "\n";
                }
                return shown;
            };
            out += block("before", run.before) + block("after", run.after);
        }
        return out;
    }

    // Reads the statistics, clicks "Recalc Statistic" and reads them again,
    // with the events held back meanwhile: they would change the log.
    void CheckStatistics(StressRun& run) {
        const HWND button = Control("stress", ui::kRecalcButtonId);
        if (!IsWindowEnabled(button)) {
            // Nothing is under way: a click would be lost, and the check with it.
            ++run.disabledButtons;
            return;
        }
        const bool paused = std::exchange(run.paused, true);
        std::string before = WindowText(Control("stress", ui::kStatisticTextId));
        SendMessageA(button, BM_CLICK, 0, 0);
        std::string after = WindowText(Control("stress", ui::kStatisticTextId));
        run.paused = paused;
        ++run.checks;
        if (!SameStatistics(before, after) && run.mismatches++ == 0) {
            run.mismatchAfter = run.events;
            run.before = std::move(before);
            run.after = std::move(after);
        }
    }

    // One stress event, wherever the thread handles messages.
    void OnStressEvent(EventWindow::Source source) {
        if (m_stress == nullptr) {
            return;
        }
        StressRun& run = *m_stress;
        if (source == EventWindow::Source::Posted && run.outstanding > 0) {
            --run.outstanding;
        }
        if (run.finished || run.paused) {
            return;
        }
        if (run.Over()) {
            run.finished = true;
            return;
        }
        if (run.depth >= kMaxStressDepth) {
            ++run.tooDeep;
            return;
        }
        const CountScope nested(run.depth);
        // The plug-in disables its button while it recalculates, and handles
        // messages then only once it has read the log; at the start of a
        // recalculation only the host knows that one is under way.
        const bool afterRead = RecalcButtonDisabled();
        ++run.events;
        ++(source == EventWindow::Source::Posted ? run.posted : run.timer);
        if (m_recalculating > 0 || afterRead) {
            ++run.interleaved;
            run.afterRead += afterRead ? 1 : 0;
        }
        const StressStep step = run.plan.Next(run.running);
        ++run.byAction[static_cast<std::size_t>(step.action)];
        try {
            PerformStressStep(run, step);
        } catch (const std::exception& e) {
            if (run.firstError.empty()) {
                run.firstError = std::string(StressActionName(step.action)) + ": " + e.what();
            }
        }
    }

    void PerformStressStep(StressRun& run, const StressStep& step) {
        switch (step.action) {
        case StressAction::Log: {
            const Contact contact = HostContact(run.contacts[run.logged++ % run.contacts.size()]);
            try {
                m_database->Execute(InsertStatement(m_settings.table, contact));
            } catch (const std::exception& e) {
                // Not in the log, so not told to the plug-in either.
                if (run.logFailures++ == 0) {
                    run.firstLogFailure = e.what();
                }
                return;
            }
            m_plugin.AddQSO(*MakeRecord(contact));
            return;
        }
        case StressAction::Score:
        case StressAction::Grab: {
            // One of the contacts logged so far: a duplicate as often as not.
            const std::size_t known = std::clamp<std::size_t>(run.logged, 1, run.contacts.size());
            const Contact contact = HostContact(run.contacts[step.pick % known]);
            if (step.action == StressAction::Score) {
                m_plugin.GetScore(*MakeRecord(contact));
            } else {
                ShortString code;
                m_plugin.GrabNumber(*MakeRecord(contact), code);
            }
            return;
        }
        case StressAction::Recalc: {
            const CountScope recalculating(m_recalculating);
            SendMessageA(Control("stress", ui::kRecalcButtonId), BM_CLICK, 0, 0);
            return;
        }
        case StressAction::Multipliers:
            SendMessageA(Control("stress", ui::kMultipliersButtonId), BM_CLICK, 0, 0);
            return;
        case StressAction::Band: {
            HWND multipliers = VisibleMultipliersWindow();
            if (multipliers == nullptr) {
                SendMessageA(Control("stress", ui::kMultipliersButtonId), BM_CLICK, 0, 0);
                multipliers = VisibleMultipliersWindow();
            }
            if (multipliers != nullptr) {
                if (const HWND button = FindBandButton(multipliers, step.band)) {
                    SendMessageA(button, BM_CLICK, 0, 0);
                }
            }
            return;
        }
        case StressAction::Close:
            SendMessageA(MainWindow("stress"), WM_SYSCOMMAND, SC_CLOSE, 0);
            return;
        case StressAction::MultClose:
            if (const HWND multipliers = VisibleMultipliersWindow()) {
                SendMessageA(multipliers, WM_CLOSE, 0, 0);
            }
            return;
        case StressAction::Release:
            ++run.releases;
            m_plugin.Release();
            run.running = false;
            return;
        case StressAction::Run: {
            const CountScope recalculating(m_recalculating);
            const std::uint64_t releases = run.releases;
            const auto window = reinterpret_cast<HWND>(m_plugin.Run(*m_stressRecord));
            if (window != nullptr && IsWindow(window)) {
                m_main = window;
                run.running = true;
            } else {
                run.running = false;
                // No window is right only when a _Release came meanwhile.
                run.runFailures += run.releases == releases ? 1 : 0;
            }
            return;
        }
        }
    }

    bool RecalcButtonDisabled() const {
        const HWND main = ExistingMainWindow();
        const HWND button = main != nullptr ? FindControl(main, ui::kRecalcButtonId) : nullptr;
        return button != nullptr && !IsWindowEnabled(button);
    }

    // Only a window the operator could click: a closed one may still be
    // there, hidden, until its destruction comes up.
    static HWND VisibleMultipliersWindow() {
        const HWND multipliers = FindMultipliersWindow();
        return multipliers != nullptr && IsWindowVisible(multipliers) ? multipliers : nullptr;
    }

    static void ReportStress(const StressRun& run) {
        std::string text = "stress seed " + std::to_string(run.seed) + ", " +
                           std::to_string(run.milliseconds) + " ms: " +
                           std::to_string(run.events) + " events (" +
                           std::to_string(run.posted) + " posted, " + std::to_string(run.timer) +
                           " from the timer), " + std::to_string(run.interleaved) +
                           " interleavings (" + std::to_string(run.afterRead) +
                           " after the log was read), " + std::to_string(run.tooDeep) +
                           " left out nested too deep, " + std::to_string(run.checks) +
                           " checks of the statistics;";
        for (std::size_t i = 0; i < kStressActions; ++i) {
            text += std::string(i == 0 ? " " : ", ") +
                    std::string(StressActionName(static_cast<StressAction>(i))) + " " +
                    std::to_string(run.byAction[i]);
        }
        Note(text);
    }

    // _AddQSO for generated contacts, as a host logging them one after
    // another; only the number that counted (1) is printed.
    std::string AddMany(const Command& command) {
        loggen::Options options;
        options.contacts = command.count;
        options.seed = command.seed;
        const std::vector<loggen::Contact> contacts = loggen::Generate(options);
        auto record = std::make_unique<TQSOData>();
        std::uint64_t counted = 0;
        for (const loggen::Contact& contact : contacts) {
            FillRecord(*record, m_settings, HostContact(contact));
            counted += m_plugin.AddQSO(*record) == kOnePoint ? 1 : 0;
        }
        m_pump.Settle();
        return "addmany\t" + std::to_string(command.count) + "\t" + std::to_string(counted) + "\n";
    }

    std::string ResourcesLine(const Command& command) {
        const Resources now = MeasureResources();
        if (!m_resourcesExplained && (now.countedHere || now.fromPagefileUsage)) {
            m_resourcesExplained = true;
            if (now.countedHere) {
                Note("resources: the system counts no GUI objects here (GetGuiResources gives "
                     "0): GDI objects are the handles GetObjectType knows, USER objects this "
                     "process's windows, menus, icons and cursors");
            }
            if (now.fromPagefileUsage) {
                Note("resources: PrivateUsage is 0 here: private bytes are PagefileUsage");
            }
        }
        const std::string types = GdiTypes(now);
        const std::string figures = "GDI " + std::to_string(now.gdi) +
                                    (types.empty() ? "" : " (" + types + ")") + ", USER " +
                                    std::to_string(now.user) + ", private bytes " +
                                    std::to_string(now.privateBytes);
        switch (command.resources) {
        case ResourcesMode::Show:
            break;
        case ResourcesMode::Mark:
            m_mark = now;
            Note("resources at the mark: " + figures);
            return "resources\tmarked\n";
        case ResourcesMode::Check: {
            if (!m_mark) {
                throw ScriptError("resources check: nothing to compare with (no resources mark)");
            }
            const Resources& mark = *m_mark;
            const bool grew = now.gdi > mark.gdi || now.user > mark.user ||
                              (now.privateBytes > mark.privateBytes &&
                               now.privateBytes - mark.privateBytes >= command.growthBytes);
            const std::string changes = Signed(now.gdi, mark.gdi) + "\t" +
                                        Signed(now.user, mark.user) + "\t" +
                                        Signed(now.privateBytes, mark.privateBytes);
            Note("resources since the mark: " + figures + " (" + OneLine(changes) +
                 "; private bytes may grow by less than " + std::to_string(command.growthBytes) +
                 ")");
            return grew ? "resources\tgrew\t" + changes + "\n" : "resources\tok\n";
        }
        }
        return "resources\t" + std::to_string(now.gdi) + "\t" + std::to_string(now.user) + "\t" +
               std::to_string(now.privateBytes) + "\n";
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

    Plugin& m_plugin;
    std::unique_ptr<odbc::Connection>& m_connection; // owned by Run, replaced by reconnect
    const std::string m_connectionString;
    odbc::Connection* m_database;
    RecordSettings m_settings;
    MessagePump& m_pump;
    MessageBoxWatch& m_watch;
    const std::string m_directory; // relative paths in the script start here
    std::vector<std::unique_ptr<TQSOData>> m_runRecords;
    HWND m_main = nullptr;
    std::vector<Queued> m_queued;
    std::vector<KernelHandle> m_held;
    StressRun* m_stress = nullptr;
    const TQSOData* m_stressRecord = nullptr; // the stress's _Run record, one of m_runRecords
    int m_recalculating = 0;                  // host calls that may recalculate, under way
    std::optional<Resources> m_mark;
    bool m_resourcesExplained = false;
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
        Plugin plugin(options.plugin.empty() ? DefaultPluginPath() : options.plugin);

        RecordSettings settings;
        settings.connection = database == nullptr
                                  ? 0
                                  : static_cast<std::uint32_t>(
                                        reinterpret_cast<std::uintptr_t>(database->Handle()));
        settings.table = options.table;
        settings.captionPrefix = options.captionPrefix;
        Host host(plugin, database, connection, std::move(settings), pump, watch);

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
