#include "tools/morvel-host/script.h"

#include <algorithm>
#include <cstring>

namespace morvel::host {

namespace {

constexpr std::size_t kMaxFieldBytes = ShortString::kCapacity;

// The options and the script's form, for --help.
constexpr std::string_view kUsageOptions =
    "\n"
    "Plays the logging program that hosts MorvelRussia.dll: loads the plug-in, calls\n"
    "its six functions as the script says and prints one line for each command.\n"
    "\n"
    "  --plugin PATH          the plug-in (default: MorvelRussia.dll beside this program)\n"
    "  --sqlite FILE          the log database, an SQLite file through the SQLite3 ODBC driver\n"
    "                         (installed as \"SQLite3 ODBC Driver\" or \"SQLite3\")\n"
    "  --wait SECONDS         how long to wait for the SQLite file while another program\n"
    "                         holds it locked, 0 to 86400 (default: 5)\n"
    "  --odbc TEXT            the log database by any ODBC connection string\n"
    "  --table NAME           the log table (default: Log)\n"
    "  --caption-prefix TEXT  the caption prefix in every record (default: empty)\n"
    "  SCRIPT                 the command script (default, or \"-\": standard input)\n"
    "  --help, /?             this text\n"
    "  --version              the program's version\n"
    "\n"
    "Without a database the records carry the connection 0, and only \"log\" and\n"
    "\"sql\" cannot work.\n"
    "\n"
    "Script: one command a line, fields separated by TAB; blanks and TABs before the\n"
    "command are ignored; blank lines and lines starting with '#' are skipped; in\n"
    "fields \\t, \\\\ and \\xHH are decoded. Lines may end in LF or CR LF; a UTF-8\n"
    "byte order mark is dropped; UTF-16 text (Notepad's \"Unicode\") is refused. A\n"
    "contact is the fields CallSign DigiBand QSOMode QSOReportRecived DXCCPrefix\n"
    "MainPrefix Continent (missing trailing fields are empty).\n"
    "\n"
    "The lines between repeat COUNT [FIRST] and end run COUNT times (1-100000); {i}\n"
    "in them stands for FIRST (default 0) in the first round, then one more each\n"
    "round, and is put in before the fields are decoded. Blocks do not nest.\n"
    "\n";

constexpr std::string_view kUsageExit =
    "Exit status 0 at the end of the script; 1 when the script, the database or the\n"
    "plug-in cannot be opened (or the log stays locked by another program); 2 for bad\n"
    "arguments.\n";

constexpr std::string_view kHostNotes =
    "A message box shown meanwhile is answered with OK and printed first as msgbox\n"
    "CAPTION TEXT. A bad line prints error WHAT and the script goes on.\n";

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

// The fields after the verb, decoded.
std::vector<std::string> DecodedFields(std::string_view verb,
                                       const std::vector<std::string_view>& raw) {
    std::vector<std::string> fields;
    for (std::size_t i = 1; i < raw.size(); ++i) {
        try {
            fields.push_back(DecodeField(raw[i]));
        } catch (const ScriptError& e) {
            throw ScriptError(std::string(verb) + ", field " + std::to_string(i + 1) + ": " +
                              e.what());
        }
    }
    return fields;
}

// Fields past those the verb takes must be empty.
void CheckNoMoreFields(std::string_view verb, const std::vector<std::string>& fields,
                       std::size_t taken) {
    for (std::size_t i = taken; i < fields.size(); ++i) {
        if (!fields[i].empty()) {
            const std::string takes = taken == 0   ? "no fields"
                                      : taken == 1 ? "1 field"
                                                   : std::to_string(taken) + " fields";
            throw ScriptError(std::string(verb) + " takes " + takes + ", but field " +
                              std::to_string(i + 2) + " is " + Quoted(fields[i]));
        }
    }
}

// What marks a line of a repeated block, or none.
enum class BlockMark { None, Repeat, End };

// Whether the line is a repeat or an end line: its verb, decoded, names one.
// Its raw fields then.
BlockMark MarkOf(std::string_view line, std::vector<std::string_view>& raw) {
    line = WithoutIndentation(line);
    if (IsSkippedLine(line)) {
        return BlockMark::None;
    }
    raw = SplitFields(line);
    std::string name;
    try {
        name = DecodeField(raw[0]);
    } catch (const ScriptError&) {
        return BlockMark::None; // refused as the bad line it is when it runs
    }
    return name == "repeat" ? BlockMark::Repeat : name == "end" ? BlockMark::End : BlockMark::None;
}

// A whole number from 0 to max in decimal digits, or nothing.
std::optional<std::uint64_t> WholeNumber(std::string_view text, std::uint64_t max) {
    if (text.empty()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value > max) {
            return std::nullopt;
        }
    }
    return value;
}

// The line with every {i} replaced by the round's number.
std::string WithRound(std::string_view line, std::uint64_t round) {
    constexpr std::string_view kCounter = "{i}";
    const std::string value = std::to_string(round);
    std::string out;
    for (;;) {
        const std::size_t at = line.find(kCounter);
        out.append(line.substr(0, at));
        if (at == std::string_view::npos) {
            return out;
        }
        out += value;
        line.remove_prefix(at + kCounter.size());
    }
}

} // namespace

std::string ErrorLine(std::size_t number, std::string_view what) {
    return "error\tline " + std::to_string(number) + ": " + OneLine(what) + "\n";
}

void RepeatBlocks::Refuse(std::size_t number, std::string what) {
    m_ready.push_back(ScriptLine{{}, number, std::move(what)});
}

void RepeatBlocks::Take(std::string line, std::size_t number) {
    if (m_running || !m_ready.empty()) {
        throw std::logic_error("RepeatBlocks::Take before Next gave back every line");
    }
    if (m_open) {
        TakeIntoBlock(std::move(line), number);
        return;
    }
    std::vector<std::string_view> raw;
    const BlockMark mark = MarkOf(line, raw);
    if (mark == BlockMark::None) {
        m_ready.push_back(ScriptLine{std::move(line), number, {}});
        return;
    }
    if (mark == BlockMark::End) {
        Refuse(number, "end without a repeat before it");
        return;
    }
    m_open = Block{};
    Block& block = *m_open;
    block.number = number;
    const std::string count = "1-" + std::to_string(kMaxCount);
    try {
        std::vector<std::string> fields = DecodedFields("repeat", raw);
        const std::string given = Field(fields, 0);
        if (given.empty()) {
            throw ScriptError("repeat needs a count, " + count);
        }
        const std::optional<std::uint64_t> times = WholeNumber(given, kMaxCount);
        if (!times || *times == 0) {
            throw ScriptError("repeat count " + Quoted(given) + " is not a whole number " + count);
        }
        block.count = *times;
        const std::string first = Field(fields, 1);
        if (!first.empty()) {
            const std::optional<std::uint64_t> start = WholeNumber(first, kMaxFirst);
            if (!start) {
                throw ScriptError("repeat: the first round's number " + Quoted(first) +
                                  " is not a whole number 0-" + std::to_string(kMaxFirst));
            }
            block.first = *start;
        }
        CheckNoMoreFields("repeat", fields, 2);
    } catch (const ScriptError& e) {
        block.refused = true;
        Refuse(number, std::string(e.what()) + "; its block does not run");
    }
}

void RepeatBlocks::TakeIntoBlock(std::string line, std::size_t number) {
    Block& block = *m_open;
    const std::string of = " (the block of line " + std::to_string(block.number) + ")";
    std::vector<std::string_view> raw;
    const BlockMark mark = MarkOf(line, raw);
    if (block.refused) {
        // Skipped up to its own end, past those of the repeats inside it.
        if (mark == BlockMark::Repeat) {
            ++block.nested;
        } else if (mark == BlockMark::End && block.nested-- == 0) {
            m_open.reset();
        }
        return;
    }
    if (mark == BlockMark::Repeat) {
        block.refused = true;
        block.nested = 1;
        Refuse(number, "repeat inside a repeat block" + of +
                           ": blocks do not nest; that block "
                           "does not run");
        return;
    }
    if (mark == BlockMark::End) {
        try {
            CheckNoMoreFields("end", DecodedFields("end", raw), 0);
        } catch (const ScriptError& e) {
            Refuse(number, std::string(e.what()) + of + "; its block does not run");
            m_open.reset();
            return;
        }
        if (!block.lines.empty()) {
            m_running = std::move(block);
            m_round = 0;
            m_at = 0;
        }
        m_open.reset();
        return;
    }
    if (IsSkippedLine(line)) {
        return;
    }
    if (block.lines.size() >= kMaxBlockLines || line.size() > kMaxBlockBytes - block.bytes) {
        block.refused = true;
        block.lines = {};
        Refuse(number, "the repeat block" + of + " holds more than " +
                           std::to_string(kMaxBlockLines) + " lines or " +
                           std::to_string(kMaxBlockBytes) + " bytes; it does not run");
        return;
    }
    block.bytes += line.size();
    block.lines.push_back(ScriptLine{std::move(line), number, {}});
}

void RepeatBlocks::Finish() {
    if (m_open) {
        Refuse(m_open->number, "repeat without an end before the script ends; its block does "
                               "not run");
        m_open.reset();
    }
}

bool RepeatBlocks::Next(ScriptLine& line) {
    if (m_running) {
        const ScriptLine& written = m_running->lines[m_at];
        line = ScriptLine{WithRound(written.text, m_running->first + m_round), written.number, {}};
        if (++m_at == m_running->lines.size()) {
            m_at = 0;
            if (++m_round == m_running->count) {
                m_running.reset();
            }
        }
        return true;
    }
    if (m_ready.empty()) {
        return false;
    }
    line = std::move(m_ready.front());
    m_ready.pop_front();
    return true;
}

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

void CheckRecordText(std::string_view what, const std::string& value) {
    if (value.size() > kMaxFieldBytes) {
        throw ScriptError(std::string(what) + " is " + std::to_string(value.size()) +
                          " bytes long; a record holds at most " + std::to_string(kMaxFieldBytes));
    }
}

std::string Field(const std::vector<std::string>& fields, std::size_t i) {
    return i < fields.size() ? fields[i] : std::string();
}

bool OptionalWord(const std::vector<std::string>& fields, std::string_view verb,
                  std::string_view word) {
    const std::string given = Field(fields, 0);
    if (!given.empty() && given != word) {
        throw ScriptError(std::string(verb) + " takes nothing or " + std::string(word) + ", not " +
                          Quoted(given));
    }
    return !given.empty();
}

std::size_t ReadNothing(const VerbContext&, std::vector<std::string>&, Command&) {
    return 0;
}

std::size_t ReadContact(const VerbContext& verb, std::vector<std::string>& fields,
                        Command& command) {
    const std::size_t taken = std::min(fields.size(), kContactFields.size());
    for (std::size_t i = 0; i < taken; ++i) {
        CheckRecordText(std::string(verb.name) + ": " + std::string(kContactFields[i].name),
                        fields[i]);
        command.contact.*kContactFields[i].value = std::move(fields[i]);
    }
    return taken;
}

std::size_t ReadStatement(const VerbContext& verb, std::vector<std::string>& fields,
                          Command& command) {
    if (fields.empty() || fields[0].empty()) {
        throw ScriptError(std::string(verb.name) + " needs a statement");
    }
    if (fields[0].find('\0') != std::string::npos) {
        throw ScriptError(std::string(verb.name) + ": the statement holds a NUL byte");
    }
    command.statement = std::move(fields[0]);
    return 1;
}

std::size_t ReadBand(const VerbContext& verb, std::vector<std::string>& fields, Command& command) {
    const std::string name(verb.name);
    const std::string text = Field(fields, 0);
    if (text.empty()) {
        throw ScriptError(name + " needs a band button number, 1-" + std::to_string(kBandButtons));
    }
    if (text.size() != 1 || text[0] < '1' || text[0] > '0' + kBandButtons) {
        throw ScriptError(name + " " + Quoted(text) + " is not a band button number, 1-" +
                          std::to_string(kBandButtons));
    }
    command.band = text[0] - '0';
    return 1;
}

std::size_t ReadNoWait(const VerbContext& verb, std::vector<std::string>& fields,
                       Command& command) {
    command.noWait = OptionalWord(fields, verb.name, "nowait");
    return 1;
}

const VerbTable kHostVerbTable{kHostVerbs, kHostNotes};

bool VerbTable::Holds(const VerbSyntax* verb) const {
    return std::any_of(verbs.begin(), verbs.end(),
                       [verb](const VerbSyntax& entry) { return &entry == verb; });
}

ScriptSyntax::ScriptSyntax(std::vector<const VerbTable*> tables) : m_tables(std::move(tables)) {}

const VerbSyntax* ScriptSyntax::Find(std::string_view name) const {
    for (const VerbTable* table : m_tables) {
        for (const VerbSyntax& verb : table->verbs) {
            if (verb.name == name) {
                return &verb;
            }
        }
    }
    return nullptr;
}

std::optional<Command> ScriptSyntax::ParseLine(std::string_view line, int depth) const {
    // Lines copied from an indented text (INSTALL.txt's example) keep their
    // indentation: blanks and TABs before the verb are not the line's.
    line = WithoutIndentation(line);
    if (IsSkippedLine(line)) {
        return std::nullopt;
    }
    const std::vector<std::string_view> raw = SplitFields(line);
    const std::string name = DecodeField(raw[0]);
    const VerbSyntax* verb = Find(name);
    if (verb == nullptr && (name == "repeat" || name == "end")) {
        throw ScriptError(name + " stands on a line of the script of its own (repeat COUNT, the "
                                 "lines, end)");
    }
    if (verb == nullptr) {
        throw ScriptError("unknown command " + Quoted(name));
    }
    Command command;
    command.verb = verb;
    const VerbContext context{verb->name, *this, depth};
    if (verb->input == VerbInput::Line) {
        std::vector<std::string> rest{std::string(
            line.size() > raw[0].size() ? line.substr(raw[0].size() + 1) : std::string_view())};
        verb->read(context, rest, command);
        return command;
    }
    std::vector<std::string> fields = DecodedFields(verb->name, raw);
    const std::size_t taken = verb->read(context, fields, command);
    CheckNoMoreFields(verb->name, fields, taken);
    return command;
}

std::string ScriptSyntax::Usage(std::string_view program) const {
    std::string usage = "Usage: " + std::string(program) +
                        " [--plugin PATH] [--sqlite FILE | --odbc \"CONNECTION STRING\"]\n" +
                        std::string(program.size() + 8, ' ') +
                        "[--table NAME] [--caption-prefix TEXT] [SCRIPT]\n";
    usage += kUsageOptions;
    for (const VerbTable* table : m_tables) {
        for (const VerbSyntax& verb : table->verbs) {
            usage += verb.usage;
        }
    }
    usage += "\n";
    for (const VerbTable* table : m_tables) {
        usage += table->notes;
    }
    usage += kUsageExit;
    // The plug-in names its registry key after the program that loads it.
    usage += "\nIts lines on standard output end in LF, on Windows too (its messages on\n"
             "standard error in CR LF there). The plug-in keeps its windows' places and\n"
             "choices while this program hosts it under\n"
             "HKEY_CURRENT_USER\\Software\\" +
             std::string(program) +
             "; nothing else writes there. To remove\n"
             "them: reg delete HKCU\\Software\\" +
             std::string(program) + " /f\n";
    return usage;
}

Options ParseOptions(const std::vector<std::string>& args) {
    Options options;
    bool haveScript = false;
    bool waitGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h" || arg == "/?") {
            options.help = true;
            continue;
        }
        if (arg == "--version") {
            options.version = true;
            continue;
        }
        if (arg == "--wait") {
            if (i + 1 >= args.size()) {
                throw ScriptError("missing value after " + arg);
            }
            const std::optional<int> seconds = odbc::ParseLockWaitSeconds(args[++i]);
            if (!seconds) {
                throw ScriptError("--wait takes whole seconds from 0 to " +
                                  std::to_string(odbc::kMaxLockWaitSeconds) + ", not " +
                                  Quoted(args[i]));
            }
            options.waitSeconds = *seconds;
            waitGiven = true;
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
    if (waitGiven && options.sqliteFile.empty()) {
        throw ScriptError("--wait is read only with --sqlite");
    }
    return options;
}

void LineSplitter::FailTooLong() {
    m_failed = true;
    m_pending.clear();
    throw ScriptError("line " + std::to_string(m_line) + " is longer than " +
                      std::to_string(kMaxLineBytes) + " bytes");
}

void LineSplitter::CheckStart(bool final) {
    if (m_startChecked || m_line != 1) {
        return;
    }
    constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
    const std::string_view start = std::string_view(m_pending).substr(0, 3);
    if (start.substr(0, 2) == "\xFF\xFE" || start.substr(0, 2) == "\xFE\xFF") {
        m_failed = true;
        throw ScriptError("the script is UTF-16 text (Notepad's \"Unicode\"); save it as ANSI "
                          "or UTF-8");
    }
    const bool mayBeMark = kUtf8Mark.substr(0, start.size()) == start ||
                           (start.size() == 1 && (start == "\xFF" || start == "\xFE"));
    if (start.size() < kUtf8Mark.size() && !final && mayBeMark) {
        return; // too few bytes yet to tell
    }
    if (start == kUtf8Mark) {
        m_pending.erase(0, kUtf8Mark.size());
    }
    m_startChecked = true;
}

void LineSplitter::Feed(std::string_view bytes, std::vector<std::string>& lines) {
    if (m_failed) {
        return;
    }
    while (!bytes.empty()) {
        const std::size_t lf = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, lf);
        // The CR before a LF is not the line's; a line is never held whole
        // beyond the limit (and one more byte, a CR that may go).
        if (piece.size() > kMaxLineBytes + 1 - m_pending.size()) {
            FailTooLong();
        }
        m_pending.append(piece);
        CheckStart(lf != std::string_view::npos);
        if (lf == std::string_view::npos) {
            return;
        }
        if (!m_pending.empty() && m_pending.back() == '\r') {
            m_pending.pop_back();
        }
        if (m_pending.size() > kMaxLineBytes) {
            FailTooLong();
        }
        lines.push_back(std::move(m_pending));
        m_pending.clear();
        ++m_line;
        bytes.remove_prefix(lf + 1);
    }
}

std::optional<std::string> LineSplitter::Finish() {
    if (m_failed) {
        return std::nullopt;
    }
    CheckStart(true);
    // A last line without LF may still end in the CR of a CR LF.
    if (!m_pending.empty() && m_pending.back() == '\r') {
        m_pending.pop_back();
    }
    if (m_pending.size() > kMaxLineBytes) {
        FailTooLong();
    }
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

std::string_view WithoutIndentation(std::string_view line) {
    const std::size_t verb = line.find_first_not_of(" \t");
    return verb == std::string_view::npos ? std::string_view() : line.substr(verb);
}

bool IsSkippedLine(std::string_view line) {
    line = WithoutIndentation(line);
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

std::string InfoLine(const TPluginInfo& info) {
    return "info\t" + OneLine(info.ContestName.View()) + "\t" +
           std::to_string(info.InfoWord1.get()) + "\t" + OneLine(info.PluginTag.View()) + "\t" +
           std::to_string(info.InfoWord2.get());
}

} // namespace morvel::host
