// Contacts and scoring: the scoring exports called as a logger calls them,
// contacts logged into the database first, and the statistics read back.
#include "contract/text.h"
#include "tools/morvel-host/commands_win.h"
#include "ui/control_ids.h"

#include <cstdint>
#include <cstring>
#include <exception>
#include <vector>

namespace morvel::host {

namespace {

// The 600 bytes handed to _GetInfo, of which the record is the first 520.
struct InfoBuffer {
    TPluginInfo info;
    std::uint8_t spare[600 - sizeof(TPluginInfo)];
};
static_assert(sizeof(InfoBuffer) == 600);

} // namespace

std::string InfoCommand(Host& host, const Command&, std::size_t) {
    InfoBuffer buffer;
    std::memset(&buffer, 0xFF, sizeof buffer);
    host.Dll().GetInfo(buffer.info);
    host.Pump().Settle();
    return InfoLine(buffer.info) + "\n";
}

std::string RunCommand(Host& host, const Command& command, std::size_t) {
    const TQSOData& record = host.KeptRecord(command.contact);
    const bool window = host.TakeMainWindow(reinterpret_cast<HWND>(host.Dll().Run(record)));
    host.Pump().Settle();
    return window ? "run\t1\n" : "run\t0\n";
}

std::string ScoreCommand(Host& host, const Command& command, std::size_t) {
    const std::int32_t result = host.Dll().GetScore(*host.MakeRecord(command.contact));
    host.Pump().Settle();
    return "score\t" + std::to_string(result) + "\n";
}

std::string AddCommand(Host& host, const Command& command, std::size_t) {
    const std::int32_t result = host.Dll().AddQSO(*host.MakeRecord(command.contact));
    host.Pump().Settle();
    return "add\t" + std::to_string(result) + "\n";
}

std::string GrabCommand(Host& host, const Command& command, std::size_t) {
    ShortString code;
    std::memset(&code, 0xFF, sizeof code);
    host.Dll().GrabNumber(*host.MakeRecord(command.contact), code);
    host.Pump().Settle();
    if (code.View().empty()) {
        // Said once a run, on standard error: the answer line stays as it is.
        static bool explained = false;
        if (!explained) {
            explained = true;
            host.Note("grab gave no oblast code. Either there is no oblast file "
                      "Plugins\\Russiaobl.dom beside this program (the plug-in reads it from "
                      "the folder of the program that loads it), or the station's DXCC prefix "
                      "is not UA1, UA2 or UA9, or the file has no line for its main prefix");
        }
    }
    return "grab\t" + HexEscape(code.View()) + "\n";
}

std::string LogCommand(Host& host, const Command& command, std::size_t) {
    odbc::Connection& database = host.Database("log");
    const std::string insert = InsertStatement(host.Settings().table, command.contact);
    try {
        database.Execute(insert);
    } catch (const std::exception& e) {
        // Not in the log, so not told to the plug-in either.
        return "log\terror\t" + OneLine(e.what()) + "\n";
    }
    const std::int32_t result = host.Dll().AddQSO(*host.MakeRecord(command.contact));
    host.Pump().Settle();
    return "log\t" + std::to_string(result) + "\n";
}

std::string StatsCommand(Host& host, const Command&, std::size_t) {
    if (host.ExistingMainWindow() == nullptr) {
        return "stats\t0\n";
    }
    const std::vector<std::string> lines =
        StatisticLines(WindowText(host.Control("stats", ui::kStatisticTextId)));
    std::string out = "stats\t" + std::to_string(lines.size()) + "\n";
    for (const std::string& line : lines) {
        out += line + "\n";
    }
    return out;
}

std::string ReleaseCommand(Host& host, const Command&, std::size_t) {
    host.Dll().Release();
    host.Pump().Settle();
    return "release\n";
}

std::string SqlCommand(Host& host, const Command& command, std::size_t) {
    odbc::Connection& database = host.Database("sql");
    try {
        database.Execute(command.statement);
    } catch (const std::exception& e) {
        return "sql\terror\t" + OneLine(e.what()) + "\n";
    }
    return "sql\tok\n";
}

} // namespace morvel::host
