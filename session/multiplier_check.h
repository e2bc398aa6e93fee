// The multiplier check: which oblast multipliers are still needed on which
// band, the score at a glance, and what the station being typed would bring.
// Pure functions of the session's scoring state; the window
// (ui/multiplier_check_win.*) only draws them.
#pragma once

#include "contract/records.h"
#include "scoring/keys.h"
#include "scoring/scoring.h"
#include "session/bands.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace morvel {

// The grid's rows: the oblast codes of the oblast file's lines (as the
// multipliers window reads them: up to four characters after the first "=",
// trimmed), each code once, empty ones left out, in byte order.
std::vector<std::string> CheckCodes(const std::vector<std::string>& domLines);

// The worked cells of the grid: code (row) against the nine bands, kept up to
// date one contact at a time at constant cost, or rebuilt from the worked
// lists after a recalculation.
class CheckGrid {
public:
    CheckGrid(std::vector<std::string> codes, const KeyEquality& keys);

    const std::vector<std::string>& Codes() const { return m_codes; }

    // Every cell from the oblast worked list.
    void Rebuild(const WorkedList& oblWorked);
    // A contact just counted: the cell it filled, if it filled one (row,
    // band). oblWorked is the list after the contact.
    struct Cell {
        std::size_t row;
        Band band;
        bool operator==(const Cell&) const = default;
    };
    std::optional<Cell> Count(const TQSOData& rec, const WorkedList& oblWorked);

    bool Worked(std::size_t row, Band band) const;
    // The row of a code (compared as the worked lists compare), if the grid
    // has it.
    std::optional<std::size_t> RowOf(std::string_view code) const;
    // Codes of the grid worked on the band.
    int WorkedOn(Band band) const { return m_workedOn[band]; }

private:
    std::string Key(Band band, std::string_view code) const;

    std::vector<std::string> m_codes;
    const KeyEquality* m_keys;
    std::unordered_map<std::string, std::size_t> m_rowOf; // folded code -> row
    std::vector<std::uint16_t> m_worked;                  // a bit a band, per row
    PerBand<int> m_workedOn;
};

// The headline: the score and what makes it.
struct CheckHeadline {
    std::int32_t score = 0;
    std::int32_t points = 0;
    std::int32_t contacts = 0;
    std::int32_t duplicates = 0;
    std::int32_t obl = 0;
    std::int32_t dxcc = 0;

    std::string Text() const;
};
CheckHeadline MakeHeadline(const std::vector<TStatistic>& statList, std::int32_t duplicates);

// The DXCC multipliers of each band in the statistics.
PerBand<std::int32_t> DxccByBand(const std::vector<TStatistic>& statList);

// The DXCC prefixes worked on band, in byte order.
std::vector<std::string> DxccOnBand(const WorkedList& dxccWorked, Band band);

// What the station being typed would bring, on its band.
struct TypedStation {
    enum class Mark {
        None,   // nothing to tell (no code, no prefix)
        New,    // a new multiplier on this band
        Worked, // worked here already
    };
    std::string call;
    std::string band;
    bool duplicate = false;
    std::string oblast;     // received, else suggested from the oblast file
    bool suggested = false; // the code is the suggestion
    Mark oblastMark = Mark::None;
    std::string dxcc;
    Mark dxccMark = Mark::None;
    std::vector<Band> oblastNeededOn; // the other bands where the oblast is still needed
    // Every band and mode the call sign is counted on, from the register.
    std::vector<std::pair<std::string, std::string>> history;

    // Two lines of text: the station, then what it brings.
    std::string Text() const;

    // What the operator must see at once: a duplicate, or a new multiplier
    // (which: oblast, DXCC or both); nothing else.
    enum class Alert { None, NewMultiplier, Dupe };
    Alert AlertKind() const;
    // "DUPE", "NEW MULTIPLIER: oblast RK + DXCC UA9", or empty.
    std::string AlertText() const;
    // "worked 14 CW, 7 SSB", "not worked before", or empty with no station.
    std::string HistoryText() const;
};
TypedStation AnalyseStation(const TQSOData& rec, const TScoring& scoring,
                            const std::vector<std::string>& domLines);

// What is wrong with the exchange of a contact just counted, for the operator
// to ask again while the station is still there: a Russian DXCC prefix (UA1,
// UA2, UA9) with no oblast code, letters outside ASCII in the exchange
// (Cyrillic look-alikes), a code the oblast file lacks, a code other than the
// one the main prefix suggests. Empty when nothing is; counting is left alone.
// codes: the grid (nullptr without an oblast file).
std::string ContactWarning(const TQSOData& rec, const std::vector<std::string>& domLines,
                           const CheckGrid* codes);

// The rate: the contacts the exports counted, at the times they were counted,
// for the last 10 and 60 minutes and per band; a contact costs a push and the
// old ones a pop each. It starts when made: contacts of a recalculation have
// no time and are not in it.
class RateMeter {
public:
    using Clock = std::chrono::steady_clock;

    explicit RateMeter(Clock::time_point start) : m_start(start) {}

    void Count(std::string_view band, Clock::time_point at);
    // "Rate 120/h (10 min), 95/h (60 min)   last hour: 14 30, 7 12", with
    // "over the 23 min since the start" while it covers less than an hour.
    std::string Text(Clock::time_point now);
    // Contacts in the last minutes (at most 60) before now.
    std::size_t InLast(Clock::time_point now, int minutes);
    // The last hour's contacts on band; on any band not one of the nine.
    std::int32_t LastHourOn(Clock::time_point now, Band band);
    std::int32_t LastHourOnOthers(Clock::time_point now);

private:
    void Forget(Clock::time_point now);
    // The last hour's count of band, or of the other bands.
    std::int32_t& LastHour(std::optional<Band> band);

    struct Entry {
        Clock::time_point at;
        std::optional<Band> band; // nothing: not one of the nine
    };
    Clock::time_point m_start;
    std::deque<Entry> m_entries; // the last hour's, oldest first
    PerBand<std::int32_t> m_lastHour;
    std::int32_t m_othersLastHour = 0;
};

} // namespace morvel
