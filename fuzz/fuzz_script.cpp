// morvel-host's script reader from arbitrary bytes: the input cut into lines
// as it arrives in chunks, each line read as a command of morvel-host's, each
// line's fields decoded, and the lines given to run as the repeated blocks
// make them.
//
// The first byte gives the size of the chunks (1 to 256 bytes); the rest is
// the script as a file or a pipe gives it.
#include "check.h"

#include "tools/morvel-host/script.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace morvel;
using namespace morvel::host;

// The lines the script holds, as the splitter must give them: a UTF-8 byte
// order mark first dropped, LF ending a line and a CR right before it not
// the line's, an unterminated last line kept (without a CR at its end).
std::vector<std::string> ExpectedLines(std::string_view script) {
    if (script.substr(0, 3) == "\xEF\xBB\xBF") {
        script.remove_prefix(3);
    }
    std::vector<std::string> lines;
    for (;;) {
        const std::size_t lf = script.find('\n');
        if (lf == std::string_view::npos) {
            if (!script.empty() && script.back() == '\r') {
                script.remove_suffix(1); // a CR LF cut short by the end
            }
            if (!script.empty()) {
                lines.emplace_back(script);
            }
            return lines;
        }
        std::string_view line = script.substr(0, lf);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.emplace_back(line);
        script.remove_prefix(lf + 1);
    }
}

std::string HexEscaped(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        out += "\\x";
        out += kDigits[byte >> 4];
        out += kDigits[byte & 0x0F];
    }
    return out;
}

void CheckLine(const ScriptSyntax& syntax, const std::string& line) {
    FUZZ_CHECK(line.size() <= LineSplitter::kMaxLineBytes);
    FUZZ_CHECK(line.find('\n') == std::string::npos);

    // Every field: decoded or refused; what is decoded is never longer, and
    // reads back from its bytes written as \xHH.
    for (const std::string_view field : SplitFields(line)) {
        FUZZ_CHECK(field.find('\t') == std::string_view::npos);
        try {
            const std::string decoded = DecodeField(field);
            FUZZ_CHECK(decoded.size() <= field.size());
            FUZZ_CHECK(DecodeField(HexEscaped(decoded)) == decoded);
        } catch (const ScriptError&) {
        }
    }

    // A command, a skipped line or a ScriptError; nothing else escapes.
    std::optional<Command> command;
    try {
        command = syntax.ParseLine(line);
    } catch (const ScriptError&) {
        return;
    }
    if (!command) {
        FUZZ_CHECK(IsSkippedLine(line));
        return;
    }
    FUZZ_CHECK(command->verb != nullptr && kHostVerbTable.Holds(command->verb));
    for (const ContactField& field : kContactFields) {
        FUZZ_CHECK((command->contact.*field.value).size() <= ShortString::kCapacity);
    }
    FUZZ_CHECK(command->band >= 0 && command->band <= kBandButtons);
    FUZZ_CHECK(command->statement.find('\0') == std::string::npos);
    // A line reads the same every time, and indented by blanks and TABs (as
    // copied from an indented text) or without its indentation.
    for (const std::string& same : {line, " \t  " + line, std::string(WithoutIndentation(line))}) {
        const std::optional<Command> again = syntax.ParseLine(same);
        FUZZ_CHECK(again && again->verb == command->verb &&
                   again->contact.CallSign == command->contact.CallSign &&
                   again->contact.Continent == command->contact.Continent &&
                   again->statement == command->statement && again->band == command->band);
    }
}

// The name a line's verb decodes to, or empty.
std::string VerbName(const std::string& line) {
    try {
        return DecodeField(SplitFields(WithoutIndentation(line))[0]);
    } catch (const ScriptError&) {
        return {};
    }
}

// The lines given to run: each numbered as one of the script's, a refusal
// with a message and no text, no repeat or end line among them; a script
// without either gives its lines back as they are. The rounds are read up to
// a bound, as a block may repeat 100000 times.
void CheckBlocks(const ScriptSyntax& syntax, const std::vector<std::string>& lines) {
    constexpr std::size_t kMaxGiven = 2000;
    RepeatBlocks blocks;
    std::vector<ScriptLine> given;
    const auto take = [&] {
        for (ScriptLine line; given.size() < kMaxGiven && blocks.Next(line);) {
            given.push_back(std::move(line));
        }
        return given.size() < kMaxGiven;
    };
    bool marked = false;
    bool whole = true;
    for (std::size_t i = 0; i < lines.size() && whole; ++i) {
        const std::string name = VerbName(lines[i]);
        marked = marked || name == "repeat" || name == "end";
        blocks.Take(lines[i], i + 1);
        whole = take();
    }
    if (whole) {
        blocks.Finish();
        whole = take();
    }
    for (const ScriptLine& line : given) {
        FUZZ_CHECK(line.number >= 1 && line.number <= lines.size());
        if (!line.error.empty()) {
            FUZZ_CHECK(line.text.empty() && marked);
            continue;
        }
        const std::string name = VerbName(line.text);
        FUZZ_CHECK(name != "repeat" && name != "end");
        try {
            syntax.ParseLine(line.text);
        } catch (const ScriptError&) {
        }
    }
    if (!marked && whole) {
        FUZZ_CHECK(given.size() == lines.size());
        for (std::size_t i = 0; i < given.size(); ++i) {
            FUZZ_CHECK(given[i].number == i + 1 && given[i].text == lines[i]);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t chunk = std::size_t{data[0]} + 1;
    const std::string_view script(reinterpret_cast<const char*>(data) + 1, size - 1);

    LineSplitter splitter;
    std::vector<std::string> lines;
    std::optional<std::string> failure;
    try {
        for (std::size_t at = 0; at < script.size(); at += chunk) {
            splitter.Feed(script.substr(at, chunk), lines);
        }
        if (std::optional<std::string> last = splitter.Finish()) {
            lines.push_back(std::move(*last));
        }
    } catch (const ScriptError& e) {
        failure = e.what();
    }
    const bool utf16 = script.substr(0, 2) == "\xFF\xFE" || script.substr(0, 2) == "\xFE\xFF";
    if (utf16) {
        // Refused before any line.
        FUZZ_CHECK(failure.has_value() && lines.empty());
    } else if (!failure) {
        FUZZ_CHECK(lines == ExpectedLines(script));
    } else {
        // Only a line too long is refused; the lines before it are kept.
        FUZZ_CHECK(failure->find(" is longer than ") != std::string::npos);
        const std::vector<std::string> expected = ExpectedLines(script);
        FUZZ_CHECK(lines.size() < expected.size() &&
                   std::equal(lines.begin(), lines.end(), expected.begin()));
    }

    static const ScriptSyntax syntax({&kHostVerbTable});
    for (const std::string& line : lines) {
        CheckLine(syntax, line);
    }
    CheckBlocks(syntax, lines);
    return 0;
}
