#include "contract/records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace morvel {
namespace {

TEST(ShortString, ReadsLengthByteWorthOfCharacters) {
    ShortString s;
    std::memset(s.bytes, 'x', sizeof s.bytes);
    s.bytes[0] = 3;
    EXPECT_EQ(s.View(), "xxx");
    s.bytes[0] = 0;
    EXPECT_EQ(s.View(), "");
    s.bytes[0] = 255;
    EXPECT_EQ(s.View().size(), 255u);
}

TEST(ShortString, AssignCutsAt255AndLeavesTheRestAlone) {
    ShortString s;
    std::memset(s.bytes, 0xEE, sizeof s.bytes);
    s.Assign("abc");
    EXPECT_EQ(s.bytes[0], 3);
    EXPECT_EQ(s.View(), "abc");
    for (int i = 4; i < 256; ++i) {
        ASSERT_EQ(s.bytes[i], 0xEE) << "byte " << i;
    }

    s.Assign(std::string(300, 'q'));
    EXPECT_EQ(s.bytes[0], 255);
    EXPECT_EQ(s.View(), std::string(255, 'q'));

    s.Assign("");
    EXPECT_EQ(s.bytes[0], 0);
    EXPECT_EQ(s.bytes[1], 'q');
}

TEST(ShortString, KeepsZeroAndHighBytes) {
    ShortString s;
    const std::string value("a\0\xff\x80 ", 5);
    s.Assign(value);
    EXPECT_EQ(s.Str(), value);
}

TEST(TQSOData, FieldsSitAtTheHostOffsets) {
    std::vector<unsigned char> raw(sizeof(TQSOData), 0);
    const auto put = [&raw](std::size_t offset, const std::string& text) {
        raw[offset] = static_cast<unsigned char>(text.size());
        std::memcpy(raw.data() + offset + 1, text.data(), text.size());
    };
    put(12, "Log");
    put(268, "UA3AAA");
    put(540, "14");
    put(796, "CW");
    put(1052, "EU");
    put(1308, "599 MA");
    put(2332, "UA3A");
    put(2588, "UA1");
    put(3868, "RZ3A");
    raw[0] = 0x78;
    raw[1] = 0x56;
    raw[2] = 0x34;
    raw[3] = 0x12;

    TQSOData rec;
    CopyRecord(rec, raw.data());
    EXPECT_EQ(rec.ConnectionValue(), 0x12345678u);
    EXPECT_EQ(rec.TableName.View(), "Log");
    EXPECT_EQ(rec.CallSign.View(), "UA3AAA");
    EXPECT_EQ(rec.DigiBand.View(), "14");
    EXPECT_EQ(rec.QSOMode.View(), "CW");
    EXPECT_EQ(rec.Continent.View(), "EU");
    EXPECT_EQ(rec.QSOReportRecived.View(), "599 MA");
    EXPECT_EQ(rec.MainPrefix.View(), "UA3A");
    EXPECT_EQ(rec.DXCCPrefix.View(), "UA1");
    EXPECT_EQ(rec.CaptionPrefix.View(), "RZ3A");
}

TEST(TQSOData, CopyCarriesHostDataAndReadsFromAnyAddress) {
    std::vector<unsigned char> raw(sizeof(TQSOData) + 3);
    for (std::size_t i = 0; i < raw.size(); ++i) {
        raw[i] = static_cast<unsigned char>(i * 7 + 1);
    }
    TQSOData rec;
    CopyRecord(rec, raw.data() + 3); // deliberately misaligned
    EXPECT_EQ(std::memcmp(&rec, raw.data() + 3, sizeof rec), 0);

    TQSOData again;
    CopyRecord(again, &rec);
    EXPECT_EQ(std::memcmp(&again, &rec, sizeof rec), 0);
}

TEST(TQSOData, ConnectionValueRoundTripsLittleEndian) {
    TQSOData rec{};
    rec.SetConnectionValue(0xA1B2C3D4u);
    EXPECT_EQ(rec.Connection[0], 0xD4);
    EXPECT_EQ(rec.Connection[3], 0xA1);
    EXPECT_EQ(rec.ConnectionValue(), 0xA1B2C3D4u);
}

TEST(TPluginInfo, WritesOnlyTheStringsAndTheTwoIntegers) {
    std::vector<unsigned char> raw(600, 0xFF);
    auto* info = reinterpret_cast<TPluginInfo*>(raw.data());
    FillPluginInfo(*info);

    EXPECT_EQ(raw[0], 13);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(&raw[1]), 13), "Morvel Russia");
    EXPECT_EQ(info->InfoWord1.get(), 1);
    EXPECT_EQ(raw[260], 14);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(&raw[261]), 14), "tobrix_contest");
    EXPECT_EQ(info->InfoWord2.get(), 1);
    EXPECT_EQ(raw[256], 1);
    EXPECT_EQ(raw[259], 0);
    for (std::size_t i = 14; i < 256; ++i) {
        ASSERT_EQ(raw[i], 0xFF) << "byte " << i;
    }
    for (std::size_t i = 275; i < 516; ++i) {
        ASSERT_EQ(raw[i], 0xFF) << "byte " << i;
    }
    for (std::size_t i = 520; i < raw.size(); ++i) {
        ASSERT_EQ(raw[i], 0xFF) << "byte " << i;
    }
}

TEST(LeInt32, NegativeValuesRoundTrip) {
    LeInt32 v;
    v.set(-1);
    EXPECT_EQ(v.bytes[0], 0xFF);
    EXPECT_EQ(v.get(), -1);
    v.set(INT32_MIN);
    EXPECT_EQ(v.get(), INT32_MIN);
}

} // namespace
} // namespace morvel
