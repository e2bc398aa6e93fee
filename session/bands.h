// The nine contest bands, and the band a contact takes the multipliers window
// to.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>
#include <utility>

namespace morvel {

inline constexpr std::size_t kBandCount = 9;

// The nine contest bands by number 1-9.
inline constexpr std::array<std::string_view, kBandCount> BandTable = {
    "1.8", "3.5", "7", "10", "14", "18", "21", "24", "28"};

// One of the nine contest bands. A Band is made only from a number or a text
// that names one, so it always is one: its number 1-9, its index 0-8 in
// BandTable and its text need no check where they are used.
class Band {
public:
    // Band number (1-9); nothing for any other number.
    static constexpr std::optional<Band> FromNumber(int number) {
        if (number < 1 || number > static_cast<int>(kBandCount)) {
            return std::nullopt;
        }
        return Band(static_cast<std::size_t>(number - 1));
    }
    // The band whose text is exactly one of BandTable's.
    static constexpr std::optional<Band> FromText(std::string_view text) {
        for (std::size_t i = 0; i < kBandCount; ++i) {
            if (BandTable[i] == text) {
                return Band(i);
            }
        }
        return std::nullopt;
    }
    // The band the multipliers window follows for a counted contact: the band
    // text trimmed; nothing when it is empty or not one of BandTable's.
    static std::optional<Band> Followed(std::string_view digiBand);

    constexpr int Number() const { return static_cast<int>(m_index) + 1; }
    constexpr std::size_t Index() const { return m_index; }
    constexpr std::string_view Text() const { return BandTable[m_index]; }

    constexpr bool operator==(const Band&) const = default;

private:
    constexpr explicit Band(std::size_t index) : m_index(static_cast<unsigned char>(index)) {}

    unsigned char m_index;
};

namespace detail {
template <std::size_t... I>
constexpr std::array<Band, sizeof...(I)> MakeBands(std::index_sequence<I...>) {
    return {*Band::FromNumber(static_cast<int>(I) + 1)...};
}
} // namespace detail

// The nine bands in order, 1.8 to 28.
inline constexpr std::array<Band, kBandCount> AllBands =
    detail::MakeBands(std::make_index_sequence<kBandCount>{});

// A value for each of the nine bands, read and written by Band; iterated in
// band order.
template <class T>
struct PerBand {
    std::array<T, kBandCount> values{};

    constexpr T& operator[](Band band) { return values[band.Index()]; }
    constexpr const T& operator[](Band band) const { return values[band.Index()]; }
    constexpr auto begin() { return values.begin(); }
    constexpr auto end() { return values.end(); }
    constexpr auto begin() const { return values.begin(); }
    constexpr auto end() const { return values.end(); }
    static constexpr std::size_t size() { return kBandCount; }

    constexpr bool operator==(const PerBand&) const = default;
};

} // namespace morvel
