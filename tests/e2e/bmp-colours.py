#!/usr/bin/env python3
"""Counts pixels of one colour in a picture, at and right of a column.

    bmp-colours.py FILE R G B [--from-x X]

Prints the number of pixels exactly of that colour at x >= X (default 0).
Any picture Pillow reads will do; the host's screenshots are BMP files.
"""
import sys

from PIL import Image


def main():
    if len(sys.argv) not in (5, 7) or (len(sys.argv) == 7 and sys.argv[5] != "--from-x"):
        sys.exit(__doc__.strip())
    path = sys.argv[1]
    colour = tuple(int(v) for v in sys.argv[2:5])
    from_x = int(sys.argv[6]) if len(sys.argv) == 7 else 0
    with Image.open(path) as picture:
        rgb = picture.convert("RGB")
    width, height = rgb.size
    if from_x > 0:
        rgb = rgb.crop((min(from_x, width), 0, width, height))
    # getcolors() counts every distinct colour; a screenshot has few of them.
    counts = rgb.getcolors(maxcolors=rgb.size[0] * rgb.size[1] + 1) or []
    print(next((n for n, c in counts if c == colour), 0))


main()
