#include "session/bands.h"

#include "contract/text.h"

namespace morvel {

std::optional<int> BandNumber(std::string_view band) {
    for (std::size_t i = 0; i < BandTable.size(); ++i) {
        if (BandTable[i] == band) {
            return static_cast<int>(i + 1);
        }
    }
    return std::nullopt;
}

std::optional<int> FollowedBand(std::string_view digiBand) {
    const std::string_view band = Trim(digiBand);
    if (band.empty()) {
        return std::nullopt;
    }
    return BandNumber(band);
}

} // namespace morvel
