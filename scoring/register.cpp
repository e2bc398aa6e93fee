#include "scoring/register.h"

#include <algorithm>
#include <cstring>

namespace morvel {

int CompareOrdinal(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    const int c = n == 0 ? 0 : std::memcmp(a.data(), b.data(), n);
    if (c != 0) {
        return c < 0 ? -1 : 1;
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

std::uint32_t TQSOList::Hash(const QSOKey& key) {
    // FNV-1a over the three texts, each closed by its length so that
    // ("AB", "C") and ("A", "BC") differ; then a final avalanche.
    std::uint64_t h = 0xcbf29ce484222325ULL;
    for (std::string_view part : {key.CallSign, key.DigiBand, key.QSOMode}) {
        for (const char c : part) {
            h = (h ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
        }
        h = (h ^ part.size()) * 0x100000001b3ULL;
    }
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    return static_cast<std::uint32_t>(h);
}

std::size_t TQSOList::Find(const QSOKey& key, std::uint32_t hash) const {
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = m_slots[i];
        if (slot.entry == 0) {
            return i;
        }
        if (slot.hash == hash) {
            const TQSO& q = m_entries[slot.entry - 1];
            if (q.CallSign == key.CallSign && q.DigiBand == key.DigiBand &&
                q.QSOMode == key.QSOMode) {
                return i;
            }
        }
    }
}

void TQSOList::Grow() {
    std::vector<Slot> old = std::move(m_slots);
    m_slots.assign(old.empty() ? 64 : old.size() * 2, Slot{});
    const std::size_t mask = m_slots.size() - 1;
    for (const Slot& slot : old) {
        if (slot.entry == 0) {
            continue;
        }
        std::size_t i = slot.hash & mask;
        while (m_slots[i].entry != 0) {
            i = (i + 1) & mask;
        }
        m_slots[i] = slot;
    }
}

void TQSOList::Add(TQSO qso) {
    // Keep the index at most half full so that probe runs stay short.
    if ((m_entries.size() + 1) * 2 > m_slots.size()) {
        Grow();
    }
    const QSOKey key{qso.CallSign, qso.DigiBand, qso.QSOMode};
    const std::uint32_t hash = Hash(key);
    Slot& slot = m_slots[Find(key, hash)];
    if (slot.entry != 0) {
        return;
    }
    m_entries.push_back(std::move(qso));
    slot = Slot{hash, static_cast<std::uint32_t>(m_entries.size())};
}

bool TQSOList::Contains(const QSOKey& key) const {
    if (m_slots.empty()) {
        return false;
    }
    return m_slots[Find(key, Hash(key))].entry != 0;
}

void TQSOList::clear() {
    m_entries.clear();
    m_slots.clear();
}

std::vector<TQSO> TQSOList::Ordered() const {
    std::vector<TQSO> out(m_entries.begin(), m_entries.end());
    std::sort(out.begin(), out.end(), [](const TQSO& a, const TQSO& b) {
        for (auto [x, y] : {std::pair<std::string_view, std::string_view>{a.CallSign, b.CallSign},
                            {a.DigiBand, b.DigiBand},
                            {a.QSOMode, b.QSOMode}}) {
            if (const int c = CompareOrdinal(x, y); c != 0) {
                return c < 0;
            }
        }
        return false;
    });
    return out;
}

} // namespace morvel
