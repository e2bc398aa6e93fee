#include "scoring/report.h"

#include "plugin/text.h"

#include <cstdint>

namespace morvel {

namespace {

constexpr int kWidth = 6;
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

std::string Column(std::int32_t value) {
    return PadLeft(IntToStr(value), kWidth);
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
    std::string text = "  Band\t  QSOs\tPoints\t   OBL\t  DXCC\t\r\n";
    std::int32_t tq = 0;
    std::int32_t tp = 0;
    std::int32_t to = 0;
    std::int32_t td = 0;
    for (const TStatistic& s : statList) {
        text += PadLeft(s.Band, 4);
        for (std::int32_t v : {s.QSOs, s.Points, s.OBL, s.DXCC}) {
            text += kTab;
            text += Column(v);
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
        text += Column(v);
    }
    text += "\r\n";
    text += " Score: " + IntToStr(tp) + "*(" + IntToStr(to) + "+" + IntToStr(td) +
            ")=" + IntToStr(Mul32(Add32(to, td), tp)) + "\r\n";
    return std::string(Trim(text));
}

} // namespace morvel
