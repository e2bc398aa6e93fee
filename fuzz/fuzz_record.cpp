// Contact records from arbitrary bytes through the scoring.
//
// The input is cut into 5916-byte host records (the last one padded with
// zeros). Each is tested for a duplicate, asked about (CountQSO without add)
// and counted; after every step the register, the band statistics, the two
// worked lists and the statistics text must agree with each other and with
// what the step did. Then the same records are counted again after a Clear
// and must give the same state, and last come the same contacts with other
// call signs.
#include "check.h"

#include "contract/records.h"
#include "contract/text.h"
#include "scoring/keys.h"
#include "scoring/register.h"
#include "scoring/report.h"
#include "scoring/scoring.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_set>
#include <vector>

namespace {

using namespace morvel;

// What CountQSO may change, for "nothing changed" checks.
struct Snapshot {
    std::size_t registered;
    std::vector<TStatistic> stats;
    std::vector<std::string> obl;
    std::vector<std::string> dxcc;

    bool operator==(const Snapshot&) const = default;
};

Snapshot Take(const TScoring& s) {
    return {s.QSOList().Size(), s.StatList(), s.OblWorked().Keys(), s.DxccWorked().Keys()};
}

// What the harness follows itself: every contact counted (call sign, band and
// mode, compared exactly), and which band's contact added each key of a
// worked list, in the list's order. An OBL key's band can be read off the key
// ("band|XY|"), a DXCC key's cannot (the prefix may hold "|"), so both are
// followed as they are added.
struct Model {
    std::set<std::tuple<std::string, std::string, std::string>> counted;
    std::vector<std::string> oblBand;
    std::vector<std::string> dxccBand;
};

const TStatistic* FindBand(const std::vector<TStatistic>& stats, std::string_view band) {
    for (const TStatistic& s : stats) {
        if (s.Band == band) {
            return &s;
        }
    }
    return nullptr;
}

std::int32_t Wrapped(std::int64_t sum) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(sum));
}

// The numbers after a label, each after a tab and optional blanks, up to the
// end of the line.
std::vector<std::int64_t> RowNumbers(std::string_view row) {
    std::vector<std::int64_t> numbers;
    std::size_t i = 0;
    while (i < row.size()) {
        FUZZ_CHECK(row[i] == '\t');
        ++i;
        while (i < row.size() && row[i] == ' ') {
            ++i;
        }
        std::int64_t value = 0;
        const auto [end, error] = std::from_chars(row.data() + i, row.data() + row.size(), value);
        FUZZ_CHECK(error == std::errc());
        numbers.push_back(value);
        i = static_cast<std::size_t>(end - row.data());
    }
    return numbers;
}

// The statistics text's "Total" row and score line against the band rows.
void CheckText(const std::vector<TStatistic>& stats) {
    const std::string text = ShowStatistic(stats);
    std::int64_t q = 0, p = 0, o = 0, d = 0;
    for (const TStatistic& s : stats) {
        q += s.QSOs;
        p += s.Points;
        o += s.OBL;
        d += s.DXCC;
    }
    // A band text may hold anything, line breaks and "Total" included, but
    // the last "Total" row is the real one: only numbers follow it.
    const std::size_t total = text.rfind("\r\nTotal\t");
    FUZZ_CHECK(total != std::string::npos);
    const std::size_t rowStart = total + 7;
    const std::size_t rowEnd = text.find("\r\n", rowStart);
    FUZZ_CHECK(rowEnd != std::string::npos);
    const std::vector<std::int64_t> row =
        RowNumbers(std::string_view(text).substr(rowStart, rowEnd - rowStart));
    FUZZ_CHECK(row.size() == 4);
    FUZZ_CHECK(row[0] == Wrapped(q) && row[1] == Wrapped(p) && row[2] == Wrapped(o) &&
               row[3] == Wrapped(d));

    const std::string score = " Score: " + std::to_string(Wrapped(p)) + "*(" +
                              std::to_string(Wrapped(o)) + "+" + std::to_string(Wrapped(d)) +
                              ")=" + std::to_string(Wrapped(p * (o + d)));
    FUZZ_CHECK(text.compare(rowEnd, std::string::npos, "\r\n" + score) == 0);
}

bool OrderedBefore(const TQSO& a, const TQSO& b) {
    for (const auto& [x, y] :
         {std::pair<std::string_view, std::string_view>{a.CallSign, b.CallSign},
          {a.DigiBand, b.DigiBand},
          {a.QSOMode, b.QSOMode}}) {
        if (const int c = CompareOrdinal(x, y); c != 0) {
            return c < 0;
        }
    }
    return false;
}

void CheckWorkedList(const WorkedList& list, const std::vector<std::string>& bands,
                     const KeyEquality& equality) {
    FUZZ_CHECK(list.Size() == bands.size());
    std::unordered_set<std::string> folded;
    for (const std::string& key : list.Keys()) {
        FUZZ_CHECK(folded.insert(equality.Fold(key)).second); // no two keys equal
        FUZZ_CHECK(list.Contains(key));
    }
}

// Everything that must hold between contacts.
void CheckState(const TScoring& scoring, const Model& model, const KeyEquality& equality) {
    const std::vector<TStatistic>& stats = scoring.StatList();
    std::int64_t qsos = 0;
    for (std::size_t i = 0; i < stats.size(); ++i) {
        const TStatistic& s = stats[i];
        FUZZ_CHECK(s.Points == s.QSOs);
        FUZZ_CHECK(s.QSOs >= 1);
        FUZZ_CHECK(FindBand(stats, s.Band) == &s); // one entry a band
        qsos += s.QSOs;
        const auto count = [&s](const std::vector<std::string>& bands) {
            return static_cast<std::int32_t>(std::count(bands.begin(), bands.end(), s.Band));
        };
        FUZZ_CHECK(s.OBL == count(model.oblBand));
        FUZZ_CHECK(s.DXCC == count(model.dxccBand));
        FUZZ_CHECK(s.DXCC >= 0 && s.DXCC <= s.QSOs && s.OBL >= 0 && s.OBL <= s.QSOs);
    }
    FUZZ_CHECK(static_cast<std::size_t>(qsos) == scoring.QSOList().Size());
    FUZZ_CHECK(model.counted.size() == scoring.QSOList().Size());

    // An OBL key is its band, "|", two capitals and "|".
    const std::vector<std::string>& obl = scoring.OblWorked().Keys();
    for (std::size_t i = 0; i < obl.size(); ++i) {
        const std::string& key = obl[i];
        FUZZ_CHECK(key.size() >= 4);
        FUZZ_CHECK(key.compare(0, key.size() - 4, model.oblBand[i]) == 0);
        FUZZ_CHECK(key[key.size() - 4] == '|' && key.back() == '|');
    }
    CheckWorkedList(scoring.OblWorked(), model.oblBand, equality);
    CheckWorkedList(scoring.DxccWorked(), model.dxccBand, equality);

    const std::vector<TQSO> ordered = scoring.QSOList().Ordered();
    FUZZ_CHECK(ordered.size() == scoring.QSOList().Size());
    for (std::size_t i = 0; i < ordered.size(); ++i) {
        FUZZ_CHECK(i == 0 || OrderedBefore(ordered[i - 1], ordered[i]));
        FUZZ_CHECK(scoring.QSOList().Contains(
            {ordered[i].CallSign, ordered[i].DigiBand, ordered[i].QSOMode}));
    }

    CheckText(stats);
}

// A worked-list step: the key was added exactly when the band's counter grew,
// and otherwise an equal key was already there.
void CheckKeyStep(const WorkedList& list, std::size_t sizeBefore, std::int32_t counterBefore,
                  std::int32_t counterAfter, const std::string& key, std::string_view band,
                  std::vector<std::string>& bands) {
    FUZZ_CHECK(list.Size() == sizeBefore || list.Size() == sizeBefore + 1);
    const bool added = list.Size() == sizeBefore + 1;
    FUZZ_CHECK(counterAfter == counterBefore + (added ? 1 : 0));
    if (added) {
        FUZZ_CHECK(list.Keys().back() == key); // the first spelling is kept
        bands.emplace_back(band);
    }
    // Keys are compared without regard to the case of A-Z.
    FUZZ_CHECK(list.Contains(key));
    FUZZ_CHECK(list.Contains(UpperAscii(key)));
    std::string lower = key;
    for (char& c : lower) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    FUZZ_CHECK(list.Contains(lower));
}

void Step(TScoring& scoring, const TQSOData& rec, Model& model) {
    const bool dupe = scoring.CheckDupe(rec);
    const auto triple = std::make_tuple(rec.CallSign.Str(), rec.DigiBand.Str(), rec.QSOMode.Str());
    // A duplicate repeats call sign, band and mode exactly.
    FUZZ_CHECK(dupe == (model.counted.count(triple) != 0));
    const Snapshot before = Take(scoring);

    const int answer = scoring.CountQSO(rec, false);
    FUZZ_CHECK(answer == (dupe ? -1 : 1));
    FUZZ_CHECK(Take(scoring) == before);

    const int counted = scoring.CountQSO(rec, true);
    FUZZ_CHECK(counted == answer);
    if (counted == -1) {
        FUZZ_CHECK(Take(scoring) == before);
        return;
    }

    model.counted.insert(triple);
    FUZZ_CHECK(scoring.CheckDupe(rec));
    FUZZ_CHECK(scoring.CountQSO(rec, false) == -1);
    FUZZ_CHECK(scoring.QSOList().Size() == before.registered + 1);

    const std::string_view band = rec.DigiBand.View();
    const TStatistic* was = FindBand(before.stats, band);
    const TStatistic* now = FindBand(scoring.StatList(), band);
    FUZZ_CHECK(now != nullptr);
    const TStatistic zero{std::string(band)};
    const TStatistic& old = was != nullptr ? *was : zero;
    FUZZ_CHECK(now->QSOs == old.QSOs + 1);
    // A new band is appended; the other bands keep their entries.
    FUZZ_CHECK(scoring.StatList().size() == before.stats.size() + (was != nullptr ? 0 : 1));
    for (const TStatistic& s : before.stats) {
        if (s.Band != band) {
            FUZZ_CHECK(*FindBand(scoring.StatList(), s.Band) == s);
        }
    }

    std::string dxccKey(band);
    dxccKey += '|';
    dxccKey += rec.DXCCPrefix.View();
    dxccKey += '|';
    CheckKeyStep(scoring.DxccWorked(), before.dxcc.size(), old.DXCC, now->DXCC, dxccKey, band,
                 model.dxccBand);

    const std::optional<std::string> code = OblastCode(rec.QSOReportRecived.View());
    if (code) {
        FUZZ_CHECK(code->size() == 2);
        for (const char c : *code) {
            FUZZ_CHECK(c >= 'A' && c <= 'Z');
        }
        const std::string oblKey = std::string(band) + "|" + *code + "|";
        CheckKeyStep(scoring.OblWorked(), before.obl.size(), old.OBL, now->OBL, oblKey, band,
                     model.oblBand);
    } else {
        FUZZ_CHECK(scoring.OblWorked().Size() == before.obl.size());
        FUZZ_CHECK(now->OBL == old.OBL);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::unique_ptr<TQSOData>> records;
    for (std::size_t at = 0; at < size; at += sizeof(TQSOData)) {
        auto rec = std::make_unique<TQSOData>();
        std::memset(rec.get(), 0, sizeof(TQSOData));
        std::memcpy(rec.get(), data + at, std::min(sizeof(TQSOData), size - at));
        records.push_back(std::move(rec));
    }

    const KeyEquality& equality = CLibraryKeyEquality();
    TScoring scoring(equality);
    Model model;
    CheckState(scoring, model, equality);
    for (const auto& rec : records) {
        Step(scoring, *rec, model);
        CheckState(scoring, model, equality);
    }

    // The state is a function of the records counted: again after a Clear,
    // the same state.
    const Snapshot first = Take(scoring);
    scoring.Clear();
    FUZZ_CHECK(scoring.QSOList().Empty() && scoring.StatList().empty() &&
               scoring.OblWorked().Size() == 0 && scoring.DxccWorked().Size() == 0);
    for (const auto& rec : records) {
        scoring.CountQSO(*rec, true);
    }
    FUZZ_CHECK(Take(scoring) == first);

    // The same contacts from other stations ("CALL/1", "CALL/2", ...): enough
    // of them for the register to outgrow its first index.
    if (records.empty()) {
        return 0;
    }
    const std::size_t portables = (40 + records.size() - 1) / records.size();
    TQSOData other;
    for (std::size_t portable = 1; portable <= portables; ++portable) {
        for (const auto& rec : records) {
            std::memcpy(&other, rec.get(), sizeof other);
            other.CallSign.Assign(rec->CallSign.Str() + "/" + std::to_string(portable));
            Step(scoring, other, model);
        }
    }
    CheckState(scoring, model, equality);
    return 0;
}
