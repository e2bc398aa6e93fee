// The nine contest bands, and the band a contact takes the multipliers window
// to.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace morvel {

// The nine contest bands by number 1-9.
inline constexpr std::array<std::string_view, 9> BandTable = {"1.8", "3.5", "7",  "10", "14",
                                                              "18",  "21",  "24", "28"};

// The number (1-9) of a band text that is exactly one of BandTable's.
std::optional<int> BandNumber(std::string_view band);

// The band the multipliers window follows for a counted contact: the band
// text trimmed; nothing when it is empty or not one of BandTable's.
std::optional<int> FollowedBand(std::string_view digiBand);

} // namespace morvel
