#include "scoring/register.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <stdexcept>

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

std::optional<std::uint32_t> TextTable::Find(std::string_view text) const {
    if (m_last < m_texts.size() && m_texts[m_last] == text) {
        return m_last;
    }
    const auto it = m_numbers.find(text);
    if (it == m_numbers.end()) {
        return std::nullopt;
    }
    m_last = it->second;
    return it->second;
}

std::uint32_t TextTable::Add(std::string_view text) {
    if (const std::optional<std::uint32_t> known = Find(text)) {
        return *known;
    }
    const auto number = static_cast<std::uint32_t>(m_texts.size());
    m_texts.emplace_back(text);
    m_numbers.emplace(m_texts.back(), number);
    return number;
}

void TextTable::Clear() {
    m_texts.clear();
    m_numbers.clear();
    m_last = 0;
}

std::uint32_t TQSOList::Hash(std::string_view call, std::uint32_t band, std::uint32_t mode) {
    // FNV-1a over the call sign and the numbers of band and mode; then a
    // final avalanche. Equal texts have equal numbers, so equal contacts hash
    // alike.
    std::uint64_t h = 0xcbf29ce484222325ULL;
    for (const char c : call) {
        h = (h ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
    }
    h = (h ^ (static_cast<std::uint64_t>(band) << 32 | mode)) * 0x100000001b3ULL;
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    return static_cast<std::uint32_t>(h);
}

std::size_t TQSOList::Find(std::string_view call, std::uint32_t band, std::uint32_t mode,
                           std::uint32_t hash) const {
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = m_slots[i];
        if (slot.entry == 0) {
            return i;
        }
        if (slot.hash == hash) {
            const Entry& e = m_entries[slot.entry - 1];
            if (e.band == band && e.mode == mode && Call(e) == call) {
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

bool TQSOList::Add(const QSOKey& key) {
    if (m_entries.size() >= UINT32_MAX - 1 || key.CallSign.size() > UINT32_MAX - m_calls.size()) {
        throw std::length_error("the contact register is full");
    }
    // Keep the index at most half full so that probe runs stay short.
    if ((m_entries.size() + 1) * 2 > m_slots.size()) {
        Grow();
    }
    const std::uint32_t band = m_bands.Add(key.DigiBand);
    const std::uint32_t mode = m_modes.Add(key.QSOMode);
    const std::uint32_t hash = Hash(key.CallSign, band, mode);
    Slot& slot = m_slots[Find(key.CallSign, band, mode, hash)];
    if (slot.entry != 0) {
        return false;
    }
    const auto offset = static_cast<std::uint32_t>(m_calls.size());
    m_calls.insert(m_calls.end(), key.CallSign.begin(), key.CallSign.end());
    m_entries.push_back(Entry{offset, band, mode, static_cast<std::uint32_t>(key.CallSign.size())});
    slot = Slot{hash, static_cast<std::uint32_t>(m_entries.size())};
    return true;
}

bool TQSOList::Contains(const QSOKey& key) const {
    if (m_slots.empty()) {
        return false;
    }
    const std::optional<std::uint32_t> band = m_bands.Find(key.DigiBand);
    const std::optional<std::uint32_t> mode = band ? m_modes.Find(key.QSOMode) : std::nullopt;
    if (!mode) {
        return false; // a band or mode never booked: no contact can match
    }
    return m_slots[Find(key.CallSign, *band, *mode, Hash(key.CallSign, *band, *mode))].entry != 0;
}

std::vector<std::pair<std::string_view, std::string_view>>
TQSOList::BandsAndModes(std::string_view call, std::size_t limit) const {
    std::vector<std::pair<std::string_view, std::string_view>> found;
    if (m_slots.empty() || m_bands.Size() * m_modes.Size() > limit) {
        return found;
    }
    for (std::uint32_t band = 0; band < m_bands.Size(); ++band) {
        for (std::uint32_t mode = 0; mode < m_modes.Size(); ++mode) {
            if (m_slots[Find(call, band, mode, Hash(call, band, mode))].entry != 0) {
                found.emplace_back(m_bands.Text(band), m_modes.Text(mode));
            }
        }
    }
    return found;
}

void TQSOList::Clear() {
    m_entries.clear();
    m_slots.clear();
    m_calls.clear();
    m_bands.Clear();
    m_modes.Clear();
}

std::vector<TQSO> TQSOList::Ordered() const {
    std::vector<TQSO> out;
    out.reserve(m_entries.size());
    for (const Entry& e : m_entries) {
        out.push_back(TQSO{std::string(Call(e)), std::string(m_bands.Text(e.band)),
                           std::string(m_modes.Text(e.mode))});
    }
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
