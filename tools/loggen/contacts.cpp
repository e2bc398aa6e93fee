#include "tools/loggen/contacts.h"

#include "session/bands.h"

#include <array>
#include <cstdio>
#include <string_view>
#include <unordered_set>

namespace morvel::loggen {

namespace {

constexpr std::string_view kPrefixLines[] = {
#include "oblast_prefixes.inc"
};

struct BandActivity {
    const char* text;
    int lowKHz;
    int weight;
};
// Contest activity is heaviest on 3.5, 7 and 14 MHz; the WARC bands are the
// quietest.
constexpr std::array<BandActivity, kBandCount> kBands = {{{"1.8", 1810, 4},
                                                          {"3.5", 3500, 14},
                                                          {"7", 7000, 20},
                                                          {"10", 10100, 3},
                                                          {"14", 14000, 22},
                                                          {"18", 18068, 4},
                                                          {"21", 21000, 16},
                                                          {"24", 24890, 3},
                                                          {"28", 28000, 14}}};
static_assert(
    [] {
        for (std::size_t i = 0; i < kBandCount; ++i) {
            if (std::string_view(kBands[i].text) != BandTable[i]) {
                return false;
            }
        }
        return true;
    }(),
    "the generator's bands are the plug-in's nine, in its order");

// splitmix64: small, fast and the same on every platform and compiler.
class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (m_state += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    std::size_t Below(std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(Next() % n); }
    double Unit() { return static_cast<double>(Next() >> 11) / 9007199254740992.0; }
    char Letter() { return static_cast<char>('A' + Below(26)); }

private:
    std::uint64_t m_state;
};

std::vector<std::string> MakeDxccPrefixes() {
    // Real DXCC prefixes first, then more in the same shapes up to 300.
    std::vector<std::string> out = {
        "DL", "F",  "G",  "I",  "SP",  "OK", "OM", "HA", "YO", "LZ",  "UR",  "EU",  "ES", "YL",
        "LY", "OH", "SM", "LA", "OZ",  "PA", "ON", "LX", "HB", "OE",  "S5",  "9A",  "E7", "Z3",
        "YU", "4O", "ZA", "SV", "TA",  "4X", "EA", "CT", "EI", "GM",  "GW",  "GI",  "GD", "GJ",
        "GU", "TF", "OY", "JW", "JX",  "ER", "4L", "EK", "4J", "UN",  "EX",  "EY",  "EZ", "UK",
        "JA", "BY", "HL", "VU", "VK",  "ZL", "K",  "VE", "XE", "PY",  "LU",  "CE",  "ZS", "5B",
        "9H", "HV", "T7", "3A", "C3",  "ZB", "OD", "YK", "A4", "A6",  "A7",  "A9",  "9K", "HZ",
        "EP", "AP", "4S", "9V", "9M2", "HS", "XV", "DU", "YB", "KH6", "KL7", "KP4", "CO", "HI",
        "YV", "HK", "HC", "OA", "CX",  "ZP", "CP", "SU", "CN", "7X",  "3V",  "5A",  "ST", "ET",
    };
    Random random(300);
    std::unordered_set<std::string> seen(out.begin(), out.end());
    while (out.size() < 300) {
        std::string p;
        p += random.Letter();
        p += static_cast<char>('2' + random.Below(8));
        if (random.Below(2) == 0) {
            p += random.Letter();
        }
        if (seen.insert(p).second) {
            out.push_back(p);
        }
    }
    return out;
}

const char* Continent(std::string_view dxcc) {
    static const std::unordered_set<std::string_view> asia = {
        "4L", "EK", "4J", "UN", "EX", "EY", "EZ", "UK", "JA", "BY",  "HL", "VU", "OD", "YK", "A4",
        "A6", "A7", "A9", "9K", "HZ", "EP", "AP", "4S", "9V", "9M2", "HS", "XV", "DU", "4X"};
    static const std::unordered_set<std::string_view> northAmerica = {"K",   "VE", "XE", "KL7",
                                                                      "KP4", "CO", "HI"};
    static const std::unordered_set<std::string_view> southAmerica = {"PY", "LU", "CE", "YV", "HK",
                                                                      "HC", "OA", "CX", "ZP", "CP"};
    static const std::unordered_set<std::string_view> africa = {"ZS", "SU", "CN", "7X",
                                                                "3V", "5A", "ST", "ET"};
    static const std::unordered_set<std::string_view> oceania = {"VK", "ZL", "YB", "KH6"};
    if (asia.count(dxcc) != 0) {
        return "AS";
    }
    if (northAmerica.count(dxcc) != 0) {
        return "NA";
    }
    if (southAmerica.count(dxcc) != 0) {
        return "SA";
    }
    if (africa.count(dxcc) != 0) {
        return "AF";
    }
    if (oceania.count(dxcc) != 0) {
        return "OC";
    }
    return "EU";
}

const BandActivity& BandOf(std::string_view text) {
    for (const BandActivity& b : kBands) {
        if (text == b.text) {
            return b;
        }
    }
    return kBands[0];
}

const BandActivity& PickBand(Random& random) {
    int total = 0;
    for (const BandActivity& b : kBands) {
        total += b.weight;
    }
    int pick = static_cast<int>(random.Below(static_cast<std::size_t>(total)));
    for (const BandActivity& b : kBands) {
        if (pick < b.weight) {
            return b;
        }
        pick -= b.weight;
    }
    return kBands.back();
}

// A Russian station: the call's area digit and first suffix letter give the
// main prefix (UA3A, UA9A, ...) and, through the oblast table, its code.
void MakeRussian(Random& random, Contact& c) {
    const std::string_view line = kPrefixLines[random.Below(std::size(kPrefixLines))];
    const char digit = line[2];
    const char first = line[3];
    static constexpr std::string_view kHeads[] = {"UA", "RA", "RW", "RK", "RN", "UB", "R", "RZ"};
    c.CallSign = std::string(kHeads[random.Below(std::size(kHeads))]);
    c.CallSign += digit;
    c.CallSign += first;
    for (std::size_t i = 1 + random.Below(2); i > 0; --i) {
        c.CallSign += random.Letter();
    }
    c.MainPrefix = std::string(line.substr(0, 4));
    const bool kaliningrad = digit == '2' && (first == 'F' || first == 'K');
    const bool asiatic = digit == '8' || digit == '9' || digit == '0';
    c.DXCCPrefix = kaliningrad ? "UA2" : asiatic ? "UA9" : "UA1";
    c.Continent = asiatic ? "AS" : "EU";
    std::string code(line.substr(5));
    if (random.Below(20) == 0) {
        code[0] = static_cast<char>(code[0] - 'A' + 'a');
        code[1] = static_cast<char>(code[1] - 'A' + 'a');
    }
    const std::string rst = c.QSOMode == "CW" ? "599" : "59";
    c.QSOReportRecived = random.Below(10) == 0 ? rst + code : rst + " " + code;
}

void MakeForeign(Random& random, std::size_t serial, Contact& c) {
    const std::vector<std::string>& prefixes = DxccPrefixes();
    // Near countries are worked far more often than far ones.
    const std::size_t index = random.Below(random.Below(3) == 0 ? prefixes.size() : 60);
    c.DXCCPrefix = prefixes[index];
    c.CallSign = c.DXCCPrefix;
    if (c.CallSign.back() < '0' || c.CallSign.back() > '9') {
        c.CallSign += static_cast<char>('1' + random.Below(9));
    }
    for (std::size_t i = 1 + random.Below(3); i > 0; --i) {
        c.CallSign += random.Letter();
    }
    if (random.Below(50) == 0) {
        c.CallSign += "/P";
    }
    c.MainPrefix = c.DXCCPrefix;
    c.Continent = Continent(c.DXCCPrefix);
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%03u", static_cast<unsigned>(serial % 1000 + 1));
    c.QSOReportRecived = std::string(c.QSOMode == "CW" ? "599 " : "59 ") + buffer;
}

void Stamp(Random& random, std::size_t index, const BandActivity& band, Contact& c) {
    // 24 hours of contest from 12:00 UTC on the first Saturday of the year.
    const std::size_t minutes = 12 * 60 + index * 1440 / 100000 % 1440;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "2027-01-%02u %02u:%02u:%02u",
                  static_cast<unsigned>(2 + minutes / 1440),
                  static_cast<unsigned>(minutes / 60 % 24), static_cast<unsigned>(minutes % 60),
                  static_cast<unsigned>(random.Below(60)));
    c.QSODateTime = buffer;
    const int kHz = band.lowKHz + static_cast<int>(random.Below(c.QSOMode == "CW" ? 60 : 200)) +
                    (c.QSOMode == "CW" ? 0 : 100);
    std::snprintf(buffer, sizeof buffer, "%d.%d", kHz, static_cast<int>(random.Below(10)));
    c.Frequency = buffer;
    c.RSTSent = c.QSOMode == "CW" ? "599" : "59";
    c.RSTRecived = c.RSTSent;
}

} // namespace

const std::vector<std::string>& DxccPrefixes() {
    static const std::vector<std::string> prefixes = MakeDxccPrefixes();
    return prefixes;
}

std::vector<Contact> Generate(const Options& options) {
    Random random(options.seed);
    std::vector<Contact> log;
    log.reserve(options.contacts);
    std::unordered_set<std::string> used;
    while (log.size() < options.contacts) {
        if (!log.empty() && random.Unit() < options.duplicateShare) {
            Contact again = log[random.Below(log.size())];
            Stamp(random, log.size(), BandOf(again.DigiBand), again);
            log.push_back(std::move(again));
            continue;
        }
        Contact c;
        const BandActivity& band = PickBand(random);
        c.DigiBand = band.text;
        c.QSOMode = random.Below(5) < 2 ? "CW" : "SSB";
        if (random.Below(5) < 2) {
            MakeRussian(random, c);
        } else {
            MakeForeign(random, log.size(), c);
        }
        if (!used.insert(c.CallSign + '|' + c.DigiBand + '|' + c.QSOMode).second) {
            continue;
        }
        Stamp(random, log.size(), band, c);
        log.push_back(std::move(c));
    }
    return log;
}

void FillRecord(TQSOData& rec, const Contact& contact) {
    rec.CallSign.Assign(contact.CallSign);
    rec.DigiBand.Assign(contact.DigiBand);
    rec.QSOMode.Assign(contact.QSOMode);
    rec.QSOReportRecived.Assign(contact.QSOReportRecived);
    rec.DXCCPrefix.Assign(contact.DXCCPrefix);
    rec.MainPrefix.Assign(contact.MainPrefix);
    rec.Continent.Assign(contact.Continent);
}

} // namespace morvel::loggen
