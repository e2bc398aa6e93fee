#include "tools/morvel-host/script.h"

#include <algorithm>
#include <cstring>

namespace morvel::host {

const char* const kUsage =
    "Usage: morvel-host [--plugin PATH] [--sqlite FILE | --odbc \"CONNECTION STRING\"]\n"
    "                   [--table NAME] [--caption-prefix TEXT] [SCRIPT]\n"
    "\n"
    "Plays the logging program that hosts MorvelRussia.dll: loads the plug-in, calls\n"
    "its six functions as the script says and prints one line for each command.\n"
    "\n"
    "  --plugin PATH          the plug-in (default: MorvelRussia.dll beside this program)\n"
    "  --sqlite FILE          the log database, an SQLite file through the SQLite3 ODBC driver\n"
    "  --odbc TEXT            the log database by any ODBC connection string\n"
    "  --table NAME           the log table (default: Log)\n"
    "  --caption-prefix TEXT  the caption prefix in every record (default: empty)\n"
    "  SCRIPT                 the command script (default, or \"-\": standard input)\n"
    "\n"
    "Without a database the records carry the connection 0, and only \"log\" and\n"
    "\"sql\" cannot work.\n"
    "\n"
    "Script: one command a line, fields separated by TAB; blank lines and lines\n"
    "starting with '#' are skipped; in fields \\t, \\\\ and \\xHH are decoded. A contact\n"
    "is the fields CallSign DigiBand QSOMode QSOReportRecived DXCCPrefix MainPrefix\n"
    "Continent (missing trailing fields are empty).\n"
    "\n"
    "  info                  _GetInfo             info NAME WORD1 TAG WORD2\n"
    "  run [CONTACT]         _Run                 run 1 (a window came back) or run 0\n"
    "  score CONTACT         _GetScore            score RESULT\n"
    "  add CONTACT           _AddQSO              add RESULT\n"
    "  grab CONTACT          _GrabNumber          grab CODE (bytes as \\xHH where needed)\n"
    "  log CONTACT           INSERT, then _AddQSO log RESULT (log error MESSAGE)\n"
    "  stats                 the statistics text  stats N, then its N lines\n"
    "  recalc [nowait]       \"Recalc Statistic\"   recalc; with nowait no message is\n"
    "                                             handled before the next command\n"
    "  release               _Release             release\n"
    "  sql STATEMENT         on the connection    sql ok, or sql error MESSAGE\n"
    "  caption               the window caption   caption TEXT\n"
    "  close                 the close box        close 1 (now minimised) or close 0\n"
    "  closewindow           WM_CLOSE to the main window\n"
    "                                             closewindow 1 (no main window shows now) or 0\n"
    "  multclose             WM_CLOSE to the multipliers window\n"
    "                                             multclose 1 (none is left) or 0\n"
    "  sleep MS              handle messages      sleep\n"
    "  quit                  end the script       quit\n"
    "  mult                  \"Multipliers\"        mult 1 (its window is there) or mult 0\n"
    "  band N                band button N (1-9)  band N\n"
    "  oblasts               the multipliers list oblasts N, then N lines CODE DRAWN\n"
    "                                             (1: drawn highlighted, else 0)\n"
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
    "\n"
    "A relative FILE is taken from the directory of this program. A message box\n"
    "shown meanwhile is answered with OK and printed first as msgbox CAPTION TEXT.\n"
    "A bad line prints error WHAT and the script goes on; a queued line that never\n"
    "ran is named so at the end.\n"
    "Exit status 0 at the end of the script; 1 when the script, the database or the\n"
    "plug-in cannot be opened; 2 for bad arguments.\n";

namespace {

constexpr std::size_t kMaxFieldBytes = ShortString::kCapacity;

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

void CheckRecordText(std::string_view what, const std::string& value) {
    if (value.size() > kMaxFieldBytes) {
        throw ScriptError(std::string(what) + " is " + std::to_string(value.size()) +
                          " bytes long; a record holds at most " + std::to_string(kMaxFieldBytes));
    }
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

void AppendHex(std::string& out, unsigned char byte) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out += "\\x";
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0x0F];
}

enum class Takes {
    Nothing,
    Contact,
    Statement,
    Milliseconds,
    BandNumber,
    ScriptLine,
    Path,
    HeldFile,
    SeedAndTime,
    CountAndSeed,
    ResourcesMode,
    CaptionPrefix,
    Position,
    Thread,
    NoWait,
    Library,
};

struct VerbEntry {
    std::string_view name;
    Verb verb;
    Takes takes;
};

constexpr std::array<VerbEntry, 40> kVerbs = {{
    {"info", Verb::Info, Takes::Nothing},
    {"run", Verb::Run, Takes::Contact},
    {"score", Verb::Score, Takes::Contact},
    {"add", Verb::Add, Takes::Contact},
    {"grab", Verb::Grab, Takes::Contact},
    {"log", Verb::Log, Takes::Contact},
    {"stats", Verb::Stats, Takes::Nothing},
    {"recalc", Verb::Recalc, Takes::NoWait},
    {"release", Verb::Release, Takes::Nothing},
    {"sql", Verb::Sql, Takes::Statement},
    {"caption", Verb::Caption, Takes::Nothing},
    {"close", Verb::Close, Takes::Nothing},
    {"closewindow", Verb::CloseWindow, Takes::Nothing},
    {"multclose", Verb::MultClose, Takes::Nothing},
    {"sleep", Verb::Sleep, Takes::Milliseconds},
    {"quit", Verb::Quit, Takes::Nothing},
    {"mult", Verb::Mult, Takes::Nothing},
    {"band", Verb::Band, Takes::BandNumber},
    {"oblasts", Verb::Oblasts, Takes::Nothing},
    {"bandnow", Verb::BandNow, Takes::Nothing},
    {"post", Verb::Post, Takes::ScriptLine},
    {"hold", Verb::Hold, Takes::HeldFile},
    {"unhold", Verb::Unhold, Takes::Nothing},
    {"screenshot", Verb::Screenshot, Takes::Path},
    {"stress", Verb::Stress, Takes::SeedAndTime},
    {"addmany", Verb::AddMany, Takes::CountAndSeed},
    {"resources", Verb::Resources, Takes::ResourcesMode},
    {"unload", Verb::Unload, Takes::Thread},
    {"load", Verb::Load, Takes::CaptionPrefix},
    {"loaded", Verb::Loaded, Takes::Nothing},
    {"windows", Verb::Windows, Takes::Nothing},
    {"state", Verb::State, Takes::Nothing},
    {"reconnect", Verb::Reconnect, Takes::Nothing},
    {"move", Verb::Move, Takes::Position},
    {"exit", Verb::Exit, Takes::Nothing},
    {"hover", Verb::Hover, Takes::Nothing},
    {"repaint", Verb::Repaint, Takes::Nothing},
    {"classes", Verb::Classes, Takes::Nothing},
    {"library", Verb::Library, Takes::Library},
    {"race", Verb::Race, Takes::Milliseconds},
}};

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

int ParseBand(const std::string& text) {
    if (text.empty()) {
        throw ScriptError("band needs a band button number, 1-" + std::to_string(kBandButtons));
    }
    if (text.size() != 1 || text[0] < '1' || text[0] > '0' + kBandButtons) {
        throw ScriptError("band " + Quoted(text) + " is not a band button number, 1-" +
                          std::to_string(kBandButtons));
    }
    return text[0] - '0';
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

std::optional<Command> ParseNested(std::string_view line, int nesting);

// Field i of a command, or empty when the line ends before it.
std::string Field(const std::vector<std::string>& fields, std::size_t i) {
    return i < fields.size() ? fields[i] : std::string();
}

// The rest of a post line after the TAB that ends the verb, checked as a
// script line of its own; its errors are named as the queued line's once, at
// the outermost post.
std::string QueuedLine(std::string_view line, std::string_view verbField, int nesting) {
    const std::string_view queued =
        line.size() > verbField.size() ? line.substr(verbField.size() + 1) : std::string_view();
    if (IsSkippedLine(queued)) {
        throw ScriptError("post needs a command to queue");
    }
    if (nesting >= kMaxPostNesting) {
        throw ScriptError("posts nest more than " + std::to_string(kMaxPostNesting) + " deep");
    }
    try {
        ParseNested(queued, nesting + 1);
    } catch (const ScriptError& e) {
        if (nesting > 0) {
            throw;
        }
        throw ScriptError(std::string("post: the queued line: ") + e.what());
    }
    return std::string(queued);
}

// The fields after the verb, decoded.
std::vector<std::string> DecodedFields(const VerbEntry& entry,
                                       const std::vector<std::string_view>& raw) {
    std::vector<std::string> fields;
    for (std::size_t i = 1; i < raw.size(); ++i) {
        try {
            fields.push_back(DecodeField(raw[i]));
        } catch (const ScriptError& e) {
            throw ScriptError(std::string(entry.name) + ", field " + std::to_string(i + 1) + ": " +
                              e.what());
        }
    }
    return fields;
}

std::size_t TakeContact(const VerbEntry& entry, std::vector<std::string>& fields,
                        Command& command) {
    const std::size_t taken = std::min(fields.size(), kContactFields.size());
    for (std::size_t i = 0; i < taken; ++i) {
        CheckRecordText(std::string(entry.name) + ": " + std::string(kContactFields[i].name),
                        fields[i]);
        command.contact.*kContactFields[i].value = std::move(fields[i]);
    }
    return taken;
}

std::size_t TakeStatement(std::vector<std::string>& fields, Command& command) {
    if (fields.empty() || fields[0].empty()) {
        throw ScriptError("sql needs a statement");
    }
    if (fields[0].find('\0') != std::string::npos) {
        throw ScriptError("sql: the statement holds a NUL byte");
    }
    command.statement = std::move(fields[0]);
    return 1;
}

std::size_t TakeCountAndSeed(const std::string& name, const std::vector<std::string>& fields,
                             Command& command) {
    const std::string count = Field(fields, 0);
    if (count.empty()) {
        throw ScriptError(name + " needs a number of contacts");
    }
    command.count = static_cast<std::uint32_t>(ParseWhole(name + " count", count, kMaxAddMany));
    command.seed = ParseSeed(name, Field(fields, 1));
    return 2;
}

std::size_t TakeResourcesMode(const std::vector<std::string>& fields, Command& command) {
    const std::string mode = Field(fields, 0);
    if (mode == "mark") {
        command.resources = ResourcesMode::Mark;
    } else if (mode == "check") {
        const std::string bytes = Field(fields, 1);
        if (bytes.empty()) {
            throw ScriptError("resources check needs the growth of private bytes allowed");
        }
        command.resources = ResourcesMode::Check;
        command.growthBytes =
            ParseWhole("resources check growth", bytes, UINT64_MAX, Unit{"bytes", "bytes"});
        return 2;
    } else if (!mode.empty()) {
        throw ScriptError("resources takes nothing, mark or check BYTES, not " + Quoted(mode));
    }
    return 1;
}

// A verb's one optional word: true when the line gives it, false when it gives
// nothing; anything else is an error.
bool TakeWord(const std::vector<std::string>& fields, std::string_view verb,
              std::string_view word) {
    const std::string given = Field(fields, 0);
    if (!given.empty() && given != word) {
        throw ScriptError(std::string(verb) + " takes nothing or " + std::string(word) + ", not " +
                          Quoted(given));
    }
    return !given.empty();
}

std::size_t TakeCaptionPrefix(const std::vector<std::string>& fields, Command& command) {
    if (!fields.empty()) {
        CheckRecordText("load: the caption prefix", fields[0]);
        command.captionPrefix = fields[0];
    }
    return 1;
}

std::size_t TakePosition(const std::vector<std::string>& fields, Command& command) {
    constexpr std::uint64_t kMaxPixels = 100000;
    const std::string x = Field(fields, 0);
    const std::string y = Field(fields, 1);
    if (x.empty() || y.empty()) {
        throw ScriptError("move needs x and y in pixels");
    }
    command.x = static_cast<int>(ParseWhole("move x", x, kMaxPixels));
    command.y = static_cast<int>(ParseWhole("move y", y, kMaxPixels));
    return 2;
}

// Reads what the verb takes from the fields into the command; the number of
// fields it took.
std::size_t TakeFields(const VerbEntry& entry, const std::string& name,
                       std::vector<std::string>& fields, Command& command) {
    switch (entry.takes) {
    case Takes::Nothing:
    case Takes::ScriptLine:
        return 0;
    case Takes::Contact:
        return TakeContact(entry, fields, command);
    case Takes::Statement:
        return TakeStatement(fields, command);
    case Takes::Milliseconds:
        command.milliseconds = ParseMilliseconds(name, Field(fields, 0));
        return 1;
    case Takes::SeedAndTime:
        command.seed = ParseSeed(name, Field(fields, 0));
        command.milliseconds = ParseMilliseconds(name, Field(fields, 1));
        return 2;
    case Takes::CountAndSeed:
        return TakeCountAndSeed(name, fields, command);
    case Takes::ResourcesMode:
        return TakeResourcesMode(fields, command);
    case Takes::Thread:
        command.otherThread = TakeWord(fields, "unload", "thread");
        return 1;
    case Takes::NoWait:
        command.noWait = TakeWord(fields, "recalc", "nowait");
        return 1;
    case Takes::CaptionPrefix:
        return TakeCaptionPrefix(fields, command);
    case Takes::Position:
        return TakePosition(fields, command);
    case Takes::BandNumber:
        command.band = ParseBand(fields.empty() ? std::string() : fields[0]);
        return 1;
    case Takes::Path:
        command.path = CheckPath(entry.name, fields.empty() ? std::string() : fields[0]);
        return 1;
    case Takes::Library: {
        command.path = CheckPath(entry.name, Field(fields, 0));
        const std::string mode = Field(fields, 1);
        if (!mode.empty() && mode != "thread") {
            throw ScriptError("library takes a DLL and nothing or thread, not " + Quoted(mode));
        }
        command.otherThread = !mode.empty();
        return 2;
    }
    case Takes::HeldFile: {
        command.path = CheckPath(entry.name, Field(fields, 0));
        const std::string mode = Field(fields, 1);
        if (!mode.empty() && mode != "write") {
            throw ScriptError("hold takes a file and nothing or write, not " + Quoted(mode));
        }
        command.holdForWriting = !mode.empty();
        return 2;
    }
    }
    return 0;
}

// Fields past those the verb takes must be empty.
void CheckNoMoreFields(const VerbEntry& entry, const std::vector<std::string>& fields,
                       std::size_t taken) {
    for (std::size_t i = taken; i < fields.size(); ++i) {
        if (!fields[i].empty()) {
            const std::string takes = taken == 0   ? "no fields"
                                      : taken == 1 ? "1 field"
                                                   : std::to_string(taken) + " fields";
            throw ScriptError(std::string(entry.name) + " takes " + takes + ", but field " +
                              std::to_string(i + 2) + " is " + Quoted(fields[i]));
        }
    }
}

std::optional<Command> ParseNested(std::string_view line, int nesting) {
    if (IsSkippedLine(line)) {
        return std::nullopt;
    }
    const std::vector<std::string_view> raw = SplitFields(line);
    const std::string name = DecodeField(raw[0]);
    const auto entry = std::find_if(kVerbs.begin(), kVerbs.end(),
                                    [&](const VerbEntry& e) { return e.name == name; });
    if (entry == kVerbs.end()) {
        throw ScriptError("unknown command " + Quoted(name));
    }
    Command command;
    command.verb = entry->verb;
    if (entry->takes == Takes::ScriptLine) {
        command.line = QueuedLine(line, raw[0], nesting);
        return command;
    }
    std::vector<std::string> fields = DecodedFields(*entry, raw);
    const std::size_t taken = TakeFields(*entry, name, fields, command);
    CheckNoMoreFields(*entry, fields, taken);
    return command;
}

} // namespace

Options ParseOptions(const std::vector<std::string>& args) {
    Options options;
    bool haveScript = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            continue;
        }
        if (arg.size() > 1 && arg[0] == '-') {
            std::string* target = arg == "--plugin"           ? &options.plugin
                                  : arg == "--sqlite"         ? &options.sqliteFile
                                  : arg == "--odbc"           ? &options.odbcString
                                  : arg == "--table"          ? &options.table
                                  : arg == "--caption-prefix" ? &options.captionPrefix
                                                              : nullptr;
            if (target == nullptr) {
                throw ScriptError("unknown option " + arg);
            }
            if (i + 1 >= args.size()) {
                throw ScriptError("missing value after " + arg);
            }
            const std::string& value = args[++i];
            if (value.empty() && target != &options.captionPrefix) {
                throw ScriptError(arg + " needs a value");
            }
            if (target == &options.table || target == &options.captionPrefix) {
                CheckRecordText(arg, value);
            }
            *target = value;
            continue;
        }
        if (haveScript) {
            throw ScriptError("more than one script file: " + options.script + " and " + arg);
        }
        options.script = arg;
        haveScript = true;
    }
    if (!options.sqliteFile.empty() && !options.odbcString.empty()) {
        throw ScriptError("give either --sqlite or --odbc, not both");
    }
    return options;
}

void LineSplitter::Feed(std::string_view bytes, std::vector<std::string>& lines) {
    while (!bytes.empty()) {
        const std::size_t lf = bytes.find('\n');
        if (lf == std::string_view::npos) {
            m_pending.append(bytes);
            return;
        }
        m_pending.append(bytes.substr(0, lf));
        if (!m_pending.empty() && m_pending.back() == '\r') {
            m_pending.pop_back();
        }
        lines.push_back(std::move(m_pending));
        m_pending.clear();
        bytes.remove_prefix(lf + 1);
    }
}

std::optional<std::string> LineSplitter::Finish() {
    if (m_pending.empty()) {
        return std::nullopt;
    }
    std::string last = std::move(m_pending);
    m_pending.clear();
    return last;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    for (;;) {
        const std::size_t tab = line.find('\t');
        fields.push_back(line.substr(0, tab));
        if (tab == std::string_view::npos) {
            return fields;
        }
        line.remove_prefix(tab + 1);
    }
}

std::string DecodeField(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            out += field[i];
            continue;
        }
        if (i + 1 >= field.size()) {
            throw ScriptError("a lone backslash at the end (write \\\\ for a backslash)");
        }
        const char kind = field[++i];
        if (kind == 't') {
            out += '\t';
        } else if (kind == '\\') {
            out += '\\';
        } else if (kind == 'x') {
            const int high = i + 1 < field.size() ? HexDigit(field[i + 1]) : -1;
            const int low = i + 2 < field.size() ? HexDigit(field[i + 2]) : -1;
            if (high < 0 || low < 0) {
                throw ScriptError("bad escape " + Quoted(field.substr(i - 1, 4)) +
                                  ": \\x needs two hex digits");
            }
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            throw ScriptError("unknown escape " + Quoted(field.substr(i - 1, 2)) +
                              " (only \\t, \\\\ and \\xHH)");
        }
    }
    return out;
}

bool IsSkippedLine(std::string_view line) {
    if (!line.empty() && line.front() == '#') {
        return true;
    }
    return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t'; });
}

const std::array<ContactField, 7> kContactFields = {{
    {"CallSign", &Contact::CallSign, &TQSOData::CallSign},
    {"DigiBand", &Contact::DigiBand, &TQSOData::DigiBand},
    {"QSOMode", &Contact::QSOMode, &TQSOData::QSOMode},
    {"QSOReportRecived", &Contact::QSOReportRecived, &TQSOData::QSOReportRecived},
    {"DXCCPrefix", &Contact::DXCCPrefix, &TQSOData::DXCCPrefix},
    {"MainPrefix", &Contact::MainPrefix, &TQSOData::MainPrefix},
    {"Continent", &Contact::Continent, &TQSOData::Continent},
}};

std::string_view VerbName(Verb verb) {
    for (const VerbEntry& entry : kVerbs) {
        if (entry.verb == verb) {
            return entry.name;
        }
    }
    return "?";
}

std::optional<Command> ParseLine(std::string_view line) {
    return ParseNested(line, 0);
}

std::string ResolvePath(std::string_view directory, std::string_view path) {
    const bool rooted = !path.empty() && (path[0] == '\\' || path[0] == '/');
    const bool drive = path.size() >= 2 && path[1] == ':' &&
                       ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    if (rooted || drive) {
        return std::string(path);
    }
    return std::string(directory) + std::string(path);
}

void FillRecord(TQSOData& record, const RecordSettings& settings, const Contact& contact) {
    std::memset(&record, 0, sizeof record);
    record.SetConnectionValue(settings.connection);
    record.TableName.Assign(settings.table);
    record.CaptionPrefix.Assign(settings.captionPrefix);
    for (const ContactField& field : kContactFields) {
        (record.*field.slot).Assign(contact.*field.value);
    }
}

std::string SqlLiteral(std::string_view value) {
    if (value.find('\0') != std::string_view::npos) {
        throw ScriptError("a NUL byte cannot go into an SQL string literal");
    }
    std::string out = "'";
    for (const char c : value) {
        out += c;
        if (c == '\'') {
            out += '\'';
        }
    }
    out += '\'';
    return out;
}

std::string InsertStatement(std::string_view table, const Contact& contact) {
    std::string columns;
    std::string values;
    for (const ContactField& field : kContactFields) {
        if (!columns.empty()) {
            columns += ", ";
            values += ", ";
        }
        columns += field.name;
        try {
            values += SqlLiteral(contact.*field.value);
        } catch (const ScriptError& e) {
            throw ScriptError(std::string(field.name) + ": " + e.what());
        }
    }
    return "INSERT INTO " + std::string(table) + " (" + columns + ") VALUES (" + values + ")";
}

std::string HexEscape(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x21 || byte > 0x7E || c == '\\') {
            AppendHex(out, byte);
        } else {
            out += c;
        }
    }
    return out;
}

std::string OneLine(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::vector<std::string> StatisticLines(std::string_view text) {
    std::vector<std::string> lines;
    if (text.empty()) {
        return lines;
    }
    for (;;) {
        const std::size_t end = text.find("\r\n");
        std::string line;
        for (const char c : text.substr(0, end)) {
            if (c == '\r') {
                line += "\\r";
            } else if (c == '\n') {
                line += "\\n";
            } else {
                line += c;
            }
        }
        lines.push_back(std::move(line));
        if (end == std::string_view::npos) {
            return lines;
        }
        text.remove_prefix(end + 2);
    }
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

std::string InfoLine(const TPluginInfo& info) {
    return "info\t" + OneLine(info.ContestName.View()) + "\t" +
           std::to_string(info.InfoWord1.get()) + "\t" + OneLine(info.PluginTag.View()) + "\t" +
           std::to_string(info.InfoWord2.get());
}

} // namespace morvel::host
