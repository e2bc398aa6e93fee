// The picture "screenshot" saves: composition and the BMP file's bytes.
#include "tests/host/picture.h"
#include "tools/morvel-host/script.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace morvel::host {
namespace {

std::uint32_t U32(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes.at(at + i)))
                 << (8 * i);
    }
    return value;
}

std::uint16_t U16(const std::string& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes.at(at)) |
                                      static_cast<unsigned char>(bytes.at(at + 1)) << 8);
}

// A picture whose every pixel says where it is: blue = x, green = y, red = tag.
Picture Numbered(int width, int height, std::uint8_t tag) {
    Picture picture = Picture::Filled(width, height, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            auto* pixel = &picture.pixels[(static_cast<std::size_t>(y) * width + x) * 3];
            pixel[0] = static_cast<std::uint8_t>(x);
            pixel[1] = static_cast<std::uint8_t>(y);
            pixel[2] = tag;
        }
    }
    return picture;
}

TEST(HostPicture, BmpFileHasTheHeadersAndBottomUpPaddedRows) {
    // Widths 1 to 4 give every amount of row padding (3, 2, 1, 0 bytes).
    for (int width = 1; width <= 4; ++width) {
        const int height = 3;
        const std::string file = BmpFile(Numbered(width, height, 7));
        const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
        ASSERT_EQ(file.size(), 54 + stride * height) << width;
        EXPECT_EQ(file.substr(0, 2), "BM");
        EXPECT_EQ(U32(file, 2), file.size());
        EXPECT_EQ(U32(file, 10), 54u);
        EXPECT_EQ(U32(file, 14), 40u);
        EXPECT_EQ(U32(file, 18), static_cast<std::uint32_t>(width));
        EXPECT_EQ(U32(file, 22), static_cast<std::uint32_t>(height));
        EXPECT_EQ(U16(file, 26), 1);
        EXPECT_EQ(U16(file, 28), 24);
        EXPECT_EQ(U32(file, 30), 0u);
        EXPECT_EQ(U32(file, 34), stride * height);

        for (int row = 0; row < height; ++row) {
            const std::size_t start = 54 + stride * static_cast<std::size_t>(row);
            const int y = height - 1 - row; // the file's first row is the bottom one
            for (int x = 0; x < width; ++x) {
                const std::size_t at = start + static_cast<std::size_t>(x) * 3;
                EXPECT_EQ(file[at], static_cast<char>(x)) << width << " " << row;
                EXPECT_EQ(file[at + 1], static_cast<char>(y)) << width << " " << row;
                EXPECT_EQ(file[at + 2], 7);
            }
            for (std::size_t pad = static_cast<std::size_t>(width) * 3; pad < stride; ++pad) {
                EXPECT_EQ(file[start + pad], 0) << "padding of width " << width;
            }
        }
    }
}

TEST(HostPicture, BadPicturesAreRefusedNotWritten) {
    EXPECT_THROW(BmpFile(Picture{}), ScriptError);

    Picture shortOfPixels = Picture::Filled(4, 4, 0);
    shortOfPixels.pixels.pop_back();
    EXPECT_THROW(BmpFile(shortOfPixels), ScriptError);
    EXPECT_THROW(SideBySide(shortOfPixels, Picture{}, 0), ScriptError);

    Picture lopsided;
    lopsided.width = 3; // and no height
    EXPECT_THROW(BmpFile(lopsided), ScriptError);

    Picture negative;
    negative.width = -2;
    negative.height = -3;
    negative.pixels.resize(18);
    EXPECT_THROW(BmpFile(negative), ScriptError);

    // Beyond the format's 32-bit sizes: refused before anything is allocated.
    EXPECT_THROW(Picture::Filled(40000, 40000, 0), ScriptError);

    const Picture none = Picture::Filled(0, 5, 0xFF);
    EXPECT_EQ(none.width, 0);
    EXPECT_EQ(none.height, 0);
    EXPECT_TRUE(none.pixels.empty());
}

TEST(HostPicture, SideBySidePutsTheFirstLeftAndFillsBelowTheLower) {
    const Picture left = Numbered(2, 1, 1);
    const Picture right = Numbered(1, 3, 2);
    const Picture both = SideBySide(left, right, 0xEE);
    ASSERT_EQ(both.width, 3);
    ASSERT_EQ(both.height, 3);
    ASSERT_EQ(both.pixels.size(), 27u);
    const auto pixel = [&](int x, int y) {
        const auto* p = &both.pixels[(static_cast<std::size_t>(y) * 3 + x) * 3];
        return std::to_string(p[0]) + "," + std::to_string(p[1]) + "," + std::to_string(p[2]);
    };
    EXPECT_EQ(pixel(0, 0), "0,0,1");
    EXPECT_EQ(pixel(1, 0), "1,0,1");
    EXPECT_EQ(pixel(2, 0), "0,0,2");
    EXPECT_EQ(pixel(2, 1), "0,1,2");
    EXPECT_EQ(pixel(2, 2), "0,2,2");
    for (int y = 1; y < 3; ++y) {
        for (int x = 0; x < 2; ++x) {
            EXPECT_EQ(pixel(x, y), "238,238,238") << x << "," << y;
        }
    }

    // With nothing on one side, the other alone.
    const Picture alone = SideBySide(Picture{}, right, 0);
    EXPECT_EQ(alone.width, 1);
    EXPECT_EQ(alone.height, 3);
    EXPECT_EQ(alone.pixels, right.pixels);
    EXPECT_EQ(SideBySide(left, Picture{}, 0).pixels, left.pixels);

    // One above the other: the narrower one filled out to its right.
    const Picture stacked = Above(left, right, 0xEE);
    ASSERT_EQ(stacked.width, 2);
    ASSERT_EQ(stacked.height, 4);
    const auto at = [&](int x, int y) {
        return stacked.pixels[(static_cast<std::size_t>(y) * 2 + x) * 3 + 2];
    };
    EXPECT_EQ(at(1, 0), 1);    // left's second pixel
    EXPECT_EQ(at(0, 3), 2);    // right's last row
    EXPECT_EQ(at(1, 3), 0xEE); // beside it, filled
    EXPECT_EQ(Above(Picture{}, right, 0).pixels, right.pixels);
}

} // namespace
} // namespace morvel::host
