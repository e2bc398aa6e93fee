// The rows of a log that an adjudicator would question, met one by one as the
// recalculation counts them (Recalc::rowCounted). Looking leaves the score as
// the contest's rules give it.
#pragma once

#include "contract/records.h"
#include "scoring/keys.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace morvel {

struct QuestionedRow {
    std::size_t row = 0; // 1-based, in the order the log is read
    std::string call;
    std::string band;
    std::string mode;
    std::vector<std::string> reasons;
};

class LogCheck {
public:
    // oblastCodes: the oblast file's codes as the multipliers window lists
    // them (DomListCodes), compared as the worked lists compare keys; nullopt
    // without an oblast file, and then no code is looked up.
    LogCheck(const KeyEquality& keyEquality,
             const std::optional<std::vector<std::string>>& oblastCodes);

    // The next row read, with CountQSO's result for it. A duplicate counts
    // nothing, so it is questioned as a duplicate only, naming the counted
    // row it repeats; a counted row for an oblast code the file lacks, an
    // oblast exchange from a station outside UA1, UA2 and UA9, no DXCC prefix
    // and a band that is none of the nine.
    void Row(const TQSOData& rec, std::int32_t counted);

    const std::vector<QuestionedRow>& Questioned() const { return m_questioned; }

    // "Rows to check: N", then a line a row: row, call, band, mode and the
    // reasons, separated by TABs (the reasons by "; "); LF line ends. The
    // log's text in them as OneLine writes a field (backslash doubled).
    std::string Text() const;

private:
    const KeyEquality& m_equality;
    bool m_haveOblastFile;
    std::unordered_set<std::string> m_oblastCodes; // folded
    // Call, band and mode of every counted row (as the register compares
    // them: exactly) -> its row.
    std::unordered_map<std::string, std::size_t> m_counted;
    std::size_t m_rows = 0;
    std::vector<QuestionedRow> m_questioned;
};

} // namespace morvel
