#include "tools/morvel-loggen/writers.h"

#include <sqlite3.h>

#include <stdexcept>

namespace morvel::loggen {

namespace {

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

} // namespace

void WriteSqlite(const std::string& file, const TableOptions& options,
                 const std::vector<Contact>& log) {
    const std::string& table = options.table;
    const bool nocase = options.nocase;
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
        const std::string* values[] = {&c.QSODateTime, &c.CallSign,         &c.Frequency,
                                       &c.DigiBand,    &c.QSOMode,          &c.RSTSent,
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

} // namespace morvel::loggen
