#!/usr/bin/env python3
"""Writes joinwright.ico: 32 x 32 pixels, 256 colours (an 8-bit palette),
two trend lines that run into one on a light tile.  Run it when the picture
changes; the .ico it writes is kept beside it."""
import struct, sys

W = H = 32
palette = [(0, 0, 0), (0xF4, 0xF4, 0xF0), (0x40, 0x40, 0x40), (0x1F, 0x5F, 0xBF), (0xCF, 0x6F, 0x1F)]
palette += [(0, 0, 0)] * (256 - len(palette))
pixels = [[0] * W for _ in range(H)]  # row 0 at the top
mask = [[1] * W for _ in range(H)]    # 1: transparent


def put(x, y, colour):
    if 0 <= x < W and 0 <= y < H:
        pixels[y][x] = colour
        mask[y][x] = 0


for y in range(1, 31):  # the tile with its border
    for x in range(1, 31):
        border = x in (1, 30) or y in (1, 30)
        put(x, y, 2 if border else 1)


def line(points, colour):
    for (x0, y0), (x1, y1) in zip(points, points[1:]):
        steps = max(abs(x1 - x0), abs(y1 - y0)) * 2
        for i in range(steps + 1):
            x = round(x0 + (x1 - x0) * i / steps)
            y = round(y0 + (y1 - y0) * i / steps)
            for dx, dy in ((0, 0), (0, 1), (1, 0)):
                put(x + dx, y + dy, colour)


line([(4, 22), (7, 16), (10, 20), (13, 17), (16, 16)], 3)
line([(16, 16), (19, 10), (22, 14), (25, 11), (28, 7)], 4)

rows = b"".join(bytes(pixels[y]) for y in reversed(range(H)))
mask_rows = b""
for y in reversed(range(H)):
    bits = 0
    for x in range(W):
        bits = (bits << 1) | mask[y][x]
    mask_rows += struct.pack(">I", bits)
header = struct.pack("<IiiHHIIiiII", 40, W, H * 2, 1, 8, 0, len(rows) + len(mask_rows), 0, 0, 256, 0)
colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
image = header + colours + rows + mask_rows
icon = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", W, H, 0, 0, 1, 8, len(image), 22) + image
with open(sys.argv[1] if len(sys.argv) > 1 else "joinwright.ico", "wb") as out:
    out.write(icon)
