// morvel-loggen: writes a realistic "Morvel Russia" contest log into an SQLite
// file, in the shape a logger keeps it.
#include "tools/loggen/contacts.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace {

constexpr const char* kUsage =
    "Usage: morvel-loggen --out FILE [--contacts N] [--seed S] [--table NAME]\n"
    "                     [--duplicates SHARE] [--nocase]\n"
    "       morvel-loggen --host-script FILE [--contacts N] [--seed S]\n"
    "\n"
    "Writes N contest contacts (default 1000) into the table (default Log) of an SQLite\n"
    "file, replacing the table if it exists: time, call sign, frequency, band, mode,\n"
    "reports, received exchange, DXCC prefix, main prefix and continent. The same seed\n"
    "gives the same log. --duplicates sets the share of repeated contacts (default\n"
    "0.05); --nocase gives the CallSign column a case-insensitive collation.\n"
    "\n"
    "--host-script writes a morvel-host script instead: for each contact an oblast\n"
    "suggestion (grab) and the contact logged (log), fields separated by TAB.\n";

class Db {
public:
    explicit Db(const std::string& file) {
        if (sqlite3_open(file.c_str(), &m_db) != SQLITE_OK) {
            const std::string message = m_db ? sqlite3_errmsg(m_db) : "out of memory";
            sqlite3_close(m_db);
            throw std::runtime_error(file + ": " + message);
        }
    }
    ~Db() { sqlite3_close(m_db); }
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;

    void Exec(const std::string& sql) {
        char* error = nullptr;
        if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string message = error ? error : "unknown error";
            sqlite3_free(error);
            throw std::runtime_error(message);
        }
    }
    sqlite3* get() const { return m_db; }

private:
    sqlite3* m_db = nullptr;
};

std::string Quoted(const std::string& name) {
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    return out + "\"";
}

void Write(const std::string& file, const std::string& table, bool nocase,
           const morvel::loggen::Options& options) {
    const auto log = morvel::loggen::Generate(options);
    Db db(file);
    db.Exec("PRAGMA journal_mode=DELETE");
    db.Exec("BEGIN");
    db.Exec("DROP TABLE IF EXISTS " + Quoted(table));
    db.Exec("CREATE TABLE " + Quoted(table) +
            " (ID INTEGER PRIMARY KEY, QSODateTime TEXT, CallSign TEXT" +
            (nocase ? " COLLATE NOCASE" : "") +
            ", Frequency TEXT, DigiBand TEXT, QSOMode TEXT, RSTSent TEXT, RSTRecived TEXT,"
            " QSOReportRecived TEXT, DXCCPrefix TEXT, MainPrefix TEXT, Continent TEXT)");
    sqlite3_stmt* insert = nullptr;
    const std::string sql = "INSERT INTO " + Quoted(table) +
                            " (QSODateTime, CallSign, Frequency, DigiBand, QSOMode, RSTSent,"
                            " RSTRecived, QSOReportRecived, DXCCPrefix, MainPrefix, Continent)"
                            " VALUES (?,?,?,?,?,?,?,?,?,?,?)";
    if (sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &insert, nullptr) != SQLITE_OK) {
        throw std::runtime_error(sqlite3_errmsg(db.get()));
    }
    for (const auto& c : log) {
        const std::string* values[] = {&c.QSODateTime, &c.CallSign,   &c.Frequency,
                                       &c.DigiBand,    &c.QSOMode,    &c.RSTSent,
                                       &c.RSTRecived,  &c.QSOReportRecived, &c.DXCCPrefix,
                                       &c.MainPrefix,  &c.Continent};
        for (int i = 0; i < 11; ++i) {
            sqlite3_bind_text(insert, i + 1, values[i]->data(), static_cast<int>(values[i]->size()),
                              SQLITE_TRANSIENT);
        }
        if (sqlite3_step(insert) != SQLITE_DONE) {
            const std::string message = sqlite3_errmsg(db.get());
            sqlite3_finalize(insert);
            throw std::runtime_error(message);
        }
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    db.Exec("COMMIT");
}

void WriteHostScript(const std::string& file, const morvel::loggen::Options& options) {
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (out == nullptr) {
        throw std::runtime_error(file + ": cannot write");
    }
    for (const auto& c : morvel::loggen::Generate(options)) {
        const std::string fields = c.CallSign + '\t' + c.DigiBand + '\t' + c.QSOMode + '\t' +
                                   c.QSOReportRecived + '\t' + c.DXCCPrefix + '\t' +
                                   c.MainPrefix + '\t' + c.Continent;
        std::fprintf(out, "grab\t%s\nlog\t%s\n", fields.c_str(), fields.c_str());
    }
    if (std::fclose(out) != 0) {
        throw std::runtime_error(file + ": cannot write");
    }
}

} // namespace

int main(int argc, char** argv) {
    std::string out;
    std::string hostScript;
    std::string table = "Log";
    bool nocase = false;
    morvel::loggen::Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--nocase") {
            nocase = true;
            continue;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "morvel-loggen: missing value after %s\n\n%s", arg.c_str(), kUsage);
            return 2;
        }
        const std::string value = argv[++i];
        char* end = nullptr;
        if (arg == "--out") {
            out = value;
        } else if (arg == "--host-script") {
            hostScript = value;
        } else if (arg == "--table") {
            table = value;
        } else if (arg == "--contacts") {
            options.contacts = std::strtoull(value.c_str(), &end, 10);
        } else if (arg == "--seed") {
            options.seed = std::strtoull(value.c_str(), &end, 10);
        } else if (arg == "--duplicates") {
            options.duplicateShare = std::strtod(value.c_str(), &end);
        } else {
            std::fprintf(stderr, "morvel-loggen: unknown option %s\n\n%s", arg.c_str(), kUsage);
            return 2;
        }
        if (end != nullptr && (*end != '\0' || value.empty())) {
            std::fprintf(stderr, "morvel-loggen: not a number: %s\n", value.c_str());
            return 2;
        }
    }
    if (out.empty() == hostScript.empty()) {
        std::fprintf(stderr, "morvel-loggen: give --out FILE or --host-script FILE\n\n%s", kUsage);
        return 2;
    }
    try {
        if (!hostScript.empty()) {
            WriteHostScript(hostScript, options);
        } else {
            Write(out, table, nocase, options);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "morvel-loggen: %s\n", e.what());
        return 1;
    }
    return 0;
}
