// morvel-loggen: writes a realistic "Morvel Russia" contest log into an SQLite
// file or any ODBC data source, in the shape a logger keeps it, or
// (--host-script) a morvel-host script that asks for each contact's oblast
// suggestion and logs it.
#include "tools/loggen/contacts.h"

#include "tools/morvel-loggen/writers.h"
#include "tools/platform.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage =
    "Usage: morvel-loggen (--out FILE | --odbc \"CONNECTION STRING\") [--contacts N]\n"
    "                     [--seed S] [--table NAME] [--duplicates SHARE]\n"
    "                     [--lower-case SHARE] [--nocase]\n"
    "       morvel-loggen --host-script FILE [--contacts N] [--seed S] [--lower-case SHARE]\n"
    "\n"
    "Writes N contest contacts (default 1000) into the table (default Log) of an SQLite\n"
    "file, or of any ODBC data source (PostgreSQL, MariaDB, ...), replacing the table\n"
    "if it exists: time, call sign, frequency, band, mode, reports, received exchange,\n"
    "DXCC prefix, main prefix and continent. The same seed gives the same log in\n"
    "every database. --duplicates sets the share of repeated contacts (default\n"
    "0.05); --lower-case the share of contacts whose call sign is written in lower\n"
    "case (default 0), which makes calls that differ only in case; --nocase gives\n"
    "the CallSign column SQLite's case-insensitive collation (SQLite only). Through\n"
    "ODBC the table name must be letters, digits and '_', and is not quoted.\n"
    "\n"
    "--host-script writes a morvel-host script instead: for each contact an oblast\n"
    "suggestion (grab) and the contact logged (log), fields separated by TAB.\n";

// The share of contacts, picked by the seed, whose call sign is written in
// lower case: to the plug-in another station than the same call in capitals,
// and next to it in a case-insensitive collation.
std::vector<morvel::loggen::Contact> WithLowerCase(std::vector<morvel::loggen::Contact> log,
                                                   std::uint64_t seed, double share) {
    for (std::size_t i = 0; i < log.size() && share > 0; ++i) {
        // splitmix64 of seed and index: the same choice on every platform.
        std::uint64_t z = seed * 0x9e3779b97f4a7c15ULL + i + 1;
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        z ^= z >> 31;
        if (static_cast<double>(z >> 11) / 9007199254740992.0 < share) {
            for (char& c : log[i].CallSign) {
                if (c >= 'A' && c <= 'Z') {
                    c = static_cast<char>(c - 'A' + 'a');
                }
            }
        }
    }
    return log;
}

void WriteHostScript(const std::string& file, const std::vector<morvel::loggen::Contact>& log) {
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (out == nullptr) {
        throw std::runtime_error(file + ": cannot write");
    }
    for (const auto& c : log) {
        const std::string fields = c.CallSign + '\t' + c.DigiBand + '\t' + c.QSOMode + '\t' +
                                   c.QSOReportRecived + '\t' + c.DXCCPrefix + '\t' + c.MainPrefix +
                                   '\t' + c.Continent;
        std::fprintf(out, "grab\t%s\nlog\t%s\n", fields.c_str(), fields.c_str());
    }
    if (std::fclose(out) != 0) {
        throw std::runtime_error(file + ": cannot write");
    }
}

} // namespace

int main(int argc, char** argv) {
    morvel::LimitLibrarySearch();
    std::string out;
    std::string odbc;
    std::string hostScript;
    morvel::loggen::TableOptions table;
    double lowerCase = 0;
    morvel::loggen::Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--nocase") {
            table.nocase = true;
            continue;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "morvel-loggen: missing value after %s\n\n%s", arg.c_str(),
                         kUsage);
            return 2;
        }
        const std::string value = argv[++i];
        char* end = nullptr;
        if (arg == "--out") {
            out = value;
        } else if (arg == "--odbc") {
            odbc = value;
        } else if (arg == "--host-script") {
            hostScript = value;
        } else if (arg == "--table") {
            table.table = value;
        } else if (arg == "--contacts") {
            options.contacts = std::strtoull(value.c_str(), &end, 10);
        } else if (arg == "--seed") {
            options.seed = std::strtoull(value.c_str(), &end, 10);
        } else if (arg == "--duplicates") {
            options.duplicateShare = std::strtod(value.c_str(), &end);
        } else if (arg == "--lower-case") {
            lowerCase = std::strtod(value.c_str(), &end);
        } else {
            std::fprintf(stderr, "morvel-loggen: unknown option %s\n\n%s", arg.c_str(), kUsage);
            return 2;
        }
        if (end != nullptr && (*end != '\0' || value.empty())) {
            std::fprintf(stderr, "morvel-loggen: not a number: %s\n", value.c_str());
            return 2;
        }
    }
    if (!out.empty() + !odbc.empty() + !hostScript.empty() != 1) {
        std::fprintf(
            stderr,
            "morvel-loggen: give one of --out FILE, --odbc TEXT or --host-script FILE\n\n%s",
            kUsage);
        return 2;
    }
    if (!(lowerCase >= 0 && lowerCase <= 1)) {
        std::fprintf(stderr, "morvel-loggen: --lower-case takes a share from 0 to 1\n");
        return 2;
    }
    try {
        const std::vector<morvel::loggen::Contact> log =
            WithLowerCase(morvel::loggen::Generate(options), options.seed, lowerCase);
        if (!hostScript.empty()) {
            WriteHostScript(hostScript, log);
        } else if (!odbc.empty()) {
            morvel::loggen::WriteOdbc(odbc, table, log);
        } else {
            morvel::loggen::WriteSqlite(out, table, log);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "morvel-loggen: %s\n", e.what());
        return 1;
    }
    return 0;
}
