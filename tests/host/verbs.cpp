#include "tests/host/verbs.h"

#include <algorithm>

namespace morvel::host {

namespace {

constexpr std::string_view kTestUsage =
    "  closewindow           WM_CLOSE to the main window\n"
    "                                             closewindow 1 (no main window shows now) or 0\n"
    "  multclose             WM_CLOSE to the multipliers window\n"
    "                                             multclose 1 (none is left) or 0\n"
    "  sleep MS              handle messages      sleep\n"
    "  quit                  end the script       quit\n"
    "  bandnow               the pressed band     bandnow N (0: none, or no window)\n"
    "  post LINE             queue LINE           post; LINE runs when the thread next\n"
    "                                             handles messages (never between two\n"
    "                                             commands), its output lines marked\n"
    "                                             posted\n"
    "  hold FILE [write]     open FILE, unshared; hold ok, or hold error MESSAGE\n"
    "                        with write, open it for writing with others allowed to\n"
    "                        read and write it\n"
    "  unhold                close held files     unhold\n"
    "  screenshot FILE       the windows as BMP   screenshot ok, or screenshot error WHAT\n"
    "  stress SEED MS        host events fired from posted messages and a timer for MS\n"
    "                        milliseconds, most of them inside recalculations; then\n"
    "                        _Run if needed, and the statistics compared with a\n"
    "                        recalculation's\n"
    "                                             stress ok, or stress failed WHY (and\n"
    "                                             the two statistics when they differ);\n"
    "                                             the counts go to standard error\n"
    "  addmany N SEED        _AddQSO for N generated contacts\n"
    "                                             addmany N COUNTED (results of 1)\n"
    "  resources             GDI objects, USER objects and private bytes of this process\n"
    "                                             resources GDI USER BYTES\n"
    "  resources mark        the same, kept       resources marked\n"
    "  resources check BYTES compared with the mark: no more GDI or USER objects, and\n"
    "                        private bytes grown by less than BYTES\n"
    "                                             resources ok, or resources grew\n"
    "                                             GDI USER BYTES (the changes)\n"
    "  unload [thread]       FreeLibrary (on a thread of its own, waited for)\n"
    "                                             unload; no message is handled before\n"
    "                                             the next command\n"
    "  load [PREFIX]         LoadLibrary again    load; the records from now on carry\n"
    "                                             PREFIX as caption prefix, when given\n"
    "  loaded                the plug-in's code   loaded 1 (mapped in the process) or 0\n"
    "  windows               visible top-level windows of this thread\n"
    "                                             windows N\n"
    "  state                 the main window      state none, hidden, minimised,\n"
    "                                             maximised or normal\n"
    "  reconnect             a new connection to the database, then the old one closed;\n"
    "                        the records from now on carry the new one\n"
    "                                             reconnect\n"
    "  move X Y              the main window moved there as a drag ends\n"
    "                                             move\n"
    "  exit                  end the process at once, without _Release\n"
    "                                             exit\n"
    "  hover                 the mouse moved over every visible window and control\n"
    "                                             hover\n"
    "  repaint               every visible window uncovered and painted again\n"
    "                                             repaint\n"
    "  classes               the plug-in's window classes registered under its instance\n"
    "                                             classes NAMES (comma-separated) or none\n"
    "  library DLL [thread]  LoadLibrary of another DLL, kept loaded (on a thread of its\n"
    "                        own, waited for); its test exports called when it has them\n"
    "                                             library DLL [throw caught|missed]\n"
    "                                             [sent answered|unanswered|nowhere]\n"
    "  race MS               FreeLibrary on another thread after MS milliseconds, while\n"
    "                        this one sends WM_NULL to the main window until it is done\n"
    "                                             race MS\n"
    "  sysmenu WINDOW ITEM   an item of the plug-in's in a window's system menu (WINDOW\n"
    "                        main, mult or check; ITEM check, ontop or recalc)\n"
    "                                             sysmenu WINDOW ITEM MARK (the item's\n"
    "                                             check mark now: 1, 0 or -), then\n"
    "                                             topmost 1 or 0 for ontop\n"
    "  check                 the multiplier check window\n"
    "                                             check none, or check headline TEXT,\n"
    "                                             check station LINE (two), check grid N\n"
    "                                             and N lines of the grid (TAB-separated)\n"
    "  checkview [dismiss]   the multiplier check's alert, history, warning, rate, DXCC\n"
    "                        list, the typed station's row and where the three windows are\n"
    "                        (after a click on the warning's Dismiss button with dismiss)\n"
    "                                             checkview alert TEXT, ... checkview\n"
    "                                             typed none|in view|out of view,\n"
    "                                             checkview covers main|mult yes|no\n"
    "  locked                another thread takes the loader's lock and sends every open\n"
    "                        window of the plug-in activation, focus, settings, menu and\n"
    "                        command messages; each send's time goes to standard error\n"
    "                                             locked N answered, or locked\n"
    "                                             unanswered KIND@WINDOW,...\n"
    "  postmsg WINDOW MSG WPARAM LPARAM\n"
    "                        the message posted to a window of the plug-in's (main, mult\n"
    "                        or check), then messages handled\n"
    "                                             postmsg\n"
    "  lockloader            a thread of its own takes the loader's lock and keeps it\n"
    "                                             lockloader\n"
    "  unlockloader          that thread sends the main window WM_NULL, lets the lock\n"
    "                        go and ends; this one handles messages meanwhile\n"
    "                                             unlockloader answered or unanswered\n";

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

const VerbTable kTestVerbTable{kTestVerbs, kTestUsage, kTestNotes};

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
