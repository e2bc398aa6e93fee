#include "tools/morvel-score/check.h"

#include "contract/contract.h"
#include "contract/text.h"
#include "scoring/scoring.h"
#include "session/bands.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

namespace morvel {

namespace {

// FNV-1a over bytes, from the state h.
std::uint64_t Fnv(std::uint64_t h, std::string_view bytes) {
    for (const char c : bytes) {
        h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    }
    return h;
}

// A finaliser that spreads every bit of an FNV state over the whole word
// (the table's slot is taken from the low bits).
std::uint64_t Spread(std::uint64_t h) {
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDULL;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ULL;
    h ^= h >> 33;
    return h;
}

constexpr std::uint64_t kFnvStart = 14695981039346656037ULL;

std::uint64_t Hash64(std::string_view bytes) {
    return Spread(Fnv(kFnvStart, bytes));
}

// Call, band and mode, each after its length (a byte: a ShortString holds at
// most 255), so that no two different contacts hash the same text; and on the
// way, the hash of the call alone (the same as Hash64's).
std::uint64_t ContactHash(const TQSOData& rec, std::uint64_t& callHash) {
    const std::string_view call = rec.CallSign.View();
    std::uint64_t h = Fnv(kFnvStart, call);
    callHash = Spread(h);
    h = (h ^ static_cast<unsigned char>(call.size())) * 1099511628211ULL;
    for (const std::string_view part : {rec.DigiBand.View(), rec.QSOMode.View()}) {
        h = Fnv((h ^ static_cast<unsigned char>(part.size())) * 1099511628211ULL, part);
    }
    return Spread(h);
}

// UA1, UA2 or UA9, in either case (the DXCC prefix trimmed).
bool IsOblastPrefix(std::string_view dxccPrefix) {
    return dxccPrefix.size() == 3 && (dxccPrefix[0] == 'U' || dxccPrefix[0] == 'u') &&
           (dxccPrefix[1] == 'A' || dxccPrefix[1] == 'a') &&
           (dxccPrefix[2] == '1' || dxccPrefix[2] == '2' || dxccPrefix[2] == '9');
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// As a contest log writes a call, band or mode: no small letter, no blank.
bool IsTidy(std::string_view text) {
    return std::none_of(text.begin(), text.end(),
                        [](char c) { return (c >= 'a' && c <= 'z') || IsBlank(c); });
}

// The text in capitals without blanks: what IsTidy texts are already.
std::string Tidied(std::string_view text) {
    std::string tidy;
    for (const char c : UpperAscii(text)) {
        if (!IsBlank(c)) {
            tidy += c;
        }
    }
    return tidy;
}

bool HasHighBytes(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// A text of the log inside a reason, quoted so that blanks show.
std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

std::string CodeText(const char (&code)[2]) {
    return code[0] == 0 ? std::string("no oblast code") : "oblast " + std::string(code, 2);
}

std::optional<std::int64_t> KeyValue(std::string_view text) {
    text = Trim(text);
    const bool negative = !text.empty() && text[0] == '-';
    if (negative) {
        text.remove_prefix(1);
    }
    if (text.empty() || text.size() > 18 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    for (const char c : text) {
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

} // namespace

RowNaming FindRowNaming(const LogQuery& query) {
    RowNaming naming;
    for (const char* key : {"ID", "QSOID", "QSO_ID"}) {
        if (naming.keyColumn.empty() && query.FieldIndex(key)) {
            naming.keyColumn = key;
        }
    }
    if (query.FieldIndex("QSODateTime")) {
        naming.timeColumn = "QSODateTime";
    } else if (query.FieldIndex("QSODate")) {
        if (query.FieldIndex("QSOTime")) {
            naming.dateColumn = "QSODate";
            naming.timeColumn = "QSOTime";
        } else {
            naming.timeColumn = "QSODate";
        }
    }
    return naming;
}

LogCheck::LogCheck(const KeyEquality& keyEquality,
                   const std::optional<std::vector<std::string>>& oblastCodes)
    : m_equality(keyEquality), m_haveOblastFile(oblastCodes.has_value()) {
    if (oblastCodes) {
        for (const std::string& code : *oblastCodes) {
            m_oblastCodes.insert(m_equality.Fold(code));
        }
    }
}

void LogCheck::NextRowNames(std::string_view key, std::string_view time) {
    m_rowKey.assign(key);
    m_rowTime.assign(time);
    m_rowKeyValue = KeyValue(key);
}

bool LogCheck::InOblastFile(const std::string& code) {
    // OblastCode gives two capitals A-Z; anything else is looked up each time.
    const bool capitals =
        code.size() == 2 && code[0] >= 'A' && code[0] <= 'Z' && code[1] >= 'A' && code[1] <= 'Z';
    std::uint8_t* known = capitals ? &m_codeKnown[(code[0] - 'A') * 26 + (code[1] - 'A')] : nullptr;
    if (known != nullptr && *known != 0) {
        return *known == 1;
    }
    const bool in = m_oblastCodes.count(m_equality.Fold(code)) != 0;
    if (known != nullptr) {
        *known = in ? 1 : 2;
    }
    return in;
}

namespace {

// Open addressing on the hash's low bits; a power of two, at most half full.
// It grows fourfold: each slot moved is a cache miss, and a log's rows are
// moved a third as often as when it doubles.
void Grow(std::vector<LogCheckSlot>& table, std::size_t used,
          void (*reinsert)(std::vector<LogCheckSlot>&, const LogCheckSlot&)) {
    if ((used + 1) * 2 <= table.size()) {
        return;
    }
    std::vector<LogCheckSlot> old(std::max<std::size_t>(1024, table.size() * 4));
    old.swap(table);
    for (const LogCheckSlot& slot : old) {
        if (slot.row != 0) {
            reinsert(table, slot);
        }
    }
}

void Place(std::vector<LogCheckSlot>& table, const LogCheckSlot& slot) {
    const std::size_t mask = table.size() - 1;
    std::size_t i = static_cast<std::size_t>(slot.hash) & mask;
    while (table[i].row != 0) {
        i = (i + 1) & mask;
    }
    table[i] = slot;
}

} // namespace

std::uint32_t LogCheck::CountedRow(std::uint64_t hash) const {
    if (m_counted.empty()) {
        return 0;
    }
    const std::size_t mask = m_counted.size() - 1;
    std::uint32_t found = 0;
    for (std::size_t i = static_cast<std::size_t>(hash) & mask; m_counted[i].row != 0;
         i = (i + 1) & mask) {
        if (m_counted[i].hash == hash) {
            if (found != 0) {
                return 0; // two contacts of one hash: which, is not known
            }
            found = m_counted[i].row;
        }
    }
    return found;
}

void LogCheck::AddCounted(const LogCheckSlot& slot) {
    Grow(m_counted, m_countedRows, Place);
    Place(m_counted, slot);
    ++m_countedRows;
}

std::string LogCheck::RowName(std::uint32_t row) const {
    std::string name = "row " + std::to_string(row);
    if (const RowFacts& facts = m_facts[row - 1]; facts.hasKey) {
        name += " (" + m_naming.keyColumn + " " + std::to_string(facts.key) + ")";
    }
    return name;
}

LogCheck::FieldText& LogCheck::TextEntry(std::vector<FieldText>& texts, std::string_view text,
                                         std::size_t& last) {
    if (last < texts.size() && texts[last].text == text) {
        return texts[last];
    }
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (texts[i].text == text) {
            last = i;
            return texts[i];
        }
    }
    texts.push_back({std::string(text), {}, {}});
    last = texts.size() - 1;
    return texts.back();
}

void LogCheck::Row(const TQSOData& rec, std::int32_t counted) {
    ++m_rows;
    std::vector<std::string> reasons;
    std::uint64_t callHash = 0;
    const std::uint64_t hash = ContactHash(rec, callHash);
    const auto row = static_cast<std::uint32_t>(m_rows);
    RowFacts self{
        callHash, m_rowKeyValue.value_or(0), m_rowKeyValue.has_value(), counted != kDuplicate, {}};
    const std::optional<std::string> code = OblastCode(rec.QSOReportRecived.View());
    if (code) {
        self.code[0] = (*code)[0];
        self.code[1] = (*code)[1];
    }
    m_facts.push_back(self);
    bool untidyCall = false;
    bool untidyBand = false;
    bool untidyMode = false;
    if (counted == kDuplicate) {
        const std::uint32_t first = CountedRow(hash);
        reasons.push_back(first != 0 ? "duplicate of " + RowName(first) : std::string("duplicate"));
        const RowFacts* repeated = first != 0 ? &m_facts[first - 1] : nullptr;
        if (repeated && (repeated->code[0] != self.code[0] || repeated->code[1] != self.code[1])) {
            reasons.push_back("exchange differs from the row it repeats: " + CodeText(self.code) +
                              " here, " + CodeText(repeated->code) + " there");
        }
    } else {
        AddCounted({hash, row});
        const std::string_view call = rec.CallSign.View();
        const std::string_view exchange = rec.QSOReportRecived.View();
        if (Trim(call).empty()) {
            reasons.emplace_back("no call sign");
        }
        const bool highCall = HasHighBytes(call);
        const bool highExchange = HasHighBytes(exchange);
        if (highCall || highExchange) {
            reasons.push_back(std::string("letters outside ASCII in the ") +
                              (highCall && highExchange ? "call and the exchange"
                               : highCall               ? "call"
                                                        : "exchange"));
        }
        const std::string_view dxcc = Trim(rec.DXCCPrefix.View());
        if (code) {
            if (m_haveOblastFile && !InOblastFile(*code)) {
                reasons.push_back("oblast " + *code + " not in the oblast file");
            }
            if (!dxcc.empty() && !IsOblastPrefix(dxcc)) {
                reasons.push_back("oblast " + *code + " from DXCC prefix " + UpperAscii(dxcc) +
                                  " (not UA1, UA2 or UA9)");
            }
        } else if (IsOblastPrefix(dxcc)) {
            reasons.push_back("no oblast code in the exchange from DXCC prefix " +
                              UpperAscii(dxcc));
        }
        if (dxcc.empty()) {
            reasons.emplace_back("no DXCC prefix");
        }
        const std::string_view band = Trim(rec.DigiBand.View());
        if (band.empty()) {
            reasons.emplace_back("no band");
        } else if (!Band::FromText(band)) {
            reasons.push_back("band " + std::string(band) + " is not a contest band");
        }
        // Texts that differ from another counted one's only by case or
        // blanks; Finish names the other row once the whole log is read.
        untidyCall = !IsTidy(call);
        FieldText& bandText = TextEntry(m_bands, rec.DigiBand.View(), m_lastBand);
        if (bandText.firstRow == 0) {
            bandText.firstRow = row;
        }
        untidyBand = !IsTidy(bandText.text);
        FieldText& modeText = TextEntry(m_modes, rec.QSOMode.View(), m_lastMode);
        if (modeText.firstRow == 0) {
            modeText.firstRow = row;
        }
        untidyMode = !IsTidy(modeText.text);
    }
    if (!reasons.empty() || untidyCall || untidyBand || untidyMode) {
        const std::size_t index = m_questioned.size();
        m_questioned.push_back({m_rows, m_rowKey, m_rowTime, rec.CallSign.Str(), rec.DigiBand.Str(),
                                rec.QSOMode.Str(), std::move(reasons)});
        if (untidyCall) {
            m_untidyCalls.push_back({Hash64(Tidied(rec.CallSign.View())), index});
        }
        if (untidyBand) {
            m_bands[m_lastBand].untidyRows.push_back(index);
        }
        if (untidyMode) {
            m_modes[m_lastMode].untidyRows.push_back(index);
        }
    }
}

std::string LogCheck::CountedApart(const char* what, std::string_view text, std::string_view other,
                                   std::uint32_t otherRow) const {
    return std::string(what) + " " + Quoted(text) + " equals " + Quoted(other) + " of " +
           RowName(otherRow) + " but for case or blanks, counted apart";
}

void LogCheck::FinishTexts(std::vector<FieldText>& texts, const char* what) {
    for (const FieldText& entry : texts) {
        if (entry.untidyRows.empty()) {
            continue;
        }
        const std::string tidy = Tidied(entry.text);
        // The text as a contest log writes it, else the one met first.
        const FieldText* other = nullptr;
        for (const FieldText& candidate : texts) {
            if (&candidate == &entry || Tidied(candidate.text) != tidy) {
                continue;
            }
            if (candidate.text == tidy) {
                other = &candidate;
                break;
            }
            if (candidate.firstRow < entry.firstRow &&
                (other == nullptr || candidate.firstRow < other->firstRow)) {
                other = &candidate;
            }
        }
        if (other == nullptr) {
            continue;
        }
        for (const std::size_t index : entry.untidyRows) {
            m_questioned[index].reasons.push_back(
                CountedApart(what, entry.text, other->text, other->firstRow));
        }
    }
}

void LogCheck::Finish() {
    if (m_finished) {
        return;
    }
    m_finished = true;
    // A call with small letters or blanks is named against the first counted
    // row of the call as a contest log writes it (its hash is the folded
    // call's: one pass over the counted rows, only when there are such
    // calls), else against the first of its spellings met.
    std::unordered_map<std::uint64_t, std::uint32_t> tidy; // folded call hash -> first row
    for (const UntidyCall& untidy : m_untidyCalls) {
        tidy.emplace(untidy.folded, 0);
    }
    if (!tidy.empty()) {
        for (std::size_t i = 0; i < m_facts.size(); ++i) {
            const auto found = m_facts[i].counted ? tidy.find(m_facts[i].callHash) : tidy.end();
            if (found != tidy.end() && found->second == 0) {
                found->second = static_cast<std::uint32_t>(i + 1);
            }
        }
    }
    std::unordered_map<std::uint64_t, std::size_t> firstUntidy; // folded call hash -> index
    for (const UntidyCall& untidy : m_untidyCalls) {
        QuestionedRow& q = m_questioned[untidy.questioned];
        if (const std::uint32_t first = tidy[untidy.folded]; first != 0) {
            q.reasons.push_back(CountedApart("call", q.call, Tidied(q.call), first));
            continue;
        }
        const auto first = firstUntidy.emplace(untidy.folded, &untidy - m_untidyCalls.data()).first;
        if (first->second == static_cast<std::size_t>(&untidy - m_untidyCalls.data())) {
            continue;
        }
        const UntidyCall& other = m_untidyCalls[first->second];
        const std::string& otherCall = m_questioned[other.questioned].call;
        if (otherCall != q.call && Tidied(otherCall) == Tidied(q.call)) {
            q.reasons.push_back(
                CountedApart("call", q.call, otherCall,
                             static_cast<std::uint32_t>(m_questioned[other.questioned].row)));
        }
    }
    FinishTexts(m_bands, "band");
    FinishTexts(m_modes, "mode");
    m_questioned.erase(std::remove_if(m_questioned.begin(), m_questioned.end(),
                                      [](const QuestionedRow& q) { return q.reasons.empty(); }),
                       m_questioned.end());
}

std::string LogCheck::Text() {
    Finish();
    const bool key = !m_naming.keyColumn.empty();
    const bool time = !m_naming.timeColumn.empty();
    const std::string timeName = m_naming.dateColumn.empty()
                                     ? m_naming.timeColumn
                                     : m_naming.dateColumn + " " + m_naming.timeColumn;
    std::string text = "Rows to check: " + std::to_string(m_questioned.size());
    if (key || time) {
        text += " (each named by its row, the position in call-sign order, and by ";
        text += key ? m_naming.keyColumn : std::string();
        text += key && time ? " and " : "";
        text += time ? (m_naming.dateColumn.empty()
                            ? m_naming.timeColumn
                            : m_naming.dateColumn + " and " + m_naming.timeColumn)
                     : std::string();
        text += ")\n";
    } else {
        text += " (by position only: the row in call-sign order; the table has no ID or "
                "QSODateTime column)\n";
    }
    text += "row";
    text += key ? "\t" + m_naming.keyColumn : std::string();
    text += time ? "\t" + timeName : std::string();
    text += "\tcall\tband\tmode\treasons\n";
    // The log's bytes are the submitter's: a TAB, CR or LF among them must not
    // make a field or a line of the report.
    for (const QuestionedRow& q : m_questioned) {
        text += std::to_string(q.row);
        std::vector<const std::string*> fields;
        if (key) {
            fields.push_back(&q.key);
        }
        if (time) {
            fields.push_back(&q.time);
        }
        for (const std::string* field : {&q.call, &q.band, &q.mode}) {
            fields.push_back(field);
        }
        for (const std::string* field : fields) {
            text += '\t';
            text += OneLine(*field, Backslash::Doubled);
        }
        text += '\t';
        for (std::size_t i = 0; i < q.reasons.size(); ++i) {
            text += (i == 0 ? "" : "; ") + OneLine(q.reasons[i], Backslash::Doubled);
        }
        text += '\n';
    }
    return text;
}

void CheckedLogQuery::Open(const std::string& sql) {
    m_query.Open(sql);
    m_naming.clear();
    if (m_check == nullptr) {
        return;
    }
    const RowNaming naming = FindRowNaming(m_query);
    m_check->NameRowsBy(naming);
    m_haveKey = !naming.keyColumn.empty();
    m_haveDate = !naming.dateColumn.empty();
    m_haveTime = !naming.timeColumn.empty();
    for (const std::string* name : {&naming.keyColumn, &naming.dateColumn, &naming.timeColumn}) {
        if (!name->empty()) {
            m_naming.push_back(*m_query.FieldIndex(*name));
        }
    }
}

void CheckedLogQuery::ReadRow(const int* columns, std::string* values, std::size_t count) {
    if (m_naming.empty()) {
        m_query.ReadRow(columns, values, count);
        return;
    }
    if (m_columns.size() != count + m_naming.size() ||
        !std::equal(columns, columns + count, m_columns.begin())) {
        m_columns.assign(columns, columns + count);
        m_columns.insert(m_columns.end(), m_naming.begin(), m_naming.end());
        m_values.resize(m_columns.size());
    }
    m_query.ReadRow(m_columns.data(), m_values.data(), m_columns.size());
    for (std::size_t i = 0; i < count; ++i) {
        values[i].swap(m_values[i]);
    }
    std::size_t next = count;
    const std::string_view key =
        m_haveKey ? std::string_view(m_values[next++]) : std::string_view();
    if (m_haveDate) {
        m_time = m_values[next] + " " + m_values[next + 1];
        m_check->NextRowNames(key, m_time);
    } else {
        m_check->NextRowNames(key,
                              m_haveTime ? std::string_view(m_values[next]) : std::string_view());
    }
}

} // namespace morvel
