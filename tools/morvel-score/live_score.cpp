#include "tools/morvel-score/live_score.h"

#include "contract/text.h"
#include "session/bands.h"

#include <stdexcept>
#include <utility>

namespace morvel {

namespace {

// 32-bit arithmetic that wraps as the statistics text's does.
std::int32_t Add32(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
std::int32_t Mul32(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

constexpr PerBand<std::string_view> kMetres = {
    {"160", "80", "40", "30", "20", "17", "15", "12", "10"}};

// The values each category takes in a Cabrillo 3.0 header.
struct CategoryField {
    std::string_view name;
    std::string Category::*value;
    std::vector<std::string_view> allowed;
};

const std::vector<CategoryField>& CategoryFields() {
    static const std::vector<CategoryField> fields = {
        {"ops", &Category::ops, {"SINGLE-OP", "MULTI-OP", "CHECKLOG"}},
        {"mode", &Category::mode, {"CW", "DIGI", "FM", "RTTY", "SSB", "MIXED"}},
        {"power", &Category::power, {"HIGH", "LOW", "QRP"}},
        {"bands",
         &Category::bands,
         {"ALL", "160M", "80M", "40M", "30M", "20M", "17M", "15M", "12M", "10M"}},
        {"transmitter", &Category::transmitter, {"ONE", "TWO", "LIMITED", "UNLIMITED", "SWL"}},
        {"assisted", &Category::assisted, {"ASSISTED", "NON-ASSISTED"}},
    };
    return fields;
}

std::string Joined(const std::vector<std::string_view>& values) {
    std::string out;
    for (const std::string_view v : values) {
        out += (out.empty() ? "" : ", ") + std::string(v);
    }
    return out;
}

// The length of the valid UTF-8 sequence that starts at text[i] (a character
// XML 1.0 allows), or 0.
std::size_t Utf8Sequence(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char b = byte(i);
    std::size_t length = 0;
    std::uint32_t code = 0;
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
        code = b & 0x1Fu;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        code = b & 0x0Fu;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        code = b & 0x07u;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0u) != 0x80u) {
            return 0;
        }
        code = (code << 6) | (byte(i + k) & 0x3Fu);
    }
    const std::uint32_t least = length == 2 ? 0x80u : length == 3 ? 0x800u : 0x10000u;
    if (code < least || code > 0x10FFFFu || (code >= 0xD800u && code <= 0xDFFFu) ||
        code == 0xFFFEu || code == 0xFFFFu) {
        return 0;
    }
    return length;
}

// One band of the breakdown: its name and the statistics added up.
struct BreakdownRow {
    std::string band;
    TStatistic stat;
};

// The band names of the breakdown: the nine by metre name, in band order,
// then the others in the order they were first worked.
std::vector<BreakdownRow> Breakdown(const std::vector<TStatistic>& statList) {
    std::vector<BreakdownRow> rows;
    const auto add = [&rows](const std::string& band, const TStatistic& s) {
        for (BreakdownRow& row : rows) {
            if (row.band == band) {
                row.stat.QSOs = Add32(row.stat.QSOs, s.QSOs);
                row.stat.Points = Add32(row.stat.Points, s.Points);
                row.stat.OBL = Add32(row.stat.OBL, s.OBL);
                row.stat.DXCC = Add32(row.stat.DXCC, s.DXCC);
                return;
            }
        }
        rows.push_back({band, s});
    };
    for (const std::string_view metre : kMetres) {
        for (const TStatistic& s : statList) {
            if (MetreBand(s.Band) == metre) {
                add(std::string(metre), s);
            }
        }
    }
    // Outside the nine the log's own text (XmlEscaped writes what XML cannot
    // carry), marked so that it never takes the name of a contest band ("20")
    // or of the total.
    for (const TStatistic& s : statList) {
        if (!MetreBand(s.Band)) {
            add(s.Band + " (not a contest band)", s);
        }
    }
    return rows;
}

void AppendElement(std::string& xml, std::string_view indent, std::string_view name,
                   std::string_view text) {
    xml += indent;
    xml += '<';
    xml += name;
    xml += '>';
    xml += XmlEscaped(text);
    xml += "</";
    xml += name;
    xml += ">\n";
}

void AppendBreakdown(std::string& xml, const std::string& band, const TStatistic& s) {
    const std::string where = " band=\"" + XmlEscaped(band) + "\" mode=\"ALL\"";
    xml += "    <qso" + where + ">" + std::to_string(s.QSOs) + "</qso>\n";
    xml += "    <point" + where + ">" + std::to_string(s.Points) + "</point>\n";
    xml += "    <mult" + where + " type=\"obl\">" + std::to_string(s.OBL) + "</mult>\n";
    xml += "    <mult" + where + " type=\"dxcc\">" + std::to_string(s.DXCC) + "</mult>\n";
}

// A table row: the band right-aligned in 4 as the statistics text has it,
// the numbers in 6, TAB-separated.
std::string TableRow(std::string_view band, std::initializer_list<std::int32_t> values) {
    std::string line = band.size() < 4 ? std::string(4 - band.size(), ' ') : std::string();
    line += band;
    for (const std::int32_t v : values) {
        const std::string number = std::to_string(v);
        line += '\t';
        line += number.size() < 6 ? std::string(6 - number.size(), ' ') : std::string();
        line += number;
    }
    return line + "\n";
}

std::string ScoreLine(const ScoreTotals& t) {
    return "Score: " + std::to_string(t.points) + "*(" + std::to_string(t.obl) + "+" +
           std::to_string(t.dxcc) + ")=" + std::to_string(t.score) + "\n";
}

std::int32_t DuplicatesOf(const std::unordered_map<std::string, std::int32_t>& duplicates,
                          const std::string& band) {
    const auto found = duplicates.find(band);
    return found == duplicates.end() ? 0 : found->second;
}

} // namespace

Category ParseCategory(std::string_view text) {
    Category category;
    std::vector<std::string_view> given;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view item = Trim(text.substr(0, comma));
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        const std::size_t equals = item.find('=');
        if (equals == std::string_view::npos) {
            throw std::invalid_argument("--category takes NAME=VALUE items separated by commas, "
                                        "not '" +
                                        OneLine(item) + "'");
        }
        const std::string name = UpperAscii(Trim(item.substr(0, equals)));
        const std::string value = UpperAscii(Trim(item.substr(equals + 1)));
        const CategoryField* field = nullptr;
        for (const CategoryField& f : CategoryFields()) {
            if (UpperAscii(f.name) == name) {
                field = &f;
            }
        }
        if (field == nullptr) {
            throw std::invalid_argument("--category: unknown category '" +
                                        OneLine(Trim(item.substr(0, equals))) +
                                        "' (ops, mode, power, bands, transmitter, assisted)");
        }
        for (const std::string_view g : given) {
            if (g == field->name) {
                throw std::invalid_argument("--category: '" + std::string(field->name) +
                                            "' given twice");
            }
        }
        given.push_back(field->name);
        bool allowed = false;
        for (const std::string_view a : field->allowed) {
            allowed = allowed || a == value;
        }
        if (!allowed) {
            throw std::invalid_argument("--category: " + std::string(field->name) + " is one of " +
                                        Joined(field->allowed) + ", not '" +
                                        OneLine(Trim(item.substr(equals + 1))) + "'");
        }
        category.*(field->value) = value;
    }
    return category;
}

std::optional<std::string_view> MetreBand(std::string_view band) {
    if (const std::optional<Band> contest = Band::FromText(Trim(band))) {
        return kMetres[*contest];
    }
    return std::nullopt;
}

ScoreTotals Totals(const std::vector<TStatistic>& statList) {
    ScoreTotals t;
    for (const TStatistic& s : statList) {
        t.qsos = Add32(t.qsos, s.QSOs);
        t.points = Add32(t.points, s.Points);
        t.obl = Add32(t.obl, s.OBL);
        t.dxcc = Add32(t.dxcc, s.DXCC);
    }
    t.score = Mul32(Add32(t.obl, t.dxcc), t.points);
    return t;
}

std::string XmlEscaped(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            if (const std::size_t length = Utf8Sequence(text, i)) {
                out.append(text.substr(i, length));
                i += length;
                continue;
            }
        }
        ++i;
        if (c < 0x20 || c >= 0x7F) {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
            continue;
        }
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string ScoreXml(const Station& station, const std::vector<TStatistic>& statList,
                     std::string_view timestamp) {
    const ScoreTotals totals = Totals(statList);
    const Category& c = station.category;
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<dynamicresults>\n";
    AppendElement(xml, "  ", "contest", station.contest);
    AppendElement(xml, "  ", "call", station.call);
    xml += "  <class ops=\"" + XmlEscaped(c.ops) + "\" mode=\"" + XmlEscaped(c.mode) +
           "\" power=\"" + XmlEscaped(c.power) + "\" bands=\"" + XmlEscaped(c.bands) +
           "\" transmitter=\"" + XmlEscaped(c.transmitter) + "\" assisted=\"" +
           XmlEscaped(c.assisted) + "\"/>\n";
    for (const std::string& op : station.operators) {
        AppendElement(xml, "  ", "ops", op);
    }
    AppendElement(xml, "  ", "soft", station.soft);
    AppendElement(xml, "  ", "version", station.version);
    AppendElement(xml, "  ", "score", std::to_string(totals.score));
    AppendElement(xml, "  ", "timestamp", timestamp);
    xml += "  <breakdown>\n";
    AppendBreakdown(xml, "total",
                    TStatistic{"", totals.qsos, totals.points, totals.obl, totals.dxcc});
    for (const BreakdownRow& row : Breakdown(statList)) {
        AppendBreakdown(xml, row.band, row.stat);
    }
    xml += "  </breakdown>\n</dynamicresults>\n";
    return xml;
}

std::string SubmissionSummary(const Station& station, const std::vector<TStatistic>& statList,
                              const std::unordered_map<std::string, std::int32_t>& duplicates) {
    const ScoreTotals totals = Totals(statList);
    const Category& c = station.category;
    // A header line is one line whatever the command line held.
    const auto line = [](std::string_view tag, std::string_view value) {
        return std::string(tag) + ": " + OneLine(value, Backslash::Doubled) + "\n";
    };
    std::string text = line("CONTEST", station.contest) + line("CALLSIGN", station.call) +
                       line("CATEGORY-OPERATOR", c.ops) + line("CATEGORY-MODE", c.mode) +
                       line("CATEGORY-POWER", c.power) + line("CATEGORY-BAND", c.bands) +
                       line("CATEGORY-TRANSMITTER", c.transmitter) +
                       line("CATEGORY-ASSISTED", c.assisted);
    if (!station.operators.empty()) {
        std::string ops;
        for (const std::string& op : station.operators) {
            ops += (ops.empty() ? "" : " ") + op;
        }
        text += line("OPERATORS", ops);
    }
    text += line("CLAIMED-SCORE", std::to_string(totals.score));
    text += line("CREATED-BY", station.soft + " " + station.version);

    text += "\nBand\t  QSOs\t Dupes\tPoints\t   OBL\t  DXCC\n";
    std::int32_t dupes = 0;
    std::vector<TStatistic> inside;
    std::string outsideBands;
    std::int32_t outsideQsos = 0;
    std::int32_t outsideDupes = 0;
    for (const TStatistic& s : statList) {
        const std::int32_t d = DuplicatesOf(duplicates, s.Band);
        dupes = Add32(dupes, d);
        text += TableRow(OneLine(s.Band, Backslash::Doubled), {s.QSOs, d, s.Points, s.OBL, s.DXCC});
        if (MetreBand(s.Band)) {
            inside.push_back(s);
        } else {
            outsideBands += (outsideBands.empty() ? "" : ", ") +
                            (s.Band.empty() ? std::string("no band")
                                            : "'" + OneLine(s.Band, Backslash::Doubled) + "'");
            outsideQsos = Add32(outsideQsos, s.QSOs);
            outsideDupes = Add32(outsideDupes, d);
        }
    }
    text += "Total" +
            TableRow("", {totals.qsos, dupes, totals.points, totals.obl, totals.dxcc}).substr(4);
    text += ScoreLine(totals);
    if (!outsideBands.empty()) {
        const ScoreTotals kept = Totals(inside);
        text += "\nWithout the " + std::to_string(outsideQsos) +
                (outsideQsos == 1 ? " QSO" : " QSOs") + " on bands outside the nine (" +
                outsideBands + "):\n";
        text += "Total" + TableRow("", {kept.qsos, Add32(dupes, -outsideDupes), kept.points,
                                        kept.obl, kept.dxcc})
                              .substr(4);
        text += ScoreLine(kept);
    }
    return text;
}

} // namespace morvel
