// Contact scoring, CountQSO: the duplicate test, band statistics, the two worked
// lists and the duplicates met; the session keeps it while the main window lives.
#pragma once

#include "contract/records.h"
#include "scoring/keys.h"
#include "scoring/register.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace morvel {

// The statistics of one band.
struct TStatistic {
    std::string Band;
    std::int32_t QSOs = 0;
    std::int32_t Points = 0;
    std::int32_t OBL = 0;
    std::int32_t DXCC = 0;

    bool operator==(const TStatistic&) const = default;
};

// A list of worked keys ("band|value|") in the order they were first met, with
// a membership test under the given key equality in O(1). A log holds a few
// thousand distinct key texts, met again and again: a text met before is
// answered from the texts seen, and only a new text is folded.
class WorkedList {
public:
    explicit WorkedList(const KeyEquality& equality) : m_equality(&equality) {}

    bool Contains(std::string_view key) const;
    // Appends the key unless an equal one is present; true when appended.
    bool AddIfAbsent(std::string_view key);
    void Clear();

    const std::vector<std::string>& Keys() const { return m_keys; }
    std::size_t Size() const { return m_keys.size(); }
    // Changes whenever the list is emptied: between two equal generations the
    // list has only grown at its end.
    std::uint64_t Generation() const { return m_generation; }

private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const noexcept {
            return std::hash<std::string_view>{}(s);
        }
    };
    using TextSet = std::unordered_set<std::string, Hash, std::equal_to<>>;

    const KeyEquality* m_equality;
    std::uint64_t m_generation = 0;
    std::vector<std::string> m_keys;
    TextSet m_folded; // the folded form of every key in m_keys
    TextSet m_seen;   // every text met so far: each has an equal key in m_keys
};

// The oblast code of a received exchange: capitals, trimmed, read up to its
// first zero byte; the code is its last two characters when both are A-Z.
std::optional<std::string> OblastCode(std::string_view exchange);

class TScoring {
public:
    explicit TScoring(const KeyEquality& keyEquality);

    // True when the contact repeats call sign, band and mode of a counted one.
    bool CheckDupe(const TQSOData& rec) const;
    // Books the contact into the register; false when it is there already (a
    // duplicate), and then nothing changes. The register is a hash index with
    // its call-sign order at hand at all times, so no SortQSOList follows.
    bool AddQSOToList(const TQSOData& rec);

    // kDuplicate (nothing changes) or kOnePoint. With add, the contact
    // joins the register, the statistics and the worked lists.
    int CountQSO(const TQSOData& rec, bool add);

    // Empties the register, the statistics and both worked lists.
    void Clear();

    const TQSOList& QSOList() const { return m_qsoList; }
    // The contacts CountQSO met as duplicates when adding, since the last Clear.
    std::int32_t Duplicates() const { return m_duplicates; }
    const std::vector<TStatistic>& StatList() const { return m_statList; }
    const WorkedList& OblWorked() const { return m_oblWorked; }
    const WorkedList& DxccWorked() const { return m_dxccWorked; }

private:
    TStatistic& BandEntry(std::string_view band);
    // "band|value|" in m_key, the buffer kept from contact to contact.
    std::string_view MakeKey(std::string_view band, std::string_view value);

    TQSOList m_qsoList;
    std::vector<TStatistic> m_statList;
    TextTable m_bandIndex; // band text -> its row in m_statList
    std::string m_key;
    WorkedList m_oblWorked;
    WorkedList m_dxccWorked;
    std::int32_t m_duplicates = 0;
};

} // namespace morvel
