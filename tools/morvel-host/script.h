// The portable half of morvel-host, the program that plays the host of the
// plug-in: its options, the command script (lines, fields, escapes, the
// tables of verbs), the records it builds, the INSERT it runs for "log" and
// the text it prints. Nothing here touches Win32; the *_win.cpp files do the
// calls and the windows.
#pragma once

#include "contract/records.h"
#include "contract/text.h"
#include "tools/odbc/sqlite_path.h"

#include <any>
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace morvel::host {

// A bad option, script line or field; the message names what is wrong.
class ScriptError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Options {
    std::string plugin;     // empty: MorvelRussia.dll beside the program
    std::string sqliteFile; // --sqlite
    std::string odbcString; // --odbc
    // --wait: how long the SQLite driver waits for a lock another program
    // holds on the file.
    int waitSeconds = odbc::kDefaultLockWaitSeconds;
    std::string table = "Log";
    std::string captionPrefix;
    std::string script;   // empty or "-": standard input
    bool help = false;    // --help, -h or /?
    bool version = false; // --version
};

// The arguments after the program name. Throws ScriptError on an unknown
// option, a missing value, both --sqlite and --odbc, two script files, or a
// table name or caption prefix too long for a record, a --wait that is not
// whole seconds from 0 to a day or is given without --sqlite.
Options ParseOptions(const std::vector<std::string>& args);

// Cuts a byte stream into script lines as it arrives: LF ends a line and a CR
// right before it is dropped (or at the end of a last line without LF), so
// files with either line ending read the same.
// A UTF-8 byte order mark at the start (Notepad writes one) is dropped.
class LineSplitter {
public:
    // The longest line taken: far more than any command needs (a contact's
    // seven fields of 255 bytes, each written \xHH, take 7 KiB).
    static constexpr std::size_t kMaxLineBytes = 1024 * 1024;

    // Appends the bytes and moves every line they complete to the end of
    // lines. Throws ScriptError, after the lines before it, for UTF-16 text
    // (a byte order mark first: Notepad's "Unicode") and for a line longer
    // than kMaxLineBytes; the splitter takes nothing more then.
    void Feed(std::string_view bytes, std::vector<std::string>& lines);
    // The unterminated last line, if the input ended without LF.
    std::optional<std::string> Finish();

private:
    // At the start of the input: drops a UTF-8 byte order mark, refuses
    // UTF-16 once enough bytes are there to tell (or the input ends: final).
    void CheckStart(bool final);
    [[noreturn]] void FailTooLong();

    std::string m_pending;
    std::size_t m_line = 1; // the number of the line in m_pending
    bool m_startChecked = false;
    bool m_failed = false;
};

// The raw fields of a line, split at every TAB (before any escape is decoded).
std::vector<std::string_view> SplitFields(std::string_view line);

// Decodes \t (TAB), \\ (backslash) and \xHH (any byte, either case of hex
// digit). Throws ScriptError for any other escape, a \x without two hex digits
// or a lone backslash at the end.
std::string DecodeField(std::string_view field);

// The line from its first byte that is neither a blank nor a TAB.
std::string_view WithoutIndentation(std::string_view line);

// Blank lines (nothing but spaces and TABs) and comment lines ('#' first
// after any blanks and TABs).
bool IsSkippedLine(std::string_view line);

// A contact as a script line gives it, in the script's field order.
struct Contact {
    std::string CallSign;
    std::string DigiBand;
    std::string QSOMode;
    std::string QSOReportRecived;
    std::string DXCCPrefix;
    std::string MainPrefix;
    std::string Continent;
};

// One contact field: its place in the script, its log column (the name is the
// column's), its member and its slot in the host record.
struct ContactField {
    std::string_view name;
    std::string Contact::*value;
    ShortString TQSOData::*slot;
};

// In script order, which is also the column order of the INSERT.
extern const std::array<ContactField, 7> kContactFields;

inline constexpr int kBandButtons = 9;

struct Command;
struct VerbSyntax;
class ScriptSyntax;

// What a verb's reader is told besides the fields.
struct VerbContext {
    std::string_view name;      // the verb, for the messages
    const ScriptSyntax& syntax; // every verb of the program: for a script line a command carries
    int depth;                  // how many lines this one is carried in (0: a line of the script)
};

// Reads the fields after the verb, decoded, into the command; returns how
// many it took, and the fields past those must be empty (a trailing TAB is
// allowed). Throws ScriptError naming what is wrong.
using FieldReader = std::size_t (*)(const VerbContext& verb, std::vector<std::string>& fields,
                                    Command& command);

// How a verb takes the rest of its line.
enum class VerbInput {
    Fields, // TAB-separated fields, each decoded
    Line,   // the rest of the line after the verb's TAB, as it stands (escapes
            // undecoded): its one field, a script line of its own
};

// A script verb as the script gives it, one entry of a verb list
// (verb_list.h). The commands of a program pair each verb of its tables with
// what it does (commands_win.cpp), by the same list.
struct VerbSyntax {
    std::string_view name;
    FieldReader read;
    VerbInput input = VerbInput::Fields;
    std::string_view usage; // its lines in --help's list of commands
};

// A command as a script line gives it: the verb, and what its reader took
// from the fields after it.
struct Command {
    const VerbSyntax* verb = nullptr;
    Contact contact;       // run, score, add, grab, log
    std::string statement; // sql
    int band = 0;          // band: 1-9
    bool noWait = false;   // recalc: no message handled before the next command
    // What a verb of another program's table reads, of that program's own type.
    std::any more;
};

// A table of verbs, with what --help says after the list of commands.
struct VerbTable {
    std::span<const VerbSyntax> verbs;
    std::string_view notes; // may be empty

    bool Holds(const VerbSyntax* verb) const;
};

// The readers of morvel-host's verbs; a verb of another table may use them too.
// Nothing: no fields at all.
std::size_t ReadNothing(const VerbContext& verb, std::vector<std::string>& fields,
                        Command& command);
// A contact: up to its seven fields, each at most 255 bytes (a record's room).
std::size_t ReadContact(const VerbContext& verb, std::vector<std::string>& fields,
                        Command& command);
// An SQL statement, neither empty nor holding a NUL byte.
std::size_t ReadStatement(const VerbContext& verb, std::vector<std::string>& fields,
                          Command& command);
// One digit 1-9.
std::size_t ReadBand(const VerbContext& verb, std::vector<std::string>& fields, Command& command);
// Nothing or "nowait".
std::size_t ReadNoWait(const VerbContext& verb, std::vector<std::string>& fields, Command& command);

// morvel-host's verbs, in the order its --help lists them; what each does is
// in commands_win.cpp.
inline constexpr auto kHostVerbs = std::to_array<VerbSyntax>({
#define MORVEL_VERB(name, command, reader, input, usage) {name, &reader, VerbInput::input, usage},
#include "tools/morvel-host/verb_list.h"
#undef MORVEL_VERB
});

extern const VerbTable kHostVerbTable;

// The verbs of a program's tables: reads its script lines and writes its
// --help. The tables outlive it.
class ScriptSyntax {
public:
    explicit ScriptSyntax(std::vector<const VerbTable*> tables);

    // Reads one script line: nullopt for a skipped line, else the command
    // with its fields decoded and read by its verb. Throws ScriptError for an
    // unknown command, a bad escape, fields the verb does not take (empty
    // fields past the last one it takes are allowed, a trailing TAB; anything
    // else there is an error, not silently dropped) or what its reader
    // refuses. depth: how many lines this one is carried in.
    std::optional<Command> ParseLine(std::string_view line, int depth = 0) const;

    // The text of --help for the program of that name: the options and the
    // script's form, each table's commands, then the notes.
    std::string Usage(std::string_view program) const;

private:
    const VerbSyntax* Find(std::string_view name) const;

    std::vector<const VerbTable*> m_tables;
};

// A line to run, and the number of the script line it was written on; or,
// when error is not empty, that line refused with the message.
struct ScriptLine {
    std::string text;
    std::size_t number = 0;
    std::string error;
};

// What a refused line prints: error, the line's number and the message, made
// one line (the host's output for every bad line).
std::string ErrorLine(std::size_t number, std::string_view what);

// The script's repeated blocks:
//
//   repeat<TAB>COUNT[<TAB>FIRST]
//   ...lines...
//   end
//
// runs the lines between repeat and end COUNT times (1 to kMaxCount), each
// round all of them in order. In the block's lines {i} stands for the round:
// FIRST (0 when not given; at most kMaxFirst) in the first, one more in each
// round after it; {i} is put in before the fields are split and decoded, so a
// literal {i} in a block is written {i}. Every round's lines keep the
// numbers they have in the script, in their error lines too. Blank and
// comment lines in a block are dropped. Blocks do not nest. repeat and end,
// indented or not, stand on script lines of their own: ParseLine refuses
// them (in a queued line, for one).
//
// A bad repeat line (a missing count, a count that is not a whole number from
// 1 to kMaxCount, a bad FIRST, more fields), a repeat inside a block and a
// block of more than kMaxBlockLines lines or kMaxBlockBytes bytes are refused
// with their line's number, and the block they are in is skipped whole, up to
// its end; so is a block whose end has fields. An end without a repeat is
// refused alone; a block still open when the script ends is refused under
// its repeat line's number.
class RepeatBlocks {
public:
    static constexpr std::uint64_t kMaxCount = 100'000;
    static constexpr std::uint64_t kMaxFirst = 1'000'000'000;
    static constexpr std::size_t kMaxBlockLines = 10'000;
    static constexpr std::size_t kMaxBlockBytes = 16 * LineSplitter::kMaxLineBytes;

    // Takes the script's line number `number`, the next one after those taken
    // before. Call it only once Next has given back every line: a block's
    // rounds come first (std::logic_error otherwise).
    void Take(std::string line, std::size_t number);
    // At the end of the script: refuses a block that has no end.
    void Finish();
    // The next line to run or to refuse, in order; false when there is none
    // until more lines are taken.
    bool Next(ScriptLine& line);

private:
    struct Block {
        std::size_t number = 0; // of its repeat line
        std::uint64_t count = 0;
        std::uint64_t first = 0;
        std::vector<ScriptLine> lines;
        std::size_t bytes = 0;
        bool refused = false;
        int nested = 0; // in a refused block: repeats met whose end is to come
    };

    void Refuse(std::size_t number, std::string what);
    void TakeIntoBlock(std::string line, std::size_t number);

    std::optional<Block> m_open; // from its repeat line until its end
    // The block whose rounds are being given back, if any, and where.
    std::optional<Block> m_running;
    std::uint64_t m_round = 0;
    std::size_t m_at = 0;
    std::deque<ScriptLine> m_ready; // lines outside blocks and refusals, in order
};

// For the readers.
std::string Quoted(std::string_view text);
// Throws ScriptError, naming what, when value is longer than a record holds.
void CheckRecordText(std::string_view what, const std::string& value);
// Field i, or empty when the line ends before it.
std::string Field(const std::vector<std::string>& fields, std::size_t i);
// A verb's one optional word in its first field: true when given, false for
// nothing; anything else is an error.
bool OptionalWord(const std::vector<std::string>& fields, std::string_view verb,
                  std::string_view word);

// What the host puts in every record besides the contact.
struct RecordSettings {
    std::uint32_t connection = 0; // the SQLHDBC, 0 without a database
    std::string table;
    std::string captionPrefix;
};

// A fresh record: all zero, then the connection, the table name, the caption
// prefix and the contact's fields.
void FillRecord(TQSOData& record, const RecordSettings& settings, const Contact& contact);

// The contact as an SQL string literal: quoted, ' doubled. Throws ScriptError
// for a NUL byte, which no driver takes inside a literal.
std::string SqlLiteral(std::string_view value);

// INSERT INTO <table> (<the seven columns>) VALUES (<the seven literals>); the
// table name goes in as it stands, as the plug-in's own query uses it.
std::string InsertStatement(std::string_view table, const Contact& contact);

// Bytes outside 0x21-0x7E, and '\', as \xHH with upper-case hex digits: a code
// from _GrabNumber printed so that every byte can be seen.
std::string HexEscape(std::string_view bytes);

// The statistics text's lines, split at CR LF; empty text has none. A line is
// printed as it is, except that a CR or LF standing alone (which would break
// the line count) is written as \r or \n.
std::vector<std::string> StatisticLines(std::string_view text);

// "info", the contest name, InfoWord1, the plug-in tag and InfoWord2,
// TAB-separated; the strings through OneLine (contract/text.h), the words as
// signed decimals.
std::string InfoLine(const TPluginInfo& info);

} // namespace morvel::host
