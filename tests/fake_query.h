// A log query over rows held in memory, for the recalculation's tests.
#pragma once

#include "contract/text.h"
#include "db/log_query.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvel::test {

using Events = std::vector<std::string>;
using Row = std::map<std::string, std::string>; // column name -> value

// A query over rows held in memory that logs what is done to it.
class FakeQuery final : public LogQuery {
public:
    std::vector<std::string> columns = {"ID",       "QSOReportRecived", "DXCCPrefix", "MainPrefix",
                                        "CallSign", "DigiBand",         "QSOMode",    "Continent"};
    std::vector<Row> rows;
    Events* events = nullptr;
    std::string openedSql;
    int failOpen = 0;          // 1: the open fails
    std::size_t failAtRow = 0; // fetching this row (1-based) fails; 0: never

    void Open(const std::string& sql) override {
        Log("open");
        openedSql = sql;
        if (failOpen != 0) {
            throw Error("no such table: Nope");
        }
        m_active = true;
        m_row = 0;
        CheckFetch();
    }
    void Close() noexcept override {
        if (m_active) {
            Log("close");
        }
        m_active = false;
    }
    bool Active() const override { return m_active; }
    bool Eof() const override { return m_row >= rows.size(); }
    std::optional<int> FieldIndex(std::string_view name) const override {
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (UpperAscii(columns[i]) == UpperAscii(name)) {
                return static_cast<int>(i + 1);
            }
        }
        return std::nullopt;
    }
    void ReadRow(const int* cols, std::string* values, std::size_t count) override {
        for (std::size_t i = 0; i < count; ++i) {
            const auto it = rows[m_row].find(columns[static_cast<std::size_t>(cols[i] - 1)]);
            values[i] = it == rows[m_row].end() ? std::string() : it->second.substr(0, 255);
        }
    }
    void Next() override {
        ++m_row;
        CheckFetch();
    }

private:
    void Log(const char* what) {
        if (events != nullptr) {
            events->push_back(what);
        }
    }
    void CheckFetch() {
        if (failAtRow != 0 && m_row + 1 == failAtRow) {
            throw Error("connection lost");
        }
    }

    bool m_active = false;
    std::size_t m_row = 0;
};

// A row of the log table.
inline Row Contact(std::string call, std::string band, std::string mode, std::string exchange,
                   std::string dxcc, std::string continent = "EU") {
    return {{"CallSign", call},      {"DigiBand", band},
            {"QSOMode", mode},       {"QSOReportRecived", exchange},
            {"DXCCPrefix", dxcc},    {"MainPrefix", ""},
            {"Continent", continent}};
}

} // namespace morvel::test
