// The log query: what the recalculation needs from the host's log database.
// Portable; the ODBC one is odbc_query.h.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace morvel {

// One read-only SQL text and, while open, a forward cursor.
class LogQuery {
public:
    virtual ~LogQuery() = default;

    // Runs the SQL text and stands on the first row (or at the end when there
    // is none). A failure throws Error with the driver's own message text.
    virtual void Open(const std::string& sql) = 0;
    // Frees the cursor; harmless when nothing is open.
    virtual void Close() noexcept = 0;
    virtual bool Active() const = 0;
    virtual bool Eof() const = 0;

    // The number of the column with this name, compared without regard to
    // case; nothing when the result has no such column.
    virtual std::optional<int> FieldIndex(std::string_view name) const = 0;
    // Reads the given columns of the current row as text, each cut to 255
    // bytes; a NULL reads as empty.
    virtual void ReadRow(const int* columns, std::string* values, std::size_t count) = 0;
    // Moves to the next row.
    virtual void Next() = 0;
};

} // namespace morvel
