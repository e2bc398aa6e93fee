// The two fixed-layout records the host and the plug-in exchange.
//
// Every member is a byte array, so the structs have alignment 1 and no padding:
// a record can be read from any host address, and the layout below is exactly
// the host's. Integers are 32-bit little-endian; a ShortString is a length byte
// followed by up to 255 single-byte characters of the host's ANSI code page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace morvel {

// A 256-byte Pascal string. Bytes past the length are not part of the value and
// are never touched by Assign.
struct ShortString {
    static constexpr std::size_t kCapacity = 255;

    std::uint8_t bytes[256];

    std::size_t Length() const { return bytes[0]; }
    std::string_view View() const { return {reinterpret_cast<const char*>(bytes + 1), bytes[0]}; }
    std::string Str() const { return std::string(View()); }

    // Stores min(size, 255) as the length byte and that many characters.
    void Assign(std::string_view text);
};
static_assert(sizeof(ShortString) == 256);
static_assert(alignof(ShortString) == 1);

// A 32-bit little-endian integer stored in four bytes at any address.
struct LeInt32 {
    std::uint8_t bytes[4];

    std::int32_t get() const;
    void set(std::int32_t value);
};
static_assert(sizeof(LeInt32) == 4);

// The contact record, passed by the host on every call that concerns a contact.
// Host data in the reserved ranges is carried along unchanged by every copy.
struct TQSOData {
    // The host's open database connection: an ODBC connection handle (SQLHDBC)
    // that the host has already connected to its log database, 32 bits wide as
    // on the 32-bit host. The plug-in runs one read-only SELECT at a time on a
    // statement of its own and never changes, commits on or closes the
    // connection.
    std::uint8_t Connection[4];
    std::uint8_t reserved4[8];
    ShortString TableName;
    ShortString CallSign;
    std::uint8_t reserved524[16];
    ShortString DigiBand;
    ShortString QSOMode;
    ShortString Continent;
    ShortString QSOReportRecived;
    std::uint8_t reserved1564[768];
    ShortString MainPrefix;
    ShortString DXCCPrefix;
    std::uint8_t reserved2844[1024];
    ShortString CaptionPrefix;
    std::uint8_t reserved4124[1792];

    std::uint32_t ConnectionValue() const;
    void SetConnectionValue(std::uint32_t value);
};

static_assert(sizeof(TQSOData) == 5916);
static_assert(alignof(TQSOData) == 1);
static_assert(offsetof(TQSOData, Connection) == 0);
static_assert(offsetof(TQSOData, TableName) == 12);
static_assert(offsetof(TQSOData, CallSign) == 268);
static_assert(offsetof(TQSOData, DigiBand) == 540);
static_assert(offsetof(TQSOData, QSOMode) == 796);
static_assert(offsetof(TQSOData, Continent) == 1052);
static_assert(offsetof(TQSOData, QSOReportRecived) == 1308);
static_assert(offsetof(TQSOData, MainPrefix) == 2332);
static_assert(offsetof(TQSOData, DXCCPrefix) == 2588);
static_assert(offsetof(TQSOData, CaptionPrefix) == 3868);

// The description record the host hands to _GetInfo; at least 520 bytes.
struct TPluginInfo {
    ShortString ContestName;
    LeInt32 InfoWord1;
    ShortString PluginTag;
    LeInt32 InfoWord2;
};

static_assert(sizeof(TPluginInfo) == 520);
static_assert(alignof(TPluginInfo) == 1);
static_assert(offsetof(TPluginInfo, ContestName) == 0);
static_assert(offsetof(TPluginInfo, InfoWord1) == 256);
static_assert(offsetof(TPluginInfo, PluginTag) == 260);
static_assert(offsetof(TPluginInfo, InfoWord2) == 516);

inline constexpr std::string_view kContestName = "Morvel Russia";
inline constexpr std::string_view kPluginTag = "tobrix_contest";

// Copies a whole contact record, host data included, without looking at it.
void CopyRecord(TQSOData& to, const void* from);

// Writes the plug-in's description: the two strings (length byte and
// characters only) and the two integers. Nothing else of the record changes.
void FillPluginInfo(TPluginInfo& info);

} // namespace morvel
