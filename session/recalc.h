// Rebuilding the whole scoring state from the host's log table: LoadLog reads
// and counts every row, RecalcStatisticExecute is the action around it
// (messages, the button disabled, the statistics text), and a hook sees each
// row as it is counted (the session's band follower, morvel-score --check).
#pragma once

#include "contract/records.h"
#include "db/log_query.h"
#include "scoring/scoring.h"
#include "session/views.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace morvel {

// The columns read from each row, in the order they are copied (and looked up).
inline constexpr std::array<std::string_view, 7> kLogColumns = {
    "QSOReportRecived", "DXCCPrefix", "MainPrefix", "CallSign", "DigiBand", "QSOMode", "Continent"};

struct Recalc {
    TScoring& scoring;
    TQSOData& workingRecord;
    LogQuery& query;
    RecalcCaller& port;
    // The action's enabled state (the port shows it on the button).
    bool& enabled;
    // When set, called after every row is counted, in reading order, with the
    // working record holding the row and CountQSO's result (kOnePoint or
    // kDuplicate): what a program that looks at single rows needs.
    std::function<void(const TQSOData& row, std::int32_t counted)> rowCounted = {};
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
void RecalcStatisticIfEnabled(Recalc& r);

} // namespace morvel
