// The rows of a log that an adjudicator would question, met one by one as the
// recalculation counts them (Recalc::rowCounted). Looking leaves the score as
// the contest's rules give it.
#pragma once

#include "contract/records.h"
#include "scoring/keys.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
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
    // Whether the oblast file holds the code (two capitals, as OblastCode
    // gives it); each code folded and looked up once.
    bool InOblastFile(const std::string& code);
    // The counted row with the hash, when exactly one has it; else nothing.
    std::optional<std::size_t> CountedRow(std::uint64_t hash) const;
    void AddCounted(std::uint64_t hash, std::size_t row);

    // A counted row by the 64-bit hash of its call, band and mode (as the
    // register compares them: exactly). No texts are kept: the row a
    // duplicate repeats has its hash, so when only one row has it, that is
    // the row; two distinct contacts of one hash leave the duplicate
    // unnamed, never named wrongly.
    struct CountedSlot {
        std::uint64_t hash = 0;
        std::size_t row = 0; // 0: a free slot (rows count from 1)
    };

    const KeyEquality& m_equality;
    bool m_haveOblastFile;
    std::unordered_set<std::string> m_oblastCodes; // folded
    // For each code of two capitals: 0 not yet looked up, 1 in the file, 2 not.
    std::array<std::uint8_t, 26 * 26> m_codeKnown{};
    std::vector<CountedSlot> m_counted; // open addressing, a power of two, at most half full
    std::size_t m_countedRows = 0;
    std::string m_key; // the row's call, band and mode, kept from row to row
    std::size_t m_rows = 0;
    std::vector<QuestionedRow> m_questioned;
};

} // namespace morvel
