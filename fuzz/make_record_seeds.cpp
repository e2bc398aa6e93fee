// Writes the seed inputs of fuzz_record: short sequences of realistic host
// records, 5916 bytes each, the last one cut after its last non-zero byte
// (the fuzz target pads it with zeros again). The first seeds of
// fuzz/corpus/fuzz_record/ were made with
//   build/fuzz/fuzz/make_record_seeds fuzz/corpus/fuzz_record
// and the corpus now holds them merged (libFuzzer's -merge=1) with what long
// runs found, kept where an input adds coverage.
#include "contract/records.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace morvel;

struct Contact {
    std::string_view call, band, mode, exchange, dxcc, mainPrefix, continent;
};

std::string Records(std::initializer_list<Contact> contacts) {
    std::string bytes;
    for (const Contact& c : contacts) {
        TQSOData rec;
        std::memset(&rec, 0, sizeof rec);
        rec.TableName.Assign("Log");
        rec.CallSign.Assign(c.call);
        rec.DigiBand.Assign(c.band);
        rec.QSOMode.Assign(c.mode);
        rec.QSOReportRecived.Assign(c.exchange);
        rec.DXCCPrefix.Assign(c.dxcc);
        rec.MainPrefix.Assign(c.mainPrefix);
        rec.Continent.Assign(c.continent);
        bytes.append(reinterpret_cast<const char*>(&rec), sizeof rec);
    }
    bytes.erase(bytes.find_last_not_of('\0') + 1);
    return bytes;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_record_seeds DIRECTORY\n");
        return 2;
    }
    const std::vector<std::pair<std::string, std::string>> seeds = {
        {"one-contact", Records({{"UA3AAA", "14", "CW", "599 MA", "UA", "UA3A", "EU"}})},
        {"dupe-and-case", Records({{"UA3AAA", "14", "CW", "599 MA", "UA", "UA3A", "EU"},
                                   {"UA3AAA", "14", "CW", "599 MA", "UA", "UA3A", "EU"},
                                   {"UA3BBB", "14", "CW", "599 ma", "ua", "UA3B", "EU"},
                                   {"ua3aaa", "14", "CW", "599 MA", "UA", "UA3A", "EU"}})},
        {"bands-and-modes", Records({{"DL1ABC", "7", "CW", "599 001", "DL", "DL1", "EU"},
                                     {"DL1ABC", "7", "SSB", "59 002", "DL", "DL1", "EU"},
                                     {"RA9AA", "21", "CW", "599 CB", "UA9", "UA9A", "AS"},
                                     {"UA1AAA", "3.5", "CW", "599 SP", "UA1", "UA1A", "EU"},
                                     {"UA1AAA", "1.8", "CW", "599 SP", "UA1", "UA1A", "EU"},
                                     {"UA2FA", "28", "SSB", "59 KA", "UA2", "UA2F", "EU"}})},
        {"empty-fields", Records({{"A1", "14", "CW", "", "", "", ""},
                                  {"A2", "14", "CW", "", "", "", ""},
                                  {"A3", "14 ", "CW", "599 MA \t", "", "", ""}})},
        {"odd-texts", Records({{"R|1", "14|MA", "CW", "599 XY", "|", "", ""},
                               {"R1", "14", "CW", "599 MA|XY", "MA|", "", ""},
                               {"R\xc0\xc1", "14", "CW", "599 \xc0\xc1", "\xc0", "", ""}})},
    };
    for (const auto& [name, bytes] : seeds) {
        std::ofstream out(std::string(argv[1]) + "/" + name, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            std::fprintf(stderr, "cannot write %s\n", name.c_str());
            return 1;
        }
    }
    return 0;
}
