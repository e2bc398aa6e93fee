// The host's session: the plug-in, the database connection, the message
// pump and what the commands of a script leave behind for later ones. Each
// family of commands lives in a file of its own (commands_*_win.cpp) and is
// reached through the one command table (commands_win.cpp).
#pragma once

#include "contract/records.h"
#include "tools/loggen/contacts.h"
#include "tools/morvel-host/handle_win.h"
#include "tools/morvel-host/plugin_win.h"
#include "tools/morvel-host/reader_win.h"
#include "tools/morvel-host/resources_win.h"
#include "tools/morvel-host/script.h"
#include "tools/morvel-host/window_win.h"
#include "tools/odbc/odbc_connection.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace morvel::host {

inline constexpr const char* kNoDatabase =
    "needs a database: give --sqlite FILE or --odbc \"CONNECTION STRING\"";
inline constexpr const char* kNoMainWindow =
    "there is no main window (no run gave one, or it is gone)";

// Writes "morvel-host: text" as a line on standard error.
void Note(const std::string& text);

// A generated contact as the script would give it.
Contact HostContact(const loggen::Contact& c);

struct StressRun;

// What the stress command keeps between its events and its runs.
struct StressSlot {
    StressRun* run = nullptr;         // the stress under way, or none
    const TQSOData* record = nullptr; // its _Run record, one of the host's kept records
    int recalculating = 0;            // host calls that may recalculate, under way
};

// What the resources command keeps between its calls.
struct ResourcesSlot {
    std::optional<Resources> mark;
    bool explained = false; // the notes on how the figures are counted were written
};

class Host {
public:
    Host(Plugin& plugin, std::unique_ptr<odbc::Connection>& database, std::string connection,
         RecordSettings settings, MessagePump& pump, MessageBoxWatch& watch, ScriptReader& reader);

    // Runs one script line and prints what it gives, message boxes first.
    // Queued lines run when anything handles messages during the command.
    void Execute(std::string_view line, std::size_t number);

    // Prints the message boxes that came up between commands.
    void PrintMessageBoxes();

    // True once the script is to end: quit, or WM_QUIT taken from the queue.
    bool Ended() const { return m_quit || m_pump.QuitSeen(); }

    // The message of queued lines, which the host's own loop leaves in the
    // queue between commands: a queued line is meant to run inside the next
    // command, when the plug-in (or the host on its behalf) handles messages.
    UINT QueueMessage() const { return m_queue.Message(); }

    // At the end of the script: why it ended early, and the queued lines that
    // never ran, so that none is lost without a word.
    void Finish();

    bool OutputFailed() const { return m_outputFailed; }

    // Ends the process at once, as a logger that ends without stopping the
    // plug-in: only the script's reading thread is stopped first, so that it
    // does not run while the process ends.
    [[noreturn]] void EndProcess(UINT status);

    // No message is handled between this command and the next one (as a
    // logger whose message loop has ended): the script loop skips its drain
    // once.
    void HoldMessagesUntilNextCommand() { m_messagesHeld = true; }
    bool TakeMessagesHeld() { return std::exchange(m_messagesHeld, false); }

    // For the commands.
    Plugin& Dll() { return m_plugin; }
    MessagePump& Pump() { return m_pump; }
    MessageBoxWatch& Watch() { return m_watch; }
    RecordSettings& Settings() { return m_settings; }
    const std::string& Directory() const { return m_directory; } // of relative script paths
    std::vector<KernelHandle>& Held() { return m_held; }
    StressSlot& Stress() { return m_stress; }
    ResourcesSlot& ResourceMark() { return m_resources; }

    // The connection; throws ScriptError naming the verb when there is none.
    odbc::Connection& Database(const char* verb);
    // A new connection to the same data source, made before the old one is
    // closed so that its handle differs; later records carry it.
    void Reconnect();

    // A record for the contact with the host's settings.
    std::unique_ptr<TQSOData> MakeRecord(const Contact& contact) const;
    // The same, kept for the whole run, in case the plug-in holds on to it.
    const TQSOData& KeptRecord(const Contact& contact);

    // The window the last successful _Run returned, while it exists.
    HWND ExistingMainWindow() const;
    // Takes a _Run result; true when it is a window.
    bool TakeMainWindow(HWND window);
    // The main window, the multipliers window and a main window's control;
    // each throws ScriptError naming the verb when it is not there.
    HWND MainWindow(const char* verb) const;
    HWND Multipliers(const char* verb) const;
    HWND Control(const char* verb, int id) const;
    // A click as the button's own BM_CLICK makes it, and what follows handled.
    void Click(HWND button);

    // Queues a script line to run when the thread next handles messages.
    void QueueLine(const std::string& line, std::size_t number);
    void Print(const std::string& text);

private:
    struct Queued {
        std::string line;
        std::size_t number; // of the post line
        bool done = false;
    };

    std::string Outcome(std::string_view line, std::size_t number);
    void RunQueued(std::size_t index);

    Plugin& m_plugin;
    std::unique_ptr<odbc::Connection>& m_connection; // owned by Run, replaced by reconnect
    const std::string m_connectionString;
    odbc::Connection* m_database;
    RecordSettings m_settings;
    MessagePump& m_pump;
    MessageBoxWatch& m_watch;
    ScriptReader& m_reader;
    const std::string m_directory;
    std::vector<std::unique_ptr<TQSOData>> m_keptRecords;
    HWND m_main = nullptr;
    std::vector<Queued> m_queued;
    std::vector<KernelHandle> m_held;
    StressSlot m_stress;
    ResourcesSlot m_resources;
    bool m_quit = false;
    bool m_messagesHeld = false;
    bool m_outputFailed = false;
    // Last: its window goes first, so no queued line runs on a half-gone host.
    PostWindow m_queue;
};

} // namespace morvel::host
