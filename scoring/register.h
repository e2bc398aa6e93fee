// The contact register: every contact counted so far, and the duplicate test.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <cstdint>
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

// The register: a flat open-addressing hash index over the contacts in the
// order they were booked. The duplicate test and the insertion cost O(1)
// whatever the size of the log and whatever order the contacts arrive in; a
// test for a new contact touches one slot of the index, not the contacts.
// Ordered() gives the register in ordinal call-sign order.
class TQSOList {
public:
    // Adds the contact; a contact already present is not stored twice.
    void Add(TQSO qso);
    bool Contains(const QSOKey& key) const;
    std::size_t size() const { return m_entries.size(); }
    bool empty() const { return m_entries.empty(); }
    void clear();

    // The entries sorted by call sign (ordinal), then band and mode.
    std::vector<TQSO> Ordered() const;

private:
    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t entry = 0; // index into m_entries plus one; 0 for a free slot
    };

    static std::uint32_t Hash(const QSOKey& key);
    // The slot holding the key, or the free slot where it would go.
    std::size_t Find(const QSOKey& key, std::uint32_t hash) const;
    void Grow();

    std::vector<TQSO> m_entries;
    std::vector<Slot> m_slots;
};

} // namespace morvel
