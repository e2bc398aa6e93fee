// Stored window settings from arbitrary bytes: what the registry may hold
// when a window reads its placement back.
//
// The input is split at zero bytes into texts, used in this order as the
// values of NormPos, MinMaxPos, NormPos(1920x1080), MinMaxPos(1920x1080),
// PixelsPerInch, ShowCmd, Flags and CurrentBand, then as a work area
// ("left,top,right,bottom") and a panel size ("width,height"). A value with
// no text, or the text "\x7f", is not stored at all.
#include "check.h"

#include "contract/text.h"
#include "ui/multiplier_check_layout.h"
#include "ui/multipliers_layout.h"
#include "ui/placement.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace morvel;
using namespace morvel::ui;

constexpr std::array<const char*, 8> kNames = {
    "NormPos", "MinMaxPos", "NormPos(1920x1080)", "MinMaxPos(1920x1080)", "PixelsPerInch",
    "ShowCmd", "Flags",     "CurrentBand",
};

using Stored = std::map<std::string, std::string>;

ValueReader From(const Stored& stored) {
    return [&stored](const std::string& name) -> std::optional<std::string> {
        const auto it = stored.find(name);
        return it == stored.end() ? std::nullopt : std::optional<std::string>(it->second);
    };
}

bool IsDecimal(std::string_view text) {
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return false;
    }
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

void CheckParseInt(std::string_view text) {
    const std::optional<std::int32_t> value = ParseInt(text);
    if (!value) {
        return;
    }
    FUZZ_CHECK(IsDecimal(text));
    FUZZ_CHECK(ParseInt(std::to_string(*value)) == value);
}

bool Inside(const Rect& r, const Rect& area) {
    return r.left >= area.left && r.top >= area.top && r.right <= area.right &&
           r.bottom <= area.bottom && r.left <= r.right && r.top <= r.bottom;
}

void CheckFit(const Rect& window, const Rect& area) {
    const Rect fitted = FitInto(window, area);
    if (area.right <= area.left || area.bottom <= area.top) {
        return;
    }
    FUZZ_CHECK(Inside(fitted, area));
    // A window that fits already stays where it is.
    if (Inside(window, area)) {
        FUZZ_CHECK(fitted == window);
    }
    // Moved, and shrunk only as far as the work area needs.
    using Wide = long long;
    const Wide width = Wide{window.right} - window.left;
    const Wide height = Wide{window.bottom} - window.top;
    if (width >= 0) {
        FUZZ_CHECK(Wide{fitted.right} - fitted.left ==
                   std::min(width, Wide{area.right} - area.left));
    }
    if (height >= 0) {
        FUZZ_CHECK(Wide{fitted.bottom} - fitted.top ==
                   std::min(height, Wide{area.bottom} - area.top));
    }
}

// What a read gives is what the settings would store again, and reading that
// back gives the same placement.
void CheckRoundTrip(const Placement& p, const Screen& screen, bool withState) {
    const Values values = PlacementValues(p, screen, false, std::string("5"));
    Stored stored;
    for (const auto& [name, text] : values) {
        stored[name] = text;
    }
    const Placement other{7, 1, {1, 2}, {3, 4}, {10, 20, 30, 40}};
    const std::optional<Placement> again = StoredPlacement(From(stored), screen, other, withState);
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(*again == p);
}

void CheckStored(const Stored& stored, const Screen& screen, const Placement& current,
                 const std::vector<Rect>& workAreas) {
    const auto has = [&stored](const char* plain, const char* sized) {
        const auto text = [&stored](const char* name) {
            const auto it = stored.find(name);
            return it != stored.end() && !it->second.empty();
        };
        return text(plain) || text(sized);
    };
    for (const bool withState : {false, true}) {
        const std::optional<Placement> p =
            StoredPlacement(From(stored), screen, current, withState);
        if (!p) {
            continue;
        }
        FUZZ_CHECK(has("NormPos", "NormPos(1920x1080)") ||
                   has("MinMaxPos", "MinMaxPos(1920x1080)"));
        FUZZ_CHECK(p->normal.right > p->normal.left);
        FUZZ_CHECK(p->showCmd == 1 || (withState && p->showCmd == 3));
        if (const auto ppi = stored.find("PixelsPerInch"); ppi != stored.end()) {
            FUZZ_CHECK(ParseInt(ppi->second).value_or(screen.pixelsPerInch) ==
                       screen.pixelsPerInch);
        }
        CheckRoundTrip(*p, screen, withState);
        for (const Rect& area : workAreas) {
            CheckFit(p->normal, area);
        }
    }
}

void CheckPanel(int width, int height) {
    const std::optional<BandButtonLayout> layout = Panel2Resize(width, height);
    if (width == 0) {
        FUZZ_CHECK(!layout);
        return;
    }
    FUZZ_CHECK(layout.has_value());
    const auto& b = layout->buttons.values;
    for (std::size_t k = 0; k + 1 < b.size(); ++k) {
        FUZZ_CHECK(b[k].right == b[k + 1].left); // side by side
        FUZZ_CHECK(b[k].right - b[k].left == b[0].right - b[0].left);
        FUZZ_CHECK(b[k].top == 0 && b[k].bottom == b[0].bottom);
    }
    if (layout->lastWidthApplied) {
        FUZZ_CHECK(b.back().right == width - 4);
        FUZZ_CHECK(b.back().right >= b.back().left);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> texts;
    for (std::size_t start = 0; start <= size;) {
        std::size_t end = input.find('\0', start);
        if (end == std::string_view::npos) {
            end = size;
        }
        texts.push_back(input.substr(start, end - start));
        start = end + 1;
    }
    const auto text = [&texts](std::size_t i) -> std::optional<std::string_view> {
        if (i >= texts.size() || texts[i] == "\x7f") {
            return std::nullopt;
        }
        return texts[i];
    };

    for (const std::string_view t : texts) {
        CheckParseInt(t);
        CheckParseInt(Trim(t));
        const std::array<int, 4> defaults{1, 2, 3, 4};
        const std::array<int, 4> four = ParsePositions(t, defaults);
        // Four numbers written as the settings write them read back the same.
        const std::string written = std::to_string(four[0]) + "," + std::to_string(four[1]) + "," +
                                    std::to_string(four[2]) + "," + std::to_string(four[3]);
        FUZZ_CHECK(ParsePositions(written, {0, 0, 0, 0}) == four);
    }
    // Any 32-bit number, written as decimal, reads back.
    for (std::size_t at = 0; at + 4 <= size && at < 64; at += 4) {
        const std::int32_t n = static_cast<std::int32_t>(
            static_cast<std::uint32_t>(data[at]) | static_cast<std::uint32_t>(data[at + 1]) << 8 |
            static_cast<std::uint32_t>(data[at + 2]) << 16 |
            static_cast<std::uint32_t>(data[at + 3]) << 24);
        FUZZ_CHECK(ParseInt(std::to_string(n)) == n);
    }

    Stored stored;
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        if (const auto t = text(i)) {
            stored[kNames[i]] = std::string(*t);
        }
    }

    // The multiplier check emphasises the band CurrentBand names by number
    // while no station is typed; the band's text names it again.
    if (const auto band = text(7)) {
        const std::optional<Band> chosen = EmphasisedBand(nullptr, *band);
        const auto n = ParseInt(Trim(*band));
        FUZZ_CHECK(chosen == (n ? Band::FromNumber(*n) : std::nullopt));
        if (chosen) {
            FUZZ_CHECK(Band::FromText(chosen->Text()) == chosen);
        }
    }

    const auto a = ParsePositions(text(8).value_or(""), {0, 0, 1920, 1040});
    std::vector<Rect> workAreas = {
        {0, 0, 1920, 1040},
        {1920, 0, 3200, 1024},
        {-1280, -200, 0, 824},
        {0, 0, 1, 1},
        {INT_MIN, INT_MIN, INT_MAX, INT_MAX},
        {5, 5, 5, 5},
        {a[0], a[1], a[2], a[3]},
    };

    const Placement current{0, 1, {0, 0}, {0, 0}, {932, 187, 1306, 383}};
    const Placement odd{2, 3, {-1, -1}, {-8, -30}, {a[0], a[1], a[2], a[3]}};
    for (const Screen& screen : {Screen{1920, 1080, 96}, Screen{1024, 768, 120}}) {
        CheckStored(stored, screen, current, workAreas);
        CheckStored(stored, screen, odd, workAreas);
    }
    for (const Rect& area : workAreas) {
        CheckFit(odd.normal, area);
        CheckFit({a[2], a[3], a[0], a[1]}, area);
    }

    const auto panel = ParsePositions(text(9).value_or(""), {327, 18, 0, 0});
    CheckPanel(panel[0], panel[1]);
    CheckPanel(panel[2], panel[3]);
    return 0;
}
