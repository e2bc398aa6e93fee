#include "tests/host/verbs.h"

#include <algorithm>

namespace morvel::host {

namespace {

constexpr std::string_view kTestNotes =
    "A relative FILE is taken from the directory of this program. A queued line\n"
    "that never ran is named so at the end.\n";

// The command's test arguments, made when the reader is the first to give
// any.
TestArguments& Take(Command& command) {
    if (!command.more.has_value()) {
        command.more = TestArguments{};
    }
    return std::any_cast<TestArguments&>(command.more);
}

// A whole number in decimal digits, at most max. what names it in the
// messages ("sleep time"); a unit, when given, follows "whole number of" and
// the limit ("milliseconds", "ms").
struct Unit {
    std::string_view plural;
    std::string_view symbol;
};

std::uint64_t ParseWhole(const std::string& what, const std::string& text, std::uint64_t max,
                         Unit unit = {}) {
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            throw ScriptError(what + " " + Quoted(text) + " is not a whole number" +
                              (unit.plural.empty() ? "" : " of " + std::string(unit.plural)));
        }
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (value > (max - digit) / 10) {
            throw ScriptError(what + " " + Quoted(text) + " is over the limit of " +
                              std::to_string(max) +
                              (unit.symbol.empty() ? "" : " " + std::string(unit.symbol)));
        }
        value = value * 10 + digit;
    }
    return value;
}

std::uint32_t ParseMilliseconds(const std::string& verb, const std::string& text) {
    if (text.empty()) {
        throw ScriptError(verb + " needs a time in milliseconds");
    }
    const std::uint32_t max = verb == "sleep"  ? kMaxSleepMilliseconds
                              : verb == "race" ? kMaxRaceMilliseconds
                                               : kMaxStressMilliseconds;
    return static_cast<std::uint32_t>(
        ParseWhole(verb + " time", text, max, Unit{"milliseconds", "ms"}));
}

std::uint64_t ParseSeed(const std::string& verb, const std::string& text) {
    if (text.empty()) {
        throw ScriptError(verb + " needs a seed (a whole number)");
    }
    return ParseWhole(verb + " seed", text, UINT64_MAX);
}

std::string CheckPath(std::string_view verb, const std::string& path) {
    if (path.empty()) {
        throw ScriptError(std::string(verb) + " needs a file");
    }
    if (path.find('\0') != std::string::npos) {
        throw ScriptError(std::string(verb) + ": the file name holds a NUL byte");
    }
    return path;
}

} // namespace

const TestArguments& Arguments(const Command& command) {
    static const TestArguments kNone;
    const auto* arguments = std::any_cast<TestArguments>(&command.more);
    return arguments != nullptr ? *arguments : kNone;
}

std::size_t ReadMilliseconds(const VerbContext& verb, std::vector<std::string>& fields,
                             Command& command) {
    Take(command).milliseconds = ParseMilliseconds(std::string(verb.name), Field(fields, 0));
    return 1;
}

std::size_t ReadSeedAndTime(const VerbContext& verb, std::vector<std::string>& fields,
                            Command& command) {
    const std::string name(verb.name);
    TestArguments& arguments = Take(command);
    arguments.seed = ParseSeed(name, Field(fields, 0));
    arguments.milliseconds = ParseMilliseconds(name, Field(fields, 1));
    return 2;
}

std::size_t ReadCountAndSeed(const VerbContext& verb, std::vector<std::string>& fields,
                             Command& command) {
    const std::string name(verb.name);
    const std::string count = Field(fields, 0);
    if (count.empty()) {
        throw ScriptError(name + " needs a number of contacts");
    }
    TestArguments& arguments = Take(command);
    arguments.count = static_cast<std::uint32_t>(ParseWhole(name + " count", count, kMaxAddMany));
    arguments.seed = ParseSeed(name, Field(fields, 1));
    return 2;
}

std::size_t ReadResourcesMode(const VerbContext& verb, std::vector<std::string>& fields,
                              Command& command) {
    const std::string name(verb.name);
    TestArguments& arguments = Take(command);
    const std::string mode = Field(fields, 0);
    if (mode == "mark") {
        arguments.resources = ResourcesMode::Mark;
    } else if (mode == "check") {
        const std::string bytes = Field(fields, 1);
        if (bytes.empty()) {
            throw ScriptError(name + " check needs the growth of private bytes allowed");
        }
        arguments.resources = ResourcesMode::Check;
        arguments.growthBytes =
            ParseWhole(name + " check growth", bytes, UINT64_MAX, Unit{"bytes", "bytes"});
        return 2;
    } else if (!mode.empty()) {
        throw ScriptError(name + " takes nothing, mark or check BYTES, not " + Quoted(mode));
    }
    return 1;
}

std::size_t ReadThread(const VerbContext& verb, std::vector<std::string>& fields,
                       Command& command) {
    Take(command).otherThread = OptionalWord(fields, verb.name, "thread");
    return 1;
}

std::size_t ReadCheckView(const VerbContext& verb, std::vector<std::string>& fields,
                          Command& command) {
    Take(command).dismiss = OptionalWord(fields, verb.name, "dismiss");
    return 1;
}

std::size_t ReadLibrary(const VerbContext& verb, std::vector<std::string>& fields,
                        Command& command) {
    TestArguments& arguments = Take(command);
    arguments.path = CheckPath(verb.name, Field(fields, 0));
    const std::string mode = Field(fields, 1);
    if (!mode.empty() && mode != "thread") {
        throw ScriptError(std::string(verb.name) + " takes a DLL and nothing or thread, not " +
                          Quoted(mode));
    }
    arguments.otherThread = !mode.empty();
    return 2;
}

std::size_t ReadCaptionPrefix(const VerbContext& verb, std::vector<std::string>& fields,
                              Command& command) {
    TestArguments& arguments = Take(command);
    if (!fields.empty()) {
        CheckRecordText(std::string(verb.name) + ": the caption prefix", fields[0]);
        arguments.captionPrefix = fields[0];
    }
    return 1;
}

std::size_t ReadPosition(const VerbContext& verb, std::vector<std::string>& fields,
                         Command& command) {
    constexpr std::uint64_t kMaxPixels = 100000;
    const std::string name(verb.name);
    const std::string x = Field(fields, 0);
    const std::string y = Field(fields, 1);
    if (x.empty() || y.empty()) {
        throw ScriptError(name + " needs x and y in pixels");
    }
    TestArguments& arguments = Take(command);
    arguments.x = static_cast<int>(ParseWhole(name + " x", x, kMaxPixels));
    arguments.y = static_cast<int>(ParseWhole(name + " y", y, kMaxPixels));
    return 2;
}

std::size_t ReadSystemMenu(const VerbContext& verb, std::vector<std::string>& fields,
                           Command& command) {
    const std::string name(verb.name);
    const std::string window = Field(fields, 0);
    const std::string item = Field(fields, 1);
    if (window != "main" && window != "mult" && window != "check") {
        throw ScriptError(name + " needs a window: main, mult or check, not " + Quoted(window));
    }
    if (item != "check" && item != "ontop" && item != "recalc") {
        throw ScriptError(name + " needs an item: check, ontop or recalc, not " + Quoted(item));
    }
    TestArguments& arguments = Take(command);
    arguments.window = window;
    arguments.item = item;
    return 2;
}

std::size_t ReadPostedMessage(const VerbContext& verb, std::vector<std::string>& fields,
                              Command& command) {
    const std::string name(verb.name);
    const std::string window = Field(fields, 0);
    if (window != "main" && window != "mult" && window != "check") {
        throw ScriptError(name + " needs a window: main, mult or check, not " + Quoted(window));
    }
    const auto number = [&](std::size_t index, const char* what) {
        const std::string text = Field(fields, index);
        if (text.empty()) {
            throw ScriptError(name + " needs " + what);
        }
        if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
            std::uint64_t value = 0;
            for (std::size_t i = 2; i < text.size(); ++i) {
                const char c = text[i];
                const int digit = c >= '0' && c <= '9'   ? c - '0'
                                  : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                  : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                         : -1;
                if (digit < 0 || value > 0xFFFFFFFu) {
                    throw ScriptError(name + " " + what + " " + Quoted(text) +
                                      " is no number below 2^32");
                }
                value = value * 16 + static_cast<std::uint64_t>(digit);
            }
            return static_cast<std::uint32_t>(value);
        }
        return static_cast<std::uint32_t>(ParseWhole(name + " " + what, text, UINT32_MAX));
    };
    TestArguments& arguments = Take(command);
    arguments.window = window;
    arguments.message = number(1, "message");
    arguments.wParam = number(2, "wParam");
    arguments.lParam = number(3, "lParam");
    return 4;
}

std::size_t ReadPath(const VerbContext& verb, std::vector<std::string>& fields, Command& command) {
    Take(command).path = CheckPath(verb.name, Field(fields, 0));
    return 1;
}

std::size_t ReadHeldFile(const VerbContext& verb, std::vector<std::string>& fields,
                         Command& command) {
    TestArguments& arguments = Take(command);
    arguments.path = CheckPath(verb.name, Field(fields, 0));
    const std::string mode = Field(fields, 1);
    if (!mode.empty() && mode != "write") {
        throw ScriptError(std::string(verb.name) + " takes a file and nothing or write, not " +
                          Quoted(mode));
    }
    arguments.holdForWriting = !mode.empty();
    return 2;
}

// Its errors are named as the queued line's once, at the outermost post.
std::size_t ReadQueuedLine(const VerbContext& verb, std::vector<std::string>& fields,
                           Command& command) {
    const std::string queued = Field(fields, 0);
    if (IsSkippedLine(queued)) {
        throw ScriptError(std::string(verb.name) + " needs a command to queue");
    }
    if (verb.depth >= kMaxPostNesting) {
        throw ScriptError("posts nest more than " + std::to_string(kMaxPostNesting) + " deep");
    }
    try {
        verb.syntax.ParseLine(queued, verb.depth + 1);
    } catch (const ScriptError& e) {
        if (verb.depth > 0) {
            throw;
        }
        throw ScriptError(std::string(verb.name) + ": the queued line: " + e.what());
    }
    Take(command).line = queued;
    return 1;
}

const VerbTable kTestVerbTable{kTestVerbs, kTestNotes};

std::string ResolvePath(std::string_view directory, std::string_view path) {
    const bool rooted = !path.empty() && (path[0] == '\\' || path[0] == '/');
    const bool drive = path.size() >= 2 && path[1] == ':' &&
                       ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    if (rooted || drive) {
        return std::string(path);
    }
    return std::string(directory) + std::string(path);
}

std::string MarkLines(std::string_view text, std::string_view mark) {
    std::string out;
    out.reserve(text.size() + mark.size());
    bool lineStart = true;
    for (const char c : text) {
        if (lineStart) {
            out += mark;
        }
        out += c;
        lineStart = c == '\n';
    }
    return out;
}

} // namespace morvel::host
