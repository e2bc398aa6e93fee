#!/usr/bin/env python3
"""Counts pixels of a colour in a 24-bit BMP, in the left or right part.

    bmp-colours.py FILE R G B [--from-x X]

Prints "<count>" of pixels exactly of that colour at x >= X (default 0).
"""
import struct
import sys


def main():
    path, r, g, b = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
    from_x = int(sys.argv[6]) if len(sys.argv) > 6 and sys.argv[5] == "--from-x" else 0
    data = open(path, "rb").read()
    if data[:2] != b"BM":
        sys.exit("not a BMP")
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bits = struct.unpack_from("<H", data, 28)[0]
    if bits != 24:
        sys.exit("not 24-bit")
    stride = (width * 3 + 3) & ~3
    count = 0
    for row in range(abs(height)):
        line = data[offset + row * stride: offset + row * stride + width * 3]
        for x in range(from_x, width):
            if line[3 * x] == b and line[3 * x + 1] == g and line[3 * x + 2] == r:
                count += 1
    print(count)


main()
