#include "tools/morvel-host/host_win.h"

#include "tools/morvel-host/multipliers_win.h"

#include <cstdio>
#include <exception>
#include <utility>

namespace morvel::host {

namespace {

std::vector<const VerbTable*> VerbTables(const HostProgram& program) {
    std::vector<const VerbTable*> tables;
    for (const CommandTable& table : program.tables) {
        tables.push_back(table.verbs);
    }
    return tables;
}

} // namespace

Host::Host(const HostProgram& program, Plugin& plugin, std::unique_ptr<odbc::Connection>& database,
           std::string connection, RecordSettings settings, MessagePump& pump,
           MessageBoxWatch& watch, ScriptReader& reader)
    : m_program(program.name), m_syntax(VerbTables(program)), m_plugin(plugin),
      m_connection(database), m_connectionString(std::move(connection)), m_database(database.get()),
      m_settings(std::move(settings)), m_pump(pump), m_watch(watch), m_reader(reader),
      m_tables(VerbTables(program)) {
    for (const CommandTable& table : program.tables) {
        m_commands.push_back(table.commands(*this));
    }
}

Host::~Host() = default;

void Host::EndProcess(UINT status) {
    m_reader.Stop();
    ExitProcess(status);
}

void Host::Execute(std::string_view line, std::size_t number) {
    const KeepInQueue none(m_pump, 0);
    const std::string text = Outcome(line, number);
    if (!text.empty()) {
        Print(text);
    }
}

void Host::PrintMessageBoxes() {
    const std::string lines = m_watch.TakeLines();
    if (!lines.empty()) {
        Print(lines);
    }
}

UINT Host::KeptBetweenCommands() const {
    for (const auto& commands : m_commands) {
        if (const UINT kept = commands->KeptBetweenCommands(); kept != 0) {
            return kept;
        }
    }
    return 0;
}

void Host::Finish() {
    if (m_pump.QuitSeen()) {
        Note("WM_QUIT was posted; the script ends here");
    }
    std::string out;
    for (const auto& commands : m_commands) {
        out += commands->Finish();
    }
    if (!out.empty()) {
        Print(out);
    }
}

std::string Host::Outcome(std::string_view line, std::size_t number) {
    std::string out;
    try {
        const std::optional<Command> command = m_syntax.ParseLine(line);
        if (!command) {
            return {};
        }
        out = Perform(*command, number);
    } catch (const std::exception& e) {
        out = ErrorLine(number, e.what());
    }
    return m_watch.TakeLines() + out;
}

std::string Host::Perform(const Command& command, std::size_t number) {
    for (std::size_t i = 0; i < m_tables.size(); ++i) {
        if (m_tables[i]->Holds(command.verb)) {
            return m_commands[i]->Perform(command, number);
        }
    }
    return {};
}

odbc::Connection& Host::Database(const char* verb) {
    if (m_database == nullptr) {
        throw ScriptError(std::string(verb) + " " + kNoDatabase);
    }
    return *m_database;
}

void Host::Reconnect() {
    Database("reconnect");
    auto fresh = std::make_unique<odbc::Connection>(m_connectionString);
    m_connection = std::move(fresh);
    m_database = m_connection.get();
    m_settings.connection =
        static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(m_database->Handle()));
}

std::unique_ptr<TQSOData> Host::MakeRecord(const Contact& contact) const {
    auto record = std::make_unique<TQSOData>();
    FillRecord(*record, m_settings, contact);
    return record;
}

const TQSOData& Host::KeptRecord(const Contact& contact) {
    m_keptRecords.push_back(MakeRecord(contact));
    return *m_keptRecords.back();
}

HWND Host::ExistingMainWindow() const {
    return m_main != nullptr && IsWindow(m_main) ? m_main : nullptr;
}

bool Host::TakeMainWindow(HWND window) {
    if (window == nullptr || !IsWindow(window)) {
        return false;
    }
    m_main = window;
    return true;
}

HWND Host::MainWindow(const char* verb) const {
    const HWND main = ExistingMainWindow();
    if (main == nullptr) {
        throw ScriptError(std::string(verb) + ": " + kNoMainWindow);
    }
    return main;
}

HWND Host::Multipliers(const char* verb) const {
    const HWND multipliers = FindMultipliersWindow();
    if (multipliers == nullptr) {
        throw ScriptError(std::string(verb) + ": there is no multipliers window");
    }
    return multipliers;
}

HWND Host::Control(const char* verb, int id) const {
    const HWND control = FindControl(MainWindow(verb), id);
    if (control == nullptr) {
        throw ScriptError(std::string(verb) + ": the main window has no control with id " +
                          std::to_string(id));
    }
    return control;
}

void Host::Click(HWND button) {
    SendMessageA(button, BM_CLICK, 0, 0);
    m_pump.Settle();
}

void Host::Print(const std::string& text) {
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() ||
        std::fflush(stdout) != 0) {
        m_outputFailed = true;
    }
}

void Host::Note(const std::string& text) const {
    std::fputs((m_program + ": " + text + "\n").c_str(), stderr);
}

} // namespace morvel::host
