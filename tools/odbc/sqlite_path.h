// The path of an SQLite file as the SQLite3 ODBC driver wants it, and how
// long the driver waits for it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace morvel::odbc {

// How long the driver waits for a lock that another program holds on the file
// (a write in progress) before it gives up, unless --wait says otherwise.
inline constexpr int kDefaultLockWaitSeconds = 5;
// The longest wait --wait takes: a day.
inline constexpr int kMaxLockWaitSeconds = 86400;

// --wait's value: whole seconds, 0 to kMaxLockWaitSeconds, in decimal digits
// alone; nullopt for anything else.
inline std::optional<int> ParseLockWaitSeconds(std::string_view text) {
    if (text.empty() || text.size() > 6) {
        return std::nullopt;
    }
    int seconds = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        seconds = seconds * 10 + (c - '0');
    }
    return seconds <= kMaxLockWaitSeconds ? std::optional<int>(seconds) : std::nullopt;
}

// Natively the path as it is. Under Wine the driver is the Linux one behind
// Wine's odbc32 and takes only Linux paths, so a Windows path (Z:\tmp\log.db)
// is turned into the Linux path it stands for; on Windows proper, unchanged.
std::string SqlitePathForDriver(const std::string& path);

} // namespace morvel::odbc
