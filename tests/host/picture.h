// The picture "screenshot" saves: windows side by side and one above another, written as a 24-bit
// BMP file. Portable, so that the file format is tested natively; the
// windows are drawn into it by screenshot_win.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace morvel::host {

// Rows from the top down, three bytes a pixel (blue, green, red), no padding.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;

    // A picture of the size, every byte fill (0xFF: white); 0 x 0 when either
    // side is 0 or less. Throws ScriptError when it would be too large.
    static Picture Filled(int width, int height, std::uint8_t fill);
};

// left and right side by side, tops level; below the lower one the picture is
// fill. Either may be empty (0 x 0), and then it is the other alone. Throws
// ScriptError when a picture's pixels do not match its size.
Picture SideBySide(const Picture& left, const Picture& right, std::uint8_t fill);

// top above bottom, left edges level; right of the narrower one the picture is
// fill. Either may be empty, and then it is the other alone. Throws
// ScriptError as SideBySide does.
Picture Above(const Picture& top, const Picture& bottom, std::uint8_t fill);

// The picture as a BMP file: BITMAPFILEHEADER, BITMAPINFOHEADER, rows from the
// bottom up, each padded to a multiple of four bytes. Throws ScriptError for an
// empty picture, one whose pixels do not match its size, or one too large for
// the format's 32-bit sizes.
std::string BmpFile(const Picture& picture);

} // namespace morvel::host
