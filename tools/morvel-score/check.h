// The rows of a log that an adjudicator would question, met one by one as the
// recalculation counts them (Recalc::rowCounted). Looking leaves the score as
// the contest's rules give it.
#pragma once

#include "contract/records.h"
#include "db/log_query.h"
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
    std::string key;     // the table's key column, as read (empty without one)
    std::string time;    // its date and time columns, as read (empty without them)
    std::string call;
    std::string band;
    std::string mode;
    std::vector<std::string> reasons;
};

// The columns that name a row besides its position: an integer key (ID,
// QSOID or QSO_ID) and the contact's time (QSODateTime, else QSODate with
// QSOTime when the table has it); each found by name, without regard to case.
struct RowNaming {
    std::string keyColumn;  // empty: none
    std::string timeColumn; // empty: none
    std::string dateColumn; // QSOTime's date, when the time is two columns
};

// Which of the naming columns the query's result has.
RowNaming FindRowNaming(const LogQuery& query);

// A counted row in LogCheck's table, by the 64-bit hash of its call, band and
// mode (as the register compares them: exactly). No texts are kept: the row a
// duplicate repeats has its hash, so when only one row has it, that is the
// row; two distinct contacts of one hash leave the duplicate unnamed, never
// named wrongly.
struct LogCheckSlot {
    std::uint64_t hash = 0;
    std::uint32_t row = 0; // 0: a free slot (rows count from 1)
};

class LogCheck {
public:
    // oblastCodes: the oblast file's codes as the multipliers window lists
    // them (DomListCodes), compared as the worked lists compare keys; nullopt
    // without an oblast file, and then no code is looked up.
    LogCheck(const KeyEquality& keyEquality,
             const std::optional<std::vector<std::string>>& oblastCodes);

    // The columns that name the rows from here on (CheckedLogQuery sets them
    // when the query opens), and the next row's values of them.
    void NameRowsBy(const RowNaming& naming) { m_naming = naming; }
    const RowNaming& Naming() const { return m_naming; }
    void NextRowNames(std::string_view key, std::string_view time);

    // The next row read, with CountQSO's result for it. A duplicate counts
    // nothing, so it is questioned as a duplicate only, naming the counted
    // row it repeats, and when its oblast code differs from that row's, both
    // codes. A counted row is questioned for an oblast code the file lacks,
    // an oblast exchange from a station outside UA1, UA2 and UA9, a station
    // of UA1, UA2 or UA9 whose exchange holds no oblast code, no DXCC
    // prefix, no call sign, letters outside ASCII in the call or exchange, a
    // band that is none of the nine; and, once the log is read (Finish), for
    // a call, band or mode that equals another counted one's but for case or
    // blanks (counted apart from it), naming that row.
    void Row(const TQSOData& rec, std::int32_t counted);

    // Adds the reasons only the whole log tells (the calls, bands and modes
    // counted apart); once, after the last row. Text calls it.
    void Finish();

    // The questioned rows in reading order; whole after Finish.
    const std::vector<QuestionedRow>& Questioned() const { return m_questioned; }

    // "Rows to check: N" with the columns that name the rows, a line of the
    // fields' names, then a line a row: row, the key and time when the table
    // has them, call, band, mode and the reasons, separated by TABs (the
    // reasons by "; "); LF line ends. The log's text in them as OneLine
    // writes a field (backslash doubled).
    std::string Text();

private:
    // Whether the oblast file holds the code (two capitals, as OblastCode
    // gives it); each code folded and looked up once.
    bool InOblastFile(const std::string& code);

    // The counted row with the hash, when exactly one has it; else nothing.
    std::uint32_t CountedRow(std::uint64_t hash) const; // 0: none
    void AddCounted(const LogCheckSlot& slot);
    // "row N" with the key when the row had one.
    std::string RowName(std::uint32_t row) const;
    // The reason of a text counted apart from another that differs by case or blanks.
    std::string CountedApart(const char* what, std::string_view text, std::string_view other,
                             std::uint32_t otherRow) const;

    // A band or mode text as counted: the first counted row with it, and
    // the rows whose text is not as a contest log writes it (lower case or
    // blanks), which Finish compares with the others.
    struct FieldText {
        std::string text;
        std::uint32_t firstRow = 0;
        std::vector<std::size_t> untidyRows; // indices into m_questioned
    };
    // A call sign with lower case or blanks, kept for Finish.
    struct UntidyCall {
        std::uint64_t folded; // hash of the call in capitals without blanks
        std::size_t questioned;
    };
    FieldText& TextEntry(std::vector<FieldText>& texts, std::string_view text, std::size_t& last);
    void FinishTexts(std::vector<FieldText>& texts, const char* what);

    const KeyEquality& m_equality;
    bool m_haveOblastFile;
    std::unordered_set<std::string> m_oblastCodes; // folded
    // For each code of two capitals: 0 not yet looked up, 1 in the file, 2 not.
    std::array<std::uint8_t, 26 * 26> m_codeKnown{};
    std::vector<LogCheckSlot> m_counted; // open addressing, a power of two, at most half full
    std::size_t m_countedRows = 0;
    std::size_t m_rows = 0;
    // What the report tells of a row named in another's reason, a row each,
    // kept in reading order beside the table (which stays small).
    struct RowFacts {
        std::uint64_t callHash; // of the call alone, exactly
        std::int64_t key;
        bool hasKey;
        bool counted;
        char code[2]; // its oblast code; zeros: none
    };
    std::vector<RowFacts> m_facts;
    RowNaming m_naming;
    std::string m_rowKey;
    std::string m_rowTime;
    std::optional<std::int64_t> m_rowKeyValue;
    std::vector<UntidyCall> m_untidyCalls;
    std::vector<FieldText> m_bands;
    std::vector<FieldText> m_modes;
    std::size_t m_lastBand = 0;
    std::size_t m_lastMode = 0;
    bool m_finished = false;
    std::vector<QuestionedRow> m_questioned;
};

// The log query as --check reads it: the recalculation's columns and, in the
// same read of each row, the columns that name it, handed to the check before
// the row is counted. Without a check, the query as it is.
class CheckedLogQuery final : public LogQuery {
public:
    CheckedLogQuery(LogQuery& query, LogCheck* check) : m_query(query), m_check(check) {}

    void Open(const std::string& sql) override;
    void Close() noexcept override { m_query.Close(); }
    bool Active() const override { return m_query.Active(); }
    bool Eof() const override { return m_query.Eof(); }
    std::optional<int> FieldIndex(std::string_view name) const override {
        return m_query.FieldIndex(name);
    }
    void ReadRow(const int* columns, std::string* values, std::size_t count) override;
    void Next() override { m_query.Next(); }

private:
    LogQuery& m_query;
    LogCheck* m_check;
    std::vector<int> m_naming; // the naming columns' numbers: key, date, time
    bool m_haveKey = false;
    bool m_haveTime = false;
    bool m_haveDate = false;
    std::vector<int> m_columns;
    std::vector<std::string> m_values;
    std::string m_time;
};

} // namespace morvel
