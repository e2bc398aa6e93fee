// Rebuilding the whole scoring state from the host's log table.
#pragma once

#include "contract/records.h"
#include "scoring/scoring.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace morvel {

// The log query: one read-only SQL text and, while open, a forward cursor.
class LogQuery {
public:
    virtual ~LogQuery() = default;

    // Runs the SQL text and stands on the first row (or at the end when there
    // is none). A failure throws Error with the driver's own message text.
    virtual void Open(const std::string& sql) = 0;
    // Frees the cursor; harmless when nothing is open.
    virtual void Close() noexcept = 0;
    virtual bool Active() const = 0;
    virtual bool Eof() const = 0;

    // The number of the column with this name, compared without regard to
    // case; nothing when the result has no such column.
    virtual std::optional<int> FieldIndex(std::string_view name) const = 0;
    // Reads the given columns of the current row as text, each cut to 255
    // bytes; a NULL reads as empty.
    virtual void ReadRow(const int* columns, std::string* values, std::size_t count) = 0;
    // Moves to the next row.
    virtual void Next() = 0;
};

// What the recalculation needs from the main window.
class RecalcWindow {
public:
    virtual ~RecalcWindow() = default;

    // Handles every pending window message of the thread, the host's included.
    virtual void ProcessMessages() = 0;
    // The enabled state of the "Recalc Statistic" action (and its button).
    virtual bool RecalcEnabled() const = 0;
    virtual void SetRecalcEnabled(bool enabled) = 0;
    // Replaces the statistics text area's content.
    virtual void SetStatisticText(const std::string& text) = 0;
};

// The columns read from each row, in the order they are copied (and looked up).
inline constexpr std::array<std::string_view, 7> kLogColumns = {
    "QSOReportRecived", "DXCCPrefix", "MainPrefix", "CallSign", "DigiBand", "QSOMode", "Continent"};

struct Recalc {
    TScoring& scoring;
    TQSOData& workingRecord;
    LogQuery& query;
    RecalcWindow& window;
};

// "Select * from " + table + " order by CallSign"; a table name holding ';'
// (a second statement) is refused with an Error.
std::string LogQueryText(std::string_view tableName);

// Empties the scoring state and the statistics text, then counts every row of
// the log table as if just logged. The query is closed again whether the read
// succeeds or fails; pending messages are handled once it is closed. On
// success the working record's band is put back; the other fields keep the
// last row's values. A failure leaves the state rebuilt up to the failing row.
void LoadLog(Recalc& r);

// The action's handler: messages, disable, LoadLog and the statistics text,
// enable again (also after a failure, which then travels on).
void RecalcStatisticExecute(Recalc& r);

// The action as the show handler and the button run it: ignored while it is
// disabled (a recalculation is running).
void ExecuteRecalcStatistic(Recalc& r);

} // namespace morvel
