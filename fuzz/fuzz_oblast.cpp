// The oblast file from arbitrary bytes: its lines, the oblast suggestion for
// a few contacts and the multipliers window's code list.
//
// The whole input is the file. The contacts asking for a suggestion are fixed
// ones, ones whose main prefix is taken from the file's own lines (where a
// suggestion can be found) and ones whose DXCC and main prefixes come from the
// last bytes of the input.
#include "check.h"

#include "contract/records.h"
#include "contract/text.h"
#include "oblast/oblast.h"
#include "ui/multipliers_layout.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using namespace morvel;

bool HasBreakOrZero(std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// Trimmed: no byte of code 32 or below at either end.
bool IsTrimmed(std::string_view s) {
    return Trim(s) == s;
}

void CheckLines(std::string_view input, const std::vector<std::string>& lines) {
    const std::string_view text = input.substr(0, input.find('\0'));
    // The lines, each followed by its break (CR LF, CR or LF; the last line
    // may have none), give the text back.
    std::size_t at = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        FUZZ_CHECK(!HasBreakOrZero(line));
        FUZZ_CHECK(text.compare(at, line.size(), line) == 0);
        at += line.size();
        if (at == text.size()) {
            FUZZ_CHECK(i + 1 == lines.size());
            break;
        }
        FUZZ_CHECK(text[at] == '\r' || text[at] == '\n');
        at += text.compare(at, 2, "\r\n") == 0 ? 2 : 1;
    }
    FUZZ_CHECK(at == text.size());
}

void CheckGrab(const std::vector<std::string>& lines, TQSOData& rec, std::string_view dxcc,
               std::string_view mainPrefix) {
    rec.DXCCPrefix.Assign(dxcc);
    rec.MainPrefix.Assign(mainPrefix);
    const std::string code = GrabObl(lines, rec);
    FUZZ_CHECK(code.size() <= 2);
    FUZZ_CHECK(IsTrimmed(code));
    if (code.empty()) {
        return;
    }
    // A suggestion needs a four-character main prefix that some line holds.
    const std::string_view stored = rec.MainPrefix.View();
    FUZZ_CHECK(stored.size() == 4);
    FUZZ_CHECK(!HasBreakOrZero(stored));
    bool held = false;
    for (const std::string& line : lines) {
        held = held || line.find(stored) != std::string::npos;
    }
    FUZZ_CHECK(held);
}

void CheckCodes(const std::vector<std::string>& lines) {
    const std::vector<std::string> codes = DomListCodes(lines);
    std::size_t withEquals = 0;
    for (const std::string& line : lines) {
        withEquals += line.find('=') != std::string::npos ? 1 : 0;
    }
    FUZZ_CHECK(codes.size() == withEquals);
    for (const std::string& code : codes) {
        FUZZ_CHECK(code.size() <= 4);
        FUZZ_CHECK(IsTrimmed(code));
        FUZZ_CHECK(!HasBreakOrZero(code));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> lines = SplitDomLines(input);
    CheckLines(input, lines);

    auto rec = std::make_unique<TQSOData>();
    std::memset(rec.get(), 0, sizeof(TQSOData));
    rec->CallSign.Assign("UA3AAA");

    static constexpr std::pair<std::string_view, std::string_view> kFixed[] = {
        {"UA1", "UA3A"},     {"UA9", "UA9A"}, {"UA2", "UA2F"}, {" ua1 ", "UA1A"},
        {"UA1:UA2", "UA3A"}, {"DL", "UA3A"},  {"UA1", "UA3"},  {"UA9", "UA0ZZ"},
    };
    for (const auto& [dxcc, mainPrefix] : kFixed) {
        CheckGrab(lines, *rec, dxcc, mainPrefix);
    }

    // Main prefixes from the file itself: a line's first four bytes and the
    // four before its first "=".
    std::size_t taken = 0;
    for (const std::string& line : lines) {
        if (taken == 8) {
            break;
        }
        if (line.size() >= 4) {
            CheckGrab(lines, *rec, "UA9", std::string_view(line).substr(0, 4));
            ++taken;
        }
        if (const std::size_t eq = line.find('='); eq != std::string::npos && eq >= 4) {
            CheckGrab(lines, *rec, "UA1", std::string_view(line).substr(eq - 4, 4));
            ++taken;
        }
    }

    // Prefixes from the tail of the input, whatever bytes they are.
    if (size >= 4) {
        CheckGrab(lines, *rec, "UA2", input.substr(size - 4));
    }
    if (size >= 12) {
        CheckGrab(lines, *rec, input.substr(size - 12, 4), input.substr(size - 8, 4));
    }
    const std::size_t n = std::min<std::size_t>(size, size % 7);
    CheckGrab(lines, *rec, "UA9", input.substr(size - n));
    if (size >= 1) {
        const std::size_t dxccLength = std::min<std::size_t>(size - 1, data[size - 1] % 8);
        CheckGrab(lines, *rec, input.substr(size - 1 - dxccLength, dxccLength), "UA1A");
    }

    CheckCodes(lines);
    return 0;
}
