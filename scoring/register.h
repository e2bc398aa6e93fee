// The contact register: every contact counted so far, and the duplicate test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace morvel {

// One counted contact; the texts exactly as they stood in the record.
struct TQSO {
    std::string CallSign;
    std::string DigiBand;
    std::string QSOMode;

    bool operator==(const TQSO&) const = default;
};

// Ordinal comparison: bytes compared as unsigned from the first on; a proper
// prefix is the smaller. Returns 1, 0 or -1.
int CompareOrdinal(std::string_view a, std::string_view b);

// Call sign, band and mode of a contact, compared exactly (case-sensitive).
struct QSOKey {
    std::string_view CallSign;
    std::string_view DigiBand;
    std::string_view QSOMode;
};

// Texts that repeat (bands, modes) stored once and named by a small number.
class TextTable {
public:
    // The number of the text; nothing when it has not been added.
    std::optional<std::uint32_t> Find(std::string_view text) const;
    // The number of the text, added when new.
    std::uint32_t Add(std::string_view text);
    std::string_view Text(std::uint32_t number) const { return m_texts[number]; }
    std::size_t Size() const { return m_texts.size(); }
    void Clear();

private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const noexcept {
            return std::hash<std::string_view>{}(s);
        }
    };
    std::vector<std::string> m_texts;
    std::unordered_map<std::string, std::uint32_t, Hash, std::equal_to<>> m_numbers;
    // The text asked for last: contacts come in runs on one band and mode.
    mutable std::uint32_t m_last = 0;
};

// The register: a flat open-addressing hash index over the contacts in the
// order they were booked. The duplicate test and the insertion cost O(1)
// whatever the size of the log and whatever order the contacts arrive in; a
// test for a new contact touches one slot of the index, not the contacts.
// The call signs sit back to back in one block of text and the bands and
// modes, which take a handful of values, in text tables, so that a contact
// costs a few dozen bytes and no allocation of its own.
// Ordered() gives the register in ordinal call-sign order.
class TQSOList {
public:
    // Adds the contact; a contact already present is not stored twice.
    // True when it was added.
    bool Add(const QSOKey& key);
    bool Add(const TQSO& qso) { return Add(QSOKey{qso.CallSign, qso.DigiBand, qso.QSOMode}); }
    bool Contains(const QSOKey& key) const;
    std::size_t Size() const { return m_entries.size(); }
    bool Empty() const { return m_entries.empty(); }
    void Clear();

    // The entries sorted by call sign (ordinal), then band and mode.
    std::vector<TQSO> Ordered() const;
    // The bands and modes the call sign was booked on, in the order the bands
    // and modes were first booked: one lookup for each band and mode the
    // register knows (at most limit lookups), nothing walked per contact.
    std::vector<std::pair<std::string_view, std::string_view>>
    BandsAndModes(std::string_view call, std::size_t limit = 4096) const;

private:
    struct Entry {
        std::uint32_t callOffset; // into m_calls
        std::uint32_t band;       // in m_bands
        std::uint32_t mode;       // in m_modes
        std::uint32_t callLength;
    };
    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t entry = 0; // index into m_entries plus one; 0 for a free slot
    };

    std::string_view Call(const Entry& e) const {
        return {m_calls.data() + e.callOffset, e.callLength};
    }
    static std::uint32_t Hash(std::string_view call, std::uint32_t band, std::uint32_t mode);
    // The slot holding the contact, or the free slot where it would go.
    std::size_t Find(std::string_view call, std::uint32_t band, std::uint32_t mode,
                     std::uint32_t hash) const;
    void Grow();

    std::vector<Entry> m_entries;
    std::vector<Slot> m_slots;
    std::vector<char> m_calls;
    TextTable m_bands;
    TextTable m_modes;
};

} // namespace morvel
