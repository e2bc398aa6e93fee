// The claimed score of a log in the forms it leaves the program: the XML
// document the online scoreboards take, and the header lines and band summary
// of a log submission (Cabrillo 3.0). Portable; the numbers are those of the
// statistics text (ShowStatistic), from the same band statistics.
#pragma once

#include "scoring/scoring.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace morvel {

// The categories of a log submission, as the CATEGORY-* lines carry them.
struct Category {
    std::string ops = "SINGLE-OP";
    std::string mode = "MIXED";
    std::string power = "HIGH";
    std::string bands = "ALL";
    std::string transmitter = "ONE";
    std::string assisted = "NON-ASSISTED";
};

// "ops=SINGLE-OP,mode=CW,...": the named categories over the defaults, the
// values in capitals. Unknown names, repeated names and values that are none
// of the format's throw std::invalid_argument with the problem in words.
Category ParseCategory(std::string_view text);

// The metre name of one of the nine contest bands ("14" -> "20"); nothing
// for any other band text.
std::optional<std::string_view> MetreBand(std::string_view band);

// The totals and score exactly as the statistics text computes them (32-bit
// sums that wrap as the host's integers do).
struct ScoreTotals {
    std::int32_t qsos = 0;
    std::int32_t points = 0;
    std::int32_t obl = 0;
    std::int32_t dxcc = 0;
    std::int32_t score = 0;
};
ScoreTotals Totals(const std::vector<TStatistic>& statList);

// What the XML document says besides the numbers.
struct Station {
    std::string contest = "MORVEL-RUSSIA";
    std::string call;
    std::vector<std::string> operators;
    Category category;
    std::string soft;
    std::string version;
};

// The scoreboards' document (UTF-8): dynamicresults with contest, call,
// class, ops, soft, version, score, timestamp ("yyyy-mm-dd hh:mm:ss", UTC,
// as given) and the breakdown: qso, point and the mults (type "obl" and
// "dxcc") per band and for "total". A band of the nine goes by its metre
// name; any other band under its own text as the statistics text shows it,
// counted in the total as the statistics text counts it. Rows whose band
// names come out the same are added together.
std::string ScoreXml(const Station& station, const std::vector<TStatistic>& statList,
                     std::string_view timestamp);

// Text for XML: a control byte, a backslash and a byte that is not part of
// valid UTF-8 (the log's code page) written as \xHH and \\, then <, >, &, "
// and ' as entities. Whatever the bytes, the document stays well-formed.
std::string XmlEscaped(std::string_view text);

// The log submission's header lines (CONTEST, CALLSIGN, CATEGORY-*,
// OPERATORS, CLAIMED-SCORE, CREATED-BY), then a band-by-band table (QSOs,
// duplicates, points, oblast and DXCC multipliers, total, score) and, when
// the log has rows on bands outside the nine, the score without them,
// labelled so. duplicates: the duplicates met, by the band text of their
// row's statistics.
std::string SubmissionSummary(const Station& station, const std::vector<TStatistic>& statList,
                              const std::unordered_map<std::string, std::int32_t>& duplicates);

} // namespace morvel
