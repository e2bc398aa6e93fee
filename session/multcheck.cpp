#include "session/multcheck.h"

#include "oblast/oblast.h"
#include "session/bands.h"

#include <algorithm>

namespace morvel {

std::vector<std::string> CheckCodes(const std::vector<std::string>& domLines) {
    std::vector<std::string> codes = DomListCodes(domLines);
    std::erase(codes, std::string());
    std::sort(codes.begin(), codes.end());
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
    return codes;
}

CheckGrid::CheckGrid(std::vector<std::string> codes, const KeyEquality& keys)
    : m_codes(std::move(codes)), m_keys(&keys), m_worked(m_codes.size(), 0) {
    for (std::size_t row = 0; row < m_codes.size(); ++row) {
        m_rowOf.emplace(keys.Fold(m_codes[row]), row);
    }
}

std::string CheckGrid::Key(int band, std::string_view code) const {
    std::string key(BandTable[static_cast<std::size_t>(band - 1)]);
    key += '|';
    key += code;
    key += '|';
    return key;
}

void CheckGrid::Rebuild(const WorkedList& oblWorked) {
    m_workedOn.fill(0);
    for (std::size_t row = 0; row < m_codes.size(); ++row) {
        m_worked[row] = 0;
        for (int band = 1; band <= 9; ++band) {
            if (oblWorked.Contains(Key(band, m_codes[row]))) {
                m_worked[row] |= static_cast<std::uint16_t>(1u << (band - 1));
                ++m_workedOn[static_cast<std::size_t>(band - 1)];
            }
        }
    }
}

std::optional<CheckGrid::Cell> CheckGrid::Count(const TQSOData& rec, const WorkedList& oblWorked) {
    const std::optional<int> band = BandNumber(rec.DigiBand.View());
    const std::optional<std::string> code = OblastCode(rec.QSOReportRecived.View());
    if (!band || !code) {
        return std::nullopt;
    }
    const auto found = m_rowOf.find(m_keys->Fold(*code));
    if (found == m_rowOf.end() || Worked(found->second, *band) ||
        !oblWorked.Contains(Key(*band, m_codes[found->second]))) {
        return std::nullopt;
    }
    m_worked[found->second] |= static_cast<std::uint16_t>(1u << (*band - 1));
    ++m_workedOn[static_cast<std::size_t>(*band - 1)];
    return Cell{found->second, *band};
}

bool CheckGrid::Worked(std::size_t row, int band) const {
    return (m_worked[row] >> (band - 1) & 1u) != 0;
}

CheckHeadline MakeHeadline(const std::vector<TStatistic>& statList, std::int32_t duplicates) {
    CheckHeadline h;
    for (const TStatistic& s : statList) {
        h.contacts += s.QSOs;
        h.points += s.Points;
        h.obl += s.OBL;
        h.dxcc += s.DXCC;
    }
    h.duplicates = duplicates;
    // As the statistics' score line computes it: 32-bit, wrapping.
    h.score = static_cast<std::int32_t>(static_cast<std::uint32_t>(h.obl + h.dxcc) *
                                        static_cast<std::uint32_t>(h.points));
    return h;
}

std::string CheckHeadline::Text() const {
    return "Score " + std::to_string(score) + "   Points " + std::to_string(points) + "   QSOs " +
           std::to_string(contacts) + "   Dupes " + std::to_string(duplicates) + "   OBL " +
           std::to_string(obl) + "   DXCC " + std::to_string(dxcc);
}

std::array<std::int32_t, 9> DxccByBand(const std::vector<TStatistic>& statList) {
    std::array<std::int32_t, 9> dxcc{};
    for (const TStatistic& s : statList) {
        if (const std::optional<int> band = BandNumber(s.Band)) {
            dxcc[static_cast<std::size_t>(*band - 1)] = s.DXCC;
        }
    }
    return dxcc;
}

namespace {

std::string WorkedKey(std::string_view band, std::string_view value) {
    std::string key(band);
    key += '|';
    key += value;
    key += '|';
    return key;
}

const char* MarkText(TypedStation::Mark mark) {
    switch (mark) {
    case TypedStation::Mark::New:
        return "NEW on this band";
    case TypedStation::Mark::Worked:
        return "worked here";
    case TypedStation::Mark::None:
        break;
    }
    return "";
}

} // namespace

TypedStation AnalyseStation(const TQSOData& rec, const TScoring& scoring,
                            const std::vector<std::string>& domLines) {
    TypedStation t;
    t.call = rec.CallSign.Str();
    t.band = rec.DigiBand.Str();
    t.duplicate = scoring.CheckDupe(rec);
    if (const std::optional<std::string> received = OblastCode(rec.QSOReportRecived.View())) {
        t.oblast = *received;
    } else {
        t.oblast = GrabObl(domLines, rec);
        t.suggested = !t.oblast.empty();
    }
    if (!t.oblast.empty()) {
        t.oblastMark = scoring.OblWorked().Contains(WorkedKey(t.band, t.oblast))
                           ? TypedStation::Mark::Worked
                           : TypedStation::Mark::New;
        for (int band = 1; band <= 9; ++band) {
            const std::string_view text = BandTable[static_cast<std::size_t>(band - 1)];
            if (text != t.band && !scoring.OblWorked().Contains(WorkedKey(text, t.oblast))) {
                t.oblastNeededOn.push_back(band);
            }
        }
    }
    t.dxcc = rec.DXCCPrefix.Str();
    if (!t.dxcc.empty()) {
        t.dxccMark = scoring.DxccWorked().Contains(WorkedKey(t.band, t.dxcc))
                         ? TypedStation::Mark::Worked
                         : TypedStation::Mark::New;
    }
    return t;
}

std::string TypedStation::Text() const {
    if (call.empty()) {
        return "No station typed yet";
    }
    std::string first = call + " on " + (band.empty() ? std::string("no band") : band) + "   " +
                        (duplicate ? "DUPE" : "not worked on this band and mode");
    std::string second;
    if (!oblast.empty()) {
        second +=
            "Oblast " + oblast + (suggested ? " (suggested)" : "") + ": " + MarkText(oblastMark);
        if (!oblastNeededOn.empty()) {
            second += ", still needed on";
            for (const int b : oblastNeededOn) {
                second += ' ';
                second += BandTable[static_cast<std::size_t>(b - 1)];
            }
        }
    } else {
        second += "No oblast";
    }
    second += "   DXCC " + (dxcc.empty() ? std::string("none") : dxcc + ": " + MarkText(dxccMark));
    return first + "\r\n" + second;
}

} // namespace morvel
