#include "scoring/report.h"

#include "contract/text.h"

#include <charconv>
#include <cstdint>
#include <iterator>

namespace morvel {

namespace {

constexpr std::size_t kWidth = 6;
constexpr char kTab = '\t';

// 32-bit signed arithmetic that wraps as the host's integers do, without
// undefined behaviour.
std::int32_t Wrap(std::uint32_t u) {
    return static_cast<std::int32_t>(u);
}
std::int32_t Add32(std::int32_t a, std::int32_t b) {
    return Wrap(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
std::int32_t Mul32(std::int32_t a, std::int32_t b) {
    return Wrap(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

// Appends the text right-aligned in a field of n characters (never cut).
void AppendPadded(std::string& out, std::string_view s, std::size_t n) {
    if (s.size() < n) {
        out.append(n - s.size(), ' ');
    }
    out += s;
}

// Appends the number as IntToStr writes it, right-aligned in n characters.
void AppendNumber(std::string& out, std::int32_t value, std::size_t n = 0) {
    char digits[16];
    const auto end = std::to_chars(std::begin(digits), std::end(digits), value).ptr;
    AppendPadded(out, std::string_view(digits, static_cast<std::size_t>(end - digits)), n);
}

} // namespace

std::string PadLeft(std::string_view s, int n, char pad) {
    std::string out;
    if (n > 0 && s.size() < static_cast<std::size_t>(n)) {
        out.assign(static_cast<std::size_t>(n) - s.size(), pad);
    }
    out += s;
    return out;
}

std::string ShowStatistic(const std::vector<TStatistic>& statList) {
    // Built in one buffer: the logger rewrites the table after every contact.
    std::string text;
    text.reserve(96 + 48 * statList.size());
    // The table's first line is "  Band\t...", shown without its leading
    // blanks; the text ends with the score's last digit.
    text += "Band\t  QSOs\tPoints\t   OBL\t  DXCC\t\r\n";
    std::int32_t tq = 0;
    std::int32_t tp = 0;
    std::int32_t to = 0;
    std::int32_t td = 0;
    for (const TStatistic& s : statList) {
        AppendPadded(text, s.Band, 4);
        for (std::int32_t v : {s.QSOs, s.Points, s.OBL, s.DXCC}) {
            text += kTab;
            AppendNumber(text, v, kWidth);
        }
        text += kTab;
        text += "\r\n";
        tq = Add32(tq, s.QSOs);
        tp = Add32(tp, s.Points);
        to = Add32(to, s.OBL);
        td = Add32(td, s.DXCC);
    }
    text += "Total";
    for (std::int32_t v : {tq, tp, to, td}) {
        text += kTab;
        AppendNumber(text, v, kWidth);
    }
    text += "\r\n Score: ";
    AppendNumber(text, tp);
    text += "*(";
    AppendNumber(text, to);
    text += '+';
    AppendNumber(text, td);
    text += ")=";
    AppendNumber(text, Mul32(Add32(to, td), tp));
    return text;
}

} // namespace morvel
