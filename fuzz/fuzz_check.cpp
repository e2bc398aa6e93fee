// morvel-score --check from arbitrary bytes: a log's rows counted as the
// recalculation counts them, each handed to the check, then its report.
//
// The input's first line is the oblast file; each line after it a row, its
// fields separated by TABs: call sign, band, mode, received exchange, DXCC
// prefix, and the key and time that name the row (missing fields are empty; a
// field is cut to what a record holds). The rows are named by ID and
// QSODateTime when the first line's length is odd, else by position only.
#include "check.h"

#include "contract/contract.h"
#include "contract/records.h"
#include "contract/text.h"
#include "oblast/oblast.h"
#include "scoring/keys.h"
#include "scoring/scoring.h"
#include "tools/morvel-score/check.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace {

using namespace morvel;

std::vector<std::string_view> Split(std::string_view text, char at) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t end = text.find(at);
        parts.push_back(text.substr(0, end));
        if (end == std::string_view::npos) {
            return parts;
        }
        text.remove_prefix(end + 1);
    }
}

std::string_view Field(const std::vector<std::string_view>& fields, std::size_t i) {
    return i < fields.size() ? fields[i].substr(0, ShortString::kCapacity) : std::string_view();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string_view> lines = Split(input, '\n');
    const std::vector<std::string> codes = DomListCodes(SplitDomLines(lines[0]));
    // Without an oblast file when the first line is "-".
    const std::optional<std::vector<std::string>> oblast =
        lines[0] == "-" ? std::nullopt : std::optional<std::vector<std::string>>(codes);

    TScoring scoring(CLibraryKeyEquality());
    LogCheck check(CLibraryKeyEquality(), oblast);
    const bool named = lines[0].size() % 2 == 1;
    if (named) {
        check.NameRowsBy({"ID", "QSODateTime", ""});
    }
    auto rec = std::make_unique<TQSOData>();
    // Call, band and mode exactly -> the first row that had them.
    std::map<std::tuple<std::string, std::string, std::string>, std::size_t> first;
    std::size_t rows = 0;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::vector<std::string_view> fields = Split(lines[i], '\t');
        std::memset(rec.get(), 0, sizeof(TQSOData));
        rec->CallSign.Assign(Field(fields, 0));
        rec->DigiBand.Assign(Field(fields, 1));
        rec->QSOMode.Assign(Field(fields, 2));
        rec->QSOReportRecived.Assign(Field(fields, 3));
        rec->DXCCPrefix.Assign(Field(fields, 4));
        if (named) {
            check.NextRowNames(Field(fields, 5), Field(fields, 6));
        }
        const std::int32_t counted = scoring.CountQSO(*rec, true);
        ++rows;
        const auto key =
            std::make_tuple(rec->CallSign.Str(), rec->DigiBand.Str(), rec->QSOMode.Str());
        const auto seen = first.find(key);
        FUZZ_CHECK((counted == kDuplicate) == (seen != first.end()));
        if (seen == first.end()) {
            first.emplace(key, rows);
        }
        const std::size_t before = check.Questioned().size();
        check.Row(*rec, counted);
        const std::size_t after = check.Questioned().size();
        FUZZ_CHECK(after == before || after == before + 1);
        if (counted == kDuplicate) {
            // Questioned as a duplicate only, naming the row it repeats, and
            // when the oblast codes differ, both.
            FUZZ_CHECK(after == before + 1);
            const QuestionedRow& q = check.Questioned().back();
            FUZZ_CHECK(q.row == rows && (q.reasons.size() == 1 || q.reasons.size() == 2));
            const std::string name = "duplicate of row " + std::to_string(seen->second);
            FUZZ_CHECK(q.reasons[0] == name || q.reasons[0].rfind(name + " (ID ", 0) == 0);
            FUZZ_CHECK(q.reasons.size() == 1 ||
                       q.reasons[1].rfind("exchange differs from the row it repeats: ", 0) == 0);
        } else if (after == before + 1) {
            const QuestionedRow& q = check.Questioned().back();
            FUZZ_CHECK(q.row == rows);
        }
        // No call sign and letters outside ASCII, as the counted row has them.
        if (counted != kDuplicate && Trim(rec->CallSign.View()).empty()) {
            FUZZ_CHECK(after == before + 1 &&
                       check.Questioned().back().reasons[0] == "no call sign");
        }
        const bool highNoted =
            after == before + 1 &&
            std::any_of(check.Questioned().back().reasons.begin(),
                        check.Questioned().back().reasons.end(), [](const std::string& r) {
                            return r.rfind("letters outside ASCII in the ", 0) == 0;
                        });
        const auto highIn = [](std::string_view text) {
            return std::any_of(text.begin(), text.end(),
                               [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
        };
        FUZZ_CHECK(highNoted == (counted != kDuplicate && (highIn(rec->CallSign.View()) ||
                                                           highIn(rec->QSOReportRecived.View()))));
    }
    // The whole log tells the rest (texts counted apart); every row named in
    // a reason is one met before the report.
    check.Finish();

    std::size_t duplicates = 0;
    std::size_t lastRow = 0;
    for (const QuestionedRow& q : check.Questioned()) {
        FUZZ_CHECK(q.row > lastRow && q.row <= rows && !q.reasons.empty());
        lastRow = q.row;
        duplicates += q.reasons[0].rfind("duplicate", 0) == 0 ? 1 : 0;
        for (const std::string& reason : q.reasons) {
            // The log's texts come first in the reason; what follows the last
            // " of row " is the check's own.
            const std::string_view apart = " but for case or blanks, counted apart";
            const bool counted =
                reason.size() > apart.size() &&
                reason.compare(reason.size() - apart.size(), apart.size(), apart) == 0 &&
                (reason.rfind("call \"", 0) == 0 || reason.rfind("band \"", 0) == 0 ||
                 reason.rfind("mode \"", 0) == 0);
            if (counted) {
                const std::size_t row = reason.rfind(" of row ");
                FUZZ_CHECK(row != std::string::npos);
                const std::size_t other = std::strtoul(reason.c_str() + row + 8, nullptr, 10);
                FUZZ_CHECK(other >= 1 && other <= rows && other != q.row);
            }
        }
    }
    FUZZ_CHECK(duplicates == static_cast<std::size_t>(scoring.Duplicates()));

    // The report: its headline and the fields' names, then one line a
    // questioned row of five fields (seven when named by key and time); no
    // control byte of the log's makes a field or a line.
    const std::string text = check.Text();
    FUZZ_CHECK(
        text.rfind("Rows to check: " + std::to_string(check.Questioned().size()) + " (", 0) == 0);
    const std::vector<std::string_view> reportLines = Split(text, '\n');
    FUZZ_CHECK(reportLines.size() == check.Questioned().size() + 3 && reportLines.back().empty());
    const long tabs = named ? 6 : 4;
    FUZZ_CHECK(std::count(reportLines[1].begin(), reportLines[1].end(), '\t') == tabs);
    for (std::size_t i = 2; i + 1 < reportLines.size(); ++i) {
        FUZZ_CHECK(std::count(reportLines[i].begin(), reportLines[i].end(), '\t') == tabs);
        FUZZ_CHECK(reportLines[i].rfind(std::to_string(check.Questioned()[i - 2].row) + "\t", 0) ==
                   0);
    }
    FUZZ_CHECK(std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && c != '\t' && c != '\n') || byte == 0x7F;
    }));
    return 0;
}
