// The host's session: the plug-in, the database connection, the message
// pump and the commands of the program's tables of verbs. morvel-host has one
// table (commands_win.h); a program built on the same session may add tables
// of its own, whose commands keep what they need between them (HostMain).
#pragma once

#include "contract/records.h"
#include "tools/morvel-host/plugin_win.h"
#include "tools/morvel-host/reader_win.h"
#include "tools/morvel-host/script.h"
#include "tools/morvel-host/window_win.h"
#include "tools/odbc/odbc_connection.h"
#include "tools/odbc/system_library_win.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace morvel::host {

inline constexpr const char* kNoDatabase =
    "needs a database: give --sqlite FILE or --odbc \"CONNECTION STRING\"";
inline constexpr const char* kNoMainWindow =
    "there is no main window (no run gave one, or it is gone)";

class Host;

// The commands of one table of verbs for one session: what each does, and
// what they keep between commands.
class CommandSet {
public:
    virtual ~CommandSet() = default;

    // Carries out a command of one of the table's verbs, given on script line
    // number; returns what it prints.
    virtual std::string Perform(const Command& command, std::size_t number) = 0;

    // A message the host's own loop leaves in the queue between commands, for
    // whoever handles messages inside the next one (0: none).
    virtual UINT KeptBetweenCommands() const { return 0; }

    // At the end of the script: lines to print about what the commands left
    // undone.
    virtual std::string Finish() { return {}; }
};

// A table of verbs (script.h), and its commands made for a session's host.
struct CommandTable {
    const VerbTable* verbs;
    std::unique_ptr<CommandSet> (*commands)(Host& host);
};

// A program that plays the host: its name, in its messages and --help, its
// tables of verbs, and where it looks for DLLs named without a path.
struct HostProgram {
    const char* name;
    std::vector<CommandTable> tables;
    // ProgramFolder for the test host, which loads the libraries its script
    // names (a logger's neighbours) from its own folder by their names;
    // morvel-host, which the release ships, takes SystemDirectory.
    DllSearch dllSearch = DllSearch::ProgramFolder;
};

// The whole program: reads the options, opens the script and the database,
// loads the plug-in and runs the script against it with the program's verbs;
// returns the exit status (kept in --help). Call it from main.
int HostMain(int argc, char** argv, const HostProgram& program);

class Host {
public:
    Host(const HostProgram& program, Plugin& plugin, std::unique_ptr<odbc::Connection>& database,
         std::string connection, RecordSettings settings, MessagePump& pump, MessageBoxWatch& watch,
         ScriptReader& reader);
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // Runs one script line and prints what it gives, message boxes first.
    void Execute(std::string_view line, std::size_t number);

    // What a script line prints: the message boxes that came up meanwhile,
    // then its own lines, or an error line naming the line number.
    std::string Outcome(std::string_view line, std::size_t number);

    // Prints the message boxes that came up between commands.
    void PrintMessageBoxes();

    // True once the script is to end: EndScript, or WM_QUIT taken from the
    // queue.
    bool Ended() const { return m_ended || m_pump.QuitSeen(); }
    // The script ends once the command under way has printed.
    void EndScript() { m_ended = true; }

    // The message the commands want left in the queue between commands (0:
    // none).
    UINT KeptBetweenCommands() const;

    // At the end of the script: why it ended early, and what the commands
    // left undone, so that nothing is lost without a word.
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

    void Print(const std::string& text);
    // Writes "PROGRAM: text" as a line on standard error.
    void Note(const std::string& text) const;

private:
    std::string Perform(const Command& command, std::size_t number);

    const std::string m_program;
    const ScriptSyntax m_syntax;
    Plugin& m_plugin;
    std::unique_ptr<odbc::Connection>& m_connection; // owned by HostMain, replaced by Reconnect
    const std::string m_connectionString;
    odbc::Connection* m_database;
    RecordSettings m_settings;
    MessagePump& m_pump;
    MessageBoxWatch& m_watch;
    ScriptReader& m_reader;
    std::vector<std::unique_ptr<TQSOData>> m_keptRecords;
    HWND m_main = nullptr;
    bool m_ended = false;
    bool m_messagesHeld = false;
    bool m_outputFailed = false;
    // Last, each with the table whose verbs it carries out: they go first,
    // so that nothing of theirs runs on a half-gone host.
    std::vector<const VerbTable*> m_tables;
    std::vector<std::unique_ptr<CommandSet>> m_commands;
};

} // namespace morvel::host
