#include "contract/records.h"

#include <algorithm>
#include <cstring>

namespace morvel {

void ShortString::Assign(std::string_view text) {
    const std::size_t n = std::min(text.size(), kCapacity);
    bytes[0] = static_cast<std::uint8_t>(n);
    if (n != 0) {
        std::memcpy(bytes + 1, text.data(), n);
    }
}

std::int32_t LeInt32::get() const {
    const std::uint32_t u = std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 |
                            std::uint32_t{bytes[2]} << 16 | std::uint32_t{bytes[3]} << 24;
    return static_cast<std::int32_t>(u);
}

void LeInt32::set(std::int32_t value) {
    const auto u = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<std::uint8_t>(u >> (8 * i));
    }
}

std::uint32_t TQSOData::ConnectionValue() const {
    LeInt32 v;
    std::memcpy(v.bytes, Connection, 4);
    return static_cast<std::uint32_t>(v.get());
}

void TQSOData::SetConnectionValue(std::uint32_t value) {
    LeInt32 v;
    v.set(static_cast<std::int32_t>(value));
    std::memcpy(Connection, v.bytes, 4);
}

void CopyRecord(TQSOData& to, const void* from) {
    std::memcpy(&to, from, sizeof(TQSOData));
}

void FillPluginInfo(TPluginInfo& info) {
    info.ContestName.Assign(kContestName);
    info.InfoWord1.set(1);
    info.PluginTag.Assign(kPluginTag);
    info.InfoWord2.set(1);
}

} // namespace morvel
