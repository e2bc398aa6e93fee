#include "session/bands.h"

#include "contract/text.h"

namespace morvel {

std::optional<Band> Band::Followed(std::string_view digiBand) {
    return FromText(Trim(digiBand));
}

std::optional<int> FollowedBand(std::string_view digiBand) {
    if (const std::optional<Band> band = Band::Followed(digiBand)) {
        return band->Number();
    }
    return std::nullopt;
}

} // namespace morvel
