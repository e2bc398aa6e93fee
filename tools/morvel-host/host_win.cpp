#include "tools/morvel-host/host_win.h"

#include "contract/text.h"
#include "tools/morvel-host/commands_win.h"
#include "tools/morvel-host/multipliers_win.h"
#include "ui/control_ids.h"

#include <cstdio>
#include <exception>
#include <utility>

namespace morvel::host {

void Note(const std::string& text) {
    std::fputs(("morvel-host: " + text + "\n").c_str(), stderr);
}

Contact HostContact(const loggen::Contact& c) {
    return Contact{c.CallSign,   c.DigiBand,   c.QSOMode,  c.QSOReportRecived,
                   c.DXCCPrefix, c.MainPrefix, c.Continent};
}

Host::Host(Plugin& plugin, std::unique_ptr<odbc::Connection>& database, std::string connection,
           RecordSettings settings, MessagePump& pump, MessageBoxWatch& watch, ScriptReader& reader)
    : m_plugin(plugin), m_connection(database), m_connectionString(std::move(connection)),
      m_database(database.get()), m_settings(std::move(settings)), m_pump(pump), m_watch(watch),
      m_reader(reader), m_directory(ProgramDirectory()),
      m_queue([this](std::size_t index) { RunQueued(index); }) {}

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

void Host::Finish() {
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

// What a script line prints: its message boxes, then its own lines.
std::string Host::Outcome(std::string_view line, std::size_t number) {
    std::string out;
    try {
        const std::optional<Command> command = ParseLine(line);
        if (!command) {
            return {};
        }
        out = Perform(*this, *command, number);
        if (command->verb == Verb::Quit) {
            m_quit = true;
        }
    } catch (const std::exception& e) {
        out = "error\tline " + std::to_string(number) + ": " + OneLine(e.what()) + "\n";
    }
    return m_watch.TakeLines() + out;
}

// A queued line, run from the queue window's procedure: wherever the thread
// is handling messages, inside a plug-in call as likely as not. The host's own
// message handling meanwhile leaves the other queued lines to the loop that
// ran this one, so that they run, and print, in order.
void Host::RunQueued(std::size_t index) {
    if (index >= m_queued.size() || m_queued[index].done || Ended()) {
        return;
    }
    const KeepInQueue others(m_pump, m_queue.Message());
    m_queued[index].done = true;
    // Copied: the line may queue more, which moves the list.
    const std::string line = m_queued[index].line;
    const std::size_t number = m_queued[index].number;
    // Boxes that came up before the line ran belong to the command around it,
    // and are printed as they would have been.
    PrintMessageBoxes();
    const std::string text = Outcome(line, number);
    if (!text.empty()) {
        Print(MarkLines(text, "posted\t"));
    }
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

void Host::QueueLine(const std::string& line, std::size_t number) {
    m_queued.push_back(Queued{line, number});
    if (!m_queue.PostLine(m_queued.size() - 1)) {
        const DWORD error = GetLastError();
        m_queued.pop_back();
        throw Error("post: cannot queue the line: " + SystemMessage(error));
    }
}

void Host::Print(const std::string& text) {
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() ||
        std::fflush(stdout) != 0) {
        m_outputFailed = true;
    }
}

} // namespace morvel::host
