#include "tools/morvel-loggen/writers.h"

#include "tools/odbc/odbc_connection.h"

#include <stdexcept>

namespace morvel::loggen {

namespace {

// Rows per INSERT: few round trips to a server, statements of tens of KiB.
constexpr std::size_t kRowsPerInsert = 500;

// A string literal the same in every engine: ' doubled. A backslash means an
// escape to MariaDB and nothing to the others, so it is refused rather than
// written differently; the generator never makes one.
std::string Literal(const std::string& value) {
    std::string out = "'";
    for (char c : value) {
        if (c == '\\' || c == '\0') {
            throw std::runtime_error("a value holding a backslash or NUL: " + value);
        }
        out += c;
        if (c == '\'') {
            out += '\'';
        }
    }
    return out + "'";
}

} // namespace

bool IsPlainName(const std::string& name) {
    if (name.empty() || name.size() > 64) {
        return false;
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
        if (!letter && !(i > 0 && c >= '0' && c <= '9')) {
            return false;
        }
    }
    return true;
}

void WriteOdbc(const std::string& connection, const TableOptions& options,
               const std::vector<Contact>& log) {
    if (!IsPlainName(options.table)) {
        throw std::runtime_error("--table " + options.table +
                                 ": a database table name is letters, digits and '_'");
    }
    odbc::Connection db(connection);
    const std::string& table = options.table;
    db.Execute("DROP TABLE IF EXISTS " + table);
    // ID numbers the generated contacts; it is neither a key nor required, as
    // engines differ in how they number rows a logger adds without one.
    db.Execute("CREATE TABLE " + table +
               " (ID INTEGER, QSODateTime VARCHAR(32), CallSign VARCHAR(32)" +
               (options.nocase ? " COLLATE NOCASE" : "") +
               ", Frequency VARCHAR(16), DigiBand VARCHAR(8), QSOMode VARCHAR(8),"
               " RSTSent VARCHAR(8), RSTRecived VARCHAR(8), QSOReportRecived VARCHAR(64),"
               " DXCCPrefix VARCHAR(16), MainPrefix VARCHAR(16), Continent VARCHAR(4))");
    const std::string head = "INSERT INTO " + table +
                             " (ID, QSODateTime, CallSign, Frequency, DigiBand, QSOMode, RSTSent,"
                             " RSTRecived, QSOReportRecived, DXCCPrefix, MainPrefix, Continent)"
                             " VALUES ";
    std::string insert;
    for (std::size_t i = 0; i < log.size(); ++i) {
        const Contact& c = log[i];
        insert += insert.empty() ? head : ",";
        insert += "(" + std::to_string(i + 1);
        for (const std::string* value :
             {&c.QSODateTime, &c.CallSign, &c.Frequency, &c.DigiBand, &c.QSOMode, &c.RSTSent,
              &c.RSTRecived, &c.QSOReportRecived, &c.DXCCPrefix, &c.MainPrefix, &c.Continent}) {
            insert += "," + Literal(*value);
        }
        insert += ")";
        if ((i + 1) % kRowsPerInsert == 0 || i + 1 == log.size()) {
            db.Execute(insert);
            insert.clear();
        }
    }
}

} // namespace morvel::loggen
