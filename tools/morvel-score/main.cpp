// morvel-score: rebuilds a contest log's score exactly as the plug-in's
// recalculation does and prints the statistics text; with --check, the rows
// an adjudicator would question after it.
#include "contract/contract.h"
#include "contract/text.h"
#include "db/odbc_query.h"
#include "oblast/oblast.h"
#include "scoring/report.h"
#include "session/recalc.h"
#include "tools/morvel-score/check.h"
#include "tools/morvel-score/live_score.h"
#include "tools/morvel-score/post_rounds.h"
#include "tools/morvel-score/score_options.h"
#include "tools/odbc/odbc_connection.h"
#include "tools/platform.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#ifndef MORVEL_VERSION
#error "MORVEL_VERSION: the project's version, set by the build"
#endif

namespace {

using namespace morvel;

constexpr const char* kShortUsage =
    "Usage: morvel-score (--sqlite FILE [--wait SECONDS] | --odbc TEXT) [--table NAME]\n"
    "                    [--check [--oblast FILE]]\n"
    "Run 'morvel-score --help' for more.\n";

constexpr const char* kHelp =
    "Usage: morvel-score (--sqlite FILE [--wait SECONDS] | --odbc \"CONNECTION STRING\")\n"
    "                    [--table NAME]\n"
    "                    [--check [--oblast FILE]]\n"
    "       morvel-score --help | /? | --version\n"
    "\n"
    "Reads the contest log table (default: Log) with\n"
    "  Select * from NAME order by CallSign\n"
    "counts every contact as the MorvelRussia plug-in does (duplicates, one point a\n"
    "contact, oblast and DXCC multipliers per band) and prints the statistics text the\n"
    "plug-in's window shows, its lines ended by LF, on Windows too (where the\n"
    "window's text and this program's messages on standard error end in CR LF).\n"
    "The log's text in what it prints (a band, a call) keeps to its field and line:\n"
    "a TAB, CR and LF are written as \\t, \\r and \\n, any other control byte as \\xHH\n"
    "and a backslash as \\\\; bytes from 0x80 up (the code page's letters) as they are.\n"
    "\n"
    "  --sqlite FILE   an SQLite log file, through the SQLite3 ODBC driver (installed\n"
    "                  as \"SQLite3 ODBC Driver\" or \"SQLite3\")\n"
    "  --wait SECONDS  how long to wait for the SQLite file while another program\n"
    "                  holds it locked (writing to it), 0 to 86400 (default: 5); then\n"
    "                  the program fails, saying that the log is locked\n"
    "  --odbc TEXT     any ODBC connection string\n"
    "  --table NAME    the log table, inserted into the query as it stands\n"
    "  --check         after the statistics (which stay as they are), a blank line,\n"
    "                  \"Rows to check: N\" with the columns that name the rows, a\n"
    "                  line of field names and a line for each row to question: its\n"
    "                  row in the order read (1 = first), the table's key (ID, QSOID\n"
    "                  or QSO_ID) and time (QSODateTime, or QSODate and QSOTime) when\n"
    "                  it has them, call, band, mode and the reasons, separated by\n"
    "                  TABs. The reasons: no call sign; letters outside ASCII (such\n"
    "                  as Cyrillic look-alikes) in the call or exchange; an oblast\n"
    "                  code that is not in the oblast file; an oblast code from a\n"
    "                  DXCC prefix other than UA1, UA2 and UA9; a UA1, UA2 or UA9\n"
    "                  station whose exchange ends in no oblast code; no DXCC prefix;\n"
    "                  a band that is none of 1.8 3.5 7 10 14 18 21 24 28; a call,\n"
    "                  band or mode that differs from another row's only by case or\n"
    "                  blanks (counted apart from it), with that row; a duplicate (it\n"
    "                  counts nothing) with the row it repeats, and both oblast codes\n"
    "                  when they differ\n"
    "  --oblast FILE   the oblast file for --check (default: Plugins/Russiaobl.dom\n"
    "                  beside this program, as in the release ZIP); without it, the\n"
    "                  codes are not looked up and a line says so\n"
    "  --xml           instead of the statistics, the score as the online scoreboards\n"
    "                  take it: an XML document (UTF-8), the same numbers\n"
    "  --summary       instead of the statistics, the claimed score and categories as\n"
    "                  a log submission's (Cabrillo) header has them, a table of the\n"
    "                  bands with their duplicates, and the score without the rows on\n"
    "                  bands outside the nine, labelled so\n"
    "  --post URL      sends the XML document to the scoreboard's address (http:// or\n"
    "                  https://) every --every minutes, reading the log anew each\n"
    "                  time, until Ctrl+C; a line a round: time, score, the answer\n"
    "  --every MINUTES between two rounds of --post, 1 to 1440 (default: 5)\n"
    "  --once          one round of --post; status 1 when the document was not taken\n"
    "  --timeout SECONDS  how long --post waits for the server, 1 to 600 (default: 30)\n"
    "  --call CALL     your call sign (needed by --xml and --post)\n"
    "  --contest NAME  the contest's name (default: MORVEL-RUSSIA)\n"
    "  --category ops=SINGLE-OP,mode=MIXED,power=HIGH,bands=ALL,transmitter=ONE,\n"
    "             assisted=NON-ASSISTED\n"
    "                  the categories (those shown are the defaults), by the values\n"
    "                  of a Cabrillo 3.0 header\n"
    "  --operators CALL,CALL  the operators' calls\n"
    "  --help, /?      this text\n"
    "  --version       the program's version\n"
    "\n"
    "Exit status 0 on success; 1 on a failure (the log or the oblast file cannot be\n"
    "read, the log stays locked, the output cannot be written), with a message on\n"
    "standard error that holds the plug-in's or the database driver's own text; 2 for\n"
    "bad arguments.\n";

// A bad command line: the problem, shown before the short usage; status 2.
struct UsageError {
    std::string problem;
};

struct Options {
    std::optional<std::string> sqliteFile;
    std::optional<std::string> connection;
    std::optional<std::string> table;
    std::optional<std::string> oblastFile;
    std::optional<std::string> wait;
    int waitSeconds = odbc::kDefaultLockWaitSeconds;
    bool check = false;
    ScoreOutput output; // --xml, --summary, --post and what they take
    bool help = false;
    bool version = false;
};

std::string Quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

// The options in order; --help and --version end the reading.
Options ReadOptions(int argc, char** argv) {
    Options o;
    const std::pair<std::string_view, std::optional<std::string>*> valued[] = {
        {"--sqlite", &o.sqliteFile}, {"--odbc", &o.connection}, {"--table", &o.table},
        {"--oblast", &o.oblastFile}, {"--wait", &o.wait},
    };
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h" || arg == "/?") {
            o.help = true;
            return o;
        }
        if (arg == "--version") {
            o.version = true;
            return o;
        }
        if (arg == "--check") {
            o.check = true;
            continue;
        }
        if (o.output.Flag(arg)) {
            continue;
        }
        std::optional<std::string>* target = o.output.Valued(arg);
        for (const auto& [name, value] : valued) {
            if (arg == name) {
                target = value;
            }
        }
        if (target == nullptr) {
            throw UsageError{
                (arg.size() > 1 && arg[0] == '-' ? "unknown option " : "unexpected argument ") +
                Quoted(arg)};
        }
        // An option's value is never empty and never the next option.
        if (i + 1 >= argc || argv[i + 1][0] == '\0' ||
            std::string_view(argv[i + 1]).rfind("--", 0) == 0) {
            throw UsageError{"missing value after " + Quoted(arg)};
        }
        if (target->has_value()) {
            throw UsageError{Quoted(arg) + " given twice"};
        }
        *target = argv[++i];
    }
    if (o.sqliteFile && o.connection) {
        throw UsageError{"give --sqlite or --odbc, not both"};
    }
    if (!o.sqliteFile && !o.connection) {
        throw UsageError{"give --sqlite FILE or --odbc \"CONNECTION STRING\""};
    }
    if (o.oblastFile && !o.check) {
        throw UsageError{"--oblast is read only with --check"};
    }
    if (o.wait) {
        if (!o.sqliteFile) {
            throw UsageError{"--wait is read only with --sqlite"};
        }
        const std::optional<int> seconds = odbc::ParseLockWaitSeconds(*o.wait);
        if (!seconds) {
            throw UsageError{"--wait takes whole seconds from 0 to " +
                             std::to_string(odbc::kMaxLockWaitSeconds) + ", not " +
                             Quoted(*o.wait)};
        }
        o.waitSeconds = *seconds;
    }
    if (const std::optional<std::string> problem = o.output.Finish(o.check)) {
        throw UsageError{*problem};
    }
    return o;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "morvel-score: %s\n", message.c_str());
    return 1;
}

std::string SystemText(int error) {
    return error != 0 ? std::string(std::strerror(error)) : std::string("unknown error");
}

// Writes the whole text to standard output: 0, or 1 with a message when it
// cannot be written (a full disk, a closed pipe).
int Print(const std::string& text) {
    errno = 0;
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    const int writeError = errno;
    const bool flushed = std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
    if (written && flushed) {
        return 0;
    }
    return Fail("cannot write to standard output: " + SystemText(written ? errno : writeError));
}

// The statistics text as the plug-in's window shows it, but with each band as
// OneLine writes a log's field (a band is the log's text) and LF line ends:
// every line printed is one of the table's.
std::string StatisticsText(const std::vector<TStatistic>& statList) {
    std::vector<TStatistic> printable = statList;
    for (TStatistic& stat : printable) {
        stat.Band = OneLine(stat.Band, Backslash::Doubled);
    }
    const std::string text = ShowStatistic(printable);
    std::string out;
    out.reserve(text.size() + 1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        out += text[i];
    }
    return out + '\n';
}

// A failure that concerns a file, with the file's name.
struct FileFailure {
    std::string message;
};

// The oblast file's codes (DomListCodes); nothing when the file is absent and
// absence is allowed, else FileFailure.
std::optional<std::vector<std::string>> ReadOblastCodes(const std::string& path, bool mayBeAbsent) {
    std::FILE* file = path.empty() ? nullptr : std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        const int error = path.empty() ? ENOENT : errno;
        if (mayBeAbsent && error == ENOENT) {
            return std::nullopt;
        }
        throw FileFailure{path + ": " + SystemText(error)};
    }
    int readError = 0;
    const FileContents contents =
        ReadWhole(0, kMaxDomFileBytes, [&](char* buffer, std::size_t size) {
            const std::size_t got = std::fread(buffer, 1, size, file);
            if (got == 0 && std::ferror(file)) {
                readError = errno;
                return std::optional<std::size_t>();
            }
            return std::optional<std::size_t>(got);
        });
    std::fclose(file);
    switch (contents.outcome) {
    case ReadOutcome::Read:
        break;
    case ReadOutcome::TooLarge:
        throw FileFailure{path + ": larger than " +
                          std::to_string(kMaxDomFileBytes / (1024 * 1024)) + " MB, no oblast file"};
    case ReadOutcome::Failed:
        throw FileFailure{path + ": cannot be read: " + SystemText(readError)};
    }
    return DomListCodes(SplitDomLines(contents.bytes));
}

// The recalculation's window, without a window: the statistics are printed
// from the band statistics (StatisticsText).
class ConsoleWindow final : public RecalcCaller {
public:
    void ProcessMessages() override {}
    void SetRecalcEnabled(bool) override {}
    void SetStatisticText(const std::string&) override {}

    bool enabled = true;
};

// A recalculation that failed: the message for standard error, and whether
// the log was locked by another program (a --post round skips it).
struct RecalcFailure {
    std::string message;
    bool locked = false;
};

// The log's band statistics and the duplicates met by the band text of their
// row, as the plug-in's recalculation counts them; RecalcFailure else.
struct Scored {
    std::vector<TStatistic> statList;
    std::unordered_map<std::string, std::int32_t> duplicates;
};

Scored Recalculate(const Options& o, std::optional<LogCheck>& check) {
    // Messages about the log name the SQLite file; a connection string may
    // hold a password and is never shown.
    const std::string subject = o.sqliteFile ? *o.sqliteFile + ": " : std::string();
    Scored scored;
    try {
        std::string connection;
        if (o.sqliteFile) {
            if (std::FILE* f = std::fopen(o.sqliteFile->c_str(), "rb")) {
                std::fclose(f);
            } else {
                throw RecalcFailure{subject + SystemText(errno)};
            }
            connection = odbc::SqliteConnectionString(*o.sqliteFile, o.waitSeconds);
        } else {
            connection = *o.connection;
        }
        odbc::Connection db(connection);
        odbc::OdbcLogQuery odbcQuery(db.Handle(), db.QueryApi());
        CheckedLogQuery query(odbcQuery, check ? &*check : nullptr);
        auto record = std::make_unique<TQSOData>();
        std::memset(record.get(), 0, sizeof(TQSOData));
        record->TableName.Assign(o.table.value_or("Log"));
        TScoring scoring(PlatformKeyEquality());
        ConsoleWindow window;
        Recalc recalc{scoring, *record, query, window, window.enabled};
        recalc.rowCounted = [&check, &scored](const TQSOData& row, std::int32_t counted) {
            if (counted == kDuplicate) {
                ++scored.duplicates[std::string(row.DigiBand.View())];
            }
            if (check) {
                check->Row(row, counted);
            }
        };
        RecalcStatisticIfEnabled(recalc);
        scored.statList = scoring.StatList();
    } catch (const std::exception& e) {
        if (odbc::IsLockedByAnother(e.what())) {
            // Another program writing to the log: the operator waits or
            // tries again; the driver's text says no more than that.
            const std::string waited =
                o.sqliteFile ? " (still locked after " + std::to_string(o.waitSeconds) +
                                   (o.waitSeconds == 1 ? " second" : " seconds") +
                                   "; --wait SECONDS waits longer)"
                             : std::string();
            throw RecalcFailure{subject + "the log is locked by another program" + waited + ": " +
                                    FailureText(e.what()),
                                true};
        }
        throw RecalcFailure{subject + FailureText(e.what())};
    }
    return scored;
}

int Score(const Options& o) {
    std::optional<LogCheck> check;
    std::string oblastNote;
    if (o.check) {
        const std::string oblastFile = o.oblastFile.value_or(OblastFileBesideProgram());
        std::optional<std::vector<std::string>> codes;
        try {
            codes = ReadOblastCodes(oblastFile, !o.oblastFile);
        } catch (const FileFailure& failure) {
            return Fail(failure.message);
        }
        if (!codes) {
            oblastNote =
                "No oblast file " +
                OneLine(oblastFile.empty() ? std::string("Plugins/Russiaobl.dom") : oblastFile) +
                ": the oblast codes are not looked up in it.\n";
        }
        check.emplace(PlatformKeyEquality(), codes);
    }

    if (o.output.kind == OutputKind::Post) {
        return PostRounds(o.output, [&o]() {
            std::optional<LogCheck> none;
            try {
                return RoundScore{Recalculate(o, none).statList, {}};
            } catch (const RecalcFailure& failure) {
                return RoundScore{{}, failure.message};
            }
        });
    }
    Scored scored;
    try {
        scored = Recalculate(o, check);
    } catch (const RecalcFailure& failure) {
        return Fail(failure.message);
    }
    switch (o.output.kind) {
    case OutputKind::Xml:
        return Print(ScoreXml(o.output.station, scored.statList, UtcTimestamp()));
    case OutputKind::Summary:
        return Print(SubmissionSummary(o.output.station, scored.statList, scored.duplicates));
    default:
        break;
    }
    std::string statistics = StatisticsText(scored.statList);
    if (check) {
        statistics += "\n" + oblastNote + check->Text();
    }
    return Print(statistics);
}

int Run(int argc, char** argv) {
    Options options;
    try {
        options = ReadOptions(argc, argv);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "morvel-score: %s\n%s", e.problem.c_str(), kShortUsage);
        return 2;
    }
    if (options.help) {
        return Print(kHelp);
    }
    options.output.station.soft = "MorvelRussia";
    options.output.station.version = MORVEL_VERSION;
    if (options.version) {
        return Print("morvel-score " MORVEL_VERSION "\n");
    }
    return Score(options);
}

} // namespace

int main(int argc, char** argv) {
    LimitLibrarySearch();
    BinaryStandardOutput();
    return Run(argc, argv);
}
