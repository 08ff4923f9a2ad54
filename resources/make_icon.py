#!/usr/bin/env python3
"""Draws the program icon (32 x 32 pixels, 16 colours) and writes kwuninst.ico.

The icon is committed; this script is kept so that it can be redrawn.  It uses
only the standard library.  Picture: a blue shield with a white K and a red
diagonal stroke (the product being taken away).
"""
import struct
import sys

# The standard 16-colour VGA palette, as (blue, green, red, reserved).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]  # given as (R, G, B)
BLACK, NAVY, BLUE, WHITE, RED, GREY = 0, 4, 12, 15, 9, 8


def inside_shield(x, y):
    if y < 2 or y > 29 or x < 4 or x > 27:
        return False
    if y < 18:
        return True
    # The lower part narrows to a point.
    half = 12 - (y - 18)
    return abs(x - 15.5) <= half


def colour_at(x, y):
    if not inside_shield(x, y):
        return None
    edge = not (inside_shield(x - 1, y) and inside_shield(x + 1, y)
                and inside_shield(x, y - 1) and inside_shield(x, y + 1))
    if edge:
        return NAVY
    # Red stroke from top left to bottom right.
    if abs((x - 4) - (y - 2)) <= 1 and 6 <= x <= 26:
        return RED
    # The K: a stem and two arms.
    if 10 <= x <= 12 and 7 <= y <= 22:
        return WHITE
    if 13 <= x <= 21:
        arm = 14 - (x - 13) * 0.9
        leg = 15 + (x - 13) * 0.9
        if abs(y - arm) <= 1.2 or abs(y - leg) <= 1.2:
            if 7 <= y <= 22:
                return WHITE
    return BLUE


def build():
    size = 32
    xor_rows = []
    and_rows = []
    for y in range(size - 1, -1, -1):  # bottom-up rows
        pixels = [colour_at(x, y) for x in range(size)]
        row = bytearray()
        for x in range(0, size, 2):
            hi = pixels[x] if pixels[x] is not None else BLACK
            lo = pixels[x + 1] if pixels[x + 1] is not None else BLACK
            row.append((hi << 4) | lo)
        xor_rows.append(bytes(row))
        mask = 0
        for x in range(size):
            mask = (mask << 1) | (1 if pixels[x] is None else 0)
        and_rows.append(struct.pack(">I", mask))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0,
                         0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    image = header + palette + b"".join(xor_rows) + b"".join(and_rows)
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), 22)
    return icondir + entry + image


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "kwuninst.ico"
    with open(out, "wb") as f:
        f.write(build())
