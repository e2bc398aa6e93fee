#include "ui/placement.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdio>

namespace morvel::ui {

namespace {

constexpr int kShowNormal = 1;
constexpr int kShowMaximized = 3;

std::string Four(int a, int b, int c, int d) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%d,%d,%d,%d", a, b, c, d);
    return buffer;
}

std::string ScreenSuffix(const Screen& screen) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "(%dx%d)", screen.width, screen.height);
    return buffer;
}

// The text under the name with the screen-size suffix, else the plain name.
std::optional<std::string> Positions(const ValueReader& read, const std::string& name,
                                     const Screen& screen) {
    std::optional<std::string> text = read(name + ScreenSuffix(screen));
    if (!text || text->empty()) {
        text = read(name);
    }
    if (!text || text->empty()) {
        return std::nullopt;
    }
    return text;
}

} // namespace

Values PlacementValues(const Placement& p, const Screen& screen, bool destroying,
                       const std::optional<std::string>& currentBand) {
    const std::string suffix = ScreenSuffix(screen);
    const std::string minMax =
        Four(p.minPosition.x, p.minPosition.y, p.maxPosition.x, p.maxPosition.y);
    const std::string normal = Four(p.normal.left, p.normal.top, p.normal.right, p.normal.bottom);
    Values values = {
        {"FormVersion", "0"},
        {"Flags", std::to_string(p.flags)},
        {"ShowCmd", std::to_string(p.showCmd)},
        {"PixelsPerInch", std::to_string(screen.pixelsPerInch)},
        {"MinMaxPos" + suffix, minMax},
        {"MinMaxPos", minMax},
        {"NormPos" + suffix, normal},
        {"NormPos", normal},
        {"Visible", destroying ? "1" : "0"},
    };
    if (currentBand) {
        values.emplace_back("CurrentBand", *currentBand);
    }
    return values;
}

std::optional<std::int32_t> ParseInt(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    std::size_t start = text[0] == '+' ? 1 : 0;
    if (start == text.size()) {
        return std::nullopt;
    }
    std::int32_t value = 0;
    const char* first = text.data() + start;
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || (start == 1 && *first == '-')) {
        return std::nullopt;
    }
    return value;
}

std::array<int, 4> ParsePositions(std::string_view text, const std::array<int, 4>& defaults) {
    std::array<int, 4> out = defaults;
    std::size_t word = 0;
    std::size_t i = 0;
    const auto isDelimiter = [](char c) { return c == ' ' || c == ','; };
    while (word < out.size()) {
        while (i < text.size() && isDelimiter(text[i])) {
            ++i;
        }
        if (i == text.size()) {
            break;
        }
        const std::size_t start = i;
        while (i < text.size() && !isDelimiter(text[i])) {
            ++i;
        }
        if (const auto value = ParseInt(text.substr(start, i - start))) {
            out[word] = *value;
        }
        ++word;
    }
    return out;
}

int ShowCmdToApply(std::optional<std::int32_t> stored) {
    return stored && *stored == kShowMaximized ? kShowMaximized : kShowNormal;
}

std::optional<Placement> StoredPlacement(const ValueReader& read, const Screen& screen,
                                         const Placement& current, bool withState) {
    const std::optional<std::string> minMax = Positions(read, "MinMaxPos", screen);
    const std::optional<std::string> normal = Positions(read, "NormPos", screen);
    if (!minMax && !normal) {
        return std::nullopt;
    }
    if (const auto ppi = read("PixelsPerInch")) {
        // A text that is no number reads as the current value.
        if (ParseInt(*ppi).value_or(screen.pixelsPerInch) != screen.pixelsPerInch) {
            return std::nullopt;
        }
    }
    Placement p = current;
    if (const auto flags = read("Flags")) {
        p.flags = ParseInt(*flags).value_or(current.flags);
    }
    const auto mm = ParsePositions(minMax.value_or(""), {0, 0, 0, 0});
    p.minPosition = {mm[0], mm[1]};
    p.maxPosition = {mm[2], mm[3]};
    const auto r =
        ParsePositions(normal.value_or(""), {current.normal.left, current.normal.top,
                                             current.normal.right, current.normal.bottom});
    p.normal = {r[0], r[1], r[2], r[3]};
    if (p.normal.right <= p.normal.left) {
        return std::nullopt;
    }
    if (withState) {
        const auto stored = read("ShowCmd");
        p.showCmd = ShowCmdToApply(stored ? ParseInt(*stored) : std::nullopt);
    } else {
        p.showCmd = kShowNormal;
    }
    return p;
}

Rect FitInto(const Rect& window, const Rect& workArea) {
    // 64-bit arithmetic: stored rectangles may hold any 32-bit numbers.
    using Wide = long long;
    const Wide areaWidth = std::max<Wide>(Wide{workArea.right} - workArea.left, 0);
    const Wide areaHeight = std::max<Wide>(Wide{workArea.bottom} - workArea.top, 0);
    const Wide width = std::clamp<Wide>(Wide{window.right} - window.left, 0, areaWidth);
    const Wide height = std::clamp<Wide>(Wide{window.bottom} - window.top, 0, areaHeight);
    const Wide left =
        std::clamp<Wide>(window.left, workArea.left, workArea.left + areaWidth - width);
    const Wide top = std::clamp<Wide>(window.top, workArea.top, workArea.top + areaHeight - height);
    return {static_cast<int>(left), static_cast<int>(top), static_cast<int>(left + width),
            static_cast<int>(top + height)};
}

Rect KeptOnWorkArea(const Rect& window, bool meetsAMonitor, const Rect& workArea) {
    using Wide = long long;
    const Wide width = Wide{window.right} - window.left;
    const Wide height = Wide{window.bottom} - window.top;
    const bool fits = width >= 0 && height >= 0 && width <= Wide{workArea.right} - workArea.left &&
                      height <= Wide{workArea.bottom} - workArea.top;
    return meetsAMonitor && fits ? window : FitInto(window, workArea);
}

Rect DpiChangedRect(const Rect& current, int oldDpi, int newDpi, const Rect& suggested) {
    if (suggested.right > suggested.left && suggested.bottom > suggested.top) {
        return suggested;
    }
    using Wide = long long;
    const Wide from = oldDpi > 0 ? oldDpi : 96;
    const Wide to = newDpi > 0 ? newDpi : 96;
    const auto scaled = [&](int first, int last) {
        const Wide length = std::max<Wide>(Wide{last} - first, 0) * to / from;
        return static_cast<int>(std::clamp<Wide>(Wide{first} + length, INT_MIN, INT_MAX));
    };
    return {current.left, current.top, scaled(current.left, current.right),
            scaled(current.top, current.bottom)};
}

} // namespace morvel::ui
