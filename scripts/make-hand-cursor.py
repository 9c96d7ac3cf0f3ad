#!/usr/bin/python3
"""Writes HAND-M.CUR: a 32x32 Windows cursor (type 2) of a pointing hand.

The hotspot is the tip of the index finger. The image is 32 bits per pixel
with alpha, followed by the AND mask that older readers use.

It made the committed resources/HAND-M.CUR, the hand pointer over the
buttons that the build puts next to the program; run it again only to change
that pointer, and commit the result:

Usage: python3 scripts/make-hand-cursor.py resources/HAND-M.CUR
"""

import struct
import sys

SIZE = 32

# '#' outline, 'o' fill, anything else transparent.
HAND = [
    "     ##          ",
    "    #oo#         ",
    "    #oo#         ",
    "    #oo#         ",
    "    #oo#         ",
    "    #oo###       ",
    "    #oo#oo###    ",
    "    #oo#oo#oo### ",
    "    #oo#oo#oo#oo#",
    " ## #oo#oo#oo#oo#",
    "#oo##oo#oo#oo#oo#",
    " #oo#ooooooooooo#",
    "  #ooooooooooooo#",
    "   #oooooooooooo#",
    "   #oooooooooooo#",
    "    #ooooooooooo#",
    "    #oooooooooo# ",
    "     #ooooooooo# ",
    "     #ooooooooo# ",
    "     ###########  ",
]

# The fingertip: the top of the index finger.
HOTSPOT = (5, 0)

COLOURS = {
    "#": (0, 0, 0, 255),
    "o": (255, 255, 255, 255),
}


def pixel(x, y):
    if y < len(HAND) and x < len(HAND[y]):
        return COLOURS.get(HAND[y][x])
    return None


def cursor_bytes():
    colour_rows = []
    mask_rows = []
    for y in range(SIZE):
        row = bytearray()
        mask = 0
        for x in range(SIZE):
            p = pixel(x, y)
            if p is None:
                row += bytes((0, 0, 0, 0))
                mask |= 1 << (31 - x)  # transparent
            else:
                r, g, b, a = p
                row += bytes((b, g, r, a))
        colour_rows.append(bytes(row))
        mask_rows.append(struct.pack(">I", mask))
    # Bitmaps are stored bottom row first.
    colour = b"".join(reversed(colour_rows))
    and_mask = b"".join(reversed(mask_rows))

    header = struct.pack(
        "<IiiHHIIiiII",
        40,            # header size
        SIZE,          # width
        SIZE * 2,      # height of colour image and mask together
        1,             # planes
        32,            # bits per pixel
        0,             # no compression
        len(colour) + len(and_mask),
        0, 0, 0, 0,
    )
    image = header + colour + and_mask

    directory = struct.pack("<HHH", 0, 2, 1)  # reserved, type 2 = cursor, one image
    entry = struct.pack(
        "<BBBBHHII",
        SIZE, SIZE, 0, 0,
        HOTSPOT[0], HOTSPOT[1],
        len(image),
        6 + 16,
    )
    return directory + entry + image


def main():
    if len(sys.argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    for row in HAND:
        assert len(row) <= SIZE
    assert pixel(*HOTSPOT) is not None, "the hotspot must lie on the hand"
    with open(sys.argv[1], "wb") as out:
        out.write(cursor_bytes())
    return 0


if __name__ == "__main__":
    sys.exit(main())
