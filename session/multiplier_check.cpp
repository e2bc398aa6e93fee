#include "session/multiplier_check.h"

#include "contract/text.h"
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

std::string CheckGrid::Key(Band band, std::string_view code) const {
    std::string key(band.Text());
    key += '|';
    key += code;
    key += '|';
    return key;
}

void CheckGrid::Rebuild(const WorkedList& oblWorked) {
    m_workedOn = {};
    for (std::size_t row = 0; row < m_codes.size(); ++row) {
        m_worked[row] = 0;
        for (const Band band : AllBands) {
            if (oblWorked.Contains(Key(band, m_codes[row]))) {
                m_worked[row] |= static_cast<std::uint16_t>(1u << band.Index());
                ++m_workedOn[band];
            }
        }
    }
}

std::optional<CheckGrid::Cell> CheckGrid::Count(const TQSOData& rec, const WorkedList& oblWorked) {
    const std::optional<Band> band = Band::FromText(rec.DigiBand.View());
    const std::optional<std::string> code = OblastCode(rec.QSOReportRecived.View());
    if (!band || !code) {
        return std::nullopt;
    }
    const auto found = m_rowOf.find(m_keys->Fold(*code));
    if (found == m_rowOf.end() || Worked(found->second, *band) ||
        !oblWorked.Contains(Key(*band, m_codes[found->second]))) {
        return std::nullopt;
    }
    m_worked[found->second] |= static_cast<std::uint16_t>(1u << band->Index());
    ++m_workedOn[*band];
    return Cell{found->second, *band};
}

std::optional<std::size_t> CheckGrid::RowOf(std::string_view code) const {
    const auto found = m_rowOf.find(m_keys->Fold(code));
    return found == m_rowOf.end() ? std::nullopt : std::optional<std::size_t>(found->second);
}

bool CheckGrid::Worked(std::size_t row, Band band) const {
    return (m_worked[row] >> band.Index() & 1u) != 0;
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

PerBand<std::int32_t> DxccByBand(const std::vector<TStatistic>& statList) {
    PerBand<std::int32_t> dxcc;
    for (const TStatistic& s : statList) {
        if (const std::optional<Band> band = Band::FromText(s.Band)) {
            dxcc[*band] = s.DXCC;
        }
    }
    return dxcc;
}

std::vector<std::string> DxccOnBand(const WorkedList& dxccWorked, Band band) {
    std::vector<std::string> prefixes;
    std::string start(band.Text());
    start += '|';
    for (const std::string& key : dxccWorked.Keys()) {
        if (key.size() > start.size() && key.starts_with(start) && key.back() == '|') {
            prefixes.push_back(key.substr(start.size(), key.size() - start.size() - 1));
        }
    }
    std::sort(prefixes.begin(), prefixes.end());
    return prefixes;
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
        for (const Band band : AllBands) {
            if (band.Text() != t.band &&
                !scoring.OblWorked().Contains(WorkedKey(band.Text(), t.oblast))) {
                t.oblastNeededOn.push_back(band);
            }
        }
    }
    for (const auto& [band, mode] : scoring.QSOList().BandsAndModes(t.call)) {
        t.history.emplace_back(band, mode);
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
            for (const Band b : oblastNeededOn) {
                second += ' ';
                second += b.Text();
            }
        }
    } else {
        second += "No oblast";
    }
    second += "   DXCC " + (dxcc.empty() ? std::string("none") : dxcc + ": " + MarkText(dxccMark));
    return first + "\r\n" + second;
}

TypedStation::Alert TypedStation::AlertKind() const {
    if (call.empty()) {
        return Alert::None;
    }
    if (duplicate) {
        return Alert::Dupe;
    }
    return oblastMark == Mark::New || dxccMark == Mark::New ? Alert::NewMultiplier : Alert::None;
}

std::string TypedStation::AlertText() const {
    switch (AlertKind()) {
    case Alert::Dupe:
        return "DUPE";
    case Alert::NewMultiplier: {
        std::string text = "NEW MULTIPLIER:";
        if (oblastMark == Mark::New) {
            text += " oblast " + oblast + (suggested ? " (suggested)" : "");
        }
        if (dxccMark == Mark::New) {
            text += (oblastMark == Mark::New ? " + DXCC " : " DXCC ") + dxcc;
        }
        return text;
    }
    case Alert::None:
        break;
    }
    return "";
}

std::string TypedStation::HistoryText() const {
    if (call.empty()) {
        return "";
    }
    if (history.empty()) {
        return "not worked before";
    }
    std::string text = "worked";
    for (std::size_t i = 0; i < history.size(); ++i) {
        text += (i == 0 ? " " : ", ") + history[i].first + " " + history[i].second;
    }
    return text;
}

std::string ContactWarning(const TQSOData& rec, const std::vector<std::string>& domLines,
                           const CheckGrid* codes) {
    const std::string_view exchange = rec.QSOReportRecived.View();
    const std::string dxcc(Trim(rec.DXCCPrefix.View()));
    const bool russian = dxcc == "UA1" || dxcc == "UA2" || dxcc == "UA9";
    const std::string head = rec.CallSign.Str() + " on " + rec.DigiBand.Str() + ": ";
    if (std::any_of(exchange.begin(), exchange.end(),
                    [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
        return head + "the exchange \"" + std::string(exchange) +
               "\" holds letters outside ASCII (Cyrillic?): its oblast is not counted as typed";
    }
    const std::optional<std::string> code = OblastCode(exchange);
    if (!code) {
        return russian ? head + "no oblast code in the exchange \"" + std::string(exchange) +
                             "\": no oblast multiplier"
                       : std::string();
    }
    if (codes != nullptr && !codes->Codes().empty() && !codes->RowOf(*code)) {
        return head + "oblast " + *code + " is not in the oblast file";
    }
    if (russian) {
        const std::string suggested = GrabObl(domLines, rec);
        if (!suggested.empty() &&
            (codes == nullptr || codes->RowOf(suggested) != codes->RowOf(*code))) {
            return head + "oblast " + *code + ", but " + rec.MainPrefix.Str() + " suggests " +
                   suggested;
        }
    }
    return "";
}

std::int32_t& RateMeter::LastHour(std::optional<Band> band) {
    return band ? m_lastHour[*band] : m_othersLastHour;
}

void RateMeter::Forget(Clock::time_point now) {
    while (!m_entries.empty() && now - m_entries.front().at >= std::chrono::minutes(60)) {
        --LastHour(m_entries.front().band);
        m_entries.pop_front();
    }
}

void RateMeter::Count(std::string_view band, Clock::time_point at) {
    const std::optional<Band> counted = Band::FromText(Trim(band));
    Forget(at);
    m_entries.push_back({at, counted});
    ++LastHour(counted);
}

std::size_t RateMeter::InLast(Clock::time_point now, int minutes) {
    Forget(now);
    const auto since = now - std::chrono::minutes(std::min(minutes, 60));
    // The entries are in time order: a binary search for the first in range.
    const auto first = std::partition_point(m_entries.begin(), m_entries.end(),
                                            [&](const Entry& e) { return e.at <= since; });
    return static_cast<std::size_t>(m_entries.end() - first);
}

std::int32_t RateMeter::LastHourOn(Clock::time_point now, Band band) {
    Forget(now);
    return m_lastHour[band];
}

std::int32_t RateMeter::LastHourOnOthers(Clock::time_point now) {
    Forget(now);
    return m_othersLastHour;
}

std::string RateMeter::Text(Clock::time_point now) {
    using std::chrono::duration_cast;
    using std::chrono::seconds;
    // The time covered, at least a minute: one contact is not a rate of 3,600.
    const long long covered =
        std::max<long long>(60, duration_cast<seconds>(now - m_start).count());
    const auto perHour = [&](int minutes) {
        const long long span = std::min<long long>(covered, minutes * 60LL);
        return static_cast<long long>(InLast(now, minutes)) * 3600 / span;
    };
    std::string text = "Rate " + std::to_string(perHour(10)) + "/h (10 min), " +
                       std::to_string(perHour(60)) + "/h (60 min)";
    if (covered < 3600) {
        text += " over the " + std::to_string(covered / 60) + " min since the start";
    }
    text += "   last hour:";
    bool any = false;
    for (const Band band : AllBands) {
        if (const std::int32_t n = LastHourOn(now, band); n > 0) {
            text += (any ? ", " : " ") + std::string(band.Text()) + " " + std::to_string(n);
            any = true;
        }
    }
    if (const std::int32_t other = LastHourOnOthers(now); other > 0) {
        text += (any ? ", " : " ") + std::string("other ") + std::to_string(other);
        any = true;
    }
    return any ? text : text + " none";
}

} // namespace morvel
