#include "tools/morvel-score/check.h"

#include "contract/contract.h"
#include "contract/text.h"
#include "scoring/scoring.h"
#include "session/bands.h"

#include <algorithm>
#include <string_view>

namespace morvel {

namespace {

// Call, band and mode as one text in key; each after its length (a byte: a
// ShortString holds at most 255), so that no two different contacts give the
// same text.
void ContactKey(const TQSOData& rec, std::string& key) {
    key.clear();
    for (const std::string_view part :
         {rec.CallSign.View(), rec.DigiBand.View(), rec.QSOMode.View()}) {
        key += static_cast<char>(static_cast<unsigned char>(part.size()));
        key += part;
    }
}

// FNV-1a over the bytes, then a finaliser that spreads every bit over the
// whole word (the table's slot is taken from the low bits).
std::uint64_t Hash64(std::string_view bytes) {
    std::uint64_t h = 14695981039346656037ULL;
    for (const char c : bytes) {
        h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    }
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDULL;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ULL;
    h ^= h >> 33;
    return h;
}

// UA1, UA2 or UA9, in either case (the DXCC prefix trimmed).
bool IsOblastPrefix(std::string_view dxccPrefix) {
    return dxccPrefix.size() == 3 && (dxccPrefix[0] == 'U' || dxccPrefix[0] == 'u') &&
           (dxccPrefix[1] == 'A' || dxccPrefix[1] == 'a') &&
           (dxccPrefix[2] == '1' || dxccPrefix[2] == '2' || dxccPrefix[2] == '9');
}

} // namespace

LogCheck::LogCheck(const KeyEquality& keyEquality,
                   const std::optional<std::vector<std::string>>& oblastCodes)
    : m_equality(keyEquality), m_haveOblastFile(oblastCodes.has_value()) {
    if (oblastCodes) {
        for (const std::string& code : *oblastCodes) {
            m_oblastCodes.insert(m_equality.Fold(code));
        }
    }
}

bool LogCheck::InOblastFile(const std::string& code) {
    // OblastCode gives two capitals A-Z; anything else is looked up each time.
    const bool capitals =
        code.size() == 2 && code[0] >= 'A' && code[0] <= 'Z' && code[1] >= 'A' && code[1] <= 'Z';
    std::uint8_t* known = capitals ? &m_codeKnown[(code[0] - 'A') * 26 + (code[1] - 'A')] : nullptr;
    if (known != nullptr && *known != 0) {
        return *known == 1;
    }
    const bool in = m_oblastCodes.count(m_equality.Fold(code)) != 0;
    if (known != nullptr) {
        *known = in ? 1 : 2;
    }
    return in;
}

std::optional<std::size_t> LogCheck::CountedRow(std::uint64_t hash) const {
    if (m_counted.empty()) {
        return std::nullopt;
    }
    const std::size_t mask = m_counted.size() - 1;
    std::optional<std::size_t> found;
    for (std::size_t i = static_cast<std::size_t>(hash) & mask; m_counted[i].row != 0;
         i = (i + 1) & mask) {
        if (m_counted[i].hash == hash) {
            if (found) {
                return std::nullopt; // two contacts of one hash: which, is not known
            }
            found = m_counted[i].row;
        }
    }
    return found;
}

void LogCheck::AddCounted(std::uint64_t hash, std::size_t row) {
    if ((m_countedRows + 1) * 2 > m_counted.size()) {
        std::vector<CountedSlot> old(std::max<std::size_t>(1024, m_counted.size() * 2));
        old.swap(m_counted);
        m_countedRows = 0;
        for (const CountedSlot& slot : old) {
            if (slot.row != 0) {
                AddCounted(slot.hash, slot.row);
            }
        }
    }
    const std::size_t mask = m_counted.size() - 1;
    std::size_t i = static_cast<std::size_t>(hash) & mask;
    while (m_counted[i].row != 0) {
        i = (i + 1) & mask;
    }
    m_counted[i] = {hash, row};
    ++m_countedRows;
}

void LogCheck::Row(const TQSOData& rec, std::int32_t counted) {
    ++m_rows;
    std::vector<std::string> reasons;
    ContactKey(rec, m_key);
    const std::uint64_t hash = Hash64(m_key);
    if (counted == kDuplicate) {
        const std::optional<std::size_t> first = CountedRow(hash);
        reasons.push_back(first ? "duplicate of row " + std::to_string(*first)
                                : std::string("duplicate"));
    } else {
        AddCounted(hash, m_rows);
        const std::string_view dxcc = Trim(rec.DXCCPrefix.View());
        if (const auto code = OblastCode(rec.QSOReportRecived.View())) {
            if (m_haveOblastFile && !InOblastFile(*code)) {
                reasons.push_back("oblast " + *code + " not in the oblast file");
            }
            if (!dxcc.empty() && !IsOblastPrefix(dxcc)) {
                reasons.push_back("oblast " + *code + " from DXCC prefix " + UpperAscii(dxcc) +
                                  " (not UA1, UA2 or UA9)");
            }
        }
        if (dxcc.empty()) {
            reasons.emplace_back("no DXCC prefix");
        }
        const std::string_view band = Trim(rec.DigiBand.View());
        if (band.empty()) {
            reasons.emplace_back("no band");
        } else if (!BandNumber(band)) {
            reasons.push_back("band " + std::string(band) + " is not a contest band");
        }
    }
    if (!reasons.empty()) {
        m_questioned.push_back({m_rows, rec.CallSign.Str(), rec.DigiBand.Str(), rec.QSOMode.Str(),
                                std::move(reasons)});
    }
}

std::string LogCheck::Text() const {
    std::string text = "Rows to check: " + std::to_string(m_questioned.size()) + "\n";
    // The log's bytes are the submitter's: a TAB, CR or LF among them must not
    // make a field or a line of the report.
    for (const QuestionedRow& q : m_questioned) {
        text += std::to_string(q.row);
        for (const std::string* field : {&q.call, &q.band, &q.mode}) {
            text += '\t';
            text += OneLine(*field, Backslash::Doubled);
        }
        text += '\t';
        for (std::size_t i = 0; i < q.reasons.size(); ++i) {
            text += (i == 0 ? "" : "; ") + OneLine(q.reasons[i], Backslash::Doubled);
        }
        text += '\n';
    }
    return text;
}

} // namespace morvel
