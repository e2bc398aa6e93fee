// Where morvel-loggen puts a generated log: an SQLite file, or any ODBC data
// source. The tables have the same columns either way.
#pragma once

#include "tools/loggen/contacts.h"

#include <string>
#include <vector>

namespace morvel::loggen {

struct TableOptions {
    std::string table = "Log";
    // Gives CallSign SQLite's case-insensitive collation (SQLite only).
    bool nocase = false;
};

// Writes the contacts into a table of the SQLite file, made if missing,
// replacing the table if it exists. Throws std::exception with the reason.
void WriteSqlite(const std::string& file, const TableOptions& options,
                 const std::vector<Contact>& log);

// The same through an ODBC connection string, for any engine that knows
// CREATE TABLE with VARCHAR columns and INSERT with several rows. The table is
// created under the name as given, unquoted, so that the server folds it as
// it folds the plug-in's own unquoted query; the columns take the database's
// default collation. Throws std::exception with the driver's message.
void WriteOdbc(const std::string& connection, const TableOptions& options,
               const std::vector<Contact>& log);

// A name the tables may have: a letter or '_', then letters, digits and '_',
// at most 64 characters (what every engine takes unquoted).
bool IsPlainName(const std::string& name);

} // namespace morvel::loggen
