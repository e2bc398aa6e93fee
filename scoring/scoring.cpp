#include "scoring/scoring.h"

#include "contract/contract.h"
#include "contract/text.h"

namespace morvel {

bool WorkedList::Contains(std::string_view key) const {
    return m_seen.find(key) != m_seen.end() || m_folded.count(m_equality->Fold(key)) != 0;
}

bool WorkedList::AddIfAbsent(std::string_view key) {
    if (m_seen.find(key) != m_seen.end()) {
        return false;
    }
    m_seen.emplace(key);
    if (!m_folded.insert(m_equality->Fold(key)).second) {
        return false;
    }
    m_keys.emplace_back(key);
    return true;
}

void WorkedList::Clear() {
    ++m_generation;
    m_keys.clear();
    m_folded.clear();
    m_seen.clear();
}

std::optional<std::string> OblastCode(std::string_view exchange) {
    const std::string upper = UpperAscii(exchange);
    std::string_view s = Trim(upper);
    if (const auto zero = s.find('\0'); zero != std::string_view::npos) {
        s = s.substr(0, zero);
    }
    if (s.size() < 2) {
        return std::nullopt;
    }
    const auto isCapital = [](char c) { return c >= 'A' && c <= 'Z'; };
    const char a = s[s.size() - 2];
    const char b = s[s.size() - 1];
    if (!isCapital(a) || !isCapital(b)) {
        return std::nullopt;
    }
    return std::string{a, b};
}

TScoring::TScoring(const KeyEquality& keyEquality)
    : m_oblWorked(keyEquality), m_dxccWorked(keyEquality) {}

bool TScoring::CheckDupe(const TQSOData& rec) const {
    return m_qsoList.Contains({rec.CallSign.View(), rec.DigiBand.View(), rec.QSOMode.View()});
}

bool TScoring::AddQSOToList(const TQSOData& rec) {
    return m_qsoList.Add(QSOKey{rec.CallSign.View(), rec.DigiBand.View(), rec.QSOMode.View()});
}

TStatistic& TScoring::BandEntry(std::string_view band) {
    const std::uint32_t row = m_bandIndex.Add(band);
    if (row == m_statList.size()) {
        m_statList.push_back(TStatistic{std::string(band)});
    }
    return m_statList[row];
}

std::string_view TScoring::MakeKey(std::string_view band, std::string_view value) {
    m_key.assign(band);
    m_key += '|';
    m_key += value;
    m_key += '|';
    return m_key;
}

int TScoring::CountQSO(const TQSOData& rec, bool add) {
    if (!add) {
        return CheckDupe(rec) ? kDuplicate : kOnePoint;
    }
    // The duplicate test and the booking in one look at the register.
    if (!AddQSOToList(rec)) {
        ++m_duplicates;
        return kDuplicate;
    }

    const std::string_view band = rec.DigiBand.View();
    TStatistic& stat = BandEntry(band);
    ++stat.QSOs;
    ++stat.Points;

    if (m_dxccWorked.AddIfAbsent(MakeKey(band, rec.DXCCPrefix.View()))) {
        ++stat.DXCC;
    }

    if (const auto code = OblastCode(rec.QSOReportRecived.View())) {
        if (m_oblWorked.AddIfAbsent(MakeKey(band, *code))) {
            ++stat.OBL;
        }
    }

    return kOnePoint;
}

void TScoring::Clear() {
    m_qsoList.Clear();
    m_statList.clear();
    m_bandIndex.Clear();
    m_oblWorked.Clear();
    m_dxccWorked.Clear();
    m_duplicates = 0;
}

} // namespace morvel
