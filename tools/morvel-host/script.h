// The portable half of morvel-host, the program that plays the host of the
// plug-in: its options, the command script (lines, fields, escapes, commands),
// the records it builds, the INSERT it runs for "log" and the text it prints.
// Nothing here touches Win32; the *_win.cpp files do the calls and the windows.
#pragma once

#include "contract/records.h"

#include <array>
#include <cstdint>
#include <optional>
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
    std::string table = "Log";
    std::string captionPrefix;
    std::string script; // empty or "-": standard input
    bool help = false;
};

// The arguments after the program name. Throws ScriptError on an unknown
// option, a missing value, both --sqlite and --odbc, two script files, or a
// table name or caption prefix too long for a record.
Options ParseOptions(const std::vector<std::string>& args);

extern const char* const kUsage;

// Cuts a byte stream into script lines as it arrives: LF ends a line and a CR
// right before it is dropped, so files with either line ending read the same.
class LineSplitter {
public:
    // Appends the bytes and moves every line they complete to the end of lines.
    void Feed(std::string_view bytes, std::vector<std::string>& lines);
    // The unterminated last line, if the input ended without LF.
    std::optional<std::string> Finish();

private:
    std::string m_pending;
};

// The raw fields of a line, split at every TAB (before any escape is decoded).
std::vector<std::string_view> SplitFields(std::string_view line);

// Decodes \t (TAB), \\ (backslash) and \xHH (any byte, either case of hex
// digit). Throws ScriptError for any other escape, a \x without two hex digits
// or a lone backslash at the end.
std::string DecodeField(std::string_view field);

// Blank lines (nothing but spaces and TABs) and comment lines ('#' first).
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

// What "resources" does with its measurement.
enum class ResourcesMode {
    Show,  // prints it
    Mark,  // keeps it for a later check
    Check, // compares it with the one kept
};

enum class Verb {
    Info,
    Run,
    Score,
    Add,
    Grab,
    Log,
    Stats,
    Recalc,
    Release,
    Sql,
    Caption,
    Close,
    CloseWindow,
    MultClose,
    Sleep,
    Quit,
    Mult,
    Band,
    Oblasts,
    BandNow,
    Post,
    Hold,
    Unhold,
    Screenshot,
    Stress,
    AddMany,
    Resources,
    Unload,
    Load,
    Loaded,
    Windows,
    State,
    Reconnect,
    Move,
    Exit,
    Hover,
    Repaint,
    Classes,
    Library,
    Race,
};

std::string_view VerbName(Verb verb);

struct Command {
    Verb verb = Verb::Info;
    Contact contact;                // run, score, add, grab, log
    std::string statement;          // sql
    std::uint32_t milliseconds = 0; // sleep, stress
    int band = 0;                   // band: 1-9
    std::string line;               // post: the queued script line, as written
    std::string path;               // hold, screenshot, library
    bool holdForWriting = false;    // hold: for writing, others may read and write
    std::uint64_t seed = 0;         // stress, addmany
    std::uint32_t count = 0;        // addmany
    ResourcesMode resources = ResourcesMode::Show;
    std::uint64_t growthBytes = 0;            // resources check: private bytes may grow by less
    std::optional<std::string> captionPrefix; // load: for the records from now on
    bool otherThread = false;                 // unload, library: on another thread
    bool noWait = false;                      // recalc: no message handled before the next command
    int x = 0;                                // move
    int y = 0;
};

inline constexpr std::uint32_t kMaxSleepMilliseconds = 3'600'000;
inline constexpr std::uint32_t kMaxStressMilliseconds = 3'600'000;
inline constexpr std::uint32_t kMaxAddMany = 1'000'000;
inline constexpr std::uint32_t kMaxRaceMilliseconds = 10'000;
inline constexpr int kBandButtons = 9;
// How deep posts may queue posts ("post\tpost\t...").
inline constexpr int kMaxPostNesting = 32;

// Reads one script line: nullopt for a skipped line, else the command with its
// fields decoded and checked. Throws ScriptError for an unknown command, a bad
// escape, fields a command does not take, a contact field longer than a record
// holds (255 bytes), a missing or NUL-carrying sql statement, or a bad sleep
// time. Empty fields past the last one a command takes are allowed (a
// trailing TAB); anything else there is an error, not silently dropped.
//
// stress takes a seed (a whole number below 2^64) and a time in
// milliseconds; addmany a count of contacts (at most kMaxAddMany) and a seed;
// resources nothing, "mark", or "check" and the growth of private bytes
// allowed, in bytes.
//
// unload takes nothing or "thread"; library a DLL name and optionally
// "thread"; race a delay in milliseconds (at most kMaxRaceMilliseconds); recalc nothing or
// "nowait"; load takes an optional caption prefix (at most 255 bytes) for the records from then on;
// move takes x and y, whole numbers of pixels up to 100000.
//
// band takes one digit 1-9. hold and screenshot take a path, neither empty
// nor holding a NUL byte; hold then nothing or "write". post takes the rest of the line after its
// TAB, as it stands (a script line of its own, escapes undecoded): it is checked now, so that a
// line that could never run is refused at once rather than failing later; a blank or comment line
// is refused too, as it would do nothing.
std::optional<Command> ParseLine(std::string_view line);

// A path from the script: an absolute one ("C:\...", "\\server\...", or one
// starting with a slash or backslash) as it stands, any other relative to
// directory, which ends with a separator (or is empty).
std::string ResolvePath(std::string_view directory, std::string_view path);

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

// Text kept on one output line and in one field: TAB as \t, CR as \r, LF as
// \n; every other byte as it is (so a backslash in the text is not doubled).
std::string OneLine(std::string_view text);

// The statistics text's lines, split at CR LF; empty text has none. A line is
// printed as it is, except that a CR or LF standing alone (which would break
// the line count) is written as \r or \n.
std::vector<std::string> StatisticLines(std::string_view text);

// Every line of the text with mark put before it: the output of a queued
// line, "posted\t" before each. A last line without LF is marked too.
std::string MarkLines(std::string_view text, std::string_view mark);

// "info", the contest name, InfoWord1, the plug-in tag and InfoWord2,
// TAB-separated; the strings through OneLine, the words as signed decimals.
std::string InfoLine(const TPluginInfo& info);

} // namespace morvel::host
