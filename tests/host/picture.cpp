#include "tests/host/picture.h"

#include "tools/morvel-host/script.h"

#include <algorithm>
#include <cstring>

namespace morvel::host {

namespace {

constexpr std::size_t kBytesPerPixel = 3;
constexpr std::uint32_t kFileHeaderBytes = 14;
constexpr std::uint32_t kInfoHeaderBytes = 40;
constexpr std::uint64_t kMaxFileBytes = 0x7FFFFFFF;

// The byte count of a picture of the size; throws when it is beyond memory.
std::size_t PixelBytes(int width, int height) {
    const std::uint64_t bytes =
        static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * kBytesPerPixel;
    if (bytes > kMaxFileBytes) {
        throw ScriptError("a picture of " + std::to_string(width) + " x " + std::to_string(height) +
                          " pixels is too large");
    }
    return static_cast<std::size_t>(bytes);
}

void Check(const Picture& picture) {
    const bool sized =
        picture.width >= 0 && picture.height >= 0 && (picture.width == 0) == (picture.height == 0);
    if (!sized || picture.pixels.size() != PixelBytes(picture.width, picture.height)) {
        throw ScriptError("a picture of " + std::to_string(picture.width) + " x " +
                          std::to_string(picture.height) + " pixels has " +
                          std::to_string(picture.pixels.size()) + " bytes");
    }
}

void Put16(std::string& out, std::uint16_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}

void Put32(std::string& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out += static_cast<char>((value >> shift) & 0xFF);
    }
}

} // namespace

Picture Picture::Filled(int width, int height, std::uint8_t fill) {
    Picture picture;
    picture.width = std::max(width, 0);
    picture.height = std::max(height, 0);
    if (picture.width == 0 || picture.height == 0) {
        picture.width = 0;
        picture.height = 0;
    }
    picture.pixels.assign(PixelBytes(picture.width, picture.height), fill);
    return picture;
}

Picture SideBySide(const Picture& left, const Picture& right, std::uint8_t fill) {
    Check(left);
    Check(right);
    // Each is at most kMaxFileBytes / 3 pixels wide, so the sum fits an int.
    Picture out =
        Picture::Filled(left.width + right.width, std::max(left.height, right.height), fill);
    const std::size_t outRow = static_cast<std::size_t>(out.width) * kBytesPerPixel;
    const std::size_t leftRow = static_cast<std::size_t>(left.width) * kBytesPerPixel;
    const std::size_t rightRow = static_cast<std::size_t>(right.width) * kBytesPerPixel;
    for (std::size_t y = 0; y < static_cast<std::size_t>(left.height); ++y) {
        std::memcpy(out.pixels.data() + y * outRow, left.pixels.data() + y * leftRow, leftRow);
    }
    for (std::size_t y = 0; y < static_cast<std::size_t>(right.height); ++y) {
        std::memcpy(out.pixels.data() + y * outRow + leftRow, right.pixels.data() + y * rightRow,
                    rightRow);
    }
    return out;
}

Picture Above(const Picture& top, const Picture& bottom, std::uint8_t fill) {
    Check(top);
    Check(bottom);
    Picture out =
        Picture::Filled(std::max(top.width, bottom.width), top.height + bottom.height, fill);
    const std::size_t outRow = static_cast<std::size_t>(out.width) * kBytesPerPixel;
    const auto copy = [&](const Picture& picture, std::size_t firstRow) {
        const std::size_t row = static_cast<std::size_t>(picture.width) * kBytesPerPixel;
        for (std::size_t y = 0; y < static_cast<std::size_t>(picture.height); ++y) {
            std::memcpy(out.pixels.data() + (firstRow + y) * outRow,
                        picture.pixels.data() + y * row, row);
        }
    };
    copy(top, 0);
    copy(bottom, static_cast<std::size_t>(top.height));
    return out;
}

std::string BmpFile(const Picture& picture) {
    Check(picture);
    if (picture.width == 0) {
        throw ScriptError("an empty picture cannot be saved");
    }
    const std::uint64_t rowBytes = static_cast<std::uint64_t>(picture.width) * kBytesPerPixel;
    const std::uint64_t stride = (rowBytes + 3) / 4 * 4;
    const std::uint64_t imageBytes = stride * static_cast<std::uint64_t>(picture.height);
    const std::uint64_t fileBytes = kFileHeaderBytes + kInfoHeaderBytes + imageBytes;
    if (fileBytes > kMaxFileBytes) {
        throw ScriptError("a picture of " + std::to_string(picture.width) + " x " +
                          std::to_string(picture.height) + " pixels is too large for a BMP file");
    }

    std::string out;
    out.reserve(static_cast<std::size_t>(fileBytes));
    out += "BM";
    Put32(out, static_cast<std::uint32_t>(fileBytes));
    Put32(out, 0); // reserved
    Put32(out, kFileHeaderBytes + kInfoHeaderBytes);
    Put32(out, kInfoHeaderBytes);
    Put32(out, static_cast<std::uint32_t>(picture.width));
    Put32(out, static_cast<std::uint32_t>(picture.height)); // positive: bottom-up
    Put16(out, 1);                                          // planes
    Put16(out, 24);                                         // bits a pixel
    Put32(out, 0);                                          // BI_RGB
    Put32(out, static_cast<std::uint32_t>(imageBytes));
    Put32(out, 2835); // 72 dpi, as pixels a metre
    Put32(out, 2835);
    Put32(out, 0); // colours used
    Put32(out, 0); // colours important

    const std::string padding(static_cast<std::size_t>(stride - rowBytes), '\0');
    for (int y = picture.height - 1; y >= 0; --y) {
        const auto* row = picture.pixels.data() + static_cast<std::size_t>(y) * rowBytes;
        out.append(reinterpret_cast<const char*>(row), static_cast<std::size_t>(rowBytes));
        out += padding;
    }
    return out;
}

} // namespace morvel::host
