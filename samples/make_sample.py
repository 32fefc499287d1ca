#!/usr/bin/env python3
"""Draws samples/sample.bmp: a small 24-bit scene with smooth gradients, soft shapes, hard
edges and fine stripes, so the three methods' differences show when it is enlarged."""
import math
import struct
import sys

W, H = 160, 120


def pixel(x, y):
    # Sky: vertical gradient.
    t = y / H
    r, g, b = 90 + 100 * t, 150 + 60 * t, 235 - 30 * t
    # Sun with a soft halo.
    d = math.hypot(x - 122, y - 28)
    if d < 14:
        r, g, b = 255, 226, 120
    elif d < 26:
        a = (26 - d) / 12
        r, g, b = r + (255 - r) * a * 0.6, g + (226 - g) * a * 0.6, b + (120 - b) * a * 0.6
    # Rolling hills.
    hill = 82 + 9 * math.sin(x / 17.0) + 5 * math.sin(x / 7.0 + 1)
    if y > hill:
        shade = (y - hill) / (H - hill)
        r, g, b = 60 - 30 * shade, 140 - 50 * shade, 50 - 20 * shade
    # A house with hard edges: wall, roof, window, door.
    if 30 <= x < 70 and 62 <= y < 96:
        r, g, b = 225, 205, 170
        if 38 <= x < 50 and 70 <= y < 80:
            r, g, b = 40, 70, 120 if (x - 38) % 6 and (y - 70) % 5 else 250
        if 56 <= x < 64 and 78 <= y < 96:
            r, g, b = 120, 60, 30
    if 26 <= x < 74 and 44 <= y < 62 and abs(x - 50) <= (y - 44) * 1.35:
        r, g, b = 170, 40, 35
    # Fine stripes on a fence: a test of aliasing and ringing.
    if 84 <= x < 150 and 94 <= y < 108 and x % 3 == 0:
        r, g, b = 245, 245, 240
    if 84 <= x < 150 and (y == 96 or y == 104):
        r, g, b = 245, 245, 240
    return tuple(max(0, min(255, int(v))) for v in (r, g, b))


def main(path):
    pad = (4 - (3 * W) % 4) % 4
    rows = bytearray()
    for y in range(H - 1, -1, -1):
        for x in range(W):
            r, g, b = pixel(x, y)
            rows += bytes((b, g, r))
        rows += bytes(pad)
    size = 54 + len(rows)
    head = b"BM" + struct.pack("<IHHI", size, 0, 0, 54)
    head += struct.pack("<IiiHHIIiiII", 40, W, H, 1, 24, 0, 0, 3780, 3780, 0, 0)
    with open(path, "wb") as f:
        f.write(head + rows)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "samples/sample.bmp")
