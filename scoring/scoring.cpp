#include "scoring/scoring.h"

#include "plugin/text.h"

namespace morvel {

bool WorkedList::Contains(std::string_view key) const {
    return m_folded.count(m_equality->Fold(key)) != 0;
}

bool WorkedList::AddIfAbsent(std::string key) {
    if (!m_folded.insert(m_equality->Fold(key)).second) {
        return false;
    }
    m_keys.push_back(std::move(key));
    return true;
}

void WorkedList::clear() {
    ++m_generation;
    m_keys.clear();
    m_folded.clear();
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
    return m_qsoList.Contains({rec.CallSign.view(), rec.DigiBand.view(), rec.QSOMode.view()});
}

void TScoring::AddQSOToList(const TQSOData& rec) {
    m_qsoList.Add(TQSO{rec.CallSign.str(), rec.DigiBand.str(), rec.QSOMode.str()});
}

TStatistic& TScoring::BandEntry(std::string_view band) {
    std::string key(band);
    if (const auto it = m_bandIndex.find(key); it != m_bandIndex.end()) {
        return m_statList[it->second];
    }
    m_bandIndex.emplace(key, m_statList.size());
    m_statList.push_back(TStatistic{std::move(key)});
    return m_statList.back();
}

int TScoring::CountQSO(const TQSOData& rec, bool add) {
    if (CheckDupe(rec)) {
        return -1;
    }
    if (!add) {
        return 1;
    }
    AddQSOToList(rec);

    const std::string_view band = rec.DigiBand.view();
    TStatistic& stat = BandEntry(band);
    ++stat.QSOs;
    ++stat.Points;

    std::string dxccKey(band);
    dxccKey += '|';
    dxccKey += rec.DXCCPrefix.view();
    dxccKey += '|';
    if (m_dxccWorked.AddIfAbsent(std::move(dxccKey))) {
        ++stat.DXCC;
    }

    if (const auto code = OblastCode(rec.QSOReportRecived.view())) {
        std::string oblKey(band);
        oblKey += '|';
        oblKey += *code;
        oblKey += '|';
        if (m_oblWorked.AddIfAbsent(std::move(oblKey))) {
            ++stat.OBL;
        }
    }

    if (m_bandFollower) {
        m_bandFollower(rec);
    }
    return 1;
}

void TScoring::Clear() {
    m_qsoList.clear();
    m_statList.clear();
    m_bandIndex.clear();
    m_oblWorked.clear();
    m_dxccWorked.clear();
}

} // namespace morvel
