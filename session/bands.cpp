#include "session/bands.h"

#include "contract/text.h"

namespace morvel {

std::optional<Band> Band::Followed(std::string_view digiBand) {
    return FromText(Trim(digiBand));
}

} // namespace morvel
