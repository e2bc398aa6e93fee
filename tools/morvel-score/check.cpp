#include "tools/morvel-score/check.h"

#include "contract/contract.h"
#include "contract/text.h"
#include "scoring/scoring.h"
#include "session/bands.h"

#include <string_view>

namespace morvel {

namespace {

// Call, band and mode as one text; each length-prefixed, so that no two
// different contacts give the same text.
std::string ContactKey(const TQSOData& rec) {
    std::string key;
    for (const std::string_view part :
         {rec.CallSign.View(), rec.DigiBand.View(), rec.QSOMode.View()}) {
        key += std::to_string(part.size());
        key += ':';
        key += part;
    }
    return key;
}

bool IsOblastPrefix(std::string_view dxccPrefix) {
    return dxccPrefix == "UA1" || dxccPrefix == "UA2" || dxccPrefix == "UA9";
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

void LogCheck::Row(const TQSOData& rec, std::int32_t counted) {
    ++m_rows;
    std::vector<std::string> reasons;
    if (counted == kDuplicate) {
        const auto first = m_counted.find(ContactKey(rec));
        reasons.push_back(first == m_counted.end()
                              ? std::string("duplicate")
                              : "duplicate of row " + std::to_string(first->second));
    } else {
        m_counted.emplace(ContactKey(rec), m_rows);
        const std::string dxcc = UpperAscii(Trim(rec.DXCCPrefix.View()));
        if (const auto code = OblastCode(rec.QSOReportRecived.View())) {
            if (m_haveOblastFile && m_oblastCodes.count(m_equality.Fold(*code)) == 0) {
                reasons.push_back("oblast " + *code + " not in the oblast file");
            }
            if (!dxcc.empty() && !IsOblastPrefix(dxcc)) {
                reasons.push_back("oblast " + *code + " from DXCC prefix " + dxcc +
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
